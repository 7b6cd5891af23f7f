#pragma once
// A site's versions: what its panel held (read back, or backed up before a
// send) and what was sent to it, each a message file (.vlt) of the site's
// folder versioni/, so it can be opened, edited and sent like any other.
//
// A version is never written over nor removed. Its file name is its time
// (UTC, to the millisecond), the computer that made it and its kind:
// "20261208-101502-123_portatile_letto.vlt". Two computers sharing a book
// through a synced folder therefore never make the same name, and a sync
// never has two versions of one file to choose between. Versions are numbered
// by their time, oldest first (1 is the site's baseline).

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
};

// This computer's name as it goes into file names: letters, digits and '-'.
QString Computer();

// What Elenco reads of each version: its name alone (number, time, kind,
// computer: enough for the newest one's date), or its texts too (their
// count, hash, and whether the file can be read).
enum class Lettura { Nomi, Testi };
// The site's versions, oldest first. Files that are not versions are left
// out; with Lettura::Testi, a version that cannot be read is listed with
// its reason.
QList<Versione> Elenco(const QString &impianto, Lettura lettura = Lettura::Testi);
// Why a file may not be written at `percorso`: it is in a site's versions
// folder, where only the site's jobs add files and none is ever written
// over. Else an empty text.
QString NonSiScrive(const QString &percorso);
// The texts of a version's file, or nothing with *errore (Italian).
std::optional<Testi> TestiDi(const Versione &v, QString *errore);
// The short hash of texts.
QString Impronta(const Testi &testi);

// Stores texts as a new version of the site, with `commento` as the file's
// first line. When they equal the newest version's texts, nothing is written
// and that version is returned with *nuova false. The write is synced before
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
