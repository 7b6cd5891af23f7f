#pragma once
// Message files on the disk: reading one for the sender and the editor,
// creating and saving one through the safe save, and what a signal leaves
// unsaved. The scanning itself, without files, is in files/FormatoMessaggi.h.

#include "files/FormatoMessaggi.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace FormatoMessaggi {

// Reads a whole file; on failure returns nothing and sets *errore (Italian).
std::optional<QByteArray> LeggiFile(const QString &percorso, QString *errore);

// Reads a message file for the sender and the editor: block by block, only up
// to its end marker, then runs the common scan. On failure returns nothing and
// sets *errore (Italian, naming the file); *troppoGrande, when given, says that
// the file was refused for holding more than LimiteFile bytes before its end
// marker.
std::optional<Scansione> LeggiMessaggi(const QString &percorso, QString *errore,
                                       bool *troppoGrande = nullptr);

// Creates the message file `percorso` with the comment and CorpoNuovo(),
// through the safe save; an existing file is never touched. On failure
// *errore says why (Italian).
bool CreaFileNuovo(const QString &percorso, const QString &commento, QString *errore);

// Why a file could not be saved at `percorso`, in Italian, or empty when it
// can: it is no plain file (a device, a pipe), or neither its folder takes a
// new file nor the file itself may be rewritten (what SalvaFile needs).
// Checked by trying, as the save will, without changing anything.
QString MotivoNonScrivibile(const QString &percorso);

// Writes a file safely (shared/Salvataggio.h): the bytes go to a new file in
// the same folder, which replaces the target only once every write, the sync
// and the close succeeded. When the folder allows no new file but the target
// may be written, the target is rewritten in place, and put back as it was if
// that fails. On any failure *errore says why (Italian) and the old file keeps
// its content byte for byte.
// Nothing is written, and *errore says so, where Vietato gives a reason.
bool SalvaFile(const QString &percorso, const QByteArray &dati, QString *errore);
// Why no message file may be written at a path (Italian, lower case first),
// or an empty text: the program sets it once as it starts (a site's
// versions are never written over); none by default.
extern QString (*Vietato)(const QString &percorso);

// What a signal leaves unsaved (an editor's edits, texts just read) goes to a
// new file "<base>-non-salvato-<date>-<time>.vlt", never over another one: in
// `cartella`, else the working folder, the home folder or the temporary
// folder, the first that takes it, with the permissions `modo` (those of the
// file it rescues, Salvataggio::Modo; 0600 for texts read from the panel).
// Returns the path written, or nothing with the last reason in *errore.
QString SalvaNonSalvato(const QString &cartella, const QString &base, const QByteArray &dati,
                        int modo, QString *errore);

} // namespace FormatoMessaggi
