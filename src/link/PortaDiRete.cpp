#include "link/PortaDiRete.h"

PortaDiRete::PortaDiRete(Avvisi avvisi) : Trasporto(std::move(avvisi)) {
    QObject::connect(&rete_, &Rete::datiArrivati, &rete_, [this] { arrivati(); });
    QObject::connect(&rete_, &Rete::persa, &rete_,
                     [this] { perduta(QSerialPort::ResourceError, rete_.errore()); });
    QObject::connect(&rete_, &Rete::nota, &rete_, [this](const QString &testo) { annota(testo); });
}

bool PortaDiRete::apri(const QString &indirizzo, const Linea &linea) {
    if (rete_.apri(indirizzo, linea.velocita, linea.parita, linea.dati, linea.stop)) return true;
    fallita(QSerialPort::DeviceNotFoundError, rete_.errore());
    return false;
}
