#include "jobs/InvioImpianto.h"

#include "files/FormatoMessaggi.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"

namespace InvioImpianto {

QString Dettagli(const Risultato &r, bool senzaCopia, const Impianti::Impianto *impianto) {
    if (!impianto) return QString();
    QString d;
    if (r.invio.giaUguali > 0)
        d += QStringLiteral(", ") + Quanti(r.invio.giaUguali, "già uguale", "già uguali");
    if (r.copia > 0)
        d += QStringLiteral("; copia della centrale nella versione %1").arg(r.copia);
    else if (!impianto->copia || senzaCopia)
        d += QStringLiteral("; senza copia della centrale");
    if (r.inviato > 0) d += QStringLiteral("; inviato nella versione %1").arg(r.inviato);
    return d;
}

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

QString ConservaLettura(const QString &impianto, bool *fatto) {
    // The numbers a message file's body holds.
    Versioni::Testi testi;
    for (int n = 0; n <= Operazioni::UltimoTestoLetto; ++n)
        if (FormatoMessaggi::NumeroNelCorpo(n))
            testi.insert(QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0')), V::Testi[n]);
    QString errore;
    bool nuova = false;
    const auto v = Versioni::Conserva(impianto, Versioni::Tipo::Letto, testi, V::CommentoProposto,
                                      &errore, &nuova);
    *fatto = v.has_value();
    if (!v)
        return QStringLiteral("Versione dell'impianto \"%1\" non conservata: %2.")
            .arg(impianto, errore);
    if (!nuova)
        return QStringLiteral("Testi uguali alla versione %1 dell'impianto \"%2\": nessuna nuova "
                              "versione.")
            .arg(v->numero)
            .arg(impianto);
    return QStringLiteral("%1 testi conservati come versione %2 dell'impianto \"%3\".")
        .arg(v->testi)
        .arg(v->numero)
        .arg(impianto);
}

std::optional<QList<Programmazione::Voce>> VociDellaVersione(const QString &impianto, int numero,
                                                             QString *errore) {
    for (const Versioni::Versione &v : Versioni::Elenco(impianto, Versioni::Lettura::Nomi)) {
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
