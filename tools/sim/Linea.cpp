#include "Linea.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// While the far end is away: a device is looked for again this often; a pty's master,
// whose slave nobody holds, is listened to again after this pause.
constexpr std::chrono::milliseconds RiprovaDispositivo(500);
constexpr std::chrono::milliseconds PausaPty(50);

void Linea7E1(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return;
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CS7 | PARENB | CLOCAL | CREAD;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(fd, TCSANOW, &t);
}

// Opened without waiting for a carrier, then set up and made blocking again.
int ApriSeriale(const std::string &dispositivo) {
    const int fd = ::open(dispositivo.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    Linea7E1(fd);
    const int flag = ::fcntl(fd, F_GETFL);
    if (flag >= 0) ::fcntl(fd, F_SETFL, flag & ~O_NONBLOCK);
    return fd;
}

} // namespace

bool Linea::ApriPty(const std::string &collegamento) {
    fd_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd_ < 0 || grantpt(fd_) || unlockpt(fd_)) {
        std::perror("posix_openpt");
        return false;
    }
    // The link goes into a folder that must be there: said plainly, before
    // anything else is made.
    const std::string::size_type barra = collegamento.find_last_of('/');
    const std::string cartella = barra == std::string::npos ? std::string(".")
                                 : barra == 0               ? std::string("/")
                                                            : collegamento.substr(0, barra);
    struct stat info {};
    if (::stat(cartella.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        std::cerr << "velto318-sim: la cartella " << cartella
                  << " non esiste: impossibile creare il collegamento " << collegamento << "\n";
        return false;
    }
    nome_ = ptsname(fd_);
    // Keep the slave open ourselves: the tool may close and reopen it without the
    // master seeing a hang-up, and the line settings stay.
    tieniAperto_ = ::open(nome_.c_str(), O_RDWR | O_NOCTTY);
    if (tieniAperto_ >= 0) Linea7E1(tieniAperto_);
    ::unlink(collegamento.c_str());
    if (::symlink(nome_.c_str(), collegamento.c_str()) != 0) {
        std::cerr << "velto318-sim: impossibile creare il collegamento " << collegamento << ": "
                  << std::strerror(errno) << "\n";
        return false;
    }
    collegamento_ = collegamento;
    return true;
}

bool Linea::ApriDispositivo(const std::string &dispositivo) {
    nome_ = dispositivo;
    fd_ = ApriSeriale(dispositivo);
    if (fd_ < 0) {
        std::perror(dispositivo.c_str());
        return false;
    }
    return true;
}

void Linea::Chiudi() {
    if (!collegamento_.empty()) {
        char dove[512] = {};
        if (::readlink(collegamento_.c_str(), dove, sizeof dove - 1) > 0 && nome_ == dove)
            ::unlink(collegamento_.c_str());
        collegamento_.clear();
    }
    if (tieniAperto_ >= 0) ::close(tieniAperto_);
    if (fd_ >= 0) ::close(fd_);
    tieniAperto_ = fd_ = -1;
}

int Linea::Descrittore() const {
    return assente_ ? -1 : fd_;
}

int Linea::AttesaMs() const {
    Clock::time_point prossima = Clock::time_point::max();
    if (!coda_.empty()) prossima = coda_.front().quando;
    if (assente_) prossima = std::min(prossima, riprovaAlle_);
    if (prossima == Clock::time_point::max()) return -1;
    // Rounded up, so that the wait does not end just before the moment.
    const long long ms =
        std::chrono::ceil<std::chrono::milliseconds>(prossima - Clock::now()).count();
    return int(std::clamp<long long>(ms, 0, INT_MAX));
}

std::string Linea::Ricevi(short eventi) {
    if (assente_ || fd_ < 0) return std::string();
    if (!(eventi & POLLIN)) {
        if (eventi & (POLLHUP | POLLERR | POLLNVAL)) Perso();
        return std::string();
    }
    char buf[256];
    const ssize_t letti = ::read(fd_, buf, sizeof buf);
    if (letti < 0 && (errno == EINTR || errno == EAGAIN)) return std::string();
    if (letti <= 0) {
        Perso();
        return std::string();
    }
    return std::string(buf, size_t(letti));
}

void Linea::Accoda(const std::string &dati, int ritardoMs) {
    // At most about 24 days ahead: far inside the clock's 64-bit range.
    coda_.push_back({Clock::now() + std::chrono::milliseconds(std::max(ritardoMs, 0)), dati});
}

void Linea::Servi() {
    if (assente_ && Clock::now() >= riprovaAlle_) Riprova();
    while (!coda_.empty() && coda_.front().quando <= Clock::now()) {
        // Output due while the far end is away is lost, as on a cut wire.
        if (!assente_) Scrivi(coda_.front().dati);
        coda_.pop_front();
    }
}

void Linea::Scrivi(const std::string &dati) {
    for (char c : dati) {
        const unsigned char b = static_cast<unsigned char>(c) & 0x7F;
        ssize_t scritti;
        while ((scritti = ::write(fd_, &b, 1)) < 0 && (errno == EINTR || errno == EAGAIN))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (scritti < 0) return; // the far end is gone: the next wait sees it
        // 9600 bit/s, 10 bits a character
        if (!veloce_) std::this_thread::sleep_for(std::chrono::nanoseconds(1041667));
    }
}

void Linea::Perso() {
    assente_ = true;
    if (collegamento_.empty()) {
        std::cerr << "velto318-sim: " << nome_ << " hung up, waiting for it to come back\n";
        ::close(fd_);
        fd_ = -1;
        riprovaAlle_ = Clock::now() + RiprovaDispositivo;
    } else {
        // Nobody holds the pty's slave: the master reports a hang-up until the tool
        // opens it again, so it is left alone for a moment instead of asked at once.
        riprovaAlle_ = Clock::now() + PausaPty;
    }
}

void Linea::Riprova() {
    if (!collegamento_.empty()) {
        assente_ = false;
        return;
    }
    fd_ = ApriSeriale(nome_);
    if (fd_ < 0) {
        riprovaAlle_ = Clock::now() + RiprovaDispositivo;
        return;
    }
    assente_ = false;
    std::cerr << "velto318-sim: " << nome_ << " is back\n";
}
