#include "app/Segnali.h"

#include <QApplication>
#include <QWidget>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int coppia[2] = {-1, -1};

void AlSegnale(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(coppia[0], &c, 1);
}
} // namespace

void ChiudiSuSegnale(QWidget *finestra) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, coppia) != 0) return;
    auto *notifica = new QSocketNotifier(coppia[1], QSocketNotifier::Read, finestra);
    QObject::connect(notifica, &QSocketNotifier::activated, finestra, [finestra] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(coppia[1], &c, 1);
        finestra->close();
        // Windows shown over it (a message, the programming window) end too,
        // so no wait is left waiting for a click.
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != finestra && w->isVisible() && w->isModal()) w->hide();
    });
    // The handler only asks for the close, which happens at the next event
    // pump; where none runs (start-up blocked in a system call) a second
    // signal of the same kind ends the process with the default action.
    struct sigaction azione = {};
    azione.sa_handler = AlSegnale;
    sigemptyset(&azione.sa_mask);
    azione.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGTERM, &azione, nullptr);
    sigaction(SIGINT, &azione, nullptr);
}
#else
void ChiudiSuSegnale(QWidget *) {}
#endif
