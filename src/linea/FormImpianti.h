#pragma once
// The site book's windows, opened by "Impianti…" in the menus of both main
// windows: the sites ("Impianti"), one site's details ("Impianto"), its
// versions ("Storia") and its register ("Registro"), and a job run on several
// sites at once ("Su più impianti"). Every action done here on a site
// (created, changed, used, compared with the panel, restored) goes into its
// register, in the words the window shows.

#include "impianti/Impianti.h"
#include "impianti/Versioni.h"
#include "jobs/InvioImpianto.h"

#include <QDialog>
#include <QList>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace SuImpianti {
class Giro;
}

// The sites of the book, a filter and what can be done with one, or with
// several selected ("Leggi", "Confronta", "Stato" in FormSuImpianti).
class FormImpianti : public QDialog {
    Q_OBJECT
  public:
    explicit FormImpianti(QWidget *padre);
    // The book read again; the row of `scelto` stays (or becomes) the current one.
    void Aggiorna(const QString &scelto = QString());

    QLineEdit *Filtro;
    QTableWidget *Elenco;
    QPushButton *Nuovo, *Modifica, *Usa, *Storia, *Registro, *Rinomina, *Rimuovi, *Chiudi;
    QPushButton *Tutti, *Leggi, *Confronta, *Stato;
    QLabel *Esito;
    // The tool the jobs on several sites run (this program, as a rule).
    QString Programma;

  private:
    // The constructor's steps: the filter field (its label returned), the
    // list, the buttons with their tips, the layout of it all under
    // `spiegazione`, and the buttons' and the list's signals.
    QLabel *CreaFiltro();
    void CreaElenco();
    void CreaPulsanti();
    void Disponi(QLabel *spiegazione, QLabel *etichetta);
    void Collega();
    QString scelto() const; // the one site selected, empty when none or several
    // The site selected, read from the book; nothing when none is, or when
    // its description cannot be read (said in the window).
    std::optional<Impianti::Impianto> caricaScelto();
    QStringList scelti() const; // the sites selected and shown, in the list's order
    // `lavoro` ({"--stato"} ...) on the sites selected, in FormSuImpianti.
    void suImpianti(const QString &nome, const QStringList &lavoro);
    void filtra();
    void abilita();
    void nuovo();
    void modifica();
    // writes NumeroPorta, Identificativo, Modo485, InUso (once the link opens)
    void usa();
    // The site selected gets a new name asked for; the site in use follows it.
    // writes InUso
    void rinomina();
    // The site selected, once confirmed, leaves the book for the archive; it is
    // no longer in use.
    // writes InUso
    void rimuovi();
    // Esito adds what Impianti::Avvisi finds odd about `i`.
    void avvisa(const Impianti::Impianto &i);
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
    // reads Identificativo, Interruzione; runs exchanges
    void ripristina();
    // The question before a restore of `v`: what it changes, and the backup;
    // nothing, with *errore, when the versions cannot be read.
    // reads Identificativo
    std::optional<QString> domandaRipristino(const Versioni::Versione &v,
                                             const Impianti::Impianto &impianto,
                                             QString *errore) const;
    // The restore itself, in its own window, once `lavoro` is in the register.
    // reads Identificativo, Interruzione; runs exchanges
    void inviaVersione(InvioImpianto::Lavoro &lavoro, int numero,
                       const Impianti::Impianto &impianto, const QList<Programmazione::Voce> &voci);
    void riempi(); // the list of versions read again
    QString impianto_;
    QList<Versioni::Versione> versioni_; // oldest first, as numbered
    // The last comparison with the panel, while this window is open: the
    // version compared, how many of its texts the panel holds otherwise (-1
    // when it did not end), and the panel and port it was made with.
    int confrontata_ = 0;
    int diverseDallaCentrale_ = -1;
    QString centraleConfrontata_;
};

// A site's register, every computer's lines merged by time, newest at the bottom.
class FormRegistro : public QDialog {
    Q_OBJECT
  public:
    FormRegistro(QWidget *padre, const QString &impianto);
    QTableWidget *Righe;
    QLabel *Esito;
    QPushButton *SalvaRapporto, *Chiudi;

  private:
    void salvaRapporto();
    QString impianto_;
};

// One job ("Leggi", "Confronta", "Stato") on several sites at once: a row per
// site, filled in as each ends with its job's own words and its time, a
// progress bar, "Interrompi", "Salva esito…" (CSV). Closing it while the job
// runs stops it first. The link of this run is closed while the sites' jobs
// use the lines, and opened again afterwards.
class FormSuImpianti : public QDialog {
    Q_OBJECT
  public:
    FormSuImpianti(QWidget *padre, const QString &nome, const QStringList &lavoro,
                   const QList<Impianti::Impianto> &impianti, const QString &programma);
    ~FormSuImpianti() override;
    bool InCorso() const { return inCorso_; }

    QTableWidget *Righe;
    QProgressBar *Barra;
    QLabel *Esito;
    QPushButton *Interrompi, *SalvaEsito, *Chiudi;

  protected:
    void closeEvent(QCloseEvent *evento) override;
    void reject() override;

  private:
    void riga(int indice);
    void avanzamento();
    void finito();
    void salvaEsito();
    // While the jobs run: they are stopped and the window closes once they
    // have; true then (the close waits).
    bool fermaPerChiudere();
    SuImpianti::Giro *giro_;
    bool inCorso_ = true;
    bool chiudi_ = false;      // close once the jobs running have stopped
    bool riapriLinea_ = false; // the link was open before
};

// How many texts of `versione` a restore changes against `ultima` (the
// site's newest version): those it holds otherwise, or that `ultima` lacks.
int TestiCambiati(const Versioni::Testi &versione, const Versioni::Testi &ultima);

// Why this run does not talk to the panel of the site `i` (Italian: which
// site is in use, and that "Usa" in "Impianti…" switches), empty when it
// does: the site is in use, or none is and the run's link, identifier and
// line are the site's.
// reads NumeroPorta, Identificativo, Modo485, InUso
QString NonLaSuaCentrale(const Impianti::Impianto &i);

// What changed between two descriptions of a site, for its register
// ("identificativo &45 → &07; linea RS232 → RS485"); empty when nothing did.
QString Cambiamenti(const Impianti::Impianto &prima, const Impianti::Impianto &dopo);

// The texts two versions differ in, as a comparison lists them: the number,
// then each version's text (blanks as "·").
QString RigheVersioni(const QList<Versioni::Differenza> &diverse, int prima, int dopo);
