#pragma once
// A serial device server reached over TCP (tcp://, socket://, rfc2217://):
// the link of link/Rete.h behind the transport's interface.

#include "link/Rete.h"
#include "link/Trasporto.h"

class PortaDiRete : public Trasporto {
  public:
    explicit PortaDiRete(Avvisi avvisi);

    // Connects (pumping events, see Rete::apri) and, for rfc2217, sets the line.
    bool apri(const QString &indirizzo, const Linea &linea) override;
    void chiudi() override { rete_.chiudi(); }
    bool aperta() const override { return rete_.aperta(); }
    bool inCorso() const override { return rete_.inCorso(); }
    QByteArray leggi() override { return rete_.leggi(); }
    void scrivi(const QByteArray &dati) override { rete_.scrivi(dati); }

  private:
    Rete rete_;
};
