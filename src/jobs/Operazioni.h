#pragma once
// The programming jobs without their window: sending and verifying a message
// file, and reading all texts back. They report their two status lines, their
// progress and a failure to be acknowledged through an Osservatore; the
// programming window and the command line both drive them, so the two always
// run the same job. Plain code: no widget, Qt Core and the link only.
// The data of a job go through globals, as each one says below; what the
// observer writes (the window's acknowledgement) is the observer's.

#include "files/Programmazione.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace Operazioni {

// What a job shows while it runs.
class Osservatore {
  public:
    virtual ~Osservatore() = default;
    virtual void Riga1(const QString &testo) = 0; // first status line
    virtual void Riga2(const QString &testo) = 0; // second status line
    // Phase and count done; an empty job (totale 0) shows no progress.
    virtual void Avanzamento(const QString &fase, int fatti, int totale) = 0;
    // A failure that stops the job: MessaggioErrore holds its text.
    virtual void Conferma() = 0;
    // The operator asked to stop (a window's "Interrompi", or its close box):
    // the job stops before its next exchange, as for a signal.
    virtual bool Fermato() { return false; }
    // A search found an identifier that answers, with its reply.
    virtual void Trovato(const QString &id, const QString &risposta) {
        Q_UNUSED(id);
        Q_UNUSED(risposta);
    }
};

// How a send ended.
enum class Esito {
    Fatto,              // every text written and read back equal ("DATI UGUALI  TUTTO OK "),
                        // or already held by the panel (a send given its texts)
    FileNonLeggibile,   // nothing sent: the file could not be read, or is too large
    FileRifiutato,      // nothing sent: nothing to send, too many texts, a character refused
    ScritturaRifiutata, // a write not accepted (or not answered)
    Diverso,            // a text read back different (or not answered)
    Incerta,            // the panel's replies to a text read back could not be trusted
    Interrotto,         // a signal stopped it between two exchanges (Interruzione)
    CopiaNonRiuscita,   // nothing sent: the copy of the panel's texts not read, or not kept
};

struct RisultatoInvio {
    Esito esito = Esito::Fatto;
    // FileNonLeggibile, FileRifiutato, CopiaNonRiuscita: why; Interrotto: what
    // the panel holds
    QString motivo;
    Programmazione::Voce voce; // the entry (number and text) that failed
    QString risposta;          // the reply as the job took it
    QString letto;             // Diverso: the text read back
    bool muto = false;         // the failing exchange got no reply at all
    int scritti = 0;           // texts written
    // Lines of the file a send leaves out, said beside the result.
    QString avviso = {};
    // Of them, the lines whose number is broken: texts meant for the panel,
    // so a send that skipped them is not all done.
    int spezzate = 0;
    // A send given the panel's texts: entries it did not write, as the panel
    // already held their text.
    int giaUguali = 0;
};

// The entries of the file NomeFile, read and checked before anything is
// written. On failure the status lines say why and the result tells it; lines
// left out without a refusal are told in `avviso`.
// reads NomeFile
RisultatoInvio PreparaInvio(Osservatore &o, QList<Programmazione::Voce> *voci);
// Writes every entry as it comes, then reads each back and compares it.
// A signal stops it before the next exchange (Esito::Interrotto).
// Given `presenti`, the panel's texts for the same entries in the same order
// (RisultatoConfronto::presenti, just read), it writes only the entries whose
// text the panel does not hold already and reads back each one it wrote; the
// others count as verified (giaUguali), and the first status line says how
// many were written and how many were already equal. `voci` name no number
// twice (PreparaInvio refuses such a file).
// reads Identificativo, Interruzione; writes Testi, MessaggioErrore; runs exchanges
RisultatoInvio ScriviEVerifica(Osservatore &o, const QList<Programmazione::Voce> &voci,
                               const QList<Programmazione::Voce> *presenti = nullptr);
// The whole send of NomeFile: "Programmo scritte", PreparaInvio, ScriviEVerifica;
// a send that ends well shows the lines left out on the first status line,
// and not "TUTTO OK" when some had a broken number.
// reads NomeFile, Identificativo; writes Testi, MessaggioErrore; runs exchanges
RisultatoInvio ProgrammaTesti(Osservatore &o);
// A send that ended well, with lines of its file left out: those on the first
// status line, and not "TUTTO OK" on the second when some had a broken number.
void MostraSaltate(Osservatore &o, const RisultatoInvio &r);

// How a text of the panel was read.
struct TestoPannello {
    enum Esito { Letto, Muto, Incerto } esito = Muto;
    QString testo; // Letto: the text's 16 places, as the panel holds them
};

// The text the panel holds for a three-digit number, and never another
// number's. The read-text command (with its one repeat) is sent until a reply
// is a whole text; a text that came only through a repeat, after the line
// misbehaved or with noise behind it, is read once more and the two must
// agree. Muto: the panel did not answer; Incerto: a few reads brought no text
// that could be trusted. Every read-back of a text goes this way.
// reads Identificativo; runs exchanges
TestoPannello Rileggi(const QString &numero);

struct RisultatoConfronto {
    QList<Programmazione::Voce> diverse; // entries the panel holds another text for
    QStringList letti;                   // the panel's texts of those entries, in order
    int confrontati = 0;                 // entries read back
    Programmazione::Voce muta;           // the entry whose read failed (it stops)
    bool incerta = false;                // ... because its replies could not be trusted
    bool interrotto = false;             // a signal stopped it before the next read
    // Every entry read back as the panel holds it, in order: its number and
    // the panel's 16 places, with the file line of the entry it stands for.
    QList<Programmazione::Voce> presenti;
    // Every entry read, each with a reply to trust: what the panel holds for
    // them all.
    bool completo() const { return muta.isEmpty() && !interrotto; }
};

// What a send of these entries would change: each is read back as the
// verification reads it, in the same order, and nothing is written. A signal
// or the observer's stop ends it before the next read.
// reads Identificativo, Interruzione; runs exchanges
RisultatoConfronto Confronta(Osservatore &o, const QList<Programmazione::Voce> &voci);

// Keeps the copy of the panel's texts a send is about to overwrite (each
// entry with the panel's text, in the order of the send). False when it could
// not, with why in `errore`, in Italian: then nothing is written.
using ConservaCopia =
    std::function<bool(const QList<Programmazione::Voce> &presenti, QString *errore)>;

// A send that never overwrites a text without a copy kept first: the panel's
// texts for every entry are read as Confronta reads them; a complete copy is
// given to `conserva` before the first write, and once it is kept the entries
// the panel does not already hold are written and read back (ScriviEVerifica
// with the copy as `presenti`). Nothing is written when a text of the copy
// got no reply to trust (Esito::CopiaNonRiuscita, the entry in `voce`,
// `muto` for no reply at all), when a signal or the observer's stop ended
// the copy (Esito::Interrotto), or when `conserva` returns false
// (Esito::CopiaNonRiuscita, `voce` empty); `motivo` says why.
// reads Identificativo, Interruzione; writes Testi, MessaggioErrore; runs exchanges
RisultatoInvio InviaConCopia(Osservatore &o, const QList<Programmazione::Voce> &voci,
                             const ConservaCopia &conserva);

struct RisultatoLettura {
    bool completa = false;
    int numero = -1;         // the number that got no reply, or no reply to trust
    bool incerta = false;    // ... no reply to trust
    bool interrotta = false; // a signal stopped it before the next read
};

// Reads texts 000 to 192 into Testi and the body of a message file into
// CorpoFile; a complete read shows "letti tutti" and sets CommentoProposto.
// The first number without an answer to trust stops it, after the
// acknowledgement; a signal stops it before the next read.
// reads Identificativo, Interruzione; writes Testi, NumeroTesto, NumeroTre, CorpoFile,
// CommentoProposto, MessaggioErrore; runs exchanges
RisultatoLettura LeggiTesti(Osservatore &o);

constexpr int UltimoTestoLetto = 192;

// The identifiers a search tries, in order: the configured one first (when it
// is not empty), then "&00" to "&99" without trying the configured one twice.
// no globals
QStringList OrdineCerca(const QString &configurato);

struct RisultatoCerca {
    QStringList trovati;     // identifiers that answered, in the order tried
    QStringList risposte;    // their status replies, in order
    int provati = 0;         // identifiers tried
    bool eco = false;        // an RS232 line gave back the echo of a command
    bool interrotta = false; // a signal or the observer's stop ended it
    QString chiusa;          // the identifier at which the port closed (it stops)
    QString estranea;        // what answers is not a panel (it stops): why
    QStringList nonInteri;   // identifiers that answered, never with a whole reply
};

// Which identifiers answer on the line: one status request to each of
// `ordine`, one attempt each with the usual time-out; an identifier whose
// replies are not whole is not counted. With `primoBasta` it
// stops at the first that answers (one panel on an RS232 line). The observer
// is told each identifier before it is tried (Riga1), the progress
// ("Cerco") and each one found (Trovato). A signal or the observer's stop
// ends it before the next request. Nothing is written to the panel.
// reads Modo485, Interruzione; runs exchanges
RisultatoCerca Cerca(Osservatore &o, const QStringList &ordine, bool primoBasta);

// True while one of the jobs above is exchanging with the panel (or waits
// for the acknowledgement of its failure): a signal then lets it stop
// between two exchanges instead of closing the windows at once.
// no globals
bool LavoroInCorso();

// Tells that a job was interrupted, and what the panel holds: on the
// standard error and in the trace.
// no globals
void AnnunciaInterruzione(const QString &testo);

} // namespace Operazioni
