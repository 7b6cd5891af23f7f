#pragma once
// Drives windows from inside the application's own waits: an action runs once,
// as soon as its condition holds (checked every 10 ms while events are pumped).

#include <QCoreApplication>
#include <QTimer>
#include <functional>

inline void Quando(std::function<bool()> condizione, std::function<void()> azione) {
    auto *timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        if (!condizione())
            return;
        timer->stop();
        timer->deleteLater();
        azione();
    });
    timer->start();
}
