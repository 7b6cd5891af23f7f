#pragma once
// A send to a site of the book: nothing its panel held is lost. With the
// site's backup on, the texts the file will overwrite are read and kept as a
// version ("copia prima dell'invio") before the first write, and only the
// texts that differ are written; a send verified whole is kept as a version
// too ("inviato"). The command line and the windows both send this way, a
// restore of a version included.

#include "files/Programmazione.h"
#include "impianti/Impianti.h"
#include "impianti/Registro.h"
#include "impianti/Versioni.h"
#include "jobs/Operazioni.h"

#include <QList>
#include <QString>
#include <optional>

namespace InvioImpianto {

struct Risultato {
    Operazioni::RisultatoInvio invio;
    int copia = 0;   // the version of the backup (0: none kept, or the backup was off)
    int inviato = 0; // the version of what was sent (0: none)
    QString nomeCopia, nomeInviato; // their stable names
    QString avviso;                 // a version that could not be kept after the send, why
    QString parole;                 // Lavoro::Invia: the outcome in words, as the register has it
    QString nonAnnotato;            // Lavoro::Invia: the register's end line not written, why
};

// What a send on a site is told besides its entries.
struct Opzioni {
    bool senzaCopia = false; // no backup first (the site may have it off too)
    QString descrizione;     // what is sent, for the versions' first line
    QString porta;           // the port as the operator knows it
    // The job as the site's register names it ("invio di …"); empty: no
    // register lines (the caller's own job has them).
    QString azione;
};

// The outcome of a send on a site (a send on no site: `impianto` null) in
// the words the command line, the windows and the register all give it:
// the outcome, then the details (Dettagli); the version that could not be
// kept after the send (Risultato::avviso) is not in them.
// reads Identificativo
QString Parole(const Risultato &r, const Impianti::Impianto *impianto, const Opzioni &opzioni);

// What a send on a site adds to its outcome: the texts already equal and the
// versions kept, or that it went without a copy (`senzaCopia`, or the site's
// option off). Empty for a send on no site.
QString Dettagli(const Risultato &r, bool senzaCopia, const Impianti::Impianto *impianto);

// The texts of entries, as a version keeps them.
Versioni::Testi Testi(const QList<Programmazione::Voce> &voci);

// Sends `voci` to the panel of `impianto`, on the link already set: with
// its backup first unless the site has it off or `senzaCopia` asks so.
// `descrizione` names what is sent, for the versions' first line.
// reads Identificativo, Interruzione; writes Testi, MessaggioErrore; runs exchanges
Risultato Invia(Operazioni::Osservatore &o, const QList<Programmazione::Voce> &voci,
                const Impianti::Impianto &impianto, bool senzaCopia, const QString &descrizione);

// A send on a site as one job: the site's register is told of it before
// anything reaches the panel (no send the register would not know of), then
// the send (Invia), then the register's end line with its Parole.
class Lavoro {
  public:
    // Writes the start line in the register of site `nome` (none when
    // `opzioni.azione` is empty).
    Lavoro(const QString &nome, const Opzioni &opzioni);
    // Why the start line could not be written, or empty. Nothing may be sent
    // when it is not.
    QString NonIniziato() const;
    // Sends `voci` to `impianto` (null: the site could not be read) as
    // `preparazione` (the file's checks) allows: a file refused is sent
    // nothing and said so in the end line, whose words the result keeps.
    // reads Identificativo, Interruzione; writes Testi, MessaggioErrore; runs exchanges
    Risultato Invia(Operazioni::Osservatore &o, const Impianti::Impianto *impianto,
                    const QList<Programmazione::Voce> &voci,
                    const Operazioni::RisultatoInvio &preparazione);

  private:
    Opzioni opzioni_;
    std::optional<Manutenzione::Lavoro> registro_;
};

// A complete read-back (the texts it left in Testi, with the comment it
// proposes) kept as a version of the site, not again when equal to its
// newest; the words that say how it went. *fatto tells whether the texts
// are kept (in a new version or in the newest).
// reads Testi, CommentoProposto
QString ConservaLettura(const QString &impianto, bool *fatto);

// Entries for texts, as a version keeps them.
QList<Programmazione::Voce> Voci(const Versioni::Testi &testi);

// A restore of a site's version, prepared as a send prepares its file.
struct Ripristino {
    Versioni::Versione versione;
    QList<Programmazione::Voce> voci;
    // Operazioni::PreparaInvio's result on the version's file: a version that
    // cannot be read, or that a send would refuse (cut short, a number twice,
    // a character the line cannot carry), is refused the same way.
    Operazioni::RisultatoInvio preparazione;
};
// Version `chiave` (its number or stable name) of `impianto` read and checked
// before anything is written; nothing, with *errore (Italian), when the site
// has no such version. Leaves NomeFile on the version's file.
// writes NomeFile
std::optional<Ripristino> PreparaRipristino(Operazioni::Osservatore &o, const QString &impianto,
                                            const QString &chiave, QString *errore);

// The entries a restore of version `numero` of a site sends, or nothing
// with *errore (Italian): no such version, or the checks of PreparaRipristino
// refuse it, in the words of a send ("<file>: <why>").
std::optional<QList<Programmazione::Voce>> VociDellaVersione(const QString &impianto, int numero,
                                                             QString *errore);

} // namespace InvioImpianto
