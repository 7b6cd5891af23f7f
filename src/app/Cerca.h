#pragma once
// --cerca: which identifiers answer on the line. One status request to each
// identifier, the configured one first and then "&00" to "&99", one attempt
// each with the usual 0.8 s time-out; every identifier that answered is
// listed with its rest state. On an RS485 bus several panels may answer.

// The search itself is Operazioni::Cerca, which the search window runs too.

#include "link/Comandi.h"
#include "jobs/Esiti.h"
#include "jobs/Operazioni.h"

#include <QString>
#include <QStringList>

using Comandi::SoloEco;
using Operazioni::OrdineCerca;

// The progress bar shown in place on a terminal, as the other jobs show theirs.
QString AvanzamentoCerca(int fatti, int totale, const QString &id);

// The closing text: which identifiers answered, with how to use one that is
// not the configured one; or that none did, and what to check. `eco` tells
// that an RS232 line gave back the echo of the commands.
QString EsitoCerca(const QStringList &trovati, const QString &configurato, const QString &porta,
                   bool rs485, bool eco);

// Runs the search on the line already prepared (settings read, overrides
// applied, port open); `porta` names the port in the messages. Returns the
// exit status: 0 when some identifier answered, 1 when none did, 2 when the
// port was lost, 128 plus its number when a signal stopped it.
int LavoroCerca(const QString &porta);
