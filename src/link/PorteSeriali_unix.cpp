// Who holds a serial device, on Unix: lock files and /proc.
#include "link/PorteSeriali.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

bool Vivo(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QString Descrivi(qint64 pid, const QString &proc) {
    QFile comm(QStringLiteral("%1/%2/comm").arg(proc).arg(pid));
    QString nome;
    if (comm.open(QIODevice::ReadOnly)) nome = QString::fromLocal8Bit(comm.readAll()).trimmed();
    return nome.isEmpty() ? QStringLiteral("PID %1").arg(pid)
                          : QStringLiteral("%1 (PID %2)").arg(nome).arg(pid);
}

// The number of the pseudo-terminal whose master a descriptor holds, as Linux
// tells it ("tty-index:" of the descriptor's fdinfo); empty when not told.
QString IndiceMaster(const QString &proc, const QString &pid, const QString &descrittore) {
    QFile info(QStringLiteral("%1/%2/fdinfo/%3").arg(proc, pid, descrittore));
    if (!info.open(QIODevice::ReadOnly)) return QString();
    for (const QByteArray &riga : info.readAll().split('\n'))
        if (riga.startsWith("tty-index:")) return QString::fromLatin1(riga.mid(10).trimmed());
    return QString();
}

QStringList CartelleLock() {
    QStringList cartelle = {QStringLiteral("/var/lock"),
                            QStringLiteral("/run/lock"),
                            QStringLiteral("/var/spool/lock"),
                            QStringLiteral("/tmp"),
                            QStringLiteral("/var/tmp"),
                            QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    cartelle.removeDuplicates();
    return cartelle;
}

} // namespace

QString ChiTieneLaPorta(const QString &dispositivo) {
    return ChiTieneLaPorta(dispositivo, CartelleLock(), QStringLiteral("/proc"));
}

QString ChiTieneLaPorta(const QString &dispositivo, const QStringList &cartelleLock,
                        const QString &proc) {
    const QString reale = QFileInfo(dispositivo).canonicalFilePath();
    const QString cercato = reale.isEmpty() ? dispositivo : reale;
    const qint64 io = ::getpid();
    for (const QString &cartella : cartelleLock) {
        for (const QString &nome : NomiFileLock(cercato)) {
            // Only a regular file is read: a pipe left there would block the read.
            const QString percorso = QDir(cartella).filePath(nome);
            const QFileInfo info(percorso);
            if (!info.isFile() || info.isSymLink()) continue;
            QFile lock(percorso);
            if (!lock.open(QIODevice::ReadOnly)) continue;
            const qint64 pid = PidDaLock(lock.read(64));
            if (pid != io && Vivo(pid)) return Descrivi(pid, proc);
        }
    }
    // A program that holds the device open without a lock file. The program at
    // the far end of a pseudo-terminal holds its master (and often its slave
    // too): it is the other end of the line, not a program that takes replies.
    const QString pts = QStringLiteral("/dev/pts/");
    const QString indice = cercato.startsWith(pts) ? cercato.mid(pts.size()) : QString();
    const QStringList processi = QDir(proc).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &p : processi) {
        bool numero = false;
        const qint64 pid = p.toLongLong(&numero);
        if (!numero || pid == io) continue;
        const QDir fd(QStringLiteral("%1/%2/fd").arg(proc, p));
        const QStringList voci = fd.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        bool tiene = false, capoOpposto = false;
        for (const QString &v : voci) {
            const QString bersaglio = QFileInfo(fd.filePath(v)).symLinkTarget();
            tiene = tiene || bersaglio == cercato;
            if (!indice.isEmpty() && bersaglio.endsWith(QLatin1String("/ptmx")))
                capoOpposto = capoOpposto || IndiceMaster(proc, p, v) == indice;
        }
        if (tiene && !capoOpposto) return Descrivi(pid, proc);
    }
    return QString();
}

Accesso AccessoAlDispositivo(const QString &dispositivo) {
    if (::access(QFile::encodeName(dispositivo).constData(), R_OK | W_OK) == 0)
        return Accesso::Consentito;
    switch (errno) {
    case EACCES:
    case EPERM:
        return Accesso::Negato;
    case ENAMETOOLONG:
        return Accesso::NomeTroppoLungo;
    default:
        return Accesso::Altro;
    }
}
