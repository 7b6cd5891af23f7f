// "Modifica Testi": opening the message editor on the chosen file.
#include "programming/FormScriveMessaggi.h"

#include "files/EditaMessaggi.h"
#include "shared/Variabili.h"

#include <QLineEdit>

void FormScriveMessaggi::Command5_Click() {
    DisabilitaComandi();
    if (V::NomeFile.isEmpty()) {
        Text1->setText(QStringLiteral("Devi selezionare un file"));
        Text2->setText(QStringLiteral("Cliccane uno dalla lista "));
    } else {
        EditaMessaggi editor(this);
        if (editor.Form_Load()) {
            editor.exec();
        } else {
            Text1->setText(QStringLiteral("File non leggibile: l'editor non si apre"));
            Text2->setText(editor.Errore());
        }
    }
    AbilitaComandi();
}
