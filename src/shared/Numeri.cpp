#include "shared/Numeri.h"

#include "shared/Variabili.h"

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
        } else if (CifraDecimale(c)) {
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

void TreCifre() {
    int n = V::NumeroTesto;
    QString centinaia = QStringLiteral("0");
    if (n >= 100) {
        centinaia = QStringLiteral("1");
        n -= 100;
    }
    QString decine = QStringLiteral("0");
    for (int limite = 10; limite <= 100; limite += 10) {
        if (n < limite) {
            decine = QString::number(limite / 10 - 1);
            n -= limite - 10;
            break;
        }
    }
    V::NumeroTre = centinaia + decine + QString::number(n);
}
