#pragma once
// --confronta FILE.vlt: what a send of FILE would change on the panel. Each
// text a send would write is read back as the verification reads it, and
// nothing is written; the texts that differ are printed with both versions.

#include "files/Programmazione.h"

#include <QString>
#include <QStringList>

// A text as the operator reads it: between quotes, every blank shown as "·"
// and every control character as in the trace (<CR> ...).
QString TestoVisibile(const QString &testo);

// What is printed for an entry of the file whose text on the panel (`letto`)
// is another: the number, the file's text, the panel's text.
QString RigheDiverse(const Programmazione::Voce &voce, const QString &letto);

// The closing line: the numbers that differ among `totale` texts, or that
// the panel already holds them all; with `saltate` (lines with a broken
// number, which a send skips), not as if nothing needed doing.
QString EsitoConfronto(const QStringList &diversi, int totale, bool saltate = false);
