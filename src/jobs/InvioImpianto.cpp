#include "jobs/InvioImpianto.h"

#include "files/FormatoMessaggi.h"
#include "jobs/Esiti.h"
#include "link/Traccia.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"

namespace InvioImpianto {

QString Dettagli(const Risultato &r, bool senzaCopia, const Impianti::Impianto *impianto) {
    if (!impianto) return QString();
    QString d;
    if (r.invio.giaUguali > 0)
        d += QStringLiteral(", ") + Quanti(r.invio.giaUguali, "già uguale", "già uguali");
    if (r.copia > 0)
        d += QStringLiteral("; copia della centrale nella versione %1 (%2)")
                 .arg(r.copia)
                 .arg(r.nomeCopia);
    else if (!impianto->copia || senzaCopia)
        d += QStringLiteral("; senza copia della centrale");
    if (r.inviato > 0)
        d += QStringLiteral("; inviato nella versione %1 (%2)").arg(r.inviato).arg(r.nomeInviato);
    return d;
}

QString Parole(const Risultato &sito, const Impianti::Impianto *impianto, const Opzioni &opzioni) {
    const Operazioni::RisultatoInvio &r = sito.invio;
    const QString numero = r.voce.numero(), testo = Citato(r.voce.testo());
    const QString centrale = Traccia::Visibile(V::Identificativo);
    // The copy kept shows in every outcome: the panel's texts are safe in it.
    const QString d = Dettagli(sito, opzioni.senzaCopia, impianto);
    switch (r.esito) {
    case Operazioni::Esito::Fatto:
        return DatiUguali(r.scritti, d, r.spezzate > 0);
    case Operazioni::Esito::ScritturaRifiutata:
        return (r.muto ? QStringLiteral("Errore risposta: la centrale %1 non risponde alla "
                                        "scrittura del testo %2 %3 sulla porta %4")
                             .arg(centrale, numero, testo, opzioni.porta)
                       : QStringLiteral("Errore risposta: la centrale non ha accettato il testo "
                                        "%1 %2 (risposta %3)")
                             .arg(numero, testo, Citato(r.risposta))) +
               d;
    case Operazioni::Esito::Diverso:
        return DatiNonScrittiGiusti() +
               (r.muto ? QStringLiteral(". Testo %1: scritto %2, la centrale %3 non risponde "
                                        "alla rilettura sulla porta %4")
                             .arg(numero, testo, centrale, opzioni.porta)
                       : QStringLiteral(". Testo %1: scritto %2, riletto %3")
                             .arg(numero, testo, Citato(r.letto))) +
               d;
    case Operazioni::Esito::Incerta:
        return QStringLiteral("%1: il testo %2 scritto non è verificato")
                   .arg(RisposteNonAffidabili(numero, true, opzioni.porta), testo) +
               d;
    case Operazioni::Esito::Interrotto:
        return r.motivo + d;
    case Operazioni::Esito::FileNonLeggibile:
    case Operazioni::Esito::FileRifiutato:
        return QStringLiteral("%1: nulla è stato inviato").arg(r.motivo);
    case Operazioni::Esito::CopiaNonRiuscita:
        break;
    }
    return r.motivo;
}

Lavoro::Lavoro(const QString &nome, const Opzioni &opzioni) : opzioni_(opzioni) {
    if (!opzioni.azione.isEmpty()) registro_.emplace(nome, opzioni.porta, opzioni.azione);
}

QString Lavoro::NonIniziato() const {
    return registro_ ? registro_->Errore() : QString();
}

Risultato Lavoro::Invia(Operazioni::Osservatore &o, const Impianti::Impianto *impianto,
                        const QList<Programmazione::Voce> &voci,
                        const Operazioni::RisultatoInvio &preparazione) {
    Risultato r;
    if (!impianto || preparazione.esito != Operazioni::Esito::Fatto) {
        r.invio = preparazione;
    } else {
        r = InvioImpianto::Invia(o, voci, *impianto, opzioni_.senzaCopia, opzioni_.descrizione);
        // The lines the file's checks left out stay told beside the result.
        r.invio.avviso = preparazione.avviso;
        r.invio.spezzate = preparazione.spezzate;
        Operazioni::MostraSaltate(o, r.invio);
    }
    r.parole = Parole(r, impianto, opzioni_);
    if (!r.avviso.isEmpty()) r.parole += QStringLiteral("; ") + r.avviso;
    if (registro_ && !registro_->Fine(r.parole)) r.nonAnnotato = registro_->Errore();
    return r;
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
            if (!v) return false;
            r.copia = v->numero;
            r.nomeCopia = v->nome;
            return true;
        };
        r.invio = Operazioni::InviaConCopia(o, voci, conserva);
    }
    if (r.invio.esito != Operazioni::Esito::Fatto) return r;
    QString errore;
    if (const auto v =
            Versioni::Conserva(impianto.nome, Versioni::Tipo::Inviato, Testi(voci),
                               QStringLiteral("Inviato: %1").arg(descrizione), &errore)) {
        r.inviato = v->numero;
        r.nomeInviato = v->nome;
    } else
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
        return QStringLiteral("Testi uguali a quelli noti dell'impianto \"%1\", fino alla "
                              "versione %2: nessuna nuova versione.")
            .arg(impianto, Versioni::Detta(*v));
    return QStringLiteral("%1 testi conservati come versione %2 dell'impianto \"%3\".")
        .arg(v->testi)
        .arg(Versioni::Detta(*v), impianto);
}

QList<Programmazione::Voce> Voci(const Versioni::Testi &testi) {
    QList<Programmazione::Voce> voci;
    for (auto t = testi.cbegin(); t != testi.cend(); ++t)
        voci.append({t.key() + t.value(), 0, t.key() + t.value()});
    return voci;
}

std::optional<Ripristino> PreparaRipristino(Operazioni::Osservatore &o, const QString &impianto,
                                            const QString &chiave, QString *errore) {
    const auto v = Versioni::Trova(Versioni::Elenco(impianto, Versioni::Lettura::Nomi), chiave);
    if (!v) {
        *errore = QStringLiteral("l'impianto \"%1\" non ha la versione %2").arg(impianto, chiave);
        return std::nullopt;
    }
    Ripristino r;
    r.versione = *v;
    // The version's file goes through a send's own checks.
    V::NomeFile = v->percorso;
    r.preparazione = Operazioni::PreparaInvio(o, &r.voci);
    return r;
}

std::optional<QList<Programmazione::Voce>> VociDellaVersione(const QString &impianto, int numero,
                                                             QString *errore) {
    struct Muto : Operazioni::Osservatore {
        void Riga1(const QString &) override {}
        void Riga2(const QString &) override {}
        void Avanzamento(const QString &, int, int) override {}
        void Conferma() override {}
    } muto;
    // The file chosen elsewhere stays the one it was.
    const QString primo = V::NomeFile;
    const auto r = PreparaRipristino(muto, impianto, QString::number(numero), errore);
    V::NomeFile = primo;
    if (!r) return std::nullopt;
    switch (r->preparazione.esito) {
    case Operazioni::Esito::FileNonLeggibile:
        *errore = r->preparazione.motivo;
        return std::nullopt;
    case Operazioni::Esito::FileRifiutato:
        *errore = QStringLiteral("%1: %2").arg(r->versione.percorso, r->preparazione.motivo);
        return std::nullopt;
    default:
        return r->voci;
    }
}

} // namespace InvioImpianto
