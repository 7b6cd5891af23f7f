#include "shared/Aspetto.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFont>
#include <QKeySequence>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStylePainter>
#include <QTranslator>
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

void TraduzioniDiQt() {
    auto *qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"),
                 QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
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
    // Building and setting a palette costs far more than reading one: test
    // mode sets the same colours over and over.
    const QPalette &attuale = w->palette();
    if (w->autoFillBackground() && attuale.color(QPalette::Window) == colore &&
        attuale.color(QPalette::Button) == colore)
        return;
    QPalette p = attuale;
    p.setColor(QPalette::Window, colore);
    p.setColor(QPalette::Button, colore);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

namespace {
// A message box opens centred over the window it belongs to (the active window
// when it names none, the screen when there is none), wherever the window
// manager would have put it.
void Centra(QMessageBox &box, QWidget *padre) {
    QWidget *finestra = padre ? padre->window() : QApplication::activeWindow();
    box.adjustSize();
    QRect sopra;
    if (finestra && finestra->isVisible())
        sopra = finestra->frameGeometry();
    else if (const QScreen *schermo = QGuiApplication::primaryScreen())
        sopra = schermo->availableGeometry();
    if (sopra.isValid()) box.move(sopra.center() - box.rect().center());
}
} // namespace

void Avviso(QWidget *padre, QMessageBox::Icon icona, const QString &testo) {
    QMessageBox box(icona, QStringLiteral("Velto318"), testo, QMessageBox::Ok, padre);
    box.setTextFormat(Qt::PlainText);
    Centra(box, padre);
    box.exec();
}

Risposta Domanda(QWidget *padre, const QString &testo) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Velto318"), testo, QMessageBox::NoButton,
                    padre);
    box.setObjectName(QStringLiteral("Domanda"));
    box.setTextFormat(Qt::PlainText);
    QPushButton *salva = box.addButton(QStringLiteral("Salva"), QMessageBox::AcceptRole);
    QPushButton *nonSalvare =
        box.addButton(QStringLiteral("Non salvare"), QMessageBox::DestructiveRole);
    QPushButton *annulla = box.addButton(QStringLiteral("Annulla"), QMessageBox::RejectRole);
    salva->setObjectName(QStringLiteral("Salva"));
    nonSalvare->setObjectName(QStringLiteral("NonSalvare"));
    annulla->setObjectName(QStringLiteral("Annulla"));
    box.setDefaultButton(salva);
    box.setEscapeButton(annulla);
    Centra(box, padre);
    box.exec();
    if (box.clickedButton() == salva) return Risposta::Salva;
    if (box.clickedButton() == nonSalvare) return Risposta::NonSalvare;
    return Risposta::Annulla;
}

void ImpostaTesto(QLabel *etichetta, const QString &testo) {
    if (etichetta->text() != testo) etichetta->setText(testo);
}

void SfondoSuggerimento(QWidget *casella) {
    QPalette p = casella->palette();
    p.setColor(QPalette::Base, p.color(QPalette::ToolTipBase));
    casella->setPalette(p);
}

QColor Sfondo(const QWidget *w) {
    return w->palette().color(QPalette::Window);
}

namespace {

// Opens the menu at `punto`; opened from the keyboard, its first entry that
// can be chosen is highlighted, so that Return chooses it.
void ApriMenu(QMenu *menu, const QPoint &punto, bool tastiera) {
    if (menu->isEmpty()) return;
    menu->popup(punto);
    if (!tastiera) return;
    for (QAction *a : menu->actions())
        if (a->isEnabled() && a->isVisible() && !a->isSeparator()) {
            menu->setActiveAction(a);
            return;
        }
}

// Notes whether the window's last context menu request came from the keyboard
// (the Menu key) or from the mouse.
class Provenienza : public QObject {
  public:
    using QObject::QObject;
    bool tastiera = false;
    bool eventFilter(QObject *oggetto, QEvent *evento) override {
        if (evento->type() == QEvent::ContextMenu)
            tastiera =
                static_cast<QContextMenuEvent *>(evento)->reason() == QContextMenuEvent::Keyboard;
        return QObject::eventFilter(oggetto, evento);
    }
};

} // namespace

QMenu *MenuContestuale(QWidget *finestra) {
    auto *menu = new QMenu(finestra);
    menu->setObjectName(QStringLiteral("MenuContestuale"));
    finestra->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *provenienza = new Provenienza(menu);
    finestra->installEventFilter(provenienza);
    QObject::connect(finestra, &QWidget::customContextMenuRequested, menu,
                     [finestra, menu, provenienza](const QPoint &punto) {
                         ApriMenu(menu, finestra->mapToGlobal(punto), provenienza->tastiera);
                     });
    // Shift+F10 opens it at the focused control, as the Menu key does.
    auto *tasto = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), finestra);
    QObject::connect(tasto, &QShortcut::activated, menu, [finestra, menu] {
        QWidget *fuoco = finestra->focusWidget();
        if (!fuoco) fuoco = finestra;
        ApriMenu(menu, fuoco->mapToGlobal(fuoco->rect().center()), true);
    });
    return menu;
}

void Posiziona(QWidget *w, const QString &nome, const Twips &t) {
    w->setObjectName(nome);
    w->setGeometry(DaTwips(t));
}

void ImpostaFinestra(QWidget *finestra, const QString &nome, const QString &titolo,
                     const Twips &misura, int altezzaInPiu) {
    finestra->setObjectName(nome);
    finestra->setWindowTitle(titolo);
    finestra->setFixedSize(DaTwips(misura).size() + QSize(0, altezzaInPiu));
    finestra->setFont(Carattere("MS Sans Serif", 8.25)); // the windows' default font
}

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
