#pragma once
// The walk test's picture and reports: the timeline drawn for the window and
// for the PDF alike, the PDF (A4, Qt's own writer), and the save of a report
// whose kind the file's extension picks. No windows: Qt Gui only.

#include "testmode/RegistroProva.h"

#include <QByteArray>
#include <QRectF>
#include <QString>
#include <utility>

class QPainter;

namespace Prova {

// One row per input (a bar while it was active, untried inputs with a text in
// red), the line gaps across all rows, a time axis from the start to `fine`.
// With `soloConTesto`, only the inputs with a text; the axis starts at `da`
// (invalid: the walk test's start).
void DisegnaLineaDelTempo(QPainter &p, const QRectF &area, const Registro &r, const QDateTime &fine,
                          bool soloConTesto = false, const QDateTime &da = QDateTime());

// The span the PDF's timeline shows: from a little before the first thing
// seen (an input active, the line silent) to a little after the last, within
// the walk test.
std::pair<QDateTime, QDateTime> Arco(const Registro &r, const QDateTime &fine);

// The installer, set once in the working folder's ditta.txt: the first line
// the company's name, an optional second line its logo's image file
// (relative to that folder).
struct Ditta {
    QString nome, logo;
};
Ditta LeggiDitta(const QString &cartella);

// The panel and its link as a person says them: "Centrale Velto,
// identificativo 45, collegata a COM1" ("collegata in rete a HOST:PORT").
QString Collegamento(const QString &porta);
QString NomeCentrale(const Registro &r);
// The overall result: "Tutti gli ingressi provati", "1 ingresso non provato",
// "N ingressi non provati".
QString Esito(const Registro &r);

// The report as a PDF: the installer, the panel and its link, site,
// customer and address (from the site book), technician, start, end,
// duration, the report's date, the overall result and the count, the
// timeline, the untried inputs with their notes, the line gaps, the table,
// the events and the two signatures; "Pagina N di M" at each foot.
QByteArray Pdf(const Registro &r);

// Writes the report of the kind the extension names (.csv, .pdf) through the
// safe save. Returns an Italian message naming the file when it cannot,
// else an empty text.
QString SalvaRapporto(const Registro &r, const QString &percorso);

// The duration between two times in words: "1 h 02 min 05 s".
QString Durata(const QDateTime &da, const QDateTime &a);

} // namespace Prova
