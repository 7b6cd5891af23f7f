#pragma once
// A site's maintenance register as a report to hand over or file: the
// site's details at the top, then every entry, oldest first. PDF (A4, page
// numbers) or CSV, as the file's extension says. No windows: Qt Gui only.

#include "impianti/Impianti.h"
#include "impianti/Registro.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace Manutenzione {

QByteArray Csv(const Impianti::Impianto &impianto, const QList<Voce> &voci);
QByteArray Pdf(const Impianti::Impianto &impianto, const QList<Voce> &voci);

// Writes the report of the kind the extension names (.csv, .pdf) through
// the safe save. Returns an Italian message naming the file when it
// cannot, else an empty text.
QString SalvaRapporto(const Impianti::Impianto &impianto, const QList<Voce> &voci,
                      const QString &percorso);

} // namespace Manutenzione
