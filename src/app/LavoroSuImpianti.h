#pragma once
// --su-impianti: one job over many sites of the book, side by side (see
// jobs/SuImpianti.h): each site's outcome as it ends on the standard output,
// the progress on a terminal's standard error, the summary at the end and
// the result file when asked.

#include <QString>
#include <QStringList>

struct SuImpiantiRiga {
    QString lista;      // "tutti" or names separated by commas
    QStringList lavoro; // the job's options, as a single site's job takes them
    QString azione;     // the job in its register's words ("lettura dei testi")
    int paralleli = 8;  // links worked at once
    QString esito;      // the result file (.csv, .json), or empty
    bool invio = false; // the job writes to the panels
    bool si = false;    // --si: the writes are wanted
};

// The run that the command line asks: each site's job with the options of
// the line's job (--invia with its file, --senza-copia).
struct RigaDiComando;
SuImpiantiRiga SuImpiantiDi(const RigaDiComando &riga);

// Runs it; returns 0 when every site ended well, 1 when any differed or
// failed, 2 for a usage error (an unknown site, no sites, a send without --si,
// a result file whose folder is missing or takes no file: no site started)
// and when the result file could not be written after the run.
int EseguiSuImpianti(const SuImpiantiRiga &riga);
