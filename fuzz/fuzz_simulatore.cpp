// Fuzz target: the panel simulator's orders and commands, read against the tool.
//
// The input is a script, one item a line: the first line is the panel's
// identifier when it has three characters; "!X" sends the command Id X as it
// comes off the line; "?ENTRY" writes a message-file entry the way the tool
// does; any other line is an order. Checked: an order either succeeds or is
// refused and then changes nothing; the panel always keeps 200 texts of 16
// characters and 46 inputs; the line carries the reply exactly unless a fault
// is on; and at the end every state the panel holds reaches the tool intact
// through the tool's own commands and reply decoders.

#include "link/Comandi.h"
#include "sim/Ordini.h"
#include "sim/Pannello.h"
#include "Verifica.h"

#include <string>
#include <vector>

namespace {

std::string Std(const QString &testo) {
    return testo.toLatin1().toStdString();
}

QString DaStd(const std::string &testo) {
    return QString::fromLatin1(testo.data(), qsizetype(testo.size()));
}

// A tool command as the panel receives it: without its final CR.
std::string SenzaCr(const QString &comando) {
    VERIFICA(comando.endsWith(QChar(13)));
    return Std(comando.chopped(1));
}

bool Integro(const sim::Pannello &p) {
    if (p.testi.size() != size_t(sim::NumeroTesti)) return false;
    for (const std::string &t : p.testi)
        if (t.size() != size_t(sim::LunghezzaTesto)) return false;
    return p.ingressi.size() == size_t(sim::NumeroIngressi) && p.saltaOgni >= 0 &&
           p.ritardoMs >= 0 && p.tacciDopo >= 0 && p.cambiato >= -1 &&
           p.cambiato < sim::NumeroTesti;
}

// The value of a word of decimal digits, or -1 when it is none or above `massimo`.
long long Decimale(const std::string &parola, long long massimo) {
    if (parola.empty()) return -1;
    unsigned __int128 v = 0;
    for (const char c : parola) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + unsigned(c - '0');
        if (v > static_cast<unsigned __int128>(massimo)) return -1;
    }
    return static_cast<long long>(v);
}

std::vector<std::string> Parole(const std::string &riga) {
    std::vector<std::string> parole;
    std::string p;
    for (const char c : riga + ' ') {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r') {
            if (!p.empty()) parole.push_back(p);
            p.clear();
        } else {
            p += c;
        }
    }
    return parole;
}

void VerificaNumero(const std::string &parola) {
    for (const long long massimo : {199LL, 2147483647LL, 9223372036854775807LL}) {
        long long n = -7;
        const long long atteso = Decimale(parola, massimo);
        VERIFICA(sim::Numero(parola, 0, massimo, &n) == (atteso >= 0));
        VERIFICA(n == (atteso >= 0 ? atteso : -7));
    }
}

void VerificaOrdine(sim::Pannello &p, const std::string &riga) {
    const sim::Pannello prima = p;
    const sim::Esito e = sim::Ordine(p, riga);
    VERIFICA(Integro(p));
    const std::vector<std::string> parole = Parole(riga);
    for (const std::string &parola : parole)
        VerificaNumero(parola);
    if (e.risposta != "ok") {
        VERIFICA(e.risposta.rfind("error ", 0) == 0);
        VERIFICA(p == prima && e.elencoIn.empty() && !e.fine);
        return;
    }
    VERIFICA(!parole.empty());
    const std::string &ordine = parole[0];
    const std::string valore = parole.size() == 2 ? parole[1] : std::string();
    const auto acceso = [&valore] { return valore == "on" || valore == "1"; };
    if (ordine == "status") VERIFICA(p.stato == valore[0]);
    if (ordine == "key") VERIFICA(p.tasto == valore[0]);
    if (ordine == "inputs") VERIFICA(p.ingressi == valore);
    if (ordine == "input") {
        VERIFICA(parole.size() == 3 && parole[2].size() == 1);
        const long long k = Decimale(parole[1], sim::NumeroIngressi);
        VERIFICA(k >= 1 && p.ingressi[size_t(k - 1)] == parole[2][0]);
    }
    if (ordine == "silent") VERIFICA(p.muto == acceso());
    if (ordine == "truncate") VERIFICA(p.tronca == acceso());
    if (ordine == "noise") VERIFICA(p.rumore == acceso());
    if (ordine == "refuse") VERIFICA(p.rifiuta == acceso());
    if (ordine == "change")
        VERIFICA(p.cambiato == (valore == "off" ? -1 : Decimale(valore, sim::NumeroTesti - 1)));
    if (ordine == "delay") VERIFICA(p.ritardoMs == Decimale(valore, 2147483647LL));
    if (ordine == "drop") VERIFICA(p.saltaOgni == Decimale(valore, 2147483647LL));
    if (ordine == "silentafter") VERIFICA(p.tacciDopo == Decimale(valore, 9223372036854775807LL));
    if (ordine == "dump") {
        VERIFICA(e.elencoIn == valore);
        const std::string elenco = sim::ElencoTesti(p);
        VERIFICA(elenco.size() == size_t(sim::NumeroTesti) * 20);
        for (int i = 0; i < sim::NumeroTesti; ++i) {
            char tre[8];
            std::snprintf(tre, sizeof tre, "%03d", i);
            VERIFICA(elenco.substr(size_t(i) * 20, 20) == tre + p.testi[size_t(i)] + "\n");
        }
    }
    if (ordine == "quit") VERIFICA(e.fine);
    // Besides the text it names, an order changes no text.
    long long n = -1;
    if (ordine == "text") {
        n = Decimale(parole.size() > 1 ? parole[1] : std::string(), sim::NumeroTesti - 1);
        VERIFICA(n >= 0);
        // The text comes from the line, its blanks at the end aside.
        const std::string &t = p.testi[size_t(n)];
        VERIFICA(riga.find(t.substr(0, t.find_last_not_of(' ') + 1)) != std::string::npos);
    }
    for (int i = 0; i < sim::NumeroTesti; ++i)
        if (i != n) VERIFICA(p.testi[size_t(i)] == prima.testi[size_t(i)]);
}

void VerificaComando(sim::Pannello &p, const std::string &comando) {
    sim::Pannello copia = p;
    const std::string risposta = sim::Risposta(copia, comando);
    const bool muto = p.muto;
    const long long risposte = p.risposte;
    const std::vector<sim::Uscita> fuori = sim::Comando(p, comando);
    VERIFICA(Integro(p) && p.testi == copia.testi);
    size_t i = 0;
    if (p.rs485) {
        VERIFICA(!fuori.empty() && fuori[0].dati == comando + "\r" && fuori[0].ritardoMs == 0);
        i = 1;
    }
    VERIFICA(fuori.size() <= i + 1);
    if (fuori.size() == i + 1) {
        VERIFICA(!risposta.empty() && !muto && fuori[i].ritardoMs == p.ritardoMs);
        if (!p.tronca && !p.rumore) VERIFICA(fuori[i].dati == risposta + "\r");
    }
    VERIFICA(p.risposte == risposte + (risposta.empty() || muto ? 0 : 1));
}

// What the tool reads of the panel, through its own commands and decoders,
// matches what the panel holds.
void VerificaLettura(sim::Pannello &p) {
    const QString id = DaStd(p.id);
    const bool treCaratteri = p.id.size() == 3;

    const Comandi::Richiesta s = Comandi::Componi(Comandi::Codice::Stato, id);
    const QString stato = DaStd(sim::Risposta(p, SenzaCr(s.testo)));
    if (treCaratteri) VERIFICA(stato.size() == s.lunghezza);
    VERIFICA(Comandi::StatoCentrale(stato) == QChar::fromLatin1(p.stato));

    for (int g = 1; g <= 3; ++g) {
        const Comandi::Richiesta c =
            Comandi::Componi(Comandi::Codice::Ingressi, id, QString::number(g));
        const QString r = DaStd(sim::Risposta(p, SenzaCr(c.testo)));
        if (treCaratteri) VERIFICA(r.size() == c.lunghezza);
        const QList<Comandi::Ingresso> ingressi = Comandi::StatiIngressi(g, r);
        VERIFICA(ingressi.size() == Comandi::IngressiNelGruppo(g));
        for (const Comandi::Ingresso &i : ingressi)
            VERIFICA(i.carattere == QChar::fromLatin1(p.ingressi[size_t(i.finestra)]));
    }

    const Comandi::Richiesta t = Comandi::Componi(Comandi::Codice::Tasto, id);
    const QString tasto = DaStd(sim::Risposta(p, SenzaCr(t.testo)));
    if (treCaratteri) VERIFICA(tasto.size() == t.lunghezza);
    const std::optional<QChar> codice = Comandi::CodiceTasto(tasto);
    VERIFICA(codice && *codice == QChar::fromLatin1(p.tasto));

    // Texts still blank read alike: a few of them stand for the others.
    const std::string bianco(size_t(sim::LunghezzaTesto), ' ');
    for (int n = 0; n < sim::NumeroTesti; ++n) {
        if (p.testi[size_t(n)] == bianco && n != p.cambiato && n % 50 != 0 && n != 199) continue;
        const QString tre = QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
        const Comandi::Richiesta c = Comandi::Componi(Comandi::Codice::LeggiTesto, id, tre);
        const QString r = DaStd(sim::Risposta(p, SenzaCr(c.testo)));
        // The read reply is its length less the CR, which the line takes away.
        if (treCaratteri) VERIFICA(r.size() == c.lunghezza - 1);
        const QString testo = Comandi::Dati(Comandi::Codice::LeggiTesto, r);
        std::string atteso = p.testi[size_t(n)];
        if (n == p.cambiato) atteso[15] = atteso[15] == '#' ? '!' : '#';
        VERIFICA(testo == DaStd(atteso));
    }
}

// The tool writes an entry; the panel takes it exactly when its number is
// below 200 and writes are not refused, and then reads it back unchanged.
void VerificaScrittura(sim::Pannello &p, const QString &voce) {
    const sim::Pannello prima = p;
    const Comandi::Richiesta c = Comandi::Componi(Comandi::Codice::ScriviTesto, DaStd(p.id), voce);
    const QString r = DaStd(sim::Risposta(p, SenzaCr(c.testo)));
    const QString record = voce.left(Comandi::LunghezzaVoce).leftJustified(Comandi::LunghezzaVoce);
    bool numero = false;
    const int n = record.left(3).toInt(&numero);
    numero = numero && record[0].isDigit() && record[1].isDigit() && record[2].isDigit() &&
             record[0].unicode() < 128 && record[1].unicode() < 128 && record[2].unicode() < 128;
    const bool presa = numero && n < sim::NumeroTesti && !p.rifiuta;
    if (p.id.size() == 3) VERIFICA(r.size() + 1 == c.lunghezza);
    VERIFICA(Comandi::ScritturaAccettata(r) == presa);
    for (int i = 0; i < sim::NumeroTesti; ++i)
        if (!presa || i != n) VERIFICA(p.testi[size_t(i)] == prima.testi[size_t(i)]);
    if (presa) VERIFICA(DaStd(p.testi[size_t(n)]) == record.mid(3));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *d, size_t n) {
    const std::string script(reinterpret_cast<const char *>(d), n);
    std::vector<std::string> righe;
    size_t da = 0;
    for (size_t a; (a = script.find('\n', da)) != std::string::npos; da = a + 1)
        righe.push_back(script.substr(da, a - da));
    righe.push_back(script.substr(da));
    if (righe.size() > 64) return -1; // long scripts add nothing but time

    sim::Pannello p;
    if (righe[0].size() == 3) p.id = righe[0];
    sim::CaricaTesti(p, script);
    VERIFICA(Integro(p));
    for (size_t i = 1; i < righe.size(); ++i) {
        const std::string &riga = righe[i];
        if (riga.rfind("!", 0) == 0)
            VerificaComando(p, p.id + riga.substr(1));
        else if (riga.rfind("?", 0) == 0)
            VerificaScrittura(p, DaStd(riga.substr(1)));
        else
            VerificaOrdine(p, riga);
    }
    VerificaLettura(p);
    return 0;
}
