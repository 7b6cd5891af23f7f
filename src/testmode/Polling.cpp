// Test mode: the exchanges that load the panel's texts and follow its rest
// state, inputs and keys, and how each reply is painted.
#include "testmode/FormPrincipaleTest.h"

#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "shared/Aspetto.h"
#include "shared/Attendi.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

void FormPrincipaleTest::InviaComando() {
    FormSeriale::Istanza().InviaAllaSeriale();
    TastoErroreSerialeFlag = false;
    TastoErroreSeriale->hide();
    Attendi(10);
    if (V::ErroreSeriale && !V::ChiusuraRichiesta) {
        Text3->setText(V::Comando);
        TastoErroreSeriale->setText(QStringLiteral("Errore Seriale Premi qui"));
        ImpostaSfondo(TastoErroreSeriale, ColoreRosso());
        TastoErroreSeriale->show();
        while (StatoProgramma != Stoppato && !TastoErroreSerialeFlag && !V::ChiusuraRichiesta)
            PompaEventiInAttesa();
        TastoErroreSeriale->setText(QStringLiteral(" "));
        ImpostaSfondo(TastoErroreSeriale, ColoreFacciaPulsante());
        TastoErroreSeriale->hide();
    }
    Text3->setText(V::Risposta);
}

void FormPrincipaleTest::LeggiTesto() {
    // A reply that is no whole text (noise before it, a character too many)
    // is asked for again a few times before it is shown as it came.
    constexpr int MalformateAmmesse = 2;
    int malformate = 0;
    bool ancora;
    do {
        V::Comando = Comandi::LeggiTesto(V::Identificativo, V::NumeroTre);
        V::LunghezzaRisposta = Comandi::LunghezzaLeggiTesto;
        InviaComando();
        Text3->setText(V::Comando + V::Risposta);
        const Comandi::RispostaTesto r = Comandi::LeggiRispostaTesto(V::Risposta);
        V::DatiRisposta =
            r.valida ? r.testo : Comandi::SenzaTesta(V::Risposta, Comandi::TestaRisposta);
        ancora = V::ErroreSeriale;
        if (!V::ErroreSeriale && !r.valida && malformate++ < MalformateAmmesse) {
            FormSeriale::Istanza().RispostaNonValida();
            ancora = true;
        }
        PompaEventi();
    } while (ancora && !V::ChiusuraRichiesta);
}

QString FormPrincipaleTest::leggiCoppia(int primo) {
    V::NumeroTesto = qint16(primo);
    TreCifre();
    LeggiTesto();
    const QString primoTesto = V::DatiRisposta;
    V::NumeroTesto = qint16(V::NumeroTesto + 1);
    TreCifre();
    LeggiTesto();
    return primoTesto + V::DatiRisposta;
}

void FormPrincipaleTest::CaricaTesti() {
    for (int i = 0; i <= 43 && !V::ChiusuraRichiesta; ++i) {
        const QString testi = leggiCoppia(4 * i);
        ImpostaTesto(Allarmi[i], QString::number(i + 1) + testi);
    }
    const QPair<int, QLabel *> righe[3] = {
        {176, MessaggioRiposo[0]}, {178, FineCiclata[0]}, {180, NomeVelto[0]}};
    for (const auto &r : righe)
        if (!V::ChiusuraRichiesta) ImpostaTesto(r.second, leggiCoppia(r.first));
}

void FormPrincipaleTest::LeggiStato() {
    V::Comando = Comandi::Stato(V::Identificativo);
    V::LunghezzaRisposta = Comandi::LunghezzaStato;
    InviaComando();
    V::Risposta = Comandi::SenzaTesta(V::Risposta, Comandi::TestaStato);
    if (V::Risposta == QLatin1String("R")) {
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
        V::Comando = Comandi::Ingressi(V::Identificativo, g);
        V::LunghezzaRisposta = Comandi::LunghezzaIngressi;
        InviaComando();
        V::Risposta = Comandi::SenzaTesta(V::Risposta, Comandi::TestaRisposta);
        for (int p = 1; p <= Comandi::IngressiNelGruppo(g) && p <= V::Risposta.size(); ++p) {
            ComeIngressi = V::Risposta.at(p - 1);
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
    V::Comando = Comandi::Tasto(V::Identificativo);
    V::LunghezzaRisposta = Comandi::LunghezzaTasto;
    InviaComando();
    V::Risposta = Comandi::SenzaTesta(V::Risposta, Comandi::TestaRisposta);
    if (V::Risposta.isEmpty()) return;
    if (const auto etichetta = Comandi::EtichettaTasto(V::Risposta.at(0)))
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
