#pragma once
// The programming window: pick a message file, send and verify it, read the
// panel's texts back, edit a file, go back to test mode or quit. It is loaded
// once and afterwards only hidden and shown again; its choice for the main
// loop is left in Scelta. Its operations are defined in four files, grouped
// below by file.

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class ListaUnita;
class ListaCartelle;
class ListaFile;

class FormScriveMessaggi : public QDialog {
    Q_OBJECT
  public:
    // Its choice for the main loop, left in Scelta: none yet, test mode, quit.
    static inline const QString SceltaAspetta = QStringLiteral("aspetta");
    static inline const QString SceltaTesta = QStringLiteral("Testa");
    static inline const QString SceltaFinisci = QStringLiteral("Finisci");

    // FormScriveMessaggi.cpp: the window, its controls and its own events.

    explicit FormScriveMessaggi(QWidget *parent = nullptr);

    ListaUnita *Drive1;
    ListaCartelle *Dir1;
    ListaFile *File1;
    QLineEdit *Text1, *Text2, *IdStart;
    QPushButton *Command5, *Command4, *Command3, *Command1, *LeggiTesti, *Command2;
    QLabel *Label1;
    QProgressBar *BarraAvanzamento; // progress of a send or read-back
    QMenu *Menu;                    // the window's context menu

    // Ready for the operator: no file chosen, the first hints shown.
    // reads Identificativo; writes NomeFile, Scelta
    void Form_Load();
    // Lists the files of the folder Dir1 shows, as the lists do by themselves
    // when the operator opens a folder (Concatena): for a folder set by the program.
    // no globals
    void Dir1_Change();
    // The highlighted file is the chosen one.
    // writes NomeFile
    void File1_Click();
    // "Test Funzionamento"
    // writes Scelta
    void Command3_Click();
    // "Exit"
    // writes Scelta
    void Command2_Click();
    // The acknowledge button: the failure shown is acknowledged.
    // writes Interrompi
    void Command4_Click();

    // no globals
    void DisabilitaComandi();
    // no globals
    void AbilitaComandi();
    // Shows MessaggioErrore on the acknowledge button until it is clicked.
    // reads MessaggioErrore; writes Interrompi
    void AspettaConferma();

    // True while a send, read-back or edit runs: the close box is refused then.
    bool OperazioneInCorso() const { return operazioni_ > 0; }

    // Invio.cpp

    // "Invia file al VELTO"
    // reads NomeFile, Identificativo; writes Testi, MessaggioErrore, Interrompi; runs exchanges
    void Command1_Click();

    // LetturaTesti.cpp

    // "Leggi Testi dal VELTO", then the save window.
    // globals as Operazioni::LeggiTesti and AspettaConferma
    void LeggiTesti_Click();

    // ModificaTesti.cpp

    // "Modifica Testi": the editor opens on the chosen file.
    // reads NomeFile; writes CorpoFile
    void Command5_Click();
    // "Nuovo file…" of the context menu: asks a name in the folder shown,
    // creates the file with a blank text for every number a read-back
    // writes, and opens it in the editor.
    // writes NomeFile, CorpoFile
    void NuovoFile_Click();
    // Lists the files again once the tool wrote one; the file NomeFile names
    // is the chosen one when the list shows its folder.
    // reads NomeFile; writes NomeFile
    void MostraFileScritti();

    // MenuLinea.cpp

    // "Confronta con il VELTO…": what a send of the chosen file would change,
    // in the window "Confronto"; the send's refusals come first.
    // reads NomeFile, Identificativo; writes MessaggioErrore, Interrompi; runs exchanges
    void Confronta_Click();
    // "Cerca il VELTO sulla linea…", then the identifier shown again.
    // globals as FormCerca::Esegui
    void Cerca_Click();
    // "Impianti…", then the identifier shown again (a site used there sets it).
    // globals as ApriImpianti
    void Impianti_Click();
    // "Porta…"
    // reads NumeroPorta
    void Porta_Click();

  protected:
    // ModificaTesti.cpp: the entries of the context menu for message files.
    void aggiungiVociFile();

    // FormScriveMessaggi.cpp
    void closeEvent(QCloseEvent *evento) override;
    // Escape does not leave the window.
    // no globals
    void reject() override;

  private:
    // FormScriveMessaggi.cpp

    // The highlight of the file list moved.
    // reads NomeFile; writes NomeFile
    void File1_Evidenziazione();
    // no globals
    QList<QWidget *> comandiOperatore() const;
    void avanzamento(const QString &fase, int fatti, int totale);
    int operazioni_ = 0;

    // MenuLinea.cpp: the entries of the context menu that reach the line.
    void vociLinea();

    // Invio.cpp

    // reads NomeFile, Identificativo; writes Testi, MessaggioErrore, Interrompi; runs exchanges
    void ProgrammaTesti();

    // The jobs of Operazioni shown here: status lines, progress bar,
    // acknowledge button (VistaFinestra.h).
    struct Vista;
};
