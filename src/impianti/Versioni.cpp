#include "impianti/Versioni.h"

#include "files/FileMessaggi.h"
#include "files/Programmazione.h"
#include "impianti/Impianti.h"
#include "shared/Salvataggio.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <algorithm>

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

QString NonSiScrive(const QString &percorso) {
    const QDir cartella = QFileInfo(percorso).absoluteDir();
    QDir libro = cartella;
    const QString libroVero = QFileInfo(Impianti::Libro()).canonicalFilePath();
    if (cartella.dirName() != QLatin1String("versioni") || !libro.cdUp() || !libro.cdUp() ||
        libroVero.isEmpty() || libro.canonicalPath() != libroVero)
        return QString();
    return QStringLiteral("la cartella %1 tiene le versioni di un impianto, che non si "
                          "sovrascrivono: scegli un'altra cartella")
        .arg(QDir::toNativeSeparators(cartella.path()));
}

std::optional<Testi> TestiDi(const Versione &v, QString *errore) {
    const auto scansione = FormatoMessaggi::LeggiMessaggi(v.percorso, errore);
    if (!scansione) return std::nullopt;
    Testi testi;
    for (const Programmazione::Voce &voce : Programmazione::VociDaInviare(*scansione))
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

QList<Versione> Elenco(const QString &impianto, Lettura lettura) {
    QList<Versione> versioni;
    const QDir cartella(Cartella(impianto));
    for (const QString &nome : cartella.entryList({QStringLiteral("*.vlt")}, QDir::Files)) {
        auto v = DaNome(nome);
        if (!v) continue;
        v->percorso = cartella.filePath(nome);
        if (lettura == Lettura::Testi) Leggi(*v);
        versioni << *v;
    }
    std::sort(versioni.begin(), versioni.end(), [](const Versione &a, const Versione &b) {
        return a.quando != b.quando ? a.quando < b.quando : a.percorso < b.percorso;
    });
    for (qsizetype i = 0; i < versioni.size(); ++i)
        versioni[i].numero = int(i + 1);
    return versioni;
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
        QString ignorato;
        const auto ultimi = TestiDi(prima.last(), &ignorato);
        if (ultimi && *ultimi == testi) {
            Versione v = prima.last();
            Leggi(v);
            return v;
        }
    }
    if (!QDir().mkpath(Cartella(impianto))) {
        *errore = QStringLiteral("impossibile creare la cartella %1")
                      .arg(QDir::toNativeSeparators(Cartella(impianto)));
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
