#include "files/FileMessaggi.h"

#include "shared/Salvataggio.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>

namespace FormatoMessaggi {

namespace {
// A file is read in blocks of this size.
constexpr qint64 Blocco = 64 * 1024;
} // namespace

QString MotivoNonScrivibile(const QString &percorso) {
    const QFileInfo file(percorso);
    if (file.exists() && !file.isFile())
        return QStringLiteral("non è un file normale (un dispositivo, una pipe?)");
    QTemporaryFile prova(file.absoluteDir().filePath(QStringLiteral(".velto-prova-XXXXXX")));
    if (prova.open()) return QString();
    const int numero = errno;
    if (file.exists()) {
        QFile esistente(percorso);
        if (esistente.open(QIODevice::ReadWrite)) return QString(); // rewritten in place
    }
    return QStringLiteral("la cartella %1 non accetta file nuovi (%2)")
        .arg(QDir::toNativeSeparators(file.absolutePath()), Salvataggio::MotivoFile(prova, numero));
}

bool CreaFileNuovo(const QString &percorso, const QString &commento, QString *errore) {
    if (QFileInfo::exists(percorso) || QFileInfo(percorso).isSymLink()) {
        *errore = QStringLiteral("Il file %1 esiste già").arg(QDir::toNativeSeparators(percorso));
        return false;
    }
    return SalvaFile(percorso, ContenutoFile(commento, CorpoNuovo()), errore);
}

using Salvataggio::MotivoApertura;

std::optional<QByteArray> LeggiFile(const QString &percorso, QString *errore) {
    QFile f(percorso);
    if (!f.open(QIODevice::ReadOnly)) {
        *errore = QStringLiteral("Impossibile aprire %1: %2").arg(percorso, MotivoApertura(f));
        return std::nullopt;
    }
    const QByteArray dati = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        *errore = QStringLiteral("Impossibile leggere %1: %2")
                      .arg(percorso, Salvataggio::MotivoFile(f, errno));
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
        *errore = QStringLiteral("Impossibile aprire %1: %2").arg(percorso, MotivoApertura(f));
        return std::nullopt;
    }
    QByteArray dati;
    for (;;) {
        const QByteArray blocco = f.read(Blocco);
        if (f.error() != QFileDevice::NoError) {
            *errore = QStringLiteral("Impossibile leggere %1: %2")
                          .arg(percorso, Salvataggio::MotivoFile(f, errno));
            return std::nullopt;
        }
        dati += blocco;
        const Parte parte = ParteUsata(dati, blocco.isEmpty());
        if (parte.esito == Parte::Pronta) {
            dati.truncate(parte.fine);
            return ScansioneComune(RigheDellaParte(dati, parte));
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

QString (*Vietato)(const QString &percorso) = nullptr;

bool SalvaFile(const QString &percorso, const QByteArray &dati, QString *errore) {
    if (Vietato) *errore = Vietato(percorso);
    if (Vietato && !errore->isEmpty()) return false;
    return Salvataggio::Salva(percorso, dati, errore);
}

QString SalvaNonSalvato(const QString &cartella, const QString &base, const QByteArray &dati,
                        int modo, QString *errore) {
    const QString nome =
        base +
        QDateTime::currentDateTime().toString(QStringLiteral("'-non-salvato-'yyyyMMdd-HHmmss")) +
        QStringLiteral(".vlt");
    for (const QDir &dove : {QDir(cartella), QDir::current(), QDir::home(), QDir::temp()}) {
        const QString percorso = dove.absoluteFilePath(nome);
        if (Salvataggio::SalvaNuovo(percorso, dati, modo, errore)) return percorso;
    }
    return QString();
}

} // namespace FormatoMessaggi
