#include "testmode/CicloTest.h"

#include "link/FormSeriale.h"
#include "shared/Attendi.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"
#include "testmode/RegistroProva.h"

CicloTest::CicloTest(std::function<bool()> finito) : finito_(std::move(finito)) {}

void CicloTest::Aggiungi(Osservatore *osservatore) {
    osservatori_.push_back(osservatore);
}

bool CicloTest::Scambia(Comandi::Codice codice, const QString &parametro) {
    const double inizio = SecondiOrologio();
    FormSeriale::Istanza().Scambia(codice, parametro);
    const Scambio s{codice, !V::ErroreSeriale, (SecondiOrologio() - inizio) * 1000};
    di([&s](Osservatore &o) { o.Scambiato(s); });
    return !V::ErroreSeriale;
}

std::optional<QString> CicloTest::LeggiTesto() {
    Comandi::ConfermaTesto conferma;
    while (!finito_()) {
        const bool risposto = Scambia(Comandi::Codice::LeggiTesto, V::NumeroTre);
        V::DatiRisposta = Comandi::Dati(Comandi::Codice::LeggiTesto, V::Risposta);
        if (!risposto) {
            conferma.Fallita();
            di([](Osservatore &o) { o.Fallito(Comandi::Codice::LeggiTesto); });
            continue;
        }
        const Comandi::RispostaTesto r = Comandi::LeggiRispostaTesto(V::Risposta);
        V::DatiRisposta = r.testo;
        if (conferma.Accetta(r.testo, !r.coda && !FormSeriale::Istanza().ScambioIrregolare()))
            return r.testo;
    }
    return std::nullopt;
}

std::optional<QString> CicloTest::leggiCoppia(int primo) {
    V::NumeroTesto = qint16(primo);
    TreCifre();
    const std::optional<QString> primoTesto = LeggiTesto();
    if (!primoTesto) return std::nullopt;
    V::NumeroTesto = qint16(primo + 1);
    TreCifre();
    const std::optional<QString> secondo = LeggiTesto();
    if (!secondo) return std::nullopt;
    return *primoTesto + *secondo;
}

bool CicloTest::CaricaTesti(bool righe) {
    const auto coppia = [this](int primo) {
        const std::optional<QString> testi = leggiCoppia(primo);
        if (testi) di([&](Osservatore &o) { o.Testi(primo, *testi); });
        return testi;
    };
    QStringList ingressi;
    for (int i = 0; i < Comandi::FinestreConTesto; ++i) {
        const std::optional<QString> testi = coppia(4 * i);
        if (!testi) return false;
        ingressi << *testi;
    }
    for (const int primo : Comandi::PrimiTestiRighe)
        if (righe && !coppia(primo)) return false;
    di([&ingressi](Osservatore &o) { o.TestiCaricati(ingressi); });
    return true;
}

void CicloTest::Giro() {
    LeggiStato();
    LeggiIngressi();
    if (!finito_()) LeggiTasto();
}

void CicloTest::LeggiStato() {
    const bool risposto = Scambia(Comandi::Codice::Stato);
    V::Risposta = Comandi::StatoCentrale(V::Risposta);
    if (!risposto) return di([](Osservatore &o) { o.Fallito(Comandi::Codice::Stato); });
    di([](Osservatore &o) { o.Stato(V::Risposta); });
}

void CicloTest::LeggiIngressi() {
    for (int g = 1; g <= 3 && !finito_(); ++g) {
        const bool risposto = Scambia(Comandi::Codice::Ingressi, QString::number(g));
        const QList<Comandi::Ingresso> ingressi = Comandi::StatiIngressi(g, V::Risposta);
        V::Risposta = Comandi::Dati(Comandi::Codice::Ingressi, V::Risposta);
        if (risposto)
            di([&](Osservatore &o) { o.Ingressi(g, ingressi); });
        else
            di([](Osservatore &o) { o.Fallito(Comandi::Codice::Ingressi); });
    }
}

void CicloTest::LeggiTasto() {
    const bool risposto = Scambia(Comandi::Codice::Tasto);
    const std::optional<QChar> codice = Comandi::CodiceTasto(V::Risposta);
    V::Risposta = Comandi::Dati(Comandi::Codice::Tasto, V::Risposta);
    if (!risposto) return di([](Osservatore &o) { o.Fallito(Comandi::Codice::Tasto); });
    if (!codice) return;
    if (const std::optional<QString> etichetta = Comandi::EtichettaTasto(*codice))
        di([&](Osservatore &o) { o.Tasto(*etichetta); });
}

void AscoltoProva::Scambiato(const CicloTest::Scambio &s) {
    if (!V::ChiusuraRichiesta) registro_.Risposta(s.risposto);
}

void AscoltoProva::TestiCaricati(const QStringList &ingressi) {
    registro_.Testi(ingressi);
}

void AscoltoProva::Stato(const QString &stato) {
    registro_.Stato(stato);
}

void AscoltoProva::Ingressi(int, const QList<Comandi::Ingresso> &ingressi) {
    registro_.Ingressi(ingressi);
}

void AscoltoProva::Tasto(const QString &etichetta) {
    registro_.Tasto(etichetta);
}
