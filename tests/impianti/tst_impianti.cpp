// The site book on the disk: names, descriptions, the CSV, versions and the
// register, in a folder of the case's own.
#include "impianti/Impianti.h"
#include "impianti/Registro.h"
#include "impianti/Versioni.h"
#include "rapporti/RapportoRegistro.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <unistd.h>

using namespace Impianti;

class TestImpianti : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    static Impianto Sito(const QString &nome) {
        Impianto i;
        i.nome = nome;
        i.porta = QStringLiteral("tcp://10.0.0.5:4001");
        i.id = QStringLiteral("&45");
        return i;
    }

    static void Scrivi(const QString &percorso, const QByteArray &dati) {
        QDir().mkpath(QFileInfo(percorso).path());
        QFile f(percorso);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(dati);
    }

  private slots:
    void init() {
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
        QDir::setCurrent(dir_.path());
    }

    // What a site may be called and linked to, created once, read back whole.
    void creaECarica() {
        QString errore;
        for (const char *nome : {"", "a/b", ".nascosto", "a\tb", "NUL", "fine.", "x:y"}) {
            Impianto i = Sito(QString::fromUtf8(nome));
            QVERIFY2(!Crea(i, &errore), nome);
            QVERIFY(!errore.isEmpty());
        }
        Impianto i = Sito(QStringLiteral("Scuola Verdi"));
        i.porta = QStringLiteral("tcp://10.0.0.5");
        QVERIFY(!Crea(i, &errore));
        i.porta = QStringLiteral("ttyUSB0");
        QVERIFY(!Crea(i, &errore));
        i.porta = QStringLiteral("COM3");
        i.id = QStringLiteral("45");
        QVERIFY(!Crea(i, &errore));
        QVERIFY(!QDir(Libro()).exists() || QDir(Libro()).isEmpty());

        i.id = QStringLiteral("&45");
        i.rs485 = true;
        i.copia = false;
        i.cliente = QStringLiteral("Comune: ufficio \\ tecnico");
        i.note = QStringLiteral("chiave in portineria\nallarme: 2 sirene");
        QVERIFY2(Crea(i, &errore), qPrintable(errore));
        QVERIFY(!Crea(Sito(QStringLiteral("scuola verdi")), &errore));
        QVERIFY2(errore.contains(QStringLiteral("già")), qPrintable(errore));
        // A line of a later version of the tool stays.
        QFile f(QDir(CartellaDi(i.nome)).filePath(QStringLiteral("impianto.txt")));
        QVERIFY(f.open(QIODevice::Append));
        f.write("zona: nord\n");
        f.close();
        auto letto = Carica(i.nome, &errore);
        QVERIFY(letto);
        QCOMPARE(letto->cliente, i.cliente);
        QCOMPARE(letto->note, i.note);
        QVERIFY(letto->rs485 && !letto->copia);
        letto->indirizzo = QStringLiteral("Via Roma 1");
        QVERIFY(Aggiorna(*letto, &errore));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("zona: nord\n"));

        QVERIFY(Crea(Sito(QStringLiteral("asilo")), &errore));
        QDir().mkpath(QDir(Libro()).filePath(QStringLiteral(".stfolder")));
        const QList<Impianto> libro = Elenco();
        QCOMPARE(libro.size(), 2);
        QCOMPARE(libro[0].nome, QStringLiteral("asilo"));
        QVERIFY(!Carica(QStringLiteral("Scuola Verde"), &errore));
        QCOMPARE(Vicini(QStringLiteral("Scuola Verde"), libro), QStringList{"Scuola Verdi"});
        QCOMPARE(Vicini(QStringLiteral("scuola"), libro), QStringList{"Scuola Verdi"});
    }

    // The site file: a description that is wrong is never completed from
    // defaults, but refused with its line; a file that is no file is not
    // waited on; names that would not work as a site, or as one site twice,
    // are refused; an import stops when asked.
    void fileDellImpianto() {
        QString errore;
        QVERIFY(Crea(Sito(QStringLiteral("S")), &errore));
        const QString file = QDir(CartellaDi("S")).filePath("impianto.txt");
        const QByteArray testa = "# Velto318: impianto \"S\"\ncliente: Comune\n";
        const QByteArray giusto =
            "collegamento: tcp://10.0.0.5:4001\nidentificativo: &45\nlinea: RS485\n";
        // Each description, and the line that is wrong (0: the whole file).
        const QList<QPair<QByteArray, int>> sbagliati = {
            {"colegamento: tcp://10.0.0.5:4001\nidentificativo: &45\n", 3},
            {"collegamento: tcp://10.0.0.5:4001\nIdentificatívo: &45\n", 4},
            {"collegamento: COM1\nidentificativo &45\n", 4},
            {"collegamento: ttyUSB0\nidentificativo: &45\n", 3},
            {"collegamento: COM1\nidentificativo: &45\ncollegamento: COM2\n", 5},
            {"collegamento: COM1\n", 0},
            {giusto + "linea: 485\n", 6},
            {QByteArray(giusto).replace("RS485", "rs-485"), 5},
            {giusto + "copia prima dell’invio: no\n", 6},
            {giusto + "copia prima dell'invio: \n", 6},
            {giusto + "copia prima dell'invio: true\n", 6},
            {giusto + "copia prima dell'invio: S\n", 6},
            {giusto + "copia prima dell'invio: x\n", 6},
            {giusto + "copia prima dell'invio: sí\n", 6},
        };
        for (const auto &[dati, riga] : sbagliati) {
            Scrivi(file, testa + dati);
            bool rotto = false;
            QVERIFY2(!Carica("S", &errore, &rotto), dati.constData());
            QVERIFY(rotto);
            QVERIFY2(errore.contains(QDir::toNativeSeparators(file)), qPrintable(errore));
            QVERIFY2(errore.contains(QStringLiteral("riga %1:").arg(riga)) == (riga > 0),
                     qPrintable(errore));
            QVERIFY2(!LeggiDescrizione(testa + dati, "S").problema.isEmpty(), dati.constData());
            QCOMPARE(LeggiDescrizione(testa + dati, "S").riga, riga);
        }
        QList<Rotto> rotti;
        QCOMPARE(Elenco(nullptr, &rotti).size(), 0);
        QCOMPARE(rotti.size(), 1);
        QCOMPARE(rotti[0].nome, QStringLiteral("S"));
        // What the tool writes, and keys like none of its own.
        for (const char *copia : {"sì", "Sì", "si", "no"}) {
            Scrivi(file, testa + giusto + "Copia prima dell'invio: " + copia +
                             "\nzona: nord\nnota interna: x\n");
            const auto letto = Carica("S", &errore);
            QVERIFY2(letto, qPrintable(errore));
            QCOMPARE(letto->copia, QByteArray(copia) != "no");
            QVERIFY(letto->rs485);
            QCOMPARE(letto->altre, QStringList({"zona: nord", "nota interna: x"}));
        }

        // A FIFO or a device in its place is refused at once, not waited on.
        QFile::remove(file);
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        std::promise<void> fatto;
        std::thread guardia([&file, finito = fatto.get_future()] {
            // Frees a reader stuck on the FIFO, so that a failure ends.
            if (finito.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return;
            const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        });
        QElapsedTimer t;
        t.start();
        const auto fifo = Carica("S", &errore);
        rotti.clear();
        Elenco(nullptr, &rotti);
        fatto.set_value();
        guardia.join();
        QVERIFY(!fifo);
        QVERIFY2(t.elapsed() < 4000, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(errore.contains(QStringLiteral("non è un file")), qPrintable(errore));
        QCOMPARE(rotti.size(), 1);
        QFile::remove(file);
        QVERIFY(QFile::link("/dev/null", file));
        QVERIFY(!Carica("S", &errore));
        QVERIFY2(errore.contains(QStringLiteral("non è un file")), qPrintable(errore));

        // Names: the many-sites list's own words, options, Windows devices
        // with an extension, one name composed or not, in any case.
        for (const char *nome : {"tutti", "Tutti", "Banca,Posta", "-stato", "nul.txt", "CON.txt",
                                 "com1.vlt", "Lpt9.a.b"}) {
            QVERIFY2(!MotivoNome(QString::fromUtf8(nome)).isEmpty(), nome);
            QVERIFY2(!Crea(Sito(QString::fromUtf8(nome)), &errore), nome);
        }
        QVERIFY(MotivoNome(QStringLiteral("tutti i giorni")).isEmpty());
        QVERIFY(MotivoNome(QStringLiteral("Console")).isEmpty());
        QVERIFY2(Crea(Sito(QStringLiteral("Caff\u00e8")), &errore), qPrintable(errore));
        for (const QString &stesso : {QStringLiteral("Caffe\u0300"), QStringLiteral("CAFF\u00c8"),
                                      QStringLiteral("CAFFE\u0300")}) {
            QVERIFY2(!Crea(Sito(stesso), &errore), qPrintable(stesso));
            QVERIFY2(errore.contains(QStringLiteral("già")), qPrintable(errore));
        }
        QVERIFY2(Crea(Sito(QStringLiteral("Bar")), &errore), qPrintable(errore));
        QVERIFY(!Rinomina(QStringLiteral("Bar"), QStringLiteral("CAFFE\u0300"), &errore));
        QVERIFY2(errore.contains(QStringLiteral("già")), qPrintable(errore));
        QCOMPARE(NomeNelLibro(QStringLiteral("caffe\u0300"), &errore),
                 QStringLiteral("Caff\u00e8"));
        QVERIFY(Rinomina(QStringLiteral("Bar"), QStringLiteral("Bar Sport"), &errore));
        QVERIFY(Archivia(QStringLiteral("Bar Sport"), &errore).size() > 0);
        // The book's lock is no site.
        QVERIFY(QFile::exists(QDir(Libro()).filePath(".blocco")));
        QCOMPARE(Elenco().size(), 1);

        // An import stops between two sites when asked.
        QList<Impianto> molti;
        for (int n = 0; n < 10; ++n)
            molti << Sito(QStringLiteral("sito%1").arg(n));
        molti.insert(1, Sito(QStringLiteral("CAFFÈ")));
        int chiesti = 0;
        QStringList saltati;
        QCOMPARE(CreaTutti(
                     molti, [&] { return ++chiesti > 4; }, &saltati, &errore),
                 3);
        QCOMPARE(saltati.size(), 1);
        QVERIFY2(saltati[0].startsWith(QStringLiteral("CAFFÈ: c'è già")), qPrintable(saltati[0]));
        QCOMPARE(Elenco().size(), 4);
    }

    // The book out to CSV and in again; rows that cannot be sites are said.
    void csv() {
        Impianto a = Sito(QStringLiteral("Banca; sede"));
        a.note = QStringLiteral("due \"righe\"\nqui");
        a.rs485 = true;
        a.cliente = QStringLiteral("=2+3");
        QVERIFY(Csv({a}).contains("'=2+3"));
        Impianto b = Sito(QStringLiteral("Asilo"));
        b.copia = false;
        const Importazione dentro = LeggiCsv(Csv({a, b}));
        QCOMPARE(dentro.saltati, QStringList());
        QCOMPARE(dentro.impianti.size(), 2);
        QCOMPARE(dentro.impianti[0].note, a.note);
        QCOMPARE(dentro.impianti[0].cliente, a.cliente);
        QVERIFY(dentro.impianti[0].rs485 && dentro.impianti[0].copia);
        QVERIFY2(!dentro.impianti[1].copia, Csv({a, b}).constData());
        const Importazione mista = LeggiCsv("identificativo,nome,collegamento\r\n"
                                            "&01,Uno,COM1\r\n&02,a/b,COM1\r\n&3,Tre,COM1\r\n"
                                            "&04,uno,COM2\r\n");
        QCOMPARE(mista.impianti.size(), 1);
        QCOMPARE(mista.saltati.size(), 3);
        QVERIFY(mista.saltati[0].startsWith(QLatin1String("riga 3 (a/b): ")));
        QVERIFY(mista.saltati[2].contains(QStringLiteral("già")));
        QVERIFY(mista.errore.isEmpty());

        // A yes or no the tool does not write is never taken for "no" (nor
        // RS232): the row is skipped, naming the cell. One name twice, as
        // composed and decomposed, is one site.
        const Importazione flag = LeggiCsv("nome;collegamento;identificativo;rs485;copia prima "
                                           "dell'invio\r\n"
                                           "A;COM1;&01;no;\r\nB;COM1;&01;no;true\r\n"
                                           "C;COM1;&01;true;sì\r\nD;COM1;&01;RS485;No\r\n"
                                           "E;COM1;&01;si;si\r\nF;COM1;&01;no\r\n"
                                           "Caff\xc3\xa8;COM1;&01;no;no\r\n"
                                           "caffe\xcc\x80;COM1;&01;no;no\r\n");
        QCOMPARE(flag.saltati.size(), 5);
        QVERIFY2(flag.saltati[0].startsWith(QStringLiteral("riga 2 (A): colonna \"copia prima "
                                                           "dell'invio\": \"\"")),
                 qPrintable(flag.saltati[0]));
        QVERIFY2(flag.saltati[1].contains(QStringLiteral("\"true\"")), qPrintable(flag.saltati[1]));
        QVERIFY2(flag.saltati[2].startsWith(QStringLiteral("riga 4 (C): colonna \"rs485\"")),
                 qPrintable(flag.saltati[2]));
        QVERIFY2(flag.saltati[3].startsWith(QStringLiteral("riga 7 (F): ")),
                 qPrintable(flag.saltati[3]));
        QVERIFY2(flag.saltati[4].contains(QStringLiteral("già")), qPrintable(flag.saltati[4]));
        QCOMPARE(flag.impianti.size(), 3);
        QVERIFY(flag.impianti[0].rs485 && !flag.impianti[0].copia);
        QVERIFY(flag.impianti[1].rs485 && flag.impianti[1].copia);
        // Saved as Latin-1: refused whole, naming the first row that is not UTF-8.
        const Importazione latino = LeggiCsv("nome;collegamento;identificativo\r\n"
                                             "Uno;COM1;&01\r\nCaff\xe8;COM1;&02\r\n");
        QVERIFY2(latino.errore.contains(QStringLiteral("riga 3")), qPrintable(latino.errore));
        QVERIFY(latino.impianti.isEmpty());
    }

    // Versions: stored once while the texts stay the same, numbered in the
    // order this computer saw them, their texts kept exactly.
    void versioni() {
        QString errore;
        QVERIFY(Crea(Sito(QStringLiteral("S")), &errore));
        Versioni::Testi t{{"000", "Velto  Centrale "}, {"001", "Zona 1  ingresso"}};
        bool nuova = false;
        const auto v1 = Versioni::Conserva("S", Versioni::Tipo::Letto, t, "letti", &errore, &nuova);
        QVERIFY2(v1 && nuova, qPrintable(errore));
        const auto v2 = Versioni::Conserva("S", Versioni::Tipo::Copia, t, "copia", &errore, &nuova);
        QVERIFY(v2 && !nuova);
        QCOMPARE(v2->percorso, v1->percorso);
        t["001"] = QStringLiteral(" *Zona 1 \\ ~ ;\" ");
        const auto v3 = Versioni::Conserva("S", Versioni::Tipo::Inviato, t, "x", &errore, &nuova);
        QVERIFY(v3 && nuova && v3->numero == 2 && v3->impronta != v1->impronta);
        QCOMPARE(*Versioni::TestiDi(*v3, &errore), t);
        // Another computer's version, made earlier, synced in later.
        Scrivi(QDir(CartellaDi("S")).filePath("versioni/20200101-000000-000_altro_letto.vlt"),
               "vecchia\r\n005Altro testo     *\r\nend\r\n");
        const QList<Versioni::Versione> elenco = Versioni::Elenco("S");
        QCOMPARE(elenco.size(), 3);
        QCOMPARE(elenco[2].computer, QStringLiteral("altro"));
        QCOMPARE(elenco[2].testi, 1);
        QCOMPARE(elenco[1].tipo, Versioni::Tipo::Inviato);
        QCOMPARE(elenco[1].numero, 2);
        const auto d = Versioni::Confronta(*Versioni::TestiDi(elenco[2], &errore), t);
        QCOMPARE(d.size(), 3);
        QCOMPARE(d[2].numero, QStringLiteral("005"));
        QVERIFY(d[2].dopo.isEmpty());
    }

    // Numbers that never move: a version synced in from a computer whose
    // clock is behind, or one dated in the future, comes after those already
    // seen; the newest is the last seen, so a read equal to it is not kept
    // again; a version is found by its number or by its stable name.
    void ordineDelleVersioni() {
        QString errore;
        QVERIFY(Crea(Sito(QStringLiteral("O")), &errore));
        const Versioni::Testi a{{"000", "primo           "}}, b{{"000", "secondo         "}},
            c{{"000", "terzo           "}};
        QVERIFY(Versioni::Conserva("O", Versioni::Tipo::Letto, a, "a", &errore));
        const auto v2 = Versioni::Conserva("O", Versioni::Tipo::Inviato, b, "b", &errore);
        QVERIFY2(v2 && v2->numero == 2, qPrintable(errore));
        const QString cartella = QDir(CartellaDi("O")).filePath("versioni/");
        Scrivi(cartella + "20200101-000000-000_vecchio_letto.vlt", "v\r\n000vecchio\r\nend\r\n");
        Scrivi(cartella + "29991231-000000-000_futuro_letto.vlt", "f\r\n000futuro\r\nend\r\n");
        bool nuova = false;
        const auto v5 = Versioni::Conserva("O", Versioni::Tipo::Letto, c, "c", &errore, &nuova);
        QVERIFY2(v5 && nuova && v5->numero == 5, qPrintable(errore));
        const auto di_nuovo =
            Versioni::Conserva("O", Versioni::Tipo::Letto, c, "c", &errore, &nuova);
        QVERIFY(di_nuovo && !nuova && di_nuovo->percorso == v5->percorso);
        const QList<Versioni::Versione> elenco = Versioni::Elenco("O");
        QStringList computer;
        for (const Versioni::Versione &v : elenco)
            computer << v.computer;
        const QString qui = Versioni::Computer();
        QCOMPARE(computer, QStringList({qui, qui, "vecchio", "futuro", qui}));
        QCOMPARE(elenco[1].nome, QFileInfo(v2->percorso).completeBaseName());
        QCOMPARE(Versioni::Detta(elenco[2]),
                 QStringLiteral("3 (20200101-000000-000_vecchio_letto)"));
        QCOMPARE(Versioni::Trova(elenco, "20200101-000000-000_vecchio_letto")->numero, 3);
        QCOMPARE(Versioni::Trova(elenco, "4")->computer, QStringLiteral("futuro"));
        QVERIFY(!Versioni::Trova(elenco, "6"));
        // The order is this computer's file beside the versions, not one of
        // them. A name listed twice keeps its first place; a line a killed run
        // left unfinished stays apart from the next one added.
        QFile ordine(cartella + ".ordine-" + qui);
        QVERIFY(ordine.open(QIODevice::Append));
        ordine.write(elenco[0].nome.toUtf8() + "\n20261208-1");
        ordine.close();
        Scrivi(cartella + "20100101-000000-000_altro_letto.vlt", "a\r\n000altro\r\nend\r\n");
        const QList<Versioni::Versione> dopo = Versioni::Elenco("O");
        QCOMPARE(dopo.size(), 6);
        QCOMPARE(dopo[0].nome, elenco[0].nome);
        QCOMPARE(dopo[5].numero, 6);
        QCOMPARE(dopo[5].computer, QStringLiteral("altro"));
    }

    // All that is known of a panel: the newest version holding every text
    // with the later partial ones on top; a complete read equal to it is not
    // kept again, one that differs is.
    void statoNoto() {
        QString errore;
        QVERIFY(Crea(Sito(QStringLiteral("N")), &errore));
        Versioni::Testi tutti;
        for (int n = 0; n <= 192; ++n)
            if (n < 182 || n >= 190)
                tutti.insert(QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0')),
                             "vecchio         ");
        QVERIFY(Versioni::Completa(tutti) && !Versioni::Completa({{"000", "x"}}));
        const auto base = Versioni::Conserva("N", Versioni::Tipo::Letto, tutti, "l", &errore);
        QVERIFY2(base, qPrintable(errore));
        QVERIFY(Versioni::Conserva("N", Versioni::Tipo::Copia, {{"005", "vecchio         "}}, "c",
                                   &errore));
        const auto inviato = Versioni::Conserva("N", Versioni::Tipo::Inviato,
                                                {{"005", "nuovo           "}}, "i", &errore);
        QVERIFY2(inviato, qPrintable(errore));
        const auto stato = Versioni::StatoNoto("N", &errore);
        QVERIFY2(stato, qPrintable(errore));
        QCOMPARE(stato->versioni.size(), 3);
        QCOMPARE(stato->versioni.first().percorso, base->percorso);
        Versioni::Testi atteso = tutti;
        atteso["005"] = "nuovo           ";
        QCOMPARE(stato->testi, atteso);
        QVERIFY2(Versioni::DettoStato(*stato).startsWith("versione 1 (") &&
                     Versioni::DettoStato(*stato).contains(" con sopra le versioni 2 ("),
                 qPrintable(Versioni::DettoStato(*stato)));
        bool nuova = true;
        const auto uguale =
            Versioni::Conserva("N", Versioni::Tipo::Letto, atteso, "l", &errore, &nuova);
        QVERIFY(uguale && !nuova && uguale->percorso == inviato->percorso);
        atteso["006"] = "cambiato        ";
        QVERIFY(Versioni::Conserva("N", Versioni::Tipo::Letto, atteso, "l", &errore, &nuova));
        QVERIFY(nuova);
        QCOMPARE(Versioni::StatoNoto("N", &errore)->versioni.size(), 1);
        // A version cut short is no part of what is known.
        Scrivi(QDir(CartellaDi("N")).filePath("versioni/29990101-000000-000_altro_inviato.vlt"),
               "i\r\n005tronco\r\n");
        QVERIFY(!Versioni::StatoNoto("N", &errore));
        QVERIFY2(errore.contains("29990101-000000-000_altro_inviato"), qPrintable(errore));
    }

    // Versions are never written over, whatever the current folder and
    // through any link to their folder or to the file; and no folder of the
    // book is entered through a link another user planted as versioni/,
    // registro/ or a site's folder: refused, nothing is made where it leads.
    void cartelleProtette() {
        QString errore;
        QVERIFY(Crea(Sito(QStringLiteral("P")), &errore));
        const auto v =
            Versioni::Conserva("P", Versioni::Tipo::Inviato, {{"000", "Velto"}}, "x", &errore);
        QVERIFY2(v, qPrintable(errore));
        const QString altrove = QDir(dir_.path()).filePath("altrove");
        QVERIFY(QDir().mkpath(altrove + "/bersaglio"));
        const QString versioni = QFileInfo(v->percorso).path();
        QVERIFY(QFile::link(versioni, altrove + "/cartella"));
        QVERIFY(QFile::link(v->percorso, altrove + "/file.vlt"));
        QVERIFY(QFile::link(versioni + "/nuovo.vlt", altrove + "/nuovo.vlt"));
        QDir::setCurrent(altrove);
        const QString nome = QFileInfo(v->percorso).fileName();
        for (const QString &dove :
             {v->percorso, "../impianti/P/versioni/" + nome, "cartella/" + nome,
              QString("cartella/altro.vlt"), QString("file.vlt"), QString("nuovo.vlt")})
            QVERIFY2(Versioni::NonSiScrive(dove).contains("le versioni di un impianto"),
                     qPrintable(dove));
        QCOMPARE(Versioni::NonSiScrive("libero.vlt"), QString());
        QCOMPARE(Versioni::NonSiScrive(dir_.path() + "/impianti/P/altro.vlt"), QString());

        QDir::setCurrent(dir_.path());
        // A site kept on another disk through a link of this user's own.
        QVERIFY(QDir().mkpath(altrove + "/disco"));
        QVERIFY(QFile::copy(CartellaDi("P") + "/impianto.txt", altrove + "/disco/impianto.txt"));
        QVERIFY(QFile::link(altrove + "/disco", CartellaDi("Mio")));
        QVERIFY2(Versioni::Conserva("Mio", Versioni::Tipo::Letto, {{"000", "x"}}, "x", &errore),
                 qPrintable(errore));
        QCOMPARE(QDir(altrove + "/disco/versioni").entryList({"*.vlt"}).size(), 1);

        // Links another user planted: never followed.
        if (::geteuid() != 0) QSKIP("only root can plant a link of another user");
        const auto pianta = [](const QString &bersaglio, const QString &collegamento) {
            return QFile::link(bersaglio, collegamento) &&
                   ::lchown(QFile::encodeName(collegamento).constData(), 65534, 65534) == 0;
        };
        QVERIFY(Crea(Sito(QStringLiteral("Q")), &errore));
        for (const char *cartella : {"versioni", "registro"})
            QVERIFY(pianta(altrove + "/bersaglio", CartellaDi("Q") + "/" + cartella));
        QVERIFY(!Versioni::Conserva("Q", Versioni::Tipo::Letto, {{"000", "x"}}, "x", &errore));
        QVERIFY2(errore.contains("collegamento simbolico di un altro utente"), qPrintable(errore));
        QVERIFY(!Manutenzione::Annota("Q", "COM1", "modifica", "salvata", &errore));
        QVERIFY2(errore.contains("collegamento simbolico di un altro utente"), qPrintable(errore));
        QVERIFY(Versioni::Elenco("Q").isEmpty());
        QVERIFY(pianta(altrove + "/bersaglio", CartellaDi("Finto")));
        QVERIFY(!Versioni::Conserva("Finto", Versioni::Tipo::Letto, {{"000", "x"}}, "x", &errore));
        QVERIFY(!Manutenzione::Annota("Finto", "COM1", "modifica", "salvata", &errore));
        QVERIFY2(errore.contains("collegamento simbolico di un altro utente"), qPrintable(errore));
        QCOMPARE(QDir(altrove + "/bersaglio")
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    // The register as a report: the site at the top, every entry whole, the
    // pages numbered, nothing a spreadsheet would run.
    void rapporto() {
        Impianto i = Sito(QStringLiteral("Banca"));
        i.cliente = QStringLiteral("=HYPERLINK(\"http://x\")");
        QList<Manutenzione::Voce> voci;
        for (int n = 0; n < 60; ++n)
            voci.append({QDateTime(QDate(2026, 12, 1), QTime(9, 0)).addSecs(n * 60), "anna",
                         "portatile", "COM1", QStringLiteral("invio %1.vlt").arg(n),
                         "DATI UGUALI  TUTTO OK ", n != 59, QString()});
        const QString pdf = QDir(dir_.path()).filePath("r.pdf");
        QCOMPARE(Manutenzione::SalvaRapporto(i, voci, pdf), QString());
        QProcess testo;
        testo.start("pdftotext", {"-layout", pdf, "-"});
        QVERIFY2(testo.waitForFinished(20000), "pdftotext (poppler-utils) non disponibile");
        const QString letto = QString::fromUtf8(testo.readAllStandardOutput());
        QVERIFY(letto.contains(QStringLiteral("Registro di manutenzione - impianto Banca")));
        QVERIFY(letto.contains(QStringLiteral("invio 0.vlt: DATI UGUALI")));
        QVERIFY(letto.contains(QStringLiteral("NON FINITO")));
        QVERIFY(letto.contains(QStringLiteral("Pagina 1")) && letto.contains("Pagina 2"));
        const QString csv = QDir(dir_.path()).filePath("r.csv");
        QCOMPARE(Manutenzione::SalvaRapporto(i, voci, csv), QString());
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray righe = f.readAll();
        QCOMPARE(righe.count("\r\n"), 61);
        QVERIFY(!righe.contains(";=") && !righe.contains("\n=") && !righe.contains(";\"="));
    }

    // The register: every computer's lines by time, a job never ended said so.
    void registro() {
        QString errore;
        QVERIFY(Crea(Sito(QStringLiteral("R")), &errore));
        {
            Manutenzione::Lavoro finito("R", "COM1", "lettura");
            QVERIFY(finito.Errore().isEmpty());
            QVERIFY(finito.Fine("letti tutti"));
        }
        // A job killed on another computer, and a line cut short by a full disk.
        Scrivi(
            QDir(CartellaDi("R")).filePath("registro/altro.txt"),
            "2020-01-01T10:00:00.000+01:00\taltro-7-1\tinizio\tanna\taltro\tCOM2\tinvio a.vlt\t\n"
            "2020-01-01T11:00:00.000+01:00\taltro-8-1\tfi");
        QVERIFY(Manutenzione::Annota("R", "COM1", "modifica", "salvata", &errore));
        const QList<Manutenzione::Voce> voci = Manutenzione::Leggi("R", &errore);
        QCOMPARE(voci.size(), 3);
        QCOMPARE(voci[0].utente, QStringLiteral("anna"));
        QVERIFY(!voci[0].finito);
        QVERIFY(voci[0].esito.contains(QLatin1String("non finito")));
        QCOMPARE(voci[1].esito, QStringLiteral("letti tutti"));
        QCOMPARE(voci[1].computer, Versioni::Computer());
        QCOMPARE(voci[2].azione, QStringLiteral("modifica"));
    }

    // A book shared through a synced folder: the conflict copies a sync tool
    // makes of a register are each named once, and only the lines their
    // register has not are shown, marked; a computer's name with "-conflict-"
    // and no register beside is a register. A version's copy is no version.
    void copieDiConflitto() {
        QString errore;
        QVERIFY(Crea(Sito(QStringLiteral("S")), &errore));
        const QDir registro(QDir(CartellaDi("S")).filePath("registro"));
        const auto riga = [](const char *ora, const char *chiave, const char *tipo,
                             const char *azione) {
            return QByteArray("2026-12-08T") + ora + ":00.000+01:00\t" + chiave + "\t" + tipo +
                   "\tanna\tpc1\tCOM1\t" + azione + "\tfatto\n";
        };
        const QByteArray a = riga("10:00", "pc1-5-1", "fine", "A");
        const QByteArray b = riga("10:01", "pc1-9-1", "inizio", "B");
        const QByteArray c = riga("10:02", "pc1-6-1", "fine", "C");
        const QByteArray d = riga("10:03", "pc1-7-1", "fine", "D");
        Scrivi(registro.filePath("pc1.txt"), a + b);
        Scrivi(registro.filePath("pc1.sync-conflict-20261208-101010-ABCDEF.txt"), a + b + c);
        Scrivi(registro.filePath("pc1 (conflicted copy 2026-12-08).txt"), a + c + d);
        Scrivi(registro.filePath("pc1 (Copia in conflitto di anna 2026-12-08).txt"), a);
        Scrivi(registro.filePath("pc1-conflict-20261208.txt"),
               a + riga("10:04", "pc1-9-1", "fine", "B"));
        Scrivi(registro.filePath("solo-conflict-1.txt"), riga("10:05", "solo-1-1", "fine", "F"));
        const QList<Manutenzione::Voce> voci = Manutenzione::Leggi("S", &errore);
        QVERIFY2(errore.isEmpty(), qPrintable(errore));
        QStringList azioni, copie;
        for (const Manutenzione::Voce &v : voci) {
            azioni << v.azione;
            if (v.azione.startsWith("copia di conflitto della sincronizzazione: "))
                copie << v.copia;
        }
        QCOMPARE(voci.size(), 9);
        for (const char *una : {"A", "B", "C", "D", "F"})
            QCOMPARE(azioni.count(una), 1);
        copie.sort();
        QCOMPARE(copie,
                 QStringList({"pc1 (Copia in conflitto di anna 2026-12-08).txt",
                              "pc1 (conflicted copy 2026-12-08).txt", "pc1-conflict-20261208.txt",
                              "pc1.sync-conflict-20261208-101010-ABCDEF.txt"}));
        const auto voce = [&](const QString &azione) { return voci.value(azioni.indexOf(azione)); };
        QVERIFY(voce("A").copia.isEmpty() && voce("F").copia.isEmpty());
        QVERIFY(voce("B").finito);
        QCOMPARE(voce("B").esito,
                 QStringLiteral("fatto (dalla copia di conflitto pc1-conflict-20261208.txt)"));
        QVERIFY(!voce("C").copia.isEmpty() && voce("C").esito.contains("copia di conflitto"));
        QVERIFY(voce("copia di conflitto della sincronizzazione: pc1 (Copia in conflitto di anna "
                     "2026-12-08).txt")
                    .esito.startsWith("nessuna riga"));

        Scrivi(
            QDir(CartellaDi("S"))
                .filePath("versioni/20261208-101010-000_pc1_letto.sync-conflict-20261208-1-A.vlt"),
            "Copia\r\n001Uno\r\nend\r\n");
        QVERIFY(Versioni::Elenco("S").isEmpty());

        // What bears a register's name but is no file is told, and a FIFO
        // is never waited on; the registers that can be read still are.
        QVERIFY(QDir(registro).mkdir("pc2.txt"));
        QCOMPARE(::mkfifo(QFile::encodeName(registro.filePath("pc3.txt")).constData(), 0600), 0);
        QCOMPARE(Manutenzione::Leggi("S", &errore).size(), 9);
        QVERIFY2(errore.contains("pc2.txt") || errore.contains("pc3.txt"), qPrintable(errore));
    }

    // A job is "in corso" only while its very process runs: not a key of
    // another boot, nor a process that got its number since (a container's
    // PID 1), nor a key without its process's start.
    void lavoroInCorso() {
        QString errore;
        QVERIFY(Crea(Sito(QStringLiteral("C")), &errore));
        Manutenzione::Lavoro vivo("C", "COM1", "lettura");
        QFile f("/proc/sys/kernel/random/boot_id");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray avvio = f.readAll().trimmed();
        const QByteArray io = Versioni::Computer().toUtf8() + "-" +
                              QByteArray::number(QCoreApplication::applicationPid());
        QByteArray righe;
        for (const QByteArray &chiave :
             {io + "-1", io + "-2:" + avvio + ":1",
              Versioni::Computer().toUtf8() + "-1-3:" + avvio + ":1", io + "-4:altro-avvio:1"})
            righe += "2020-01-01T10:00:00.000+01:00\t" + chiave + "\tinizio\tanna\tpc\tCOM1\t" +
                     chiave + "\t\n";
        Scrivi(QDir(CartellaDi("C")).filePath("registro/vecchio.txt"), righe);
        QList<Manutenzione::Voce> voci = Manutenzione::Leggi("C", &errore);
        QCOMPARE(voci.size(), 5);
        for (int i = 0; i < 4; ++i)
            QVERIFY2(voci[i].esito.startsWith("non finito"), qPrintable(voci[i].azione));
        QCOMPARE(voci[4].esito, QStringLiteral("in corso"));
        QVERIFY(vivo.Fine("letti tutti"));
        voci = Manutenzione::Leggi("C", &errore);
        QCOMPARE(voci[4].esito, QStringLiteral("letti tutti"));
    }
};

QTEST_MAIN(TestImpianti)
#include "tst_impianti.moc"
