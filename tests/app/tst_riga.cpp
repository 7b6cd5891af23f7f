// The jobs of the command line (--invia, --leggi, --stato) and the trace of
// the line, run by the real executable without any display against the
// simulator on COM1 of the case's folder.
#include "widgets/Aspetto.h"
#include "support/Aperta.h"
#include "support/Azioni.h"
#include "support/DiscoPieno.h"
#include "support/FileProva.h"
#include "support/Banco.h"
#include "support/Lavoro.h"
#include "files/FormSalvaFile.h"
#include "programming/FormScriveMessaggi.h"
#include "link/FormSeriale.h"
#include "shared/Variabili.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QSet>
#include <QSerialPort>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sends the signal to the tool once the simulator has `quanti` commands
// starting with `inizio`, then collects how the tool ended.
Uscita SegnaleDopo(QProcess &p, Simulatore *sim, const QString &inizio, int quanti, int segnale) {
    QElapsedTimer t;
    t.start();
    while (Conta(sim->comandi(), inizio) < quanti && t.elapsed() < 30000)
        QTest::qWait(5);
    ::kill(pid_t(p.processId()), segnale);
    if (!p.waitForFinished(10000)) p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

// A text of 16 characters for number n, different for every n.
QString TestoDi(int n) {
    return QString("Riga %1 xy").arg(n, 3, 10, QChar('0')).leftJustified(16);
}

// A message file with the texts of the given numbers.
QByteArray FileDi(const QList<int> &numeri) {
    QByteArray f = "Prova riga di comando\r\n";
    for (int n : numeri)
        f += QString("%1%2 nota\r\n").arg(n, 3, 10, QChar('0')).arg(TestoDi(n)).toLatin1();
    return f + "end\r\n";
}

// The numbers a read-back keeps: 185 of them.
QList<int> NumeriLetti() {
    QList<int> n;
    for (int i = 0; i <= 192; ++i)
        if (i < 182 || i >= 190) n << i;
    return n;
}

// Runs the tool while this process's events go on (a server of the case
// answers it meanwhile).
Uscita EseguiServendo(const QString &cartella, const QStringList &argomenti) {
    QProcess p;
    Avvia(p, cartella, argomenti);
    QElapsedTimer t;
    t.start();
    while (p.state() != QProcess::NotRunning && t.elapsed() < 60000)
        QTest::qWait(10);
    return Fine(p);
}

} // namespace

class TestRiga : public QObject {
    Q_OBJECT
    Banco banco;
    QString cartellaIniziale;

  private slots:
    void initTestCase() {
        ImpostaSostituzioniFont();
        cartellaIniziale = QDir::currentPath();
        QVERIFY2(QFile::exists(Eseguibile()), qPrintable(Eseguibile() + " non costruito"));
    }
    void init() { banco.inizio(); }
    void cleanup() {
        QDir::setCurrent(cartellaIniziale);
        AnnullaAzioni();
        banco.fine();
    }

    // 185 texts sent and verified: exit 0, the window's words, every text in
    // the panel, one progress line per phase (stderr is not a terminal).
    void invioDi185Testi() {
        AVVIA(banco, {"--fast"}, false);
        const QList<int> numeri = NumeriLetti();
        Scrivi(banco.percorso("testi.vlt"), FileDi(numeri));
        const Uscita u = Esegui(banco.cartella(), {"--invia", "testi.vlt"});
        QCOMPARE(u.codice, 0);
        QCOMPARE(u.uscita, QString("DATI UGUALI  TUTTO OK (185 testi scritti e verificati)\n"));
        QCOMPARE(u.errore, QString("Scrittura di 185 testi\nVerifica di 185 testi\n"));
        const QStringList testi = banco->testi();
        for (int n : numeri)
            QCOMPARE(testi.value(n), QString("%1%2").arg(n, 3, 10, QChar('0')).arg(TestoDi(n)));
        QCOMPARE(Conta(banco->comandi(), "&450W018"), 185);
        QCOMPARE(Conta(banco->comandi(), "&450R"), 185);

        // One text: every count in the singular.
        Scrivi(banco.percorso("uno.vlt"), FileDi({5}));
        Uscita uno = Esegui(banco.cartella(), {"--invia", "uno.vlt"});
        QCOMPARE(uno.errore, QString("Scrittura di 1 testo\nVerifica di 1 testo\n"));
        uno = Esegui(banco.cartella(), {"--confronta", "uno.vlt"});
        QCOMPARE(uno.codice, 0);
        QCOMPARE(uno.uscita, QString("La centrale ha già l'unico testo del file: inviarlo non "
                                     "cambierebbe nulla.\n"));
    }

    // A panel that refuses, changes or ignores a text: exit 1 and one result
    // line naming the text, with both texts where it read one back.
    void centraleCheRifiutaCambiaOTace_data() {
        QTest::addColumn<QStringList>("simulatore");
        QTest::addColumn<QString>("risultato");
        QTest::newRow("scrittura rifiutata")
            << QStringList{"--fast", "--refuse-writes"}
            << QString("Errore risposta: la centrale non ha accettato il testo 000 \"%1\" "
                       "(risposta \"&450WN\").\n")
                   .arg(TestoDi(0));
        QTest::newRow("testo cambiato")
            << QStringList{"--fast", "--change", "002"}
            << QString("Errore Dati non scritti giusti. Testo 002: scritto \"%1\", riletto "
                       "\"%2\".\n")
                   .arg(TestoDi(2), TestoDi(2).left(15) + "#");
        QTest::newRow("centrale muta")
            << QStringList{"--fast", "--silent"}
            << QString("Errore risposta: la centrale &45 non risponde alla scrittura del "
                       "testo 000 \"%1\" sulla porta COM1 (%2).\n")
                   .arg(TestoDi(0));
    }
    void centraleCheRifiutaCambiaOTace() {
        QFETCH(QStringList, simulatore);
        QFETCH(QString, risultato);
        AVVIA(banco, simulatore, false);
        Scrivi(banco.percorso("testi.vlt"), FileDi({0, 1, 2, 3}));
        const Uscita u = Esegui(banco.cartella(), {"--invia", "testi.vlt"});
        QCOMPARE(u.codice, 1);
        if (risultato.contains("%2"))
            risultato = risultato.arg(QFileInfo(banco.percorso("COM1")).symLinkTarget());
        QCOMPARE(u.uscita, risultato);
    }

    // Usage, file and port problems: exit 2, one message on stderr naming the
    // file or the port and the reason, nothing on stdout, nothing sent.
    void problemiDiUsoFileEPorta() {
        AVVIA(banco, {"--fast"}, false);
        const QString manca = banco.percorso("manca.vlt");
        const QString nessuna = banco.percorso("nessun-adattatore");
        Scrivi(banco.percorso("vuoto.vlt"), "solo il commento\r\nend\r\n");
        QVERIFY(QFile::link("/dev/null", banco.percorso("dispositivo.vlt")));
        const QList<QPair<QStringList, QStringList>> casi = {
            {{"--invia", "manca.vlt"}, {manca, "Nulla è stato inviato"}},
            {{"--invia", "vuoto.vlt"}, {"vuoto.vlt", "non contiene testi"}},
            {{"--leggi", "letti.txt"}, {"letti.txt", ".vlt"}},
            {{"--leggi", "no/letti.vlt"}, {"no/letti.vlt", "non esiste"}},
            {{"--leggi", "dispositivo.vlt"}, {"dispositivo.vlt", "non è un file normale"}},
            {{"--leggi", "/proc/letti.vlt"}, {"/proc", "non accetta file nuovi"}},
            {{"--stato", "--porta", nessuna}, {nessuna, "non esiste"}},
            {{"--stato", "--id", "45"}, {"identificativo \"45\" non valido"}},
            {{"--invia", "a.vlt", "--stato"}, {"una sola operazione"}},
        };
        for (const auto &[argomenti, attesi] : casi) {
            const Uscita u = Esegui(banco.cartella(), argomenti);
            QCOMPARE(u.codice, 2);
            QVERIFY(u.uscita.isEmpty());
            QCOMPARE(u.errore.count("velto318: "), 1);
            for (const QString &a : attesi)
                QVERIFY2(u.errore.contains(a), qPrintable(u.errore));
        }
        QVERIFY(banco->comandi().isEmpty());
        QVERIFY(!QFile::exists(banco.percorso("letti.txt")));
    }

    // A file cut short or with a number twice: exit 2 naming the reason,
    // nothing written or read. Lines above 197: the rest is sent, stdout
    // says how many were left out and why (for --confronta too).
    void fileNonComeSembrano() {
        AVVIA(banco, {"--fast"}, false);
        QByteArray tagliato = FileDi({0, 1, 2});
        tagliato.chop(QByteArray("4 nota\r\nend\r\n").size());
        Scrivi(banco.percorso("tagliato.vlt"), tagliato);
        Scrivi(banco.percorso("doppio.vlt"), FileDi({0, 7, 1, 7}));
        for (const QString &lavoro : {QString("--invia"), QString("--confronta")}) {
            Uscita u = Esegui(banco.cartella(), {lavoro, "tagliato.vlt"});
            QCOMPARE(u.codice, 2);
            QVERIFY(u.uscita.isEmpty());
            QVERIFY2(u.errore.contains("non finisce con la riga end"), qPrintable(u.errore));
            u = Esegui(banco.cartella(), {lavoro, "doppio.vlt"});
            QCOMPARE(u.codice, 2);
            QVERIFY2(u.errore.contains("Testo 007 due volte: righe 3 e 5"), qPrintable(u.errore));
        }
        QVERIFY(banco->comandi().isEmpty());

        Scrivi(banco.percorso("alti.vlt"), FileDi({0, 198, 1, 250, 2}));
        const QString nonInviate = "2 righe non inviate: il loro numero è oltre 197, il più alto "
                                   "che il VELTO accetta (la prima è la riga 3).\n";
        Uscita u = Esegui(banco.cartella(), {"--invia", "alti.vlt"});
        QCOMPARE(u.codice, 0);
        QCOMPARE(u.uscita, nonInviate + "DATI UGUALI  TUTTO OK (3 testi scritti e verificati)\n");
        QCOMPARE(Conta(banco->comandi(), "&450W018"), 3);
        u = Esegui(banco.cartella(), {"--confronta", "alti.vlt"});
        QCOMPARE(u.codice, 0);
        QVERIFY2(u.uscita.startsWith(nonInviate), qPrintable(u.uscita));
    }

    // A line whose number lost a digit ("02Testo", " 004Testo") is a text
    // gone wrong, not a comment: the send writes the good texts, names the
    // lines it left out and ends with exit 2, not as all done; so does the
    // comparison. A blank line and a comment without digits stay silent.
    void righeConNumeroSpezzato() {
        AVVIA(banco, {"--fast"}, false);
        Scrivi(banco.percorso("spezzato.vlt"),
               "Prova\r\n001" + TestoDi(1).toLatin1() +
                   "\r\n02Testo due\r\n\r\n--- nota\r\n 004Testo quattro\r\n003" +
                   TestoDi(3).toLatin1() + "\r\nend\r\n");
        const QString saltate = "2 righe non inviate: non cominciano con un numero di tre cifre "
                                "(righe 3 e 6).\n";
        Uscita u = Esegui(banco.cartella(), {"--invia", "spezzato.vlt"});
        QCOMPARE(u.codice, 2);
        QCOMPARE(u.uscita, saltate + "DATI UGUALI (2 testi scritti e verificati), ma le righe "
                                     "saltate non sono state inviate: correggi il loro numero "
                                     "e invia di nuovo il file.\n");
        QCOMPARE(Conta(banco->comandi(), "&450W018"), 2);
        QCOMPARE(banco->testi().value(1), "001" + TestoDi(1));
        QCOMPARE(banco->testi().value(3), "003" + TestoDi(3));
        u = Esegui(banco.cartella(), {"--confronta", "spezzato.vlt"});
        QCOMPARE(u.codice, 2);
        QCOMPARE(u.uscita, saltate + "La centrale ha già i 2 testi che un invio del file "
                                     "scriverebbe, ma le righe saltate non sarebbero inviate: "
                                     "correggi il loro numero.\n");
    }

    // A file name that is not UTF-8 (Latin-1 "été.vlt") cannot be opened or
    // written by that name: a job refuses it with exit 2 and says why,
    // sends nothing and leaves the folder as it was, even beside the file
    // that name would be taken for. With no locale set as well; a UTF-8
    // name works there.
    void nomeNonUtf8() {
        AVVIA(banco, {"--fast"}, false);
        const QByteArray testi = FileDi({1, 2});
        Scrivi(banco.percorso("\u00e9t\u00e9.vlt"), testi);
        Scrivi(banco.percorso("\ufffdt\ufffd.vlt"), testi);
        // Removed at the end: the temporary folder's own clean-up cannot name it.
        struct Latin1 {
            const std::string nome;
            ~Latin1() { std::filesystem::remove(nome); }
        } latin1{QFile::encodeName(banco.cartella()).toStdString() + "/\xe9t\xe9.vlt"};
        std::ofstream(latin1.nome, std::ios::binary) << testi.toStdString();
        const auto nomi = [&] {
            QSet<QByteArray> n;
            for (const auto &e : std::filesystem::directory_iterator(
                     QFile::encodeName(banco.cartella()).toStdString()))
                n << QByteArray::fromStdString(e.path().filename().native());
            return n;
        };
        const QSet<QByteArray> prima = nomi();
        QProcessEnvironment senzaLocale = SenzaDisplay();
        for (const char *v : {"LANG", "LC_ALL", "LC_CTYPE", "LANGUAGE"})
            senzaLocale.remove(v);
        for (const QProcessEnvironment &ambiente : {SenzaDisplay(), senzaLocale}) {
            for (const char *lavoro : {"--leggi", "--invia", "--confronta"}) {
                QProcess p;
                p.setProcessEnvironment(ambiente);
                p.setWorkingDirectory(banco.cartella());
                // QProcess passes its arguments as UTF-8: the shell's printf makes the bytes.
                p.start("/bin/sh", {"-c", "exec \"$0\" \"$1\" \"$(printf '\\351t\\351.vlt')\"",
                                    Eseguibile(), QString(lavoro)});
                const Uscita u = Fine(p);
                QCOMPARE(u.codice, 2);
                QVERIFY(u.uscita.isEmpty());
                QCOMPARE(u.errore, QString("velto318: l'argomento \"\\xE9t\\xE9.vlt\" non è "
                                           "testo UTF-8: velto318 accetta solo argomenti UTF-8 "
                                           "(un file con un nome così non si può aprire né "
                                           "scrivere; rinominalo, es. convmv -f latin1 -t utf8 "
                                           "--notest FILE).\n"));
                QCOMPARE(nomi(), prima);
            }
            QVERIFY(banco->comandi().isEmpty());
        }
        QProcess p;
        p.setProcessEnvironment(senzaLocale);
        p.setWorkingDirectory(banco.cartella());
        p.start(Eseguibile(), {"--invia", "\u00e9t\u00e9.vlt"});
        QCOMPARE(Fine(p).codice, 0);
        QCOMPARE(Conta(banco->comandi(), "&450W018"), 2);
    }

    // --leggi writes the very bytes the window's read-back and save write;
    // a read that fails writes nothing and leaves an old file as it was.
    void letturaComeLaFinestra() {
        AVVIA(banco, {"--fast"});
        for (int n = 0; n <= 192; ++n)
            banco->ordina(QString("text %1 %2").arg(n).arg(n % 7 ? TestoDi(n) : "corto"));
        QDir::setCurrent(banco.cartella());
        {
            FormScriveMessaggi p;
            p.Form_Load();
            p.show();
            Quando([] { return Aperta<FormSalvaFile>() != nullptr; },
                   [] {
                       FormSalvaFile *s = Aperta<FormSalvaFile>();
                       s->Text1->setText("finestra.vlt");
                       s->Command1->click();
                   });
            p.LeggiTesti->click();
        }
        FormSeriale::Scarica(); // the port is the tool's now
        const QByteArray finestra = Leggi(banco.percorso("finestra.vlt"));
        QCOMPARE(finestra.count("\r\n"), 188);

        Uscita u = Esegui(banco.cartella(), {"--leggi", "riga.vlt"});
        QCOMPARE(u.codice, 0);
        QCOMPARE(u.uscita,
                 QString("letti tutti: 185 testi salvati in %1\n").arg(banco.percorso("riga.vlt")));
        QCOMPARE(Leggi(banco.percorso("riga.vlt")), finestra);

        QCOMPARE(banco->ordina("silentafter 57"), QString("ok"));
        u = Esegui(banco.cartella(), {"--leggi", "riga.vlt"});
        QCOMPARE(u.codice, 1);
        QVERIFY2(u.uscita.startsWith("Errore seriale: la centrale &45 ha smesso di rispondere "
                                     "alla lettura del testo 057"),
                 qPrintable(u.uscita));
        QVERIFY(u.uscita.endsWith("Nessun file scritto.\n"));
        QCOMPARE(Leggi(banco.percorso("riga.vlt")), finestra);
        QCOMPARE(QDir(banco.cartella()).entryList({"*.vlt*"}, QDir::Files),
                 QStringList({"finestra.vlt", "riga.vlt"}));
    }

    // --leggi into a file on a full disk (4 KiB free, the read-back needs a
    // little more): exit 2, the reason on stderr, no success on stdout, the
    // old file byte for byte and no temporary file. A trace on that disk
    // stops with its reason.
    void letturaSuDiscoPieno() {
        DiscoPieno disco;
        SALTA_SENZA_DISCO(disco);
        AVVIA(banco, {"--fast"}, false);
        const QString file = disco.percorso("riga.vlt");
        const QByteArray vecchio = FileDi({1, 2, 3});
        Scrivi(file, vecchio);
        QVERIFY(disco.riempi(4096));
        Uscita u = Esegui(banco.cartella(), {"--leggi", file});
        QCOMPARE(u.codice, 2);
        QVERIFY2(!u.uscita.contains("letti tutti"), qPrintable(u.uscita));
        QVERIFY2(u.errore.contains(QString("velto318: File non salvato: impossibile scrivere %1 "
                                           "(spazio esaurito sul disco): il file è rimasto "
                                           "com'era.\n")
                                       .arg(file)),
                 qPrintable(u.errore));
        QCOMPARE(Leggi(file), vecchio);
        QCOMPARE(QDir(disco.cartella()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"riempi", "riga.vlt"}));

        const QString traccia = disco.percorso("traccia.txt");
        u = Esegui(banco.cartella(), {"--leggi", file, "--traccia", traccia});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.contains(QString("velto318: impossibile scrivere la traccia %1 (spazio "
                                           "esaurito sul disco): la traccia si ferma qui")
                                       .arg(traccia)),
                 qPrintable(u.errore));
        QCOMPARE(Leggi(file), vecchio);
    }

    // A signal during a job: the exchange in progress ends, the job stops,
    // says on stderr (and in the trace) what the panel holds now, and ends
    // with 128 plus the signal. A read-back interrupted writes no file.
    void segnaleDuranteUnLavoro() {
        AVVIA(banco, {"--fast"}, false);
        const QStringList prima = banco->testi();
        const QList<int> numeri = NumeriLetti();
        Scrivi(banco.percorso("testi.vlt"), FileDi(numeri));
        QProcess invio;
        Avvia(invio, banco.cartella(), {"--invia", "testi.vlt", "--traccia", "traccia.txt"});
        Uscita u = SegnaleDopo(invio, banco.sim(), "&450W018", 20, SIGTERM);
        QCOMPARE(u.codice, 128 + SIGTERM);
        const QRegularExpression atteso("^Invio interrotto: scritti (\\d+) testi di 185, da 000 "
                                        "a (\\d{3}); gli altri sono quelli di prima$");
        const auto m = atteso.match(u.errore.split('\n', Qt::SkipEmptyParts).value(1));
        QVERIFY2(m.hasMatch(), qPrintable(u.errore));
        const int scritti = m.captured(1).toInt();
        QVERIFY(scritti >= 20 && scritti < 182);
        QCOMPARE(m.captured(2).toInt(), scritti - 1);
        // The panel holds exactly what the message says.
        QCOMPARE(Conta(banco->comandi(), "&450W018"), scritti);
        const QStringList dopo = banco->testi();
        for (int n : numeri)
            QCOMPARE(dopo.value(n), n < scritti
                                        ? QString("%1%2").arg(n, 3, 10, QChar('0')).arg(TestoDi(n))
                                        : prima.value(n));
        QVERIFY(
            Leggi(banco.percorso("traccia.txt")).contains("\t" + m.captured(0).toUtf8() + "\n"));

        // The comparison, on SIGHUP; the read-back, on SIGINT, writes no file.
        QProcess confronto;
        Avvia(confronto, banco.cartella(), {"--confronta", "testi.vlt"});
        u = SegnaleDopo(confronto, banco.sim(), "&450R", 5, SIGHUP);
        QCOMPARE(u.codice, 128 + SIGHUP);
        QVERIFY2(u.errore.contains(QRegularExpression("\nConfronto interrotto: confrontati \\d+ "
                                                      "testi di 185, nulla è stato scritto\n$")),
                 qPrintable(u.errore));
        banco->azzeraRegistro();
        QProcess lettura;
        Avvia(lettura, banco.cartella(), {"--leggi", "letti.vlt"});
        u = SegnaleDopo(lettura, banco.sim(), "&450R", 5, SIGINT);
        QVERIFY2(u.codice == 128 + SIGINT, qPrintable(u.uscita + u.errore));
        QVERIFY2(u.errore.endsWith("\nLettura interrotta: nessun file scritto\n"),
                 qPrintable(u.errore));
        QVERIFY(u.uscita.isEmpty());
        QVERIFY(!QFile::exists(banco.percorso("letti.vlt")));
        QVERIFY(Conta(banco->comandi(), "&450R") < 193);
    }

    // A job killed outright (SIGKILL) leaves its line settings on the port;
    // the next start opens it all the same.
    void avvioDopoUnLavoroUcciso() {
        AVVIA(banco, {"--fast"}, false);
        Scrivi(banco.percorso("testi.vlt"), FileDi(NumeriLetti()));
        QProcess invio;
        Avvia(invio, banco.cartella(), {"--invia", "testi.vlt"});
        QCOMPARE(SegnaleDopo(invio, banco.sim(), "&450W018", 10, SIGKILL).codice, -1);
        const Uscita u = Esegui(banco.cartella(), {"--stato"});
        QVERIFY2(u.codice == 0 && u.uscita.startsWith("Stato: a riposo\n"), qPrintable(u.errore));
    }

    // --stato prints the rest state, the active inputs and the last key; --id
    // and --rs485 override Seriale318.con for the run and leave it unchanged.
    void statoConIngressiAttivi() {
        AVVIA(banco, {"--fast", "--rs485", "--id", "&07"}, false);
        for (const char *o : {"input 1 C", "input 17 C", "input 46 C", "key A", "status X"})
            QCOMPARE(banco->ordina(o), QString("ok"));
        const QByteArray configurazione = "rs232;COM1;&45;\r\nEND\r\n";
        Scrivi(banco.percorso("Seriale318.con"), configurazione);
        Uscita u = Esegui(banco.cartella(), {"--stato", "--id", "&07", "--rs485"});
        QCOMPARE(u.codice, 0);
        QCOMPARE(u.uscita, QString("Stato: non a riposo (\"X\")\nIngressi attivi: 1, 17, 46\n"
                                   "Ultimo tasto: #\n"));
        QCOMPARE(banco->comandi(), QStringList({"&07SA", "&0701", "&0702", "&0703", "&0709"}));
        QCOMPARE(Leggi(banco.percorso("Seriale318.con")), configurazione);

        for (const QString &o :
             {"inputs " + QString(46, '-'), QString("key @"), QString("status R")})
            QCOMPARE(banco->ordina(o), QString("ok"));
        u = Esegui(banco.cartella(), {"--stato", "--id", "&07", "--rs485"});
        QCOMPARE(u.uscita, QString("Stato: a riposo\nIngressi attivi: nessuno\n"
                                   "Ultimo tasto: nessuno\n"));
        // The configured identifier gets no answer here.
        u = Esegui(banco.cartella(), {"--stato", "--rs485"});
        QCOMPARE(u.codice, 1);
        QVERIFY2(u.uscita.startsWith("Errore seriale. Controlla identificativo: la centrale &45 "
                                     "non risponde a &45SA<CR> sulla porta COM1"),
                 qPrintable(u.uscita));
    }

    // A port at fault is no silent panel: another program that holds the
    // device open and takes the replies, or a port that closes under the job
    // (the far end of the line gone), is exit 2 with one message naming the
    // port (and that program); a read-back then writes nothing.
    void portaInColpa() {
        AVVIA(banco, {"--fast"}, false);
        const QString pty = QFileInfo(banco.percorso("COM1")).symLinkTarget();
        QProcess ladro;
        ladro.start("cat", {banco.percorso("COM1")});
        QVERIFY(ladro.waitForStarted());
        const qint64 pid = ladro.processId();
        const Uscita u = Esegui(banco.cartella(), {"--stato"});
        ladro.kill();
        ladro.waitForFinished();
        QCOMPARE(u.codice, 2);
        QVERIFY(u.uscita.isEmpty());
        QVERIFY2(u.errore.startsWith("velto318: Nessuna risposta a &45"), qPrintable(u.errore));
        QVERIFY2(
            u.errore.contains(
                QString("La porta COM1 (%1) è aperta anche da cat (PID %2)").arg(pty).arg(pid)),
            qPrintable(u.errore));

        QProcess leggi;
        leggi.setProcessEnvironment(SenzaDisplay());
        leggi.setWorkingDirectory(banco.cartella());
        leggi.start(Eseguibile(), {"--leggi", "letti.vlt"});
        QTRY_VERIFY(Conta(banco->comandi(), "&450R") >= 10);
        QCOMPARE(banco->ordina("quit"), QString("ok"));
        QVERIFY(leggi.waitForFinished(20000));
        QCOMPARE(leggi.exitCode(), 2);
        QVERIFY(leggi.readAllStandardOutput().isEmpty());
        const QString errore = QString::fromLocal8Bit(leggi.readAllStandardError());
        QVERIFY2(errore.contains(QRegularExpression("velto318: Lettura fermata al testo \\d{3}: "
                                                    "nessuna risposta. La porta COM1 .* si è "
                                                    "chiusa durante il lavoro")),
                 qPrintable(errore));
        QVERIFY(errore.endsWith("Nessun file scritto.\n"));
        QVERIFY(!QFile::exists(banco.percorso("letti.vlt")));
    }

    // The trace: the start line, then one line per attempt, the unanswered
    // first attempt and its repeat included; from the windows as well. A
    // trace that cannot be opened is said once and the job goes on.
    void tracciaConUnaRipetizione() {
        AVVIA(banco, {"--fast", "--drop-every", "3"}, false);
        Uscita u = Esegui(banco.cartella(), {"--stato", "--traccia", "traccia.txt"});
        QCOMPARE(u.codice, 0);
        QVERIFY(u.errore.isEmpty());
        QStringList righe =
            QString::fromUtf8(Leggi(banco.percorso("traccia.txt"))).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(righe.value(0).startsWith("# Velto318, traccia della linea avviata il "),
                 qPrintable(righe.value(0)));
        const QRegularExpression riga(R"(^(\d+\.\d)\t(primo|ripetizione)\t([^\t]*)\t([^\t]*)$)");
        QStringList attese;
        double prima = -1;
        for (const QString &r : righe.mid(1)) {
            const auto m = riga.match(r);
            QVERIFY2(m.hasMatch(), qPrintable(r));
            QVERIFY(m.captured(1).toDouble() >= prima);
            prima = m.captured(1).toDouble();
            // The reply's CR may come after the reply was taken.
            attese << m.captured(2) + ' ' + m.captured(3) + ' ' +
                          m.captured(4).remove(QRegularExpression("<CR>$"));
        }
        QCOMPARE(
            attese,
            QStringList({"primo &45SA<CR> &45SAR", "primo &4501<CR> &450100----------------",
                         "primo &4502<CR> nessuna risposta",
                         "ripetizione &4502<CR> &450200----------------",
                         "primo &4503<CR> &450300----------------",
                         "primo &4509<CR> nessuna risposta", "ripetizione &4509<CR> &450900@00"}));

        // A trace that cannot be opened stops nothing.
        u = Esegui(banco.cartella(), {"--stato", "--traccia", "manca/traccia.txt"});
        QCOMPARE(u.codice, 0);
        QVERIFY2(u.errore.startsWith("velto318: Impossibile aprire il file di traccia " +
                                     banco.percorso("manca/traccia.txt")),
                 qPrintable(u.errore));
        QCOMPARE(u.errore.count('\n'), 1);
        // Nor does one that cannot be written: one message, with its reason.
        u = Esegui(banco.cartella(), {"--stato", "--traccia", "/dev/full"});
        QCOMPARE(u.codice, 0);
        QCOMPARE(u.errore, QString("velto318: impossibile scrivere la traccia /dev/full (spazio "
                                   "esaurito sul disco): la traccia si ferma qui, il lavoro "
                                   "prosegue.\n"));

        // The windows keep the same trace, appended to the first run.
        QProcess app;
        app.setWorkingDirectory(banco.cartella());
        app.start(Eseguibile(), {"-platform", "offscreen", "--traccia", "traccia.txt"});
        QVERIFY(app.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(Conta(banco->comandi(), "&450R") >= 3, 15000);
        app.terminate();
        QVERIFY(app.waitForFinished(5000));
        righe = QString::fromUtf8(Leggi(banco.percorso("traccia.txt"))).split('\n');
        QCOMPARE(righe.filter(QRegularExpression("^# Velto318")).size(), 2);
        QVERIFY(!righe.filter(QRegularExpression(R"(\t&450R\d{3}<CR>\t&450R00)")).isEmpty());
    }

    // A late reply, a noise byte before a reply or a character too many never
    // moves a text to another number nor blames the panel falsely: each job
    // ends right, or with exit 1 naming the text (and a read-back writes no
    // file).
    void risposteTardiveORumorose() {
        banco.limite(240);
        AVVIA(banco, {"--fast"}, false);
        QList<int> quaranta;
        for (int n = 0; n <= 192; ++n) {
            banco->ordina(QString("text %1 %2").arg(n).arg(TestoDi(n)));
            if (n < 40) quaranta << n;
        }
        Scrivi(banco.percorso("uguale.vlt"), FileDi(quaranta));
        QCOMPARE(Esegui(banco.cartella(), {"--leggi", "giusto.vlt"}).codice, 0);
        const QByteArray giusto = Leggi(banco.percorso("giusto.vlt"));
        // The fault and, for the jobs it spoils, the reply it hits.
        const QStringList guasti = {"late %1 850", "junk %1", "extra %1", "delay 810"};
        const QList<QPair<QStringList, QList<int>>> lavori = {
            {{"--leggi", "letti.vlt"}, {51}},
            {{"--confronta", "uguale.vlt"}, {6}},
            {{"--invia", "uguale.vlt"}, {3, 46}},
        };
        for (const QString &guasto : guasti) {
            for (const auto &[argomenti, risposte] : lavori) {
                for (int k : risposte) {
                    const bool tutte = guasto == "delay 810"; // every reply late
                    const QString ordine = tutte ? guasto : guasto.arg(k);
                    const QString caso = ordine + " " + argomenti.join(' ');
                    QFile::remove(banco.percorso("letti.vlt"));
                    banco->ordina("silentafter 0"); // counts the replies from here
                    banco->ordina(ordine);
                    const Uscita u = Esegui(banco.cartella(), argomenti);
                    banco->ordina("delay 0");
                    QVERIFY2(!u.uscita.contains("riletto") &&
                                 !u.uscita.contains("non ha accettato") &&
                                 !u.uscita.contains("centrale: \""),
                             qPrintable(caso + ": " + u.uscita));
                    if (tutte) {
                        // It stops at the first text without a reply in time (000,
                        // or a later one when a busy machine's timer let one in).
                        QVERIFY2(u.codice == 1 && u.uscita.contains(" del testo "),
                                 qPrintable(caso + ": " + u.uscita));
                        QVERIFY(!QFile::exists(banco.percorso("letti.vlt")));
                        continue;
                    }
                    QVERIFY2(u.codice == 0, qPrintable(caso + ": " + u.uscita));
                    if (argomenti[0] == "--leggi")
                        QCOMPARE(Leggi(banco.percorso("letti.vlt")), giusto);
                }
            }
        }
    }

    // A reply that is not whole is no answer: a noise byte before an input
    // group's reply moves no input (input 5 active is never shown as 6, in
    // --stato nor in a walk test); replies that never come whole end the job
    // with exit 1, naming what could not be read; what answers with no panel's
    // reply at all (a web server) is named as not a panel, by --cerca too.
    void risposteNonIntere() {
        AVVIA(banco, QStringList{}, false);
        banco->ordina("inputs ----C" + QString(41, '-'));
        banco->ordina("silentafter 0");
        banco->ordina("junk 2"); // the reply to input group 1
        Uscita u = Esegui(banco.cartella(), {"--stato"});
        QVERIFY2(u.codice == 0 && u.uscita.contains("Ingressi attivi: 5\n"), qPrintable(u.uscita));

        banco->ordina("text 16 Porta ingresso");
        banco->ordina("text 20 Finestra sala");
        banco->ordina("silentafter 0");
        banco->ordina("junk 100"); // input group 1 in the third test cycle
        u = Esegui(banco.cartella(), {"--prova", "--durata", "6"});
        const QString nonProvati = u.uscita.mid(u.uscita.indexOf("Non provati:"));
        QVERIFY2(nonProvati.contains("\n5\t") && nonProvati.contains("\n6\t"),
                 qPrintable(u.uscita));

        banco->ordina("noise on");
        u = Esegui(banco.cartella(), {"--stato"});
        banco->ordina("noise off");
        QVERIFY2(u.codice == 1 &&
                     u.uscita.contains("non ho potuto leggere lo stato: le risposte della centrale "
                                       "&45 sulla porta") &&
                     u.uscita.contains("linea disturbata"),
                 qPrintable(u.uscita));

        QTcpServer web;
        QVERIFY(web.listen(QHostAddress::LocalHost));
        QObject::connect(&web, &QTcpServer::newConnection, &web, [&web] {
            QTcpSocket *s = web.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, s, [s] {
                s->readAll();
                s->write("HTTP/1.1 400 Bad Request\r\nServer: nginx\r\nContent-Type: "
                         "text/html\r\n\r\n<html><body>400</body></html>\r\n");
            });
        });
        // An SSH server greets on connecting, then waits in silence.
        QTcpServer ssh;
        QVERIFY(ssh.listen(QHostAddress::LocalHost));
        QObject::connect(&ssh, &QTcpServer::newConnection, &ssh, [&ssh] {
            ssh.nextPendingConnection()->write("SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n");
        });
        const QString indirizzo = QString("tcp://127.0.0.1:%1").arg(web.serverPort());
        const QString indirizzoSsh = QString("tcp://127.0.0.1:%1").arg(ssh.serverPort());
        const QList<QPair<QStringList, QString>> casi = {
            {{"--stato", "--porta", indirizzo}, "HTTP/1.1 400 Bad Request<CR><LF>"},
            {{"--cerca", "--porta", indirizzo}, "HTTP/1.1 400 Bad Request<CR><LF>"},
            {{"--stato", "--porta", indirizzoSsh}, "SSH-2.0-OpenSSH_9.2p1"},
            {{"--cerca", "--porta", indirizzoSsh}, "SSH-2.0-OpenSSH_9.2p1"},
        };
        for (const auto &[argomenti, visto] : casi) {
            QElapsedTimer t;
            t.start();
            u = EseguiServendo(banco.cartella(), argomenti);
            QVERIFY2(u.codice == 1 && u.uscita.contains("non è una centrale Velto") &&
                         u.uscita.contains(visto) && t.elapsed() < 15000,
                     qPrintable(argomenti.join(' ') + ": " + u.uscita + u.errore));
        }
    }

    // At wire speed, the late reply to input group 1 is never taken for group 2's.
    void gruppoTardivoNonSpostaGliIngressi() {
        AVVIA(banco, QStringList{}, false);
        banco->ordina("inputs " + QString(16, 'C') + QString(30, '-'));
        banco->ordina("late 2 850");
        const Uscita u = Esegui(banco.cartella(), {"--stato"});
        QVERIFY2(u.uscita.contains("Ingressi attivi: 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, "
                                   "14, 15, 16\n"),
                 qPrintable(u.uscita));
    }

    // A site of the book gives the jobs its link and identifier (the panel
    // answers &07 only; Seriale318.con says &45), keeps a read-back as a
    // version once, compares the panel with it, and its register holds one
    // line per job with the job's own words. A name that is not allowed or
    // already taken, and an unknown site, end with 2.
    void lavoriSuUnImpianto() {
        AVVIA(banco, {"--fast", "--id", "&07"}, false);
        const QString cartella = banco.cartella();
        Uscita u = Esegui(cartella, {"--nuovo-impianto", "Scuola Verdi", "--porta", "COM1", "--id",
                                     "&07", "--cliente", "Comune"});
        QCOMPARE(u.codice, 0);
        QVERIFY2(u.uscita.startsWith("Impianto \"Scuola Verdi\" creato"), qPrintable(u.uscita));
        for (const QStringList &sbagliato :
             {QStringList{"--nuovo-impianto", "Scuola/Verdi", "--porta", "COM1", "--id", "&07"},
              QStringList{"--nuovo-impianto", "scuola verdi", "--porta", "COM2", "--id", "&08"},
              QStringList{"--impianto", "Scuola Verde", "--stato"}}) {
            u = Esegui(cartella, sbagliato);
            QCOMPARE(u.codice, 2);
            QVERIFY2(u.errore.contains(sbagliato[1] == "Scuola Verde" ? "Forse: Scuola Verdi?"
                                                                      : "non creato: "),
                     qPrintable(u.errore));
        }
        u = Esegui(cartella, {"--impianti"});
        QCOMPARE(u.uscita, QString("Scuola Verdi\tCOM1\t&07\tRS232\tmai letto\n"));

        u = Esegui(cartella, {"--impianto", "Scuola Verdi", "--stato"});
        QCOMPARE(u.codice, 0);
        QVERIFY2(u.uscita.startsWith("Stato: a riposo\n"), qPrintable(u.uscita));
        u = Esegui(cartella, {"--impianto", "Scuola Verdi", "--leggi"});
        QCOMPARE(u.codice, 0);
        QVERIFY2(QRegularExpression("^letti tutti: 185 testi\n185 testi conservati come versione 1 "
                                    "\\(\\d{8}-\\d{6}-\\d{3}_[A-Za-z0-9-]+_letto\\) dell'impianto "
                                    "\"Scuola Verdi\".\n$")
                     .match(u.uscita)
                     .hasMatch(),
                 qPrintable(u.uscita));
        u = Esegui(cartella, {"--impianto", "Scuola Verdi", "--leggi"});
        QVERIFY2(u.uscita.endsWith("nessuna nuova versione.\n"), qPrintable(u.uscita));
        QCOMPARE(QDir(cartella + "/impianti/Scuola Verdi/versioni").entryList(QDir::Files).size(),
                 1);
        QVERIFY(!Esegui(cartella, {"--impianti"}).uscita.contains("mai letto"));

        QCOMPARE(banco->ordina("text 7 Cambiato qui"), QString("ok"));
        u = Esegui(cartella, {"--impianto", "Scuola Verdi", "--confronta"});
        QCOMPARE(u.codice, 1);
        QVERIFY2(u.uscita.startsWith("007  file:     \"················\"\n"
                                     "     centrale: \"Cambiato·qui····\"\n1 testo su 185 è "
                                     "diverso"),
                 qPrintable(u.uscita));
        // No file in the words: what the panel was compared with.
        QVERIFY2(u.uscita.contains(". Il confronto è con la versione 1 (") &&
                     !u.uscita.contains("del file"),
                 qPrintable(u.uscita));

        u = Esegui(cartella, {"--impianto", "Scuola Verdi", "--registro"});
        QCOMPARE(u.codice, 0);
        const QStringList righe = u.uscita.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(righe.size(), 4);
        const QStringList azioni = {"stato\tStato: a riposo;", "lettura dei testi\tletti tutti",
                                    "lettura dei testi\tletti tutti",
                                    "confronto con la versione 1 ("};
        for (int i = 0; i < 4; ++i)
            QVERIFY2(righe[i].contains("\tCOM1\t" + azioni[i]), qPrintable(righe[i]));
        QVERIFY2(righe[3].contains("_letto)\t1 testo su 185"), qPrintable(righe[3]));

        // A send of one text the panel has already: its copy and the version sent.
        Scrivi(banco.percorso("sette.vlt"),
               "Un testo\r\n007" + QByteArray("Cambiato qui").leftJustified(16) + "\r\nend\r\n");
        u = Esegui(cartella, {"--impianto", "Scuola Verdi", "--invia", "sette.vlt"});
        QCOMPARE(u.codice, 0);
        QVERIFY2(u.uscita.contains(", 1 già uguale;"), qPrintable(u.uscita));
        u = Esegui(cartella, {"--impianto", "Scuola Verdi", "--storia"});
        QVERIFY2(u.uscita.contains("\t1 testo\t"), qPrintable(u.uscita));
    }

    // The first words on a failure are true ones. A panel that answered in
    // the job and went silent has stopped answering (its identifier is
    // right). A port another program holds is told in Italian; each site's
    // job of --su-impianti, and the register, say what happened without
    // advice for someone at the keyboard (restart, --cerca), which a job run
    // by hand keeps.
    void leParole() {
        AVVIA(banco, {"--fast"}, false);
        const QString cartella = banco.cartella();
        QCOMPARE(banco->ordina("silentafter 57"), QString("ok"));
        Uscita u = Esegui(cartella, {"--leggi", "letti.vlt"});
        QCOMPARE(u.codice, 1);
        const QRegularExpression smesso(
            "^Errore seriale: la centrale &45 ha smesso di rispondere alla lettura del testo 057 "
            "sulla porta COM1 \\(/dev/pts/\\d+\\) \\(rispondeva fino alle \\d\\d:\\d\\d\\)\\. "
            "Nessun file scritto\\.\n$");
        QVERIFY2(smesso.match(u.uscita).hasMatch(), qPrintable(u.uscita));
        banco->ordina("silentafter 0");

        for (const QStringList &sito :
             {QStringList{"Banca", "COM1", "&45"}, QStringList{"Muta", "COM1", "&47"}})
            QCOMPARE(
                Esegui(cartella, {"--nuovo-impianto", sito[0], "--porta", sito[1], "--id", sito[2]})
                    .codice,
                0);
        u = Esegui(cartella, {"--impianto", "Muta", "--stato"});
        QVERIFY2(u.uscita.contains("velto318 --cerca elenca"), qPrintable(u.uscita));
        u = Esegui(cartella, {"--impianto", "Muta", "--registro"});
        QVERIFY2(u.uscita.contains("&47 non risponde") && !u.uscita.contains("--cerca"),
                 qPrintable(u.uscita));
        u = Esegui(cartella, {"--su-impianti", "Muta", "--stato"});
        QVERIFY2(u.uscita.contains("Muta: Errore seriale. Controlla identificativo: la centrale "
                                   "&47 non risponde") &&
                     !u.uscita.contains("--cerca"),
                 qPrintable(u.uscita));

        QSerialPort tiene(QFileInfo(banco.percorso("COM1")).canonicalFilePath());
        QVERIFY2(tiene.open(QIODevice::ReadWrite), qPrintable(tiene.errorString()));
        u = Esegui(cartella, {"--stato"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.contains("accesso negato o porta già in uso") &&
                     u.errore.contains("riavvia questo") && !u.errore.contains("Permission") &&
                     !u.errore.contains("locking"),
                 qPrintable(u.errore));
        u = Esegui(cartella, {"--su-impianti", "Banca", "--stato"});
        QVERIFY2(u.uscita.contains("Banca: Impossibile aprire la porta seriale COM1 (") &&
                     u.uscita.contains("occupata da un altro programma") &&
                     !u.uscita.contains("riavvia") && !u.uscita.contains("Permission"),
                 qPrintable(u.uscita));
        tiene.close();
        u = Esegui(cartella, {"--impianto", "Banca", "--registro"});
        QVERIFY2(u.uscita.contains("occupata da un altro programma") &&
                     !u.uscita.contains("riavvia") && !u.uscita.contains("ln -sf"),
                 qPrintable(u.uscita));
    }

    // A site's versions are never lost, written over, renumbered or used in
    // part: --leggi into a version is refused from any folder and through
    // links; --confronta without a file compares all that is known of the
    // panel; a version synced in with an older time moves no number, and
    // jobs name versions by their stable name too; a restore refuses what a
    // send refuses, in its words, before anything is written.
    void versioniERipristino() {
        AVVIA(banco, {"--fast", "--id", "&07"}, false);
        const QString cartella = banco.cartella();
        QCOMPARE(
            Esegui(cartella, {"--nuovo-impianto", "R", "--porta", "COM1", "--id", "&07"}).codice,
            0);
        Uscita u = Esegui(cartella, {"--impianto", "R", "--leggi"});
        QCOMPARE(u.codice, 0);
        const QString versioni = cartella + "/impianti/R/versioni/";
        const QString prima = QDir(versioni).entryList({"*.vlt"}).value(0);
        const QString nomePrima = prima.chopped(4);
        QVERIFY2(u.uscita.contains("versione 1 (" + nomePrima + ")"), qPrintable(u.uscita));
        const QByteArray contenuto = Leggi(versioni + prima);

        // Written over from another folder, through a link to the folder or the file.
        QVERIFY(QDir(cartella).mkdir("altrove"));
        QVERIFY(QFile::link(versioni, cartella + "/altrove/cartella"));
        QVERIFY(QFile::link(versioni + prima, cartella + "/altrove/file.vlt"));
        for (const QString &dove :
             {"../impianti/R/versioni/" + prima, "cartella/" + prima, QString("file.vlt")}) {
            u = Esegui(cartella + "/altrove", {"--leggi", dove});
            QCOMPARE(u.codice, 2);
            QVERIFY2(u.errore.contains("le versioni di un impianto"), qPrintable(u.errore));
        }
        QCOMPARE(Leggi(versioni + prima), contenuto);

        // Three texts sent, two others changed on the panel: both found.
        Scrivi(banco.percorso("tre.vlt"), FileDi({1, 2, 3}));
        QCOMPARE(Esegui(cartella, {"--impianto", "R", "--invia", "tre.vlt"}).codice, 0);
        banco->ordina("text 10 Cambiato dieci");
        banco->ordina("text 20 Cambiato venti");
        u = Esegui(cartella, {"--impianto", "R", "--confronta"});
        QCOMPARE(u.codice, 1);
        QVERIFY2(u.uscita.contains("010  file:") && u.uscita.contains("020  file:") &&
                     u.uscita.contains("2 testi su 185 sono diversi"),
                 qPrintable(u.uscita));
        QVERIFY2(u.errore.startsWith("Confronto con la versione 1 (" + nomePrima +
                                     ") con sopra le versioni 2 ("),
                 qPrintable(u.errore));

        // A read of another computer whose clock is behind: it comes last.
        QByteArray portatile = "Portatile\r\n";
        for (int n : NumeriLetti())
            portatile += QString("%1Portatile       \r\n").arg(n, 3, 10, QChar('0')).toLatin1();
        Scrivi(versioni + "20200101-000000-000_portatile_letto.vlt", portatile + "end\r\n");
        u = Esegui(cartella, {"--impianto", "R", "--storia"});
        QVERIFY2(u.uscita.startsWith("4\t") &&
                     u.uscita.split('\n')[0].endsWith("\t20200101-000000-000_portatile_letto") &&
                     u.uscita.contains("\n1\t") && u.uscita.contains(nomePrima + "\n"),
                 qPrintable(u.uscita));
        u = Esegui(cartella, {"--impianto", "R", "--ripristina", "1"});
        QCOMPARE(u.codice, 0);
        QVERIFY2(u.uscita.contains("; copia della centrale nella versione 5 ("),
                 qPrintable(u.uscita));
        QVERIFY2(u.errore.startsWith("Ripristino della versione 1 (" + nomePrima + ")"),
                 qPrintable(u.errore));
        QCOMPARE(banco->testi().value(10),
                 QString::fromLatin1(Leggi(versioni + prima).split('\n')[11].left(19)));
        QVERIFY2(Esegui(cartella, {"--impianto", "R", "--registro"})
                     .uscita.contains("\tripristino della versione 1 (" + nomePrima + ")\t"),
                 "registro");

        // Versions a send would refuse: cut short, a character the line
        // cannot carry, a number twice. Refused as --invia refuses them.
        const QList<QByteArray> sbagliate = {FileDi(NumeriLetti()).left(67 * 25),
                                             "c\r\n000Caff\xe8           \r\nend\r\n",
                                             "c\r\n000uno\r\n000due\r\nend\r\n"};
        const int scritture = Conta(banco->comandi(), "&070W");
        for (int i = 0; i < sbagliate.size(); ++i) {
            const QString nome = QString("2030010%1-000000-000_altro_inviato.vlt").arg(i + 1);
            Scrivi(versioni + nome, sbagliate[i]);
            Scrivi(banco.percorso("sbagliato.vlt"), sbagliate[i]);
            const Uscita invio =
                Esegui(cartella, {"--impianto", "R", "--invia", "sbagliato.vlt", "--senza-copia"});
            QCOMPARE(invio.codice, 2);
            u = Esegui(cartella, {"--impianto", "R", "--ripristina", QString::number(7 + i)});
            QCOMPARE(u.codice, 2);
            QVERIFY2(u.errore.contains(nome) && u.errore.endsWith(invio.errore.mid(
                                                    invio.errore.indexOf("sbagliato.vlt") + 13)),
                     qPrintable(u.errore + invio.errore));
        }
        QCOMPARE(Conta(banco->comandi(), "&070W"), scritture);
        u = Esegui(cartella, {"--impianto", "R", "--confronta"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.contains("Nessun testo confrontato"), qPrintable(u.errore));
    }

    // One job over many sites: sites on one RS485 bus one after another,
    // a refused address and a site whose versions cannot be written each
    // told while the others finish; the result file; a send refused without
    // --si; a signal stops the run, and the site it never reached says so.
    void suPiuImpianti() {
        AVVIA(banco, {"--fast", "--rs485", "--also", "&46"}, false);
        const QString cartella = banco.cartella();
        QTcpServer chiuso;
        QVERIFY(chiuso.listen(QHostAddress::LocalHost));
        const QString rifiutato = QString("tcp://127.0.0.1:%1").arg(chiuso.serverPort());
        chiuso.close();
        for (const QStringList &sito :
             {QStringList{"Banca", "COM1", "&45"}, QStringList{"Posta", "COM1", "&46"},
              QStringList{"Pieno", "COM1", "&45"}, QStringList{"Spento", rifiutato, "&01"},
              QStringList{"Muta", "COM1", "&47"}})
            QCOMPARE(Esegui(cartella, {"--nuovo-impianto", sito[0], "--porta", sito[1], "--id",
                                       sito[2], "--rs485"})
                         .codice,
                     0);
        Scrivi(cartella + "/impianti/Pieno/versioni", "non una cartella");
        banco->azzeraRegistro();
        Uscita u = Esegui(cartella, {"--su-impianti", "tutti", "--leggi", "--paralleli", "4",
                                     "--esito", "esito.csv"});
        QCOMPARE(u.codice, 1);
        QVERIFY2(u.uscita.endsWith("5 impianti: 2 giusti, 1 non riuscito, 2 con un problema\n"),
                 qPrintable(u.uscita));
        QVERIFY2(u.uscita.contains("Muta: Errore seriale. Controlla identificativo: la centrale "
                                   "&47 non risponde"),
                 qPrintable(u.uscita));
        QVERIFY2(u.uscita.contains("Spento: Impossibile collegarsi"), qPrintable(u.uscita));
        // The line is never shared: each site's reads in one block.
        QStringList blocchi;
        for (const QString &c : banco->comandi())
            if (blocchi.isEmpty() || blocchi.last() != c.left(3)) blocchi << c.left(3);
        // Banca, Muta, Pieno, then Posta (the book's order, on one link).
        QCOMPARE(blocchi, QStringList({"&45", "&47", "&45", "&46"}));
        QFile f(cartella + "/esito.csv");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> righe = f.readAll().split('\n');
        QCOMPARE(righe.size(), 7); // header, 5 sites, the last line end
        QVERIFY2(righe[1].startsWith("Banca;COM1;&45;giusto;"), righe[1].constData());
        QVERIFY2(righe[1].trimmed().endsWith(";1"), righe[1].constData());
        QVERIFY2(righe[3].startsWith("Pieno;COM1;&45;problema;"), righe[3].constData());

        u = Esegui(cartella, {"--su-impianti", "Banca,Posta", "--invia", "x.vlt"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.contains("2 centrali: aggiungi --si"), qPrintable(u.errore));
        u = Esegui(cartella, {"--su-impianti", "Banca", "--invia", "x.vlt"});
        QVERIFY2(u.errore.contains("i testi di 1 centrale: aggiungi --si"), qPrintable(u.errore));

        AVVIA(banco, {"--rs485", "--also", "&46"}, false);
        banco->azzeraRegistro();
        QProcess p;
        Avvia(p, cartella, {"--su-impianti", "Banca,Posta", "--leggi"});
        u = SegnaleDopo(p, banco.operator->(), "&450R", 20, SIGINT);
        QVERIFY2(u.codice == 128 + SIGINT, qPrintable(u.uscita + u.errore));
        QVERIFY2(u.uscita.contains("Banca: ") &&
                     u.uscita.contains("1 interrotto, 1 non raggiunto (non raggiunto: Posta)"),
                 qPrintable(u.uscita));
        QVERIFY(Esegui(cartella, {"--impianto", "Posta", "--registro"})
                    .uscita.contains("non eseguito: il giro"));
    }

    // What the book holds reaches the terminal and the CSVs with its control
    // characters written visibly (<ESC>, <BEL>): a description and a
    // register edited by hand, the name of the folder the book is in.
    void libroConCaratteriDiControllo() {
        const QString cartella = banco.cartella() + "/lib\x1b[2Jro";
        QVERIFY(QDir().mkpath(cartella + "/impianti/Rotto"));
        QCOMPARE(Esegui(cartella, {"--nuovo-impianto", "Banca", "--porta", "tcp://127.0.0.1:1",
                                   "--id", "&45"})
                     .codice,
                 0);
        const QString sito = cartella + "/impianti/Banca/";
        // A link that is a valid device path still (an identifier with a
        // control character would make the site one to correct).
        Scrivi(sito + "impianto.txt",
               Leggi(sito + "impianto.txt").replace("tcp://127.0.0.1:1", "/dev/nessuna\x1b[31m"));
        QVERIFY(QDir().mkpath(sito + "registro"));
        Scrivi(sito + "registro/pc9.txt",
               "2026-12-08T10:00:00.000+01:00\tpc9-1-1\tfine\tan\x1bna\tpc9\tCOM1\tprova "
               "ingressi\a\tProvati 3 di 4 \x1b]0;titolo\a\n");
        QVERIFY(QDir().mkpath(sito + "versioni"));
        Scrivi(sito + "versioni/20261208-101010-000_pc9_letto.vlt",
               QByteArray(1100 * 1024, 'x')); // unreadable: its message names the folder
        const auto visibile = [](const QString &testo, const char *cosa) {
            QVERIFY2(!testo.contains('\x1b') && !testo.contains('\a'), cosa);
            QVERIFY2(testo.contains("<ESC>") || testo.contains("<BEL>"), cosa);
        };
        Uscita u = Esegui(cartella, {"--impianti"});
        visibile(u.uscita, "--impianti");
        QVERIFY2(u.uscita.contains("\t/dev/nessuna<ESC>[31m\t&45\t"), qPrintable(u.uscita));
        const QString rotto =
            u.uscita.section("Rotto\t\t\t\tda correggere: ", 1).section('\n', 0, 0);
        QVERIFY2(rotto.contains("lib<ESC>[2Jro"), qPrintable(u.uscita));
        u = Esegui(cartella, {"--impianto", "Banca", "--registro"});
        visibile(u.uscita, "--registro");
        QVERIFY2(u.uscita.contains("an<ESC>na\tpc9\tCOM1\tprova ingressi<BEL>\t"),
                 qPrintable(u.uscita));
        u = Esegui(cartella, {"--impianto", "Banca", "--storia"});
        visibile(u.uscita, "--storia");
        QCOMPARE(
            Esegui(cartella, {"--impianto", "Banca", "--registro", "--rapporto", "r.csv"}).codice,
            0);
        visibile(QString::fromUtf8(Leggi(cartella + "/r.csv")), "--rapporto r.csv");
        u = Esegui(cartella, {"--su-impianti", "Banca", "--stato", "--esito", "esito.csv"});
        visibile(u.uscita, "--su-impianti");
        visibile(QString::fromUtf8(Leggi(cartella + "/esito.csv")), "--esito esito.csv");
    }

    // A job on a site keeps its records, or says it did not. With the site's
    // folder on a full disk, a send, a restore and a state are refused before
    // the panel hears a thing (exit 2, the register's file and why). A
    // version sent that cannot be kept, and an end line that cannot be
    // written (the disk turned read-only during the send), end the job with 2
    // and its last line says so. --esito in a missing folder is refused before
    // any site; one that cannot be written ends the run with 2. A reader gone
    // from the output does not cost the register its end line.
    void registroNonScrivibile() {
        namespace fs = std::filesystem;
        DiscoPieno disco;
        SALTA_SENZA_DISCO(disco);
        AVVIA(banco, {"--fast"}, false);
        const QString cartella = banco.cartella();
        for (const char *nome : {"Disco", "Terra"})
            QCOMPARE(Esegui(cartella, {"--nuovo-impianto", nome, "--porta", "COM1", "--id", "&45"})
                         .codice,
                     0);
        QCOMPARE(Esegui(cartella, {"--impianto", "Disco", "--leggi"}).codice, 0); // version 1
        const fs::path sito = (cartella + "/impianti/Disco").toStdString();
        const fs::path suDisco = disco.percorso("Disco").toStdString();
        fs::copy(sito, suDisco, fs::copy_options::recursive);
        fs::remove_all(sito);
        fs::create_directory_symlink(suDisco, sito);
        const QString registro = cartella + "/impianti/Disco/registro/";
        // The first job of this computer on the site: its register file is new.
        for (const fs::directory_entry &f : fs::directory_iterator(suDisco / "registro"))
            fs::remove(f.path());
        QVERIFY(disco.riempi(0));
        Scrivi(banco.percorso("sette.vlt"), FileDi({7}));
        const QStringList prima = banco->testi();
        banco->azzeraRegistro();
        for (const QStringList &lavoro :
             {QStringList{"--invia", "sette.vlt", "--senza-copia"},
              QStringList{"--ripristina", "1", "--senza-copia"}, QStringList{"--stato"}}) {
            const Uscita u = Esegui(cartella, QStringList{"--impianto", "Disco"} + lavoro);
            QCOMPARE(u.codice, 2);
            QVERIFY2(u.uscita.isEmpty(), qPrintable(u.uscita));
            QVERIFY2(u.errore.startsWith("velto318: registro " + registro) &&
                         u.errore.contains(".txt non scritto: spazio esaurito sul disco. Lavoro "
                                           "non iniziato") &&
                         u.errore.count('\n') == 1,
                     qPrintable(u.errore));
        }
        QCOMPARE(banco->comandi(), QStringList());
        QCOMPARE(banco->testi(), prima);

        // --esito: a missing folder refused before any site, a full disk after.
        Uscita u = Esegui(cartella, {"--su-impianti", "Terra", "--stato", "--esito",
                                     cartella + "/manca/esito.csv"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.contains("la cartella " + cartella + "/manca non esiste"),
                 qPrintable(u.errore));
        QCOMPARE(banco->comandi(), QStringList());
        u = Esegui(cartella,
                   {"--su-impianti", "Terra", "--stato", "--esito", disco.percorso("esito.csv")});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.uscita.contains("Terra: ") && u.uscita.endsWith("1 impianto: 1 giusto\n"),
                 qPrintable(u.uscita));
        QVERIFY2(u.errore.contains("velto318: Esito " + disco.percorso("esito.csv") +
                                   " non salvato: ") &&
                     u.errore.contains("spazio esaurito sul disco"),
                 qPrintable(u.errore));
        QVERIFY(!banco->comandi().isEmpty());

        // The version sent not kept (its folder a file): the texts are written,
        // the job is no success, and the register says so.
        QVERIFY(QFile::remove(disco.percorso("riempi")));
        fs::rename(suDisco / "versioni", suDisco / "via");
        Scrivi(disco.percorso("Disco/versioni"), "non una cartella");
        u = Esegui(cartella, {"--impianto", "Disco", "--invia", "sette.vlt", "--senza-copia"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.uscita.startsWith("DATI UGUALI  TUTTO OK (1 testo scritto e verificato") &&
                     u.uscita.section('\n', -2, -2)
                         .startsWith("Invio fatto, ma la versione inviata non è stata salvata: "),
                 qPrintable(u.uscita));
        QCOMPARE(banco->testi().value(7), "007" + TestoDi(7));
        u = Esegui(cartella, {"--impianto", "Disco", "--registro"});
        QVERIFY2(u.uscita.section('\n', -2, -2).contains("versione inviata non è stata salvata"),
                 qPrintable(u.uscita));
        fs::remove(suDisco / "versioni");
        fs::rename(suDisco / "via", suDisco / "versioni");

        // The disk read-only from the first write on: neither the version sent
        // nor the end line is written, and the job's last line says so.
        Scrivi(banco.percorso("tutti.vlt"), FileDi(NumeriLetti()));
        banco->azzeraRegistro();
        QProcess p;
        Avvia(p, cartella, {"--impianto", "Disco", "--invia", "tutti.vlt", "--senza-copia"});
        QElapsedTimer t;
        t.start();
        while (Conta(banco->comandi(), "&450W") < 1 && t.elapsed() < 30000)
            QTest::qWait(5);
        QVERIFY(disco.solaLettura());
        u = Fine(p);
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.uscita.contains("Invio fatto, ma la versione inviata non è stata salvata") &&
                     u.uscita.section('\n', -2, -2)
                         .startsWith("Fine del lavoro non registrata: registro " + registro) &&
                     u.uscita.endsWith(".txt non scritto: il disco è in sola lettura.\n"),
                 qPrintable(u.uscita));
        QCOMPARE(Conta(banco->comandi(), "&450W"), NumeriLetti().size()); // every text written

        // Nobody reads the output (its pipe's reader gone): the job still
        // ends, and writes its end line.
        const auto righe = [&] {
            return Esegui(cartella, {"--impianto", "Terra", "--registro"}).uscita.count('\n');
        };
        const int righePrima = righe();
        int tubo[2];
        QVERIFY(::pipe2(tubo, O_CLOEXEC) == 0);
        ::close(tubo[0]);
        QProcess senzaLettore;
        senzaLettore.setProcessEnvironment(SenzaDisplay());
        senzaLettore.setWorkingDirectory(cartella);
        senzaLettore.setChildProcessModifier([fd = tubo[1]] { ::dup2(fd, STDOUT_FILENO); });
        senzaLettore.start(Eseguibile(), {"--impianto", "Terra", "--stato"});
        u = Fine(senzaLettore);
        ::close(tubo[1]);
        QCOMPARE(u.codice, 0);
        QCOMPARE(righe(), righePrima + 1);
        const QString ultima =
            Esegui(cartella, {"--impianto", "Terra", "--registro"}).uscita.section('\n', -2, -2);
        QVERIFY2(ultima.contains("\tstato\tStato: a riposo"), qPrintable(ultima));
    }

    // The runner over many sites. Killed (SIGKILL) in the middle of a send,
    // its jobs stop as on SIGTERM: each ends its exchange and its register
    // line says the send was interrupted; none goes on writing alone, nor
    // dies of its closed pipe. With few descriptors allowed (ulimit -n), more
    // links asked at once than they allow run as they allow: no site fails
    // for the runner's want of them.
    void ilGiroSuImpianti() {
        banco.limite(120);
        AVVIA(banco, QStringList{}, false); // paced: a send takes seconds
        const QString cartella = banco.cartella();
        QVERIFY(QDir(cartella).mkdir("b"));
        Simulatore b(cartella + "/b", QStringList{});
        QVERIFY2(b.avvia(), qPrintable(b.errore()));
        for (const QStringList &sito :
             {QStringList{"Nord", "COM1"}, QStringList{"Sud", cartella + "/b/COM1"}})
            QCOMPARE(
                Esegui(cartella, {"--nuovo-impianto", sito[0], "--porta", sito[1], "--id", "&45"})
                    .codice,
                0);
        Scrivi(banco.percorso("testi.vlt"), FileDi(NumeriLetti()));
        QProcess p;
        Avvia(p, cartella,
              {"--su-impianti", "tutti", "--invia", "testi.vlt", "--si", "--senza-copia"});
        QElapsedTimer t;
        t.start();
        while ((Conta(banco->comandi(), "&450W") < 3 || Conta(b.comandi(), "&450W") < 3) &&
               t.elapsed() < 30000)
            QTest::qWait(20);
        ::kill(pid_t(p.processId()), SIGKILL);
        QVERIFY(p.waitForFinished(5000));
        for (const char *sito : {"Nord", "Sud"}) {
            QString registro;
            for (t.restart(); !registro.contains("Invio interrotto") && t.elapsed() < 20000;)
                registro = Esegui(cartella, {"--impianto", sito, "--registro"}).uscita;
            QVERIFY2(registro.contains("Invio interrotto") && !registro.contains("non finito"),
                     qPrintable(registro));
        }
        QVERIFY(Conta(banco->comandi(), "&450W") < 185);
        QVERIFY(Conta(b.comandi(), "&450W") < 185);

        // 60 sites at addresses where nothing listens, 64 descriptors.
        const QString molti = cartella + "/molti";
        QVERIFY(QDir(cartella).mkdir("molti"));
        QByteArray libro = "nome;cliente;indirizzo;collegamento;identificativo;rs485;copia prima "
                           "dell'invio;note\n";
        for (int i = 0; i < 60; ++i) {
            QTcpServer chiuso;
            QVERIFY(chiuso.listen(QHostAddress::LocalHost));
            libro += QString("S%1;;;tcp://127.0.0.1:%2;&01;no;no;\n")
                         .arg(i)
                         .arg(chiuso.serverPort())
                         .toUtf8();
        }
        Scrivi(molti + "/libro.csv", libro);
        QCOMPARE(Esegui(molti, {"--importa-impianti", "libro.csv"}).codice, 0);
        QProcess q;
        q.setChildProcessModifier([] {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            const rlimit r = {64, 64};
            ::setrlimit(RLIMIT_NOFILE, &r);
        });
        q.setProcessEnvironment(SenzaDisplay());
        q.setWorkingDirectory(molti);
        q.start(Eseguibile(), {"--su-impianti", "tutti", "--stato", "--paralleli", "60"});
        const Uscita u = Fine(q);
        QCOMPARE(u.codice, 1);
        QVERIFY2(u.uscita.count(": Impossibile collegarsi alla centrale in rete") == 60 &&
                     u.uscita.endsWith("60 impianti: 60 con un problema\n"),
                 qPrintable(u.uscita));
    }

    // A site whose file is wrong (a typo in the link key, a copy value the
    // tool does not know) is refused with the file's line by every job, a
    // walk test and the many-sites runner too, and listed with why: nothing
    // reaches the panel of the working folder's COM1. A FIFO in place of
    // the file hangs nothing.
    void fileDellImpiantoRotto() {
        AVVIA(banco, {"--fast", "--id", "&07"}, false);
        const QString cartella = banco.cartella();
        QCOMPARE(Esegui(cartella, {"--nuovo-impianto", "Rotto", "--porta", "tcp://127.0.0.1:9",
                                   "--id", "&07"})
                     .codice,
                 0);
        const QString file = cartella + "/impianti/Rotto/impianto.txt";
        const QByteArray giusto = Leggi(file);
        Scrivi(file, QByteArray(giusto).replace("collegamento:", "colegamento:"));
        Scrivi(banco.percorso("nuovi.vlt"), FileDi(NumeriLetti()));
        banco->azzeraRegistro();
        Uscita u = Esegui(cartella, {"--impianto", "Rotto", "--invia", "nuovi.vlt"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.startsWith("velto318: l'impianto \"Rotto\" non si può usare: ") &&
                     u.errore.contains("impianto.txt, riga 4: \"colegamento\"") &&
                     u.errore.count('\n') == 1,
                 qPrintable(u.errore));
        for (const QStringList &lavoro :
             {QStringList{"--impianto", "Rotto", "--stato"},
              QStringList{"--prova", "--impianto", "Rotto", "--durata", "2"}}) {
            u = Esegui(cartella, lavoro);
            QCOMPARE(u.codice, 2);
            QVERIFY2(u.errore.contains("riga 4"), qPrintable(u.errore));
        }
        u = Esegui(cartella, {"--su-impianti", "tutti", "--stato"});
        QCOMPARE(u.codice, 1);
        QVERIFY2(u.uscita.contains("Rotto: l'impianto \"Rotto\" non si può usare") &&
                     u.uscita.endsWith("1 impianto: 1 con un problema\n"),
                 qPrintable(u.uscita));
        u = Esegui(cartella, {"--impianti"});
        QVERIFY2(u.uscita.startsWith("Rotto\t\t\t\tda correggere: l'impianto \"Rotto\"") &&
                     u.uscita.contains("riga 4"),
                 qPrintable(u.uscita));
        // The backup, turned off by a word the tool does not write.
        Scrivi(file, QByteArray(giusto)
                         .replace("tcp://127.0.0.1:9", "COM1")
                         .replace("invio: sì", "invio: S"));
        u = Esegui(cartella, {"--impianto", "Rotto", "--invia", "nuovi.vlt"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.contains("riga 7: la copia prima dell'invio \"S\""),
                 qPrintable(u.errore));
        QCOMPARE(banco->comandi(), QStringList());

        QVERIFY(QFile::remove(file));
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        for (const QStringList &lavoro :
             {QStringList{"--impianti"}, QStringList{"--su-impianti", "tutti", "--stato"}}) {
            QProcess p;
            Avvia(p, cartella, lavoro);
            const bool finito = p.waitForFinished(15000);
            if (!finito) p.kill(), p.waitForFinished();
            QVERIFY2(finito, qPrintable(lavoro.join(' ')));
            QVERIFY(p.readAllStandardOutput().contains("non è un file"));
        }
        QCOMPARE(banco->comandi(), QStringList());
    }

    // An import: thousands of rows in little time, stopped by SIGTERM between
    // two sites (saying how many), a file not in UTF-8 refused whole, a cell
    // the tool does not write skipped with its row. Two runs creating one
    // name in two cases at once: one of them only.
    void importaECreaSenzaSorprese() {
        const QString cartella = banco.cartella();
        const auto csv = [](int righe) {
            QByteArray dati = "nome;collegamento;identificativo;rs485;copia prima dell'invio\r\n";
            for (int n = 0; n < righe; ++n)
                dati += QString("sito%1;COM1;&01;no;sì\r\n").arg(n).toUtf8();
            return dati;
        };
        Scrivi(banco.percorso("molti.csv"), csv(4000));
        QElapsedTimer t;
        t.start();
        QProcess p;
        Avvia(p, cartella, {"--importa-impianti", "molti.csv"});
        if (!p.waitForFinished(20000)) p.kill(), p.waitForFinished();
        QVERIFY2(t.elapsed() < 20000, "4000 impianti importati in più di 20 s");
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QDir(cartella + "/impianti").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(),
                 4000);

        QVERIFY(QDir(cartella).mkdir("fermato"));
        Scrivi(cartella + "/fermato/molti.csv", csv(40000));
        QProcess q;
        Avvia(q, cartella + "/fermato", {"--importa-impianti", "molti.csv"});
        QDir fatti(cartella + "/fermato/impianti");
        t.restart();
        while (fatti.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() < 50 &&
               t.elapsed() < 30000)
            QTest::qWait(5);
        ::kill(pid_t(q.processId()), SIGTERM);
        Uscita u = Fine(q);
        QCOMPARE(u.codice, 128 + SIGTERM);
        const qsizetype creati = fatti.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
        QVERIFY2(creati < 40000, qPrintable(u.uscita));
        QVERIFY2(u.uscita.startsWith(QString("%1 impianti importati da ").arg(creati)),
                 qPrintable(u.uscita));
        QVERIFY2(u.errore.contains(QString("Importazione interrotta: %1 impianti del file non "
                                           "ancora importati.")
                                       .arg(40000 - creati)),
                 qPrintable(u.errore));

        QVERIFY(QDir(cartella).mkdir("latino"));
        Scrivi(cartella + "/latino/l.csv",
               "nome;collegamento;identificativo\r\nUno;COM1;&01\r\nCaff\xe8;COM1;&02\r\n");
        u = Esegui(cartella + "/latino", {"--importa-impianti", "l.csv"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.contains("non è in UTF-8 (riga 3)") &&
                     u.errore.contains("nessun impianto importato"),
                 qPrintable(u.errore));
        QVERIFY(!QDir(cartella + "/latino/impianti").exists());
        Scrivi(cartella + "/latino/l.csv",
               "nome;collegamento;identificativo;rs485\r\nUno;COM1;&01;true\r\n");
        u = Esegui(cartella + "/latino", {"--importa-impianti", "l.csv"});
        QCOMPARE(u.codice, 1);
        QVERIFY2(u.uscita.contains("Saltato: riga 2 (Uno): colonna \"rs485\": \"true\""),
                 qPrintable(u.uscita));

        // sitoN and SITON at once, many times, over a book that takes a while
        // to read.
        int entrambi = 0;
        for (int n = 0; n < 8; ++n) {
            QProcess a, b;
            const QStringList resto{"--porta", "COM1", "--id", "&01"};
            Avvia(a, cartella, QStringList{"--nuovo-impianto", QString("gara%1").arg(n)} + resto);
            Avvia(b, cartella, QStringList{"--nuovo-impianto", QString("GARA%1").arg(n)} + resto);
            const Uscita ua = Fine(a), ub = Fine(b);
            QVERIFY(ua.codice == 0 || ub.codice == 0);
            if (ua.codice == 0 && ub.codice == 0) ++entrambi;
        }
        QCOMPARE(entrambi, 0);
    }

    // The book to CSV and back into another folder: the same sites; an
    // import again skips every row and says why (exit 1), an unreadable
    // file is exit 2.
    void esportaEImportaImpianti() {
        const QString cartella = banco.cartella();
        QVERIFY(QDir(cartella).mkdir("altro"));
        Esegui(cartella, {"--nuovo-impianto", "Banca", "--porta", "tcp://10.0.0.5:4001", "--id",
                          "&12", "--rs485", "--note", "chiave; in portineria"});
        Esegui(cartella, {"--nuovo-impianto", "Asilo", "--porta", "COM3", "--id", "&01"});
        const QString libro = Esegui(cartella, {"--impianti"}).uscita;
        QCOMPARE(libro.count('\n'), 2);
        Uscita u = Esegui(cartella, {"--esporta-impianti", "libro.csv"});
        QCOMPARE(u.codice, 0);
        u = Esegui(cartella + "/altro", {"--importa-impianti", "../libro.csv"});
        QCOMPARE(u.codice, 0);
        QCOMPARE(Esegui(cartella + "/altro", {"--impianti"}).uscita, libro);
        QCOMPARE(Leggi(cartella + "/altro/impianti/Banca/impianto.txt"),
                 Leggi(cartella + "/impianti/Banca/impianto.txt"));
        u = Esegui(cartella + "/altro", {"--importa-impianti", "../libro.csv"});
        QCOMPARE(u.codice, 1);
        QCOMPARE(u.uscita.count("Saltato: "), 2);
        QCOMPARE(Esegui(cartella, {"--importa-impianti", "manca.csv"}).codice, 2);
        // A site whose description is wrong is no row: the export names it
        // and is not a whole one.
        const QString asilo = cartella + "/impianti/Asilo/impianto.txt";
        Scrivi(asilo, Leggi(asilo).replace("identificativo:", "identificativio:"));
        u = Esegui(cartella, {"--esporta-impianti", "libro.csv"});
        QCOMPARE(u.codice, 1);
        QVERIFY2(u.uscita.contains("1 impianto esportato") &&
                     u.uscita.contains("Non esportato: Asilo: "),
                 qPrintable(u.uscita));
    }
    // Two sites on one panel, or two RS232 sites on one link: the second is
    // still created, with a warning on the standard error, and --impianti
    // marks each of them with a line of its own, after the site's. Sites on
    // one RS485 bus with their own identifiers are no warning.
    void impiantiSullaStessaCentrale() {
        const QString cartella = banco.cartella();
        QCOMPARE(Esegui(cartella, {"--nuovo-impianto", "Banca", "--porta", "COM1", "--id", "&12"})
                     .errore,
                 QString());
        Uscita u =
            Esegui(cartella, {"--nuovo-impianto", "Posta", "--porta", "COM1", "--id", "&12"});
        QCOMPARE(u.codice, 0);
        QVERIFY2(u.errore.contains("attenzione: l'impianto \"Banca\" ha lo stesso collegamento "
                                   "(COM1) e lo stesso identificativo (&12)"),
                 qPrintable(u.errore));
        u = Esegui(cartella, {"--nuovo-impianto", "Asilo", "--porta", "com1", "--id", "&13"});
        QCOMPARE(u.codice, 0);
        QVERIFY2(u.errore.contains("anche l'impianto \"Banca\" è RS232 sul collegamento COM1"),
                 qPrintable(u.errore));
        for (const QString id : {"&01", "&02"})
            QCOMPARE(Esegui(cartella, {"--nuovo-impianto", "Bus " + id.mid(1), "--porta", "COM3",
                                       "--id", id, "--rs485"})
                         .errore,
                     QString());
        u = Esegui(cartella, {"--impianti"});
        QCOMPARE(u.codice, 0);
        const QStringList righe = u.uscita.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(righe.size(), 5 + 6);
        QVERIFY2(righe[0].startsWith("Asilo\tCOM1\t&13\t") &&
                     righe[1].startsWith("! Asilo: anche l'impianto \"Banca\" è RS232") &&
                     righe[2].startsWith("! Asilo: anche l'impianto \"Posta\" è RS232") &&
                     righe[4].startsWith("! Banca: anche l'impianto \"Asilo\"") &&
                     righe[5].startsWith("! Banca: l'impianto \"Posta\" ha lo stesso collegamento"),
                 qPrintable(u.uscita));
        QVERIFY2(righe[6].startsWith("Bus 01\t") && righe[7].startsWith("Bus 02\t"),
                 qPrintable(u.uscita));
    }

    // --impianto X --rinomina Y keeps the versions and register under the new
    // name and says so in the register; a name taken in any case or not
    // allowed is refused (2). --rimuovi-impianto without --si says what it
    // would do and moves nothing (2); with --si the site's folder goes into
    // archivio/ beside the book, whole.
    void rinominaERimuovi() {
        AVVIA(banco, {"--fast", "--id", "&07"}, false);
        const QString cartella = banco.cartella();
        Esegui(cartella, {"--nuovo-impianto", "Scuola Verdi", "--porta", "COM1", "--id", "&07"});
        Esegui(cartella, {"--nuovo-impianto", "Ospedale", "--porta", "COM2", "--id", "&03"});
        QCOMPARE(Esegui(cartella, {"--impianto", "Scuola Verdi", "--leggi"}).codice, 0);
        for (const QString sbagliato : {"ospedale", "Scuola/Rossi", "Scuola Verdi"}) {
            const Uscita u =
                Esegui(cartella, {"--impianto", "Scuola Verdi", "--rinomina", sbagliato});
            QVERIFY2(u.codice == 2 && u.errore.contains("non rinominato: "), qPrintable(u.errore));
        }
        Uscita u = Esegui(cartella, {"--impianto", "Scuola Verdi", "--rinomina", "Scuola Rossi"});
        QCOMPARE(u.codice, 0);
        QVERIFY(!QDir(cartella + "/impianti/Scuola Verdi").exists());
        QVERIFY2(
            Esegui(cartella, {"--impianto", "Scuola Rossi", "--storia"}).uscita.startsWith("1\t"),
            "the version stays");
        u = Esegui(cartella, {"--impianto", "Scuola Rossi", "--registro"});
        QVERIFY2(u.uscita.contains("lettura dei testi") &&
                     u.uscita.trimmed().endsWith("\timpianto rinominato\trinominato da \"Scuola "
                                                 "Verdi\""),
                 qPrintable(u.uscita));
        QVERIFY(Leggi(cartella + "/impianti/Scuola Rossi/impianto.txt")
                    .startsWith("# Velto318: impianto \"Scuola Rossi\""));

        u = Esegui(cartella, {"--rimuovi-impianto", "Scuola Rossi"});
        QVERIFY2(u.codice == 2 && u.errore.contains("1 versione") &&
                     u.errore.contains("aggiungi --si"),
                 qPrintable(u.errore));
        QVERIFY(QDir(cartella + "/impianti/Scuola Rossi").exists());
        QVERIFY(!QDir(cartella + "/archivio").exists());
        u = Esegui(cartella, {"--rimuovi-impianto", "scuola rossi", "--si"});
        QVERIFY2(u.codice == 0, qPrintable(u.errore));
        QVERIFY(!QDir(cartella + "/impianti/Scuola Rossi").exists());
        const QStringList archivio =
            QDir(cartella + "/archivio").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(archivio.size(), 1);
        QVERIFY2(archivio.first().startsWith("Scuola Rossi-"), qPrintable(archivio.first()));
        QCOMPARE(QDir(cartella + "/archivio/" + archivio.first() + "/versioni")
                     .entryList(QDir::Files)
                     .size(),
                 1);
        QCOMPARE(Esegui(cartella, {"--impianti"}).uscita.count('\n'), 1);
    }

    // What a technician met in the book. A version cut short (a copy a sync
    // has not finished) is listed as unreadable with its reason and compared
    // with nothing; --su-impianti takes a name in any case, as --impianto
    // does; two sites on one panel are told whatever the spelling of the
    // host; a file not read gives its reason in Italian; the result file
    // leaves empty what a site not reached has not, and its register line
    // names the job as the job does; the register's PDF shows control
    // characters visibly.
    void rilieviSulLibro() {
        AVVIA(banco, {"--fast", "--id", "&07"}, false);
        const QString cartella = banco.cartella();
        for (const QString nome : {"Municipio", "Posta"})
            QCOMPARE(Esegui(cartella, {"--nuovo-impianto", nome, "--porta", "COM1", "--id", "&07"})
                         .codice,
                     0);
        QCOMPARE(Esegui(cartella, {"--impianto", "Municipio", "--leggi"}).codice, 0);
        const QString versioni = cartella + "/impianti/Municipio/versioni/";
        Scrivi(versioni + "20261208-131900-000_pc2_letto.vlt",
               Leggi(versioni + QDir(versioni).entryList({"*.vlt"}).first()).left(1000));
        Uscita u = Esegui(cartella, {"--impianto", "Municipio", "--storia"});
        QVERIFY2(u.uscita.startsWith("2\t") &&
                     u.uscita.contains("\tilleggibile: Il file non finisce con la riga end"),
                 qPrintable(u.uscita));
        u = Esegui(cartella, {"--impianto", "Municipio", "--confronta-versioni", "1", "2"});
        QVERIFY2(u.codice == 2 &&
                     u.errore.contains("versione 2: Il file non finisce con la riga end"),
                 qPrintable(u.uscita + u.errore));

        u = Esegui(cartella, {"--su-impianti", "municipio", "--stato"});
        QVERIFY2(u.codice == 0 && u.uscita.startsWith("Municipio: Stato: a riposo"),
                 qPrintable(u.uscita + u.errore));
        QCOMPARE(Esegui(cartella, {"--nuovo-impianto", "Banca", "--porta", "tcp://127.0.0.1:4001",
                                   "--id", "&01"})
                     .codice,
                 0);
        u = Esegui(cartella,
                   {"--nuovo-impianto", "Asilo", "--porta", "tcp://localhost:4001", "--id", "&01"});
        QVERIFY2(u.errore.contains("l'impianto \"Banca\" ha lo stesso collegamento"),
                 qPrintable(u.errore));

        u = Esegui(cartella, {"--su-impianti", "Banca", "--stato", "--esito", "/proc/x.csv"});
        QVERIFY2(u.codice == 2 && u.errore.contains("(il file o la cartella non esiste)"),
                 qPrintable(u.errore));
        QVERIFY(QDir().mkpath(cartella + "/impianti/Vuoto"));
        u = Esegui(cartella, {"--impianti"});
        QVERIFY2(
            (u.uscita + u.errore).contains("Vuoto/impianto.txt: il file o la cartella non esiste"),
            qPrintable(u.uscita + u.errore));

        // Posta waits for Municipio's link: a signal leaves it not reached.
        QCOMPARE(banco->ordina("delay 30"), QString("ok"));
        for (const char *esito : {"esito.csv", "esito.json"}) {
            banco->azzeraRegistro();
            QProcess p;
            Avvia(p, cartella, {"--su-impianti", "Municipio,Posta", "--leggi", "--esito", esito});
            u = SegnaleDopo(p, banco.operator->(), "&070R", 5, SIGINT);
            QVERIFY2(u.uscita.contains("non raggiunto: Posta"), qPrintable(u.uscita + u.errore));
        }
        const QList<QByteArray> righe = Leggi(cartella + "/esito.csv").split('\n');
        QVERIFY2(righe.value(2).startsWith("Posta;COM1;&07;non raggiunto;;;;"),
                 righe.value(2).constData());
        const QByteArray json = Leggi(cartella + "/esito.json");
        QVERIFY2(json.contains("\"uscita\": null") && json.contains("\"versione\": null") &&
                     !json.contains("\"versione\": 0"),
                 json.constData());
        u = Esegui(cartella, {"--impianto", "Posta", "--registro"});
        QVERIFY2(u.uscita.contains("\tlettura dei testi\tnon eseguito: il giro"),
                 qPrintable(u.uscita));

        Scrivi(
            cartella + "/impianti/Municipio/registro/pc9.txt",
            "2026-12-08T10:00:00.000+01:00\tpc9-1-1\tfine\tan\x1bna\tpc9\tCOM1\tprova\a\tfatto\n");
        QCOMPARE(Esegui(cartella, {"--impianto", "Municipio", "--registro", "--rapporto", "r.pdf"})
                     .codice,
                 0);
        QProcess testo;
        testo.start("pdftotext", {"-layout", cartella + "/r.pdf", "-"});
        QVERIFY2(testo.waitForFinished(20000), "pdftotext (poppler-utils) non disponibile");
        const QString pdf = QString::fromUtf8(testo.readAllStandardOutput());
        QVERIFY2(pdf.contains("an<ESC>na") && pdf.contains("prova<BEL>: fatto"), qPrintable(pdf));
    }

    // A site's folder does not move under a job: while a read runs on the
    // site, --rinomina and --rimuovi-impianto are refused naming the job (2).
    // A job whose site left the book meanwhile (its folder moved by hand)
    // keeps nothing, makes no folder, and says so (2).
    void unSitoAlLavoroNonSiSposta() {
        AVVIA(banco, {"--fast", "--id", "&07", "--delay", "30"}, false);
        const QString cartella = banco.cartella();
        Esegui(cartella, {"--nuovo-impianto", "M", "--porta", "COM1", "--id", "&07"});
        QProcess p;
        Avvia(p, cartella, {"--impianto", "M", "--leggi"});
        QElapsedTimer t;
        t.start();
        while (Conta(banco->comandi(), "&070R") < 5 && t.elapsed() < 30000)
            QTest::qWait(5);
        for (const QStringList &sposta : {QStringList{"--impianto", "M", "--rinomina", "N"},
                                          QStringList{"--rimuovi-impianto", "M", "--si"}}) {
            const Uscita u = Esegui(cartella, sposta);
            QVERIFY2(u.codice == 2 && u.errore.contains("un lavoro è in corso sull'impianto "
                                                        "(lettura dei testi, dal "),
                     qPrintable(sposta.join(' ') + ": " + u.uscita + u.errore));
        }
        QVERIFY(QDir(cartella + "/impianti/M").exists());
        QVERIFY(p.state() != QProcess::NotRunning);
        QVERIFY(QDir().rename(cartella + "/impianti/M", cartella + "/altrove"));
        QVERIFY(p.waitForFinished(60000));
        const Uscita u = Fine(p);
        QVERIFY2(u.codice == 2 && u.uscita.contains("non è più nel libro"),
                 qPrintable(u.uscita + u.errore));
        QVERIFY(!QFileInfo::exists(cartella + "/impianti/M"));
    }

    // --impianto finds a site whatever the case typed; when two folders
    // differ only by case, only the exact name is taken.
    void nomeInOgniCaso() {
        const QString cartella = banco.cartella();
        Esegui(cartella, {"--nuovo-impianto", "Scuola Verdi", "--porta", "COM1", "--id", "&07"});
        Uscita u = Esegui(cartella, {"--impianto", "scuola verdi", "--storia"});
        QVERIFY2(u.codice == 0 && u.uscita.startsWith("L'impianto \"Scuola Verdi\" non ha"),
                 qPrintable(u.uscita + u.errore));
        QVERIFY(QDir().mkpath(cartella + "/impianti/SCUOLA VERDI"));
        QVERIFY(QFile::copy(cartella + "/impianti/Scuola Verdi/impianto.txt",
                            cartella + "/impianti/SCUOLA VERDI/impianto.txt"));
        u = Esegui(cartella, {"--impianto", "scuola verdi", "--storia"});
        QVERIFY2(u.codice == 2 && u.errore.contains("solo per maiuscole e minuscole"),
                 qPrintable(u.errore));
        u = Esegui(cartella, {"--impianto", "SCUOLA VERDI", "--storia"});
        QVERIFY2(u.codice == 0 && u.uscita.startsWith("L'impianto \"SCUOLA VERDI\" non ha"),
                 qPrintable(u.uscita + u.errore));
    }
};

QTEST_MAIN(TestRiga)
#include "tst_riga.moc"
