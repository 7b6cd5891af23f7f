#pragma once
// The walk test from the command line (--prova): the texts read as test mode
// reads them, then the test cycle over and over, each change the record sees
// printed as it happens, until --durata is over or a signal comes; then the
// summary and the reports.

#include <QString>

struct RigaDiComando;

// The link is open. `porta` names the port as the operator knows it; the
// journal goes in prove/ of `cartella`. --durata counts from the start, the
// texts' reading included. Returns the exit status: 0 every input with a
// text was seen active, 1 some were not (or the time was over before the
// texts were read), 2 a report that could not be written.
// With `esito` (a test run on a site of the book), a PDF report is written
// beside the journal too, and *esito gets the count and the reports' paths
// for the site's register.
int LavoroProva(const RigaDiComando &riga, const QString &porta, const QString &cartella,
                QString *esito = nullptr);

// --rapporti-da: a past walk test read back from its journal, its count
// printed and its reports written again. Exit status as LavoroProva's, 2 for
// a journal that cannot be read.
int RapportiDaGiornale(const RigaDiComando &riga);
