// Fuzz target: the network address the user writes (tcp://HOST:PORT, ...).
//
// Checked: it is refused as no network address exactly when its scheme is
// none of ours; an accepted one has a host and a port from 1 to 65535, and
// written again in the usual form (brackets where the host needs them) it is
// read the same; blanks around it do not count.

#include "link/IndirizzoRete.h"
#include "Verifica.h"

namespace {

QString Scrivi(const Indirizzo &a) {
    const bool parentesi = a.host.contains(QLatin1Char(':')) || a.host.contains(QLatin1Char('/')) ||
                           a.host.startsWith(QLatin1Char('['));
    return (a.rfc2217 ? QStringLiteral("rfc2217://") : QStringLiteral("tcp://")) +
           (parentesi ? QLatin1Char('[') + a.host + QLatin1Char(']') : a.host) + QLatin1Char(':') +
           QString::number(a.porta);
}

bool Uguali(const Indirizzo &a, const Indirizzo &b) {
    return a.rfc2217 == b.rfc2217 && a.host == b.host && a.porta == b.porta && a.errore == b.errore;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *d, size_t n) {
    const QString testo = Testo(d, n);
    const Indirizzo a = LeggiIndirizzo(testo);
    VERIFICA(IndirizzoDiRete(testo) == !a.errore.startsWith(QStringLiteral("non è un indirizzo")));
    VERIFICA(Uguali(LeggiIndirizzo(QStringLiteral(" \t") + testo + QStringLiteral("\r\n ")), a));
    if (!a.errore.isEmpty()) return 0;
    VERIFICA(!a.host.isEmpty() && a.porta >= 1);
    const QString scritto = Scrivi(a);
    VERIFICA(IndirizzoDiRete(scritto));
    VERIFICA(Uguali(LeggiIndirizzo(scritto), a));
    return 0;
}
