#include "app/Cerca.h"

#include "app/Terminale.h"
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "link/Traccia.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"

#include <cstdio>

QString AvanzamentoCerca(int fatti, int totale, const QString &id) {
    return Barra(QStringLiteral("Cerco"), fatti, totale) +
           QStringLiteral(" (%1)").arg(Traccia::Visibile(id));
}

QString EsitoCerca(const QStringList &trovati, const QString &configurato, const QString &porta,
                   bool rs485, bool eco) {
    QString testo;
    if (trovati.size() == 1)
        testo = QStringLiteral("Risponde 1 identificativo: %1.\n").arg(trovati.first());
    else if (!trovati.isEmpty())
        testo = QStringLiteral("Rispondono %1 identificativi: %2.\n")
                    .arg(trovati.size())
                    .arg(trovati.join(QStringLiteral(", ")));
    if (!trovati.isEmpty() && !trovati.contains(configurato))
        testo += QStringLiteral("L'identificativo configurato %1 non risponde: per usarne uno "
                                "che risponde scrivilo in Seriale318.con (posizioni 12-14) o "
                                "aggiungi --id '%2' al comando.\n")
                     .arg(configurato.isEmpty() ? QStringLiteral("(vuoto)")
                                                : Traccia::Visibile(configurato),
                          trovati.first());
    if (trovati.isEmpty()) {
        testo = NessunaCentrale(porta) + QStringLiteral(" agli identificativi da &00 a &99");
        if (OrdineCerca(configurato).size() > 100)
            testo += QStringLiteral(" né a %1").arg(Traccia::Visibile(configurato));
        testo += QStringLiteral(". ") + ControllaLaLinea() + QStringLiteral(": ");
        testo += rs485 ? QStringLiteral("la ricerca è stata fatta su RS485 (con eco); per una "
                                        "linea RS232 servono rs232 in Seriale318.con e nessun "
                                        "--rs485.\n")
                       : QStringLiteral("la ricerca è stata fatta su RS232; per un bus RS485 "
                                        "aggiungi --rs485.\n");
    }
    if (eco && !rs485)
        testo += LineaConEco() + QStringLiteral(": riprova con velto318 --cerca --rs485.\n");
    return testo;
}

namespace {
// The search on a terminal: a bar in place, each identifier found on stdout.
struct OsservaCerca : Operazioni::Osservatore {
    void Riga1(const QString &testo) override { id = testo; }
    void Riga2(const QString &) override {}
    void Conferma() override {}
    void Avanzamento(const QString &, int fatti, int totale) override {
        if (terminale && fatti < totale)
            Stampa(stderr, QLatin1Char('\r') + AvanzamentoCerca(fatti, totale, id));
    }
    void Trovato(const QString &trovato, const QString &risposta) override {
        if (terminale) CancellaBarra();
        Stampa(stdout, RigaTrovato(trovato, risposta));
    }
    const bool terminale = ErroreSuTerminale();
    QString id;
};
} // namespace

int LavoroCerca(const QString &porta) {
    const QString configurato = V::Identificativo;
    const QStringList ordine = OrdineCerca(configurato);
    OsservaCerca o;
    if (!o.terminale)
        Stampa(stderr, QStringLiteral("Cerco tra %1 identificativi, fino a %2 s\n")
                           .arg(ordine.size())
                           .arg(ordine.size() * 8 / 10));
    const Operazioni::RisultatoCerca r = Operazioni::Cerca(o, ordine, false);
    if (o.terminale) CancellaBarra();
    if (r.interrotta)
        return LavoroInterrotto(QStringLiteral("Ricerca interrotta: %1 %2 di %3")
                                    .arg(Concorda(r.provati, "provato", "provati"),
                                         Quanti(r.provati, "identificativo", "identificativi"))
                                    .arg(ordine.size()));
    if (!r.chiusa.isEmpty())
        return Problema(
            QStringLiteral("ricerca interrotta a %1, la porta si è chiusa. %2")
                .arg(Traccia::Visibile(r.chiusa), FormSeriale::Istanza().ErroreApertura()));
    if (!r.estranea.isEmpty()) {
        Stampa(stdout, QStringLiteral("Ricerca fermata a %1 sulla porta %2: %3.\n")
                           .arg(Traccia::Visibile(ordine.value(r.provati - 1)), porta, r.estranea));
        return UscitaCentrale;
    }
    if (r.trovati.isEmpty())
        if (const QString colpa = PortaInColpa(porta); !colpa.isEmpty())
            return Problema(QStringLiteral("Nessun identificativo risponde. %1").arg(colpa));
    Stampa(stdout, RigaNonInteri(r.nonInteri) +
                       EsitoCerca(r.trovati, configurato, porta, V::Modo485, r.eco));
    return r.trovati.isEmpty() ? UscitaCentrale : UscitaFatto;
}
