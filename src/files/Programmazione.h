#pragma once
// What a send writes and what a read-back keeps: plain functions without
// windows, used by the programming window's send and read-back jobs.

#include "files/FormatoMessaggi.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Programmazione {

// One accepted line of a message file: its 19-character entry, the number of
// the file line it stands on (the comment line is line 1), and that line whole.
struct Voce {
    QString voce; // 19 characters: the text's number (three digits) and its 16 places
    int riga = 0;
    QString linea;
    QString numero() const { return voce.left(3); }
    QString testo() const { return voce.mid(3); }
    bool isEmpty() const { return voce.isEmpty(); }
};

// The entries a send writes, in file order, from the scan of a message file.
QList<Voce> VociDaInviare(const FormatoMessaggi::Scansione &scansione);

// Why a send must not write anything, in Italian, or empty when it may: a file
// without any text to send, a file that does not end at its end marker
// (`chiusa` false: a copy interrupted, a file still being written), more
// texts than the table holds, one number on two lines (the panel would keep
// the second text only), or a text holding a character the 7-bit line cannot
// carry (the first such, with its line).
QString RifiutoInvio(const QList<Voce> &voci, bool chiusa);

// The first character of an entry the 7-bit line cannot carry, as the
// operator knows it (`carattere "è"`, read from the entry's whole line), or
// empty when the line carries every one.
QString CarattereRifiutato(const Voce &v);

// What a send would do to one line of a message file other than write its
// text as it stands, in Italian (`Testo 001, riga 2: carattere "è" non
// trasmissibile`, the line named when `numeroRiga` is given),
// or empty: a character refused, a number above the highest the panel takes,
// a text padded with blanks, or a text running on into the note column (the
// send keeps 16 characters). Lines that are no text line (a comment, the end
// marker) have nothing to tell. The editor marks lines with it as they are typed.
QString ProblemaRiga(const QString &riga, int numeroRiga = 0);

// ProblemaRiga for each line of a message file's body, whose first line is
// line `primaRiga` of the file; a line whose number a send finds on another
// line too says so instead, as the send's refusal names it, and so does a
// line that starts with one or two digits only (a number broken: the send
// skips it as a comment).
QStringList ProblemiRighe(const QStringList &righe, int primaRiga);

// The lines of a file a send skips because their number is broken
// (FormatoMessaggi::NumeroSpezzato), by their line number in the file.
QList<int> RigheSpezzate(const FormatoMessaggi::Scansione &scansione);

// What a send leaves out of a file without refusing it, in Italian, or empty:
// the lines whose number is broken, each named (past five, the first five and
// how many more), then the lines whose three-digit number is above the
// highest the panel takes.
QString RigheNonInviate(const FormatoMessaggi::Scansione &scansione);

// The text a read-back keeps of a text read from the panel: every CR or LF
// turned into a blank, so that a text never splits a line of the message file.
QString TestoLetto(const QString &testo);

} // namespace Programmazione
