#pragma once
// The hidden object that carries the serial control and performs one
// command-reply exchange with the panel at a time. Callers name a command of
// the panel's table (Scambia), which fills Comando and LunghezzaRisposta, and
// read Risposta and ErroreSeriale.

#include "link/Comandi.h"
#include "link/MSComm.h"
#include "link/Traccia.h"

#include <QDateTime>
#include <QHash>
#include <QObject>

class FormSeriale : public QObject {
    Q_OBJECT
  public:
    // Loaded on first use, never shown.
    // no globals
    static FormSeriale &Istanza();
    // Closes the port and unloads the object; the next Istanza() loads it afresh.
    // no globals
    static void Scarica();

    MSComm MSComm1;

    // Opens port NumeroPorta at "9600,E,7,1" and marks the link free. When the
    // port cannot be opened, ErroreApertura() tells the operator why, and every
    // exchange ends at once as unanswered (after one new try to open the port).
    // reads NumeroPorta; writes SerialeOccupata
    void ApriSeriale();
    // Closes the port if it is open; harmless when it is not.
    // no globals
    void ChiudiSeriale();
    // One exchange of a command of the table (link/Comandi) addressed to
    // Identificativo: Comando and LunghezzaRisposta are set from the table,
    // here and nowhere else, then InviaAllaSeriale. A reply that is not whole
    // (Comandi::FormaRisposta) is no answer: the command is sent again once
    // the line is quiet, and after three such replies the exchange ends as an
    // unanswered one does (the no-reply marker, ErroreSeriale), with
    // NonIntera() telling why. Write replies are judged by their caller.
    // reads Identificativo; writes Comando, LunghezzaRisposta; then as InviaAllaSeriale
    void Scambia(Comandi::Codice codice, const QString &parametro = QString());
    // The status request to identifier id, with one attempt only when it is
    // unanswered (silence is the common answer when probing identifiers); a
    // reply that is not whole is asked for again as Scambia does.
    // writes Comando, LunghezzaRisposta; then as InviaAllaSeriale
    void ProvaIdentificativo(const QString &id);
    // The exchange of the Comando and LunghezzaRisposta set (by Scambia): free
    // link, stale input discarded, send, wait up to 0.8 s, one repeat when
    // unanswered. On RS485 the echo's length is added to
    // LunghezzaRisposta.
    // reads Comando, LunghezzaRisposta, Modo485; writes Risposta, ErroreSeriale, LunghezzaRisposta
    void InviaAllaSeriale();
    // Waits until the link is free, then takes it and discards stale input.
    // reads and writes SerialeOccupata
    void AspettaSerialeLibera();
    // Waits up to 0.8 s for the reply: without one, Risposta is the no-reply marker.
    // reads SerialeOccupata; writes Risposta, ErroreSeriale, SerialeOccupata, ScadenzaRisposta
    void AspettaRisposta();
    // The reply arrived: it is taken whole and the link given back.
    // writes Risposta, SerialeOccupata
    void MSComm1_OnComm();

    // The last exchange was not clean: its first attempt went unanswered, or
    // characters the panel sent late, or after the end of its reply, were
    // discarded. A text it brought must be confirmed by another read.
    // no globals
    bool ScambioIrregolare() const { return irregolare_; }
    // The last exchange ended without an answer because its replies were not
    // whole (or came from something that is not a panel), not because the
    // line was silent.
    // no globals
    bool NonIntera() const { return forma_ != Comandi::Forma::Intera; }
    // ... and every one of them was foreign: what answers is not a panel.
    // no globals
    bool Estranea() const { return forma_ == Comandi::Forma::Estranea; }
    // ... because an RS232 line gave back the command itself (an echo, as an
    // RS485 bus gives).
    // no globals
    bool Eco() const { return eco_; }
    // Why the panel's replies to the last exchange cannot be trusted, for the
    // operator: what answers is not a panel (and what it sent), or the line
    // is disturbed. One wording for the windows and the command line.
    // no globals
    QString PercheNonAffidabili() const;
    // The caller found the reply malformed: before the next command goes out,
    // whatever the panel still sends is left to come and discarded.
    // no globals
    void RispostaNonValida();

    // The configured port as the operator knows it, "COM1" (a character a
    // hand-edited file put there shown as the trace shows it).
    // reads NumeroPorta
    static QString NomeCom();
    // The port as the messages name it: COMn and the device it leads to.
    // reads NumeroPorta
    QString NomePorta() const;
    // "La porta … è aperta anche da …, che prende le risposte della centrale"
    // when another program holds the open port (it takes the panel's
    // replies), else empty. `porta` names the port in the sentence.
    // no globals
    QString AltroProgramma(const QString &porta) const;
    // Italian description of why the port is not open (port, device, reason,
    // who holds a busy port, the ports present and how to use one); empty
    // when it is open.
    // reads NumeroPorta
    QString ErroreApertura() const;
    // The same, without what to do next (the ports present, the ways to use
    // one, a program to close): the reason alone, for a line nobody reads at
    // the keyboard (a job's register, a child of --su-impianti).
    // reads NumeroPorta
    QString MotivoApertura() const;
    // "HH:mm" of the last whole reply of panel `id` on the port NomePorta()
    // names now, in this run; empty when it never answered there.
    // reads NumeroPorta
    QString RispondevaFino(const QString &id) const;
    // "la centrale &45 ha smesso di rispondere sulla porta … (rispondeva fino
    // alle 10:32)" when Identificativo answered on this port earlier in this
    // run, else empty: the identifier is right, the panel went silent.
    // reads Identificativo, NumeroPorta
    QString SmessoDiRispondere() const;

  signals:
    // The port was opened again (after it was lost) and leads to another
    // device than before: a COMn link re-pointed, an adapter back under
    // another name. NomePorta() names the new one.
    void DispositivoCambiato();

  private:
    explicit FormSeriale(QObject *parent = nullptr);
    // writes Comando, LunghezzaRisposta
    static void Prepara(const Comandi::Richiesta &richiesta);
    // Scambia and ProvaIdentificativo: the command to `id`, asked again while
    // its replies are not whole.
    void scambio(Comandi::Codice codice, const QString &id, const QString &parametro, bool ripeti);
    // The exchange of InviaAllaSeriale, with its one repeat or without.
    // reads Comando, LunghezzaRisposta, Modo485; writes Risposta, ErroreSeriale, LunghezzaRisposta
    void invia(bool ripeti);
    // The port is open, or opened again now.
    // no globals
    bool linkDisponibile();
    void tentativo(int lunghezzaEco, Traccia::Tentativo quale);
    // The exchange ends unanswered: Risposta is the no-reply marker.
    // writes Risposta, ErroreSeriale, SerialeOccupata
    void nessunaRisposta();
    // Waits until nothing has arrived for a while, discarding what comes, so
    // that a late reply never answers the next command.
    // no globals
    void AspettaLineaQuieta();

    bool voluta_ = false;     // ApriSeriale called and ChiudiSeriale not yet
    bool quiete_ = false;     // the line must go quiet before the next command
    bool irregolare_ = false; // see ScambioIrregolare()
    QString ricevuto_;        // all that came for the last attempt: reply, CR, what followed
    // The command Prepara set and its whole reply's length, CR included: a
    // command set by hand has only its threshold.
    QString preparato_;
    int intera_ = 0;
    Comandi::Forma forma_ = Comandi::Forma::Intera; // see NonIntera()
    QString scartata_;                              // the last reply not taken
    QString giaPresente_; // what waited on the line before the last invia's commands
    bool eco_ = false;    // see Eco()
    // When each panel last answered, by port (NomePorta()) and identifier.
    QHash<QString, QDateTime> risposte_;
};
