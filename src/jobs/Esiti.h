#pragma once
// What the jobs say of their results, in the same words on a terminal and
// in the windows: texts quoted as the operator reads them, the panel's rest
// state, an identifier a search found, what a comparison found. Qt Core only.

#include "files/Programmazione.h"

#include <QString>
#include <QStringList>

// A text between quotes, every control character as in the trace (<CR> ...).
QString Citato(const QString &testo);

// The panel's rest state as a status reply gave it ("a riposo", ...).
QString TestoRiposo(const QString &stato);

// A line for an identifier that answers a search, with its status reply.
QString RigaTrovato(const QString &id, const QString &risposta);
// Replies that could not be trusted (answers, but never twice the same
// whole text, or never a whole reply), and why as the link says it; without
// a stop.
// "le risposte della centrale <diChi> sulla porta P non sono affidabili
// (why)": `diChi` names the panel or the request.
QString NonAffidabili(const QString &diChi, const QString &porta);
// "Errore seriale: le risposte della centrale alla lettura (or rilettura)
// del testo NNN sulla porta P non sono affidabili (why)".
QString RisposteNonAffidabili(const QString &numero, bool rilettura, const QString &porta);
// "Risposte non affidabili: why", for a status line or a button's tip.
QString LineaDisturbata();
// A text not read, in short: "Testo NNN: risposte non affidabili" (`incerta`)
// or "Testo NNN: nessuna risposta".
QString TestoNonLetto(const QString &numero, bool incerta);

// What a search found when nothing answered, and an echoing line: the
// facts, which each front follows with its own way to act on them.
// "Nessuna centrale risponde sulla porta P"
QString NessunaCentrale(const QString &porta);
// "Controlla il cavo, l'alimentazione della centrale e il tipo di linea"
QString ControllaLaLinea();
// "La linea restituisce l'eco di ogni comando, come un bus RS485"
QString LineaConEco();

// A search's line for identifiers that answered, but never with a whole
// reply (empty when there are none): they are not counted.
QString RigaNonInteri(const QStringList &ids);

// A text as the operator reads it: between quotes, every blank shown as "·"
// and every control character as in the trace (<CR> ...).
QString TestoVisibile(const QString &testo);

// What is printed for an entry of the file whose text on the panel (`letto`)
// is another: the number, the file's text, the panel's text.
QString RigheDiverse(const Programmazione::Voce &voce, const QString &letto);

// The closing line: the numbers that differ among `totale` texts, or that
// the panel already holds them all; with `saltate` (lines with a broken
// number, which a send skips), not as if nothing needed doing.
// A send verified whole: "DATI UGUALI  TUTTO OK (N testi scritti e
// verificati<dettagli>)"; with lines skipped, the words that ask to mend them.
QString DatiUguali(int scritti, const QString &dettagli, bool saltate = false);
// The words the panel's windows have always shown of a send: "DATI UGUALI
// TUTTO OK" (two blanks); "DATI UGUALI, ma <cosa>" when something is
// missing, as "le righe saltate non sono state inviate" (RigheSaltate);
// "Errore Dati non scritti giusti" when a text read back is another.
QString TuttoOk();
QString DatiUgualiMa(const QString &cosa);
QString RigheSaltate();
QString DatiNonScrittiGiusti();

// With `versione` (a site's known texts, as Versioni::DettoStato says them),
// the words say what the panel was compared with instead of a file.
QString EsitoConfronto(const QStringList &diversi, int totale, bool saltate = false,
                       const QString &versione = QString());
// Whether a job's last words are those of a comparison that found texts
// the panel holds otherwise (EsitoConfronto with differences).
bool ParlaDiDifferenze(const QString &riga);
