// Test mode: the test cycle's exchanges, with the window's pause and error
// button after each, and how each decoded reply is painted.
#include "testmode/FormPrincipaleTest.h"

#include "jobs/Esiti.h"
#include "linea/FinestreLinea.h"
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "link/IndirizzoRete.h"
#include "widgets/Aspetto.h"
#include "shared/Attendi.h"
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

QString TestoErroreLinea(const QString &dispositivo, bool aperta) {
    return IndirizzoDiRete(dispositivo) && !aperta ? QStringLiteral("Errore di rete Premi qui")
                                                   : QStringLiteral("Errore Seriale Premi qui");
}

void FormPrincipaleTest::InviaComando(Comandi::Codice codice, const QString &parametro) {
    ciclo_.Scambia(codice, parametro);
}

void FormPrincipaleTest::Scambiato(const CicloTest::Scambio &s) {
    TastoErroreSerialeFlag = false;
    if (s.risposto) TastoErroreSeriale->hide();
    Attendi(10);
    if (!s.risposto && !V::ChiusuraRichiesta) {
        // A walk test being recorded (its window open) has nobody at the
        // keyboard: the wait ends by itself, the cycle goes on, and the gap
        // and the panel's return are recorded. The button stays while the
        // line is silent.
        const bool prova = ProvaIngressi && ProvaIngressi->isVisible();
        const FormSeriale &seriale = FormSeriale::Istanza();
        // Replies that could not be trusted still show the link alive.
        if (!seriale.NonIntera()) MostraSconosciuto();
        Text3->setText(V::Comando);
        TastoErroreSeriale->setText(
            TestoErroreLinea(seriale.MSComm1.Dispositivo(), seriale.MSComm1.PortOpen()));
        TastoErroreSeriale->setToolTip(seriale.NonIntera() ? LineaDisturbata()
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
    // A text read shows its command before the reply, and lets the window
    // breathe between the many reads of the texts.
    if (s.codice == Comandi::Codice::LeggiTesto) {
        Text3->setText(V::Comando + V::Risposta);
        PompaEventi();
    }
}

void FormPrincipaleTest::LeggiTesto() {
    ciclo_.LeggiTesto();
}

void FormPrincipaleTest::CaricaTesti() {
    // The walk test's record starts with the texts loaded. Another panel
    // (another port or identifier chosen) is another walk test: what the
    // first one saw stays in its journal.
    const bool nuova = !RegistroProva.Avviato();
    if (!ciclo_.CaricaTesti(true)) return;
    if (nuova) return IdentificaProva();
    if (RegistroProva.identificativo == V::Identificativo &&
        RegistroProva.porta == FormSeriale::Istanza().NomePorta())
        return RegistroProva.Continua();
    if (ProvaIngressi) return ProvaIngressi->AltraCentrale();
    IdentificaProva();
    RegistroProva.Ricomincia(QString());
}

void FormPrincipaleTest::Testi(int primo, const QString &testi) {
    // The alarm windows show their number before the texts.
    const int finestra = primo / 4;
    if (finestra < Comandi::FinestreConTesto)
        ImpostaTesto(Allarmi[finestra], QString::number(finestra + 1) + testi);
    else
        ImpostaTesto(primo == Comandi::PrimiTestiRighe[0]   ? MessaggioRiposo[0]
                     : primo == Comandi::PrimiTestiRighe[1] ? FineCiclata[0]
                                                            : NomeVelto[0],
                     testi);
}

void FormPrincipaleTest::IdentificaProva() {
    RegistroProva.identificativo = V::Identificativo;
    RegistroProva.porta = FormSeriale::Istanza().NomePorta();
}

void FormPrincipaleTest::LeggiStato() {
    ciclo_.LeggiStato();
}

void FormPrincipaleTest::Stato(const QString &stato) {
    MostraStato(stato == QLatin1String("R"));
}

void FormPrincipaleTest::Fallito(Comandi::Codice codice) {
    // A silent panel is not at rest; replies that could not be trusted
    // leave the windows as they were.
    if (codice == Comandi::Codice::Stato && !FormSeriale::Istanza().NonIntera()) MostraStato(false);
}

void FormPrincipaleTest::MostraStato(bool riposo) {
    if (riposo) {
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

void FormPrincipaleTest::MostraSconosciuto() {
    coloriDelCiclo_.fill(QColor()); // what this cycle decoded is not shown either
    ImpostaSfondo(MessaggioRiposo[0], ColoreSconosciuto());
    for (int i = 0; i <= 45; ++i)
        ImpostaSfondo(Allarmi[i], ColoreSconosciuto());
}

void FormPrincipaleTest::LeggiIngressi() {
    ciclo_.LeggiIngressi();
    MostraColori(); // the cycle's colours are all decoded
}

void FormPrincipaleTest::Ingressi(int, const QList<Comandi::Ingresso> &ingressi) {
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

void FormPrincipaleTest::LeggiTasto() {
    ciclo_.LeggiTasto();
}

void FormPrincipaleTest::Tasto(const QString &etichetta) {
    ImpostaTesto(LabelTastoPremuto, etichetta);
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
