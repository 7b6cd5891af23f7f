#pragma once
// Drives windows from inside the tool's own waits: an action runs once, as
// soon as its condition holds, checked on a timer while events are pumped.
// The tests use it (support/Azioni.h), and so does the driver of the
// screenshots (tools/schermate).

#include <QCoreApplication>
#include <QTimer>
#include <functional>

// The object name of the timers Quando leaves waiting, children of the application.
inline const QString NomeTimerQuando = QStringLiteral("Quando");

// no globals
inline void Quando(std::function<bool()> condizione, std::function<void()> azione,
                   int intervalloMs = 10) {
    auto *timer = new QTimer(QCoreApplication::instance());
    timer->setObjectName(NomeTimerQuando);
    timer->setInterval(intervalloMs);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        if (!condizione()) return;
        timer->stop();
        timer->deleteLater();
        azione();
    });
    timer->start();
}
