#include "widgets/Aspetto.h"

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
