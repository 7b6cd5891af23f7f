// Sending a message file to the panel and verifying every text written: the
// job itself is Operazioni::ProgrammaTesti, shown in this window. With a site
// in use, InvioImpianto::Invia sends it instead: the panel's texts are kept
// as a version first, and the send goes into the site's register.
#include "programming/FormScriveMessaggi.h"

#include "impianti/Impianti.h"
#include "impianti/Registro.h"
#include "jobs/InvioImpianto.h"
#include "linea/FinestreLinea.h"
#include "linea/FormImpianti.h"
#include "programming/VistaFinestra.h"
#include "shared/Variabili.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

namespace {

// The send of NomeFile to the site in use, as ProgrammaTesti sends it (the
// same checks of the file, status lines and progress), with the site's
// backup first; its register says what was sent and how it ended.
// reads NomeFile, Identificativo, InUso; writes Testi, MessaggioErrore; runs exchanges
Operazioni::RisultatoInvio InviaAlSito(Operazioni::Osservatore &o) {
    const QString nome = Impianti::InUso();
    Manutenzione::Lavoro registro(
        nome, NomePortaLinea(),
        QStringLiteral("invio di %1").arg(QDir::toNativeSeparators(V::NomeFile)));
    o.Avanzamento(QString(), 0, 0); // nothing of an earlier job stays on the bar
    InvioImpianto::Risultato sito;
    // No send the register would not know of.
    if (!registro.Errore().isEmpty()) {
        o.Riga1(QStringLiteral("Registro dell'impianto %1 non scrivibile: nulla è stato inviato")
                    .arg(nome));
        o.Riga2(registro.Errore());
        sito.invio.esito = Operazioni::Esito::FileNonLeggibile;
        sito.invio.motivo = registro.Errore();
        return sito.invio;
    }
    o.Riga2(QStringLiteral("Programmo scritte"));
    QString errore;
    const auto impianto = Impianti::Carica(nome, &errore);
    QList<Programmazione::Voce> voci;
    if (!impianto) {
        o.Riga1(QStringLiteral("Impianto %1 non leggibile: nulla è stato inviato").arg(nome));
        o.Riga2(errore);
        sito.invio.esito = Operazioni::Esito::FileNonLeggibile;
        sito.invio.motivo = QStringLiteral("impianto %1 non leggibile (%2)").arg(nome, errore);
    } else if (const Operazioni::RisultatoInvio p = Operazioni::PreparaInvio(o, &voci);
               p.esito != Operazioni::Esito::Fatto) {
        sito.invio = p;
    } else {
        sito = InvioImpianto::Invia(o, voci, *impianto, false, QFileInfo(V::NomeFile).fileName());
        sito.invio.avviso = p.avviso;
        sito.invio.spezzate = p.spezzate;
        if (sito.invio.esito == Operazioni::Esito::Fatto && !p.avviso.isEmpty()) o.Riga1(p.avviso);
        if (sito.invio.esito == Operazioni::Esito::Fatto && p.spezzate > 0)
            o.Riga2(QStringLiteral("DATI UGUALI, ma le righe saltate non sono state inviate"));
    }
    // Texts written whose record failed: no plain success on the status lines.
    const bool fatto = sito.invio.esito == Operazioni::Esito::Fatto;
    if (fatto && !sito.avviso.isEmpty()) {
        o.Riga1(sito.avviso);
        o.Riga2(QStringLiteral("DATI UGUALI, ma la versione inviata non è stata salvata"));
    }
    if (!registro.Fine(ParoleInvio(sito, impianto ? &*impianto : nullptr))) {
        o.Riga1(QStringLiteral("Registro dell'impianto %1 non aggiornato: %2")
                    .arg(nome, registro.Errore()));
        if (fatto) o.Riga2(QStringLiteral("DATI UGUALI, ma la fine dell'invio non è nel registro"));
    }
    return sito.invio;
}

} // namespace

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
    const Operazioni::RisultatoInvio r =
        Impianti::InUso().isEmpty() ? Operazioni::ProgrammaTesti(vista) : InviaAlSito(vista);
    if (r.esito == Operazioni::Esito::Interrotto) Operazioni::AnnunciaInterruzione(r.motivo);
    if (r.muto) AvvisaNessunaRisposta(this);
}
