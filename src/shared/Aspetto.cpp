#include "Aspetto.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QWidget>

QColor ColoreFacciaPulsante() {
    return QApplication::palette().color(QPalette::Button);
}

void ImpostaSostituzioniFont() {
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    const QStringList fisso = {QStringLiteral("DejaVu Sans Mono"),
                               QStringLiteral("Liberation Mono")};
    QFont::insertSubstitutions(QStringLiteral("Courier"), fisso);
    QFont::insertSubstitutions(QStringLiteral("Monospac821 BT"), fisso);
}

QFont Carattere(const char *famiglia, double punti, bool grassetto, bool corsivo) {
    QFont f(QString::fromLatin1(famiglia));
    f.setPointSizeF(punti);
    f.setBold(grassetto);
    f.setItalic(corsivo);
    const QString nome = QString::fromLatin1(famiglia);
    if (nome == QLatin1String("Courier") || nome == QLatin1String("Monospac821 BT")) {
        f.setStyleHint(QFont::TypeWriter);
        f.setFixedPitch(true);
    }
    return f;
}

void ImpostaSfondo(QWidget *w, const QColor &colore) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colore);
    p.setColor(QPalette::Button, colore);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

void SfondoSuggerimento(QWidget *casella) {
    QPalette p = casella->palette();
    p.setColor(QPalette::Base, p.color(QPalette::ToolTipBase));
    casella->setPalette(p);
}

QColor Sfondo(const QWidget *w) {
    return w->palette().color(QPalette::Window);
}

void Posiziona(QWidget *w, const char *nome, const Twips &t) {
    w->setObjectName(QString::fromLatin1(nome));
    w->setGeometry(DaTwips(t));
}

void Pulsante::paintEvent(QPaintEvent *) {
    QStylePainter pittore(this);
    QStyleOptionButton opzione;
    initStyleOption(&opzione);
    const QString testo = opzione.text;
    opzione.text.clear();
    pittore.drawControl(QStyle::CE_PushButton, opzione);
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &opzione, this);
    style()->drawItemText(&pittore, area, Qt::AlignCenter | Qt::TextWordWrap, palette(),
                          isEnabled(), testo, QPalette::ButtonText);
}
