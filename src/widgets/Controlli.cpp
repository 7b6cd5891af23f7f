#include "widgets/Controlli.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStylePainter>

void PulsanteInvio::keyPressEvent(QKeyEvent *evento) {
    if ((evento->key() == Qt::Key_Return || evento->key() == Qt::Key_Enter) &&
        (evento->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        animateClick();
        return;
    }
    QPushButton::keyPressEvent(evento);
}

void Pulsante::paintEvent(QPaintEvent *) {
    QStylePainter pittore(this);
    QStyleOptionButton opzione;
    initStyleOption(&opzione);
    const QString testo = opzione.text;
    opzione.text.clear();
    if (isFlat()) {
        // The background colour as it is, inside a thin border (thicker while pressed).
        pittore.fillRect(rect(), palette().color(QPalette::Button));
        pittore.setPen(palette().color(QPalette::WindowText));
        for (int i = 0; i < (isDown() ? 2 : 1); ++i)
            pittore.drawRect(rect().adjusted(i, i, -1 - i, -1 - i));
        if (hasFocus()) { // a dotted line inside the border, seen on any colour
            pittore.setPen(QPen(palette().color(QPalette::ButtonText), 1, Qt::DotLine));
            pittore.drawRect(rect().adjusted(3, 3, -4, -4));
        }
    } else {
        pittore.drawControl(QStyle::CE_PushButton, opzione);
    }
    const QRect area = isFlat()
                           ? rect().adjusted(5, 5, -5, -5)
                           : style()->subElementRect(QStyle::SE_PushButtonContents, &opzione, this);
    style()->drawItemText(&pittore, area, Qt::AlignCenter | Qt::TextWordWrap, palette(),
                          isEnabled(), testo, QPalette::ButtonText);
}

RigaDiStato::RigaDiStato(QWidget *parent) : RigaDiStato(QString(), parent) {}

RigaDiStato::RigaDiStato(const QString &testo, QWidget *parent) : QLineEdit(testo, parent) {
    // The box draws its frame itself (paintEvent); the text keeps its place.
    const int bordo = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    setFrame(false);
    setTextMargins(bordo, bordo, bordo, bordo);
    // A status line is read, or clicked to copy it: Tab passes it by.
    setFocusPolicy(Qt::ClickFocus);
    // A text set by the program leaves the caret at its end, and the box then
    // shows the end of a long text: put it back at the start.
    connect(this, &QLineEdit::textChanged, this, &RigaDiStato::dalPrimoCarattere);
    connect(this, &QLineEdit::cursorPositionChanged, this, &RigaDiStato::dalPrimoCarattere);
    dalPrimoCarattere();
}

void RigaDiStato::RaggruppaDisegni(int intervalloMs) {
    if (!attesa_) {
        attesa_ = new QTimer(this);
        attesa_->setSingleShot(true);
        connect(attesa_, &QTimer::timeout, this, &RigaDiStato::riprendi);
        connect(this, &QLineEdit::textChanged, this, [this] {
            if (inEvento_ == 0) testoNonDipinto_ = true;
        });
    }
    attesa_->setInterval(intervalloMs);
    if (intervalloMs <= 0) riprendi();
}

void RigaDiStato::trattieni() {
    // Updates disabled, a new text marks nothing to repaint: no repaint of
    // the window, nothing sent to the display, until the hold ends.
    testoNonDipinto_ = false;
    setUpdatesEnabled(false);
    attesa_->start();
}

void RigaDiStato::riprendi() {
    if (attesa_) attesa_->stop();
    if (!updatesEnabled()) setUpdatesEnabled(true); // repaints the box
}

bool RigaDiStato::event(QEvent *evento) {
    // What the operator does, and any new size or look, shows at once.
    if (attesa_ && attesa_->isActive()) {
        switch (evento->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
        case QEvent::Show:
        case QEvent::Resize:
        case QEvent::Move:
        case QEvent::StyleChange:
        case QEvent::FontChange:
        case QEvent::PaletteChange:
        case QEvent::EnabledChange:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::Drop:
        case QEvent::InputMethod:
        case QEvent::ShortcutOverride:
            riprendi();
            break;
        default:
            if (evento->isInputEvent()) riprendi();
            break;
        }
    }
    // Every change the operator makes (keys, mouse, input method, the context
    // menu, a drop) arrives through here; any other change is the program's.
    ++inEvento_;
    const bool fatto = QLineEdit::event(evento);
    --inEvento_;
    return fatto;
}

void RigaDiStato::dalPrimoCarattere() {
    if (inEvento_ == 0 && cursorPosition() != 0 && !hasSelectedText()) setCursorPosition(0);
}

void RigaDiStato::paintEvent(QPaintEvent *evento) {
    QLineEdit::paintEvent(evento); // the inside and the text, without the frame

    QStyleOptionFrame opzione;
    initStyleOption(&opzione);
    const int bordo = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opzione, this);
    opzione.lineWidth = bordo;
    const Chiave chiave{size(), int(opzione.state), opzione.palette.cacheKey(), devicePixelRatio()};
    if (cornice_.isNull() || !(chiave == chiaveCornice_)) {
        cornice_ = QPixmap(size() * devicePixelRatio());
        cornice_.setDevicePixelRatio(devicePixelRatio());
        // The corners the frame rounds off show the window behind the box.
        cornice_.fill(opzione.palette.color(QPalette::Window));
        QPainter pittore(&cornice_);
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &opzione, &pittore, this);
        chiaveCornice_ = chiave;
    }
    // The frame, with the pixel just inside it, where the style shades and
    // rounds its corners.
    QPainter pittore(this);
    const int anello = bordo + 1;
    pittore.setClipRegion(QRegion(rect()) - rect().adjusted(anello, anello, -anello, -anello));
    pittore.drawPixmap(0, 0, cornice_);

    // A text the program just set is on the screen: the next ones wait.
    if (attesa_ && attesa_->interval() > 0 && testoNonDipinto_) trattieni();
}
