// The serial transport against the panel simulator over a real pseudo-terminal.
#include "shared/Attendi.h"
#include "support/Banco.h"
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "support/Simulatore.h"
#include "support/TempoCpu.h"
#include "shared/Variabili.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using namespace Variabili;

class TestLink : public QObject {
    Q_OBJECT
    Banco banco;
    FormSeriale &seriale() { return FormSeriale::Istanza(); }

    qint64 scambia(const QString &comando, int lunghezza) {
        Comando = comando;
        LunghezzaRisposta = qint16(lunghezza);
        QElapsedTimer t;
        t.start();
        seriale().InviaAllaSeriale();
        return t.elapsed();
    }

  private slots:
    void init() { banco.inizio(); }
    void cleanup() { banco.fine(); }

    void impostazioniDellaLinea() {
        MSComm c;
        QVERIFY(c.setSettings("9600,E,7,1"));
        QCOMPARE(c.Settings(), QString("9600,E,7,1"));
        QVERIFY(!c.setSettings("9600,X,7,1"));
        QVERIFY(!c.setSettings("9600,E,9,1"));
        QVERIFY(!c.setSettings("abc"));
        QVERIFY(!c.setSettings("9600,,7,1"));
        QVERIFY(!c.setSettings("9600,EE,7,1"));
        QVERIFY(c.setSettings("19200,n,8,2"));
        QVERIFY(c.setSettings("9600,E,7,1"));
        QCOMPARE(c.Settings(), QString("9600,E,7,1"));
    }

    void scambioNormale() {
        AVVIA(banco);
        banco->ordina("text 7 Zona Nord 07");
        scambia(Comandi::Stato("&45"), 6);
        QVERIFY(!ErroreSeriale);
        QVERIFY(!SerialeOccupata);
        QCOMPARE(Comandi::SenzaTesta(Risposta, 5), QString("R"));
        scambia(Comandi::LeggiTesto("&45", "007"), 24);
        QVERIFY(!ErroreSeriale);
        QCOMPARE(Risposta, QString("&450R00Zona Nord 07    "));
        QCOMPARE(banco->comandi(), QStringList({"&45SA", "&450R007"}));
    }

    // At the real wire speed the status reply is taken at 6 characters and its
    // CR comes afterwards: the next exchange discards it.
    void crInRitardoScartato() {
        AVVIA(banco, {});
        for (int i = 0; i < 3; ++i) {
            scambia(Comandi::Stato("&45"), 6);
            QVERIFY(!ErroreSeriale);
            QCOMPARE(Risposta, QString("&45SAR"));
        }
        scambia(Comandi::Tasto("&45"), 10);
        QCOMPARE(Risposta.left(8), QString("&450900@"));
    }

    void rumoreDopoLaRispostaScartato() {
        AVVIA(banco, {"--fast", "--noise"});
        for (int i = 0; i < 3; ++i) {
            scambia(Comandi::LeggiTesto("&45", "001"), 24);
            QVERIFY(!ErroreSeriale);
            QCOMPARE(Risposta.left(7), QString("&450R00"));
        }
    }

    void pannelloMuto() {
        AVVIA(banco, {"--fast", "--silent"});
        const double cpu = TempoCpu();
        const qint64 ms = scambia(Comandi::Stato("&45"), 6);
        QVERIFY(ErroreSeriale);
        QCOMPARE(Risposta, QString("1234567errore seriale "));
        QCOMPARE(Risposta.size(), 22);
        QVERIFY(!SerialeOccupata);
        QCOMPARE(seriale().MSComm1.RThreshold(), 0);
        // Two time-outs of 0.8 s; a third attempt would pass 2.4 s.
        QVERIFY2(ms >= 1600 && ms < 2400, qPrintable(QString::number(ms)));
        QVERIFY2(TempoCpu() - cpu < 0.15, "the reply wait must not spin");
        QCOMPARE(banco->comandi(), QStringList({"&45SA", "&45SA"}));
    }

    void primoTentativoPersoRipetizioneRisposta() {
        AVVIA(banco, {"--fast", "--drop-every", "2"});
        scambia(Comandi::Stato("&45"), 6);                   // reply 1 answered
        const qint64 ms = scambia(Comandi::Stato("&45"), 6); // reply 2 dropped, 3 answered
        QVERIFY(!ErroreSeriale);
        QCOMPARE(Risposta, QString("&45SAR"));
        QVERIFY2(ms >= 800 && ms < 1600, qPrintable(QString::number(ms))); // one time-out
        QCOMPARE(banco->comandi().size(), 3);
    }

    void rispostaTroncataNonAccettata() {
        AVVIA(banco, {"--fast", "--truncate"});
        scambia(Comandi::LeggiTesto("&45", "000"), 24);
        QVERIFY(ErroreSeriale);
        QCOMPARE(Risposta, QString("1234567errore seriale "));
    }

    void altroIdentificativoNonRisponde() {
        AVVIA(banco, {"--fast", "--id", "&12"});
        scambia(Comandi::Stato("&45"), 6);
        QVERIFY(ErroreSeriale);
        scambia(Comandi::Stato("&12"), 6);
        QVERIFY(!ErroreSeriale);
        QCOMPARE(Risposta, QString("&12SAR"));
    }

    void rs485TogliEco() {
        Modo485 = true;
        AVVIA(banco, {"--rs485"});
        scambia(Comandi::Stato("&45"), 6);
        QVERIFY(!ErroreSeriale);
        QCOMPARE(LunghezzaRisposta, qint16(12));
        QCOMPARE(Risposta, QString("&45SAR"));
        scambia(Comandi::LeggiTesto("&45", "000"), 24);
        QCOMPARE(LunghezzaRisposta, qint16(33));
        QCOMPARE(Risposta, "&450R00" + QString(16, ' '));
    }

    void rs485RipetizioneNonRaddoppiaLEco() {
        Modo485 = true;
        AVVIA(banco, {"--fast", "--rs485", "--drop-every", "2"});
        scambia(Comandi::Stato("&45"), 6);
        scambia(Comandi::Stato("&45"), 6); // first attempt gets only the echo
        QVERIFY(!ErroreSeriale);
        QCOMPARE(LunghezzaRisposta, qint16(12));
        QCOMPARE(Risposta, QString("&45SAR"));
        QCOMPARE(banco->comandi().size(), 3);
    }

    void rs485MarcatoreIntatto() {
        Modo485 = true;
        AVVIA(banco, {"--fast", "--rs485", "--silent"});
        scambia(Comandi::Stato("&45"), 6);
        QVERIFY(ErroreSeriale);
        QCOMPARE(Risposta, QString("1234567errore seriale "));
        QCOMPARE(LunghezzaRisposta, qint16(12));
    }

    // Replies that come after their time-out raise no event and never reach
    // a caller: the next exchange discards them.
    void rispostaTardivaScartata() {
        AVVIA(banco, {"--fast", "--delay", "1900"});
        scambia(Comandi::LeggiTesto("&45", "003"), 24);
        QVERIFY(ErroreSeriale);
        banco->ordina("delay 0");
        banco->ordina("text 4 quattro");
        Attendi(1300); // both late replies arrive meanwhile
        QCOMPARE(Risposta, QString("1234567errore seriale "));
        scambia(Comandi::LeggiTesto("&45", "004"), 24);
        QVERIFY(!ErroreSeriale);
        QCOMPARE(Risposta, "&450R00quattro" + QString(9, ' '));
    }

    void chiudiDueVolte() {
        AVVIA(banco);
        seriale().ChiudiSeriale();
        QVERIFY(!seriale().MSComm1.PortOpen());
        seriale().ChiudiSeriale();
        QVERIFY(!seriale().MSComm1.PortOpen());
        // A deliberately closed link is not reopened by an exchange.
        const qint64 ms = scambia(Comandi::Stato("&45"), 6);
        QVERIFY(ErroreSeriale);
        QVERIFY2(ms < 400, qPrintable(QString::number(ms))); // no reply waited for
        QVERIFY(banco->comandi().isEmpty());
    }

    void portaCheNonSiApre_data() {
        QTest::addColumn<QString>("porta");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("collegamento rotto") << "2"
                                            << "non esiste";
        QTest::newRow("numero non valido") << "x"
                                           << "numero di porta non valido";
    }
    void portaCheNonSiApre() {
        QFETCH(QString, porta);
        QFETCH(QString, motivo);
        QVERIFY(QFile::link(banco.percorso("assente"), banco.percorso("COM2")));
        NumeroPorta = porta;
        seriale().ApriSeriale();
        QVERIFY(!seriale().MSComm1.PortOpen());
        const QString errore = seriale().ErroreApertura();
        QVERIFY2(errore.contains(motivo), qPrintable(errore));
        QVERIFY(errore.contains("COM" + porta));
        const qint64 ms = scambia(Comandi::Stato("&45"), 6);
        QVERIFY(ErroreSeriale);
        QCOMPARE(Risposta, QString("1234567errore seriale "));
        QVERIFY2(ms < 400, qPrintable(QString::number(ms))); // no reply waited for
        QVERIFY(!SerialeOccupata);
    }

    // The line carries 7 bits: what goes out is the low 7 bits of each
    // character, and the panel takes the text so changed.
    void uscitaASetteBit() {
        AVVIA(banco);
        scambia(Comandi::ScriviTesto("&45", QString::fromUtf8("005città è")), 7);
        QVERIFY(!ErroreSeriale);
        const QString comando = banco->comandi().value(0);
        QVERIFY2(comando.contains("citt` h"), qPrintable(comando));
        QVERIFY(std::none_of(comando.begin(), comando.end(), [](QChar c) { return c > '\x7f'; }));
        QVERIFY(banco->testi().contains("005citt` h         "));
    }

    // While nobody reads (the red error button waits) a bus with other
    // traffic keeps sending: only the newest bytes are kept.
    void ricezioneLimitata() {
        const int lato = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(lato >= 0);
        const auto chiudi = qScopeGuard([lato] { ::close(lato); });
        QVERIFY(::grantpt(lato) == 0 && ::unlockpt(lato) == 0);
        QVERIFY(QFile::link(QString::fromLocal8Bit(::ptsname(lato)), banco.percorso("COM1")));
        QVERIFY2(banco.riapri(), qPrintable(banco.errore()));

        QByteArray traffico(1 << 20, 'x');
        traffico.replace(traffico.size() - 4, 4, "FINE");
        qint64 scritti = 0;
        const QDeadlineTimer scadenza(30000);
        while (scritti < traffico.size() && !scadenza.hasExpired()) {
            const ssize_t n = ::write(lato, traffico.constData() + scritti,
                                      size_t(std::min<qint64>(4096, traffico.size() - scritti)));
            if (n > 0)
                scritti += n;
            else
                QTest::qWait(1); // the line is full until the tool reads
        }
        QCOMPARE(scritti, qint64(traffico.size()));
        QTest::qWait(300);
        const QString tenuti = seriale().MSComm1.Input();
        QCOMPARE(tenuti.size(), MSComm::MassimoInRicezione);
        QVERIFY(tenuti.endsWith("xxFINE"));
        seriale().ChiudiSeriale();
    }

    // A lost port is opened again on the same COMn entry: while the entry is
    // gone the link stays down (never another port, not even another line
    // that takes the freed pseudo-terminal's number), once it is back the
    // link works again.
    void scollegaERicollega() {
        AVVIA(banco);
        scambia(Comandi::Stato("&45"), 6);
        QVERIFY(!ErroreSeriale);
        banco.scollega();
        const double cpu = TempoCpu();
        const qint64 ms = scambia(Comandi::Stato("&45"), 6);
        QVERIFY(ErroreSeriale);
        QVERIFY(ms < 2000);
        Attendi(300); // a lost port must not raise errors at full speed
        QVERIFY2(TempoCpu() - cpu < 0.3, qPrintable(QString::number(TempoCpu() - cpu)));
        QVERIFY(!seriale().MSComm1.PortOpen());
        QVERIFY(!seriale().ErroreApertura().isEmpty());
        // The line closed, its pseudo-terminal's number is free: the next
        // line opened on the system usually takes it.
        QTemporaryDir altrove;
        Simulatore altro(altrove.path());
        QVERIFY2(altro.avvia(), qPrintable(altro.errore()));
        scambia(Comandi::Stato("&45"), 6);
        QVERIFY(ErroreSeriale);
        QVERIFY(altro.comandi().isEmpty());

        QVERIFY(QFile::remove(banco.percorso("COM1")));
        scambia(Comandi::Stato("&45"), 6);
        QVERIFY(ErroreSeriale);
        QCOMPARE(seriale().MSComm1.Dispositivo(), banco.percorso("COM1"));
        QVERIFY2(seriale().ErroreApertura().contains("non esiste"),
                 qPrintable(seriale().ErroreApertura()));

        AVVIA(banco, {"--fast"}, false);
        scambia(Comandi::Stato("&45"), 6);
        QVERIFY(!ErroreSeriale);
        QCOMPARE(Risposta, QString("&45SAR"));
        QVERIFY(seriale().MSComm1.PortOpen());
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
