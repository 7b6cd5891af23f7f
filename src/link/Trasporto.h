#pragma once
// What carries the characters to the panel and back, under MSComm: a serial
// port of this machine (PortaLocale) or a serial device server reached over
// TCP (PortaDiRete). MSComm keeps the received characters, the threshold and
// the event; a transport only opens, closes, reads what has come and writes.
//
// A kind of line is one more class like these, and one line in
// MSComm::trasportoPer that picks it for its devices.

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

// The line settings of an opening (the Settings property, already read).
struct Linea {
    qint32 velocita = 9600;
    QSerialPort::Parity parita = QSerialPort::NoParity;
    QSerialPort::DataBits dati = QSerialPort::Data8;
    QSerialPort::StopBits stop = QSerialPort::OneStop;
};

class Trasporto : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

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

    // Why the last opening failed, or why the open line was lost (Italian).
    QString Errore() const { return errore_; }
    QSerialPort::SerialPortError CodiceErrore() const { return codice_; }

  signals:
    void datiArrivati();
    // The open line was lost and is closed: Errore() and CodiceErrore() say why.
    void persa();
    // An event of the line for the trace (connected, lost, line settings).
    void nota(const QString &testo);

  protected:
    void fallito(QSerialPort::SerialPortError codice, const QString &errore) {
        codice_ = codice;
        errore_ = errore;
    }

  private:
    QString errore_;
    QSerialPort::SerialPortError codice_ = QSerialPort::NoError;
};
