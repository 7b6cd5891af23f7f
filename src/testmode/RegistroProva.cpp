#include "testmode/RegistroProva.h"

#include "link/Comandi.h"
#include "testmode/RigheGiornale.h"

namespace Prova {

namespace {

const char *const NomiTessere[2] = {"P L", "ACK"};

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

const Evento *Registro::EventoNumero(size_t numero) const {
    if (numero >= totaleEventi_) return nullptr;
    if (numero < size_t(EventiIniziali)) return &eventi_[numero];
    if (numero < EventiIniziali + Omessi()) return nullptr;
    return &eventi_[numero - Omessi()];
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

} // namespace Prova
