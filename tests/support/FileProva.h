#pragma once
// Reading and writing the files a test prepares or checks, whole.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

// The whole file, or "<assente>" when it cannot be read (never equal to content).
inline QByteArray Leggi(const QString &percorso) {
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<assente>");
}

inline void Scrivi(const QString &percorso, const QByteArray &dati) {
    QFile f(percorso);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(dati), dati.size());
}
