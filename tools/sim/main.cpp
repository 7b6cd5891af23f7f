// velto318-sim: a Velto alarm panel on a serial line, for tests and demos.
//
// It is written from the panel's side of the conversation and shares no code with
// the service tool. It opens a new pseudo-terminal (and links its slave at the path
// given with --link) or a real serial device (--device), prints "READY <device>",
// answers the commands addressed to its identifier (Pannello.h) and takes one order
// a line on standard input (Ordini.h), each answered on standard output.

#include "Linea.h"
#include "Ordini.h"
#include "Pannello.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <poll.h>
#include <string>
#include <vector>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t fine = 0;
void SuSegnale(int) {
    fine = 1;
}

struct Opzioni {
    std::string collegamento, dispositivo, registro, testi;
    bool veloce = false;
    bool solo9600 = false; // --need-9600: silent while the line is not at 9600
    // --wire-in: a command is heard only once its characters would have come
    // over the wire (a pseudo-terminal hands them over at once).
    bool ingressoLento = false;
    // --also ID[=FILE]: more panels on the same line (an RS485 bus), each
    // with its identifier and texts.
    std::vector<sim::Pannello> altri;
};

// Whether the line is set to 9600 bit/s. On a pseudo-terminal the master
// reads the settings made on the slave; of them a pseudo-terminal keeps only
// the speed (it is always 8 bits without parity).
bool LineaA9600(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return true; // not a terminal: nothing to check
    return ::cfgetospeed(&t) == B9600;
}

FILE *registro = nullptr;
const Clock::time_point inizio = Clock::now();

[[noreturn]] void Uso(const std::string &perche = std::string()) {
    if (!perche.empty()) std::cerr << "velto318-sim: " << perche << "\n";
    std::cerr << "usage: velto318-sim (--link PATH | --device DEV) [--id &45] [--file F.vlt]\n"
                 "  [--rs485] [--fast] [--log FILE] [--status C] [--silent] [--drop-every N]\n"
                 "  [--delay MS] [--truncate] [--noise] [--refuse-writes] [--change NNN]\n"
                 "  [--silent-after N] [--need-9600] [--wire-in] [--also ID[=F.vlt]]...\n"
                 "--need-9600: commands that come while the line is not set to 9600 bit/s\n"
                 "  are logged and not answered\n"
                 "--wire-in: a command is answered as if its characters had come at 9600 bit/s\n"
                 "--also: one more panel on the line (a bus), with its identifier and texts;\n"
                 "  an order \"ID order\" goes to it\n";
    std::exit(2);
}

long long Valore(const std::string &opzione, const std::string &testo, long long massimo) {
    long long n = 0;
    if (!sim::Numero(testo, 0, massimo, &n))
        Uso(opzione + " takes a whole number from 0 to " + std::to_string(massimo) + ", not \"" +
            testo + "\"");
    return n;
}

bool LeggiFile(const std::string &percorso, std::string *contenuto) {
    std::ifstream f(percorso, std::ios::binary);
    if (!f) return false;
    contenuto->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
}

Opzioni LeggiOpzioni(int argc, char **argv, sim::Pannello &p) {
    Opzioni o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto valore = [&]() -> std::string {
            if (i + 1 >= argc) Uso(a + " needs a value");
            return argv[++i];
        };
        if (a == "--link")
            o.collegamento = valore();
        else if (a == "--device")
            o.dispositivo = valore();
        else if (a == "--id")
            p.id = valore();
        else if (a == "--file")
            o.testi = valore();
        else if (a == "--log")
            o.registro = valore();
        else if (a == "--rs485")
            p.rs485 = true;
        else if (a == "--need-9600")
            o.solo9600 = true;
        else if (a == "--also") {
            const std::string v = valore();
            sim::Pannello altro;
            altro.id = v.substr(0, v.find('='));
            if (v.find('=') != std::string::npos) {
                std::string contenuto;
                if (!LeggiFile(v.substr(v.find('=') + 1), &contenuto))
                    Uso("--also: cannot read " + v.substr(v.find('=') + 1));
                sim::CaricaTesti(altro, contenuto);
            }
            o.altri.push_back(altro);
        } else if (a == "--wire-in")
            o.ingressoLento = true;
        else if (a == "--fast")
            o.veloce = true;
        else if (a == "--status") {
            const std::string s = valore();
            if (s.size() != 1) Uso("--status takes one character");
            p.stato = s[0];
        } else if (a == "--silent")
            p.muto = true;
        else if (a == "--drop-every")
            p.saltaOgni = int(Valore(a, valore(), sim::MassimoSalto));
        else if (a == "--delay")
            p.ritardoMs = int(Valore(a, valore(), sim::MassimoRitardoMs));
        else if (a == "--truncate")
            p.tronca = true;
        else if (a == "--noise")
            p.rumore = true;
        else if (a == "--refuse-writes")
            p.rifiuta = true;
        else if (a == "--change")
            p.cambiato = int(Valore(a, valore(), sim::NumeroTesti - 1));
        else if (a == "--silent-after")
            p.tacciDopo = Valore(a, valore(), sim::MassimoRisposte);
        else
            Uso();
    }
    if (o.collegamento.empty() == o.dispositivo.empty()) Uso();
    return o;
}

void Registra(const std::string &comando) {
    if (!registro) return;
    const double s = std::chrono::duration<double>(Clock::now() - inizio).count();
    std::fprintf(registro, "%.3f\t%s\n", s, comando.c_str());
    std::fflush(registro);
}

// The panel of the line an order or a command is for: one of the others when
// it starts with its identifier, else the first.
sim::Pannello &Destinatario(sim::Pannello &p, std::vector<sim::Pannello> &altri,
                            const std::string &testo) {
    for (sim::Pannello &a : altri)
        if (testo.compare(0, a.id.size(), a.id) == 0) return a;
    return p;
}

void Esegui(sim::Pannello &primo, std::vector<sim::Pannello> &altri, const std::string &ordine) {
    // "&46 text 3 ..." is for the panel &46.
    sim::Pannello &p = Destinatario(primo, altri, ordine);
    const std::string riga =
        &p == &primo ? ordine : ordine.substr(std::min(ordine.size(), p.id.size() + 1));
    sim::Esito e = sim::Ordine(p, riga);
    if (!e.elencoIn.empty()) {
        std::ofstream f(e.elencoIn, std::ios::binary);
        f << sim::ElencoTesti(p);
        if (!f) e.risposta = "error cannot write " + e.elencoIn;
    }
    if (e.fine) fine = 1;
    std::cout << e.risposta << std::endl;
}

// Listens to the line and to the orders until a quit or a signal.
void Servi(sim::Pannello &p, Linea &linea, const Opzioni &o) {
    std::vector<sim::Pannello> altri = o.altri;
    std::string comando, ordine;
    bool ordiniAperti = true;
    while (!fine) {
        pollfd fds[2] = {{linea.Descrittore(), POLLIN, 0},
                         {ordiniAperti ? STDIN_FILENO : -1, POLLIN, 0}};
        const int n = ::poll(fds, 2, linea.AttesaMs());
        if (n < 0 && errno != EINTR) break;
        linea.Servi();
        if (n <= 0) continue;
        // The log keeps the bytes as they came; the panel hears 7 bits of each.
        for (char c : linea.Ricevi(fds[0].revents)) {
            if ((c & 0x7F) != '\r') {
                comando += c;
                continue;
            }
            if (o.solo9600 && !LineaA9600(linea.Descrittore())) {
                Registra(comando + " (not answered: line not at 9600)");
                comando.clear();
                continue;
            }
            Registra(comando);
            std::string settebit = comando;
            for (char &b : settebit)
                b = char(b & 0x7F);
            // At 9600 bit/s a character (start, 7 bits, parity, stop) takes 1.04 ms.
            const int arrivo = o.ingressoLento ? int((comando.size() + 1) * 10000 / 9600) : 0;
            sim::Pannello &chi = Destinatario(p, altri, settebit);
            // The bus gives back every command once, whoever answers it.
            if (&chi != &p && p.rs485) linea.Accoda(comando + "\r", 0);
            for (const sim::Uscita &u : sim::Comando(chi, settebit))
                linea.Accoda(u.dati, u.ritardoMs + arrivo);
            comando.clear();
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buf[256];
            const ssize_t letti = ::read(STDIN_FILENO, buf, sizeof buf);
            if (letti <= 0 && !(letti < 0 && errno == EINTR)) ordiniAperti = false;
            for (ssize_t i = 0; i < letti; ++i) {
                if (buf[i] == '\n') {
                    Esegui(p, altri, ordine);
                    ordine.clear();
                } else if (buf[i] != '\r') {
                    ordine += buf[i];
                }
            }
        }
    }
}

} // namespace

int main(int argc, char **argv) {
    sim::Pannello p;
    const Opzioni o = LeggiOpzioni(argc, argv, p);
    if (!o.testi.empty()) {
        std::string contenuto;
        if (!LeggiFile(o.testi, &contenuto)) {
            std::cerr << "velto318-sim: cannot read " << o.testi << "\n";
            return 2;
        }
        sim::CaricaTesti(p, contenuto);
    }
    if (!o.registro.empty() && !(registro = std::fopen(o.registro.c_str(), "a"))) {
        std::perror(o.registro.c_str());
        return 2;
    }
    Linea linea(o.veloce);
    if (!(o.dispositivo.empty() ? linea.ApriPty(o.collegamento)
                                : linea.ApriDispositivo(o.dispositivo)))
        return 1;
    std::signal(SIGTERM, SuSegnale);
    std::signal(SIGINT, SuSegnale);
    std::signal(SIGPIPE, SIG_IGN);
    std::cout << "READY " << linea.Nome() << std::endl;
    Servi(p, linea, o);
    linea.Chiudi();
    if (registro) std::fclose(registro);
    return 0;
}
