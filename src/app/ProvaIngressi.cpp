#include "app/ProvaIngressi.h"

#include "app/RigaDiComando.h"
#include "app/Terminale.h"
#include "jobs/Esiti.h"
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "shared/Attendi.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"
#include "testmode/CicloTest.h"
#include "testmode/RapportoProva.h"
#include "testmode/RegistroProva.h"

#include <QDeadlineTimer>
#include <QDir>
#include <algorithm>

namespace {

// The pause after every exchange, as test mode makes it; after an exchange
// that failed at once (a port that cannot be opened) the cycle waits as long
// as a time-out, so that it never keeps a core busy.
constexpr double PausaMs = 10;
constexpr double PausaSenzaRispostaMs = 800;

// What the command line adds to the cycle: the pause after each exchange,
// and why the texts do not come, said once on stderr while they are asked
// again.
class Voce : public CicloTest::Osservatore {
  public:
    explicit Voce(const QString &porta) : porta_(porta) {}

    void Scambiato(const CicloTest::Scambio &s) override {
        Attendi(s.risposto ? PausaMs : std::max(PausaMs, PausaSenzaRispostaMs - s.millisecondi));
    }

    void Fallito(Comandi::Codice codice) override {
        if (codice != Comandi::Codice::LeggiTesto || detto_) return;
        detto_ = true;
        const FormSeriale &seriale = FormSeriale::Istanza();
        const QString colpa = PortaInColpa(porta_);
        const QString perche =
            seriale.NonIntera() ? NonAffidabili(Centrale(), porta_) + QLatin1Char('.')
            : colpa.isEmpty() ? QStringLiteral("nessuna risposta dalla centrale %1 sulla porta %2.")
                                    .arg(Centrale(), porta_)
                              : QStringLiteral("nessuna risposta. ") + colpa;
        Stampa(stderr, QStringLiteral("velto318: lettura del testo %1: %2 Riprovo finché "
                                      "risponde (Ctrl+C per finire).\n")
                           .arg(V::NumeroTre, perche));
    }

  private:
    QString porta_;
    bool detto_ = false;
};

// A walk test ended: its summary on stdout (the count, the length, the line's
// silences, the untried inputs), then each report written. The exit
// status: 0 every input with a text tried, 1 some not, 2 a report not
// written; *salvati the reports written.
int Conclusione(const Prova::Registro &r, const QStringList &rapporti, QStringList *salvati) {
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

    int uscita = mancanti.isEmpty() ? UscitaFatto : UscitaCentrale;
    for (const QString &f : rapporti) {
        if (const QString e = Prova::SalvaRapporto(r, f); !e.isEmpty()) {
            uscita = Problema(e);
            continue;
        }
        *salvati << QDir::toNativeSeparators(f);
        Stampa(stderr, QStringLiteral("Rapporto salvato: %1\n").arg(salvati->last()));
    }
    return uscita;
}

} // namespace

int LavoroProva(const RigaDiComando &riga, const QString &porta, const QString &cartella,
                QString *esito) {
    Prova::Registro r;
    r.impianto = riga.impianto;
    r.tecnico = riga.tecnico;
    r.identificativo = Centrale();
    r.porta = porta;

    // --durata counts from the start: a panel that never gives its texts
    // ends the walk test too.
    const QDeadlineTimer fine =
        riga.durata ? QDeadlineTimer(qint64(riga.durata) * 1000) : QDeadlineTimer::Forever;
    const auto finita = [&fine] { return V::Interruzione || fine.hasExpired(); };
    // Each exchange's pause comes before the record hears of it.
    CicloTest ciclo(finita);
    Voce voce(porta);
    AscoltoProva ascolto(r);
    ciclo.Aggiungi(&voce);
    ciclo.Aggiungi(&ascolto);
    if (!ciclo.CaricaTesti(false)) {
        if (V::Interruzione)
            return LavoroInterrotto(
                QStringLiteral("Prova interrotta durante la lettura dei testi: nulla è stato "
                               "provato"));
        Stampa(stdout, QStringLiteral("Prova finita durante la lettura dei testi (testo %1): "
                                      "nulla è stato provato.\n")
                           .arg(V::NumeroTre));
        return UscitaCentrale;
    }
    const QString errore = r.ApriGiornale(cartella);
    Stampa(stderr,
           errore.isEmpty()
               ? QStringLiteral("Giornale: %1\n").arg(QDir::toNativeSeparators(r.Giornale()))
               : QStringLiteral("velto318: %1\n").arg(errore));
    Stampa(
        stderr,
        QStringLiteral("Centrale %1 sulla porta %2: %3 da provare. "
                       "Prova in corso%4; Ctrl+C per finire.\n")
            .arg(Centrale(), porta, Quanti(r.Contati(), "ingresso con testo", "ingressi con testo"))
            .arg(riga.durata ? QStringLiteral(" per %1 s").arg(riga.durata) : QString()));
    bool dettoGiornale = false; // the journal that stopped, said once
    r.avviso = [&r, &dettoGiornale](const Prova::Evento &e) {
        Stampa(stdout, Prova::RigaEvento(r, e) + QLatin1Char('\n'));
        if (dettoGiornale || r.ErroreGiornale().isEmpty()) return;
        Stampa(stderr, QStringLiteral("velto318: %1\n").arg(r.ErroreGiornale()));
        dettoGiornale = true;
    };

    while (!finita())
        ciclo.Giro();
    // The reports and the journal's end line say one end.
    r.Termina();

    QStringList rapporti = riga.rapporti;
    // On a site, its report beside the journal, named as it is.
    if (esito && errore.isEmpty()) rapporti << Prova::NomeRapporto(r, cartella);
    QStringList salvati;
    const int uscita = Conclusione(r, rapporti, &salvati);
    if (esito)
        *esito = Prova::Conteggio(r) + (salvati.isEmpty() ? QString()
                                                          : QStringLiteral("; rapporto: ") +
                                                                salvati.join(QStringLiteral(", ")));
    return uscita;
}

int RapportiDaGiornale(const RigaDiComando &riga) {
    Prova::Registro r;
    if (const QString errore = r.Rileggi(riga.giornale); !errore.isEmpty()) return Problema(errore);
    if (const int saltate = r.RigheSaltate())
        Stampa(stderr, QStringLiteral("velto318: nel giornale, %1\n")
                           .arg(Quanti(saltate, "riga non leggibile saltata",
                                       "righe non leggibili saltate")));
    if (const QString fuori = Prova::TestoFuori(r); !fuori.isEmpty())
        Stampa(stderr, QStringLiteral("velto318: nel giornale, %1\n").arg(fuori));
    Stampa(stdout, QStringLiteral("Prova ingressi del %1, centrale %2 sulla porta %3\n")
                       .arg(r.Inizio().toString(QStringLiteral("dd/MM/yyyy HH:mm")),
                            r.identificativo, r.porta));
    QStringList salvati;
    return Conclusione(r, riga.rapporti, &salvati);
}
