#pragma once
// The line to a panel behind a serial device server, over TCP:
//   tcp://HOST:PORT      raw TCP (the server's "TCP server" mode; its line is
//                        set up on the server); socket://HOST:PORT is the same;
//   rfc2217://HOST:PORT  Telnet with COM Port Control (RFC 2217): the line's
//                        speed, data bits, parity and stop bits are set here.
// An IPv6 address goes in brackets: tcp://[fe80::1]:4001.
//
// Connecting pumps events (the windows go on) for at most LimiteConnessioneMs.
// Only data reaches the reader: Telnet commands are answered or refused here,
// IAC is doubled on the way out and undoubled on the way in. A control command
// the server does not confirm never holds the line up. An option we refuse is
// refused once, however often the server asks, and the answers to what came in
// one read go out in one write; a server whose command never ends (no IAC SE
// within MassimoSottonegoziazione bytes) is faulty: the link is dropped as lost.
//
// No operation here reads or writes a global.

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QTcpSocket>

// Whether the text is a network address of the forms above (by its scheme:
// a malformed address is still one, and fails when it is opened).
bool IndirizzoDiRete(const QString &testo);

// What the parts of an address are; `errore` (Italian) says what is wrong,
// empty when it is well formed.
struct Indirizzo {
    bool rfc2217 = false;
    QString host;
    quint16 porta = 0;
    QString errore;
};
Indirizzo LeggiIndirizzo(const QString &testo);

class Rete : public QObject {
    Q_OBJECT
  public:
    static constexpr int LimiteConnessioneMs = 5000;
    // How long the server is given to accept COM Port Control and confirm
    // the line settings; past it the link goes on without its confirmation.
    static constexpr int LimiteNegoziazioneMs = 1500;
    // The longest command (between IAC SB and IAC SE) a server may send: a
    // port-control notice takes a few bytes; one that never ends drops the link.
    static constexpr int MassimoSottonegoziazione = 512;

    explicit Rete(QObject *parent = nullptr);
    ~Rete() override;

    // Connects to the address and, for rfc2217, sets the line. False, with
    // errore() saying why, when the address is wrong or cannot be reached.
    bool apri(const QString &indirizzo, qint32 velocita, QSerialPort::Parity parita,
              QSerialPort::DataBits dati, QSerialPort::StopBits stop);
    void chiudi();
    bool aperta() const { return aperta_; }
    // A connection is being made (an opening is pumping events).
    bool inCorso() const { return inCorso_; }

    // The data received and not yet taken.
    QByteArray leggi();
    // Sends the data in one write.
    void scrivi(const QByteArray &dati);
    QString errore() const { return errore_; }

  signals:
    void datiArrivati();
    // The open connection was lost (the server closed it, the network dropped).
    void persa();
    // An event of the link for the trace: connected, closed, line settings.
    void nota(const QString &testo);

  private:
    void ricevi();
    // False when the server broke Telnet: the rest is not read.
    bool telnet(const QByteArray &arrivati);
    void opzione(unsigned char verbo, unsigned char opzione);
    void sottonegoziazione(const QByteArray &sb);
    void invia(const QByteArray &grezzi);
    void comandoPorta(unsigned char comando, const QByteArray &valore);
    void caduta();
    // Closes the open connection as lost, for the reason given (Italian).
    void perdi(const QString &motivo);

    QTcpSocket socket_;
    QString indirizzo_;
    QByteArray dati_;
    QString errore_;
    bool aperta_ = false;
    bool inCorso_ = false;
    bool rfc2217_ = false;

    // Telnet: where the reading is, and the options in force on each side.
    enum class Stato { Dati, Iac, Verbo, Sb, SbIac, DopoCr };
    Stato stato_ = Stato::Dati;
    unsigned char verbo_ = 0;
    QByteArray sb_;
    bool binarioLoro_ = false;     // the server sends binary: CR NUL is not to be undone
    bool nostre_[256] = {};        // options in force on our side
    bool loro_[256] = {};          // options in force on the server's side
    bool chiesteNostre_[256] = {}; // WILL sent, answer awaited
    bool chiesteLoro_[256] = {};   // DO sent, answer awaited
    // Options we refused (WONT, DONT): a server asking again gets no answer,
    // so one that keeps asking cannot keep us writing.
    bool rifiutateNostre_[256] = {};
    bool rifiutateLoro_[256] = {};
    QByteArray risposte_;    // answers to what is being read, sent in one write
    int portaAccettata_ = 0; // COM Port Control: 0 unknown, 1 accepted, -1 refused
    int confermati_ = 0;     // line settings the server confirmed
    QStringList conferme_;
};
