#pragma once
// The hidden object that carries the serial control and performs one
// command-reply exchange with the panel at a time. Its operations take no
// arguments: callers fill Comando and LunghezzaRisposta, call
// InviaAllaSeriale, and read Risposta and ErroreSeriale.

#include "MSComm.h"
#include "Traccia.h"

#include <QObject>

class FormSeriale : public QObject {
    Q_OBJECT
  public:
    // Loaded on first use, never shown.
    static FormSeriale &Istanza();
    // Closes the port and unloads the object; the next Istanza() loads it afresh.
    static void Scarica();

    MSComm MSComm1;

    // Opens port NumeroPorta at "9600,E,7,1" and marks the link free. When the
    // port cannot be opened, ErroreApertura() tells the operator why, and every
    // exchange ends at once as unanswered (after one new try to open the port).
    void ApriSeriale();
    // Closes the port if it is open; harmless when it is not.
    void ChiudiSeriale();
    // One exchange: free link, stale input discarded, send, wait up to 0.8 s,
    // one repeat when unanswered.
    void InviaAllaSeriale();
    // The same exchange with one attempt only, no repeat: for probing
    // identifiers, where silence is the common answer.
    void InviaUnaVolta();
    void AspettaSerialeLibera();
    void AspettaRisposta();
    void MSComm1_OnComm();

    // Italian description of why the port is not open (port, device, reason,
    // who holds a busy port, the ports present and how to use one); empty
    // when it is open.
    QString ErroreApertura() const;

  private:
    explicit FormSeriale(QObject *parent = nullptr);
    bool linkDisponibile();
    void tentativo(int lunghezzaEco, Traccia::Tentativo quale);
    void nessunaRisposta();

    bool voluta_ = false; // ApriSeriale called and ChiudiSeriale not yet
};
