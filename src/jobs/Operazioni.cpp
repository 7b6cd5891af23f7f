#include "jobs/Operazioni.h"

#include "files/FileMessaggi.h"
#include "files/FormatoMessaggi.h"
#include "jobs/Esiti.h"
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "link/Traccia.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"

#include <cstdio>
#include <optional>

namespace Operazioni {

namespace {
// Shown on a status line when the panel did not answer at all: the
// identifier may be wrong, and the window's menu can find the right one; or
// the port itself is gone (an adapter pulled out), and the menu can choose
// another. A panel that answered earlier on this port has the right
// identifier: it stopped answering.
QString SuggerimentoMuto() {
    const FormSeriale &seriale = FormSeriale::Istanza();
    if (!seriale.MSComm1.PortOpen()) return QStringLiteral("Porta persa: tasto destro, Porta…");
    if (const QString fino = seriale.RispondevaFino(V::Identificativo); !fino.isEmpty())
        return QStringLiteral("La centrale non risponde più (rispondeva fino alle %1)").arg(fino);
    return QStringLiteral("Tasto destro: Cerca il VELTO");
}
// Reads of one text before its replies are given up as untrustworthy.
constexpr int MassimoLetture = 4;

// One write of an entry: sent again when the reply neither accepts it nor has
// the shape of a reply (a byte lost or added on the line); writing the same
// text twice changes nothing on the panel.
void Scrivi(const QString &voce) {
    FormSeriale &seriale = FormSeriale::Istanza();
    for (int volta = 0; volta < MassimoLetture - 1 && !V::ChiusuraRichiesta; ++volta) {
        seriale.Scambia(Comandi::Codice::ScriviTesto, voce);
        if (V::ErroreSeriale || Comandi::ScritturaAccettata(V::Risposta) ||
            Comandi::RispostaScritturaIntera(V::Risposta))
            return;
        seriale.RispostaNonValida();
    }
}

int lavoriInCorso = 0;
// A job exchanging with the panel, from its first exchange to its return.
struct InCorso {
    InCorso() { ++lavoriInCorso; }
    ~InCorso() { --lavoriInCorso; }
    InCorso(const InCorso &) = delete;
    InCorso &operator=(const InCorso &) = delete;
};

// A send stopped by a signal: which texts the panel holds now. The first
// `scritti` entries went to the panel, in file order; their numbers need not
// follow one another.
RisultatoInvio InvioInterrotto(Osservatore &o, const QList<Programmazione::Voce> &voci, int scritti,
                               int verificati) {
    RisultatoInvio r;
    r.esito = Esito::Interrotto;
    r.scritti = scritti;
    const int totale = int(voci.size());
    const QString primo = scritti > 0 ? voci[0].numero() : QString(),
                  ultimo = scritti > 0 ? voci[scritti - 1].numero() : QString();
    const QString quali =
        scritti == 1
            ? QStringLiteral("scritto 1 testo di %1, il %2").arg(QString::number(totale), primo)
            : QStringLiteral("scritti %1 testi di %2, da %3 a %4")
                  .arg(QString::number(scritti), QString::number(totale), primo, ultimo);
    if (scritti == 0)
        r.motivo = QStringLiteral("Invio interrotto: nessun testo scritto, la centrale ha "
                                  "quelli di prima");
    else if (scritti < totale)
        r.motivo =
            QStringLiteral("Invio interrotto: %1; gli altri sono quelli di prima").arg(quali);
    else
        r.motivo = QStringLiteral("Invio interrotto durante la verifica: %1; %2 %3")
                       .arg(quali, Concorda(verificati, "verificato", "verificati"),
                            QString::number(verificati));
    o.Riga2(r.motivo);
    return r;
}
} // namespace

bool LavoroInCorso() {
    return lavoriInCorso > 0;
}

void AnnunciaInterruzione(const QString &testo) {
    Traccia::Nota(testo);
    std::fputs(qPrintable(testo + QLatin1Char('\n')), stderr);
    std::fflush(stderr);
}

RisultatoInvio PreparaInvio(Osservatore &o, QList<Programmazione::Voce> *voci) {
    RisultatoInvio r;
    QString errore;
    bool troppoGrande = false;
    const auto scansione = FormatoMessaggi::LeggiMessaggi(V::NomeFile, &errore, &troppoGrande);
    if (!scansione) {
        o.Riga1(troppoGrande ? QStringLiteral("File troppo grande: nulla è stato inviato")
                             : QStringLiteral("File non leggibile: nulla è stato inviato"));
        o.Riga2(errore);
        r.esito = Esito::FileNonLeggibile;
        r.motivo = errore;
        return r;
    }
    *voci = Programmazione::VociDaInviare(*scansione);
    // What the panel cannot hold, and a file that may be cut short or that
    // names a text twice, is refused before the first write.
    const QString rifiuto = Programmazione::RifiutoInvio(*voci, scansione->chiusa);
    if (!rifiuto.isEmpty()) {
        o.Riga1(rifiuto);
        o.Riga2(QStringLiteral("Nulla è stato inviato al VELTO"));
        r.esito = Esito::FileRifiutato;
        r.motivo = rifiuto;
    }
    r.avviso = Programmazione::RigheNonInviate(*scansione);
    r.spezzate = int(Programmazione::RigheSpezzate(*scansione).size());
    return r;
}

namespace {
// Writes every entry as it comes, then reads each back and compares it.
RisultatoInvio ScriviTutte(Osservatore &o, const QList<Programmazione::Voce> &voci) {
    const InCorso inCorso;
    RisultatoInvio r;
    // Phase 1: every accepted line is written as it comes.
    int conteggio = 0;
    for (const Programmazione::Voce &v : voci) {
        if (V::Interruzione) return InvioInterrotto(o, voci, conteggio, 0);
        o.Avanzamento(QStringLiteral("Scrittura"), conteggio, int(voci.size()));
        const QString &voce = v.voce;
        V::Testi[conteggio++] = voce;
        o.Riga1(voce);
        Scrivi(voce);
        if (!Comandi::ScritturaAccettata(V::Risposta)) {
            o.Riga1(V::Risposta);
            if (V::ErroreSeriale) o.Riga2(SuggerimentoMuto());
            V::MessaggioErrore = QStringLiteral(" Errore risposta ");
            r = {Esito::ScritturaRifiutata, {},           v, V::Risposta, {},
                 V::ErroreSeriale,          conteggio - 1};
            o.Conferma();
            return r;
        }
    }
    r.scritti = conteggio;
    o.Avanzamento(QStringLiteral("Scrittura"), conteggio, conteggio); // all written

    // Phase 2: every text written is read back and compared.
    for (int k = 0; k < conteggio; ++k) {
        if (V::Interruzione) return InvioInterrotto(o, voci, conteggio, k);
        o.Avanzamento(QStringLiteral("Verifica"), k, conteggio);
        const Programmazione::Voce &voce = voci[k];
        const QString numero = voce.numero();
        o.Riga1(QStringLiteral("0R") + numero);
        const TestoPannello letto = Rileggi(numero);
        const QString atteso = voce.testo();
        o.Riga1(atteso);
        o.Riga2(letto.testo);
        if (letto.esito == TestoPannello::Incerto) {
            o.Riga2(LineaDisturbata());
            V::MessaggioErrore = QStringLiteral("Errore seriale");
            r = {Esito::Incerta, {}, voce, V::Risposta, {}, false, conteggio};
            o.Conferma();
            return r;
        }
        if (letto.esito == TestoPannello::Muto || letto.testo != atteso) {
            const bool muto = letto.esito == TestoPannello::Muto;
            if (muto) o.Riga2(TestoNonLetto(numero, false));
            V::MessaggioErrore = DatiNonScrittiGiusti() + QLatin1Char('.');
            r = {Esito::Diverso, {}, voce, V::Risposta, letto.testo, muto, conteggio};
            o.Conferma();
            return r;
        }
    }
    o.Avanzamento(QStringLiteral("Verifica"), conteggio, conteggio);
    o.Riga2(TuttoOk() + QLatin1Char(' '));
    return r;
}

// "3 testi scritti, 182 già uguali": what a send given the panel's texts did.
QString ScrittiEUguali(int scritti, int uguali) {
    const QString s = scritti == 0   ? QStringLiteral("nessun testo scritto")
                      : scritti == 1 ? QStringLiteral("1 testo scritto")
                                     : QStringLiteral("%1 testi scritti").arg(scritti);
    return uguali == 1 ? s + QStringLiteral(", 1 già uguale")
                       : s + QStringLiteral(", %1 già uguali").arg(uguali);
}
} // namespace

RisultatoInvio ScriviEVerifica(Osservatore &o, const QList<Programmazione::Voce> &voci,
                               const QList<Programmazione::Voce> *presenti) {
    if (!presenti) return ScriviTutte(o, voci);
    // The number and the text as the panel holds them: nothing to write.
    QList<Programmazione::Voce> diverse;
    for (qsizetype k = 0; k < voci.size(); ++k)
        if (k >= presenti->size() || (*presenti)[k].voce != voci[k].voce) diverse << voci[k];
    RisultatoInvio r = ScriviTutte(o, diverse);
    r.giaUguali = int(voci.size() - diverse.size());
    if (r.esito == Esito::Fatto) o.Riga1(ScrittiEUguali(r.scritti, r.giaUguali));
    return r;
}

RisultatoInvio ProgrammaTesti(Osservatore &o) {
    o.Avanzamento(QString(), 0, 0); // nothing of an earlier job stays on the bar
    o.Riga2(QStringLiteral("Programmo scritte"));
    QList<Programmazione::Voce> voci;
    const RisultatoInvio p = PreparaInvio(o, &voci);
    if (p.esito != Esito::Fatto) return p;
    RisultatoInvio r = ScriviEVerifica(o, voci);
    r.avviso = p.avviso;
    r.spezzate = p.spezzate;
    MostraSaltate(o, r);
    return r;
}

void MostraSaltate(Osservatore &o, const RisultatoInvio &r) {
    if (r.esito == Esito::Fatto && !r.avviso.isEmpty()) o.Riga1(r.avviso);
    if (r.esito == Esito::Fatto && r.spezzate > 0) o.Riga2(DatiUgualiMa(RigheSaltate()));
}

TestoPannello Rileggi(const QString &numero) {
    FormSeriale &seriale = FormSeriale::Istanza();
    Comandi::ConfermaTesto conferma;
    for (int lettura = 0; lettura < MassimoLetture && !V::ChiusuraRichiesta; ++lettura) {
        seriale.Scambia(Comandi::Codice::LeggiTesto, numero);
        if (V::ErroreSeriale)
            return {seriale.NonIntera() ? TestoPannello::Incerto : TestoPannello::Muto, QString()};
        const Comandi::RispostaTesto r = Comandi::LeggiRispostaTesto(V::Risposta);
        if (conferma.Accetta(r.testo, !r.coda && !seriale.ScambioIrregolare()))
            return {TestoPannello::Letto, r.testo};
    }
    return {TestoPannello::Incerto, QString()};
}

RisultatoConfronto Confronta(Osservatore &o, const QList<Programmazione::Voce> &voci) {
    const InCorso inCorso;
    RisultatoConfronto r;
    // The bar ends on the count the result gives, however the job ends.
    const auto avanza = [&] {
        o.Avanzamento(QStringLiteral("Confronto"), r.confrontati, int(voci.size()));
    };
    for (const Programmazione::Voce &v : voci) {
        if (V::Interruzione || o.Fermato()) {
            r.interrotto = true;
            avanza();
            return r;
        }
        avanza();
        const TestoPannello letto = Rileggi(v.numero());
        if (letto.esito != TestoPannello::Letto) {
            r.muta = v;
            r.incerta = letto.esito == TestoPannello::Incerto;
            return r;
        }
        ++r.confrontati;
        r.presenti << Programmazione::Voce{v.numero() + letto.testo, v.riga, QString()};
        if (letto.testo != v.testo()) {
            r.diverse << v;
            r.letti << letto.testo;
        }
    }
    avanza();
    return r;
}

RisultatoInvio InviaConCopia(Osservatore &o, const QList<Programmazione::Voce> &voci,
                             const ConservaCopia &conserva) {
    const InCorso inCorso; // a signal while the copy is kept lets the send stop
    o.Riga2(QStringLiteral("Copia dei testi del VELTO"));
    const RisultatoConfronto copia = Confronta(o, voci);
    if (copia.interrotto) return InvioInterrotto(o, voci, 0, 0);
    RisultatoInvio r;
    QString errore;
    if (!copia.completo()) {
        o.Riga1(
            QStringLiteral("0R%1  %2")
                .arg(copia.muta.numero(), copia.incerta ? LineaDisturbata() : SuggerimentoMuto()));
        o.Riga2(QStringLiteral("Copia non letta: nulla è stato inviato al VELTO"));
        V::MessaggioErrore = QStringLiteral("Errore seriale");
        r.voce = copia.muta;
        r.risposta = V::Risposta;
        r.muto = !copia.incerta;
        r.motivo = QStringLiteral("Copia dei testi del VELTO non letta (%1): nulla è stato inviato")
                       .arg(TestoNonLetto(copia.muta.numero(), copia.incerta).toLower());
    } else if (!conserva(copia.presenti, &errore)) {
        o.Riga1(errore);
        o.Riga2(QStringLiteral("Copia non salvata: nulla è stato inviato al VELTO"));
        V::MessaggioErrore = QStringLiteral("Copia non salvata");
        r.motivo = errore.isEmpty()
                       ? QStringLiteral("Copia dei testi del VELTO non salvata: nulla è stato "
                                        "inviato")
                       : QStringLiteral("Copia dei testi del VELTO non salvata (%1): nulla è "
                                        "stato inviato")
                             .arg(errore);
    } else {
        return ScriviEVerifica(o, voci, &copia.presenti);
    }
    r.esito = Esito::CopiaNonRiuscita;
    o.Conferma();
    return r;
}

RisultatoLettura LeggiTesti(Osservatore &o) {
    const InCorso inCorso;
    RisultatoLettura r;
    V::CorpoFile.clear();
    for (int n = 0; n <= UltimoTestoLetto; ++n) {
        if (V::Interruzione) {
            r.interrotta = true;
            return r;
        }
        o.Avanzamento(QStringLiteral("Lettura"), n, UltimoTestoLetto + 1);
        V::NumeroTesto = qint16(n);
        TreCifre();
        o.Riga1(QStringLiteral("0R") + V::NumeroTre);
        const TestoPannello letto = Rileggi(V::NumeroTre);
        if (letto.esito != TestoPannello::Letto) {
            r.incerta = letto.esito == TestoPannello::Incerto;
            o.Riga1(QStringLiteral("0R%1  %2")
                        .arg(V::NumeroTre, r.incerta ? LineaDisturbata() : SuggerimentoMuto()));
            // What was seen is on the first line: no answer, a port lost, or
            // replies that cannot be trusted.
            o.Riga2(r.incerta ? QStringLiteral("Errore seriale. Nessun file scritto")
                              : QStringLiteral("Errore seriale. Controlla identificativo"));
            V::MessaggioErrore = QStringLiteral("Errore seriale");
            r.numero = n;
            o.Conferma();
            return r;
        }
        // A CR or LF inside the text never splits a line of the file.
        V::Testi[n] = Programmazione::TestoLetto(letto.testo);
        if (FormatoMessaggi::NumeroNelCorpo(n)) {
            o.Riga2(V::Testi[n]);
            V::CorpoFile += FormatoMessaggi::RigaLettura(V::NumeroTre, V::Testi[n]);
        }
    }
    o.Avanzamento(QStringLiteral("Lettura"), UltimoTestoLetto + 1, UltimoTestoLetto + 1);
    o.Riga2(QStringLiteral("letti tutti"));
    V::CommentoProposto = QStringLiteral("Letti dal Velto via seriale");
    r.completa = true;
    return r;
}

QStringList OrdineCerca(const QString &configurato) {
    QStringList ordine;
    if (!configurato.isEmpty()) ordine << configurato;
    for (int n = 0; n <= 99; ++n) {
        const QString id = QStringLiteral("&%1").arg(n, 2, 10, QLatin1Char('0'));
        if (id != configurato) ordine << id;
    }
    return ordine;
}

RisultatoCerca Cerca(Osservatore &o, const QStringList &ordine, bool primoBasta) {
    const InCorso inCorso;
    FormSeriale &seriale = FormSeriale::Istanza();
    const int totale = int(ordine.size());
    RisultatoCerca r;
    // The bar ends on the count the result gives, however the search ends.
    const auto avanza = [&] { o.Avanzamento(QStringLiteral("Cerco"), r.provati, totale); };
    for (const QString &id : ordine) {
        if (V::Interruzione || o.Fermato()) {
            r.interrotta = true;
            avanza();
            return r;
        }
        o.Riga1(id);
        avanza();
        seriale.ProvaIdentificativo(id);
        ++r.provati;
        // What answers with no panel's reply at all ends the search, even
        // when it closes the link after saying so.
        if (V::ErroreSeriale && seriale.Estranea()) {
            r.estranea = seriale.PercheNonAffidabili();
            avanza();
            return r;
        }
        if (!seriale.MSComm1.PortOpen()) {
            r.chiusa = id;
            avanza();
            return r;
        }
        // An identifier whose replies are not whole is not counted, but named.
        r.eco = r.eco || seriale.Eco();
        if (V::ErroreSeriale && seriale.NonIntera() && !seriale.Eco()) r.nonInteri << id;
        if (V::ErroreSeriale) continue;
        r.trovati << id;
        r.risposte << V::Risposta;
        o.Trovato(id, V::Risposta);
        if (primoBasta) break;
    }
    avanza();
    return r;
}

} // namespace Operazioni
