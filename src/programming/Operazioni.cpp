#include "programming/Operazioni.h"

#include "files/FormatoMessaggi.h"
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"

namespace Operazioni {

namespace {
// Shown on a status line when the panel did not answer at all: the
// identifier may be wrong, and the command line can find the right one.
const QString SuggerimentoCerca = QStringLiteral("Chi risponde: velto318 --cerca");
} // namespace

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
    return r;
}

RisultatoInvio ScriviEVerifica(Osservatore &o, const QList<Programmazione::Voce> &voci) {
    RisultatoInvio r;
    // Phase 1: every accepted line is written as it comes.
    int conteggio = 0;
    for (const Programmazione::Voce &v : voci) {
        o.Avanzamento(QStringLiteral("Scrittura"), conteggio, int(voci.size()));
        const QString &voce = v.voce;
        V::Testi[conteggio++] = voce;
        o.Riga1(voce);
        V::Comando = Comandi::ScriviTesto(V::Identificativo, voce);
        V::LunghezzaRisposta = Comandi::LunghezzaScriviTesto;
        FormSeriale::Istanza().InviaAllaSeriale();
        if (!Comandi::ScritturaAccettata(V::Risposta)) {
            o.Riga1(V::Risposta);
            if (V::ErroreSeriale) o.Riga2(SuggerimentoCerca);
            V::MessaggioErrore = QStringLiteral(" Errore risposta ");
            r = {Esito::ScritturaRifiutata, {},           voce, V::Risposta, {},
                 V::ErroreSeriale,          conteggio - 1};
            o.Conferma();
            return r;
        }
    }
    r.scritti = conteggio;

    // Phase 2: every text written is read back and compared.
    for (int k = 0; k < conteggio; ++k) {
        o.Avanzamento(QStringLiteral("Verifica"), k, conteggio);
        const QString numero = V::Testi[k].left(3);
        o.Riga1(QStringLiteral("0R") + numero);
        const QString letto = Rileggi(numero);
        const QString atteso = V::Testi[k].mid(3);
        o.Riga1(atteso);
        o.Riga2(letto);
        if (letto != atteso) {
            if (V::ErroreSeriale) o.Riga2(SuggerimentoCerca);
            V::MessaggioErrore = QStringLiteral("Errore Dati non scritti giusti.");
            r = {Esito::Diverso, {}, V::Testi[k], V::Risposta, letto, V::ErroreSeriale, conteggio};
            o.Conferma();
            return r;
        }
    }
    o.Avanzamento(QStringLiteral("Verifica"), conteggio, conteggio);
    o.Riga2(QStringLiteral("DATI UGUALI  TUTTO OK "));
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
    if (r.esito == Esito::Fatto && !r.avviso.isEmpty()) o.Riga1(r.avviso);
    return r;
}

QString Rileggi(const QString &numero) {
    V::Comando = Comandi::LeggiTesto(V::Identificativo, numero);
    V::LunghezzaRisposta = Comandi::LunghezzaLeggiTesto;
    FormSeriale::Istanza().InviaAllaSeriale();
    // A reply shorter than its header gives an empty text: never a match.
    return Programmazione::TestoRisposta(V::Risposta);
}

RisultatoConfronto Confronta(Osservatore &o, const QList<Programmazione::Voce> &voci) {
    RisultatoConfronto r;
    for (const Programmazione::Voce &v : voci) {
        o.Avanzamento(QStringLiteral("Confronto"), r.confrontati, int(voci.size()));
        const QString letto = Rileggi(v.voce.left(3));
        if (V::ErroreSeriale) {
            r.muta = v.voce;
            return r;
        }
        ++r.confrontati;
        if (letto != v.voce.mid(3)) {
            r.diverse << v;
            r.letti << letto;
        }
    }
    o.Avanzamento(QStringLiteral("Confronto"), r.confrontati, int(voci.size()));
    return r;
}

RisultatoLettura LeggiTesti(Osservatore &o) {
    RisultatoLettura r;
    V::CorpoFile.clear();
    for (int n = 0; n <= UltimoTestoLetto; ++n) {
        o.Avanzamento(QStringLiteral("Lettura"), n, UltimoTestoLetto + 1);
        V::NumeroTesto = qint16(n);
        TreCifre();
        o.Riga1(QStringLiteral("0R") + V::NumeroTre);
        V::Comando = Comandi::LeggiTesto(V::Identificativo, V::NumeroTre);
        V::LunghezzaRisposta = Comandi::LunghezzaLeggiTesto;
        FormSeriale::Istanza().InviaAllaSeriale();
        // A reply shorter than its header is as good as none.
        if (V::Risposta == V::MarcatoreNessunaRisposta ||
            V::Risposta.size() < Comandi::TestaRisposta) {
            o.Riga1(QStringLiteral("0R%1  %2").arg(V::NumeroTre, SuggerimentoCerca));
            o.Riga2(QStringLiteral("Errore seriale. Controlla identificativo"));
            V::MessaggioErrore = QStringLiteral("Errore seriale");
            r.numero = n;
            o.Conferma();
            return r;
        }
        // Bytes after the reply's CR, or a CR or LF inside the text, never
        // split a line of the file.
        V::Testi[n] = Programmazione::TestoLetto(V::Risposta);
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

} // namespace Operazioni
