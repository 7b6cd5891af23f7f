#pragma once
// The programming window: pick a message file, send and verify it, read the
// panel's texts back, edit a file, go back to test mode or quit. It is loaded
// once and afterwards only hidden and shown again; its choice for the main
// loop is left in Scelta.

#include <QDialog>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class ListaUnita;
class ListaCartelle;
class ListaFile;

class FormScriveMessaggi : public QDialog {
    Q_OBJECT
  public:
    explicit FormScriveMessaggi(QWidget *parent = nullptr);

    ListaUnita *Drive1;
    ListaCartelle *Dir1;
    ListaFile *File1;
    QLineEdit *Text1, *Text2, *IdStart;
    QPushButton *Command5, *Command4, *Command3, *Command1, *LeggiTesti, *Command2;
    QLabel *Label1;
    QProgressBar *BarraAvanzamento; // progress of a send or read-back

    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();
    void Command1_Click();   // "Invia file al VELTO"
    void LeggiTesti_Click(); // "Leggi Testi dal VELTO"
    void Command5_Click();   // "Modifica Testi"
    void Command3_Click();   // "Test Funzionamento"
    void Command2_Click();   // "Exit"
    void Command4_Click();   // acknowledge

    void DisabilitaComandi();
    void AbilitaComandi();
    void AspettaConferma();

    // True while a send, read-back or edit runs: the close box is refused then.
    bool OperazioneInCorso() const { return operazioni_ > 0; }

  protected:
    void closeEvent(QCloseEvent *evento) override;
    void reject() override; // Escape does not leave the window

  private:
    void File1_Evidenziazione(); // the highlight of the file list moved
    void ProgrammaTesti();
    QList<QWidget *> comandiOperatore() const;
    void avanzamento(const QString &fase, int fatti, int totale);
    // The jobs of Operazioni shown here: status lines, progress bar,
    // acknowledge button (VistaFinestra.h).
    struct Vista;
    int operazioni_ = 0;
};
