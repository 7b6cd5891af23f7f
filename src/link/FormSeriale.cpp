#include "link/FormSeriale.h"

#include "link/PorteSeriali.h"
#include "link/Traccia.h"
#include "shared/Attendi.h"
#include "shared/Variabili.h"

namespace {
FormSeriale *istanza = nullptr;
constexpr int TempoRispostaMs = 800;
// After an unanswered or malformed reply, the line counts as quiet once
// nothing has come for this long (a reply runs at a character a millisecond);
// a line that never stops chattering is given up on after the longest wait.
constexpr int QuieteMs = 100;
constexpr int QuieteMassimaMs = 2000;
constexpr char ImpostazioniLinea[] = "9600,E,7,1";
// Replies that are not whole before an exchange is given up.
constexpr int TentativiNonInteri = 3;
} // namespace

FormSeriale::FormSeriale(QObject *parent) : QObject(parent) {
    connect(&MSComm1, &MSComm::OnComm, this, &FormSeriale::MSComm1_OnComm);
    connect(&MSComm1, &MSComm::NotaRete, this, &Traccia::Nota);
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
    MSComm1.setCommPort(
        V::NumeroPorta.size() == 1 && V::NumeroPorta[0].isDigit() ? V::NumeroPorta.toInt() : 0);
    MSComm1.setSettings(QString::fromLatin1(ImpostazioniLinea));
    MSComm1.setPortOpen(true);
    V::SerialeOccupata = false;
    voluta_ = true;
}

void FormSeriale::ChiudiSeriale() {
    voluta_ = false;
    if (MSComm1.PortOpen()) MSComm1.setPortOpen(false);
}

QString FormSeriale::NomeCom() {
    return QStringLiteral("COM") + Traccia::Visibile(V::NumeroPorta);
}

QString FormSeriale::NomePorta() const {
    const QString dispositivo = MSComm1.Dispositivo();
    return dispositivo.isEmpty() ? NomeCom()
                                 : QStringLiteral("%1 (%2)").arg(NomeCom(), dispositivo);
}

QString FormSeriale::AltroProgramma(const QString &porta) const {
    if (!MSComm1.PortOpen()) return QString();
    const QString chi = ChiTieneLaPorta(MSComm1.Dispositivo());
    if (chi.isEmpty()) return QString();
    return QStringLiteral("La porta %1 è aperta anche da %2, che prende le risposte della centrale")
        .arg(porta, chi);
}

namespace {
// Why the port of `comm` is not open, as the messages take it.
AperturaFallita Apertura(const MSComm &comm) {
    AperturaFallita a;
    a.porta = FormSeriale::NomeCom();
    a.dispositivo = comm.Dispositivo();
    a.motivo = comm.ErroreApertura();
    if (comm.CodiceErrore() == QSerialPort::PermissionError && !a.dispositivo.isEmpty()) {
        a.chi = ChiTieneLaPorta(a.dispositivo);
        const Accesso accesso = AccessoAlDispositivo(a.dispositivo);
        a.occupata = !a.chi.isEmpty() || accesso == Accesso::Consentito;
        a.negata = !a.occupata && accesso == Accesso::Negato;
        // The lock file's name is made from the device's: it fails first.
        if (!a.occupata && accesso == Accesso::NomeTroppoLungo)
            a.motivo = QStringLiteral("il percorso del dispositivo è troppo lungo");
    }
    a.cartella = comm.CartellaPorte();
    return a;
}
} // namespace

QString FormSeriale::ErroreApertura() const {
    if (MSComm1.PortOpen()) return QString();
    AperturaFallita a = Apertura(MSComm1);
    a.porte = PortePresenti();
    return MessaggioAperturaFallita(a);
}

QString FormSeriale::MotivoApertura() const {
    if (MSComm1.PortOpen()) return QString();
    return MotivoAperturaFallita(Apertura(MSComm1));
}

QString FormSeriale::RispondevaFino(const QString &id) const {
    const QDateTime quando = risposte_.value(NomePorta() + QLatin1Char('\n') + id);
    return quando.isValid() ? quando.toString(QStringLiteral("HH:mm")) : QString();
}

QString FormSeriale::SmessoDiRispondere() const {
    const QString fino = RispondevaFino(V::Identificativo);
    if (fino.isEmpty()) return QString();
    return QStringLiteral("la centrale %1 ha smesso di rispondere sulla porta %2 (rispondeva fino "
                          "alle %3)")
        .arg(Traccia::Visibile(V::Identificativo), NomePorta(), fino);
}

// A port lost while open (adapter unplugged), or never opened, is tried once
// more at each exchange, so re-plugging the adapter brings the link back.
bool FormSeriale::linkDisponibile() {
    if (!MSComm1.PortOpen() && voluta_ && !V::ChiusuraRichiesta) {
        const QString prima = MSComm1.Dispositivo();
        MSComm1.setPortOpen(true);
        if (MSComm1.Dispositivo() != prima) emit DispositivoCambiato();
    }
    return MSComm1.PortOpen();
}

void FormSeriale::nessunaRisposta() {
    V::SerialeOccupata = false;
    V::Risposta = V::MarcatoreNessunaRisposta;
    V::ErroreSeriale = true;
}

void FormSeriale::RispostaNonValida() {
    quiete_ = true;
    irregolare_ = true;
}

void FormSeriale::AspettaLineaQuieta() {
    quiete_ = false;
    MSComm1.setRThreshold(0); // nothing that comes now is a reply
    const QDeadlineTimer limite(QuieteMassimaMs);
    QDeadlineTimer quieta(QuieteMs);
    QString scartati = MSComm1.Input();
    while (!quieta.hasExpired() && MSComm1.PortOpen() && !V::ChiusuraRichiesta) {
        PompaEventiFino(quieta);
        const QString arrivati = MSComm1.Input();
        if (arrivati.isEmpty()) continue;
        scartati += arrivati;
        if (!limite.hasExpired()) quieta.setRemainingTime(QuieteMs);
    }
    if (scartati.isEmpty()) return;
    irregolare_ = true;
    Traccia::Scartati(scartati);
}

void FormSeriale::Prepara(const Comandi::Richiesta &richiesta) {
    V::Comando = richiesta.testo;
    V::LunghezzaRisposta = richiesta.lunghezza;
    Istanza().preparato_ = richiesta.testo;
    Istanza().intera_ = richiesta.intera;
}

void FormSeriale::Scambia(Comandi::Codice codice, const QString &parametro) {
    scambio(codice, V::Identificativo, parametro, true);
}

void FormSeriale::ProvaIdentificativo(const QString &id) {
    scambio(Comandi::Codice::Stato, id, QString(), false);
}

void FormSeriale::scambio(Comandi::Codice codice, const QString &id, const QString &parametro,
                          bool ripeti) {
    forma_ = Comandi::Forma::Intera;
    eco_ = false;
    bool estranea = true; // every reply was foreign, not a panel's
    for (int volta = 1;; ++volta) {
        Prepara(Comandi::Componi(codice, id, parametro));
        invia(ripeti);
        if (V::ErroreSeriale) {
            // What sent something no panel sends and then fell silent (an SSH
            // server's greeting, taken as a reply or found on the line before
            // the command) is still no panel.
            const bool primaEstranea =
                volta == 1 && giaPresente_.trimmed().size() >= 4 &&
                Comandi::FormaRisposta(codice, giaPresente_) == Comandi::Forma::Estranea;
            if (primaEstranea) scartata_ = giaPresente_;
            if ((volta > 1 || primaEstranea) && estranea) forma_ = Comandi::Forma::Estranea;
            return;
        }
        const QString chiave = NomePorta() + QLatin1Char('\n') + id;
        if (codice == Comandi::Codice::ScriviTesto) {
            risposte_[chiave] = QDateTime::currentDateTime();
            return;
        }
        const Comandi::Forma forma = Comandi::FormaRisposta(codice, ricevuto_);
        if (forma == Comandi::Forma::Intera) {
            risposte_[chiave] = QDateTime::currentDateTime();
            // A reply that came only after others were refused is no clean read.
            if (volta > 1) irregolare_ = true;
            return;
        }
        estranea = estranea && forma == Comandi::Forma::Estranea;
        scartata_ = ricevuto_;
        RispostaNonValida();
        // An RS232 line that gives back each command (wired as a bus) gives
        // it back again: asking again helps nothing.
        eco_ = !V::Modo485 && Comandi::SoloEco(V::Comando, ricevuto_);
        if (eco_) estranea = false;
        Traccia::Nota(QStringLiteral("risposta non intera a %1: %2")
                          .arg(Traccia::Visibile(V::Comando), Traccia::Visibile(ricevuto_)));
        if (volta == TentativiNonInteri || eco_ || V::ChiusuraRichiesta) break;
    }
    forma_ = estranea ? Comandi::Forma::Estranea : Comandi::Forma::NonIntera;
    nessunaRisposta();
}

QString FormSeriale::PercheNonAffidabili() const {
    if (eco_)
        return QStringLiteral("la linea restituisce l'eco di ogni comando, come un bus RS485: "
                              "serve rs485 in Seriale318.con o --rs485");
    if (forma_ != Comandi::Forma::Estranea) return QStringLiteral("linea disturbata?");
    constexpr int Mostrati = 40;
    QString visto = Traccia::Visibile(scartata_.left(Mostrati));
    if (scartata_.size() > Mostrati) visto += QStringLiteral("…");
    return QStringLiteral("chi risponde non è una centrale Velto: ha mandato \"%1\"").arg(visto);
}

void FormSeriale::InviaAllaSeriale() {
    invia(true);
}

void FormSeriale::invia(bool ripeti) {
    irregolare_ = false;
    ricevuto_.clear();
    giaPresente_.clear();
    if (!linkDisponibile()) {
        Traccia::NonInviato(Traccia::Tentativo::Primo, V::Comando);
        nessunaRisposta();
        return;
    }
    const int eco = V::Modo485 ? int(V::Comando.size()) : 0;
    V::LunghezzaRisposta = qint16(V::LunghezzaRisposta + eco);
    intera_ = preparato_ == V::Comando ? intera_ + eco : 0;
    preparato_.clear();
    tentativo(eco, Traccia::Tentativo::Primo);
    if (!ripeti || !V::ErroreSeriale || V::ChiusuraRichiesta) return;
    if (!linkDisponibile()) {
        Traccia::NonInviato(Traccia::Tentativo::Ripetizione, V::Comando);
        nessunaRisposta();
        return;
    }
    tentativo(eco, Traccia::Tentativo::Ripetizione);
}

void FormSeriale::tentativo(int lunghezzaEco, Traccia::Tentativo quale) {
    AspettaSerialeLibera();
    if (quiete_) AspettaLineaQuieta();
    MSComm1.setOutput(V::Comando);
    Traccia::Inviato();
    MSComm1.setRThreshold(V::LunghezzaRisposta, intera_);
    AspettaRisposta();
    Traccia::Scambio(quale, V::Comando, !V::ErroreSeriale);
    if (V::Modo485 && V::Risposta != V::MarcatoreNessunaRisposta) {
        V::Risposta = V::Risposta.mid(lunghezzaEco);
        ricevuto_ = ricevuto_.mid(lunghezzaEco);
    }
}

void FormSeriale::AspettaSerialeLibera() {
    do {
        if (V::SerialeOccupata)
            PompaEventiInAttesa();
        else
            PompaEventi();
    } while (V::SerialeOccupata && !V::ChiusuraRichiesta);
    V::SerialeOccupata = true;
    // What came unasked is no reply to what is sent now: it goes, but is
    // kept for the exchange (a server that greets on connecting, then
    // waits in silence, is still no panel).
    for (QString prima = MSComm1.Input(); !prima.isEmpty(); prima = MSComm1.Input())
        giaPresente_ += prima;
}

void FormSeriale::AspettaRisposta() {
    const QDeadlineTimer scadenza(TempoRispostaMs, Qt::PreciseTimer);
    V::ScadenzaRisposta = float(SecondiOrologio() + TempoRispostaMs / 1000.0);
    // The deadline is tested before each pump and the busy flag after it, so a
    // reply completed during the last pump is still taken. A port that fails
    // meanwhile, or an application that is closing, gets no reply either.
    while (!scadenza.hasExpired()) {
        PompaEventiFino(scadenza);
        if (!V::SerialeOccupata || !MSComm1.PortOpen() || V::ChiusuraRichiesta) break;
    }
    // A reply without its CR woke nobody: it is taken now, and judged.
    if (V::SerialeOccupata && scadenza.hasExpired()) MSComm1.Raccogli();
    V::ErroreSeriale = false;
    if (V::SerialeOccupata) {
        MSComm1.setRThreshold(0);
        nessunaRisposta();
        // The reply may still come: it must not answer the repeat or the next command.
        quiete_ = true;
        irregolare_ = true;
        return;
    }
    const bool chiusa = V::Risposta.endsWith(QLatin1Char('\r'));
    if (chiusa) V::Risposta.chop(1);
    Attendi(10);
    // A reply is whole only with its CR, which follows its last character at
    // once on the line; a link that delivers it late is waited for as long as
    // the reply's time allows.
    while (!chiusa && !V::Risposta.contains(QLatin1Char('\r')) &&
           !MSComm1.InBuffer().contains(QLatin1Char('\r')) && !scadenza.hasExpired() &&
           MSComm1.PortOpen() && !V::ChiusuraRichiesta)
        PompaEventiFino(scadenza);
    // Only the CR of a reply taken before it came may follow the reply.
    const QString coda = MSComm1.InBuffer();
    ricevuto_ = V::Risposta + (chiusa ? QStringLiteral("\r") : QString()) + coda;
    if (!coda.isEmpty() && (chiusa || coda != QLatin1String("\r"))) RispostaNonValida();
}

void FormSeriale::MSComm1_OnComm() {
    // Once a reply is taken, what follows it stays in the buffer, to be judged
    // and discarded: it never replaces the reply.
    if (MSComm1.CommEvent() == MSComm::comEvReceive && V::SerialeOccupata) {
        V::Risposta = MSComm1.Input();
        Traccia::Ricevuta(V::Risposta);
        V::SerialeOccupata = false;
    }
}
