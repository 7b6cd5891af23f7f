#pragma once
// The tool's PDF reports, written top to bottom on A4 pages: its font, its
// lines, paragraphs and table rows, a new page when the next one does not
// fit, and each page's number at its foot ("Pagina 2 di 3"). No windows: Qt
// Gui only.

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>

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
    // With `numeri`, each page gets "Pagina N di M" at its foot, M being
    // `totale` (a first pass counts them; 0 while unknown: "Pagina N").
    Pagine(QPdfWriter &w, QPainter &p, bool numeri = false, int totale = 0);
    QPainter &p() { return p_; }
    int pagine() const { return pagina_; }
    double larghezza() const { return area_.width(); }
    double y = 0;
    // Room for `altezza` below y, or a new page.
    void spazio(double altezza);
    // The room left below y on this page.
    double resta() const { return area_.height() - y; }
    void riga(const QString &testo, double punti, bool grassetto = false,
              const QColor &colore = Qt::black);
    // A text on as many lines as it takes, broken between words (a path
    // named in full, broken where it must).
    void paragrafo(const QString &testo, double punti, bool grassetto = false,
                   const QColor &colore = Qt::black);
    // A row of cells of the given widths (in fractions of the page width),
    // each cell's text on as many lines as it takes.
    // A table's header row, in bold: drawn again at the top of each page the
    // table's rows go on to, until a line or paragraph ends the table.
    void testata(const QStringList &celle, const QList<double> &larghezze);
    void tabella(const QStringList &celle, const QList<double> &larghezze, bool grassetto,
                 const QColor &sfondo = QColor());
    // The last page's number, once everything is written.
    void fine();

  private:
    QStringList testata_;
    QList<double> larghezzeTestata_;
    void numero();
    QPdfWriter &w_;
    QPainter &p_;
    QRectF area_;
    bool numeri_;
    int pagina_ = 1;
    int totale_ = 0;
};

// A numbered report written twice, once to count its pages and then with
// "Pagina N di M": `scrivi` writes the same pages both times.
QByteArray Pdf(const QString &titolo, const std::function<void(Pagine &)> &scrivi);

} // namespace Rapporti
