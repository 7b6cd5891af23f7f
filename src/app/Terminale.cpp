#include "app/Terminale.h"

#include "link/FormSeriale.h"
#include "link/Rete.h"
#include "link/Traccia.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
QString ultimoDetto;
QStringList consigli; // the advice given in this run (Consiglio), kept out of the register
} // namespace

QString UltimoDetto() {
    QString detto = ultimoDetto;
    for (const QString &c : std::as_const(consigli))
        detto.replace(c, QString());
    return detto;
}

void Stampa(std::FILE *dove, const QString &testo) {
    if (dove == stdout) ultimoDetto = testo;
    // An output whose reader is gone (a closed pipe) fails, and is let go:
    // the job goes on to its end, its register line included.
    std::fputs(testo.toLocal8Bit().constData(), dove);
    std::fflush(dove);
}

bool ErroreSuTerminale() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr));
#else
    return ::isatty(STDERR_FILENO);
#endif
}

int Problema(const QString &testo) {
    ultimoDetto = testo;
    Stampa(stderr, QStringLiteral("velto318: ") + testo + QLatin1Char('\n'));
    return UscitaProblema;
}

int LavoroInterrotto(const QString &testo) {
    ultimoDetto = testo;
    Operazioni::AnnunciaInterruzione(testo);
    return 128 + V::Interruzione;
}

QString Centrale() {
    return Traccia::Visibile(V::Identificativo);
}

bool Incustodito() {
    return qEnvironmentVariableIntValue(SuImpianti::VariabileIncustodito) == 1;
}

QString Consiglio(const QString &consiglio) {
    if (Incustodito()) return QString();
    if (!consigli.contains(consiglio)) consigli << consiglio;
    return consiglio;
}

int Problema(const QString &testo, const QString &motivo) {
    Problema(Incustodito() ? motivo : testo);
    ultimoDetto = motivo;
    return UscitaProblema;
}

QString PortaInColpa(const QString &porta) {
    const MSComm &com = FormSeriale::Istanza().MSComm1;
    if (!com.PortOpen()) {
        const QString motivo = com.ErroreApertura();
        const QString cosa = IndirizzoDiRete(com.Dispositivo())
                                 ? QStringLiteral("il server seriale e la rete")
                                 : QStringLiteral("l'adattatore e il suo cavo");
        return QStringLiteral("La porta %1 si è chiusa durante il lavoro%2.")
                   .arg(porta, motivo.isEmpty() ? QString() : QStringLiteral(": ") + motivo) +
               Consiglio(QStringLiteral(" Controlla %1, poi riprova.").arg(cosa));
    }
    const QString altro = FormSeriale::Istanza().AltroProgramma(porta);
    if (altro.isEmpty()) return QString();
    return altro + QLatin1Char('.') +
           Consiglio(QStringLiteral(" Chiudi quel programma e riprova."));
}

QString NonRisponde(const QString &aCosa, const QString &porta, const QString &seguito,
                    bool cerca) {
    // It answered earlier in this job: the identifier is right.
    if (const QString fino = FormSeriale::Istanza().RispondevaFino(V::Identificativo);
        !fino.isEmpty())
        return QStringLiteral("Errore seriale: la centrale %1 ha smesso di rispondere %2 sulla "
                              "porta %3 (rispondeva fino alle %4)%5\n")
            .arg(Centrale(), aCosa, porta, fino, seguito);
    return QStringLiteral("Errore seriale. Controlla identificativo: la centrale %1 non "
                          "risponde %2 sulla porta %3%4%5\n")
        .arg(Centrale(), aCosa, porta, seguito,
             cerca ? Consiglio(QStringLiteral(" velto318 --cerca elenca gli identificativi che "
                                              "rispondono."))
                   : QString());
}

QString Barra(const QString &fase, int fatti, int totale) {
    constexpr int Larghezza = 40;
    const int pieni = totale > 0 ? int(qint64(fatti) * Larghezza / totale) : 0;
    return QStringLiteral("%1 [%2%3] %4 di %5")
        .arg(fase.leftJustified(9), QString(pieni, QLatin1Char('#')),
             QString(Larghezza - pieni, QLatin1Char('-')))
        .arg(fatti)
        .arg(totale);
}

void CancellaBarra() {
    Stampa(stderr, QStringLiteral("\r%1\r").arg(QString(), 72));
}

Progresso::Progresso() : terminale_(ErroreSuTerminale()) {}

Progresso::~Progresso() {
    Chiudi();
}

void Progresso::Avanzamento(const QString &fase, int fatti, int totale) {
    if (fase.isEmpty() || totale <= 0) return;
    const bool nuova = fase != fase_;
    fase_ = fase;
    if (!terminale_) {
        if (nuova)
            Stampa(stderr,
                   QStringLiteral("%1 di %2\n").arg(fase, Quanti(totale, "testo", "testi")));
        return;
    }
    if (nuova) Chiudi();
    Stampa(stderr, QLatin1Char('\r') + Barra(fase, fatti, totale));
    barra_ = true;
}

void Progresso::Chiudi() {
    if (barra_) Stampa(stderr, QStringLiteral("\n"));
    barra_ = false;
}
