#include "linea/FinestreLinea.h"
#include "linea/Comuni.h"

#include "link/Configurazione.h"
#include "jobs/Esiti.h"
#include "link/FormSeriale.h"
#include "link/PorteSeriali.h"
#include "link/Traccia.h"
#include "jobs/Operazioni.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"

#include <QLabel>
#include <QProgressBar>
#include <QDir>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Finestre;

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
        testo = QStringLiteral("Ricerca interrotta: %1 su %2.")
                    .arg(Quanti(r.provati, "identificativo provato", "identificativi provati"))
                    .arg(ordine.size());
    else if (!r.chiusa.isEmpty())
        testo = QStringLiteral("Ricerca interrotta a %1, la porta si è chiusa. %2")
                    .arg(Traccia::Visibile(r.chiusa), FormSeriale::Istanza().ErroreApertura());
    else if (!r.estranea.isEmpty())
        testo =
            QStringLiteral("Ricerca fermata sulla porta %1: %2.").arg(NomePortaLinea(), r.estranea);
    else if (r.trovati.isEmpty())
        testo = QStringLiteral("%1 (%2 su %3). %4 in Seriale318.con "
                               "(rs232 o rs485); \"Porta…\" nel menu sceglie un'altra porta.")
                    .arg(NessunaCentrale(NomePortaLinea()))
                    .arg(Quanti(r.provati, "identificativo provato", "identificativi provati"))
                    .arg(V::Modo485 ? QStringLiteral("RS485") : QStringLiteral("RS232"),
                         ControllaLaLinea());
    else
        testo = QStringLiteral("Scegli un identificativo: \"Usa questo identificativo\" vale "
                               "per questa sessione, \"Salva in Seriale318.con\" anche per le "
                               "prossime.");
    if (!r.nonInteri.isEmpty()) testo = RigaNonInteri(r.nonInteri) + testo;
    if (r.eco && !V::Modo485)
        testo +=
            QLatin1Char('\n') + LineaConEco() + QStringLiteral(": scrivi rs485 in Seriale318.con.");
    Esito->setText(testo);
    aggiorna();
    Fine();
    if (Trovati->count() > 0) Trovati->setFocus();
}

void FormCerca::usa() {
    const int riga = Trovati->currentRow();
    if (riga < 0) return;
    const QString id = QStringLiteral("identificativo");
    const PerIlSito scelta = ChiediPerIlSito(this, id, ids_[riga]);
    if (scelta == PerIlSito::Annulla) {
        Esito->setText(QStringLiteral("Identificativo non cambiato: resta %1.")
                           .arg(Traccia::Visibile(V::Identificativo)));
        return;
    }
    const QString testo = UsaIdentificativo(ids_[riga]);
    Esito->setText(testo +
                   DopoIlCambio(scelta, id, ids_[riga], QStringLiteral("da \"Cerca il VELTO\"")));
}

void FormCerca::salva() {
    const int riga = Trovati->currentRow();
    if (riga < 0) return;
    const QString id = QStringLiteral("identificativo");
    const PerIlSito scelta = ChiediPerIlSito(this, id, ids_[riga]);
    if (scelta == PerIlSito::Annulla) {
        Esito->setText(QStringLiteral("Seriale318.con non salvato: l'identificativo resta %1.")
                           .arg(Traccia::Visibile(V::Identificativo)));
        return;
    }
    const QString percorso =
        QDir(FormSeriale::Istanza().MSComm1.CartellaPorte()).filePath(NomeFileConfigurazione);
    if (const QString errore = SalvaIdentificativo(percorso, ids_[riga]); !errore.isEmpty()) {
        Esito->setText(QStringLiteral("Seriale318.con non salvato: %1").arg(errore));
        return;
    }
    V::Identificativo = ids_[riga];
    LineaCambiata();
    Esito->setText(QStringLiteral("Identificativo %1 salvato in %2: vale da ora e alle prossime "
                                  "partenze.")
                       .arg(Traccia::Visibile(V::Identificativo), percorso) +
                   DopoIlCambio(scelta, id, ids_[riga], QStringLiteral("da \"Cerca il VELTO\"")));
}
