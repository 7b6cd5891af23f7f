#include "Pannello.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace sim {

namespace {

std::string Sedici(std::string s) {
    s.resize(LunghezzaTesto, ' ');
    return s;
}

// Three digits at `da`, for a text number below 200.
bool NumeroTesto(const std::string &s, size_t da, int *n) {
    if (s.size() < da + 3) return false;
    int v = 0;
    for (size_t i = da; i < da + 3; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    if (v >= NumeroTesti) return false;
    *n = v;
    return true;
}

} // namespace

bool operator==(const Pannello &a, const Pannello &b) {
    return a.id == b.id && a.testi == b.testi && a.stato == b.stato && a.ingressi == b.ingressi &&
           a.tasto == b.tasto && a.rs485 == b.rs485 && a.muto == b.muto &&
           a.saltaOgni == b.saltaOgni && a.ritardoMs == b.ritardoMs && a.tronca == b.tronca &&
           a.rumore == b.rumore && a.rifiuta == b.rifiuta && a.cambiato == b.cambiato &&
           a.tacciDopo == b.tacciDopo && a.risposte == b.risposte && a.tardiA == b.tardiA &&
           a.tardiMs == b.tardiMs && a.sporcoA == b.sporcoA && a.extraA == b.extraA;
}

std::string Risposta(Pannello &p, const std::string &comando) {
    const std::string &id = p.id;
    if (comando.compare(0, id.size(), id) != 0) return std::string();
    const std::string resto = comando.substr(id.size());
    if (resto == "SA") return id + "SA" + std::string(1, p.stato);
    if (resto == "01" || resto == "02" || resto == "03") {
        const int g = resto[1] - '0';
        std::string stati = p.ingressi.substr((g - 1) * 16, g == 3 ? 14 : 16);
        if (g == 3) stati += "--";
        return id + resto + "00" + stati;
    }
    if (resto == "09") return id + "0900" + std::string(1, p.tasto) + "00";
    int n;
    if (resto.size() == 5 && resto.compare(0, 2, "0R") == 0 && NumeroTesto(resto, 2, &n)) {
        std::string t = p.testi[n];
        if (n == p.cambiato) t[15] = t[15] == '#' ? '!' : '#';
        return id + "0R00" + t;
    }
    if (resto.size() == 26 && resto.compare(0, 5, "0W018") == 0 &&
        resto.compare(24, 2, "0W") == 0) {
        if (NumeroTesto(resto, 5, &n) && !p.rifiuta) {
            p.testi[n] = resto.substr(8, LunghezzaTesto);
            return id + "0WR";
        }
        return id + "0WN";
    }
    return std::string();
}

std::vector<Uscita> Comando(Pannello &p, const std::string &comando) {
    std::vector<Uscita> fuori;
    if (p.rs485) fuori.push_back({comando + "\r", 0});
    const std::string r = Risposta(p, comando);
    if (r.empty() || p.muto) return fuori;
    ++p.risposte;
    if (p.tacciDopo > 0 && p.risposte > p.tacciDopo) return fuori;
    if (p.saltaOgni > 0 && p.risposte % p.saltaOgni == 0) return fuori;
    // A one-off fault hits its reply, then is gone.
    const auto colpo = [&p](long long &a) {
        const bool ora = a == p.risposte;
        if (ora) a = 0;
        return ora;
    };
    std::string dati = r + (colpo(p.extraA) ? "x\r" : "\r");
    if (p.tronca) dati = r.substr(0, r.size() / 2);
    if (p.rumore) dati += "%?#";
    if (colpo(p.sporcoA)) dati.insert(0, "y");
    const long long ritardo = (long long)p.ritardoMs + (colpo(p.tardiA) ? p.tardiMs : 0);
    fuori.push_back({dati, int(std::min<long long>(ritardo, INT_MAX))});
    return fuori;
}

void CaricaTesti(Pannello &p, const std::string &contenuto) {
    std::vector<std::string> righe;
    std::string riga;
    for (size_t i = 0; i < contenuto.size(); ++i) {
        if (contenuto[i] == '\r' || contenuto[i] == '\n') {
            righe.push_back(riga);
            riga.clear();
            if (contenuto[i] == '\r' && i + 1 < contenuto.size() && contenuto[i + 1] == '\n') ++i;
        } else {
            riga += contenuto[i];
        }
    }
    if (!riga.empty()) righe.push_back(riga);
    for (size_t i = 1; i < righe.size(); ++i) {
        const std::string &r = righe[i];
        if (r.compare(0, 3, "END") == 0 || r.compare(0, 3, "end") == 0) break;
        int n;
        if (NumeroTesto(r, 0, &n)) p.testi[n] = Sedici(r.substr(3, LunghezzaTesto));
    }
}

std::string ElencoTesti(const Pannello &p) {
    std::string elenco;
    for (int i = 0; i < NumeroTesti; ++i) {
        char n[8];
        std::snprintf(n, sizeof n, "%03d", i);
        elenco += n + p.testi[i] + "\n";
    }
    return elenco;
}

} // namespace sim
