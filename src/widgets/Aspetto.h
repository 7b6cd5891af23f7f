#pragma once
// Look shared by all windows: positions given in twips (15 twips make one
// pixel), the colours of the display and the fonts the windows were drawn for.
// No operation here reads or writes a global. The tool's own controls are
// in widgets/Controlli.h.

#include <QColor>
#include <QFont>
#include <QMessageBox>
#include <QRect>
#include <optional>
#include <utility>

class QWidget;
class QLabel;
class QMenu;

constexpr int TwipsPerPixel = 15;

// Left, top, width, height in twips, as the window tables give them.
struct Twips {
    int sinistra, alto, larghezza, altezza;
};

inline QRect DaTwips(const Twips &t) {
    return QRect(t.sinistra / TwipsPerPixel, t.alto / TwipsPerPixel, t.larghezza / TwipsPerPixel,
                 t.altezza / TwipsPerPixel);
}
inline int PixelDaTwips(int twips) {
    return twips / TwipsPerPixel;
}

QColor ColoreFacciaPulsante(); // the platform's button face
inline QColor ColoreRosso() {
    return QColor(0xFF, 0x00, 0x00);
}
inline QColor ColoreVerde() {
    return QColor(0x00, 0xFF, 0x00);
}
// A window whose state is not known (the panel does not answer): neither the
// button face of "at rest" nor a colour of a state.
inline QColor ColoreSconosciuto() {
    return QColor(0xA0, 0xA0, 0xA0);
}
inline QColor ColoreRossoChiaro() {
    return QColor(255, 192, 192);
}

// Maps the families the windows name ("MS Sans Serif", "Arial", "Courier",
// "Monospac821 BT") to installed faces of the same kind. Call once, after the
// application object exists.
void ImpostaSostituzioniFont();

// Qt's own dialogs and buttons (the file dialog, Yes/No) speak Italian as the
// windows do, whatever the system's language, when Qt's translations are
// installed (Debian's qt6-translations-l10n); else they stay in English.
// Call once, after the application object exists.
void TraduzioniDiQt();

// A font of the given family, size in points and style.
QFont Carattere(const char *famiglia, double punti, bool grassetto = false, bool corsivo = false);

// Gives the widget its own background colour (labels and buttons alike). A
// widget that already shows that colour is left untouched.
void ImpostaSfondo(QWidget *w, const QColor &colore);
// Sets a label's caption, leaving the label untouched when it already shows it.
void ImpostaTesto(QLabel *etichetta, const QString &testo);
QColor Sfondo(const QWidget *w);
// Gives a text box the system's tooltip colour as its background.
void SfondoSuggerimento(QWidget *casella);

// Shows a modal message box titled "Velto318" with an OK button and returns
// when the operator closes it. Its text is plain, as every label's: a path or
// a name with "<b>" in it shows as it is. It opens centred over its window.
void Avviso(QWidget *padre, QMessageBox::Icon icona, const QString &testo);

// Asks whether to save unsaved changes (buttons "Salva", "Non salvare",
// "Annulla"; Escape and the close box cancel). Like Avviso, centred over its
// window.
enum class Risposta { Salva, NonSalvare, Annulla };
Risposta Domanda(QWidget *padre, const QString &testo);

// A window's context menu, named "MenuContestuale": it opens at the mouse on a
// right click anywhere on the window (controls with a menu of their own, such
// as a text box, keep theirs), and at the focused control on the Menu key or
// Shift+F10, its first entry that can be chosen highlighted so that Return
// chooses it. The window's entries are added to it.
QMenu *MenuContestuale(QWidget *finestra);

// Places a widget at its twips position and gives it its name.
void Posiziona(QWidget *w, const QString &nome, const Twips &t);

// What every window does first: its name, its title, its fixed size (that of
// its twips table, plus altezzaInPiu pixels for what this tool adds below the
// window's own controls) and the font the windows were drawn with.
void ImpostaFinestra(QWidget *finestra, const QString &nome, const QString &titolo,
                     const Twips &misura, int altezzaInPiu = 0);

// A control that keeps its window's font (see Controllo).
constexpr std::nullopt_t FontDellaFinestra = std::nullopt;

// A control of a window: a T made from `argomenti` with the window as its
// parent, placed at its twips position under its name, in `font`.
template <class T, class... Argomenti>
T *Controllo(QWidget *finestra, const QString &nome, const Twips &pos,
             const std::optional<QFont> &font, Argomenti &&...argomenti) {
    auto *controllo = new T(std::forward<Argomenti>(argomenti)..., finestra);
    Posiziona(controllo, nome, pos);
    if (font) controllo->setFont(*font);
    return controllo;
}
