#pragma once
// The simulated panel: its state and what it puts on the line for each command it
// receives. Plain C++ without I/O: the line (Linea) carries the bytes and the orders
// (Ordini) change the state.
//
//   Id "SA" CR                status    -> Id "SA" s CR                 (6 + CR)
//   Id "0R" NNN CR            read text -> Id "0R00" text16 CR          (23 + CR)
//   Id "0W018" NNN text16 "0W" CR write -> Id "0W" "R" CR (accepted) or "N"
//   Id "01" / "02" / "03" CR  inputs    -> Id "0g00" 16 states CR       (23 + CR)
//   Id "09" CR                key       -> Id "0900" k "00" CR          (10 + CR)
//
// The header characters (the first 5 of a status reply, the first 7 of the others)
// carry the identifier and the command code; the tool never reads them.

#include <string>
#include <vector>

namespace sim {

constexpr int NumeroTesti = 200;
constexpr int NumeroIngressi = 46;
constexpr int LunghezzaTesto = 16;

struct Pannello {
    std::string id = "&45";
    std::vector<std::string> testi =
        std::vector<std::string>(NumeroTesti, std::string(LunghezzaTesto, ' '));
    char stato = 'R';
    std::string ingressi = std::string(NumeroIngressi, '-');
    char tasto = '@';
    bool rs485 = false; // every command comes back from the bus before the reply
    // faults
    bool muto = false;
    int saltaOgni = 0; // every Nth reply is left out (0: none)
    int ritardoMs = 0; // each reply waits this long before it goes out
    bool tronca = false;
    bool rumore = false;
    bool rifiuta = false;
    int cambiato = -1;       // text read back with its last character changed (-1: none)
    long long tacciDopo = 0; // stop answering after this many replies (0: never)
    long long risposte = 0;
    // One-off faults, each on the reply with this count (0: none): that reply goes
    // out tardiMs late, has a noise byte before it, or one character too many.
    long long tardiA = 0;
    int tardiMs = 0;
    long long sporcoA = 0;
    long long extraA = 0;
};

bool operator==(const Pannello &a, const Pannello &b);
inline bool operator!=(const Pannello &a, const Pannello &b) {
    return !(a == b);
}

// One piece of output for the line: its bytes, and how long it waits before going out.
struct Uscita {
    std::string dati;
    int ritardoMs = 0;
};

// The reply to one command (without its CR), empty when the panel does not answer it:
// another identifier or an unknown command. A write it accepts changes that text.
std::string Risposta(Pannello &p, const std::string &comando);

// Everything the panel puts on the line for one command received (without its CR):
// the echo on an RS485 bus, then the reply as the faults make it.
std::vector<Uscita> Comando(Pannello &p, const std::string &comando);

// Texts from the contents of a message file: a comment line, then "NNN" and up to
// 16 characters a line, up to a line starting with "END" or "end".
void CaricaTesti(Pannello &p, const std::string &contenuto);

// The 200 texts, "NNN" and 16 characters a line, each line ending in LF.
std::string ElencoTesti(const Pannello &p);

} // namespace sim
