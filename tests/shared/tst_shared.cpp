#include "link/Configurazione.h"
#include "files/FileMessaggi.h"
#include "files/FormatoMessaggi.h"
#include "link/MSComm.h"
#include "shared/Attendi.h"
#include "shared/Numeri.h"
#include "link/Traccia.h"
#include "shared/Salvataggio.h"
#include "support/DiscoPieno.h"
#include "support/FileProva.h"
#include "support/TempoCpu.h"
#include "shared/Variabili.h"
#include "testmode/RegistroProva.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

using namespace Variabili;

namespace {

// The user a test gives files to: nobody.
constexpr uid_t Altro = 65534;

// A link of user Altro at `link` to `bersaglio`.
bool LinkAltrui(const QString &bersaglio, const QString &link) {
    return QFile::link(bersaglio, link) &&
           ::lchown(QFile::encodeName(link).constData(), Altro, Altro) == 0;
}

// Links of user Altro to `bersaglio`, one for each name a file made within
// the next seconds would have: `nome` with a time as `formato` writes it.
bool LinkPerOgniSecondo(const QString &nome, const QString &formato, const QString &bersaglio) {
    const QDateTime ora = QDateTime::currentDateTime();
    for (int s = -1; s <= 5; ++s)
        if (!LinkAltrui(bersaglio, nome.arg(ora.addSecs(s).toString(formato)))) return false;
    return true;
}

struct stat Stat(const QString &percorso) {
    struct stat s = {};
    ::lstat(QFile::encodeName(percorso).constData(), &s);
    return s;
}

} // namespace

class TestShared : public QObject {
    Q_OBJECT
  private slots:
    void treCifre_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("atteso");
        const QList<QPair<int, QString>> casi = {
            {0, "000"},   {7, "007"},   {9, "009"},   {10, "010"},  {45, "045"},  {99, "099"},
            {100, "100"}, {109, "109"}, {110, "110"}, {181, "181"}, {192, "192"}, {199, "199"}};
        for (const auto &c : casi)
            QTest::newRow(qPrintable(c.second)) << c.first << c.second;
    }
    void treCifre() {
        QFETCH(int, n);
        QFETCH(QString, atteso);
        NumeroTesto = qint16(n);
        TreCifre();
        QCOMPARE(NumeroTre, atteso);
    }

    void treCifreTuttiINumeri() {
        for (int n = 0; n <= 199; ++n) {
            NumeroTesto = qint16(n);
            TreCifre();
            QCOMPARE(NumeroTre, QString::asprintf("%03d", n));
        }
        // NumeroTre keeps its value until TreCifre runs again.
        NumeroTesto = 5;
        QCOMPARE(NumeroTre, QString("199"));
    }

    void attendiZeroNonPompa() {
        bool eseguito = false;
        QTimer::singleShot(0, this, [&] { eseguito = true; });
        Attendi(0);
        QVERIFY(!eseguito);
        Attendi(1);
        QVERIFY(eseguito);
    }

    // A wait is never shorter than asked; how much longer it takes depends on
    // the load of the machine, so the upper bounds hold for the best of a few
    // waits: a wait that always overshoots fails every one of them.
    void attendiDuraQuantoDeveSenzaOccupareLaCpu() {
        qint64 lunga = 1000000, breve = 1000000;
        for (int volta = 0; volta < 3 && (lunga >= 450 || breve >= 80); ++volta) {
            QElapsedTimer t;
            t.start();
            const double cpu = TempoCpu();
            Attendi(300);
            const qint64 trascorsi = t.elapsed();
            QVERIFY2(trascorsi >= 300, qPrintable(QString::number(trascorsi)));
            lunga = std::min(lunga, trascorsi);
            // A busy wait would burn about 300 ms of CPU.
            QVERIFY2(TempoCpu() - cpu < 0.05, qPrintable(QString::number(TempoCpu() - cpu)));

            t.restart();
            Attendi(10);
            QVERIFY(t.elapsed() >= 10);
            breve = std::min(breve, t.elapsed());
        }
        QVERIFY2(lunga < 450, qPrintable(QString::number(lunga)));
        QVERIFY2(breve < 80, qPrintable(QString::number(breve)));
    }

    void attendiServeGliEventiMentreAspetta() {
        int scatti = 0; // the most in one wait
        for (int volta = 0; volta < 3 && scatti < 8; ++volta) {
            int qui = 0;
            QTimer timer;
            connect(&timer, &QTimer::timeout, this, [&] { ++qui; });
            timer.start(20);
            Attendi(210);
            scatti = std::max(scatti, qui);
        }
        QVERIFY2(scatti >= 8, qPrintable(QString::number(scatti)));
    }

    void attendiFiniscePrimaSeLaApplicazioneChiude() {
        QTimer::singleShot(50, this, [] { ChiusuraRichiesta = true; });
        QElapsedTimer t;
        t.start();
        Attendi(5000);
        ChiusuraRichiesta = false;
        QVERIFY(t.elapsed() < 1000);
    }

    void valoreIniziale_data() {
        QTest::addColumn<QString>("testo");
        QTest::addColumn<double>("valore");
        QTest::newRow("cifre") << "485" << 485.0;
        QTest::newRow("blank davanti") << " 45" << 45.0;
        QTest::newRow("blank in mezzo") << "4 8" << 48.0;
        QTest::newRow("segno") << "-12" << -12.0;
        QTest::newRow("punto") << "1.5" << 1.5;
        QTest::newRow("si ferma") << "12a" << 12.0;
        QTest::newRow("nessun numero") << "---" << 0.0;
        QTest::newRow("lettere") << "ABC" << 0.0;
        QTest::newRow("vuoto") << "" << 0.0;
        QTest::newRow("due punti") << "1.2.3" << 1.2;
        QTest::newRow("segno solo") << "+" << 0.0;
    }
    void valoreIniziale() {
        QFETCH(QString, testo);
        QFETCH(double, valore);
        QCOMPARE(ValoreIniziale(testo), valore);
    }

    // Whatever the tool writes (a save, the rescue file of a signal, the
    // walk-test journal, the default configuration) follows a link only as
    // the kernel's protected_symlinks rule would: in a folder anyone may
    // write to and only owners delete from (as /tmp), another user's link is
    // refused, whether it leads to a file or nowhere, and nothing is written.
    // A file saved over keeps its owner, group and permissions; a rescue file
    // gets the permissions asked for.
    void collegamentiAltruiEPermessi() {
        if (::geteuid() != 0) QSKIP("serve root per dare file e collegamenti a un altro utente");
        QTemporaryDir base;
        const QString condivisa = base.filePath("condivisa");
        QVERIFY(QDir().mkdir(condivisa));
        QVERIFY(::chmod(QFile::encodeName(condivisa).constData(), 01777) == 0);
        const auto in = [&](const QString &nome) { return condivisa + '/' + nome; };
        const QString segreto = base.filePath("segreto");
        Scrivi(segreto, "di root");
        QVERIFY(::chmod(QFile::encodeName(segreto).constData(), 0600) == 0);
        QString errore;

        // Another user's link, to a file and to nowhere: refused, named.
        QVERIFY(LinkAltrui(segreto, in("a.vlt")));
        QVERIFY(!Salvataggio::Salva(in("a.vlt"), "nuovo", &errore));
        QVERIFY2(errore.contains(in("a.vlt")) && errore.contains("appartiene a un altro utente"),
                 qPrintable(errore));
        QVERIFY(LinkAltrui(base.filePath("nuovo-b"), in("b.vlt")));
        QVERIFY(!Salvataggio::Salva(in("b.vlt"), "nuovo", &errore));
        // This user's own link there, and another user's in a folder of
        // this user's: followed, the link kept.
        QVERIFY(QFile::link(base.filePath("nuovo-c"), in("c.vlt")));
        QVERIFY2(Salvataggio::Salva(in("c.vlt"), "nuovo", &errore), qPrintable(errore));
        QVERIFY(LinkAltrui("nuovo-d", base.filePath("d.vlt")));
        QVERIFY2(Salvataggio::Salva(base.filePath("d.vlt"), "nuovo", &errore), qPrintable(errore));
        QCOMPARE(Leggi(base.filePath("nuovo-c")), QByteArray("nuovo"));
        QCOMPARE(Leggi(base.filePath("nuovo-d")), QByteArray("nuovo"));
        QVERIFY(QFileInfo(in("c.vlt")).isSymLink());

        // Another user's link to a folder, on the way to the file: refused
        // as well; and the line's trace, appended to, never goes through one.
        QVERIFY(QDir().mkdir(base.filePath("altrove")));
        QVERIFY(LinkAltrui(base.filePath("altrove"), in("sub")));
        QVERIFY(!Salvataggio::Salva(in("sub/e.vlt"), "nuovo", &errore));
        QVERIFY2(errore.contains("passa dal collegamento simbolico " + in("sub")),
                 qPrintable(errore));
        QVERIFY(LinkAltrui(segreto, in("traccia.txt")));
        const QString traccia = Traccia::Apri(in("traccia.txt"));
        Traccia::Chiudi();
        QVERIFY2(traccia.contains("appartiene a un altro utente"), qPrintable(traccia));
        QVERIFY(QDir(base.filePath("altrove")).isEmpty());

        // The rescue file of a signal: the next place takes it, 0600.
        QVERIFY(LinkPerOgniSecondo(in("x-non-salvato-%1.vlt"), "yyyyMMdd-HHmmss",
                                   base.filePath("nuovo-x")));
        QVERIFY(QDir().mkdir(base.filePath("lavoro")));
        const QString prima = QDir::currentPath();
        QDir::setCurrent(base.filePath("lavoro"));
        const QString salvato =
            FormatoMessaggi::SalvaNonSalvato(condivisa, "x", "testi", 0600, &errore);
        QDir::setCurrent(prima);
        QVERIFY2(salvato.startsWith(base.filePath("lavoro/x-non-salvato-")), qPrintable(salvato));
        QCOMPARE(Stat(salvato).st_mode & 07777, 0600u);

        // The walk-test journal in a shared folder.
        const QString prove = base.filePath("giro/prove");
        QVERIFY(QDir().mkpath(prove));
        QVERIFY(::chmod(QFile::encodeName(prove).constData(), 01777) == 0);
        QVERIFY(LinkPerOgniSecondo(prove + "/prova-%1-45.txt", "yyyy-MM-dd_HH-mm-ss",
                                   base.filePath("nuovo-giornale")));
        Prova::Registro registro;
        registro.identificativo = "&45";
        const QString giornale = registro.ApriGiornale(base.filePath("giro"));
        QVERIFY2(giornale.contains("appartiene a un altro utente"), qPrintable(giornale));

        // The default configuration written at the first start.
        QVERIFY(LinkAltrui(base.filePath("nuovo-con"), in("Seriale318.con")));
        const Configurazione c = LeggiConfigurazione(in("Seriale318.con"));
        QVERIFY2(!c.predefinitaScritta && c.avviso.contains("appartiene a un altro utente"),
                 qPrintable(c.avviso));

        QCOMPARE(Leggi(segreto), QByteArray("di root"));
        for (const char *nome : {"nuovo-b", "nuovo-x", "nuovo-giornale", "nuovo-con"})
            QVERIFY2(!QFileInfo::exists(base.filePath(nome)), nome);
        QVERIFY(QFileInfo(in("a.vlt")).isSymLink() && QFileInfo(in("b.vlt")).isSymLink());

        // Saved over by root, another user's file stays theirs.
        const QString suo = base.filePath("suo.vlt");
        Scrivi(suo, "vecchio");
        QVERIFY(::chown(QFile::encodeName(suo).constData(), Altro, Altro) == 0);
        QVERIFY(::chmod(QFile::encodeName(suo).constData(), 0640) == 0);
        QVERIFY2(Salvataggio::Salva(suo, "nuovo", &errore), qPrintable(errore));
        QCOMPARE(Leggi(suo), QByteArray("nuovo"));
        QCOMPARE(Stat(suo).st_uid, Altro);
        QCOMPARE(Stat(suo).st_gid, gid_t(Altro));
        QCOMPARE(Stat(suo).st_mode & 07777, 0640u);
    }

    // Why a write or an opening failed, in Italian: a full disk under the
    // walk-test journal; a COMn file too big to name a port.
    void motiviInItaliano() {
        DiscoPieno disco;
        SALTA_SENZA_DISCO(disco);
        Prova::Registro registro;
        registro.Testi(QStringList(44, "ingresso"));
        QCOMPARE(registro.ApriGiornale(disco.cartella()), QString());
        QVERIFY(disco.riempi(0));
        registro.Annota(QString(20000, 'n'));
        QVERIFY2(registro.ErroreGiornale().contains("(spazio esaurito sul disco)"),
                 qPrintable(registro.ErroreGiornale()));

        QTemporaryDir dir;
        Scrivi(dir.filePath("COM1"), QByteArray(5000, 'x'));
        MSComm porta;
        porta.setCartellaPorte(dir.path());
        porta.setCommPort(1);
        porta.setPortOpen(true);
        QVERIFY(!porta.PortOpen());
        QVERIFY2(porta.ErroreApertura().contains("troppo grande"),
                 qPrintable(porta.ErroreApertura()));
    }
};

QTEST_GUILESS_MAIN(TestShared)
#include "tst_shared.moc"
