#include "shared/Numeri.h"

double ValoreIniziale(const QString &testo) {
    QString numero;
    bool segno = false, cifre = false, punto = false;
    for (const QChar c : testo) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) continue;
        if ((c == QLatin1Char('+') || c == QLatin1Char('-')) && !segno && !cifre && !punto) {
            segno = true;
            numero += c;
        } else if (c == QLatin1Char('.') && !punto) {
            punto = true;
            numero += c;
        } else if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            cifre = true;
            numero += c;
        } else {
            break;
        }
    }
    if (!cifre) return 0.0;
    if (numero.endsWith(QLatin1Char('.'))) numero.chop(1);
    return numero.toDouble();
}
