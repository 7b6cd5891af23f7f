#include "app/LavoroSuImpianti.h"

#include "app/LavoriImpianti.h"
#include "app/RigaDiComando.h"

#include "app/Terminale.h"
#include "files/FileMessaggi.h"
#include "impianti/Registro.h"
#include "jobs/SuImpianti.h"
#include "link/Traccia.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace {

// Why the result file `percorso` could not be written at the end of the run,
// or empty: told before any site starts, not after all of them.
QString MotivoEsito(const QString &percorso) {
    const QFileInfo file(percorso);
    if (!file.absoluteDir().exists())
        return QStringLiteral("%1: la cartella %2 non esiste")
            .arg(QDir::toNativeSeparators(percorso), QDir::toNativeSeparators(file.absolutePath()));
    if (file.isDir()) return QStringLiteral("%1 è una cartella").arg(percorso);
    if (const QString motivo = FormatoMessaggi::MotivoNonScrivibile(percorso); !motivo.isEmpty())
        return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(percorso), motivo);
    return QString();
}

} // namespace

SuImpiantiRiga SuImpiantiDi(const RigaDiComando &riga) {
    SuImpiantiRiga s;
    s.lista = riga.suImpianti;
    switch (riga.lavoro) {
    case Lavoro::Stato:
        s.lavoro = QStringList{QStringLiteral("--stato")};
        break;
    case Lavoro::Leggi:
        s.lavoro = QStringList{QStringLiteral("--leggi")};
        break;
    case Lavoro::Confronta:
        s.lavoro = QStringList{QStringLiteral("--confronta")};
        break;
    default:
        s.lavoro = QStringList{QStringLiteral("--invia"), riga.file};
        s.invio = true;
        break;
    }
    if (riga.senzaCopia) s.lavoro << QStringLiteral("--senza-copia");
    s.azione = AzioneDi(riga);
    if (riga.paralleli > 0) s.paralleli = riga.paralleli;
    s.esito = riga.esito;
    s.si = riga.si;
    return s;
}

int EseguiSuImpianti(const SuImpiantiRiga &riga) {
    QString errore;
    const auto impianti = SuImpianti::Scegli(riga.lista, &errore);
    if (!impianti) return Problema(QStringLiteral("--su-impianti: %1.").arg(errore));
    if (riga.invio && !riga.si)
        return Problema(QStringLiteral("--su-impianti con --invia scriverebbe i testi di %1: "
                                       "aggiungi --si per farlo davvero.")
                            .arg(Quanti(impianti->size(), "centrale", "centrali")));
    if (const QString motivo = riga.esito.isEmpty() ? QString() : MotivoEsito(riga.esito);
        !motivo.isEmpty())
        return Problema(
            QStringLiteral("--esito %1. Nessun impianto è stato iniziato.").arg(motivo));
    SuImpianti::Giro giro(riga.lavoro, riga.paralleli, QCoreApplication::applicationFilePath());
    const bool terminale = ErroreSuTerminale();
    const auto progresso = [&] {
        if (!terminale) return;
        Stampa(stderr, QStringLiteral("\r%1 di %2, %3 in corso ")
                           .arg(giro.Finiti())
                           .arg(Quanti(impianti->size(), "impianto", "impianti"))
                           .arg(giro.InCorso()));
    };
    QObject::connect(&giro, &SuImpianti::Giro::Iniziato, &giro, progresso);
    QObject::connect(&giro, &SuImpianti::Giro::Finito, &giro, [&](int i) {
        const SuImpianti::Esito &e = giro.Esiti()[i];
        if (terminale) Stampa(stderr, QStringLiteral("\r\033[K"));
        Stampa(stdout, QStringLiteral("%1: %2 (%3 s)\n")
                           .arg(Traccia::ControlliVisibili(e.impianto.nome),
                                Traccia::ControlliVisibili(
                                    e.parole.isEmpty() ? SuImpianti::NomeStato(e.stato) : e.parole))
                           .arg(e.secondi, 0, 'f', 1));
        progresso();
    });
    QEventLoop ciclo;
    QObject::connect(&giro, &SuImpianti::Giro::TuttoFinito, &ciclo, &QEventLoop::quit);
    // A signal (Interruzione, set by the handler the start put in place): the
    // jobs running finish their exchange and stop, no new one starts.
    QTimer sentinella;
    QObject::connect(&sentinella, &QTimer::timeout, &giro, [&] {
        if (V::Interruzione && !giro.Fermato()) giro.Ferma();
    });
    sentinella.start(200);
    giro.Avvia(*impianti);
    if (!giro.Esiti().isEmpty() && giro.InCorso() > 0) ciclo.exec();
    if (terminale) Stampa(stderr, QStringLiteral("\r\033[K"));
    // A site the run never reached says so in its register too.
    for (const SuImpianti::Esito &e : giro.Esiti())
        if (e.stato == SuImpianti::Stato::NonRaggiunto)
            Manutenzione::Annota(e.impianto.nome, e.impianto.porta, riga.azione,
                                 QStringLiteral("non eseguito: il giro sugli impianti è stato "
                                                "interrotto prima"),
                                 &errore);
    Stampa(stdout, Traccia::ControlliVisibili(giro.Riepilogo()) + QLatin1Char('\n'));
    // Without its result file the run is no success, whatever the sites did:
    // the file of an earlier run would be read as this one's.
    QString esitoNonSalvato;
    if (!riga.esito.isEmpty()) esitoNonSalvato = SuImpianti::SalvaEsito(giro.Esiti(), riga.esito);
    if (!esitoNonSalvato.isEmpty()) Problema(esitoNonSalvato);
    if (V::Interruzione) return 128 + V::Interruzione;
    return esitoNonSalvato.isEmpty() ? giro.Uscita() : UscitaProblema;
}
