#include "linea/FinestreLinea.h"

#include "link/Configurazione.h"
#include "jobs/Esiti.h"
#include "link/FormSeriale.h"
#include "link/PorteSeriali.h"
#include "link/Rete.h"
#include "link/Traccia.h"
#include "jobs/Operazioni.h"
#include "files/Programmazione.h"
#include "widgets/Aspetto.h"
#include "widgets/Controlli.h"
#include "shared/Attendi.h"
#include "shared/Salvataggio.h"
#include "shared/Variabili.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStyle>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <QFontDatabase>
#include <cerrno>
#include <cstdio>

namespace {

QPushButton *NuovoPulsante(QWidget *padre, const char *nome, const QString &testo) {
    auto *b = new PulsanteInvio(testo, padre);
    b->setObjectName(QLatin1String(nome));
    b->setAutoDefault(false);
    return b;
}

QLabel *NuovaEtichetta(QWidget *padre, const char *nome) {
    auto *l = new QLabel(padre);
    l->setObjectName(QLatin1String(nome));
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return l;
}

// A job's observer shown in its window; the status lines are the window's own.
struct Osserva : Operazioni::Osservatore {
    explicit Osserva(FinestraLavoro &finestra) : f(finestra) {}
    void Riga1(const QString &) override {}
    void Riga2(const QString &) override {}
    void Conferma() override {}
    void Avanzamento(const QString &fase, int fatti, int totale) override {
        f.Avanzamento(fase, fatti, totale);
    }
    bool Fermato() override { return f.Fermato() || V::ChiusuraRichiesta; }
    FinestraLavoro &f;
};

const char *const TitoloBase = "velto318TitoloBase";
QString fileTraccia; // the file the menu's trace writes to

// Every window's title says whether a trace is being written.
void AggiornaTitoli() {
    for (QWidget *w : QApplication::topLevelWidgets()) {
        const QVariant base = w->property(TitoloBase);
        if (!base.isValid()) continue;
        QString titolo = base.toString();
        if (Traccia::Attiva())
            titolo += fileTraccia.isEmpty() ? QStringLiteral(" — traccia degli scambi in corso")
                                            : QStringLiteral(" — traccia in ") + fileTraccia;
        w->setWindowTitle(titolo);
    }
}

} // namespace

FinestraLavoro::FinestraLavoro(QWidget *padre, const QString &nome, const QString &titolo)
    : QDialog(padre) {
    setObjectName(nome);
    setWindowTitle(titolo);
    setModal(true);
    Barra = new QProgressBar(this);
    Barra->setObjectName(QStringLiteral("Barra"));
    Barra->setTextVisible(true);
    Barra->setValue(0);
    Barra->setFormat(QString());
    Esito = NuovaEtichetta(this, "Esito");
    Interrompi = NuovoPulsante(this, "Interrompi", QStringLiteral("Interrompi"));
    Chiudi = NuovoPulsante(this, "Chiudi", QStringLiteral("Chiudi"));
    Interrompi->setEnabled(false);
    connect(Interrompi, &QPushButton::clicked, this, [this] { fermato_ = true; });
    connect(Chiudi, &QPushButton::clicked, this, &QDialog::close);
}

void FinestraLavoro::Avanzamento(const QString &fase, int fatti, int totale) {
    if (totale <= 0) return;
    Barra->setMaximum(totale);
    Barra->setValue(fatti);
    Barra->setFormat(fase + QStringLiteral(" %v di %m"));
}

void FinestraLavoro::Inizio() {
    fermato_ = false;
    Interrompi->setEnabled(true);
    Interrompi->setFocus();
}

void FinestraLavoro::Fine() {
    Interrompi->setEnabled(false);
    Chiudi->setFocus();
}

void FinestraLavoro::closeEvent(QCloseEvent *evento) {
    fermato_ = true;
    QDialog::closeEvent(evento);
}

void FinestraLavoro::reject() {
    fermato_ = true;
    QDialog::reject();
}

FormConfronto::FormConfronto(QWidget *padre, const QString &file)
    : FinestraLavoro(padre, QStringLiteral("FormConfronto"),
                     QStringLiteral("Confronto — ") + QFileInfo(file).fileName()) {
    Differenze = new QPlainTextEdit(this);
    Differenze->setObjectName(QStringLiteral("Differenze"));
    Differenze->setReadOnly(true);
    Differenze->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Differenze->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    pulsanti->addWidget(Interrompi);
    pulsanti->addWidget(Chiudi);
    auto *l = new QVBoxLayout(this);
    l->addWidget(Differenze, 1);
    l->addWidget(Barra);
    l->addWidget(Esito);
    l->addLayout(pulsanti);
    resize(640, 420);
}

void FormConfronto::Esegui(const QList<Programmazione::Voce> &voci) {
    show();
    Inizio();
    Osserva o(*this);
    const Operazioni::RisultatoConfronto r = Operazioni::Confronta(o, voci);
    QStringList numeri;
    QString testo;
    for (qsizetype i = 0; i < r.diverse.size(); ++i) {
        testo += RigheDiverse(r.diverse[i], r.letti[i]);
        numeri << r.diverse[i].numero();
    }
    Differenze->setPlainText(testo);
    const QString confrontati =
        QStringLiteral("%1 testi confrontati su %2").arg(r.confrontati).arg(voci.size());
    if (r.interrotto) {
        Esito->setText(
            QStringLiteral("Confronto interrotto: %1, nulla è stato scritto.").arg(confrontati));
        Sintesi = QStringLiteral("Confronto interrotto");
    } else if (r.incerta) {
        Esito->setText(QStringLiteral("Errore seriale: le risposte della centrale alla lettura "
                                      "del testo %1 sulla porta %2 non sono affidabili (%3); "
                                      "%4.")
                           .arg(r.muta.numero(), NomePortaLinea(),
                                FormSeriale::Istanza().PercheNonAffidabili(), confrontati));
        Sintesi = QStringLiteral("Testo %1: risposte non affidabili").arg(r.muta.numero());
    } else if (!r.muta.isEmpty()) {
        Esito->setText(QStringLiteral("Nessuna risposta alla lettura del testo %1 (%2).\n%3")
                           .arg(r.muta.numero(), confrontati, SuggerimentoNessunaRisposta()));
        Sintesi = QStringLiteral("Testo %1: nessuna risposta").arg(r.muta.numero());
    } else if (numeri.isEmpty()) {
        Esito->setText(QStringLiteral("Nessuna differenza: %1 testi uguali").arg(voci.size()));
        Sintesi = Esito->text();
    } else {
        Esito->setText(EsitoConfronto(numeri, int(voci.size())).trimmed());
        Sintesi = QStringLiteral("%1 testi diversi dalla centrale").arg(numeri.size());
    }
    Fine();
}

FormCerca::FormCerca(QWidget *padre)
    : FinestraLavoro(padre, QStringLiteral("FormCerca"), QStringLiteral("Cerca il VELTO")) {
    Trovati = new QListWidget(this);
    Trovati->setObjectName(QStringLiteral("Trovati"));
    Usa = NuovoPulsante(this, "UsaIdentificativo", QStringLiteral("Usa questo identificativo"));
    Salva = NuovoPulsante(this, "SalvaIdentificativo", QStringLiteral("Salva in Seriale318.con"));
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addWidget(Usa);
    pulsanti->addWidget(Salva);
    pulsanti->addStretch();
    pulsanti->addWidget(Interrompi);
    pulsanti->addWidget(Chiudi);
    auto *l = new QVBoxLayout(this);
    auto *titolo = NuovaEtichetta(this, "Spiegazione");
    titolo->setText(QStringLiteral("Gli identificativi che rispondono sulla porta %1, con lo "
                                   "stato di riposo della centrale:")
                        .arg(NomePortaLinea()));
    l->addWidget(titolo);
    l->addWidget(Trovati, 1);
    l->addWidget(Barra);
    l->addWidget(Esito);
    l->addLayout(pulsanti);
    resize(560, 360);
    connect(Usa, &QPushButton::clicked, this, &FormCerca::usa);
    connect(Salva, &QPushButton::clicked, this, &FormCerca::salva);
    connect(Trovati, &QListWidget::itemSelectionChanged, this, &FormCerca::aggiorna);
    aggiorna();
}

void FormCerca::aggiorna() {
    const bool scelto = !inCorso_ && Trovati->currentRow() >= 0;
    Usa->setEnabled(scelto);
    Salva->setEnabled(scelto);
}

void FormCerca::Esegui() {
    struct OsservaCerca : Osserva {
        OsservaCerca(FormCerca &f) : Osserva(f), c(f) {}
        void Trovato(const QString &id, const QString &risposta) override {
            c.ids_ << id;
            c.Trovati->addItem(RigaTrovato(id, risposta).trimmed());
            if (c.Trovati->currentRow() < 0) c.Trovati->setCurrentRow(0);
        }
        FormCerca &c;
    };
    show();
    inCorso_ = true;
    aggiorna();
    Inizio();
    OsservaCerca o(*this);
    const QStringList ordine = Operazioni::OrdineCerca(V::Identificativo);
    const Operazioni::RisultatoCerca r = Operazioni::Cerca(o, ordine, !V::Modo485);
    inCorso_ = false;
    if (!V::Modo485 && !r.trovati.isEmpty()) // one panel on RS232: the search is over
        Barra->setFormat(
            QStringLiteral("Trovato al tentativo %1 di %2").arg(r.provati).arg(ordine.size()));
    QString testo;
    if (r.interrotta)
        testo = QStringLiteral("Ricerca interrotta: provati %1 identificativi di %2.")
                    .arg(r.provati)
                    .arg(ordine.size());
    else if (!r.chiusa.isEmpty())
        testo = QStringLiteral("Ricerca interrotta a %1, la porta si è chiusa. %2")
                    .arg(Traccia::Visibile(r.chiusa), FormSeriale::Istanza().ErroreApertura());
    else if (!r.estranea.isEmpty())
        testo =
            QStringLiteral("Ricerca fermata sulla porta %1: %2.").arg(NomePortaLinea(), r.estranea);
    else if (r.trovati.isEmpty())
        testo = QStringLiteral("Nessuna centrale risponde sulla porta %1 (%2 identificativi "
                               "provati su %3). Controlla il cavo, l'alimentazione della "
                               "centrale e il tipo di linea in Seriale318.con (rs232 o rs485); "
                               "\"Porta…\" nel menu sceglie un'altra porta.")
                    .arg(NomePortaLinea())
                    .arg(r.provati)
                    .arg(V::Modo485 ? QStringLiteral("RS485") : QStringLiteral("RS232"));
    else
        testo = QStringLiteral("Scegli un identificativo: \"Usa questo identificativo\" vale "
                               "per questa sessione, \"Salva in Seriale318.con\" anche per le "
                               "prossime.");
    if (!r.nonInteri.isEmpty()) testo = RigaNonInteri(r.nonInteri) + testo;
    if (r.eco && !V::Modo485)
        testo += QStringLiteral("\nLa linea restituisce l'eco di ogni comando, come un bus "
                                "RS485: scrivi rs485 in Seriale318.con.");
    Esito->setText(testo);
    aggiorna();
    Fine();
    if (Trovati->count() > 0) Trovati->setFocus();
}

void FormCerca::usa() {
    const int riga = Trovati->currentRow();
    if (riga < 0) return;
    V::Identificativo = ids_[riga];
    Esito->setText(QStringLiteral("Identificativo %1 in uso fino alla chiusura del programma.")
                       .arg(Traccia::Visibile(V::Identificativo)));
}

void FormCerca::salva() {
    const int riga = Trovati->currentRow();
    if (riga < 0) return;
    const QString percorso =
        QDir(FormSeriale::Istanza().MSComm1.CartellaPorte()).filePath(NomeFileConfigurazione);
    if (const QString errore = SalvaIdentificativo(percorso, ids_[riga]); !errore.isEmpty()) {
        Esito->setText(QStringLiteral("Seriale318.con non salvato: %1").arg(errore));
        return;
    }
    V::Identificativo = ids_[riga];
    Esito->setText(QStringLiteral("Identificativo %1 salvato in %2: vale da ora e alle prossime "
                                  "partenze.")
                       .arg(Traccia::Visibile(V::Identificativo), percorso));
}

FormPorta::FormPorta(QWidget *padre) : QDialog(padre) {
    setObjectName(QStringLiteral("FormPorta"));
    setWindowTitle(QStringLiteral("Porta"));
    setModal(true);
    Spiegazione = NuovaEtichetta(this, "Spiegazione");
    aggiornaSpiegazione();
    Porte = new QListWidget(this);
    Porte->setObjectName(QStringLiteral("Porte"));
    const QFont fisso = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    Porte->setFont(fisso);
    // The columns of --porte, under a line that names them.
    auto *intestazione = NuovaEtichetta(this, "Intestazione");
    intestazione->setFont(fisso);
    intestazione->setWordWrap(false);
    intestazione->setIndent(Porte->frameWidth() +
                            Porte->style()->pixelMetric(QStyle::PM_FocusFrameHMargin));
    const QList<PortaSeriale> presenti = PortePresenti();
    QStringList righe = ElencoPorte(presenti, true).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!presenti.isEmpty()) intestazione->setText(righe.takeFirst());
    intestazione->setVisible(!presenti.isEmpty());
    for (qsizetype i = 0; i < presenti.size(); ++i) {
        QString riga = righe.value(i);
        if (const QString chi = ChiTieneLaPorta(presenti[i].dispositivo); !chi.isEmpty())
            riga += QStringLiteral("  (occupata da %1)").arg(chi);
        auto *voce = new QListWidgetItem(riga, Porte);
        voce->setData(Qt::UserRole, presenti[i].dispositivo);
    }
    if (presenti.isEmpty()) {
        auto *voce = new QListWidgetItem(righe.value(0), Porte);
        voce->setFlags(Qt::NoItemFlags);
    }
    auto *etichetta = new QLabel(QStringLiteral("&Dispositivo o indirizzo:"), this);
    Indirizzo = new QLineEdit(this);
    Indirizzo->setObjectName(QStringLiteral("Indirizzo"));
    etichetta->setBuddy(Indirizzo);
    Esito = NuovaEtichetta(this, "Esito");
    Usa = NuovoPulsante(this, "Usa", QStringLiteral("Usa"));
    Salva = NuovoPulsante(this, "Salva", QStringLiteral("Salva"));
    Chiudi = NuovoPulsante(this, "Chiudi", QStringLiteral("Chiudi"));
    Usa->setToolTip(QStringLiteral("Apre questa porta fino alla chiusura del programma"));
    Salva->setToolTip(QStringLiteral("Apre questa porta e la scrive come %1 nella cartella "
                                     "di partenza, per le prossime partenze")
                          .arg(FormSeriale::NomeCom()));
    auto *campo = new QHBoxLayout;
    campo->addWidget(etichetta);
    campo->addWidget(Indirizzo, 1);
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addWidget(Usa);
    pulsanti->addWidget(Salva);
    pulsanti->addStretch();
    pulsanti->addWidget(Chiudi);
    auto *l = new QVBoxLayout(this);
    l->addWidget(Spiegazione);
    l->addWidget(intestazione);
    l->addWidget(Porte, 1);
    l->addLayout(campo);
    l->addWidget(Esito);
    l->addLayout(pulsanti);
    resize(620, 360);
    // The field starts on the port in use, so that "Salva" at once keeps it; a
    // row chosen (click or arrows) replaces it, the list taking the focus does not.
    const QString inUso = FormSeriale::Istanza().MSComm1.Dispositivo();
    Indirizzo->setText(inUso);
    for (int i = 0; i < Porte->count(); ++i)
        if (!inUso.isEmpty() && Porte->item(i)->data(Qt::UserRole).toString() == inUso)
            Porte->setCurrentRow(i);
    connect(Porte, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem *> scelte = Porte->selectedItems();
        if (!scelte.isEmpty()) Indirizzo->setText(scelte.first()->data(Qt::UserRole).toString());
    });
    connect(Usa, &QPushButton::clicked, this, &FormPorta::usa);
    connect(Indirizzo, &QLineEdit::returnPressed, this, &FormPorta::usa);
    connect(Salva, &QPushButton::clicked, this, &FormPorta::salva);
    connect(Chiudi, &QPushButton::clicked, this, &QDialog::accept);
    Porte->setFocus();
}

void FormPorta::aggiornaSpiegazione() {
    QString dispositivo = FormSeriale::Istanza().MSComm1.Dispositivo();
    if (dispositivo.isEmpty())
        dispositivo = QStringLiteral("nessun dispositivo");
    else if (!IndirizzoDiRete(dispositivo) && !QFileInfo::exists(dispositivo))
        dispositivo += QStringLiteral(", che ora non c'è"); // an adapter pulled out
    Spiegazione->setText(
        QStringLiteral("La porta %1 apre ora %2.\nScegli una porta seriale, oppure scrivi "
                       "l'indirizzo di rete di un convertitore (tcp://HOST:PORTA o "
                       "rfc2217://HOST:PORTA).")
            .arg(FormSeriale::NomeCom(), dispositivo));
}

QString FormPorta::scelta() {
    const QString testo = Indirizzo->text().trimmed();
    if (testo.isEmpty()) {
        Esito->setText(QStringLiteral("Scegli una porta dall'elenco o scrivi un indirizzo."));
        return QString();
    }
    if (IndirizzoDiRete(testo)) {
        if (const QString errore = LeggiIndirizzo(testo).errore; !errore.isEmpty()) {
            Esito->setText(QStringLiteral("%1: %2").arg(testo, errore));
            return QString();
        }
        return testo;
    }
    return DispositivoDaOpzione(testo);
}

void FormPorta::riapri(const QString &fatto) {
    FormSeriale &seriale = FormSeriale::Istanza();
    seriale.ChiudiSeriale();
    seriale.ApriSeriale();
    aggiornaSpiegazione();
    Esito->setText(seriale.MSComm1.PortOpen()
                       ? fatto + QStringLiteral(" La porta è aperta.")
                       : fatto + QLatin1Char('\n') + seriale.ErroreApertura());
}

bool FormPorta::prova(const QString &dispositivo) {
    FormSeriale &seriale = FormSeriale::Istanza();
    MSComm &comm = seriale.MSComm1;
    const QString forzato = comm.DispositivoForzato(), prima = comm.Dispositivo();
    comm.setDispositivoForzato(dispositivo);
    seriale.ChiudiSeriale();
    seriale.ApriSeriale();
    aggiornaSpiegazione();
    if (comm.PortOpen()) return true;
    const QString errore = seriale.ErroreApertura();
    comm.setDispositivoForzato(forzato);
    seriale.ChiudiSeriale();
    seriale.ApriSeriale();
    aggiornaSpiegazione();
    const QString com = FormSeriale::NomeCom();
    // Why it failed, without the list of ports the window already shows.
    QString testo = errore.section(QStringLiteral("\n\n"), 0, 0) + QLatin1Char('\n');
    if (comm.PortOpen())
        testo += QStringLiteral("%1 resta su %2, aperta.").arg(com, comm.Dispositivo());
    else
        testo += QStringLiteral("%1 resta su %2, che però non si apre.")
                     .arg(com, prima.isEmpty() ? QStringLiteral("nessun dispositivo") : prima);
    Esito->setText(testo);
    return false;
}

void FormPorta::usa() {
    const QString dispositivo = scelta();
    if (dispositivo.isEmpty() || !prova(dispositivo)) return;
    Esito->setText(QStringLiteral("%1 usa %2 fino alla chiusura del programma. La porta è "
                                  "aperta.")
                       .arg(FormSeriale::NomeCom(), dispositivo));
}

void FormPorta::salva() {
    // Only a port that opens is written: the next start must find a working link.
    const QString dispositivo = scelta();
    if (dispositivo.isEmpty() || !prova(dispositivo)) return;
    MSComm &comm = FormSeriale::Istanza().MSComm1;
    const QString nome = QStringLiteral("COM") + V::NumeroPorta;
    const QString percorso = QDir(comm.CartellaPorte()).filePath(nome);
    const QFileInfo voce(percorso);
    QString errore;
    if (voce.isDir() && !voce.isSymLink()) {
        errore = QStringLiteral("%1 è una cartella").arg(percorso);
    } else if (IndirizzoDiRete(dispositivo)) {
        // A link would lead the save to its device: the entry becomes a file.
        if (voce.isSymLink() && !QFile::remove(percorso))
            errore = QStringLiteral("%1 non si può sostituire").arg(percorso);
        else
            Salvataggio::Salva(percorso, dispositivo.toUtf8() + '\n', &errore);
    } else {
        // The new link is made beside the entry, then takes its place in one
        // step. It leads to the name chosen (a stable /dev/serial/by-id/... name
        // stays one), not to the device it stands for today.
        const QString nuovo = percorso + QStringLiteral(".velto-nuovo");
        QFile::remove(nuovo);
        if (!QFile::link(QFileInfo(Indirizzo->text().trimmed()).absoluteFilePath(), nuovo))
            errore = QStringLiteral("il collegamento %1 non si può creare").arg(percorso);
        else if (std::rename(QFile::encodeName(nuovo).constData(),
                             QFile::encodeName(percorso).constData()) != 0) {
            errore = QStringLiteral("%1: %2").arg(percorso, Salvataggio::Motivo(errno));
            QFile::remove(nuovo);
        }
    }
    if (!errore.isEmpty()) {
        Esito->setText(QStringLiteral("Non salvato: %1. %2 usa %3 fino alla chiusura del "
                                      "programma.")
                           .arg(errore, FormSeriale::NomeCom(), dispositivo));
        return;
    }
    comm.setDispositivoForzato(QString());
    comm.setCartellaPorte(comm.CartellaPorte()); // what COMn names is worked out again
    riapri(QStringLiteral("%1 ora è %2, anche alle prossime partenze.").arg(percorso, dispositivo));
}

QString NomePortaLinea() {
    return FormSeriale::Istanza().NomePorta();
}

void CercaIlVelto(QWidget *padre) {
    FormCerca f(padre);
    f.Esegui();
    if (f.isVisible()) f.exec();
}

void ScegliPorta(QWidget *padre) {
    FormPorta f(padre);
    f.exec();
}

void CambiaTraccia(QWidget *padre) {
    if (Traccia::Attiva()) {
        Traccia::Chiudi();
        fileTraccia.clear();
        AggiornaTitoli();
        return;
    }
    QFileDialog scelta(padre, QStringLiteral("Traccia degli scambi"),
                       FormSeriale::Istanza().MSComm1.CartellaPorte(),
                       QStringLiteral("Tracce (*.txt);;Tutti i file (*)"));
    scelta.setObjectName(QStringLiteral("SceltaTraccia"));
    scelta.setOption(QFileDialog::DontUseNativeDialog);
    scelta.setAcceptMode(QFileDialog::AcceptSave);
    scelta.setOption(QFileDialog::DontConfirmOverwrite); // the trace is appended
    scelta.selectFile(QStringLiteral("traccia.txt"));
    if (scelta.exec() != QDialog::Accepted || scelta.selectedFiles().isEmpty()) return;
    const QString file = scelta.selectedFiles().first();
    if (const QString errore = Traccia::Apri(file); !errore.isEmpty()) {
        Avviso(padre, QMessageBox::Warning, errore);
        return;
    }
    fileTraccia = QDir::toNativeSeparators(file);
    AggiornaTitoli();
}

QAction *VoceTraccia(QMenu *menu, QWidget *finestra) {
    finestra->setProperty(TitoloBase, finestra->windowTitle());
    AggiornaTitoli();
    QAction *a = menu->addAction(QStringLiteral("Traccia degli scambi…"));
    a->setObjectName(QStringLiteral("VoceTraccia"));
    a->setCheckable(true);
    QObject::connect(menu, &QMenu::aboutToShow, a, [a] { a->setChecked(Traccia::Attiva()); });
    QObject::connect(a, &QAction::triggered, finestra, [finestra, a] {
        CambiaTraccia(finestra);
        a->setChecked(Traccia::Attiva());
    });
    return a;
}

void ALineaLibera(QObject *contesto, const std::function<void()> &lavoro) {
    if (!V::SerialeOccupata) {
        lavoro();
        return;
    }
    QTimer::singleShot(50, contesto, [contesto, lavoro] { ALineaLibera(contesto, lavoro); });
}

QString SuggerimentoNessunaRisposta() {
    if (!FormSeriale::Istanza().MSComm1.PortOpen()) {
        // Why it did not open (no rights, busy, not there), or a lost one.
        const MSComm &comm = FormSeriale::Istanza().MSComm1;
        QString perche = comm.ErroreApertura();
        if (perche.isEmpty())
            perche = QStringLiteral("adattatore scollegato o collegamento di rete chiuso");
        else if (comm.CodiceErrore() == QSerialPort::DeviceNotFoundError &&
                 !IndirizzoDiRete(comm.Dispositivo()))
            perche += QStringLiteral(" (adattatore scollegato?)");
        return QStringLiteral("La porta %1 non è aperta: %2. Ricollega l'adattatore (o riavvia il "
                              "server seriale) e premi il pulsante rosso; oppure, dal menu (tasto "
                              "destro), \"Porta…\" sceglie un'altra porta.")
            .arg(NomePortaLinea(), perche);
    }
    return QStringLiteral("La centrale non risponde sulla porta %1 con l'identificativo %2. "
                          "Controlla il cavo e l'alimentazione della centrale; poi, dal menu "
                          "(tasto destro): \"Cerca il VELTO sulla linea…\" trova "
                          "l'identificativo, \"Porta…\" sceglie un'altra porta.")
        .arg(NomePortaLinea(), Traccia::Visibile(V::Identificativo));
}

void AvvisaNessunaRisposta(QWidget *padre) {
    if (V::NessunaRispostaDetta) return;
    V::NessunaRispostaDetta = true;
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Velto318"),
                                SuggerimentoNessunaRisposta(), QMessageBox::Ok, padre);
    box->setObjectName(QStringLiteral("AvvisoNessunaRisposta"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}
