#include "CicloPrincipale.h"

#include "Comandi.h"
#include "Configurazione.h"
#include "FormPrincipaleTest.h"
#include "FormScriveMessaggi.h"
#include "FormSeriale.h"
#include "ListeFile.h"
#include "Variabili.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <memory>

using namespace Variabili;

namespace {

const QString Stoppato = QStringLiteral("Stoppato");
const QString Run = QStringLiteral("Run");

// Polls the panel's status until it is not programming itself. Returns true
// when test mode is to start, false when the operator asked for the
// programming window (or closed the window).
bool PollIngresso(FormPrincipaleTest &f) {
    while (!ChiusuraRichiesta) {
        Comando = Comandi::Stato(Identificativo);
        LunghezzaRisposta = Comandi::LunghezzaStato;
        f.InviaComando();
        if (f.StatoProgramma == Stoppato) {
            f.StatoProgramma = Run;
            return false;
        }
        if (ErroreSeriale) {
            f.StatoProgramma = Run;
            continue;
        }
        Risposta = Comandi::SenzaTesta(Risposta, Comandi::TestaStato);
        if (Risposta != QLatin1String("I")) return true;
        f.Text3->setText(QStringLiteral("Velto in programmazione"));
    }
    return false;
}

void ModoTest(FormPrincipaleTest &f) {
    f.CaricaTesti();
    do {
        f.LeggiStato();
        f.LeggiIngressi();
        f.LeggiTasto();
    } while (f.StatoProgramma != Stoppato && !ChiusuraRichiesta);
    f.StatoProgramma = Run;
}

void AvvisaSeNecessario(FormPrincipaleTest &f, const QString &avvisoConfigurazione) {
    QString testo = avvisoConfigurazione;
    const QString porta = FormSeriale::Istanza().ErroreApertura();
    if (!porta.isEmpty()) {
        if (!testo.isEmpty()) testo += QStringLiteral("\n\n");
        testo += porta + QStringLiteral("\n\nIl programma prosegue senza collegamento: "
                                        "i file dei messaggi si possono comunque modificare.");
    }
    if (!testo.isEmpty()) QMessageBox::warning(&f, QStringLiteral("Velto318"), testo);
}

} // namespace

void Form_Load(FormPrincipaleTest &f) {
    ChiusuraRichiesta = false;
    QCoreApplication::setApplicationName(QStringLiteral("Terminale Visual Basic"));
    NomeFile = QDir(f.File1->Path()).filePath(NomeFileConfigurazione);
    const QString avviso = CaricaConfigurazione();
    FormSeriale &seriale = FormSeriale::Istanza();
    seriale.MSComm1.setCartellaPorte(f.File1->Path());
    seriale.ApriSeriale();

    f.show();
    AvvisaSeNecessario(f, avviso);
    std::unique_ptr<FormScriveMessaggi> programmazione;
    while (!ChiusuraRichiesta) {
        f.show();
        f.AzzeraDisplay();
        if (PollIngresso(f)) ModoTest(f);
        if (ChiusuraRichiesta) break;
        if (!programmazione) {
            programmazione = std::make_unique<FormScriveMessaggi>(&f);
            programmazione->Form_Load();
        }
        programmazione->exec();
        if (Scelta == QLatin1String("Finisci")) break;
    }
    seriale.ChiudiSeriale();
    programmazione.reset();
    if (f.isVisible()) f.close(); // runs the close handler: port closed a second time, harmless
    FormSeriale::Scarica();
}
