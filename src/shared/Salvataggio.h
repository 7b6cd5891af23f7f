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
// rewritten in place, and its old bytes put back if that fails.

#include <QByteArray>
#include <QString>

namespace Salvataggio {

// The reason of a failed system call (an errno value), in Italian:
// "spazio esaurito sul disco" for ENOSPC.
QString Motivo(int numeroErrore);

// Writes `dati` to `percorso` as above. A target that is read-only or is not
// a file is left alone. On any failure returns false, *errore says why
// (Italian, naming the file) and the old file keeps its content.
bool Salva(const QString &percorso, const QByteArray &dati, QString *errore);

} // namespace Salvataggio
