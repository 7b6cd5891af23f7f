#include "jobs/SuImpianti.h"

#include "impianti/Versioni.h"
#include "jobs/Esiti.h"
#include "link/IndirizzoRete.h"
#include "link/MSComm.h"
#include "link/Traccia.h"
#include "shared/Csv.h"
#include "shared/Numeri.h"
#include "shared/Salvataggio.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace SuImpianti {

// One link and the sites that share it, worked one after another.
struct Giro::Linea {
    QList<int> indici; // into esiti_, in order
    int prossimo = 0;  // the next of indici to start
    QProcess *processo = nullptr;
    int corrente = -1; // the site running, into esiti_
    int versionePrima = 0;
};

QString NomeStato(Stato s) {
    switch (s) {
    case Stato::Giusto:
        return QStringLiteral("giusto");
    case Stato::Diverso:
        return QStringLiteral("diverso");
    case Stato::SenzaRisposta:
        return QStringLiteral("non riuscito");
    case Stato::Problema:
        return QStringLiteral("problema");
    case Stato::Interrotto:
        return QStringLiteral("interrotto");
    case Stato::NonRaggiunto:
        break;
    }
    return QStringLiteral("non raggiunto");
}

namespace {
// The host as a link reaches it: this machine under any of its names
// (localhost, 127.0.0.0/8, ::1: a device server listens on both families),
// an address as it is, a name by the first address it resolves to (as it
// is written, without `risolvi`: nothing waits on the network).
QString HostDellaLinea(const QString &host, bool risolvi) {
    static QHash<QString, QString> risolti; // a name is looked up once a run
    if (const auto r = risolti.constFind(host.toLower()); r != risolti.constEnd()) return *r;
    QHostAddress a(host);
    if (a.isNull() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0 &&
        !host.endsWith(QLatin1String(".localhost"), Qt::CaseInsensitive)) {
        if (!risolvi) return host.toLower();
        const QList<QHostAddress> indirizzi = QHostInfo::fromName(host).addresses();
        if (!indirizzi.isEmpty()) a = indirizzi.first();
    } else if (a.isNull()) {
        a = QHostAddress::LocalHost;
    }
    bool v4 = false;
    if (const quint32 n = a.toIPv4Address(&v4); v4) a = QHostAddress(n); // ::ffff:a.b.c.d
    const bool locale = a.isLoopback() || a == QHostAddress::AnyIPv4 || a == QHostAddress::AnyIPv6;
    const QString chiave = locale       ? QStringLiteral("questo computer")
                           : a.isNull() ? host.toLower()
                                        : a.toString();
    risolti.insert(host.toLower(), chiave);
    return chiave;
}

// Descriptors a job takes while it runs (its two pipes, its process), and
// the ones kept for a start (a pipe more and /dev/null for a moment) and for
// the runner's own files.
constexpr int DescrittoriPerLavoro = 4;
constexpr int DescrittoriRiservati = 32;

// The descriptors this process may open, and how many are open now.
long LimiteDescrittori() {
#ifdef Q_OS_UNIX
    rlimit r = {};
    if (::getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur != RLIM_INFINITY) return long(r.rlim_cur);
#endif
    return 0;
}

int DescrittoriInUso() {
#ifdef Q_OS_UNIX
    int n = 0;
    const long massimo = ::sysconf(_SC_OPEN_MAX);
    for (int fd = 0; fd < massimo && fd < 65536; ++fd)
        n += ::fcntl(fd, F_GETFD) != -1;
    return n;
#else
    return 0;
#endif
}
} // namespace

QString ChiaveLinea(const Impianti::Impianto &i, const QString &cartella, bool risolvi) {
    const Impianti::Linea l = Impianti::LineaDi(i);
    // As the job opens it: the entry COMn of the folder (a file of an
    // address gives the address), a device by the path its links lead to.
    const QString d =
        MSComm::Segui(l.numeroPorta.isEmpty() ? l.dispositivo
                                              : MSComm::VocePorta(l.numeroPorta.toInt(), cartella));
    if (IndirizzoDiRete(d)) {
        const Indirizzo a = LeggiIndirizzo(d);
        if (!a.errore.isEmpty()) return QStringLiteral("rete:") + d.trimmed();
        return QStringLiteral("rete:%1:%2").arg(HostDellaLinea(a.host, risolvi)).arg(a.porta);
    }
    return QStringLiteral("porta:") + (QFileInfo::exists(d) ? QFileInfo(d).canonicalFilePath() : d);
}

QStringList Avvisi(const Impianti::Impianto &i, const QList<Impianti::Impianto> &libro) {
    const QString cartella = QDir::currentPath();
    QHash<QString, QString> chiavi; // by site: each key made once
    return Impianti::Avvisi(i, libro, [&](const Impianti::Impianto &x) {
        auto c = chiavi.find(x.nome);
        if (c == chiavi.end()) c = chiavi.insert(x.nome, ChiaveLinea(x, cartella, false));
        return *c;
    });
}

int ParalleliPossibili(int voluti, long limite, int inUso) {
    if (limite <= 0) return voluti;
    const long liberi = (limite - inUso - DescrittoriRiservati) / DescrittoriPerLavoro;
    return int(std::clamp<long>(liberi, 1, std::max(1, voluti)));
}

std::optional<QList<Impianti::Impianto>> Scegli(const QString &lista, QString *errore) {
    QList<Impianti::Rotto> rotti;
    const QList<Impianti::Impianto> libro = Impianti::Elenco(nullptr, &rotti);
    if (lista.trimmed() == QLatin1String("tutti")) {
        if (libro.isEmpty() && rotti.isEmpty()) {
            *errore = QStringLiteral("il libro degli impianti (%1) è vuoto")
                          .arg(QDir::toNativeSeparators(Impianti::Libro()));
            return std::nullopt;
        }
        // A site that cannot be used is not left out: its job refuses it,
        // and the summary counts it with its reason.
        QList<Impianti::Impianto> tutti = libro;
        for (const Impianti::Rotto &r : rotti) {
            Impianti::Impianto i;
            i.nome = r.nome;
            tutti << i;
        }
        return tutti;
    }
    QList<Impianti::Impianto> scelti;
    for (const QString &parte : lista.split(QLatin1Char(','))) {
        const QString nome = parte.trimmed();
        if (nome.isEmpty()) continue;
        // Whatever the case typed, as --impianto takes it.
        QString doppio;
        const QString esatto = Impianti::NomeNelLibro(nome, &doppio);
        if (!doppio.isEmpty()) {
            *errore = doppio;
            return std::nullopt;
        }
        const auto i = std::find_if(libro.cbegin(), libro.cend(),
                                    [&](const Impianti::Impianto &x) { return x.nome == esatto; });
        const auto rotto = std::find_if(rotti.cbegin(), rotti.cend(),
                                        [&](const Impianti::Rotto &x) { return x.nome == esatto; });
        if (i == libro.cend() && rotto != rotti.cend()) {
            *errore = rotto->motivo;
            return std::nullopt;
        }
        if (i == libro.cend()) {
            const QStringList vicini = Impianti::Vicini(nome, libro);
            *errore = QStringLiteral("l'impianto \"%1\" non è nel libro").arg(nome);
            if (!vicini.isEmpty())
                *errore += QStringLiteral(" (forse: %1)").arg(vicini.join(QStringLiteral(", ")));
            return std::nullopt;
        }
        if (std::none_of(scelti.cbegin(), scelti.cend(),
                         [&](const Impianti::Impianto &x) { return x.nome == esatto; }))
            scelti << *i;
    }
    if (scelti.isEmpty()) {
        *errore = QStringLiteral("nessun impianto nella lista");
        return std::nullopt;
    }
    return scelti;
}

Giro::Giro(const QStringList &lavoro, int paralleli, const QString &programma, QObject *padre)
    : QObject(padre), lavoro_(lavoro), paralleli_(std::max(1, paralleli)), programma_(programma),
      cartella_(QDir::currentPath()) {}

Giro::~Giro() {
    for (auto &l : linee_)
        if (l->processo) {
            l->processo->disconnect(this);
            l->processo->kill();
            l->processo->waitForFinished(2000);
        }
}

void Giro::Avvia(const QList<Impianti::Impianto> &impianti) {
    QStringList chiavi;
    for (const Impianti::Impianto &i : impianti) {
        Esito e;
        e.impianto = i;
        esiti_ << e;
        const QString chiave = ChiaveLinea(i, cartella_);
        qsizetype k = chiavi.indexOf(chiave);
        if (k < 0) {
            k = chiavi.size();
            chiavi << chiave;
            linee_.push_back(std::make_unique<Linea>());
        }
        linee_[size_t(k)]->indici << int(esiti_.size() - 1);
    }
    paralleli_ = ParalleliPossibili(paralleli_, LimiteDescrittori(), DescrittoriInUso());
    prossimi();
}

int Giro::InCorso() const {
    return int(std::count_if(linee_.cbegin(), linee_.cend(),
                             [](const auto &l) { return l->processo != nullptr; }));
}

void Giro::prossimi() {
    if (!fermato_)
        for (auto &l : linee_) {
            if (InCorso() >= paralleli_) break;
            if (!l->processo && l->prossimo < l->indici.size()) avvia(*l);
        }
    if (InCorso() == 0 && !chiuso_) {
        chiuso_ = true;
        emit TuttoFinito();
    }
}

void Giro::avvia(Linea &l) {
    const int indice = l.indici[l.prossimo++];
    Esito &e = esiti_[indice];
    const QList<Versioni::Versione> versioni =
        Versioni::Elenco(e.impianto.nome, Versioni::Lettura::Nomi);
    l.versionePrima = versioni.isEmpty() ? 0 : versioni.last().numero;
    l.corrente = indice;
    l.processo = new QProcess(this);
    l.processo->setWorkingDirectory(cartella_);
    l.processo->setProgram(programma_);
    l.processo->setArguments(QStringList{QStringLiteral("--impianto"), e.impianto.nome} + lavoro_);
    // The job's progress line is for a terminal: never for us.
    l.processo->setStandardInputFile(QProcess::nullDevice());
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert(QString::fromLatin1(VariabileIncustodito), QStringLiteral("1"));
    l.processo->setProcessEnvironment(ambiente);
#ifdef Q_OS_LINUX
    // A runner killed leaves no job writing alone: the job is stopped as by
    // Ferma, and one whose runner died before this took effect stops here.
    const pid_t padre = ::getpid();
    l.processo->setChildProcessModifier([padre] {
        // SIGHUP, not SIGTERM: a job Ferma already asked to stop is still
        // finishing its exchange, and a second signal of one kind ends it at
        // once, without its register line.
        ::prctl(PR_SET_PDEATHSIG, SIGHUP);
        if (::getppid() != padre) ::_exit(128 + SIGHUP);
    });
#endif
    connect(l.processo, &QProcess::finished, this, [this, &l](int codice, QProcess::ExitStatus s) {
        finito(l, codice, s == QProcess::NormalExit);
    });
    connect(l.processo, &QProcess::errorOccurred, this, [this, &l](QProcess::ProcessError err) {
        if (err == QProcess::FailedToStart && !rimanda(l)) finito(l, -1, false);
    });
    e.inizio = QDateTime::currentDateTime();
    const int dopo = l.prossimo;
    l.processo->start();
    if (l.prossimo >= dopo) emit Iniziato(indice); // not put back by rimanda
}

bool Giro::rimanda(Linea &l) {
    if (!l.processo || InCorso() < 2) return false;
    l.processo->disconnect(this);
    l.processo->deleteLater();
    l.processo = nullptr;
    esiti_[l.corrente].inizio = QDateTime();
    l.corrente = -1;
    --l.prossimo;
    // No more at once than run now: the next start waits for an end.
    paralleli_ = InCorso();
    return true;
}

void Giro::finito(Linea &l, int uscita, bool normale) {
    if (!l.processo) return;
    Esito &e = esiti_[l.corrente];
    QProcess *p = l.processo;
    l.processo = nullptr;
    e.secondi = double(e.inizio.msecsTo(QDateTime::currentDateTime())) / 1000.0;
    e.uscita = normale ? uscita : -1;
    // The job's own last words: its standard output, else its message (the
    // lines from the last that starts with the program's name).
    const QStringList uscite =
        QString::fromUtf8(p->readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList errori =
        QString::fromUtf8(p->readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList messaggio;
    for (const QString &r : errori) {
        if (r.startsWith(QLatin1String("velto318: ")))
            messaggio = QStringList{r.mid(10)};
        else if (!messaggio.isEmpty())
            messaggio << r.trimmed();
    }
    // The state job's lines (state, inputs, key) together; the others end
    // with their outcome.
    const bool stato = lavoro_.value(0) == QLatin1String("--stato");
    e.parole = uscite.isEmpty() ? QString()
               : stato          ? uscite.join(QStringLiteral("; "))
                                : uscite.last().trimmed();
    if (messaggio.isEmpty() && !errori.isEmpty()) messaggio << errori.last().trimmed();
    if ((e.parole.isEmpty() || uscita == 2) && !messaggio.isEmpty())
        e.parole = messaggio.join(QLatin1Char(' '));
    if (!normale)
        e.parole =
            p->error() == QProcess::FailedToStart
                ? QStringLiteral("il programma %1 non parte: %2").arg(programma_, p->errorString())
                : QStringLiteral("il lavoro è finito in modo anomalo (%1)").arg(p->errorString());
    if (e.uscita == 0)
        e.stato = Stato::Giusto;
    else if (e.uscita == 1)
        e.stato = ParlaDiDifferenze(e.parole) ? Stato::Diverso : Stato::SenzaRisposta;
    else if (e.uscita > 128 || (fermato_ && !normale))
        e.stato = Stato::Interrotto; // a signal, as a single job ends
    else
        e.stato = Stato::Problema;
    const QList<Versioni::Versione> versioni =
        Versioni::Elenco(e.impianto.nome, Versioni::Lettura::Nomi);
    if (!versioni.isEmpty() && versioni.last().numero > l.versionePrima)
        e.versione = versioni.last().numero;
    p->deleteLater();
    ++finiti_;
    emit Finito(l.corrente);
    l.corrente = -1;
    prossimi();
}

void Giro::Ferma() {
    fermato_ = true;
    for (auto &l : linee_)
        if (l->processo) l->processo->terminate();
    prossimi();
}

QString Giro::Riepilogo() const {
    QList<int> conti(6, 0);
    for (const Esito &e : esiti_)
        ++conti[int(e.stato)];
    const auto conto = [&](Stato s, const char *uno, const char *molti) {
        const int n = conti[int(s)];
        return n == 0 ? QString()
                      : QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? uno : molti));
    };
    QStringList parti;
    for (const QString &p :
         {conto(Stato::Giusto, "giusto", "giusti"), conto(Stato::Diverso, "diverso", "diversi"),
          conto(Stato::SenzaRisposta, "non riuscito", "non riusciti"),
          conto(Stato::Problema, "con un problema", "con un problema"),
          conto(Stato::Interrotto, "interrotto", "interrotti"),
          conto(Stato::NonRaggiunto, "non raggiunto", "non raggiunti")})
        if (!p.isEmpty()) parti << p;
    QString testo =
        QStringLiteral("%1 %2: %3")
            .arg(esiti_.size())
            .arg(esiti_.size() == 1 ? QStringLiteral("impianto") : QStringLiteral("impianti"))
            .arg(parti.join(QStringLiteral(", ")));
    QStringList mancati;
    for (const Esito &e : esiti_)
        if (e.stato == Stato::NonRaggiunto) mancati << e.impianto.nome;
    if (!mancati.isEmpty())
        testo += QStringLiteral(" (%1: %2)")
                     .arg(Concorda(mancati.size(), "non raggiunto", "non raggiunti"),
                          mancati.join(QStringLiteral(", ")));
    return testo;
}

int Giro::Uscita() const {
    return std::all_of(esiti_.cbegin(), esiti_.cend(),
                       [](const Esito &e) { return e.stato == Stato::Giusto; })
               ? 0
               : 1;
}

QString SalvaEsito(const QList<Esito> &esiti, const QString &percorso) {
    const auto data = [](const QDateTime &t) {
        return t.isValid() ? t.toString(Qt::ISODate) : QString();
    };
    QByteArray dati;
    if (percorso.endsWith(QLatin1String(".json"), Qt::CaseInsensitive)) {
        QJsonArray righe;
        for (const Esito &e : esiti)
            righe.append(QJsonObject{{"impianto", e.impianto.nome},
                                     {"collegamento", e.impianto.porta},
                                     {"identificativo", e.impianto.id},
                                     {"stato", NomeStato(e.stato)},
                                     {"esito", e.parole},
                                     {"uscita", e.uscita < 0 ? QJsonValue() : e.uscita},
                                     {"inizio", data(e.inizio)},
                                     {"secondi", e.secondi},
                                     {"versione", e.versione ? e.versione : QJsonValue()}});
        dati = QJsonDocument(righe).toJson();
    } else if (percorso.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        QString t = QStringLiteral("Impianto;Collegamento;Identificativo;Stato;Esito;Uscita;Inizio;"
                                   "Secondi;Versione\r\n");
        for (const Esito &e : esiti) {
            QStringList riga{e.impianto.nome,
                             e.impianto.porta,
                             e.impianto.id,
                             NomeStato(e.stato),
                             e.parole,
                             e.uscita < 0 ? QString() : QString::number(e.uscita),
                             data(e.inizio),
                             QString::number(e.secondi, 'f', 1),
                             e.versione ? QString::number(e.versione) : QString()};
            // A site's description may hold ESC or BEL: written visibly.
            for (QString &c : riga)
                c = Csv::Cella(Traccia::ControlliVisibili(c));
            t += riga.join(QLatin1Char(';')) + QStringLiteral("\r\n");
        }
        dati = QByteArray("\xEF\xBB\xBF") + t.toUtf8();
    } else {
        return QStringLiteral("%1: il file dell'esito è .csv o .json.").arg(percorso);
    }
    QString errore;
    if (!Salvataggio::Salva(percorso, dati, &errore))
        return QStringLiteral("Esito %1 non salvato: %2.").arg(percorso, errore);
    return QString();
}

} // namespace SuImpianti
