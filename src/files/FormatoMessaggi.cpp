#include "FormatoMessaggi.h"

#include "Numeri.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace FormatoMessaggi {

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
        if (Fine(riga)) break;
        s.righe << riga;
    }
    return s;
}

std::optional<QString> FiltroInvio(const QString &riga) {
    if (riga.size() < 3) return std::nullopt;
    for (int i = 0; i < 3; ++i)
        if (riga[i] < QLatin1Char('0') || riga[i] > QLatin1Char('9')) return std::nullopt;
    if (riga.left(3).toInt() > NumeroMassimoInvio) return std::nullopt;
    return riga.left(LunghezzaVoce).leftJustified(LunghezzaVoce);
}

std::optional<QString> FiltroEditor(const QString &riga) {
    if (riga.startsWith(QLatin1String("---"))) return std::nullopt;
    if (ValoreIniziale(riga.left(3)) > NumeroMassimoEditor) return std::nullopt;
    return riga.left(LunghezzaMassimaEditor).leftJustified(LunghezzaVoce);
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
        *errore = QStringLiteral("impossibile creare %1: %2").arg(percorso, f.errorString());
        return false;
    }
    if (f.write(dati) != dati.size()) {
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
