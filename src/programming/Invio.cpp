// Sending a message file to the panel and verifying every text written.
#include "FormScriveMessaggi.h"

#include "Comandi.h"
#include "FormSeriale.h"
#include "FormatoMessaggi.h"
#include "Programmazione.h"
#include "Variabili.h"

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
    avanzamento(QString(), 0, 0); // nothing of an earlier job stays on the bar
    Text2->setText(QStringLiteral("Programmo scritte"));
    QString errore;
    bool troppoGrande = false;
    const auto scansione = FormatoMessaggi::LeggiMessaggi(NomeFile, &errore, &troppoGrande);
    if (!scansione) {
        Text1->setText(troppoGrande ? QStringLiteral("File troppo grande: nulla è stato inviato")
                                    : QStringLiteral("File non leggibile: nulla è stato inviato"));
        Text2->setText(errore);
        return;
    }
    const QList<Programmazione::Voce> voci = Programmazione::VociDaInviare(*scansione);
    // What the panel cannot hold is refused before the first write.
    const QString rifiuto = Programmazione::RifiutoInvio(voci);
    if (!rifiuto.isEmpty()) {
        Text1->setText(rifiuto);
        Text2->setText(QStringLiteral("Nulla è stato inviato al VELTO"));
        return;
    }

    // Phase 1: every accepted line is written as it comes.
    int conteggio = 0;
    for (const Programmazione::Voce &v : voci) {
        avanzamento(QStringLiteral("Scrittura"), conteggio, int(voci.size()));
        const QString &voce = v.voce;
        Testi[conteggio++] = voce;
        Text1->setText(voce);
        Comando = Comandi::ScriviTesto(Identificativo, voce);
        LunghezzaRisposta = Comandi::LunghezzaScriviTesto;
        FormSeriale::Istanza().InviaAllaSeriale();
        if (!Comandi::ScritturaAccettata(Risposta)) {
            Text1->setText(Risposta);
            MessaggioErrore = QStringLiteral(" Errore risposta ");
            AspettaConferma();
            return;
        }
    }

    // Phase 2: every text written is read back and compared.
    for (int k = 0; k < conteggio; ++k) {
        avanzamento(QStringLiteral("Verifica"), k, conteggio);
        const QString numero = Testi[k].left(3);
        Text1->setText(QStringLiteral("0R") + numero);
        Comando = Comandi::LeggiTesto(Identificativo, numero);
        LunghezzaRisposta = Comandi::LunghezzaLeggiTesto;
        FormSeriale::Istanza().InviaAllaSeriale();
        // A reply shorter than its header gives an empty text: never a match.
        const QString letto = Programmazione::TestoRisposta(Risposta);
        const QString atteso = Testi[k].mid(3);
        Text1->setText(atteso);
        Text2->setText(letto);
        if (letto != atteso) {
            MessaggioErrore = QStringLiteral("Errore Dati non scritti giusti.");
            AspettaConferma();
            return;
        }
    }
    avanzamento(QStringLiteral("Verifica"), conteggio, conteggio);
    Text2->setText(QStringLiteral("DATI UGUALI  TUTTO OK "));
}
