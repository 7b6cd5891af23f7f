#include "testmode/FormProvaIngressi.h"

#include "widgets/Aspetto.h"
#include "widgets/Controlli.h"
#include "testmode/RapportoProva.h"

#include "impianti/Impianti.h"
#include "testmode/CsvProva.h"
#include "testmode/RegistroProva.h"
#include "shared/Numeri.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QApplication>
#include <QCheckBox>
#include <QSettings>
#include <QShortcut>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The record is shown again at most this often while it changes. While
// nothing does, the timeline is drawn again every few seconds when a bar is
// growing (an input active, the line silent), else now and then for its
// time axis.
constexpr int IntervalloMs = 500;
constexpr int IntervalloLineaMs = 5000;
constexpr int IntervalloLineaFermaMs = 30000;

enum Colonna { Numero, Testo, Provato, Prima, Ultima, Attivazioni, Nota, Colonne };

const QColor NonProvato(255, 200, 200);

// The window as drawn for a 1280×1024 screen; smaller where the screen is.
const Twips MisuraProva{0, 0, 18600, 12000};
// Room left on the screen for the frame the window manager adds: the title
// bar and the borders.
const Twips Cornice{0, 0, 240, 720};

// Where the last site and technician are remembered: the working folder.
QSettings Ricordati() {
    return QSettings(QDir::current().filePath(QStringLiteral("ProvaIngressi.ini")),
                     QSettings::IniFormat);
}

class Disegno : public QWidget {
  public:
    Disegno(const Prova::Registro &r, QWidget *padre) : QWidget(padre), r_(r) {
        setMinimumSize(420, 46 * 9);
    }

  protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        Prova::DisegnaLineaDelTempo(p, rect(), r_,
                                    r_.fine.isValid() ? r_.fine : QDateTime::currentDateTime());
    }

  private:
    const Prova::Registro &r_;
};

// Something of the timeline grows with the time: an input active, a line gap.
bool InCorso(const Prova::Registro &r) {
    for (const Prova::Ingresso &n : r.Ingressi())
        if (n.attivo) return true;
    return (!r.Silenzi().empty() && !r.Silenzi().back().a.isValid()) ||
           (!r.Sospensioni().empty() && !r.Sospensioni().back().a.isValid());
}

const QString NessunoAttivo = QStringLiteral("Ultimo attivo: nessuno");

// The last input seen going active since the start, for one who walks away
// from the laptop: "Ultimo attivo: 12  Finestra aula 1  (10:31:05)".
QString UltimoAttivo(const Prova::Registro &r) {
    const auto &eventi = r.Eventi();
    for (auto e = eventi.rbegin(); e != eventi.rend() && e->quando >= r.Inizio(); ++e)
        if (Prova::VistoAttivarsi(*e))
            return QStringLiteral("Ultimo attivo: %1  %2  (%3)")
                .arg(e->ingresso)
                .arg(Prova::Soggetto(r, *e), Prova::Ora(e->quando));
    return NessunoAttivo;
}

QTableWidgetItem *Cella(const QString &testo, bool modificabile = false) {
    auto *c = new QTableWidgetItem(testo);
    if (!modificabile) c->setFlags(c->flags() & ~Qt::ItemIsEditable);
    return c;
}

// Where the journal and the reports go: the folder of the site in use, else
// the working folder.
QString CartellaProve() {
    return Impianti::InUso().isEmpty() ? QDir::currentPath()
                                       : Impianti::CartellaDi(Impianti::InUso());
}

} // namespace

FormProvaIngressi::FormProvaIngressi(Prova::Registro &registro, std::function<void()> identifica,
                                     QWidget *padre)
    : QWidget(padre, Qt::Window), registro_(registro), identifica_(std::move(identifica)) {
    setObjectName(QStringLiteral("FormProvaIngressi"));
    setWindowTitle(QStringLiteral("Prova ingressi"));
    resize(DaTwips(MisuraProva).size());

    CreaTitoli();
    QLayout *campi = CreaCampi();
    CreaTabella();
    LineaDelTempo = new Disegno(registro_, this);
    LineaDelTempo->setObjectName(QStringLiteral("LineaDelTempo"));

    Eventi = new QListWidget(this);
    Eventi->setObjectName(QStringLiteral("Eventi"));
    Eventi->setMaximumHeight(170);

    auto *salva = new PulsanteInvio(QStringLiteral("Salva rapporto…"), this);
    salva->setObjectName(QStringLiteral("SalvaRapporto"));
    auto *ricomincia = new PulsanteInvio(QStringLiteral("Ricomincia"), this);
    ricomincia->setObjectName(QStringLiteral("Ricomincia"));
    auto *apri = new PulsanteInvio(QStringLiteral("Apri prova…"), this);
    apri->setObjectName(QStringLiteral("ApriProva"));
    connect(apri, &QPushButton::clicked, this, &FormProvaIngressi::ApriProva_Click);
    auto *chiudi = new PulsanteInvio(QStringLiteral("Chiudi"), this);
    chiudi->setObjectName(QStringLiteral("Chiudi"));
    connect(salva, &QPushButton::clicked, this, &FormProvaIngressi::SalvaRapporto_Click);
    connect(ricomincia, &QPushButton::clicked, this, &FormProvaIngressi::Ricomincia_Click);
    connect(chiudi, &QPushButton::clicked, this, &FormProvaIngressi::Chiudi_Click);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &FormProvaIngressi::Chiudi_Click);

    Disponi(campi, salva, ricomincia, apri, chiudi);
    AvviaOrologio();
}

void FormProvaIngressi::CreaTitoli() {
    Provati = new QLabel(this);
    Provati->setObjectName(QStringLiteral("Provati"));
    QFont grande = Provati->font();
    grande.setPointSizeF(grande.pointSizeF() * 2);
    grande.setBold(true);
    Provati->setFont(grande);
    Ultimo = new QLabel(this);
    Ultimo->setObjectName(QStringLiteral("Ultimo"));
    Ultimo->setTextFormat(Qt::PlainText);
    QFont enorme = grande;
    enorme.setPointSizeF(grande.pointSizeF() * 1.5);
    Ultimo->setFont(enorme);
    Giornale = new QLabel(this);
    Giornale->setObjectName(QStringLiteral("Giornale"));
    Giornale->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Giornale->setWordWrap(true);
}

QLayout *FormProvaIngressi::CreaCampi() {
    Impianto = new QLineEdit(this);
    Impianto->setObjectName(QStringLiteral("Impianto"));
    Tecnico = new QLineEdit(this);
    Tecnico->setObjectName(QStringLiteral("Tecnico"));
    connect(Impianto, &QLineEdit::textChanged, this,
            [this](const QString &t) { registro_.impianto = t; });
    connect(Tecnico, &QLineEdit::textChanged, this,
            [this](const QString &t) { registro_.tecnico = t; });
    if (passata()) {
        // As the journal has them; changed here, for the reports only.
        Impianto->setText(registro_.impianto);
        Tecnico->setText(registro_.tecnico);
    } else {
        // In the journal too, so that a crash or an Exit keeps them.
        // Remembered for the next walk test too.
        connect(Impianto, &QLineEdit::editingFinished, this, [this] {
            registro_.AnnotaImpianto();
            Ricordati().setValue(QStringLiteral("impianto"), registro_.impianto);
        });
        connect(Tecnico, &QLineEdit::editingFinished, this, [this] {
            registro_.AnnotaTecnico();
            Ricordati().setValue(QStringLiteral("tecnico"), registro_.tecnico);
        });
        const QSettings ricordati = Ricordati();
        Impianto->setText(ricordati.value(QStringLiteral("impianto")).toString());
        Tecnico->setText(ricordati.value(QStringLiteral("tecnico")).toString());
    }
    auto *campi = new QFormLayout;
    campi->addRow(QStringLiteral("&Impianto:"), Impianto);
    campi->addRow(QStringLiteral("&Tecnico:"), Tecnico);
    return campi;
}

void FormProvaIngressi::CreaTabella() {
    Ingressi = new QTableWidget(Prova::NumeroIngressi, Colonne, this);
    Ingressi->setTabKeyNavigation(false); // Tab goes on to the buttons
    Ingressi->setObjectName(QStringLiteral("Ingressi"));
    Ingressi->setHorizontalHeaderLabels({"N.", "Testo", "Provato", "Prima\nattivazione",
                                         "Ultima\nattivazione", "Attivazioni", "Nota"});
    Ingressi->verticalHeader()->hide();
    Ingressi->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    Ingressi->setSelectionBehavior(QAbstractItemView::SelectRows);
    Ingressi->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
    Ingressi->horizontalHeader()->setStretchLastSection(true);
    for (int i = 0; i < Prova::NumeroIngressi; ++i) {
        const Prova::Ingresso &n = registro_.Ingressi()[size_t(i)];
        Ingressi->setItem(i, Numero, Cella(QString::number(n.numero)));
        for (int c = Testo; c < Nota; ++c)
            Ingressi->setItem(i, c, Cella(QString()));
        Ingressi->setItem(i, Nota, Cella(n.nota, !passata()));
    }
    connect(Ingressi, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *c) {
        if (c->column() == Nota) registro_.ImpostaNota(c->row() + 1, c->text());
    });
}

void FormProvaIngressi::CreaSuono() {
    // A technician away from the laptop hears each input going active.
    Suono = new QCheckBox(QStringLiteral("&Suono a ogni ingresso attivo"), this);
    Suono->setObjectName(QStringLiteral("Suono"));
    Suono->setChecked(Ricordati().value(QStringLiteral("suono"), false).toBool());
    connect(Suono, &QCheckBox::toggled, this,
            [](bool si) { Ricordati().setValue(QStringLiteral("suono"), si); });
}

void FormProvaIngressi::Disponi(QLayout *campi, QPushButton *salva, QPushButton *ricomincia,
                                QPushButton *apri, QPushButton *chiudi) {
    auto *testa = new QHBoxLayout;
    testa->addWidget(Provati);
    testa->addSpacing(24);
    testa->addLayout(campi, 1);
    // The table over the events on the left; the timeline takes the whole
    // height on the right, so its rows read from across a room.
    auto *sinistra = new QVBoxLayout;
    sinistra->addWidget(Ingressi, 1);
    sinistra->addWidget(new QLabel(QStringLiteral("Eventi, dal più recente:"), this));
    sinistra->addWidget(Eventi);
    auto *centro = new QHBoxLayout;
    centro->addLayout(sinistra, 3);
    centro->addWidget(LineaDelTempo, 2);
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addWidget(salva);
    pulsanti->addWidget(ricomincia);
    pulsanti->addWidget(apri);
    CreaSuono();
    pulsanti->addWidget(Suono);
    // A past walk test neither starts again nor beeps.
    ricomincia->setVisible(!passata());
    Suono->setVisible(!passata());
    if (passata()) Suono->setChecked(false);
    pulsanti->addStretch();
    pulsanti->addWidget(chiudi);
    auto *tutto = new QVBoxLayout(this);
    tutto->addLayout(testa);
    tutto->addWidget(Ultimo);
    tutto->addWidget(Giornale);
    tutto->addLayout(centro, 1);
    tutto->addLayout(pulsanti);
    setTabOrder(Impianto, Tecnico);
    setTabOrder(Tecnico, Ingressi);
    setTabOrder(Ingressi, Eventi);
    setTabOrder(Eventi, salva);
    setTabOrder(salva, ricomincia);
    setTabOrder(ricomincia, apri);
    setTabOrder(apri, chiudi);
}

void FormProvaIngressi::AvviaOrologio() {
    orologio_ = new QTimer(this);
    orologio_->setInterval(IntervalloMs);
    connect(orologio_, &QTimer::timeout, this, [this] {
        if (!isVisible()) return orologio_->stop();
        if (registro_.Cambiamenti() != visti_) {
            Aggiorna();
        } else if ((trascorsi_ += IntervalloMs) >=
                   (InCorso(registro_) ? IntervalloLineaMs : IntervalloLineaFermaMs)) {
            trascorsi_ = 0;
            LineaDelTempo->update();
        }
    });
}

void FormProvaIngressi::Adatta(const QRect &disponibile) {
    const QSize cornice = DaTwips(Cornice).size();
    resize(DaTwips(MisuraProva).size().boundedTo(disponibile.size() - cornice));
    const QRect dentro = disponibile.adjusted(0, 0, -cornice.width(), -cornice.height());
    if (!dentro.contains(QRect(pos(), size()))) move(disponibile.topLeft());
}

void FormProvaIngressi::Mostra() {
    if (!adattata_) {
        adattata_ = true;
        const QWidget *sopra = parentWidget() ? parentWidget()->window() : this;
        if (const QScreen *schermo = sopra->screen()) Adatta(schermo->availableGeometry());
    }
    if (!passata()) {
        if (!giornaleAperto_) ApriGiornale();
        // A site chosen since the window last showed names the test.
        if (SeguiImpianto()) registro_.AnnotaImpianto();
    }
    Aggiorna();
    show();
    raise();
    activateWindow();
    orologio_->start();
}

bool FormProvaIngressi::SeguiImpianto() {
    if (Impianti::InUso().isEmpty() || Impianti::InUso() == impiantoMostrato_) return false;
    impiantoMostrato_ = Impianti::InUso();
    Impianto->setText(impiantoMostrato_);
    return true;
}

void FormProvaIngressi::ApriGiornale() {
    giornaleAperto_ = true;
    if (!registro_.Avviato()) {
        Giornale->setText(
            QStringLiteral("La prova inizia quando il modo test ha letto i testi della centrale."));
        giornaleAperto_ = false;
        return;
    }
    // The walk test starts with its window, not when test mode began.
    registro_.Inizia();
    eventiSalvati_ = registro_.TotaleEventi();
    const QString errore = registro_.ApriGiornale(CartellaProve());
    Giornale->setText(errore.isEmpty() ? QStringLiteral("Giornale: ") +
                                             QDir::toNativeSeparators(registro_.Giornale())
                                       : errore);
}

FormProvaIngressi::~FormProvaIngressi() {
    // A field that had the focus finishes its editing as the window goes:
    // nothing of the window may be written then.
    Impianto->disconnect(this);
    Tecnico->disconnect(this);
    Ingressi->disconnect(this);
}

void FormProvaIngressi::Aggiorna() {
    if (!giornaleAperto_ && registro_.Avviato() && !passata()) ApriGiornale();
    visti_ = registro_.Cambiamenti();
    trascorsi_ = 0;
    QString titolo = QStringLiteral("Prova ingressi");
    if (passata())
        titolo += QStringLiteral(" del %1").arg(
            registro_.Inizio().toString(QStringLiteral("dd/MM/yyyy HH:mm")));
    if (!registro_.identificativo.isEmpty())
        titolo += QStringLiteral(" - centrale %1").arg(registro_.identificativo);
    setWindowTitle(passata() ? titolo + QStringLiteral(" (dal giornale)") : titolo);
    Provati->setText(Prova::Conteggio(registro_));
    const QString ultimo = UltimoAttivo(registro_);
    if (ultimo != Ultimo->text() && Suono->isChecked() && ultimo != NessunoAttivo)
        QApplication::beep();
    Ultimo->setText(ultimo);
    if (!registro_.ErroreGiornale().isEmpty()) Giornale->setText(registro_.ErroreGiornale());
    AggiornaTabella();
    AggiornaEventi();
    LineaDelTempo->update();
}

void FormProvaIngressi::AggiornaTabella() {
    const QSignalBlocker blocco(Ingressi);
    for (int i = 0; i < Prova::NumeroIngressi; ++i) {
        const Prova::Ingresso &n = registro_.Ingressi()[size_t(i)];
        const bool manca = n.conTesto && !n.provato;
        const QStringList valori = {
            QString::number(n.numero),       Prova::TestoMostrato(n),
            Prova::TestoProvato(n),          Prova::Ora(n.primaAttivazione),
            Prova::Ora(n.ultimaAttivazione), QString::number(n.attivazioni)};
        for (int c = Numero; c < Nota; ++c) {
            QTableWidgetItem *cella = Ingressi->item(i, c);
            cella->setText(valori[c]);
            cella->setBackground(manca ? QBrush(NonProvato) : QBrush());
            cella->setForeground(n.conTesto ? QBrush() : QBrush(Qt::gray));
            QFont f = cella->font();
            f.setBold(manca);
            cella->setFont(f);
        }
        QTableWidgetItem *nota = Ingressi->item(i, Nota);
        if (nota->text() != n.nota && !Ingressi->isPersistentEditorOpen(nota))
            nota->setText(n.nota);
        nota->setBackground(manca ? QBrush(NonProvato) : QBrush());
    }
    if (Ingressi->columnWidth(Testo) < 150) Ingressi->resizeColumnsToContents();
    // "no (già attivo)" needs more than "sì" and "no".
    const int provato =
        Ingressi->fontMetrics().horizontalAdvance(QStringLiteral("no (già attivo)")) + 16;
    if (Ingressi->columnWidth(Provato) < provato) Ingressi->setColumnWidth(Provato, provato);
}

void FormProvaIngressi::AggiornaEventi() {
    const size_t totale = registro_.TotaleEventi();
    if (totale < eventiVisti_) { // started again
        Eventi->clear();
        eventiVisti_ = 0;
    }
    // The events not shown yet; those the record left out meanwhile (the
    // window first shown on a long walk test) are one line.
    size_t omessi = 0;
    for (size_t n = eventiVisti_; n < totale; ++n) {
        const Prova::Evento *e = registro_.EventoNumero(n);
        if (!e) {
            ++omessi;
            continue;
        }
        if (omessi) Eventi->insertItem(0, registro_.Omissione(omessi));
        omessi = 0;
        QString riga = Prova::Ora(e->quando) + QStringLiteral("   ");
        if (e->ingresso) riga += QString::number(e->ingresso) + QStringLiteral("  ");
        riga += Prova::Soggetto(registro_, *e) + QStringLiteral(":  ") +
                Prova::Descrizione(registro_, *e);
        Eventi->insertItem(0, riga);
    }
    eventiVisti_ = totale;
    while (Eventi->count() > Prova::EventiInMemoria)
        delete Eventi->takeItem(Eventi->count() - 1);
}

bool FormProvaIngressi::SalvaRapporto_Click() {
    const QString pdf = QStringLiteral("Rapporto PDF (*.pdf)");
    QString filtro;
    // Beside the journal, named as it is, as a past walk test's too: never
    // the file of another walk test, nor an earlier report of this one.
    const QString proposto = Prova::NomeRapporto(registro_, CartellaProve());
    QString nome =
        QFileDialog::getSaveFileName(this, QStringLiteral("Salva rapporto"), proposto,
                                     pdf + QStringLiteral(";;Tabella CSV (*.csv)"), &filtro);
    if (nome.isEmpty()) return false;
    // A name typed without its extension takes the kind chosen in the list.
    if (Prova::TipoRapporto(nome) == Prova::Rapporto::Nessuno)
        nome += filtro == pdf ? QStringLiteral(".pdf") : QStringLiteral(".csv");
    // A walk test going on is reported as such: it ends only when test mode
    // does, with the end its journal records.
    const QString errore = Prova::SalvaRapporto(registro_, nome);
    if (!errore.isEmpty()) {
        Avviso(this, QMessageBox::Warning, errore);
        return false;
    }
    eventiSalvati_ = registro_.TotaleEventi();
    Avviso(this, QMessageBox::Information,
           QStringLiteral("Rapporto salvato in %1.").arg(QDir::toNativeSeparators(nome)));
    return true;
}

bool FormProvaIngressi::puoChiudere() {
    // A past walk test has its journal: nothing to lose.
    if (passata() || registro_.TotaleEventi() <= eventiSalvati_) return true;
    const qint64 nuovi = qint64(registro_.TotaleEventi() - eventiSalvati_);
    const QString domanda =
        Quanti(nuovi, "evento della prova non è", "eventi della prova non sono") +
        QStringLiteral(" in nessun rapporto salvato. La prova continua anche a finestra "
                       "chiusa. Salvare un rapporto?");
    switch (Domanda(this, domanda)) {
    case Risposta::Salva:
        return SalvaRapporto_Click(); // left the file window without saving: stays open
    case Risposta::NonSalvare:
        return true;
    case Risposta::Annulla:
        break;
    }
    return false;
}

void FormProvaIngressi::Chiudi_Click() {
    if (puoChiudere()) close();
}

void FormProvaIngressi::closeEvent(QCloseEvent *e) {
    // The close box asks; a close() of the program's own (test mode
    // leaving, "Chiudi" once answered) does not.
    if (e->spontaneous() && !puoChiudere()) e->ignore();
}

void FormProvaIngressi::Ricomincia_Click() {
    if (QMessageBox::question(this, QStringLiteral("Prova ingressi"),
                              QStringLiteral("Ricominciare la prova? Quanto visto finora (%1) e "
                                             "le note si perdono; il giornale attuale "
                                             "resta su disco.")
                                  .arg(Prova::Conteggio(registro_))) != QMessageBox::Yes)
        return;
    Riparti();
}

void FormProvaIngressi::AltraCentrale() {
    const QString prima = registro_.identificativo, porta = registro_.porta,
                  giornale = registro_.Giornale();
    const bool conGiornale =
        giornaleAperto_ && registro_.ErroreGiornale().isEmpty() && !giornale.isEmpty();
    // Another panel is another site, unless the site chosen names it.
    if (Impianti::InUso().isEmpty() || Impianti::InUso() == impiantoMostrato_) Impianto->clear();
    Riparti();
    if (conGiornale)
        Giornale->setText(
            QStringLiteral("Centrale cambiata: la prova della centrale %1 su %2 "
                           "è finita ed è nel giornale %3 (si riapre con \"Apri "
                           "prova…\").\n%4")
                .arg(prima, porta, QDir::toNativeSeparators(giornale), Giornale->text()));
}

void FormProvaIngressi::Riparti() {
    identifica_();   // the new record is of the panel in use now
    SeguiImpianto(); // and of the site in use, named in its journal's head
    registro_.Ricomincia(CartellaProve());
    eventiSalvati_ = 0;
    if (!giornaleAperto_)
        ApriGiornale();
    else
        Giornale->setText(QStringLiteral("Giornale: ") +
                          QDir::toNativeSeparators(registro_.Giornale()));
    {
        const QSignalBlocker blocco(Ingressi);
        for (int i = 0; i < Prova::NumeroIngressi; ++i)
            Ingressi->item(i, Nota)->setText(QString());
    }
    Aggiorna();
}

void FormProvaIngressi::ApriProva_Click() {
    const QDir cartella(CartellaProve());
    QFileDialog scelta(this, QStringLiteral("Apri prova"),
                       cartella.exists(QStringLiteral("prove"))
                           ? cartella.filePath(QStringLiteral("prove"))
                           : cartella.path(),
                       QStringLiteral("Giornali delle prove (prova-*.txt);;Tutti i file (*)"));
    scelta.setObjectName(QStringLiteral("SceltaProva"));
    scelta.setOption(QFileDialog::DontUseNativeDialog);
    scelta.setFileMode(QFileDialog::ExistingFile);
    if (scelta.exec() != QDialog::Accepted || scelta.selectedFiles().isEmpty()) return;
    QString errore;
    if (FormProvaIngressi *w = DaGiornale(scelta.selectedFiles().first(), this, &errore))
        w->Mostra();
    else
        Avviso(this, QMessageBox::Warning, errore);
}

FormProvaIngressi *FormProvaIngressi::DaGiornale(const QString &giornale, QWidget *padre,
                                                 QString *errore) {
    auto registro = std::make_unique<Prova::Registro>();
    *errore = registro->Rileggi(giornale);
    if (!errore->isEmpty()) return nullptr;
    auto *w = new FormProvaIngressi(*registro, nullptr, padre);
    w->proprio_ = std::move(registro);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->giornaleAperto_ = true;
    QString testo = QStringLiteral("Dal giornale: ") + QDir::toNativeSeparators(giornale);
    if (const int saltate = w->registro_.RigheSaltate())
        testo += QStringLiteral(" (%1)").arg(
            Quanti(saltate, "riga non leggibile saltata", "righe non leggibili saltate"));
    if (const QString fuori = Prova::TestoFuori(w->registro_); !fuori.isEmpty())
        testo += QStringLiteral("\n") + fuori;
    w->Giornale->setText(testo);
    return w;
}
