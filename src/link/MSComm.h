#pragma once
// The serial control the link is built on: the few properties and the one
// event the exchanges use, on top of a transport (link/Trasporto.h): a serial
// port of this machine, or a serial device server over TCP.
//
// Characters travel as 7-bit text both ways (the line runs 7 data bits; a
// pseudo-terminal would carry the eighth bit, a real line would not).
// Received bytes are kept in our own buffer, the newest MassimoInRicezione
// of them: the event with code 2 is raised on the user-interface thread,
// while events are pumped, as soon as the buffer holds at least RThreshold
// characters, and never while the threshold is 0.
//
// A device that is a network address (tcp://, socket://, rfc2217://, see
// link/Rete.h) is reached over TCP behind the same properties (trasportoPer).
//
// No operation here reads or writes a global.

#include "link/Rete.h"
#include "link/Trasporto.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <memory>
#include <vector>

class MSComm : public QObject {
    Q_OBJECT
  public:
    static constexpr int comEvReceive = 2;
    // Far more than any reply with its echo: what a bus with other traffic
    // sends while nobody reads (the error button waits) cannot pile up.
    static constexpr int MassimoInRicezione = 4096;

    explicit MSComm(QObject *parent = nullptr);
    ~MSComm() override;

    void setCommPort(int porta) {
        porta_ = porta;
        voce_.clear();
    }
    int CommPort() const { return porta_; }

    // "9600,E,7,1": speed, parity (N, E, O, M, S), data bits, stop bits.
    // Returns false (and keeps the old settings) when the text is not of that form.
    bool setSettings(const QString &impostazioni);
    QString Settings() const { return impostazioni_; }

    // Opening resolves the device of CommPort (see PercorsoDispositivo) and sets
    // every line setting before the port is opened. On failure PortOpen stays
    // false and ErroreApertura() says why. What CommPort names (the COMn entry
    // of the folder, else the system port) is worked out at the first opening
    // after CommPort, the folder or the forced device was set; a later opening
    // (after a lost port) follows that same entry again and never falls back
    // to another port when the entry has gone.
    void setPortOpen(bool aperta);
    bool PortOpen() const { return trasporto_ && trasporto_->aperta(); }

    void setRThreshold(int soglia) { setRThreshold(soglia, soglia); }
    // The threshold, and the length of a whole reply (its CR included) when
    // it is longer: the system then wakes us once, when all of it is in,
    // instead of once for the reply and once more for its CR. A reply cut
    // short stays unseen until Raccogli().
    void setRThreshold(int soglia, int intera);
    int RThreshold() const { return soglia_; }
    // Takes what came for a threshold that still waits for a whole reply
    // (the reply's time is over): the event is raised if the threshold is reached.
    void Raccogli();

    void setOutput(const QString &testo);
    QString Input();
    // The characters received and not yet taken by Input(), left where they are.
    QString InBuffer() const { return QString::fromLatin1(buffer_); }
    int CommEvent() const { return evento_; }

    // The folder where COM1 ... COM9 entries are looked up (the start-up folder).
    void setCartellaPorte(const QString &cartella) {
        cartella_ = cartella;
        voce_.clear();
    }
    QString CartellaPorte() const { return cartella_; }

    // A device that replaces whatever CommPort names (the --porta option);
    // empty: CommPort decides, as usual.
    void setDispositivoForzato(const QString &dispositivo) {
        forzato_ = dispositivo;
        voce_.clear();
    }
    QString DispositivoForzato() const { return forzato_; }

    // Device that COMn names: an entry COMn in the start-up folder (a link to
    // /dev/ttyUSB0, a pseudo-terminal, ..., or a file whose first line is a
    // network address), else /dev/ttyS(n-1) on Linux;
    // COMn on Windows. Empty when n is not 1 to 9.
    static QString PercorsoDispositivo(int porta, const QString &cartella);
    // What COMn names before any link is followed: the entry COMn of the folder
    // when there is one (even a broken link), else the system port.
    static QString VocePorta(int porta, const QString &cartella);
    // The device a path leads to: a link is followed (to its final target, or
    // to what it points to when that is missing); a regular file whose first
    // line is a network address gives that address; anything else (a network
    // address too) stays as it is.
    static QString Segui(const QString &voce);
    // A file of an address is read only up to this size.
    static constexpr qint64 MassimoFileIndirizzo = 4096;
    // Why `dispositivo` (as Segui gives it) is no port, when it is a plain
    // file: too big for an address, or its first line is none. Italian,
    // without the path; empty for anything else.
    static QString FileNonPorta(const QString &dispositivo);

    // Why the last opening failed (Italian, for the operator), or why an open
    // port was lost; empty when nothing went wrong.
    QString ErroreApertura() const { return errore_; }
    // The kind of the last failure, NoError when nothing went wrong.
    QSerialPort::SerialPortError CodiceErrore() const { return codice_; }
    QString Dispositivo() const { return dispositivo_; }
    // True once an open port failed (adapter unplugged): it has been closed.
    bool PortaPersa() const { return persa_; }

  signals:
    void OnComm();
    // An event of a network link for the trace (connected, lost, line settings).
    void NotaRete(const QString &testo);

  private:
    // The transport that reaches the device (as Segui gives it): the one
    // place that picks a kind of line.
    Trasporto *trasportoPer(const QString &dispositivo);
    // This object's transport of kind T, made the first time it is wanted and
    // kept: an opening that pumps events is never left without its object.
    template <class T> Trasporto *tieni();

    void riceviDati();
    void forseSegnala();
    // The system wakes us once the characters the threshold still awaits are in.
    void svegliaPerLaRisposta();
    // The transport lost its open line (adapter unplugged, server gone).
    void lineaPersa(QSerialPort::SerialPortError codice, const QString &motivo);

    QByteArray buffer_;
    int porta_ = 0;
    QString impostazioni_ = QStringLiteral("9600,N,8,1");
    Linea linea_;
    int soglia_ = 0;
    int intera_ = 0; // what the system waits for before it wakes us, while inAttesa_
    bool inAttesa_ = false; // the threshold is set and not yet reached
    int evento_ = 0;
    QString cartella_;
    QString errore_;
    QString dispositivo_;
    QString forzato_;
    QString voce_; // what the openings follow; empty until worked out
    QSerialPort::SerialPortError codice_ = QSerialPort::NoError;
    bool persa_ = false;
    Trasporto::Avvisi avvisi_; // what every transport calls back
    // Declared last, so they go first: what they tell as they close still
    // finds everything above in place.
    std::vector<std::unique_ptr<Trasporto>> trasporti_;
    Trasporto *trasporto_ = nullptr; // the one of the last opening
};
