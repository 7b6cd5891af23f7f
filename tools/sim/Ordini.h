#pragma once
// The orders that change the simulated panel while it runs, one a line:
//
//   status C | input N C | inputs S46 | key C | text NNN TEXT | silent on|off |
//   silentafter N | drop N | delay MS | truncate on|off | noise on|off |
//   refuse on|off | change NNN|off | dump PATH | quit
//
// Each is answered with "ok", or "error ..." and then it has changed nothing.
// Plain C++ without I/O: writing the texts for "dump" is left to the caller.

#include "Pannello.h"

#include <string>

namespace sim {

// Limits of the numbers the orders and the options take.
constexpr long long MassimoRitardoMs = 2147483647; // about 24 days
constexpr long long MassimoSalto = 2147483647;
constexpr long long MassimoRisposte = 9223372036854775807LL;
// How far ahead a one-off fault (late, junk, extra) may be set, in replies.
constexpr long long MassimoColpo = 1000000;

struct Esito {
    std::string risposta; // "ok" or "error ..."
    std::string elencoIn; // "dump": the file that gets the 200 texts (ElencoTesti)
    bool fine = false;    // "quit"
};

Esito Ordine(Pannello &p, const std::string &riga);

// A whole number: decimal digits only, nothing before or after them, from `minimo`
// to `massimo` (both at least 0). False, and *n untouched, for anything else.
bool Numero(const std::string &testo, long long minimo, long long massimo, long long *n);

} // namespace sim
