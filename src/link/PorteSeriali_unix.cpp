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
    // A program that holds the device open without a lock file.
    const QStringList processi = QDir(proc).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &p : processi) {
        bool numero = false;
        const qint64 pid = p.toLongLong(&numero);
        if (!numero || pid == io) continue;
        const QDir fd(QStringLiteral("%1/%2/fd").arg(proc, p));
        const QStringList voci = fd.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &v : voci)
            if (QFileInfo(fd.filePath(v)).symLinkTarget() == cercato) return Descrivi(pid, proc);
    }
    return QString();
}

bool DispositivoAccessibile(const QString &dispositivo) {
    return ::access(QFile::encodeName(dispositivo).constData(), R_OK | W_OK) == 0;
}
