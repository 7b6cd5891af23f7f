#include "jobs/InvioImpianto.h"

namespace InvioImpianto {

Versioni::Testi Testi(const QList<Programmazione::Voce> &voci) {
    Versioni::Testi t;
    for (const Programmazione::Voce &v : voci)
        t.insert(v.numero(), v.testo());
    return t;
}

Risultato Invia(Operazioni::Osservatore &o, const QList<Programmazione::Voce> &voci,
                const Impianti::Impianto &impianto, bool senzaCopia, const QString &descrizione) {
    Risultato r;
    if (!impianto.copia || senzaCopia) {
        r.invio = Operazioni::ScriviEVerifica(o, voci);
    } else {
        const auto conserva = [&](const QList<Programmazione::Voce> &presenti, QString *errore) {
            const auto v = Versioni::Conserva(
                impianto.nome, Versioni::Tipo::Copia, Testi(presenti),
                QStringLiteral("Copia dei testi prima dell'invio di %1").arg(descrizione), errore);
            if (v) r.copia = v->numero;
            return v.has_value();
        };
        r.invio = Operazioni::InviaConCopia(o, voci, conserva);
    }
    if (r.invio.esito != Operazioni::Esito::Fatto) return r;
    QString errore;
    if (const auto v = Versioni::Conserva(impianto.nome, Versioni::Tipo::Inviato, Testi(voci),
                                          QStringLiteral("Inviato: %1").arg(descrizione), &errore))
        r.inviato = v->numero;
    else
        r.avviso = QStringLiteral("invio fatto, ma la versione inviata non è stata salvata: %1")
                       .arg(errore);
    return r;
}

std::optional<QList<Programmazione::Voce>> VociDellaVersione(const QString &impianto, int numero,
                                                             QString *errore) {
    for (const Versioni::Versione &v : Versioni::Elenco(impianto)) {
        if (v.numero != numero) continue;
        const auto testi = Versioni::TestiDi(v, errore);
        if (!testi) return std::nullopt;
        QList<Programmazione::Voce> voci;
        for (auto t = testi->cbegin(); t != testi->cend(); ++t)
            voci.append({t.key() + t.value(), 0, t.key() + t.value()});
        if (voci.isEmpty()) {
            *errore = QStringLiteral("la versione %1 non ha testi").arg(numero);
            return std::nullopt;
        }
        return voci;
    }
    *errore = QStringLiteral("l'impianto \"%1\" non ha la versione %2").arg(impianto).arg(numero);
    return std::nullopt;
}

} // namespace InvioImpianto
