#include "link/CodecTelnet.h"

#include <utility>

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

void Comando(QByteArray &fuori, unsigned char verbo, unsigned char opzione) {
    fuori += char(IAC), fuori += char(verbo), fuori += char(opzione);
}

QByteArray ComandoPorta(unsigned char comando, const QByteArray &valore) {
    QByteArray sb;
    sb += char(IAC), sb += char(SB), sb += char(PortaCom), sb += char(comando);
    sb += CodecTelnet::Codifica(valore);
    sb += char(IAC), sb += char(SE);
    return sb;
}
} // namespace

QByteArray CodecTelnet::Richieste() {
    QByteArray richieste;
    for (unsigned char o : {Binario, SenzaGoAhead}) {
        Comando(richieste, WILL, o);
        Comando(richieste, DO, o);
        chiesteNostre_[o] = chiesteLoro_[o] = true;
    }
    Comando(richieste, WILL, PortaCom);
    chiesteNostre_[PortaCom] = true;
    return richieste;
}

QByteArray CodecTelnet::Codifica(const QByteArray &dati) {
    QByteArray d;
    d.reserve(dati.size());
    for (char c : dati) {
        d += c;
        if (uchar(c) == IAC) d += c;
    }
    return d;
}

QList<QByteArray> CodecTelnet::RichiesteLinea(quint32 velocita, int bitDati, Parita parita,
                                              Stop stop) {
    const char v[4] = {char(velocita >> 24), char(velocita >> 16), char(velocita >> 8),
                       char(velocita)};
    return {ComandoPorta(ImpostaVelocita, QByteArray(v, 4)),
            ComandoPorta(ImpostaDati, QByteArray(1, char(bitDati))),
            ComandoPorta(ImpostaParita, QByteArray(1, char(parita))),
            ComandoPorta(ImpostaStop, QByteArray(1, char(stop)))};
}

QByteArray CodecTelnet::Ricevi(const QByteArray &daRete, QByteArray *perLaRete) {
    QByteArray dati;
    if (difettoso_) return dati;
    for (const char carattere : daRete) {
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
                dati += carattere;
                if (b == '\r' && !binarioLoro_) stato_ = Stato::DopoCr;
            }
            break;
        case Stato::Iac:
            if (b == IAC) {
                dati += carattere;
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
            difettoso_ = true;
            sb_.clear();
            risposte_.clear();
            return dati;
        }
    }
    if (perLaRete) *perLaRete += std::exchange(risposte_, {});
    return dati;
}

void CodecTelnet::opzione(unsigned char verbo, unsigned char o) {
    switch (verbo) {
    case DO:
        if (!VoluteNostre(o)) {
            if (!std::exchange(rifiutateNostre_[o], true)) Comando(risposte_, WONT, o);
        } else if (!nostre_[o]) {
            nostre_[o] = true;
            if (!chiesteNostre_[o]) Comando(risposte_, WILL, o);
            chiesteNostre_[o] = false;
            if (o == PortaCom) portaAccettata_ = 1;
        }
        break;
    case DONT:
        if (nostre_[o] || chiesteNostre_[o]) {
            if (!chiesteNostre_[o]) Comando(risposte_, WONT, o);
            nostre_[o] = chiesteNostre_[o] = false;
        }
        if (o == PortaCom) portaAccettata_ = -1;
        break;
    case WILL:
        if (!VoluteLoro(o)) {
            if (!std::exchange(rifiutateLoro_[o], true)) Comando(risposte_, DONT, o);
        } else if (!loro_[o]) {
            loro_[o] = true;
            if (!chiesteLoro_[o]) Comando(risposte_, DO, o);
            chiesteLoro_[o] = false;
            if (o == Binario) binarioLoro_ = true;
        }
        break;
    case WONT:
        if (loro_[o] || chiesteLoro_[o]) {
            if (!chiesteLoro_[o]) Comando(risposte_, DONT, o);
            loro_[o] = chiesteLoro_[o] = false;
            if (o == Binario) binarioLoro_ = false;
        }
        break;
    }
}

void CodecTelnet::sottonegoziazione(const QByteArray &sb) {
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
