#pragma once
// A serial port of this machine (/dev/ttyUSB0, a pseudo-terminal, COM3),
// through QSerialPort. Where the system allows it (see link/Risveglio.h) a
// command goes to the line at once and the program is woken only once the
// characters awaited are in.

#include "link/Trasporto.h"

#include <QSerialPort>

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

    QSerialPort porta_;
    int sveglia_ = 0; // the wake-up count last asked of the open port; 0: none yet
};
