#pragma once
// The site book from the command line: the works on the book itself
// (--nuovo-impianto, --impianti, --storia, --confronta-versioni, --registro,
// --esporta-impianti, --importa-impianti, --rinomina, --rimuovi-impianto), and what a job run on a
// site
// (--impianto) takes from it and leaves in it: its link, its versions, its
// register. Results go to the standard output, problems to the standard
// error, as Terminale.h tells.

#include "impianti/Impianti.h"
#include "impianti/Versioni.h"

#include <QString>
#include <optional>

struct RigaDiComando;

// Runs the work on the book the line asks for, and returns its exit status.
int EseguiLibro(const RigaDiComando &riga);

// The site of a job: nothing without --impianto, and for --prova a name that
// is not in the book (it stays the reports' label). A name not in the book
// is a problem, said with the names near it: *uscita gets the exit status.
std::optional<Impianti::Impianto> ImpiantoDelLavoro(const RigaDiComando &riga, int *uscita);

// All that is known of a site's panel (Versioni::StatoNoto), for a
// comparison without a file; nothing, with the problem said and *uscita set,
// when it has no version to compare with or one of them cannot be used.
std::optional<Versioni::Stato> UltimaVersione(const QString &impianto, int *uscita);

// What a job does, as its register line says it.
QString AzioneDi(const RigaDiComando &riga);
