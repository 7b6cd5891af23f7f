#include "link/Rete.h"

#include "shared/Attendi.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {
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

// Why the connection failed or was lost, in Italian (the socket's own text
// is English and never shown).
QString MotivoSocket(QAbstractSocket::SocketError e) {
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
    case QAbstractSocket::SocketAccessError:
        motivo = QStringLiteral("accesso alla rete negato a questo programma");
        break;
    case QAbstractSocket::SocketResourceError:
        motivo = QStringLiteral("risorse di rete del sistema esaurite");
        break;
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
    case QAbstractSocket::ProxyNotFoundError:
    case QAbstractSocket::ProxyProtocolError:
    case QAbstractSocket::ProxyAuthenticationRequiredError:
        motivo = QStringLiteral("il proxy di rete non lascia passare il collegamento");
        break;
    default:
        motivo = QStringLiteral("collegamento di rete non riuscito (errore %1)").arg(int(e));
        break;
    }
    return motivo;
}

// A device server's line saying its serial port is taken by another
// connection (ser2net's "Port already in use", "Port's device already in
// use", "Device open failure: Object was already in use"): words alone,
// never a reply of a panel (which starts with its identifier).
bool PortaGiaInUso(const QByteArray &riga) {
    static const QRegularExpression occupata(QStringLiteral("^[a-z' :]*\\b(in use|busy)\\b[ .!]*$"),
                                             QRegularExpression::CaseInsensitiveOption);
    return occupata.match(QString::fromLatin1(riga.trimmed())).hasMatch();
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
    telnet_ = CodecTelnet();

    inCorso_ = true;
    primi_.clear();
    QElapsedTimer connessione;
    connessione.start();
    socket_.connectToHost(a.host, a.porta);
    const QDeadlineTimer limite(LimiteConnessioneMs);
    while (inCorso_ && !limite.hasExpired() &&
           (socket_.state() == QAbstractSocket::HostLookupState ||
            socket_.state() == QAbstractSocket::ConnectingState))
        PompaEventiFino(limite);
    if (!inCorso_ || socket_.state() != QAbstractSocket::ConnectedState) {
        if (!errore_.isEmpty()) {
            // A port taken, said as the connection came.
        } else if (!inCorso_) {
            errore_ = QStringLiteral("collegamento interrotto");
        } else if (socket_.state() != QAbstractSocket::UnconnectedState) {
            errore_ = QStringLiteral("nessuna risposta entro %1 secondi (server spento o "
                                     "irraggiungibile, nome non risolto)")
                          .arg(LimiteConnessioneMs / 1000);
        } else {
            errore_ = MotivoSocket(socket_.error());
        }
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
        invia(telnet_.Richieste());
        QDeadlineTimer negoziazione(LimiteNegoziazioneMs);
        while (aperta_ && telnet_.PortaAccettata() == 0 && !negoziazione.hasExpired())
            PompaEventiFino(negoziazione);
        if (aperta_ && telnet_.PortaAccettata() <= 0)
            emit nota(QStringLiteral("il server non accetta il controllo della porta (RFC 2217): "
                                     "la linea resta come è impostata sul server"));
        if (aperta_ && telnet_.PortaAccettata() > 0) {
            using P = CodecTelnet::Parita;
            const P p = parita == QSerialPort::OddParity     ? P::Dispari
                        : parita == QSerialPort::EvenParity  ? P::Pari
                        : parita == QSerialPort::MarkParity  ? P::Mark
                        : parita == QSerialPort::SpaceParity ? P::Space
                                                             : P::Nessuna;
            using S = CodecTelnet::Stop;
            const S s = stop == QSerialPort::TwoStop          ? S::Due
                        : stop == QSerialPort::OneAndHalfStop ? S::UnoEMezzo
                                                              : S::Uno;
            for (const QByteArray &comando :
                 CodecTelnet::RichiesteLinea(quint32(velocita), int(dati), p, s))
                invia(comando);
            // The server applies the commands in order, before any data that
            // follows; their confirmations are awaited only for the trace.
            while (aperta_ && telnet_.Confermati() < 4 && !negoziazione.hasExpired())
                PompaEventiFino(negoziazione);
            if (aperta_)
                emit nota(QStringLiteral("linea %1 chiesta al server; confermato: %2")
                              .arg(Impostazioni(velocita, parita, dati, stop),
                                   telnet_.Conferme().isEmpty()
                                       ? QStringLiteral("nulla")
                                       : telnet_.Conferme().join(QLatin1String(", "))));
        }
    }
    if (aperta_ && !rfc2217_) {
        // A server whose port is taken greets at once; a panel never speaks
        // first: its silence costs a moment, twice the time to connect.
        const qint64 attesa =
            std::clamp<qint64>(2 * connessione.elapsed(), AttesaSalutoMs, AttesaSalutoMassimaMs);
        const QDeadlineTimer saluto(attesa);
        while (aperta_ && primi_.isEmpty() && !saluto.hasExpired())
            PompaEventiFino(saluto);
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
    invia(rfc2217_ ? CodecTelnet::Codifica(dati) : dati);
}

void Rete::invia(const QByteArray &grezzi) {
    socket_.write(grezzi);
    // Out now, in one piece, not at the next turn of the event loop.
    socket_.flush();
}

void Rete::ricevi() {
    const QByteArray arrivati = socket_.readAll();
    if (arrivati.isEmpty()) return;
    AckSubito(socket_.socketDescriptor());
    QByteArray risposte;
    const QByteArray dati = rfc2217_ ? telnet_.Ricevi(arrivati, &risposte) : arrivati;
    if (occupata(dati)) return;
    dati_ += dati;
    if (!risposte.isEmpty()) invia(risposte);
    if (!dati.isEmpty()) emit datiArrivati();
    if (rfc2217_ && telnet_.Difettoso())
        perdi(QStringLiteral("server %1 difettoso: non parla correttamente Telnet/RFC 2217 (un "
                             "suo comando supera %2 byte senza finire)")
                  .arg(indirizzo_)
                  .arg(MassimoSottonegoziazione));
}

void Rete::caduta() {
    if (!aperta_) return;
    // What came before the close is still data.
    ricevi();
    const QAbstractSocket::SocketError e = socket_.error();
    perdi(e == QAbstractSocket::UnknownSocketError
              ? QStringLiteral("il server ha chiuso il collegamento")
              : MotivoSocket(e));
}

bool Rete::occupata(const QByteArray &dati) {
    constexpr int Primi = 80;
    const bool prima = primi_.size() < Primi && !primi_.contains('\n') && !primi_.contains('\r');
    if (!prima) return false;
    primi_ += dati.left(Primi - primi_.size());
    const qsizetype fine = primi_.indexOf('\n');
    if (!PortaGiaInUso(primi_.left(fine))) return false;
    const QString motivo = QStringLiteral("porta del server occupata da un altro collegamento");
    if (!inCorso_) {
        perdi(motivo);
        return true;
    }
    // An opening ends without the link: it fails, saying why.
    aperta_ = false;
    errore_ = motivo;
    socket_.abort();
    return true;
}

void Rete::perdi(const QString &motivo) {
    if (!aperta_) return;
    aperta_ = false;
    inCorso_ = false;
    errore_ = motivo;
    socket_.abort();
    emit nota(QStringLiteral("collegamento con %1 perso: %2").arg(indirizzo_, errore_));
    emit persa();
}
