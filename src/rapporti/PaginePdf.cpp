#include "rapporti/PaginePdf.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

namespace Rapporti {

namespace {
// Room kept at the foot of a page for its number.
constexpr double Piede = 16;
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

Pagine::Pagine(QPdfWriter &w, QPainter &p, bool numeri) : w_(w), p_(p), numeri_(numeri) {
    area_ = QRectF(QPointF(0, 0), QSizeF(w.width(), w.height() - (numeri ? Piede : 0)));
}

void Pagine::numero() {
    if (!numeri_) return;
    const QFont f = Carattere(8, false);
    p_.setFont(f);
    p_.setPen(Qt::black);
    p_.drawText(QRectF(0, area_.height(), area_.width(), Piede), Qt::AlignRight | Qt::AlignBottom,
                QStringLiteral("Pagina %1").arg(pagina_));
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
    const QFont f = Carattere(punti, grassetto);
    p_.setFont(f);
    const double h = QFontMetricsF(f, &w_).height();
    spazio(h);
    p_.setPen(colore);
    p_.drawText(QRectF(0, y, area_.width(), h), Qt::AlignLeft | Qt::AlignVCenter,
                QFontMetricsF(f, &w_).elidedText(testo, Qt::ElideRight, area_.width()));
    y += h;
}

void Pagine::paragrafo(const QString &testo, double punti, bool grassetto) {
    const QFont f = Carattere(punti, grassetto);
    p_.setFont(f);
    const int come = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    const double h =
        QFontMetricsF(f, &w_).boundingRect(QRectF(0, 0, area_.width(), 1e6), come, testo).height();
    spazio(h);
    p_.setPen(Qt::black);
    p_.drawText(QRectF(0, y, area_.width(), h), come, testo);
    y += h;
}

void Pagine::tabella(const QStringList &celle, const QList<double> &larghezze, bool grassetto,
                     const QColor &sfondo) {
    const QFont f = Carattere(7.5, grassetto);
    p_.setFont(f);
    const QFontMetricsF m(f, &w_);
    const double h = m.height() * 1.3;
    spazio(h);
    if (sfondo.isValid()) p_.fillRect(QRectF(0, y, area_.width(), h), sfondo);
    p_.setPen(Qt::black);
    double x = 0;
    for (int i = 0; i < celle.size(); ++i) {
        const double w = larghezze[i] * area_.width();
        p_.drawText(QRectF(x + 2, y, w - 4, h), Qt::AlignLeft | Qt::AlignVCenter,
                    m.elidedText(celle[i], Qt::ElideRight, w - 4));
        x += w;
    }
    p_.setPen(QColor(190, 190, 190));
    p_.drawLine(QPointF(0, y + h), QPointF(area_.width(), y + h));
    y += h;
}

} // namespace Rapporti
