#pragma once
// The tool's PDF reports, written top to bottom on A4 pages: its font, its
// lines, paragraphs and table rows, a new page when the next one does not
// fit, and each page's number at its foot. No windows: Qt Gui only.

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;
class QPdfWriter;

namespace Rapporti {

// The reports' font, without shaping: no letters joined into ligatures
// ("ffi"), so that the PDF's text reads back as written.
QFont Carattere(double punti, bool grassetto);

// A4, 15 mm margins, one unit a point.
void ImpostaA4(QPdfWriter &w, const QString &titolo);

// A date and time as the reports write them ("-" for none).
QString Data(const QDateTime &t);

class Pagine {
  public:
    // With `numeri`, each page gets "Pagina N" at its foot.
    Pagine(QPdfWriter &w, QPainter &p, bool numeri = false);
    QPainter &p() { return p_; }
    double larghezza() const { return area_.width(); }
    double y = 0;
    // Room for `altezza` below y, or a new page.
    void spazio(double altezza);
    void riga(const QString &testo, double punti, bool grassetto = false,
              const QColor &colore = Qt::black);
    // A text on as many lines as it takes, broken between words (a path
    // named in full).
    void paragrafo(const QString &testo, double punti, bool grassetto = false);
    // A row of cells of the given widths (in fractions of the page width).
    void tabella(const QStringList &celle, const QList<double> &larghezze, bool grassetto,
                 const QColor &sfondo = QColor());
    // The last page's number, once everything is written.
    void fine();

  private:
    void numero();
    QPdfWriter &w_;
    QPainter &p_;
    QRectF area_;
    bool numeri_;
    int pagina_ = 1;
};

} // namespace Rapporti
