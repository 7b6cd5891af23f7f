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

// One character as the trace writes it: printable 7-bit ASCII as it is; <CR>,
// <LF>, <NUL>, <ESC>, <DEL> ...; any other as <xNN>. Inline, so that what has
// no link (the walk test's record) writes control characters alike.
inline QString CarattereVisibile(QChar c) {
    static const char *const nomi[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                         "BS",  "TAB", "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                         "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                         "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    const char16_t u = c.unicode();
    if (u < 32) return QLatin1Char('<') + QLatin1String(nomi[u]) + QLatin1Char('>');
    if (u == 127) return QStringLiteral("<DEL>");
    if (u < 127) return QString(c);
    return QStringLiteral("<x%1>").arg(uint(u), 2, 16, QLatin1Char('0')).toUpper();
}

// A text with every control character written visibly: <CR>, <LF>, <NUL>,
// <ESC>, <DEL> ...; a character beyond 7-bit ASCII as <xNN>.
QString Visibile(const QString &testo);

// A text a person typed or a panel holds, for one line of a file, a report
// or a terminal: its control characters written visibly as above (also
// those beyond ASCII, and the line and paragraph separators, which some
// readers take as line ends); every other character as it is ("è" stays).
inline QString ControlliVisibili(const QString &testo) {
    QString v;
    v.reserve(testo.size());
    for (const QChar c : testo) {
        const char16_t u = c.unicode();
        // Line and paragraph separators, and the marks that turn the writing
        // direction (a name could show reversed, or hide what follows).
        const bool direzione = (u >= 0x200E && u <= 0x200F) || (u >= 0x202A && u <= 0x202E) ||
                               (u >= 0x2066 && u <= 0x2069);
        if (u < 32 || (u >= 127 && u < 160) || u == 0x2028 || u == 0x2029 || direzione)
            v += CarattereVisibile(c);
        else
            v += c;
    }
    return v;
}

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
