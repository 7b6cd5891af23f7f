// A site's versions ("Storia") and its register ("Registro").
#include "linea/Comuni.h"
#include "linea/FinestreLinea.h"
#include "linea/FormImpianti.h"

#include "files/EditaMessaggi.h"
#include "files/FileMessaggi.h"
#include "files/Programmazione.h"
#include "impianti/Registro.h"
#include "jobs/Esiti.h"
#include "link/Traccia.h"
#include "rapporti/RapportoRegistro.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"
#include "widgets/Aspetto.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace Finestre;

namespace {

// The windows' sizes, in twips.
const Twips MisuraStoria{0, 0, 13500, 8700};
const Twips MisuraRegistro{0, 0, 17400, 8100};
const Twips MisuraRipristino{0, 0, 9000, 2400};

// A field edited by hand may hold control characters: shown visibly, as
// the command line shows them.
QTableWidgetItem *Cella(const QString &testo) {
    const QString visibile = Traccia::ControlliVisibili(testo);
    auto *c = new QTableWidgetItem(visibile);
    c->setFlags(c->flags() & ~Qt::ItemIsEditable);
    c->setToolTip(visibile);
    return c;
}

QTableWidget *Tabella(QWidget *padre, const char *nome, const QStringList &colonne) {
    auto *t = new QTableWidget(0, int(colonne.size()), padre);
    t->setObjectName(QLatin1String(nome));
    t->setHorizontalHeaderLabels(colonne);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->hide();
    t->setTabKeyNavigation(false);
    for (int c = 0; c + 1 < colonne.size(); ++c)
        t->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

QString Quando(const QDateTime &quando) {
    return quando.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

// "versione N" padded to the width of the longer of two.
QString Etichetta(int numero, int larghezza) {
    return (QStringLiteral("versione ") + QString::number(numero) + QLatin1Char(':'))
        .leftJustified(larghezza);
}

// How many of a version's texts a restore changes: "Cambia 1 dei suoi 3
// testi", "Nessuno dei suoi 3 testi cambia", "Il suo unico testo non cambia".
QString TestiCheCambiano(int cambiati, qsizetype totale) {
    if (totale == 1)
        return cambiati ? QStringLiteral("Cambia il suo unico testo")
                        : QStringLiteral("Il suo unico testo non cambia");
    if (cambiati == 0) return QStringLiteral("Nessuno dei suoi %1 testi cambia").arg(totale);
    return (cambiati == 1 ? QStringLiteral("Cambia 1")
                          : QStringLiteral("Cambiano %1").arg(cambiati)) +
           QStringLiteral(" dei suoi %1 testi").arg(totale);
}

// "Versione N non ripristinata: why. Nulla è stato inviato."
QString NonRipristinata(int numero, const QString &perche) {
    return QStringLiteral("Versione %1 non ripristinata: %2. Nulla è stato inviato.")
        .arg(numero)
        .arg(perche);
}

// Asks whether to restore, in the words of `domanda`.
bool ChiediRipristino(QWidget *padre, const QString &impianto, const QString &domanda) {
    QMessageBox chiedi(QMessageBox::Question, QStringLiteral("Ripristina — ") + impianto, domanda,
                       QMessageBox::NoButton, padre);
    chiedi.setObjectName(QStringLiteral("DomandaRipristino"));
    QPushButton *si = chiedi.addButton(QStringLiteral("Ripristina"), QMessageBox::AcceptRole);
    chiedi.setDefaultButton(chiedi.addButton(QStringLiteral("Annulla"), QMessageBox::RejectRole));
    chiedi.exec();
    return chiedi.clickedButton() == si;
}

} // namespace

QString RigheVersioni(const QList<Versioni::Differenza> &diverse, int prima, int dopo) {
    const int larghezza = int(std::max(Etichetta(prima, 0).size(), Etichetta(dopo, 0).size())) + 1;
    const auto testo = [](const QString &t) {
        return t.isEmpty() ? QStringLiteral("(nessun testo)") : TestoVisibile(t);
    };
    QString righe;
    for (const Versioni::Differenza &d : diverse)
        righe += QStringLiteral("%1  %2%3\n     %4%5\n")
                     .arg(d.numero, Etichetta(prima, larghezza), testo(d.prima),
                          Etichetta(dopo, larghezza), testo(d.dopo));
    return righe;
}

int TestiCambiati(const Versioni::Testi &versione, const Versioni::Testi &ultima) {
    int n = 0;
    for (const Versioni::Differenza &d : Versioni::Confronta(ultima, versione))
        n += versione.contains(d.numero);
    return n;
}

// ---- The versions ----

FormStoria::FormStoria(QWidget *padre, const QString &impianto)
    : QDialog(padre), impianto_(impianto) {
    setObjectName(QStringLiteral("FormStoria"));
    setWindowTitle(QStringLiteral("Storia — ") + impianto);
    setModal(true);
    auto *spiegazione = NuovaEtichetta(this, "Spiegazione");
    spiegazione->setText(
        QStringLiteral("Le versioni dell'impianto %1, dalla più recente: quanto la centrale "
                       "teneva (letto, copia prima dell'invio) e quanto le è stato inviato. Una "
                       "versione non si cambia mai: aperta nell'editor, si salva in un file "
                       "nuovo.")
            .arg(impianto));
    Elenco = Tabella(this, "Elenco",
                     {"N.", "Data e ora", "Tipo", "Testi", "Impronta", "Computer", "Nome"});
    Differenze = new QPlainTextEdit(this);
    Differenze->setObjectName(QStringLiteral("Differenze"));
    Differenze->setReadOnly(true);
    Differenze->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Differenze->setLineWrapMode(QPlainTextEdit::NoWrap);
    Esito = NuovaEtichetta(this, "Esito");
    ConfrontaCentrale =
        NuovoPulsante(this, "ConfrontaCentrale", QStringLiteral("Confronta con la centrale"));
    ConfrontaCon = NuovoPulsante(this, "ConfrontaCon", QStringLiteral("Confronta con…"));
    ApriEditor = NuovoPulsante(this, "ApriEditor", QStringLiteral("Apri nell'editor"));
    Ripristina = NuovoPulsante(this, "Ripristina", QStringLiteral("Ripristina…"));
    Chiudi = NuovoPulsante(this, "Chiudi", QStringLiteral("Chiudi"));
    ConfrontaCentrale->setToolTip(QStringLiteral("Legge dalla centrale i testi della versione "
                                                 "e dice quali sono cambiati; non scrive nulla"));
    ConfrontaCon->setToolTip(QStringLiteral("I testi diversi tra due versioni (scegline due "
                                            "nell'elenco, o una e poi l'altra)"));
    ApriEditor->setToolTip(QStringLiteral("Apre la versione nell'editor; \"Salva\" la scrive in "
                                          "un file nuovo, col nome che scegli"));
    auto *pulsanti = new QHBoxLayout;
    for (QPushButton *b : {ConfrontaCentrale, ConfrontaCon, ApriEditor, Ripristina})
        pulsanti->addWidget(b);
    pulsanti->addStretch();
    pulsanti->addWidget(Chiudi);
    auto *l = new QVBoxLayout(this);
    l->addWidget(spiegazione);
    l->addWidget(Elenco, 3);
    l->addWidget(Differenze, 2);
    l->addWidget(Esito);
    l->addLayout(pulsanti);
    Dimensiona(this, MisuraStoria);
    connect(Elenco, &QTableWidget::itemSelectionChanged, this, &FormStoria::abilita);
    connect(ConfrontaCentrale, &QPushButton::clicked, this, &FormStoria::confrontaCentrale);
    connect(ConfrontaCon, &QPushButton::clicked, this, &FormStoria::confrontaCon);
    connect(ApriEditor, &QPushButton::clicked, this, &FormStoria::apriEditor);
    connect(Ripristina, &QPushButton::clicked, this, &FormStoria::ripristina);
    connect(Chiudi, &QPushButton::clicked, this, &QDialog::accept);
    riempi();
    if (versioni_.isEmpty())
        Esito->setText(QStringLiteral("L'impianto %1 non ha ancora versioni: la prima nasce dalla "
                                      "prima lettura o dal primo invio.")
                           .arg(impianto));
    Elenco->setFocus();
}

void FormStoria::riempi() {
    versioni_ = Versioni::Elenco(impianto_);
    Elenco->setRowCount(0);
    for (int riga = 0; riga < versioni_.size(); ++riga) {
        // Newest first.
        const Versioni::Versione &v = versioni_[versioni_.size() - 1 - riga];
        Elenco->insertRow(riga);
        const QStringList celle = {QString::number(v.numero),
                                   Quando(v.quando),
                                   Versioni::NomeTipo(v.tipo),
                                   v.illeggibile.isEmpty() ? QString::number(v.testi)
                                                           : QStringLiteral("illeggibile"),
                                   v.impronta,
                                   v.computer,
                                   v.nome}; // the stable name jobs and the register use
        for (int c = 0; c < celle.size(); ++c)
            Elenco->setItem(riga, c, Cella(celle[c]));
        if (!v.illeggibile.isEmpty())
            Elenco->item(riga, 3)->setToolTip(Traccia::ControlliVisibili(v.illeggibile));
        Elenco->item(riga, 0)->setData(Qt::UserRole, int(versioni_.size() - 1 - riga));
    }
    if (!versioni_.isEmpty()) Elenco->selectRow(0);
    abilita();
}

QList<Versioni::Versione> FormStoria::scelte() const {
    QList<int> indici;
    for (const QModelIndex &i : Elenco->selectionModel()->selectedRows())
        indici << Elenco->item(i.row(), 0)->data(Qt::UserRole).toInt();
    std::sort(indici.begin(), indici.end());
    QList<Versioni::Versione> v;
    for (int i : indici)
        v << versioni_[i];
    return v;
}

void FormStoria::abilita() {
    const qsizetype n = scelte().size();
    ApriEditor->setEnabled(n == 1);
    ConfrontaCon->setEnabled((n == 1 && versioni_.size() > 1) || n == 2);
    // The panel is that of the run's link: the site's only when the run talks
    // on the site's link, with its identifier (after "Usa", as a rule).
    QString errore;
    const auto impianto = Impianti::Carica(impianto_, &errore);
    const QString altra = impianto ? NonLaSuaCentrale(*impianto) : errore;
    ConfrontaCentrale->setEnabled(n == 1 && altra.isEmpty());
    ConfrontaCentrale->setToolTip(
        !altra.isEmpty() ? altra
        : n == 1 ? QStringLiteral("Legge dalla centrale i testi della versione e dice quali "
                                  "sono cambiati; non scrive nulla")
                 : QStringLiteral("Scegli una versione da confrontare con la centrale"));
    // A restore writes to the panel: only that of the site in use.
    QString perche = altra;
    if (perche.isEmpty() && Impianti::InUso() != impianto_)
        perche = QStringLiteral("Nessun impianto è in uso: per ripristinare una versione premi "
                                "\"Usa\" sull'impianto %1 nella finestra Impianti…, il "
                                "collegamento e l'identificativo diventano i suoi")
                     .arg(impianto_);
    Ripristina->setEnabled(n == 1 && perche.isEmpty());
    Ripristina->setToolTip(
        !perche.isEmpty() ? perche
        : n == 1 ? QStringLiteral("Invia la versione alla centrale dell'impianto, dopo una copia "
                                  "dei testi che ha ora")
                 : QStringLiteral("Scegli una sola versione da ripristinare"));
}

void FormStoria::ripristina() {
    const QList<Versioni::Versione> v = scelte();
    if (v.size() != 1 || Impianti::InUso() != impianto_) return;
    const int numero = v[0].numero;
    QString errore;
    const auto impianto = Impianti::Carica(impianto_, &errore);
    if (impianto && !NonLaSuaCentrale(*impianto).isEmpty()) {
        Esito->setText(NonLaSuaCentrale(*impianto));
        return;
    }
    const auto voci =
        impianto ? InvioImpianto::VociDellaVersione(impianto_, numero, &errore) : std::nullopt;
    const auto domanda = voci ? domandaRipristino(v[0], *impianto, &errore) : std::nullopt;
    if (!domanda) {
        Esito->setText(NonRipristinata(numero, errore));
        return;
    }
    if (!ChiediRipristino(this, impianto_, *domanda)) return;
    InvioImpianto::Lavoro lavoro(
        impianto_,
        {false, QStringLiteral("versione %1 (ripristino)").arg(numero), PortaDelRegistro(impianto_),
         QStringLiteral("ripristino della versione %1").arg(Versioni::Detta(v[0]))});
    if (!lavoro.NonIniziato().isEmpty()) {
        Esito->setText(NonRipristinata(numero, lavoro.NonIniziato()));
        return;
    }
    inviaVersione(lavoro, numero, *impianto, *voci);
}

std::optional<QString> FormStoria::domandaRipristino(const Versioni::Versione &v,
                                                     const Impianti::Impianto &impianto,
                                                     QString *errore) const {
    const int numero = v.numero;
    const auto testi = Versioni::TestiDi(v, errore);
    const auto ultime = testi ? Versioni::TestiDi(versioni_.last(), errore) : std::nullopt;
    if (!ultime) return std::nullopt;
    const int cambiati = TestiCambiati(*testi, *ultime);
    const QString centrale = Traccia::Visibile(V::Identificativo);
    QString domanda =
        QStringLiteral("Ripristinare la versione %1 (%2, %3) sull'impianto %4, centrale %5 sulla "
                       "porta %6?\n\n")
            .arg(numero)
            .arg(Quando(v.quando), Versioni::NomeTipo(v.tipo), impianto_, centrale,
                 NomePortaLinea());
    // Against what the panel holds when this window has just compared them,
    // else against the newest version, said as such.
    if (confrontata_ == numero && diverseDallaCentrale_ >= 0 &&
        centraleConfrontata_ == centrale + QLatin1Char(' ') + NomePortaLinea())
        domanda += TestiCheCambiano(diverseDallaCentrale_, testi->size()) +
                   QStringLiteral(" rispetto a quanto la centrale ha ora (il confronto appena "
                                  "fatto).");
    else
        domanda +=
            numero == versioni_.last().numero
                ? QStringLiteral("È la versione più recente nel libro (%1): rispetto a essa "
                                 "nessun testo cambia; quanto la centrale ha ora non è stato "
                                 "confrontato (\"Confronta con la centrale\" lo dice).")
                      .arg(Quanti(testi->size(), "testo", "testi"))
                : TestiCheCambiano(cambiati, testi->size()) +
                      QStringLiteral(" rispetto alla versione più recente nel libro (la %1), non "
                                     "a quanto la centrale ha ora.")
                          .arg(versioni_.last().numero);
    domanda += impianto.copia
                   ? QStringLiteral(" Prima di scrivere, i testi che la centrale ha ora sono "
                                    "letti e conservati in una nuova versione; si scrivono solo "
                                    "quelli diversi.")
                   : QStringLiteral(" La copia della centrale prima dell'invio è spenta per "
                                    "questo impianto: i testi che ha ora non saranno conservati.");
    return domanda;
}

void FormStoria::inviaVersione(InvioImpianto::Lavoro &lavoro, int numero,
                               const Impianti::Impianto &impianto,
                               const QList<Programmazione::Voce> &voci) {
    FinestraLavoro f(this, QStringLiteral("FormRipristino"),
                     QStringLiteral("Ripristino — %1, versione %2").arg(impianto_).arg(numero));
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    pulsanti->addWidget(f.Interrompi);
    pulsanti->addWidget(f.Chiudi);
    auto *l = new QVBoxLayout(&f);
    l->addWidget(f.Esito, 1);
    l->addWidget(f.Barra);
    l->addLayout(pulsanti);
    Dimensiona(&f, MisuraRipristino);
    // The job's second status line is the window's while it runs.
    struct Mostra : Osserva {
        using Osserva::Osserva;
        void Riga2(const QString &testo) override { f.Esito->setText(testo); }
    } o(f);
    f.show();
    f.Inizio();
    const InvioImpianto::Risultato r =
        lavoro.Invia(o, &impianto, voci, Operazioni::RisultatoInvio());
    f.Fine();
    confrontata_ = 0; // the panel holds something else now
    const QString nonAnnotato =
        r.nonAnnotato.isEmpty()
            ? QString()
            : QStringLiteral("\nRegistro dell'impianto non aggiornato: %1.").arg(r.nonAnnotato);
    f.Esito->setText(r.parole + nonAnnotato);
    riempi();
    Esito->setText(QStringLiteral("Ripristino della versione %1 sulla centrale %2: %3.%4")
                       .arg(numero)
                       .arg(Traccia::Visibile(V::Identificativo), r.parole, nonAnnotato));
    if (r.invio.muto) AvvisaNessunaRisposta(this);
    if (f.isVisible() && !V::Interruzione) f.exec();
    if (V::Interruzione) reject();
}

void FormStoria::confrontaCentrale() {
    const QList<Versioni::Versione> v = scelte();
    if (v.size() != 1) return;
    QString errore;
    const auto impianto = Impianti::Carica(impianto_, &errore);
    const QString altra = impianto ? NonLaSuaCentrale(*impianto) : errore;
    if (!altra.isEmpty()) {
        Esito->setText(QStringLiteral("Nessun confronto: %1").arg(altra));
        return;
    }
    const auto scansione = FormatoMessaggi::LeggiMessaggi(v[0].percorso, &errore);
    // The newest: all that is known of the panel, the later versions of some
    // texts on top of the newest complete one.
    const auto stato = v[0].numero == versioni_.last().numero && scansione
                           ? Versioni::StatoNoto(impianto_, &errore)
                           : std::nullopt;
    if (!scansione || (v[0].numero == versioni_.last().numero && !stato)) {
        Esito->setText(
            QStringLiteral("Versione %1 non leggibile: %2").arg(v[0].numero).arg(errore));
        return;
    }
    const QList<Programmazione::Voce> voci =
        stato ? InvioImpianto::Voci(stato->testi) : Programmazione::VociDaInviare(*scansione);
    FormConfronto f(this, v[0].percorso);
    f.setWindowTitle(QStringLiteral("Confronto — %1, versione %2").arg(impianto_).arg(v[0].numero));
    f.Esegui(voci);
    confrontata_ = v[0].numero;
    diverseDallaCentrale_ = f.Diverse;
    centraleConfrontata_ =
        Traccia::Visibile(V::Identificativo) + QLatin1Char(' ') + NomePortaLinea();
    const QString testo =
        QStringLiteral("Versione %1 confrontata con la centrale %2 sulla porta "
                       "%3: %4.")
            .arg(v[0].numero)
            .arg(Traccia::Visibile(V::Identificativo), NomePortaLinea(), f.Sintesi);
    QString nonAnnotato;
    if (!Manutenzione::Annota(
            impianto_, PortaDelRegistro(impianto_),
            QStringLiteral("confronto con la centrale, versione %1").arg(Versioni::Detta(v[0])),
            f.Sintesi, &nonAnnotato))
        nonAnnotato =
            QStringLiteral("\nRegistro dell'impianto non aggiornato: %1.").arg(nonAnnotato);
    Esito->setText(testo + nonAnnotato);
    if (f.isVisible() && !V::Interruzione) f.exec();
    if (V::Interruzione) reject();
}

void FormStoria::confrontaCon() {
    QList<Versioni::Versione> v = scelte();
    if (v.size() == 1) {
        // The other version is asked for.
        QStringList voci;
        QList<int> indici;
        for (qsizetype i = versioni_.size() - 1; i >= 0; --i) {
            if (versioni_[i].numero == v[0].numero) continue;
            voci << QStringLiteral("%1  %2  %3")
                        .arg(versioni_[i].numero)
                        .arg(Quando(versioni_[i].quando), Versioni::NomeTipo(versioni_[i].tipo));
            indici << int(i);
        }
        if (voci.isEmpty()) return;
        QInputDialog domanda(this);
        domanda.setObjectName(QStringLiteral("SceltaVersione"));
        domanda.setWindowTitle(QStringLiteral("Confronta con…"));
        domanda.setLabelText(
            QStringLiteral("Confronta la versione %1 con la versione:").arg(v[0].numero));
        domanda.setComboBoxItems(voci);
        domanda.setOkButtonText(QStringLiteral("Confronta"));
        domanda.setCancelButtonText(QStringLiteral("Annulla"));
        if (domanda.exec() != QDialog::Accepted) return;
        const qsizetype scelta = voci.indexOf(domanda.textValue());
        if (scelta < 0) return;
        v << versioni_[indici[scelta]];
        std::sort(v.begin(), v.end(), [](const Versioni::Versione &a, const Versioni::Versione &b) {
            return a.numero < b.numero;
        });
    }
    if (v.size() != 2) return;
    QString errore;
    const auto prima = Versioni::TestiDi(v[0], &errore);
    const auto dopo = prima ? Versioni::TestiDi(v[1], &errore) : std::nullopt;
    if (!prima || !dopo) {
        Differenze->clear();
        Esito->setText(errore);
        return;
    }
    const QList<Versioni::Differenza> diverse = Versioni::Confronta(*prima, *dopo);
    Differenze->setPlainText(RigheVersioni(diverse, v[0].numero, v[1].numero));
    Esito->setText(diverse.isEmpty()
                       ? QStringLiteral("Le versioni %1 e %2 hanno gli stessi testi.")
                             .arg(v[0].numero)
                             .arg(v[1].numero)
                       : QStringLiteral("%1 tra la versione %2 e la versione %3 "
                                        "(· è uno spazio).")
                             .arg(Quanti(diverse.size(), "testo diverso", "testi diversi"))
                             .arg(v[0].numero)
                             .arg(v[1].numero));
}

void FormStoria::apriEditor() {
    const QList<Versioni::Versione> v = scelte();
    if (v.size() != 1) return;
    // The editor loads the version itself; its "Salva" always goes through the
    // save window, which starts in the working folder with no name: the
    // version is never the file written. The file chosen in the programming
    // window stays the one it was.
    const QString primo = V::NomeFile;
    V::NomeFile = v[0].percorso;
    EditaMessaggi editor(this);
    const bool letto = editor.Form_Load();
    if (letto) {
        editor.setWindowTitle(QStringLiteral("%1 — %2, versione %3 (si salva in un file nuovo)")
                                  .arg(editor.windowTitle(), impianto_)
                                  .arg(v[0].numero));
        editor.exec();
    }
    const QString salvato = V::NomeFile;
    V::NomeFile = primo;
    if (!letto)
        Esito->setText(
            QStringLiteral("Versione %1 non leggibile: %2").arg(v[0].numero).arg(editor.Errore()));
    else if (salvato != v[0].percorso)
        Esito->setText(QStringLiteral("Versione %1 salvata come %2.")
                           .arg(v[0].numero)
                           .arg(QDir::toNativeSeparators(salvato)));
    else
        Esito->setText(
            QStringLiteral("Versione %1 chiusa nell'editor senza salvarla.").arg(v[0].numero));
}

// ---- The register ----

FormRegistro::FormRegistro(QWidget *padre, const QString &impianto)
    : QDialog(padre), impianto_(impianto) {
    setObjectName(QStringLiteral("FormRegistro"));
    setWindowTitle(QStringLiteral("Registro — ") + impianto);
    setModal(true);
    Righe =
        Tabella(this, "Righe", {"Data e ora", "Utente", "Computer", "Porta", "Azione", "Esito"});
    Righe->setWordWrap(true);
    Esito = NuovaEtichetta(this, "Esito");
    SalvaRapporto = NuovoPulsante(this, "SalvaRapporto", QStringLiteral("Salva rapporto…"));
    SalvaRapporto->setToolTip(QStringLiteral("Il registro come rapporto: PDF (A4, i dati "
                                             "dell'impianto in testa) o CSV"));
    Chiudi = NuovoPulsante(this, "Chiudi", QStringLiteral("Chiudi"));
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addWidget(SalvaRapporto);
    pulsanti->addStretch();
    pulsanti->addWidget(Chiudi);
    auto *l = new QVBoxLayout(this);
    l->addWidget(Righe, 1);
    l->addWidget(Esito);
    l->addLayout(pulsanti);
    Dimensiona(this, MisuraRegistro);
    QString errore;
    const QList<Manutenzione::Voce> voci = Manutenzione::Leggi(impianto, &errore);
    Righe->setRowCount(int(voci.size()));
    for (int r = 0; r < voci.size(); ++r) {
        const Manutenzione::Voce &v = voci[r];
        const QStringList celle = {Quando(v.quando), v.utente, v.computer,
                                   v.porta,          v.azione, v.esito};
        for (int c = 0; c < celle.size(); ++c) {
            Righe->setItem(r, c, Cella(celle[c]));
            if (!v.finito) Righe->item(r, c)->setBackground(ColoreRossoChiaro());
        }
    }
    Righe->resizeRowsToContents();
    Righe->scrollToBottom();
    if (!errore.isEmpty())
        Esito->setText(QStringLiteral("Registro letto in parte: %1.").arg(errore));
    else if (voci.isEmpty())
        Esito->setText(QStringLiteral("Il registro dell'impianto %1 è vuoto.").arg(impianto));
    else
        Esito->setText(QStringLiteral("%1; in rosso i lavori non finiti.")
                           .arg(voci.size() == 1 ? QStringLiteral("1 riga")
                                                 : QStringLiteral("%1 righe, la più recente "
                                                                  "in fondo")
                                                       .arg(voci.size())));
    connect(SalvaRapporto, &QPushButton::clicked, this, &FormRegistro::salvaRapporto);
    connect(Chiudi, &QPushButton::clicked, this, &QDialog::accept);
    Chiudi->setFocus();
}

void FormRegistro::salvaRapporto() {
    QString filtro;
    QString percorso = QFileDialog::getSaveFileName(
        this, QStringLiteral("Salva rapporto — ") + impianto_,
        QDir::current().filePath(QStringLiteral("registro %1.pdf").arg(impianto_)),
        QStringLiteral("Rapporto PDF (*.pdf);;Tabella CSV (*.csv)"), &filtro);
    if (percorso.isEmpty()) return;
    const QString suffisso = QFileInfo(percorso).suffix().toLower();
    if (suffisso != QLatin1String("pdf") && suffisso != QLatin1String("csv"))
        percorso +=
            filtro.contains(QLatin1String("csv")) ? QStringLiteral(".csv") : QStringLiteral(".pdf");
    QString errore;
    const auto impianto = Impianti::Carica(impianto_, &errore);
    if (!impianto) {
        Esito->setText(QStringLiteral("Rapporto non salvato: %1.").arg(errore));
        return;
    }
    const QList<Manutenzione::Voce> voci = Manutenzione::Leggi(impianto_, &errore);
    if (!errore.isEmpty()) {
        Esito->setText(QStringLiteral("Rapporto non salvato: il registro non si legge tutto (%1).")
                           .arg(errore));
        return;
    }
    const QString problema = Manutenzione::SalvaRapporto(*impianto, voci, percorso);
    Esito->setText(problema.isEmpty() ? QStringLiteral("Rapporto del registro salvato in %1.")
                                            .arg(QDir::toNativeSeparators(percorso))
                                      : problema);
}
