#pragma once
// Debian's ser2net on loopback in front of a serial device, as a serial device
// server in the field: one raw TCP accepter whose line the server sets to
// 9600e71, and one RFC 2217 accepter whose line starts at 19200n81, so that
// only a client that sets the line itself talks to a panel at 9600.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

// A TCP port nobody listens on at the moment.
inline quint16 PortaLibera() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    return s.serverPort();
}

class Ser2net {
  public:
    quint16 grezza = 0, rfc2217 = 0;
    // The accepters listen on every address of both families (as ser2net
    // does by default), not on 127.0.0.1 alone.
    bool ovunque = false;

    ~Ser2net() { ferma(); }

    static QString Eseguibile() {
        const QString p = QStandardPaths::findExecutable("ser2net");
        return p.isEmpty() ? QStandardPaths::findExecutable("ser2net", {"/usr/sbin", "/sbin"}) : p;
    }
    // New ports for the next start.
    void scegliPorte() {
        grezza = PortaLibera();
        rfc2217 = PortaLibera();
    }
    QString tcp() const { return QString("tcp://127.0.0.1:%1").arg(grezza); }
    QString telnet() const { return QString("rfc2217://127.0.0.1:%1").arg(rfc2217); }

    // Starts it with its configuration written to `config`, in front of
    // `dispositivo`; true once both accepters answer.
    bool avvia(const QString &config, const QString &dispositivo) {
        if (!grezza) scegliPorte();
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly)) return false;
        f.write(QString("connection: &grezza\n"
                        "  accepter: tcp,%4%1\n"
                        "  connector: serialdev,%3,9600e71,local\n"
                        "connection: &rfc2217\n"
                        "  accepter: telnet(rfc2217),tcp,%4%2\n"
                        "  connector: serialdev,%3,19200n81,local\n")
                    .arg(QString::number(grezza), QString::number(rfc2217), dispositivo,
                         ovunque ? "" : "127.0.0.1,")
                    .toUtf8());
        f.close();
        server_.setProcessChannelMode(QProcess::MergedChannels);
        server_.start(Eseguibile(), {"-n", "-d", "-c", config});
        if (!server_.waitForStarted(5000)) return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000) {
            QTcpSocket prova;
            prova.connectToHost(QHostAddress::LocalHost, rfc2217);
            if (prova.waitForConnected(200)) {
                prova.abort();
                QTest::qWait(100);
                return true;
            }
            QTest::qWait(50);
        }
        return false;
    }
    void ferma() {
        if (server_.state() == QProcess::NotRunning) return;
        server_.terminate();
        if (!server_.waitForFinished(2000)) server_.kill();
        server_.waitForFinished(2000);
    }

  private:
    QProcess server_;
};
