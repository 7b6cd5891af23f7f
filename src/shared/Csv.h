#pragma once
// CSV as every file of the tool writes and reads it: ';'-separated cells,
// quoted as RFC 4180 says, and no cell a spreadsheet would run. Qt Core only.

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

namespace Csv {

// One cell: an apostrophe before a text a spreadsheet would run as a formula
// (one starting with =, +, -, @, a tab or a CR), except a "-" alone (no
// text); quoted when it holds the separator ';', a quote or a line break.
QString Cella(const QString &testo);

// The value a cell written by Cella() held: the apostrophe put before a
// formula taken away again.
QString Valore(const QString &cella);

// The rows of a CSV text, each split into its cells (a quoted cell may hold
// line breaks). A row with nothing on it is left out.
QList<QStringList> Righe(const QString &testo, QChar separatore = QLatin1Char(';'));

} // namespace Csv
