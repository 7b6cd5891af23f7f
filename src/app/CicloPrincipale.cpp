#include "app/CicloPrincipale.h"

#include "link/Configurazione.h"
#include "files/ListeFile.h"
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "linea/FinestreLinea.h"
#include "programming/FormScriveMessaggi.h"
#include "widgets/Aspetto.h"
#include "shared/Variabili.h"
#include "testmode/FormPrincipaleTest.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <memory>

namespace {

// Polls the panel's status until it is not programming itself. Returns true
// when test mode is to start, false when the operator asked for the
// programming window (or closed the window).
bool PollIngresso(FormPrincipaleTest &f) {
    while (!V::ChiusuraRichiesta) {
        f.InviaComando(Comandi::Codice::Stato);
        if (f.StatoProgramma == FormPrincipaleTest::Stoppato) {
            f.StatoProgramma = FormPrincipaleTest::Run;
            return false;
        }
        if (V::ErroreSeriale) {
            f.StatoProgramma = FormPrincipaleTest::Run;
            continue;
        }
        V::Risposta = Comandi::StatoCentrale(V::Risposta);
        if (V::Risposta != QLatin1String("I")) return true;
        f.Text3->setText(QStringLiteral("Velto in programmazione"));
    }
    return false;
}

void ModoTest(FormPrincipaleTest &f) {
    f.RicaricaTesti = false;
    f.CaricaTesti();
    f.RegistroProva.Riprendi(); // the time away from test mode is a gap of the walk test
    do {
        f.RicaricaSeCambiata();
        f.LeggiStato();
        f.LeggiIngressi();
        f.LeggiTasto();
    } while (f.StatoProgramma != FormPrincipaleTest::Stoppato && !V::ChiusuraRichiesta);
    if (!V::ChiusuraRichiesta) f.RegistroProva.Sospendi();
    f.StatoProgramma = FormPrincipaleTest::Run;
}

void AvvisaSeNecessario(FormPrincipaleTest &f, const QString &avvisoConfigurazione) {
    QString testo = avvisoConfigurazione;
    const QString porta = FormSeriale::Istanza().ErroreApertura();
    if (!porta.isEmpty()) {
        if (!testo.isEmpty()) testo += QStringLiteral("\n\n");
        // What to do in the windows first; the terminal's ways (links,
        // files of an address) are for the manual and the command line.
        testo += porta.section(QStringLiteral("\n\n"), 0, 0) +
                 QStringLiteral("\n\nPer scegliere la porta: clic con il tasto destro sulla "
                                "finestra, \"Porta…\", poi scegli l'adattatore dall'elenco "
                                "o scrivi l'indirizzo del server seriale in rete (per esempio "
                                "tcp://192.168.1.50:4001).\n\nIntanto il programma prosegue "
                                "senza collegamento: i file dei messaggi si possono comunque "
                                "modificare.");
        // Said once: the test cycle's first silence adds no second message.
        V::NessunaRispostaDetta = true;
    }
    if (!testo.isEmpty()) Avviso(&f, QMessageBox::Warning, testo);
}

} // namespace

void Form_Load(FormPrincipaleTest &f) {
    V::ChiusuraRichiesta = false;
    QCoreApplication::setApplicationName(QStringLiteral("Terminale Visual Basic"));
    V::NomeFile = QDir(f.File1->Path()).filePath(NomeFileConfigurazione);
    const QString avviso = CaricaConfigurazione();
    FormSeriale &seriale = FormSeriale::Istanza();
    seriale.MSComm1.setCartellaPorte(f.File1->Path());
    seriale.ApriSeriale();
    AggiornaTitoli(); // the panel and the port the configuration names

    f.show();
    AvvisaSeNecessario(f, avviso);
    std::unique_ptr<FormScriveMessaggi> programmazione;
    while (!V::ChiusuraRichiesta) {
        f.show();
        f.AzzeraDisplay();
        if (PollIngresso(f)) ModoTest(f);
        if (V::ChiusuraRichiesta) break;
        if (!programmazione) {
            programmazione = std::make_unique<FormScriveMessaggi>(&f);
            programmazione->Form_Load();
        }
        programmazione->exec();
        if (V::Scelta == FormScriveMessaggi::SceltaFinisci) break;
    }
    seriale.ChiudiSeriale();
    programmazione.reset();
    if (f.isVisible()) f.close(); // runs the close handler: port closed a second time, harmless
    FormSeriale::Scarica();
}
