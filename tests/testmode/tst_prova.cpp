// The walk test against the simulator: the command line (--prova, run as a
// process with no display) and the window opened from the test window.
#include "support/Azioni.h"
#include "support/Banco.h"
#include "support/FileProva.h"
#include "support/Lavoro.h"
#include "linea/FinestreLinea.h"
#include "testmode/FormPrincipaleTest.h"
#include "testmode/FormProvaIngressi.h"
#include "testmode/RapportoProva.h"
#include "testmode/CsvProva.h"
#include "testmode/RegistroProva.h"
#include "shared/Variabili.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>

namespace {

// Waits until the simulator has `quanti` more group-1 requests than now:
// that many test cycles went by.
void Cicli(Simulatore *sim, int quanti) {
    const int da = Conta(sim->comandi(), "&4501");
    QElapsedTimer t;
    t.start();
    while (Conta(sim->comandi(), "&4501") < da + quanti && t.elapsed() < 20000)
        QTest::qWait(10);
}

// Two inputs with a text: 1 "Porta" "ingresso", 2 "Cucina;"nord"" (a ";"
// and quotes for the CSV); the others blank.
void DueIngressi(Banco &b) {
    for (const char *o : {"text 0 Porta", "text 1 ingresso", "text 4 Cucina;\"nord\""})
        QCOMPARE(b->ordina(o), QString("ok"));
}

QString Giornale(const QString &cartella) {
    const QStringList f = QDir(cartella + "/prove").entryList(QDir::Files);
    return f.size() == 1 ? cartella + "/prove/" + f.first() : QString();
}

// The text of a PDF, as pdftotext reads it back.
QString TestoPdf(const QString &percorso) {
    QProcess testo;
    testo.start("pdftotext", {"-layout", percorso, "-"});
    if (!testo.waitForFinished(60000)) qWarning("pdftotext (poppler-utils) non disponibile");
    return QString::fromUtf8(testo.readAllStandardOutput());
}

// The table of a CSV report, its header row first, each row as its values.
QList<QStringList> RigheCsv(const QByteArray &csv) {
    QList<QStringList> righe;
    for (const QString &r : QString::fromUtf8(csv.mid(3)).split("\r\n", Qt::SkipEmptyParts))
        if (!righe.isEmpty() || r.startsWith("Ingresso;")) righe << Prova::CampiCsv(r);
    return righe;
}

} // namespace

class TestProva : public QObject {
    Q_OBJECT
    Banco banco;
    QString cartellaIniziale = QDir::currentPath();

  private slots:
    void init() { banco.inizio(); }
    void cleanup() {
        QDir::setCurrent(cartellaIniziale);
        AnnullaAzioni();
        banco.fine();
    }

    // The record alone: nothing before the texts, counted inputs are those
    // with a text, a key's first reading and an input's first rest are no
    // events, nor is the caption going back to no key, an input active at its
    // first reading is not tried, a line gap is two, and memory stays bounded
    // on a long walk test.
    void registro() {
        Prova::Registro r;
        const auto ingresso = [](int finestra, char c) {
            return QList<Comandi::Ingresso>{
                {finestra, Comandi::LeggiStatoIngresso(QLatin1Char(c)), QLatin1Char(c)}};
        };
        r.Ingressi(ingresso(0, 'C'));
        QVERIFY(r.Eventi().empty());
        QStringList testi(44, QString(32, ' '));
        testi[0] = "Porta" + QString(27, ' ');
        testi[2] = "Garage";
        r.Testi(testi);
        r.Tasto("...");
        r.Stato("R");
        r.Ingressi(ingresso(1, '-'));
        QCOMPARE(r.Eventi().size(), size_t(1)); // the rest state only
        r.Ingressi(ingresso(44, 'C'));          // the "P L" tile: listed, not counted
        r.Risposta(false);
        r.Risposta(false);
        r.Risposta(true);
        r.Tasto(" # ");
        r.Tasto("..."); // the caption back to no key: no key pressed
        QCOMPARE(Prova::Conteggio(r), QString("Provati 0 di 2"));
        QCOMPARE(r.Eventi().size(), size_t(5));
        QCOMPARE(Prova::Descrizione(r, r.Eventi()[2]), QString("la centrale non risponde"));
        QCOMPARE(Prova::Descrizione(r, r.Eventi()[4]), QString("#"));
        r.Ingressi(ingresso(0, 'C')); // active at its first reading: nobody tripped it
        QCOMPARE(Prova::Descrizione(r, r.Eventi().back()), QString("già attivo all'inizio"));
        QCOMPARE(Prova::TestoProvato(r.Ingressi()[0]), QString("no (già attivo)"));
        for (int i = 0; i < 4000; ++i) {
            r.Ingressi(ingresso(2, 'C'));
            r.Ingressi(ingresso(2, '-'));
        }
        QCOMPARE(Prova::Conteggio(r), QString("Provati 1 di 2"));
        QCOMPARE(r.Ingressi()[2].attivazioni, 3999); // the first reading was one already
        QCOMPARE(r.Eventi().size(), size_t(Prova::EventiInMemoria));
        QCOMPARE(r.TotaleEventi(), size_t(8006));
        QCOMPARE(r.Ingressi()[2].intervalli.size(), size_t(Prova::IntervalliPerIngresso));
        QCOMPARE(r.NonProvati().size(), 1);
        QCOMPARE(r.NonProvati().first()->numero, 1);
        r.Sospendi(); // nobody watching: found active on return, not seen going active
        r.Riprendi();
        r.Ingressi(ingresso(2, 'C'));
        QCOMPARE(Prova::Descrizione(r, r.Eventi().back()), QString("già attivo all'inizio"));
        QCOMPARE(r.Ingressi()[2].attivazioni, 3999);
    }

    // An unknown report kind or a missing folder is refused before any
    // exchange; a walk test of a
    // few seconds prints each change, survives a silent spell, names the
    // untried input (exit 1) and writes both reports.
    void rigaDiComando() {
        banco.limite(90);
        AVVIA(banco, {"--fast"}, false);
        DueIngressi(banco);
        Uscita u = Esegui(banco.cartella(), {"--prova", "--rapporto", "r.xyz"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.contains(".csv o .pdf"), qPrintable(u.errore));
        u = Esegui(banco.cartella(), {"--prova", "--rapporto", "manca/r.pdf"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.endsWith("non esiste. Nessuna prova iniziata.\n"), qPrintable(u.errore));
        QVERIFY(banco->comandi().isEmpty());
        // A panel that never gives its texts: --durata still ends it.
        banco->ordina("silent on");
        u = Esegui(banco.cartella(), {"--prova", "--durata", "1"});
        QCOMPARE(u.codice, 1);
        QCOMPARE(u.uscita, QString("Prova finita durante la lettura dei testi (testo 000): nulla "
                                   "è stato provato.\n"));
        banco->ordina("silent off");

        // The installer, set once in the working folder.
        QFile ditta(banco.percorso("ditta.txt"));
        QVERIFY(ditta.open(QIODevice::WriteOnly));
        ditta.write("Impianti Bianchi srl\nmanca.png\n");
        ditta.close();
        QProcess p;
        Avvia(p, banco.cartella(),
              {"--prova", "--durata", "8", "--rapporto", "r.csv", "--rapporto", "r.pdf",
               "--impianto", "Scuola Verdi", "--tecnico", "Mario Rossi"});
        Cicli(banco.sim(), 2);
        banco->ordina("input 1 C");
        Cicli(banco.sim(), 3);
        banco->ordina("input 1 -");
        Cicli(banco.sim(), 3);
        banco->ordina("silent on");
        QTest::qWait(1200);
        banco->ordina("silent off");
        u = Fine(p);
        QCOMPARE(u.codice, 1);
        QVERIFY2(u.errore.startsWith("Giornale: " + banco.cartella() + "/prove/prova-"),
                 qPrintable(u.errore));
        const QStringList righe = u.uscita.split('\n');
        const auto evento = [&](const QString &coda) {
            for (const QString &r : righe)
                if (r.endsWith(coda)) return true;
            return false;
        };
        QVERIFY2(evento("\t1\tPorta           ingresso\tattivo"), qPrintable(u.uscita));
        QVERIFY(evento("\t1\tPorta           ingresso\ta riposo"));
        QVERIFY(evento("\t\tlinea\tla centrale non risponde"));
        QVERIFY(evento("\t\tlinea\tla centrale risponde di nuovo"));
        QVERIFY2(u.uscita.contains("Provati 1 di 2 (durata 0 min 0"), qPrintable(u.uscita));
        QVERIFY(u.uscita.endsWith("Non provati:\n2\tCucina;\"nord\"\n"));

        // The CSV read back: BOM, the test's details, a header, one row per
        // input, quoted where needed, times as a spreadsheet reads them.
        const QByteArray csv = Leggi(banco.percorso("r.csv"));
        QVERIFY(csv.startsWith("\xEF\xBB\xBFImpianto;Scuola Verdi\r\nTecnico;Mario Rossi\r\n"));
        QVERIFY(csv.contains("\r\nEsito;Provati 1 di 2\r\n"));
        const QList<QStringList> csvRighe = RigheCsv(csv);
        QCOMPARE(csvRighe.size(), 1 + Prova::NumeroIngressi);
        QCOMPARE(csvRighe[0].size(), 11);
        const QStringList uno = csvRighe[1];
        QCOMPARE(uno.mid(0, 3), QStringList({"1", "Porta           ingresso", "sì"}));
        QVERIFY(QDateTime::fromString(uno[3], "dd/MM/yyyy HH:mm:ss").isValid());
        QVERIFY(QRegularExpression("^\\d{3}$").match(uno[4]).hasMatch());
        QVERIFY(!uno[7].isEmpty());
        QCOMPARE(uno[9], QString("1"));
        QCOMPARE(csvRighe[2].mid(0, 3), QStringList({"2", "Cucina;\"nord\"", "no"}));

        // The PDF's text: the installer, the panel named in words, the site,
        // the overall result, every input's text, numbered pages, signatures.
        const QString pdf = TestoPdf(banco.percorso("r.pdf"));
        for (const char *atteso :
             {"Impianti Bianchi srl", "Centrale Velto, identificativo 45, collegata a",
              "Scuola Verdi", "Mario Rossi", "1 ingresso non provato", "Provati 1 di 2", "Porta",
              "ingresso", "Cucina;\"nord\"", "la centrale non risponde", "Pagina 1 di",
              "Firma del tecnico", "Firma del cliente"})
            QVERIFY2(pdf.contains(atteso), qPrintable(atteso + ("\n" + pdf.left(2000))));
        QVERIFY(!pdf.contains("&45"));

        // One end, to the millisecond: the journal's end line, the reports
        // written then and those made again from the journal.
        const QString giornale = u.errore.section('\n', 0, 0).mid(QString("Giornale: ").size());
        const QDateTime fine = QDateTime::fromString(
            QString::fromUtf8(Leggi(giornale)).section("\n# fine della prova: ", 1).trimmed(),
            "yyyy-MM-dd HH:mm:ss.zzz");
        QVERIFY(fine.isValid());
        const QByteArray rigaFine =
            "\r\nFine;" + fine.toString("dd/MM/yyyy HH:mm:ss;zzz").toUtf8() + "\r\n";
        QVERIFY2(csv.contains(rigaFine), csv.constData());
        QVERIFY2(pdf.contains("Fine: " + fine.toString("dd/MM/yyyy HH:mm:ss")),
                 qPrintable(pdf.left(2000)));

        // The same walk test's reports again from its journal, with no panel:
        // the same table, the same count and exit status.
        u = Esegui(banco.cartella(), {"--rapporti-da", giornale, "--rapporto", "di-nuovo.csv"});
        QCOMPARE(u.codice, 1);
        QVERIFY2(u.uscita.contains("\nProvati 1 di 2 (durata 0 min 0"), qPrintable(u.uscita));
        QCOMPARE(RigheCsv(Leggi(banco.percorso("di-nuovo.csv"))), csvRighe);
        QVERIFY(Leggi(banco.percorso("di-nuovo.csv")).contains(rigaFine));
        u = Esegui(banco.cartella(), {"--rapporti-da", "manca.txt", "--rapporto", "x.csv"});
        QCOMPARE(u.codice, 2);
        QVERIFY2(u.errore.contains("manca.txt: il file non esiste."), qPrintable(u.errore));
    }

    // Texts a spreadsheet would run, or that would break a line: the panel's,
    // the site and the technician given on the command line, a note. In the
    // CSV a formula stays a text (an apostrophe first; a lone "-", no text,
    // untouched); control characters are written visibly in the journal, on
    // stdout, in the CSV and in the PDF: no journal line is forged, no tab
    // splits a field, nothing after a line end is lost.
    void campiPericolosi() {
        banco.limite(90);
        AVVIA(banco, {"--fast"}, false);
        for (const char *o :
             {"text 0 =2+5*10", "text 4 @SUM(1+1)\ta", "text 8 =HYPERLINK(\"http",
              "text 9 ://x.it\")", "text 12 =cmd|' /C calc'!", "text 13 A0", "text 16 -5"})
            QCOMPARE(banco->ordina(o), QString("ok"));
        const QString impianto = "Villa\n# 12:00:00.000 falso\x1b[31m";
        QProcess p;
        Avvia(p, banco.cartella(),
              {"--prova", "--durata", "5", "--rapporto", "r.csv", "--rapporto", "r.pdf",
               "--impianto", impianto, "--tecnico", "+Rossi\a"});
        Cicli(banco.sim(), 2);
        banco->ordina("input 2 C");
        Cicli(banco.sim(), 3);
        const Uscita u = Fine(p);
        QCOMPARE(u.codice, 1);
        QVERIFY2(u.uscita.contains("\t2\t@SUM(1+1)<TAB>a\tattivo\n"), qPrintable(u.uscita));

        const QString giornale = QString::fromUtf8(Leggi(Giornale(banco.cartella())));
        QVERIFY2(giornale.contains("\n# impianto: Villa<LF># 12:00:00.000 falso<ESC>[31m\n# "
                                   "tecnico: +Rossi<BEL>\n"),
                 qPrintable(giornale));
        QVERIFY(!giornale.contains("\n# 12:00") && !giornale.contains('\x1b'));
        QVERIFY(giornale.contains("# ingresso 2\t@SUM(1+1)<TAB>a\n"));

        const QList<QStringList> csv = RigheCsv(Leggi(banco.percorso("r.csv")));
        QCOMPARE(csv.size(), 1 + Prova::NumeroIngressi);
        QStringList testi;
        for (int i = 1; i <= 6; ++i)
            testi << csv[i][1];
        QCOMPARE(testi, QStringList({"'=2+5*10", "'@SUM(1+1)<TAB>a", "'=HYPERLINK(\"http://x.it\")",
                                     "'=cmd|' /C calc'!A0", "'-5", "-"}));

        const QString pdf = TestoPdf(banco.percorso("r.pdf"));
        for (const char *atteso : {"Villa<LF># 12:00:00.000 falso<ESC>[31m", "+Rossi<BEL>",
                                   "@SUM(1+1)<TAB>a", "=cmd|' /C calc'!A0"})
            QVERIFY2(pdf.contains(atteso), atteso);

        // The technician's notes, typed in the window: in the journal and the CSV.
        Prova::Registro r;
        r.Testi(QStringList(44, QString()));
        QCOMPARE(r.ApriGiornale(banco.percorso("finestra")), QString());
        const QStringList note = {"=1+1", "-", "+39 333", "a;b", "sì\r\x1b[2K# falso", "-2"};
        for (int i = 0; i < note.size(); ++i)
            r.ImpostaNota(i + 1, note[i]);
        QStringList scritte;
        for (const QStringList &riga : RigheCsv(Prova::Csv(r)).mid(1, note.size()))
            scritte << riga[10];
        QCOMPARE(scritte,
                 QStringList({"'=1+1", "-", "'+39 333", "a;b", "sì<CR><ESC>[2K# falso", "'-2"}));
        QVERIFY(Leggi(r.Giornale()).contains("nota dell'ingresso 5: sì<CR><ESC>[2K# falso\n"));
        // A long note is in the PDF whole, however it is wrapped.
        QStringList testiUno(44, QString());
        testiUno[0] = "Porta";
        r.Testi(testiUno);
        const QString lunga = QString("rivelatore coperto da un armadio spostato dal cliente; "
                                      "da rivedere alla prossima visita ")
                                  .repeated(3) +
                              "FINE";
        r.ImpostaNota(1, lunga);
        QVERIFY(Prova::SalvaRapporto(r, banco.percorso("note.pdf")).isEmpty());
        QString unita = TestoPdf(banco.percorso("note.pdf"));
        unita.remove(QRegularExpression("\\s"));
        QVERIFY2(unita.contains(QString(lunga).remove(' ')), qPrintable(unita.left(2000)));
    }

    // A long walk test: memory keeps the first events and the newest; the
    // PDF says how many there were in all, shows both ends and, between them,
    // a line naming the journal that holds every one; the line gaps are all
    // counted, though only the newest are listed.
    void registroLungo() {
        // Every line of the journal is synced to disk: on tmpfs, where there
        // is one, that costs nothing.
        QTemporaryDir cartella(QDir("/dev/shm").exists() ? "/dev/shm/tst_prova-XXXXXX"
                                                         : QDir::tempPath() + "/tst_prova-XXXXXX");
        Prova::Registro r;
        QStringList testi(44, QString());
        testi[0] = "Porta";
        r.Testi(testi);
        QCOMPARE(r.ApriGiornale(cartella.path()), QString());
        r.Stato("R");
        for (int i = 0; i < 250; ++i) {
            r.Risposta(false);
            r.Risposta(true);
        }
        for (int i = 0; i < 22000; ++i)
            for (char c : {'C', '-'})
                r.Ingressi({{0, Comandi::LeggiStatoIngresso(QLatin1Char(c)), QLatin1Char(c)}});
        r.Stato("I");
        const size_t totale = 1 + 500 + 44000 + 1;
        QCOMPARE(r.TotaleEventi(), totale);
        QCOMPARE(r.Eventi().size(), size_t(Prova::EventiInMemoria));
        QCOMPARE(Prova::Descrizione(r, r.Eventi().front()), QString("a riposo"));
        QCOMPARE(Prova::Descrizione(r, r.Eventi().back()), QString("in programmazione"));
        // By number since the start, as the window takes them: none between the two ends.
        QCOMPARE(r.EventoNumero(Prova::EventiIniziali - 1), &r.Eventi()[Prova::EventiIniziali - 1]);
        QVERIFY(!r.EventoNumero(Prova::EventiIniziali));
        QVERIFY(!r.EventoNumero(totale - (Prova::EventiInMemoria - Prova::EventiIniziali) - 1));
        QCOMPARE(r.EventoNumero(totale - 1), &r.Eventi().back());
        QVERIFY(!r.EventoNumero(totale));

        const QString percorso = cartella.filePath("r.pdf");
        QCOMPARE(Prova::SalvaRapporto(r, percorso), QString());
        const QString pdf = TestoPdf(percorso);
        QVERIFY2(pdf.contains("Eventi (44502 in tutto; qui i primi 1000 e gli ultimi 4000)"),
                 qPrintable(pdf.left(3000)));
        const int omessi = pdf.indexOf("… 39502 eventi omessi: sono tutti nel giornale");
        QVERIFY(omessi > 0);
        QVERIFY2(pdf.indexOf(QFileInfo(r.Giornale()).fileName(), omessi) > 0,
                 qPrintable(pdf.mid(omessi, 300)));
        QVERIFY(pdf.indexOf("la centrale non risponde") < omessi);
        QVERIFY(pdf.indexOf("in programmazione") > omessi);
        QVERIFY(pdf.contains("Interruzioni della linea (250):"));
        QVERIFY(pdf.contains("… le prime 50 omesse"));

        int righe = 0;
        for (const QByteArray &riga : Leggi(r.Giornale()).split('\n'))
            righe += !riga.isEmpty() && !riga.startsWith('#');
        QCOMPARE(size_t(righe), totale);
    }

    // Every input with a text tried, ended by Ctrl+C: exit 0. Killed outright,
    // the journal still holds every event that was printed.
    void segnaliEGiornale() {
        banco.limite(90);
        AVVIA(banco, {"--fast"}, false);
        DueIngressi(banco);
        QProcess p;
        Avvia(p, banco.cartella(), {"--prova"});
        Cicli(banco.sim(), 2);
        banco->ordina("input 1 C");
        banco->ordina("input 2 C");
        Cicli(banco.sim(), 3);
        ::kill(pid_t(p.processId()), SIGINT);
        Uscita u = Fine(p);
        QCOMPARE(u.codice, 0);
        QVERIFY2(u.uscita.endsWith("\nProvati 2 di 2 (durata 0 min 0" +
                                   u.uscita.section("(durata 0 min 0", 1)),
                 qPrintable(u.uscita));
        QVERIFY(!u.uscita.contains("Non provati"));

        QDir(banco.percorso("prove")).removeRecursively();
        banco->ordina("inputs " + QString(46, '-'));
        Avvia(p, banco.cartella(), {"--prova"});
        Cicli(banco.sim(), 2);
        banco->ordina("input 2 C");
        Cicli(banco.sim(), 3);
        ::kill(pid_t(p.processId()), SIGKILL);
        u = Fine(p);
        const QString giornale = QString::fromUtf8(Leggi(Giornale(banco.cartella())));
        QVERIFY2(u.uscita.contains("\t2\tCucina;\"nord\"\tattivo"), qPrintable(u.uscita));
        QVERIFY2(giornale.contains("\t2\tCucina;\"nord\"\tattivo\n"), qPrintable(giornale));
    }

    // The test window's context menu opens the walk test's window, which
    // shows what the polling decoded and keeps a journal.
    void finestra() {
        AVVIA(banco);
        DueIngressi(banco);
        QDir::setCurrent(banco.cartella()); // the journal goes to the start-up folder
        FormPrincipaleTest f;
        f.show();
        f.AzzeraDisplay();
        f.CaricaTesti();
        const auto ciclo = [&f](int volte) {
            for (int i = 0; i < volte; ++i) {
                f.LeggiStato();
                f.LeggiIngressi();
                f.LeggiTasto();
            }
        };
        ciclo(1);
        banco->ordina("input 2 C");
        ciclo(2);
        QTest::qWait(20);
        const QDateTime apertura = QDateTime::currentDateTime();
        QCOMPARE(f.Menu->actions().first()->objectName(), QString("ProvaIngressi"));
        QCOMPARE(f.Menu->actions().first()->text(), QString("Prova ingressi…"));
        f.Menu->actions().first()->trigger();
        auto *w = f.findChild<FormProvaIngressi *>();
        QVERIFY(w && w->isVisible() && !w->isModal());
        // The walk test starts with its window, in the journal too: what was
        // seen before is listed as such, and an input active then is not tried.
        QVERIFY(f.RegistroProva.Inizio() >= apertura);
        QVERIFY(Leggi(Giornale(banco.cartella()))
                    .contains(", iniziata il " +
                              Prova::OraCompleta(f.RegistroProva.Inizio()).toUtf8()));
        QVERIFY(
            w->Eventi->item(0)->text().endsWith("Cucina;\"nord\":  attivo (prima dell'inizio)"));
        QCOMPARE(w->Provati->text(), QString("Provati 0 di 2"));
        QCOMPARE(w->Ultimo->text(), QString("Ultimo attivo: nessuno"));
        QCOMPARE(w->Ingressi->item(1, 2)->text(), QString("no (già attivo)"));
        QCOMPARE(w->Ingressi->item(0, 2)->text(), QString("no"));
        QVERIFY(w->Giornale->text().contains("/prove/prova-"));

        banco->ordina("input 2 -");
        ciclo(1);
        banco->ordina("input 1 C");
        banco->ordina("input 2 C");
        ciclo(2);
        QTRY_COMPARE(w->Provati->text(), QString("Provati 2 di 2"));
        QVERIFY2(w->Ultimo->text().startsWith("Ultimo attivo: 2  Cucina;\"nord\"  ("),
                 qPrintable(w->Ultimo->text()));
        QCOMPARE(
            w->Eventi->findItems("Porta           ingresso:  attivo", Qt::MatchEndsWith).size(), 1);
        // The technician's note and the site reach the journal as typed.
        w->Ingressi->item(0, 6)->setText("sensore coperto"); // the note's column
        w->findChild<QLineEdit *>("Impianto")->setText("Villa Rossi");
        emit w->findChild<QLineEdit *>("Impianto")->editingFinished();
        const QString giornale = QString::fromUtf8(Leggi(Giornale(banco.cartella())));
        QVERIFY(giornale.contains("\t1\tPorta           ingresso\tattivo\n"));
        for (const char *riga :
             {"  nota dell'ingresso 1: sensore coperto\n", "  impianto: Villa Rossi\n"})
            QVERIFY2(giornale.contains(riga), riga);

        // A silent line with the window open: the red button shows, no hint
        // covers the window, the cycle goes on by itself after a pause, and
        // the gap and the return are recorded.
        QTimer::singleShot(5000, &f, [&f] { f.TastoErroreSerialeFlag = true; });
        banco->ordina("silent on");
        QElapsedTimer attesa;
        attesa.start();
        f.LeggiStato();
        QVERIFY2(attesa.elapsed() < 4000, qPrintable(QString::number(attesa.elapsed())));
        QVERIFY(f.TastoErroreSeriale->isVisible());
        QVERIFY(!f.findChild<QMessageBox *>("AvvisoNessunaRisposta"));
        banco->ordina("silent off");
        ciclo(1);
        QVERIFY(!f.TastoErroreSeriale->isVisible());
        for (const char *e :
             {"linea:  la centrale non risponde", "linea:  la centrale risponde di nuovo"})
            QTRY_COMPARE(w->Eventi->findItems(e, Qt::MatchEndsWith).size(), 1);

        // The port window opened from the menu holds the polling: a gap.
        Quando([] { return QApplication::activeModalWidget(); },
               [] { QApplication::activeModalWidget()->close(); });
        f.findChild<QAction *>("VocePorta")->trigger();
        QTRY_COMPARE(w->Eventi->findItems("prova:  ripresa", Qt::MatchEndsWith).size(), 1);
        QVERIFY(w->Eventi->item(1)->text().endsWith(
            "prova:  sospesa (modo test fermo, ingressi non letti)"));

        // "Ricomincia" asks first: refused, nothing changes; accepted, the
        // record starts again with a journal of its own.
        const auto rispondi = [](QMessageBox::StandardButton b) {
            Quando([] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); },
                   [b] {
                       qobject_cast<QMessageBox *>(QApplication::activeModalWidget())
                           ->button(b)
                           ->click();
                   });
        };
        auto *ricomincia = w->findChild<QPushButton *>("Ricomincia");
        rispondi(QMessageBox::No);
        ricomincia->click();
        QCOMPARE(w->Provati->text(), QString("Provati 2 di 2"));
        V::Identificativo = "&46"; // another panel chosen meanwhile
        rispondi(QMessageBox::Yes);
        ricomincia->click();
        QCOMPARE(w->Provati->text(), QString("Provati 0 di 2"));
        QCOMPARE(w->Eventi->count(), 0);
        QCOMPARE(QDir(banco.percorso("prove")).entryList(QDir::Files).size(), 2);
        // Texts loaded again from the same panel keep the walk test; another
        // panel starts another, and says where the last one is.
        // What is read between the change of link and the texts loaded is
        // another panel's: the walk test it ends takes none of it.
        QCOMPARE(w->windowTitle(), QString("Prova ingressi - centrale &46"));
        QString giornale46;
        for (const QString &g : QDir(banco.percorso("prove")).entryList(QDir::Files))
            if (Leggi(banco.percorso("prove/" + g)).contains("della centrale &46"))
                giornale46 = banco.percorso("prove/" + g);
        V::Identificativo = "&45";
        emit AvvisoLinea::Istanza().Cambiata(); // as "Porta…", "Cerca…" and "Usa" do
        banco->ordina("input 3 C");
        ciclo(1);
        f.CaricaTesti();
        QCOMPARE(w->windowTitle(), QString("Prova ingressi - centrale &45"));
        QCOMPARE(QDir(banco.percorso("prove")).entryList(QDir::Files).size(), 3);
        const QByteArray vecchio = Leggi(giornale46);
        QVERIFY2(!vecchio.contains("\t3\t") && vecchio.contains("\n# fine della prova: "),
                 vecchio.constData());
        QVERIFY2(w->Giornale->text().startsWith("Centrale cambiata: la prova della centrale &46 "
                                                "su "),
                 qPrintable(w->Giornale->text()));
        QCOMPARE(w->Impianto->text(), QString()); // no site names the new panel
        ciclo(1);
        f.CaricaTesti();
        QCOMPARE(QDir(banco.percorso("prove")).entryList(QDir::Files).size(), 3);
        w->Aggiorna();
        // Found active, not seen going active: not the last one tripped.
        QCOMPARE(w->Ultimo->text(), QString("Ultimo attivo: nessuno"));
        QCOMPARE(w->Ingressi->item(2, 2)->text(), QString("no (già attivo)"));

        // "Apri prova…" shows the first walk test again, from its journal.
        QString primo;
        for (const QString &g : QDir(banco.percorso("prove")).entryList(QDir::Files))
            if (Leggi(banco.percorso("prove/" + g)).contains("sensore coperto"))
                primo = banco.percorso("prove/" + g);
        Quando(
            [] {
                return QApplication::activeModalWidget() &&
                       QApplication::activeModalWidget()->objectName() == "SceltaProva";
            },
            [primo] {
                auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                d->selectFile(primo);
                d->findChild<QLineEdit *>("fileNameEdit")->setText(primo);
                static_cast<QDialog *>(d)->accept();
            });
        w->findChild<QPushButton *>("ApriProva")->click();
        FormProvaIngressi *passata = nullptr;
        for (auto *p : w->findChildren<FormProvaIngressi *>())
            if (p->isVisible()) passata = p;
        QVERIFY(passata);
        QVERIFY2(passata->windowTitle().endsWith(" - centrale &45 (dal giornale)"),
                 qPrintable(passata->windowTitle()));
        QCOMPARE(passata->Provati->text(), QString("Provati 2 di 2"));
        QCOMPARE(passata->Impianto->text(), QString("Villa Rossi"));
        QCOMPARE(passata->Ingressi->item(0, 6)->text(), QString("sensore coperto"));
        QVERIFY(!(passata->Ingressi->item(0, 6)->flags() & Qt::ItemIsEditable));
        QVERIFY(passata->findChild<QPushButton *>("Ricomincia")->isHidden());
        passata->findChild<QPushButton *>("Chiudi")->click(); // asks nothing: it has its journal
        QVERIFY(!passata->isVisible());
    }

    // A journal read back gives the record it was written from: the same
    // events, counts, times, spans and notes, hence the same reports; a line
    // cut by a crash is skipped and counted; a file that is no journal is
    // refused.
    void giornaleRiletto() {
        QTemporaryDir cartella;
        const auto ingresso = [](int finestra, char c) {
            return QList<Comandi::Ingresso>{
                {finestra, Comandi::LeggiStatoIngresso(QLatin1Char(c)), QLatin1Char(c)}};
        };
        const auto pausa = [] { QTest::qWait(3); };
        const auto spanne = [](const Prova::Registro &r) {
            QStringList s;
            for (const Prova::Ingresso &n : r.Ingressi())
                for (const Prova::Intervallo &i : n.intervalli)
                    s << QString("%1 %2-%3")
                             .arg(n.numero)
                             .arg(Prova::OraCompleta(i.da), Prova::OraCompleta(i.a));
            for (const auto *d : {&r.Silenzi(), &r.Sospensioni()})
                for (const Prova::Intervallo &i : *d)
                    s << Prova::OraCompleta(i.da) + "-" + Prova::OraCompleta(i.a);
            return s;
        };
        const auto eventi = [](const Prova::Registro &r) {
            QStringList s;
            for (const Prova::Evento &e : r.Eventi())
                s << Prova::RigaEvento(r, e, true);
            return s;
        };
        QByteArray csv;
        QStringList eventiVisti, spanneViste;
        QString giornale;
        QDateTime fine;
        {
            Prova::Registro r;
            r.identificativo = "&45";
            r.porta = "COM1";
            r.tecnico = "Mario";
            QStringList testi(44, QString(16, ' '));
            testi[0] = "Porta";
            testi[1] = "-";
            testi[2] = "Garage";
            r.Testi(testi);
            r.Stato("R");
            r.Ingressi(ingresso(1, 'C')); // active at its first reading
            r.Ingressi(ingresso(0, '-'));
            r.Ingressi(ingresso(0, 'C')); // before the start
            pausa();
            r.Inizia();
            QCOMPARE(r.ApriGiornale(cartella.path()), QString());
            pausa();
            r.Ingressi(ingresso(0, '-'));
            r.Ingressi(ingresso(0, 'C'));
            r.Risposta(false);
            pausa();
            r.Risposta(true);
            r.Sospendi();
            pausa();
            r.Riprendi();
            r.Ingressi(ingresso(2, 'C')); // found active after the gap: not tried
            r.Ingressi(ingresso(2, '-'));
            pausa();
            r.Ingressi(ingresso(2, 'C')); // tried, active at the end
            r.Tasto("...");
            r.Tasto(" # ");
            r.Stato("A");
            r.ImpostaNota(2, "coperto: da spostare");
            r.impianto = "Villa Rossi";
            r.AnnotaImpianto();
            pausa();
            fine = r.fine = QDateTime::currentDateTime();
            QCOMPARE(Prova::Conteggio(r), QString("Provati 2 di 3"));
            csv = Prova::Csv(r);
            eventiVisti = eventi(r);
            spanneViste = spanne(r);
            giornale = r.Giornale();
        }
        Prova::Registro l;
        QCOMPARE(l.Rileggi(giornale), QString());
        QVERIFY(l.DaGiornale() && l.fine >= fine && l.fine < fine.addSecs(5));
        QCOMPARE(l.RigheSaltate(), 0);
        l.fine = fine;
        QCOMPARE(eventi(l), eventiVisti);
        QCOMPARE(spanne(l), spanneViste);
        QCOMPARE(QString::fromUtf8(Prova::Csv(l)), QString::fromUtf8(csv));
        QCOMPARE(l.tecnico, QString("Mario"));

        // Cut by a crash: no end line, half an event.
        QByteArray testo = Leggi(giornale);
        testo.truncate(testo.lastIndexOf("# fine della prova"));
        Scrivi(cartella.filePath("rotto.txt"), testo + "2026-12-07 23:3");
        Prova::Registro rotto;
        QCOMPARE(rotto.Rileggi(cartella.filePath("rotto.txt")), QString());
        QCOMPARE(rotto.RigheSaltate(), 1);
        QCOMPARE(eventi(rotto), eventiVisti);
        QVERIFY(rotto.fine < fine); // the last line's time
        // Cut within its list of texts: that is said too.
        Scrivi(cartella.filePath("testa.txt"), testo.left(testo.indexOf("# ingresso 3") + 15));
        Prova::Registro testa;
        QCOMPARE(testa.Rileggi(cartella.filePath("testa.txt")), QString());
        QCOMPARE(testa.RigheSaltate(), 1);

        // A clock gone wrong: events before the start or after the end line,
        // or far after the last line of a journal cut by a crash, credit no
        // input and are named by their lines.
        const QByteArray linea = "\tlinea\tla centrale non risponde\n";
        const int dopo = Leggi(giornale).indexOf(linea) + linea.size();
        const auto inserisci = [&](const QByteArray &base, const QByteArray &orario) {
            QByteArray t = base;
            t.insert(dopo, orario + "\t2\t-\ta riposo\n" + orario + "\t2\t-\tattivo\n");
            return t;
        };
        const int riga = int(Leggi(giornale).left(dopo).count('\n')) + 1;
        Scrivi(cartella.filePath("fuori.txt"),
               inserisci(inserisci(Leggi(giornale), "9999-12-31 23:59:59.000"),
                         "1970-01-01 01:00:00.000"));
        Prova::Registro fuori;
        QCOMPARE(fuori.Rileggi(cartella.filePath("fuori.txt")), QString());
        QCOMPARE(Prova::Conteggio(fuori), QString("Provati 2 di 3"));
        QCOMPARE(fuori.FuoriIntervallo(), 4);
        QCOMPARE(fuori.RigheSaltate(), 0);
        QCOMPARE(fuori.fine, fine);
        QCOMPARE(eventi(fuori), eventiVisti);
        QCOMPARE(Prova::TestoFuori(fuori),
                 QString("4 eventi fuori dall'intervallo della prova, non contati: riga %1 "
                         "(01/01/1970 01:00:00), riga %2 (01/01/1970 01:00:00), riga %3 "
                         "(31/12/9999 23:59:59), riga %4 (31/12/9999 23:59:59)")
                     .arg(riga)
                     .arg(riga + 1)
                     .arg(riga + 2)
                     .arg(riga + 3));
        Scrivi(cartella.filePath("rotto-fuori.txt"), inserisci(testo, "9999-12-31 23:59:59.000"));
        Prova::Registro rottoFuori;
        QCOMPARE(rottoFuori.Rileggi(cartella.filePath("rotto-fuori.txt")), QString());
        QCOMPARE(Prova::Conteggio(rottoFuori), QString("Provati 2 di 3"));
        QCOMPARE(rottoFuori.FuoriIntervallo(), 2);
        QCOMPARE(rottoFuori.fine, rotto.fine);
        // A line longer than any the tool writes is skipped and counted,
        // however it ends.
        const QByteArray quando = Prova::OraCompleta(fine.addMSecs(-1)).toUtf8();
        QByteArray lunghe = Leggi(giornale);
        lunghe.insert(dopo, quando + "\t2\t" + QByteArray(100000, 'x') + "\ta riposo\n" + quando +
                                "\t2\t" + QByteArray(300000, 'x') + "\tattivo\n");
        Scrivi(cartella.filePath("lunghe.txt"), lunghe);
        Prova::Registro lunga;
        QCOMPARE(lunga.Rileggi(cartella.filePath("lunghe.txt")), QString());
        QCOMPARE(Prova::Conteggio(lunga), QString("Provati 2 di 3"));
        QCOMPARE(lunga.RigheSaltate(), 2);
        QCOMPARE(eventi(lunga), eventiVisti);

        Scrivi(cartella.filePath("altro.txt"), "Ingresso;Testo\n");
        Prova::Registro cartellaNo;
        QVERIFY(cartellaNo.Rileggi(cartella.path()).endsWith("è una cartella, non un file."));
        for (const char *f : {"altro.txt", "manca.txt"}) {
            Prova::Registro no;
            const QString errore = no.Rileggi(cartella.filePath(f));
            QVERIFY2(errore.contains(f) && (errore.startsWith("Il file ") ||
                                            errore.startsWith("Impossibile leggere il giornale")),
                     qPrintable(errore));
        }
    }

    // "Salva rapporto…" proposes, for a walk test going on and for one
    // reopened from its journal alike, a file beside the journal named as it
    // is, never one that is there; a report of a walk test going on says so,
    // and a journal's end is the one its reports say.
    void rapportoProposto() {
        QTemporaryDir cartella;
        QDir::setCurrent(cartella.path());
        Prova::Registro r;
        r.identificativo = "&45";
        QStringList testi(44, QString());
        testi[0] = "Porta";
        r.Testi(testi);
        FormProvaIngressi w(
            r, [] {}, nullptr);
        w.Mostra();
        const QString giornale = r.Giornale();
        QVERIFY2(giornale.startsWith(cartella.path() + "/prove/prova-") &&
                     giornale.endsWith(".txt"),
                 qPrintable(giornale));
        const QString base = giornale.chopped(4);
        // The file window: its proposal taken, then saved or refused; the
        // message that follows a save closed.
        QString proposto;
        const auto salva = [&](FormProvaIngressi &f, bool salvato) {
            proposto.clear();
            Quando([] { return qobject_cast<QFileDialog *>(QApplication::activeModalWidget()); },
                   [&proposto, salvato] {
                       auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                       proposto = d->selectedFiles().value(0);
                       salvato ? static_cast<QDialog *>(d)->accept() : d->reject();
                   });
            if (salvato)
                Quando(
                    [] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); },
                    [] { QApplication::activeModalWidget()->close(); });
            QCOMPARE(f.SalvaRapporto_Click(), salvato);
        };
        salva(w, true);
        QCOMPARE(proposto, base + ".pdf");
        QVERIFY(QFileInfo::exists(base + ".pdf"));
        const QString inCorso = TestoPdf(base + ".pdf");
        QVERIFY2(inCorso.contains("Fine: prova in corso") &&
                     inCorso.contains("Durata finora: 0 min 0"),
                 qPrintable(inCorso.left(1500)));
        salva(w, false);
        QCOMPARE(proposto, base + "-2.pdf");
        Scrivi(base + "-2.pdf", "altro");
        QCOMPARE(Prova::NomeRapporto(r, cartella.path(), "csv"), base + ".csv");
        QCOMPARE(Prova::NomeRapporto(r, cartella.path()), base + "-3.pdf");

        QString errore;
        std::unique_ptr<FormProvaIngressi> passata(
            FormProvaIngressi::DaGiornale(giornale, nullptr, &errore));
        QVERIFY2(passata, qPrintable(errore));
        salva(*passata, false);
        QCOMPARE(proposto, base + "-3.pdf");

        // Ended: the journal's end line and the report say one end.
        r.Termina();
        const QDateTime fine = QDateTime::fromString(
            QString::fromUtf8(Leggi(giornale)).section("\n# fine della prova: ", 1).trimmed(),
            "yyyy-MM-dd HH:mm:ss.zzz");
        QCOMPARE(fine, r.fine);
        QVERIFY(Leggi(giornale).endsWith("\n"));
        QCOMPARE(Prova::SalvaRapporto(r, cartella.filePath("finita.csv")), QString());
        QVERIFY(Leggi(cartella.filePath("finita.csv"))
                    .contains("\r\nFine;" + fine.toString("dd/MM/yyyy HH:mm:ss;zzz").toUtf8()));
    }

    // On a laptop's screen the window fits, its buttons on it, whatever its
    // screen (here the test's) and on one of 1280×720 or 1366×768.
    void misuraDellaFinestra() {
        QTemporaryDir cartella;
        QDir::setCurrent(cartella.path());
        Prova::Registro r;
        FormProvaIngressi w(
            r, [] {}, nullptr);
        const auto dentro = [&w](const QRect &schermo) {
            QVERIFY2(schermo.contains(w.frameGeometry()),
                     qPrintable(QString("%1x%2").arg(w.width()).arg(w.height())));
            for (const char *nome : {"SalvaRapporto", "Ricomincia", "Chiudi"}) {
                const auto *b = w.findChild<QPushButton *>(nome);
                QVERIFY2(w.rect().contains(QRect(b->mapTo(&w, QPoint()), b->size())), nome);
            }
        };
        w.Mostra();
        dentro(w.screen()->availableGeometry());
        for (const QRect &schermo : {QRect(0, 0, 1280, 720), QRect(0, 24, 1366, 744)}) {
            w.Adatta(schermo);
            QApplication::processEvents();
            dentro(schermo);
        }
    }

    // The site and the technician of the last walk test are there at the next.
    void ricordati() {
        QTemporaryDir cartella;
        QDir::setCurrent(cartella.path());
        Prova::Registro r;
        {
            FormProvaIngressi w(
                r, [] {}, nullptr);
            w.Tecnico->setText("Mario Rossi");
            emit w.Tecnico->editingFinished();
            w.Impianto->setText("Scuola Verdi");
            emit w.Impianto->editingFinished();
            QVERIFY(!w.Suono->isChecked());
            w.Suono->click();
        }
        FormProvaIngressi w(
            r, [] {}, nullptr);
        QVERIFY(w.Suono->isChecked());
        QCOMPARE(w.Tecnico->text(), QString("Mario Rossi"));
        QCOMPARE(w.Impianto->text(), QString("Scuola Verdi"));
        QCOMPARE(r.tecnico, QString("Mario Rossi"));
    }

    // "Chiudi" closes at once while nothing was seen since the start, and
    // asks while some events are in no report: Annulla keeps the window.
    void chiudiChiede() {
        QTemporaryDir cartella;
        QDir::setCurrent(cartella.path());
        Prova::Registro r;
        r.Testi(QStringList(44, QString()));
        r.Stato("R"); // before the start
        FormProvaIngressi w(
            r, [] {}, nullptr);
        auto *chiudi = w.findChild<QPushButton *>("Chiudi");
        w.Mostra();
        chiudi->click();
        QVERIFY(!w.isVisible());
        w.Mostra();
        r.Stato("A");
        const auto rispondi = [](const char *pulsante) {
            Quando(
                [] { return QApplication::activeModalWidget(); },
                [pulsante] {
                    QApplication::activeModalWidget()->findChild<QPushButton *>(pulsante)->click();
                });
        };
        rispondi("Annulla");
        chiudi->click();
        QVERIFY(w.isVisible());
        rispondi("NonSalvare");
        chiudi->click();
        QVERIFY(!w.isVisible());
    }
};

QTEST_MAIN(TestProva)
#include "tst_prova.moc"
