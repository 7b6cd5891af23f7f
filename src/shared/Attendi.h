#pragma once
// Pauses and event pumps. Everything runs on the user-interface thread, so
// every wait processes window events while it waits; none of them holds a
// core busy: a pump sleeps until the next event or the wait's deadline.

#include <QDeadlineTimer>

// Seconds on a monotonic clock (counted from the first call). Unlike a clock
// of the time of day it never jumps back, so a pause across midnight lasts
// its nominal length.
// no globals
double SecondiOrologio();

// Processes the events already pending and returns at once.
// no globals
void PompaEventi();

// Processes events; when none is pending, sleeps until one arrives or the
// deadline passes, whichever comes first.
void PompaEventiFino(const QDeadlineTimer &scadenza);

// Processes events; when none is pending, sleeps until one arrives.
// no globals
void PompaEventiInAttesa();

// Pauses for the given milliseconds while the windows keep working.
// A pause whose deadline has already passed (0 ms) returns without pumping;
// any other pause pumps events at least once.
// writes FineAttesa
void Attendi(double millisecondi);
