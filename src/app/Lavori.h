#pragma once
// The jobs run from the command line without any window (--stato, and the
// trace they keep): on a QCoreApplication, with the link settings of
// Seriale318.con in the current folder, overridden for the run by --porta,
// --id and --rs485. Results go to the standard output, problems to the
// standard error.

#include <QList>
#include <QString>
#include <cstdio>

struct RigaDiComando;

// Exit status of a job.
constexpr int UscitaFatto = 0;    // done (and verified)
constexpr int UscitaCentrale = 1; // the panel refused, did not answer or did not verify
constexpr int UscitaProblema = 2; // usage, file or port problem
// A job stopped by SIGTERM, SIGINT or SIGHUP ends with 128 plus the signal's
// number, once the exchange in progress is over; a job that ended before it
// saw the signal keeps its own status.

// Writes the text at once (progress and results reach a pipe as they happen).
void Stampa(std::FILE *dove, const QString &testo);
// The standard error is a terminal: progress is a bar redrawn in place there,
// a line per step elsewhere.
bool ErroreSuTerminale();

// A job stopped by a signal between two exchanges: says so with what the
// panel holds now (standard error and trace), and returns the exit status,
// 128 plus the signal's number.
// reads Interruzione
int LavoroInterrotto(const QString &testo);

// True when the command line asks for a job without windows.
bool LavoroSenzaFinestre(const RigaDiComando &riga);

// Runs that job and returns its exit status. `dispositivo` is the device of
// --porta, already resolved (empty: the port of Seriale318.con).
int EseguiLavoro(const RigaDiComando &riga, const QString &dispositivo);

// After an exchange that got no reply: when the port, not the panel, is at
// fault, the sentence that says so, naming the port; empty when the port is
// sound. The port is at fault when it closed under the job (adapter
// unplugged, the far end of the line gone) or when another program holds
// the device open and takes the panel's replies.
QString PortaInColpa();

// What --stato prints, from the replies without their headers: the status
// part, the numbers of the active inputs (1 to 46), the key part.
QString TestoStato(const QString &stato, const QList<int> &attivi, const QString &tasto);
