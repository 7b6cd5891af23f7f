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
#include "shared/Variabili.h"
#include "widgets/Aspetto.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace Finestre;

namespace {

// The windows' sizes, in twips.
const Twips MisuraStoria{0, 0, 13500, 8700};
const Twips MisuraRegistro{0, 0, 17400, 8100};

QTableWidgetItem *Cella(const QString &testo) {
    auto *c = new QTableWidgetItem(testo);
    c->setFlags(c->flags() & ~Qt::ItemIsEditable);
    c->setToolTip(testo);
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

// ---- The versions ----

FormStoria::FormStoria(QWidget *padre, const QString &impianto)
    : QDialog(padre), impianto_(impianto), versioni_(Versioni::Elenco(impianto)) {
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
    Elenco = Tabella(this, "Elenco", {"N.", "Data e ora", "Tipo", "Testi", "Impronta", "Computer"});
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
                                   v.computer};
        for (int c = 0; c < celle.size(); ++c)
            Elenco->setItem(riga, c, Cella(celle[c]));
        if (!v.illeggibile.isEmpty()) Elenco->item(riga, 3)->setToolTip(v.illeggibile);
        Elenco->item(riga, 0)->setData(Qt::UserRole, int(versioni_.size() - 1 - riga));
    }
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
    Ripristina->setToolTip(QStringLiteral("Il ripristino di una versione non è ancora "
                                          "disponibile: aprila nell'editor, salvala e inviala "
                                          "dalla finestra di programmazione"));
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
    if (versioni_.isEmpty())
        Esito->setText(QStringLiteral("L'impianto %1 non ha ancora versioni: la prima nasce dalla "
                                      "prima lettura o dal primo invio.")
                           .arg(impianto));
    else
        Elenco->selectRow(0);
    connect(Elenco, &QTableWidget::itemSelectionChanged, this, &FormStoria::abilita);
    connect(ConfrontaCentrale, &QPushButton::clicked, this, &FormStoria::confrontaCentrale);
    connect(ConfrontaCon, &QPushButton::clicked, this, &FormStoria::confrontaCon);
    connect(ApriEditor, &QPushButton::clicked, this, &FormStoria::apriEditor);
    connect(Chiudi, &QPushButton::clicked, this, &QDialog::accept);
    abilita();
    Elenco->setFocus();
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
    ConfrontaCentrale->setEnabled(n == 1);
    ApriEditor->setEnabled(n == 1);
    ConfrontaCon->setEnabled((n == 1 && versioni_.size() > 1) || n == 2);
    Ripristina->setEnabled(false); // needs the backup before a send
}

void FormStoria::confrontaCentrale() {
    const QList<Versioni::Versione> v = scelte();
    if (v.size() != 1) return;
    QString errore;
    const auto scansione = FormatoMessaggi::LeggiMessaggi(v[0].percorso, &errore);
    if (!scansione) {
        Esito->setText(
            QStringLiteral("Versione %1 non leggibile: %2").arg(v[0].numero).arg(errore));
        return;
    }
    const QList<Programmazione::Voce> voci = Programmazione::VociDaInviare(*scansione);
    FormConfronto f(this, v[0].percorso);
    f.setWindowTitle(QStringLiteral("Confronto — %1, versione %2").arg(impianto_).arg(v[0].numero));
    f.Esegui(voci);
    const QString testo =
        QStringLiteral("Versione %1 confrontata con la centrale %2 sulla porta "
                       "%3: %4.")
            .arg(v[0].numero)
            .arg(Traccia::Visibile(V::Identificativo), NomePortaLinea(), f.Sintesi);
    QString nonAnnotato;
    if (!Manutenzione::Annota(impianto_, NomePortaLinea(),
                              QStringLiteral("confronto con la centrale, versione %1 (%2)")
                                  .arg(v[0].numero)
                                  .arg(QFileInfo(v[0].percorso).fileName()),
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
                       : QStringLiteral("%1 testi diversi tra la versione %2 e la versione %3 "
                                        "(· è uno spazio).")
                             .arg(diverse.size())
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

FormRegistro::FormRegistro(QWidget *padre, const QString &impianto) : QDialog(padre) {
    setObjectName(QStringLiteral("FormRegistro"));
    setWindowTitle(QStringLiteral("Registro — ") + impianto);
    setModal(true);
    Righe =
        Tabella(this, "Righe", {"Data e ora", "Utente", "Computer", "Porta", "Azione", "Esito"});
    Righe->setWordWrap(true);
    Esito = NuovaEtichetta(this, "Esito");
    Chiudi = NuovoPulsante(this, "Chiudi", QStringLiteral("Chiudi"));
    auto *pulsanti = new QHBoxLayout;
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
        Esito->setText(QStringLiteral("%1 righe, la più recente in fondo; in rosso i lavori non "
                                      "finiti.")
                           .arg(voci.size()));
    connect(Chiudi, &QPushButton::clicked, this, &QDialog::accept);
    Chiudi->setFocus();
}
