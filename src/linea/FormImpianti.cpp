#include "linea/FormImpianti.h"
#include "linea/Comuni.h"
#include "linea/FinestreLinea.h"

#include "impianti/Registro.h"
#include "jobs/SuImpianti.h"
#include "link/FormSeriale.h"
#include "link/PorteSeriali.h"
#include "link/Rete.h"
#include "link/Traccia.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"
#include "widgets/Aspetto.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Finestre;

namespace {

// The windows' sizes, in twips.
const Twips MisuraImpianti{0, 0, 13500, 7500};
const Twips MisuraImpianto{0, 0, 8400, 6600};

QString Linea485(bool rs485) {
    return rs485 ? QStringLiteral("RS485") : QStringLiteral("RS232");
}
QString SiNo(bool si) {
    return si ? QStringLiteral("sì") : QStringLiteral("no");
}

// When the newest version of a site was made, or "mai letto".
QString UltimaVersione(const QString &nome) {
    const QList<Versioni::Versione> versioni = Versioni::Elenco(nome, Versioni::Lettura::Nomi);
    if (versioni.isEmpty()) return QStringLiteral("mai letto");
    return versioni.last().quando.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm"));
}

QTableWidgetItem *Cella(const QString &testo) {
    auto *c = new QTableWidgetItem(testo);
    c->setFlags(c->flags() & ~Qt::ItemIsEditable);
    c->setToolTip(testo);
    return c;
}

// The device a site's link opens as "Usa" sets it: a device path as --porta
// takes it, a network address as it is.
QString DispositivoDelSito(const Impianti::Linea &linea) {
    return linea.dispositivo.isEmpty() || IndirizzoDiRete(linea.dispositivo)
               ? linea.dispositivo
               : DispositivoDaOpzione(linea.dispositivo);
}

// The run talks on the site's link, with its identifier and line kind.
bool SullaSuaLinea(const Impianti::Impianto &i) {
    const Impianti::Linea linea = Impianti::LineaDi(i);
    const QString forzato = FormSeriale::Istanza().MSComm1.DispositivoForzato();
    const bool collegamento = linea.numeroPorta.isEmpty()
                                  ? forzato == DispositivoDelSito(linea)
                                  : forzato.isEmpty() && V::NumeroPorta == linea.numeroPorta;
    return collegamento && V::Identificativo == i.id && V::Modo485 == i.rs485;
}

// What is odd about a site just saved against the book, to add to the
// window's outcome; empty when nothing is.
QString TestoAvvisi(const Impianti::Impianto &i) {
    const QStringList avvisi = SuImpianti::Avvisi(i, Impianti::Elenco());
    if (avvisi.isEmpty()) return QString();
    return QStringLiteral("\nAttenzione: ") + avvisi.join(QStringLiteral(";\n")) + QLatin1Char('.');
}

} // namespace

QString Cambiamenti(const Impianti::Impianto &prima, const Impianti::Impianto &dopo) {
    QStringList cambi;
    const auto campo = [&](const char *nome, const QString &a, const QString &b) {
        if (a != b)
            cambi << QStringLiteral("%1 %2 → %3")
                         .arg(QLatin1String(nome), a.isEmpty() ? QStringLiteral("(vuoto)") : a,
                              b.isEmpty() ? QStringLiteral("(vuoto)") : b);
    };
    campo("cliente", prima.cliente, dopo.cliente);
    campo("indirizzo", prima.indirizzo, dopo.indirizzo);
    campo("collegamento", prima.porta, dopo.porta);
    campo("identificativo", prima.id, dopo.id);
    campo("linea", Linea485(prima.rs485), Linea485(dopo.rs485));
    campo("copia prima dell'invio", SiNo(prima.copia), SiNo(dopo.copia));
    if (prima.note != dopo.note) cambi << QStringLiteral("note cambiate");
    return cambi.join(QStringLiteral("; "));
}

// ---- The sites ----

FormImpianti::FormImpianti(QWidget *padre)
    : QDialog(padre), Programma(QCoreApplication::applicationFilePath()) {
    setObjectName(QStringLiteral("FormImpianti"));
    setWindowTitle(QStringLiteral("Impianti"));
    setModal(true);
    auto *spiegazione = NuovaEtichetta(this, "Spiegazione");
    spiegazione->setText(QStringLiteral("Gli impianti del libro %1. \"Usa\" prende collegamento, "
                                        "identificativo e linea dell'impianto fino alla chiusura "
                                        "del programma.")
                             .arg(QDir::toNativeSeparators(Impianti::Libro())));
    QLabel *etichetta = CreaFiltro();
    CreaElenco();
    Esito = NuovaEtichetta(this, "Esito");
    CreaPulsanti();
    Disponi(spiegazione, etichetta);
    Collega();
    Aggiorna(Impianti::InUso());
    Filtro->setFocus();
}

QLabel *FormImpianti::CreaFiltro() {
    auto *etichetta = new QLabel(QStringLiteral("&Filtro:"), this);
    Filtro = new QLineEdit(this);
    Filtro->setObjectName(QStringLiteral("Filtro"));
    Filtro->setPlaceholderText(QStringLiteral("parte del nome, del cliente, dell'indirizzo o del "
                                              "collegamento"));
    Filtro->setClearButtonEnabled(true);
    etichetta->setBuddy(Filtro);
    return etichetta;
}

void FormImpianti::CreaElenco() {
    Elenco = new QTableWidget(0, 5, this);
    Elenco->setObjectName(QStringLiteral("Elenco"));
    Elenco->setHorizontalHeaderLabels(
        {"Nome", "Collegamento", "Identificativo", "Linea", "Ultima versione"});
    Elenco->setSelectionBehavior(QAbstractItemView::SelectRows);
    Elenco->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Elenco->verticalHeader()->hide();
    Elenco->setTabKeyNavigation(false);
    Elenco->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    Elenco->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    for (int c = 2; c < 5; ++c)
        Elenco->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
}

void FormImpianti::CreaPulsanti() {
    Nuovo = NuovoPulsante(this, "Nuovo", QStringLiteral("Nuovo…"));
    Modifica = NuovoPulsante(this, "Modifica", QStringLiteral("Modifica…"));
    Usa = NuovoPulsante(this, "Usa", QStringLiteral("Usa"));
    Storia = NuovoPulsante(this, "Storia", QStringLiteral("Storia…"));
    Registro = NuovoPulsante(this, "Registro", QStringLiteral("Registro…"));
    Rinomina = NuovoPulsante(this, "Rinomina", QStringLiteral("Rinomina…"));
    Rimuovi = NuovoPulsante(this, "Rimuovi", QStringLiteral("Rimuovi…"));
    Chiudi = NuovoPulsante(this, "Chiudi", QStringLiteral("Chiudi"));
    Rinomina->setToolTip(QStringLiteral("Un nuovo nome per l'impianto; versioni e registro "
                                        "restano suoi"));
    Rimuovi->setToolTip(QStringLiteral("Toglie l'impianto dal libro: la sua cartella va in "
                                       "archivio, nulla è cancellato"));
    Tutti = NuovoPulsante(this, "Tutti", QStringLiteral("Tutti"));
    Leggi = NuovoPulsante(this, "Leggi", QStringLiteral("Leggi"));
    Confronta = NuovoPulsante(this, "Confronta", QStringLiteral("Confronta"));
    Stato = NuovoPulsante(this, "Stato", QStringLiteral("Stato"));
    Usa->setToolTip(QStringLiteral("Collegamento, identificativo e linea dell'impianto fino alla "
                                   "chiusura del programma"));
    Tutti->setToolTip(QStringLiteral("Sceglie tutti gli impianti mostrati (Ctrl+A); Ctrl+clic o "
                                     "Maiusc+clic ne sceglie alcuni"));
    Leggi->setToolTip(QStringLiteral("Legge i testi di ogni impianto scelto e li conserva come "
                                     "sua nuova versione"));
    Confronta->setToolTip(QStringLiteral("Confronta la centrale di ogni impianto scelto con la "
                                         "sua versione più recente"));
    Stato->setToolTip(QStringLiteral("Lo stato della centrale di ogni impianto scelto"));
}

void FormImpianti::Disponi(QLabel *spiegazione, QLabel *etichetta) {
    auto *campo = new QHBoxLayout;
    campo->addWidget(etichetta);
    campo->addWidget(Filtro, 1);
    auto *pulsanti = new QHBoxLayout;
    for (QPushButton *b : {Nuovo, Modifica, Usa, Storia, Registro, Rinomina, Rimuovi})
        pulsanti->addWidget(b);
    pulsanti->addStretch();
    pulsanti->addWidget(Chiudi);
    auto *molti = new QHBoxLayout;
    molti->addWidget(new QLabel(QStringLiteral("Sugli impianti scelti:"), this));
    for (QPushButton *b : {Leggi, Confronta, Stato})
        molti->addWidget(b);
    molti->addStretch();
    molti->addWidget(Tutti);
    auto *l = new QVBoxLayout(this);
    l->addWidget(spiegazione);
    l->addLayout(campo);
    l->addWidget(Elenco, 1);
    l->addLayout(molti);
    l->addWidget(Esito);
    l->addLayout(pulsanti);
    Dimensiona(this, MisuraImpianti);
}

void FormImpianti::Collega() {
    connect(Filtro, &QLineEdit::textChanged, this, &FormImpianti::filtra);
    connect(Elenco, &QTableWidget::itemSelectionChanged, this, &FormImpianti::abilita);
    connect(Elenco, &QTableWidget::itemActivated, this, &FormImpianti::modifica);
    connect(Nuovo, &QPushButton::clicked, this, &FormImpianti::nuovo);
    connect(Modifica, &QPushButton::clicked, this, &FormImpianti::modifica);
    connect(Usa, &QPushButton::clicked, this, &FormImpianti::usa);
    connect(Rinomina, &QPushButton::clicked, this, &FormImpianti::rinomina);
    connect(Rimuovi, &QPushButton::clicked, this, &FormImpianti::rimuovi);
    connect(Storia, &QPushButton::clicked, this, [this] {
        if (scelto().isEmpty()) return;
        FormStoria f(this, scelto());
        f.exec();
        Aggiorna(scelto());
    });
    connect(Registro, &QPushButton::clicked, this, [this] {
        if (scelto().isEmpty()) return;
        FormRegistro f(this, scelto());
        f.exec();
    });
    connect(Tutti, &QPushButton::clicked, this, [this] {
        Elenco->selectAll();
        Elenco->setFocus();
    });
    connect(Leggi, &QPushButton::clicked, this,
            [this] { suImpianti(QStringLiteral("Leggi"), {QStringLiteral("--leggi")}); });
    connect(Confronta, &QPushButton::clicked, this,
            [this] { suImpianti(QStringLiteral("Confronta"), {QStringLiteral("--confronta")}); });
    connect(Stato, &QPushButton::clicked, this,
            [this] { suImpianti(QStringLiteral("Stato"), {QStringLiteral("--stato")}); });
    connect(Chiudi, &QPushButton::clicked, this, &QDialog::accept);
}

void FormImpianti::Aggiorna(const QString &scelto) {
    QList<Impianti::Rotto> rotti;
    const QList<Impianti::Impianto> libro = Impianti::Elenco(nullptr, &rotti);
    Elenco->setRowCount(0);
    Elenco->setRowCount(int(libro.size() + rotti.size()));
    for (int r = 0; r < libro.size(); ++r) {
        const Impianti::Impianto &i = libro[r];
        const QStringList celle = {i.nome, i.porta, i.id, Linea485(i.rs485),
                                   UltimaVersione(i.nome)};
        for (int c = 0; c < celle.size(); ++c)
            Elenco->setItem(r, c, Cella(celle[c]));
        // What the filter looks in.
        Elenco->item(r, 0)->setData(
            Qt::UserRole,
            QStringList({i.nome, i.cliente, i.indirizzo, i.porta, i.id}).join(QLatin1Char('\n')));
        if (!i.cliente.isEmpty() || !i.indirizzo.isEmpty())
            Elenco->item(r, 0)->setToolTip(
                QStringList({i.nome, i.cliente, i.indirizzo}).join(QLatin1Char('\n')).trimmed());
        if (i.nome == scelto) Elenco->setCurrentCell(r, 0);
    }
    // A site that cannot be used stays in the list, saying why; its jobs
    // are refused with the same words.
    for (int k = 0; k < rotti.size(); ++k) {
        const int r = int(libro.size()) + k;
        const QString perche = QStringLiteral("da correggere: %1").arg(rotti[k].motivo);
        const QStringList celle = {rotti[k].nome, QString(), QString(), QString(), perche};
        for (int c = 0; c < celle.size(); ++c) {
            Elenco->setItem(r, c, Cella(celle[c]));
            Elenco->item(r, c)->setForeground(QColor(Qt::darkRed));
            Elenco->item(r, c)->setToolTip(perche);
        }
        Elenco->item(r, 0)->setData(Qt::UserRole, rotti[k].nome);
        if (rotti[k].nome == scelto) Elenco->setCurrentCell(r, 0);
    }
    if (libro.isEmpty() && rotti.isEmpty())
        Esito->setText(QStringLiteral("Il libro non ha ancora impianti: \"Nuovo…\" ne crea uno."));
    else if (!rotti.isEmpty())
        Esito->setText(QStringLiteral("%1 da correggere: la riga dice perché.")
                           .arg(rotti.size() == 1
                                    ? QStringLiteral("1 impianto")
                                    : QStringLiteral("%1 impianti").arg(rotti.size())));
    filtra();
}

QString FormImpianti::scelto() const {
    const QStringList nomi = scelti();
    return nomi.size() == 1 ? nomi.first() : QString();
}

QStringList FormImpianti::scelti() const {
    QStringList nomi;
    for (int r = 0; r < Elenco->rowCount(); ++r)
        if (!Elenco->isRowHidden(r) && Elenco->item(r, 0) && Elenco->item(r, 0)->isSelected())
            nomi << Elenco->item(r, 0)->text();
    return nomi;
}

void FormImpianti::suImpianti(const QString &nome, const QStringList &lavoro) {
    const QStringList nomi = scelti();
    QList<Impianti::Impianto> impianti, rotti;
    QStringList errori;
    for (const QString &n : nomi) {
        QString errore;
        if (const auto i = Impianti::Carica(n, &errore)) {
            impianti << *i;
        } else {
            errori << errore;
            Impianti::Impianto rotto;
            rotto.nome = n;
            rotti << rotto;
        }
    }
    if (impianti.isEmpty() && !errori.isEmpty()) {
        Esito->setText(
            QStringLiteral("%1 non avviato: %2.").arg(nome, errori.join(QStringLiteral("; "))));
        return;
    }
    // As "--su-impianti tutti": a site that cannot be used does not stop the
    // others; its job refuses it, and the results count it as a problem with
    // its reason.
    impianti += rotti;
    if (impianti.isEmpty()) return;
    FormSuImpianti f(this, nome, lavoro, impianti, Programma);
    f.exec();
    Esito->setText(f.Esito->text());
    Aggiorna(); // the newest versions; the same sites stay selected
    for (int r = 0; r < Elenco->rowCount(); ++r)
        if (nomi.contains(Elenco->item(r, 0)->text()))
            Elenco->selectionModel()->select(Elenco->model()->index(r, 0),
                                             QItemSelectionModel::Select |
                                                 QItemSelectionModel::Rows);
}

void FormImpianti::filtra() {
    const QString cerca = Filtro->text().trimmed();
    for (int r = 0; r < Elenco->rowCount(); ++r)
        Elenco->setRowHidden(r, !Elenco->item(r, 0)
                                     ->data(Qt::UserRole)
                                     .toString()
                                     .contains(cerca, Qt::CaseInsensitive));
    abilita();
}

void FormImpianti::abilita() {
    const qsizetype n = scelti().size();
    for (QPushButton *b : {Modifica, Usa, Storia, Registro, Rinomina, Rimuovi})
        b->setEnabled(n == 1);
    for (QPushButton *b : {Leggi, Confronta, Stato})
        b->setEnabled(n > 0);
}

void FormImpianti::annota(const QString &nome, const QString &porta, const QString &azione,
                          const QString &testo) {
    QString errore;
    if (Manutenzione::Annota(nome, porta, azione, testo, &errore))
        Esito->setText(testo);
    else
        Esito->setText(testo +
                       QStringLiteral("\nRegistro dell'impianto non aggiornato: %1.").arg(errore));
}

void FormImpianti::nuovo() {
    FormImpianto f(this, std::nullopt);
    if (f.exec() != QDialog::Accepted) return;
    Filtro->clear();
    Aggiorna(f.Fatto.nome);
    annota(f.Fatto.nome, f.Fatto.porta, QStringLiteral("impianto creato"),
           QStringLiteral("Impianto %1 creato: %2, identificativo %3, %4.")
               .arg(f.Fatto.nome, f.Fatto.porta, f.Fatto.id, Linea485(f.Fatto.rs485)));
    avvisa(f.Fatto);
}

void FormImpianti::avvisa(const Impianti::Impianto &i) {
    Esito->setText(Esito->text() + TestoAvvisi(i));
}

std::optional<Impianti::Impianto> FormImpianti::caricaScelto() {
    const QString nome = scelto();
    if (nome.isEmpty()) return std::nullopt;
    QString errore;
    auto impianto = Impianti::Carica(nome, &errore);
    if (!impianto) Esito->setText(errore);
    return impianto;
}

void FormImpianti::modifica() {
    const auto impianto = caricaScelto();
    if (!impianto) return;
    const QString nome = impianto->nome;
    FormImpianto f(this, impianto);
    if (f.exec() != QDialog::Accepted) return;
    Aggiorna(nome);
    const QString cambi = Cambiamenti(*impianto, f.Fatto);
    annota(nome, f.Fatto.porta, QStringLiteral("impianto modificato"),
           cambi.isEmpty() ? QStringLiteral("Impianto %1 salvato: nulla è cambiato.").arg(nome)
                           : QStringLiteral("Impianto %1 salvato: %2.").arg(nome, cambi));
    // The run keeps the link it has: the site in use is no longer its panel.
    if (Impianti::InUso() == nome && !NonLaSuaCentrale(f.Fatto).isEmpty()) {
        Impianti::InUso().clear();
        AggiornaTitoli();
        Esito->setText(Esito->text() +
                       QStringLiteral(" L'impianto %1 non è più in uso: la sessione parla ancora "
                                      "con la centrale di prima; \"Usa\" prende il nuovo "
                                      "collegamento.")
                           .arg(nome));
    }
    avvisa(f.Fatto);
}

void FormImpianti::rinomina() {
    const QString nome = scelto();
    if (nome.isEmpty()) return;
    QInputDialog domanda(this);
    domanda.setObjectName(QStringLiteral("NuovoNome"));
    domanda.setWindowTitle(QStringLiteral("Rinomina — ") + nome);
    domanda.setLabelText(QStringLiteral("Nuovo nome dell'impianto %1 (versioni e registro restano "
                                        "suoi):")
                             .arg(nome));
    domanda.setTextValue(nome);
    domanda.setOkButtonText(QStringLiteral("Rinomina"));
    domanda.setCancelButtonText(QStringLiteral("Annulla"));
    if (domanda.exec() != QDialog::Accepted) return;
    const QString nuovo = domanda.textValue().trimmed();
    QString errore = Manutenzione::NonSiSposta(nome);
    if (!errore.isEmpty() || !Impianti::Rinomina(nome, nuovo, &errore)) {
        Esito->setText(QStringLiteral("Impianto %1 non rinominato: %2.").arg(nome, errore));
        return;
    }
    const bool inUso = Impianti::InUso() == nome;
    if (inUso) {
        Impianti::InUso() = nuovo;
        AggiornaTitoli();
    }
    Aggiorna(nuovo);
    QString porta;
    if (const auto i = Impianti::Carica(nuovo, &errore)) porta = i->porta;
    QString testo = QStringLiteral("Impianto %1 rinominato %2: versioni e registro restano suoi%3.")
                        .arg(nome, nuovo, inUso ? QStringLiteral("; resta in uso") : QString());
    if (!Manutenzione::Annota(nuovo, porta, QStringLiteral("impianto rinominato"),
                              QStringLiteral("rinominato da \"%1\"").arg(nome), &errore))
        testo += QStringLiteral("\nRegistro dell'impianto non aggiornato: %1.").arg(errore);
    Esito->setText(testo);
}

void FormImpianti::rimuovi() {
    const QString nome = scelto();
    if (nome.isEmpty()) return;
    const qsizetype versioni = Versioni::Elenco(nome, Versioni::Lettura::Nomi).size();
    QMessageBox chiedi(QMessageBox::Question, QStringLiteral("Rimuovi — ") + nome,
                       QStringLiteral("Togliere l'impianto %1 dal libro?\n\nLa sua cartella, con "
                                      "%2 e il registro, va nella cartella %3: nulla è "
                                      "cancellato.%4")
                           .arg(nome, Quanti(versioni, "versione", "versioni"),
                                QDir::toNativeSeparators(Impianti::Archivio()),
                                Impianti::InUso() == nome
                                    ? QStringLiteral(" L'impianto non sarà più in uso.")
                                    : QString()),
                       QMessageBox::NoButton, this);
    chiedi.setObjectName(QStringLiteral("DomandaRimozione"));
    QPushButton *si = chiedi.addButton(QStringLiteral("Rimuovi"), QMessageBox::AcceptRole);
    chiedi.setDefaultButton(chiedi.addButton(QStringLiteral("Annulla"), QMessageBox::RejectRole));
    chiedi.exec();
    if (chiedi.clickedButton() != si) return;
    QString errore = Manutenzione::NonSiSposta(nome);
    const QString dove = errore.isEmpty() ? Impianti::Archivia(nome, &errore) : QString();
    if (dove.isEmpty()) {
        Esito->setText(QStringLiteral("Impianto %1 non rimosso: %2.").arg(nome, errore));
        return;
    }
    QString testo = QStringLiteral("Impianto %1 tolto dal libro: la sua cartella è ora %2.")
                        .arg(nome, QDir::toNativeSeparators(dove));
    if (Impianti::InUso() == nome) {
        Impianti::InUso().clear();
        AggiornaTitoli();
        testo += QStringLiteral(" Nessun impianto è in uso.");
    }
    Aggiorna();
    Esito->setText(testo);
}

void FormImpianti::usa() {
    const auto impianto = caricaScelto();
    if (!impianto) return;
    const QString nome = impianto->nome;
    const Impianti::Linea linea = Impianti::LineaDi(*impianto);
    const QString dispositivo = DispositivoDelSito(linea);
    const QString azione = QStringLiteral("Usa (collegamento e identificativo per la sessione)");
    if (const QString perche = UsaLinea(linea.numeroPorta, dispositivo); !perche.isEmpty()) {
        annota(nome, impianto->porta, azione,
               QStringLiteral("Impianto %1 non in uso: %2 non si apre. %3")
                   .arg(nome, impianto->porta, perche));
        return;
    }
    UsaIdentificativo(impianto->id);
    V::Modo485 = impianto->rs485;
    Impianti::InUso() = nome;
    AggiornaTitoli();
    annota(nome, impianto->porta, azione,
           QStringLiteral("Impianto %1 in uso fino alla chiusura del programma: %2 apre %3 (%4), "
                          "identificativo %5; la porta è aperta.")
               .arg(nome, FormSeriale::NomeCom(), FormSeriale::Istanza().MSComm1.Dispositivo(),
                    Linea485(impianto->rs485), Traccia::Visibile(V::Identificativo)));
}

// ---- One site ----

FormImpianto::FormImpianto(QWidget *padre, const std::optional<Impianti::Impianto> &esistente)
    : QDialog(padre), nuovo_(!esistente), originale_(esistente.value_or(Impianti::Impianto())) {
    setObjectName(QStringLiteral("FormImpianto"));
    setWindowTitle(nuovo_ ? QStringLiteral("Nuovo impianto")
                          : QStringLiteral("Impianto ") + originale_.nome);
    setModal(true);
    const auto riga = [this](const char *nome, const QString &testo) {
        auto *e = new QLineEdit(testo, this);
        e->setObjectName(QLatin1String(nome));
        return e;
    };
    Nome = riga("Nome", originale_.nome);
    Nome->setReadOnly(!nuovo_); // the name is the site's folder
    if (!nuovo_)
        Nome->setToolTip(QStringLiteral("Il nome è la cartella dell'impianto: lo cambia "
                                        "\"Rinomina…\" nella finestra Impianti"));
    Cliente = riga("Cliente", originale_.cliente);
    Indirizzo = riga("Indirizzo", originale_.indirizzo);
    Porta = riga("Porta", nuovo_ ? QStringLiteral("COM1") : originale_.porta);
    Porta->setToolTip(QStringLiteral("COM1 … COM9, un dispositivo (/dev/ttyUSB0) o un indirizzo "
                                     "di rete (tcp://HOST:PORTA, rfc2217://HOST:PORTA)"));
    Id = riga("Id", nuovo_ ? QStringLiteral("&45") : originale_.id);
    Id->setToolTip(QStringLiteral("L'identificativo della centrale, da &00 a &99"));
    Rs485 = new QCheckBox(QStringLiteral("Bus &RS485"), this);
    Rs485->setObjectName(QStringLiteral("Rs485"));
    Rs485->setChecked(originale_.rs485);
    Copia = new QCheckBox(QStringLiteral("&Copia della centrale prima di ogni invio"), this);
    Copia->setObjectName(QStringLiteral("Copia"));
    Copia->setChecked(originale_.copia);
    Note = new QPlainTextEdit(originale_.note, this);
    Note->setObjectName(QStringLiteral("Note"));
    Note->setTabChangesFocus(true);
    Errore = NuovaEtichetta(this, "Errore");
    Errore->setStyleSheet(QStringLiteral("color: #C00000;"));
    Salva = NuovoPulsante(this, "Salva", QStringLiteral("Salva"));
    Annulla = NuovoPulsante(this, "Annulla", QStringLiteral("Annulla"));
    auto *campi = new QFormLayout;
    campi->addRow(QStringLiteral("&Nome:"), Nome);
    campi->addRow(QStringLiteral("C&liente:"), Cliente);
    campi->addRow(QStringLiteral("&Indirizzo:"), Indirizzo);
    campi->addRow(QStringLiteral("Colle&gamento:"), Porta);
    campi->addRow(QStringLiteral("I&dentificativo:"), Id);
    campi->addRow(QString(), Rs485);
    campi->addRow(QString(), Copia);
    campi->addRow(QStringLiteral("N&ote:"), Note);
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    pulsanti->addWidget(Salva);
    pulsanti->addWidget(Annulla);
    auto *l = new QVBoxLayout(this);
    l->addLayout(campi, 1);
    l->addWidget(Errore);
    l->addLayout(pulsanti);
    Dimensiona(this, MisuraImpianto);
    connect(Salva, &QPushButton::clicked, this, &FormImpianto::salva);
    // Enter in a field saves, as "Salva".
    for (QLineEdit *e : {Nome, Cliente, Indirizzo, Porta, Id})
        connect(e, &QLineEdit::returnPressed, this, &FormImpianto::salva);
    connect(Annulla, &QPushButton::clicked, this, &QDialog::reject);
    (nuovo_ ? Nome : Cliente)->setFocus();
}

void FormImpianto::salva() {
    Impianti::Impianto i = originale_; // lines this tool does not know stay
    i.nome = Nome->text().trimmed();
    i.cliente = Cliente->text().trimmed();
    i.indirizzo = Indirizzo->text().trimmed();
    i.porta = Porta->text().trimmed();
    i.id = Id->text().trimmed();
    i.rs485 = Rs485->isChecked();
    i.copia = Copia->isChecked();
    i.note = Note->toPlainText();
    QString errore = Impianti::MotivoImpianto(i);
    if (errore.isEmpty()) (nuovo_ ? Impianti::Crea(i, &errore) : Impianti::Aggiorna(i, &errore));
    if (!errore.isEmpty()) {
        Errore->setText(QStringLiteral("Impianto non salvato: %1.").arg(errore));
        return;
    }
    Fatto = i;
    accept();
}

// ---- The menus' entry ----

void ApriImpianti(QWidget *padre) {
    FormImpianti f(padre);
    f.exec();
}

// ---- The site in use and the run's link ----

QString NonLaSuaCentrale(const Impianti::Impianto &i) {
    const QString inUso = Impianti::InUso();
    const QString centrale = QStringLiteral("la centrale %1 sulla porta %2")
                                 .arg(Traccia::Visibile(V::Identificativo), NomePortaLinea());
    const QString passa = QStringLiteral("\"Usa\" sull'impianto %1 nella finestra Impianti… "
                                         "prende il suo collegamento e il suo identificativo")
                              .arg(i.nome);
    if (!inUso.isEmpty() && inUso != i.nome)
        return QStringLiteral("L'impianto in uso è %1 (%2), non %3: %4.")
            .arg(inUso, centrale, i.nome, passa);
    if (SullaSuaLinea(i)) return QString();
    const QString sua = QStringLiteral("%1, identificativo %2, %3")
                            .arg(i.porta, Traccia::Visibile(i.id), Linea485(i.rs485));
    if (inUso.isEmpty())
        return QStringLiteral("Nessun impianto è in uso e la sessione parla con %1, non con quella "
                              "dell'impianto %2 (%3): %4.")
            .arg(centrale, i.nome, sua, passa);
    return QStringLiteral("L'impianto %1 è in uso, ma la sessione parla ora con %2, non con la "
                          "sua (%3): %4 di nuovo.")
        .arg(i.nome, centrale, sua, passa);
}

PerIlSito ChiediPerIlSito(QWidget *padre, const QString &campo, const QString &nuovo) {
    const QString nome = Impianti::InUso();
    if (nome.isEmpty()) return PerIlSito::NessunImpianto;
    QString errore;
    const auto impianto = Impianti::Carica(nome, &errore);
    const QString vecchio = !impianto                                  ? QString()
                            : campo == QLatin1String("identificativo") ? impianto->id
                                                                       : impianto->porta;
    if (impianto && vecchio == nuovo) return PerIlSito::NessunImpianto;
    QMessageBox chiedi(
        QMessageBox::Question, QStringLiteral("Impianto in uso — ") + nome,
        QStringLiteral("L'impianto %1 è in uso: con un altro %2 la sessione non parla più con la "
                       "sua centrale.\n\nAggiornare l'impianto %1: %2 %3 → %4?\n\n\"Usa senza "
                       "l'impianto\" cambia solo la sessione: nessun impianto resta in uso, e "
                       "nulla di quanto segue va nel suo registro.")
            .arg(nome, campo, vecchio.isEmpty() ? QStringLiteral("(non letto)") : vecchio, nuovo),
        QMessageBox::NoButton, padre);
    chiedi.setObjectName(QStringLiteral("DomandaImpiantoInUso"));
    QPushButton *aggiorna =
        chiedi.addButton(QStringLiteral("Aggiorna l'impianto"), QMessageBox::AcceptRole);
    aggiorna->setEnabled(impianto.has_value());
    QPushButton *senza =
        chiedi.addButton(QStringLiteral("Usa senza l'impianto"), QMessageBox::DestructiveRole);
    chiedi.setDefaultButton(chiedi.addButton(QStringLiteral("Annulla"), QMessageBox::RejectRole));
    chiedi.exec();
    if (chiedi.clickedButton() == aggiorna) return PerIlSito::Aggiorna;
    if (chiedi.clickedButton() == senza) return PerIlSito::SenzaImpianto;
    return PerIlSito::Annulla;
}

QString DopoIlCambio(PerIlSito scelta, const QString &campo, const QString &nuovo,
                     const QString &da) {
    const QString nome = Impianti::InUso();
    if (nome.isEmpty() || scelta == PerIlSito::NessunImpianto || scelta == PerIlSito::Annulla)
        return QString();
    QString testo;
    if (scelta == PerIlSito::Aggiorna) {
        QString errore;
        auto impianto = Impianti::Carica(nome, &errore);
        if (impianto) {
            const Impianti::Impianto prima = *impianto;
            (campo == QLatin1String("identificativo") ? impianto->id : impianto->porta) = nuovo;
            if (Impianti::Aggiorna(*impianto, &errore)) {
                testo = QStringLiteral(" Impianto %1 salvato: %2 (%3).")
                            .arg(nome, Cambiamenti(prima, *impianto), da);
                const QString avvisi = TestoAvvisi(*impianto);
                QString nonAnnotato;
                if (!Manutenzione::Annota(nome, impianto->porta,
                                          QStringLiteral("impianto modificato"), testo.trimmed(),
                                          &nonAnnotato))
                    testo += QStringLiteral(" Registro dell'impianto non aggiornato: %1.")
                                 .arg(nonAnnotato);
                return testo + avvisi;
            }
        }
        testo = QStringLiteral(" Impianto %1 non aggiornato: %2.").arg(nome, errore);
    }
    Impianti::InUso().clear();
    AggiornaTitoli();
    return testo + QStringLiteral(" Nessun impianto è in uso: \"Usa\" nella finestra Impianti… "
                                  "ne riprende uno.");
}
