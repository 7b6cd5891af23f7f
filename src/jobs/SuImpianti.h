#pragma once
// One job over many sites of the book at once. Each site's job runs as a
// child process of the tool itself (`velto318 --impianto NOME JOB`), so a
// site whose job fails or crashes stays alone in its failure, and each job
// keeps the tool's one-panel design: its own link, its own register line,
// its own version. Sites that share a link (one port, one device, one network
// address: several panels on an RS485 bus) are worked one after another on
// it; different links run side by side, at most `paralleli` at once. A link
// is never opened twice at once.
//
// Plain Qt Core: the command line waits for it in an event loop, the site
// window follows its signals.

#include "impianti/Impianti.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QProcess;

namespace SuImpianti {

// How a site's job ended, for the summary.
enum class Stato { NonRaggiunto, Giusto, Diverso, SenzaRisposta, Problema, Interrotto };
// "giusto", "diverso", "non riuscito", "problema", "interrotto", "non raggiunto".
QString NomeStato(Stato s);

struct Esito {
    Impianti::Impianto impianto;
    Stato stato = Stato::NonRaggiunto;
    QString parole;   // the outcome in the job's own words
    int uscita = -1;  // the exit status of its job; -1 when it did not end by itself
    QDateTime inizio; // when its job started (invalid when not reached)
    double secondi = 0;
    int versione = 0; // the version its job stored (0: none)
};

// The key of a site's link: two sites with one key share a line. Links
// followed, a port's name resolved as the job would in `cartella`, a
// network address by its host and port (a host name by the address it
// resolves to, or as it is written without `risolvi`).
QString ChiaveLinea(const Impianti::Impianto &i, const QString &cartella, bool risolvi = true);
// Impianti::Avvisi with that key, in the current folder: the warnings of
// `i` against the book, links compared as a run compares them, host names
// as written (a listing never waits on the network; localhost and
// 127.0.0.1 are still one host).
QStringList Avvisi(const Impianti::Impianto &i, const QList<Impianti::Impianto> &libro);

// How many of `voluti` jobs can run at once when this process may open
// `limite` descriptors (0: no limit) and has `inUso` open: each running job
// takes some, and the runner keeps some for itself. At least one.
int ParalleliPossibili(int voluti, long limite, int inUso);

// The sites of `lista` ("tutti", or names separated by commas) from the
// book, in the book's order. A name not in the book: nothing, with why in
// *errore (Italian, naming the near names).
std::optional<QList<Impianti::Impianto>> Scegli(const QString &lista, QString *errore);

// Set to 1 in each site's job's environment: nobody watches it at the
// keyboard, and its lines say what happened without what to press, restart
// or retry.
inline constexpr char VariabileIncustodito[] = "VELTO318_INCUSTODITO";

class Giro : public QObject {
    Q_OBJECT
  public:
    // `lavoro`: the job's own options (e.g. {"--leggi"}, {"--invia", FILE});
    // `programma`: the tool to run (the running one, as a rule).
    Giro(const QStringList &lavoro, int paralleli, const QString &programma,
         QObject *padre = nullptr);
    ~Giro() override;

    void Avvia(const QList<Impianti::Impianto> &impianti);
    // No new site starts; the jobs running are asked to stop (SIGTERM), as a
    // single job is, and finish their current exchange first. A job whose
    // runner dies (killed) is stopped the same way.
    void Ferma();
    bool Fermato() const { return fermato_; }

    const QList<Esito> &Esiti() const { return esiti_; }
    int InCorso() const;
    int Finiti() const { return finiti_; }
    // "64 impianti: 60 giusti, 2 diversi, 2 senza risposta".
    QString Riepilogo() const;
    // 0 when every site ended well, else 1.
    int Uscita() const;

  signals:
    void Iniziato(int indice);
    void Finito(int indice);
    void TuttoFinito();

  private:
    struct Linea;
    void prossimi();
    void avvia(Linea &l);
    void finito(Linea &l, int uscita, bool normale);
    // The job of `l` did not start while others run (the descriptors they
    // hold): its site waits for one of them to end. False when none runs.
    bool rimanda(Linea &l);

    QStringList lavoro_;
    int paralleli_;
    QString programma_;
    QString cartella_;
    QList<Esito> esiti_;
    std::vector<std::unique_ptr<Linea>> linee_;
    int finiti_ = 0;
    bool fermato_ = false;
    bool chiuso_ = false;
};

// The result file: one row per site (name, link, identifier, outcome, exit
// status, start, duration, version stored), CSV or JSON as the extension
// says; an exit status or version the site has not is an empty cell (null). Returns an Italian
// message when it cannot be written, else empty.
QString SalvaEsito(const QList<Esito> &esiti, const QString &percorso);

} // namespace SuImpianti
