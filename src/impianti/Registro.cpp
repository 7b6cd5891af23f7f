#include "impianti/Registro.h"

#include "impianti/Impianti.h"
#include "impianti/Versioni.h"
#include "shared/Salvataggio.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace Manutenzione {

namespace {

// A line of the file: time, key, "inizio" or "fine", user, computer, link,
// action, outcome; separated by tabs.
constexpr int Campi = 8;

QString Cartella(const QString &impianto) {
    return QDir(Impianti::CartellaDi(impianto)).filePath(QStringLiteral("registro"));
}

// A field on one line, without tabs.
QString Campo(const QString &testo) {
    QString c = testo;
    for (QChar &ch : c)
        if (ch == QLatin1Char('\t') || ch == QLatin1Char('\n') || ch == QLatin1Char('\r'))
            ch = QLatin1Char(' ');
    return c;
}

bool Scrivi(const QString &impianto, const QStringList &campi, QString *errore) {
    if (!QDir().mkpath(Cartella(impianto))) {
        *errore = QStringLiteral("impossibile creare la cartella %1")
                      .arg(QDir::toNativeSeparators(Cartella(impianto)));
        return false;
    }
    QStringList puliti;
    for (const QString &c : campi)
        puliti << Campo(c);
    const QByteArray riga = (puliti.join(QLatin1Char('\t')) + QLatin1Char('\n')).toUtf8();
    const QString percorso =
        QDir(Cartella(impianto)).filePath(Versioni::Computer() + QStringLiteral(".txt"));
#ifdef Q_OS_UNIX
    QString finale, motivo;
    if (!Salvataggio::Destinazione(percorso, &finale, &motivo)) {
        *errore = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(percorso), motivo);
        return false;
    }
    const int fd = ::open(QFile::encodeName(finale).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    // One write of the whole line: appends of two runs never interleave.
    const bool fatto = fd >= 0 && Salvataggio::ScriviTutto(fd, riga) && ::fsync(fd) == 0;
    const int numero = errno;
    if (fd >= 0) ::close(fd);
    if (!fatto)
        *errore = QStringLiteral("registro %1 non scritto: %2")
                      .arg(QDir::toNativeSeparators(percorso), Salvataggio::Motivo(numero));
    return fatto;
#else
    QFile f(percorso);
    const bool fatto = f.open(QIODevice::WriteOnly | QIODevice::Append) &&
                       f.write(riga) == riga.size() && f.flush();
    if (!fatto)
        *errore = QStringLiteral("registro %1 non scritto: %2")
                      .arg(QDir::toNativeSeparators(percorso), f.errorString());
    return fatto;
#endif
}

// Local time with its offset from UTC: lines of computers in other zones sort right.
QString Ora() {
    const QDateTime ora = QDateTime::currentDateTime();
    return ora.toOffsetFromUtc(ora.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// The job of a key is still running here: its process is alive.
bool AncoraInCorso(const QString &chiave) {
#ifdef Q_OS_UNIX
    const QStringList parti = chiave.split(QLatin1Char('-'));
    if (parti.size() < 3) return false;
    const QString computer = parti.mid(0, parti.size() - 2).join(QLatin1Char('-'));
    const pid_t pid = pid_t(parti.at(parti.size() - 2).toLongLong());
    return computer == Versioni::Computer() && pid > 0 && ::kill(pid, 0) == 0;
#else
    Q_UNUSED(chiave);
    return false;
#endif
}

} // namespace

QString Utente() {
#ifdef Q_OS_UNIX
    if (const passwd *p = ::getpwuid(::geteuid()); p && p->pw_name)
        return QString::fromLocal8Bit(p->pw_name);
#endif
    const QString u = qEnvironmentVariable("USERNAME", qEnvironmentVariable("USER"));
    return u.isEmpty() ? QStringLiteral("?") : u;
}

QList<Voce> Leggi(const QString &impianto, QString *errore) {
    QList<Voce> voci;
    QHash<QString, qsizetype> aperti; // key -> index in voci of its start
    const QDir cartella(Cartella(impianto));
    for (const QString &nome : cartella.entryList({QStringLiteral("*.txt")}, QDir::Files)) {
        QFile f(cartella.filePath(nome));
        if (!f.open(QIODevice::ReadOnly)) {
            *errore = QStringLiteral("impossibile leggere %1: %2")
                          .arg(QDir::toNativeSeparators(f.fileName()), f.errorString());
            continue;
        }
        for (const QByteArray &r : f.readAll().split('\n')) {
            const QStringList c = QString::fromUtf8(r).split(QLatin1Char('\t'));
            if (c.size() < Campi) continue; // a line cut short by a full disk
            Voce v;
            v.quando = QDateTime::fromString(c[0], Qt::ISODateWithMs);
            if (!v.quando.isValid()) continue;
            v.utente = c[3];
            v.computer = c[4];
            v.porta = c[5];
            v.azione = c[6];
            v.esito = c[7];
            const QString chiave = c[1];
            if (c[2] == QLatin1String("inizio")) {
                v.finito = false;
                v.esito = AncoraInCorso(chiave) ? QStringLiteral("in corso")
                                                : QStringLiteral("non finito (interrotto?)");
                aperti.insert(chiave, voci.size());
                voci << v;
            } else if (const auto i = aperti.constFind(chiave); i != aperti.constEnd()) {
                voci[*i] = v; // the end replaces its start
                aperti.erase(i);
            } else {
                voci << v;
            }
        }
    }
    std::stable_sort(voci.begin(), voci.end(),
                     [](const Voce &a, const Voce &b) { return a.quando < b.quando; });
    return voci;
}

Lavoro::Lavoro(const QString &impianto, const QString &porta, const QString &azione)
    : impianto_(impianto), porta_(porta), azione_(azione) {
    chiave_ = QStringLiteral("%1-%2-%3")
                  .arg(Versioni::Computer())
                  .arg(QCoreApplication::applicationPid())
                  .arg(QDateTime::currentMSecsSinceEpoch());
    Scrivi(impianto_,
           {Ora(), chiave_, QStringLiteral("inizio"), Utente(), Versioni::Computer(), porta_,
            azione_, QString()},
           &errore_);
}

bool Lavoro::Fine(const QString &esito) {
    if (finito_) return true;
    finito_ = true;
    return Scrivi(impianto_,
                  {Ora(), chiave_, QStringLiteral("fine"), Utente(), Versioni::Computer(), porta_,
                   azione_, esito},
                  &errore_);
}

bool Annota(const QString &impianto, const QString &porta, const QString &azione,
            const QString &esito, QString *errore) {
    const QString chiave = QStringLiteral("%1-%2-%3")
                               .arg(Versioni::Computer())
                               .arg(QCoreApplication::applicationPid())
                               .arg(QDateTime::currentMSecsSinceEpoch());
    return Scrivi(impianto,
                  {Ora(), chiave, QStringLiteral("fine"), Utente(), Versioni::Computer(), porta,
                   azione, esito},
                  errore);
}

} // namespace Manutenzione
