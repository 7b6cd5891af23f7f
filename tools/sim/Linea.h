#pragma once
// The panel's end of the serial line: a new pseudo-terminal whose slave is linked at a
// path, or a serial device; 9600 bit/s, even parity, 7 data bits, 1 stop bit. Output
// waits its turn in a queue and goes out at the wire's pace (about 1.04 ms a
// character) unless the line is fast. A device whose far end hangs up is closed and
// opened again once it is back; meanwhile the line is simply not listened to.

#include <chrono>
#include <deque>
#include <string>

class Linea {
  public:
    using Clock = std::chrono::steady_clock;

    explicit Linea(bool veloce) : veloce_(veloce) {}
    ~Linea() { Chiudi(); }
    Linea(const Linea &) = delete;
    Linea &operator=(const Linea &) = delete;

    // A new pseudo-terminal, its slave linked at `collegamento` (an old link there is
    // replaced). Says why on standard error when it fails.
    bool ApriPty(const std::string &collegamento);
    // A serial device. Says why on standard error when it fails.
    bool ApriDispositivo(const std::string &dispositivo);
    // Removes the link if it still points to this line, and closes everything.
    void Chiudi();

    const std::string &Nome() const { return nome_; }
    // The descriptor to wait on for input; -1 while the far end is away.
    int Descrittore() const;
    // The longest wait, in milliseconds, before output is due or the far end is
    // looked for again; -1 when nothing is due.
    int AttesaMs() const;
    // What arrived, byte for byte as it came over the wire (the panel keeps 7 bits of
    // each), once the descriptor has events `eventi`.
    // A hang-up gives nothing and starts waiting for the far end.
    std::string Ricevi(short eventi);
    void Accoda(const std::string &dati, int ritardoMs);
    // Writes the output that is due, and looks for a far end that went away.
    void Servi();

  private:
    struct Uscita {
        Clock::time_point quando;
        std::string dati;
    };

    void Scrivi(const std::string &dati);
    void Perso();
    void Riprova();

    bool veloce_;
    int fd_ = -1;
    int tieniAperto_ = -1; // our own hold on the pty's slave
    std::string nome_;
    std::string collegamento_; // empty for a device
    bool assente_ = false;     // the far end hung up
    Clock::time_point riprovaAlle_{};
    std::deque<Uscita> coda_;
};
