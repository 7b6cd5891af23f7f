// Test mode: the exchanges that load the panel's texts and follow its rest
// state, inputs and keys, and how each reply is painted.
#include "testmode/FormPrincipaleTest.h"

#include "linea/FinestreLinea.h"
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "widgets/Aspetto.h"
#include "shared/Attendi.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"
#include "testmode/FormProvaIngressi.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// With the walk test's window open, how long the error button waits for a
// click before the cycle asks the panel again.
constexpr qint64 PausaSenzaRispostaMs = 1000;

} // namespace

void FormPrincipaleTest::InviaComando(Comandi::Codice codice, const QString &parametro) {
    FormSeriale::Istanza().Scambia(codice, parametro);
    // An exchange cut short by the closing or a signal says nothing of the line.
    if (!V::ChiusuraRichiesta && !V::Interruzione) RegistroProva.Risposta(!V::ErroreSeriale);
    TastoErroreSerialeFlag = false;
    if (!V::ErroreSeriale) TastoErroreSeriale->hide();
    Attendi(10);
    if (V::ErroreSeriale && !V::ChiusuraRichiesta) {
        // A walk test being recorded (its window open) has nobody at the
        // keyboard: the wait ends by itself, the cycle goes on, and the gap
        // and the panel's return are recorded. The button stays while the
        // line is silent.
        const bool prova = ProvaIngressi && ProvaIngressi->isVisible();
        Text3->setText(V::Comando);
        TastoErroreSeriale->setText(QStringLiteral("Errore Seriale Premi qui"));
        const FormSeriale &seriale = FormSeriale::Istanza();
        TastoErroreSeriale->setToolTip(seriale.NonIntera()
                                           ? QStringLiteral("Risposte non affidabili: ") +
                                                 seriale.PercheNonAffidabili()
                                           : SuggerimentoNessunaRisposta());
        ImpostaSfondo(TastoErroreSeriale, ColoreRosso());
        TastoErroreSeriale->show();
        if (!prova) AvvisaNessunaRisposta(this);
        const QDeadlineTimer pausa(PausaSenzaRispostaMs);
        while (StatoProgramma != Stoppato && !TastoErroreSerialeFlag && !V::ChiusuraRichiesta &&
               !(prova && pausa.hasExpired()))
            prova ? PompaEventiFino(pausa) : PompaEventiInAttesa();
        if (!prova || TastoErroreSerialeFlag) {
            TastoErroreSeriale->setText(QStringLiteral(" "));
            ImpostaSfondo(TastoErroreSeriale, ColoreFacciaPulsante());
            TastoErroreSeriale->hide();
        }
    }
    Text3->setText(V::Risposta);
}

void FormPrincipaleTest::LeggiTesto() {
    // Asked again until the panel's text can be trusted: the link refuses a
    // reply that is not whole, and a text that came after a repeat or with
    // something behind it must come twice the same.
    Comandi::ConfermaTesto conferma;
    for (;;) {
        InviaComando(Comandi::Codice::LeggiTesto, V::NumeroTre);
        Text3->setText(V::Comando + V::Risposta);
        V::DatiRisposta = Comandi::Dati(Comandi::Codice::LeggiTesto, V::Risposta);
        PompaEventi();
        if (V::ChiusuraRichiesta) return;
        if (V::ErroreSeriale) {
            conferma.Fallita();
            continue;
        }
        const Comandi::RispostaTesto r = Comandi::LeggiRispostaTesto(V::Risposta);
        V::DatiRisposta = r.testo;
        if (conferma.Accetta(r.testo, !r.coda && !FormSeriale::Istanza().ScambioIrregolare()))
            return;
    }
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
    QStringList testiIngressi;
    for (int i = 0; i <= 43 && !V::ChiusuraRichiesta; ++i) {
        const QString testi = leggiCoppia(4 * i);
        ImpostaTesto(Allarmi[i], QString::number(i + 1) + testi);
        testiIngressi << testi;
    }
    const QPair<int, QLabel *> righe[3] = {
        {176, MessaggioRiposo[0]}, {178, FineCiclata[0]}, {180, NomeVelto[0]}};
    for (const auto &r : righe)
        if (!V::ChiusuraRichiesta) ImpostaTesto(r.second, leggiCoppia(r.first));
    if (V::ChiusuraRichiesta) return;
    // The walk test's record starts with the texts loaded, and keeps the
    // panel it began with.
    if (!RegistroProva.Avviato()) IdentificaProva();
    RegistroProva.Testi(testiIngressi);
}

void FormPrincipaleTest::IdentificaProva() {
    RegistroProva.identificativo = V::Identificativo;
    const QString dispositivo = FormSeriale::Istanza().MSComm1.Dispositivo();
    RegistroProva.porta = QStringLiteral("COM") + V::NumeroPorta;
    if (!dispositivo.isEmpty()) RegistroProva.porta += QStringLiteral(" (%1)").arg(dispositivo);
}

void FormPrincipaleTest::LeggiStato() {
    InviaComando(Comandi::Codice::Stato);
    // Replies that could not be trusted leave the windows as they were.
    if (V::ErroreSeriale && FormSeriale::Istanza().NonIntera()) return;
    V::Risposta = Comandi::StatoCentrale(V::Risposta);
    if (!V::ErroreSeriale) RegistroProva.Stato(V::Risposta);
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
        InviaComando(Comandi::Codice::Ingressi, QString::number(g));
        const QList<Comandi::Ingresso> ingressi = Comandi::StatiIngressi(g, V::Risposta);
        V::Risposta = Comandi::Dati(Comandi::Codice::Ingressi, V::Risposta);
        if (!V::ErroreSeriale) RegistroProva.Ingressi(ingressi);
        for (const Comandi::Ingresso &i : ingressi) {
            ComeIngressi = i.carattere;
            switch (i.stato) {
            case Comandi::StatoIngresso::Attivo:
                Colora(i.finestra, ColoreRosso());
                break;
            case Comandi::StatoIngresso::Inattivo:
                Colora(i.finestra, ColoreFacciaPulsante());
                break;
            case Comandi::StatoIngresso::Invariato:
                break;
            }
        }
    }
    MostraColori(); // the cycle's colours are all decoded
}

void FormPrincipaleTest::LeggiTasto() {
    InviaComando(Comandi::Codice::Tasto);
    const std::optional<QChar> codice = Comandi::CodiceTasto(V::Risposta);
    V::Risposta = Comandi::Dati(Comandi::Codice::Tasto, V::Risposta);
    if (!codice) return;
    if (const auto etichetta = Comandi::EtichettaTasto(*codice)) {
        ImpostaTesto(LabelTastoPremuto, *etichetta);
        if (!V::ErroreSeriale) RegistroProva.Tasto(*etichetta);
    }
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
