#pragma once
// The tool run as its own process, as a script runs it: in a folder, with no
// display at all (a job that tried to create a widget could not start), its
// exit status and both outputs collected.

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>
#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

struct Uscita {
    int codice = -1; // -1: it did not end by itself
    QString uscita, errore;
};

// The tool is built beside the tests: build/tests and build/src/app.
inline QString Eseguibile() {
    return QDir(QCoreApplication::applicationDirPath()).filePath("../src/app/velto318");
}

inline QProcessEnvironment SenzaDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(v);
    return env;
}

// The process ends when the test does, however the test ends.
inline void MuoreColPadre(QProcess &p) {
#ifdef Q_OS_LINUX
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#else
    Q_UNUSED(p);
#endif
}

// Starts the tool in `cartella`, without waiting for it.
inline void Avvia(QProcess &p, const QString &cartella, const QStringList &argomenti) {
    MuoreColPadre(p);
    p.setProcessEnvironment(SenzaDisplay());
    p.setWorkingDirectory(cartella);
    p.start(Eseguibile(), argomenti);
}

// Waits for it (the longest job, a search, takes about 90 s) and collects.
inline Uscita Fine(QProcess &p) {
    if (!p.waitForFinished(150000)) p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

inline Uscita Esegui(const QString &cartella, const QStringList &argomenti) {
    QProcess p;
    Avvia(p, cartella, argomenti);
    return Fine(p);
}
