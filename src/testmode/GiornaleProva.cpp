#include "testmode/RegistroProva.h"

#include "link/Comandi.h"
#include "link/Traccia.h"
#include "shared/Numeri.h"
#include "shared/Salvataggio.h"
#include "testmode/RigheGiornale.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <optional>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace Prova {

void Registro::ChiudiGiornale() {
    if (!giornale_.isOpen()) return;
    const QDateTime ora = fine.isValid() ? fine : Adesso();
    ScriviRiga(QStringLiteral("# %1%2").arg(QLatin1String(FineProva), OraCompleta(ora)), ora);
    giornale_.close();
}

void Registro::Termina() {
    if (!fine.isValid()) fine = Adesso();
    giornaleChiuso_ = giornale_.isOpen();
    ChiudiGiornale();
}

void Registro::ImpostaNota(int numero, const QString &nota) {
    if (numero < 1 || numero > NumeroIngressi) return;
    QString &n = ingressi_[size_t(numero - 1)].nota;
    if (n == nota) return;
    n = nota;
    Annota(QLatin1String(NotaIngresso) + QStringLiteral("%1: %2").arg(numero).arg(nota));
}

void Registro::AnnotaImpianto() {
    Annota(QLatin1String(CampoImpianto) + impianto);
}

void Registro::AnnotaTecnico() {
    Annota(QLatin1String(CampoTecnico) + tecnico);
}

void Registro::Annota(const QString &testo) {
    if (!giornale_.isOpen()) return;
    ScriviRiga(
        QStringLiteral("# %1  %2").arg(OraCompleta(Adesso()), Traccia::ControlliVisibili(testo)),
        Adesso());
}

void Registro::Scrivi(const Evento &e) {
    if (giornale_.isOpen()) ScriviRiga(RigaEvento(*this, e, true), e.quando);
}

void Registro::ScriviRiga(const QString &testo, const QDateTime &quando) {
    const QByteArray riga = (testo + QLatin1Char('\n')).toUtf8();
#ifdef Q_OS_UNIX
    // Straight to the file, past the buffer, so that a failure keeps its
    // reason; a pulled power cord loses nothing written either.
    const int fd = giornale_.handle();
    const bool scritto =
        giornale_.flush() && Salvataggio::ScriviTutto(fd, riga) && ::fdatasync(fd) == 0;
    const QString motivo = scritto ? QString() : Salvataggio::Motivo(errno);
#else
    const bool scritto = giornale_.write(riga) == riga.size() && giornale_.flush();
    const QString motivo = giornale_.errorString();
#endif
    if (scritto) return;
    // A full disk: said once; the record in memory and the reports go on.
    erroreGiornale_ = QStringLiteral("Il giornale %1 non si può più scrivere (%2): gli eventi "
                                     "dalle %3 in poi mancano.")
                          .arg(QDir::toNativeSeparators(nomeGiornale_), motivo, Ora(quando));
    giornale_.close();
}

void Registro::IntestaGiornale() {
    using Traccia::ControlliVisibili;
    QString testa = QString::fromUtf8(Testata).arg(ControlliVisibili(identificativo),
                                                   ControlliVisibili(porta), OraCompleta(inizio_)) +
                    QLatin1Char('\n');
    for (const Ingresso &n : ingressi_)
        testa += QLatin1String(RigaIngresso) +
                 QStringLiteral("%1\t%2%3\n")
                     .arg(n.numero)
                     .arg(TestoMostrato(n),
                          n.conTesto ? QString() : QLatin1Char('\t') + QLatin1String(NonContato));
    for (const auto &[nome, valore] : {std::pair{CampoImpianto, impianto}, {CampoTecnico, tecnico}})
        if (!valore.isEmpty())
            testa += QStringLiteral("# ") + QLatin1String(nome) + ControlliVisibili(valore) +
                     QLatin1Char('\n');
    giornale_.write(testa.toUtf8());
    // Opened late (the window shown long after test mode began): what was
    // left out of memory meanwhile is in no journal, and is said so.
    omessiPrimaDelGiornale_ = Omessi();
    for (size_t k = 0; k < eventi_.size(); ++k) {
        if (k == size_t(EventiIniziali) && omessiPrimaDelGiornale_)
            giornale_.write(
                QStringLiteral("# … %1: non più in memoria quando il giornale è "
                               "stato aperto\n")
                    .arg(Quanti(qint64(omessiPrimaDelGiornale_), "evento omesso", "eventi omessi"))
                    .toUtf8());
        giornale_.write((RigaEvento(*this, eventi_[k], true) + QLatin1Char('\n')).toUtf8());
    }
    giornale_.flush();
}

QString Registro::ApriGiornale(const QString &cartella) {
    cartellaGiornale_ = cartella;
    QDir dir(cartella);
    if (!dir.mkpath(QStringLiteral("prove")))
        return QStringLiteral("Impossibile creare la cartella %1: la prova prosegue senza "
                              "giornale.")
            .arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("prove"))));
    const QString base =
        dir.filePath(QStringLiteral("prove/") + NomeProva(Adesso(), identificativo));
    // A new file, never one that is there nor one another user's link leads to.
    QString nome = base + QStringLiteral(".txt");
    QString motivo;
    bool esiste = false;
    int n = 1;
    while (
        !Salvataggio::ApriNuovo(giornale_, nome, Salvataggio::ModoPredefinito, &motivo, &esiste) &&
        esiste)
        nome = base + QStringLiteral("-%1.txt").arg(++n);
    nomeGiornale_ = nome;
    erroreGiornale_.clear();
    giornaleChiuso_ = false;
    if (!giornale_.isOpen())
        return QStringLiteral("Impossibile scrivere il giornale %1: %2. La prova prosegue senza "
                              "giornale.")
            .arg(QDir::toNativeSeparators(nome), motivo);
    IntestaGiornale();
    return QString();
}

QString NomeProva(const QDateTime &quando, const QString &identificativo) {
    QString id = identificativo;
    id.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")));
    return QStringLiteral("prova-%1-%2")
        .arg(quando.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")),
             id.isEmpty() ? QStringLiteral("centrale") : id);
}

QString NomeRapporto(const Registro &r, const QString &cartella, const QString &estensione) {
    const QFileInfo giornale(r.Giornale());
    const QDateTime inizio = r.Inizio().isValid() ? r.Inizio() : QDateTime::currentDateTime();
    const QString base = r.Giornale().isEmpty()
                             ? QDir(cartella).filePath(QStringLiteral("prove/") +
                                                       NomeProva(inizio, r.identificativo))
                             : giornale.dir().filePath(giornale.completeBaseName());
    QString nome = base + QLatin1Char('.') + estensione;
    for (int n = 2; QFileInfo::exists(nome) || QFileInfo(nome).isSymLink(); ++n)
        nome = base + QStringLiteral("-%1.").arg(n) + estensione;
    return nome;
}

namespace {

const QString FormatoOra = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");

// The rest state that TestoRiposo describes as `testo`, if any.
std::optional<QString> StatoDescritto(const QString &testo) {
    for (const QString &stato : {QStringLiteral("R"), QStringLiteral("I")})
        if (Comandi::TestoRiposo(stato) == testo) return stato;
    const QStringList attorno = Comandi::TestoRiposo(QStringLiteral("\x01")).split(QChar(1));
    if (attorno.size() == 2 && testo.startsWith(attorno[0]) && testo.endsWith(attorno[1]) &&
        testo.size() > attorno[0].size() + attorno[1].size())
        return testo.mid(attorno[0].size(), testo.size() - attorno[0].size() - attorno[1].size());
    return std::nullopt;
}

// One event line of a journal, as RigaEvento wrote it with milliseconds.
std::optional<Evento> LeggiEvento(const Registro &r, const QString &riga) {
    const QStringList campi = riga.split(QLatin1Char('\t'));
    if (campi.size() != 4) return std::nullopt;
    Evento e;
    e.quando = QDateTime::fromString(campi[0], FormatoOra);
    if (!e.quando.isValid()) return std::nullopt;
    QString detto = campi[3];
    if (detto.endsWith(QString::fromUtf8(PrimaDellInizio)))
        detto.chop(QString::fromUtf8(PrimaDellInizio).size());
    if (!campi[1].isEmpty()) {
        bool numero = false;
        e.ingresso = campi[1].toInt(&numero);
        if (!numero || e.ingresso < 1 || e.ingresso > NumeroIngressi) return std::nullopt;
        for (const Evento &c :
             {Evento{{}, Tipo::Attivo, 0, {}}, Evento{{}, Tipo::Attivo, 0, ValoreGiaAttivo},
              Evento{{}, Tipo::Riposo, 0, {}}})
            if (Accaduto(c) == detto) {
                e.tipo = c.tipo;
                e.valore = c.valore;
                return e;
            }
        if (detto != QString::fromUtf8(AttivoAllaPrimaLettura)) return std::nullopt;
        e.valore = ValoreGiaAttivo;
        return e;
    }
    for (const Tipo tipo : {Tipo::StatoCentrale, Tipo::Tasto, Tipo::LineaPersa, Tipo::LineaTornata,
                            Tipo::Sospesa, Tipo::Ripresa}) {
        e.tipo = tipo;
        if (Soggetto(r, e) != campi[2]) continue;
        if (tipo == Tipo::Tasto) {
            e.valore = detto;
            return e;
        }
        if (tipo == Tipo::StatoCentrale) {
            const std::optional<QString> stato = StatoDescritto(detto);
            if (!stato) return std::nullopt;
            e.valore = *stato;
            return e;
        }
        if (Accaduto(e) == detto) return e;
    }
    return std::nullopt;
}

// The next line of a journal, without its end; none at the end of the file.
// One longer than RigaMassima is read through in pieces and given empty, as
// `lunga`.
std::optional<QString> ProssimaRiga(QFile &f, bool *lunga) {
    *lunga = false;
    if (f.atEnd()) return std::nullopt;
    QByteArray riga = f.readLine(RigaMassima + 2);
    if (riga.endsWith('\n')) {
        riga.chop(1);
    } else if (riga.size() > RigaMassima) {
        while (!f.atEnd() && !f.readLine(RigaMassima).endsWith('\n')) {
        }
    }
    *lunga = riga.size() > RigaMassima;
    return *lunga ? QString() : QString::fromUtf8(riga);
}

// "# 2026-12-07 23:36:06.123  testo": the technician's line, its time and text.
std::optional<std::pair<QDateTime, QString>> LeggiAnnotazione(const QString &riga) {
    const int lunghezza = FormatoOra.size();
    if (!riga.startsWith(QLatin1String("# ")) || riga.mid(2 + lunghezza, 2) != QLatin1String("  "))
        return std::nullopt;
    const QDateTime quando = QDateTime::fromString(riga.mid(2, lunghezza), FormatoOra);
    if (!quando.isValid()) return std::nullopt;
    return std::pair{quando, riga.mid(lunghezza + 4)};
}

// The head of a journal: the panel, the port and the start.
struct Testa {
    QString identificativo, porta;
    QDateTime inizio;
};

// The first line of a journal, its head; none when it is no journal's.
std::optional<Testa> LeggiTestata(QFile &f) {
    bool lunga = false;
    QString testata = QRegularExpression::escape(QString::fromUtf8(Testata));
    testata.replace(QStringLiteral("\\%1"), QStringLiteral("(.*?)"))
        .replace(QStringLiteral("\\%2"), QStringLiteral("(.*)"))
        .replace(QStringLiteral("\\%3"), QStringLiteral("(.+)"));
    const QRegularExpressionMatch testa =
        QRegularExpression(QLatin1Char('^') + testata + QLatin1Char('$'))
            .match(ProssimaRiga(f, &lunga).value_or(QString()).remove(QLatin1Char('\r')));
    const QDateTime inizio =
        testa.hasMatch() ? QDateTime::fromString(testa.captured(3), FormatoOra) : QDateTime();
    if (!inizio.isValid()) return std::nullopt;
    return Testa{testa.captured(1), testa.captured(2), inizio};
}

// The list of texts after the head: the texts of the 44 alarm windows,
// whether each is counted, the lines read and those that could not be, and
// where the lines after the list start.
struct ListaTesti {
    QStringList testi;
    std::vector<bool> contato;
    int righe = 0, saltate = 0;
    qint64 dopo = 0;
};

ListaTesti LeggiTesti(QFile &f) {
    ListaTesti l;
    for (int i = 0; i < 44; ++i)
        l.testi << QString();
    l.contato.assign(NumeroIngressi, true);
    bool lunga = false;
    l.dopo = f.pos();
    for (std::optional<QString> riga; (riga = ProssimaRiga(f, &lunga)); l.dopo = f.pos()) {
        if (lunga) {
            ++l.saltate;
        } else if (!riga->startsWith(QLatin1String(RigaIngresso))) {
            break;
        } else {
            const QStringList campi =
                riga->mid(int(qstrlen(RigaIngresso))).split(QLatin1Char('\t'));
            const int n = campi[0].toInt();
            if (n >= 1 && n <= 44 && campi.size() >= 2) {
                l.contato[size_t(n - 1)] = campi.value(2) != QLatin1String(NonContato);
                l.testi[n - 1] = campi[1] == QLatin1String("-") && !l.contato[size_t(n - 1)]
                                     ? QString()
                                     : campi[1];
            }
        }
        ++l.righe;
    }
    // A journal cut within its list of texts: the texts after the cut are
    // unknown, said as a line that could not be read.
    if (l.righe < NumeroIngressi) ++l.saltate;
    return l;
}

// The span of the walk test: from its start to its end line; with no end
// line (a crash), to the last line, give or take a clock set back a little
// meanwhile, since the journal is written in time order. `fine` is the time
// of the end line, when there is one; `limite` invalid when there is none.
struct Confini {
    QDateTime fine, limite;
};

// Reads the rest of the journal for its span.
Confini LeggiConfini(const Registro &r, QFile &f, const QDateTime &inizio) {
    bool lunga = false;
    QDateTime fineRiga, ultimaRiga;
    for (std::optional<QString> riga; (riga = ProssimaRiga(f, &lunga));) {
        if (lunga) continue;
        if (riga->startsWith(QStringLiteral("# ") + QLatin1String(FineProva))) {
            const QDateTime t =
                QDateTime::fromString(riga->mid(2 + int(qstrlen(FineProva))), FormatoOra);
            if (t.isValid() && t >= inizio) fineRiga = t;
        } else if (const auto annotazione = LeggiAnnotazione(*riga)) {
            ultimaRiga = annotazione->first;
        } else if (const std::optional<Evento> e = LeggiEvento(r, *riga)) {
            ultimaRiga = e->quando;
        }
    }
    return {fineRiga, fineRiga.isValid()     ? fineRiga
                      : ultimaRiga.isValid() ? ultimaRiga.addSecs(60)
                                             : QDateTime()};
}

// "impianto: …" or "tecnico: …": taken into the record's field.
bool LeggiCampo(Registro &r, const QString &testo) {
    for (const auto &[nome, valore] :
         {std::pair{CampoImpianto, &r.impianto}, {CampoTecnico, &r.tecnico}})
        if (testo.startsWith(QLatin1String(nome))) {
            *valore = testo.mid(int(qstrlen(nome)));
            return true;
        }
    return false;
}

} // namespace

void Registro::Rigioca(const Evento &e) {
    orologio_ = e.quando;
    switch (e.tipo) {
    case Tipo::Attivo:
    case Tipo::Riposo: {
        // Read before, unless this is its first reading (found active).
        ingressi_[size_t(e.ingresso - 1)].letto = e.valore != ValoreGiaAttivo;
        Comandi::Ingresso i;
        i.finestra = e.ingresso - 1;
        i.stato = e.tipo == Tipo::Attivo ? Comandi::StatoIngresso::Attivo
                                         : Comandi::StatoIngresso::Inattivo;
        Ingressi(QList<Comandi::Ingresso>{i});
        break;
    }
    case Tipo::StatoCentrale:
        stato_ = e.valore;
        Registra(e.quando, e.tipo, 0, e.valore);
        break;
    case Tipo::Tasto:
        tasto_ = e.valore;
        Registra(e.quando, e.tipo, 0, e.valore);
        break;
    case Tipo::LineaPersa:
    case Tipo::LineaTornata:
        risponde_ = e.tipo == Tipo::LineaPersa;
        Risposta(!risponde_);
        break;
    case Tipo::Sospesa:
        Sospendi();
        break;
    case Tipo::Ripresa:
        Riprendi();
        break;
    }
}

QDateTime Registro::RileggiCommento(const QString &riga) {
    if (LeggiCampo(*this, riga.mid(2)) ||
        riga.startsWith(QStringLiteral("# ") + QLatin1String(FineProva)))
        return QDateTime();
    const auto annotazione = LeggiAnnotazione(riga);
    if (!annotazione) return QDateTime(); // "… eventi omessi", said when written
    const QString &testo = annotazione->second;
    if (LeggiCampo(*this, testo) || !testo.startsWith(QLatin1String(NotaIngresso)))
        return annotazione->first;
    const int da = int(qstrlen(NotaIngresso)), duepunti = testo.indexOf(QLatin1String(": "));
    const int n = duepunti > da ? testo.mid(da, duepunti - da).toInt() : 0;
    if (n >= 1 && n <= NumeroIngressi) ingressi_[size_t(n - 1)].nota = testo.mid(duepunti + 2);
    return annotazione->first;
}

QDateTime Registro::RigiocaEventi(QFile &f, int numero, const QDateTime &inizio,
                                  const QDateTime &limite) {
    // The start where it falls among the events.
    bool iniziata = false;
    const auto fuori = [&](const QDateTime &t) {
        return (iniziata && t < inizio) || (limite.isValid() && t > limite);
    };
    QDateTime ultima = inizio;
    bool lunga = false;
    for (std::optional<QString> letta; (letta = ProssimaRiga(f, &lunga));) {
        ++numero;
        const QString &riga = *letta;
        if (lunga) {
            ++righeSaltate_;
            continue;
        }
        if (riga.startsWith(QLatin1String("# "))) {
            const QDateTime quando = RileggiCommento(riga);
            if (quando.isValid() && !fuori(quando)) ultima = std::max(ultima, quando);
            continue;
        }
        const std::optional<Evento> e = LeggiEvento(*this, riga);
        if (!e) {
            ++righeSaltate_;
            continue;
        }
        if (fuori(e->quando)) {
            if (++fuori_ <= 5)
                righeFuori_ << QStringLiteral("riga %1 (%2)")
                                   .arg(numero)
                                   .arg(e->quando.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
            continue;
        }
        if (!iniziata && e->quando >= inizio) {
            orologio_ = inizio;
            Inizia();
            iniziata = true;
        }
        Rigioca(*e);
        ultima = std::max(ultima, e->quando);
    }
    if (!iniziata) {
        orologio_ = inizio;
        Inizia();
    }
    return ultima;
}

QString Registro::Rileggi(const QString &file) {
    const QString nome = QDir::toNativeSeparators(file);
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("Impossibile leggere il giornale %1: %2.")
            .arg(nome, Salvataggio::MotivoApertura(f));
    const std::optional<Testa> testa = LeggiTestata(f);
    if (!testa)
        return QStringLiteral("Il file %1 non è il giornale di una prova ingressi.").arg(nome);
    identificativo = testa->identificativo;
    porta = testa->porta;
    daGiornale_ = true;
    nomeGiornale_ = file;

    const ListaTesti lista = LeggiTesti(f);
    righeSaltate_ += lista.saltate;
    orologio_ = testa->inizio;
    Testi(lista.testi);
    for (int i = 0; i < 44; ++i)
        ingressi_[size_t(i)].conTesto = lista.contato[size_t(i)];

    const Confini confini = LeggiConfini(*this, f, testa->inizio);
    // Then the events at their times, from the line after the texts (the
    // head the first line).
    if (!f.seek(lista.dopo))
        return QStringLiteral("Impossibile leggere il giornale %1: %2.")
            .arg(nome, Salvataggio::MotivoFile(f, errno));
    const QDateTime ultima = RigiocaEventi(f, 1 + lista.righe, testa->inizio, confini.limite);
    fine = confini.fine.isValid() ? confini.fine : ultima;
    orologio_ = QDateTime();
    return QString();
}

} // namespace Prova
