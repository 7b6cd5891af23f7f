#pragma once
// The link configuration file Seriale318.con, read once at start-up.
//
// Only its first line carries data, read by position: 1-2 "rs" (validity
// mark), 3-5 the link kind as a number (485 = RS485, anything else RS232),
// 10 the COM port number, 12-14 the panel identifier. A file whose content is
// not valid (missing, unreadable, empty, first line empty or not starting with
// "rs", or nothing after the first line) is replaced by the default file.
// An existing file with something in it is first copied beside it
// (Seriale318.con.bak, or .bak.1, .bak.2, ... where earlier copies stand), and
// the operator is told which rule it broke and where the copy is; where no
// copy can be made it is left as it is and the defaults are used.
// Only a regular file is read, and only as far as its first line end: a
// path that leads to anything else (a named pipe, a device, a folder) is
// neither read nor written; the defaults are used and the operator is told.

#include <QString>

inline const QString NomeFileConfigurazione = QStringLiteral("Seriale318.con");
inline const QByteArray ContenutoPredefinito = QByteArrayLiteral("rs232;COM1;&45;\r\nEND\r\n");
// A longer first line is not a configuration line (invalid content).
constexpr qint64 RigaMassima = 64 * 1024;

struct Configurazione {
    bool Modo485 = false;
    QString NumeroPorta;
    QString Identificativo;
    bool predefinitaScritta = false; // the default file was written
    // Italian note for the operator: the path is not a regular file, a file
    // that is not valid was replaced (and where its copy is) or kept, or the
    // default could not be written.
    QString avviso;
};

// The values of a valid first line.
Configurazione ValoriDaRiga(const QString &primaRiga);

// Reads the file at percorso, writing the default file where its content is not valid.
Configurazione LeggiConfigurazione(const QString &percorso);

// Reads the file named by NomeFile and sets Modo485, NumeroPorta and
// Identificativo. Returns the Italian note of Configurazione::avviso.
// reads NomeFile; writes Modo485, NumeroPorta, Identificativo
QString CaricaConfigurazione();

// The file's bytes with the identifier `id` (three characters) in positions
// 12-14 of the first line, every other byte as it was; a shorter first line
// is filled with blanks up to position 11.
QByteArray ConIdentificativo(const QByteArray &contenuto, const QString &id);

// Writes `id` into the file at percorso as ConIdentificativo does, through
// the safe save; a missing or invalid file is first replaced by the default,
// as at start-up. Returns the Italian reason when nothing was written, else
// an empty text.
QString SalvaIdentificativo(const QString &percorso, const QString &id);
