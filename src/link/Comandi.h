#pragma once
// The panel's command set: every command text built from the panel
// identifier, the reply length to wait for, and how each reply is read.
// Plain functions, used by test mode, sending and reading back.

#include <QChar>
#include <QList>
#include <QString>
#include <optional>

namespace Comandi {

constexpr int TestaStato = 5;    // header characters before the status character
constexpr int TestaRisposta = 7; // header characters of the other replies
// An entry: a text's number (three digits) and its 16 characters, as the write
// command carries it and a line of a message file holds it.
constexpr int LunghezzaVoce = 19;
constexpr int LunghezzaTesto = 16; // a text's places in a read-text reply

QString Stato(const QString &id);                                // Id "SA" CR
QString LeggiTesto(const QString &id, const QString &numeroTre); // Id "0R" NNN CR
// Id "0W018" entry "0W" CR; the entry is padded (or cut) to 19 characters.
QString ScriviTesto(const QString &id, const QString &voce);
QString Ingressi(const QString &id, int gruppo); // Id "01" / "02" / "03" CR
QString Tasto(const QString &id);                // Id "09" CR

// The commands of the panel.
enum class Codice { Stato, LeggiTesto, ScriviTesto, Ingressi, Tasto };

// A command ready to send: its text, the reply length to wait for (the link
// adds the echo of an RS485 bus), and the header characters its reply has
// before the data.
struct Richiesta {
    QString testo;
    qint16 lunghezza = 0;
    int testa = 0;
    qint16 intera = 0; // characters of a whole reply, its CR included
};

// The command table, the one place that pairs each command with its reply
// length and header. The parameter is the text number (three digits) of
// LeggiTesto, the entry of ScriviTesto, the group ("1" to "3") of Ingressi;
// the others take none.
Richiesta Componi(Codice codice, const QString &id, const QString &parametro = QString());

// A reply to the command without its header, as the table cuts it (empty
// when it is shorter).
QString Dati(Codice codice, const QString &risposta);

// The reply without its first k characters (empty when it is shorter).
inline QString SenzaTesta(const QString &risposta, int k) {
    return risposta.mid(k);
}

// One decoder for each kind of reply, each taking the reply as the link
// hands it (the no-reply marker included: it decodes as no state, no key and
// no text).

// A status reply: all that follows its header. "R" is a panel at rest, "I"
// one being programmed; anything else, one character too many included, is
// neither.
QString StatoCentrale(const QString &risposta);
// The panel's rest state from a status reply's status part: "a riposo", "in
// programmazione", or "non a riposo" with what it said (as given: a caller
// shows its control characters visibly first).
QString TestoRiposo(const QString &stato);

// The panel took the text: the sixth reply character is "R".
bool ScritturaAccettata(const QString &risposta);
// A write reply of the expected shape (header, accept character, its CR):
// one that is not, and does not accept, may have been garbled on the line.
bool RispostaScritturaIntera(const QString &risposta);

// A read-text reply as the link hands it (its final CR removed). It is a
// text only when the CR that ends it falls right after the 16 text places:
// a byte of noise before the reply, one character too many or a reply cut
// short shifts that CR and makes it no text at all. Characters after that CR
// (noise that came in the same read) are not part of the text.
struct RispostaTesto {
    bool valida = false;
    bool coda = false; // something followed the reply's CR
    QString testo;     // the 16 places, as the panel sent them
};
RispostaTesto LeggiRispostaTesto(const QString &risposta);

// How whole a reply is, judged on everything that came for one exchange: the
// reply, its CR and whatever followed it (the echo of an RS485 bus removed).
// Every reply ends in a CR at a fixed place: right after the status
// character, the 16 text places, the accept character, the 16 input states
// or the key reply's three characters. A reply is whole when its CR falls
// there and nothing follows it: a byte of noise before it, one character too
// many or too few, or a second reply behind it (another program on the same
// line) makes it no answer. What no panel sends at all (a line feed, a
// control character in a reply that carries none, no CR where the longest
// reply would have ended: a web or SSH server's greeting, steady noise) is
// foreign.
enum class Forma { Intera, NonIntera, Estranea };

// When a text read from the panel can be trusted: a clean first read (no
// repeat, nothing behind the reply, no earlier failure) at once; any other
// only when the read before it brought the same text.
class ConfermaTesto {
  public:
    // True when `testo`, read now, is the panel's text.
    bool Accetta(const QString &testo, bool pulita) {
        const bool fidata = (prima_ && pulita) || precedente_ == testo;
        prima_ = false;
        precedente_ = testo;
        return fidata;
    }
    // A read that brought no text: the next one is no first read.
    void Fallita() {
        prima_ = false;
        precedente_.reset();
    }

  private:
    bool prima_ = true;
    std::optional<QString> precedente_;
};
Forma FormaRisposta(Codice codice, const QString &ricevuto);
// What a command asks the panel for, as the messages name it ("lo stato",
// "il testo 007", "gli ingressi 17-32", "il tasto premuto").
QString CosaChiede(Codice codice, const QString &parametro = QString());

// True when a reply taken on an RS232 line is only the echo of the command
// (the line echoes, as an RS485 bus does): the command without its CR, or
// the whole command followed by what came after it.
bool SoloEco(const QString &comando, const QString &risposta);

enum class StatoIngresso { Attivo, Inattivo, Invariato };
// "C" active, "-" at rest, anything else leaves the window unchanged.
StatoIngresso LeggiStatoIngresso(QChar c);

// The panel's captions in test mode: alarm window N (1 to 44) shows texts
// 4(N-1) and 4(N-1)+1 joined; the rest message, the end-of-cycle line and
// the panel's name line show the pairs that start at these numbers.
constexpr int FinestreConTesto = 44;
constexpr int PrimiTestiRighe[3] = {176, 178, 180};

// Where the panel shows text `numero` (0 to 999), in words: "Finestra 3,
// prima metà" (window N joins texts 4(N-1) and 4(N-1)+1), the rest message,
// the end-of-cycle line and the panel's name line by their names, or that
// test mode does not show it.
QString DoveSiVede(int numero);
// The first of the two texts that make the caption showing text `numero`,
// or -1 when no caption shows it.
int PrimoDellaCoppia(int numero);

// How many inputs a group reports, and the alarm window of its position p (1-based).
int IngressiNelGruppo(int gruppo);
int FinestraDiIngresso(int gruppo, int posizione);

struct Ingresso {
    int finestra = 0; // its alarm window, 0 to 45
    StatoIngresso stato = StatoIngresso::Invariato;
    QChar carattere; // as the panel sent it
};
// An input-group reply: the inputs of the group (16, or 14 for group 3) that
// the reply holds, in order.
QList<Ingresso> StatiIngressi(int gruppo, const QString &risposta);

// A key reply: its key code, or nothing when no character follows the header.
std::optional<QChar> CodiceTasto(const QString &risposta);
// The caption shown for a key code, or nothing for a code outside the table
// (two keys at once, a failed exchange), which leaves the caption as it was.
std::optional<QString> EtichettaTasto(QChar codice);
// The key code while no key is pressed (its caption "...").
constexpr char NessunTasto = '@';

} // namespace Comandi
