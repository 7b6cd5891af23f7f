// The jobs of the command line against a panel at the real wire speed:
// `velto318 --invia` of 185 texts and `velto318 --leggi`, each timed as the
// whole process and shown as a ratio to its wire-time limit, beside the same
// job run by the programming window (headless). The command line may not take
// more than 3 % longer than the window.
#include "support/Azioni.h"
#include "files/FormSalvaFile.h"
#include "programming/FormScriveMessaggi.h"
#include "link/FormSeriale.h"
#include "support/Simulatore.h"
#include "shared/Variabili.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace {

constexpr double MsPerCarattere = 1.042; // 11 bits at 9600 bit/s
constexpr double PausaMs = 10;           // after every reply
constexpr int TestiInviati = 185;
constexpr int TestiLetti = 193;
constexpr int Prove = 2; // the best of these runs is kept

// Per text: the write (30 + 7 characters) and its read-back (9 + 24), or the read alone.
constexpr double LimiteInvioS = TestiInviati * ((37 + 33) * MsPerCarattere + 2 * PausaMs) / 1000;
constexpr double LimiteLetturaS = TestiLetti * (33 * MsPerCarattere + PausaMs) / 1000;

QString Eseguibile() {
    return QDir(QCoreApplication::applicationDirPath()).filePath("../src/app/velto318");
}

double Migliore(const std::function<double()> &prova) {
    double migliore = 1e9;
    for (int i = 0; i < Prove; ++i)
        migliore = std::min(migliore, prova());
    return migliore;
}

// Seconds the tool takes for the job, from its start to its end.
double Processo(const QString &cartella, const QStringList &argomenti) {
    QProcess p;
    p.setWorkingDirectory(cartella);
    QElapsedTimer t;
    t.start();
    p.start(Eseguibile(), argomenti);
    p.waitForFinished(120000);
    const double s = t.nsecsElapsed() / 1e9;
    if (p.exitCode() != 0)
        std::fprintf(stderr, "velto318 %s failed: %s\n", qPrintable(argomenti.join(' ')),
                     p.readAllStandardOutput().constData());
    return s;
}

// Seconds the window takes for the job: from the click to the end of the handler.
double Finestra(const QString &cartella, const std::function<void(FormScriveMessaggi &)> &click) {
    FormSeriale &s = FormSeriale::Istanza();
    s.MSComm1.setCartellaPorte(cartella);
    s.ApriSeriale();
    FormScriveMessaggi p;
    p.Form_Load();
    p.show();
    QElapsedTimer t;
    t.start();
    click(p);
    const double secondi = t.nsecsElapsed() / 1e9;
    FormSeriale::Scarica(); // the port goes to the command line's run
    return secondi;
}

FormSalvaFile *SalvataggioAperto() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *s = qobject_cast<FormSalvaFile *>(w); s && s->isVisible()) return s;
    return nullptr;
}

bool Riga(const char *lavoro, double riga, double finestra, double limite) {
    const double scarto = 100 * (riga - finestra) / finestra;
    const bool entro = scarto <= 3; // faster than the window is no fault
    std::printf("%-22s %6.2f s  ratio %.3f to the wire-time limit %.2f s;  window %6.2f s "
                "(ratio %.3f);  difference %+.1f %%%s\n",
                lavoro, riga, riga / limite, limite, finestra, finestra / limite, scarto,
                entro ? "" : "  OVER 3 %");
    return entro;
}

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString cartella = dir.path();
    Simulatore sim(cartella, {});
    if (!sim.avvia()) {
        std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(sim.errore()));
        return 1;
    }
    QDir::setCurrent(cartella); // Seriale318.con and the saved files
    V::NumeroPorta = "1";
    V::Identificativo = "&45";

    QByteArray file = "Bench\r\n";
    for (int n = 0; n <= 192; ++n) // 000-181 and 190-192: the texts a read-back keeps
        if (n < 182 || n >= 190)
            file +=
                QString("%1Bench text %2").arg(n, 3, 10, QChar('0')).arg(n, 3).toLatin1() + "\r\n";
    file += "end\r\n";
    QFile f(QDir(cartella).filePath("bench.vlt"));
    if (!f.open(QIODevice::WriteOnly) || f.write(file) != file.size()) return 1;
    f.close();

    std::printf("panel at 9600 bit/s, best of %d runs:\n", Prove);
    const double invioRiga = Migliore([&] { return Processo(cartella, {"--invia", "bench.vlt"}); });
    const double invioFinestra = Migliore([&] {
        return Finestra(cartella, [&](FormScriveMessaggi &p) {
            V::NomeFile = f.fileName();
            p.Command1->click();
        });
    });
    const double letturaRiga = Migliore([&] { return Processo(cartella, {"--leggi", "r.vlt"}); });
    const double letturaFinestra = Migliore([&] {
        return Finestra(cartella, [](FormScriveMessaggi &p) {
            Quando([] { return SalvataggioAperto() != nullptr; },
                   [] {
                       FormSalvaFile *s = SalvataggioAperto();
                       s->Text1->setText("f.vlt");
                       s->Command1->click();
                   });
            p.LeggiTesti->click();
        });
    });
    const bool invio = Riga("--invia (185 texts)", invioRiga, invioFinestra, LimiteInvioS);
    const bool lettura = Riga("--leggi (193 texts)", letturaRiga, letturaFinestra, LimiteLetturaS);
    return invio && lettura ? 0 : 1;
}
