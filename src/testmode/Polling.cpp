// Test mode: the exchanges that load the panel's texts and follow its rest
// state, inputs and keys, and how each reply is painted.
#include "FormPrincipaleTest.h"

#include "Aspetto.h"
#include "Attendi.h"
#include "Comandi.h"
#include "FormSeriale.h"
#include "Variabili.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Variabili;

namespace {
const QString Stoppato = QStringLiteral("Stoppato");
}

void FormPrincipaleTest::Form_QueryUnload() {
    StatoProgramma = Stoppato;
    ChiusuraRichiesta = true;
    FormSeriale::Istanza().ChiudiSeriale();
    emit chiusa();
}

void FormPrincipaleTest::InviaComando() {
    FormSeriale::Istanza().InviaAllaSeriale();
    TastoErroreSerialeFlag = false;
    TastoErroreSeriale->hide();
    Attendi(10);
    if (ErroreSeriale && !ChiusuraRichiesta) {
        Text3->setText(Comando);
        TastoErroreSeriale->setText(QStringLiteral("Errore Seriale Premi qui"));
        ImpostaSfondo(TastoErroreSeriale, ColoreRosso());
        TastoErroreSeriale->show();
        while (StatoProgramma != Stoppato && !TastoErroreSerialeFlag && !ChiusuraRichiesta)
            PompaEventiInAttesa();
        TastoErroreSeriale->setText(QStringLiteral(" "));
        ImpostaSfondo(TastoErroreSeriale, ColoreFacciaPulsante());
        TastoErroreSeriale->hide();
    }
    Text3->setText(Risposta);
}

void FormPrincipaleTest::LeggiTesto() {
    do {
        Comando = Comandi::LeggiTesto(Identificativo, NumeroTre);
        LunghezzaRisposta = Comandi::LunghezzaLeggiTesto;
        InviaComando();
        Text3->setText(Comando + Risposta);
        DatiRisposta = Comandi::SenzaTesta(Risposta, Comandi::TestaRisposta);
        PompaEventi();
    } while (ErroreSeriale && !ChiusuraRichiesta);
}

QString FormPrincipaleTest::leggiCoppia(int primo) {
    NumeroTesto = qint16(primo);
    TreCifre();
    LeggiTesto();
    const QString primoTesto = DatiRisposta;
    NumeroTesto = qint16(NumeroTesto + 1);
    TreCifre();
    LeggiTesto();
    return primoTesto + DatiRisposta;
}

void FormPrincipaleTest::CaricaTesti() {
    for (int i = 0; i <= 43 && !ChiusuraRichiesta; ++i) {
        const QString testi = leggiCoppia(4 * i);
        ImpostaTesto(Allarmi[i], QString::number(i + 1) + testi);
    }
    const QPair<int, QLabel *> righe[3] = {
        {176, MessaggioRiposo[0]}, {178, FineCiclata[0]}, {180, NomeVelto[0]}};
    for (const auto &r : righe)
        if (!ChiusuraRichiesta) ImpostaTesto(r.second, leggiCoppia(r.first));
}

void FormPrincipaleTest::LeggiStato() {
    Comando = Comandi::Stato(Identificativo);
    LunghezzaRisposta = Comandi::LunghezzaStato;
    InviaComando();
    Risposta = Comandi::SenzaTesta(Risposta, Comandi::TestaStato);
    if (Risposta == QLatin1String("R")) {
        ImpostaSfondo(NomeVelto[0], ColoreFacciaPulsante());
        ImpostaSfondo(MessaggioRiposo[0], ColoreVerde());
        ImpostaSfondo(FineCiclata[0], ColoreFacciaPulsante());
        for (int i = 0; i <= 43; ++i)
            Colora(i, ColoreFacciaPulsante());
    } else {
        ImpostaSfondo(MessaggioRiposo[0], ColoreFacciaPulsante());
        ImpostaSfondo(FineCiclata[0], ColoreRosso());
        ImpostaSfondo(NomeVelto[0], ColoreFacciaPulsante());
        Attendi(100);
        ImpostaSfondo(NomeVelto[0], ColoreRosso());
    }
}

void FormPrincipaleTest::LeggiIngressi() {
    for (int g = 1; g <= 3; ++g) {
        Comando = Comandi::Ingressi(Identificativo, g);
        LunghezzaRisposta = Comandi::LunghezzaIngressi;
        InviaComando();
        Risposta = Comandi::SenzaTesta(Risposta, Comandi::TestaRisposta);
        for (int p = 1; p <= Comandi::IngressiNelGruppo(g) && p <= Risposta.size(); ++p) {
            ComeIngressi = Risposta.at(p - 1);
            const int finestra = Comandi::FinestraDiIngresso(g, p);
            switch (Comandi::LeggiStatoIngresso(ComeIngressi.at(0))) {
            case Comandi::StatoIngresso::Attivo:
                Colora(finestra, ColoreRosso());
                break;
            case Comandi::StatoIngresso::Inattivo:
                Colora(finestra, ColoreFacciaPulsante());
                break;
            case Comandi::StatoIngresso::Invariato:
                break;
            }
        }
    }
    MostraColori(); // the cycle's colours are all decoded
}

void FormPrincipaleTest::LeggiTasto() {
    Comando = Comandi::Tasto(Identificativo);
    LunghezzaRisposta = Comandi::LunghezzaTasto;
    InviaComando();
    Risposta = Comandi::SenzaTesta(Risposta, Comandi::TestaRisposta);
    if (Risposta.isEmpty()) return;
    if (const auto etichetta = Comandi::EtichettaTasto(Risposta.at(0)))
        ImpostaTesto(LabelTastoPremuto, *etichetta);
}

void FormPrincipaleTest::Colora(int finestra, const QColor &colore) {
    coloriDelCiclo_[size_t(finestra)] = colore;
}

void FormPrincipaleTest::MostraColori() {
    // Only a window whose colour changes is touched.
    for (size_t i = 0; i < coloriDelCiclo_.size(); ++i) {
        if (coloriDelCiclo_[i].isValid()) ImpostaSfondo(Allarmi[int(i)], coloriDelCiclo_[i]);
        coloriDelCiclo_[i] = QColor();
    }
}
