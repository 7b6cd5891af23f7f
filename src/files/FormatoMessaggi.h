#pragma once
// Message files (.vlt): a comment line, then one line per panel text
// ("NNN" and 16 characters, a free note from column 20 on), closed by a line
// starting with "END" or "end".
//
// Files are read and written byte for byte: one byte is one character
// (Latin-1), lines end at CR LF or a lone CR when reading and with CR LF when
// writing, so a file loaded and saved again keeps every byte nobody touched.
// A file made on Linux, with no CR up to its end marker but with LF, is read
// with LF as its line end.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace FormatoMessaggi {

// An entry is Comandi::LunghezzaVoce characters long (link/Comandi.h); the
// editor keeps a line up to this length.
constexpr int LunghezzaMassimaEditor = 69;
constexpr int NumeroMassimoInvio = 197;
constexpr int NumeroMassimoEditor = 254;

// The lines of a file's bytes (CR LF or a lone CR end a line).
QStringList Righe(const QByteArray &dati);

// At most this many bytes of a message file come before its end marker.
constexpr qsizetype LimiteFile = 1024 * 1024;

// How much of a file's first bytes the readers use. The reading by LF is taken
// when none of the bytes it uses (up to the end of the end marker line, or the
// whole file without one) is a CR and an LF is among them; otherwise lines end
// at CR LF or a lone CR. The part ends with the end marker's line; without one
// it is the whole file. Troppo: more than `limite` bytes stand before the end
// marker (before the end of the file when it has none). Incompleta: more bytes
// are needed to tell; `tutto` says that `dati` is the whole file.
struct Parte {
    enum Esito { Incompleta, Pronta, Troppo } esito = Incompleta;
    bool lf = false;    // lines end at LF
    qsizetype fine = 0; // bytes used, end marker included
};
Parte ParteUsata(const QByteArray &dati, bool tutto, qsizetype limite = LimiteFile);

// The lines of the part of a file ParteUsata found ready, split as it says.
QStringList RigheDellaParte(const QByteArray &dati, const Parte &parte);
// The lines of a whole file as the readers take them: by LF when ParteUsata
// says so, otherwise as Righe().
QStringList RigheLette(const QByteArray &dati);

struct Scansione {
    QString commento;     // line 1
    bool haCorpo = false; // something follows the comment line
    QStringList righe;    // body lines handed to a filter, in file order
    QList<int> numeri;    // each body line's line number in the file (comment: 1)
    bool chiusa = false;  // the body ended at an end marker
    // An empty line stands just before the end marker (before the file's end
    // when it has none), as the writer leaves it.
    bool vuotaInFondo = false;
};

// The scan both readers share: line 1 is the comment whatever it holds;
// empty lines are skipped; a line starting with "END" or "end" (case
// sensitive) ends the body. The last line is scanned like any other, so a
// hand-made file without the end marker keeps its last text in the editor;
// the sender refuses such a file, which may have been cut short.
Scansione ScansioneComune(const QStringList &righe);

// A text line: its first three characters are decimal digits.
bool RigaConNumero(const QString &riga);
// A text line whose number lost a digit, or got a character in front: one or
// two of its first three characters are decimal digits ("02Testo",
// " 004Testo"). The sender's filter skips it; a line without any digit there
// is a comment.
bool NumeroSpezzato(const QString &riga);

// The sender's filter: three decimal digits forming a number up to 197;
// the record is the first 19 characters, padded with blanks.
std::optional<QString> FiltroInvio(const QString &riga);

// The editor's filter: "---" lines are skipped; the leading number of the
// first three characters (0 when there is none) must be up to 254; the line is
// padded to 19 characters or cut after 69.
std::optional<QString> FiltroEditor(const QString &riga);

// The editor's text of a scanned file: each kept line followed by CR LF.
QString TestoEditor(const Scansione &s);

// The body to write for an editor's text (each line followed by CR LF): as
// it is when the file had an empty line before its end marker, otherwise
// without its last line end, so that ContenutoFile gives the file back with
// the same lines.
QString CorpoComeNelFile(const QString &corpo, bool vuotaInFondo);

// Whether the read-back puts text number n in the file body (0-181, 190-192).
bool NumeroNelCorpo(int n);
// One body line of a read-back: the three digits, the text, "*", CR LF.
QString RigaLettura(const QString &numeroTre, const QString &testo);

// The body of a new message file: the lines a read-back writes (RigaLettura),
// each with 16 blanks as its text.
QString CorpoNuovo();

// Why a message file may not take this name (without folder), in Italian, or
// empty when it may: it must end in ".vlt" (any case) and hold no folder and
// no control character.
QString MotivoNomeRifiutato(const QString &nome);
const QString NomeSenzaVlt = QStringLiteral("Il nome deve finire con .vlt");
// A control character or a line break: no place in a file name.
bool HaCaratteriDiControllo(const QString &nome);

// The bytes of a message file: comment, CR LF, the body unchanged, CR LF,
// "end", CR LF.
QByteArray ContenutoFile(const QString &commento, const QString &corpo);

// The comment line as it may be written: every line break (CR LF, CR or LF)
// becomes one blank, so a comment never adds a line to the file.
QString SenzaACapo(const QString &testo);

// The editor shows a lone LF inside a line as this visible character, and
// writes it back as the LF (no byte of a file maps to it).
constexpr QChar SegnapostoLF = u'\u21B5'; // an arrow the fixed-pitch fonts draw
// The editor's text of a body (CR LF ends a line; a lone LF is a placeholder).
QString TestoVisibile(const QString &corpo);
// The body of an editor's raw text: block ends become CR LF, placeholders LF.
QString CorpoDaTesto(const QString &testoGrezzo);

} // namespace FormatoMessaggi
