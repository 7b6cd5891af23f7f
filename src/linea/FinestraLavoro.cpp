#include "linea/FinestreLinea.h"
#include "linea/Comuni.h"

#include "widgets/Controlli.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace Finestre {

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

void Dimensiona(QWidget *finestra, const Twips &misura) {
    finestra->resize(DaTwips(misura).size());
}

} // namespace Finestre

using namespace Finestre;

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
