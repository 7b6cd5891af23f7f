#pragma once
// The walk test's reports as files: which kind a file's extension asks for,
// and the CSV, whose every cell is neutralised so that a spreadsheet runs
// nothing it holds. The PDF is in testmode/RapportoProva.h.

#include "testmode/RegistroProva.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Prova {

// The reports: the file's extension picks the kind.
enum class Rapporto { Nessuno, Csv, Pdf };
Rapporto TipoRapporto(const QString &percorso);
// The table as CSV: ";"-separated, UTF-8 with a BOM, a header row then one row per input;
// times to the millisecond, as in the journal.
QByteArray Csv(const Registro &r);
// One value for a CSV cell, as every CSV of the tool writes it: control
// characters written visibly; an apostrophe before a text a spreadsheet
// would run as a formula (one starting with =, +, -, @, a tab or a CR),
// except a "-" alone (no text); quoted when it holds ";" or a quote.
QString CampoCsv(const QString &testo);
// The values of one CSV line (the reader of the CSV above: quotes, ";").
QStringList CampiCsv(const QString &riga);

} // namespace Prova
