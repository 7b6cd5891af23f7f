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

bool ScritturaAccettata(const QString &risposta) {
    return risposta.size() >= 6 && risposta.at(5) == QLatin1Char('R');
}

bool RispostaScritturaIntera(const QString &risposta) {
    return risposta.size() == LunghezzaScriviTesto - 1;
}

RispostaTesto LeggiRispostaTesto(const QString &risposta) {
    RispostaTesto r;
    const int fine = TestaRisposta + LunghezzaTesto;
    if (risposta.size() == fine) {
        r.valida = true; // its CR came last, and the link removed it
    } else if (risposta.size() > fine && risposta.at(fine) == CR) {
        r.valida = true;
        r.coda = true;
    }
    if (r.valida) r.testo = risposta.mid(TestaRisposta, LunghezzaTesto);
    return r;
}

std::optional<QString> EtichettaTasto(QChar codice) {
    switch (codice.unicode()) {
    case '@':
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

} // namespace Comandi
