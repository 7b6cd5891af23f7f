#pragma once
// What the jobs without windows tell the one who ran them: results on the
// standard output, problems and progress on the standard error, the exit
// status. The words shared by the jobs stand here once: the progress bar,
// the panel's rest state, the panel that does not answer.

#include "jobs/Esiti.h"
#include "jobs/Operazioni.h"
#include "jobs/SuImpianti.h"

#include <QString>
#include <cstdio>

// Exit status of a job.
constexpr int UscitaFatto = 0;    // done (and verified)
constexpr int UscitaCentrale = 1; // the panel refused, did not answer or did not verify
constexpr int UscitaProblema = 2; // usage, file or port problem
// A job stopped by SIGTERM, SIGINT or SIGHUP ends with 128 plus the signal's
// number, once the exchange in progress is over; a job that ended before it
// saw the signal keeps its own status.

// Writes the text at once (progress and results reach a pipe as they happen).
void Stampa(std::FILE *dove, const QString &testo);
// The standard error is a terminal: progress is a bar redrawn in place there,
// a line per step elsewhere.
bool ErroreSuTerminale();

// The last result told: the text of the last Stampa on the standard output,
// or of the last Problema or LavoroInterrotto after it, as a site's register
// keeps a job's outcome: without the advice it gave (Consiglio), which is
// for the one at the keyboard then.
QString UltimoDetto();

// A usage, file or port problem: one message on the standard error, and
// the exit status UscitaProblema.
int Problema(const QString &testo);
// The same, where `testo` tells the one at the keyboard what to do next and
// `motivo` is what happened alone: the register keeps `motivo`, and an
// unattended run says only that.
int Problema(const QString &testo, const QString &motivo);

// A job nobody watches at the keyboard (each site's job of --su-impianti,
// and so the nightly read-back; see SuImpianti::VariabileIncustodito): its
// lines say what happened, without what to press, restart or retry.
bool Incustodito();
// `consiglio` (what to do next, for the one at the keyboard), or empty in an
// unattended run. The register never keeps it (UltimoDetto).
QString Consiglio(const QString &consiglio);

// A job stopped by a signal between two exchanges: says so with what the
// panel holds now (standard error and trace), and returns the exit status,
// 128 plus the signal's number.
// reads Interruzione
int LavoroInterrotto(const QString &testo);

// The panel's identifier as the operator reads it: Seriale318.con may hold
// any three characters there, a NUL among them.
// reads Identificativo
QString Centrale();

// After an exchange that got no reply: when the port, not the panel, is at
// fault, the sentence that says so, naming the port as `porta`; empty when
// the port is sound. The port is at fault when it closed under the job
// (adapter unplugged, the far end of the line gone) or when another program
// holds the device open and takes the panel's replies.
QString PortaInColpa(const QString &porta);

// The panel configured does not answer `aCosa` ("a &45SA<CR>", "alla lettura
// del testo 007") on `porta`: the line for the standard output, `seguito`
// closing its sentence; with `cerca`, and someone at the keyboard, pointing
// to --cerca. A panel that answered earlier in the job has stopped
// answering: the line says so, and since when.
QString NonRisponde(const QString &aCosa, const QString &porta, const QString &seguito,
                    bool cerca = false);

// The progress bar of a phase: its name, 40 columns filled as `fatti` goes
// to `totale`, and the count.
QString Barra(const QString &fase, int fatti, int totale);
// Clears the line of a bar drawn in place, so that a result takes it.
void CancellaBarra();

// Progress on the standard error: a bar rewritten in place on a terminal, a
// line per phase otherwise. The status lines are the window's: not shown.
class Progresso : public Operazioni::Osservatore {
  public:
    Progresso();
    ~Progresso() override;
    void Riga1(const QString &) override {}
    void Riga2(const QString &) override {}
    void Conferma() override {}
    void Avanzamento(const QString &fase, int fatti, int totale) override;
    // Ends the bar's line, before a result or a message is printed.
    void Chiudi();

  private:
    bool terminale_ = false;
    bool barra_ = false;
    QString fase_;
};
