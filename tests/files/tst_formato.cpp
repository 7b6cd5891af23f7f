#include "FormatoMessaggi.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

    // The last line of a hand-made file is a text like any other.
    void ultimaRigaSenzaMarcatore() {
        QCOMPARE(Invio("c\r\n001uno\r\n002due\r\n"), QStringList({Pad("001uno"), Pad("002due")}));
        QCOMPARE(Invio("c\r\n001uno\r\n002due"), QStringList({Pad("001uno"), Pad("002due")}));
        QCOMPARE(Editor("c\r\n001uno\r\n002due"), Pad("001uno") + "\r\n" + Pad("002due") + "\r\n");
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
        QVERIFY(errore.contains("assente.vlt"));
    }
};

QTEST_GUILESS_MAIN(TestFormato)
#include "tst_formato.moc"
