#include "app/ProvaIngressi.h"

#include "app/RigaDiComando.h"
#include "app/Terminale.h"
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "shared/Attendi.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"
#include "testmode/RapportoProva.h"
#include "testmode/RegistroProva.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QStringList>
#include <algorithm>

namespace {

// The pause after every exchange, as test mode makes it; after an exchange
// that failed at once (a port that cannot be opened) the cycle waits as long
// as a time-out, so that it never keeps a core busy.
constexpr double PausaMs = 10;
constexpr double PausaSenzaRispostaMs = 800;

// One exchange and its pause; true when the panel answered.
bool ScambiaEAttendi(Comandi::Codice codice, const QString &parametro = QString()) {
    const double inizio = SecondiOrologio();
    FormSeriale::Istanza().Scambia(codice, parametro);
    const double trascorsi = (SecondiOrologio() - inizio) * 1000;
    Attendi(V::ErroreSeriale ? std::max(PausaMs, PausaSenzaRispostaMs - trascorsi) : PausaMs);
    return !V::ErroreSeriale;
}

// An exchange of the test cycle, told to the record.
bool Scambio(Prova::Registro &r, Comandi::Codice codice, const QString &parametro = QString()) {
    const bool risposto = ScambiaEAttendi(codice, parametro);
    r.Risposta(risposto);
    return risposto;
}

// Text `numero`, asked again until the panel's text can be trusted, as test
// mode asks it. False when a signal came first, or the walk test's time
// is over.
bool LeggiTesto(int numero, const QString &porta, const QDeadlineTimer &fine, QString &testo,
                bool &detto) {
    V::NumeroTesto = qint16(numero);
    TreCifre();
    Comandi::ConfermaTesto conferma;
    while (!V::Interruzione && !fine.hasExpired()) {
        if (ScambiaEAttendi(Comandi::Codice::LeggiTesto, V::NumeroTre)) {
            const Comandi::RispostaTesto r = Comandi::LeggiRispostaTesto(V::Risposta);
            testo = r.testo;
            if (conferma.Accetta(r.testo, !r.coda && !FormSeriale::Istanza().ScambioIrregolare()))
                return true;
            continue;
        }
        conferma.Fallita();
        if (!detto) {
            const FormSeriale &seriale = FormSeriale::Istanza();
            const QString colpa = PortaInColpa(porta);
            const QString perche =
                seriale.NonIntera()
                    ? QStringLiteral("le risposte della centrale %1 sulla porta %2 non sono "
                                     "affidabili (%3).")
                          .arg(Centrale(), porta, seriale.PercheNonAffidabili())
                : colpa.isEmpty()
                    ? QStringLiteral("nessuna risposta dalla centrale %1 sulla porta %2.")
                          .arg(Centrale(), porta)
                    : QStringLiteral("nessuna risposta. ") + colpa;
            Stampa(stderr, QStringLiteral("velto318: lettura del testo %1: %2 Riprovo finché "
                                          "risponde (Ctrl+C per finire).\n")
                               .arg(V::NumeroTre, perche));
        }
        detto = true;
    }
    return false;
}

} // namespace

int LavoroProva(const RigaDiComando &riga, const QString &porta) {
    Prova::Registro r;
    r.impianto = riga.impianto;
    r.tecnico = riga.tecnico;
    r.identificativo = Centrale();
    r.porta = porta;

    // --durata counts from the start: a panel that never gives its texts
    // ends the walk test too.
    const QDeadlineTimer fine =
        riga.durata ? QDeadlineTimer(qint64(riga.durata) * 1000) : QDeadlineTimer::Forever;
    QStringList testi;
    bool detto = false;
    for (int i = 0; i < 44; ++i) {
        QString primo, secondo;
        if (LeggiTesto(4 * i, porta, fine, primo, detto) &&
            LeggiTesto(4 * i + 1, porta, fine, secondo, detto)) {
            testi << primo + secondo;
            continue;
        }
        if (V::Interruzione)
            return LavoroInterrotto(
                QStringLiteral("Prova interrotta durante la lettura dei testi: nulla è stato "
                               "provato"));
        Stampa(stdout, QStringLiteral("Prova finita durante la lettura dei testi (testo %1): "
                                      "nulla è stato provato.\n")
                           .arg(V::NumeroTre));
        return UscitaCentrale;
    }
    r.Testi(testi);
    const QString errore = r.ApriGiornale(QDir::currentPath());
    Stampa(stderr,
           errore.isEmpty()
               ? QStringLiteral("Giornale: %1\n").arg(QDir::toNativeSeparators(r.Giornale()))
               : QStringLiteral("velto318: %1\n").arg(errore));
    Stampa(stderr,
           QStringLiteral("Centrale %1 sulla porta %2: %3 ingressi con testo da provare. "
                          "Prova in corso%4; Ctrl+C per finire.\n")
               .arg(Centrale(), porta)
               .arg(r.Contati())
               .arg(riga.durata ? QStringLiteral(" per %1 s").arg(riga.durata) : QString()));
    bool dettoGiornale = false; // the journal that stopped, said once
    r.avviso = [&r, &dettoGiornale](const Prova::Evento &e) {
        Stampa(stdout, Prova::RigaEvento(r, e) + QLatin1Char('\n'));
        if (dettoGiornale || r.ErroreGiornale().isEmpty()) return;
        Stampa(stderr, QStringLiteral("velto318: %1\n").arg(r.ErroreGiornale()));
        dettoGiornale = true;
    };

    const auto finita = [&fine] { return V::Interruzione || fine.hasExpired(); };
    while (!finita()) {
        if (Scambio(r, Comandi::Codice::Stato)) r.Stato(Comandi::StatoCentrale(V::Risposta));
        for (int g = 1; g <= 3 && !finita(); ++g)
            if (Scambio(r, Comandi::Codice::Ingressi, QString::number(g)))
                r.Ingressi(Comandi::StatiIngressi(g, V::Risposta));
        if (finita()) break;
        if (Scambio(r, Comandi::Codice::Tasto))
            if (const std::optional<QChar> codice = Comandi::CodiceTasto(V::Risposta))
                if (const auto etichetta = Comandi::EtichettaTasto(*codice)) r.Tasto(*etichetta);
    }
    r.fine = QDateTime::currentDateTime();

    QString riepilogo =
        Prova::Conteggio(r) + QStringLiteral(" (durata %1").arg(Prova::Durata(r.Inizio(), r.fine));
    if (r.TotaleSilenzi())
        riepilogo +=
            r.TotaleSilenzi() == 1
                ? QStringLiteral("; la centrale non ha risposto una volta")
                : QStringLiteral("; la centrale non ha risposto %1 volte").arg(r.TotaleSilenzi());
    riepilogo += QStringLiteral(")\n");
    const QList<const Prova::Ingresso *> mancanti = r.NonProvati();
    if (!mancanti.isEmpty()) riepilogo += QStringLiteral("Non provati:\n");
    for (const Prova::Ingresso *n : mancanti)
        riepilogo += QStringLiteral("%1\t%2\n").arg(n->numero).arg(Prova::TestoMostrato(*n));
    Stampa(stdout, riepilogo);

    int esito = mancanti.isEmpty() ? UscitaFatto : UscitaCentrale;
    for (const QString &f : riga.rapporti) {
        if (const QString e = Prova::SalvaRapporto(r, f); !e.isEmpty()) {
            esito = Problema(e);
            continue;
        }
        Stampa(stderr, QStringLiteral("Rapporto salvato: %1\n").arg(QDir::toNativeSeparators(f)));
    }
    return esito;
}
