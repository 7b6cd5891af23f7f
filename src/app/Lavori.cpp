#include "app/Lavori.h"

#include "jobs/InvioImpianto.h"

#include "app/Cerca.h"
#include "app/LavoriImpianti.h"
#include "link/Configurazione.h"
#include "jobs/Esiti.h"
#include "app/ProvaIngressi.h"
#include "app/RigaDiComando.h"
#include "app/Terminale.h"
#include "files/FileMessaggi.h"
#include "files/FormatoMessaggi.h"
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "link/PorteSeriali.h"
#include "link/Traccia.h"
#include "jobs/Operazioni.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"

#include "impianti/Registro.h"

#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {

bool portaForzata = false; // --porta (or the site's link) names the device
// The site of the job (--impianto in the book), or none.
std::optional<Impianti::Impianto> impianto;

// The port as the operator knows it: COMn and the device it leads to, or the
// device given with --porta.
QString NomePorta() {
    const FormSeriale &seriale = FormSeriale::Istanza();
    return portaForzata ? seriale.MSComm1.Dispositivo() : seriale.NomePorta();
}

// The device of the job: --porta, else the site's link when it is no COMn
// (then its number), else none.
QString DispositivoDelLavoro(const RigaDiComando &riga) {
    if (!riga.porta.isEmpty() || !impianto) return riga.porta;
    const QString dispositivo = Impianti::LineaDi(*impianto).dispositivo;
    return dispositivo.isEmpty() ? QString() : DispositivoDaOpzione(dispositivo);
}

// The link of the job: Seriale318.con of the current folder (its default
// written where it is not valid, as the windows do), or the site's link,
// the overrides of the run, the port opened. Returns the exit status of a
// problem, or -1.
int PreparaLinea(const RigaDiComando &riga) {
    const Configurazione c = LeggiConfigurazione(QDir::current().filePath(NomeFileConfigurazione));
    if (!c.avviso.isEmpty()) Stampa(stderr, QStringLiteral("velto318: ") + c.avviso + '\n');
    V::Modo485 = (impianto ? impianto->rs485 : c.Modo485) || riga.rs485;
    V::NumeroPorta = c.NumeroPorta;
    V::Identificativo = riga.id.isEmpty() ? c.Identificativo : riga.id;
    if (impianto) {
        if (const QString n = Impianti::LineaDi(*impianto).numeroPorta; !n.isEmpty())
            V::NumeroPorta = n;
        if (riga.id.isEmpty()) V::Identificativo = impianto->id;
    }
    FormSeriale &seriale = FormSeriale::Istanza();
    seriale.MSComm1.setCartellaPorte(QDir::currentPath());
    seriale.MSComm1.setDispositivoForzato(DispositivoDelLavoro(riga));
    seriale.ApriSeriale();
    if (!seriale.MSComm1.PortOpen())
        return Problema(seriale.ErroreApertura(), seriale.MotivoApertura());
    return -1;
}

// One exchange: -1 when the panel answered, else the job's exit status with
// its failure printed (the port's fault, or a panel that does not answer).
int Scambio(Comandi::Codice codice, const QString &parametro = QString()) {
    FormSeriale &seriale = FormSeriale::Istanza();
    seriale.Scambia(codice, parametro);
    if (!V::ErroreSeriale) return -1;
    if (seriale.NonIntera()) {
        Stampa(stdout, QStringLiteral("Errore seriale: non ho potuto leggere %1: %2.\n")
                           .arg(Comandi::CosaChiede(codice, parametro),
                                NonAffidabili(Centrale(), NomePorta())));
        return UscitaCentrale;
    }
    if (const QString colpa = PortaInColpa(NomePorta()); !colpa.isEmpty())
        return Problema(
            QStringLiteral("Nessuna risposta a %1. %2").arg(Traccia::Visibile(V::Comando), colpa));
    Stampa(stdout, NonRisponde(QStringLiteral("a ") + Traccia::Visibile(V::Comando), NomePorta(),
                               QStringLiteral("."), true));
    return UscitaCentrale;
}

int LavoroStato() {
    const QString interrotta = QStringLiteral("Lettura dello stato interrotta");
    if (const int u = Scambio(Comandi::Codice::Stato); u >= 0) return u;
    const QString stato = Comandi::StatoCentrale(V::Risposta);
    QList<int> attivi;
    for (int g = 1; g <= 3; ++g) {
        if (V::Interruzione) return LavoroInterrotto(interrotta);
        if (const int u = Scambio(Comandi::Codice::Ingressi, QString::number(g)); u >= 0) return u;
        for (const Comandi::Ingresso &i : Comandi::StatiIngressi(g, V::Risposta))
            if (i.stato == Comandi::StatoIngresso::Attivo) attivi << i.finestra + 1;
    }
    if (V::Interruzione) return LavoroInterrotto(interrotta);
    if (const int u = Scambio(Comandi::Codice::Tasto); u >= 0) return u;
    const std::optional<QChar> tasto = Comandi::CodiceTasto(V::Risposta);
    Stampa(stdout, TestoStato(stato, attivi, tasto ? QString(*tasto) : QString()));
    return UscitaFatto;
}

// Lines of the file a send leaves out: one line on stdout, before the result.
void StampaAvviso(const QString &avviso) {
    if (!avviso.isEmpty()) Stampa(stdout, avviso + QStringLiteral(".\n"));
}

// `testo` as a sentence of its own line: capital first letter, full stop;
// empty for an empty text.
QString FraseDi(const QString &testo) {
    if (testo.isEmpty()) return QString();
    return testo.left(1).toUpper() + testo.mid(1) + QStringLiteral(".\n");
}

// What a send sends: the entries of the file, or of a site's version for a
// restore, with the result of their checks and what names them.
struct DaInviare {
    QList<Programmazione::Voce> voci;
    Operazioni::RisultatoInvio preparazione;
    QString descrizione;
};

// The entries of the send, read and checked before the port is opened; nothing
// with *uscita when a restore names a version the site lacks.
std::optional<DaInviare> LeggiDaInviare(const RigaDiComando &riga, Operazioni::Osservatore &o,
                                        int *uscita) {
    DaInviare d;
    d.descrizione = QFileInfo(riga.file).fileName();
    if (riga.ripristina <= 0) {
        d.preparazione = Operazioni::PreparaInvio(o, &d.voci);
        return d;
    }
    // A restore sends a version of the site's own, checked as a file sent.
    QString errore;
    const auto ripristino = InvioImpianto::PreparaRipristino(
        o, impianto->nome, QString::number(riga.ripristina), &errore);
    if (!ripristino) {
        *uscita = Problema(errore + QStringLiteral(". Nulla è stato inviato."));
        return std::nullopt;
    }
    d.voci = ripristino->voci;
    d.preparazione = ripristino->preparazione;
    d.descrizione = QStringLiteral("versione ") + Versioni::Detta(ripristino->versione);
    if (d.preparazione.esito != Operazioni::Esito::FileNonLeggibile &&
        d.preparazione.esito != Operazioni::Esito::FileRifiutato)
        Stampa(stderr, QStringLiteral("Ripristino della %1 dell'impianto \"%2\" (%3, %4)\n")
                           .arg(d.descrizione, impianto->nome,
                                ripristino->versione.quando.toLocalTime().toString(
                                    QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                Versioni::NomeTipo(ripristino->versione.tipo)));
    return d;
}

// A file a send refuses: the job's exit status, said; -1 when it may be sent.
int FileRifiutato(const Operazioni::RisultatoInvio &p) {
    if (p.esito == Operazioni::Esito::FileNonLeggibile)
        return Problema(QStringLiteral("%1. Nulla è stato inviato.").arg(p.motivo));
    if (p.esito == Operazioni::Esito::FileRifiutato)
        return Problema(
            QStringLiteral("%1: %2. Nulla è stato inviato.").arg(V::NomeFile, p.motivo));
    return -1;
}

// The send on the open link: on a site, what the panel held is kept first and
// only what differs is written (the register's lines are the job's own, in
// EseguiLavoro); else as the programming window sends.
InvioImpianto::Risultato InviaVoci(Operazioni::Osservatore &o, const DaInviare &d,
                                   const InvioImpianto::Opzioni &opzioni) {
    if (impianto)
        return InvioImpianto::Lavoro(impianto->nome, opzioni)
            .Invia(o, &*impianto, d.voci, d.preparazione);
    InvioImpianto::Risultato r;
    r.invio = Operazioni::ScriviEVerifica(o, d.voci);
    r.invio.avviso = d.preparazione.avviso;
    r.invio.spezzate = d.preparazione.spezzate;
    return r;
}

// The send's outcome printed; the job's exit status.
int StampaEsitoInvio(const InvioImpianto::Risultato &sito, const InvioImpianto::Opzioni &opzioni) {
    const Operazioni::RisultatoInvio &r = sito.invio;
    StampaAvviso(r.avviso);
    const QString parole = InvioImpianto::Parole(sito, impianto ? &*impianto : nullptr, opzioni);
    if (r.esito == Operazioni::Esito::CopiaNonRiuscita) return Problema(parole + QLatin1Char('.'));
    if (r.muto)
        if (const QString colpa = PortaInColpa(NomePorta()); !colpa.isEmpty())
            return Problema(
                QStringLiteral("Invio fermato al testo %1: nessuna risposta alla %2 (%3). %4")
                    .arg(r.voce.numero(),
                         r.esito == Operazioni::Esito::Diverso ? QStringLiteral("rilettura")
                                                               : QStringLiteral("scrittura"),
                         Quanti(r.scritti, "testo scritto", "testi scritti"), colpa));
    switch (r.esito) {
    case Operazioni::Esito::Interrotto:
        return LavoroInterrotto(parole);
    case Operazioni::Esito::Fatto:
        // Lines meant as texts were left out: the file needs mending.
        if (r.spezzate > 0) {
            Stampa(stdout, parole + QStringLiteral(": correggi il loro numero e invia di nuovo il "
                                                   "file.\n"));
            return UscitaProblema;
        }
        Stampa(stdout, parole + QLatin1Char('\n') + FraseDi(sito.avviso));
        // The texts are written, the version sent is not kept: a send with its
        // record missing is no success.
        return sito.avviso.isEmpty() ? UscitaFatto : UscitaProblema;
    case Operazioni::Esito::ScritturaRifiutata:
    case Operazioni::Esito::Diverso:
    case Operazioni::Esito::Incerta:
        Stampa(stdout, parole + QStringLiteral(".\n"));
        return UscitaCentrale;
    default:
        return UscitaProblema; // the file was checked before
    }
}

// The send of "Invia file al VELTO": the file is read and checked before the
// port is opened, so that a wrong file needs no panel to be told.
int LavoroInvia(const RigaDiComando &riga) {
    V::NomeFile = riga.file;
    Progresso progresso;
    int uscita = -1;
    const std::optional<DaInviare> d = LeggiDaInviare(riga, progresso, &uscita);
    if (!d) return uscita;
    if (const int rifiutato = FileRifiutato(d->preparazione); rifiutato >= 0) return rifiutato;
    if (const int problema = PreparaLinea(riga); problema >= 0) return problema;
    const InvioImpianto::Opzioni opzioni{riga.senzaCopia, d->descrizione, NomePorta(), QString()};
    const InvioImpianto::Risultato sito = InviaVoci(progresso, *d, opzioni);
    progresso.Chiudi();
    return StampaEsitoInvio(sito, opzioni);
}

// What a send of the file would change: the same checks of the file as the
// send, before the port is opened; then each text read back as the
// verification reads it. Nothing is written to the panel. Given `noti` (a
// site's known texts, `detti` in words), those are compared instead of a file.
int LavoroConfronta(const RigaDiComando &riga,
                    const std::optional<QList<Programmazione::Voce>> &noti, const QString &detti) {
    V::NomeFile = riga.file;
    Progresso progresso;
    QList<Programmazione::Voce> voci = noti.value_or(QList<Programmazione::Voce>());
    const Operazioni::RisultatoInvio p =
        noti ? Operazioni::RisultatoInvio() : Operazioni::PreparaInvio(progresso, &voci);
    if (p.esito == Operazioni::Esito::FileNonLeggibile)
        return Problema(QStringLiteral("%1. Nessun testo confrontato.").arg(p.motivo));
    if (p.esito == Operazioni::Esito::FileRifiutato)
        return Problema(QStringLiteral("%1: %2. Un invio lo rifiuterebbe: nessun testo "
                                       "confrontato.")
                            .arg(V::NomeFile, p.motivo));
    if (const int problema = PreparaLinea(riga); problema >= 0) return problema;

    const Operazioni::RisultatoConfronto r = Operazioni::Confronta(progresso, voci);
    progresso.Chiudi();
    StampaAvviso(p.avviso);
    QStringList numeri;
    for (qsizetype i = 0; i < r.diverse.size(); ++i) {
        Stampa(stdout, RigheDiverse(r.diverse[i], r.letti[i]));
        numeri << r.diverse[i].numero();
    }
    if (r.incerta) {
        Stampa(stdout, QStringLiteral("%1; %2 su %3.\n")
                           .arg(RisposteNonAffidabili(r.muta.numero(), false, NomePorta()),
                                Quanti(r.confrontati, "testo confrontato", "testi confrontati"))
                           .arg(voci.size()));
        return UscitaCentrale;
    }
    if (r.interrotto)
        return LavoroInterrotto(
            QStringLiteral("Confronto interrotto: %1 %2 di %3, nulla è stato scritto")
                .arg(Concorda(r.confrontati, "confrontato", "confrontati"),
                     Quanti(r.confrontati, "testo", "testi"))
                .arg(voci.size()));
    if (!r.muta.isEmpty()) {
        if (const QString colpa = PortaInColpa(NomePorta()); !colpa.isEmpty())
            return Problema(
                QStringLiteral("Confronto fermato al testo %1: nessuna risposta alla "
                               "lettura (%2 su %3). %4")
                    .arg(r.muta.numero(),
                         Quanti(r.confrontati, "testo confrontato", "testi confrontati"),
                         QString::number(voci.size()), colpa));
        Stampa(stdout,
               NonRisponde(QStringLiteral("alla lettura del testo ") + r.muta.numero(), NomePorta(),
                           QStringLiteral(" (%1 su %2).")
                               .arg(Quanti(r.confrontati, "testo confrontato", "testi confrontati"))
                               .arg(voci.size()),
                           true));
        return UscitaCentrale;
    }
    Stampa(stdout, EsitoConfronto(numeri, int(voci.size()), p.spezzate > 0, detti));
    if (!numeri.isEmpty()) return UscitaCentrale;
    return p.spezzate > 0 ? UscitaProblema : UscitaFatto; // as the send would end
}

// Why a job could not write the file `percorso` when it ends, or empty: a
// missing folder, a folder of that name, or what MotivoNonScrivibile finds.
QString MotivoDestinazione(const QString &percorso) {
    const QFileInfo file(percorso);
    if (!file.absoluteDir().exists())
        return QStringLiteral("%1: la cartella %2 non esiste.").arg(percorso, file.absolutePath());
    if (file.isDir()) return QStringLiteral("%1 è una cartella.").arg(percorso);
    // A site's versions are never written over: said before the job starts.
    if (const QString motivo =
            FormatoMessaggi::Vietato ? FormatoMessaggi::Vietato(percorso) : QString();
        !motivo.isEmpty())
        return QStringLiteral("%1: %2.").arg(percorso, motivo);
    if (const QString motivo = FormatoMessaggi::MotivoNonScrivibile(percorso); !motivo.isEmpty())
        return QStringLiteral("%1: %2.").arg(percorso, motivo);
    return QString();
}

// The read-back of "Leggi Testi dal VELTO", saved as the save window would
// with the proposed comment. A name the save window refuses, or a folder
// that is not there, is told before anything is read.
// On a site, the texts become its new version too; without a file, only that.
int LavoroLeggi(const RigaDiComando &riga) {
    const QFileInfo file(riga.file);
    const QString percorso = riga.file.isEmpty() ? QString() : file.absoluteFilePath();
    // The save window's rule for a message file's name, in its words.
    if (const QString motivo = FormatoMessaggi::MotivoNomeRifiutato(file.fileName());
        !percorso.isEmpty() && !motivo.isEmpty())
        return Problema(QStringLiteral("%1: %2.").arg(Traccia::Visibile(percorso), motivo));
    // Told before the first read, not after all of them.
    if (const QString motivo = percorso.isEmpty() ? QString() : MotivoDestinazione(percorso);
        !motivo.isEmpty())
        return Problema(motivo + QStringLiteral(" Nessun testo letto."));
    if (const int problema = PreparaLinea(riga); problema >= 0) return problema;

    Progresso progresso;
    const Operazioni::RisultatoLettura r = Operazioni::LeggiTesti(progresso);
    progresso.Chiudi();
    // A signal during the last read still saves nothing.
    if (r.interrotta || (r.completa && V::Interruzione))
        return LavoroInterrotto(QStringLiteral("Lettura interrotta: nessun file scritto"));
    if (!r.completa) {
        V::NumeroTesto = qint16(r.numero);
        TreCifre();
        if (r.incerta) {
            Stampa(stdout, RisposteNonAffidabili(V::NumeroTre, false, NomePorta()) +
                               QStringLiteral(". Nessun file scritto.\n"));
            return UscitaCentrale;
        }
        if (const QString colpa = PortaInColpa(NomePorta()); !colpa.isEmpty())
            return Problema(QStringLiteral("Lettura fermata al testo %1: nessuna risposta. %2 "
                                           "Nessun file scritto.")
                                .arg(V::NumeroTre, colpa));
        Stampa(stdout, NonRisponde(QStringLiteral("alla lettura del testo ") + V::NumeroTre,
                                   NomePorta(), QStringLiteral(". Nessun file scritto.")));
        return UscitaCentrale;
    }
    QString detto =
        QStringLiteral("letti tutti: %1 testi").arg(V::CorpoFile.count(QLatin1String("\r\n")));
    if (!percorso.isEmpty()) {
        QString errore;
        if (!FormatoMessaggi::SalvaFile(
                percorso,
                FormatoMessaggi::ContenutoFile(FormatoMessaggi::SenzaACapo(V::CommentoProposto),
                                               V::CorpoFile),
                &errore))
            return Problema(QStringLiteral("File non salvato: %1.").arg(errore));
        V::NomeFile = percorso;
        detto += QStringLiteral(" salvati in ") + percorso;
    }
    bool conservata = true;
    if (impianto)
        detto += QStringLiteral("\n") + InvioImpianto::ConservaLettura(impianto->nome, &conservata);
    Stampa(stdout, detto + QLatin1Char('\n'));
    return conservata ? UscitaFatto : UscitaProblema;
}

// The register of the job's site: its start line before the job reaches
// the panel, its end line with the outcome in the job's own words. A job on
// a site runs only once its start is written (NonIniziato()); its end is
// written whatever became of the output it printed.
class Registrazione {
  public:
    Registrazione(const RigaDiComando &riga, const QString &azione) {
        if (!impianto) return;
#ifdef SIGPIPE
        // A reader gone (a closed pipe) fails the prints, not the job's end line.
        std::signal(SIGPIPE, SIG_IGN);
#endif
        lavoro_ = std::make_unique<Manutenzione::Lavoro>(
            impianto->nome, riga.porta.isEmpty() ? impianto->porta : riga.porta, azione);
    }
    // Why the start line could not be written, or empty.
    QString NonIniziato() const {
        return lavoro_ ? lavoro_->Errore() : QString();
    }
    // Writes the end line: false, with Errore(), when it could not be.
    bool Fine(const QString &esito) {
        if (!lavoro_) return true;
        QString e = esito.trimmed();
        e.replace(QLatin1Char('\n'), QStringLiteral("; "));
        return lavoro_->Fine(e);
    }
    QString Errore() const {
        return lavoro_ ? lavoro_->Errore() : QString();
    }

  private:
    std::unique_ptr<Manutenzione::Lavoro> lavoro_;
};

} // namespace

int EseguiLavoro(const RigaDiComando &rigaDatata) {
    if (rigaDatata.libro != Libro::Nessuna) return EseguiLibro(rigaDatata);
    RigaDiComando riga = rigaDatata;
    int esito = -1;
    impianto = ImpiantoDelLavoro(riga, &esito);
    if (esito >= 0) return esito;
    QString azione = AzioneDi(riga);
    // A comparison on a site without a file: with all that is known of its
    // panel, the newest complete version and the later ones on top of it.
    std::optional<QList<Programmazione::Voce>> noti;
    QString detti; // what `noti` are, in words
    if (impianto && riga.lavoro == Lavoro::Confronta && riga.file.isEmpty()) {
        const auto stato = UltimaVersione(impianto->nome, &esito);
        if (!stato) return esito;
        noti = InvioImpianto::Voci(stato->testi);
        const Versioni::Versione &v = stato->versioni.last();
        detti = Versioni::DettoStato(*stato);
        azione = QStringLiteral("confronto con la ") + detti;
        Stampa(stderr,
               QStringLiteral("Confronto con la %1 dell'impianto \"%2\" (la più recente: %3, "
                              "%4)\n")
                   .arg(Versioni::DettoStato(*stato), impianto->nome,
                        v.quando.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                        Versioni::NomeTipo(v.tipo)));
    }
    if (impianto) Impianti::InUso() = impianto->nome;
    portaForzata = !DispositivoDelLavoro(riga).isEmpty();
    Registrazione registro(riga, azione);
    if (const QString motivo = registro.NonIniziato(); !motivo.isEmpty()) {
        esito = Problema(QStringLiteral("%1. Lavoro non iniziato: un lavoro sull'impianto \"%2\" "
                                        "parte solo con la sua riga nel registro, nulla è stato "
                                        "scritto sulla centrale.")
                             .arg(motivo, impianto->nome));
        Traccia::Chiudi();
        return esito;
    }
    QString esitoProva;
    switch (riga.lavoro) {
    case Lavoro::Invia:
        esito = LavoroInvia(riga);
        break;
    case Lavoro::Leggi:
        esito = LavoroLeggi(riga);
        break;
    case Lavoro::Confronta:
        esito = LavoroConfronta(riga, noti, detti);
        break;
    default:
        esito = -1;
        // The walk test's reports are written at its end: their places are
        // checked before it starts.
        for (const QString &f : riga.rapporti)
            if (const QString motivo = MotivoDestinazione(f); !motivo.isEmpty() && esito < 0)
                esito = Problema(motivo + QStringLiteral(" Nessuna prova iniziata."));
        if (esito < 0) esito = PreparaLinea(riga);
        if (esito < 0)
            esito = riga.lavoro == Lavoro::Cerca ? LavoroCerca(NomePorta())
                    : riga.lavoro == Lavoro::Prova
                        ? LavoroProva(riga, NomePorta(),
                                      impianto ? Impianti::CartellaDi(impianto->nome)
                                               : QDir::currentPath(),
                                      impianto ? &esitoProva : nullptr)
                        : LavoroStato();
    }
    // A job whose end the register lacks has not done all it had to.
    if (!registro.Fine(esitoProva.isEmpty() ? UltimoDetto() : esitoProva)) {
        Stampa(stdout,
               QStringLiteral("Fine del lavoro non registrata: %1.\n").arg(registro.Errore()));
        if (esito == UscitaFatto) esito = UscitaProblema;
    }
    FormSeriale::Scarica();
    Traccia::Chiudi();
    return esito;
}

QString TestoStato(const QString &stato, const QList<int> &attivi, const QString &tasto) {
    QString testo = QStringLiteral("Stato: ") + TestoRiposo(stato);
    QStringList numeri;
    for (int n : attivi)
        numeri << QString::number(n);
    testo += QStringLiteral("\nIngressi attivi: ") +
             (numeri.isEmpty() ? QStringLiteral("nessuno") : numeri.join(QStringLiteral(", ")));
    testo += QStringLiteral("\nUltimo tasto: ");
    const QChar codice = tasto.isEmpty() ? QChar() : tasto[0];
    const auto etichetta = tasto.isEmpty() ? std::nullopt : Comandi::EtichettaTasto(codice);
    if (!etichetta)
        testo += QStringLiteral("sconosciuto (\"%1\")").arg(Traccia::Visibile(tasto.left(1)));
    else if (codice == QLatin1Char('@'))
        testo += QStringLiteral("nessuno");
    else
        testo += etichetta->trimmed();
    return testo + QLatin1Char('\n');
}
