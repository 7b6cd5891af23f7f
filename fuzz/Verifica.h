#pragma once
// What every fuzz target shares: a property check that stops the run on the
// spot (libFuzzer keeps the input that broke it), and the input as Qt text.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Stops with the failed condition and where it is when a property does not hold.
#define VERIFICA(condizione)                                                                       \
    do {                                                                                           \
        if (!(condizione)) {                                                                       \
            std::fprintf(stderr, "%s:%d: proprietà violata: %s\n", __FILE__, __LINE__,             \
                         #condizione);                                                             \
            __builtin_trap();                                                                      \
        }                                                                                          \
    } while (0)

inline QByteArray Byte(const uint8_t *dati, size_t n) {
    return QByteArray(reinterpret_cast<const char *>(dati), qsizetype(n));
}

// One byte, one character, as the tool reads files and the line.
inline QString Testo(const uint8_t *dati, size_t n) {
    return QString::fromLatin1(reinterpret_cast<const char *>(dati), qsizetype(n));
}
