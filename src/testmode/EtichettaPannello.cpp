#include "testmode/EtichettaPannello.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {

bool Spazio(QChar c) {
    return c == QLatin1Char(' ');
}

// Where a line that starts at inizio must end to hold as much as it can: the
// blanks at its end take no room, a character wider than the line goes alone.
int FineRiempita(const QString &testo, const QList<qreal> &ampiezze, qreal larghezza, int inizio) {
    qreal usata = 0, bianchi = 0;
    int fine = inizio;
    while (fine < testo.size()) {
        if (Spazio(testo[fine])) {
            bianchi += ampiezze[fine];
        } else {
            if (fine > inizio && usata + bianchi + ampiezze[fine] > larghezza) break;
            usata += bianchi + ampiezze[fine];
            bianchi = 0;
        }
        ++fine;
    }
    return fine;
}

// Whether the text from inizio fits in the given lines, each filled.
bool StaIn(const QString &testo, const QList<qreal> &ampiezze, qreal larghezza, int inizio,
           int righe) {
    for (; righe > 0; --righe) {
        inizio = FineRiempita(testo, ampiezze, larghezza, inizio);
        if (inizio >= testo.size()) return true;
    }
    return false;
}

} // namespace

QStringList RigheEtichetta(const QString &testo, const QList<qreal> &ampiezze, qreal larghezza,
                           int righe) {
    QStringList risultato;
    int inizio = 0;
    while (inizio < testo.size()) {
        const int piena = FineRiempita(testo, ampiezze, larghezza, inizio);
        int fine = piena;
        if (piena < testo.size()) {
            // The latest blank after which the rest still fits in the lines left.
            const int restanti = righe - int(risultato.size()) - 1;
            for (int k = piena; k > inizio; --k) {
                if (Spazio(testo[k - 1]) && !Spazio(testo[k]) &&
                    StaIn(testo, ampiezze, larghezza, k, restanti)) {
                    fine = k;
                    break;
                }
            }
        }
        risultato << testo.mid(inizio, fine - inizio);
        inizio = fine;
    }
    return risultato;
}

EtichettaPannello::EtichettaPannello(const QString &testo, QWidget *parent)
    : QLabel(testo, parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
}

QRect EtichettaPannello::AreaTesto() const {
    // The room a framed label leaves around its text: half an "x".
    const int rientro =
        frameWidth() > 0 ? fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 : 0;
    return contentsRect().adjusted(rientro, rientro, 0, 0);
}

QStringList EtichettaPannello::Righe() const {
    const QRect area = AreaTesto();
    if (testoRighe_ == text() && misuraRighe_ == area.size() && fontRighe_ == font()) return righe_;
    const QFontMetricsF metrica(font(), this);
    QList<qreal> ampiezze;
    ampiezze.reserve(text().size());
    for (const QChar c : text())
        ampiezze << metrica.horizontalAdvance(c);
    const int righe = qMax(1, int((area.height() - metrica.height()) / metrica.lineSpacing()) + 1);
    righe_ = RigheEtichetta(text(), ampiezze, area.width(), righe);
    // Laid out once: the name line is painted twice a cycle while it flashes.
    disegni_.clear();
    for (const QString &riga : std::as_const(righe_)) {
        QStaticText disegno(riga);
        disegno.setTextFormat(Qt::PlainText);
        disegno.prepare(QTransform(), font());
        disegni_ << disegno;
    }
    testoRighe_ = text();
    misuraRighe_ = area.size();
    fontRighe_ = font();
    return righe_;
}

void EtichettaPannello::paintEvent(QPaintEvent *) {
    QPainter pittore(this);
    drawFrame(&pittore);
    const QRect area = AreaTesto();
    const QFontMetricsF metrica(font(), this);
    pittore.setClipRect(contentsRect());
    pittore.setPen(palette().color(foregroundRole()));
    Righe();
    qreal y = area.top();
    for (const QStaticText &disegno : std::as_const(disegni_)) {
        pittore.drawStaticText(QPointF(area.left(), y), disegno);
        y += metrica.lineSpacing();
    }
}
