// Sending a message file to the panel and verifying every text written.
#include "FormScriveMessaggi.h"

#include "Comandi.h"
#include "FormSeriale.h"
#include "FormatoMessaggi.h"
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
    Text2->setText(QStringLiteral("Programmo scritte"));
    QString errore;
    const auto dati = FormatoMessaggi::LeggiFile(NomeFile, &errore);
    if (!dati) {
        Text1->setText(QStringLiteral("File non leggibile: nulla è stato inviato"));
        Text2->setText(errore);
        return;
    }
    const auto scansione = FormatoMessaggi::ScansioneComune(FormatoMessaggi::Righe(*dati));
    QStringList voci;
    for (const QString &riga : scansione.righe)
        if (const auto voce = FormatoMessaggi::FiltroInvio(riga)) voci << *voce;

    // Phase 1: every accepted line is written as it comes.
    int conteggio = 0;
    for (const QString &voce : voci) {
        if (conteggio >= NumeroTesti) {
            Text1->setText(QStringLiteral("Il file ha più di %1 testi").arg(NumeroTesti));
            MessaggioErrore =
                QStringLiteral("Troppi testi: inviati solo i primi %1.").arg(NumeroTesti);
            AspettaConferma();
            return;
        }
        avanzamento(QStringLiteral("Scrittura"), conteggio, qMin<int>(voci.size(), NumeroTesti));
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
        const QString letto = Comandi::SenzaTesta(Risposta, Comandi::TestaRisposta);
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
