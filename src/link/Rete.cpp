#include "link/Rete.h"

#include "shared/Attendi.h"

#include <QDeadlineTimer>
#include <utility>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {
// Telnet (RFC 854) and COM Port Control (RFC 2217).
constexpr unsigned char IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr unsigned char Binario = 0, SenzaGoAhead = 3, PortaCom = 44;
constexpr unsigned char ImpostaVelocita = 1, ImpostaDati = 2, ImpostaParita = 3, ImpostaStop = 4;
// The server answers a command with its number plus this.
constexpr unsigned char Risposta = 100;

bool VoluteNostre(unsigned char o) {
    return o == Binario || o == SenzaGoAhead || o == PortaCom;
}
bool VoluteLoro(unsigned char o) {
    return o == Binario || o == SenzaGoAhead;
}

// What comes is acknowledged at once, not up to 40 ms later: a server that
// holds the rest of a reply until its first part is acknowledged (Nagle's
// rule, as ser2net does) then sends it at once. The system goes back to
// delayed acknowledgements by itself, so this is renewed at each read.
void AckSubito(qintptr socket) {
#ifdef Q_OS_LINUX
    const int si = 1;
    ::setsockopt(int(socket), IPPROTO_TCP, TCP_QUICKACK, &si, sizeof si);
#else
    Q_UNUSED(socket);
#endif
}

QString Schema(const QString &testo) {
    const int fine = testo.indexOf(QLatin1String("://"));
    return fine < 0 ? QString() : testo.left(fine).toLower();
}

QString MotivoSocket(QAbstractSocket::SocketError e, const QString &sistema) {
    QString motivo;
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError:
        motivo =
            QStringLiteral("connessione rifiutata, nessun server in ascolto a quell'indirizzo");
        break;
    case QAbstractSocket::HostNotFoundError:
        motivo = QStringLiteral("nome dell'host sconosciuto");
        break;
    case QAbstractSocket::NetworkError:
        motivo = QStringLiteral("rete irraggiungibile");
        break;
    case QAbstractSocket::SocketTimeoutError:
        motivo = QStringLiteral("nessuna risposta dal server");
        break;
    case QAbstractSocket::RemoteHostClosedError:
        motivo = QStringLiteral("il server ha chiuso il collegamento");
        break;
    default:
        motivo = QStringLiteral("collegamento di rete non riuscito");
        break;
    }
    if (!sistema.isEmpty()) motivo += QStringLiteral(" (%1)").arg(sistema);
    return motivo;
}

QString Impostazioni(qint32 velocita, QSerialPort::Parity parita, QSerialPort::DataBits dati,
                     QSerialPort::StopBits stop) {
    const char *lettere = "N?EOSM";
    return QStringLiteral("%1,%2,%3,%4")
        .arg(velocita)
        .arg(QLatin1Char(lettere[int(parita) < 6 ? int(parita) : 1]))
        .arg(int(dati))
        .arg(stop == QSerialPort::OneStop   ? QStringLiteral("1")
             : stop == QSerialPort::TwoStop ? QStringLiteral("2")
                                            : QStringLiteral("1.5"));
}
} // namespace

bool IndirizzoDiRete(const QString &testo) {
    const QString s = Schema(testo.trimmed());
    return s == QLatin1String("tcp") || s == QLatin1String("socket") ||
           s == QLatin1String("rfc2217");
}

Indirizzo LeggiIndirizzo(const QString &testo) {
    Indirizzo a;
    const QString t = testo.trimmed();
    if (!IndirizzoDiRete(t)) {
        a.errore = QStringLiteral("non è un indirizzo tcp://, socket:// o rfc2217://");
        return a;
    }
    a.rfc2217 = Schema(t) == QLatin1String("rfc2217");
    QString resto = t.mid(t.indexOf(QLatin1String("://")) + 3);
    if (resto.endsWith(QLatin1Char('/'))) resto.chop(1);
    QString porta;
    if (resto.startsWith(QLatin1Char('['))) {
        const int chiusa = resto.indexOf(QLatin1Char(']'));
        if (chiusa < 0) {
            a.errore = QStringLiteral("manca la \"]\" dopo l'indirizzo IPv6");
            return a;
        }
        a.host = resto.mid(1, chiusa - 1);
        const QString dopo = resto.mid(chiusa + 1);
        if (dopo.startsWith(QLatin1Char(':')))
            porta = dopo.mid(1);
        else if (!dopo.isEmpty())
            a.host.clear();
    } else {
        const int due = resto.lastIndexOf(QLatin1Char(':'));
        a.host = due < 0 ? resto : resto.left(due);
        if (due >= 0) porta = resto.mid(due + 1);
        if (a.host.contains(QLatin1Char(':')) || a.host.contains(QLatin1Char('/'))) a.host.clear();
    }
    if (a.host.isEmpty()) {
        a.errore = QStringLiteral("indirizzo non valido");
        return a;
    }
    if (porta.isEmpty()) {
        a.errore = QStringLiteral("manca la porta TCP (per esempio tcp://192.168.1.50:4001)");
        return a;
    }
    bool ok = false;
    const uint numero = porta.toUInt(&ok);
    if (!ok || numero < 1 || numero > 65535) {
        a.errore = QStringLiteral("porta TCP \"%1\" non valida (da 1 a 65535)").arg(porta);
        return a;
    }
    a.porta = quint16(numero);
    return a;
}

Rete::Rete(QObject *parent) : QObject(parent) {
    connect(&socket_, &QTcpSocket::readyRead, this, &Rete::ricevi);
    connect(&socket_, &QTcpSocket::disconnected, this, &Rete::caduta);
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this] {
        if (aperta_) caduta();
    });
}

Rete::~Rete() {
    aperta_ = false;
    socket_.abort();
}

bool Rete::apri(const QString &indirizzo, qint32 velocita, QSerialPort::Parity parita,
                QSerialPort::DataBits dati, QSerialPort::StopBits stop) {
    chiudi();
    errore_.clear();
    dati_.clear();
    const Indirizzo a = LeggiIndirizzo(indirizzo);
    if (!a.errore.isEmpty()) {
        errore_ = a.errore;
        return false;
    }
    indirizzo_ = indirizzo.trimmed();
    rfc2217_ = a.rfc2217;
    stato_ = Stato::Dati;
    binarioLoro_ = !rfc2217_;
    std::fill(std::begin(nostre_), std::end(nostre_), false);
    std::fill(std::begin(loro_), std::end(loro_), false);
    std::fill(std::begin(chiesteNostre_), std::end(chiesteNostre_), false);
    std::fill(std::begin(chiesteLoro_), std::end(chiesteLoro_), false);
    std::fill(std::begin(rifiutateNostre_), std::end(rifiutateNostre_), false);
    std::fill(std::begin(rifiutateLoro_), std::end(rifiutateLoro_), false);
    sb_.clear();
    portaAccettata_ = 0;
    confermati_ = 0;
    conferme_.clear();

    inCorso_ = true;
    socket_.connectToHost(a.host, a.porta);
    const QDeadlineTimer limite(LimiteConnessioneMs);
    while (inCorso_ && !limite.hasExpired() &&
           (socket_.state() == QAbstractSocket::HostLookupState ||
            socket_.state() == QAbstractSocket::ConnectingState))
        PompaEventiFino(limite);
    if (!inCorso_ || socket_.state() != QAbstractSocket::ConnectedState) {
        if (!inCorso_)
            errore_ = QStringLiteral("collegamento interrotto");
        else if (socket_.state() != QAbstractSocket::UnconnectedState)
            errore_ = QStringLiteral("nessuna risposta entro %1 secondi (server spento o "
                                     "irraggiungibile, nome non risolto)")
                          .arg(LimiteConnessioneMs / 1000);
        else
            errore_ = MotivoSocket(socket_.error(), socket_.errorString());
        inCorso_ = false;
        socket_.abort();
        return false;
    }
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    AckSubito(socket_.socketDescriptor());
    aperta_ = true;
    emit nota(
        QStringLiteral("collegato a %1 (%2)").arg(indirizzo_, socket_.peerAddress().toString()));
    if (rfc2217_) {
        // Binary both ways (no CR NUL), no go-ahead, and COM Port Control.
        QByteArray richieste;
        for (unsigned char o : {Binario, SenzaGoAhead}) {
            richieste += char(IAC), richieste += char(WILL), richieste += char(o);
            richieste += char(IAC), richieste += char(DO), richieste += char(o);
            chiesteNostre_[o] = chiesteLoro_[o] = true;
        }
        richieste += char(IAC), richieste += char(WILL), richieste += char(PortaCom);
        chiesteNostre_[PortaCom] = true;
        invia(richieste);
        QDeadlineTimer negoziazione(LimiteNegoziazioneMs);
        while (aperta_ && portaAccettata_ == 0 && !negoziazione.hasExpired())
            PompaEventiFino(negoziazione);
        if (aperta_ && portaAccettata_ <= 0)
            emit nota(QStringLiteral("il server non accetta il controllo della porta (RFC 2217): "
                                     "la linea resta come è impostata sul server"));
        if (aperta_ && portaAccettata_ > 0) {
            const char v[4] = {char(velocita >> 24), char(velocita >> 16), char(velocita >> 8),
                               char(velocita)};
            comandoPorta(ImpostaVelocita, QByteArray(v, 4));
            comandoPorta(ImpostaDati, QByteArray(1, char(int(dati))));
            // RFC 2217 parity: 1 none, 2 odd, 3 even, 4 mark, 5 space.
            const char p = parita == QSerialPort::OddParity     ? 2
                           : parita == QSerialPort::EvenParity  ? 3
                           : parita == QSerialPort::MarkParity  ? 4
                           : parita == QSerialPort::SpaceParity ? 5
                                                                : 1;
            comandoPorta(ImpostaParita, QByteArray(1, p));
            // Stop size: 1 one, 2 two, 3 one and a half.
            const char s = stop == QSerialPort::TwoStop          ? 2
                           : stop == QSerialPort::OneAndHalfStop ? 3
                                                                 : 1;
            comandoPorta(ImpostaStop, QByteArray(1, s));
            // The server applies the commands in order, before any data that
            // follows; their confirmations are awaited only for the trace.
            while (aperta_ && confermati_ < 4 && !negoziazione.hasExpired())
                PompaEventiFino(negoziazione);
            if (aperta_)
                emit nota(QStringLiteral("linea %1 chiesta al server; confermato: %2")
                              .arg(Impostazioni(velocita, parita, dati, stop),
                                   conferme_.isEmpty() ? QStringLiteral("nulla")
                                                       : conferme_.join(QLatin1String(", "))));
        }
    }
    inCorso_ = false;
    return aperta_;
}

void Rete::chiudi() {
    inCorso_ = false;
    if (socket_.state() == QAbstractSocket::UnconnectedState) return;
    const bool eraAperta = aperta_;
    aperta_ = false;
    socket_.abort();
    dati_.clear();
    if (eraAperta) emit nota(QStringLiteral("collegamento con %1 chiuso").arg(indirizzo_));
}

QByteArray Rete::leggi() {
    if (aperta_) ricevi();
    QByteArray d;
    d.swap(dati_);
    return d;
}

void Rete::scrivi(const QByteArray &dati) {
    if (!aperta_) return;
    if (!rfc2217_) {
        invia(dati);
        return;
    }
    QByteArray d;
    d.reserve(dati.size());
    for (char c : dati) {
        d += c;
        if (uchar(c) == IAC) d += c;
    }
    invia(d);
}

void Rete::invia(const QByteArray &grezzi) {
    socket_.write(grezzi);
    // Out now, in one piece, not at the next turn of the event loop.
    socket_.flush();
}

void Rete::comandoPorta(unsigned char comando, const QByteArray &valore) {
    QByteArray sb;
    sb += char(IAC), sb += char(SB), sb += char(PortaCom), sb += char(comando);
    for (char c : valore) {
        sb += c;
        if (uchar(c) == IAC) sb += c;
    }
    sb += char(IAC), sb += char(SE);
    invia(sb);
}

void Rete::ricevi() {
    const QByteArray arrivati = socket_.readAll();
    if (arrivati.isEmpty()) return;
    AckSubito(socket_.socketDescriptor());
    const qsizetype prima = dati_.size();
    const bool telnetCorretto = !rfc2217_ || telnet(arrivati);
    if (!rfc2217_) dati_ += arrivati;
    if (dati_.size() > prima) emit datiArrivati();
    if (!telnetCorretto)
        perdi(QStringLiteral("server %1 difettoso: non parla correttamente Telnet/RFC 2217 (un "
                             "suo comando supera %2 byte senza finire)")
                  .arg(indirizzo_)
                  .arg(MassimoSottonegoziazione));
}

bool Rete::telnet(const QByteArray &arrivati) {
    for (const char carattere : arrivati) {
        const auto b = uchar(carattere);
        switch (stato_) {
        case Stato::DopoCr:
            // Outside binary mode a CR goes as CR NUL: the NUL is not data.
            stato_ = Stato::Dati;
            if (b == 0) break;
            [[fallthrough]];
        case Stato::Dati:
            if (b == IAC)
                stato_ = Stato::Iac;
            else {
                dati_ += carattere;
                if (b == '\r' && !binarioLoro_) stato_ = Stato::DopoCr;
            }
            break;
        case Stato::Iac:
            if (b == IAC) {
                dati_ += carattere;
                stato_ = Stato::Dati;
            } else if (b >= WILL) {
                verbo_ = b;
                stato_ = Stato::Verbo;
            } else if (b == SB) {
                sb_.clear();
                stato_ = Stato::Sb;
            } else {
                stato_ = Stato::Dati; // NOP, GA, ...: nothing to do
            }
            break;
        case Stato::Verbo:
            stato_ = Stato::Dati;
            opzione(verbo_, b);
            break;
        case Stato::Sb:
            if (b == IAC)
                stato_ = Stato::SbIac;
            else
                sb_ += carattere;
            break;
        case Stato::SbIac:
            if (b == IAC) {
                sb_ += carattere;
                stato_ = Stato::Sb;
            } else {
                stato_ = Stato::Dati;
                if (b == SE) sottonegoziazione(sb_);
            }
            break;
        }
        if (sb_.size() > MassimoSottonegoziazione) {
            risposte_.clear();
            return false;
        }
    }
    if (!risposte_.isEmpty()) invia(std::exchange(risposte_, {}));
    return true;
}

void Rete::opzione(unsigned char verbo, unsigned char o) {
    auto manda = [this](unsigned char v, unsigned char opz) {
        risposte_ += char(IAC), risposte_ += char(v), risposte_ += char(opz);
    };
    switch (verbo) {
    case DO:
        if (!VoluteNostre(o)) {
            if (!std::exchange(rifiutateNostre_[o], true)) manda(WONT, o);
        } else if (!nostre_[o]) {
            nostre_[o] = true;
            if (!chiesteNostre_[o]) manda(WILL, o);
            chiesteNostre_[o] = false;
            if (o == PortaCom) portaAccettata_ = 1;
        }
        break;
    case DONT:
        if (nostre_[o] || chiesteNostre_[o]) {
            if (!chiesteNostre_[o]) manda(WONT, o);
            nostre_[o] = chiesteNostre_[o] = false;
        }
        if (o == PortaCom) portaAccettata_ = -1;
        break;
    case WILL:
        if (!VoluteLoro(o)) {
            if (!std::exchange(rifiutateLoro_[o], true)) manda(DONT, o);
        } else if (!loro_[o]) {
            loro_[o] = true;
            if (!chiesteLoro_[o]) manda(DO, o);
            chiesteLoro_[o] = false;
            if (o == Binario) binarioLoro_ = true;
        }
        break;
    case WONT:
        if (loro_[o] || chiesteLoro_[o]) {
            if (!chiesteLoro_[o]) manda(DONT, o);
            loro_[o] = chiesteLoro_[o] = false;
            if (o == Binario) binarioLoro_ = false;
        }
        break;
    }
}

void Rete::sottonegoziazione(const QByteArray &sb) {
    if (sb.size() < 2 || uchar(sb[0]) != PortaCom) return;
    const int comando = uchar(sb[1]) - Risposta;
    const QByteArray v = sb.mid(2);
    switch (comando) {
    case ImpostaVelocita:
        if (v.size() == 4)
            conferme_ << QStringLiteral("%1 bit/s")
                             .arg((quint32(uchar(v[0])) << 24) | (quint32(uchar(v[1])) << 16) |
                                  (quint32(uchar(v[2])) << 8) | uchar(v[3]));
        break;
    case ImpostaDati:
        if (v.size() == 1) conferme_ << QStringLiteral("%1 bit di dati").arg(int(uchar(v[0])));
        break;
    case ImpostaParita: {
        static const char *const nomi[] = {"?", "nessuna", "dispari", "pari", "mark", "space"};
        if (v.size() == 1)
            conferme_ << QStringLiteral("parità %1")
                             .arg(QLatin1String(nomi[uchar(v[0]) < 6 ? uchar(v[0]) : 0]));
        break;
    }
    case ImpostaStop:
        if (v.size() == 1)
            conferme_ << QStringLiteral("stop %1").arg(uchar(v[0]) == 2   ? QStringLiteral("2")
                                                       : uchar(v[0]) == 3 ? QStringLiteral("1.5")
                                                                          : QStringLiteral("1"));
        break;
    default:
        return; // line and modem state notices: nothing the link needs
    }
    ++confermati_;
}

void Rete::caduta() {
    if (!aperta_) return;
    // What came before the close is still data.
    ricevi();
    const QAbstractSocket::SocketError e = socket_.error();
    perdi(e == QAbstractSocket::UnknownSocketError
              ? QStringLiteral("il server ha chiuso il collegamento")
              : MotivoSocket(e, socket_.errorString()));
}

void Rete::perdi(const QString &motivo) {
    if (!aperta_) return;
    aperta_ = false;
    inCorso_ = false;
    errore_ = motivo;
    socket_.abort();
    sb_.clear();
    risposte_.clear();
    emit nota(QStringLiteral("collegamento con %1 perso: %2").arg(indirizzo_, errore_));
    emit persa();
}
