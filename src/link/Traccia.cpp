#include "link/Traccia.h"

#include "shared/Salvataggio.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace Traccia {

namespace {

// The sink: the open file, the clock of the run, the reply of the attempt.
// On Unix the file is written with the system's calls: no buffer to flush,
// every write's own reason, and a device such as /dev/full taken as it is.
struct Pozzo {
    QString percorso;
#ifdef Q_OS_UNIX
    int fd = -1;
    ~Pozzo() {
        if (fd >= 0) ::close(fd);
    }
#else
    QFile file;
#endif
    QElapsedTimer orologio;
    double inviato = 0;
    QString ricevuta;
};
std::unique_ptr<Pozzo> pozzo;

double Adesso() {
    return double(pozzo->orologio.nsecsElapsed()) / 1e6;
}

// A line that cannot be written ends the trace, with one message: the run
// itself goes on.
void Aggiungi(const QString &riga) {
    const QByteArray byte = (riga + QLatin1Char('\n')).toUtf8();
    // A short write is followed by the rest, so a failure has its reason.
    QString motivo;
    for (qint64 scritti = 0; scritti < byte.size() && motivo.isEmpty();) {
#ifdef Q_OS_UNIX
        const qint64 n =
            ::write(pozzo->fd, byte.constData() + scritti, size_t(byte.size() - scritti));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) motivo = Salvataggio::Motivo(n < 0 ? errno : EIO);
#else
        const qint64 n = pozzo->file.write(byte.constData() + scritti, byte.size() - scritti);
        if (n <= 0) motivo = pozzo->file.errorString();
#endif
        scritti += qMax<qint64>(n, 0);
    }
    if (motivo.isEmpty()) return;
    std::fprintf(stderr,
                 "velto318: impossibile scrivere la traccia %s (%s): la traccia si "
                 "ferma qui, il lavoro prosegue.\n",
                 qPrintable(pozzo->percorso), qPrintable(motivo));
    pozzo.reset();
}

} // namespace

QString Visibile(const QString &testo) {
    QString v;
    v.reserve(testo.size());
    for (const QChar c : testo)
        if (c.unicode() >= 32 && c.unicode() < 127)
            v += c;
        else
            v += CarattereVisibile(c);
    return v;
}

QString Riga(double millisecondi, Tentativo tentativo, const QString &comando, bool risposto,
             const QString &risposta) {
    return QString::number(millisecondi, 'f', 1) + QLatin1Char('\t') +
           (tentativo == Tentativo::Primo ? QLatin1String("primo") : QLatin1String("ripetizione")) +
           QLatin1Char('\t') + Visibile(comando) + QLatin1Char('\t') +
           (risposto ? Visibile(risposta) : QStringLiteral("nessuna risposta"));
}

QString Intestazione(const QString &oraInizio) {
    return QStringLiteral("# Velto318, traccia della linea avviata il %1 (ora locale). "
                          "Colonne: ms dall'avvio, tentativo, comando, risposta.")
        .arg(oraInizio);
}

QString Apri(const QString &percorso) {
    Chiudi();
    auto nuovo = std::make_unique<Pozzo>();
    const QFileInfo voce(percorso);
    nuovo->percorso = voce.absoluteFilePath();
    QString motivo;
    if (voce.isDir()) {
        motivo = QStringLiteral("è una cartella");
    } else {
#ifdef Q_OS_UNIX
        // Appended to, never through a link another user planted.
        QString finale;
        if (Salvataggio::Destinazione(percorso, &finale, &motivo)) {
            nuovo->fd =
                ::open(QFile::encodeName(finale).constData(),
                       O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
            if (nuovo->fd < 0) motivo = Salvataggio::Motivo(errno);
        }
#else
        nuovo->file.setFileName(percorso);
        if (!nuovo->file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            motivo = nuovo->file.errorString();
#endif
    }
    if (!motivo.isEmpty())
        return QStringLiteral("Impossibile aprire il file di traccia %1 (%2): si prosegue "
                              "senza traccia.")
            .arg(nuovo->percorso, motivo);
    pozzo = std::move(nuovo);
    pozzo->orologio.start();
    Aggiungi(Intestazione(
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))));
    return QString();
}

void Chiudi() {
    pozzo.reset();
}

bool Attiva() {
    return pozzo != nullptr;
}

void Inviato() {
    if (!pozzo) return;
    pozzo->inviato = Adesso();
    pozzo->ricevuta.clear();
}

void Ricevuta(const QString &risposta) {
    if (pozzo) pozzo->ricevuta = risposta;
}

void Scambio(Tentativo tentativo, const QString &comando, bool risposto) {
    if (!pozzo) return;
    Aggiungi(Riga(pozzo->inviato, tentativo, comando, risposto, pozzo->ricevuta));
}

void Scartati(const QString &caratteri) {
    if (!pozzo) return;
    Aggiungi(QString::number(Adesso(), 'f', 1) + QStringLiteral("\tscartati\t\t") +
             Visibile(caratteri));
}

void NonInviato(Tentativo tentativo, const QString &comando) {
    if (!pozzo) return;
    Aggiungi(Riga(Adesso(), tentativo, comando, true, QString()) +
             QStringLiteral("porta non aperta: comando non inviato"));
}

void Nota(const QString &testo) {
    if (!pozzo) return;
    Aggiungi(QStringLiteral("# %1\t%2").arg(QString::number(Adesso(), 'f', 1), testo));
}

} // namespace Traccia
