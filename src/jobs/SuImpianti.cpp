#include "jobs/SuImpianti.h"

#include "impianti/Versioni.h"
#include "jobs/Esiti.h"
#include "link/IndirizzoRete.h"
#include "link/MSComm.h"
#include "shared/Csv.h"
#include "shared/Numeri.h"
#include "shared/Salvataggio.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <algorithm>

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

QString ChiaveLinea(const Impianti::Impianto &i, const QString &cartella) {
    const Impianti::Linea l = Impianti::LineaDi(i);
    if (!l.numeroPorta.isEmpty()) {
        const QString d = MSComm::Segui(MSComm::VocePorta(l.numeroPorta.toInt(), cartella));
        return QStringLiteral("porta:") +
               (QFileInfo::exists(d) ? QFileInfo(d).canonicalFilePath() : d);
    }
    if (IndirizzoDiRete(l.dispositivo)) {
        const Indirizzo a = LeggiIndirizzo(l.dispositivo);
        return QStringLiteral("rete:%1:%2").arg(a.host.toLower()).arg(a.porta);
    }
    const QString d = MSComm::Segui(l.dispositivo);
    return QStringLiteral("porta:") + (QFileInfo::exists(d) ? QFileInfo(d).canonicalFilePath() : d);
}

std::optional<QList<Impianti::Impianto>> Scegli(const QString &lista, QString *errore) {
    const QList<Impianti::Impianto> libro = Impianti::Elenco();
    if (lista.trimmed() == QLatin1String("tutti")) {
        if (libro.isEmpty()) {
            *errore = QStringLiteral("il libro degli impianti (%1) è vuoto")
                          .arg(QDir::toNativeSeparators(Impianti::Libro()));
            return std::nullopt;
        }
        return libro;
    }
    QList<Impianti::Impianto> scelti;
    for (const QString &parte : lista.split(QLatin1Char(','))) {
        const QString nome = parte.trimmed();
        if (nome.isEmpty()) continue;
        const auto i = std::find_if(libro.cbegin(), libro.cend(),
                                    [&](const Impianti::Impianto &x) { return x.nome == nome; });
        if (i == libro.cend()) {
            const QStringList vicini = Impianti::Vicini(nome, libro);
            *errore = QStringLiteral("l'impianto \"%1\" non è nel libro").arg(nome);
            if (!vicini.isEmpty())
                *errore += QStringLiteral(" (forse: %1)").arg(vicini.join(QStringLiteral(", ")));
            return std::nullopt;
        }
        if (std::none_of(scelti.cbegin(), scelti.cend(),
                         [&](const Impianti::Impianto &x) { return x.nome == nome; }))
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
    connect(l.processo, &QProcess::finished, this, [this, &l](int codice, QProcess::ExitStatus s) {
        finito(l, codice, s == QProcess::NormalExit);
    });
    connect(l.processo, &QProcess::errorOccurred, this, [this, &l](QProcess::ProcessError err) {
        if (err == QProcess::FailedToStart) finito(l, -1, false);
    });
    e.inizio = QDateTime::currentDateTime();
    l.processo->start();
    emit Iniziato(indice);
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
                                     {"uscita", e.uscita},
                                     {"inizio", data(e.inizio)},
                                     {"secondi", e.secondi},
                                     {"versione", e.versione}});
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
                             QString::number(e.uscita),
                             data(e.inizio),
                             QString::number(e.secondi, 'f', 1),
                             e.versione ? QString::number(e.versione) : QString()};
            for (QString &c : riga)
                c = Csv::Cella(c);
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
