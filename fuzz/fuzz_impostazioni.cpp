// Fuzz target: the line settings text ("9600,E,7,1") of the serial control.
//
// Accepted exactly when it has four comma-separated fields (blanks around a
// field do not count): a positive speed, one parity letter of N E O M S in
// either case, 5 to 8 data bits, 1, 1.5 or 2 stop bits. An accepted text is
// what Settings() gives back, and is accepted again; a refused one leaves the
// settings as they were.

#include "link/MSComm.h"
#include "Verifica.h"

#include <limits>

namespace {

QString SenzaSpazi(const QString &campo) {
    qsizetype da = 0, a = campo.size();
    while (da < a && campo[da].isSpace())
        ++da;
    while (a > da && campo[a - 1].isSpace())
        --a;
    return campo.mid(da, a - da);
}

// A decimal number with an optional '+', or -1 when it is none or too big for an int.
long long Numero(const QString &campo) {
    const QString c = campo.startsWith(QLatin1Char('+')) ? campo.mid(1) : campo;
    if (c.isEmpty()) return -1;
    long long valore = 0;
    for (const QChar ch : c) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9')) return -1;
        valore = valore * 10 + (ch.unicode() - '0');
        if (valore > std::numeric_limits<int>::max()) return -1;
    }
    return valore;
}

bool Valide(const QString &testo) {
    const QStringList campi = testo.split(QLatin1Char(','));
    if (campi.size() != 4) return false;
    const long long velocita = Numero(SenzaSpazi(campi[0]));
    const QString parita = SenzaSpazi(campi[1]);
    const long long dati = Numero(SenzaSpazi(campi[2]));
    const QString stop = SenzaSpazi(campi[3]);
    return velocita > 0 && parita.size() == 1 && QStringLiteral("NEOMSneoms").contains(parita) &&
           dati >= 5 && dati <= 8 &&
           (stop == QLatin1String("1") || stop == QLatin1String("1.5") ||
            stop == QLatin1String("2"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *d, size_t n) {
    static MSComm porta;
    const QString testo = Testo(d, n);
    const QString prima = porta.Settings();
    const bool accettate = porta.setSettings(testo);
    VERIFICA(accettate == Valide(testo));
    if (!accettate) {
        VERIFICA(porta.Settings() == prima);
        return 0;
    }
    VERIFICA(porta.Settings() == testo);
    MSComm altra;
    VERIFICA(altra.setSettings(porta.Settings()) && altra.Settings() == testo);
    // The same settings written the usual way are accepted too.
    const QStringList campi = testo.split(QLatin1Char(','));
    const QString usuale = QStringLiteral("%1,%2,%3,%4")
                               .arg(Numero(SenzaSpazi(campi[0])))
                               .arg(SenzaSpazi(campi[1]).toUpper())
                               .arg(Numero(SenzaSpazi(campi[2])))
                               .arg(SenzaSpazi(campi[3]));
    VERIFICA(altra.setSettings(usuale) && altra.Settings() == usuale);
    return 0;
}
