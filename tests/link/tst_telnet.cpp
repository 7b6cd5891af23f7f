// The network link's pure parts: the addresses the user writes, and the
// Telnet/RFC 2217 codec between a device server's bytes and the panel's data.
#include "link/CodecTelnet.h"
#include "link/IndirizzoRete.h"

#include <QTest>
#include <initializer_list>

namespace {

constexpr int IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr int NOP = 241, GA = 249, Binario = 0, SenzaGoAhead = 3, Eco = 1, PortaCom = 44;

QByteArray B(std::initializer_list<int> byte) {
    QByteArray b;
    for (int x : byte)
        b += char(x);
    return b;
}

// The server's bytes read by a codec that opened as the tool does, one read
// each: the data, and what each read answered.
struct Letto {
    QByteArray dati;
    QList<QByteArray> risposte;
};
Letto Leggi(CodecTelnet &c, const QList<QByteArray> &letture) {
    Letto l;
    for (const QByteArray &r : letture) {
        QByteArray risposte;
        l.dati += c.Ricevi(r, &risposte);
        l.risposte << risposte;
    }
    return l;
}
CodecTelnet Aperto() {
    CodecTelnet c;
    c.Richieste();
    return c;
}

} // namespace

class TestTelnet : public QObject {
    Q_OBJECT
  private slots:
    // IAC is doubled in what goes out, in data and in the line settings, and
    // undone in what comes in, however the reads cut it.
    void iacDoppi() {
        const struct {
            QByteArray dati, codificati;
        } casi[] = {
            {"", ""},
            {"&45SA\r", "&45SA\r"},
            {B({IAC}), B({IAC, IAC})},
            {B({'a', IAC, IAC, 'b', IAC}), B({'a', IAC, IAC, IAC, IAC, 'b', IAC, IAC})},
        };
        for (const auto &c : casi) {
            QCOMPARE(CodecTelnet::Codifica(c.dati), c.codificati);
            for (qsizetype taglio = 0; taglio <= c.codificati.size(); ++taglio) {
                CodecTelnet codec = Aperto();
                const Letto l = Leggi(codec, {c.codificati.left(taglio), c.codificati.mid(taglio)});
                QCOMPARE(l.dati, c.dati);
                QCOMPARE(l.risposte.join(), QByteArray());
            }
        }
        const QList<QByteArray> linea = CodecTelnet::RichiesteLinea(
            0xff00ff, 8, CodecTelnet::Parita::Nessuna, CodecTelnet::Stop::Due);
        QCOMPARE(linea.value(0), B({IAC, SB, PortaCom, 1, 0, IAC, IAC, 0, IAC, IAC, IAC, SE}));
    }

    // What the tool asks on opening, and the four commands that set the line.
    void richiesteDellaLinea() {
        CodecTelnet c;
        QCOMPARE(c.Richieste(), B({IAC, WILL, Binario, IAC, DO, Binario, IAC, WILL, SenzaGoAhead,
                                   IAC, DO, SenzaGoAhead, IAC, WILL, PortaCom}));
        using P = CodecTelnet::Parita;
        using S = CodecTelnet::Stop;
        QCOMPARE(CodecTelnet::RichiesteLinea(9600, 7, P::Pari, S::Uno),
                 QList<QByteArray>({B({IAC, SB, PortaCom, 1, 0, 0, 0x25, 0x80, IAC, SE}),
                                    B({IAC, SB, PortaCom, 2, 7, IAC, SE}),
                                    B({IAC, SB, PortaCom, 3, 3, IAC, SE}),
                                    B({IAC, SB, PortaCom, 4, 1, IAC, SE})}));
        QCOMPARE(CodecTelnet::RichiesteLinea(115200, 8, P::Space, S::UnoEMezzo).mid(2),
                 QList<QByteArray>({B({IAC, SB, PortaCom, 3, 5, IAC, SE}),
                                    B({IAC, SB, PortaCom, 4, 3, IAC, SE})}));
    }

    // Until the server sends binary, the NUL it puts after a CR is not data;
    // a CR LF, a NUL elsewhere and everything in binary are.
    void crNul() {
        const QByteArray binario = B({IAC, WILL, Binario});
        const struct {
            QList<QByteArray> letture;
            QByteArray dati;
        } casi[] = {
            {{B({'A', '\r', 0, 'B'})}, "A\rB"},
            {{"A\r\nB"}, "A\r\nB"},
            {{"\r", B({0, 'B'})}, "\rB"},
            {{B({'\r', '\r', 0, 0})}, B({'\r', '\r', 0})},
            {{B({'\r', IAC, IAC, 0})}, B({'\r', IAC, 0})},
            {{binario, B({'A', '\r', 0, 'B'})}, B({'A', '\r', 0, 'B'})},
            {{binario + B({'\r', IAC, WONT, Binario, 0, '\r', 0})}, B({'\r', 0, '\r'})},
        };
        for (const auto &c : casi) {
            CodecTelnet codec = Aperto();
            QCOMPARE(Leggi(codec, c.letture).dati, c.dati);
        }
    }

    // Each request is answered in the read that completes it: what the tool
    // asked for is accepted without an answer, what it did not want is
    // refused, and a refusal goes out once however often the server asks.
    void opzioni() {
        const auto t = [](int verbo, int opzione) { return B({IAC, verbo, opzione}); };
        const struct {
            QList<QByteArray> letture, risposte;
            int porta;
        } casi[] = {
            {{t(DO, 100), t(DO, 100) + t(DO, 100)}, {t(WONT, 100), ""}, 0},
            {{t(WILL, 100) + t(WILL, Eco), t(WILL, 100)}, {t(DONT, 100) + t(DONT, Eco), ""}, 0},
            {{B({IAC}), B({DO}), B({100, IAC, WILL}), B({100})},
             {"", "", t(WONT, 100), t(DONT, 100)},
             0},
            {{t(DO, PortaCom) + t(WILL, Binario) + t(DO, Binario), t(DO, PortaCom)}, {"", ""}, 1},
            {{t(DONT, PortaCom), t(DONT, PortaCom)}, {"", ""}, -1},
            {{t(DO, Binario), t(DONT, Binario), t(DONT, Binario)}, {"", t(WONT, Binario), ""}, 0},
            {{t(WILL, SenzaGoAhead), t(WONT, SenzaGoAhead)}, {"", t(DONT, SenzaGoAhead)}, 0},
            {{t(WONT, 100) + t(DONT, 100) + B({IAC, NOP, IAC, GA})}, {""}, 0},
        };
        for (const auto &c : casi) {
            CodecTelnet codec = Aperto();
            const Letto l = Leggi(codec, c.letture);
            QCOMPARE(l.dati, QByteArray());
            QCOMPARE(l.risposte, c.risposte);
            QCOMPARE(codec.PortaAccettata(), c.porta);
        }
        // A codec that did not ask answers a wanted option with its consent.
        CodecTelnet nuovo;
        QCOMPARE(Leggi(nuovo, {t(DO, Binario) + t(WILL, Binario)}).risposte,
                 QList<QByteArray>({t(WILL, Binario) + t(DO, Binario)}));
    }

    // The server's confirmations of the line, cut anywhere between reads,
    // with the data around them; notices and other commands count for nothing.
    void sottonegoziazioni() {
        const auto sb = [](const QByteArray &corpo) { return B({IAC, SB}) + corpo + B({IAC, SE}); };
        const QByteArray flusso = "a" + sb(B({PortaCom, 101, 0, 0, 0x25, 0x80})) + "b" +
                                  sb(B({PortaCom, 102, 7})) + sb(B({PortaCom, 106, 0x30})) +
                                  sb(B({24, 0, 'x'})) + sb(B({PortaCom, 103, 3})) +
                                  sb(B({PortaCom, 104, IAC, IAC})) + B({IAC, IAC}) +
                                  sb(B({PortaCom, 101, 0, 0, 0, IAC, IAC})) + "c";
        const QStringList conferme = {"9600 bit/s", "7 bit di dati", "parità pari", "stop 1",
                                      "255 bit/s"};
        for (qsizetype taglio = 0; taglio <= flusso.size(); ++taglio) {
            CodecTelnet c = Aperto();
            const Letto l = Leggi(c, {flusso.left(taglio), flusso.mid(taglio)});
            QCOMPARE(l.dati, "ab" + B({IAC}) + "c");
            QCOMPARE(c.Conferme(), conferme);
            QCOMPARE(c.Confermati(), 5);
            QVERIFY(!c.Difettoso());
        }
    }

    // A command of 512 bytes is read; one longer makes the server faulty on
    // the spot: the data before it stays, what that read asked is not
    // answered, and nothing after it is read, however much comes.
    void sottonegoziazioneSenzaFine() {
        const int massimo = CodecTelnet::MassimoSottonegoziazione;
        CodecTelnet c = Aperto();
        const QByteArray lunga = B({IAC, SB, PortaCom}) + QByteArray(massimo - 1, 'x');
        Letto l = Leggi(c, {"a" + lunga + B({IAC, SE}) + "b"});
        QCOMPARE(l.dati, "ab");
        QVERIFY(!c.Difettoso());

        l = Leggi(c, {B({IAC, DO, 100}) + "c" + lunga + "xd", "e" + B({IAC, WILL, 100})});
        QCOMPARE(l.dati, "c");
        QCOMPARE(l.risposte, QList<QByteArray>({"", ""}));
        QVERIFY(c.Difettoso());

        CodecTelnet senzaFine = Aperto();
        QByteArray risposte;
        QCOMPARE(senzaFine.Ricevi(B({IAC, SB, PortaCom}), &risposte), QByteArray());
        for (int n = 0; n < 1000 && !senzaFine.Difettoso(); ++n)
            QCOMPARE(senzaFine.Ricevi(QByteArray(64, 'x'), &risposte), QByteArray());
        QVERIFY(senzaFine.Difettoso());
        QCOMPARE(senzaFine.Ricevi("dati", &risposte), QByteArray());
        QCOMPARE(risposte, QByteArray());
    }

    // The addresses accepted, with their parts, and those refused, with why.
    void indirizzi() {
        const struct {
            QString testo;
            bool rfc2217;
            QString host;
            quint16 porta;
        } buoni[] = {
            {"tcp://192.168.1.50:4001", false, "192.168.1.50", 4001},
            {"  socket://centrale.lan:1/ ", false, "centrale.lan", 1},
            {"RFC2217://127.0.0.1:65535", true, "127.0.0.1", 65535},
            {"tcp://[fe80::1]:4001", false, "fe80::1", 4001},
            {"rfc2217://[::1]:2217/", true, "::1", 2217},
        };
        for (const auto &b : buoni) {
            QVERIFY2(IndirizzoDiRete(b.testo), qPrintable(b.testo));
            const Indirizzo a = LeggiIndirizzo(b.testo);
            QCOMPARE(a.errore, QString());
            QCOMPARE(a.rfc2217, b.rfc2217);
            QCOMPARE(a.host, b.host);
            QCOMPARE(a.porta, b.porta);
        }
        const QString nonValido = "indirizzo non valido";
        const struct {
            QString testo, errore;
        } cattivi[] = {
            {"COM1", "non è un indirizzo tcp://, socket:// o rfc2217://"},
            {"http://192.168.1.50:80", "non è un indirizzo tcp://, socket:// o rfc2217://"},
            {"tcp://[::1:4001", "manca la \"]\" dopo l'indirizzo IPv6"},
            {"tcp://[::1]4001", nonValido},
            {"tcp://:4001", nonValido},
            {"tcp://fe80::1:4001", nonValido},
            {"tcp://a/b:4001", nonValido},
            {"socket://127.0.0.1", "manca la porta TCP (per esempio tcp://192.168.1.50:4001)"},
            {"tcp://[::1]", "manca la porta TCP (per esempio tcp://192.168.1.50:4001)"},
            {"tcp://h:0", "porta TCP \"0\" non valida (da 1 a 65535)"},
            {"tcp://h:65536", "porta TCP \"65536\" non valida (da 1 a 65535)"},
            {"tcp://h:40x", "porta TCP \"40x\" non valida (da 1 a 65535)"},
        };
        for (const auto &c : cattivi) {
            const Indirizzo a = LeggiIndirizzo(c.testo);
            QCOMPARE(a.errore, c.errore);
            QCOMPARE(IndirizzoDiRete(c.testo), !c.errore.startsWith("non è"));
        }
    }
};

QTEST_GUILESS_MAIN(TestTelnet)
#include "tst_telnet.moc"
