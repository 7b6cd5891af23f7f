#pragma once
// Drives windows from inside the application's own waits: Quando runs an
// action once, as soon as its condition holds (checked every 10 ms while
// events are pumped).

#include "support/Quando.h"

// Drops the actions still waiting: call it when a test ends, so that no action
// outlives the test that set it.
inline void AnnullaAzioni() {
    const auto timers = QCoreApplication::instance()->findChildren<QTimer *>(
        NomeTimerQuando, Qt::FindDirectChildrenOnly);
    for (QTimer *t : timers)
        delete t;
}
