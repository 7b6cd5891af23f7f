#include "app/RigaDiComando.h"

#include "shared/Numeri.h"
#include "link/IndirizzoRete.h"
#include "link/PorteSeriali.h"
#include "link/Traccia.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>
#include <cstdio>
#include <utility>

namespace {

// One option of the tool: how the line names it and the field of the record
// it fills (a flag, a value, or a job with its file when it takes one).
struct Voce {
    QCommandLineOption opzione;
    bool RigaDiComando::*bandiera = nullptr;
    QString RigaDiComando::*valore = nullptr;
    Lavoro lavoro = Lavoro::Nessuno;
    QStringList RigaDiComando::*valori = nullptr; // an option that may come more than once
    int RigaDiComando::*numero = nullptr;         // a whole number above zero
    Libro libro = Libro::Nessuna;                 // a work on the site book (with its value)

    Voce(QCommandLineOption o, bool RigaDiComando::*b) : opzione(std::move(o)), bandiera(b) {}
    Voce(QCommandLineOption o, QString RigaDiComando::*v) : opzione(std::move(o)), valore(v) {}
    Voce(QCommandLineOption o, Lavoro l) : opzione(std::move(o)), lavoro(l) {}
    Voce(QCommandLineOption o, QStringList RigaDiComando::*v) : opzione(std::move(o)), valori(v) {}
    Voce(QCommandLineOption o, int RigaDiComando::*n) : opzione(std::move(o)), numero(n) {}
    Voce(QCommandLineOption o, Libro l, QString RigaDiComando::*v = nullptr)
        : opzione(std::move(o)), valore(v), libro(l) {}
    QString nome() const { return opzione.names().last(); }
    bool conValore() const { return !opzione.valueName().isEmpty(); }
};

// Every option of the tool: one line each, in the order of the help.
const QList<Voce> &Voci() {
    static const QList<Voce> voci = {
        {{{"h", "help"}, "Mostra questo aiuto ed esce."}, &RigaDiComando::aiuto},
        {{{"v", "version"}, "Mostra la versione ed esce."}, &RigaDiComando::versione},
        {{"porte", "Elenca le porte seriali presenti ed esce."}, &RigaDiComando::porte},
        {{"porta",
          "Usa DISPOSITIVO (es. /dev/ttyUSB0) per la porta di Seriale318.con; per una "
          "centrale dietro un server seriale in rete: tcp://192.168.1.50:4001 (TCP "
          "grezzo, anche socket://192.168.1.50:4001) o rfc2217://192.168.1.50:4001 "
          "(imposta la linea 9600,E,7,1); IPv6 tra parentesi: tcp://[fd00::5]:4001.",
          "DISPOSITIVO"},
         &RigaDiComando::porta},
        {{"cartella-utente", "Lavora in ~/Velto318, creata al primo avvio (avvio dal menu)."},
         &RigaDiComando::cartellaUtente},
        {{"invia", "Invia FILE.vlt alla centrale e verifica ogni testo, senza finestre.",
          "FILE.vlt"},
         Lavoro::Invia},
        {{"leggi",
          "Legge i testi 000-192 dalla centrale e li salva in FILE.vlt, senza finestre "
          "(con --impianto anche come nuova versione; lì FILE si può omettere).",
          "FILE.vlt"},
         Lavoro::Leggi},
        {{"stato", "Legge una volta stato, ingressi attivi e ultimo tasto della centrale, "
                   "li stampa ed esce (senza finestre)."},
         Lavoro::Stato},
        {{"confronta",
          "Legge dalla centrale i testi che un invio di FILE.vlt scriverebbe e "
          "stampa quelli diversi, senza scrivere nulla (senza finestre); con --impianto e "
          "senza FILE, confronta con l'ultima versione dell'impianto.",
          "FILE.vlt"},
         Lavoro::Confronta},
        {{"cerca", "Cerca gli identificativi a cui risponde una centrale sulla linea (da &00 a "
                   "&99, prima quello configurato), li elenca ed esce (senza finestre)."},
         Lavoro::Cerca},
        {{"prova",
          "Prova ingressi senza finestre: legge i testi, segue la centrale e stampa ogni "
          "ingresso che si attiva o torna a riposo, finché non scade --durata o arriva Ctrl+C; "
          "poi il riepilogo (esce con 0 se ogni ingresso con testo è stato provato, 1 se no)."},
         Lavoro::Prova},
        {{"impianto",
          "Il lavoro (o --storia, --confronta-versioni, --registro, --rinomina) sull'impianto "
          "NOME del libro impianti/ (maiuscole e minuscole indifferenti): collegamento, "
          "identificativo e linea dall'impianto (--porta, --id, "
          "--rs485 valgono per questa volta), il lavoro nel suo registro. Con --impianto, "
          "--leggi e --confronta seguiti da un'altra opzione (o per ultimi) sono senza FILE. "
          "Con --prova un nome che non è nel libro è solo l'etichetta dei rapporti.",
          "NOME"},
         &RigaDiComando::impianto},
        {{"durata",
          "Con --prova: finisce dopo SECONDI secondi, contati dall'avvio "
          "(lettura dei testi compresa, circa 4 s).",
          "SECONDI"},
         &RigaDiComando::durata},
        {{"rapporto",
          "Con --prova (o --registro, --rapporti-da): alla fine scrive il rapporto in FILE, .csv o "
          ".pdf "
          "secondo l'estensione (anche più volte).",
          "FILE"},
         &RigaDiComando::rapporti},
        {{"tecnico", "Con --prova: il nome del tecnico, per i rapporti.", "TESTO"},
         &RigaDiComando::tecnico},
        {{"traccia", "Aggiunge a FILE una riga per ogni scambio sulla linea seriale.", "FILE"},
         &RigaDiComando::traccia},
        {{"id",
          "Identificativo della centrale per questa volta (es. &45) invece di quello "
          "di Seriale318.con.",
          "&NN"},
         &RigaDiComando::id},
        {{"rs485", "Linea RS485 (con eco) per questa volta, invece di Seriale318.con."},
         &RigaDiComando::rs485},
        {{"nuovo-impianto",
          "Crea l'impianto NOME nel libro impianti/, con il collegamento di --porta, "
          "l'identificativo di --id e la linea di --rs485.",
          "NOME"},
         Libro::Nuovo,
         &RigaDiComando::nuovoImpianto},
        {{"cliente", "Con --nuovo-impianto: il cliente.", "TESTO"}, &RigaDiComando::cliente},
        {{"indirizzo", "Con --nuovo-impianto: l'indirizzo.", "TESTO"}, &RigaDiComando::indirizzo},
        {{"note", "Con --nuovo-impianto: note libere.", "TESTO"}, &RigaDiComando::note},
        {{"senza-copia", "Con --nuovo-impianto: nessuna copia della centrale prima di ogni invio; "
                         "con --invia o --ripristina e --impianto: nessuna copia per questa "
                         "volta (il registro lo dice)."},
         &RigaDiComando::senzaCopia},
        {{"ripristina",
          "Con --impianto: invia alla centrale i testi della versione N (come la elenca "
          "--storia), con prima la copia dei testi che cambiano.",
          "N"},
         &RigaDiComando::ripristina},
        {{"su-impianti",
          "Il lavoro (--stato, --leggi, --confronta senza FILE, o --invia FILE.vlt --si) su "
          "ogni impianto di LISTA (\"tutti\", o nomi separati da virgole), più linee insieme; "
          "un impianto per riga con il suo esito, poi il riepilogo.",
          "LISTA"},
         &RigaDiComando::suImpianti},
        {{"paralleli", "Con --su-impianti: quante linee insieme, al massimo (8 se non detto).",
          "N"},
         &RigaDiComando::paralleli},
        {{"esito", "Con --su-impianti: scrive in FILE (.csv o .json) una riga per impianto.",
          "FILE"},
         &RigaDiComando::esito},
        {{"si", "Con --su-impianti --invia: sì, scrivi i testi in tutte quelle centrali; con "
                "--rimuovi-impianto: sì, sposta l'impianto nell'archivio."},
         &RigaDiComando::si},
        {{"rapporti-da",
          "Rilegge il giornale di una prova ingressi passata (prove/prova-….txt) e ne scrive "
          "i rapporti di --rapporto, senza centrale.",
          "GIORNALE"},
         Libro::Giornale,
         &RigaDiComando::giornale},
        {{"impianti",
          "Elenca gli impianti del libro, uno per riga: nome, collegamento, identificativo, "
          "linea, data dell'ultima versione (o \"mai letto\"); sotto un impianto, una riga che "
          "comincia con ! avvisa di un altro impianto sulla stessa centrale o sulla stessa "
          "linea RS232."},
         Libro::Elenco},
        {{"storia", "Con --impianto: elenca le versioni dell'impianto, dalla più recente."},
         Libro::Storia},
        {{"confronta-versioni",
          "Con --impianto: stampa i testi diversi tra le versioni N e M (senza centrale).", "N M"},
         Libro::ConfrontaVersioni},
        {{"registro",
          "Con --impianto: stampa il registro di manutenzione dell'impianto (con --rapporto "
          "lo scrive in FILE.pdf o FILE.csv)."},
         Libro::Registro},
        {{"esporta-impianti", "Scrive il libro degli impianti in FILE.csv (separato da ;).",
          "FILE.csv"},
         Libro::Esporta,
         &RigaDiComando::csv},
        {{"importa-impianti",
          "Aggiunge al libro gli impianti di FILE.csv; un impianto che c'è già non è "
          "toccato.",
          "FILE.csv"},
         Libro::Importa,
         &RigaDiComando::csv},
        {{"rinomina",
          "Con --impianto: dà all'impianto il nome NUOVO; versioni e registro restano suoi.",
          "NUOVO"},
         Libro::Rinomina,
         &RigaDiComando::rinomina},
        {{"rimuovi-impianto",
          "Toglie l'impianto NOME dal libro: con --si la sua cartella (versioni e registro "
          "compresi) va in archivio/, accanto al libro; senza, dice solo cosa farebbe.",
          "NOME"},
         Libro::Rimuovi,
         &RigaDiComando::rimuoviImpianto},
    };
    return voci;
}

// The options that change the link of a job, and mean nothing without one.
bool SoloConLavoro(const Voce &v) {
    return v.valore == &RigaDiComando::id || v.bandiera == &RigaDiComando::rs485;
}

// The options of the walk test, and meaning nothing without it.
bool SoloConProva(const Voce &v) {
    return v.numero == &RigaDiComando::durata || v.valore == &RigaDiComando::tecnico;
}

// The details of a new site, meaning nothing without --nuovo-impianto.
bool SoloConNuovo(const Voce &v) {
    return v.valore == &RigaDiComando::cliente || v.valore == &RigaDiComando::indirizzo ||
           v.valore == &RigaDiComando::note || v.bandiera == &RigaDiComando::senzaCopia;
}

// The works on one site of the book, which --impianto names.
bool DiUnImpianto(Libro l) {
    return l == Libro::Storia || l == Libro::ConfrontaVersioni || l == Libro::Registro ||
           l == Libro::Rinomina;
}

// A site's --leggi and --confronta may leave out their file: with --impianto,
// one followed by another option, or last, takes none. Those are taken out of
// `argomenti`, and their jobs returned.
QList<Lavoro> SenzaFile(QStringList &argomenti) {
    static const QRegularExpression impianto(QStringLiteral("^--?(impianto|su-impianti)(=.*)?$"));
    if (argomenti.indexOf(impianto) < 1) return {};
    QList<Lavoro> lavori;
    for (int i = 1; i < argomenti.size(); ++i) {
        const QString nome = argomenti[i].mid(argomenti[i].startsWith(QLatin1String("--")) ? 2 : 1);
        if (!argomenti[i].startsWith(QLatin1Char('-')) ||
            (nome != QLatin1String("leggi") && nome != QLatin1String("confronta")))
            continue;
        if (i + 1 < argomenti.size() && !argomenti[i + 1].startsWith(QLatin1Char('-'))) continue;
        lavori << (nome == QLatin1String("leggi") ? Lavoro::Leggi : Lavoro::Confronta);
        argomenti.removeAt(i--);
    }
    return lavori;
}

// The number of a version, whole and above zero, or 0.
int NumeroVersione(const QString &testo) {
    bool numero = false;
    const int n = testo.toInt(&numero);
    return numero && n > 0 ? n : 0;
}

// The options of the jobs, "--invia, --leggi, --stato, --cerca, --confronta e --prova"
// with `congiunzione` before the last.
QString OpzioniDeiLavori(const QString &congiunzione) {
    QStringList nomi;
    for (int l = int(Lavoro::Invia); l <= int(Lavoro::Prova); ++l)
        for (const Voce &v : Voci())
            if (v.lavoro == Lavoro(l)) nomi << QStringLiteral("--") + v.nome();
    const QString ultima = nomi.takeLast();
    return nomi.join(QStringLiteral(", ")) + QLatin1Char(' ') + congiunzione + QLatin1Char(' ') +
           ultima;
}

// What --su-impianti and its options ask that cannot be: one job of those a
// site's run takes, without a site or a link of its own.
QString ErroreSuImpianti(const RigaDiComando &r, int lavori) {
    if (r.suImpianti.isEmpty()) {
        if (r.paralleli) return QStringLiteral("--paralleli vale solo con --su-impianti.");
        if (!r.esito.isEmpty()) return QStringLiteral("--esito vale solo con --su-impianti.");
        if (r.si && r.libro != Libro::Rimuovi)
            return QStringLiteral("--si vale solo con --su-impianti --invia o con "
                                  "--rimuovi-impianto.");
        return QString();
    }
    const bool lavoroGiusto =
        lavori == 1 && r.ripristina == 0 &&
        (r.lavoro == Lavoro::Stato || r.lavoro == Lavoro::Invia ||
         ((r.lavoro == Lavoro::Leggi || r.lavoro == Lavoro::Confronta) && r.file.isEmpty()));
    if (!lavoroGiusto)
        return QStringLiteral(
            "--su-impianti vuole un lavoro: --stato, --leggi, --confronta "
            "(senza FILE: ogni impianto con la sua versione) o --invia FILE.vlt.");
    if (!r.impianto.isEmpty() || !r.porta.isEmpty() || !r.id.isEmpty() || r.rs485)
        return QStringLiteral("--su-impianti prende collegamento e identificativo da ogni "
                              "impianto: niente --impianto, --porta, --id o --rs485.");
    if (r.si && r.lavoro != Lavoro::Invia)
        return QStringLiteral("--si vale solo con --su-impianti --invia.");
    if (!r.esito.isEmpty() && !r.esito.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) &&
        !r.esito.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        return QStringLiteral("--esito \"%1\": il tipo è dato dall'estensione, .csv o .json.")
            .arg(r.esito);
    return QString();
}

// What the site book's options ask that cannot be: `operazioni` the works
// given (jobs and the book's), `soloNuovo` the first detail of a new site.
QString ErroreLibro(const RigaDiComando &r, const QStringList &operazioni, int lavori,
                    const QString &soloNuovo) {
    if (operazioni.size() > 1)
        return QStringLiteral("%1 non vanno insieme: una sola operazione alla volta.")
            .arg(operazioni.join(QStringLiteral(" e ")));
    if (!soloNuovo.isEmpty() && r.libro != Libro::Nuovo)
        return QStringLiteral("--%1 vale solo con --nuovo-impianto.").arg(soloNuovo);
    if (DiUnImpianto(r.libro) && r.impianto.isEmpty())
        return QStringLiteral("%1 vuole l'impianto: --impianto NOME.").arg(operazioni.first());
    if (!r.impianto.isEmpty() && lavori == 0 && !DiUnImpianto(r.libro))
        return QStringLiteral("--impianto vale solo con %1, o con --storia, --confronta-versioni, "
                              "--registro e --rinomina.")
            .arg(OpzioniDeiLavori(QStringLiteral("o")));
    if (!r.rapporti.isEmpty() && r.lavoro != Lavoro::Prova && r.libro != Libro::Registro &&
        r.libro != Libro::Giornale)
        return QStringLiteral("--rapporto vale solo con --prova, --registro o --rapporti-da.");
    if (r.libro == Libro::Giornale && r.rapporti.isEmpty())
        return QStringLiteral("--rapporti-da vuole almeno un --rapporto FILE.pdf o FILE.csv.");
    return QString();
}

// Qt's own options, handled by the application object: with a value, and without.
const QStringList OpzioniQtConValore = {"platform",        "platformpluginpath",
                                        "platformtheme",   "plugin",
                                        "qwindowgeometry", "geometry",
                                        "qwindowtitle",    "title",
                                        "qwindowicon",     "icon",
                                        "display",         "name",
                                        "style",           "stylesheet",
                                        "session"};
const QStringList OpzioniQtSenzaValore = {"reverse", "widgetcount", "nograb",
                                          "dograb",  "sync",        "testability"};

QStringList SenzaOpzioniQt(const QStringList &argomenti) {
    QStringList resto;
    for (int i = 0; i < argomenti.size(); ++i) {
        const QString &a = argomenti[i];
        if (i == 0 || !a.startsWith(QLatin1Char('-'))) {
            resto << a;
            continue;
        }
        QString nome = a.mid(a.startsWith(QLatin1String("--")) ? 2 : 1);
        const bool conUguale = nome.contains(QLatin1Char('='));
        nome = nome.section(QLatin1Char('='), 0, 0);
        if (OpzioniQtConValore.contains(nome) || nome == QLatin1String("qmljsdebugger")) {
            if (!conUguale && nome != QLatin1String("qmljsdebugger")) ++i; // its value
        } else if (!OpzioniQtSenzaValore.contains(nome)) {
            resto << a;
        }
    }
    return resto;
}

QString Aiuto() {
    QString testo = QStringLiteral(
        "Uso: velto318 [opzioni]\n"
        "Strumento di servizio della centrale d'allarme Velto: ne mostra lo stato dal vivo,\n"
        "ne scrive e rilegge i testi sulla linea seriale.\n"
        "Senza opzioni lavora nella cartella corrente, dove legge Seriale318.con.\n\n"
        "Opzioni:\n");
    QList<QPair<QString, QString>> righe;
    int larghezza = 0;
    for (const Voce &v : Voci()) {
        const QCommandLineOption &o = v.opzione;
        QStringList nomi;
        for (const QString &n : o.names())
            nomi << (n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n;
        QString sinistra = nomi.join(QStringLiteral(", "));
        if (!o.valueName().isEmpty()) sinistra += QLatin1Char(' ') + o.valueName();
        larghezza = std::max(larghezza, int(sinistra.size()));
        righe.append({sinistra, o.description()});
    }
    for (const auto &r : righe)
        testo += QStringLiteral("  ") + r.first.leftJustified(larghezza + 2) + r.second + '\n';
    return testo + QStringLiteral("\nIl manuale: man velto318\n");
}

RigaDiComando Errore(const QString &testo) {
    RigaDiComando r;
    r.esci = true;
    r.codiceUscita = 2;
    r.errore =
        QStringLiteral("velto318: %1\nPer l'elenco delle opzioni: velto318 --help\n").arg(testo);
    return r;
}

// The options of the jobs without windows: one job at a time (`lavori`
// given); an option of SoloConLavoro only with a job (`senzaLavoro`: the
// first given, when no job is); --id as & and two digits.
QString ErroreLavoro(const RigaDiComando &r, int lavori, const QString &senzaLavoro) {
    if (lavori > 1)
        return QStringLiteral("una sola operazione alla volta tra %1.")
            .arg(OpzioniDeiLavori(QStringLiteral("e")));
    if (lavori == 0 && !senzaLavoro.isEmpty())
        return QStringLiteral("--%1 vale solo con %2.")
            .arg(senzaLavoro, OpzioniDeiLavori(QStringLiteral("o")));
    const QString &id = r.id;
    if (!id.isEmpty() && (id.size() != 3 || id[0] != QLatin1Char('&') || !CifraDecimale(id[1]) ||
                          !CifraDecimale(id[2])))
        return QStringLiteral("identificativo \"%1\" non valido: & e due cifre, es. --id '&45'.")
            .arg(Traccia::Visibile(id));
    return QString();
}

// The bytes of an argument as the operator reads them: printable UTF-8
// characters as they are, any other byte as \xNN.
QString ByteVisibili(const QByteArray &byte) {
    QString testo;
    for (qsizetype i = 0; i < byte.size();) {
        const uchar c = uchar(byte[i]);
        const int lunghezza = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        const QByteArray sequenza = byte.mid(i, lunghezza);
        const QString carattere = QString::fromUtf8(sequenza);
        if (lunghezza > 0 && sequenza.size() == lunghezza && carattere.toUtf8() == sequenza &&
            QChar::isPrint(carattere.toUcs4().value(0))) {
            testo += carattere;
            i += lunghezza;
        } else {
            testo +=
                QStringLiteral("\\x") + QString::number(c, 16).toUpper().rightJustified(2, u'0');
            ++i;
        }
    }
    return testo;
}

} // namespace

QStringList ArgomentiDi(int argc, char *argv[]) {
    QStringList argomenti;
    for (int i = 0; i < argc; ++i)
        argomenti << QFile::decodeName(argv[i]);
    return argomenti;
}

RigaDiComando LeggiRigaDiComando(int argc, char *argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray byte(argv[i]);
        if (QFile::encodeName(QFile::decodeName(byte)) == byte) continue;
        RigaDiComando r;
        r.esci = true;
        r.codiceUscita = 2;
        r.errore = QStringLiteral("velto318: l'argomento \"%1\" non è testo UTF-8: velto318 "
                                  "accetta solo argomenti UTF-8 (un file con un nome così non si "
                                  "può aprire né scrivere; rinominalo, es. convmv -f latin1 -t "
                                  "utf8 --notest FILE).\n")
                       .arg(ByteVisibili(byte));
        return r;
    }
    return LeggiRigaDiComando(ArgomentiDi(argc, argv));
}

RigaDiComando LeggiRigaDiComando(const QStringList &argomenti) {
    QStringList nostri = SenzaOpzioniQt(argomenti);
    const QList<Lavoro> senzaFile = SenzaFile(nostri);
    QCommandLineParser lettore;
    lettore.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const Voce &v : Voci())
        lettore.addOption(v.opzione);
    if (!lettore.parse(nostri.isEmpty() ? QStringList{"velto318"} : nostri)) {
        if (!lettore.unknownOptionNames().isEmpty()) {
            const QString nome = lettore.unknownOptionNames().first();
            QString scritta = QStringLiteral("--") + nome;
            for (const QString &a : nostri.mid(1))
                if (a.section(QLatin1Char('='), 0, 0).endsWith(QLatin1Char('-') + nome))
                    scritta = a.section(QLatin1Char('='), 0, 0);
            return Errore(QStringLiteral("opzione sconosciuta \"%1\".").arg(scritta));
        }
        // The parser's only other refusal: the last option wants a value.
        const QString ultimo =
            nostri.last().mid(nostri.last().startsWith(QLatin1String("--")) ? 2 : 1);
        for (const Voce &v : Voci())
            if (v.conValore() && v.opzione.names().contains(ultimo))
                return Errore(QStringLiteral("manca il valore dell'opzione --%1 (%2).")
                                  .arg(v.nome(), v.opzione.valueName()));
        return Errore(QStringLiteral("riga di comando non valida."));
    }
    // --confronta-versioni N M: M is the one argument that is not an option.
    QStringList posizionali = lettore.positionalArguments();
    const bool dueVersioni = lettore.isSet(QStringLiteral("confronta-versioni"));
    const QString seconda =
        dueVersioni && !posizionali.isEmpty() ? posizionali.takeFirst() : QString();
    if (!posizionali.isEmpty())
        return Errore(QStringLiteral("argomento inatteso \"%1\".").arg(posizionali.first()));

    RigaDiComando r;
    int lavori = 0;
    QString senzaLavoro, senzaProva, soloNuovo;
    QStringList operazioni;
    for (const Voce &v : Voci()) {
        const QString nome = v.nome();
        if (!lettore.isSet(nome)) continue;
        const QStringList valori = v.conValore() ? lettore.values(nome) : QStringList();
        for (const QString &valore : valori)
            if (valore.isEmpty() || valore.startsWith(QLatin1Char('-')))
                return Errore(QStringLiteral("manca il valore dell'opzione --%1 (%2).")
                                  .arg(nome, v.opzione.valueName()));
        const QString valore = valori.isEmpty() ? QString() : valori.last();
        if (v.bandiera) r.*v.bandiera = true;
        if (v.valore) r.*v.valore = valore;
        if (v.valori) {
            for (const QString &f : valori)
                if (!f.toLower().endsWith(QLatin1String(".csv")) &&
                    !f.toLower().endsWith(QLatin1String(".pdf")))
                    return Errore(QStringLiteral("rapporto \"%1\": il tipo è dato "
                                                 "dall'estensione, .csv o .pdf.")
                                      .arg(f));
            r.*v.valori = valori;
        }
        if (v.numero) {
            bool numero = false;
            const int n = valore.toInt(&numero);
            if (!numero || n <= 0)
                return Errore(QStringLiteral("--%1 vuole un numero intero %2maggiore di "
                                             "zero, non \"%3\".")
                                  .arg(nome,
                                       v.numero == &RigaDiComando::durata
                                           ? QStringLiteral("di secondi ")
                                           : QString(),
                                       valore));
            r.*v.numero = n;
        }
        if (SoloConProva(v) && senzaProva.isEmpty()) senzaProva = nome;
        if (v.lavoro != Lavoro::Nessuno) {
            ++lavori;
            r.lavoro = v.lavoro;
            r.file = valore;
        }
        if (v.lavoro != Lavoro::Nessuno || v.libro != Libro::Nessuna)
            operazioni << QStringLiteral("--") + nome;
        if (v.libro != Libro::Nessuna) r.libro = v.libro;
        if (v.libro == Libro::ConfrontaVersioni) {
            r.versioneA = NumeroVersione(valore);
            r.versioneB = NumeroVersione(seconda);
            if (!r.versioneA || !r.versioneB)
                return Errore(QStringLiteral("--confronta-versioni vuole due numeri di versione "
                                             "(come li elenca --storia), es. "
                                             "--confronta-versioni 1 3."));
        }
        if (SoloConNuovo(v) && soloNuovo.isEmpty()) soloNuovo = nome;
        if (SoloConLavoro(v) && senzaLavoro.isEmpty()) senzaLavoro = nome;
    }
    for (const Lavoro l : senzaFile) {
        ++lavori;
        r.lavoro = l;
        operazioni << (l == Lavoro::Leggi ? QStringLiteral("--leggi")
                                          : QStringLiteral("--confronta"));
    }
    if (r.ripristina > 0) {
        ++lavori;
        r.lavoro = Lavoro::Invia;
        operazioni << QStringLiteral("--ripristina");
        if (r.impianto.isEmpty())
            return Errore(QStringLiteral("--ripristina vuole l'impianto: --impianto NOME."));
    }
    // A send on a site may go without its copy this once.
    if (soloNuovo == QLatin1String("senza-copia") && r.lavoro == Lavoro::Invia &&
        (!r.impianto.isEmpty() || !r.suImpianti.isEmpty()))
        soloNuovo.clear();
    if (const QString errore = ErroreSuImpianti(r, lavori); !errore.isEmpty() && !r.aiuto)
        return Errore(errore);
    if (r.aiuto) {
        r.esci = true;
        r.uscita = Aiuto();
    } else if (r.versione) {
        r.esci = true;
        r.uscita = QStringLiteral("velto318 " VELTO_VERSIONE "\n");
    } else if (const QString errore =
                   ErroreLavoro(r, lavori, r.libro == Libro::Nuovo ? QString() : senzaLavoro);
               !errore.isEmpty()) {
        return Errore(errore);
    } else if (const QString errore = ErroreLibro(r, operazioni, lavori, soloNuovo);
               !errore.isEmpty()) {
        return Errore(errore);
    } else if (!senzaProva.isEmpty() && r.lavoro != Lavoro::Prova) {
        return Errore(QStringLiteral("--%1 vale solo con --prova.").arg(senzaProva));
    }
    return r;
}

QString PreparaAvvio(RigaDiComando &riga) {
    if (!riga.file.isEmpty()) riga.file = QFileInfo(riga.file).absoluteFilePath();
    if (!riga.esito.isEmpty()) riga.esito = QFileInfo(riga.esito).absoluteFilePath();
    if (!riga.csv.isEmpty()) riga.csv = QFileInfo(riga.csv).absoluteFilePath();
    if (!riga.giornale.isEmpty()) riga.giornale = QFileInfo(riga.giornale).absoluteFilePath();
    if (riga.libro == Libro::Nuovo) riga.portaImpianto = PortaDiImpianto(riga.porta);
    for (QString &f : riga.rapporti)
        f = QFileInfo(f).absoluteFilePath();
    if (!riga.porta.isEmpty()) riga.porta = DispositivoDaOpzione(riga.porta);
    if (!riga.traccia.isEmpty())
        if (const QString errore = Traccia::Apri(riga.traccia); !errore.isEmpty())
            std::fputs(qPrintable(QStringLiteral("velto318: %1\n").arg(errore)), stderr);
    if (riga.cartellaUtente) return EntraInCartella(CartellaUtente(QDir::homePath()));
    return QString();
}

QString PortaDiImpianto(const QString &porta) {
    static const QRegularExpression com(QStringLiteral("^COM[1-9]$"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (porta.isEmpty()) return porta;
    if (IndirizzoDiRete(porta)) return porta.trimmed();
    if (com.match(porta).hasMatch()) return porta.toUpper();
    return QFileInfo(porta).absoluteFilePath();
}

QString CartellaUtente(const QString &casa) {
    const QString pulita = QDir::cleanPath(casa);
    if (casa.isEmpty() || QDir(pulita).isRoot()) return QString();
    return QDir(pulita).filePath(QStringLiteral("Velto318"));
}

QString EntraInCartella(const QString &cartella) {
    if (cartella.isEmpty())
        return QStringLiteral("Manca la cartella personale dell'utente (HOME): il programma "
                              "non sa dove tenere i suoi file.");
    if (!QDir().mkpath(cartella))
        return QStringLiteral("Impossibile creare la cartella %1.")
            .arg(QDir::toNativeSeparators(cartella));
    if (!QDir::setCurrent(cartella))
        return QStringLiteral("Impossibile entrare nella cartella %1.")
            .arg(QDir::toNativeSeparators(cartella));
    return QString();
}
