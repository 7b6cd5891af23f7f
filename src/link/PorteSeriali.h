#pragma once
// The serial ports of this machine, for the operator: which ones are present,
// who holds a port that cannot be opened, and the message that says so.
// No operation here reads or writes a global.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QSerialPortInfo;

struct PortaSeriale {
    QString dispositivo; // /dev/ttyUSB0, COM3
    QString descrizione;
    QString produttore;
    QString numeroSerie;
};

// The ports the system reports, in order of device name.
QList<PortaSeriale> PortePresenti();
PortaSeriale DaInfo(const QSerialPortInfo &info);

// One port a line: device, description, maker, serial number, in aligned
// columns, "-" for what the port does not tell. One sentence when there is none.
// With `intestazione`, a first line names the columns.
QString ElencoPorte(const QList<PortaSeriale> &porte, bool intestazione = false);

// The device the --porta option names. A link (/dev/serial/by-id/...) is
// followed to its device, so that two tools on one port see each other's
// lock; a relative path is made absolute; anything else (COM3) stays as given.
QString DispositivoDaOpzione(const QString &valore);

// Names a lock file of the device may have: LCK..ttyUSB0; for /dev/pts/3
// both LCK..pts_3 (as Qt names it) and LCK..3 (as UUCP programs do).
QStringList NomiFileLock(const QString &dispositivo);
// The process number a lock file holds: text (UUCP, Qt), or four bytes of
// older programs. 0 when it holds none.
qint64 PidDaLock(const QByteArray &contenuto);

// Who holds the device, as "minicom (PID 4242)": from a lock file in one of
// the lock folders whose process is alive, else from a process with the
// device open (Linux /proc). Empty when neither tells, and on Windows.
QString ChiTieneLaPorta(const QString &dispositivo);
QString ChiTieneLaPorta(const QString &dispositivo, const QStringList &cartelleLock,
                        const QString &proc);

// Whether this user may read and write the device (Unix); on Windows always
// Consentito. A refused opening of a device the user may use means it is
// busy; only Negato is a matter of permissions.
enum class Accesso { Consentito, Negato, NomeTroppoLungo, Altro };
Accesso AccessoAlDispositivo(const QString &dispositivo);

// What the start-up message is made of when the port does not open.
struct AperturaFallita {
    QString porta;         // "COM1"
    QString dispositivo;   // what it names (empty when the number is not 1 to 9)
    QString motivo;        // why the opening failed
    bool occupata = false; // held by another program
    bool negata = false;   // this user may not use the device
    QString chi;           // who holds it, when known
    QString cartella;      // start-up folder, where COM1 ... COM9 links are looked up
    QList<PortaSeriale> porte;
};

// The operator's message: port, device and reason; who holds a busy port
// (and nothing more: the port is there); otherwise the ports present and
// the ways to use one (a COMn link in the start-up folder, or --porta).
QString MessaggioAperturaFallita(const AperturaFallita &a);
// The same failure without what to do next: port, device, reason and who
// holds a busy port, on one line, for lines nobody reads at the keyboard.
QString MotivoAperturaFallita(const AperturaFallita &a);
