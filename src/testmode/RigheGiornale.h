#pragma once
// What the walk test's record, its wording and its journal share: the words
// of the journal's lines, written and read back. Inside the record only;
// callers use RegistroProva.h.

#include <QString>

namespace Prova {

struct Evento;

// The value of the event of an input active at its first reading.
inline const QString ValoreGiaAttivo = QStringLiteral("inizio");

// The journal's lines that are read back: its head, the technician's
// lines and its end.
const char *const Testata = "# Velto318, prova ingressi della centrale %1 sulla porta %2, "
                            "iniziata il %3";
const char *const RigaIngresso = "# ingresso ";
const char *const NonContato = "(non contato)";
const char *const NotaIngresso = "nota dell'ingresso ";
const char *const FineProva = "fine della prova: ";
const char *const CampoImpianto = "impianto: ";
const char *const CampoTecnico = "tecnico: ";
const char *const PrimaDellInizio = " (prima dell'inizio)";
const char *const AttivoAllaPrimaLettura = "attivo alla prima lettura";

// What happened, in words, as Descrizione says it of an event since the
// start.
QString Accaduto(const Evento &e);

} // namespace Prova
