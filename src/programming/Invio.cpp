// Sending a message file to the panel and verifying every text written: the
// job itself is Operazioni::ProgrammaTesti, shown in this window.
#include "programming/FormScriveMessaggi.h"

#include "linea/FinestreLinea.h"
#include "programming/VistaFinestra.h"
#include "shared/Variabili.h"

#include <QLineEdit>

void FormScriveMessaggi::Command1_Click() {
    DisabilitaComandi();
    if (V::NomeFile.isEmpty()) {
        Text1->setText(QStringLiteral("Devi selezionare un file"));
        Text2->setText(QStringLiteral("Cliccane uno dalla lista in alto a destra"));
    } else {
        ProgrammaTesti();
    }
    AbilitaComandi();
    if (V::Interruzione) close(); // as Exit: the application ends
}

void FormScriveMessaggi::ProgrammaTesti() {
    Vista vista{*this};
    const Operazioni::RisultatoInvio r = Operazioni::ProgrammaTesti(vista);
    if (r.esito == Operazioni::Esito::Interrotto) Operazioni::AnnunciaInterruzione(r.motivo);
    if (r.muto) AvvisaNessunaRisposta(this);
}
