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
// The report as CSV: ";"-separated, UTF-8 with a BOM; the site, technician,
// panel, port, start, end and result one a row, an empty row, then the
// table: a header row and one row per input. Times as an Italian spreadsheet
// reads them ("07/12/2026 23:36:06"), each with its milliseconds in the
// next column.
QByteArray Csv(const Registro &r);
// One value for a CSV cell, as every CSV of the tool writes it: control
// characters written visibly; an apostrophe before a text a spreadsheet
// would run as a formula (one starting with =, +, -, @, a tab or a CR),
// except a "-" alone (no text); quoted when it holds ";" or a quote.
QString CampoCsv(const QString &testo);
// The values of one CSV line (the reader of the CSV above: quotes, ";").
QStringList CampiCsv(const QString &riga);

} // namespace Prova
