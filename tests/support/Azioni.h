#pragma once
// Drives windows from inside the application's own waits: an action runs once,
// as soon as its condition holds (checked every 10 ms while events are pumped).

#include <QCoreApplication>
#include <QTimer>
#include <functional>

inline void Quando(std::function<bool()> condizione, std::function<void()> azione) {
    auto *timer = new QTimer(QCoreApplication::instance());
    timer->setObjectName(QStringLiteral("Quando"));
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        if (!condizione()) return;
        timer->stop();
        timer->deleteLater();
        azione();
    });
    timer->start();
}

// Drops the actions still waiting: call it when a test ends, so that no action
// outlives the test that set it.
inline void AnnullaAzioni() {
    const auto timers = QCoreApplication::instance()->findChildren<QTimer *>(
        QStringLiteral("Quando"), Qt::FindDirectChildrenOnly);
    for (QTimer *t : timers)
        delete t;
}
