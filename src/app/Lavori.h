#pragma once
// The jobs run from the command line without any window (--invia, --leggi,
// --stato, --confronta, --cerca, --prova): on a QCoreApplication, with the link
// settings of Seriale318.con in the current folder, overridden for the run
// by --porta, --id and --rs485. Results go to the standard output, problems
// to the standard error, as Terminale.h tells.

#include <QList>
#include <QString>

struct RigaDiComando;

// Runs the job of the line, already prepared by PreparaAvvio (its file
// absolute, the device of --porta resolved, the trace open), and returns
// its exit status.
int EseguiLavoro(const RigaDiComando &riga);

// What --stato prints, from the replies without their headers: the status
// part, the numbers of the active inputs (1 to 46), the key part.
QString TestoStato(const QString &stato, const QList<int> &attivi, const QString &tasto);
