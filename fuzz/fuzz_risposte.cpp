// Fuzz target: the panel's commands and how its replies are read.
//
// The input is a reply as it reaches a caller (one byte, one character); its
// first three characters also serve as a panel identifier and the rest as a
// message-file entry for the commands. Checked: the data part of every layout,
// that no decoder looks at the header, the key and input tables, the text of a
// read-text reply, and the length and layout of every command.

#include "link/Comandi.h"
#include "files/Programmazione.h"
#include "shared/Variabili.h"
#include "Verifica.h"

#include <set>

using namespace Comandi;

namespace {

struct Lettura {
    bool aRiposo = false;
    QString testo;
    bool accettata = false;
    QString ingressi[3]; // per input: 'A' active, 'I' at rest, '=' unchanged
    std::optional<QString> tasto;
};

// Every reply read the way its caller reads it.
Lettura Leggi(const QString &risposta) {
    Lettura l;
    l.aRiposo = StatoCentrale(risposta) == QLatin1String("R");
    l.testo = Dati(Codice::LeggiTesto, risposta);
    l.accettata = ScritturaAccettata(risposta);
    for (int g = 1; g <= 3; ++g) {
        for (const Ingresso &i : StatiIngressi(g, risposta)) {
            switch (i.stato) {
            case StatoIngresso::Attivo:
                l.ingressi[g - 1] += QLatin1Char('A');
                break;
            case StatoIngresso::Inattivo:
                l.ingressi[g - 1] += QLatin1Char('I');
                break;
            case StatoIngresso::Invariato:
                l.ingressi[g - 1] += QLatin1Char('=');
                break;
            }
        }
    }
    if (const auto codice = CodiceTasto(risposta)) l.tasto = EtichettaTasto(*codice);
    return l;
}

bool Uguali(const Lettura &a, const Lettura &b) {
    return a.aRiposo == b.aRiposo && a.testo == b.testo && a.accettata == b.accettata &&
           a.ingressi[0] == b.ingressi[0] && a.ingressi[1] == b.ingressi[1] &&
           a.ingressi[2] == b.ingressi[2] && a.tasto == b.tasto;
}

// Tables that do not depend on the input, checked once.
void VerificaTabelle() {
    // The three groups cover the 46 alarm windows, each once.
    std::set<int> finestre;
    int ingressi = 0;
    for (int g = 1; g <= 3; ++g) {
        for (int p = 1; p <= IngressiNelGruppo(g); ++p, ++ingressi) {
            const int f = FinestraDiIngresso(g, p);
            VERIFICA(f >= 0 && f < 46 && finestre.insert(f).second);
        }
    }
    VERIFICA(ingressi == 46);

    // Key codes: 64 alone or plus one power of two up to 32, each its own caption.
    std::set<QString> etichette;
    for (int c = 0; c < 256; ++c) {
        const int bit = c - 64;
        const bool tasto = c >= 64 && c <= 96 && (bit & (bit - 1)) == 0;
        const auto e = EtichettaTasto(QChar(c));
        VERIFICA(e.has_value() == tasto);
        if (e) VERIFICA(!e->isEmpty() && etichette.insert(*e).second);
    }

    // The no-reply marker: not at rest, not accepted, no key, no input changed.
    const Lettura m = Leggi(V::MarcatoreNessunaRisposta);
    VERIFICA(!m.aRiposo && !m.accettata && !m.tasto);
    VERIFICA(m.testo == QLatin1String("errore seriale "));
    for (const QString &g : m.ingressi)
        VERIFICA(!g.contains(QLatin1Char('A')) && !g.contains(QLatin1Char('I')));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *d, size_t n) {
    static const bool tabelle = (VerificaTabelle(), true);
    (void)tabelle;
    const QString risposta = Testo(d, n);
    const Lettura l = Leggi(risposta);

    // Data parts: the reply without its header, nothing more, nothing less.
    for (const int k : {TestaStato, TestaRisposta}) {
        const QString dati = SenzaTesta(risposta, k);
        VERIFICA(dati.size() == qMax(qsizetype(0), risposta.size() - k));
        VERIFICA(risposta.endsWith(dati));
    }
    VERIFICA(l.aRiposo == (risposta.size() == 6 && risposta[5] == QLatin1Char('R')));
    VERIFICA(l.accettata == (risposta.size() >= 6 && risposta[5] == QLatin1Char('R')));
    for (int g = 0; g < 3; ++g) {
        VERIFICA(l.ingressi[g].size() == qMin(l.testo.size(), qsizetype(g == 2 ? 14 : 16)));
        for (qsizetype i = 0; i < l.ingressi[g].size(); ++i) {
            const QChar c = l.testo[i];
            const QChar atteso = c == QLatin1Char('C')   ? QLatin1Char('A')
                                 : c == QLatin1Char('-') ? QLatin1Char('I')
                                                         : QLatin1Char('=');
            VERIFICA(l.ingressi[g][i] == atteso);
        }
    }

    // The header is never examined: any other header reads the same. The
    // status and write replies look at position 6 on, the others at 8 on.
    if (risposta.size() >= TestaStato) {
        const QString altra = QStringLiteral("&99SA") + risposta.mid(TestaStato);
        const QString conMarcatore = QStringLiteral("12345") + risposta.mid(TestaStato);
        VERIFICA(Uguali(Leggi(altra), l) && Uguali(Leggi(conMarcatore), l));
    }
    if (risposta.size() >= TestaRisposta) {
        Lettura altra =
            Leggi(risposta.left(TestaStato) + QStringLiteral("0R") + risposta.mid(TestaRisposta));
        altra.aRiposo = l.aRiposo;
        altra.accettata = l.accettata;
        VERIFICA(Uguali(altra, l));
    }

    // The text of a read-text reply: the 16 places after the header, only
    // when the reply's CR falls right after them (removed by the link, or
    // followed by noise); the read-back's copy has blanks for CR and LF and
    // nothing else changed.
    const RispostaTesto t = LeggiRispostaTesto(risposta);
    const bool chiusa = risposta.size() > 23 && risposta[23] == QChar(13);
    VERIFICA(t.valida == (risposta.size() == 23 || chiusa));
    VERIFICA(t.coda == (risposta.size() > 23 && chiusa));
    if (t.valida) VERIFICA(t.testo == risposta.mid(TestaRisposta, 16) && t.testo.size() == 16);
    const QString letto = Programmazione::TestoLetto(t.testo);
    VERIFICA(letto.size() == t.testo.size());
    for (qsizetype i = 0; i < letto.size(); ++i) {
        const bool acapo = t.testo[i] == QChar(13) || t.testo[i] == QChar(10);
        VERIFICA(letto[i] == (acapo ? QChar(QLatin1Char(' ')) : t.testo[i]));
    }

    // Whole replies: a status, input or key reply only with its CR right at
    // its end and no other CR or control character, so its data are whole;
    // a text reply only with its CR after the 16 places. What a panel could
    // send (no line feed, a CR within the longest reply) is never foreign.
    const int fini[] = {6, 23, 6, 23, 10};
    const Codice codici[] = {Codice::Stato, Codice::LeggiTesto, Codice::ScriviTesto,
                             Codice::Ingressi, Codice::Tasto};
    for (int k = 0; k < 5; ++k) {
        const Forma f = FormaRisposta(codici[k], risposta);
        const qsizetype cr = risposta.indexOf(QChar(13));
        if (codici[k] == Codice::LeggiTesto) {
            if (f == Forma::Intera) VERIFICA(chiusa);
        } else if (f == Forma::Intera) {
            VERIFICA(risposta.size() == fini[k] + 1 && cr == fini[k]);
            for (qsizetype i = 0; i < fini[k]; ++i)
                VERIFICA(risposta[i].unicode() >= 32 && risposta[i].unicode() != 127);
        }
        if (f != Forma::Estranea) continue;
        const bool lunga = cr < 0 ? risposta.size() > 32 : cr > 32;
        bool controllo = false;
        for (const QChar c : risposta.left(cr < 0 ? risposta.size() : cr))
            controllo = controllo || c.unicode() < 32 || c.unicode() == 127;
        VERIFICA(risposta.contains(QChar(10)) || lunga ||
                 (codici[k] != Codice::LeggiTesto && controllo));
    }

    // Commands: the identifier first, the layout of the table, one CR at the end.
    const QString id = risposta.left(3);
    const QString voce = risposta.mid(3);
    const QString cr(QChar(13));
    VERIFICA(Stato(id) == id + QStringLiteral("SA") + cr);
    VERIFICA(Tasto(id) == id + QStringLiteral("09") + cr);
    for (int g = 1; g <= 3; ++g)
        VERIFICA(Ingressi(id, g) == id + QStringLiteral("0") + QChar('0' + g) + cr);
    const QString tre = QStringLiteral("%1").arg(n % 200, 3, 10, QLatin1Char('0'));
    VERIFICA(LeggiTesto(id, tre) == id + QStringLiteral("0R") + tre + cr);
    const QString scrivi = ScriviTesto(id, voce);
    VERIFICA(scrivi.size() == id.size() + 27);
    VERIFICA(scrivi.startsWith(id + QStringLiteral("0W018")));
    VERIFICA(scrivi.mid(id.size() + 5, LunghezzaVoce) ==
             voce.left(LunghezzaVoce).leftJustified(LunghezzaVoce));
    VERIFICA(scrivi.endsWith(QStringLiteral("0W") + cr));
    if (id.size() == 3) {
        VERIFICA(Stato(id).size() == 6 && Tasto(id).size() == 6 && Ingressi(id, 1).size() == 6);
        VERIFICA(LeggiTesto(id, tre).size() == 9 && scrivi.size() == 30);
    }
    return 0;
}
