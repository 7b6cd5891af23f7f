#pragma once
// The test window: the live mirror of the panel, and the first window of the
// application. Its controls and public variables are filled by the polling
// procedures below and by the main loop.

#include <QColor>
#include <QVector>
#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class ListaFile;

class FormPrincipaleTest : public QWidget {
    Q_OBJECT
  public:
    explicit FormPrincipaleTest(QWidget *parent = nullptr);

    // Controls. The arrays are addressed by index like the window's control arrays.
    QVector<QLabel *> LabelIngresso1;  // one element
    QVector<QLabel *> NomeVelto;       // one element: panel name (texts 180, 181)
    QVector<QLabel *> MessaggioRiposo; // one element: rest message (176, 177)
    QVector<QLabel *> FineCiclata;     // one element: end of cycle (178, 179)
    QVector<QLabel *> Allarmi;         // 0-43 alarm windows, 44 "P L", 45 "ACK", 46 Reset
    QLabel *Label2 = nullptr;
    QLabel *LabelTastoPremuto = nullptr;
    QLineEdit *Text3 = nullptr;
    QPushButton *TastoErroreSeriale = nullptr;
    QPushButton *Command1 = nullptr;
    ListaFile *File1 = nullptr; // gives the start-up folder only

    // Public variables.
    QString ComeIngressi;
    QString StatoProgramma;
    bool TastoErroreSerialeFlag = false;

    void Command1_Click();
    void TastoErroreSeriale_Click();

    // Display reset at each entry into test mode.
    void AzzeraDisplay();

    // Polling.
    void InviaComando();
    void CaricaTesti();
    void LeggiTesto();
    void LeggiStato();
    void LeggiIngressi();
    void LeggiTasto();

  signals:
    // The window was closed: the application ends from whatever wait it is in.
    void chiusa();

  protected:
    void closeEvent(QCloseEvent *evento) override;

  private:
    void Form_QueryUnload();
    QString leggiCoppia(int primo); // texts primo and primo + 1, run together

    // The colour the decoding of the cycle under way gives each of Allarmi(0)
    // to Allarmi(46) (invalid: none yet). The windows show them together at
    // the end of the cycle's decoding, so the screen never shows a colour that
    // a window holds only in mid-cycle (the rest state turns all alarm windows
    // to button face, the inputs still active turn red again).
    std::array<QColor, 47> coloriDelCiclo_;
    void Colora(int finestra, const QColor &colore);
    void MostraColori();
};
