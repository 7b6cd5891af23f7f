#pragma once
// How many characters must be waiting before the system wakes the program
// for a serial port. At 9600 bit/s a reply comes one character a millisecond:
// asking for the characters still awaited hands the program a reply in one
// read instead of one event per character.

#include <QtGlobal>

// Sets the wake-up count (1 to 255) of the open port behind descrittore.
// False where the system has no such setting; nothing changes then.
bool SvegliaDopo(qintptr descrittore, int caratteri);
