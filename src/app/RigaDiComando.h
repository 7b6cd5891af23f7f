#pragma once
// The command line, read before any window exists: the options, their help
// text, and the folder the tool works in when started from the desktop menu.

#include <QHash>
#include <QString>
#include <QStringList>

struct RigaDiComando {
    bool esci = false;               // the program ends at once, with codiceUscita
    int codiceUscita = 0;            // 0 after --help and --version, 2 after a wrong line
    QString uscita;                  // text for the standard output
    QString errore;                  // text for the standard error
    QHash<QString, QString> opzioni; // options given, by long name; "" for a flag

    bool ha(const QString &nome) const { return opzioni.contains(nome); }
    QString valore(const QString &nome) const { return opzioni.value(nome); }
};

// The program's arguments as text (argv[0] first).
QStringList ArgomentiDi(int argc, char *argv[]);

// Reads the arguments (the program's name first). The options of Qt itself
// (-platform offscreen, -style ...) are left to the application object.
// --help and --version give their text and end; an unknown option, an
// argument that is not an option, or an option without its value give a
// message for the standard error and exit status 2.
RigaDiComando LeggiRigaDiComando(const QStringList &argomenti);

// The tool's own folder in the user's home folder (~/Velto318); empty when
// there is no home folder to put it in (none, or the root folder).
QString CartellaUtente(const QString &casa);

// Creates the folder when it is missing and makes it the current folder.
// Returns an Italian message when either fails, else an empty text.
QString EntraInCartella(const QString &cartella);
