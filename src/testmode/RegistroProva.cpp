#include "testmode/RegistroProva.h"

#include "link/Comandi.h"
#include "link/Traccia.h"
#include "shared/Numeri.h"
#include "shared/Salvataggio.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <optional>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace Prova {

namespace {

const char *const NomiTessere[2] = {"P L", "ACK"};
// The value of the event of an input active at its first reading.
const QString ValoreGiaAttivo = QStringLiteral("inizio");

// The journal's lines that are read back: its head, the technician's
// lines and its end.
const char *const Testata = "# Velto318, prova ingressi della centrale %1 sulla porta %2, "
                            "iniziata il %3";
const char *const RigaIngresso = "# ingresso ";
const char *const NonContato = "(non contato)";
const char *const NotaIngresso = "nota dell'ingresso ";
const char *const FineProva = "fine della prova: ";
const char *const CampoImpianto = "impianto: ";
const char *const CampoTecnico = "tecnico: ";
const char *const PrimaDellInizio = " (prima dell'inizio)";
const char *const AttivoAllaPrimaLettura = "attivo alla prima lettura";

template <class T> void Limita(std::deque<T> &d, size_t massimo) {
    while (d.size() > massimo)
        d.pop_front();
}

} // namespace

Registro::Registro() {
    ingressi_.resize(NumeroIngressi);
    for (int i = 0; i < NumeroIngressi; ++i) {
        ingressi_[size_t(i)].numero = i + 1;
        if (i >= 44) ingressi_[size_t(i)].testo = QString::fromLatin1(NomiTessere[i - 44]);
    }
}

void Registro::Testi(const QStringList &testi) {
    for (int i = 0; i < 44 && i < testi.size(); ++i) {
        Ingresso &n = ingressi_[size_t(i)];
        n.testo = testi[i];
        n.conTesto = !testi[i].trimmed().isEmpty();
    }
    if (avviato_) return;
    avviato_ = true;
    inizio_ = Adesso();
    ++cambiamenti_;
}

Registro::~Registro() {
    ChiudiGiornale();
}

QDateTime Registro::Adesso() const {
    return orologio_.isValid() ? orologio_ : QDateTime::currentDateTime();
}

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

void Registro::Ricomincia(const QString &cartella) {
    for (Ingresso &n : ingressi_) {
        n.provato = n.attivo = n.letto = n.giaAttivo = false;
        n.primaAttivazione = n.ultimaAttivazione = n.ultimoRiposo = QDateTime();
        n.attivazioni = 0;
        n.nota.clear();
        n.intervalli.clear();
    }
    eventi_.clear();
    totaleEventi_ = totaleSilenzi_ = totaleSospensioni_ = 0;
    silenzi_.clear();
    sospensioni_.clear();
    stato_.clear();
    tasto_.clear();
    risponde_ = true;
    attesaTesti_ = false;
    inizio_ = Adesso();
    fine = QDateTime();
    ++cambiamenti_;
    if (giornale_.isOpen()) {
        ChiudiGiornale();
        ApriGiornale(cartella);
    }
}

void Registro::AttendiTesti() {
    if (!avviato_ || attesaTesti_) return;
    attesaTesti_ = true;
    Sospendi();
}

void Registro::Continua() {
    if (!attesaTesti_) return;
    attesaTesti_ = false;
    Riprendi();
}

void Registro::Inizia() {
    if (!avviato_) return;
    const QDateTime ora = Adesso();
    inizio_ = ora;
    for (Ingresso &n : ingressi_) {
        n.provato = false;
        n.giaAttivo = n.attivo;
        n.primaAttivazione = n.ultimaAttivazione = n.ultimoRiposo = QDateTime();
        n.attivazioni = 0;
        n.intervalli.clear();
        if (n.attivo) n.intervalli.push_back({ora, QDateTime()});
    }
    // Of the gaps, only one still open goes on, from now.
    for (auto *d : {&silenzi_, &sospensioni_}) {
        const bool aperto = !d->empty() && !d->back().a.isValid();
        d->clear();
        if (aperto) d->push_back({ora, QDateTime()});
    }
    totaleSilenzi_ = silenzi_.size();
    totaleSospensioni_ = sospensioni_.size();
    ++cambiamenti_;
}

void Registro::Risposta(bool risposto) {
    if (!avviato_ || attesaTesti_ || risposto == risponde_) return;
    risponde_ = risposto;
    const QDateTime ora = Adesso();
    if (!risposto) {
        silenzi_.push_back({ora, QDateTime()});
        Limita(silenzi_, IntervalliPerIngresso);
        ++totaleSilenzi_;
    } else if (!silenzi_.empty()) {
        silenzi_.back().a = ora;
    }
    Registra(ora, risposto ? Tipo::LineaTornata : Tipo::LineaPersa);
}

bool Registro::Sospendi() {
    if (!avviato_ || (!sospensioni_.empty() && !sospensioni_.back().a.isValid())) return false;
    const QDateTime ora = Adesso();
    sospensioni_.push_back({ora, QDateTime()});
    Limita(sospensioni_, IntervalliPerIngresso);
    ++totaleSospensioni_;
    for (Ingresso &n : ingressi_) {
        if (n.attivo && !n.intervalli.empty()) n.intervalli.back().a = ora;
        // Nobody watched meanwhile: what is found active on return was not
        // seen going active.
        n.letto = false;
    }
    Registra(ora, Tipo::Sospesa);
    return true;
}

void Registro::Riprendi() {
    if (attesaTesti_ || sospensioni_.empty() || sospensioni_.back().a.isValid()) return;
    const QDateTime ora = Adesso();
    sospensioni_.back().a = ora;
    // Still active, as far as anyone knows: the bar starts again now, and
    // the next reading ends it if the input went back to rest meanwhile.
    for (Ingresso &n : ingressi_)
        if (n.attivo) {
            n.intervalli.push_back({ora, QDateTime()});
            Limita(n.intervalli, IntervalliPerIngresso);
        }
    Registra(ora, Tipo::Ripresa);
}

void Registro::Stato(const QString &stato) {
    if (!avviato_ || attesaTesti_ || stato == stato_) return;
    stato_ = stato;
    Registra(Adesso(), Tipo::StatoCentrale, 0, stato);
}

void Registro::Ingressi(const QList<Comandi::Ingresso> &ingressi) {
    if (!avviato_ || attesaTesti_) return;
    for (const Comandi::Ingresso &i : ingressi) {
        if (i.stato == Comandi::StatoIngresso::Invariato) continue;
        Ingresso &n = ingressi_[size_t(i.finestra)];
        const bool attivo = i.stato == Comandi::StatoIngresso::Attivo;
        const bool primo = !n.letto;
        n.letto = true;
        if (attivo == n.attivo) continue;
        n.attivo = attivo;
        const QDateTime ora = Adesso();
        if (attivo && primo) {
            // A door left open, a detector stuck in alarm: shown active,
            // tried only once it is seen going active.
            n.giaAttivo = true;
            n.intervalli.push_back({ora, QDateTime()});
            Registra(ora, Tipo::Attivo, n.numero, ValoreGiaAttivo);
            continue;
        }
        if (attivo) {
            n.provato = true;
            if (!n.primaAttivazione.isValid()) n.primaAttivazione = ora;
            n.ultimaAttivazione = ora;
            ++n.attivazioni;
            n.intervalli.push_back({ora, QDateTime()});
            Limita(n.intervalli, IntervalliPerIngresso);
        } else {
            n.ultimoRiposo = ora;
            if (!n.intervalli.empty()) n.intervalli.back().a = ora;
        }
        Registra(ora, attivo ? Tipo::Attivo : Tipo::Riposo, n.numero);
    }
}

void Registro::Tasto(const QString &etichetta) {
    if (!avviato_ || attesaTesti_ || etichetta == tasto_) return;
    const bool primo = tasto_.isEmpty();
    tasto_ = etichetta;
    // Neither the first reading nor the caption going back to its no-key
    // value is a key pressed.
    if (!primo && etichetta != Comandi::EtichettaTasto(QLatin1Char(Comandi::NessunTasto)))
        Registra(Adesso(), Tipo::Tasto, 0, etichetta);
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

void Registro::Registra(const QDateTime &quando, Tipo tipo, int ingresso, const QString &valore) {
    const Evento e{quando, tipo, ingresso, valore};
    eventi_.push_back(e);
    // The first ones stay: the oldest of the newest goes.
    if (eventi_.size() > size_t(EventiInMemoria)) eventi_.erase(eventi_.begin() + EventiIniziali);
    ++totaleEventi_;
    ++cambiamenti_;
    Scrivi(e);
    if (avviso) avviso(e);
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

const Evento *Registro::EventoNumero(size_t numero) const {
    if (numero >= totaleEventi_) return nullptr;
    if (numero < size_t(EventiIniziali)) return &eventi_[numero];
    if (numero < EventiIniziali + Omessi()) return nullptr;
    return &eventi_[numero - Omessi()];
}

QString Registro::Omissione(size_t quanti) const {
    const bool uno = quanti == 1;
    const QString omessi =
        QStringLiteral("… ") + Quanti(qint64(quanti), "evento omesso", "eventi omessi");
    const QString nome = QDir::toNativeSeparators(nomeGiornale_);
    if (!erroreGiornale_.isEmpty()) return omessi + QStringLiteral(". ") + erroreGiornale_;
    if (!giornale_.isOpen() && !daGiornale_ && !giornaleChiuso_)
        return omessi + (uno ? QStringLiteral(": nessun giornale lo ha, non è più disponibile")
                             : QStringLiteral(": nessun giornale li ha, non sono più disponibili"));
    if (omessiPrimaDelGiornale_)
        return omessi + QStringLiteral(": sono nel giornale %1, tranne %2 di prima della sua "
                                       "apertura")
                            .arg(nome)
                            .arg(omessiPrimaDelGiornale_);
    return omessi + (uno ? QStringLiteral(": è nel giornale %1")
                         : QStringLiteral(": sono tutti nel giornale %1"))
                        .arg(nome);
}

int Registro::Contati() const {
    int n = 0;
    for (const Ingresso &i : ingressi_)
        n += i.conTesto;
    return n;
}

int Registro::Provati() const {
    int n = 0;
    for (const Ingresso &i : ingressi_)
        n += i.conTesto && i.provato;
    return n;
}

QList<const Ingresso *> Registro::NonProvati() const {
    QList<const Ingresso *> l;
    for (const Ingresso &i : ingressi_)
        if (i.conTesto && !i.provato) l << &i;
    return l;
}

QString Ora(const QDateTime &t) {
    return t.isValid() ? t.toString(QStringLiteral("HH:mm:ss")) : QString();
}

QString OraCompleta(const QDateTime &t) {
    return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) : QString();
}

QString TestoMostrato(const Ingresso &i) {
    QString t = i.testo;
    while (!t.isEmpty() && t.back().isSpace())
        t.chop(1);
    return t.isEmpty() ? QStringLiteral("-") : Traccia::ControlliVisibili(t);
}

QString TestoProvato(const Ingresso &i) {
    if (i.provato) return QStringLiteral("sì");
    return i.giaAttivo ? QStringLiteral("no (già attivo)") : QStringLiteral("no");
}

QString Soggetto(const Registro &r, const Evento &e) {
    switch (e.tipo) {
    case Tipo::Attivo:
    case Tipo::Riposo:
        return TestoMostrato(r.Ingressi()[size_t(e.ingresso - 1)]);
    case Tipo::StatoCentrale:
        return QStringLiteral("centrale");
    case Tipo::Tasto:
        return QStringLiteral("tasto premuto");
    case Tipo::Sospesa:
    case Tipo::Ripresa:
        return QStringLiteral("prova");
    default:
        return QStringLiteral("linea");
    }
}

namespace {
QString Accaduto(const Evento &e) {
    switch (e.tipo) {
    case Tipo::Attivo:
        return e.valore == ValoreGiaAttivo ? QStringLiteral("già attivo all'inizio")
                                           : QStringLiteral("attivo");
    case Tipo::Riposo:
        return QStringLiteral("a riposo");
    case Tipo::StatoCentrale:
        return Comandi::TestoRiposo(Traccia::ControlliVisibili(e.valore));
    case Tipo::Tasto:
        return Traccia::ControlliVisibili(e.valore.trimmed());
    case Tipo::LineaPersa:
        return QStringLiteral("la centrale non risponde");
    case Tipo::Sospesa:
        return QStringLiteral("sospesa (modo test fermo, ingressi non letti)");
    case Tipo::Ripresa:
        return QStringLiteral("ripresa");
    default:
        return QStringLiteral("la centrale risponde di nuovo");
    }
}

} // namespace

QString Descrizione(const Registro &r, const Evento &e) {
    if (e.quando >= r.Inizio()) return Accaduto(e);
    // Seen before the walk test's window was opened.
    const QString prima = e.tipo == Tipo::Attivo && e.valore == ValoreGiaAttivo
                              ? QString::fromUtf8(AttivoAllaPrimaLettura)
                              : Accaduto(e);
    return prima + QString::fromUtf8(PrimaDellInizio);
}

QString RigaEvento(const Registro &r, const Evento &e, bool millisecondi) {
    const QString tempo = millisecondi ? OraCompleta(e.quando)
                                       : e.quando.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return QStringList{tempo, e.ingresso ? QString::number(e.ingresso) : QString(), Soggetto(r, e),
                       Descrizione(r, e)}
        .join(QLatin1Char('\t'));
}

bool VistoAttivarsi(const Evento &e) {
    return e.tipo == Tipo::Attivo && e.valore != ValoreGiaAttivo;
}

QString Conteggio(const Registro &r) {
    return QStringLiteral("Provati %1 di %2").arg(r.Provati()).arg(r.Contati());
}

QString TestoFuori(const Registro &r) {
    if (!r.FuoriIntervallo()) return QString();
    QString t = Quanti(r.FuoriIntervallo(), "evento fuori dall'intervallo della prova, non contato",
                       "eventi fuori dall'intervallo della prova, non contati") +
                QStringLiteral(": ") + r.RigheFuori().join(QStringLiteral(", "));
    if (r.FuoriIntervallo() > r.RigheFuori().size()) t += QStringLiteral(", …");
    return t;
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

} // namespace Prova

namespace Prova {

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

QString Registro::Rileggi(const QString &file) {
    const QString nome = QDir::toNativeSeparators(file);
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("Impossibile leggere il giornale %1: %2.")
            .arg(nome, Salvataggio::MotivoApertura(f));
    bool lunga = false;
    int numero = 1; // of the line read last

    // The head: the panel, the port and the start.
    QString testata = QRegularExpression::escape(QString::fromUtf8(Testata));
    testata.replace(QStringLiteral("\\%1"), QStringLiteral("(.*?)"))
        .replace(QStringLiteral("\\%2"), QStringLiteral("(.*)"))
        .replace(QStringLiteral("\\%3"), QStringLiteral("(.+)"));
    const QRegularExpressionMatch testa =
        QRegularExpression(QLatin1Char('^') + testata + QLatin1Char('$'))
            .match(ProssimaRiga(f, &lunga).value_or(QString()).remove(QLatin1Char('\r')));
    const QDateTime inizio =
        testa.hasMatch() ? QDateTime::fromString(testa.captured(3), FormatoOra) : QDateTime();
    if (!inizio.isValid())
        return QStringLiteral("Il file %1 non è il giornale di una prova ingressi.").arg(nome);
    identificativo = testa.captured(1);
    porta = testa.captured(2);
    daGiornale_ = true;
    nomeGiornale_ = file;

    QStringList testi;
    for (int i = 0; i < 44; ++i)
        testi << QString();
    std::vector<bool> contato(NumeroIngressi, true);
    int letti = 0;
    qint64 dopoTesti = f.pos();
    for (std::optional<QString> riga; (riga = ProssimaRiga(f, &lunga)); dopoTesti = f.pos()) {
        if (lunga) {
            ++righeSaltate_;
        } else if (!riga->startsWith(QLatin1String(RigaIngresso))) {
            break;
        } else {
            const QStringList campi =
                riga->mid(int(qstrlen(RigaIngresso))).split(QLatin1Char('\t'));
            const int n = campi[0].toInt();
            if (n >= 1 && n <= 44 && campi.size() >= 2) {
                contato[size_t(n - 1)] = campi.value(2) != QLatin1String(NonContato);
                testi[n - 1] = campi[1] == QLatin1String("-") && !contato[size_t(n - 1)] ? QString()
                                                                                         : campi[1];
            }
        }
        ++letti;
        ++numero;
    }
    // A journal cut within its list of texts: the texts after the cut are
    // unknown, said as a line that could not be read.
    if (letti < NumeroIngressi) ++righeSaltate_;
    orologio_ = inizio;
    Testi(testi);
    for (int i = 0; i < 44; ++i)
        ingressi_[size_t(i)].conTesto = contato[size_t(i)];

    // The span of the walk test: from its start to its end line; with no end
    // line (a crash), to the last line, give or take a clock set back a
    // little meanwhile, since the journal is written in time order.
    QDateTime fineRiga, ultimaRiga;
    for (std::optional<QString> riga; (riga = ProssimaRiga(f, &lunga));) {
        if (lunga) continue;
        if (riga->startsWith(QStringLiteral("# ") + QLatin1String(FineProva))) {
            const QDateTime t =
                QDateTime::fromString(riga->mid(2 + int(qstrlen(FineProva))), FormatoOra);
            if (t.isValid() && t >= inizio) fineRiga = t;
        } else if (const auto annotazione = LeggiAnnotazione(*riga)) {
            ultimaRiga = annotazione->first;
        } else if (const std::optional<Evento> e = LeggiEvento(*this, *riga)) {
            ultimaRiga = e->quando;
        }
    }
    const QDateTime limite = fineRiga.isValid()     ? fineRiga
                             : ultimaRiga.isValid() ? ultimaRiga.addSecs(60)
                                                    : QDateTime();
    // Then the events at their times, the start where it falls among them.
    bool iniziata = false;
    const auto fuori = [&](const QDateTime &t) {
        return (iniziata && t < inizio) || (limite.isValid() && t > limite);
    };
    if (!f.seek(dopoTesti))
        return QStringLiteral("Impossibile leggere il giornale %1: %2.").arg(nome, f.errorString());
    QDateTime ultima = inizio;
    const auto campo = [this](const QString &testo) {
        for (const auto &[nome, valore] :
             {std::pair{CampoImpianto, &impianto}, {CampoTecnico, &tecnico}})
            if (testo.startsWith(QLatin1String(nome))) {
                *valore = testo.mid(int(qstrlen(nome)));
                return true;
            }
        return false;
    };
    for (std::optional<QString> letta; (letta = ProssimaRiga(f, &lunga));) {
        ++numero;
        const QString &riga = *letta;
        if (lunga) {
            ++righeSaltate_;
            continue;
        }
        if (riga.startsWith(QLatin1String("# "))) {
            if (campo(riga.mid(2)) ||
                riga.startsWith(QStringLiteral("# ") + QLatin1String(FineProva)))
                continue;
            const auto annotazione = LeggiAnnotazione(riga);
            if (!annotazione) continue; // "… eventi omessi", said when written
            if (!fuori(annotazione->first)) ultima = std::max(ultima, annotazione->first);
            const QString &testo = annotazione->second;
            if (campo(testo) || !testo.startsWith(QLatin1String(NotaIngresso))) continue;
            const int da = int(qstrlen(NotaIngresso)),
                      duepunti = testo.indexOf(QLatin1String(": "));
            const int n = duepunti > da ? testo.mid(da, duepunti - da).toInt() : 0;
            if (n >= 1 && n <= NumeroIngressi)
                ingressi_[size_t(n - 1)].nota = testo.mid(duepunti + 2);
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
    fine = fineRiga.isValid() ? fineRiga : ultima;
    orologio_ = QDateTime();
    return QString();
}

} // namespace Prova
