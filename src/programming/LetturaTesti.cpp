// Reading all texts back from the panel, and opening the message editor.
#include "FormScriveMessaggi.h"

#include "Attendi.h"
#include "Comandi.h"
#include "EditaMessaggi.h"
#include "FormSalvaFile.h"
#include "FormSeriale.h"
#include "FormatoMessaggi.h"
#include "Programmazione.h"
#include "Variabili.h"

#include <QLineEdit>

using namespace Variabili;

namespace {
constexpr int UltimoTestoLetto = 192;
}

void FormScriveMessaggi::LeggiTesti_Click() {
    DisabilitaComandi();
    CorpoFile.clear();
    bool completa = true;
    for (int n = 0; n <= UltimoTestoLetto; ++n) {
        avanzamento(QStringLiteral("Lettura"), n, UltimoTestoLetto + 1);
        NumeroTesto = qint16(n);
        TreCifre();
        Text1->setText(QStringLiteral("0R") + NumeroTre);
        Comando = Comandi::LeggiTesto(Identificativo, NumeroTre);
        LunghezzaRisposta = Comandi::LunghezzaLeggiTesto;
        FormSeriale::Istanza().InviaAllaSeriale();
        // A reply shorter than its header is as good as none.
        if (Risposta == MarcatoreNessunaRisposta || Risposta.size() < Comandi::TestaRisposta) {
            Text2->setText(QStringLiteral("Errore seriale. Controlla identificativo"));
            MessaggioErrore = QStringLiteral("Errore seriale");
            AspettaConferma();
            completa = false;
            break;
        }
        // Bytes after the reply's CR, or a CR or LF inside the text, never
        // split a line of the file.
        Testi[n] = Programmazione::TestoLetto(Risposta);
        if (FormatoMessaggi::NumeroNelCorpo(n)) {
            Text2->setText(Testi[n]);
            CorpoFile += FormatoMessaggi::RigaLettura(NumeroTre, Testi[n]);
        }
    }
    if (completa) {
        avanzamento(QStringLiteral("Lettura"), UltimoTestoLetto + 1, UltimoTestoLetto + 1);
        Text2->setText(QStringLiteral("letti tutti"));
        CommentoProposto = QStringLiteral("Letti dal Velto via seriale");
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
