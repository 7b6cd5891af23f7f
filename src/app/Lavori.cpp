#include "app/Lavori.h"

#include "app/Cerca.h"
#include "app/Configurazione.h"
#include "app/Confronta.h"
#include "app/RigaDiComando.h"
#include "files/FormatoMessaggi.h"
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "link/PorteSeriali.h"
#include "link/Traccia.h"
#include "programming/Operazioni.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

void Stampa(std::FILE *dove, const QString &testo) {
    std::fputs(testo.toLocal8Bit().constData(), dove);
    std::fflush(dove);
}

bool ErroreSuTerminale() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr));
#else
    return ::isatty(STDERR_FILENO);
#endif
}

int LavoroInterrotto(const QString &testo) {
    Operazioni::AnnunciaInterruzione(testo);
    return 128 + V::Interruzione;
}

namespace {

// A usage, file or port problem: one message on the standard error.
int Problema(const QString &testo) {
    Stampa(stderr, QStringLiteral("velto318: ") + testo + QLatin1Char('\n'));
    return UscitaProblema;
}

bool portaForzata = false; // --porta names the device

// The port as the operator knows it: COMn and the device it leads to, or the
// device given with --porta.
QString NomePorta() {
    const QString dispositivo = FormSeriale::Istanza().MSComm1.Dispositivo();
    if (portaForzata) return dispositivo;
    const QString com = QStringLiteral("COM") + Traccia::Visibile(V::NumeroPorta);
    return dispositivo.isEmpty() ? com : QStringLiteral("%1 (%2)").arg(com, dispositivo);
}

// The panel's identifier as the operator reads it: Seriale318.con may hold
// any three characters there, a NUL among them.
QString Centrale() {
    return Traccia::Visibile(V::Identificativo);
}

// A text of the panel as the operator reads it, control characters shown.
QString Citato(const QString &testo) {
    return QLatin1Char('"') + Traccia::Visibile(testo) + QLatin1Char('"');
}

} // namespace

QString PortaInColpa() {
    const MSComm &com = FormSeriale::Istanza().MSComm1;
    if (!com.PortOpen()) {
        const QString motivo = com.ErroreApertura();
        return QStringLiteral("La porta %1 si è chiusa durante il lavoro%2. Controlla "
                              "l'adattatore e il suo cavo, poi riprova.")
            .arg(NomePorta(), motivo.isEmpty() ? QString() : QStringLiteral(": ") + motivo);
    }
    const QString chi = ChiTieneLaPorta(com.Dispositivo());
    if (chi.isEmpty()) return QString();
    return QStringLiteral("La porta %1 è aperta anche da %2, che prende le risposte della "
                          "centrale: chiudi quel programma e riprova.")
        .arg(NomePorta(), chi);
}

namespace {

// Progress on the standard error: a bar rewritten in place on a terminal, a
// line per phase otherwise. The status lines are the window's: not shown.
class Progresso : public Operazioni::Osservatore {
  public:
    Progresso() : terminale_(ErroreSuTerminale()) {}
    ~Progresso() override { Chiudi(); }
    void Riga1(const QString &) override {}
    void Riga2(const QString &) override {}
    void Conferma() override {}
    void Avanzamento(const QString &fase, int fatti, int totale) override {
        if (fase.isEmpty() || totale <= 0) return;
        const bool nuova = fase != fase_;
        fase_ = fase;
        if (!terminale_) {
            if (nuova) Stampa(stderr, QStringLiteral("%1 di %2 testi\n").arg(fase).arg(totale));
            return;
        }
        if (nuova) Chiudi();
        constexpr int Larghezza = 40;
        const int pieni = int(qint64(fatti) * Larghezza / totale);
        Stampa(stderr, QStringLiteral("\r%1 [%2%3] %4 di %5")
                           .arg(fase.leftJustified(9), QString(pieni, QLatin1Char('#')),
                                QString(Larghezza - pieni, QLatin1Char('-')))
                           .arg(fatti)
                           .arg(totale));
        barra_ = true;
    }
    // Ends the bar's line, before a result or a message is printed.
    void Chiudi() {
        if (barra_) Stampa(stderr, QStringLiteral("\n"));
        barra_ = false;
    }

  private:
    bool terminale_ = false;
    bool barra_ = false;
    QString fase_;
};

// The link of the job: Seriale318.con of the current folder (its default
// written where it is not valid, as the windows do), the overrides of the
// run, the port opened. Returns the exit status of a problem, or -1.
int PreparaLinea(const RigaDiComando &riga, const QString &dispositivo) {
    const Configurazione c = LeggiConfigurazione(QDir::current().filePath(NomeFileConfigurazione));
    if (!c.avviso.isEmpty()) Stampa(stderr, QStringLiteral("velto318: ") + c.avviso + '\n');
    V::Modo485 = c.Modo485 || riga.ha(QStringLiteral("rs485"));
    V::NumeroPorta = c.NumeroPorta;
    V::Identificativo =
        riga.ha(QStringLiteral("id")) ? riga.valore(QStringLiteral("id")) : c.Identificativo;
    FormSeriale &seriale = FormSeriale::Istanza();
    seriale.MSComm1.setCartellaPorte(QDir::currentPath());
    seriale.MSComm1.setDispositivoForzato(dispositivo);
    seriale.ApriSeriale();
    if (!seriale.MSComm1.PortOpen()) return Problema(seriale.ErroreApertura());
    return -1;
}

// One exchange: -1 when the panel answered, else the job's exit status with
// its failure printed (the port's fault, or a panel that does not answer).
int Scambio(Comandi::Codice codice, const QString &parametro = QString()) {
    FormSeriale::Istanza().Scambia(codice, parametro);
    if (!V::ErroreSeriale) return -1;
    if (const QString colpa = PortaInColpa(); !colpa.isEmpty())
        return Problema(
            QStringLiteral("Nessuna risposta a %1. %2").arg(Traccia::Visibile(V::Comando), colpa));
    Stampa(stdout, QStringLiteral("Errore seriale. Controlla identificativo: la centrale %1 non "
                                  "risponde a %2 sulla porta %3.\n")
                       .arg(Centrale(), Traccia::Visibile(V::Comando), NomePorta()));
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

// The send of "Invia file al VELTO": the file is read and checked before the
// port is opened, so that a wrong file needs no panel to be told.
int LavoroInvia(const RigaDiComando &riga, const QString &dispositivo) {
    V::NomeFile = QFileInfo(riga.valore(QStringLiteral("invia"))).absoluteFilePath();
    Progresso progresso;
    QList<Programmazione::Voce> voci;
    Operazioni::RisultatoInvio r = Operazioni::PreparaInvio(progresso, &voci);
    if (r.esito == Operazioni::Esito::FileNonLeggibile)
        return Problema(QStringLiteral("%1. Nulla è stato inviato.").arg(r.motivo));
    if (r.esito == Operazioni::Esito::FileRifiutato)
        return Problema(
            QStringLiteral("%1: %2. Nulla è stato inviato.").arg(V::NomeFile, r.motivo));
    if (const int problema = PreparaLinea(riga, dispositivo); problema >= 0) return problema;

    const QString avviso = r.avviso;
    r = Operazioni::ScriviEVerifica(progresso, voci);
    progresso.Chiudi();
    StampaAvviso(avviso);
    const QString numero = r.voce.left(3), testo = r.voce.mid(3);
    if (r.muto)
        if (const QString colpa = PortaInColpa(); !colpa.isEmpty())
            return Problema(
                QStringLiteral("Invio fermato al testo %1: nessuna risposta alla %2 (%3 testi "
                               "scritti). %4")
                    .arg(numero,
                         r.esito == Operazioni::Esito::Diverso ? QStringLiteral("rilettura")
                                                               : QStringLiteral("scrittura"),
                         QString::number(r.scritti), colpa));
    switch (r.esito) {
    case Operazioni::Esito::Interrotto:
        return LavoroInterrotto(r.motivo);
    case Operazioni::Esito::Fatto:
        Stampa(stdout, QStringLiteral("DATI UGUALI  TUTTO OK (%1 testi scritti e verificati)\n")
                           .arg(r.scritti));
        return UscitaFatto;
    case Operazioni::Esito::ScritturaRifiutata:
        Stampa(stdout,
               r.muto
                   ? QStringLiteral("Errore risposta: la centrale %1 non risponde alla scrittura "
                                    "del testo %2 %3 sulla porta %4.\n")
                         .arg(Centrale(), numero, Citato(testo), NomePorta())
                   : QStringLiteral("Errore risposta: la centrale non ha accettato il testo %1 "
                                    "%2 (risposta %3).\n")
                         .arg(numero, Citato(testo), Citato(r.risposta)));
        return UscitaCentrale;
    case Operazioni::Esito::Diverso:
        Stampa(stdout,
               r.muto ? QStringLiteral("Errore Dati non scritti giusti. Testo %1: scritto %2, la "
                                       "centrale %3 non risponde alla rilettura sulla porta %4.\n")
                            .arg(numero, Citato(testo), Centrale(), NomePorta())
                      : QStringLiteral("Errore Dati non scritti giusti. Testo %1: scritto %2, "
                                       "riletto %3.\n")
                            .arg(numero, Citato(testo), Citato(r.letto)));
        return UscitaCentrale;
    case Operazioni::Esito::Incerta:
        Stampa(stdout, QStringLiteral("Errore seriale. Testo %1: scritto %2, ma le risposte della "
                                      "centrale alla rilettura sulla porta %3 non sono affidabili "
                                      "(linea disturbata?): il testo non è verificato.\n")
                           .arg(numero, Citato(testo), NomePorta()));
        return UscitaCentrale;
    default:
        return UscitaProblema; // the file was checked above
    }
}

// What a send of the file would change: the same checks of the file as the
// send, before the port is opened; then each text read back as the
// verification reads it. Nothing is written to the panel.
int LavoroConfronta(const RigaDiComando &riga, const QString &dispositivo) {
    V::NomeFile = QFileInfo(riga.valore(QStringLiteral("confronta"))).absoluteFilePath();
    Progresso progresso;
    QList<Programmazione::Voce> voci;
    const Operazioni::RisultatoInvio p = Operazioni::PreparaInvio(progresso, &voci);
    if (p.esito == Operazioni::Esito::FileNonLeggibile)
        return Problema(QStringLiteral("%1. Nessun testo confrontato.").arg(p.motivo));
    if (p.esito == Operazioni::Esito::FileRifiutato)
        return Problema(QStringLiteral("%1: %2. Un invio lo rifiuterebbe: nessun testo "
                                       "confrontato.")
                            .arg(V::NomeFile, p.motivo));
    if (const int problema = PreparaLinea(riga, dispositivo); problema >= 0) return problema;

    const Operazioni::RisultatoConfronto r = Operazioni::Confronta(progresso, voci);
    progresso.Chiudi();
    StampaAvviso(p.avviso);
    QStringList numeri;
    for (qsizetype i = 0; i < r.diverse.size(); ++i) {
        Stampa(stdout, RigheDiverse(r.diverse[i].voce, r.letti[i]));
        numeri << r.diverse[i].voce.left(3);
    }
    if (r.incerta) {
        Stampa(stdout, QStringLiteral("Errore seriale: le risposte della centrale alla lettura del "
                                      "testo %1 sulla porta %2 non sono affidabili (linea "
                                      "disturbata?); %3 testi confrontati su %4.\n")
                           .arg(r.muta.left(3), NomePorta(), QString::number(r.confrontati),
                                QString::number(voci.size())));
        return UscitaCentrale;
    }
    if (r.interrotto)
        return LavoroInterrotto(QStringLiteral("Confronto interrotto: confrontati %1 testi di %2, "
                                               "nulla è stato scritto")
                                    .arg(r.confrontati)
                                    .arg(voci.size()));
    if (!r.muta.isEmpty()) {
        if (const QString colpa = PortaInColpa(); !colpa.isEmpty())
            return Problema(QStringLiteral("Confronto fermato al testo %1: nessuna risposta alla "
                                           "lettura (%2 testi confrontati su %3). %4")
                                .arg(r.muta.left(3), QString::number(r.confrontati),
                                     QString::number(voci.size()), colpa));
        Stampa(stdout,
               QStringLiteral("Errore seriale. Controlla identificativo: la centrale %1 non "
                              "risponde alla lettura del testo %2 sulla porta %3 (%4 "
                              "testi confrontati su %5). velto318 --cerca elenca gli "
                              "identificativi che rispondono.\n")
                   .arg(Centrale(), r.muta.left(3), NomePorta(), QString::number(r.confrontati),
                        QString::number(voci.size())));
        return UscitaCentrale;
    }
    Stampa(stdout, EsitoConfronto(numeri, int(voci.size())));
    return numeri.isEmpty() ? UscitaFatto : UscitaCentrale;
}

// The read-back of "Leggi Testi dal VELTO", saved as the save window would
// with the proposed comment. A name the save window refuses, or a folder
// that is not there, is told before anything is read.
int LavoroLeggi(const RigaDiComando &riga, const QString &dispositivo) {
    const QFileInfo file(riga.valore(QStringLiteral("leggi")));
    const QString percorso = file.absoluteFilePath();
    if (file.fileName().right(4).toLower() != QLatin1String(".vlt"))
        return Problema(QStringLiteral("%1: il nome deve avere estensione .vlt.").arg(percorso));
    for (const QChar c : file.fileName())
        if (c.unicode() < 32 || c.unicode() == 127)
            return Problema(QStringLiteral("%1: il nome non può contenere caratteri di controllo.")
                                .arg(Traccia::Visibile(percorso)));
    if (!file.absoluteDir().exists())
        return Problema(
            QStringLiteral("%1: la cartella %2 non esiste.").arg(percorso, file.absolutePath()));
    if (file.isDir()) return Problema(QStringLiteral("%1 è una cartella.").arg(percorso));
    if (const int problema = PreparaLinea(riga, dispositivo); problema >= 0) return problema;

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
            Stampa(stdout, QStringLiteral("Errore seriale: le risposte della centrale alla lettura "
                                          "del testo %1 sulla porta %2 non sono affidabili (linea "
                                          "disturbata?). Nessun file scritto.\n")
                               .arg(V::NumeroTre, NomePorta()));
            return UscitaCentrale;
        }
        if (const QString colpa = PortaInColpa(); !colpa.isEmpty())
            return Problema(QStringLiteral("Lettura fermata al testo %1: nessuna risposta. %2 "
                                           "Nessun file scritto.")
                                .arg(V::NumeroTre, colpa));
        Stampa(stdout, QStringLiteral("Errore seriale. Controlla identificativo: la centrale %1 "
                                      "non risponde alla lettura del testo %2 sulla porta %3. "
                                      "Nessun file scritto.\n")
                           .arg(Centrale(), V::NumeroTre, NomePorta()));
        return UscitaCentrale;
    }
    QString errore;
    if (!FormatoMessaggi::SalvaFile(
            percorso,
            FormatoMessaggi::ContenutoFile(FormatoMessaggi::SenzaACapo(V::CommentoProposto),
                                           V::CorpoFile),
            &errore))
        return Problema(QStringLiteral("File non salvato: %1.").arg(errore));
    V::NomeFile = percorso;
    Stampa(stdout, QStringLiteral("letti tutti: %1 testi salvati in %2\n")
                       .arg(V::CorpoFile.count(QLatin1String("\r\n")))
                       .arg(percorso));
    return UscitaFatto;
}

} // namespace

bool LavoroSenzaFinestre(const RigaDiComando &riga) {
    return riga.ha(QStringLiteral("invia")) || riga.ha(QStringLiteral("leggi")) ||
           riga.ha(QStringLiteral("stato")) || riga.ha(QStringLiteral("cerca")) ||
           riga.ha(QStringLiteral("confronta"));
}

int EseguiLavoro(const RigaDiComando &rigaData, const QString &dispositivo) {
    // Files are named from the folder the command was given in.
    RigaDiComando riga = rigaData;
    for (const QString &nome :
         {QStringLiteral("invia"), QStringLiteral("leggi"), QStringLiteral("confronta")})
        if (riga.ha(nome)) riga.opzioni[nome] = QFileInfo(riga.valore(nome)).absoluteFilePath();
    if (riga.ha(QStringLiteral("traccia"))) {
        const QString errore = Traccia::Apri(riga.valore(QStringLiteral("traccia")));
        if (!errore.isEmpty()) Stampa(stderr, QStringLiteral("velto318: ") + errore + '\n');
    }
    if (riga.ha(QStringLiteral("cartella-utente"))) {
        const QString errore = EntraInCartella(CartellaUtente(QDir::homePath()));
        if (!errore.isEmpty()) return Problema(errore);
    }
    portaForzata = !dispositivo.isEmpty();
    int esito;
    if (riga.ha(QStringLiteral("invia"))) {
        esito = LavoroInvia(riga, dispositivo);
    } else if (riga.ha(QStringLiteral("leggi"))) {
        esito = LavoroLeggi(riga, dispositivo);
    } else if (riga.ha(QStringLiteral("confronta"))) {
        esito = LavoroConfronta(riga, dispositivo);
    } else {
        esito = PreparaLinea(riga, dispositivo);
        if (esito < 0)
            esito = riga.ha(QStringLiteral("cerca")) ? LavoroCerca(NomePorta()) : LavoroStato();
    }
    FormSeriale::Scarica();
    Traccia::Chiudi();
    return esito;
}

QString TestoStato(const QString &stato, const QList<int> &attivi, const QString &tasto) {
    QString testo = QStringLiteral("Stato: ");
    if (stato == QLatin1String("R"))
        testo += QStringLiteral("a riposo");
    else if (stato == QLatin1String("I"))
        testo += QStringLiteral("in programmazione");
    else
        testo += QStringLiteral("non a riposo (\"%1\")").arg(Traccia::Visibile(stato));
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
