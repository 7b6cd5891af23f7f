#include "linea/FinestreLinea.h"
#include "linea/Comuni.h"
#include "impianti/Impianti.h"
#include "jobs/SuImpianti.h"

#include "link/FormSeriale.h"
#include "link/PorteSeriali.h"
#include "link/Rete.h"
#include "shared/Salvataggio.h"
#include "shared/Variabili.h"

#include <QProgressBar>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <QPushButton>
#include <QVBoxLayout>

#include <QFontDatabase>
#include <cerrno>
#include <cstdio>

using namespace Finestre;

namespace {
// `link` as the site in use writes it when the two are one link as a run
// compares them (SuImpianti::ChiaveLinea: COMn and the device it leads to,
// a by-id name and its device); otherwise `link`.
QString ComeIlSito(const QString &link) {
    const QString nome = Impianti::InUso();
    if (nome.isEmpty() || link.isEmpty()) return link;
    QString errore;
    const auto impianto = Impianti::Carica(nome, &errore);
    if (!impianto) return link;
    Impianti::Impianto nuovo = *impianto;
    nuovo.porta = link;
    const QString cartella = QDir::currentPath();
    return SuImpianti::ChiaveLinea(*impianto, cartella, false) ==
                   SuImpianti::ChiaveLinea(nuovo, cartella, false)
               ? impianto->porta
               : link;
}
} // namespace

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
    // With a site in use on it, the link as the site writes it (a stable
    // by-id name stays one).
    Indirizzo->setText(ComeIlSito(inUso));
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
    LineaCambiata();
    aggiornaSpiegazione();
    Esito->setText(seriale.MSComm1.PortOpen()
                       ? fatto + QStringLiteral(" La porta è aperta.")
                       : fatto + QLatin1Char('\n') + seriale.ErroreApertura());
}

bool FormPorta::prova(const QString &dispositivo) {
    const QString errore = UsaLinea(QString(), dispositivo);
    aggiornaSpiegazione();
    if (!errore.isEmpty()) Esito->setText(errore);
    return errore.isEmpty();
}

namespace {

// The link as a site keeps it: a network address as typed, a device as an
// absolute path (a by-id link stays one).
QString PerIlSitoDa(const QString &testo) {
    return IndirizzoDiRete(testo) ? testo : QFileInfo(testo).absoluteFilePath();
}

} // namespace

bool FormPorta::chiedi(const QString &dispositivo, const QString &comeSito) {
    sito_ = PerIlSito::NessunImpianto;
    if (dispositivo.isEmpty()) return false;
    perIlSito_ = comeSito;
    sito_ = ChiediPerIlSito(this, QStringLiteral("collegamento"), perIlSito_);
    if (sito_ != PerIlSito::Annulla) return true;
    Esito->setText(QStringLiteral("Nulla è cambiato: %1 resta su %2.")
                       .arg(FormSeriale::NomeCom(), FormSeriale::Istanza().MSComm1.Dispositivo()));
    return false;
}

QString FormPorta::dopo() {
    return DopoIlCambio(sito_, QStringLiteral("collegamento"), perIlSito_,
                        QStringLiteral("da \"Porta\""));
}

void FormPorta::usa() {
    const QString dispositivo = scelta();
    if (!chiedi(dispositivo, ComeIlSito(PerIlSitoDa(Indirizzo->text().trimmed()))) ||
        !prova(dispositivo))
        return;
    Esito->setText(QStringLiteral("%1 usa %2 fino alla chiusura del programma. La porta è "
                                  "aperta.")
                       .arg(FormSeriale::NomeCom(), dispositivo) +
                   dopo());
}

void FormPorta::salva() {
    // Only a port that opens is written: the next start must find a working link.
    // Saved, the port is the run's COMn again: a site keeps that name.
    const QString dispositivo = scelta();
    if (!chiedi(dispositivo, QStringLiteral("COM") + V::NumeroPorta) || !prova(dispositivo)) return;
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
            errore = QStringLiteral("il collegamento simbolico %1 non si può creare").arg(percorso);
        else if (std::rename(QFile::encodeName(nuovo).constData(),
                             QFile::encodeName(percorso).constData()) != 0) {
            errore = QStringLiteral("%1: %2").arg(percorso, Salvataggio::Motivo(errno));
            QFile::remove(nuovo);
        }
    }
    if (!errore.isEmpty()) {
        // The run is on the device, not on COMn as the site was told: it is
        // no longer the site's.
        sito_ = PerIlSito::SenzaImpianto;
        Esito->setText(QStringLiteral("Non salvato: %1. %2 usa %3 fino alla chiusura del "
                                      "programma.")
                           .arg(errore, FormSeriale::NomeCom(), dispositivo) +
                       dopo());
        return;
    }
    comm.setDispositivoForzato(QString());
    comm.setCartellaPorte(comm.CartellaPorte()); // what COMn names is worked out again
    riapri(QStringLiteral("%1 ora è %2, anche alle prossime partenze.").arg(percorso, dispositivo));
    Esito->setText(Esito->text() + dopo());
}
