#include "support/Simulatore.h"

#include "support/Lavoro.h"

#include <QFile>
#include <QTest>

Simulatore::Simulatore(const QString &cartella, const QStringList &argomenti)
    : cartella_(cartella), argomenti_(argomenti) {}

Simulatore::~Simulatore() {
    termina();
}

bool Simulatore::avvia() {
    QStringList arg = {"--link", cartella_ + "/COM1", "--log", registroPercorso()};
    arg += argomenti_;
    processo_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A test that ends abruptly takes its simulator along: left behind, it
    // would hold the test's standard error, and the runner would wait on it.
    MuoreColPadre(processo_);
    processo_.start(QStringLiteral(VELTO_SIM), arg);
    if (!processo_.waitForStarted(5000)) {
        errore_ = processo_.errorString();
        return false;
    }
    while (!processo_.canReadLine() && processo_.waitForReadyRead(5000)) {
    }
    const QByteArray riga = processo_.readLine().trimmed();
    if (riga.startsWith("READY")) return true;
    errore_ = riga.isEmpty()
                  ? QStringLiteral("nessun READY entro 5 s (") + processo_.errorString() + ")"
                  : QString::fromLatin1(riga);
    return false;
}

void Simulatore::termina() {
    if (processo_.state() == QProcess::NotRunning) return;
    // SIGTERM lets the simulator close its line and exit, so that a checked
    // build's leak check runs; SIGKILL only if it is still there after a second.
    processo_.terminate();
    if (processo_.waitForFinished(1000)) return;
    processo_.kill();
    processo_.waitForFinished(5000);
}

QString Simulatore::ordina(const QString &ordine) {
    processo_.write((ordine + "\n").toLatin1());
    processo_.waitForBytesWritten(2000);
    QElapsedTimer t;
    t.start();
    while (!processo_.canReadLine() && t.elapsed() < 5000)
        processo_.waitForReadyRead(100);
    return QString::fromLatin1(processo_.readLine()).trimmed();
}

QStringList Simulatore::comandi() const {
    QFile f(registroPercorso());
    QStringList righe;
    if (!f.open(QIODevice::ReadOnly)) return righe;
    for (const QByteArray &r : f.readAll().split('\n'))
        if (!r.isEmpty()) righe << QString::fromLatin1(r.mid(r.indexOf('\t') + 1));
    return righe;
}

QList<double> Simulatore::tempi() const {
    QFile f(registroPercorso());
    QList<double> t;
    if (!f.open(QIODevice::ReadOnly)) return t;
    for (const QByteArray &r : f.readAll().split('\n'))
        if (!r.isEmpty()) t << r.left(r.indexOf('\t')).toDouble();
    return t;
}

void Simulatore::azzeraRegistro() const {
    QFile(registroPercorso()).resize(0);
}

QStringList Simulatore::testi() {
    const QString percorso = cartella_ + "/dump.txt";
    ordina("dump " + percorso);
    QFile f(percorso);
    QStringList righe;
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &r : f.readAll().split('\n'))
            if (!r.isEmpty()) righe << QString::fromLatin1(r);
    return righe;
}
