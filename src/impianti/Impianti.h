#pragma once
// The site book: the panels a technician looks after, one folder each under
// impianti/ in the working folder. A site's folder holds its description
// (impianto.txt, "key: value" lines a person can read and edit), its versions
// (versioni/, Versioni.h) and its register (registro/, Registro.h). Plain
// files, so that a book shared through a synced folder never conflicts:
// every description write goes through the safe save.
//
// Qt Core, the message files and the link's address rules only.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace Impianti {

struct Impianto {
    QString nome;
    QString cliente;
    QString indirizzo;
    QString porta; // the link: a device path, COMn, or a network address as --porta takes it
    QString id;    // the panel's identifier, "&NN"
    bool rs485 = false;
    bool copia = true; // a backup of the panel before every send
    QString note;      // free notes, several lines allowed
    // Lines of the description this version of the tool does not know: kept
    // as they are when the site is saved again.
    QStringList altre;
};

// The book's folder (in the current folder) and a site's.
QString Libro();
QString CartellaDi(const QString &nome);

// Why a name cannot be a site's (Italian), empty when it can: it must be
// usable as a folder name on every system the book is synced to, and as a
// name of the many-sites list (not "tutti", no comma, not an option).
QString MotivoNome(const QString &nome);
// A name as two names that are one site compare: composed (NFC), without case.
QString Piega(const QString &nome);
// Why a link or an identifier is not one, empty when it is.
QString MotivoPorta(const QString &porta);
QString MotivoId(const QString &id);
// All three, the first that is wrong.
QString MotivoImpianto(const Impianto &i);

// A regular file's bytes, read without waiting on anything else: a FIFO, a
// terminal or a folder in its place is refused, as is a file over `limite`
// bytes. Nothing, with *errore (Italian, naming the file), when refused.
std::optional<QByteArray> LeggiFile(const QString &percorso, qint64 limite, QString *errore);

// The description file's bytes, and back. A description always names its
// site by its folder: `nome` wins over what the file says.
QByteArray Descrizione(const Impianto &i);
Impianto DaDescrizione(const QByteArray &dati, const QString &nome);
// A description read and checked: the site, or the first thing wrong with it.
// A link or identifier missing or not valid, a value of the line or of the
// copy the tool does not know, a key repeated, a key that looks like one of
// the tool's and is not (a typo, another case or accent) are wrong; a key
// like none of them is one of `altre`.
struct Lettura {
    Impianto impianto;
    int riga = 0;     // the line that is wrong (1 = the first); 0: the whole file
    QString problema; // why (Italian, without the line), empty when none
};
Lettura LeggiDescrizione(const QByteArray &dati, const QString &nome);

// Creates the site's folder and description; an existing name (in any case,
// as a synced folder on another system would clash) is refused. On failure
// *errore says why (Italian) and nothing is left behind.
bool Crea(const Impianto &i, QString *errore);
// Saves an existing site's description (the safe save).
bool Aggiorna(const Impianto &i, QString *errore);
// Creates the sites of an import in order, the book locked and its names
// read once. A site whose name is taken is left out with "NOME: why" in
// *saltati. `fermati` is asked before each site: true stops there. Returns
// how many were created; -1, with *errore, when the book cannot be locked.
// The disk is synced once at the end: *errore says so if that fails.
int CreaTutti(const QList<Impianto> &impianti, const std::function<bool()> &fermati,
              QStringList *saltati, QString *errore);
// One site, or nothing with *errore (Italian) when it is not in the book or
// its description cannot be read or is wrong (naming the file and the line):
// then *rotto, when asked, is true (the site is in the book, but not usable).
std::optional<Impianto> Carica(const QString &nome, QString *errore, bool *rotto = nullptr);
// A site of the book that cannot be used, and why (Italian).
struct Rotto {
    QString nome;
    QString motivo;
};
// Every site, sorted by name without regard to case. Folders whose
// description cannot be read, or is wrong, or whose name cannot be a site's,
// are left out and named in *errori, and listed in *rotti.
QList<Impianto> Elenco(QStringList *errori = nullptr, QList<Rotto> *rotti = nullptr);
// The names of the book near `nome` (the same letters in another case, a
// part of it, one or two letters off), for an error that lists them.
QStringList Vicini(const QString &nome, const QList<Impianto> &libro);

// The site this run works on (--impianto, or "Usa" in the site window):
// its jobs go into its register, its versions into its folder. Empty: none.
QString &InUso();

// A site's link as the line takes it: COMn is the configured port's number
// (its entry in the working folder, else the system port), and anything else
// the device or network address used in its place.
struct Linea {
    QString numeroPorta; // "1" to "9" for COMn, else empty
    QString dispositivo; // the device or address, else empty
};
Linea LineaDi(const Impianto &i);

// The book as CSV: ';'-separated, UTF-8, a header row, one site a row.
QByteArray Csv(const QList<Impianto> &libro);
struct Importazione {
    QList<Impianto> impianti; // rows that make a site
    QStringList saltati;      // "riga N (NOME): why" of every row left out
    QString errore;           // why the whole file is refused (no rows then)
};
// The sites of a CSV made as above (columns found by their header, in any
// order; ',' accepted as the separator when the header has no ';'). A row
// whose site is wrong, whose rs485 or copy cell is not one the tool writes
// ("sì", "no"; RS485 or RS232 for the line), or that repeats a name of the
// file, is skipped and said. A file that is not UTF-8 is refused whole.
Importazione LeggiCsv(const QByteArray &dati);

// The folder of the site `nome` names, without regard to case: the folder
// of that exact name when there is one, else the one folder whose name
// differs only by case. Empty when there is none, or when several differ
// only by case (*errore then says to type the exact name).
QString NomeNelLibro(const QString &nome, QString *errore);

// What is odd about `i` against the other sites of `libro` (itself, by
// name, left out), in Italian, one warning each: another site with the same
// link and identifier (one panel, two sites), another RS232 site on the same
// link (an RS232 line holds one panel). Two sites are on the same link when
// `chiaveLinea` gives them one key (the runner's, SuImpianti::ChiaveLinea:
// localhost and 127.0.0.1 are one host). Empty when nothing is.
QStringList Avvisi(const Impianto &i, const QList<Impianto> &libro,
                   const std::function<QString(const Impianto &)> &chiaveLinea);

// Gives the site `vecchio` the name `nuovo`: its folder, with its versions
// and register, takes the new name. A name not valid (MotivoNome) or taken
// by another site in any case is refused, with *errore saying why.
bool Rinomina(const QString &vecchio, const QString &nuovo, QString *errore);

// The folder removed sites are kept in, beside the book.
QString Archivio();
// Moves the site's folder into the archive as NOME-yyyyMMdd-HHmmss (with a
// number added when that is taken: nothing is ever overwritten). Returns
// where it went, or empty with *errore saying why (nothing moved then).
QString Archivia(const QString &nome, QString *errore);

} // namespace Impianti
