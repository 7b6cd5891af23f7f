#pragma once
// The labels of the test window that show the panel's texts: the 44 alarm
// windows and the three lines at the top. Their two 16-character texts are
// shown whole and as they are: plain text, every blank kept, wrapped at blanks
// where the rest still fits and inside a word where it would not.
// No operation here reads or writes a global.

#include <QLabel>
#include <QList>
#include <QStaticText>
#include <QStringList>

// The lines of testo in a label of righe lines, each at most larghezza wide;
// ampiezze[i] is the width of testo[i]. A line ends at a blank (the blanks
// there hang at its end and take no room) when the rest of the text still
// fits in the lines left, and inside a word otherwise; every other blank
// stays where it is. When even that cannot fit, every line is filled and the
// lines beyond righe follow.
QStringList RigheEtichetta(const QString &testo, const QList<qreal> &ampiezze, qreal larghezza,
                           int righe);

class EtichettaPannello : public QLabel {
    Q_OBJECT
  public:
    explicit EtichettaPannello(const QString &testo, QWidget *parent = nullptr);

    // The lines the label shows for its text, font and size, and where: the
    // first line at the top left of AreaTesto(), each next one a line lower.
    QStringList Righe() const;
    QRect AreaTesto() const;

  protected:
    void paintEvent(QPaintEvent *evento) override;

  private:
    // The lines last worked out, and for what.
    mutable QString testoRighe_;
    mutable QSize misuraRighe_;
    mutable QFont fontRighe_;
    mutable QStringList righe_;
    mutable QList<QStaticText> disegni_;
};
