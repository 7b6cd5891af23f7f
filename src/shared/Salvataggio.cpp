#include "shared/Salvataggio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <QRandomGenerator>
#include <QRegularExpression>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QSaveFile>
#endif

namespace Salvataggio {

QString MotivoApertura(const QFile &f) {
    const int numero = errno;
    const QFileInfo info(f.fileName());
    if (!info.exists()) return QStringLiteral("il file non esiste");
    if (info.isDir()) return QStringLiteral("è una cartella, non un file");
    if (!info.isReadable()) return QStringLiteral("permesso negato");
    return MotivoFile(f, numero);
}

QString MotivoFile(const QFileDevice &f, int numeroErrore) {
    if (numeroErrore != 0) return Motivo(numeroErrore);
    switch (f.error()) {
    case QFileDevice::ReadError:
        return QStringLiteral("errore di lettura");
    case QFileDevice::WriteError:
        return QStringLiteral("errore di scrittura");
    case QFileDevice::ResourceError:
        return QStringLiteral("risorse del sistema esaurite (disco pieno o troppi file aperti?)");
    case QFileDevice::PermissionsError:
        return QStringLiteral("permesso negato");
    case QFileDevice::TimeOutError:
        return QStringLiteral("tempo scaduto");
    default:
        return QStringLiteral("il file non si apre o non si usa");
    }
}

QString Motivo(int numeroErrore) {
    switch (numeroErrore) {
    case ENOSPC:
        return QStringLiteral("spazio esaurito sul disco");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("quota del disco esaurita");
#endif
    case EFBIG:
        return QStringLiteral("il file supera la dimensione massima consentita");
    case EIO:
        return QStringLiteral("errore di lettura o scrittura sul disco");
    case EROFS:
        return QStringLiteral("il disco è in sola lettura");
    case EACCES:
    case EPERM:
        return QStringLiteral("permesso negato");
    case ENOENT:
        return QStringLiteral("il file o la cartella non esiste");
    case ENOTDIR:
        return QStringLiteral("una parte del percorso non è una cartella");
    case EISDIR:
        return QStringLiteral("è una cartella");
    case ENAMETOOLONG:
        return QStringLiteral("nome troppo lungo");
    case EEXIST:
        return QStringLiteral("esiste già un file con questo nome");
    case ELOOP:
        return QStringLiteral("troppi collegamenti simbolici di seguito (forse formano un ciclo)");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("troppi file aperti");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("il file è in uso");
    default:
        return QStringLiteral("errore di sistema %1: %2")
            .arg(numeroErrore)
            .arg(QString::fromLocal8Bit(std::strerror(numeroErrore)));
    }
}

#ifdef Q_OS_UNIX
bool ScriviTutto(int fd, const QByteArray &dati) {
    for (qint64 scritti = 0; scritti < dati.size();) {
        const ssize_t n = ::write(fd, dati.constData() + scritti, size_t(dati.size() - scritti));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        scritti += n;
    }
    return true;
}
#endif

namespace {

// An old file rewritten in place is first kept whole in memory, up to this size.
constexpr qint64 LimiteRiscrittura = 16 * 1024 * 1024;

// How writing the new bytes beside the target ended.
struct Esito {
    enum Come { Fatto, CartellaChiusa, NonCreato, NonScritto } come = Fatto;
    QString motivo;
};

// How rewriting the target in place ended.
struct SulPosto {
    enum Come { Fatto, NonAperto, TroppoGrande, NonLetto, NonScritto } come = Fatto;
    QString motivo;
    bool rimesso = false; // after NonScritto: the old bytes are back
};

#ifdef Q_OS_UNIX

// A temporary file older than this is stale whoever made it.
constexpr std::time_t SecondiVecchio = 10 * 60;

// Whether a link may be followed, as the kernel's protected_symlinks rule
// has it: in a folder that anyone may write to and only owners delete from
// (sticky, as /tmp), only a link of this user or of the folder's owner.
bool PuoSeguire(uid_t proprietarioLink, const struct stat &cartella) {
    const bool condivisa = (cartella.st_mode & S_ISVTX) && (cartella.st_mode & S_IWOTH);
    return !condivisa || proprietarioLink == ::geteuid() || proprietarioLink == cartella.st_uid;
}

// Where a write to `percorso` lands, with every link on the way resolved,
// the folders' as well as the file's own, each followed only where
// PuoSeguire allows. An entry that is missing ends the way (a new file, or a
// folder that is not there, for the open to tell). False, with the reason in
// *motivo, when a link may not be followed.
bool Risolvi(const QString &percorso, QString *finale, QString *motivo) {
    const QString assoluto = QFileInfo(percorso).absoluteFilePath();
    QStringList resto = assoluto.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString fatto; // the way resolved so far, without links ("" is the root)
    int collegamenti = 0;
    while (!resto.isEmpty()) {
        const QString parte = resto.takeFirst();
        if (parte == QLatin1String(".")) continue;
        if (parte == QLatin1String("..")) {
            fatto = fatto.left(qMax<qsizetype>(fatto.lastIndexOf(QLatin1Char('/')), 0));
            continue;
        }
        const QString voce = fatto + QLatin1Char('/') + parte;
        struct stat s;
        if (::lstat(QFile::encodeName(voce).constData(), &s) != 0) {
            *finale =
                resto.isEmpty() ? voce : voce + QLatin1Char('/') + resto.join(QLatin1Char('/'));
            return true;
        }
        if (!S_ISLNK(s.st_mode)) {
            fatto = voce;
            continue;
        }
        struct stat c;
        const QString cartella = fatto.isEmpty() ? QStringLiteral("/") : fatto;
        if (::stat(QFile::encodeName(cartella).constData(), &c) != 0) {
            *motivo = Motivo(errno);
            return false;
        }
        if (!PuoSeguire(s.st_uid, c)) {
            const QString che =
                voce == assoluto ? QStringLiteral("è un collegamento simbolico")
                                 : QStringLiteral("passa dal collegamento simbolico %1,").arg(voce);
            *motivo = che + QStringLiteral(" che appartiene a un altro utente, in una cartella in "
                                           "cui tutti possono scrivere: non viene seguito e "
                                           "nessun file è stato scritto");
            return false;
        }
        if (++collegamenti > 40) {
            *motivo = Motivo(ELOOP);
            return false;
        }
        QByteArray bersaglio(4096, '\0');
        const ssize_t n = ::readlink(QFile::encodeName(voce).constData(), bersaglio.data(),
                                     size_t(bersaglio.size()));
        if (n < 0) {
            *motivo = Motivo(errno);
            return false;
        }
        // The target takes the link's place; a relative one is read from
        // the link's folder, an absolute one from the root.
        const QString destinazione = QFile::decodeName(bersaglio.left(n));
        if (destinazione.startsWith(QLatin1Char('/'))) fatto.clear();
        resto = destinazione.split(QLatin1Char('/'), Qt::SkipEmptyParts) + resto;
    }
    *finale = fatto.isEmpty() ? QStringLiteral("/") : fatto;
    return true;
}

// The folder's new entry reaches the disk too, where the folder allows it.
void SincronizzaCartella(const QString &cartella) {
    const int dir =
        ::open(QFile::encodeName(cartella).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// A new file at the place `percorso` leads to, never an existing one: its
// descriptor, or -1 with *motivo set (*esiste when a file took the name).
int CreaNuovo(const QString &percorso, int modo, QString *finale, QString *motivo, bool *esiste) {
    *esiste = false;
    if (!Risolvi(percorso, finale, motivo)) return -1;
    const int fd = ::open(QFile::encodeName(*finale).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                          modo == ModoPredefinito ? mode_t(0666) : mode_t(modo));
    if (fd < 0) {
        *esiste = errno == EEXIST;
        *motivo = Motivo(errno);
        return -1;
    }
    // Exactly the bits asked for, whatever the umask.
    if (modo != ModoPredefinito) (void)::fchmod(fd, mode_t(modo) & 07777);
    return fd;
}

// The target's name as its temporary file carries it: at most 60 characters,
// so that the temporary name stays within what a folder allows.
QString NomeBreve(const QString &nome) {
    qsizetype n = qMin<qsizetype>(nome.size(), 60);
    if (n < nome.size() && nome[n - 1].isHighSurrogate()) --n;
    return nome.left(n);
}

QString NomeTemporaneo(const QString &cartella, const QString &nome) {
    static const char Caratteri[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString caso;
    for (int i = 0; i < 6; ++i)
        caso += QLatin1Char(Caratteri[QRandomGenerator::global()->bounded(62)]);
    return QStringLiteral("%1/.%2.velto-tmp-%3-%4")
        .arg(cartella, NomeBreve(nome))
        .arg(::getpid())
        .arg(caso);
}

// Removes the temporary files that saves killed half way left in the folder:
// only regular files of this user named exactly as ours, whose process is
// gone or that are old.
void TogliAvanzi(const QString &cartella) {
    static const QRegularExpression nostro(
        QStringLiteral("^\\..+\\.velto-tmp-([1-9][0-9]{0,8})-[A-Za-z0-9]{6}$"));
    const QStringList nomi =
        QDir(cartella).entryList({QStringLiteral(".*.velto-tmp-*")}, QDir::Files | QDir::Hidden);
    for (const QString &nome : nomi) {
        const QRegularExpressionMatch m = nostro.match(nome);
        if (!m.hasMatch()) continue;
        const QByteArray percorso = QFile::encodeName(cartella + QLatin1Char('/') + nome);
        struct stat s;
        if (::lstat(percorso.constData(), &s) != 0 || !S_ISREG(s.st_mode) ||
            s.st_uid != ::geteuid())
            continue;
        const pid_t pid = pid_t(m.captured(1).toLong());
        const bool finito = pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
        if (finito || std::time(nullptr) - s.st_mtime > SecondiVecchio)
            ::unlink(percorso.constData());
    }
}

// The bytes reach the disk; a file system that cannot sync is no failure.
bool Sincronizza(int fd) {
    return ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
}

bool Chiudi(int fd) {
    return ::close(fd) == 0 || errno == EINTR;
}

// The whole file replaced by `dati` from its start, synced.
bool Riscrivi(int fd, const QByteArray &dati) {
    return ::lseek(fd, 0, SEEK_SET) == 0 && ScriviTutto(fd, dati) &&
           ::ftruncate(fd, off_t(dati.size())) == 0 && Sincronizza(fd);
}

Esito Sostituisci(const QString &finale, const QByteArray &dati, bool esiste) {
    const QFileInfo info(finale);
    const QString cartella = info.absolutePath();
    TogliAvanzi(cartella);
    QByteArray temporaneo;
    int fd = -1;
    for (int prova = 0; fd < 0 && prova < 20; ++prova) {
        temporaneo = QFile::encodeName(NomeTemporaneo(cartella, info.fileName()));
        fd = ::open(temporaneo.constData(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        const int e = errno;
        return {esiste && (e == EACCES || e == EPERM) ? Esito::CartellaChiusa : Esito::NonCreato,
                Motivo(e)};
    }
    // The new file keeps the old one's owner, group and permissions, as far
    // as the system allows: a user who may not give it away may still give
    // it a group of theirs. Permissions last: a change of owner drops setuid.
    struct stat vecchio;
    if (esiste && ::lstat(QFile::encodeName(finale).constData(), &vecchio) == 0 &&
        S_ISREG(vecchio.st_mode)) {
        if (::fchown(fd, vecchio.st_uid, vecchio.st_gid) != 0 &&
            ::fchown(fd, uid_t(-1), vecchio.st_gid) != 0) {
            // The new file stays this user's: the most the system allows.
        }
        (void)::fchmod(fd, vecchio.st_mode & 07777);
    }
    bool fatto = ScriviTutto(fd, dati) && Sincronizza(fd);
    int e = fatto ? 0 : errno;
    if (!Chiudi(fd) && fatto) {
        fatto = false;
        e = errno;
    }
    if (fatto && ::rename(temporaneo.constData(), QFile::encodeName(finale).constData()) != 0) {
        fatto = false;
        e = errno;
    }
    if (!fatto) {
        ::unlink(temporaneo.constData());
        return {Esito::NonScritto, Motivo(e)};
    }
    SincronizzaCartella(cartella);
    return {};
}

SulPosto RiscriviSulPosto(const QString &finale, const QByteArray &dati) {
    const QByteArray nome = QFile::encodeName(finale);
    const int fd = ::open(nome.constData(), O_RDWR | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return {SulPosto::NonAperto, Motivo(errno)};
    struct stat s;
    if (::fstat(fd, &s) != 0 || !S_ISREG(s.st_mode)) {
        ::close(fd);
        return {SulPosto::NonAperto, QStringLiteral("non è un file")};
    }
    QByteArray vecchio;
    for (char blocco[65536];;) {
        const ssize_t n = ::read(fd, blocco, sizeof blocco);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            return {SulPosto::NonLetto, Motivo(e)};
        }
        if (n == 0) break;
        vecchio.append(blocco, n);
        if (vecchio.size() > LimiteRiscrittura) {
            ::close(fd);
            return {SulPosto::TroppoGrande, QString()};
        }
    }
    if (Riscrivi(fd, dati)) {
        if (Chiudi(fd)) return {};
        // The close failed: the old bytes go back through the file opened again.
        const int e = errno;
        const int di_nuovo = ::open(nome.constData(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
        bool rimesso = di_nuovo >= 0 && Riscrivi(di_nuovo, vecchio);
        if (di_nuovo >= 0) rimesso = Chiudi(di_nuovo) && rimesso;
        return {SulPosto::NonScritto, Motivo(e), rimesso};
    }
    const int e = errno;
    bool rimesso = Riscrivi(fd, vecchio);
    rimesso = Chiudi(fd) && rimesso;
    return {SulPosto::NonScritto, Motivo(e), rimesso};
}

#else

// Writes every byte; a short write is retried, so a failure leaves its reason.
bool ScriviTutto(QFileDevice &f, const QByteArray &dati) {
    for (qint64 scritti = 0; scritti < dati.size();) {
        const qint64 n = f.write(dati.constData() + scritti, dati.size() - scritti);
        if (n <= 0) return false;
        scritti += n;
    }
    return true;
}

Esito Sostituisci(const QString &finale, const QByteArray &dati, bool esiste) {
    // Unbuffered: each write reports its own failure, none waits for a flush.
    QSaveFile f(finale);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {esiste ? Esito::CartellaChiusa : Esito::NonCreato, f.errorString()};
    if (!ScriviTutto(f, dati)) {
        const QString motivo = f.errorString();
        f.cancelWriting();
        return {Esito::NonScritto, motivo};
    }
    if (!f.commit()) return {Esito::NonScritto, f.errorString()};
    return {};
}

// Where a write to `percorso` lands: a link is followed to the file it names.
bool Risolvi(const QString &percorso, QString *finale, QString *) {
    *finale = percorso;
    if (QFileInfo voce(percorso); voce.isSymLink()) {
        int passi = 128;
        while (--passi && voce.isSymLink())
            voce.setFile(voce.symLinkTarget());
        if (passi > 0) *finale = voce.filePath();
    }
    return true;
}

bool Riscrivi(QFile &f, const QByteArray &dati) {
    return f.seek(0) && ScriviTutto(f, dati) && f.resize(dati.size());
}

SulPosto RiscriviSulPosto(const QString &finale, const QByteArray &dati) {
    QFile f(finale);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return {SulPosto::NonAperto, f.errorString()};
    if (f.size() > LimiteRiscrittura) return {SulPosto::TroppoGrande, QString()};
    const QByteArray vecchio = f.readAll();
    if (f.error() != QFileDevice::NoError || vecchio.size() != f.size())
        return {SulPosto::NonLetto, f.errorString()};
    bool fatto = Riscrivi(f, dati);
    QString motivo = f.errorString();
    const bool rimesso = !fatto && Riscrivi(f, vecchio);
    f.close();
    if (fatto && f.error() != QFileDevice::NoError) {
        fatto = false;
        motivo = f.errorString();
    }
    if (fatto) return {};
    return {SulPosto::NonScritto, motivo, rimesso};
}

#endif

// Why a file may not be written: its own mark, or (a file the owner may
// write) the disk or the folder's rights.
QString PercheSolaLettura(const QFileInfo &info) {
#ifdef Q_OS_UNIX
    if ((info.permissions() & QFile::WriteOwner) &&
        ::access(QFile::encodeName(info.filePath()).constData(), W_OK) != 0)
        return QStringLiteral("non si può modificare (%1)").arg(Motivo(errno));
#endif
    Q_UNUSED(info)
    return QStringLiteral("è in sola lettura");
}

} // namespace

bool Destinazione(const QString &percorso, QString *finale, QString *motivo) {
    return Risolvi(percorso, finale, motivo);
}

bool Salva(const QString &percorso, const QByteArray &dati, QString *errore) {
    QString finale, motivo;
    if (!Risolvi(percorso, &finale, &motivo)) {
        *errore = QStringLiteral("impossibile scrivere %1: %2").arg(percorso, motivo);
        return false;
    }
    const QFileInfo info(finale);
    // A file marked read-only stays untouched, whoever runs the tool.
    const bool solaLettura = !info.isWritable() || !(info.permissions() & QFile::WriteOwner);
    if (info.exists() && (!info.isFile() || solaLettura)) {
        *errore = info.isFile() ? QStringLiteral("il file %1 %2: è rimasto com'era")
                                      .arg(percorso, PercheSolaLettura(info))
                                : QStringLiteral("%1 non è un file").arg(percorso);
        return false;
    }
    const Esito esito = Sostituisci(finale, dati, info.exists());
    switch (esito.come) {
    case Esito::Fatto:
        return true;
    case Esito::NonCreato:
        *errore = QStringLiteral("impossibile creare %1: %2").arg(percorso, esito.motivo);
        return false;
    case Esito::NonScritto:
        *errore = QStringLiteral("impossibile scrivere %1 (%2): %3")
                      .arg(percorso, esito.motivo,
                           info.exists() ? QStringLiteral("il file è rimasto com'era")
                                         : QStringLiteral("il file non è stato creato"));
        return false;
    case Esito::CartellaChiusa:
        break;
    }

    // No new file in that folder: the existing file is rewritten in place.
    const QString premessa = QStringLiteral("nella cartella %1 non si può creare un file (%2)")
                                 .arg(QDir::toNativeSeparators(info.absolutePath()), esito.motivo);
    const SulPosto r = RiscriviSulPosto(finale, dati);
    switch (r.come) {
    case SulPosto::Fatto:
        return true;
    case SulPosto::NonAperto:
        *errore =
            premessa + QStringLiteral(" e %1 non si apre in scrittura: %2").arg(percorso, r.motivo);
        break;
    case SulPosto::TroppoGrande:
        *errore = premessa + QStringLiteral(" e %1 è troppo grande per riscriverlo al suo posto "
                                            "senza rischi")
                                 .arg(percorso);
        break;
    case SulPosto::NonLetto:
        *errore = premessa + QStringLiteral(" e %1 non si legge: %2").arg(percorso, r.motivo);
        break;
    case SulPosto::NonScritto:
        *errore = premessa + QStringLiteral(" e riscrivere %1 al suo posto non è riuscito (%2): %3")
                                 .arg(percorso, r.motivo,
                                      r.rimesso ? QStringLiteral("il file è rimasto com'era")
                                                : QStringLiteral("il contenuto precedente non si è "
                                                                 "potuto rimettere"));
        break;
    }
    return false;
}

#ifdef Q_OS_UNIX

int Modo(const QString &percorso) {
    struct stat s;
    if (::stat(QFile::encodeName(percorso).constData(), &s) != 0) return ModoPredefinito;
    return int(s.st_mode & 0777);
}

bool ApriNuovo(QFile &file, const QString &percorso, int modo, QString *motivo, bool *esiste) {
    QString finale;
    bool preso = false;
    const int fd = CreaNuovo(percorso, modo, &finale, motivo, &preso);
    if (esiste) *esiste = preso;
    if (fd < 0) return false;
    if (file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) return true;
    *motivo = MotivoFile(file, errno);
    ::close(fd);
    ::unlink(QFile::encodeName(finale).constData());
    return false;
}

bool SalvaNuovo(const QString &percorso, const QByteArray &dati, int modo, QString *errore) {
    QString finale, motivo;
    bool esiste = false;
    const int fd = CreaNuovo(percorso, modo, &finale, &motivo, &esiste);
    if (fd < 0) {
        *errore = QStringLiteral("impossibile creare %1: %2").arg(percorso, motivo);
        return false;
    }
    bool fatto = ScriviTutto(fd, dati) && Sincronizza(fd);
    int e = fatto ? 0 : errno;
    if (!Chiudi(fd) && fatto) {
        fatto = false;
        e = errno;
    }
    if (fatto) {
        SincronizzaCartella(QFileInfo(finale).absolutePath());
        return true;
    }
    ::unlink(QFile::encodeName(finale).constData());
    *errore = QStringLiteral("impossibile scrivere %1 (%2): il file non è stato creato")
                  .arg(percorso, Motivo(e));
    return false;
}

#else

int Modo(const QString &) {
    return ModoPredefinito;
}

bool ApriNuovo(QFile &file, const QString &percorso, int, QString *motivo, bool *esiste) {
    file.setFileName(percorso);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return true;
    if (esiste) *esiste = QFileInfo::exists(percorso) || QFileInfo(percorso).isSymLink();
    *motivo = file.errorString();
    return false;
}

bool SalvaNuovo(const QString &percorso, const QByteArray &dati, int modo, QString *errore) {
    QFile f;
    QString motivo;
    if (!ApriNuovo(f, percorso, modo, &motivo)) {
        *errore = QStringLiteral("impossibile creare %1: %2").arg(percorso, motivo);
        return false;
    }
    if (ScriviTutto(f, dati) && f.flush()) {
        f.close();
        if (f.error() == QFileDevice::NoError) return true;
    }
    *errore = QStringLiteral("impossibile scrivere %1 (%2): il file non è stato creato")
                  .arg(percorso, f.errorString());
    f.close();
    f.remove();
    return false;
}

#endif

} // namespace Salvataggio
