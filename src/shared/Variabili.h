#pragma once
// The application's shared state. The windows and the serial link hand
// requests, replies and choices to one another through these globals: a
// caller fills some of them, calls an operation without arguments and reads
// the outcome from others.
//
// Every file names them as V::Comando, V::Risposta ... (V is Variabili), so a
// reader sees at once which names are shared state. Each operation without
// parameters says in one line of its header which of them it reads and which
// it writes, through the operations it calls as well ("no globals": none).
// "runs exchanges" means it writes Comando and LunghezzaRisposta for each
// exchange with the panel and reads and writes what
// FormSeriale::InviaAllaSeriale does. Left out of those lines:
// ChiusuraRichiesta where it is only read (every wait and every loop reads
// it); SerialeOccupata, the link's busy flag, which every exchange takes and
// gives back; and the deadlines FineAttesa and ScadenzaRisposta, which every
// pause and every reply wait writes and nothing reads. These last three are
// named only by the steps that keep them (link/FormSeriale.h,
// shared/Attendi.h). What an event handler writes while an operation pumps
// events (a click, the close box) is the handler's, not the operation's.

#include <QString>
#include <QtGlobal>
#include <array>

namespace Variabili {

// Exchange with the panel.
extern QString Comando;          // command of the next exchange, ends in CR
extern qint16 LunghezzaRisposta; // characters awaited before the reply is taken
extern QString Risposta;         // last reply, or the no-reply marker
extern bool ErroreSeriale;       // last exchange got no complete reply
extern bool SerialeOccupata;     // the link's busy flag
extern float ScadenzaRisposta;   // deadline of the reply wait (seconds, see SecondiOrologio)
extern QString DatiRisposta;     // data part of the last text read in test mode

// Link configuration.
extern QString NumeroPorta;    // one character, "1" to "9"
extern QString Identificativo; // panel identifier, first part of every command
extern bool Modo485;           // RS485 bus: every command comes back as an echo

// Hand-over between windows.
extern QString Scelta; // the programming window's choice (FormScriveMessaggi::Scelta...)
extern QString NomeFile;
extern bool Interrompi;
extern QString MessaggioErrore;
extern QString CommentoProposto;
extern QString CorpoFile;

// Message texts.
constexpr int NumeroTesti = 301;
extern std::array<QString, NumeroTesti> Testi;
extern qint16 NumeroTesto;
extern QString NumeroTre;

// Timing.
extern float FineAttesa; // deadline of the Attendi pause in progress (seconds)

// Set once the operator closed the test window: every wait returns at once
// and every loop leaves, so the application ends without blocking anywhere.
extern bool ChiusuraRichiesta;

// The signal (SIGTERM, SIGINT, SIGHUP) that asked the run to stop, 0 while
// none came. Unlike ChiusuraRichiesta it cuts no wait: the exchange in
// progress ends as usual, so that a write the panel got is counted, and the
// jobs test it between exchanges.
extern int Interruzione;

// The operator has been told once that the panel does not answer, and what to try.
extern bool NessunaRispostaDetta;

// Puts every global back to the value it has when the program starts.
// writes every global above
void Azzera();

// The no-reply marker: seven filler digits where a reply's header stands.
inline const QString MarcatoreNessunaRisposta = QStringLiteral("1234567errore seriale ");

} // namespace Variabili

namespace V = Variabili;
