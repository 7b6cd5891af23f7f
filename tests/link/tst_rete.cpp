// A panel behind a serial device server: ser2net on loopback in front of the
// simulator's pseudo-terminal, one raw accepter (line set to 9600e71 on the
// server) and one RFC 2217 accepter whose line starts at 19200n81, reached by
// the real executable's jobs with --porta tcp:// and rfc2217://.
#include "link/FormSeriale.h"
#include "widgets/Aspetto.h"
#include "shared/Variabili.h"
#include "support/Azioni.h"
#include "support/Banco.h"
#include "support/Lavoro.h"
#include "support/FileProva.h"
#include "support/Ser2net.h"
#include "testmode/FormPrincipaleTest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <utility>

namespace {

// A text of 16 characters for number n.
QString TestoDi(int n) {
    return QString("Rete %1 ab").arg(n, 3, 10, QChar('0')).leftJustified(16);
}

// The job run while this process goes on serving its sockets, with how many
// write calls it made (Linux counts them in /proc; the last count seen while
// it ran).
struct Servito : Uscita {
    qint64 scritture = 0;
};
Servito EseguiServendo(const QString &cartella, const QStringList &argomenti) {
    QProcess p;
    Avvia(p, cartella, argomenti);
    Servito s;
    QElapsedTimer t;
    t.start();
    while (p.state() != QProcess::NotRunning && t.elapsed() < 60000) {
        QTest::qWait(5);
        QFile io(QString("/proc/%1/io").arg(p.processId()));
        if (!io.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray &riga : io.readAll().split('\n'))
            if (riga.startsWith("syscw:")) s.scritture = riga.mid(6).trimmed().toLongLong();
    }
    static_cast<Uscita &>(s) = Fine(p);
    return s;
}

constexpr char IAC = char(255), DONT = char(254), DO = char(253), WONT = char(252),
               WILL = char(251), SB = char(250);

// IAC, a command and its option.
QByteArray Telnet(char comando, int opzione) {
    const char t[3] = {IAC, comando, char(opzione)};
    return QByteArray(t, 3);
}

// A faulty device server that starts a port-control command and never ends
// it: it refuses port control, and once the tool sends a command it answers
// IAC SB 44 and then Totale bytes, with no IAC SE.
class SenzaFine : public QObject {
  public:
    static constexpr qint64 Totale = 32 << 20, Blocco = 64 << 10;
    QTcpServer ascolto;
    // For each connection, the bytes of the endless command handed to the
    // socket before the tool closed it.
    QList<qint64> inviati;

    SenzaFine() {
        ascolto.listen(QHostAddress::LocalHost);
        connect(&ascolto, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = ascolto.nextPendingConnection())
                segui(s);
        });
    }
    QString indirizzo() const {
        return QString("rfc2217://127.0.0.1:%1").arg(ascolto.serverPort());
    }

  private:
    void segui(QTcpSocket *s) {
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        const qsizetype n = inviati.size();
        inviati << 0;
        s->write(Telnet(DONT, 44));
        auto avanti = [this, s, n] {
            if (inviati[n] == 0 || inviati[n] >= Totale || s->bytesToWrite() >= Blocco) return;
            s->write(QByteArray(Blocco, 'x'));
            inviati[n] += Blocco;
        };
        connect(s, &QTcpSocket::bytesWritten, this, avanti);
        connect(s, &QTcpSocket::readyRead, this, [this, s, n, avanti] {
            if (!s->readAll().contains('\r') || inviati[n] > 0) return;
            s->write(Telnet(SB, 44));
            inviati[n] = 3;
            avanti();
        });
    }
};

// A faulty device server in front of ser2net's RFC 2217 accepter: between the
// panel's bytes it asks the tool, over and over, to use options nobody uses
// (DO and WILL of 100 to 139). What the tool answers about them is counted
// here and not passed on.
class Diluvio : public QObject {
  public:
    QTcpServer ascolto;
    QMap<QByteArray, int> risposte; // each answer about those options, how many times
    int ondate = 0;

    explicit Diluvio(quint16 ser2net) : avanti_(ser2net) {
        ascolto.listen(QHostAddress::LocalHost);
        connect(&ascolto, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = ascolto.nextPendingConnection())
                segui(s);
        });
    }
    QString indirizzo() const {
        return QString("rfc2217://127.0.0.1:%1").arg(ascolto.serverPort());
    }
    static bool Inondata(uchar o) { return o >= 100 && o < 140; }

  private:
    void segui(QTcpSocket *s) {
        auto *server = new QTcpSocket(s);
        server->connectToHost(QHostAddress::LocalHost, avanti_);
        auto *timer = new QTimer(s);
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        connect(server, &QTcpSocket::readyRead, s, [this, s, server] {
            ondata(s);
            s->write(server->readAll());
        });
        connect(timer, &QTimer::timeout, s, [this, s] { ondata(s); });
        connect(s, &QTcpSocket::readyRead, s, [this, s, server] {
            resto_ += s->readAll();
            server->write(filtra());
        });
        timer->start(5);
    }
    void ondata(QTcpSocket *s) {
        QByteArray richieste;
        for (int o = 100; o < 140; ++o)
            richieste += Telnet(DO, o) + Telnet(WILL, o);
        s->write(richieste);
        ++ondate;
    }
    // What goes on to ser2net; an answer cut in two waits for its end.
    QByteArray filtra() {
        const QByteArray d = std::exchange(resto_, {});
        QByteArray fuori;
        for (qsizetype i = 0; i < d.size(); ++i) {
            const auto b = [&d](qsizetype k) { return uchar(d[k]); };
            const bool opzione =
                i + 1 < d.size() && b(i + 1) >= uchar(WILL) && b(i + 1) <= uchar(DONT);
            if (b(i) != uchar(IAC)) {
                fuori += d[i];
            } else if (i + 1 == d.size() || (opzione && i + 2 == d.size())) {
                resto_ = d.mid(i);
                break;
            } else if (!opzione) {
                fuori += d.mid(i, 2);
                ++i;
            } else {
                if (Inondata(b(i + 2)))
                    ++risposte[d.mid(i, 3)];
                else
                    fuori += d.mid(i, 3);
                i += 2;
            }
        }
        return fuori;
    }

    quint16 avanti_;
    QByteArray resto_;
};

} // namespace

class TestRete : public QObject {
    Q_OBJECT
    Banco banco;
    Ser2net server;

    QString tcp() const { return server.tcp(); }
    QString telnet() const { return server.telnet(); }
    bool avviaServer() {
        return server.avvia(banco.percorso("ser2net.yaml"), banco.percorso("COM1"));
    }
    void fermaServer() { server.ferma(); }

  private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(Eseguibile()), qPrintable(Eseguibile() + " non costruito"));
        if (Ser2net::Eseguibile().isEmpty())
            QSKIP("ser2net non installato (scripts/install-deps.sh lo installa)");
    }
    void init() {
        banco.inizio();
        server.scegliPorte();
        server.ovunque = false;
    }
    void cleanup() {
        AnnullaAzioni();
        fermaServer();
        banco.fine();
    }

    // --stato through raw TCP, with an active input and an RS-485 echo; and
    // the same through a file COM1 whose first line is the address.
    void statoInTcpGrezzo() {
        AVVIA(banco, {"--fast", "--rs485"}, false);
        QVERIFY(avviaServer());
        for (const char *o : {"input 17 C", "key A"})
            QCOMPARE(banco->ordina(o), QString("ok"));
        const QString atteso = "Stato: a riposo\nIngressi attivi: 17\nUltimo tasto: #\n";
        Uscita u = Esegui(banco.cartella(), {"--stato", "--rs485", "--porta", tcp()});
        QCOMPARE(u.codice, 0);
        QCOMPARE(u.uscita, atteso);

        QTemporaryDir ufficio;
        Scrivi(ufficio.filePath("COM1"), (tcp() + "\n").toUtf8());
        Scrivi(ufficio.filePath("Seriale318.con"), "rs485;COM1;&45;\r\nEND\r\n");
        const QString traccia = ufficio.filePath("traccia.txt");
        u = Esegui(ufficio.path(), {"--stato", "--traccia", traccia});
        QCOMPARE(u.codice, 0);
        QCOMPARE(u.uscita, atteso);
        const QByteArray t = Leggi(traccia);
        QVERIFY2(t.contains("collegato a " + tcp().toUtf8()), t.constData());
        QVERIFY2(t.contains("&45SA<CR>"), t.constData());
    }

    // Test mode through raw TCP: an active input painted red; the server
    // stopped shows the red button, and once it is back and the button is
    // pressed the next exchange connects again.
    void modoTestInTcpGrezzo() {
        AVVIA(banco, {"--fast"}, false);
        QVERIFY(avviaServer());
        FormSeriale::Istanza().MSComm1.setDispositivoForzato(tcp());
        QVERIFY2(banco.riapri(), qPrintable(banco.errore()));
        FormPrincipaleTest f;
        f.show();
        banco->ordina("input 17 C");
        banco->ordina("key A");
        f.LeggiIngressi();
        QCOMPARE(Sfondo(f.Allarmi[16]), ColoreRosso());
        QVERIFY(Sfondo(f.Allarmi[15]) != ColoreRosso());

        fermaServer();
        bool bottone = false, ripartito = false;
        Quando([&] { return f.TastoErroreSeriale->isVisible(); },
               [&] {
                   bottone = f.TastoErroreSeriale->text() == "Errore di rete Premi qui";
                   ripartito = avviaServer();
                   f.TastoErroreSeriale->click();
               });
        f.LeggiTasto();
        QVERIFY(bottone);
        QVERIFY(ripartito);
        QVERIFY(Variabili::ErroreSeriale);
        f.LeggiTasto();
        QVERIFY(!Variabili::ErroreSeriale);
        QVERIFY(FormSeriale::Istanza().MSComm1.PortOpen());
        QVERIFY2(Variabili::Risposta.startsWith("A"), qPrintable(Variabili::Risposta));
    }

    // A wrong identifier on a device server that is up: the network works,
    // the panel does not answer to that identifier. The red button says so
    // as on any line; a network error is one of the connection.
    void leParole() {
        AVVIA(banco, {"--fast"}, false);
        QVERIFY(avviaServer());
        FormSeriale::Istanza().MSComm1.setDispositivoForzato(tcp());
        QVERIFY2(banco.riapri(), qPrintable(banco.errore()));
        Variabili::Identificativo = "&47";
        FormPrincipaleTest f;
        f.show();
        QString didascalia, suggerimento;
        Quando([&] { return f.TastoErroreSeriale->isVisible(); },
               [&] {
                   didascalia = f.TastoErroreSeriale->text();
                   suggerimento = f.TastoErroreSeriale->toolTip();
                   f.TastoErroreSeriale->click();
               });
        f.LeggiStato();
        QVERIFY(FormSeriale::Istanza().MSComm1.PortOpen());
        QCOMPARE(didascalia, QString("Errore Seriale Premi qui"));
        QVERIFY2(suggerimento.startsWith("La centrale non risponde sulla porta COM1 (" + tcp() +
                                         ") con l'identificativo &47."),
                 qPrintable(suggerimento));
    }

    // 185 texts sent and verified through RFC 2217: the simulator answers only
    // once the tool has set the server's line from 19200 to 9600.
    void invioInRfc2217() {
        AVVIA(banco, {"--fast", "--need-9600"}, false);
        QVERIFY(avviaServer());
        QByteArray f = "Prova in rete\r\n";
        for (int n = 0; n < 185; ++n)
            f += QString("%1%2 nota\r\n").arg(n, 3, 10, QChar('0')).arg(TestoDi(n)).toLatin1();
        Scrivi(banco.percorso("testi.vlt"), f + "end\r\n");
        const QString traccia = banco.percorso("traccia.txt");
        const Uscita u = Esegui(
            banco.cartella(), {"--invia", "testi.vlt", "--porta", telnet(), "--traccia", traccia});
        QCOMPARE(u.codice, 0);
        QCOMPARE(u.uscita, QString("DATI UGUALI  TUTTO OK (185 testi scritti e verificati)\n"));
        const QStringList testi = banco->testi();
        for (int n = 0; n < 185; ++n)
            QCOMPARE(testi.value(n), QString("%1").arg(n, 3, 10, QChar('0')) + TestoDi(n));
        const QByteArray t = Leggi(traccia);
        QVERIFY2(t.contains("linea 9600,E,7,1 chiesta al server; confermato: 9600 bit/s"),
                 t.constData());
    }

    // A read-back through raw TCP gives the same file as on the local port;
    // the server stopped in the middle of one gives no file.
    void letturaInTcpGrezzo() {
        AVVIA(banco, {"--fast"}, false);
        for (int n = 0; n < 200; n += 3)
            QCOMPARE(banco->ordina(QString("text %1 %2").arg(n).arg(TestoDi(n))), QString("ok"));
        Uscita u = Esegui(banco.cartella(), {"--leggi", "locale.vlt"});
        QCOMPARE(u.codice, 0);
        QVERIFY(avviaServer());
        u = Esegui(banco.cartella(), {"--leggi", "rete.vlt", "--porta", tcp()});
        QCOMPARE(u.codice, 0);
        QVERIFY2(u.uscita.startsWith("letti tutti"), qPrintable(u.uscita));
        QCOMPARE(Leggi(banco.percorso("rete.vlt")), Leggi(banco.percorso("locale.vlt")));

        banco->azzeraRegistro();
        QProcess lettura;
        Avvia(lettura, banco.cartella(), {"--leggi", "fermata.vlt", "--porta", tcp()});
        QElapsedTimer t;
        t.start();
        while (banco->comandi().size() < 60 && t.elapsed() < 30000)
            QTest::qWait(5);
        fermaServer();
        u = Fine(lettura);
        QVERIFY2(u.codice == 1 || u.codice == 2, qPrintable(u.uscita + u.errore));
        QVERIFY(!QFile::exists(banco.percorso("fermata.vlt")));
        QVERIFY2((u.uscita + u.errore).contains(tcp()), qPrintable(u.uscita + u.errore));
        QVERIFY2(!u.errore.contains("adattatore"), qPrintable(u.errore));
    }

    // A device server that starts a command and never ends it is dropped
    // soon, long before it has sent what would fill the memory, and the job
    // names it once (on the first try and on the repeat, which connects again).
    void comandoTelnetSenzaFine() {
        SenzaFine senzaFine;
        const Uscita u =
            EseguiServendo(banco.cartella(), {"--stato", "--porta", senzaFine.indirizzo()});
        QCOMPARE(u.codice, 2);
        const QString detto = u.uscita + u.errore;
        QCOMPARE(detto.count("server " + senzaFine.indirizzo() + " difettoso"), 1);
        QVERIFY2(detto.contains("Telnet/RFC 2217"), qPrintable(detto));
        QVERIFY(!senzaFine.inviati.isEmpty());
        for (const qint64 n : std::as_const(senzaFine.inviati))
            QVERIFY2(n > 0 && n < SenzaFine::Totale, qPrintable(QString::number(n)));
    }

    // A device server that floods requests for options nobody uses, before
    // and between the panel's answers, gets one refusal of each, all sent in
    // few writes, and the answers still reach the job.
    void richiesteTelnetSenzaFine() {
        AVVIA(banco, {"--fast"}, false);
        QVERIFY(avviaServer());
        for (const char *o : {"input 17 C", "key A"})
            QCOMPARE(banco->ordina(o), QString("ok"));
        const QString atteso = "Stato: a riposo\nIngressi attivi: 17\nUltimo tasto: #\n";
        const Servito senza = EseguiServendo(banco.cartella(), {"--stato", "--porta", telnet()});
        QCOMPARE(senza.uscita, atteso);
        QVERIFY(senza.scritture > 0);
        Diluvio diluvio(server.rfc2217);
        const Servito u =
            EseguiServendo(banco.cartella(), {"--stato", "--porta", diluvio.indirizzo()});
        QCOMPARE(u.codice, 0);
        QCOMPARE(u.uscita, atteso);
        QVERIFY2(diluvio.ondate > 5, qPrintable(QString::number(diluvio.ondate)));
        QMap<QByteArray, int> una;
        for (int o = 100; o < 140; ++o)
            una[Telnet(WONT, o)] = una[Telnet(DONT, o)] = 1;
        QCOMPARE(diluvio.risposte, una);
        // The same job without the requests, and the refusals in a write or two.
        QVERIFY2(u.scritture < senza.scritture + 10,
                 qPrintable(QString("%1 scritture, %2 senza le richieste")
                                .arg(u.scritture)
                                .arg(senza.scritture)));
    }

    // One link written four ways (two names of this machine, both families,
    // a file COM2 holding the address): the sites on it run one after
    // another, so the server never finds its port taken. A job that finds
    // it taken by another connection (the port, or its device through the
    // server's other port) says so, as a port problem (exit 2).
    void unaLineaScrittaInPiuModi() {
        AVVIA(banco, {"--fast"}, false);
        server.ovunque = true;
        QVERIFY(avviaServer());
        const QString cartella = banco.cartella();
        const QString porta = QString::number(server.grezza);
        Scrivi(banco.percorso("COM2"), (tcp() + "\n").toUtf8());
        const QStringList siti = {"tcp://127.0.0.1:" + porta, "tcp://localhost:" + porta,
                                  "tcp://[::1]:" + porta, "COM2"};
        for (int i = 0; i < siti.size(); ++i)
            QCOMPARE(Esegui(cartella, {"--nuovo-impianto", QString("Sito%1").arg(i), "--porta",
                                       siti[i], "--id", "&45"})
                         .codice,
                     0);
        Uscita u = Esegui(cartella, {"--su-impianti", "tutti", "--stato"});
        QVERIFY2(u.codice == 0 && u.uscita.endsWith("4 impianti: 4 giusti\n"),
                 qPrintable(u.uscita + u.errore));

        // Another client holds a port of the server (once the server has let
        // the device go from the last connection, it keeps this one).
        QTcpSocket altro;
        const auto tieni = [&](quint16 porta) {
            for (int volta = 0; volta < 10; ++volta) {
                altro.abort();
                altro.connectToHost(QHostAddress::LocalHost, porta);
                if (altro.waitForConnected(2000)) QTest::qWait(200);
                if (altro.state() == QAbstractSocket::ConnectedState) return true;
            }
            return false;
        };
        QVERIFY(tieni(server.grezza));
        u = Esegui(cartella, {"--impianto", "Sito1", "--stato"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.contains(": porta del server occupata da un altro collegamento"),
                 qPrintable(u.errore));
        // ... or its device taken through its other port.
        QVERIFY(tieni(server.rfc2217));
        u = Esegui(cartella, {"--impianto", "Sito0", "--stato"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.contains(": porta del server occupata da un altro collegamento"),
                 qPrintable(u.errore));
        u = Esegui(cartella, {"--su-impianti", "Sito3", "--stato"});
        QVERIFY2(u.uscita.contains("porta del server occupata da un altro collegamento") &&
                     u.uscita.endsWith("1 impianto: 1 con un problema\n"),
                 qPrintable(u.uscita));
    }

    // Nothing listening, an unknown host, no port: exit 2 soon, with the
    // address and the reason.
    void indirizziSbagliati() {
        const QString nessuno = QString("tcp://127.0.0.1:%1").arg(PortaLibera());
        const QList<QPair<QString, QString>> casi = {
            {nessuno, "connessione rifiutata"},
            {"rfc2217://host-inesistente.invalid:4001", ""},
            {"socket://127.0.0.1", "manca la porta TCP"},
            {"tcp://[::1:4001", "manca la \"]\""}};
        for (const auto &[indirizzo, motivo] : casi) {
            QElapsedTimer t;
            t.start();
            const Uscita u = Esegui(banco.cartella(), {"--stato", "--porta", indirizzo});
            QVERIFY2(t.elapsed() < 12000, qPrintable(indirizzo));
            QCOMPARE(u.codice, 2);
            QVERIFY2(u.errore.startsWith("velto318: Impossibile collegarsi alla centrale in rete " +
                                         indirizzo + ": " + motivo),
                     qPrintable(u.errore));
        }
    }
};

QTEST_MAIN(TestRete)
#include "tst_rete.moc"
