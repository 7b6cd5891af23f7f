#pragma once
// The window of type T the application shows at the moment, if any.
#include <QApplication>
#include <QWidget>

template <class T> T *Aperta() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *t = qobject_cast<T *>(w); t && t->isVisible()) return t;
    return nullptr;
}
