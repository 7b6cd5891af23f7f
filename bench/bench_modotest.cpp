// What test mode costs against a panel at the real wire speed (9600 bit/s):
// the share of a core the tool uses while it polls, with the panel at rest and
// not at rest, the test window shown and painted, and how often the process
// wakes up in a cycle (on a busy machine each wake-up costs more than the
// work done in it). An argument gives the number of cycles of each phase.
#include "shared/Aspetto.h"
#include "testmode/FormPrincipaleTest.h"
#include "link/FormSeriale.h"
#include "Risvegli.h"
#include "support/Simulatore.h"
#include "support/TempoCpu.h"
#include "shared/Variabili.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

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
    std::printf("%-34s %8.2f ms  %6.3f ms CPU  %5.1f wake-ups  %4.2f %% of a core%s\n", nome, ms,
                cpuMs, double(Risvegli() - risvegli) / cicli, 100 * cpuMs / ms,
                V::ErroreSeriale ? "  LAST EXCHANGE FAILED" : "");
}

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

    const int cicli = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 40;
    std::printf("test mode, one cycle (5 exchanges), panel at 9600 bit/s, platform %s:\n",
                qPrintable(QGuiApplication::platformName()));
    Misura("warm-up", 3, f);
    ARiposo(cicli, f);
    sim.ordina("status A");
    NonARiposo(cicli, f);
    FormSeriale::Scarica();
    return 0;
}
