#pragma once
// A site's maintenance register: one line for every job run on the site and
// every action from its windows, as it ends. Each computer appends only to
// its own file (registro/<computer>.txt in the site's folder), so two
// computers sharing a book through a synced folder never edit one file; the
// register is shown merged by time. Lines are only ever appended, each
// written whole, flushed and synced before the job goes on. A copy a sync
// tool made of a register on a conflict ("pc1.sync-conflict-….txt",
// "pc1 (conflicted copy …).txt") is not a computer's register: it is named
// once in the register, and only its lines the register has not are shown.
//
// A job writes a line when it starts and one when it ends, under one key; a
// job that was killed leaves its start alone, and the register shows it as
// not finished. The key names the computer, its boot and the process with
// its start time: a job is "in corso" only while that very process runs, not
// another that got its number since (a container's PID 1 is always there).

#include <QDateTime>
#include <QList>
#include <QString>

namespace Manutenzione {

struct Voce {
    QDateTime quando; // when it ended (when it started, for a job not finished)
    QString utente, computer, porta, azione, esito;
    bool finito = true;
    // A line only in a sync tool's conflict copy (and the copy's own entry):
    // the copy's file name; empty for a line of a computer's register.
    QString copia;
    bool inCorso = false; // a job not finished whose process still runs here
};

// The register of a site, every computer's lines merged, oldest first. On
// failure *errore says why (Italian) and what could be read is returned.
QList<Voce> Leggi(const QString &impianto, QString *errore);

// Why the site's folder may not move (be renamed or removed) now: a job
// runs on it, and its version and end line would have nowhere to go. The
// job as the register tells it ("un lavoro è in corso sull'impianto
// (lettura dei testi, dal 2026-12-08 10:15:02, di anna su pc1): …"); empty
// when none runs.
QString NonSiSposta(const QString &impianto);

// A job's two lines. The start is written at once (Errore() says when it
// could not be); Fine() writes the end. A job ended without Fine() (killed)
// leaves the start alone.
class Lavoro {
  public:
    Lavoro(const QString &impianto, const QString &porta, const QString &azione);
    bool Fine(const QString &esito);
    // The azione as the end line will say it (a job learns its file or
    // version numbers as it goes).
    void Azione(const QString &azione) { azione_ = azione; }
    QString Errore() const { return errore_; }

  private:
    QString impianto_, porta_, azione_, chiave_, errore_;
    bool finito_ = false;
};

// One action of the windows, already ended: its one line.
bool Annota(const QString &impianto, const QString &porta, const QString &azione,
            const QString &esito, QString *errore);

// The operating-system user running the tool.
QString Utente();

} // namespace Manutenzione
