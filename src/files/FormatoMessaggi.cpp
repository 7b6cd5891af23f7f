#include "files/FormatoMessaggi.h"

#include "link/Comandi.h"
#include "shared/Numeri.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <limits>

namespace FormatoMessaggi {

namespace {
// Past the limit, the end marker's line is followed this far to find its end.
constexpr qsizetype Coda = 64 * 1024;
// A file is read in blocks of this size.
constexpr qint64 Blocco = 64 * 1024;
// An old file rewritten in place is first kept whole in memory, up to this size.
constexpr qint64 LimiteRiscrittura = 16 * 1024 * 1024;

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
        if (riga.isEmpty()) continue;
        if (Fine(riga)) {
            s.chiusa = true;
            break;
        }
        s.righe << riga;
        s.numeri << int(i) + 1;
    }
    return s;
}

std::optional<QString> FiltroInvio(const QString &riga) {
    if (riga.size() < 3) return std::nullopt;
    for (int i = 0; i < 3; ++i)
        if (riga[i] < QLatin1Char('0') || riga[i] > QLatin1Char('9')) return std::nullopt;
    if (riga.left(3).toInt() > NumeroMassimoInvio) return std::nullopt;
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

bool NumeroNelCorpo(int n) {
    return (n >= 0 && n < 182) || (n >= 190 && n <= 192);
}

QString RigaLettura(const QString &numeroTre, const QString &testo) {
    return numeroTre + testo + QStringLiteral("*\r\n");
}

QByteArray ContenutoFile(const QString &commento, const QString &corpo) {
    return commento.toLatin1() + "\r\n" + corpo.toLatin1() + "\r\nend\r\n";
}

std::optional<QByteArray> LeggiFile(const QString &percorso, QString *errore) {
    QFile f(percorso);
    if (!f.open(QIODevice::ReadOnly)) {
        *errore = QStringLiteral("Impossibile aprire %1: %2").arg(percorso, f.errorString());
        return std::nullopt;
    }
    const QByteArray dati = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        *errore = QStringLiteral("Impossibile leggere %1: %2").arg(percorso, f.errorString());
        return std::nullopt;
    }
    return dati;
}

std::optional<Scansione> LeggiMessaggi(const QString &percorso, QString *errore,
                                       bool *troppoGrande) {
    if (troppoGrande) *troppoGrande = false;
    const QFileInfo info(percorso);
    // A pipe or a device could block the reading or never end.
    if (info.exists() && !info.isFile()) {
        *errore = QStringLiteral("Impossibile aprire %1: non è un file").arg(percorso);
        return std::nullopt;
    }
    QFile f(percorso);
    if (!f.open(QIODevice::ReadOnly)) {
        *errore = QStringLiteral("Impossibile aprire %1: %2").arg(percorso, f.errorString());
        return std::nullopt;
    }
    QByteArray dati;
    for (;;) {
        const QByteArray blocco = f.read(Blocco);
        if (f.error() != QFileDevice::NoError) {
            *errore = QStringLiteral("Impossibile leggere %1: %2").arg(percorso, f.errorString());
            return std::nullopt;
        }
        dati += blocco;
        const Parte parte = ParteUsata(dati, blocco.isEmpty());
        if (parte.esito == Parte::Pronta) {
            dati.truncate(parte.fine);
            return ScansioneComune(parte.lf ? RighePerLF(dati) : Righe(dati));
        }
        if (parte.esito == Parte::Troppo) {
            if (troppoGrande) *troppoGrande = true;
            *errore = QStringLiteral("Il file %1 è troppo grande per un file di messaggi: più di "
                                     "1 MiB prima della riga di fine (end)")
                          .arg(percorso);
            return std::nullopt;
        }
    }
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

// Writes every byte; a short write is retried, so a failure leaves its reason.
static bool ScriviTutto(QFileDevice &f, const QByteArray &dati) {
    for (qint64 scritti = 0; scritti < dati.size();) {
        const qint64 n = f.write(dati.constData() + scritti, dati.size() - scritti);
        if (n <= 0) return false;
        scritti += n;
    }
    return true;
}

// The target rewritten in place, for a folder where no new file can be made:
// its old bytes are kept in memory and put back if the writing fails.
static bool SalvaSulPosto(const QString &percorso, const QByteArray &dati,
                          const QString &motivoTemporaneo, QString *errore) {
    const QString premessa =
        QStringLiteral("nella cartella %1 non si può creare un file (%2)")
            .arg(QDir::toNativeSeparators(QFileInfo(percorso).absolutePath()), motivoTemporaneo);
    QFile f(percorso);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        *errore =
            premessa +
            QStringLiteral(" e %1 non si apre in scrittura: %2").arg(percorso, f.errorString());
        return false;
    }
    if (f.size() > LimiteRiscrittura) {
        *errore = premessa + QStringLiteral(" e %1 è troppo grande per riscriverlo al suo posto "
                                            "senza rischi")
                                 .arg(percorso);
        return false;
    }
    const QByteArray vecchio = f.readAll();
    if (f.error() != QFileDevice::NoError || vecchio.size() != f.size()) {
        *errore =
            premessa + QStringLiteral(" e %1 non si legge: %2").arg(percorso, f.errorString());
        return false;
    }
    if (f.seek(0) && ScriviTutto(f, dati) && f.resize(dati.size())) return true;
    const QString motivo = f.errorString();
    const bool rimesso = f.seek(0) && ScriviTutto(f, vecchio) && f.resize(vecchio.size());
    *errore = premessa + QStringLiteral(" e riscrivere %1 al suo posto non è riuscito (%2): %3")
                             .arg(percorso, motivo,
                                  rimesso ? QStringLiteral("il file è rimasto com'era")
                                          : QStringLiteral("il contenuto precedente non si è "
                                                           "potuto rimettere"));
    return false;
}

bool SalvaFile(const QString &percorso, const QByteArray &dati, QString *errore) {
    const QFileInfo info(percorso);
    // A file marked read-only stays untouched, whoever runs the tool.
    const bool solaLettura = !info.isWritable() || !(info.permissions() & QFile::WriteOwner);
    if (info.exists() && (!info.isFile() || solaLettura)) {
        *errore = info.isFile() ? QStringLiteral("il file %1 è in sola lettura").arg(percorso)
                                : QStringLiteral("%1 non è un file").arg(percorso);
        return false;
    }
    QSaveFile f(percorso);
    if (!f.open(QIODevice::WriteOnly)) {
        // No new file in that folder: an existing file may still be written.
        if (info.exists()) return SalvaSulPosto(percorso, dati, f.errorString(), errore);
        *errore = QStringLiteral("impossibile creare %1: %2").arg(percorso, f.errorString());
        return false;
    }
    if (!ScriviTutto(f, dati)) {
        *errore = QStringLiteral("impossibile scrivere %1: %2").arg(percorso, f.errorString());
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        *errore = QStringLiteral("impossibile scrivere %1: %2").arg(percorso, f.errorString());
        return false;
    }
    return true;
}

} // namespace FormatoMessaggi
