#pragma once
// Look shared by all windows: positions given in twips (15 twips make one
// pixel), the colours of the display and the fonts the windows were drawn for.

#include <QColor>
#include <QPushButton>
#include <QRect>

class QWidget;
class QFont;

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
inline QColor ColoreRossoChiaro() {
    return QColor(255, 192, 192);
}

// Maps the families the windows name ("MS Sans Serif", "Arial", "Courier",
// "Monospac821 BT") to installed faces of the same kind. Call once, after the
// application object exists.
void ImpostaSostituzioniFont();

// A font of the given family, size in points and style.
QFont Carattere(const char *famiglia, double punti, bool grassetto = false, bool corsivo = false);

// Gives the widget its own background colour (labels and buttons alike).
void ImpostaSfondo(QWidget *w, const QColor &colore);
QColor Sfondo(const QWidget *w);
// Gives a text box the system's tooltip colour as its background.
void SfondoSuggerimento(QWidget *casella);

// Places a widget at its twips position and gives it its name.
void Posiziona(QWidget *w, const char *nome, const Twips &t);

// A command button whose caption wraps onto more lines when it is wider than
// the button, as the windows' long captions expect.
class Pulsante : public QPushButton {
    Q_OBJECT
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent *evento) override;
};
