#pragma once
// The test window: the live mirror of the panel, and the first window of the
// application. Its controls and public variables are filled by the polling
// procedures below, which run the test cycle (CicloTest) and paint what it
// decodes, and by the main loop. Its operations are defined in two files,
// grouped below by file.

#include "link/Comandi.h"
#include "testmode/CicloTest.h"
#include "testmode/RegistroProva.h"

#include <QColor>
#include <QString>
#include <QVector>
#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class ListaFile;
class FormProvaIngressi;

// The red button's caption when the panel does not answer on the link to
// `dispositivo`: it names the network for a network address whose
// connection failed or was lost (`aperta` false); a connection that stands
// is a network that works, and a silent panel is a serial error as on any
// line.
QString TestoErroreLinea(const QString &dispositivo, bool aperta);

class FormPrincipaleTest : public QWidget, private CicloTest::Osservatore {
    Q_OBJECT
  public:
    // The values of StatoProgramma: the operator asked for the programming
    // window, or test mode runs.
    static inline const QString Stoppato = QStringLiteral("Stoppato");
    static inline const QString Run = QStringLiteral("Run");

    // FormPrincipaleTest.cpp: the window, its controls and its own events.

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
    QMenu *Menu = nullptr;      // the window's context menu

    // The walk test: what the polling decoded since test mode loaded its
    // texts, and its window, once opened ("Prova ingressi…").
    Prova::Registro RegistroProva;
    FormProvaIngressi *ProvaIngressi = nullptr;
    // no globals
    void ApriProvaIngressi();
    // The walk test's record takes the panel and the port in use.
    // reads Identificativo, NumeroPorta
    void IdentificaProva();

    // Public variables.
    QString ComeIngressi;
    QString StatoProgramma; // Stoppato or Run
    bool TastoErroreSerialeFlag = false;
    // Another port or panel was chosen (linea/FinestreLinea.h, AvvisoLinea): the
    // cycle loads the texts again.
    bool RicaricaTesti = false;
    // At the top of each cycle: after such a choice, the display is reset
    // and the texts of the panel now in use are loaded.
    // globals as CaricaTesti
    void RicaricaSeCambiata();

    // "Progr": test mode stops for the programming window.
    // no globals
    void Command1_Click();
    // The error button ("Errore Seriale Premi qui"): InviaComando stops waiting.
    // no globals
    void TastoErroreSeriale_Click();

    // Display reset at each entry into test mode.
    // no globals
    void AzzeraDisplay();

    // Polling.cpp: the exchanges of test mode and how their replies are shown.

    // One exchange of a command of the table, told to the walk test's record;
    // when it fails, the error button waits for the operator.
    // globals as FormSeriale::Scambia
    void InviaComando(Comandi::Codice codice, const QString &parametro = QString());
    // The texts of the alarm windows and of the three lines at the top.
    // reads Identificativo; writes NumeroTesto, NumeroTre, DatiRisposta; runs exchanges
    void CaricaTesti();
    // Text NumeroTre, asked again until it can be trusted (CicloTest::LeggiTesto).
    // reads Identificativo, NumeroTre; writes DatiRisposta; runs exchanges
    void LeggiTesto();
    // The steps of the test cycle, each painted as the cycle decodes it; the
    // alarm windows take their colours at the end of the input groups.
    // reads Identificativo; writes Risposta; runs exchanges
    void LeggiStato();
    void LeggiIngressi();
    void LeggiTasto();

  signals:
    // The window was closed: the application ends from whatever wait it is in.
    void chiusa();

  protected:
    // FormPrincipaleTest.cpp
    void closeEvent(QCloseEvent *evento) override;

  private:
    // FormPrincipaleTest.cpp

    // The context menu's entries that reach the line (app/FinestreLinea).
    void vociLinea();

    // The window is closing: test mode stops, the port closes, every wait ends.
    // writes ChiusuraRichiesta
    void Form_QueryUnload();

    // Polling.cpp

    // The walk test's record hears the cycle first, then the window paints.
    AscoltoProva ascoltoProva_{RegistroProva};
    CicloTest ciclo_; // stops when the window closes

    // CicloTest::Osservatore: after each exchange, its pause and the error
    // button; what the cycle decoded, painted.
    void Scambiato(const CicloTest::Scambio &s) override;
    void Fallito(Comandi::Codice codice) override;
    void Testi(int primo, const QString &testi) override;
    void Stato(const QString &stato) override;
    void Ingressi(int gruppo, const QList<Comandi::Ingresso> &ingressi) override;
    void Tasto(const QString &etichetta) override;
    // The three lines at the top as the panel's status is: at rest, or not.
    void MostraStato(bool riposo);
    // The panel does not answer: the windows of the inputs and the rest
    // message show no state until a cycle is answered again.
    // no globals
    void MostraSconosciuto();

    // The colour the decoding of the cycle under way gives each of Allarmi(0)
    // to Allarmi(46) (invalid: none yet). The windows show them together at
    // the end of the cycle's decoding, so the screen never shows a colour that
    // a window holds only in mid-cycle (the rest state turns all alarm windows
    // to button face, the inputs still active turn red again).
    std::array<QColor, 47> coloriDelCiclo_;
    void Colora(int finestra, const QColor &colore);
    // no globals
    void MostraColori();
};
