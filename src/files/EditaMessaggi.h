#pragma once
// The message editor: one panel text per line in a fixed-pitch font; "Salva "
// hands the text to the save window through CorpoFile. Escape does nothing.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class EditaMessaggi : public QDialog {
    Q_OBJECT
  public:
    explicit EditaMessaggi(QWidget *parent = nullptr);

    QLabel *Label1, *Label20;
    QLineEdit *Text2;
    QPushButton *Command1, *Command2;
    QPlainTextEdit *Text1;

    // Loads NomeFile. Returns false, with the reason in Errore(), when the
    // file cannot be read; the window is then not to be shown.
    // reads NomeFile; writes CorpoFile
    bool Form_Load();
    QString Errore() const { return errore_; }

    // The editor's text with every line end as CR LF, exactly as typed.
    // no globals
    QString TestoCorpo() const;

    // "Salva ": the text goes to the save window.
    // reads CommentoProposto; writes CorpoFile, NomeFile (once saved)
    void Command1_Click();
    // "End"
    // no globals
    void Command2_Click();

  protected:
    void keyPressEvent(QKeyEvent *evento) override;

  private:
    QString errore_;
};
