// The command line, the serial port listing, the start-up message of a port
// that does not open, --porta and the start from the desktop menu.
#include "link/FormSeriale.h"
#include "link/PorteSeriali.h"
#include "app/RigaDiComando.h"
#include "support/Simulatore.h"
#include "shared/Variabili.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

namespace {

RigaDiComando Leggi(const QStringList &opzioni) {
    return LeggiRigaDiComando(QStringList{"velto318"} + opzioni);
}

struct Uscita {
    int codice = -1;
    QString uscita, errore;
};

// Runs the tool with no display at all: whatever needs no window must not
// try to open one.
Uscita SenzaDisplay(const QStringList &argomenti, const QString &cartella = QString()) {
    QProcess p;
    p.setWorkingDirectory(cartella);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(v);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VELTO_APP), argomenti);
    if (!p.waitForFinished(10000)) p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

QByteArray Contenuto(const QString &percorso) {
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int Stati(const Simulatore &sim) {
    return int(sim.comandi().filter(QRegularExpression("^&45SA")).size());
}

} // namespace

class TestOpzioni : public QObject {
    Q_OBJECT

  private slots:
    void rigaDiComando() {
        RigaDiComando r = Leggi({});
        QVERIFY(!r.esci);
        QVERIFY(!r.aiuto && !r.versione && !r.porte && r.porta.isEmpty() && !r.cartellaUtente &&
                r.traccia.isEmpty() && r.id.isEmpty() && !r.rs485 && r.lavoro == Lavoro::Nessuno &&
                r.file.isEmpty());

        for (const char *o : {"--help", "-h"}) {
            r = Leggi({o});
            QVERIFY(r.esci);
            QCOMPARE(r.codiceUscita, 0);
            for (const char *voce :
                 {"--porte", "--porta DISPOSITIVO", "--cartella-utente", "--version"})
                QVERIFY2(r.uscita.contains(voce), qPrintable(r.uscita));
        }
        r = Leggi({"--version"});
        QVERIFY(r.esci);
        QCOMPARE(r.uscita, QString("velto318 " VELTO_VERSIONE "\n"));

        r = Leggi({"--porte"});
        QVERIFY(!r.esci && r.porte);
        r = Leggi({"--porta", "/dev/ttyUSB0", "--cartella-utente"});
        QVERIFY(!r.esci);
        QCOMPARE(r.porta, QString("/dev/ttyUSB0"));
        QVERIFY(r.cartellaUtente);
        QCOMPARE(Leggi({"--porta=/dev/ttyACM1"}).porta, QString("/dev/ttyACM1"));
        // Qt's own options are the application object's, in both their forms.
        r = Leggi({"-platform", "offscreen", "--porta", "COM3", "-style=fusion", "-reverse"});
        QVERIFY2(!r.esci, qPrintable(r.errore));
        QCOMPARE(r.porta, QString("COM3"));

        // A wrong line: one message for the standard error, status 2.
        const QList<QPair<QStringList, QString>> sbagliate = {
            {{"--nope"}, "opzione sconosciuta \"--nope\""},
            {{"-x"}, "opzione sconosciuta \"-x\""},
            {{"--porta"}, "manca il valore dell'opzione --porta"},
            {{"--porta="}, "manca il valore dell'opzione --porta"},
            {{"--porta", "--porte"}, "manca il valore dell'opzione --porta"},
            {{"Seriale318.con"}, "argomento inatteso \"Seriale318.con\""},
        };
        for (const auto &[argomenti, messaggio] : sbagliate) {
            r = Leggi(argomenti);
            QVERIFY(r.esci);
            QCOMPARE(r.codiceUscita, 2);
            QVERIFY(r.uscita.isEmpty());
            QVERIFY2(r.errore.startsWith("velto318: " + messaggio), qPrintable(r.errore));
        }

        // The executable needs no display for any of these.
        Uscita u = SenzaDisplay({"--version"});
        QCOMPARE(u.codice, 0);
        QCOMPARE(u.uscita, QString("velto318 " VELTO_VERSIONE "\n"));
        u = SenzaDisplay({"--nope"});
        QCOMPARE(u.codice, 2);
        QVERIFY(u.uscita.isEmpty());
        QVERIFY2(u.errore.contains("opzione sconosciuta"), qPrintable(u.errore));
        u = SenzaDisplay({"--porta"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.contains("manca il valore"), qPrintable(u.errore));
        // The windows with no display: why, and the jobs that need none; no abort.
        QTemporaryDir vuota;
        u = SenzaDisplay({}, vuota.path());
        QCOMPARE(u.codice, 2);
        QVERIFY2(
            u.errore.startsWith("velto318: le finestre hanno bisogno di una sessione grafica") &&
                u.errore.contains("--invia") && u.errore.contains("--stato"),
            qPrintable(u.errore));
    }

    // Every option in its own field of the record; a line the jobs cannot
    // run ends with status 2 and says why.
    void opzioniNelRecord() {
        RigaDiComando r = Leggi({"--porta", "/dev/ttyUSB1", "--cartella-utente", "--traccia",
                                 "t.txt", "--id", "&07", "--rs485", "--invia", "a.vlt"});
        QVERIFY2(!r.esci, qPrintable(r.errore));
        QCOMPARE(r.porta, QString("/dev/ttyUSB1"));
        QVERIFY(r.cartellaUtente && r.rs485 && !r.porte && !r.aiuto && !r.versione);
        QCOMPARE(r.traccia, QString("t.txt"));
        QCOMPARE(r.id, QString("&07"));
        QVERIFY(r.lavoro == Lavoro::Invia && r.file == "a.vlt");
        QVERIFY(Leggi({"--leggi", "b.vlt"}).lavoro == Lavoro::Leggi);
        QCOMPARE(Leggi({"--confronta", "c.vlt"}).file, QString("c.vlt"));
        QVERIFY(Leggi({"--confronta", "c.vlt"}).lavoro == Lavoro::Confronta);
        QVERIFY(Leggi({"--stato"}).lavoro == Lavoro::Stato);
        QVERIFY(Leggi({"--cerca"}).lavoro == Lavoro::Cerca && Leggi({"--cerca"}).file.isEmpty());
        QVERIFY(Leggi({"--help"}).aiuto && Leggi({"--version"}).versione);
        const RigaDiComando prova = Leggi({"--prova", "--durata", "30", "--rapporto", "a.csv",
                                           "--rapporto", "b.PDF", "--impianto", "Scuola"});
        QVERIFY(prova.lavoro == Lavoro::Prova && prova.durata == 30 && prova.impianto == "Scuola");
        QCOMPARE(prova.rapporti, QStringList({"a.csv", "b.PDF"}));

        const QString lavori = "--invia, --leggi, --stato, --cerca, --confronta %1 --prova.";
        const QList<QPair<QStringList, QString>> sbagliate = {
            {{"--id", "&07"}, "--id vale solo con " + lavori.arg("o")},
            {{"--rs485"}, "--rs485 vale solo con " + lavori.arg("o")},
            {{"--stato", "--cerca"}, "una sola operazione alla volta tra " + lavori.arg("e")},
            {{"--stato", "--id", "45"}, "identificativo \"45\" non valido"},
            {{"--stato", "--traccia"}, "manca il valore dell'opzione --traccia (FILE)."},
            {{"--durata", "5"}, "--durata vale solo con --prova."},
            {{"--prova", "--durata", "0"}, "--durata vuole un numero intero di secondi"},
            {{"--prova", "--rapporto", "r.xyz"}, "rapporto \"r.xyz\": il tipo"},
        };
        for (const auto &[argomenti, messaggio] : sbagliate) {
            r = Leggi(argomenti);
            QVERIFY(r.esci);
            QCOMPARE(r.codiceUscita, 2);
            QVERIFY2(r.errore.startsWith("velto318: " + messaggio), qPrintable(r.errore));
        }
    }

    // The site book's options: --leggi and --confronta of a site without a
    // file, two version numbers, and what cannot go together.
    void opzioniDegliImpianti() {
        RigaDiComando r = Leggi({"--impianto", "Scuola", "--leggi"});
        QVERIFY2(!r.esci, qPrintable(r.errore));
        QVERIFY(r.lavoro == Lavoro::Leggi && r.file.isEmpty() && r.impianto == "Scuola");
        r = Leggi({"--confronta", "--impianto", "Scuola"});
        QVERIFY(!r.esci && r.lavoro == Lavoro::Confronta && r.file.isEmpty());
        QCOMPARE(Leggi({"--impianto", "Scuola", "--leggi", "a.vlt"}).file, QString("a.vlt"));
        r = Leggi({"--impianto", "Scuola", "--confronta-versioni", "2", "5"});
        QVERIFY(!r.esci && r.libro == Libro::ConfrontaVersioni && r.versioneA == 2 &&
                r.versioneB == 5);
        r = Leggi({"--nuovo-impianto", "Asilo", "--porta", "COM2", "--id", "&03", "--rs485"});
        QVERIFY2(!r.esci && r.libro == Libro::Nuovo && r.rs485, qPrintable(r.errore));

        const QList<QPair<QStringList, QString>> sbagliate = {
            {{"--leggi"}, "manca il valore dell'opzione --leggi"},
            {{"--storia"}, "--storia vuole l'impianto"},
            {{"--impianto", "S", "--storia", "--stato"}, "--stato e --storia non vanno insieme"},
            {{"--impianti", "--cliente", "x"}, "--cliente vale solo con --nuovo-impianto."},
            {{"--impianto", "S", "--confronta-versioni", "1"}, "--confronta-versioni vuole due"},
            {{"--impianto", "S"}, "--impianto vale solo con"},
        };
        for (const auto &[argomenti, messaggio] : sbagliate) {
            r = Leggi(argomenti);
            QCOMPARE(r.codiceUscita, 2);
            QVERIFY2(r.errore.startsWith("velto318: " + messaggio), qPrintable(r.errore));
        }
    }

    void elencoPorte() {
        QCOMPARE(ElencoPorte({}), QString("Nessuna porta seriale trovata.\n"));
        const QList<PortaSeriale> porte = {
            {"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI"},
            {"/dev/ttyS0", "", "", ""},
            {"/dev/ttyACM10", "Arduino  Uno\n", "Arduino LLC", ""},
        };
        QCOMPARE(ElencoPorte(porte),
                 QString("/dev/ttyUSB0   FT232R USB UART  FTDI         A50285BI\n"
                         "/dev/ttyS0     -                -            -\n"
                         "/dev/ttyACM10  Arduino Uno      Arduino LLC  -\n"));

        // --porte prints what the system lists (a pseudo-terminal, like the
        // simulator's, is not listed), with no display, and ends well.
        QTemporaryDir dir;
        Simulatore sim(dir.path());
        QVERIFY(sim.avvia());
        const Uscita u = SenzaDisplay({"--porte"});
        QCOMPARE(u.codice, 0);
        QCOMPARE(u.uscita, ElencoPorte(PortePresenti()));
        QVERIFY(u.errore.isEmpty());
    }

    void chiTieneLaPorta() {
        QCOMPARE(NomiFileLock("/dev/ttyUSB0"), QStringList{"LCK..ttyUSB0"});
        QCOMPARE(NomiFileLock("/dev/pts/3"), QStringList({"LCK..pts_3", "LCK..3"}));
        QCOMPARE(PidDaLock("      4242\n"), 4242);
        QCOMPARE(PidDaLock("4242\nminicom\nofficina\n"), 4242);
        const qint32 binario = 4243;
        QCOMPARE(PidDaLock(QByteArray(reinterpret_cast<const char *>(&binario), 4)), 4243);
        QCOMPARE(PidDaLock("rotto\n"), 0);
        QCOMPARE(PidDaLock(""), 0);

#ifndef Q_OS_LINUX
        QSKIP("who holds a device is read from Linux's /proc");
#endif
        // A program that holds the device open (here a file only it holds,
        // through a link as COMn would be), and one that left a lock file.
        QTemporaryDir dir;
        QFile dispositivo(dir.filePath("ttyVELTO"));
        QVERIFY(dispositivo.open(QIODevice::WriteOnly));
        dispositivo.close();
        QVERIFY(QFile::link(dispositivo.fileName(), dir.filePath("COM1")));
        QProcess tiene;
        tiene.setStandardInputFile(dispositivo.fileName());
        tiene.start("sleep", {"30"});
        QVERIFY(tiene.waitForStarted());
        const QString atteso = QString("sleep (PID %1)").arg(tiene.processId());
        QCOMPARE(ChiTieneLaPorta(dir.filePath("COM1"), {}, "/proc"), atteso);

        QTemporaryDir lock;
        QFile f(lock.filePath("LCK..ttyUSB7"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QString("%1\n").arg(tiene.processId(), 10).toLatin1());
        f.close();
        QCOMPARE(ChiTieneLaPorta("/dev/ttyUSB7", {lock.path()}, "/proc"), atteso);
        tiene.kill();
        tiene.waitForFinished();
        // A lock left by a program that has ended tells nothing.
        QCOMPARE(ChiTieneLaPorta("/dev/ttyUSB7", {lock.path()}, "/proc"), QString());
    }

    void messaggioDiAvvio() {
        AperturaFallita a;
        a.porta = "COM1";
        a.dispositivo = "/dev/ttyS0";
        a.motivo = "la porta non esiste";
        a.cartella = "/home/tecnico/Velto318";
        a.porte = {{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI"},
                   {"/dev/ttyACM0", "", "", ""}};
        QString m = MessaggioAperturaFallita(a);
        QVERIFY2(m.startsWith("Impossibile aprire la porta seriale COM1 (/dev/ttyS0): la porta "
                              "non esiste."),
                 qPrintable(m));
        QVERIFY(!m.contains("dialout"));
        QVERIFY(!m.contains("occupata"));
        a.negata = true;
        QVERIFY(MessaggioAperturaFallita(a).contains("gruppo \"dialout\""));
        a.negata = false;
        QVERIFY2(m.contains("Porte seriali presenti:\n"
                            "  /dev/ttyUSB0  (FT232R USB UART, FTDI, A50285BI)\n"
                            "  /dev/ttyACM0\n"),
                 qPrintable(m));
        QVERIFY2(m.contains("ln -sf /dev/ttyUSB0 \"/home/tecnico/Velto318/COM1\""), qPrintable(m));
        QVERIFY2(m.contains("velto318 --porta /dev/ttyUSB0"), qPrintable(m));

        a.porte.clear();
        a.occupata = true;
        a.chi = "minicom (PID 4242)";
        m = MessaggioAperturaFallita(a);
        QVERIFY2(m.contains("occupata da un altro programma: minicom (PID 4242)."), qPrintable(m));
        QVERIFY(!m.contains("dialout"));
        // The port is there: neither other ports nor a new link are offered.
        QVERIFY2(m.endsWith("Chiudi quel programma e riavvia questo.") &&
                     !m.contains("Nessuna porta seriale") && !m.contains("--porta") &&
                     !m.contains("ln -sf"),
                 qPrintable(m));
        a.chi = "ModemManager (PID 612)";
        QVERIFY(MessaggioAperturaFallita(a).contains("attendi qualche secondo"));

        // The tool's own start-up message, for a port another tool holds.
        QTemporaryDir dir, altra;
        Simulatore sim(dir.path());
        QVERIFY(sim.avvia());
        QProcess primo;
        primo.setWorkingDirectory(altra.path());
        primo.start(VELTO_APP, {"-platform", "offscreen", "--porta", dir.filePath("COM1")});
        QVERIFY(primo.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(Stati(sim) > 0, 15000);

        Variabili::NumeroPorta = "1";
        FormSeriale &s = FormSeriale::Istanza();
        s.MSComm1.setCartellaPorte(dir.path());
        s.ApriSeriale();
        QVERIFY(!s.MSComm1.PortOpen());
        m = s.ErroreApertura();
        QVERIFY2(m.contains(QString("occupata da un altro programma: velto318 (PID %1).")
                                .arg(primo.processId())),
                 qPrintable(m));
        QVERIFY2(!m.contains("Porte seriali presenti:") && !m.contains("ln -sf") &&
                     !m.contains("--porta"),
                 qPrintable(m));
        FormSeriale::Scarica();
        primo.terminate();
        QVERIFY(primo.waitForFinished(5000));
        QCOMPARE(primo.exitCode(), 128 + SIGTERM);
    }

    // No wrong advice and no message cut short: a path too long is no matter
    // of permissions; only COM1 to COM9 name a port, so COM0 is never advised
    // (not even with a COM0 link in the folder); a refused --id and the
    // identifier of Seriale318.con are shown with their control characters.
    void consigliGiustiENessunTaglio() {
        Variabili::NumeroPorta = "1";
        FormSeriale &s = FormSeriale::Istanza();
        s.MSComm1.setDispositivoForzato("/dev/" + QString(300, 'x'));
        s.ApriSeriale();
        QVERIFY(!s.MSComm1.PortOpen());
        QString m = s.ErroreApertura();
        QVERIFY2(m.contains("il percorso del dispositivo è troppo lungo."), qPrintable(m));
        QVERIFY(!m.contains("dialout") && !m.contains("occupata"));
        s.MSComm1.setDispositivoForzato(QString());

        QTemporaryDir dir;
        QVERIFY(QFile::link("/dev/null", dir.filePath("COM0")));
        s.MSComm1.setCartellaPorte(dir.path());
        Variabili::NumeroPorta = "0";
        s.ApriSeriale();
        m = s.ErroreApertura();
        QVERIFY2(m.startsWith("Impossibile aprire la porta seriale COM0: numero di porta non "
                              "valido.\nSi possono usare solo le porte da COM1 a COM9"),
                 qPrintable(m));
        QVERIFY2(
            m.contains(QString("un collegamento simbolico COM1 nella cartella di avvio\n  ln -sf "
                               "%1 \"%2\"")
                           .arg(PortePresenti().value(0).dispositivo, dir.filePath("COM1"))
                           .replace("ln -sf  ", "ln -sf DISPOSITIVO ")),
            qPrintable(m));
        QVERIFY(!m.contains("collegamento COM0"));
        FormSeriale::Scarica();

        const RigaDiComando r = Leggi({"--stato", "--id", "&4\x1b"});
        QCOMPARE(r.codiceUscita, 2);
        QVERIFY2(r.errore.startsWith("velto318: identificativo \"&4<ESC>\" non valido"),
                 qPrintable(r.errore));

        Simulatore sim(dir.path());
        QVERIFY(sim.avvia());
        QFile f(dir.filePath("Seriale318.con"));
        QVERIFY(f.open(QIODevice::WriteOnly) &&
                f.write(QByteArray("rs232;COM1;&4\0;\r\nEND\r\n", 23)));
        f.close();
        const Uscita u = SenzaDisplay({"--stato"}, dir.path());
        QCOMPARE(u.codice, 1);
        QVERIFY2(u.uscita.startsWith("Errore seriale. Controlla identificativo: la centrale "
                                     "&4<NUL> non risponde a &4<NUL>SA<CR> sulla porta COM1 ("),
                 qPrintable(u.uscita));
        QVERIFY2(
            u.uscita.endsWith("). velto318 --cerca elenca gli identificativi che rispondono.\n"),
            qPrintable(u.uscita));
    }

    void portaDallaRigaDiComando() {
        QTemporaryDir dir;
        const QString avvio = dir.filePath("avvio"), pannello = dir.filePath("pannello");
        QVERIFY(QDir().mkpath(avvio) && QDir().mkpath(pannello));
        // The file names COM3, which is nothing here; --porta gives the device.
        const QByteArray configurazione = "rs232;COM3;&45;\r\nEND\r\n";
        QFile f(avvio + "/Seriale318.con");
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(configurazione));
        f.close();
        Simulatore sim(pannello);
        QVERIFY(sim.avvia());
        const QString pty = QFileInfo(pannello + "/COM1").canonicalFilePath();

        // A link is followed to its device, a relative path made absolute.
        QCOMPARE(DispositivoDaOpzione(pannello + "/COM1"), pty);
        QCOMPARE(DispositivoDaOpzione("COM3"), QString("COM3"));
        const QString prima = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QCOMPARE(DispositivoDaOpzione("pannello"), pannello);
        QDir::setCurrent(prima);

        QProcess app;
        app.setWorkingDirectory(avvio);
        app.start(VELTO_APP, {"-platform", "offscreen", "--porta", "../pannello/COM1"});
        QVERIFY(app.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(Stati(sim) >= 1 && sim.comandi().size() >= 5, 15000);
        app.terminate();
        QVERIFY(app.waitForFinished(5000));
        QCOMPARE(app.exitCode(), 128 + SIGTERM);
        QCOMPARE(Contenuto(avvio + "/Seriale318.con"), configurazione);
        QCOMPARE(QDir(avvio).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"Seriale318.con"});
    }

    void avvioDalMenu() {
        QCOMPARE(CartellaUtente("/home/tecnico"), QString("/home/tecnico/Velto318"));
        QCOMPARE(CartellaUtente("/home/tecnico/"), QString("/home/tecnico/Velto318"));
        QVERIFY(CartellaUtente("/").isEmpty());
        QVERIFY(CartellaUtente("").isEmpty());
        QVERIFY(EntraInCartella("").contains("HOME"));
        QVERIFY(EntraInCartella("/proc/velto318/Velto318").startsWith("Impossibile creare"));

        QTemporaryDir dir;
        const QString casa = dir.filePath("casa"), altrove = dir.filePath("altrove");
        QVERIFY(QDir().mkpath(casa) && QDir().mkpath(altrove));
        Simulatore sim(dir.path());
        QVERIFY(sim.avvia());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", casa);
        for (int volta = 1; volta <= 2; ++volta) {
            sim.azzeraRegistro();
            QProcess app;
            app.setProcessEnvironment(env);
            app.setWorkingDirectory(altrove);
            app.start(VELTO_APP, {"-platform", "offscreen", "--cartella-utente", "--porta",
                                  dir.filePath("COM1")});
            QVERIFY(app.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(Stati(sim) >= 1, 15000);
            app.terminate();
            QVERIFY(app.waitForFinished(5000));
            QCOMPARE(app.exitCode(), 128 + SIGTERM);
            // Its files are in its own folder: not in the home folder, not where it started.
            QCOMPARE(Contenuto(casa + "/Velto318/Seriale318.con"),
                     QByteArray("rs232;COM1;&45;\r\nEND\r\n"));
            QCOMPARE(QDir(casa).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                     QStringList{"Velto318"});
            QVERIFY(QDir(altrove).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        }
    }
};

QTEST_MAIN(TestOpzioni)
#include "tst_opzioni.moc"
