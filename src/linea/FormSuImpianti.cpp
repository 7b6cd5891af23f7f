// One job on several sites at once ("Leggi", "Confronta", "Stato" in the site
// window): SuImpianti::Giro runs each site's job as a child process and tells
// when each starts and ends; the window only follows its signals, so it never
// waits on a line itself.
#include "linea/Comuni.h"
#include "linea/FormImpianti.h"

#include "jobs/SuImpianti.h"
#include "link/FormSeriale.h"
#include "shared/Numeri.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Finestre;

namespace {

// The window's size, in twips.
const Twips MisuraSuImpianti{0, 0, 13500, 7500};

enum Colonna { ColImpianto, ColEsito, ColSecondi };

} // namespace

FormSuImpianti::FormSuImpianti(QWidget *padre, const QString &nome, const QStringList &lavoro,
                               const QList<Impianti::Impianto> &impianti, const QString &programma)
    : QDialog(padre), giro_(new SuImpianti::Giro(lavoro, 8, programma, this)) {
    setObjectName(QStringLiteral("FormSuImpianti"));
    setWindowTitle(
        QStringLiteral("%1 su %2").arg(nome, Quanti(impianti.size(), "impianto", "impianti")));
    setModal(true);
    Righe = new QTableWidget(int(impianti.size()), 3, this);
    Righe->setObjectName(QStringLiteral("Righe"));
    Righe->setHorizontalHeaderLabels({"Impianto", "Esito", "Secondi"});
    Righe->setSelectionBehavior(QAbstractItemView::SelectRows);
    Righe->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Righe->verticalHeader()->hide();
    Righe->setTabKeyNavigation(false);
    Righe->setWordWrap(false);
    Righe->horizontalHeader()->setSectionResizeMode(ColImpianto, QHeaderView::ResizeToContents);
    Righe->horizontalHeader()->setSectionResizeMode(ColEsito, QHeaderView::Stretch);
    Righe->horizontalHeader()->setSectionResizeMode(ColSecondi, QHeaderView::ResizeToContents);
    for (int r = 0; r < impianti.size(); ++r) {
        Righe->setItem(r, ColImpianto, new QTableWidgetItem(impianti[r].nome));
        Righe->setItem(r, ColEsito, new QTableWidgetItem(QStringLiteral("in attesa")));
        Righe->setItem(r, ColSecondi, new QTableWidgetItem(QString()));
        Righe->item(r, ColSecondi)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    Barra = new QProgressBar(this);
    Barra->setObjectName(QStringLiteral("Barra"));
    Barra->setRange(0, int(impianti.size()));
    Barra->setValue(0);
    Barra->setFormat(impianti.size() == 1 ? QStringLiteral("%v di %m impianto")
                                          : QStringLiteral("%v di %m impianti"));
    Esito = NuovaEtichetta(this, "Esito");
    Interrompi = NuovoPulsante(this, "Interrompi", QStringLiteral("Interrompi"));
    SalvaEsito = NuovoPulsante(this, "SalvaEsito", QStringLiteral("Salva esito…"));
    Chiudi = NuovoPulsante(this, "Chiudi", QStringLiteral("Chiudi"));
    Interrompi->setToolTip(QStringLiteral("Nessun altro impianto comincia; quelli in corso "
                                          "finiscono lo scambio che fanno e si fermano"));
    SalvaEsito->setToolTip(QStringLiteral("Una riga per impianto in un file CSV"));
    SalvaEsito->setEnabled(false);
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addWidget(SalvaEsito);
    pulsanti->addStretch();
    pulsanti->addWidget(Interrompi);
    pulsanti->addWidget(Chiudi);
    auto *l = new QVBoxLayout(this);
    l->addWidget(Righe, 1);
    l->addWidget(Barra);
    l->addWidget(Esito);
    l->addLayout(pulsanti);
    Dimensiona(this, MisuraSuImpianti);
    connect(giro_, &SuImpianti::Giro::Iniziato, this, [this](int i) {
        riga(i);
        avanzamento();
    });
    connect(giro_, &SuImpianti::Giro::Finito, this, [this](int i) {
        riga(i);
        avanzamento();
    });
    connect(giro_, &SuImpianti::Giro::TuttoFinito, this, &FormSuImpianti::finito);
    connect(Interrompi, &QPushButton::clicked, this, [this] {
        giro_->Ferma();
        Interrompi->setEnabled(false);
    });
    connect(SalvaEsito, &QPushButton::clicked, this, &FormSuImpianti::salvaEsito);
    connect(Chiudi, &QPushButton::clicked, this, &QDialog::close);
    // The sites' jobs open the lines themselves: this run's link lets go of
    // its own, as a line is never opened twice at once.
    MSComm &comm = FormSeriale::Istanza().MSComm1;
    riapriLinea_ = comm.PortOpen();
    if (riapriLinea_) comm.setPortOpen(false);
    Interrompi->setFocus();
    giro_->Avvia(impianti);
}

FormSuImpianti::~FormSuImpianti() {
    delete giro_; // the jobs still running end with it
    giro_ = nullptr;
    if (riapriLinea_) FormSeriale::Istanza().MSComm1.setPortOpen(true);
}

void FormSuImpianti::riga(int indice) {
    const SuImpianti::Esito &e = giro_->Esiti()[indice];
    QString parole = e.parole.isEmpty() ? SuImpianti::NomeStato(e.stato) : e.parole;
    if (e.inizio.isValid() && e.uscita == -1 && e.stato == SuImpianti::Stato::NonRaggiunto)
        parole = QStringLiteral("in corso…");
    Righe->item(indice, ColEsito)->setText(parole);
    Righe->item(indice, ColEsito)->setToolTip(parole);
    if (e.stato != SuImpianti::Stato::NonRaggiunto)
        Righe->item(indice, ColSecondi)->setText(QString::number(e.secondi, 'f', 1));
    const bool male =
        e.stato != SuImpianti::Stato::Giusto && e.stato != SuImpianti::Stato::NonRaggiunto;
    for (int c = 0; c < Righe->columnCount(); ++c)
        Righe->item(indice, c)->setBackground(male ? ColoreRossoChiaro() : QBrush());
}

void FormSuImpianti::avanzamento() {
    Barra->setValue(giro_->Finiti());
    Esito->setText(QStringLiteral("%1 di %2, %3 in corso")
                       .arg(giro_->Finiti())
                       .arg(Quanti(giro_->Esiti().size(), "impianto", "impianti"))
                       .arg(giro_->InCorso()));
}

void FormSuImpianti::finito() {
    inCorso_ = false;
    for (int i = 0; i < giro_->Esiti().size(); ++i)
        if (giro_->Esiti()[i].stato == SuImpianti::Stato::NonRaggiunto) riga(i);
    Barra->setValue(giro_->Finiti());
    Esito->setText(giro_->Riepilogo() + QLatin1Char('.'));
    Interrompi->setEnabled(false);
    SalvaEsito->setEnabled(true);
    Chiudi->setFocus();
    if (chiudi_) close();
}

void FormSuImpianti::salvaEsito() {
    QString percorso = QFileDialog::getSaveFileName(
        this, QStringLiteral("Salva esito"), QDir::current().filePath(QStringLiteral("esito.csv")),
        QStringLiteral("Tabella CSV (*.csv)"));
    if (percorso.isEmpty()) return;
    if (QFileInfo(percorso).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) != 0)
        percorso += QStringLiteral(".csv");
    const QString problema = SuImpianti::SalvaEsito(giro_->Esiti(), percorso);
    Esito->setText(problema.isEmpty()
                       ? QStringLiteral("%1.\nEsito salvato in %2.")
                             .arg(giro_->Riepilogo(), QDir::toNativeSeparators(percorso))
                       : problema);
}

bool FormSuImpianti::fermaPerChiudere() {
    if (!inCorso_) return false;
    // The jobs running stop as single jobs do; the window closes after.
    chiudi_ = true;
    giro_->Ferma();
    Interrompi->setEnabled(false);
    Esito->setText(QStringLiteral("Interrotto: la finestra si chiude appena i lavori in corso si "
                                  "sono fermati."));
    return true;
}

void FormSuImpianti::closeEvent(QCloseEvent *evento) {
    if (fermaPerChiudere())
        evento->ignore();
    else
        QDialog::closeEvent(evento);
}

void FormSuImpianti::reject() {
    if (!fermaPerChiudere()) QDialog::reject();
}
