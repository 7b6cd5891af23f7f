#include "files/FormatoMessaggi.h"

#include "link/Comandi.h"
#include "shared/Numeri.h"

#include <algorithm>
#include <limits>

namespace FormatoMessaggi {

namespace {
// Past the limit, the end marker's line is followed this far to find its end.
constexpr qsizetype Coda = 64 * 1024;

// A line starting at `inizio` with "END" or "end" (false with fewer than three
// bytes there).
bool MarcatoreA(const QByteArray &dati, qsizetype inizio) {
    if (dati.size() - inizio < 3) return false;
    const char *p = dati.constData() + inizio;
    return (p[0] == 'E' && p[1] == 'N' && p[2] == 'D') ||
           (p[0] == 'e' && p[1] == 'n' && p[2] == 'd');
}

Parte Esito(Parte::Esito esito, bool lf = false, qsizetype fine = 0) {
    Parte p;
    p.esito = esito;
    p.lf = lf;
    p.fine = fine;
    return p;
}

qsizetype Tetto(qsizetype limite) {
    return limite > std::numeric_limits<qsizetype>::max() - Coda ? limite : limite + Coda;
}

// The reading by LF; *cr is set (and nothing else counts) when one of the bytes
// it would use is a CR.
Parte PerLF(const QByteArray &dati, bool tutto, qsizetype limite, bool *cr) {
    const qsizetype primoCR = dati.indexOf('\r');
    qsizetype inizio = 0;
    for (int riga = 0;; ++riga) {
        if (inizio > limite) return Esito(Parte::Troppo);
        const qsizetype lf = dati.indexOf('\n', inizio);
        if (primoCR >= 0 && primoCR < (lf < 0 ? dati.size() : lf)) {
            *cr = true;
            return Esito(Parte::Incompleta);
        }
        const bool marcatore = riga > 0 && MarcatoreA(dati, inizio);
        if (lf < 0) {
            if (!tutto) {
                if (dati.size() <= Tetto(limite)) return Esito(Parte::Incompleta);
                return marcatore ? Esito(Parte::Pronta, true, dati.size()) : Esito(Parte::Troppo);
            }
            if (!marcatore && dati.size() > limite) return Esito(Parte::Troppo);
            return Esito(Parte::Pronta, true, dati.size());
        }
        if (marcatore) return Esito(Parte::Pronta, true, lf + 1);
        inizio = lf + 1;
    }
}

// The reading by CR LF or a lone CR.
Parte PerCR(const QByteArray &dati, bool tutto, qsizetype limite) {
    qsizetype inizio = 0;
    for (int riga = 0;; ++riga) {
        if (inizio > limite) return Esito(Parte::Troppo);
        if (riga > 0) {
            if (MarcatoreA(dati, inizio)) return Esito(Parte::Pronta, false, inizio + 3);
            if (!tutto && dati.size() - inizio < 3) return Esito(Parte::Incompleta);
        }
        const qsizetype cr = dati.indexOf('\r', inizio);
        if (cr < 0) {
            if (!tutto)
                return Esito(dati.size() <= Tetto(limite) ? Parte::Incompleta : Parte::Troppo);
            if (dati.size() > limite) return Esito(Parte::Troppo);
            return Esito(Parte::Pronta, false, dati.size());
        }
        // A CR last in an incomplete part: the next call sees whether an LF follows.
        qsizetype dopo = cr + 1;
        if (dopo < dati.size() && dati[dopo] == '\n') ++dopo;
        inizio = dopo;
    }
}

QStringList RighePerLF(const QByteArray &dati) {
    QStringList righe;
    qsizetype inizio = 0;
    for (qsizetype lf; (lf = dati.indexOf('\n', inizio)) >= 0; inizio = lf + 1)
        righe << QString::fromLatin1(dati.mid(inizio, lf - inizio));
    if (inizio < dati.size()) righe << QString::fromLatin1(dati.mid(inizio));
    return righe;
}
} // namespace

QStringList Righe(const QByteArray &dati) {
    QStringList righe;
    qsizetype inizio = 0;
    for (qsizetype i = 0; i < dati.size(); ++i) {
        if (dati[i] != '\r') continue;
        righe << QString::fromLatin1(dati.mid(inizio, i - inizio));
        if (i + 1 < dati.size() && dati[i + 1] == '\n') ++i;
        inizio = i + 1;
    }
    if (inizio < dati.size()) righe << QString::fromLatin1(dati.mid(inizio));
    return righe;
}

Parte ParteUsata(const QByteArray &dati, bool tutto, qsizetype limite) {
    bool cr = false;
    const Parte perLF = PerLF(dati, tutto, limite, &cr);
    return cr ? PerCR(dati, tutto, limite) : perLF;
}

QStringList RigheDellaParte(const QByteArray &dati, const Parte &parte) {
    return parte.lf ? RighePerLF(dati) : Righe(dati);
}

QStringList RigheLette(const QByteArray &dati) {
    bool cr = false;
    PerLF(dati, true, std::numeric_limits<qsizetype>::max(), &cr);
    return cr ? Righe(dati) : RighePerLF(dati);
}

static bool Fine(const QString &riga) {
    return riga.startsWith(QLatin1String("END")) || riga.startsWith(QLatin1String("end"));
}

Scansione ScansioneComune(const QStringList &righe) {
    Scansione s;
    if (righe.isEmpty()) return s;
    s.commento = righe.first();
    s.haCorpo = righe.size() > 1;
    for (qsizetype i = 1; i < righe.size(); ++i) {
        const QString &riga = righe[i];
        if (riga.isEmpty()) {
            s.vuotaInFondo = true;
            continue;
        }
        if (Fine(riga)) {
            s.chiusa = true;
            break;
        }
        s.vuotaInFondo = false;
        s.righe << riga;
        s.numeri << int(i) + 1;
    }
    return s;
}

bool RigaConNumero(const QString &riga) {
    return riga.size() >= 3 && std::all_of(riga.begin(), riga.begin() + 3, CifraDecimale);
}

bool NumeroSpezzato(const QString &riga) {
    const QString inizio = riga.left(3);
    return !RigaConNumero(riga) && std::any_of(inizio.begin(), inizio.end(), CifraDecimale);
}

std::optional<QString> FiltroInvio(const QString &riga) {
    if (!RigaConNumero(riga) || riga.left(3).toInt() > NumeroMassimoInvio) return std::nullopt;
    return riga.left(Comandi::LunghezzaVoce).leftJustified(Comandi::LunghezzaVoce);
}

std::optional<QString> FiltroEditor(const QString &riga) {
    if (riga.startsWith(QLatin1String("---"))) return std::nullopt;
    if (ValoreIniziale(riga.left(3)) > NumeroMassimoEditor) return std::nullopt;
    return riga.left(LunghezzaMassimaEditor).leftJustified(Comandi::LunghezzaVoce);
}

QString TestoEditor(const Scansione &s) {
    QString testo;
    for (const QString &riga : s.righe)
        if (const auto tenuta = FiltroEditor(riga)) testo += *tenuta + QStringLiteral("\r\n");
    return testo;
}

QString CorpoComeNelFile(const QString &corpo, bool vuotaInFondo) {
    if (vuotaInFondo || !corpo.endsWith(QLatin1String("\r\n"))) return corpo;
    return corpo.chopped(2);
}

bool NumeroNelCorpo(int n) {
    return (n >= 0 && n < 182) || (n >= 190 && n <= 192);
}

QString RigaLettura(const QString &numeroTre, const QString &testo) {
    return numeroTre + testo + QStringLiteral("*\r\n");
}

QString CorpoNuovo() {
    QString corpo;
    for (int n = 0; n <= NumeroMassimoInvio; ++n)
        if (NumeroNelCorpo(n))
            corpo += RigaLettura(QString::number(n).rightJustified(3, QLatin1Char('0')),
                                 QString(Comandi::LunghezzaVoce - 3, QLatin1Char(' ')));
    return corpo;
}

QString MotivoNomeRifiutato(const QString &nome) {
    if (nome.right(4).toLower() != QLatin1String(".vlt")) return NomeSenzaVlt;
    if (nome.contains(QLatin1Char('/')) || nome.contains(QLatin1Char('\\')))
        return QStringLiteral("Il nome non può contenere cartelle");
    if (HaCaratteriDiControllo(nome))
        return QStringLiteral("Il nome non può contenere caratteri di controllo");
    return QString();
}

bool HaCaratteriDiControllo(const QString &nome) {
    for (const QChar c : nome)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return true;
    return false;
}

QByteArray ContenutoFile(const QString &commento, const QString &corpo) {
    return commento.toLatin1() + "\r\n" + corpo.toLatin1() + "\r\nend\r\n";
}

QString SenzaACapo(const QString &testo) {
    QString riga;
    riga.reserve(testo.size());
    for (qsizetype i = 0; i < testo.size(); ++i) {
        const QChar c = testo[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            riga += QLatin1Char(' ');
            if (c == QLatin1Char('\r') && i + 1 < testo.size() && testo[i + 1] == QLatin1Char('\n'))
                ++i;
        } else {
            riga += c;
        }
    }
    return riga;
}

QString TestoVisibile(const QString &corpo) {
    QString testo;
    testo.reserve(corpo.size());
    for (qsizetype i = 0; i < corpo.size(); ++i) {
        if (corpo[i] == QLatin1Char('\r') && i + 1 < corpo.size() &&
            corpo[i + 1] == QLatin1Char('\n')) {
            testo += QLatin1Char('\n');
            ++i;
        } else {
            testo += corpo[i] == QLatin1Char('\n') ? SegnapostoLF : corpo[i];
        }
    }
    return testo;
}

QString CorpoDaTesto(const QString &testoGrezzo) {
    QString corpo;
    corpo.reserve(testoGrezzo.size() + testoGrezzo.size() / 16);
    for (const QChar c : testoGrezzo) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            corpo += QLatin1String("\r\n");
        else
            corpo += c == SegnapostoLF ? QChar(QLatin1Char('\n')) : c;
    }
    return corpo;
}

} // namespace FormatoMessaggi
