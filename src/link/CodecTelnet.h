#pragma once
// The Telnet (RFC 854) and COM Port Control (RFC 2217) side of a link to a
// serial device server, without the socket: bytes from the server in, the
// panel's data and the answers to send back out; and the bytes of what the
// tool sends (data, line settings). Qt Core only.
//
// Only data reaches the reader: Telnet commands are answered or refused here,
// IAC is doubled on the way out and undoubled on the way in; outside binary
// mode the NUL the server puts after a CR is not data. An option we refuse is
// refused once, however often the server asks. A server whose command never
// ends (no IAC SE within MassimoSottonegoziazione bytes) is faulty: nothing
// more is read from it.

#include <QByteArray>
#include <QList>
#include <QStringList>

class CodecTelnet {
  public:
    // The longest command (between IAC SB and IAC SE) a server may send: a
    // port-control notice takes a few bytes; one that never ends is a fault.
    static constexpr int MassimoSottonegoziazione = 512;

    // The line settings as the server's port control names them.
    enum class Parita : char { Nessuna = 1, Dispari = 2, Pari = 3, Mark = 4, Space = 5 };
    enum class Stop : char { Uno = 1, Due = 2, UnoEMezzo = 3 };

    // What the tool asks first: binary both ways (no CR NUL), no go-ahead,
    // and port control. Their answers are awaited, not answered.
    QByteArray Richieste();

    // The data in what came from the server; the answers to its commands are
    // appended to *perLaRete, to go out in one write. Once the server is
    // faulty, the rest of what came and all that comes after are not read
    // (and what this read would have answered is not answered).
    QByteArray Ricevi(const QByteArray &daRete, QByteArray *perLaRete);
    bool Difettoso() const { return difettoso_; }

    // The data as it goes to the server: IAC doubled.
    static QByteArray Codifica(const QByteArray &dati);
    // The port-control commands that set the line, in the order they are sent.
    static QList<QByteArray> RichiesteLinea(quint32 velocita, int bitDati, Parita parita,
                                            Stop stop);

    // Port control: 0 not answered yet, 1 accepted, -1 refused.
    int PortaAccettata() const { return portaAccettata_; }
    // How many line settings the server confirmed, and those it named
    // clearly, for the trace ("9600 bit/s").
    int Confermati() const { return confermati_; }
    const QStringList &Conferme() const { return conferme_; }

  private:
    void opzione(unsigned char verbo, unsigned char opzione);
    void sottonegoziazione(const QByteArray &sb);

    // Where the reading is, and the options in force on each side.
    enum class Stato { Dati, Iac, Verbo, Sb, SbIac, DopoCr };
    Stato stato_ = Stato::Dati;
    unsigned char verbo_ = 0;
    QByteArray sb_;
    bool difettoso_ = false;
    bool binarioLoro_ = false;     // the server sends binary: CR NUL is not to be undone
    bool nostre_[256] = {};        // options in force on our side
    bool loro_[256] = {};          // options in force on the server's side
    bool chiesteNostre_[256] = {}; // WILL sent, answer awaited
    bool chiesteLoro_[256] = {};   // DO sent, answer awaited
    // Options we refused (WONT, DONT): a server asking again gets no answer,
    // so one that keeps asking cannot keep us writing.
    bool rifiutateNostre_[256] = {};
    bool rifiutateLoro_[256] = {};
    QByteArray risposte_; // answers to what is being read
    int portaAccettata_ = 0;
    int confermati_ = 0;
    QStringList conferme_;
};
