// Reading all texts back from the panel: the job itself is
// Operazioni::LeggiTesti, shown in this window, then saved through the save
// window. With a site in use, the texts read are kept as the site's new
// version too, and the read goes into its register.
#include "programming/FormScriveMessaggi.h"

#include "files/FormSalvaFile.h"
#include "files/FormatoMessaggi.h"
#include "impianti/Impianti.h"
#include "impianti/Registro.h"
#include "jobs/Esiti.h"
#include "jobs/InvioImpianto.h"
#include "linea/FinestreLinea.h"
#include "programming/VistaFinestra.h"
#include "shared/Variabili.h"

void FormScriveMessaggi::LeggiTesti_Click() {
    DisabilitaComandi();
    const QString impianto = Impianti::InUso();
    Vista vista{*this};
    const Operazioni::RisultatoLettura r = Operazioni::LeggiTesti(vista);
    // A signal during the last read still offers nothing for saving.
    const bool interrotta = r.interrotta || (r.completa && V::Interruzione);
    QString versione;
    bool conservata = false; // said in the words
    if (r.completa && !interrotta && !impianto.isEmpty())
        versione = InvioImpianto::ConservaLettura(impianto, &conservata);
    if (!impianto.isEmpty()) {
        const QString numero = QStringLiteral("%1").arg(r.numero, 3, 10, QLatin1Char('0'));
        const QString esito = interrotta   ? QStringLiteral("Lettura interrotta")
                              : r.completa ? QStringLiteral("letti tutti; ") + versione
                                           : TestoNonLetto(numero, r.incerta);
        QString errore;
        if (!Manutenzione::Annota(impianto, PortaDelRegistro(impianto),
                                  QStringLiteral("lettura dei testi"), esito, &errore))
            versione += QStringLiteral("; registro non aggiornato: %1").arg(errore);
    }
    if (interrotta) {
        Operazioni::AnnunciaInterruzione(QStringLiteral("Lettura interrotta: nessun file scritto"));
    } else if (r.completa) {
        FormSalvaFile salva(this);
        if (salva.exec() == QDialog::Accepted) MostraFileScritti();
        if (!versione.isEmpty()) Text2->setText(versione);
    } else if (!r.incerta) {
        AvvisaNessunaRisposta(this);
    }
    AbilitaComandi();
    if (V::Interruzione) close(); // as Exit: the application ends
}
