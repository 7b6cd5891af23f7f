// Systems without terminal settings (Windows): the program wakes for every
// character that arrives, as before.
#include "link/Risveglio.h"

bool SvegliaDopo(qintptr, int) {
    return false;
}

qint64 ScriviSubito(qintptr, const QByteArray &) {
    return -1;
}

bool LineaNeutra(const QString &) {
    return false;
}

bool LineaAncoraViva(qintptr) {
    return false;
}
