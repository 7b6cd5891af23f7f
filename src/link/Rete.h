#pragma once
// The line to a panel behind a serial device server, over TCP, at an address
// of link/IndirizzoRete.h: tcp:// and socket:// are raw TCP (the server's
// "TCP server" mode; its line is set up on the server); over rfc2217:// the
// line's speed, data bits, parity and stop bits are set here.
//
// Connecting pumps events (the windows go on) for at most LimiteConnessioneMs.
// Telnet is read and written by link/CodecTelnet.h; the answers to what came
// in one read go out in one write. A control command the server does not
// confirm never holds the line up; a server that breaks Telnet (a command
// that never ends) is dropped as lost.
//
// No operation here reads or writes a global.

#include "link/CodecTelnet.h"
#include "link/IndirizzoRete.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTcpSocket>

class Rete : public QObject {
    Q_OBJECT
  public:
    static constexpr int LimiteConnessioneMs = 5000;
    // How long the server is given to accept COM Port Control and confirm
    // the line settings; past it the link goes on without its confirmation.
    static constexpr int LimiteNegoziazioneMs = 1500;
    // The longest command (between IAC SB and IAC SE) a server may send: a
    // port-control notice takes a few bytes; one that never ends drops the link.
    static constexpr int MassimoSottonegoziazione = CodecTelnet::MassimoSottonegoziazione;
    // How long a raw TCP opening waits for a greeting at least (a server
    // whose port is taken says so at once and closes), and at most.
    static constexpr int AttesaSalutoMs = 20;
    static constexpr int AttesaSalutoMassimaMs = 250;

    explicit Rete(QObject *parent = nullptr);
    ~Rete() override;

    // Connects to the address and, for rfc2217, sets the line. False, with
    // errore() saying why, when the address is wrong or cannot be reached, or
    // when the server greets with its port taken by another connection (as
    // ser2net does when it has all the connections it accepts): the first
    // line the server sends tells that whenever it comes, and a link already
    // open is then lost for that reason.
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
    void invia(const QByteArray &grezzi);
    void caduta();
    // Closes the open connection as lost, for the reason given (Italian).
    void perdi(const QString &motivo);
    // The first line received says the server's port is taken: the link
    // ends (the opening fails, an open link is lost).
    bool occupata(const QByteArray &dati);

    QTcpSocket socket_;
    QString indirizzo_;
    QByteArray dati_;
    QByteArray primi_; // the first characters received on this connection
    QString errore_;
    bool aperta_ = false;
    bool inCorso_ = false;
    bool rfc2217_ = false;
    CodecTelnet telnet_; // rfc2217 only
};
