// A terminal in non-canonical mode with VTIME 0 reports itself readable
// only once VMIN characters are waiting.
#include "link/Risveglio.h"

#include <algorithm>
#include <termios.h>

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
