#include "files/FileMessaggi.h"
#include "files/FormatoMessaggi.h"
#include "support/DiscoPieno.h"
#include "support/FileProva.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace FormatoMessaggi;

namespace {
QStringList Invio(const QByteArray &file) {
    QStringList voci;
    for (const QString &r : ScansioneComune(Righe(file)).righe)
        if (const auto v = FiltroInvio(r)) voci << *v;
    return voci;
}
QString Editor(const QByteArray &file) {
    return TestoEditor(ScansioneComune(Righe(file)));
}
QString Pad(const QString &s) {
    return s.leftJustified(19);
}
// What the sender takes from a file on disk.
QStringList InvioDaFile(const QString &percorso, QString *errore, bool *troppo = nullptr) {
    QStringList voci;
    if (const auto s = LeggiMessaggi(percorso, errore, troppo))
        for (const QString &r : s->righe)
            if (const auto v = FiltroInvio(r)) voci << *v;
    return voci;
}
// Runs `fare` with files limited to `byte` bytes: a write beyond fails.
template <class F> auto ConLimite(rlim_t byte, F fare) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit prima{};
    ::getrlimit(RLIMIT_FSIZE, &prima);
    rlimit basso = prima;
    basso.rlim_cur = byte;
    ::setrlimit(RLIMIT_FSIZE, &basso);
    const auto esito = fare();
    ::setrlimit(RLIMIT_FSIZE, &prima);
    ::signal(SIGXFSZ, SIG_DFL);
    return esito;
}
QStringList Voci(const QString &cartella) {
    return QDir(cartella).entryList(QDir::Files | QDir::Hidden);
}
} // namespace

class TestFormato : public QObject {
    Q_OBJECT
  private slots:
    void righe() {
        QCOMPARE(Righe("a\r\nb\rc\r\n"), QStringList({"a", "b", "c"}));
        QCOMPARE(Righe("a\r\n\r\nb"), QStringList({"a", "", "b"}));
        QCOMPARE(Righe("a\nb\r\n"), QStringList({"a\nb"})); // a lone LF is no line end
        QCOMPARE(Righe(""), QStringList());
        QCOMPARE(Righe("\xe8\xff\r\n"), QStringList({QString::fromLatin1("\xe8\xff")}));
    }

    // One file with every kind of body line, read by both readers.
    void tipiDiRiga() {
        const QByteArray file = "END commento che inizia con END\r\n"
                                "000Primo testo     *\r\n"
                                "\r\n"
                                "---------- separatore\r\n"
                                "01\r\n"
                                " 45Blank davanti\r\n"
                                "007corto\r\n"
                                "197Ultimo numero ok\r\n"
                                "198Troppo alto\r\n"
                                "200Duecento\r\n"
                                "254Limite editor\r\n"
                                "255Oltre\r\n"
                                "300Trecento\r\n"
                                "999Novecento\r\n"
                                "End non e' fine\r\n"
                                "nota libera\r\n"
                                "012" +
                                QByteArray(77, 'x') +
                                "\r\n"
                                "ENDE\r\n"
                                "100dopo la fine\r\n";
        QCOMPARE(ScansioneComune(Righe(file)).commento, QString("END commento che inizia con END"));
        QCOMPARE(Invio(file), QStringList({"000Primo testo     ", Pad("007corto"),
                                           "197Ultimo numero ok", "012" + QString(16, 'x')}));
        const QString atteso = "000Primo testo     *\r\n" + Pad("01") + "\r\n" +
                               Pad(" 45Blank davanti") + "\r\n" + Pad("007corto") + "\r\n" +
                               "197Ultimo numero ok\r\n" + "198Troppo alto" + QString(5, ' ') +
                               "\r\n" + Pad("200Duecento") + "\r\n" + Pad("254Limite editor") +
                               "\r\n" + Pad("End non e' fine") + "\r\n" + Pad("nota libera") +
                               "\r\n" + "012" + QString(66, 'x') + "\r\n";
        QCOMPARE(Editor(file), atteso);
    }

    void marcatoreMinuscoloEAssenzaDiCorpo() {
        QCOMPARE(Invio("commento\r\n001a\r\nend\r\n002b\r\n"), QStringList({Pad("001a")}));
        QCOMPARE(Invio("solo commento\r\n"), QStringList());
        QCOMPARE(Invio("solo commento"), QStringList());
        QCOMPARE(Invio(""), QStringList());
        QVERIFY(!ScansioneComune(Righe("solo commento\r\n")).haCorpo);
        QVERIFY(ScansioneComune(Righe("c\r\n\r\n")).haCorpo);
        QCOMPARE(Editor("solo commento\r\n"), QString());
    }

    // The last line of a hand-made file is a text like any other; the scan
    // says whether the file ends at its end marker (a cut file does not).
    void ultimaRigaSenzaMarcatore() {
        QCOMPARE(Invio("c\r\n001uno\r\n002due\r\n"), QStringList({Pad("001uno"), Pad("002due")}));
        QCOMPARE(Invio("c\r\n001uno\r\n002due"), QStringList({Pad("001uno"), Pad("002due")}));
        QCOMPARE(Editor("c\r\n001uno\r\n002due"), Pad("001uno") + "\r\n" + Pad("002due") + "\r\n");

        QTemporaryDir dir;
        QString errore;
        const QList<QPair<QByteArray, bool>> file = {
            {"c\r\n001uno\r\nend\r\n", true},
            {"c\r\n001uno\r\nEND", true},
            {"c\n001uno\nend\n", true},
            {"c\r\n001uno\r\nen", false},
            {"c\r\n001uno\r\n002d", false},
            {"c\n001uno\nEnd\n", false},
            {"end\r\n", false},
            {"", false},
        };
        for (const auto &[dati, chiusa] : file) {
            Scrivi(dir.filePath("f.vlt"), dati);
            const auto s = LeggiMessaggi(dir.filePath("f.vlt"), &errore);
            QVERIFY2(s && s->chiusa == chiusa, dati.constData());
        }
    }

    void filtroEditorNumeri() {
        QVERIFY(FiltroEditor("-12abc").has_value()); // sign: a negative number is kept
        QVERIFY(FiltroEditor("2.5x").has_value());
        QVERIFY(FiltroEditor("2 6 9").has_value()); // "2 6": blanks ignored, 26
        QVERIFY(!FiltroEditor("2553").has_value()); // "255"
        QVERIFY(FiltroEditor("25 4").has_value());  // "25 ": 25
        QVERIFY(!FiltroEditor("---").has_value());
        QVERIFY(FiltroEditor("--5").has_value()); // not a separator; "--" is no number
    }

    void corpoDaLettura() {
        QVERIFY(NumeroNelCorpo(0) && NumeroNelCorpo(181) && NumeroNelCorpo(190) &&
                NumeroNelCorpo(192));
        QVERIFY(!NumeroNelCorpo(182) && !NumeroNelCorpo(189) && !NumeroNelCorpo(193));
        QCOMPARE(RigaLettura("007", "Testo  con spazi"), QString("007Testo  con spazi*\r\n"));
        QCOMPARE(ContenutoFile("Commento", "001a*\r\n"),
                 QByteArray("Commento\r\n001a*\r\n\r\nend\r\n"));
        // A body without its last line end: no empty line before the marker.
        QCOMPARE(ContenutoFile("", "001a"), QByteArray("\r\n001a\r\nend\r\n"));
    }

    // A file saved after a read-back, loaded in the editor and saved again,
    // comes out the same byte for byte, bytes above 127 included.
    void andataERitornoBytePerByte() {
        QString corpo;
        for (int n = 0; n <= 192; ++n) {
            if (!NumeroNelCorpo(n)) continue;
            QString testo;
            for (int i = 0; i < 16; ++i)
                testo += QChar((n * 16 + i) % 224 + 32); // 32..255
            corpo += RigaLettura(QString::asprintf("%03d", n), testo);
        }
        const QByteArray file = ContenutoFile("Letti dal Velto via seriale", corpo);
        QCOMPARE(Righe(file).size(), 188);
        QCOMPARE(ContenutoFile("Letti dal Velto via seriale", Editor(file)), file);
    }

    // A file with no CR but with LF (made on Linux) is read by LF; a CR among
    // the bytes the readers use keeps today's reading, lone LFs included.
    void fineRigaLinux() {
        const QByteArray daLinux = "Commento\n001uno\n\n002due\nend\n003dopo\n";
        QCOMPARE(RigheLette(daLinux),
                 QStringList({"Commento", "001uno", "", "002due", "end", "003dopo"}));
        QCOMPARE(ScansioneComune(RigheLette(daLinux)).righe, QStringList({"001uno", "002due"}));
        QCOMPARE(RigheLette("c\n001a"), QStringList({"c", "001a"}));
        QCOMPARE(RigheLette("c\r\n001a\nb\r\nend\r\n"), QStringList({"c", "001a\nb", "end"}));
        QCOMPARE(RigheLette("c\r001a\n\rend\r"), QStringList({"c", "001a\n", "end"}));
        // The CR stands on the end marker's line: read by CR, one long comment.
        QCOMPARE(RigheLette("c\n001a\nend\r\n"), QStringList({"c\n001a\nend"}));
        // Bytes after the end marker are never read: a CR there changes nothing.
        QCOMPARE(ScansioneComune(RigheLette("c\n001a\nend\n\r\n")).righe, QStringList({"001a"}));

        QTemporaryDir dir;
        QString errore;
        Scrivi(dir.filePath("daLinux.vlt"), daLinux);
        const auto s = LeggiMessaggi(dir.filePath("daLinux.vlt"), &errore);
        QVERIFY2(s, qPrintable(errore));
        QCOMPARE(s->commento, QString("Commento"));
        QCOMPARE(TestoEditor(*s), Pad("001uno") + "\r\n" + Pad("002due") + "\r\n");
        Scrivi(dir.filePath("dos.vlt"), "c\r\n001a\nb\r\n002due\r\nEND\r\n");
        QCOMPARE(InvioDaFile(dir.filePath("dos.vlt"), &errore),
                 QStringList({Pad("001a\nb"), Pad("002due")}));
    }

    // The reading goes block by block: whatever the blocks, every prefix of a
    // file either asks for more or gives exactly the lines of the whole file.
    void letturaABlocchi() {
        const QList<QByteArray> file = {
            "c\r\n001a\r\nend\r\n", "c\n001a\nend\n",   "c\r001a\rEN", "c\r\n001a\nb\r\nEND x\r\n9",
            "c\n001a\ne",           "c\n001a\nend\r\n", "end\r\nend",  "c\r\n\r\n002\r\n",
        };
        for (const QByteArray &f : file) {
            const Scansione attesa = ScansioneComune(RigheLette(f));
            for (qsizetype k = 0; k <= f.size(); ++k) {
                const Parte p = ParteUsata(f.left(k), k == f.size());
                QVERIFY2(p.esito != Parte::Troppo, f.constData());
                if (p.esito == Parte::Incompleta) {
                    QVERIFY2(k < f.size(), f.constData());
                    continue;
                }
                const QByteArray usata = f.left(p.fine);
                const Scansione s = ScansioneComune(p.lf ? RigheLette(usata) : Righe(usata));
                QVERIFY2(s.commento == attesa.commento && s.righe == attesa.righe &&
                             s.haCorpo == attesa.haCorpo,
                         qPrintable(QString("%1 a %2 byte").arg(QString::fromLatin1(f)).arg(k)));
            }
        }
    }

    // More than 1 MiB before the end marker is refused; what follows the end
    // marker is never read (a sparse 4 GiB tail costs nothing).
    void fileTroppoGrande() {
        QTemporaryDir dir;
        QString errore;
        bool troppo = true;
        for (const QByteArray &fine : {QByteArray("\r\n"), QByteArray("\n")}) {
            const QByteArray testa = "c" + fine + "001a" + fine;
            const QByteArray riempimento(LimiteFile - testa.size() - fine.size(), 'x');
            Scrivi(dir.filePath("giusto.vlt"), testa + riempimento + fine + "end" + fine);
            QCOMPARE(InvioDaFile(dir.filePath("giusto.vlt"), &errore, &troppo),
                     QStringList({Pad("001a")}));
            QVERIFY(!troppo);
            Scrivi(dir.filePath("grande.vlt"), testa + riempimento + "x" + fine + "end" + fine);
            QVERIFY(!LeggiMessaggi(dir.filePath("grande.vlt"), &errore, &troppo));
            QVERIFY(troppo);
            QVERIFY2(errore.contains("troppo grande") && errore.contains("grande.vlt"),
                     qPrintable(errore));
            Scrivi(dir.filePath("senzafine.vlt"), testa + riempimento + fine + "x");
            QVERIFY(!LeggiMessaggi(dir.filePath("senzafine.vlt"), &errore, &troppo));
            QVERIFY(troppo);
        }

        QElapsedTimer tempo;
        tempo.start();
        for (const char *testa : {"c\r\n001a\r\nend\r\n", "c\n001a\nend\n", "c\r\n001a\r\n"}) {
            QFile f(dir.filePath("enorme.vlt"));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(testa);
            QVERIFY(f.resize(qint64(4) << 30)); // a hole: reads as zeros
            f.close();
            const auto s = LeggiMessaggi(f.fileName(), &errore, &troppo);
            QCOMPARE(s.has_value(), QByteArray(testa).contains("end"));
            QCOMPARE(troppo, !s.has_value());
        }
        QVERIFY2(tempo.elapsed() < 2000, qPrintable(QString::number(tempo.elapsed())));

        // A pipe is no message file: refused at once, never waited on.
        const QString tubo = dir.filePath("tubo.vlt");
        QCOMPARE(QProcess::execute("mkfifo", {tubo}), 0);
        QVERIFY(!LeggiMessaggi(tubo, &errore, &troppo));
        QVERIFY(!troppo);
        QVERIFY(errore.contains("tubo.vlt"));
    }

    void commentoSuUnaRiga() {
        QCOMPARE(SenzaACapo("Nota\r\n005Testo"), QString("Nota 005Testo"));
        QCOMPARE(SenzaACapo("a\rb\nc\n\rd"), QString("a b c  d"));
        QCOMPARE(Invio(ContenutoFile(SenzaACapo("Nota\r\n005Testo\n006Altro"), "001a\r\n")),
                 QStringList({Pad("001a")}));
    }

    void salvataggioSicuro() {
        QTemporaryDir dir;
        const QString percorso = dir.filePath("a.vlt");
        QString errore;
        QVERIFY(SalvaFile(percorso, "vecchio", &errore));
        QVERIFY(SalvaFile(percorso, "nuovo", &errore));
        QCOMPARE(LeggiFile(percorso, &errore).value(), QByteArray("nuovo"));

        QFile::setPermissions(percorso, QFile::ReadOwner | QFile::ReadGroup);
        QVERIFY(!SalvaFile(percorso, "sovrascritto", &errore));
        QVERIFY(errore.contains("sola lettura"));
        QFile::setPermissions(percorso, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(LeggiFile(percorso, &errore).value(), QByteArray("nuovo"));

        QVERIFY(!SalvaFile(dir.filePath("manca/b.vlt"), "x", &errore));
        QVERIFY(!errore.isEmpty());
        QVERIFY(!SalvaFile(dir.path(), "x", &errore)); // a folder is not a file
        QVERIFY(!LeggiFile(dir.filePath("assente.vlt"), &errore));
        QVERIFY(errore.endsWith("assente.vlt: il file non esiste"));
        QVERIFY(!LeggiMessaggi(dir.filePath("assente.vlt"), &errore));
        QVERIFY(errore.contains("assente.vlt"));

        // A file with another name for it: the name saved gets the new bytes,
        // the other name keeps the old file whole.
        const QByteArray altro = QFile::encodeName(dir.filePath("altro.vlt"));
        QCOMPARE(::link(QFile::encodeName(percorso), altro), 0);
        QVERIFY(SalvaFile(percorso, "terzo", &errore));
        QCOMPARE(Leggi(percorso), QByteArray("terzo"));
        QCOMPARE(Leggi(dir.filePath("altro.vlt")), QByteArray("nuovo"));
    }

    // A folder where no new file may be made but its file may be changed: the
    // file is rewritten in place (its other names see it); when that fails
    // too, the old bytes are put back and the failure said.
    void salvataggioSulPosto() {
        QTemporaryDir dir;
        const QString cartella = dir.filePath("chiusa");
        QVERIFY(QDir().mkdir(cartella));
        const QString percorso = cartella + "/a.vlt";
        Scrivi(percorso, "vecchio contenuto\r\n");
        QCOMPARE(::link(QFile::encodeName(percorso), QFile::encodeName(dir.filePath("b.vlt"))), 0);
        const bool root = ::geteuid() == 0;
        if (root) {
            if (QProcess::execute("chattr", {"+i", cartella}) != 0)
                QSKIP("a folder closed to new files needs chattr +i, not allowed here");
        } else {
            QFile::setPermissions(cartella, QFile::ReadOwner | QFile::ExeOwner);
        }
        QString errore;
        const bool scritto = SalvaFile(percorso, "nuovo\r\n", &errore);
        const QString erroreScrittura = errore;
        const bool creato = SalvaFile(cartella + "/c.vlt", "x", &errore);
        const QString erroreCreazione = errore;

        // A limit on file size makes the rewrite fail half way.
        const QByteArray lungo(4096, 'L');
        const bool troppoLungo =
            ConLimite(1000, [&] { return SalvaFile(percorso, lungo, &errore); });
        const QString erroreLungo = errore;

        const QStringList voci = QDir(cartella).entryList(QDir::Files | QDir::Hidden);
        if (root)
            QProcess::execute("chattr", {"-i", cartella});
        else
            QFile::setPermissions(cartella, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QVERIFY2(scritto, qPrintable(erroreScrittura));
        QVERIFY(!creato);
        QVERIFY2(erroreCreazione.contains("c.vlt"), qPrintable(erroreCreazione));
        QVERIFY(!troppoLungo);
        QVERIFY2(erroreLungo.contains("com'era"), qPrintable(erroreLungo));
        QCOMPARE(Leggi(percorso), QByteArray("nuovo\r\n"));
        QCOMPARE(Leggi(dir.filePath("b.vlt")), QByteArray("nuovo\r\n"));
        QCOMPARE(voci, QStringList({"a.vlt"}));
    }

    // A save that cannot complete (a limit on file size, a full disk; through
    // a new file or rewriting in place) fails and says why: the old file stays
    // byte for byte and no temporary file is left.
    void salvataggioCheNonRiesce() {
        QTemporaryDir dir;
        const QString percorso = dir.filePath("a.vlt");
        const QByteArray vecchio = "vecchio contenuto\r\n001Testo\r\nend\r\n";
        const QByteArray nuovo(12000, 'n');
        Scrivi(percorso, vecchio);
        QString errore;
        QVERIFY(!ConLimite(4096, [&] { return SalvaFile(percorso, nuovo, &errore); }));
        QVERIFY2(errore.contains("il file supera la dimensione massima consentita"),
                 qPrintable(errore));
        QCOMPARE(Leggi(percorso), vecchio);
        QCOMPARE(Voci(dir.path()), QStringList({"a.vlt"}));

        DiscoPieno disco;
        SALTA_SENZA_DISCO(disco);
        const QString pieno = disco.percorso("a.vlt");
        const QString chiuso = disco.percorso("chiusa/c.vlt");
        Scrivi(pieno, vecchio);
        QVERIFY(QDir().mkdir(disco.percorso("chiusa")));
        Scrivi(chiuso, vecchio);
        QVERIFY(disco.riempi(4096));
        QVERIFY(!SalvaFile(pieno, nuovo, &errore));
        QCOMPARE(errore, QString("impossibile scrivere %1 (spazio esaurito sul disco): il file è "
                                 "rimasto com'era")
                             .arg(pieno));
        QVERIFY(!SalvaFile(disco.percorso("b.vlt"), nuovo, &errore));
        QVERIFY2(errore.contains("(spazio esaurito sul disco)"), qPrintable(errore));
        QCOMPARE(Leggi(pieno), vecchio);
        QCOMPARE(Voci(disco.cartella()), QStringList({"a.vlt", "riempi"}));

        // A folder closed to new files: the rewrite in place fails and puts
        // the old bytes back.
        QCOMPARE(QProcess::execute("chattr", {"+i", disco.percorso("chiusa")}), 0);
        const bool sulPosto = SalvaFile(chiuso, nuovo, &errore);
        QProcess::execute("chattr", {"-i", disco.percorso("chiusa")});
        QVERIFY(!sulPosto);
        QVERIFY2(errore.contains("al suo posto non è riuscito (spazio esaurito sul disco): il "
                                 "file è rimasto com'era"),
                 qPrintable(errore));
        QCOMPARE(Leggi(chiuso), vecchio);
        QCOMPARE(Voci(disco.percorso("chiusa")), QStringList({"c.vlt"}));
        QCOMPARE(disco.liberi(), 4096);

        // A read-only disk is named as such, not the file.
        QVERIFY(disco.solaLettura());
        QVERIFY(!SalvaFile(pieno, nuovo, &errore));
        QCOMPARE(errore, QString("il file %1 non si può modificare (il disco è in sola lettura): "
                                 "è rimasto com'era")
                             .arg(pieno));
    }

    // The temporary files of saves that were killed are removed at the next
    // save in their folder: only files named exactly as ours, whose process
    // is gone or that are older than ten minutes.
    void avanziDiSalvataggiInterrotti() {
        QTemporaryDir dir;
        const pid_t figlio = ::fork(); // a process that has ended: its number is free
        if (figlio == 0) ::_exit(0);
        QVERIFY(figlio > 0);
        ::waitpid(figlio, nullptr, 0);
        const QString morto = QString::number(figlio);
        const QStringList tolti = {".a.vlt.velto-tmp-" + morto + "-AbC123",
                                   ".altro.vlt.velto-tmp-1-Vecch1"};
        const QStringList tenuti = {".a.vlt.velto-tmp-1-InCors", "a.vlt.AbC123",
                                    ".a.vlt.velto-tmp-" + morto + "-AbC12",
                                    "nota.velto-tmp-" + morto + "-AbC123"};
        for (const QString &nome : tolti + tenuti)
            Scrivi(dir.filePath(nome), "mezzo file");
        QFile vecchio(dir.filePath(tolti[1]));
        QVERIFY(vecchio.open(QIODevice::ReadWrite));
        QVERIFY(vecchio.setFileTime(QDateTime::currentDateTime().addSecs(-11 * 60),
                                    QFileDevice::FileModificationTime));
        vecchio.close();
        QString errore;
        QVERIFY2(SalvaFile(dir.filePath("a.vlt"), "nuovo\r\n", &errore), qPrintable(errore));
        QStringList attesi = tenuti + QStringList{"a.vlt"};
        attesi.sort();
        QCOMPARE(Voci(dir.path()), attesi);
    }
};

QTEST_GUILESS_MAIN(TestFormato)
#include "tst_formato.moc"
