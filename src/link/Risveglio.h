#pragma once
// How many characters must be waiting before the system wakes the program
// for a serial port. At 9600 bit/s a reply comes one character a millisecond:
// asking for the characters still awaited hands the program a reply in one
// read instead of one event per character.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Sets the wake-up count (1 to 255) of the open port behind descrittore.
// False where the system has no such setting; nothing changes then.
bool SvegliaDopo(qintptr descrittore, int caratteri);

// Writes to the open port behind descrittore what it takes now, without
// waiting: the count written, 0 when it takes nothing now, -1 on an error or
// where the system has no such write (the caller then writes through the port).
qint64 ScriviSubito(qintptr descrittore, const QByteArray &dati);

// Puts the terminal settings of a port that is not open back to plain ones
// (raw, 8 data bits, no parity, 9600 bit/s, wake on every character). A
// program ended by SIGKILL never gives back the settings it found, and a
// pseudo-terminal that cannot take 7 data bits and parity then refuses the
// same settings asked for again. False where the port cannot be reached or
// the system has no such settings.
bool LineaNeutra(const QString &dispositivo);

// The port behind descrittore has not hung up nor failed: a read that found
// nothing to take (another program on the same line took the characters
// first) leaves it in use. False where the system cannot tell.
bool LineaAncoraViva(qintptr descrittore);
