#pragma once
// The walk test: what the test cycle decoded, remembered while a technician
// trips each detector and door contact in turn. The record is fed by the
// test window's polling and by --prova alike; it only observes, and costs a
// few comparisons per cycle while nothing changes. No windows: Qt Core only.
//
// Inputs are numbered as the alarm windows, 1 to 46: 1 to 44 the alarm
// windows, 45 the "P L" tile, 46 the "ACK" tile.

#include "link/Comandi.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace Prova {

constexpr int NumeroIngressi = 46;
// Events and active spans kept in memory (the journal keeps all): of the
// events, the first EventiIniziali and the newest after them, EventiInMemoria
// in all, so that a report shows how the walk test began as well as how it
// ended, and says how many were left out between.
constexpr int EventiInMemoria = 5000;
constexpr int EventiIniziali = 1000;
constexpr int IntervalliPerIngresso = 200;
// A journal's line longer than this is no line the tool wrote: read back, it
// is skipped, never held whole.
constexpr qint64 RigaMassima = 64 * 1024;

enum class Tipo {
    Attivo,
    Riposo,
    StatoCentrale,
    Tasto,
    LineaPersa,
    LineaTornata,
    Sospesa, // the polling stopped (test mode left for the programming window)
    Ripresa
};

struct Evento {
    QDateTime quando;
    Tipo tipo = Tipo::Attivo;
    int ingresso = 0; // 1 to 46 for Attivo and Riposo
    QString valore;   // the rest state character, or the key caption
};

// A span of time: `a` invalid while it lasts.
struct Intervallo {
    QDateTime da, a;
};

struct Ingresso {
    int numero = 0;
    QString testo;          // texts 4i and 4i+1 run together, as test mode shows them
    bool conTesto = false;  // counted by the walk test
    bool provato = false;   // seen going active at least once
    bool attivo = false;    // active now
    bool letto = false;     // its state was read since the start
    bool giaAttivo = false; // active at its first reading: nobody was seen tripping it
    QDateTime primaAttivazione, ultimaAttivazione, ultimoRiposo;
    int attivazioni = 0;
    QString nota; // typed by the technician
    std::deque<Intervallo> intervalli;
};

class Registro {
  public:
    Registro();
    // An open journal is closed with the time the walk test ended.
    ~Registro();
    Registro(const Registro &) = delete;
    Registro &operator=(const Registro &) = delete;

    // A past walk test, read back from its journal into this new record: the
    // texts, the site, the technician, the notes and every event, replayed
    // at their own times, so that the table, the timeline and the reports
    // show what they showed then. Returns an Italian message when the file
    // cannot be read or is no journal, else an empty text. Lines that
    // cannot be read (a crash in the middle of one, one longer than
    // RigaMassima) are skipped and counted. Events outside the walk test's
    // span (before its start once it began, after its end line, or, with no
    // end line, well after the journal's last line) are not replayed: a
    // clock gone wrong credits no input; they are counted and their lines
    // remembered.
    QString Rileggi(const QString &file);
    bool DaGiornale() const { return daGiornale_; }
    int RigheSaltate() const { return righeSaltate_; }
    int FuoriIntervallo() const { return fuori_; }
    // The first of them, as "riga 12 (01/01/1970 01:00:00)".
    const QStringList &RigheFuori() const { return righeFuori_; }

    // The texts of the 44 alarm windows (without their number) are loaded:
    // the record starts, or, when it runs already, keeps what it saw and
    // takes the new texts.
    void Testi(const QStringList &testi);
    bool Avviato() const { return avviato_; }
    // Everything seen is forgotten; the record starts again now, with a new
    // journal in `cartella` when one was open (the old one is closed, whole).
    void Ricomincia(const QString &cartella);
    // The walk test starts now (its window opened): the inputs count from
    // now, those active now as active at the start; what was seen before
    // stays among the events, described as before the start.
    void Inizia();

    // The link changed (another port or identifier): until the texts are
    // loaded again, what the cycle reads may be another panel's and is
    // ignored; the polling counts as stopped. Then Continua() when they are
    // the same panel's, or Ricomincia() for another panel.
    void AttendiTesti();
    void Continua();

    // What the cycle decoded. Until Testi() these are ignored.
    void Risposta(bool risposto); // every exchange: answered or not
    void Stato(const QString &stato);
    void Ingressi(const QList<Comandi::Ingresso> &ingressi);
    void Tasto(const QString &etichetta);
    // The polling stops (nothing is watched) and starts again: a gap in the
    // record, as a silent line is; the inputs active meanwhile are not
    // shown active through it. Sospendi is false when no gap was opened (no
    // record yet, or one already open).
    bool Sospendi();
    void Riprendi();

    // Opens a journal in `cartella`/prove (created when missing), named by the
    // date, time and identifier (a new file, never one another user's link
    // leads to: Salvataggio::ApriNuovo), and writes to it what was seen so
    // far; then every event is appended and flushed as it happens. Returns an
    // Italian message when it cannot, else an empty text.
    QString ApriGiornale(const QString &cartella);
    QString Giornale() const { return nomeGiornale_; }
    // The walk test ends now: `fine` takes the time, and the journal, closed,
    // ends with a line of that same time, so that the reports made now and
    // those made again from the journal say one end.
    void Termina();
    // Why the journal stopped (a full disk), once it did; else empty.
    QString ErroreGiornale() const { return erroreGiornale_; }

    // The technician's note of input `numero`, written to the journal too.
    void ImpostaNota(int numero, const QString &nota);
    // A line of the technician's in the journal, with the time.
    void Annota(const QString &testo);
    // The site and the technician as they are now, in the journal.
    void AnnotaImpianto();
    void AnnotaTecnico();

    // Called after each event is recorded.
    std::function<void(const Evento &)> avviso;

    const std::vector<Ingresso> &Ingressi() const { return ingressi_; }
    // The events kept: the first ones, then (after Omessi() more, when there
    // were) the newest.
    const std::deque<Evento> &Eventi() const { return eventi_; }
    size_t Omessi() const { return totaleEventi_ - eventi_.size(); }
    // Event `numero` since the start (0 the first), or none when it was left out.
    const Evento *EventoNumero(size_t numero) const;
    // The line that stands for `quanti` events left out: how many, and where
    // they all are ("… 40188 eventi omessi: sono tutti nel giornale FILE").
    QString Omissione(size_t quanti) const;
    // The newest line gaps and suspended spells, and how many there were in all.
    const std::deque<Intervallo> &Silenzi() const { return silenzi_; }
    const std::deque<Intervallo> &Sospensioni() const { return sospensioni_; }
    size_t TotaleSilenzi() const { return totaleSilenzi_; }
    size_t TotaleSospensioni() const { return totaleSospensioni_; }
    int Contati() const; // inputs with a text
    int Provati() const; // inputs with a text seen active
    QList<const Ingresso *> NonProvati() const;
    QDateTime Inizio() const { return inizio_; }
    int Cambiamenti() const { return cambiamenti_; }      // grows with every event
    size_t TotaleEventi() const { return totaleEventi_; } // since the start, kept or not

    // Given by the one who runs the walk test, shown in the reports.
    QString impianto, tecnico, identificativo, porta;
    QDateTime fine; // end of the walk test, once ended; invalid while it goes on

  private:
    // The time now; the time of the journal's line while one is read back.
    QDateTime Adesso() const;
    void ChiudiGiornale();
    void Rigioca(const Evento &e);
    // Rileggi's steps after the head and the texts. A "# …" line: the site,
    // the technician or an input's note taken back; returns the time of a
    // technician's line, invalid for the others.
    QDateTime RileggiCommento(const QString &riga);
    // The lines after the texts, `numero` the last one read: the events
    // replayed, those outside the span up to `limite` counted. Returns the
    // latest time of a line within the span (`inizio` when none was).
    QDateTime RigiocaEventi(QFile &f, int numero, const QDateTime &inizio, const QDateTime &limite);
    // An event at `quando`: the time its spans and gaps start or end at too.
    void Registra(const QDateTime &quando, Tipo tipo, int ingresso = 0,
                  const QString &valore = QString());
    void Scrivi(const Evento &e);
    void ScriviRiga(const QString &testo, const QDateTime &quando);
    void IntestaGiornale();

    bool avviato_ = false;
    bool attesaTesti_ = false; // see AttendiTesti()
    QDateTime orologio_;       // while a journal is read back
    bool daGiornale_ = false;
    int righeSaltate_ = 0;
    int fuori_ = 0;
    QStringList righeFuori_;
    std::vector<Ingresso> ingressi_;
    std::deque<Evento> eventi_;
    std::deque<Intervallo> silenzi_, sospensioni_;
    QDateTime inizio_;
    QString stato_, tasto_;
    bool risponde_ = true;
    int cambiamenti_ = 0;
    size_t totaleEventi_ = 0;
    size_t totaleSilenzi_ = 0, totaleSospensioni_ = 0;
    size_t omessiPrimaDelGiornale_ = 0; // left out before the journal was opened
    QFile giornale_;
    QString nomeGiornale_;
    QString cartellaGiornale_;
    QString erroreGiornale_;
    bool giornaleChiuso_ = false; // closed whole by Termina()
};

// Times as shown (to the second) and as written to files (milliseconds).
QString Ora(const QDateTime &t);
QString OraCompleta(const QDateTime &t);
// An input's text as shown: trailing blanks dropped, control characters
// written visibly (<TAB>); a "-" for none.
QString TestoMostrato(const Ingresso &i);
// Whether it was tried, as the table and the reports show it: "sì", "no", or
// "no (già attivo)" for an input active since the start and never seen
// going active.
QString TestoProvato(const Ingresso &i);
// One event as one line of text: its time, the input's number (empty for the
// others), what it concerns and what happened, separated by tabs (none
// within: control characters are written visibly).
QString RigaEvento(const Registro &r, const Evento &e, bool millisecondi = false);
// What happened, in words: "attivo", "a riposo", "la centrale non risponde" ...,
// followed by "(prima dell'inizio)" when seen before the start.
// Both as TestoMostrato, control characters written visibly.
QString Descrizione(const Registro &r, const Evento &e);
QString Soggetto(const Registro &r, const Evento &e);
// An input seen going active (not one found active at its first reading).
bool VistoAttivarsi(const Evento &e);
// "Provati N di M".
QString Conteggio(const Registro &r);
// The events of a journal read back that fell outside the walk test's span,
// in words ("2 eventi fuori dall'intervallo della prova, non contati: riga
// 12 (01/01/1970 01:00:00), …"); empty when there were none.
QString TestoFuori(const Registro &r);
// The name of the journal or report of a walk test started at `quando` on
// panel `identificativo`: "prova-2026-12-08_10-32-18-45", without extension.
QString NomeProva(const QDateTime &quando, const QString &identificativo);
// The file a report of kind `estensione` ("pdf", "csv") is proposed in, the
// one rule of the window's saves and of --prova on a site: beside the
// journal, named as it is; with no journal, in `cartella`/prove, named by
// the walk test's start. Never a file that is there: "-2", "-3"… is added.
QString NomeRapporto(const Registro &r, const QString &cartella,
                     const QString &estensione = QStringLiteral("pdf"));

} // namespace Prova
