#include "impianti/Impianti.h"

#include "link/IndirizzoRete.h"
#include "shared/Csv.h"
#include "shared/Salvataggio.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QThread>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Impianti {

namespace {

const QString FileDescrizione = QStringLiteral("impianto.txt");

// The description's keys, in the order the file lists them.
const QString Chiavi[] = {
    "cliente", "indirizzo", "collegamento", "identificativo", "linea", "copia prima dell'invio",
    "note"};

// A value on one line: a line end in the notes is written as "\n", a
// backslash as "\\".
QString UnaRiga(const QString &valore) {
    QString r = valore;
    r.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    r.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
    r.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    r.replace(QLatin1Char('\r'), QLatin1String("\\n"));
    return r;
}

QString DaUnaRiga(const QString &valore) {
    QString r;
    for (qsizetype i = 0; i < valore.size(); ++i) {
        if (valore[i] == QLatin1Char('\\') && i + 1 < valore.size()) {
            const QChar c = valore[++i];
            r += c == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : c;
        } else {
            r += valore[i];
        }
    }
    return r;
}

// A yes or no as the tool writes it ("sì", "no"; "si" as it once did): no
// value else, so that a word it does not know never turns a backup off.
std::optional<bool> SiONo(const QString &valore) {
    const QString v = valore.trimmed().toLower();
    if (v == QStringLiteral("sì") || v == QLatin1String("si")) return true;
    if (v == QLatin1String("no")) return false;
    return std::nullopt;
}

// The line as the tool writes it: RS485 or RS232, else no value.
std::optional<bool> Rs485(const QString &valore) {
    const QString v = valore.trimmed();
    if (v.compare(QLatin1String("RS485"), Qt::CaseInsensitive) == 0) return true;
    if (v.compare(QLatin1String("RS232"), Qt::CaseInsensitive) == 0) return false;
    return std::nullopt;
}

// The CSV's columns: header and field.
struct Colonna {
    const char *intestazione;
    QString Impianto::*testo;
    bool Impianto::*bandiera;
};
const Colonna Colonne[] = {
    {"nome", &Impianto::nome, nullptr},
    {"cliente", &Impianto::cliente, nullptr},
    {"indirizzo", &Impianto::indirizzo, nullptr},
    {"collegamento", &Impianto::porta, nullptr},
    {"identificativo", &Impianto::id, nullptr},
    {"rs485", nullptr, &Impianto::rs485},
    {"copia prima dell'invio", nullptr, &Impianto::copia},
    {"note", &Impianto::note, nullptr},
};

// Letters two names differ by (insertions, deletions, changes), without case.
int Distanza(const QString &a, const QString &b) {
    const QString x = a.toLower(), y = b.toLower();
    QList<int> prima(y.size() + 1), ora(y.size() + 1);
    for (qsizetype j = 0; j <= y.size(); ++j)
        prima[j] = int(j);
    for (qsizetype i = 1; i <= x.size(); ++i) {
        ora[0] = int(i);
        for (qsizetype j = 1; j <= y.size(); ++j)
            ora[j] = std::min(
                {prima[j] + 1, ora[j - 1] + 1, prima[j - 1] + (x[i - 1] == y[j - 1] ? 0 : 1)});
        std::swap(prima, ora);
    }
    return prima[y.size()];
}

// Letters and digits only, without case or accents: "Dell’Invio" and
// "dell'invio" alike.
QString SenzaSegni(const QString &testo) {
    QString r;
    for (const QChar c : testo.normalized(QString::NormalizationForm_D))
        if (c.isLetterOrNumber()) r += c.toLower();
    return r;
}

// The key of the tool that `chiave` (none of them) looks like: the same in
// another case, accent or apostrophe, or a letter or two off. Empty if none.
QString ChiaveSimile(const QString &chiave) {
    for (const QString &k : Chiavi)
        if (SenzaSegni(chiave) == SenzaSegni(k) ||
            Distanza(chiave, k) <= std::min<qsizetype>(2, k.size() / 5))
            return k;
    return QString();
}

// The check and the creation of a site, for one run at a time on the book:
// an flock on impianti/.blocco (a file: never taken for a site), held
// while it lives. Two runs creating "sitoN" and "SITON" at once would
// otherwise both find the name free.
class Blocco {
  public:
    explicit Blocco(QString *errore) {
#ifdef Q_OS_UNIX
        const QString percorso = QDir(Libro()).filePath(QStringLiteral(".blocco"));
        fd_ = ::open(QFile::encodeName(percorso).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            *errore = QStringLiteral("impossibile usare %1: %2")
                          .arg(QDir::toNativeSeparators(percorso), Salvataggio::Motivo(errno));
            return;
        }
        // Another run creating sites (an import) holds it for a while.
        QElapsedTimer attesa;
        attesa.start();
        while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                *errore = QStringLiteral("impossibile bloccare %1: %2")
                              .arg(QDir::toNativeSeparators(percorso), Salvataggio::Motivo(errno));
                Chiudi();
                return;
            }
            if (attesa.elapsed() > 120000) {
                *errore = QStringLiteral("da due minuti un altro programma crea impianti nel "
                                         "libro %1: riprova quando ha finito")
                              .arg(QDir::toNativeSeparators(Libro()));
                Chiudi();
                return;
            }
            QThread::msleep(20);
        }
#endif
        preso_ = true;
        Q_UNUSED(errore);
    }
    ~Blocco() {
        Chiudi();
    }
    Blocco(const Blocco &) = delete;
    Blocco &operator=(const Blocco &) = delete;
    bool Preso() const {
        return preso_;
    }

  private:
    void Chiudi() {
#ifdef Q_OS_UNIX
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
#endif
    }
    int fd_ = -1;
    bool preso_ = false;
};

// Sites created while the book is locked, its folders' names read once.
class Creazione {
  public:
    explicit Creazione(QString *errore) {
        QDir libro(Libro());
        if (!libro.exists() && !QDir().mkpath(libro.path())) {
            *errore = QStringLiteral("impossibile creare la cartella %1")
                          .arg(QDir::toNativeSeparators(libro.path()));
            return;
        }
        blocco_.emplace(errore);
        if (!blocco_->Preso()) return;
        for (const QString &n :
             libro.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
            nomi_.insert(Piega(n), n);
    }
    bool Pronta() const { return blocco_ && blocco_->Preso(); }
    // Many sites at once: each description written without waiting for the
    // disk, and the disk synced once at the end (Sincronizza). A description
    // a crash leaves empty is a site refused as wrong, never a site used.
    void Insieme() { sincrona_ = false; }
    // False, with *errore, when the disk did not take what was written.
    bool Sincronizza(QString *errore) const {
#ifdef Q_OS_LINUX
        const int fd = ::open(QFile::encodeName(Libro()).constData(), O_RDONLY | O_CLOEXEC);
        const bool fatto = fd >= 0 && ::syncfs(fd) == 0;
        const int e = errno;
        if (fd >= 0) ::close(fd);
        if (!fatto) *errore = Salvataggio::Motivo(e);
        return fatto;
#else
        Q_UNUSED(errore);
        return true;
#endif
    }

    bool Crea(const Impianto &i, QString *errore) {
        if (const QString m = MotivoImpianto(i); !m.isEmpty()) {
            *errore = m;
            return false;
        }
        // The same name in another case or form: a synced folder on another
        // system would clash.
        if (const auto altro = nomi_.constFind(Piega(i.nome)); altro != nomi_.cend()) {
            *errore = QStringLiteral("c'è già un impianto di nome \"%1\"").arg(*altro);
            return false;
        }
        QDir libro(Libro());
        // mkdir is the last test: a folder made by hand meanwhile is not taken.
        if (!libro.mkdir(i.nome)) {
            *errore = QDir(CartellaDi(i.nome)).exists()
                          ? QStringLiteral("c'è già un impianto di nome \"%1\"").arg(i.nome)
                          : QStringLiteral("impossibile creare la cartella %1")
                                .arg(QDir::toNativeSeparators(CartellaDi(i.nome)));
            return false;
        }
        const QString percorso = QDir(CartellaDi(i.nome)).filePath(FileDescrizione);
        if (!(sincrona_ ? Salvataggio::SalvaNuovo(percorso, Descrizione(i),
                                                  Salvataggio::ModoPredefinito, errore)
                        : ScriviNuovo(percorso, Descrizione(i), errore))) {
            libro.rmdir(i.nome);
            return false;
        }
        nomi_.insert(Piega(i.nome), i.nome);
        return true;
    }

  private:
    static bool ScriviNuovo(const QString &percorso, const QByteArray &dati, QString *errore) {
        QFile f;
        QString motivo;
        if (!Salvataggio::ApriNuovo(f, percorso, Salvataggio::ModoPredefinito, &motivo)) {
            *errore = QStringLiteral("impossibile creare %1: %2")
                          .arg(QDir::toNativeSeparators(percorso), motivo);
            return false;
        }
        const bool scritto = f.write(dati) == dati.size() && f.flush();
        f.close();
        if (scritto && f.error() == QFileDevice::NoError) return true;
        *errore = QStringLiteral("impossibile scrivere %1: %2")
                      .arg(QDir::toNativeSeparators(percorso), Salvataggio::MotivoFile(f, errno));
        QFile::remove(percorso);
        return false;
    }

    bool sincrona_ = true;
    std::optional<Blocco> blocco_;
    QHash<QString, QString> nomi_; // Piega(name) -> the folder's name
};

} // namespace

QString Libro() {
    return QDir::current().filePath(QStringLiteral("impianti"));
}

QString CartellaDi(const QString &nome) {
    return QDir(Libro()).filePath(nome);
}

QString &InUso() {
    static QString nome;
    return nome;
}

Linea LineaDi(const Impianto &i) {
    static const QRegularExpression com(QStringLiteral("^COM([1-9])$"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (const auto m = com.match(i.porta); m.hasMatch()) return {m.captured(1), QString()};
    return {QString(), i.porta};
}

QString MotivoNome(const QString &nome) {
    if (nome.trimmed().isEmpty()) return QStringLiteral("il nome dell'impianto è vuoto");
    if (nome.size() > 100)
        return QStringLiteral("il nome dell'impianto è più lungo di 100 caratteri");
    if (nome.startsWith(QLatin1Char('.')))
        return QStringLiteral("il nome di un impianto non può cominciare con un punto");
    if (nome != nome.trimmed() || nome.endsWith(QLatin1Char('.')))
        return QStringLiteral("il nome di un impianto non può cominciare o finire con uno spazio, "
                              "né finire con un punto");
    for (const QChar c : nome) {
        if (c.unicode() < 32 || c.unicode() == 127 || c.category() == QChar::Other_Format)
            return QStringLiteral(
                "il nome di un impianto non può contenere caratteri di controllo");
        if (QStringLiteral("/\\:*?\"<>|").contains(c))
            return QStringLiteral("il nome di un impianto non può contenere %1 (serve come nome di "
                                  "cartella, anche su Windows)")
                .arg(c);
    }
    // Reserved on Windows whatever the extension: "nul.txt" is NUL.
    static const QRegularExpression riservato(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[0-9]|LPT[0-9])(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    if (riservato.match(nome).hasMatch())
        return QStringLiteral("\"%1\" è un nome riservato su Windows").arg(nome);
    if (nome.compare(QLatin1String("tutti"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("\"%1\" non può essere il nome di un impianto: --su-impianti tutti "
                              "vuol dire tutti gli impianti")
            .arg(nome);
    if (nome.contains(QLatin1Char(',')))
        return QStringLiteral("il nome di un impianto non può contenere una virgola (separa i nomi "
                              "in --su-impianti)");
    if (nome.startsWith(QLatin1Char('-')))
        return QStringLiteral("il nome di un impianto non può cominciare con \"-\" (sembrerebbe "
                              "un'opzione)");
    return QString();
}

QString Piega(const QString &nome) {
    return nome.normalized(QString::NormalizationForm_C).toCaseFolded();
}

QString MotivoPorta(const QString &porta) {
    if (porta.isEmpty()) return QStringLiteral("manca il collegamento (--porta)");
    if (IndirizzoDiRete(porta)) {
        const Indirizzo a = LeggiIndirizzo(porta);
        return a.errore;
    }
    static const QRegularExpression com(QStringLiteral("^COM[1-9]$"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (com.match(porta).hasMatch() || QDir::isAbsolutePath(porta)) return QString();
    return QStringLiteral("il collegamento \"%1\" non è un dispositivo (/dev/ttyUSB0), una porta "
                          "COM1-COM9 né un indirizzo tcp://, socket:// o rfc2217://")
        .arg(porta);
}

QString MotivoId(const QString &id) {
    static const QRegularExpression forma(QStringLiteral("^&[0-9]{2}$"));
    if (forma.match(id).hasMatch()) return QString();
    return QStringLiteral("l'identificativo \"%1\" non è della forma &NN (da &00 a &99)").arg(id);
}

QString MotivoImpianto(const Impianto &i) {
    for (const QString &m : {MotivoNome(i.nome), MotivoPorta(i.porta), MotivoId(i.id)})
        if (!m.isEmpty()) return m;
    return QString();
}

QByteArray Descrizione(const Impianto &i) {
    const QString valori[] = {i.cliente,
                              i.indirizzo,
                              i.porta,
                              i.id,
                              i.rs485 ? QStringLiteral("RS485") : QStringLiteral("RS232"),
                              i.copia ? QStringLiteral("sì") : QStringLiteral("no"),
                              i.note};
    QString testo = QStringLiteral("# Velto318: impianto \"%1\"\n").arg(UnaRiga(i.nome));
    for (size_t k = 0; k < std::size(Chiavi); ++k)
        testo += Chiavi[k] + QStringLiteral(": ") + UnaRiga(valori[k]) + QLatin1Char('\n');
    for (const QString &altra : i.altre)
        testo += altra + QLatin1Char('\n');
    return testo.toUtf8();
}

Impianto DaDescrizione(const QByteArray &dati, const QString &nome) {
    return LeggiDescrizione(dati, nome).impianto;
}

Lettura LeggiDescrizione(const QByteArray &dati, const QString &nome) {
    Lettura l;
    Impianto &i = l.impianto;
    i.nome = nome;
    const auto sbagliato = [&l](int riga, const QString &problema) {
        if (l.problema.isEmpty()) l.riga = riga, l.problema = problema;
    };
    QHash<QString, int> viste; // key -> its line
    const QStringList righe = QString::fromUtf8(dati).split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < righe.size(); ++n) {
        const int numero = int(n + 1);
        const QString r = righe[n].endsWith(QLatin1Char('\r')) ? righe[n].chopped(1) : righe[n];
        if (r.isEmpty() || r.startsWith(QLatin1Char('#'))) continue;
        const qsizetype due = r.indexOf(QLatin1Char(':'));
        const QString chiave = r.left(due).trimmed().toLower();
        QString valore = due < 0 ? QString() : r.mid(due + 1);
        if (valore.startsWith(QLatin1Char(' '))) valore.remove(0, 1);
        valore = DaUnaRiga(valore);
        if (std::find(std::begin(Chiavi), std::end(Chiavi), chiave) != std::end(Chiavi)) {
            if (const int prima = viste.value(chiave); prima > 0)
                sbagliato(numero,
                          QStringLiteral("\"%1\" c'è già alla riga %2").arg(chiave).arg(prima));
            viste.insert(chiave, numero);
        }
        if (chiave == QLatin1String("cliente")) {
            i.cliente = valore;
        } else if (chiave == QLatin1String("indirizzo")) {
            i.indirizzo = valore;
        } else if (chiave == QLatin1String("collegamento")) {
            i.porta = valore.trimmed();
            if (const QString m = MotivoPorta(i.porta); !m.isEmpty()) sbagliato(numero, m);
        } else if (chiave == QLatin1String("identificativo")) {
            i.id = valore.trimmed();
            if (const QString m = MotivoId(i.id); !m.isEmpty()) sbagliato(numero, m);
        } else if (chiave == QLatin1String("linea")) {
            const auto v = Rs485(valore);
            if (!v)
                sbagliato(numero,
                          QStringLiteral("la linea \"%1\" non è RS485 né RS232").arg(valore));
            i.rs485 = v.value_or(false);
        } else if (chiave == QLatin1String("copia prima dell'invio")) {
            const auto v = SiONo(valore);
            if (!v)
                sbagliato(numero, QStringLiteral("la copia prima dell'invio \"%1\" non è \"sì\" "
                                                 "né \"no\"")
                                      .arg(valore));
            i.copia = v.value_or(true);
        } else if (chiave == QLatin1String("note")) {
            i.note = valore;
        } else {
            const QString simile =
                ChiaveSimile(due < 0 ? r.section(QLatin1Char(' '), 0, 0) : chiave);
            if (!simile.isEmpty())
                sbagliato(numero, due < 0 ? QStringLiteral("manca \":\" dopo \"%1\"").arg(simile)
                                          : QStringLiteral("\"%1\" non è una chiave della "
                                                           "descrizione: forse \"%2\"?")
                                                .arg(r.left(due).trimmed(), simile));
            i.altre << r;
        }
    }
    if (!viste.contains(QStringLiteral("collegamento")))
        sbagliato(0, QStringLiteral("manca la riga \"collegamento: …\" (il collegamento della "
                                    "centrale)"));
    if (!viste.contains(QStringLiteral("identificativo")))
        sbagliato(0, QStringLiteral("manca la riga \"identificativo: &NN\""));
    return l;
}

std::optional<QByteArray> LeggiFile(const QString &percorso, qint64 limite, QString *errore) {
    const QString nativo = QDir::toNativeSeparators(percorso);
    const QString nonFile =
        QStringLiteral("%1 non è un file (è una cartella, una coda o un dispositivo): non si legge")
            .arg(nativo);
    QFile f(percorso);
#ifdef Q_OS_UNIX
    // Never opened in a way that waits: a FIFO would wait for a writer, a
    // terminal for a line.
    const int fd = ::open(QFile::encodeName(percorso).constData(),
                          O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st = {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *errore = fd < 0 ? QStringLiteral("impossibile leggere %1: %2")
                               .arg(nativo, Salvataggio::Motivo(errno))
                         : nonFile;
        if (fd >= 0) ::close(fd);
        return std::nullopt;
    }
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *errore = QStringLiteral("impossibile leggere %1: %2")
                      .arg(nativo, Salvataggio::MotivoFile(f, errno));
        return std::nullopt;
    }
#else
    if (!QFileInfo(percorso).isFile() && QFileInfo::exists(percorso)) {
        *errore = nonFile;
        return std::nullopt;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        *errore = QStringLiteral("impossibile leggere %1: %2")
                      .arg(nativo, Salvataggio::MotivoApertura(f));
        return std::nullopt;
    }
#endif
    QByteArray dati = f.read(limite + 1);
    if (dati.size() > limite) {
        *errore = QStringLiteral("%1 è più grande di %2 byte: non è un file di questo programma")
                      .arg(nativo)
                      .arg(limite);
        return std::nullopt;
    }
    if (f.error() != QFileDevice::NoError) {
        *errore = QStringLiteral("impossibile leggere %1: %2")
                      .arg(nativo, Salvataggio::MotivoFile(f, errno));
        return std::nullopt;
    }
    return dati;
}

bool Crea(const Impianto &i, QString *errore) {
    if (const QString m = MotivoImpianto(i); !m.isEmpty()) {
        *errore = m;
        return false;
    }
    Creazione creazione(errore);
    return creazione.Pronta() && creazione.Crea(i, errore);
}

int CreaTutti(const QList<Impianto> &impianti, const std::function<bool()> &fermati,
              QStringList *saltati, QString *errore) {
    if (impianti.isEmpty()) return 0;
    Creazione creazione(errore);
    if (!creazione.Pronta()) return -1;
    creazione.Insieme();
    int creati = 0;
    for (const Impianto &i : impianti) {
        if (fermati && fermati()) break;
        QString perche;
        if (creazione.Crea(i, &perche))
            ++creati;
        else
            *saltati << QStringLiteral("%1: %2").arg(i.nome, perche);
    }
    if (QString perche; creati > 0 && !creazione.Sincronizza(&perche))
        *errore =
            QStringLiteral("i file scritti potrebbero non essere tutti sul disco (%1)").arg(perche);
    return creati;
}

bool Aggiorna(const Impianto &i, QString *errore) {
    if (const QString m = MotivoImpianto(i); !m.isEmpty()) {
        *errore = m;
        return false;
    }
    const QString percorso = QDir(CartellaDi(i.nome)).filePath(FileDescrizione);
    if (!QFile::exists(percorso)) {
        *errore = QStringLiteral("l'impianto \"%1\" non è nel libro").arg(i.nome);
        return false;
    }
    return Salvataggio::Salva(percorso, Descrizione(i), errore);
}

std::optional<Impianto> Carica(const QString &nomeDato, QString *errore, bool *rotto) {
    if (rotto) *rotto = false;
    QString doppio;
    const QString nome = NomeNelLibro(nomeDato, &doppio);
    if (!doppio.isEmpty()) {
        *errore = doppio;
        return std::nullopt;
    }
    if (nome.isEmpty()) {
        *errore = QStringLiteral("l'impianto \"%1\" non è nel libro (%2)")
                      .arg(nomeDato, QDir::toNativeSeparators(Libro()));
        return std::nullopt;
    }
    if (rotto) *rotto = true;
    const QString percorso = QDir(CartellaDi(nome)).filePath(FileDescrizione);
    const auto dati = LeggiFile(percorso, 64 * 1024, errore);
    if (!dati) return std::nullopt;
    const Lettura l = LeggiDescrizione(*dati, nome);
    if (!l.problema.isEmpty()) {
        // Never completed from the working folder's link or a default: the
        // job would reach another panel.
        *errore =
            QStringLiteral("l'impianto \"%1\" non si può usare: %2%3: %4; correggi il file")
                .arg(nome, QDir::toNativeSeparators(percorso),
                     l.riga > 0 ? QStringLiteral(", riga %1").arg(l.riga) : QString(), l.problema);
        return std::nullopt;
    }
    if (rotto) *rotto = false;
    return l.impianto;
}

QList<Impianto> Elenco(QStringList *errori, QList<Rotto> *rotti) {
    QList<Impianto> libro;
    const QStringList cartelle = QDir(Libro()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &nome : cartelle) {
        QString errore;
        if (const QString m = MotivoNome(nome); !m.isEmpty()) {
            if (nome.startsWith(QLatin1Char('.'))) continue; // a sync tool's own folder
            errore =
                QStringLiteral("la cartella \"%1\" del libro non è un impianto: %2").arg(nome, m);
        } else if (const auto i = Carica(nome, &errore)) {
            libro << *i;
            continue;
        }
        if (errori) *errori << errore;
        if (rotti) *rotti << Rotto{nome, errore};
    }
    std::sort(libro.begin(), libro.end(), [](const Impianto &a, const Impianto &b) {
        const int c = a.nome.compare(b.nome, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.nome < b.nome;
    });
    return libro;
}

QStringList Vicini(const QString &nome, const QList<Impianto> &libro) {
    QStringList vicini;
    for (const Impianto &i : libro)
        if (i.nome.contains(nome, Qt::CaseInsensitive) ||
            nome.contains(i.nome, Qt::CaseInsensitive) ||
            Distanza(i.nome, nome) <=
                std::max<qsizetype>(1, std::min<qsizetype>(2, nome.size() / 4)))
            vicini << i.nome;
    return vicini;
}

QByteArray Csv(const QList<Impianto> &libro) {
    QStringList intestazioni;
    for (const Colonna &c : Colonne)
        intestazioni << QString::fromUtf8(c.intestazione);
    QString testo = intestazioni.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    for (const Impianto &i : libro) {
        QStringList campi;
        for (const Colonna &c : Colonne)
            campi << (c.testo ? Csv::Cella(i.*c.testo)
                              : (i.*c.bandiera ? QStringLiteral("sì") : QStringLiteral("no")));
        testo += campi.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    return testo.toUtf8();
}

Importazione LeggiCsv(const QByteArray &dati) {
    Importazione r;
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString testo = utf8(dati);
    if (utf8.hasError()) {
        // Saved as Latin-1 or Windows-1252: the accents would become U+FFFD.
        const QList<QByteArray> righe = dati.split('\n');
        qsizetype n = 0;
        for (; n + 1 < righe.size(); ++n) {
            QStringDecoder riga(QStringDecoder::Utf8);
            [[maybe_unused]] const QString t = riga(righe[n]);
            if (riga.hasError()) break;
        }
        r.errore = QStringLiteral("il file non è in UTF-8 (riga %1): salvalo come \"CSV UTF-8\"")
                       .arg(n + 1);
        return r;
    }
    if (testo.startsWith(QChar(0xFEFF))) testo.remove(0, 1);
    const QString prima = testo.section(QLatin1Char('\n'), 0, 0);
    const QChar separatore = prima.contains(QLatin1Char(';')) || !prima.contains(QLatin1Char(','))
                                 ? QLatin1Char(';')
                                 : QLatin1Char(',');
    const QList<QStringList> righe = Csv::Righe(testo, separatore);
    if (righe.isEmpty()) return r;
    // Where each column stands, by its header.
    QList<int> posto;
    for (const Colonna &c : Colonne) {
        int trovato = -1;
        for (qsizetype k = 0; k < righe[0].size(); ++k)
            if (righe[0][k].trimmed().compare(QString::fromUtf8(c.intestazione),
                                              Qt::CaseInsensitive) == 0)
                trovato = int(k);
        posto << trovato;
    }
    QSet<QString> visti; // Piega() of each name
    for (qsizetype n = 1; n < righe.size(); ++n) {
        Impianto i;
        QString male; // a yes or no cell the tool does not know
        for (size_t k = 0; k < std::size(Colonne); ++k) {
            if (posto[int(k)] < 0) continue;
            const bool c = posto[int(k)] < righe[n].size();
            const QString campo = c ? Csv::Valore(righe[n][posto[int(k)]]) : QString();
            if (Colonne[k].testo) {
                if (c)
                    i.*Colonne[k].testo =
                        Colonne[k].testo == &Impianto::note ? campo : campo.trimmed();
                continue;
            }
            // Never a default: a blank cell or a word of another program
            // would turn a backup off, or choose the line.
            const bool linea = Colonne[k].bandiera == &Impianto::rs485;
            const auto v = linea ? (Rs485(campo) ? Rs485(campo) : SiONo(campo)) : SiONo(campo);
            if (v)
                i.*Colonne[k].bandiera = *v;
            else if (male.isEmpty())
                male = QStringLiteral("colonna \"%1\": \"%2\" non è %3")
                           .arg(QString::fromUtf8(Colonne[k].intestazione), campo,
                                linea ? QStringLiteral("\"sì\", \"no\", RS485 né RS232")
                                      : QStringLiteral("\"sì\" né \"no\""));
        }
        const QString riga = QStringLiteral("riga %1 (%2)").arg(n + 1).arg(i.nome);
        if (const QString m = MotivoImpianto(i); !m.isEmpty() || !male.isEmpty()) {
            r.saltati << riga + QStringLiteral(": ") + (m.isEmpty() ? male : m);
            continue;
        }
        if (visti.contains(Piega(i.nome))) {
            r.saltati << riga + QStringLiteral(": il nome è già su una riga precedente del file");
            continue;
        }
        visti.insert(Piega(i.nome));
        r.impianti << i;
    }
    return r;
}

QString NomeNelLibro(const QString &nome, QString *errore) {
    if (!MotivoNome(nome).isEmpty()) return QString();
    if (QDir(CartellaDi(nome)).exists()) return nome;
    const QStringList cartelle = QDir(Libro()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QStringList simili;
    for (const QString &c : cartelle)
        if (Piega(c) == Piega(nome)) simili << c;
    if (simili.size() == 1) return simili.first();
    if (simili.size() > 1)
        *errore = QStringLiteral("nel libro ci sono %1 impianti che differiscono da \"%2\" solo "
                                 "per maiuscole e minuscole (%3): scrivi il nome esatto")
                      .arg(simili.size())
                      .arg(nome, simili.join(QStringLiteral(", ")));
    return QString();
}

QStringList Avvisi(const Impianto &i, const QList<Impianto> &libro,
                   const std::function<QString(const Impianto &)> &chiaveLinea) {
    QStringList avvisi;
    const QString chiave = chiaveLinea(i);
    for (const Impianto &altro : libro) {
        if (altro.nome == i.nome || chiaveLinea(altro) != chiave) continue;
        if (altro.id == i.id)
            avvisi << QStringLiteral("l'impianto \"%1\" ha lo stesso collegamento (%2) e lo stesso "
                                     "identificativo (%3): i due impianti parlano con la stessa "
                                     "centrale")
                          .arg(altro.nome, altro.porta, altro.id);
        else if (!altro.rs485 && !i.rs485)
            avvisi << QStringLiteral("anche l'impianto \"%1\" è RS232 sul collegamento %2: una "
                                     "linea RS232 porta una sola centrale")
                          .arg(altro.nome, altro.porta);
    }
    return avvisi;
}

bool Rinomina(const QString &vecchio, const QString &nuovo, QString *errore) {
    if (const QString m = MotivoNome(nuovo); !m.isEmpty()) {
        *errore = m;
        return false;
    }
    if (!QDir(CartellaDi(vecchio)).exists() || !MotivoNome(vecchio).isEmpty()) {
        *errore = QStringLiteral("l'impianto \"%1\" non è nel libro").arg(vecchio);
        return false;
    }
    if (nuovo == vecchio) {
        *errore = QStringLiteral("l'impianto si chiama già \"%1\"").arg(nuovo);
        return false;
    }
    // As a creation: one run at a time, names composed and without case.
    Blocco blocco(errore);
    if (!blocco.Preso()) return false;
    // The site itself may change the case of its name.
    for (const QString &c : QDir(Libro()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (c != vecchio && Piega(c) == Piega(nuovo)) {
            *errore = QStringLiteral("c'è già un impianto di nome \"%1\"").arg(c);
            return false;
        }
    QString nonLetto;
    auto impianto = Carica(vecchio, &nonLetto);
    if (!QDir(Libro()).rename(vecchio, nuovo)) {
        *errore = QStringLiteral("la cartella %1 non si può rinominare")
                      .arg(QDir::toNativeSeparators(CartellaDi(vecchio)));
        return false;
    }
    // The description's first line names the site: written again under the new
    // name (a description that cannot be read stays as it is).
    if (impianto) {
        impianto->nome = nuovo;
        QString ignorato;
        Salvataggio::Salva(QDir(CartellaDi(nuovo)).filePath(FileDescrizione),
                           Descrizione(*impianto), &ignorato);
    }
    return true;
}

QString Archivio() {
    return QDir::current().filePath(QStringLiteral("archivio"));
}

QString Archivia(const QString &nome, QString *errore) {
    if (!MotivoNome(nome).isEmpty() || !QDir(CartellaDi(nome)).exists()) {
        *errore = QStringLiteral("l'impianto \"%1\" non è nel libro").arg(nome);
        return QString();
    }
    if (!QDir().mkpath(Archivio())) {
        *errore = QStringLiteral("impossibile creare la cartella %1")
                      .arg(QDir::toNativeSeparators(Archivio()));
        return QString();
    }
    const QString base = nome + QLatin1Char('-') +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1; n < 100; ++n) {
        const QString meta =
            QDir(Archivio()).filePath(n == 1 ? base : base + QLatin1Char('-') + QString::number(n));
        // An empty folder of that name would be replaced by the move: every
        // name already there is passed over.
        if (QFileInfo::exists(meta) || QFileInfo(meta).isSymLink()) continue;
        if (QDir().rename(CartellaDi(nome), meta)) return meta;
        *errore = QStringLiteral("la cartella %1 non si può spostare in %2")
                      .arg(QDir::toNativeSeparators(CartellaDi(nome)),
                           QDir::toNativeSeparators(Archivio()));
        return QString();
    }
    *errore = QStringLiteral("nessun nome libero in %1").arg(QDir::toNativeSeparators(Archivio()));
    return QString();
}

} // namespace Impianti
