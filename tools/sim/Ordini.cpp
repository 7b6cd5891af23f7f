#include "Ordini.h"

#include <vector>

namespace sim {

namespace {

bool Bianco(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The next word of `riga` from `pos`, blanks before it skipped; `pos` ends after it.
std::string Parola(const std::string &riga, size_t &pos) {
    while (pos < riga.size() && Bianco(riga[pos]))
        ++pos;
    const size_t da = pos;
    while (pos < riga.size() && !Bianco(riga[pos]))
        ++pos;
    return riga.substr(da, pos - da);
}

bool Interruttore(const std::string &v, bool *acceso) {
    if (v == "on" || v == "1") {
        *acceso = true;
        return true;
    }
    if (v == "off" || v == "0") {
        *acceso = false;
        return true;
    }
    return false;
}

Esito Errore(const std::string &uso) {
    return Esito{"error " + uso, std::string(), false};
}

} // namespace

bool Numero(const std::string &testo, long long minimo, long long massimo, long long *n) {
    if (testo.empty()) return false;
    long long v = 0;
    for (char c : testo) {
        if (c < '0' || c > '9') return false;
        const int cifra = c - '0';
        if (v > massimo / 10 || v * 10 > massimo - cifra)
            return false; // checked before it overflows
        v = v * 10 + cifra;
    }
    if (v < minimo) return false;
    *n = v;
    return true;
}

Esito Ordine(Pannello &p, const std::string &riga) {
    size_t pos = 0;
    const std::string ordine = Parola(riga, pos);
    Esito esito{"ok", std::string(), false};
    long long n = 0;
    bool acceso = false;

    if (ordine == "text") {
        // The text is the rest of the line after the blank that follows the number.
        if (!Numero(Parola(riga, pos), 0, NumeroTesti - 1, &n)) return Errore("text NNN TEXT");
        std::string t = pos < riga.size() ? riga.substr(pos + 1) : std::string();
        t.resize(LunghezzaTesto, ' ');
        p.testi[size_t(n)] = t;
        return esito;
    }

    std::vector<std::string> a;
    for (std::string w = Parola(riga, pos); !w.empty(); w = Parola(riga, pos))
        a.push_back(w);
    const auto uno = [&a]() { return a.size() == 1; };
    const auto carattere = [&a, &uno]() { return uno() && a[0].size() == 1; };

    if (ordine == "status") {
        if (!carattere()) return Errore("status C");
        p.stato = a[0][0];
    } else if (ordine == "input") {
        if (a.size() != 2 || !Numero(a[0], 1, NumeroIngressi, &n) || a[1].size() != 1)
            return Errore("input N C (N 1-46)");
        p.ingressi[size_t(n - 1)] = a[1][0];
    } else if (ordine == "inputs") {
        if (!uno() || a[0].size() != size_t(NumeroIngressi))
            return Errore("inputs S (46 characters)");
        p.ingressi = a[0];
    } else if (ordine == "key") {
        if (!carattere()) return Errore("key C");
        p.tasto = a[0][0];
    } else if (ordine == "silent") {
        if (!uno() || !Interruttore(a[0], &acceso)) return Errore("silent on|off");
        p.muto = acceso;
    } else if (ordine == "silentafter") {
        if (!uno() || !Numero(a[0], 0, MassimoRisposte, &n))
            return Errore("silentafter N (0: never silent)");
        p.tacciDopo = n;
        p.risposte = 0;
    } else if (ordine == "drop") {
        if (!uno() || !Numero(a[0], 0, MassimoSalto, &n))
            return Errore("drop N (0-" + std::to_string(MassimoSalto) + ", 0: none)");
        p.saltaOgni = int(n);
        p.risposte = 0;
    } else if (ordine == "delay") {
        if (!uno() || !Numero(a[0], 0, MassimoRitardoMs, &n))
            return Errore("delay MS (0-" + std::to_string(MassimoRitardoMs) + ")");
        p.ritardoMs = int(n);
    } else if (ordine == "late" || ordine == "junk" || ordine == "extra") {
        // The Nth reply from now only: late by MS, a noise byte before it, one
        // character too many before its CR.
        const bool tardi = ordine == "late";
        long long ms = 0;
        if (a.size() != (tardi ? 2u : 1u) || !Numero(a[0], 1, MassimoColpo, &n) ||
            (tardi && !Numero(a[1], 0, MassimoRitardoMs, &ms)))
            return Errore(ordine + (tardi ? " N MS" : " N") + " (N 1-" +
                          std::to_string(MassimoColpo) + ": the Nth reply from now)");
        (tardi ? p.tardiA : ordine == "junk" ? p.sporcoA : p.extraA) = p.risposte + n;
        if (tardi) p.tardiMs = int(ms);
    } else if (ordine == "truncate") {
        if (!uno() || !Interruttore(a[0], &acceso)) return Errore("truncate on|off");
        p.tronca = acceso;
    } else if (ordine == "noise") {
        if (!uno() || !Interruttore(a[0], &acceso)) return Errore("noise on|off");
        p.rumore = acceso;
    } else if (ordine == "refuse") {
        if (!uno() || !Interruttore(a[0], &acceso)) return Errore("refuse on|off");
        p.rifiuta = acceso;
    } else if (ordine == "change") {
        if (uno() && a[0] == "off")
            p.cambiato = -1;
        else if (uno() && Numero(a[0], 0, NumeroTesti - 1, &n))
            p.cambiato = int(n);
        else
            return Errore("change NNN|off (NNN 0-199)");
    } else if (ordine == "dump") {
        if (!uno()) return Errore("dump PATH");
        esito.elencoIn = a[0];
    } else if (ordine == "quit") {
        if (!a.empty()) return Errore("quit");
        esito.fine = true;
    } else {
        return Errore("unknown order: " + riga);
    }
    return esito;
}

} // namespace sim
