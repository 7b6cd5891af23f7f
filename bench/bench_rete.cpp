// A panel behind a serial device server: the simulator at the real wire speed
// (9600 bit/s) behind Debian's ser2net on loopback (raw TCP). The tool's
// read-back of all texts and its test cycle are timed against an ideal client
// that makes the same exchanges over the same path in the same run: a plain
// blocking socket (no delay, acknowledging at once) that sends each command
// in one write, takes the reply as soon as its characters are in, and keeps
// the pauses the tool keeps (10 ms after each reply; in test mode 10 ms more
// between two exchanges). Then the share of a core test mode takes at rest
// over TCP, its window painted. An argument gives the number of test cycles.
#include "Risvegli.h"
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "jobs/Operazioni.h"
#include "widgets/Aspetto.h"
#include "shared/Variabili.h"
#include "support/Ser2net.h"
#include "support/Simulatore.h"
#include "support/TempoCpu.h"
#include "testmode/FormPrincipaleTest.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString Id = QStringLiteral("&45");
// Test mode waits 10 ms after each exchange, beside the link's 10 ms.
constexpr int PausaModoTest = 20;

// The ideal client.
class Ideale {
  public:
    explicit Ideale(quint16 porta) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(porta);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int uno = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &uno, sizeof uno);
        if (::connect(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~Ideale() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool aperto() const { return fd_ >= 0; }

    // One exchange: false when the reply did not come within 800 ms.
    // `pausa`: the pause after the reply, 10 ms in the link, 10 ms more
    // between two exchanges of test mode.
    bool scambia(Comandi::Codice codice, const QString &parametro = QString(), int pausa = 10) {
        const Comandi::Richiesta r = Comandi::Componi(codice, Id, parametro);
        const QByteArray comando = r.testo.toLatin1();
        if (::write(fd_, comando.constData(), size_t(comando.size())) != comando.size())
            return false;
        int presi = 0;
        char buf[256];
        QElapsedTimer t;
        t.start();
        while (presi < r.lunghezza) {
            pollfd p{fd_, POLLIN, 0};
            const int resta = 800 - int(t.elapsed());
            if (resta <= 0 || ::poll(&p, 1, resta) <= 0) return false;
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) return false;
            presi += int(n);
            // Acknowledged at once: a server that holds the rest of a reply
            // for the acknowledgement of its first part (Nagle) sends it now.
            const int uno = 1;
            ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &uno, sizeof uno);
        }
        QThread::msleep(pausa);
        // What trails the reply (its CR) is taken and dropped.
        pollfd p{fd_, POLLIN, 0};
        while (::poll(&p, 1, 0) > 0 && ::read(fd_, buf, sizeof buf) > 0) {
        }
        return true;
    }

  private:
    int fd_ = -1;
};

class Muto : public Operazioni::Osservatore {
  public:
    void Riga1(const QString &) override {}
    void Riga2(const QString &) override {}
    void Avanzamento(const QString &, int, int) override {}
    void Conferma() override {}
};

struct Misura {
    double ms = 0, cpuMs = 0;
    long risvegli = 0;
};

template <class F> Misura Cronometra(F passo) {
    QElapsedTimer t;
    t.start();
    const double cpu = TempoCpu();
    const long r = Risvegli();
    passo();
    return {t.nsecsElapsed() / 1e6, (TempoCpu() - cpu) * 1000, Risvegli() - r};
}

void Confronto(const char *nome, const Misura &tool, const Misura &ideale, bool fallito) {
    std::printf("%-30s tool %8.1f ms  ideal client %8.1f ms  ratio %.3f  (aim <= 1.05)%s\n", nome,
                tool.ms, ideale.ms, tool.ms / ideale.ms, fallito ? "  FAILED" : "");
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    ImpostaSostituzioniFont();
    const int cicli = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 40;
    QTemporaryDir dir;
    Simulatore sim(dir.path(), {});
    Ser2net server;
    if (Ser2net::Eseguibile().isEmpty() || !sim.avvia() ||
        !server.avvia(dir.filePath("ser2net.yaml"), dir.filePath("COM1"))) {
        std::fprintf(stderr, "simulator or ser2net did not start (scripts/install-deps.sh)\n");
        return 1;
    }
    for (int n = 0; n < 182; ++n)
        sim.ordina(QStringLiteral("text %1 Zona %1 ingresso").arg(n));
    for (int n : {3, 17, 30, 45})
        sim.ordina(QStringLiteral("input %1 C").arg(n));

    std::printf("through ser2net on loopback (raw TCP), panel at 9600 bit/s:\n");
    bool falliti = false;
    Misura ideale = Cronometra([&] {
        Ideale c(server.grezza);
        for (int n = 0; n <= Operazioni::UltimoTestoLetto; ++n)
            falliti |= !c.scambia(Comandi::Codice::LeggiTesto,
                                  QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0')));
    });
    V::NumeroPorta = "1";
    V::Identificativo = Id;
    FormSeriale::Istanza().MSComm1.setDispositivoForzato(server.tcp());
    FormSeriale::Istanza().ApriSeriale();
    Muto o;
    bool letti = false;
    Misura tool = Cronometra([&] { letti = Operazioni::LeggiTesti(o).completa; });
    Confronto("read-back (193 texts)", tool, ideale, falliti || !letti);

    FormPrincipaleTest f;
    f.show();
    f.AzzeraDisplay();
    f.CaricaTesti();
    auto ciclo = [&f] {
        f.LeggiStato();
        f.LeggiIngressi();
        f.LeggiTasto();
    };
    for (int i = 0; i < 3; ++i)
        ciclo(); // warm-up
    tool = Cronometra([&] {
        for (int i = 0; i < cicli; ++i)
            ciclo();
    });
    const bool erroreTool = V::ErroreSeriale;
    FormSeriale::Scarica(); // ser2net takes one client at a time
    QTest::qWait(200);
    falliti = false;
    ideale = Cronometra([&] {
        Ideale c(server.grezza);
        for (int i = 0; i < cicli; ++i) {
            falliti |= !c.scambia(Comandi::Codice::Stato, {}, PausaModoTest);
            for (const char *g : {"1", "2", "3"})
                falliti |=
                    !c.scambia(Comandi::Codice::Ingressi, QString::fromLatin1(g), PausaModoTest);
            falliti |= !c.scambia(Comandi::Codice::Tasto, {}, PausaModoTest);
        }
    });
    tool.ms /= cicli;
    ideale.ms /= cicli;
    Confronto("test cycle (5 exchanges)", tool, ideale, falliti || erroreTool);
    std::printf("test mode at rest over TCP (window painted, platform %s): %.2f %% of a core "
                "(aim <= 1.5 %%), %.1f wake-ups per exchange\n",
                qPrintable(QGuiApplication::platformName()), 100 * tool.cpuMs / cicli / tool.ms,
                double(tool.risvegli) / cicli / 5);
    return 0;
}
