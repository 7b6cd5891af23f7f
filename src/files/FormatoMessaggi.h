#pragma once
// Message files (.vlt): a comment line, then one line per panel text
// ("NNN" and 16 characters, a free note from column 20 on), closed by a line
// starting with "END" or "end".
//
// Files are read and written byte for byte: one byte is one character
// (Latin-1), lines end at CR LF or a lone CR when reading and with CR LF when
// writing, so a file loaded and saved again keeps every byte nobody touched.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace FormatoMessaggi {

constexpr int LunghezzaVoce = 19; // number and text
constexpr int LunghezzaMassimaEditor = 69;
constexpr int NumeroMassimoInvio = 197;
constexpr int NumeroMassimoEditor = 254;

// The lines of a file's bytes (CR LF or a lone CR end a line).
QStringList Righe(const QByteArray &dati);

struct Scansione {
    QString commento;     // line 1
    bool haCorpo = false; // something follows the comment line
    QStringList righe;    // body lines handed to a filter, in file order
};

// The scan both readers share: line 1 is the comment whatever it holds;
// empty lines are skipped; a line starting with "END" or "end" (case
// sensitive) ends the body. The last line is scanned like any other, so a
// hand-made file without the end marker keeps its last text.
Scansione ScansioneComune(const QStringList &righe);

// The sender's filter: three decimal digits forming a number up to 197;
// the record is the first 19 characters, padded with blanks.
std::optional<QString> FiltroInvio(const QString &riga);

// The editor's filter: "---" lines are skipped; the leading number of the
// first three characters (0 when there is none) must be up to 254; the line is
// padded to 19 characters or cut after 69.
std::optional<QString> FiltroEditor(const QString &riga);

// The editor's text of a scanned file: each kept line followed by CR LF.
QString TestoEditor(const Scansione &s);

// Whether the read-back puts text number n in the file body (0-181, 190-192).
bool NumeroNelCorpo(int n);
// One body line of a read-back: the three digits, the text, "*", CR LF.
QString RigaLettura(const QString &numeroTre, const QString &testo);

// The bytes of a message file: comment, CR LF, the body unchanged, CR LF,
// "end", CR LF.
QByteArray ContenutoFile(const QString &commento, const QString &corpo);

// Reads a whole file; on failure returns nothing and sets *errore (Italian).
std::optional<QByteArray> LeggiFile(const QString &percorso, QString *errore);

// Writes a file safely: the bytes go to a new file in the same folder, which
// replaces the target only once it is complete. On any failure the old file
// is untouched and *errore says why (Italian).
bool SalvaFile(const QString &percorso, const QByteArray &dati, QString *errore);

} // namespace FormatoMessaggi
