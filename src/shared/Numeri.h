#pragma once
#include <QString>

// Reads a number from the start of a text the way a leading-number conversion
// does: blanks are skipped, a sign and a decimal point are allowed, reading
// stops at the first character that cannot continue the number, and a text
// without a number gives 0.
double ValoreIniziale(const QString &testo);

// A decimal digit, 0 to 9 (no other script's digits).
inline bool CifraDecimale(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Writes NumeroTesto (0 to 199) as three digits into NumeroTre.
// reads NumeroTesto; writes NumeroTre
void TreCifre();
