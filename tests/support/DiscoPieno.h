#pragma once
// A small disk of its own for a case: a tmpfs of 64 KiB mounted on a new
// folder, which riempi() fills up to the few bytes that are to stay free.
// Mounting needs root (CI runs as root); where it is refused, montato() is
// false and motivo() says why, for the case to skip. The disk is unmounted
// when the object ends, whatever the case left on it.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/statvfs.h>

class DiscoPieno {
  public:
    DiscoPieno() {
        cartella_ = dir_.filePath("disco");
        if (!QDir().mkdir(cartella_)) {
            motivo_ = QStringLiteral("cartella %1 non creata").arg(cartella_);
            return;
        }
        if (::mount("tmpfs", QFile::encodeName(cartella_).constData(), "tmpfs", 0,
                    "size=64k,mode=0755") != 0)
            motivo_ = QStringLiteral("mount di un tmpfs rifiutato: %1").arg(std::strerror(errno));
        else
            montato_ = true;
    }
    ~DiscoPieno() {
        if (!montato_) return;
        QProcess::execute("chattr", {"-i", cartella_});
        ::umount2(QFile::encodeName(cartella_).constData(), MNT_DETACH);
    }
    DiscoPieno(const DiscoPieno &) = delete;
    DiscoPieno &operator=(const DiscoPieno &) = delete;

    bool montato() const { return montato_; }
    QString motivo() const { return motivo_; }
    QString cartella() const { return cartella_; }
    QString percorso(const QString &nome) const { return cartella_ + '/' + nome; }

    // Mounts the disk again read-only (a write-protected card).
    bool solaLettura() {
        return ::mount(nullptr, QFile::encodeName(cartella_).constData(), nullptr,
                       MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    // Bytes still free on the disk.
    qint64 liberi() const {
        struct statvfs s;
        if (::statvfs(QFile::encodeName(cartella_).constData(), &s) != 0) return -1;
        return qint64(s.f_bavail) * qint64(s.f_frsize);
    }
    // Fills the disk with the file "riempi" until `restano` bytes are free.
    bool riempi(qint64 restano = 4096) {
        QFile f(percorso("riempi"));
        const qint64 quanti = liberi() - restano;
        return quanti >= 0 && f.open(QIODevice::WriteOnly) &&
               f.write(QByteArray(quanti, 'r')) == quanti && f.flush() && liberi() == restano;
    }

  private:
    QTemporaryDir dir_;
    QString cartella_, motivo_;
    bool montato_ = false;
};

// Skips the rest of the case where no disk could be mounted.
#define SALTA_SENZA_DISCO(disco)                                                                   \
    do {                                                                                           \
        if (!(disco).montato())                                                                    \
            QSKIP(qPrintable(                                                                      \
                QStringLiteral("serve un tmpfs montato dal test: %1").arg((disco).motivo())));     \
    } while (0)
