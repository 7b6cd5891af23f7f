// Drives the tool for the screenshots of docs/ (scripts/screenshots.sh): in a
// start-up folder whose COM1 is the panel simulator, it runs the whole
// application, saves test mode once the texts are loaded and the panel has been
// polled twice, then opens the programming window, sends the message file and
// saves that window once the send is verified.
//
//   velto318-schermate SIM_LOG FILE.vlt TEST.png PROGRAMMAZIONE.png
#include "shared/Aspetto.h"
#include "app/CicloPrincipale.h"
#include "testmode/FormPrincipaleTest.h"
#include "programming/FormScriveMessaggi.h"
#include "files/ListeFile.h"
#include "shared/Variabili.h"
#include "shared/Quando.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {

// How many commands of the simulator's log start with the given text.
int ComandiRegistrati(const QString &registro, const QByteArray &inizio) {
    QFile f(registro);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    int n = 0;
    for (const QByteArray &riga : f.readAll().split('\n'))
        n += riga.mid(riga.indexOf('\t') + 1).startsWith(inizio);
    return n;
}

// The conditions below are checked every 50 ms while the tool's own waits
// pump events.
constexpr int PassoMs = 50;

bool Salva(QWidget *w, const QString &percorso) {
    const bool ok = w->grab().save(percorso, "PNG");
    std::fprintf(stderr, "%s %s\n", ok ? "salvata" : "NON salvata", qPrintable(percorso));
    return ok;
}

FormScriveMessaggi *Programmazione(FormPrincipaleTest &f) {
    auto *p = f.findChild<FormScriveMessaggi *>();
    return p && p->isVisible() ? p : nullptr;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() != 5) {
        std::fprintf(stderr, "uso: velto318-schermate SIM_LOG FILE.vlt TEST.png "
                             "PROGRAMMAZIONE.png\n");
        return 2;
    }
    const QString registro = a[1], messaggi = a[2], fotoTest = a[3], fotoProgrammazione = a[4];
    ImpostaSostituzioniFont();
    FormPrincipaleTest f;
    int esito = 1;

    // Never stuck: whatever did not happen in a minute ends the run.
    QTimer::singleShot(60000, &f, [&] {
        std::fprintf(stderr, "tempo scaduto\n");
        f.close();
    });
    Quando([&] { return ComandiRegistrati(registro, "&4509") >= 2; },
           [&] {
               if (!Salva(&f, fotoTest)) f.close();
               f.Command1->click(); // "Progr"
           },
           PassoMs);
    Quando([&] { return Programmazione(f) != nullptr; },
           [&] {
               FormScriveMessaggi *p = Programmazione(f);
               if (!p->File1->scegli(messaggi)) {
                   std::fprintf(stderr, "%s non è nella lista dei file\n", qPrintable(messaggi));
                   p->Command2->click();
                   return;
               }
               p->Command1->click(); // "Invia file al VELTO": returns when it is done
               // What the operator sees at the end of the send.
               QCoreApplication::processEvents();
               if (p->Text2->text().contains(QLatin1String("TUTTO OK")) &&
                   Salva(p, fotoProgrammazione))
                   esito = 0;
               else
                   std::fprintf(stderr, "invio non riuscito: %s / %s\n",
                                qPrintable(p->Text1->text()), qPrintable(p->Text2->text()));
               p->Command2->click(); // "Exit"
           },
           PassoMs);
    Form_Load(f);
    return esito;
}
