#pragma once
// What carries the characters to the panel and back, under MSComm: a serial
// port of this machine (PortaLocale) or a serial device server reached over
// TCP (PortaDiRete). MSComm keeps the received characters, the threshold and
// the event; a transport only opens, closes, reads what has come and writes,
// and tells its owner, by a direct call, when data came or the line was lost.
//
// A kind of line is one more class like these, and one line in
// MSComm::trasportoPer that picks it for its devices.

#include <QByteArray>
#include <QSerialPort>
#include <QString>
#include <functional>
#include <utility>

// The line settings of an opening (the Settings property, already read).
struct Linea {
    qint32 velocita = 9600;
    QSerialPort::Parity parita = QSerialPort::NoParity;
    QSerialPort::DataBits dati = QSerialPort::Data8;
    QSerialPort::StopBits stop = QSerialPort::OneStop;
};

class Trasporto {
  public:
    // What a transport tells its owner, called as it happens (on the thread
    // of the events). An empty function is not called.
    struct Avvisi {
        std::function<void()> datiArrivati;
        // The open line was lost and has been closed: why (Italian), and its kind.
        std::function<void(QSerialPort::SerialPortError codice, const QString &motivo)> persa;
        // An event of the line for the trace (connected, lost, line settings).
        std::function<void(const QString &testo)> nota;
    };

    explicit Trasporto(Avvisi avvisi) : avvisi_(std::move(avvisi)) {}
    virtual ~Trasporto() = default;
    Q_DISABLE_COPY_MOVE(Trasporto)

    // Opens the device (as MSComm::Segui gives it) with the line settings.
    // False, with CodiceErrore() and Errore() saying why, when it does not open.
    virtual bool apri(const QString &dispositivo, const Linea &linea) = 0;
    virtual void chiudi() = 0;
    virtual bool aperta() const = 0;
    // An opening is under way and pumping events: another one waits its turn.
    virtual bool inCorso() const { return false; }

    // The characters received and not yet taken.
    virtual QByteArray leggi() = 0;
    virtual void scrivi(const QByteArray &dati) = 0;
    // Wake the program only once this many characters (1 to 255) are waiting,
    // where the line can do that; the others wake it as data comes.
    virtual void svegliaDopo(int caratteri) { Q_UNUSED(caratteri); }

    // Why the last opening failed (Italian), and its kind.
    QString Errore() const { return errore_; }
    QSerialPort::SerialPortError CodiceErrore() const { return codice_; }

  protected:
    void fallita(QSerialPort::SerialPortError codice, const QString &errore) {
        codice_ = codice;
        errore_ = errore;
    }
    void arrivati() const {
        if (avvisi_.datiArrivati) avvisi_.datiArrivati();
    }
    void perduta(QSerialPort::SerialPortError codice, const QString &motivo) const {
        if (avvisi_.persa) avvisi_.persa(codice, motivo);
    }
    void annota(const QString &testo) const {
        if (avvisi_.nota) avvisi_.nota(testo);
    }

  private:
    Avvisi avvisi_;
    QString errore_;
    QSerialPort::SerialPortError codice_ = QSerialPort::NoError;
};
