#include "FormSeriale.h"

#include "Attendi.h"
#include "PorteSeriali.h"
#include "Traccia.h"
#include "Variabili.h"

using namespace Variabili;

namespace {
FormSeriale *istanza = nullptr;
constexpr int TempoRispostaMs = 800;
constexpr char ImpostazioniLinea[] = "9600,E,7,1";
} // namespace

FormSeriale::FormSeriale(QObject *parent) : QObject(parent) {
    connect(&MSComm1, &MSComm::OnComm, this, &FormSeriale::MSComm1_OnComm);
}

FormSeriale &FormSeriale::Istanza() {
    if (!istanza) istanza = new FormSeriale();
    return *istanza;
}

void FormSeriale::Scarica() {
    if (istanza) istanza->ChiudiSeriale();
    delete istanza;
    istanza = nullptr;
}

void FormSeriale::ApriSeriale() {
    MSComm1.setCommPort(NumeroPorta.size() == 1 && NumeroPorta[0].isDigit() ? NumeroPorta.toInt()
                                                                            : 0);
    MSComm1.setSettings(QString::fromLatin1(ImpostazioniLinea));
    MSComm1.setPortOpen(true);
    SerialeOccupata = false;
    voluta_ = true;
}

void FormSeriale::ChiudiSeriale() {
    voluta_ = false;
    if (MSComm1.PortOpen()) MSComm1.setPortOpen(false);
}

QString FormSeriale::ErroreApertura() const {
    if (MSComm1.PortOpen()) return QString();
    AperturaFallita a;
    a.porta = QStringLiteral("COM") + NumeroPorta;
    a.dispositivo = MSComm1.Dispositivo();
    a.motivo = MSComm1.ErroreApertura();
    if (MSComm1.CodiceErrore() == QSerialPort::PermissionError && !a.dispositivo.isEmpty()) {
        a.chi = ChiTieneLaPorta(a.dispositivo);
        a.occupata = !a.chi.isEmpty() || DispositivoAccessibile(a.dispositivo);
        a.negata = !a.occupata;
    }
    a.cartella = MSComm1.CartellaPorte();
    a.porte = PortePresenti();
    return MessaggioAperturaFallita(a);
}

// A port lost while open (adapter unplugged), or never opened, is tried once
// more at each exchange, so re-plugging the adapter brings the link back.
bool FormSeriale::linkDisponibile() {
    if (!MSComm1.PortOpen() && voluta_ && !ChiusuraRichiesta) MSComm1.setPortOpen(true);
    return MSComm1.PortOpen();
}

void FormSeriale::nessunaRisposta() {
    SerialeOccupata = false;
    Risposta = MarcatoreNessunaRisposta;
    ErroreSeriale = true;
}

void FormSeriale::InviaAllaSeriale() {
    if (!linkDisponibile()) {
        Traccia::NonInviato(Traccia::Tentativo::Primo, Comando);
        nessunaRisposta();
        return;
    }
    int eco = 0;
    if (Modo485) {
        eco = Comando.size();
        LunghezzaRisposta = qint16(LunghezzaRisposta + eco);
    }
    tentativo(eco, Traccia::Tentativo::Primo);
    if (ErroreSeriale && !ChiusuraRichiesta) {
        if (!linkDisponibile()) {
            Traccia::NonInviato(Traccia::Tentativo::Ripetizione, Comando);
            nessunaRisposta();
            return;
        }
        tentativo(eco, Traccia::Tentativo::Ripetizione);
    }
}

void FormSeriale::InviaUnaVolta() {
    if (!linkDisponibile()) {
        Traccia::NonInviato(Traccia::Tentativo::Primo, Comando);
        nessunaRisposta();
        return;
    }
    const int eco = Modo485 ? int(Comando.size()) : 0;
    LunghezzaRisposta = qint16(LunghezzaRisposta + eco);
    tentativo(eco, Traccia::Tentativo::Primo);
}

void FormSeriale::tentativo(int lunghezzaEco, Traccia::Tentativo quale) {
    AspettaSerialeLibera();
    MSComm1.setOutput(Comando);
    Traccia::Inviato();
    MSComm1.setRThreshold(LunghezzaRisposta);
    AspettaRisposta();
    Traccia::Scambio(quale, Comando, !ErroreSeriale);
    if (Modo485 && Risposta != MarcatoreNessunaRisposta) Risposta = Risposta.mid(lunghezzaEco);
}

void FormSeriale::AspettaSerialeLibera() {
    do {
        if (SerialeOccupata)
            PompaEventiInAttesa();
        else
            PompaEventi();
    } while (SerialeOccupata && !ChiusuraRichiesta);
    SerialeOccupata = true;
    while (!MSComm1.Input().isEmpty()) {
    }
}

void FormSeriale::AspettaRisposta() {
    const QDeadlineTimer scadenza(TempoRispostaMs, Qt::PreciseTimer);
    ScadenzaRisposta = float(SecondiOrologio() + TempoRispostaMs / 1000.0);
    // The deadline is tested before each pump and the busy flag after it, so a
    // reply completed during the last pump is still taken. A port that fails
    // meanwhile, or an application that is closing, gets no reply either.
    while (!scadenza.hasExpired()) {
        PompaEventiFino(scadenza);
        if (!SerialeOccupata || !MSComm1.PortOpen() || ChiusuraRichiesta) break;
    }
    ErroreSeriale = false;
    if (SerialeOccupata) {
        MSComm1.setRThreshold(0);
        nessunaRisposta();
        return;
    }
    if (Risposta.endsWith(QLatin1Char('\r'))) Risposta.chop(1);
    Attendi(10);
}

void FormSeriale::MSComm1_OnComm() {
    if (MSComm1.CommEvent() == MSComm::comEvReceive) {
        Risposta = MSComm1.Input();
        Traccia::Ricevuta(Risposta);
        SerialeOccupata = false;
    }
}
