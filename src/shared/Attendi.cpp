#include "shared/Attendi.h"

#include "shared/Variabili.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cmath>

double SecondiOrologio() {
    static QElapsedTimer orologio = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return double(orologio.nsecsElapsed()) / 1e9;
}

void PompaEventi() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void PompaEventiInAttesa() {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void PompaEventiFino(const QDeadlineTimer &scadenza) {
    // A blocking pump needs a timer armed for the deadline, or it could sleep
    // for ever. Coarse timers may fire a few percent late: use a precise one.
    // A timer that fires early is simply armed again by the next call. A wait
    // pumps many times towards one deadline (every character, every repaint
    // ends a pump): the timer still armed for that deadline is left as it is.
    static QTimer *sveglia = [] {
        auto *t = new QTimer(QCoreApplication::instance());
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
        return t;
    }();
    static qint64 armataPer = 0; // the deadline the running timer was armed for
    const qint64 restoNs = scadenza.remainingTimeNSecs();
    if (restoNs <= 0) {
        PompaEventi();
        return;
    }
    if (!sveglia->isActive() || armataPer != scadenza.deadlineNSecs()) {
        sveglia->start(int(std::min<qint64>((restoNs + 999999) / 1000000, 24 * 3600 * 1000)));
        armataPer = scadenza.deadlineNSecs();
    }
    PompaEventiInAttesa();
}

void Attendi(double millisecondi) {
    const auto ns = std::chrono::nanoseconds(qint64(std::llround(millisecondi * 1e6)));
    const QDeadlineTimer scadenza(ns, Qt::PreciseTimer);
    V::FineAttesa = float(SecondiOrologio() + millisecondi / 1000.0);
    while (!scadenza.hasExpired() && !V::ChiusuraRichiesta)
        PompaEventiFino(scadenza);
}
