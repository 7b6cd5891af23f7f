// What keeping a copy of the panel's texts costs a send of 185 texts against
// a panel at the real wire speed (9600 bit/s): the send of today, which
// writes and reads back every text, against the copy read first and then
// only the texts that differ written and read back.
//
// A pseudo-terminal hands a command over at once, where a real line takes
// about 1.04 ms a character for it too (a write is 30 characters and its CR,
// a read 9): the simulator answers as if the command had come at that pace
// (--wire-in).
#include "jobs/Operazioni.h"
#include "link/FormSeriale.h"
#include "support/Simulatore.h"
#include "shared/Variabili.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace {

class Muto : public Operazioni::Osservatore {
  public:
    void Riga1(const QString &) override {}
    void Riga2(const QString &) override {}
    void Avanzamento(const QString &, int, int) override {}
    void Conferma() override {}
};

// The numbers of a read-back file: 000 to 181 and 190 to 192.
QList<int> Numeri() {
    QList<int> numeri;
    for (int n = 0; n <= Operazioni::UltimoTestoLetto; ++n)
        if (n < 182 || n >= 190) numeri << n;
    return numeri;
}

QString Testo(int n) {
    return QStringLiteral("Zona %1 ingresso").arg(n, 3, 10, QLatin1Char('0'));
}

// Seconds the send took.
double Cronometra(Simulatore &sim, const char *nome,
                  const std::function<Operazioni::RisultatoInvio()> &invio) {
    sim.azzeraRegistro();
    QElapsedTimer t;
    t.start();
    const Operazioni::RisultatoInvio r = invio();
    const double secondi = t.nsecsElapsed() / 1e9;
    const QStringList comandi = sim.comandi();
    std::printf("%-40s %6.2f s  %3d reads %3d writes%s\n", nome, secondi, Conta(comandi, "&450R"),
                Conta(comandi, "&450W"), r.esito == Operazioni::Esito::Fatto ? "" : "  FAILED");
    return secondi;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    // Commands too take their time on the wire, as on a real line.
    Simulatore sim(dir.path(), {QStringLiteral("--wire-in")});
    if (!sim.avvia()) {
        std::fprintf(stderr, "simulator did not start\n");
        return 1;
    }
    V::NumeroPorta = "1";
    V::Identificativo = "&45";
    FormSeriale::Istanza().MSComm1.setCartellaPorte(dir.path());
    FormSeriale::Istanza().ApriSeriale();

    QByteArray file = "Banco di prova\r\n";
    for (int n : Numeri())
        file += QStringLiteral("%1%2\r\n").arg(n, 3, 10, QLatin1Char('0')).arg(Testo(n)).toLatin1();
    V::NomeFile = dir.filePath("banco.vlt");
    QFile f(V::NomeFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(file + "end\r\n") < 0) return 1;
    f.close();
    Muto o;
    QList<Programmazione::Voce> voci;
    if (Operazioni::PreparaInvio(o, &voci).esito != Operazioni::Esito::Fatto) return 1;
    const auto conserva = [](const QList<Programmazione::Voce> &, QString *) { return true; };

    std::printf("send of %d texts, panel at 9600 bit/s both ways:\n", int(voci.size()));
    const double a = Cronometra(sim, "(a) every text written and read back",
                                [&] { return Operazioni::ScriviEVerifica(o, voci); });
    for (int n : {7, 90, 191})
        sim.ordina(QStringLiteral("text %1 cambiato").arg(n));
    const double b = Cronometra(sim, "(b) copy, then the 3 texts that differ",
                                [&] { return Operazioni::InviaConCopia(o, voci, conserva); });
    for (int n : Numeri())
        sim.ordina(QStringLiteral("text %1 altro %1").arg(n));
    const double c = Cronometra(sim, "(c) copy, then every text (all differ)",
                                [&] { return Operazioni::InviaConCopia(o, voci, conserva); });
    std::printf("b/a  %.3f  (aim <= 0.6)\nc/a  %.3f  (aim <= 1.5)\n", b / a, c / a);
    FormSeriale::Scarica();
    return 0;
}
