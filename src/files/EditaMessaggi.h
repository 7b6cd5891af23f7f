#pragma once
// The message editor: one panel text per line in a fixed-pitch font; "Salva "
// hands the text to the save window through CorpoFile and the file's comment
// through CommentoProposto, so an unchanged file is saved as it was. Escape
// does nothing; "End" and the close box ask "Salvare le modifiche?" when the
// text or the comment differs from the one last loaded or saved.
//
// In a text line (three digits first) typing over the number and the 16 text
// places overwrites them (a selection there too, and a one-line paste), and a
// character past the 16th place is refused, so the note column never moves;
// Insert switches to inserting and back
// (LabelModo shows the mode). Other lines, and the note column, take what is
// typed as inserted text. A guide marks the number and the text places; a
// line a send would not write as it stands is marked, and LabelStato names the
// text and the problem. The text is saved as typed.

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
    QLabel *LabelStato; // the problem of the line, or of the first marked one
    QLabel *LabelModo;  // overwriting or inserting

    // Loads NomeFile. Returns false, with the reason in Errore(), when the
    // file cannot be read; the window is then not to be shown.
    // reads NomeFile; writes CorpoFile
    bool Form_Load();
    QString Errore() const { return errore_; }

    // The editor's text with every line end as CR LF, exactly as typed.
    // no globals
    QString TestoCorpo() const;

    // "Salva ": the text goes to the save window, which proposes the comment.
    // writes CommentoProposto, CorpoFile, NomeFile (once saved)
    void Command1_Click();
    // "End": closes at once when nothing changed, otherwise asks first.
    // writes CommentoProposto, CorpoFile, NomeFile (once saved)
    void Command2_Click();

    // The comment line to write: the comment box as the operator left it, or
    // the file's own when the box still shows its caption.
    // no globals
    QString Commento() const;

    // The text or the comment differs from the one last loaded or saved.
    // no globals
    bool Modificato() const;

    // A signal closes the window without asking: the edits not yet saved go
    // to a new file beside the one loaded (FormatoMessaggi::SalvaNonSalvato),
    // never over it. Returns what to tell the operator, or nothing when there
    // was nothing to keep.
    // no globals
    QString SalvaSuInterruzione() const;

  protected:
    void keyPressEvent(QKeyEvent *evento) override;
    void closeEvent(QCloseEvent *evento) override;

  private:
    // True when the window may close: nothing changed, or the operator saved
    // or chose to discard the changes.
    // writes CommentoProposto, CorpoFile, NomeFile (once saved)
    bool puoChiudere();
    // Marks the lines a send would not write as they stand, and names one.
    // no globals
    void aggiornaSegni();
    QString errore_;
    QString percorso_;          // the file last loaded or saved
    QString salvato_;           // the body as last loaded or saved
    QString commentoSalvato_;   // ... and the comment
    QString commentoFile_;      // the comment line of the file loaded
    bool haCorpo_ = false;      // the comment box shows the comment
    bool vuotaInFondo_ = false; // the file had an empty line before "end"
    QString tagliati_;          // what typing or a paste left out past the 16th place
    int rigaTagliata_ = -1;     // ... on this line (said while the cursor stays there)
};
