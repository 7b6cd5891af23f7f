#pragma once
// The command line, read before any window exists: the options, their help
// text, and the folder the tool works in when started from the desktop menu.

#include <QString>
#include <QStringList>

// The job run without windows, if any: one at a time.
enum class Lavoro { Nessuno, Invia, Leggi, Stato, Cerca, Confronta, Prova };

// What the line asks of the site book, with no panel: one at a time, and
// never with a job.
// The works with no panel: on the site book, and a walk test's reports made
// again from its journal (Giornale).
enum class Libro {
    Nessuna,
    Nuovo,
    Elenco,
    Storia,
    ConfrontaVersioni,
    Registro,
    Esporta,
    Importa,
    Giornale,
    Rinomina,
    Rimuovi
};

// The command line as read once: every option in its own field. An option
// that takes a value never has an empty one, so an empty text is an option
// not given.
struct RigaDiComando {
    bool esci = false;    // the program ends at once, with codiceUscita
    int codiceUscita = 0; // 0 after --help and --version, 2 after a wrong line
    QString uscita;       // text for the standard output
    QString errore;       // text for the standard error

    bool aiuto = false;          // --help
    bool versione = false;       // --version
    bool porte = false;          // --porte: list the serial ports and end
    QString porta;               // --porta DISPOSITIVO (resolved by PreparaAvvio)
    bool cartellaUtente = false; // --cartella-utente: work in ~/Velto318
    QString traccia;             // --traccia FILE
    QString id;                  // --id &NN, for the job
    bool rs485 = false;          // --rs485, for the job
    Lavoro lavoro = Lavoro::Nessuno;
    QString file; // FILE.vlt of --invia, --leggi, --confronta (absolute after PreparaAvvio)

    // The walk test (--prova): its length in seconds (0: until a signal), the
    // reports to write (absolute after PreparaAvvio), the site and the technician.
    int durata = 0;
    QStringList rapporti;
    QString impianto, tecnico;
    QString giornale; // --rapporti-da GIORNALE: a past walk test (absolute after PreparaAvvio)

    // The site book. --impianto NOME names the site of a job (its link, its
    // register, its versions) or of --storia, --confronta-versioni, --registro.
    Libro libro = Libro::Nessuna;
    QString nuovoImpianto;            // --nuovo-impianto NOME
    QString cliente, indirizzo, note; // its details
    bool senzaCopia = false;          // --senza-copia
    QString portaImpianto;            // --porta as a site keeps it (after PreparaAvvio)
    int versioneA = 0, versioneB = 0; // --confronta-versioni N M
    QString csv; // FILE.csv of --esporta-impianti, --importa-impianti (absolute after PreparaAvvio)
    int ripristina = 0;      // --ripristina N: the send of version N (lavoro is Invia)
    QString rinomina;        // --rinomina NUOVO: the new name of the site of --impianto
    QString rimuoviImpianto; // --rimuovi-impianto NOME (moved to the archive only with --si)

    // One job over many sites: --su-impianti LISTA ("tutti" or names), at
    // most --paralleli links at once, the result file of --esito, and --si
    // to let a send write to them all (or --rimuovi-impianto move a site).
    QString suImpianti;
    int paralleli = 0;
    QString esito;
    bool si = false;
};

// The program's arguments as text (argv[0] first), as file names are
// decoded.
QStringList ArgomentiDi(int argc, char *argv[]);

// Reads the arguments (the program's name first). The options of Qt itself
// (-platform offscreen, -style ...) are left to the application object.
// --help and --version give their text and end; an unknown option, an
// argument that is not an option, or an option without its value give a
// message for the standard error and exit status 2.
RigaDiComando LeggiRigaDiComando(const QStringList &argomenti);
// The same from the program's own arguments. An argument whose bytes do not
// come back from its text (a file name that is not UTF-8: the file could
// only be opened or written under another name) is refused first, with its
// bytes named and exit status 2.
RigaDiComando LeggiRigaDiComando(int argc, char *argv[]);

// What the line asks of the start, done once before the windows or a job
// start, while the current folder is still the one the command was given
// in: the job's file named from there, the device of --porta resolved, the
// trace of --traccia opened (one that does not open is said on the standard
// error, and the run goes on); then the folder of --cartella-utente entered.
// Returns the message when that folder cannot be entered, else an empty text.
QString PreparaAvvio(RigaDiComando &riga);

// The link of --porta as a site keeps it: COMn and a network address as
// typed, a device as an absolute path (not resolved: a by-id link stays one).
QString PortaDiImpianto(const QString &porta);

// The tool's own folder in the user's home folder (~/Velto318); empty when
// there is no home folder to put it in (none, or the root folder).
QString CartellaUtente(const QString &casa);

// Creates the folder when it is missing and makes it the current folder.
// Returns an Italian message when either fails, else an empty text.
QString EntraInCartella(const QString &cartella);
