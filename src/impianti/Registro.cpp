#include "impianti/Registro.h"

#include "impianti/Impianti.h"
#include "impianti/Versioni.h"
#include "shared/Numeri.h"
#include "shared/Salvataggio.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <optional>

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
    if (const QString motivo =
            Versioni::CartellaDelSito(impianto, QStringLiteral("registro"), true);
        !motivo.isEmpty()) {
        *errore = motivo;
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

// This boot of the computer (Linux): a process number names one process
// only within one boot. Empty where the system does not say.
QString Avvio() {
    static const QString avvio = [] {
        QFile f(QStringLiteral("/proc/sys/kernel/random/boot_id"));
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll().trimmed()) : QString();
    }();
    return avvio;
}

// When process `pid` started, in clock ticks since the boot (field 22 of
// /proc/PID/stat); empty where the system does not say, or with no such
// process.
QString InizioProcesso(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return QString();
    const QByteArray stat = f.readAll();
    // Field 2, the command's name, is in parentheses and may hold spaces and
    // parentheses: the fields from the third follow the last ')'.
    const qsizetype fine = stat.lastIndexOf(')');
    if (fine < 0) return QString();
    const QList<QByteArray> campi = stat.mid(fine + 1).simplified().split(' ');
    return campi.size() > 19 ? QString::fromLatin1(campi[19]) : QString();
}

// The key of a job's lines: "COMPUTER-PID-MILLISECONDS:BOOT:START", the
// process's start as InizioProcesso() gives it.
QString Chiave() {
    const qint64 pid = QCoreApplication::applicationPid();
    return QStringLiteral("%1-%2-%3:%4:%5")
        .arg(Versioni::Computer())
        .arg(pid)
        .arg(QDateTime::currentMSecsSinceEpoch())
        .arg(Avvio(), InizioProcesso(pid));
}

// The job of a key is still running here: the same computer, in the same
// boot, and its process, started when the key says, is alive. A key of
// before, "COMPUTER-PID-MILLISECONDS", cannot tell its process from another
// given the number since: its job reads as not running.
bool AncoraInCorso(const QString &chiave) {
#ifdef Q_OS_UNIX
    const QStringList campi = chiave.split(QLatin1Char(':'));
    const QStringList parti = campi[0].split(QLatin1Char('-'));
    if (campi.size() != 3 || parti.size() < 3) return false;
    const QString computer = parti.mid(0, parti.size() - 2).join(QLatin1Char('-'));
    const qint64 pid = parti.at(parti.size() - 2).toLongLong();
    return computer == Versioni::Computer() && pid > 0 && campi[1] == Avvio() &&
           ::kill(pid_t(pid), 0) == 0 && campi[2] == InizioProcesso(pid);
#else
    Q_UNUSED(chiave);
    return false;
#endif
}

// The register a file of registro/ is a sync tool's conflict copy of, made
// when two computers changed it at once: "pc1.txt" for
// "pc1.sync-conflict-20261208-101010-ABCDEF.txt", "pc1 (conflicted copy
// 2026-12-08).txt", "pc1 (Copia in conflitto di anna 2026-12-08).txt",
// "pc1-conflict-20261208.txt" or "pc1_conflict-…"; empty for a computer's own
// register. `nomi`: the files of the folder.
QString OriginaleDi(const QString &nome, const QStringList &nomi) {
    static const QRegularExpression copia(
        QStringLiteral(R"(^([A-Za-z0-9-]+?)(\.sync-conflict-.*|)"
                       R"( \([^)]*(conflicted copy|copia in conflitto)[^)]*\)|)"
                       R"([-_]conflict-.*)\.txt$)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = copia.match(nome);
    if (!m.hasMatch()) return QString();
    const QString originale = m.captured(1) + QStringLiteral(".txt");
    // "pc1-conflict-2" could also be a computer's own name: it is a copy only
    // beside the register of pc1.
    if (m.captured(2).startsWith(QLatin1Char('-')) && !nomi.contains(originale)) return QString();
    return originale;
}

// A line of a register file, read: its entry, key and kind.
struct Riga {
    Voce voce;
    QString chiave;
    bool inizio = false;
};

// Nothing for a line cut short (a full disk) or not of a register.
std::optional<Riga> DaRiga(const QByteArray &r) {
    const QStringList c = QString::fromUtf8(r).split(QLatin1Char('\t'));
    if (c.size() < Campi) return std::nullopt;
    Riga riga;
    Voce &v = riga.voce;
    v.quando = QDateTime::fromString(c[0], Qt::ISODateWithMs);
    if (!v.quando.isValid()) return std::nullopt;
    v.utente = c[3];
    v.computer = c[4];
    v.porta = c[5];
    v.azione = c[6];
    v.esito = c[7];
    riga.chiave = c[1];
    riga.inizio = c[2] == QLatin1String("inizio");
    return riga;
}

// Puts a line among the entries: a start as not finished (or running), an
// end in place of its start. `copia`: the conflict copy it is only in.
void Aggiungi(Riga riga, const QString &copia, QList<Voce> &voci,
              QHash<QString, qsizetype> &aperti) {
    Voce &v = riga.voce;
    if (riga.inizio) {
        v.finito = false;
        v.inCorso = AncoraInCorso(riga.chiave);
        v.esito =
            v.inCorso ? QStringLiteral("in corso") : QStringLiteral("non finito (interrotto?)");
    }
    if (!copia.isEmpty()) {
        v.copia = copia;
        v.esito += QStringLiteral(" (dalla copia di conflitto %1)").arg(copia);
    }
    if (riga.inizio) {
        aperti.insert(riga.chiave, voci.size());
        voci << v;
    } else if (const auto i = aperti.constFind(riga.chiave); i != aperti.constEnd()) {
        voci[*i] = v; // the end replaces its start
        aperti.erase(i);
    } else {
        voci << v;
    }
}

// The lines of a register file; nothing, with *errore saying why, when it
// cannot be read.
// A register far beyond any site's years of lines is not read whole.
constexpr qint64 LimiteRegistro = 256 * 1024 * 1024;

std::optional<QList<QByteArray>> RigheDi(const QString &percorso, QString *errore) {
    // A FIFO or a folder in a register's place is told, never waited on.
    const auto dati = Impianti::LeggiFile(percorso, LimiteRegistro, errore);
    if (!dati) return std::nullopt;
    return dati->split('\n');
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
    QHash<QString, qsizetype> aperti;       // key -> index in voci of its start
    QHash<QString, QSet<QByteArray>> lette; // register -> its lines, and its copies' once shown
    const QDir cartella(Cartella(impianto));
    // Whatever bears a register's name: one that is no file is told, not skipped.
    const QStringList nomi = cartella.entryList(
        {QStringLiteral("*.txt")}, QDir::Files | QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
    QStringList copie;
    for (const QString &nome : nomi) {
        if (!OriginaleDi(nome, nomi).isEmpty()) {
            copie << nome;
            continue;
        }
        const auto righe = RigheDi(cartella.filePath(nome), errore);
        if (!righe) continue;
        for (const QByteArray &r : *righe) {
            lette[nome].insert(r);
            if (auto riga = DaRiga(r)) Aggiungi(*riga, QString(), voci, aperti);
        }
    }
    // A conflict copy holds the lines of its register up to the conflict: it
    // is named once, with only the lines its register has not.
    for (const QString &nome : copie) {
        const auto righe = RigheDi(cartella.filePath(nome), errore);
        if (!righe) continue;
        const QString originale = OriginaleDi(nome, nomi);
        QSet<QByteArray> &note = lette[originale];
        QList<Riga> nuove;
        for (const QByteArray &r : *righe)
            if (!note.contains(r)) {
                note.insert(r);
                if (auto riga = DaRiga(r)) nuove << *riga;
            }
        Voce avviso;
        avviso.quando = nuove.isEmpty() ? QFileInfo(cartella.filePath(nome)).lastModified()
                                        : nuove.first().voce.quando;
        avviso.computer = originale.chopped(4);
        avviso.azione = QStringLiteral("copia di conflitto della sincronizzazione: %1").arg(nome);
        avviso.esito =
            nuove.isEmpty()
                ? QStringLiteral("nessuna riga che il registro %1 non abbia").arg(originale)
                : QStringLiteral("%1 solo nella copia").arg(Quanti(nuove.size(), "riga", "righe"));
        avviso.copia = nome;
        voci << avviso;
        for (const Riga &riga : nuove)
            Aggiungi(riga, nome, voci, aperti);
    }
    std::stable_sort(voci.begin(), voci.end(),
                     [](const Voce &a, const Voce &b) { return a.quando < b.quando; });
    return voci;
}

QString NonSiSposta(const QString &impianto) {
    QString ignorato;
    for (const Voce &v : Leggi(impianto, &ignorato))
        if (v.inCorso)
            return QStringLiteral("un lavoro è in corso sull'impianto (%1, dal %2, di %3 su %4): "
                                  "riprova quando è finito")
                .arg(v.azione, v.quando.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), v.utente,
                     v.computer);
    return QString();
}

Lavoro::Lavoro(const QString &impianto, const QString &porta, const QString &azione)
    : impianto_(impianto), porta_(porta), azione_(azione) {
    chiave_ = Chiave();
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
    return Scrivi(impianto,
                  {Ora(), Chiave(), QStringLiteral("fine"), Utente(), Versioni::Computer(), porta,
                   azione, esito},
                  errore);
}

} // namespace Manutenzione
