#include "app/RigaDiComando.h"

#include "app/Opzioni.h"
#include "shared/Numeri.h"
#include "link/Traccia.h"

#include <QCommandLineParser>
#include <QFile>
#include <QList>
#include <QRegularExpression>

namespace {

using Opzioni::Aiuto;
using Opzioni::OpzioniDeiLavori;
using Opzioni::SoloConLavoro;
using Opzioni::SoloConNuovo;
using Opzioni::SoloConProva;
using Opzioni::Voce;
using Opzioni::Voci;

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

// The parser's refusal in words: an unknown option as it was written in
// `nostri`, or the last option without its value.
QString ErroreDelLettore(const QCommandLineParser &lettore, const QStringList &nostri) {
    if (!lettore.unknownOptionNames().isEmpty()) {
        const QString nome = lettore.unknownOptionNames().first();
        QString scritta = QStringLiteral("--") + nome;
        for (const QString &a : nostri.mid(1))
            if (a.section(QLatin1Char('='), 0, 0).endsWith(QLatin1Char('-') + nome))
                scritta = a.section(QLatin1Char('='), 0, 0);
        return QStringLiteral("opzione sconosciuta \"%1\".").arg(scritta);
    }
    // The parser's only other refusal: the last option wants a value.
    const QString ultimo = nostri.last().mid(nostri.last().startsWith(QLatin1String("--")) ? 2 : 1);
    for (const Voce &v : Voci())
        if (v.conValore() && v.opzione.names().contains(ultimo))
            return QStringLiteral("manca il valore dell'opzione --%1 (%2).")
                .arg(v.nome(), v.opzione.valueName());
    return QStringLiteral("riga di comando non valida.");
}

// The line as read so far: the record, the jobs given (`lavori`) and the
// works (`operazioni`), and the first option given of those that want
// another (a job, --prova, --nuovo-impianto).
struct Lettura {
    RigaDiComando r;
    int lavori = 0;
    QString senzaLavoro, senzaProva, soloNuovo;
    QStringList operazioni;
};

// What is wrong with the values given to option `v`: an empty one or one
// that is another option, a report that is neither .csv nor .pdf.
QString ErroreValori(const Voce &v, const QStringList &valori) {
    for (const QString &valore : valori)
        if (valore.isEmpty() || valore.startsWith(QLatin1Char('-')))
            return QStringLiteral("manca il valore dell'opzione --%1 (%2).")
                .arg(v.nome(), v.opzione.valueName());
    if (v.valori)
        for (const QString &f : valori)
            if (!f.toLower().endsWith(QLatin1String(".csv")) &&
                !f.toLower().endsWith(QLatin1String(".pdf")))
                return QStringLiteral("rapporto \"%1\": il tipo è dato "
                                      "dall'estensione, .csv o .pdf.")
                    .arg(f);
    return QString();
}

// Option `v`, given with `valori`, into the line read so far; `seconda` the
// second version of --confronta-versioni. Returns what is wrong with it.
QString LeggiVoce(Lettura &l, const Voce &v, const QStringList &valori, const QString &seconda) {
    const QString nome = v.nome();
    if (const QString errore = ErroreValori(v, valori); !errore.isEmpty()) return errore;
    RigaDiComando &r = l.r;
    const QString valore = valori.isEmpty() ? QString() : valori.last();
    if (v.bandiera) r.*v.bandiera = true;
    if (v.valore) r.*v.valore = valore;
    if (v.valori) r.*v.valori = valori;
    if (v.numero) {
        bool numero = false;
        const int n = valore.toInt(&numero);
        if (!numero || n <= 0)
            return QStringLiteral("--%1 vuole un numero intero %2maggiore di zero, non \"%3\".")
                .arg(nome,
                     v.numero == &RigaDiComando::durata ? QStringLiteral("di secondi ") : QString(),
                     valore);
        r.*v.numero = n;
    }
    if (SoloConProva(v) && l.senzaProva.isEmpty()) l.senzaProva = nome;
    if (v.lavoro != Lavoro::Nessuno) {
        ++l.lavori;
        r.lavoro = v.lavoro;
        r.file = valore;
    }
    if (v.lavoro != Lavoro::Nessuno || v.libro != Libro::Nessuna)
        l.operazioni << QStringLiteral("--") + nome;
    if (v.libro != Libro::Nessuna) r.libro = v.libro;
    if (v.libro == Libro::ConfrontaVersioni) {
        r.versioneA = NumeroVersione(valore);
        r.versioneB = NumeroVersione(seconda);
        if (!r.versioneA || !r.versioneB)
            return QStringLiteral("--confronta-versioni vuole due numeri di versione (come li "
                                  "elenca --storia), es. --confronta-versioni 1 3.");
    }
    if (SoloConNuovo(v) && l.soloNuovo.isEmpty()) l.soloNuovo = nome;
    if (SoloConLavoro(v) && l.senzaLavoro.isEmpty()) l.senzaLavoro = nome;
    return QString();
}

// The jobs no option of their own names: a site's --leggi and --confronta
// without their file (`senzaFile`), and the send of --ripristina. Returns
// what is wrong with them.
QString LeggiLavoriImpliciti(Lettura &l, const QList<Lavoro> &senzaFile) {
    RigaDiComando &r = l.r;
    for (const Lavoro lavoro : senzaFile) {
        ++l.lavori;
        r.lavoro = lavoro;
        l.operazioni << (lavoro == Lavoro::Leggi ? QStringLiteral("--leggi")
                                                 : QStringLiteral("--confronta"));
    }
    if (r.ripristina > 0) {
        ++l.lavori;
        r.lavoro = Lavoro::Invia;
        l.operazioni << QStringLiteral("--ripristina");
        if (r.impianto.isEmpty())
            return QStringLiteral("--ripristina vuole l'impianto: --impianto NOME.");
    }
    return QString();
}

// The line read whole: --help and --version, or the options checked
// together.
RigaDiComando Concludi(Lettura &l) {
    RigaDiComando &r = l.r;
    // A send on a site may go without its copy this once.
    if (l.soloNuovo == QLatin1String("senza-copia") && r.lavoro == Lavoro::Invia &&
        (!r.impianto.isEmpty() || !r.suImpianti.isEmpty()))
        l.soloNuovo.clear();
    if (const QString errore = ErroreSuImpianti(r, l.lavori); !errore.isEmpty() && !r.aiuto)
        return Errore(errore);
    if (r.aiuto) {
        r.esci = true;
        r.uscita = Aiuto();
    } else if (r.versione) {
        r.esci = true;
        r.uscita = QStringLiteral("velto318 " VELTO_VERSIONE "\n");
    } else if (const QString errore =
                   ErroreLavoro(r, l.lavori, r.libro == Libro::Nuovo ? QString() : l.senzaLavoro);
               !errore.isEmpty()) {
        return Errore(errore);
    } else if (const QString errore = ErroreLibro(r, l.operazioni, l.lavori, l.soloNuovo);
               !errore.isEmpty()) {
        return Errore(errore);
    } else if (!l.senzaProva.isEmpty() && r.lavoro != Lavoro::Prova) {
        return Errore(QStringLiteral("--%1 vale solo con --prova.").arg(l.senzaProva));
    }
    return r;
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
    if (!lettore.parse(nostri.isEmpty() ? QStringList{"velto318"} : nostri))
        return Errore(ErroreDelLettore(lettore, nostri));
    // --confronta-versioni N M: M is the one argument that is not an option.
    QStringList posizionali = lettore.positionalArguments();
    const bool dueVersioni = lettore.isSet(QStringLiteral("confronta-versioni"));
    const QString seconda =
        dueVersioni && !posizionali.isEmpty() ? posizionali.takeFirst() : QString();
    if (!posizionali.isEmpty())
        return Errore(QStringLiteral("argomento inatteso \"%1\".").arg(posizionali.first()));

    Lettura l;
    for (const Voce &v : Voci()) {
        if (!lettore.isSet(v.nome())) continue;
        const QStringList valori = v.conValore() ? lettore.values(v.nome()) : QStringList();
        if (const QString errore = LeggiVoce(l, v, valori, seconda); !errore.isEmpty())
            return Errore(errore);
    }
    if (const QString errore = LeggiLavoriImpliciti(l, senzaFile); !errore.isEmpty())
        return Errore(errore);
    return Concludi(l);
}
