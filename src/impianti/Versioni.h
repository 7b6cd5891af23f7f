#pragma once
// A site's versions: what its panel held (read back, or backed up before a
// send) and what was sent to it, each a message file (.vlt) of the site's
// folder versioni/, so it can be opened, edited and sent like any other.
//
// A version is never written over nor removed. Its file name is its time
// (UTC, to the millisecond), the computer that made it and its kind:
// "20261208-101502-123_portatile_letto.vlt". Two computers sharing a book
// through a synced folder therefore never make the same name, and a sync
// never has two versions of one file to choose between. That name, without
// ".vlt", is the version's stable name, the same on every computer.
//
// Versions are numbered in the order this computer first saw them, which
// its file versioni/.ordine-<computer> keeps (one name a line, only ever
// appended to): a version synced in from another computer, whatever its
// time, comes after those already there and moves none of them. Versions
// not yet listed join it sorted by their time, so a book without that file
// keeps the numbers it had. The newest version is the last in that order.

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

namespace Versioni {

enum class Tipo { Letto, Inviato, Copia };
// "letto", "inviato", "copia prima dell'invio".
QString NomeTipo(Tipo tipo);

// The texts of a version: number (three digits) to its 16 places.
using Testi = QMap<QString, QString>;

struct Versione {
    int numero = 0;
    QDateTime quando; // UTC
    Tipo tipo = Tipo::Letto;
    QString computer;
    QString percorso;
    int testi = 0;       // texts it holds
    QString impronta;    // a short hash of its texts, to tell versions apart at a glance
    QString illeggibile; // why the file could not be read, empty when it was
    QString nome;        // stable: the file's name without ".vlt"
};

// A version as jobs name it: "3 (20261208-101502-123_portatile_letto)".
QString Detta(const Versione &v);

// This computer's name as it goes into file names: letters, digits and '-'.
QString Computer();

// What Elenco reads of each version: its name alone (number, time, kind,
// computer: enough for the newest one's date), or its texts too (their
// count, hash, and whether the file can be read).
enum class Lettura { Nomi, Testi };
// The site's versions, in their order (see above). Files that are not
// versions are left out; with Lettura::Testi, a version that cannot be read
// (TestiDi) is listed with its reason. None when the site's folder or its versioni/
// is a symbolic link (see CartellaDelSito).
QList<Versione> Elenco(const QString &impianto, Lettura lettura = Lettura::Testi);
// The version `chiave` names: its number, or its stable name (".vlt" may
// follow it).
std::optional<Versione> Trova(const QList<Versione> &versioni, const QString &chiave);
// Why a file may not be written at `percorso`: it is in a site's versions
// folder, where only the site's jobs add files and none is ever written
// over. A site's folder is one that holds impianto.txt, wherever it is and
// whatever the current folder; links are followed to where the file would
// land, the folder's as well as the file's own. Else an empty text.
QString NonSiScrive(const QString &percorso);
// Makes sure the folder `nome` (versioni, registro) of a site is a folder,
// made (without its parents) when `crea` asks and it is missing. The site's
// folder or that folder may be a link of this user's own (a site kept on
// another disk); in a book others may write to, a link another user planted
// there is never followed. With `crea`, a site whose folder or impianto.txt
// is gone (renamed or removed meanwhile) is refused: its folder is never
// made. Empty when it is fine (or missing, without `crea`), else why not
// (Italian).
QString CartellaDelSito(const QString &impianto, const QString &nome, bool crea);
// The texts of a version's file, or nothing with *errore (Italian) when it
// cannot be read or a send would refuse it (a file cut short without its end
// line, a number twice, a character the line cannot carry): its texts would
// be only part of them.
std::optional<Testi> TestiDi(const Versione &v, QString *errore);
// The short hash of texts.
QString Impronta(const Testi &testi);
// Texts holding every number a complete read-back holds.
bool Completa(const Testi &testi);

// What the panel is known to hold: the texts of the newest version that
// holds them all (a complete read-back, a full send), with the later ones (a
// send of some texts, their backup) applied on top in their order; without
// such a version, all of them. `versioni` are those it comes from, oldest
// first. Empty for a site without versions; nothing, with *errore (Italian),
// when one of those versions cannot be read or a send would refuse it.
struct Stato {
    Testi testi;
    QList<Versione> versioni;
};
std::optional<Stato> StatoNoto(const QString &impianto, QString *errore);
// "versione 3 (…)", or "versione 1 (…) con sopra le versioni 2 (…), 3 (…)".
QString DettoStato(const Stato &stato);

// Stores texts as a new version of the site, with `commento` as the file's
// first line. When they equal the newest version's texts (texts holding
// every number: the whole known state, StatoNoto), nothing is written and
// the newest version is returned with *nuova false. The write is synced before
// it returns. On failure nothing is returned, *errore says why (Italian, a
// full disk included) and no file is left.
std::optional<Versione> Conserva(const QString &impianto, Tipo tipo, const Testi &testi,
                                 const QString &commento, QString *errore, bool *nuova = nullptr);

// The texts two versions differ in: number, then the first's text and the
// second's (empty where one lacks the number).
struct Differenza {
    QString numero, prima, dopo;
};
QList<Differenza> Confronta(const Testi &prima, const Testi &dopo);

} // namespace Versioni
