// Systems without lock files or /proc (Windows): nobody is named, and a
// refused opening of an existing port means it is in use.
#include "link/PorteSeriali.h"

QString ChiTieneLaPorta(const QString &) {
    return QString();
}

QString ChiTieneLaPorta(const QString &, const QStringList &, const QString &) {
    return QString();
}

Accesso AccessoAlDispositivo(const QString &) {
    return Accesso::Consentito;
}
