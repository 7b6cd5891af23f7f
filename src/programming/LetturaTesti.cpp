// Reading all texts back from the panel: the job itself is
// Operazioni::LeggiTesti, shown in this window, then saved through the save window.
#include "programming/FormScriveMessaggi.h"

#include "files/FormSalvaFile.h"
#include "linea/FinestreLinea.h"
#include "programming/VistaFinestra.h"
#include "shared/Variabili.h"

void FormScriveMessaggi::LeggiTesti_Click() {
    DisabilitaComandi();
    Vista vista{*this};
    const Operazioni::RisultatoLettura r = Operazioni::LeggiTesti(vista);
    // A signal during the last read still offers nothing for saving.
    if (r.interrotta || (r.completa && V::Interruzione)) {
        Operazioni::AnnunciaInterruzione(QStringLiteral("Lettura interrotta: nessun file scritto"));
    } else if (r.completa) {
        FormSalvaFile salva(this);
        if (salva.exec() == QDialog::Accepted) MostraFileScritti();
    } else if (!r.incerta) {
        AvvisaNessunaRisposta(this);
    }
    AbilitaComandi();
    if (V::Interruzione) close(); // as Exit: the application ends
}
