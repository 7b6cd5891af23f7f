#pragma once
// The windows of the line, opened from the context menus of the test window
// and of the programming window: what a send of a message file would change
// ("Confronto"), which identifiers answer ("Cerca il VELTO"), which port the
// link uses ("Porta"), and the trace of the exchanges. Each runs the job the
// command line runs (Operazioni, Configurazione, PorteSeriali, Traccia) and
// only shows it: nothing here writes to the panel.

#include <QDialog>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace Programmazione {
struct Voce;
}

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// What the operator wants of the site in use when the link or the identifier
// changes under it (ChiediPerIlSito below).
enum class PerIlSito { NessunImpianto, Aggiorna, SenzaImpianto, Annulla };

// A window that runs one job: its progress bar, "Interrompi" and "Chiudi".
// Closing it (close box, Escape, "Chiudi") stops the job before its next
// exchange, as "Interrompi" does.
class FinestraLavoro : public QDialog {
    Q_OBJECT
  public:
    FinestraLavoro(QWidget *padre, const QString &nome, const QString &titolo);
    bool Fermato() const { return fermato_; }
    // The progress of the job, as the programming window shows a send's.
    void Avanzamento(const QString &fase, int fatti, int totale);
    // The job starts / is over: "Interrompi" is offered only while it runs.
    void Inizio();
    void Fine();

    QProgressBar *Barra;
    QLabel *Esito; // what the job found, or why it stopped
    QPushButton *Interrompi, *Chiudi;

  protected:
    void closeEvent(QCloseEvent *evento) override;
    void reject() override;
    bool fermato_ = false;
};

// "Confronto": the texts of the file the panel holds otherwise.
class FormConfronto : public FinestraLavoro {
    Q_OBJECT
  public:
    explicit FormConfronto(QWidget *padre, const QString &file);
    // Reads back each entry as a send's verification would and lists the
    // differences; nothing is written.
    // reads Identificativo, Interruzione; runs exchanges
    void Esegui(const QList<Programmazione::Voce> &voci);
    QPlainTextEdit *Differenze;
    QString Sintesi;  // the result in a few words, for a status line
    int Diverse = -1; // how many texts the panel holds otherwise, -1 when it did not end
};

// "Cerca il VELTO": which identifiers answer; one found may be used for this
// run or saved in Seriale318.con.
class FormCerca : public FinestraLavoro {
    Q_OBJECT
  public:
    explicit FormCerca(QWidget *padre);
    // On RS232 it stops at the first identifier that answers; on RS485 it tries all.
    // reads Identificativo, Modo485, Interruzione; runs exchanges
    void Esegui();
    QListWidget *Trovati;
    QPushButton *Usa, *Salva;

  private:
    // writes Identificativo
    void usa();
    void salva();
    void aggiorna();
    QStringList ids_;
    bool inCorso_ = false;
};

// "Porta": the serial ports present, or a network address, for this run or
// saved as the start-up folder's COMn entry.
class FormPorta : public QDialog {
    Q_OBJECT
  public:
    explicit FormPorta(QWidget *padre);
    QLabel *Spiegazione; // the port and what it opens now
    QListWidget *Porte;
    QLineEdit *Indirizzo;
    QPushButton *Usa, *Salva, *Chiudi;
    QLabel *Esito;

  private:
    // reads NumeroPorta
    void aggiornaSpiegazione();
    // reads NumeroPorta
    void usa();
    // reads NumeroPorta
    void salva();
    // The device or address of the field, or empty with Esito saying why.
    QString scelta();
    // The link reopened on what the port now names; Esito says how it went.
    void riapri(const QString &fatto);
    // The link reopened on `dispositivo`; when that does not open, on the
    // device it used before, and Esito says so. True when `dispositivo` opened.
    // reads NumeroPorta
    bool prova(const QString &dispositivo);
    // Before `dispositivo` is opened with a site in use: what the operator
    // wants of the site (ChiediPerIlSito), whose link would become
    // `comeSito`; false, with Esito saying nothing changed, when nothing should.
    // reads InUso
    bool chiedi(const QString &dispositivo, const QString &comeSito);
    // The site in use as the operator chose, once the link changed.
    // writes InUso
    QString dopo();
    PerIlSito sito_ = PerIlSito::NessunImpianto;
    QString perIlSito_; // the link as the site would keep it
};

// The link opened for the rest of this run on COM`numero` (the configured
// port when empty) and `dispositivo` (what that COMn names when empty). When it
// does not open, the port, the device and the link go back to what they were:
// returned is why, and where the port stays; empty when it opened.
// writes NumeroPorta (kept only when the link opened)
QString UsaLinea(const QString &numero, const QString &dispositivo);
// The identifier used until the tool is closed, and the words that say so.
// writes Identificativo
QString UsaIdentificativo(const QString &id);
// The link or the identifier about to change while a site is in use: the
// operator is asked whether the site takes the new value, the run goes on
// without a site, or nothing changes. `campo` is "collegamento" or
// "identificativo", `nuovo` the value as the site would keep it.
// reads InUso
PerIlSito ChiediPerIlSito(QWidget *padre, const QString &campo, const QString &nuovo);
// Once the change is made: the site updated (and its register told) or no
// longer in use, the titles again. Returns the words that say so, to add
// to the window's outcome (empty when no site was concerned).
// writes InUso
QString DopoIlCambio(PerIlSito scelta, const QString &campo, const QString &nuovo,
                     const QString &da);

// Every main window's title again: the panel and the port in use, the site
// in use, a trace running.
// reads Identificativo, NumeroPorta
void AggiornaTitoli();

// Tells the main windows that the link or the identifier changed at run
// time, so that each shows the panel it now talks to. The line's windows
// call LineaCambiata after changing either; the main windows connect to
// Cambiata.
class AvvisoLinea : public QObject {
    Q_OBJECT
  public:
    static AvvisoLinea &Istanza();
  signals:
    void Cambiata();
};
// The titles again, then AvvisoLinea::Istanza().Cambiata.
// reads Identificativo, NumeroPorta
void LineaCambiata();

// The port as the operator knows it: COMn and the device it leads to.
// reads NumeroPorta
QString NomePortaLinea();
// The link the register lines of `impianto` name: the site's link as written
// when it is the site in use (as the command line's lines have it), else
// NomePortaLinea().
// reads InUso, NumeroPorta
QString PortaDelRegistro(const QString &impianto);

// The entries both windows offer: each opens its window and returns when it
// is closed.
// globals as FormCerca::Esegui, FormPorta
void CercaIlVelto(QWidget *padre);
void ScegliPorta(QWidget *padre);
// "Impianti…": the site book (linea/FormImpianti.h); "Usa" there sets the
// link, the identifier and the line kind for the rest of the run.
// writes NumeroPorta, Identificativo, Modo485, InUso; runs exchanges
void ApriImpianti(QWidget *padre);
// Starts the trace in a file the operator picks, or stops the one running;
// the title of every window says while one runs.
// no globals
void CambiaTraccia(QWidget *padre);
// The menu entry "Traccia degli scambi…", ticked while a trace runs.
QAction *VoceTraccia(QMenu *menu, QWidget *finestra);

// Runs `lavoro` once the link is free: at once when no exchange is under way,
// else as soon as the one under way has ended (the test window polls the
// panel, and an entry chosen in mid-exchange waits for its end).
// reads SerialeOccupata
void ALineaLibera(QObject *contesto, const std::function<void()> &lavoro);

// What the operator is told the first time the panel does not answer: the
// port and identifier tried and what to do next.
// reads NumeroPorta, Identificativo
QString SuggerimentoNessunaRisposta();

// The first time in the run the panel does not answer: a window (not modal,
// nothing waits for it) says SuggerimentoNessunaRisposta. Later failures
// say nothing more.
// reads NumeroPorta, Identificativo; reads and writes NessunaRispostaDetta
void AvvisaNessunaRisposta(QWidget *padre);
