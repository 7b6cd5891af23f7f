#include "support/Banco.h"

#include "support/Azioni.h"
#include "link/FormSeriale.h"
#include "shared/Variabili.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {
// The processes this test started and what each waits on, for a test that
// blocked: a job that never ended shows here.
void StampaFigli() {
    QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs)) {
        QFile stat(proc.filePath(pid + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QList<QByteArray> campi = stat.readAll().split(')').value(1).trimmed().split(' ');
        if (campi.value(1).toLong() != long(getpid())) continue;
        QFile riga(proc.filePath(pid + QStringLiteral("/cmdline")));
        QFile attesa(proc.filePath(pid + QStringLiteral("/wchan")));
        riga.open(QIODevice::ReadOnly);
        attesa.open(QIODevice::ReadOnly);
        std::fprintf(stderr, "  figlio %s [%s, %s]: %s\n", qPrintable(pid),
                     campi.value(0).constData(), attesa.readAll().constData(),
                     riga.readAll().replace('\0', ' ').constData());
    }
}
} // namespace

Banco::Banco() = default;

Banco::~Banco() {
    fermaGuardiano();
}

void Banco::inizio() {
    dir_ = std::make_unique<QTemporaryDir>();
    Variabili::Azzera();
    Variabili::NumeroPorta = QStringLiteral("1");
    Variabili::Identificativo = QStringLiteral("&45");
    Variabili::Modo485 = false;
    FormSeriale::Istanza().MSComm1.setCartellaPorte(dir_->path());
    errore_.clear();
    scattato_ = false;
    limite(60);
}

void Banco::limite(int secondi) {
    fermaGuardiano();
    limite_ = secondi;
    guardiano_ = new QTimer;
    guardiano_->setSingleShot(true);
    QObject::connect(guardiano_, &QTimer::timeout, [this] {
        // Every wait of the tool returns once the close is requested; the
        // test's own windows are closed so that their loops end too.
        scattato_ = true;
        Variabili::ChiusuraRichiesta = true;
        if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
            for (QWidget *w : app->topLevelWidgets())
                w->close();
    });
    guardiano_->start(secondi * 1000);

    finito_ = false;
    const char *caso = QTest::currentTestFunction();
    const std::string nome = caso ? caso : "?";
    duro_ = std::thread([this, secondi, nome] {
        const auto fine = std::chrono::steady_clock::now() + std::chrono::seconds(secondi + 20);
        while (!finito_) {
            if (std::chrono::steady_clock::now() > fine) {
                std::fprintf(stderr, "FAIL! %s: bloccato oltre %d s senza elaborare eventi\n",
                             nome.c_str(), secondi + 20);
                StampaFigli();
                std::fflush(stderr);
                _exit(3);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
}

void Banco::fermaGuardiano() {
    delete guardiano_;
    guardiano_ = nullptr;
    finito_ = true;
    if (duro_.joinable()) duro_.join();
}

void Banco::fine() {
    AnnullaAzioni();
    FormSeriale::Scarica();
    sim_.reset();
    fermaGuardiano();
    Variabili::ChiusuraRichiesta = false;
    if (scattato_) {
        scattato_ = false;
        QFAIL(qPrintable(QStringLiteral("bloccato: il caso ha superato %1 s").arg(limite_)));
    }
}

bool Banco::avvia(const QStringList &argomenti, bool collega) {
    sim_ = std::make_unique<Simulatore>(dir_->path(), argomenti);
    if (!sim_->avvia()) {
        errore_ = QStringLiteral("il simulatore non parte: ") + sim_->errore();
        return false;
    }
    return !collega || riapri();
}

bool Banco::riapri() {
    FormSeriale &s = FormSeriale::Istanza();
    s.MSComm1.setCartellaPorte(dir_->path());
    s.ApriSeriale();
    if (s.MSComm1.PortOpen()) return true;
    errore_ = QStringLiteral("la porta non si apre: ") + s.ErroreApertura();
    return false;
}

void Banco::scollega() {
    if (!sim_) return;
    sim_->termina();
    // An unplugged adapter leaves COM1 pointing at a device that is gone. Not
    // at the simulator's pseudo-terminal: the system soon gives its number to
    // another process, whose line (and lock) the tool would then open. A name
    // of the case's own folder that never exists is gone for good.
    const QString com1 = percorso(QStringLiteral("COM1"));
    QFile::remove(com1);
    QFile::link(percorso(QStringLiteral("adattatore-scollegato")), com1);
}
