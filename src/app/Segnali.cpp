#include "app/Segnali.h"

#include "files/EditaMessaggi.h"
#include "files/FormSalvaFile.h"
#include "jobs/Operazioni.h"
#include "shared/Variabili.h"

#include <QApplication>
#include <QWidget>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int coppia[2] = {-1, -1};

void AlSegnale(int segnale) {
    const char c = char(segnale);
    [[maybe_unused]] const ssize_t n = ::write(coppia[0], &c, 1);
}
} // namespace

void FermaSuSegnale(std::function<void()> poi) {
    // A reader gone (the runner of many sites killed, a closed pipe) makes a
    // write fail, which is let go: the job never ends for it.
    std::signal(SIGPIPE, SIG_IGN);
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, coppia) != 0) return;
    auto *notifica =
        new QSocketNotifier(coppia[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifica, &QSocketNotifier::activated, notifica, [poi] {
        char c = 0;
        if (::read(coppia[1], &c, 1) != 1) return;
        if (!V::Interruzione) V::Interruzione = c; // the first one tells the exit status
        if (poi) poi();
    });
    struct sigaction azione = {};
    azione.sa_handler = AlSegnale;
    sigemptyset(&azione.sa_mask);
    azione.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int segnale : {SIGTERM, SIGINT, SIGHUP})
        sigaction(segnale, &azione, nullptr);
}
#else
void FermaSuSegnale(std::function<void()>) {}
#endif

void ChiudiSuSegnale(QWidget *finestra) {
    FermaSuSegnale([finestra] {
        // A job stops between two exchanges and closes its window itself.
        if (Operazioni::LavoroInCorso()) return;
        // Nobody can be asked now: an editor's unsaved edits, or texts read
        // and waiting for a name, go to a file of their own.
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (!w->isVisible()) continue;
            QString detto;
            if (auto *editor = qobject_cast<EditaMessaggi *>(w))
                detto = editor->SalvaSuInterruzione();
            else if (auto *salva = qobject_cast<FormSalvaFile *>(w);
                     salva && !qobject_cast<EditaMessaggi *>(salva->parentWidget()))
                detto = salva->SalvaSuInterruzione();
            if (!detto.isEmpty()) Operazioni::AnnunciaInterruzione(detto);
        }
        finestra->close();
        // Windows shown over it (a message, the programming window) end too,
        // so no wait is left waiting for a click.
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != finestra && w->isVisible() && w->isModal()) w->hide();
    });
}
