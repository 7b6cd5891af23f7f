// What test mode costs against a panel at the real wire speed (9600 bit/s):
// the share of a core the tool uses while it polls, with the panel at rest and
// not at rest, the test window shown and painted, and how often the process
// wakes up in an exchange (on a busy machine each wake-up costs more than the
// work done in it). An argument gives the number of cycles of each phase.
// With --strace, strace is attached to the process for the cycles at rest
// and the system calls of an exchange are counted (the times printed for
// that phase then count strace's own stops too).
#include "widgets/Aspetto.h"
#include "testmode/FormPrincipaleTest.h"
#include "link/FormSeriale.h"
#include "Risvegli.h"
#include "support/Simulatore.h"
#include "support/TempoCpu.h"
#include "shared/Variabili.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <unistd.h>

// The exchanges of one test-mode cycle: status, three input groups, key.
constexpr int ScambiPerCiclo = 5;

static void Misura(const char *nome, int cicli, FormPrincipaleTest &f) {
    QElapsedTimer t;
    t.start();
    const double cpu = TempoCpu();
    const long risvegli = Risvegli();
    for (int i = 0; i < cicli; ++i) {
        f.LeggiStato();
        f.LeggiIngressi();
        f.LeggiTasto();
    }
    const double ms = t.nsecsElapsed() / 1e6 / cicli;
    const double cpuMs = (TempoCpu() - cpu) * 1000 / cicli;
    std::printf("%-34s %8.2f ms  %6.3f ms CPU  %5.1f wake-ups/exchange  %4.2f %% of a core%s\n",
                nome, ms, cpuMs, double(Risvegli() - risvegli) / cicli / ScambiPerCiclo,
                100 * cpuMs / ms, V::ErroreSeriale ? "  LAST EXCHANGE FAILED" : "");
}

// strace attached to this process (every thread) and counting its calls.
class Strace {
  public:
    explicit Strace(const QString &file) : file_(file) {
        p_.setProcessChannelMode(QProcess::MergedChannels);
        p_.start(QStringLiteral("strace"),
                 {"-f", "-c", "-o", file_, "-p", QString::number(::getpid())});
        // It says when it is attached.
        while (p_.waitForReadyRead(5000))
            if (p_.readAll().contains("attached")) return;
        std::fprintf(stderr, "strace did not attach: %s\n", qPrintable(p_.errorString()));
        p_.kill();
        p_.waitForFinished();
    }
    bool attached() const { return p_.state() == QProcess::Running; }
    // Detaches, then prints the calls of one exchange.
    void report(int exchanges) {
        ::kill(pid_t(p_.processId()), SIGINT);
        p_.waitForFinished(10000);
        QFile f(file_);
        if (!f.open(QIODevice::ReadOnly)) return;
        // "% time  seconds  usecs/call  calls  [errors]  syscall"
        static const QRegularExpression riga(
            QStringLiteral(R"(^\s*[\d.]+\s+[\d.]+\s+\d+\s+(\d+)\s+(?:\d+\s+)?(\w+)\s*$)"));
        QStringList parti;
        for (const QByteArray &r : f.readAll().split('\n')) {
            const auto m = riga.match(QString::fromLatin1(r));
            if (m.hasMatch() && m.captured(2) != QLatin1String("total"))
                parti << QStringLiteral("%1 %2")
                             .arg(m.captured(1).toDouble() / exchanges, 0, 'f', 1)
                             .arg(m.captured(2));
        }
        std::printf("system calls per exchange at rest (strace): %s\n",
                    qPrintable(parti.mid(0, 8).join(QStringLiteral(", "))));
    }

  private:
    QString file_;
    QProcess p_;
};

// One function per phase, for a profiler to pick out.
Q_NEVER_INLINE static void ARiposo(int cicli, FormPrincipaleTest &f) {
    Misura("at rest, 4 inputs active", cicli, f);
}

Q_NEVER_INLINE static void NonARiposo(int cicli, FormPrincipaleTest &f) {
    Misura("not at rest (name line flashing)", cicli, f);
}

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    ImpostaSostituzioniFont();
    QTemporaryDir dir;
    Simulatore sim(dir.path(), {});
    if (!sim.avvia()) {
        std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(sim.errore()));
        return 1;
    }
    // Every window with two full texts, as a programmed panel has.
    for (int n = 0; n < 182; ++n)
        sim.ordina(QStringLiteral("text %1 Zona %1 ingresso").arg(n));
    V::NumeroPorta = "1";
    V::Identificativo = "&45";
    FormSeriale::Istanza().MSComm1.setCartellaPorte(dir.path());
    FormSeriale::Istanza().ApriSeriale();
    FormPrincipaleTest f;
    f.show();
    f.AzzeraDisplay();
    f.CaricaTesti();
    sim.ordina("key @");
    for (int n : {3, 17, 30, 45})
        sim.ordina(QStringLiteral("input %1 C").arg(n));

    QStringList argomenti = app.arguments().mid(1);
    const bool strace = argomenti.removeAll(QStringLiteral("--strace")) > 0;
    const int cicli = argomenti.isEmpty() ? 40 : argomenti.first().toInt();
    std::printf("test mode, one cycle (%d exchanges), panel at 9600 bit/s, platform %s:\n",
                ScambiPerCiclo, qPrintable(QGuiApplication::platformName()));
    Misura("warm-up", 3, f);
    if (strace) {
        Strace s(dir.filePath(QStringLiteral("strace.txt")));
        if (!s.attached()) return 1;
        ARiposo(cicli, f);
        s.report(cicli * ScambiPerCiclo);
        FormSeriale::Scarica();
        return 0;
    }
    ARiposo(cicli, f);
    // The walk test's window open beside it, refreshing itself (its journal
    // in the bench's own folder).
    QDir::setCurrent(dir.path());
    f.ApriProvaIngressi();
    Misura("warm-up (window shown)", 3, f);
    Misura("at rest, walk-test window open", cicli, f);
    sim.ordina("status A");
    NonARiposo(cicli, f);
    FormSeriale::Scarica();
    return 0;
}
