#include "Aspetto.h"
#include "CicloPrincipale.h"
#include "FormPrincipaleTest.h"
#include "Segnali.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    ImpostaSostituzioniFont();
    FormPrincipaleTest finestra;
    ChiudiSuSegnale(&finestra);
    Form_Load(finestra);
    return 0;
}
