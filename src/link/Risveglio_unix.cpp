// A terminal in non-canonical mode with VTIME 0 reports itself readable
// only once VMIN characters are waiting.
#include "link/Risveglio.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

bool SvegliaDopo(qintptr descrittore, int caratteri) {
    termios t{};
    const int fd = int(descrittore);
    if (::tcgetattr(fd, &t) != 0) return false;
    const cc_t minimo = cc_t(std::clamp(caratteri, 1, 255));
    if (t.c_cc[VMIN] == minimo && t.c_cc[VTIME] == 0) return true;
    t.c_cc[VMIN] = minimo;
    t.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

qint64 ScriviSubito(qintptr descrittore, const QByteArray &dati) {
    ssize_t scritti;
    do {
        scritti = ::write(int(descrittore), dati.constData(), size_t(dati.size()));
    } while (scritti < 0 && errno == EINTR);
    if (scritti < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    return qint64(scritti);
}

bool LineaNeutra(const QString &dispositivo) {
    const int fd = ::open(QFile::encodeName(dispositivo).constData(),
                          O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    termios t{};
    bool fatto = ::tcgetattr(fd, &t) == 0;
    if (fatto) {
        ::cfmakeraw(&t);
        t.c_iflag = 0;
        t.c_cflag = CS8 | CREAD | CLOCAL;
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        ::cfsetispeed(&t, B9600);
        ::cfsetospeed(&t, B9600);
        fatto = ::tcsetattr(fd, TCSANOW, &t) == 0;
    }
    ::close(fd);
    return fatto;
}

bool LineaAncoraViva(qintptr descrittore) {
    pollfd p{int(descrittore), POLLIN, 0};
    if (::poll(&p, 1, 0) < 0) return false;
    return !(p.revents & (POLLHUP | POLLERR | POLLNVAL));
}
