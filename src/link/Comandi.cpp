#include "link/Comandi.h"

namespace Comandi {

namespace {
const QChar CR(13);
}

QString Stato(const QString &id) {
    return id + QStringLiteral("SA") + CR;
}

QString LeggiTesto(const QString &id, const QString &numeroTre) {
    return id + QStringLiteral("0R") + numeroTre + CR;
}

QString ScriviTesto(const QString &id, const QString &voce) {
    return id + QStringLiteral("0W018") + voce.left(LunghezzaVoce).leftJustified(LunghezzaVoce) +
           QStringLiteral("0W") + CR;
}

QString Ingressi(const QString &id, int gruppo) {
    return id + QStringLiteral("0%1").arg(gruppo) + CR;
}

QString Tasto(const QString &id) {
    return id + QStringLiteral("09") + CR;
}

namespace {

struct Riga {
    Codice codice;
    QString (*testo)(const QString &id, const QString &parametro);
    qint16 lunghezza; // characters awaited before the reply is taken
    int testa;        // header characters before its data
};

// Reply layouts: status, header and the status character; read text, header,
// the 16 text places and CR; write text, header, the accept character and
// CR; input group, header and 16 states; key, header, the key code and two
// more. The write reply's header is as long as the status reply's.
const Riga Tabella[] = {
    {Codice::Stato, [](const QString &id, const QString &) { return Stato(id); }, 6, TestaStato},
    {Codice::LeggiTesto, [](const QString &id, const QString &n) { return LeggiTesto(id, n); }, 24,
     TestaRisposta},
    {Codice::ScriviTesto, [](const QString &id, const QString &v) { return ScriviTesto(id, v); }, 7,
     TestaStato},
    {Codice::Ingressi, [](const QString &id, const QString &g) { return Ingressi(id, g.toInt()); },
     23, TestaRisposta},
    {Codice::Tasto, [](const QString &id, const QString &) { return Tasto(id); }, 10,
     TestaRisposta},
};

const Riga &RigaDi(Codice codice) {
    for (const Riga &r : Tabella)
        if (r.codice == codice) return r;
    Q_UNREACHABLE();
}

} // namespace

// Where a whole reply's CR falls: after the characters awaited, or as the
// last of them for the replies whose length counts it.
static int PostoCr(Codice codice) {
    const Riga &r = RigaDi(codice);
    return codice == Codice::LeggiTesto || codice == Codice::ScriviTesto ? r.lunghezza - 1
                                                                         : r.lunghezza;
}

Richiesta Componi(Codice codice, const QString &id, const QString &parametro) {
    const Riga &r = RigaDi(codice);
    return {r.testo(id, parametro), r.lunghezza, r.testa, qint16(PostoCr(codice) + 1)};
}

QString Dati(Codice codice, const QString &risposta) {
    return SenzaTesta(risposta, RigaDi(codice).testa);
}

QString StatoCentrale(const QString &risposta) {
    return Dati(Codice::Stato, risposta);
}

QString TestoRiposo(const QString &stato) {
    if (stato == QLatin1String("R")) return QStringLiteral("a riposo");
    if (stato == QLatin1String("I")) return QStringLiteral("in programmazione");
    return QStringLiteral("non a riposo (\"%1\")").arg(stato);
}

bool ScritturaAccettata(const QString &risposta) {
    const int testa = RigaDi(Codice::ScriviTesto).testa;
    return risposta.size() > testa && risposta.at(testa) == QLatin1Char('R');
}

bool RispostaScritturaIntera(const QString &risposta) {
    return risposta.size() == RigaDi(Codice::ScriviTesto).lunghezza - 1; // its CR removed
}

Forma FormaRisposta(Codice codice, const QString &ricevuto) {
    const int fine = PostoCr(codice);
    // No reply is longer than a text's: a few bytes of noise before it are
    // the most a panel's line gives.
    constexpr int PiuLunga = 24 + 8;
    const qsizetype cr = ricevuto.indexOf(CR);
    const bool troppoLunga = cr < 0 ? ricevuto.size() > PiuLunga : cr > PiuLunga;
    if (troppoLunga || ricevuto.contains(QLatin1Char('\n'))) return Forma::Estranea;
    // Text places may hold any character; the other replies are printable.
    if (codice != Codice::LeggiTesto)
        for (const QChar c : ricevuto.left(cr < 0 ? ricevuto.size() : cr))
            if (c.unicode() < 32 || c.unicode() == 127) return Forma::Estranea;
    if (codice == Codice::LeggiTesto)
        return ricevuto.size() > fine && ricevuto.at(fine) == CR ? Forma::Intera : Forma::NonIntera;
    if (ricevuto.size() == fine + 1 && cr == fine) return Forma::Intera;
    return Forma::NonIntera;
}

int PrimoDellaCoppia(int numero) {
    if (numero < 0) return -1;
    if (numero < 4 * FinestreConTesto) return numero % 4 < 2 ? numero - numero % 4 : -1;
    for (const int primo : PrimiTestiRighe)
        if (numero == primo || numero == primo + 1) return primo;
    return -1;
}

QString DoveSiVede(int numero) {
    const int primo = PrimoDellaCoppia(numero);
    if (primo < 0) return QStringLiteral("non mostrato dal modo test");
    const QString meta =
        numero == primo ? QStringLiteral("prima metà") : QStringLiteral("seconda metà");
    if (primo < 4 * FinestreConTesto)
        return QStringLiteral("Finestra %1, %2").arg(primo / 4 + 1).arg(meta);
    const QString riga = primo == PrimiTestiRighe[0]   ? QStringLiteral("Messaggio a riposo")
                         : primo == PrimiTestiRighe[1] ? QStringLiteral("Riga di fine ciclo")
                                                       : QStringLiteral("Nome della centrale");
    return QStringLiteral("%1, %2").arg(riga, meta);
}

QString CosaChiede(Codice codice, const QString &parametro) {
    switch (codice) {
    case Codice::Stato:
        return QStringLiteral("lo stato");
    case Codice::LeggiTesto:
        return QStringLiteral("il testo ") + parametro;
    case Codice::ScriviTesto:
        return QStringLiteral("la scrittura del testo ") + parametro.left(3);
    case Codice::Ingressi: {
        const int g = parametro.toInt();
        const int primo = FinestraDiIngresso(g, 1) + 1;
        return QStringLiteral("gli ingressi %1-%2")
            .arg(primo)
            .arg(primo + IngressiNelGruppo(g) - 1);
    }
    case Codice::Tasto:
        return QStringLiteral("il tasto premuto");
    }
    return QString();
}

RispostaTesto LeggiRispostaTesto(const QString &risposta) {
    RispostaTesto r;
    const int testa = RigaDi(Codice::LeggiTesto).testa;
    const int fine = testa + LunghezzaTesto;
    if (risposta.size() == fine) {
        r.valida = true; // its CR came last, and the link removed it
    } else if (risposta.size() > fine && risposta.at(fine) == CR) {
        r.valida = true;
        r.coda = true;
    }
    if (r.valida) r.testo = risposta.mid(testa, LunghezzaTesto);
    return r;
}

std::optional<QChar> CodiceTasto(const QString &risposta) {
    const QString dati = Dati(Codice::Tasto, risposta);
    if (dati.isEmpty()) return std::nullopt;
    return dati.at(0);
}

std::optional<QString> EtichettaTasto(QChar codice) {
    switch (codice.unicode()) {
    case NessunTasto:
        return QStringLiteral("...");
    case 'A':
        return QStringLiteral(" #");
    case 'B':
        return QStringLiteral(" +");
    case 'D':
        return QStringLiteral(" - ");
    case 'H':
        return QStringLiteral(" < ");
    case 'P':
        return QStringLiteral(" > ");
    case '`':
        return QStringLiteral("ack");
    default:
        return std::nullopt;
    }
}

bool SoloEco(const QString &comando, const QString &risposta) {
    return risposta == comando.chopped(comando.endsWith(QLatin1Char('\r')) ? 1 : 0) ||
           risposta.startsWith(comando);
}

StatoIngresso LeggiStatoIngresso(QChar c) {
    if (c == QLatin1Char('C')) return StatoIngresso::Attivo;
    if (c == QLatin1Char('-')) return StatoIngresso::Inattivo;
    return StatoIngresso::Invariato;
}

int IngressiNelGruppo(int gruppo) {
    return gruppo == 3 ? 14 : 16;
}

int FinestraDiIngresso(int gruppo, int posizione) {
    return (gruppo - 1) * 16 + posizione - 1;
}

QList<Ingresso> StatiIngressi(int gruppo, const QString &risposta) {
    const QString stati = Dati(Codice::Ingressi, risposta);
    QList<Ingresso> ingressi;
    for (int p = 1; p <= IngressiNelGruppo(gruppo) && p <= stati.size(); ++p) {
        const QChar c = stati.at(p - 1);
        ingressi.append({FinestraDiIngresso(gruppo, p), LeggiStatoIngresso(c), c});
    }
    return ingressi;
}

} // namespace Comandi
