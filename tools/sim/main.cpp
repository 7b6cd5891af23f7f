// velto318-sim: a Velto alarm panel on a serial line, for tests and demos.
//
// It is written from the panel's side of the conversation and shares no code
// with the service tool. It opens a new pseudo-terminal (and links its slave
// at the path given with --link) or a real serial device (--device), at
// 9600,E,7,1, and answers the commands addressed to its identifier:
//
//   Id "SA" CR                status    -> Id "SA" s CR                 (6 + CR)
//   Id "0R" NNN CR            read text -> Id "0R00" text16 CR          (23 + CR)
//   Id "0W018" NNN text16 "0W" CR write -> Id "0W" "R" CR (accepted) or "N"
//   Id "01" / "02" / "03" CR  inputs    -> Id "0g00" 16 states CR       (23 + CR)
//   Id "09" CR                key       -> Id "0900" k "00" CR          (10 + CR)
//
// The header characters (the first 5 of a status reply, the first 7 of the
// others) carry the identifier and the command code; the tool never reads them.
//
// Standard input takes one order a line and answers "ok" (or "error ...") on
// standard output: status C | input N C | inputs S46 | key C | text NNN TEXT |
// silent on|off | silentafter N | drop N | delay MS | truncate on|off | noise on|off |
// refuse on|off | change NNN|off | dump PATH | quit.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
volatile std::sig_atomic_t fine = 0;
void SuSegnale(int) {
    fine = 1;
}

struct Pannello {
    std::string id = "&45";
    std::vector<std::string> testi = std::vector<std::string>(200, std::string(16, ' '));
    char stato = 'R';
    std::string ingressi = std::string(46, '-');
    char tasto = '@';
    bool rs485 = false;
    bool veloce = false;
    // faults
    bool muto = false;
    int saltaOgni = 0;
    int ritardoMs = 0;
    bool tronca = false;
    bool rumore = false;
    bool rifiuta = false;
    int cambiato = -1;
    long tacciDopo = 0; // stop answering after this many replies (0: never)
    long risposte = 0;
};

struct Uscita {
    Clock::time_point quando;
    std::string dati;
};

Pannello P;
std::deque<Uscita> coda;
int fdLinea = -1;
FILE *registro = nullptr;
const Clock::time_point inizio = Clock::now();

std::string Sedici(std::string s) {
    s.resize(16, ' ');
    return s;
}

bool TreCifre(const std::string &s, size_t da, int *n) {
    if (s.size() < da + 3) return false;
    for (size_t i = da; i < da + 3; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    *n = std::stoi(s.substr(da, 3));
    return true;
}

void CaricaVlt(const std::string &percorso) {
    std::ifstream f(percorso, std::ios::binary);
    if (!f) {
        std::cerr << "velto318-sim: cannot read " << percorso << "\n";
        std::exit(2);
    }
    std::string tutto((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<std::string> righe;
    std::string riga;
    for (size_t i = 0; i < tutto.size(); ++i) {
        if (tutto[i] == '\r' || tutto[i] == '\n') {
            righe.push_back(riga);
            riga.clear();
            if (tutto[i] == '\r' && i + 1 < tutto.size() && tutto[i + 1] == '\n') ++i;
        } else {
            riga += tutto[i];
        }
    }
    if (!riga.empty()) righe.push_back(riga);
    for (size_t i = 1; i < righe.size(); ++i) {
        const std::string &r = righe[i];
        if (r.compare(0, 3, "END") == 0 || r.compare(0, 3, "end") == 0) break;
        int n;
        if (TreCifre(r, 0, &n) && n < 200) P.testi[n] = Sedici(r.size() > 3 ? r.substr(3, 16) : "");
    }
}

void Registra(const std::string &comando) {
    if (!registro) return;
    const double s = std::chrono::duration<double>(Clock::now() - inizio).count();
    std::fprintf(registro, "%.3f\t%s\n", s, comando.c_str());
    std::fflush(registro);
}

void ScriviPiano(const std::string &dati) {
    for (char c : dati) {
        unsigned char b = static_cast<unsigned char>(c) & 0x7F;
        while (::write(fdLinea, &b, 1) < 0 && (errno == EINTR || errno == EAGAIN))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // 9600 bit/s, 10 bits a character
        if (!P.veloce) std::this_thread::sleep_for(std::chrono::nanoseconds(1041667));
    }
}

void Accoda(const std::string &dati, int ritardoMs) {
    coda.push_back({Clock::now() + std::chrono::milliseconds(ritardoMs), dati});
}

std::string Risposta(const std::string &c) {
    const std::string id = P.id;
    const std::string resto = c.substr(id.size());
    if (resto == "SA") return id + "SA" + std::string(1, P.stato);
    if (resto == "01" || resto == "02" || resto == "03") {
        const int g = resto[1] - '0';
        std::string stati = P.ingressi.substr((g - 1) * 16, g == 3 ? 14 : 16);
        if (g == 3) stati += "--";
        return id + resto + "00" + stati;
    }
    if (resto == "09") return id + "0900" + std::string(1, P.tasto) + "00";
    int n;
    if (resto.size() == 5 && resto.compare(0, 2, "0R") == 0 && TreCifre(resto, 2, &n) && n < 200) {
        std::string t = P.testi[n];
        if (n == P.cambiato) t[15] = t[15] == '#' ? '!' : '#';
        return id + "0R00" + t;
    }
    if (resto.size() == 26 && resto.compare(0, 5, "0W018") == 0 &&
        resto.compare(24, 2, "0W") == 0) {
        const bool numero = TreCifre(resto, 5, &n) && n < 200;
        if (numero && !P.rifiuta) {
            P.testi[n] = resto.substr(8, 16);
            return id + "0WR";
        }
        return id + "0WN";
    }
    return std::string();
}

void Comando(const std::string &c) {
    Registra(c);
    // On an RS485 bus every command comes back from the line itself.
    if (P.rs485) Accoda(c + "\r", 0);
    if (c.compare(0, P.id.size(), P.id) != 0) return;
    const std::string r = Risposta(c);
    if (r.empty() || P.muto) return;
    ++P.risposte;
    if (P.tacciDopo > 0 && P.risposte > P.tacciDopo) return;
    if (P.saltaOgni > 0 && P.risposte % P.saltaOgni == 0) return;
    std::string fuori = r + "\r";
    if (P.tronca) fuori = r.substr(0, r.size() / 2);
    if (P.rumore) fuori += "%?#";
    Accoda(fuori, P.ritardoMs);
}

bool Acceso(const std::string &v) {
    return v == "on" || v == "1";
}

std::string Ordine(const std::string &riga) {
    std::istringstream in(riga);
    std::string cmd, a;
    in >> cmd;
    if (cmd == "status" && in >> a && a.size() == 1) {
        P.stato = a[0];
    } else if (cmd == "input") {
        int n;
        if (!(in >> n >> a) || n < 1 || n > 46 || a.size() != 1) return "error input N C (N 1-46)";
        P.ingressi[n - 1] = a[0];
    } else if (cmd == "inputs" && in >> a && a.size() == 46) {
        P.ingressi = a;
    } else if (cmd == "key" && in >> a && a.size() == 1) {
        P.tasto = a[0];
    } else if (cmd == "text") {
        int n;
        if (!(in >> n) || n < 0 || n > 199) return "error text NNN TEXT";
        std::string t;
        std::getline(in, t);
        P.testi[n] = Sedici(t.empty() ? t : t.substr(1));
    } else if (cmd == "silent" && in >> a) {
        P.muto = Acceso(a);
    } else if (cmd == "silentafter" && in >> P.tacciDopo) {
        P.risposte = 0;
    } else if (cmd == "drop" && in >> P.saltaOgni) {
        P.risposte = 0;
    } else if (cmd == "delay" && in >> P.ritardoMs) {
    } else if (cmd == "truncate" && in >> a) {
        P.tronca = Acceso(a);
    } else if (cmd == "noise" && in >> a) {
        P.rumore = Acceso(a);
    } else if (cmd == "refuse" && in >> a) {
        P.rifiuta = Acceso(a);
    } else if (cmd == "change" && in >> a) {
        P.cambiato = a == "off" ? -1 : std::atoi(a.c_str());
    } else if (cmd == "dump" && in >> a) {
        std::ofstream f(a, std::ios::binary);
        for (int i = 0; i < 200; ++i) {
            char n[8];
            std::snprintf(n, sizeof n, "%03d", i);
            f << n << P.testi[i] << "\n";
        }
        if (!f) return "error cannot write " + a;
    } else if (cmd == "quit") {
        fine = 1;
    } else {
        return "error unknown order: " + riga;
    }
    return "ok";
}

void Linea7E1(int fd) {
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CS7 | PARENB | CLOCAL | CREAD;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(fd, TCSANOW, &t);
}

void Uso() {
    std::cerr << "usage: velto318-sim (--link PATH | --device DEV) [--id &45] [--file F.vlt]\n"
                 "  [--rs485] [--fast] [--log FILE] [--status C] [--silent] [--drop-every N]\n"
                 "  [--delay MS] [--truncate] [--noise] [--refuse-writes] [--change NNN]\n"
                 "  [--silent-after N]\n";
    std::exit(2);
}

} // namespace

int main(int argc, char **argv) {
    std::string link, dispositivo, logFile, vlt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto valore = [&]() -> std::string {
            if (i + 1 >= argc) Uso();
            return argv[++i];
        };
        if (a == "--link")
            link = valore();
        else if (a == "--device")
            dispositivo = valore();
        else if (a == "--id")
            P.id = valore();
        else if (a == "--file")
            vlt = valore();
        else if (a == "--log")
            logFile = valore();
        else if (a == "--rs485")
            P.rs485 = true;
        else if (a == "--fast")
            P.veloce = true;
        else if (a == "--status")
            P.stato = valore().at(0);
        else if (a == "--silent")
            P.muto = true;
        else if (a == "--drop-every")
            P.saltaOgni = std::atoi(valore().c_str());
        else if (a == "--delay")
            P.ritardoMs = std::atoi(valore().c_str());
        else if (a == "--truncate")
            P.tronca = true;
        else if (a == "--noise")
            P.rumore = true;
        else if (a == "--refuse-writes")
            P.rifiuta = true;
        else if (a == "--change")
            P.cambiato = std::atoi(valore().c_str());
        else if (a == "--silent-after")
            P.tacciDopo = std::atol(valore().c_str());
        else
            Uso();
    }
    if (link.empty() == dispositivo.empty()) Uso();
    if (!vlt.empty()) CaricaVlt(vlt);
    if (!logFile.empty() && !(registro = std::fopen(logFile.c_str(), "a"))) {
        std::perror(logFile.c_str());
        return 2;
    }

    int tieniAperto = -1;
    std::string nomeLinea;
    if (!link.empty()) {
        fdLinea = posix_openpt(O_RDWR | O_NOCTTY);
        if (fdLinea < 0 || grantpt(fdLinea) || unlockpt(fdLinea)) {
            std::perror("posix_openpt");
            return 1;
        }
        nomeLinea = ptsname(fdLinea);
        // Keep the slave open ourselves: the tool may close and reopen it
        // without the master seeing a hang-up.
        tieniAperto = ::open(nomeLinea.c_str(), O_RDWR | O_NOCTTY);
        Linea7E1(tieniAperto);
        ::unlink(link.c_str());
        if (::symlink(nomeLinea.c_str(), link.c_str()) != 0) {
            std::perror(link.c_str());
            return 1;
        }
    } else {
        nomeLinea = dispositivo;
        fdLinea = ::open(dispositivo.c_str(), O_RDWR | O_NOCTTY);
        if (fdLinea < 0) {
            std::perror(dispositivo.c_str());
            return 1;
        }
        Linea7E1(fdLinea);
    }
    std::signal(SIGTERM, SuSegnale);
    std::signal(SIGINT, SuSegnale);
    std::signal(SIGPIPE, SIG_IGN);
    std::cout << "READY " << nomeLinea << std::endl;

    std::string inArrivo, ordine;
    bool stdinAperto = true;
    while (!fine) {
        int attesa = -1;
        if (!coda.empty()) {
            const auto resto = std::chrono::duration_cast<std::chrono::milliseconds>(
                coda.front().quando - Clock::now());
            attesa = std::max<int>(0, int(resto.count()) + 1);
        }
        pollfd fds[2] = {{fdLinea, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int n = ::poll(fds, stdinAperto ? 2 : 1, attesa);
        if (n < 0 && errno != EINTR) break;
        while (!coda.empty() && coda.front().quando <= Clock::now()) {
            ScriviPiano(coda.front().dati);
            coda.pop_front();
        }
        if (n <= 0) continue;
        if (fds[0].revents & POLLIN) {
            char buf[256];
            const ssize_t letti = ::read(fdLinea, buf, sizeof buf);
            for (ssize_t i = 0; i < letti; ++i) {
                const char c = char(buf[i] & 0x7F);
                if (c == '\r') {
                    Comando(inArrivo);
                    inArrivo.clear();
                } else {
                    inArrivo += c;
                }
            }
        }
        if (stdinAperto && (fds[1].revents & (POLLIN | POLLHUP))) {
            char buf[256];
            const ssize_t letti = ::read(STDIN_FILENO, buf, sizeof buf);
            if (letti <= 0) stdinAperto = false;
            for (ssize_t i = 0; i < letti; ++i) {
                if (buf[i] == '\n') {
                    std::cout << Ordine(ordine) << std::endl;
                    ordine.clear();
                } else if (buf[i] != '\r') {
                    ordine += buf[i];
                }
            }
        }
    }
    if (!link.empty()) {
        char dove[512] = {};
        if (::readlink(link.c_str(), dove, sizeof dove - 1) > 0 && nomeLinea == dove)
            ::unlink(link.c_str());
    }
    if (tieniAperto >= 0) ::close(tieniAperto);
    ::close(fdLinea);
    return 0;
}
