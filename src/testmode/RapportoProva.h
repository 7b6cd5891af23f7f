#pragma once
// The walk test's picture and reports: the timeline drawn for the window and
// for the PDF alike, the PDF (A4, Qt's own writer), and the save of a report
// whose kind the file's extension picks. No windows: Qt Gui only.

#include "testmode/RegistroProva.h"

#include <QByteArray>
#include <QRectF>
#include <QString>

class QPainter;

namespace Prova {

// One row per input (a bar while it was active, untried inputs with a text in
// red), the line gaps across all rows, a time axis from the start to `fine`.
void DisegnaLineaDelTempo(QPainter &p, const QRectF &area, const Registro &r,
                          const QDateTime &fine);

// The report as a PDF: site, technician, panel and port, start, end,
// duration, the count, the untried inputs with their notes, the line gaps,
// the timeline, the table and the events.
QByteArray Pdf(const Registro &r);

// Writes the report of the kind the extension names (.csv, .pdf) through the
// safe save. Returns an Italian message naming the file when it cannot,
// else an empty text.
QString SalvaRapporto(const Registro &r, const QString &percorso);

// The duration between two times in words: "1 h 02 min 05 s".
QString Durata(const QDateTime &da, const QDateTime &a);

} // namespace Prova
