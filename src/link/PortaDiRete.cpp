#include "link/PortaDiRete.h"

PortaDiRete::PortaDiRete(QObject *parent) : Trasporto(parent) {
    connect(&rete_, &Rete::datiArrivati, this, &Trasporto::datiArrivati);
    connect(&rete_, &Rete::persa, this, [this] {
        fallito(QSerialPort::ResourceError, rete_.errore());
        emit persa();
    });
    connect(&rete_, &Rete::nota, this, &Trasporto::nota);
}

bool PortaDiRete::apri(const QString &indirizzo, const Linea &linea) {
    if (rete_.apri(indirizzo, linea.velocita, linea.parita, linea.dati, linea.stop)) return true;
    fallito(QSerialPort::DeviceNotFoundError, rete_.errore());
    return false;
}
