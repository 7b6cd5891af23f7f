// Reading all texts back from the panel: the job itself is
// Operazioni::LeggiTesti, shown in this window, then saved through the save window.
#include "programming/FormScriveMessaggi.h"

#include "files/FormSalvaFile.h"
#include "programming/VistaFinestra.h"

void FormScriveMessaggi::LeggiTesti_Click() {
    DisabilitaComandi();
    Vista vista{*this};
    if (Operazioni::LeggiTesti(vista).completa) {
        FormSalvaFile salva(this);
        salva.exec();
    }
    AbilitaComandi();
}
