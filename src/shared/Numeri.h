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

// A count with its noun, singular for one: Quanti(1, "testo", "testi") is
// "1 testo", Quanti(3, ...) "3 testi".
inline QString Quanti(qint64 n, const char *uno, const char *molti) {
    return QString::number(n) + QLatin1Char(' ') + QString::fromUtf8(n == 1 ? uno : molti);
}

// The word that agrees with a count, without the count: Concorda(1,
// "risponde", "rispondono") is "risponde", Concorda(3, ...) "rispondono".
inline QString Concorda(qint64 n, const char *uno, const char *molti) {
    return QString::fromUtf8(n == 1 ? uno : molti);
}
