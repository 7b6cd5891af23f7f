#pragma once
// A serial port of this machine (/dev/ttyUSB0, a pseudo-terminal, COM3),
// through QSerialPort. Where the system allows it (see link/Risveglio.h) a
// command goes to the line at once and the program is woken only once the
// characters awaited are in.

#include "link/Trasporto.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>

class PortaLocale : public Trasporto {
  public:
    explicit PortaLocale(Avvisi avvisi);

    // All four line settings are set before the port is opened: on a
    // pseudo-terminal they cannot be changed once it is open.
    bool apri(const QString &dispositivo, const Linea &linea) override;
    void chiudi() override;
    bool aperta() const override { return porta_.isOpen(); }
    QByteArray leggi() override { return porta_.readAll(); }
    void scrivi(const QByteArray &dati) override;
    void svegliaDopo(int caratteri) override;

  private:
    void erroreSeriale(QSerialPort::SerialPortError errore);

    // The port's own watch on arriving characters, where it can be found.
    QSocketNotifier *ascolto();

    QSerialPort porta_;
    int sveglia_ = 0; // the wake-up count last asked of the open port; 0: none yet
    // While a reply cannot be whole yet, the line is not watched: every
    // character that arrives would wake the waiting program in the system,
    // even when too few are in for it to return.
    // A line that hands a reply over faster than its wire could carry it (a
    // pseudo-terminal of a program, not a serial line) is always listened
    // to: -1 until the first reply after opening tells, then 0 or 1.
    QTimer silenzio_;
    QPointer<QSocketNotifier> spento_;
    int veloce_ = -1;
    QElapsedTimer misura_; // from the request of the reply being measured
    int misurati_ = 0;     // ... of this many characters
};
