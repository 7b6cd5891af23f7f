#pragma once
// Runs the panel simulator on a new pseudo-terminal linked as DIR/COM1, and
// drives it through its standard input.

#include <QProcess>
#include <QString>
#include <QStringList>

class Simulatore {
  public:
    // The simulator runs without wire pacing unless the arguments say otherwise.
    explicit Simulatore(const QString &cartella, const QStringList &argomenti = {"--fast"});
    ~Simulatore();

    bool avvia();
    QString errore() const { return errore_; } // why avvia() failed
    void termina();                            // ends it: SIGTERM, SIGKILL after 1 s
    QString ordina(const QString &ordine);     // one order, returns the simulator's answer

    QString registroPercorso() const { return cartella_ + "/sim.log"; }
    // Commands received, without their timestamps, in order.
    QStringList comandi() const;
    // Timestamps (seconds) of the commands received.
    QList<double> tempi() const;
    void azzeraRegistro() const;
    // The simulator's 200 texts: "NNN" followed by 16 characters each.
    QStringList testi();

  private:
    QString cartella_;
    QStringList argomenti_;
    QProcess processo_;
    QString errore_;
};

// How many of the commands start with the given text.
inline int Conta(const QStringList &comandi, const QString &inizio) {
    int n = 0;
    for (const QString &c : comandi)
        n += c.startsWith(inizio);
    return n;
}
