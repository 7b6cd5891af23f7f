#pragma once
// Saving a file so that nothing is lost: a save either completes or leaves the
// old file byte for byte, and a failure says why, in Italian.
//
// The new bytes go to a temporary file in the target's folder, named
// ".<name>.velto-tmp-<pid>-<six letters or digits>"; every write, the sync to
// the disk and the close are checked before it replaces the target. A
// temporary file left by a save that was killed (its process is gone, or it
// is older than ten minutes) is removed at the next save in that folder. When
// the folder allows no new file but the target may be written, the target is
// rewritten in place, and its old bytes put back if that fails. The new file
// keeps the old one's permissions, and its owner and group where the system
// allows.
//
// A link, a folder's on the way as well as the file's own, is followed only
// where the kernel's protected_symlinks rule would follow it: the link is this user's or the
// folder's owner's, or the folder is not one that anyone may write to and
// only owners delete from (as /tmp). A link planted by another user there is
// refused and nothing is written: the tool follows links itself, so the
// kernel's rule would not protect it.

#include <QByteArray>
#include <QString>

class QFile;
class QFileDevice;

namespace Salvataggio {

// The reason of a failed system call (an errno value), in Italian:
// "spazio esaurito sul disco" for ENOSPC.
QString Motivo(int numeroErrore);
// Why an operation on `f` failed, in Italian: the errno the failed call
// left (`numeroErrore`, read right after it, as Motivo), else the kind of
// error the file says.
QString MotivoFile(const QFileDevice &f, int numeroErrore);
// Why a file did not open for reading, in Italian (as MotivoFile, the errno
// its open left read first).
QString MotivoApertura(const QFile &f);

// Writes `dati` to `percorso` as above. A target that is read-only or is not
// a file is left alone. On any failure returns false, *errore says why
// (Italian, naming the file) and the old file keeps its content.
bool Salva(const QString &percorso, const QByteArray &dati, QString *errore);

// Where a write to `percorso` lands, every link on the way followed as the
// rule above allows: false, with *motivo (Italian, without the path), when
// one may not be followed. For a file opened by other means (the trace).
bool Destinazione(const QString &percorso, QString *finale, QString *motivo);

// Permissions of a new file: these bits exactly (0600), or the usual ones
// (0666 less the umask) for ModoPredefinito.
constexpr int ModoPredefinito = -1;
// The permission bits of the file at `percorso`, else ModoPredefinito.
int Modo(const QString &percorso);

// Opens `file` on a new file at `percorso` for writing: never an existing
// file, and through a link (even one that leads nowhere) only as above. On
// Unix `file` is opened on the descriptor: its fileName() stays empty. On
// failure returns false, *motivo says why (Italian, without the path) and
// *esiste tells whether the name was taken by a file.
bool ApriNuovo(QFile &file, const QString &percorso, int modo, QString *motivo,
               bool *esiste = nullptr);

// Writes `dati` to a new file at `percorso`, as ApriNuovo opens it, synced.
// On failure returns false, *errore says why (Italian, naming the file) and
// no file is left.
bool SalvaNuovo(const QString &percorso, const QByteArray &dati, int modo, QString *errore);

#ifdef Q_OS_UNIX
// Writes every byte of `dati` at the file's position: false, errno set,
// when a write fails.
bool ScriviTutto(int fd, const QByteArray &dati);
#endif

} // namespace Salvataggio
