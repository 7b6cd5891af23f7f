#include "link/Configurazione.h"
#include "shared/Variabili.h"
#include "support/DiscoPieno.h"
#include "support/FileProva.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class TestConfigurazione : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString percorso() const { return dir.filePath("Seriale318.con"); }
    void scrivi(const QByteArray &dati) {
        QFile f(percorso());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(dati);
    }
    QByteArray contenuto() {
        QFile f(percorso());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<assente>");
    }

  private slots:
    void init() {
        QFile::remove(percorso());
        QDir(percorso()).removeRecursively();
        for (const QString &copia : QDir(dir.path()).entryList({"Seriale318.con.bak*"}))
            QFile::remove(dir.filePath(copia));
    }

    void fileValido_data() {
        QTest::addColumn<QByteArray>("dati");
        QTest::addColumn<bool>("rs485");
        QTest::addColumn<QString>("porta");
        QTest::addColumn<QString>("id");
        QTest::newRow("predefinito") << ContenutoPredefinito << false << "1"
                                     << "&45";
        QTest::newRow("rs485") << QByteArray("rs485;COM2;&12;\r\nEND\r\n") << true << "2"
                               << "&12";
        QTest::newRow("separatori ignorati")
            << QByteArray("rs232xCOM3x&07\r\nqualcosa\r\n") << false << "3"
            << "&07";
        QTest::newRow("porta a due cifre")
            << QByteArray("rs232;COM10;&45;\r\nEND\r\n") << false << "1"
            << ";&4";
        QTest::newRow("422 vale rs232") << QByteArray("rs422;COM4;&45;\r\nEND\r\n") << false << "4"
                                        << "&45";
        QTest::newRow("blank davanti") << QByteArray("rs 48;COM1;&45;\r\nX\r\n") << false << "1"
                                       << "&45";
        QTest::newRow("non numerico") << QByteArray("rsABC;COM5;&45;\r\nX") << false << "5"
                                      << "&45";
        QTest::newRow("riga corta") << QByteArray("rs485;COM\r\nEND\r\n") << true << ""
                                    << "";
        QTest::newRow("solo rs") << QByteArray("rs\r\nEND\r\n") << false << ""
                                 << "";
        QTest::newRow("righe in piu e coda")
            << QByteArray("rs485;COM9;&99;xxxxxxxx\r\nEND\r\nrs232\r\n") << true << "9"
            << "&99";
        QTest::newRow("secondo riga senza fine")
            << QByteArray("rs232;COM1;&45;\r\nE") << false << "1"
            << "&45";
        QTest::newRow("righe LF") << QByteArray("rs485;COM2;&12;\nEND\n") << true << "2"
                                  << "&12";
    }
    void fileValido() {
        QFETCH(QByteArray, dati);
        QFETCH(bool, rs485);
        QFETCH(QString, porta);
        QFETCH(QString, id);
        scrivi(dati);
        const Configurazione c = LeggiConfigurazione(percorso());
        QCOMPARE(c.Modo485, rs485);
        QCOMPARE(c.NumeroPorta, porta);
        QCOMPARE(c.Identificativo, id);
        QVERIFY(!c.predefinitaScritta);
        QCOMPARE(contenuto(), dati); // a valid file is left untouched
    }

    void contenutoNonValidoRiscritto_data() {
        QTest::addColumn<QByteArray>("dati");
        QTest::newRow("maiuscolo") << QByteArray("RS232;COM1;&45;\r\nEND\r\n");
        QTest::newRow("una sola riga") << QByteArray("rs485;COM2;&12;\r\n");
        QTest::newRow("una sola riga senza fine") << QByteArray("rs485;COM2;&12;");
        QTest::newRow("prima riga vuota") << QByteArray("\r\nrs485;COM2;&12;\r\n");
        QTest::newRow("vuoto") << QByteArray("");
        QTest::newRow("spazzatura") << QByteArray("\x01\x02\xff\xfe");
        QTest::newRow("prima riga oltre il limite")
            << QByteArray("rs485;COM2;&12;") + QByteArray(RigaMassima, ' ') + "\r\nEND\r\n";
    }
    void contenutoNonValidoRiscritto() {
        QFETCH(QByteArray, dati);
        scrivi(dati);
        const Configurazione c = LeggiConfigurazione(percorso());
        QVERIFY(c.predefinitaScritta);
        QCOMPARE(contenuto(), QByteArray("rs232;COM1;&45;\r\nEND\r\n"));
        QCOMPARE(c.Modo485, false);
        QCOMPARE(c.NumeroPorta, QString("1"));
        QCOMPARE(c.Identificativo, QString("&45"));
    }

    // A file that is not valid is replaced by the default, but its content is
    // kept beside it (an earlier copy is never overwritten) and the operator
    // is told which rule it broke and where the copy is. A missing or empty
    // file leaves no copy.
    void contenutoNonValidoConservato() {
        const QList<QPair<QByteArray, QString>> casi = {
            {"\xEF\xBB\xBFrs485;COM2;&12;\r\nEND\r\n", "BOM"},
            {"rs485;COM2;&12;", "dopo la prima riga non c'è nulla"},
            {"RS485;COM2;&12;\r\nEND\r\n", "inizia con \"RS\""},
        };
        for (qsizetype i = 0; i < casi.size(); ++i) {
            scrivi(casi[i].first);
            Variabili::NomeFile = percorso();
            const QString avviso = CaricaConfigurazione();
            QCOMPARE(contenuto(), ContenutoPredefinito);
            QCOMPARE(Variabili::NumeroPorta, QString("1"));
            const QString copia = percorso() + ".bak" + (i ? QString(".%1").arg(i) : QString());
            QVERIFY2(avviso.contains(casi[i].second) && avviso.contains(copia), qPrintable(avviso));
        }
        for (qsizetype i = 0; i < casi.size(); ++i) {
            QFile f(percorso() + ".bak" + (i ? QString(".%1").arg(i) : QString()));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), casi[i].first);
        }

        init();
        QVERIFY(LeggiConfigurazione(percorso()).avviso.isEmpty()); // missing
        scrivi(QByteArray());
        const Configurazione c = LeggiConfigurazione(percorso());
        QVERIFY(c.predefinitaScritta && c.avviso.isEmpty());
        QVERIFY(QDir(dir.path()).entryList({"Seriale318.con.bak*"}).isEmpty());
    }

    // Only a regular file is read, and nothing else is ever written or waited
    // on: the run goes on at once with the defaults, the operator is told, the
    // entry stays as it was.
    void voceNonNormale_data() {
        QTest::addColumn<QString>("tipo");
        QTest::newRow("pipe") << "pipe";
        QTest::newRow("collegamento a una pipe") << "link-pipe";
        QTest::newRow("collegamento a /dev/zero") << "zero";
        QTest::newRow("cartella") << "cartella";
    }
    void voceNonNormale() {
        QFETCH(QString, tipo);
        const QByteArray pipe = QFile::encodeName(dir.filePath("pipe"));
        if (tipo == "pipe") QVERIFY(::mkfifo(QFile::encodeName(percorso()), 0600) == 0);
        if (tipo == "link-pipe") {
            QVERIFY(::mkfifo(pipe, 0600) == 0);
            QVERIFY(QFile::link(dir.filePath("pipe"), percorso()));
        }
        if (tipo == "zero") QVERIFY(QFile::link("/dev/zero", percorso()));
        if (tipo == "cartella") QVERIFY(QDir().mkdir(percorso()));

        // A reader that waits on the pipe is let go after 3 s, so that the
        // case fails instead of hanging.
        std::atomic<bool> letto{false};
        std::thread sblocca([&] {
            for (int i = 0; i < 300 && !letto; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const int fd = ::open(QFile::encodeName(percorso()), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        });
        QElapsedTimer t;
        t.start();
        const Configurazione c = LeggiConfigurazione(percorso());
        letto = true;
        sblocca.join();
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!c.predefinitaScritta);
        QVERIFY2(c.avviso.contains("non è un file normale") && c.avviso.contains(percorso()),
                 qPrintable(c.avviso));
        QCOMPARE(c.Modo485, false);
        QCOMPARE(c.NumeroPorta, QString("1"));
        QCOMPARE(c.Identificativo, QString("&45"));

        struct stat s;
        QVERIFY(::lstat(QFile::encodeName(percorso()), &s) == 0);
        if (tipo == "pipe") QVERIFY(S_ISFIFO(s.st_mode));
        if (tipo == "cartella") QVERIFY(S_ISDIR(s.st_mode));
        if (tipo == "link-pipe" || tipo == "zero") QVERIFY(S_ISLNK(s.st_mode));
        if (tipo == "link-pipe") {
            QVERIFY(::stat(pipe, &s) == 0);
            QVERIFY(S_ISFIFO(s.st_mode));
        }
        QFile::remove(dir.filePath("pipe"));
    }

    void fileMancanteCreato() {
        const Configurazione c = LeggiConfigurazione(percorso());
        QVERIFY(c.predefinitaScritta);
        QCOMPARE(contenuto(), ContenutoPredefinito);
        QCOMPARE(c.NumeroPorta, QString("1"));
    }

    void cartellaNonScrivibileUsaIPredefiniti() {
        const Configurazione c = LeggiConfigurazione("/proc/nessuna/cartella/Seriale318.con");
        QVERIFY(!c.predefinitaScritta);
        QVERIFY(c.avviso.contains("Impossibile scrivere"));
        QCOMPARE(c.Modo485, false);
        QCOMPARE(c.NumeroPorta, QString("1"));
        QCOMPARE(c.Identificativo, QString("&45"));
    }

    // On a full disk the default cannot replace a file that breaks the rule:
    // the old file keeps its bytes, no temporary file is left, and the
    // warning says why.
    void discoPienoLasciaIlVecchioFile() {
        DiscoPieno disco;
        SALTA_SENZA_DISCO(disco);
        const QString file = disco.percorso("Seriale318.con");
        const QByteArray vecchio = "RS485;COM3;&07;\r\nEND\r\n";
        Scrivi(file, vecchio);
        QVERIFY(disco.riempi(4096)); // room for its copy, not for the default too
        const Configurazione c = LeggiConfigurazione(file);
        QVERIFY(!c.predefinitaScritta);
        QVERIFY2(c.avviso.contains("Impossibile scrivere il file di configurazione: impossibile "
                                   "scrivere " +
                                   file + " (spazio esaurito sul disco)"),
                 qPrintable(c.avviso));
        QCOMPARE(Leggi(file), vecchio);
        QCOMPARE(QDir(disco.cartella()).entryList({"*velto-tmp*"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    void caricaImpostaLeVariabili() {
        scrivi("rs485;COM3;&07;\r\nEND\r\n");
        Variabili::NomeFile = percorso();
        QVERIFY(CaricaConfigurazione().isEmpty());
        QCOMPARE(Variabili::Modo485, true);
        QCOMPARE(Variabili::NumeroPorta, QString("3"));
        QCOMPARE(Variabili::Identificativo, QString("&07"));
    }
};

QTEST_GUILESS_MAIN(TestConfigurazione)
#include "tst_configurazione.moc"
