#pragma once
// The tool's own controls: a button that Enter presses, a button whose
// caption wraps, a status box that shows every text from its first character.
// No operation here reads or writes a global.

#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

// A push button that Enter presses when it has the focus, as Space does, so
// that every window can be worked from the keyboard alone.
class PulsanteInvio : public QPushButton {
    Q_OBJECT
  public:
    using QPushButton::QPushButton;

  protected:
    void keyPressEvent(QKeyEvent *evento) override;
};

// A command button whose caption wraps onto more lines when it is wider than
// the button, as the windows' long captions expect. A flat one is a plain
// field of its background colour inside a thin border, with no shading.
class Pulsante : public PulsanteInvio {
    Q_OBJECT
  public:
    using PulsanteInvio::PulsanteInvio;

  protected:
    void paintEvent(QPaintEvent *evento) override;
};

// A status box: a one-line text box that shows every text the program puts in
// it from its first character, whatever its length. What the operator types
// or moves in it behaves as in any text box. It looks like any text box, but
// draws the style's frame once and keeps it: the program may change its text
// many times a second.
class RigaDiStato : public QLineEdit {
    Q_OBJECT
  public:
    explicit RigaDiStato(QWidget *parent = nullptr);
    RigaDiStato(const QString &testo, QWidget *parent = nullptr);

    // Texts the program sets faster than one every intervalloMs are painted
    // together: after a text is painted, those set within intervalloMs show
    // at its end, the newest only. text() is always the newest text set;
    // whatever the operator does shows at once. 0 (the default): every text
    // is painted as it is set.
    void RaggruppaDisegni(int intervalloMs);

  protected:
    bool event(QEvent *evento) override;
    void paintEvent(QPaintEvent *evento) override;

  private:
    void dalPrimoCarattere();
    int inEvento_ = 0; // > 0 while the box handles one of its own events

    // Painting held back (see RaggruppaDisegni): the box takes no repaints
    // until the timer ends the hold.
    void trattieni();
    void riprendi();
    QTimer *attesa_ = nullptr;     // runs while painting is held back
    bool testoNonDipinto_ = false; // the program set a text not painted yet

    // The frame as the style draws it, and the look it was drawn for.
    QPixmap cornice_;
    struct Chiave {
        QSize misura;
        int stato = 0;
        qint64 tavolozza = 0;
        qreal scala = 0;
        bool operator==(const Chiave &a) const {
            return misura == a.misura && stato == a.stato && tavolozza == a.tavolozza &&
                   scala == a.scala;
        }
    } chiaveCornice_;
};
