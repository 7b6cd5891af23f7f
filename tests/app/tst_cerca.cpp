// --cerca, the identifiers that answer on the line, and --confronta, what a
// send would change, run by the real executable without any display against
// the simulator. A search always tries 100 identifiers at 0.8 s each for the
// silent ones, so it takes about 80 s: the three searches run side by side.
#include "support/Banco.h"
#include "support/Lavoro.h"
#include "app/Cerca.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// The tool started in `cartella` with no display, not waited for.
std::unique_ptr<QProcess> Avvia(const QString &cartella, const QStringList &argomenti) {
    auto p = std::make_unique<QProcess>();
    ::Avvia(*p, cartella, argomenti);
    return p;
}

// The lines of the output that list an identifier.
QStringList Trovati(const QString &uscita) {
    QStringList r;
    for (const QString &riga : uscita.split('\n'))
        if (riga.startsWith('&')) r << riga;
    return r;
}

// The status requests a search sends: the configured identifier, then every
// other one from &00 to &99, each once.
QStringList RichiesteAttese(const QString &configurato) {
    QStringList r = {configurato + "SA"};
    for (int n = 0; n <= 99; ++n) {
        const QString id = QString("&%1").arg(n, 2, 10, QChar('0'));
        if (id != configurato) r << id + "SA";
    }
    return r;
}

bool Scrivi(const QString &percorso, const QByteArray &dati) {
    QFile f(percorso);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(dati) == dati.size();
}

} // namespace

class TestCerca : public QObject {
    Q_OBJECT
    Banco banco;

  private slots:
    void init() { banco.inizio(); }
    void cleanup() { banco.fine(); }

    // An echo alone is no answer: the command without its CR, or the whole
    // command with what followed it; a status reply whose header repeats the
    // command is one. Order: the configured identifier first, never twice.
    void ordineEdEco() {
        const QStringList ordine = OrdineCerca("&45");
        QCOMPARE(ordine.size(), 100);
        QCOMPARE(ordine.mid(0, 3), QStringList({"&45", "&00", "&01"}));
        QCOMPARE(ordine.count("&45"), 1);
        QCOMPARE(ordine.last(), QString("&99"));
        QCOMPARE(OrdineCerca("ABC").size(), 101);
        QVERIFY(SoloEco("&07SA\r", "&07SA"));
        QVERIFY(SoloEco("&07SA\r", "&07SA\r&07S"));
        QVERIFY(!SoloEco("&07SA\r", "&07SAR"));
        QVERIFY(RigaTrovato("&07", "&07SAR").startsWith("&07  a riposo"));
    }

    // Three searches side by side (each tries all 100 identifiers, about
    // 80 s): a panel on RS232 configured with another identifier than the
    // file's, one on RS485 with echo, and a silent line.
    void trovaLaCentraleOppureNessuna() {
        banco.limite(150);
        AVVIA(banco, {"--fast", "--id", "&07"}, false);
        QTemporaryDir bus, linea;
        QVERIFY(bus.isValid() && linea.isValid());
        Simulatore sim485(bus.path(), {"--fast", "--rs485", "--id", "&93"});
        QVERIFY2(sim485.avvia(), qPrintable(sim485.errore()));
        Simulatore muto(linea.path(), {"--fast", "--silent"});
        QVERIFY2(muto.avvia(), qPrintable(muto.errore()));

        QElapsedTimer t;
        t.start();
        auto p232 = Avvia(banco.cartella(), {"--cerca"});
        auto p485 = Avvia(bus.path(), {"--cerca", "--rs485"});
        auto pMuto = Avvia(linea.path(), {"--cerca"});
        const Uscita u232 = Fine(*p232);
        const Uscita u485 = Fine(*p485);
        const Uscita uMuto = Fine(*pMuto);
        const qint64 ms = t.elapsed();

        QVERIFY2(u232.codice == 0, qPrintable(u232.uscita + u232.errore));
        QCOMPARE(Trovati(u232.uscita).size(), 1);
        QVERIFY(Trovati(u232.uscita).first().startsWith("&07  a riposo"));
        QVERIFY(u232.uscita.contains("--id '&07'")); // how to use it
        QCOMPARE(banco->comandi(), RichiesteAttese("&45"));

        QVERIFY2(u485.codice == 0, qPrintable(u485.uscita + u485.errore));
        QCOMPARE(Trovati(u485.uscita).size(), 1);
        QVERIFY(Trovati(u485.uscita).first().startsWith("&93  a riposo"));
        QCOMPARE(sim485.comandi(), RichiesteAttese("&45"));

        // Nobody answers: exit 1, within 100 times the 0.8 s time-out and the
        // 0.1 s of quiet line after it, every identifier tried once.
        QVERIFY2(uMuto.codice == 1, qPrintable(uMuto.uscita + uMuto.errore));
        QVERIFY(Trovati(uMuto.uscita).isEmpty());
        QVERIFY2(uMuto.uscita.contains("Nessuna centrale risponde"), qPrintable(uMuto.uscita));
        QVERIFY2(ms < 100 * 900 + 5000, qPrintable(QString::number(ms)));
        QCOMPARE(muto.comandi().size(), 100);
    }

    // --confronta reads the numbers a send would write, in its order (lines
    // the send skips, and those after END, are not read), and writes nothing:
    // exit 0 when the panel holds every text, 1 with each differing number and
    // both texts, 2 for a file the send refuses, before any read.
    void confronta() {
        const QByteArray file = "Prova confronto\r\n"
                                "001Primo testo     nota\r\n"
                                "---- separatore\r\n"
                                "007Settimo\r\n"
                                "150Centocinquanta\r\n"
                                "198Escluso\r\n"
                                "010Decimo\r\n"
                                "END\r\n"
                                "020Dopo la fine\r\n";
        QVERIFY(Scrivi(banco.percorso("t.vlt"), file));
        AVVIA(banco, {"--fast", "--file", banco.percorso("t.vlt")}, false);
        const QStringList letture = {"&450R001", "&450R007", "&450R150", "&450R010"};

        auto p = Avvia(banco.cartella(), {"--confronta", "t.vlt"});
        Uscita u = Fine(*p);
        QVERIFY2(u.codice == 0, qPrintable(u.uscita + u.errore));
        QCOMPARE(banco->comandi(), letture);

        QCOMPARE(banco->ordina("text 7 Settimo  due"), QString("ok"));
        QCOMPARE(banco->ordina("text 10 decimo"), QString("ok"));
        banco->azzeraRegistro();
        p = Avvia(banco.cartella(), {"--confronta", "t.vlt"});
        u = Fine(*p);
        QVERIFY2(u.codice == 1, qPrintable(u.uscita + u.errore));
        QVERIFY2(u.uscita.contains(QString::fromUtf8("007  file:     \"Settimo·········\"\n"
                                                     "     centrale: \"Settimo··due····\"")),
                 qPrintable(u.uscita));
        QVERIFY2(u.uscita.contains("010  file:") && !u.uscita.contains("001  file:") &&
                     !u.uscita.contains("150  file:"),
                 qPrintable(u.uscita));
        QCOMPARE(banco->comandi(), letture); // no write

        QVERIFY(Scrivi(banco.percorso("t.vlt"), "c\r\n001ok\r\n002perch\xc3\xa8\r\nend\r\n"));
        banco->azzeraRegistro();
        p = Avvia(banco.cartella(), {"--confronta", "t.vlt"});
        u = Fine(*p);
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.contains("Testo 002, riga 3"), qPrintable(u.errore));
        QVERIFY(banco->comandi().isEmpty());
    }
};

QTEST_MAIN(TestCerca)
#include "tst_cerca.moc"
