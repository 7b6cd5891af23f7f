#include "link/Comandi.h"

#include <QTest>

using namespace Comandi;

class TestComandi : public QObject {
    Q_OBJECT
  private slots:
    void testiDeiComandi() {
        QCOMPARE(Stato("&45"), QString("&45SA\r"));
        QCOMPARE(LeggiTesto("&45", "007"), QString("&450R007\r"));
        QCOMPARE(LeggiTesto("&45", "000").size(), 9);
        QCOMPARE(Ingressi("&45", 1), QString("&4501\r"));
        QCOMPARE(Ingressi("&45", 2), QString("&4502\r"));
        QCOMPARE(Ingressi("&12", 3), QString("&1203\r"));
        QCOMPARE(Tasto("&45"), QString("&4509\r"));
    }

    void tabellaDeiComandi() {
        const QString testo = "Zona Nord 07    ";
        const QString stati = "C-----------x-CC";
        const struct {
            Codice codice;
            QString parametro, testo;
            int lunghezza;
            QString risposta, dati;
        } righe[] = {
            {Codice::Stato, {}, "&45SA\r", 6, "&45SAR", "R"},
            {Codice::LeggiTesto, "007", "&450R007\r", 24, "&450R00" + testo, testo},
            {Codice::ScriviTesto, "007CIAO", "&450W018007CIAO" + QString(12, ' ') + "0W\r", 7,
             "&450WR", "R"},
            {Codice::Ingressi, "3", "&4503\r", 23, "&4503xx" + stati, stati},
            {Codice::Tasto, {}, "&4509\r", 10, "&450900@ab", "@ab"},
        };
        for (const auto &r : righe) {
            const Richiesta c = Componi(r.codice, "&45", r.parametro);
            QCOMPARE(c.testo, r.testo);
            QCOMPARE(c.lunghezza, r.lunghezza);
            QCOMPARE(Dati(r.codice, r.risposta), r.dati);
            QCOMPARE(c.testa, r.risposta.size() - r.dati.size());
        }
        QCOMPARE(StatoCentrale("&45SAR"), QString("R"));
        QCOMPARE(CodiceTasto("&450900@ab"), QChar('@'));
        QVERIFY(!CodiceTasto("&450900").has_value());
        const QList<Ingresso> gruppo3 = StatiIngressi(3, "&4503xx" + stati);
        QCOMPARE(gruppo3.size(), 14); // group 3 uses 14 of its 16
        QCOMPARE(gruppo3.first().finestra, 32);
        QCOMPARE(gruppo3.first().stato, StatoIngresso::Attivo);
        QCOMPARE(gruppo3[12].stato, StatoIngresso::Invariato);
        QCOMPARE(gruppo3.last().finestra, 45);
        QCOMPARE(gruppo3.last().stato, StatoIngresso::Inattivo);
        QCOMPARE(StatiIngressi(1, "&4501xx" + stati).size(), 16);
    }

    // Whole means the CR right where the layout ends and nothing after it;
    // a line feed, a control character outside a text or a line longer than
    // any reply is no panel's at all.
    void formaDelleRisposte() {
        const QString testo = "Zona\r\x01Nord 07 ##";
        const struct {
            Codice codice;
            QString ricevuto;
            Forma forma;
        } righe[] = {
            {Codice::Stato, "&45SAR\r", Forma::Intera},
            {Codice::Stato, "&45SAR", Forma::NonIntera},      // its CR never came
            {Codice::Stato, "y&45SAR\r", Forma::NonIntera},   // noise before it
            {Codice::Stato, "&45SAR\r%?#", Forma::NonIntera}, // noise after it
            {Codice::Stato, "&45SAR\r&45SAR\r", Forma::NonIntera},
            {Codice::Stato, "&45S\x07R\r", Forma::Estranea},
            {Codice::Stato, "HTTP/1.1 400 Bad Request\r\nServer: nginx\r\n", Forma::Estranea},
            {Codice::Stato, "SSH-2.0-OpenSSH_9.2p1 Debian-2+deb12u3 and more", Forma::Estranea},
            {Codice::LeggiTesto, "&450R00" + testo + "\r", Forma::Intera},
            {Codice::LeggiTesto, "&450R00" + testo + "x\r", Forma::NonIntera},
            {Codice::LeggiTesto, "&450R00" + testo + "\r%?#", Forma::Intera}, // to confirm
            {Codice::LeggiTesto, "&450R00\n" + testo.left(15) + "\r", Forma::Estranea},
            {Codice::Ingressi, "&4501xx" + QString(16, '-') + "\r", Forma::Intera},
            {Codice::Ingressi, "y&4501xx" + QString(16, '-') + "\r", Forma::NonIntera},
            {Codice::Ingressi, "&4501xx" + QString(15, '-') + "\r", Forma::NonIntera},
            {Codice::Tasto, "&450900@00\r", Forma::Intera},
            {Codice::Tasto, "&450900@0\r\r", Forma::NonIntera},
        };
        for (const auto &r : righe)
            QVERIFY2(FormaRisposta(r.codice, r.ricevuto) == r.forma, qPrintable(r.ricevuto));
    }

    void scritturaTestoSempreDiTrentaCaratteri() {
        const QString blank = ScriviTesto("&45", "197" + QString(16, ' '));
        QCOMPARE(blank, "&450W018197" + QString(16, ' ') + "0W\r");
        QCOMPARE(blank.size(), 30);
        // A short entry is padded, a long one cut: the number travels only inside it.
        QCOMPARE(ScriviTesto("&45", "007CIAO"), "&450W018007CIAO" + QString(12, ' ') + "0W\r");
        QCOMPARE(ScriviTesto("&45", "0071234567890123456XYZ"),
                 QString("&450W0180071234567890123456") + "0W\r");
    }

    void letturaRisposteAncheSulMarcatore() {
        const QString marcatore = "1234567errore seriale ";
        QCOMPARE(SenzaTesta("&45SAR", TestaStato), QString("R"));
        QCOMPARE(SenzaTesta("&45SARX", TestaStato), QString("RX")); // not "R": not at rest
        QCOMPARE(SenzaTesta(marcatore, TestaStato), QString("67errore seriale "));
        QCOMPARE(SenzaTesta(marcatore, TestaRisposta), QString("errore seriale "));
        QCOMPARE(SenzaTesta("abc", TestaRisposta), QString());
        QVERIFY(ScritturaAccettata("&450WR"));
        QVERIFY(ScritturaAccettata("&450WRx"));
        QVERIFY(!ScritturaAccettata("&450WN"));
        QVERIFY(!ScritturaAccettata(marcatore)); // sixth character "6"
        QVERIFY(!ScritturaAccettata("&450W"));
    }

    // Where the panel shows each text: the 44 windows take two of every four
    // numbers, the three lines at the top their pairs, the rest nothing.
    void doveSiVedeUnTesto() {
        QCOMPARE(Comandi::DoveSiVede(8), QString("Finestra 3, prima metà"));
        QCOMPARE(Comandi::DoveSiVede(173), QString("Finestra 44, seconda metà"));
        QCOMPARE(Comandi::DoveSiVede(177), QString("Messaggio a riposo, seconda metà"));
        QCOMPARE(Comandi::DoveSiVede(180), QString("Nome della centrale, prima metà"));
        for (int n : {2, 3, 175, 182, 192})
            QCOMPARE(Comandi::DoveSiVede(n), QString("non mostrato dal modo test"));
        QCOMPARE(Comandi::PrimoDellaCoppia(13), 12);
        QCOMPARE(Comandi::PrimoDellaCoppia(179), 178);
    }

    void codiciTasto() {
        QCOMPARE(EtichettaTasto('@').value(), QString("..."));
        QCOMPARE(EtichettaTasto('A').value(), QString(" #"));
        QCOMPARE(EtichettaTasto('B').value(), QString(" +"));
        QCOMPARE(EtichettaTasto('D').value(), QString(" - "));
        QCOMPARE(EtichettaTasto('H').value(), QString(" < "));
        QCOMPARE(EtichettaTasto('P').value(), QString(" > "));
        QCOMPARE(EtichettaTasto('`').value(), QString("ack"));
        QVERIFY(!EtichettaTasto('C').has_value()); // two keys at once
        QVERIFY(!EtichettaTasto('e').has_value()); // the marker's first data character
        QVERIFY(!EtichettaTasto('a').has_value());
    }

    void ingressi() {
        QCOMPARE(LeggiStatoIngresso('C'), StatoIngresso::Attivo);
        QCOMPARE(LeggiStatoIngresso('-'), StatoIngresso::Inattivo);
        QCOMPARE(LeggiStatoIngresso('c'), StatoIngresso::Invariato);
        QCOMPARE(LeggiStatoIngresso('e'), StatoIngresso::Invariato);
        // Position 5 of each group: windows 4, 20, 36; group 3 ends at the two tiles.
        QCOMPARE(FinestraDiIngresso(1, 5), 4);
        QCOMPARE(FinestraDiIngresso(2, 5), 20);
        QCOMPARE(FinestraDiIngresso(3, 5), 36);
        QCOMPARE(FinestraDiIngresso(3, 13), 44);
        QCOMPARE(FinestraDiIngresso(3, 14), 45);
        QCOMPARE(IngressiNelGruppo(3), 14);
        QCOMPARE(IngressiNelGruppo(1), 16);
    }
};

QTEST_GUILESS_MAIN(TestComandi)
#include "tst_comandi.moc"
