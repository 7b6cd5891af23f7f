// How fast and how light the link is against a panel at the real wire speed
// (9600 bit/s): time and CPU per exchange, and per test-mode cycle.
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "Risvegli.h"
#include "support/Simulatore.h"
#include "support/TempoCpu.h"
#include "shared/Variabili.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

static void Misura(const char *nome, int volte, const std::function<void()> &passo) {
    QElapsedTimer t;
    t.start();
    const double cpu = TempoCpu();
    const long risvegli = Risvegli();
    for (int i = 0; i < volte; ++i)
        passo();
    const double ms = t.nsecsElapsed() / 1e6 / volte;
    const double cpuMs = (TempoCpu() - cpu) * 1000 / volte;
    std::printf("%-28s %8.2f ms  %7.3f ms CPU  %5.1f wake-ups  (%4.1f %% of a core)%s\n", nome, ms,
                cpuMs, double(Risvegli() - risvegli) / volte, 100 * cpuMs / ms,
                V::ErroreSeriale ? "  LAST EXCHANGE FAILED" : "");
}

static void Scambia(const QString &comando, int lunghezza) {
    V::Comando = comando;
    V::LunghezzaRisposta = qint16(lunghezza);
    FormSeriale::Istanza().InviaAllaSeriale();
}

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Simulatore sim(dir.path(), {});
    if (!sim.avvia()) {
        std::fprintf(stderr, "simulator did not start\n");
        return 1;
    }
    V::NumeroPorta = "1";
    V::Identificativo = "&45";
    FormSeriale::Istanza().MSComm1.setCartellaPorte(dir.path());
    FormSeriale::Istanza().ApriSeriale();
    std::printf("per exchange, panel at 9600 bit/s:\n");
    Misura("status (6 + 6 chars)", 100, [] { Scambia(Comandi::Stato("&45"), 6); });
    Misura("read text (9 + 24 chars)", 100, [] { Scambia(Comandi::LeggiTesto("&45", "007"), 24); });
    Misura("write text (30 + 7 chars)", 50,
           [] { Scambia(Comandi::ScriviTesto("&45", "007Bench"), 7); });
    Misura("test cycle (5 exchanges)", 30, [] {
        Scambia(Comandi::Stato("&45"), 6);
        for (int g = 1; g <= 3; ++g)
            Scambia(Comandi::Ingressi("&45", g), 23);
        Scambia(Comandi::Tasto("&45"), 10);
    });
    sim.ordina("silent on");
    Misura("unanswered (two attempts)", 3, [] { Scambia(Comandi::Stato("&45"), 6); });
    FormSeriale::Scarica();
    return 0;
}
