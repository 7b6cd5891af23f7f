#pragma once
// The site book's windows, opened by "Impianti…" in the menus of both main
// windows: the sites ("Impianti"), one site's details ("Impianto"), its
// versions ("Storia") and its register ("Registro"). Every action done here on
// a site (created, changed, used, compared with the panel) goes into its
// register, in the words the window shows.

#include "impianti/Impianti.h"
#include "impianti/Versioni.h"

#include <QDialog>
#include <QList>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// The sites of the book, a filter and what can be done with one.
class FormImpianti : public QDialog {
    Q_OBJECT
  public:
    explicit FormImpianti(QWidget *padre);
    // The book read again; the row of `scelto` stays (or becomes) the current one.
    void Aggiorna(const QString &scelto = QString());

    QLineEdit *Filtro;
    QTableWidget *Elenco;
    QPushButton *Nuovo, *Modifica, *Usa, *Storia, *Registro, *Chiudi;
    QLabel *Esito;

  private:
    QString scelto() const; // the name of the current row, empty when none
    void filtra();
    void abilita();
    void nuovo();
    void modifica();
    // writes NumeroPorta, Identificativo, Modo485, InUso (once the link opens)
    void usa();
    // Esito says `testo`, and the line goes into the site's register.
    void annota(const QString &nome, const QString &porta, const QString &azione,
                const QString &testo);
};

// A site's details: a new one, or one of the book (its name then stays).
// "Salva" creates or saves it; what is wrong is said in the window, and
// everything typed stays there.
class FormImpianto : public QDialog {
    Q_OBJECT
  public:
    FormImpianto(QWidget *padre, const std::optional<Impianti::Impianto> &esistente);

    QLineEdit *Nome, *Cliente, *Indirizzo, *Porta, *Id;
    QCheckBox *Rs485, *Copia;
    QPlainTextEdit *Note;
    QLabel *Errore;
    QPushButton *Salva, *Annulla;
    Impianti::Impianto Fatto; // the site as saved, once accepted

  private:
    void salva();
    bool nuovo_;
    Impianti::Impianto originale_;
};

// A site's versions, newest first: compared with the panel or with another
// version, opened in the editor.
class FormStoria : public QDialog {
    Q_OBJECT
  public:
    FormStoria(QWidget *padre, const QString &impianto);

    QTableWidget *Elenco;
    QPushButton *ConfrontaCentrale, *ConfrontaCon, *ApriEditor, *Ripristina, *Chiudi;
    QPlainTextEdit *Differenze;
    QLabel *Esito;

  private:
    QList<Versioni::Versione> scelte() const; // the selected versions, oldest first
    void abilita();
    // reads Identificativo; runs exchanges
    void confrontaCentrale();
    void confrontaCon();
    // reads and restores NomeFile
    void apriEditor();
    QString impianto_;
    QList<Versioni::Versione> versioni_; // oldest first, as numbered
};

// A site's register, every computer's lines merged by time, newest at the bottom.
class FormRegistro : public QDialog {
    Q_OBJECT
  public:
    FormRegistro(QWidget *padre, const QString &impianto);
    QTableWidget *Righe;
    QLabel *Esito;
    QPushButton *Chiudi;
};

// What changed between two descriptions of a site, for its register
// ("identificativo &45 → &07; linea RS232 → RS485"); empty when nothing did.
QString Cambiamenti(const Impianti::Impianto &prima, const Impianti::Impianto &dopo);

// The texts two versions differ in, as a comparison lists them: the number,
// then each version's text (blanks as "·").
QString RigheVersioni(const QList<Versioni::Differenza> &diverse, int prima, int dopo);
