// Sending a message file to the panel and verifying every text written: the
// job itself is Operazioni::ProgrammaTesti, shown in this window.
#include "FormScriveMessaggi.h"

#include "Variabili.h"
#include "VistaFinestra.h"

#include <QLineEdit>

using namespace Variabili;

void FormScriveMessaggi::Command1_Click() {
    DisabilitaComandi();
    if (NomeFile.isEmpty()) {
        Text1->setText(QStringLiteral("Devi selezionare un file"));
        Text2->setText(QStringLiteral("Cliccane uno dalla lista in alto a destra"));
    } else {
        ProgrammaTesti();
    }
    AbilitaComandi();
}

void FormScriveMessaggi::ProgrammaTesti() {
    Vista vista{*this};
    Operazioni::ProgrammaTesti(vista);
}
