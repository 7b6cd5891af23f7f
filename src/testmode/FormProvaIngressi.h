#pragma once
// "Prova ingressi": the walk test's window, opened from the test window's
// context menu. Not modal: test mode goes on polling underneath, and the
// window shows what the record of the test window has seen, refreshed at
// most twice a second while something changes.

#include <QWidget>
#include <functional>
#include <memory>

class QCloseEvent;
class QCheckBox;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;
class QTimer;
namespace Prova {
class Registro;
}

class FormProvaIngressi : public QWidget {
    Q_OBJECT
  public:
    // `identifica` gives the record the panel and the port in use, when the
    // walk test starts again.
    FormProvaIngressi(Prova::Registro &registro, std::function<void()> identifica, QWidget *padre);
    ~FormProvaIngressi() override;
    // A past walk test, read back from its journal, in a window of its own
    // that goes when closed: what it saw, for a report to be made again.
    // Returns nullptr and an Italian message in *errore when the journal
    // cannot be read.
    static FormProvaIngressi *DaGiornale(const QString &giornale, QWidget *padre, QString *errore);

    // Shows the window in front; the first time, sized to fit its screen,
    // and, once the panel's texts are read, the walk test starts and its
    // journal opens.
    void Mostra();
    // The size of the window's table, made smaller to fit `disponibile` (a
    // screen's free area, as QScreen::availableGeometry gives it) with the
    // window's frame, and the window moved inside it.
    void Adatta(const QRect &disponibile);

    QLabel *Provati = nullptr;
    QLabel *Giornale = nullptr;
    QLabel *Ultimo = nullptr;   // the last input seen going active, large
    QCheckBox *Suono = nullptr; // a beep for each input going active (remembered)
    QTableWidget *Ingressi = nullptr;
    QWidget *LineaDelTempo = nullptr;
    QListWidget *Eventi = nullptr;
    QLineEdit *Impianto = nullptr;
    QLineEdit *Tecnico = nullptr;

    // The buttons: "Salva rapporto…" asks for a .csv or .pdf file,
    // "Ricomincia" asks before it forgets what was seen.
    // Returns whether a report was saved.
    bool SalvaRapporto_Click();
    void Ricomincia_Click();
    // "Chiudi", Escape and the close box: with events in no saved report,
    // asks first whether to save them.
    void Chiudi_Click();
    // Shows what the record holds now.
    void Aggiorna();
    // "Apri prova…": a journal of a past walk test chosen, shown in a window
    // of its own.
    void ApriProva_Click();
    // The panel or the link changed under the walk test: it starts again,
    // for the panel in use now, and says where the last one's journal is.
    void AltraCentrale();

  protected:
    void closeEvent(QCloseEvent *e) override;

  private:
    // The constructor's steps: the count, the last input active and the
    // journal's name; the site and technician fields, in a layout; the
    // table of the inputs; the beep's box; the layout of it all with
    // `campi` and the buttons, and the tab order; the timer that shows the
    // record again.
    void CreaTitoli();
    QLayout *CreaCampi();
    void CreaTabella();
    void CreaSuono();
    void Disponi(QLayout *campi, QPushButton *salva, QPushButton *ricomincia, QPushButton *apri,
                 QPushButton *chiudi);
    void AvviaOrologio();
    bool puoChiudere();
    void Riparti();
    bool SeguiImpianto();
    bool passata() const { return !identifica_; }
    void AggiornaTabella();
    void AggiornaEventi();
    void ApriGiornale();

    Prova::Registro &registro_;
    std::function<void()> identifica_;
    QTimer *orologio_ = nullptr;
    int visti_ = -1;         // changes of the record already shown
    size_t eventiVisti_ = 0; // events already in the list
    bool giornaleAperto_ = false;
    QString impiantoMostrato_;                 // the site in use the Impianto field last took
    int trascorsi_ = 0;                        // ms since the timeline was last drawn
    bool adattata_ = false;                    // sized to its screen once
    size_t eventiSalvati_ = 0;                 // events in the last report saved
    std::unique_ptr<Prova::Registro> proprio_; // the record of a past walk test
};
