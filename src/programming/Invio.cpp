// Sending a message file to the panel and verifying every text written: the
// job itself is Operazioni::ProgrammaTesti, shown in this window. With a site
// in use, InvioImpianto::Lavoro sends it instead: the panel's texts are kept
// as a version first, and the send goes into the site's register.
#include "programming/FormScriveMessaggi.h"

#include "impianti/Impianti.h"
#include "jobs/Esiti.h"
#include "jobs/InvioImpianto.h"
#include "linea/FinestreLinea.h"
#include "programming/VistaFinestra.h"
#include "shared/Variabili.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

namespace {

// A send that could not start, and why.
Operazioni::RisultatoInvio NonInviato(const QString &motivo) {
    Operazioni::RisultatoInvio r;
    r.esito = Operazioni::Esito::FileNonLeggibile;
    r.motivo = motivo;
    return r;
}

// What the status lines add to a send on the site: no plain success when a
// record of it is missing (the version sent, or the register's end line).
void MostraEsito(Operazioni::Osservatore &o, const InvioImpianto::Risultato &sito,
                 const QString &nome) {
    const bool fatto = sito.invio.esito == Operazioni::Esito::Fatto;
    if (fatto && !sito.avviso.isEmpty()) {
        o.Riga1(sito.avviso);
        o.Riga2(DatiUgualiMa(QStringLiteral("la versione inviata non è stata salvata")));
    }
    if (!sito.nonAnnotato.isEmpty()) {
        o.Riga1(QStringLiteral("Registro dell'impianto %1 non aggiornato: %2")
                    .arg(nome, sito.nonAnnotato));
        if (fatto) o.Riga2(DatiUgualiMa(QStringLiteral("la fine dell'invio non è nel registro")));
    }
}

// The send of NomeFile to the site in use, as ProgrammaTesti sends it (the
// same checks of the file, status lines and progress), with the site's
// backup first; its register says what was sent and how it ended.
// reads NomeFile, Identificativo, InUso; writes Testi, MessaggioErrore; runs exchanges
Operazioni::RisultatoInvio InviaAlSito(Operazioni::Osservatore &o) {
    const QString nome = Impianti::InUso();
    InvioImpianto::Lavoro lavoro(
        nome, {false, QFileInfo(V::NomeFile).fileName(), PortaDelRegistro(nome),
               QStringLiteral("invio di %1").arg(QDir::toNativeSeparators(V::NomeFile))});
    o.Avanzamento(QString(), 0, 0); // nothing of an earlier job stays on the bar
    if (!lavoro.NonIniziato().isEmpty()) {
        o.Riga1(QStringLiteral("Registro dell'impianto %1 non scrivibile: nulla è stato inviato")
                    .arg(nome));
        o.Riga2(lavoro.NonIniziato());
        return NonInviato(lavoro.NonIniziato());
    }
    o.Riga2(QStringLiteral("Programmo scritte"));
    QString errore;
    const auto impianto = Impianti::Carica(nome, &errore);
    QList<Programmazione::Voce> voci;
    Operazioni::RisultatoInvio p;
    if (!impianto) {
        o.Riga1(QStringLiteral("Impianto %1 non leggibile: nulla è stato inviato").arg(nome));
        o.Riga2(errore);
        p = NonInviato(QStringLiteral("impianto %1 non leggibile (%2)").arg(nome, errore));
    } else {
        p = Operazioni::PreparaInvio(o, &voci);
    }
    const InvioImpianto::Risultato sito = lavoro.Invia(o, impianto ? &*impianto : nullptr, voci, p);
    MostraEsito(o, sito, nome);
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
