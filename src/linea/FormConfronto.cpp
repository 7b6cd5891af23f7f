#include "linea/FinestreLinea.h"
#include "shared/Numeri.h"
#include "linea/Comuni.h"

#include "jobs/Esiti.h"
#include "link/FormSeriale.h"
#include "jobs/Operazioni.h"
#include "files/Programmazione.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <QFontDatabase>

using namespace Finestre;

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
    if (!r.interrotto && !r.incerta && r.muta.isEmpty()) Diverse = int(numeri.size());
    const QString confrontati =
        QStringLiteral("%1 su %2")
            .arg(Quanti(r.confrontati, "testo confrontato", "testi confrontati"))
            .arg(voci.size());
    if (r.interrotto) {
        Esito->setText(
            QStringLiteral("Confronto interrotto: %1, nulla è stato scritto.").arg(confrontati));
        Sintesi = QStringLiteral("Confronto interrotto");
    } else if (r.incerta) {
        Esito->setText(QStringLiteral("%1; %2.").arg(
            RisposteNonAffidabili(r.muta.numero(), false, NomePortaLinea()), confrontati));
        Sintesi = TestoNonLetto(r.muta.numero(), true);
    } else if (!r.muta.isEmpty()) {
        Esito->setText(QStringLiteral("Nessuna risposta alla lettura del testo %1 (%2).\n%3")
                           .arg(r.muta.numero(), confrontati, SuggerimentoNessunaRisposta()));
        Sintesi = TestoNonLetto(r.muta.numero(), false);
    } else if (numeri.isEmpty()) {
        Esito->setText(QStringLiteral("Nessuna differenza: %1")
                           .arg(Quanti(voci.size(), "testo uguale", "testi uguali")));
        Sintesi = Esito->text();
    } else {
        Esito->setText(EsitoConfronto(numeri, int(voci.size())).trimmed());
        Sintesi = QStringLiteral("%1 dalla centrale")
                      .arg(Quanti(numeri.size(), "testo diverso", "testi diversi"));
    }
    Fine();
}
