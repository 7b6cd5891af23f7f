#include "app/RigaDiComando.h"

#include "link/Traccia.h"

#include <QCommandLineParser>
#include <QDir>
#include <QList>

namespace {

// Every option of the tool: one line each. Read them with ha() and valore().
const QList<QCommandLineOption> &Opzioni() {
    static const QList<QCommandLineOption> opzioni = {
        {{"h", "help"}, "Mostra questo aiuto ed esce."},
        {{"v", "version"}, "Mostra la versione ed esce."},
        {"porte", "Elenca le porte seriali presenti ed esce."},
        {"porta", "Usa DISPOSITIVO (es. /dev/ttyUSB0) per la porta di Seriale318.con.",
         "DISPOSITIVO"},
        {"cartella-utente", "Lavora in ~/Velto318, creata al primo avvio (avvio dal menu)."},
        {"invia", "Invia FILE.vlt alla centrale e verifica ogni testo, senza finestre.",
         "FILE.vlt"},
        {"leggi", "Legge i testi 000-192 dalla centrale e li salva in FILE.vlt, senza finestre.",
         "FILE.vlt"},
        {"stato", "Legge una volta stato, ingressi attivi e ultimo tasto della centrale, "
                  "li stampa ed esce (senza finestre)."},
        {"confronta",
         "Legge dalla centrale i testi che un invio di FILE.vlt scriverebbe e "
         "stampa quelli diversi, senza scrivere nulla (senza finestre).",
         "FILE.vlt"},
        {"cerca", "Cerca gli identificativi a cui risponde una centrale sulla linea (da &00 a "
                  "&99, prima quello configurato), li elenca ed esce (senza finestre)."},
        {"traccia", "Aggiunge a FILE una riga per ogni scambio sulla linea seriale.", "FILE"},
        {"id",
         "Identificativo della centrale per questa volta (es. &45) invece di quello "
         "di Seriale318.con.",
         "&NN"},
        {"rs485", "Linea RS485 (con eco) per questa volta, invece di Seriale318.con."},
    };
    return opzioni;
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
    for (const QCommandLineOption &o : Opzioni()) {
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

// The options of the jobs without windows: one job at a time; --id and
// --rs485 only with a job, --id as & and two digits.
QString ErroreLavoro(const RigaDiComando &r) {
    const QStringList lavori = {"invia", "leggi", "stato", "cerca", "confronta"};
    qsizetype quanti = 0;
    for (const QString &l : lavori)
        quanti += r.ha(l);
    if (quanti > 1)
        return QStringLiteral(
            "una sola operazione alla volta tra --invia, --leggi, --stato, --cerca e --confronta.");
    for (const char *o : {"id", "rs485"})
        if (quanti == 0 && r.ha(QLatin1String(o)))
            return QStringLiteral(
                       "--%1 vale solo con --invia, --leggi, --stato, --cerca o --confronta.")
                .arg(QLatin1String(o));
    const QString id = r.valore(QStringLiteral("id"));
    const auto cifra = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    if (r.ha(QStringLiteral("id")) &&
        (id.size() != 3 || id[0] != QLatin1Char('&') || !cifra(id[1]) || !cifra(id[2])))
        return QStringLiteral("identificativo \"%1\" non valido: & e due cifre, es. --id '&45'.")
            .arg(Traccia::Visibile(id));
    return QString();
}

} // namespace

QStringList ArgomentiDi(int argc, char *argv[]) {
    QStringList argomenti;
    for (int i = 0; i < argc; ++i)
        argomenti << QString::fromLocal8Bit(argv[i]);
    return argomenti;
}

RigaDiComando LeggiRigaDiComando(const QStringList &argomenti) {
    const QStringList nostri = SenzaOpzioniQt(argomenti);
    QCommandLineParser lettore;
    lettore.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    lettore.addOptions(Opzioni());
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
        for (const QCommandLineOption &o : Opzioni())
            if (!o.valueName().isEmpty() && o.names().contains(ultimo))
                return Errore(QStringLiteral("manca il valore dell'opzione --%1 (%2).")
                                  .arg(o.names().last(), o.valueName()));
        return Errore(QStringLiteral("riga di comando non valida."));
    }
    if (!lettore.positionalArguments().isEmpty())
        return Errore(QStringLiteral("argomento inatteso \"%1\".")
                          .arg(lettore.positionalArguments().first()));

    RigaDiComando r;
    for (const QCommandLineOption &o : Opzioni()) {
        const QString nome = o.names().last();
        if (!lettore.isSet(nome)) continue;
        const QString valore = o.valueName().isEmpty() ? QString() : lettore.value(nome);
        if (!o.valueName().isEmpty() && (valore.isEmpty() || valore.startsWith(QLatin1Char('-'))))
            return Errore(
                QStringLiteral("manca il valore dell'opzione --%1 (%2).").arg(nome, o.valueName()));
        r.opzioni.insert(nome, valore);
    }
    if (r.ha(QStringLiteral("help"))) {
        r.esci = true;
        r.uscita = Aiuto();
    } else if (r.ha(QStringLiteral("version"))) {
        r.esci = true;
        r.uscita = QStringLiteral("velto318 " VELTO_VERSIONE "\n");
    } else if (const QString errore = ErroreLavoro(r); !errore.isEmpty()) {
        return Errore(errore);
    }
    return r;
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
