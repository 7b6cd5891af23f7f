#include "impianti/Impianti.h"

#include "link/IndirizzoRete.h"
#include "shared/Csv.h"
#include "shared/Salvataggio.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

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

bool Si(const QString &valore) {
    const QString v = valore.trimmed().toLower();
    return v == QStringLiteral("sì") || v == QLatin1String("si") || v == QLatin1String("yes") ||
           v == QLatin1String("1");
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
    static const QRegularExpression riservato(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[0-9]|LPT[0-9])$"),
        QRegularExpression::CaseInsensitiveOption);
    if (riservato.match(nome).hasMatch())
        return QStringLiteral("\"%1\" è un nome riservato su Windows").arg(nome);
    return QString();
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
    Impianto i;
    i.nome = nome;
    for (const QString &riga : QString::fromUtf8(dati).split(QLatin1Char('\n'))) {
        const QString r = riga.endsWith(QLatin1Char('\r')) ? riga.chopped(1) : riga;
        if (r.isEmpty() || r.startsWith(QLatin1Char('#'))) continue;
        const qsizetype due = r.indexOf(QLatin1Char(':'));
        const QString chiave = r.left(due).trimmed().toLower();
        QString valore = due < 0 ? QString() : r.mid(due + 1);
        if (valore.startsWith(QLatin1Char(' '))) valore.remove(0, 1);
        valore = DaUnaRiga(valore);
        if (chiave == QLatin1String("cliente"))
            i.cliente = valore;
        else if (chiave == QLatin1String("indirizzo"))
            i.indirizzo = valore;
        else if (chiave == QLatin1String("collegamento"))
            i.porta = valore.trimmed();
        else if (chiave == QLatin1String("identificativo"))
            i.id = valore.trimmed();
        else if (chiave == QLatin1String("linea"))
            i.rs485 = valore.trimmed().compare(QLatin1String("RS485"), Qt::CaseInsensitive) == 0;
        else if (chiave == QLatin1String("copia prima dell'invio"))
            i.copia = Si(valore);
        else if (chiave == QLatin1String("note"))
            i.note = valore;
        else
            i.altre << r;
    }
    return i;
}

bool Crea(const Impianto &i, QString *errore) {
    if (const QString m = MotivoImpianto(i); !m.isEmpty()) {
        *errore = m;
        return false;
    }
    for (const Impianto &altro : Elenco())
        if (altro.nome.compare(i.nome, Qt::CaseInsensitive) == 0) {
            *errore = QStringLiteral("c'è già un impianto di nome \"%1\"").arg(altro.nome);
            return false;
        }
    QDir libro(Libro());
    if (!libro.exists() && !QDir().mkpath(libro.path())) {
        *errore = QStringLiteral("impossibile creare la cartella %1")
                      .arg(QDir::toNativeSeparators(libro.path()));
        return false;
    }
    // mkdir is the test and the claim at once: two runs never both create a site.
    if (!libro.mkdir(i.nome)) {
        *errore = QDir(CartellaDi(i.nome)).exists()
                      ? QStringLiteral("c'è già un impianto di nome \"%1\"").arg(i.nome)
                      : QStringLiteral("impossibile creare la cartella %1")
                            .arg(QDir::toNativeSeparators(CartellaDi(i.nome)));
        return false;
    }
    if (Salvataggio::SalvaNuovo(QDir(CartellaDi(i.nome)).filePath(FileDescrizione), Descrizione(i),
                                Salvataggio::ModoPredefinito, errore))
        return true;
    libro.rmdir(i.nome);
    return false;
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

std::optional<Impianto> Carica(const QString &nomeDato, QString *errore) {
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
    QFile f(QDir(CartellaDi(nome)).filePath(FileDescrizione));
    if (!f.open(QIODevice::ReadOnly)) {
        *errore = QStringLiteral("impossibile leggere %1: %2")
                      .arg(QDir::toNativeSeparators(f.fileName()), f.errorString());
        return std::nullopt;
    }
    return DaDescrizione(f.read(64 * 1024), nome);
}

QList<Impianto> Elenco(QStringList *errori) {
    QList<Impianto> libro;
    const QStringList cartelle = QDir(Libro()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &nome : cartelle) {
        if (!MotivoNome(nome).isEmpty()) continue; // a sync tool's own folder
        QString errore;
        if (const auto i = Carica(nome, &errore))
            libro << *i;
        else if (errori)
            *errori << errore;
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
    QString testo = QString::fromUtf8(dati);
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
    QStringList visti;
    for (qsizetype n = 1; n < righe.size(); ++n) {
        Impianto i;
        for (size_t k = 0; k < std::size(Colonne); ++k) {
            if (posto[int(k)] < 0 || posto[int(k)] >= righe[n].size()) continue;
            const QString campo = Csv::Valore(righe[n][posto[int(k)]]);
            if (Colonne[k].testo)
                i.*Colonne[k].testo = Colonne[k].testo == &Impianto::note ? campo : campo.trimmed();
            else
                i.*Colonne[k].bandiera =
                    Si(campo) ||
                    campo.trimmed().compare(QLatin1String("RS485"), Qt::CaseInsensitive) == 0;
        }
        const QString riga = QStringLiteral("riga %1 (%2)").arg(n + 1).arg(i.nome);
        if (const QString m = MotivoImpianto(i); !m.isEmpty()) {
            r.saltati << riga + QStringLiteral(": ") + m;
            continue;
        }
        if (visti.contains(i.nome, Qt::CaseInsensitive)) {
            r.saltati << riga + QStringLiteral(": il nome è già su una riga precedente del file");
            continue;
        }
        visti << i.nome;
        r.impianti << i;
    }
    return r;
}

namespace {

// Two sites' links lead to one line: COMn and network addresses are the
// same in any case, device paths only as written.
bool StessoCollegamento(const QString &a, const QString &b) {
    return a.compare(b, QDir::isAbsolutePath(a) ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

} // namespace

QString NomeNelLibro(const QString &nome, QString *errore) {
    if (!MotivoNome(nome).isEmpty()) return QString();
    if (QDir(CartellaDi(nome)).exists()) return nome;
    const QStringList cartelle = QDir(Libro()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QStringList simili;
    for (const QString &c : cartelle)
        if (c.compare(nome, Qt::CaseInsensitive) == 0) simili << c;
    if (simili.size() == 1) return simili.first();
    if (simili.size() > 1)
        *errore = QStringLiteral("nel libro ci sono %1 impianti che differiscono da \"%2\" solo "
                                 "per maiuscole e minuscole (%3): scrivi il nome esatto")
                      .arg(simili.size())
                      .arg(nome, simili.join(QStringLiteral(", ")));
    return QString();
}

QStringList Avvisi(const Impianto &i, const QList<Impianto> &libro) {
    QStringList avvisi;
    for (const Impianto &altro : libro) {
        if (altro.nome == i.nome || !StessoCollegamento(altro.porta, i.porta)) continue;
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
    // The site itself may change the case of its name.
    for (const QString &c : QDir(Libro()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (c != vecchio && c.compare(nuovo, Qt::CaseInsensitive) == 0) {
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
