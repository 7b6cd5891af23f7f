#pragma once
// The programming jobs without their window: sending and verifying a message
// file, and reading all texts back. They report their two status lines, their
// progress and a failure to be acknowledged through an Osservatore; the
// programming window and the command line both drive them, so the two always
// run the same job. Plain code: no widget, Qt Core and the link only.
// The data of a job go through globals, as each one says below; what the
// observer writes (the window's acknowledgement) is the observer's.

#include "programming/Programmazione.h"

#include <QList>
#include <QString>
#include <QStringList>

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
};

// How a send ended.
enum class Esito {
    Fatto,              // every text written and read back equal ("DATI UGUALI  TUTTO OK ")
    FileNonLeggibile,   // nothing sent: the file could not be read, or is too large
    FileRifiutato,      // nothing sent: nothing to send, too many texts, a character refused
    ScritturaRifiutata, // a write not accepted (or not answered)
    Diverso,            // a text read back different (or not answered)
};

struct RisultatoInvio {
    Esito esito = Esito::Fatto;
    QString motivo;    // FileNonLeggibile, FileRifiutato: why, in Italian
    QString voce;      // the 19-character entry (number and text) that failed
    QString risposta;  // the reply as the job took it
    QString letto;     // Diverso: the text read back
    bool muto = false; // the failing exchange got no reply at all
    int scritti = 0;   // texts written
    // Lines of the file a send leaves out, said beside the result.
    QString avviso = {};
};

// The entries of the file NomeFile, read and checked before anything is
// written. On failure the status lines say why and the result tells it; lines
// left out without a refusal are told in `avviso`.
// reads NomeFile
RisultatoInvio PreparaInvio(Osservatore &o, QList<Programmazione::Voce> *voci);
// Writes every entry as it comes, then reads each back and compares it.
// reads Identificativo; writes Testi, MessaggioErrore; runs exchanges
RisultatoInvio ScriviEVerifica(Osservatore &o, const QList<Programmazione::Voce> &voci);
// The whole send of NomeFile: "Programmo scritte", PreparaInvio, ScriviEVerifica;
// a send that ends well shows the lines left out on the first status line.
// reads NomeFile, Identificativo; writes Testi, MessaggioErrore; runs exchanges
RisultatoInvio ProgrammaTesti(Osservatore &o);

// The text the panel holds for a three-digit number, read as the
// verification reads it: the read-text command with its one repeat, the text
// up to the reply's CR. ErroreSeriale tells whether the panel answered.
// reads Identificativo; runs exchanges
QString Rileggi(const QString &numero);

struct RisultatoConfronto {
    QList<Programmazione::Voce> diverse; // entries the panel holds another text for
    QStringList letti;                   // the panel's texts of those entries, in order
    int confrontati = 0;                 // entries read back
    QString muta;                        // the entry whose read got no reply (it stops)
};

// What a send of these entries would change: each is read back as the
// verification reads it, in the same order, and nothing is written.
// reads Identificativo; runs exchanges
RisultatoConfronto Confronta(Osservatore &o, const QList<Programmazione::Voce> &voci);

struct RisultatoLettura {
    bool completa = false;
    int numero = -1; // the number that got no reply
};

// Reads texts 000 to 192 into Testi and the body of a message file into
// CorpoFile; a complete read shows "letti tutti" and sets CommentoProposto.
// The first unanswered number stops it, after the acknowledgement.
// reads Identificativo; writes Testi, NumeroTesto, NumeroTre, CorpoFile, CommentoProposto,
// MessaggioErrore; runs exchanges
RisultatoLettura LeggiTesti(Osservatore &o);

constexpr int UltimoTestoLetto = 192;

} // namespace Operazioni
