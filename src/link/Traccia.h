#pragma once
// The trace of the line (--traccia FILE): every attempt of every exchange is
// appended to the file as one line, so that a technician chasing an
// intermittent fault has a record of what went over the line.
//
// The file starts, at each run, with a line giving the wall-clock time of the
// start; each following line holds, separated by tabs: the milliseconds since
// that start on a monotonic clock (when the command went out), the attempt
// ("primo" or "ripetizione"), the command and the reply as received (echo and
// final CR included), or "nessuna risposta". Control characters are written
// visibly, e.g. <CR>.
//
// No operation here reads or writes a global of Variabili: the trace keeps
// its own state.

#include <QString>

namespace Traccia {

enum class Tentativo { Primo, Ripetizione };

// A text with every control character written visibly: <CR>, <LF>, <NUL>,
// <ESC>, <DEL> ...; a character beyond 7-bit ASCII as <xNN>.
QString Visibile(const QString &testo);

// One line of the trace, without its line end. Without a reply (`risposto`
// false) the reply field reads "nessuna risposta".
QString Riga(double millisecondi, Tentativo tentativo, const QString &comando, bool risposto,
             const QString &risposta);

// The first line of a run: the wall-clock start, as local time.
QString Intestazione(const QString &oraInizio);

// Opens FILE for appending and writes the start line. Returns an Italian
// message naming the file and the reason when it cannot be opened (and then
// no trace is kept), else an empty text.
QString Apri(const QString &percorso);
// Closes the trace; harmless when none is open.
void Chiudi();
bool Attiva();

// Called by the transport: the command has just gone out ...
void Inviato();
// ... these characters were taken as the reply ...
void Ricevuta(const QString &risposta);
// ... and the attempt is over: appends its line (nothing without a trace).
void Scambio(Tentativo tentativo, const QString &comando, bool risposto);
// Characters the panel sent late or after its reply, discarded before the
// next command went out.
void Scartati(const QString &caratteri);
// The port is not open: the attempt did not go out.
void NonInviato(Tentativo tentativo, const QString &comando);
// A line of its own for an event of the run (a job interrupted), marked as a
// comment: "# ", the milliseconds since the start, the text.
void Nota(const QString &testo);

} // namespace Traccia
