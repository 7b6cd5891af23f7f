#pragma once
// The save window: writes CorpoFile as a message file under a name ending in
// ".vlt", with the comment typed in Text2. After a completed save NomeFile
// holds the new file's path; otherwise NomeFile is unchanged. The comment is
// one line (line breaks become blanks), the name holds no control character,
// and Escape does nothing; Enter in the name box saves. A name without ".vlt"
// turns Label1 light red, and its tooltip and LabelErrore say why. Opening it
// reads CommentoProposto.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class ListaUnita;
class ListaCartelle;
class ListaFile;

class FormSalvaFile : public QDialog {
    Q_OBJECT
  public:
    explicit FormSalvaFile(QWidget *parent = nullptr);

    ListaUnita *Drive1;
    ListaCartelle *Dir1;
    ListaFile *File1;
    QLabel *Label3, *Label2, *Label1;
    QLineEdit *Text1, *Text2;
    QPushButton *Command2, *Command1;
    QLabel *LabelErrore; // why the last save failed, or the name was refused

    // "Salva": writes the file and closes the window, or shows why it cannot.
    // reads CorpoFile; writes NomeFile (once saved)
    void Command1_Click();
    // "Esci senza salvare"
    // no globals
    void Command2_Click();

    // A signal closes the window without a save: what it was to write goes to
    // a new file in its folder (FormatoMessaggi::SalvaNonSalvato), named after
    // the name typed, or "testi-letti". Returns what to tell the operator.
    // reads CorpoFile
    QString SalvaSuInterruzione() const;

  protected:
    void keyPressEvent(QKeyEvent *evento) override;

  private:
    // reads CommentoProposto
    void Form_Load();
    // no globals
    void aggiornaPercorso();
};
