#include "programming/FormScriveMessaggi.h"

#include "files/ListeFile.h"
#include "widgets/Aspetto.h"
#include "widgets/Controlli.h"
#include "shared/Attendi.h"
#include "shared/Variabili.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {
const Twips Finestra = {0, 0, 9510, 6495};
const Twips PosDrive1 = {240, 240, 1455, 480};
const Twips PosDir1 = {1800, 240, 3615, 2250};
const Twips PosFile1 = {5760, 240, 2775, 2190};
const Twips PosText1 = {480, 2760, 5640, 495};
const Twips PosCommand5 = {6600, 2775, 1920, 975};
const Twips PosText2 = {480, 3360, 5640, 615};
const Twips PosCommand4 = {3975, 4200, 4950, 735};
const Twips PosLabel1 = {525, 4275, 2040, 315};
const Twips PosIdStart = {1275, 4650, 690, 405};
const Twips PosCommand3 = {480, 5160, 2295, 975};
const Twips PosCommand1 = {3120, 5160, 1935, 975};
const Twips PosLeggiTesti = {5550, 5175, 1890, 915};
const Twips PosCommand2 = {8100, 5625, 1035, 750};
// Below the window's own controls, which keep their places.
const Twips PosBarra = {240, 6495, 9030, 330};
const int AltezzaBarra = 28; // pixels the window grows for the progress bar

// A command button of the window, in its larger font; Enter does not press it.
QPushButton *NuovoPulsante(QWidget *padre, const char *nome, const Twips &pos,
                           const QString &testo) {
    auto *b = Controllo<Pulsante>(padre, nome, pos, Carattere("MS Sans Serif", 13.5), testo);
    b->setAutoDefault(false);
    return b;
}

// A status box of the window, in its larger font: it shows each text from its
// first character.
QLineEdit *NuovaRiga(QWidget *padre, const char *nome, const Twips &pos) {
    return Controllo<RigaDiStato>(padre, nome, pos, Carattere("MS Sans Serif", 13.5));
}
} // namespace

FormScriveMessaggi::FormScriveMessaggi(QWidget *parent) : QDialog(parent) {
    ImpostaFinestra(this, QStringLiteral("FormScriveMessaggi"),
                    QStringLiteral("Velto             Velto318"), Finestra, AltezzaBarra);
    setModal(true);

    Drive1 = Controllo<ListaUnita>(this, "Drive1", PosDrive1, Carattere("MS Sans Serif", 13.5));
    Dir1 = Controllo<ListaCartelle>(this, "Dir1", PosDir1, Carattere("MS Sans Serif", 9.75, true));
    File1 = Controllo<ListaFile>(this, "File1", PosFile1, Carattere("MS Sans Serif", 12, true));
    File1->setPattern(QStringLiteral("*.vlt"));

    Text1 = NuovaRiga(this, "Text1", PosText1);
    Command5 = NuovoPulsante(this, "Command5", PosCommand5, QStringLiteral("Modifica Testi"));
    Text2 = NuovaRiga(this, "Text2", PosText2);
    Command4 = NuovoPulsante(this, "Command4", PosCommand4, QString());
    Command4->hide();
    Label1 = Controllo<QLabel>(this, "Label1", PosLabel1, Carattere("MS Sans Serif", 12),
                               QStringLiteral("Identificativo Velto"));
    IdStart = NuovaRiga(this, "IdStart", PosIdStart);
    IdStart->setReadOnly(true); // every command uses the configured identifier
    Command3 = NuovoPulsante(this, "Command3", PosCommand3, QStringLiteral("Test Funzionamento"));
    Command1 = NuovoPulsante(this, "Command1", PosCommand1, QStringLiteral("Invia file al VELTO"));
    LeggiTesti =
        NuovoPulsante(this, "LeggiTesti", PosLeggiTesti, QStringLiteral("Leggi Testi dal VELTO"));
    Command2 = NuovoPulsante(this, "Command2", PosCommand2, QStringLiteral("Exit"));
    BarraAvanzamento =
        Controllo<QProgressBar>(this, "BarraAvanzamento", PosBarra, FontDellaFinestra);
    BarraAvanzamento->setTextVisible(true);
    BarraAvanzamento->setValue(0);
    BarraAvanzamento->setFormat(QString());
    Menu = MenuContestuale(this);
    vociLinea();

    const QList<QWidget *> tab = {Command1, Text1,    Text2,    File1,    Dir1,    Command2,
                                  Drive1,   Command3, Command4, Command5, IdStart, LeggiTesti};
    for (int i = 0; i + 1 < tab.size(); ++i)
        QWidget::setTabOrder(tab[i], tab[i + 1]);

    Concatena(Drive1, Dir1, File1);
    connect(File1, &ListaFile::clic, this, &FormScriveMessaggi::File1_Click);
    connect(File1, &QListWidget::itemSelectionChanged, this,
            &FormScriveMessaggi::File1_Evidenziazione);
    connect(Command1, &QPushButton::clicked, this, &FormScriveMessaggi::Command1_Click);
    connect(LeggiTesti, &QPushButton::clicked, this, &FormScriveMessaggi::LeggiTesti_Click);
    connect(Command5, &QPushButton::clicked, this, &FormScriveMessaggi::Command5_Click);
    connect(Command3, &QPushButton::clicked, this, &FormScriveMessaggi::Command3_Click);
    connect(Command2, &QPushButton::clicked, this, &FormScriveMessaggi::Command2_Click);
    connect(Command4, &QPushButton::clicked, this, &FormScriveMessaggi::Command4_Click);
    aggiungiVociFile(); // last in the context menu
}

void FormScriveMessaggi::Form_Load() {
    V::NomeFile.clear();
    Text1->setText(QStringLiteral("Seleziona un file xxx.VLT per programmare"));
    Text2->setText(QStringLiteral("o Clicca Pulsante Test funzionamento"));
    V::Scelta = SceltaAspetta;
    IdStart->setText(V::Identificativo);
}

void FormScriveMessaggi::Dir1_Change() {
    File1->setPath(Dir1->Path());
}

// The chosen file is the highlighted one, however the highlight got there:
// a click, the arrows, Home/End or a typed letter. Giving the list the focus
// highlights nothing, and a list emptied by a change of folder keeps the choice.
void FormScriveMessaggi::File1_Click() {
    const QList<QListWidgetItem *> evidenziati = File1->selectedItems();
    if (!evidenziati.isEmpty())
        V::NomeFile = QDir(File1->Path()).filePath(evidenziati.first()->text());
}

void FormScriveMessaggi::File1_Evidenziazione() {
    if (!File1->selectedItems().isEmpty()) {
        File1_Click();
        return;
    }
    // The operator took the highlight off the chosen file (Ctrl and a click
    // or the space bar): no file is chosen any more.
    const QListWidgetItem *corrente = File1->currentItem();
    if (File1->hasFocus() && corrente &&
        QDir(File1->Path()).filePath(corrente->text()) == V::NomeFile)
        V::NomeFile.clear();
}

void FormScriveMessaggi::Command3_Click() {
    V::Scelta = SceltaTesta;
    hide();
}

void FormScriveMessaggi::Command2_Click() {
    // No message file stays open between operations: there is nothing to close.
    V::Scelta = SceltaFinisci;
    hide();
}

void FormScriveMessaggi::Command4_Click() {
    V::Interrompi = true;
}

void FormScriveMessaggi::closeEvent(QCloseEvent *evento) {
    // While an operation runs or waits for the acknowledgement, closing would
    // leave it waiting for a click that can no longer come: refuse it.
    if (OperazioneInCorso()) {
        evento->ignore();
        return;
    }
    Command2_Click();
    evento->accept();
}

void FormScriveMessaggi::reject() {}

// The eight operator controls, in the order they are disabled and enabled.
QList<QWidget *> FormScriveMessaggi::comandiOperatore() const {
    return {Command1, Command2, Command3, Command5, LeggiTesti, Drive1, Dir1, File1};
}

void FormScriveMessaggi::DisabilitaComandi() {
    ++operazioni_;
    for (QWidget *w : comandiOperatore())
        w->setEnabled(false);
    for (QAction *a : Menu->actions())
        a->setEnabled(false);
}

void FormScriveMessaggi::AbilitaComandi() {
    for (QWidget *w : comandiOperatore())
        w->setEnabled(true);
    for (QAction *a : Menu->actions())
        a->setEnabled(true);
    --operazioni_;
}

void FormScriveMessaggi::AspettaConferma() {
    Command4->show();
    V::Interrompi = false;
    Command4->setText(V::MessaggioErrore + QStringLiteral(" Clicca Qui"));
    // A signal ends the wait too: the job stops and the window closes.
    while (!V::Interrompi && !V::ChiusuraRichiesta && !V::Interruzione)
        PompaEventiInAttesa();
    Command4->hide();
    V::Interrompi = false;
}

void FormScriveMessaggi::avanzamento(const QString &fase, int fatti, int totale) {
    if (totale <= 0) { // a job with nothing to do shows an empty bar
        BarraAvanzamento->setValue(0);
        BarraAvanzamento->setFormat(QString());
        return;
    }
    BarraAvanzamento->setMaximum(totale);
    BarraAvanzamento->setValue(fatti);
    BarraAvanzamento->setFormat(fase + QStringLiteral(" %v di %m"));
}
