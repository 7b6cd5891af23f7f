#include "impianti/Versioni.h"

#include "files/FileMessaggi.h"
#include "files/FormatoMessaggi.h"
#include "files/Programmazione.h"
#include "impianti/Impianti.h"
#include "shared/Salvataggio.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Versioni {

namespace {

const QString FormatoOra = QStringLiteral("yyyyMMdd-HHmmss-zzz");

QString Cartella(const QString &impianto) {
    return QDir(Impianti::CartellaDi(impianto)).filePath(QStringLiteral("versioni"));
}

// The kind's word in a file name.
QString Parola(Tipo tipo) {
    switch (tipo) {
    case Tipo::Letto:
        return QStringLiteral("letto");
    case Tipo::Inviato:
        return QStringLiteral("inviato");
    case Tipo::Copia:
        return QStringLiteral("copia");
    }
    return QString();
}

// The version a file name describes, without its number and texts.
std::optional<Versione> DaNome(const QString &nome) {
    static const QRegularExpression forma(
        QStringLiteral(R"(^(\d{8}-\d{6}-\d{3})_([A-Za-z0-9-]+)_(letto|inviato|copia)\.vlt$)"));
    const auto m = forma.match(nome);
    if (!m.hasMatch()) return std::nullopt;
    Versione v;
    // Read as UTC from the start: a local time may not exist (a clock put forward).
    const QString t = m.captured(1);
    v.quando = QDateTime(QDate::fromString(t.left(8), QStringLiteral("yyyyMMdd")),
                         QTime::fromString(t.mid(9), QStringLiteral("HHmmss-zzz")), Qt::UTC);
    if (!v.quando.isValid()) return std::nullopt;
    v.computer = m.captured(2);
    v.nome = nome.chopped(4);
    for (Tipo t : {Tipo::Letto, Tipo::Inviato, Tipo::Copia})
        if (Parola(t) == m.captured(3)) v.tipo = t;
    return v;
}

} // namespace

QString NomeTipo(Tipo tipo) {
    return tipo == Tipo::Copia ? QStringLiteral("copia prima dell'invio") : Parola(tipo);
}

QString Computer() {
    QString nome = QSysInfo::machineHostName().section(QLatin1Char('.'), 0, 0);
    static const QRegularExpression altro(QStringLiteral("[^A-Za-z0-9-]"));
    nome.replace(altro, QStringLiteral("-"));
    return nome.isEmpty() ? QStringLiteral("computer") : nome;
}

QString Impronta(const Testi &testi) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (auto t = testi.cbegin(); t != testi.cend(); ++t)
        h.addData((t.key() + t.value() + QLatin1Char('\n')).toUtf8());
    return QString::fromLatin1(h.result().toHex().left(8));
}

namespace {

// A site's versions folder: named versioni, in a site's folder (one that
// holds impianto.txt), or in a site's folder of this book.
bool DiVersioni(const QString &cartella) {
    QDir libro(cartella);
    if (libro.dirName() != QLatin1String("versioni") || !libro.cdUp()) return false;
    if (QFileInfo(libro.filePath(QStringLiteral("impianto.txt"))).isFile()) return true;
    const QString libroVero = QFileInfo(Impianti::Libro()).canonicalFilePath();
    return libro.cdUp() && !libroVero.isEmpty() && libro.canonicalPath() == libroVero;
}

} // namespace

QString NonSiScrive(const QString &percorso) {
    // The folder as named, as it really is, and the same for every link the
    // file itself goes through (one that leads nowhere yet included).
    QStringList cartelle;
    QFileInfo file(QFileInfo(percorso).absoluteFilePath());
    for (int passi = 0; passi < 40; ++passi) {
        cartelle << file.absolutePath();
        if (const QString vera = QFileInfo(file.absolutePath()).canonicalFilePath();
            !vera.isEmpty())
            cartelle << vera;
        if (!file.isSymLink()) break;
        file.setFile(file.symLinkTarget());
    }
    for (const QString &cartella : std::as_const(cartelle))
        if (DiVersioni(cartella))
            return QStringLiteral("la cartella %1 tiene le versioni di un impianto, che non si "
                                  "sovrascrivono: scegli un'altra cartella")
                .arg(QDir::toNativeSeparators(cartella));
    return QString();
}

namespace {
// A site whose folder, or its description, is gone (renamed or removed
// while a job ran on it): nothing of it is written, nor a folder made.
QString FuoriDalLibro(const QString &impianto) {
    return QStringLiteral("l'impianto \"%1\" non è più nel libro (la cartella %2 o il suo "
                          "impianto.txt non c'è più: rinominato o rimosso?); nulla è stato scritto")
        .arg(impianto, QDir::toNativeSeparators(Impianti::CartellaDi(impianto)));
}
} // namespace

QString CartellaDelSito(const QString &impianto, const QString &nome, bool crea) {
    const QString sito = Impianti::CartellaDi(impianto);
    const QString cartella = QDir(sito).filePath(nome);
#ifdef Q_OS_UNIX
    const QString collegamento =
        QStringLiteral("la cartella %1 è un collegamento simbolico di un altro utente: non viene "
                       "seguito e nessun file è stato scritto");
    // A folder as it is: a link is followed only when it is this user's own.
    const auto guarda = [](const QByteArray &dove, struct stat *s) {
        if (::lstat(dove.constData(), s) != 0) return false;
        if (!S_ISLNK(s->st_mode) || s->st_uid != ::geteuid()) return true;
        return ::stat(dove.constData(), s) == 0;
    };
    struct stat s;
    if (!guarda(QFile::encodeName(sito), &s))
        return errno == ENOENT && crea
                   ? FuoriDalLibro(impianto)
                   : QStringLiteral("cartella dell'impianto %1: %2")
                         .arg(QDir::toNativeSeparators(sito), Salvataggio::Motivo(errno));
    if (S_ISLNK(s.st_mode)) return collegamento.arg(QDir::toNativeSeparators(sito));
    if (!S_ISDIR(s.st_mode))
        return QStringLiteral("%1 non è una cartella").arg(QDir::toNativeSeparators(sito));
    if (crea && !QFileInfo(QDir(sito).filePath(QStringLiteral("impianto.txt"))).isFile())
        return FuoriDalLibro(impianto);
    const QByteArray dove = QFile::encodeName(cartella);
    if (!guarda(dove, &s)) {
        if (errno == ENOENT && !crea) return QString();
        // Only the folder itself: never its parents.
        if (errno != ENOENT || (::mkdir(dove.constData(), 0777) != 0 && errno != EEXIST) ||
            !guarda(dove, &s))
            return QStringLiteral("impossibile creare la cartella %1: %2")
                .arg(QDir::toNativeSeparators(cartella), Salvataggio::Motivo(errno));
    }
    if (S_ISLNK(s.st_mode)) return collegamento.arg(QDir::toNativeSeparators(cartella));
    if (!S_ISDIR(s.st_mode))
        return QStringLiteral("impossibile creare la cartella %1: %2")
            .arg(QDir::toNativeSeparators(cartella), Salvataggio::Motivo(EEXIST));
#else
    // Links are followed, as Salvataggio follows them here.
    if (crea && !QFileInfo(QDir(sito).filePath(QStringLiteral("impianto.txt"))).isFile())
        return FuoriDalLibro(impianto);
    if (!QFileInfo(cartella).isDir() && (!crea || !QDir(sito).mkdir(nome)))
        return crea ? QStringLiteral("impossibile creare la cartella %1")
                          .arg(QDir::toNativeSeparators(cartella))
                    : QString();
#endif
    return QString();
}

std::optional<Testi> TestiDi(const Versione &v, QString *errore) {
    const auto scansione = FormatoMessaggi::LeggiMessaggi(v.percorso, errore);
    if (!scansione) return std::nullopt;
    // A file cut short (a copy a sync has not finished) holds only part of
    // the texts: refused, as a send would refuse it.
    const QList<Programmazione::Voce> voci = Programmazione::VociDaInviare(*scansione);
    if (const QString rifiuto = Programmazione::RifiutoInvio(voci, scansione->chiusa);
        !rifiuto.isEmpty()) {
        *errore = rifiuto;
        return std::nullopt;
    }
    Testi testi;
    for (const Programmazione::Voce &voce : voci)
        testi.insert(voce.numero(), voce.testo());
    return testi;
}

namespace {
// A version's texts counted and hashed, or why they cannot be read. True
// when they were.
bool Leggi(Versione &v) {
    const auto testi = TestiDi(v, &v.illeggibile);
    if (!testi) return false;
    v.testi = int(testi->size());
    v.impronta = Impronta(*testi);
    return true;
}
} // namespace

namespace {

// The names of this computer's order of the versions in `cartella`, each
// once: those it lists, then those of `nuove` (sorted by time) it did not,
// which join it. The file is locked while it is read and added to, and only
// whole lines are appended, so runs at the same time leave it whole; a file
// that cannot be written leaves the order as it is here.
QStringList Ordine(const QString &cartella, const QStringList &nuove) {
    const QString percorso = QDir(cartella).filePath(QStringLiteral(".ordine-") + Computer());
    QByteArray dati;
#ifdef Q_OS_UNIX
    const QByteArray file = QFile::encodeName(percorso);
    int fd = ::open(file.constData(),
                    O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    // Another user's order, or a book that may only be read: read as it is.
    const bool scrivibile = fd >= 0;
    if (!scrivibile) fd = ::open(file.constData(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    // Only a file: a pipe planted in its place would never end a read.
    struct stat s;
    const bool chiuso = fd >= 0 && ::fstat(fd, &s) == 0 && S_ISREG(s.st_mode) &&
                        ::flock(fd, scrivibile ? LOCK_EX : LOCK_SH) == 0;
    for (char blocco[65536]; chiuso;) {
        const ssize_t n = ::read(fd, blocco, sizeof blocco);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        dati.append(blocco, n);
    }
#else
    QFile f(percorso);
    const bool chiuso = f.open(QIODevice::ReadWrite | QIODevice::Append);
    if (chiuso && f.seek(0)) dati = f.readAll();
#endif
    QStringList ordine;
    QSet<QString> visti;
    for (const QByteArray &riga : dati.split('\n')) {
        // Only a version's name counts: a line cut short takes no number.
        const QString nome = QString::fromUtf8(riga).trimmed();
        if (DaNome(nome + QStringLiteral(".vlt")) && !visti.contains(nome)) {
            visti.insert(nome);
            ordine << nome;
        }
    }
    // A line a run could not finish is ended before the next one.
    QByteArray aggiunte = dati.isEmpty() || dati.endsWith('\n') ? QByteArray() : "\n";
    const qsizetype prima = aggiunte.size();
    for (const QString &nome : nuove)
        if (!visti.contains(nome)) {
            visti.insert(nome);
            ordine << nome;
            aggiunte += nome.toUtf8() + '\n';
        }
#ifdef Q_OS_UNIX
    if (scrivibile && chiuso && aggiunte.size() > prima && Salvataggio::ScriviTutto(fd, aggiunte))
        ::fsync(fd);
    if (fd >= 0) ::close(fd);
#else
    if (chiuso && aggiunte.size() > prima) f.write(aggiunte);
#endif
    return ordine;
}

} // namespace

QList<Versione> Elenco(const QString &impianto, Lettura lettura) {
    if (!CartellaDelSito(impianto, QStringLiteral("versioni"), false).isEmpty()) return {};
    QList<Versione> trovate;
    const QDir cartella(Cartella(impianto));
    for (const QString &nome : cartella.entryList({QStringLiteral("*.vlt")}, QDir::Files)) {
        auto v = DaNome(nome);
        if (!v) continue;
        v->percorso = cartella.filePath(nome);
        trovate << *v;
    }
    if (trovate.isEmpty()) return {};
    std::sort(trovate.begin(), trovate.end(), [](const Versione &a, const Versione &b) {
        return a.quando != b.quando ? a.quando < b.quando : a.percorso < b.percorso;
    });
    QHash<QString, qsizetype> indici;
    QStringList perTempo;
    for (qsizetype i = 0; i < trovate.size(); ++i) {
        indici.insert(trovate[i].nome, i);
        perTempo << trovate[i].nome;
    }
    // A name the order lists whose file is gone keeps its number: the
    // others' stay theirs.
    QList<Versione> versioni;
    const QStringList ordine = Ordine(cartella.path(), perTempo);
    for (qsizetype n = 0; n < ordine.size(); ++n) {
        const auto i = indici.constFind(ordine[n]);
        if (i == indici.cend()) continue;
        Versione v = trovate[*i];
        v.numero = int(n + 1);
        if (lettura == Lettura::Testi) Leggi(v);
        versioni << v;
    }
    return versioni;
}

QString Detta(const Versione &v) {
    return QStringLiteral("%1 (%2)").arg(v.numero).arg(v.nome);
}

std::optional<Versione> Trova(const QList<Versione> &versioni, const QString &chiave) {
    bool numero = false;
    const int n = chiave.toInt(&numero);
    QString nome = chiave;
    if (nome.endsWith(QLatin1String(".vlt"))) nome.chop(4);
    for (const Versione &v : versioni)
        if (numero ? v.numero == n : v.nome == nome) return v;
    return std::nullopt;
}

bool Completa(const Testi &testi) {
    for (int n = 0; n < 1000; ++n)
        if (FormatoMessaggi::NumeroNelCorpo(n) &&
            !testi.contains(QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'))))
            return false;
    return true;
}

namespace {
// The texts of a version, or nothing with *errore naming the version.
std::optional<Testi> TestiInteri(const Versione &v, QString *errore) {
    QString motivo;
    const auto testi = TestiDi(v, &motivo);
    if (!testi) *errore = QStringLiteral("versione %1: %2").arg(Detta(v), motivo);
    return testi;
}
} // namespace

std::optional<Stato> StatoNoto(const QString &impianto, QString *errore) {
    const QList<Versione> versioni = Elenco(impianto, Lettura::Nomi);
    QList<Testi> sopra; // newest first
    Stato stato;
    for (auto v = versioni.crbegin(); v != versioni.crend(); ++v) {
        const auto testi = TestiInteri(*v, errore);
        if (!testi) return std::nullopt;
        sopra.prepend(*testi);
        stato.versioni.prepend(*v);
        if (Completa(*testi)) break;
    }
    for (const Testi &testi : std::as_const(sopra))
        for (auto t = testi.cbegin(); t != testi.cend(); ++t)
            stato.testi.insert(t.key(), t.value());
    return stato;
}

QString DettoStato(const Stato &stato) {
    if (stato.versioni.isEmpty()) return QString();
    QString detto = QStringLiteral("versione ") + Detta(stato.versioni.first());
    QStringList sopra;
    for (qsizetype i = 1; i < stato.versioni.size(); ++i)
        sopra << Detta(stato.versioni[i]);
    if (!sopra.isEmpty())
        detto += QStringLiteral(" con sopra %1 %2")
                     .arg(sopra.size() == 1 ? QStringLiteral("la versione")
                                            : QStringLiteral("le versioni"),
                          sopra.join(QStringLiteral(", ")));
    return detto;
}

std::optional<Versione> Conserva(const QString &impianto, Tipo tipo, const Testi &daConservare,
                                 const QString &commento, QString *errore, bool *nuova) {
    if (nuova) *nuova = false;
    // A line break would split the file's line, as it would the read-back's.
    Testi testi;
    for (auto t = daConservare.cbegin(); t != daConservare.cend(); ++t)
        testi.insert(t.key(), Programmazione::TestoLetto(t.value()));
    const QList<Versione> prima = Elenco(impianto, Lettura::Nomi);
    if (!prima.isEmpty()) {
        // Texts of every number: equal to all that is known of the panel.
        QString ignorato;
        std::optional<Testi> ultimi;
        if (!Completa(testi))
            ultimi = TestiDi(prima.last(), &ignorato);
        else if (const auto stato = StatoNoto(impianto, &ignorato))
            ultimi = stato->testi;
        if (ultimi && *ultimi == testi) {
            Versione v = prima.last();
            Leggi(v);
            return v;
        }
    }
    if (const QString motivo = CartellaDelSito(impianto, QStringLiteral("versioni"), true);
        !motivo.isEmpty()) {
        *errore = motivo;
        return std::nullopt;
    }
    QString corpo;
    for (auto t = testi.cbegin(); t != testi.cend(); ++t)
        corpo += FormatoMessaggi::RigaLettura(t.key(), t.value());
    corpo.chop(2); // ContenutoFile puts the last line end
    const QByteArray dati =
        FormatoMessaggi::ContenutoFile(FormatoMessaggi::SenzaACapo(commento), corpo);
    // A name this computer already took in the same millisecond: the next one.
    QDateTime quando = QDateTime::currentDateTimeUtc();
    for (int prova = 0; prova < 50; ++prova, quando = quando.addMSecs(1)) {
        // One version a millisecond on one computer, whatever its kind: the
        // time alone orders them.
        const QString prefisso =
            QStringLiteral("%1_%2_").arg(quando.toString(FormatoOra), Computer());
        if (!QDir(Cartella(impianto))
                 .entryList({prefisso + QLatin1Char('*')}, QDir::Files)
                 .isEmpty())
            continue;
        const QString percorso =
            QDir(Cartella(impianto)).filePath(prefisso + Parola(tipo) + QStringLiteral(".vlt"));
        if (!Salvataggio::SalvaNuovo(percorso, dati, Salvataggio::ModoPredefinito, errore))
            return std::nullopt;
        if (nuova) *nuova = true;
        for (Versione v : Elenco(impianto, Lettura::Nomi))
            if (v.percorso == percorso && Leggi(v)) return v;
        *errore = QStringLiteral("la versione scritta in %1 non si rilegge")
                      .arg(QDir::toNativeSeparators(percorso));
        return std::nullopt;
    }
    *errore = QStringLiteral("nessun nome libero per la nuova versione");
    return std::nullopt;
}

QList<Differenza> Confronta(const Testi &prima, const Testi &dopo) {
    QStringList numeri = prima.keys();
    for (const QString &n : dopo.keys())
        if (!prima.contains(n)) numeri << n;
    std::sort(numeri.begin(), numeri.end());
    QList<Differenza> diverse;
    for (const QString &n : numeri)
        if (prima.value(n) != dopo.value(n) || prima.contains(n) != dopo.contains(n))
            diverse.append({n, prima.value(n), dopo.value(n)});
    return diverse;
}

} // namespace Versioni
