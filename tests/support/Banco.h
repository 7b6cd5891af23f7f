#pragma once
// The bench every suite that talks to the panel stands on. For each test case
// it gives a fresh temporary folder (the case's start-up folder, where the
// simulator's pseudo-terminal is linked as COM1), every global back to its
// start value with the link set as "rs232;COM1;&45;", and a watchdog.
//
// Call inizio() from init() and fine() from cleanup(). Start the simulator
// with AVVIA(banco, ...): a start that fails fails that case, with the reason.

#include "support/Simulatore.h"

#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <memory>
#include <thread>

class QTimer;

class Banco {
  public:
    Banco();
    ~Banco();

    void inizio();
    // Closes the port before the simulator ends (so its pseudo-terminal's lock
    // is released before the number can be given to another process), drops
    // the pending actions, and fails the case when the watchdog fired.
    void fine();

    // Starts the simulator and, with collega, opens the tool's link on it.
    // False, with errore() saying why, when either fails.
    bool avvia(const QStringList &argomenti = {"--fast"}, bool collega = true);
    // Opens the link again on COM1 of the case's folder.
    bool riapri();
    QString errore() const { return errore_; }

    QString cartella() const { return dir_->path(); }
    QString percorso(const QString &nome) const { return dir_->filePath(nome); }
    Simulatore *sim() const { return sim_.get(); }
    Simulatore *operator->() const { return sim_.get(); }
    // Ends the simulator, as an unplugged adapter: COM1 is left pointing at a
    // device of the case's folder that does not exist.
    void scollega();

    // Seconds a case may run before the watchdog ends its waits (default 60).
    void limite(int secondi);

  private:
    void fermaGuardiano();

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<Simulatore> sim_;
    QString errore_;
    QTimer *guardiano_ = nullptr;
    bool scattato_ = false;
    int limite_ = 60;
    // A hard stop for a case stuck without pumping events: the process ends.
    std::thread duro_;
    std::atomic<bool> finito_{true};
};

#define AVVIA(banco, ...) QVERIFY2((banco).avvia(__VA_ARGS__), qPrintable((banco).errore()))
