#include "rapporti/PaginePdf.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextOption>
#include <algorithm>

namespace Rapporti {

namespace {
// Room kept at the foot of a page for its number.
constexpr double Piede = 16;

// Between words, or anywhere in a word longer than the line.
QTextOption A_capo() {
    QTextOption o(Qt::AlignLeft | Qt::AlignTop);
    o.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return o;
}
} // namespace

QFont Carattere(double punti, bool grassetto) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(punti);
    f.setBold(grassetto);
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
}

void ImpostaA4(QPdfWriter &w, const QString &titolo) {
    w.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    w.setResolution(72); // one unit, one point
    w.setTitle(titolo);
    w.setCreator(QStringLiteral("Velto318"));
}

QString Data(const QDateTime &t) {
    return t.isValid() ? t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) : QStringLiteral("-");
}

Pagine::Pagine(QPdfWriter &w, QPainter &p, bool numeri, int totale)
    : w_(w), p_(p), numeri_(numeri), totale_(totale) {
    area_ = QRectF(QPointF(0, 0), QSizeF(w.width(), w.height() - (numeri ? Piede : 0)));
}

void Pagine::numero() {
    if (!numeri_) return;
    // What was being written goes on in its own font and colour.
    p_.save();
    const QFont f = Carattere(8, false);
    p_.setFont(f);
    p_.setPen(Qt::black);
    p_.drawText(QRectF(0, area_.height(), area_.width(), Piede), Qt::AlignRight | Qt::AlignBottom,
                totale_ ? QStringLiteral("Pagina %1 di %2").arg(pagina_).arg(totale_)
                        : QStringLiteral("Pagina %1").arg(pagina_));
    p_.restore();
}

void Pagine::spazio(double altezza) {
    if (y + altezza <= area_.height()) return;
    numero();
    w_.newPage();
    ++pagina_;
    y = 0;
}

void Pagine::fine() {
    numero();
}

void Pagine::riga(const QString &testo, double punti, bool grassetto, const QColor &colore) {
    testata_.clear();
    const QFont f = Carattere(punti, grassetto);
    p_.setFont(f);
    const double h = QFontMetricsF(f, &w_).height();
    spazio(h);
    p_.setPen(colore);
    p_.drawText(QRectF(0, y, area_.width(), h), Qt::AlignLeft | Qt::AlignVCenter,
                QFontMetricsF(f, &w_).elidedText(testo, Qt::ElideRight, area_.width()));
    y += h;
}

void Pagine::paragrafo(const QString &testo, double punti, bool grassetto, const QColor &colore) {
    testata_.clear();
    p_.setFont(Carattere(punti, grassetto));
    const double h = p_.boundingRect(QRectF(0, 0, area_.width(), 1e6), testo, A_capo()).height();
    spazio(h);
    p_.setPen(colore);
    p_.drawText(QRectF(0, y, area_.width(), h), testo, A_capo());
    y += h;
}

void Pagine::tabella(const QStringList &celle, const QList<double> &larghezze, bool grassetto,
                     const QColor &sfondo) {
    p_.setFont(Carattere(9, grassetto));
    const double margine = QFontMetricsF(p_.font(), &w_).height() * 0.15;
    double h = 0;
    for (int i = 0; i < celle.size(); ++i) {
        const QRectF cella(0, 0, larghezze[i] * area_.width() - 4, 1e6);
        h = std::max(h, p_.boundingRect(cella, celle[i], A_capo()).height());
    }
    h += 2 * margine;
    const int pagina = pagina_;
    spazio(h);
    if (pagina_ != pagina && !testata_.isEmpty()) {
        const QStringList intestazione = testata_;
        testata_.clear();
        testata(intestazione, larghezzeTestata_);
        p_.setFont(Carattere(9, grassetto));
    }
    if (sfondo.isValid()) p_.fillRect(QRectF(0, y, area_.width(), h), sfondo);
    p_.setPen(Qt::black);
    double x = 0;
    for (int i = 0; i < celle.size(); ++i) {
        const double w = larghezze[i] * area_.width();
        p_.drawText(QRectF(x + 2, y + margine, w - 4, h - 2 * margine), celle[i], A_capo());
        x += w;
    }
    p_.setPen(QColor(190, 190, 190));
    p_.drawLine(QPointF(0, y + h), QPointF(area_.width(), y + h));
    y += h;
}

void Pagine::testata(const QStringList &celle, const QList<double> &larghezze) {
    testata_.clear();
    tabella(celle, larghezze, true);
    testata_ = celle;
    larghezzeTestata_ = larghezze;
}

QByteArray Pdf(const QString &titolo, const std::function<void(Pagine &)> &scrivi) {
    QByteArray dati;
    int totale = 0;
    for (int passata = 0; passata < 2; ++passata) {
        dati.clear();
        QBuffer buffer(&dati);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter w(&buffer);
        ImpostaA4(w, titolo);
        QPainter p(&w);
        Pagine pg(w, p, true, totale);
        scrivi(pg);
        pg.fine();
        p.end();
        totale = pg.pagine();
    }
    return dati;
}

} // namespace Rapporti
