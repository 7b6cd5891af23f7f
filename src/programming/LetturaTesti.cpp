// Reading all texts back from the panel, and opening the message editor.
#include "FormScriveMessaggi.h"

#include "EditaMessaggi.h"
#include "FormSalvaFile.h"
#include "Variabili.h"
#include "VistaFinestra.h"

#include <QLineEdit>

using namespace Variabili;

void FormScriveMessaggi::LeggiTesti_Click() {
    DisabilitaComandi();
    Vista vista{*this};
    if (Operazioni::LeggiTesti(vista).completa) {
        FormSalvaFile salva(this);
        salva.exec();
    }
    AbilitaComandi();
}

void FormScriveMessaggi::Command5_Click() {
    DisabilitaComandi();
    if (NomeFile.isEmpty()) {
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
