// The walk test's record over a long walk test with inputs changing all the
// time: its memory stays flat (events and active spans in memory are capped,
// the journal on disk keeps everything), and what one change costs.
#include "testmode/RegistroProva.h"
#include "support/TempoCpu.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <unistd.h>

// Resident memory of this process, in KiB.
static long Residente() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> campi = f.readAll().split(' ');
    return campi.size() > 1 ? campi[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Prova::Registro r;
    QStringList testi;
    for (int i = 0; i < 88; ++i)
        testi << QStringLiteral("Zona %1").arg(i / 2).leftJustified(16);
    r.Testi(testi);
    if (!r.ApriGiornale(dir.path()).isEmpty()) return 1;
    std::printf("walk test record, one input of 44 switching on or off per cycle:\n");
    QElapsedTimer t;
    t.start();
    double cpu = TempoCpu();
    long cicli = 0;
    for (long fino : {10000L, 50000L, 100000L, 200000L}) {
        for (; cicli < fino; ++cicli) {
            const int n = int(cicli % 44);
            const bool attivo = (cicli / 44) % 2 == 0;
            r.Ingressi(
                {{n, attivo ? Comandi::StatoIngresso::Attivo : Comandi::StatoIngresso::Inattivo,
                  QLatin1Char(attivo ? 'C' : '-')}});
        }
        std::printf("%7ld events: %6ld KiB resident, %5zu events in memory, journal %6lld KiB, "
                    "%.1f us CPU per event\n",
                    fino, Residente(), r.Eventi().size(), QFile(r.Giornale()).size() / 1024,
                    (TempoCpu() - cpu) * 1e6 / double(fino));
    }
    return 0;
}
