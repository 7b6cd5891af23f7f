#include "link/Configurazione.h"

#include "shared/Numeri.h"
#include "shared/Salvataggio.h"
#include "shared/Variabili.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <optional>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

Configurazione ValoriDaRiga(const QString &primaRiga) {
    Configurazione c;
    c.Modo485 = ValoreIniziale(primaRiga.mid(2, 3)) == 485.0;
    c.NumeroPorta = primaRiga.mid(9, 1);
    c.Identificativo = primaRiga.mid(11, 3);
    return c;
}

namespace {

// The positions the format reads all lie within the first 14 characters.
constexpr int CaratteriUsati = 14;

// What the path leads to, links followed, found without opening it: opening
// a named pipe waits for a writer, a device may block or never end.
enum class Voce { Assente, File, Altro };

Voce TipoVoce(const QString &percorso) {
#ifdef Q_OS_UNIX
    struct stat s;
    if (::stat(QFile::encodeName(percorso).constData(), &s) != 0) return Voce::Assente;
    return S_ISREG(s.st_mode) ? Voce::File : Voce::Altro;
#else
    const QFileInfo voce(percorso);
    if (!voce.exists()) return Voce::Assente;
    return voce.isFile() ? Voce::File : Voce::Altro;
#endif
}

// Opens a regular file for reading without ever waiting: what was put in
// its place since it was looked at is not opened as a file either.
Voce Apri(QFile &file) {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(),
                          O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Voce::Assente;
    struct stat s;
    if (::fstat(fd, &s) != 0 || !S_ISREG(s.st_mode)) {
        ::close(fd);
        return Voce::Altro;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Voce::Assente;
    }
    return Voce::File;
#else
    return file.open(QIODevice::ReadOnly) ? Voce::File : Voce::Assente;
#endif
}

// Reads the first line as far as the format needs: its first characters into
// riga, then on to its line end and one byte beyond. True when anything
// follows the line end. Lines end at CR LF, a lone CR or a lone LF. A first
// line longer than RigaMassima is no configuration line: false, *lunga set.
bool PrimaRiga(QIODevice &file, QString *riga, bool *lunga) {
    QByteArray inizio;
    qint64 lunghezza = 0;
    enum { NellaRiga, DopoCR, DopoFineRiga } dove = NellaRiga;
    char blocco[4096];
    qint64 letti;
    while ((letti = file.read(blocco, sizeof blocco)) > 0) {
        for (qint64 i = 0; i < letti; ++i) {
            const char c = blocco[i];
            if (dove == DopoFineRiga || (dove == DopoCR && c != '\n')) {
                *riga = QString::fromLatin1(inizio);
                return true;
            }
            if (c == '\r' || c == '\n') {
                dove = c == '\r' ? DopoCR : DopoFineRiga;
            } else {
                if (++lunghezza > RigaMassima) {
                    *lunga = true;
                    return false;
                }
                if (inizio.size() < CaratteriUsati) inizio += c;
            }
        }
    }
    *riga = QString::fromLatin1(inizio);
    return false;
}

// Which rule a file's content breaks, in the order they are tested, in
// Italian; empty when the content is valid.
QString Difetto(bool seguito, bool lunga, const QString &riga) {
    if (lunga) return QStringLiteral("la prima riga è più lunga di %1 caratteri").arg(RigaMassima);
    if (!seguito)
        return QStringLiteral("dopo la prima riga non c'è nulla (serve una seconda riga, per "
                              "esempio END, e la prima deve finire con un a capo)");
    if (riga.isEmpty()) return QStringLiteral("la prima riga è vuota");
    if (riga.startsWith(QLatin1String("rs"))) return QString();
    if (riga.startsWith(QLatin1String("\xEF\xBB\xBF")))
        return QStringLiteral("il file inizia con il segno BOM dell'UTF-8 (i byte EF BB BF, che "
                              "alcuni editor di Windows aggiungono) invece che con \"rs\"");
    if (riga.startsWith(QLatin1String("rs"), Qt::CaseInsensitive))
        return QStringLiteral("la prima riga inizia con \"%1\": deve iniziare con \"rs\" "
                              "minuscolo")
            .arg(riga.left(2));
    return QStringLiteral("la prima riga non inizia con \"rs\"");
}

// A copy of the file beside it, under the first free name of percorso.bak,
// percorso.bak.1, ...: an earlier copy is never overwritten. Returns its path,
// or nothing with *errore set.
std::optional<QString> Conserva(const QString &percorso, QString *errore) {
    for (int n = 0; n < 1000; ++n) {
        const QString copia =
            percorso + QStringLiteral(".bak") + (n == 0 ? QString() : QStringLiteral(".%1").arg(n));
        if (QFileInfo::exists(copia) || QFileInfo(copia).isSymLink()) continue;
        QFile file(percorso);
        if (file.copy(copia)) return copia;
        const int numero = errno;
        // Made by someone else in the meantime: the next name.
        if (QFileInfo::exists(copia)) continue;
        *errore = Salvataggio::MotivoFile(file, numero);
        return std::nullopt;
    }
    *errore = QStringLiteral("troppe copie già presenti");
    return std::nullopt;
}

} // namespace

Configurazione LeggiConfigurazione(const QString &percorso) {
    QString riga;
    QString difetto; // the rule an existing file breaks
    bool vuoto = false;
    Voce voce = TipoVoce(percorso);
    if (voce == Voce::File) {
        QFile file(percorso);
        voce = Apri(file);
        if (voce == Voce::File) {
            bool lunga = false;
            vuoto = file.size() == 0;
            const bool seguito = PrimaRiga(file, &riga, &lunga);
            difetto = Difetto(seguito, lunga, riga);
            if (difetto.isEmpty()) return ValoriDaRiga(riga);
        } else if (voce == Voce::Assente && QFileInfo::exists(percorso)) {
            voce = Voce::File;
            difetto = QStringLiteral("non si può leggere");
        }
    }

    Configurazione c = ValoriDaRiga(QString::fromLatin1(ContenutoPredefinito.left(15)));
    if (voce == Voce::Altro) {
        // A named pipe, a device or a folder is never written to: that could
        // wait for ever or reach a device. The run goes on with the defaults.
        c.avviso = QStringLiteral("Il file di configurazione %1 non è un file normale (è una "
                                  "cartella, una pipe o un dispositivo): non viene letto né "
                                  "sostituito. Uso RS232, COM1, identificativo &45.")
                       .arg(percorso);
        return c;
    }
    // The technician's port, identifier and link kind are never lost: a file
    // that is not valid is kept beside the default before it is replaced.
    QString conservato;
    if (voce == Voce::File && !vuoto) {
        QString errore;
        const auto copia = Conserva(percorso, &errore);
        if (!copia) {
            c.avviso = QStringLiteral("Il file di configurazione %1 non è valido: %2. Non se ne è "
                                      "potuta fare una copia (%3), quindi resta com'è: uso "
                                      "RS232, COM1, identificativo &45.")
                           .arg(percorso, difetto, errore);
            return c;
        }
        conservato = QStringLiteral("Il file di configurazione %1 non era valido: %2. Il suo "
                                    "contenuto è conservato in %3")
                         .arg(percorso, difetto, *copia);
    }
    QString errore;
    if (Salvataggio::Salva(percorso, ContenutoPredefinito, &errore)) {
        c.predefinitaScritta = true;
        if (!conservato.isEmpty())
            c.avviso = conservato + QStringLiteral("; al suo posto è stato scritto quello "
                                                   "predefinito (RS232, COM1, identificativo "
                                                   "&45).");
    } else {
        c.avviso = QStringLiteral("Impossibile scrivere il file di configurazione: %1. "
                                  "Uso RS232, COM1, identificativo &45.")
                       .arg(errore);
        if (!conservato.isEmpty()) c.avviso = conservato + QStringLiteral(". ") + c.avviso;
    }
    return c;
}

QString CaricaConfigurazione() {
    const Configurazione c = LeggiConfigurazione(V::NomeFile);
    V::Modo485 = c.Modo485;
    V::NumeroPorta = c.NumeroPorta;
    V::Identificativo = c.Identificativo;
    return c.avviso;
}

QByteArray ConIdentificativo(const QByteArray &contenuto, const QString &id) {
    qsizetype fine = contenuto.indexOf('\n');
    if (fine < 0) fine = contenuto.size();
    if (fine > 0 && contenuto[fine - 1] == '\r') --fine;
    QByteArray riga = contenuto.left(fine);
    if (riga.size() < 11) riga.append(11 - riga.size(), ' ');
    riga = riga.left(11) + id.toLatin1().leftJustified(3, ' ', true) + riga.mid(14);
    return riga + contenuto.mid(fine);
}

QString SalvaIdentificativo(const QString &percorso, const QString &id) {
    const Configurazione c = LeggiConfigurazione(percorso);
    if (!c.avviso.isEmpty() && !c.predefinitaScritta) return c.avviso;
    QFile file(percorso);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 non si può leggere: %2.")
            .arg(percorso, Salvataggio::MotivoApertura(file));
    const QByteArray contenuto = file.readAll();
    file.close();
    QString errore;
    if (!Salvataggio::Salva(percorso, ConIdentificativo(contenuto, id), &errore)) return errore;
    return QString();
}
