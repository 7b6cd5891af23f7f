#include "Collegamento.h"

#include "FormSeriale.h"
#include "Variabili.h"

std::unique_ptr<Simulatore> AvviaECollega(const QString &cartella, const QStringList &argomenti) {
    auto sim = std::make_unique<Simulatore>(cartella, argomenti);
    if (!sim->avvia()) return nullptr;
    Variabili::NumeroPorta = QStringLiteral("1");
    FormSeriale::Istanza().MSComm1.setCartellaPorte(cartella);
    FormSeriale::Istanza().ApriSeriale();
    if (!FormSeriale::Istanza().MSComm1.PortOpen()) return nullptr;
    return sim;
}

int Conta(const QStringList &comandi, const QString &inizio) {
    int n = 0;
    for (const QString &c : comandi)
        n += c.startsWith(inizio);
    return n;
}
