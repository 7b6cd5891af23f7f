#include "jobs/Esiti.h"

#include "shared/Numeri.h"

#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "link/Traccia.h"

QString Citato(const QString &testo) {
    return QLatin1Char('"') + Traccia::Visibile(testo) + QLatin1Char('"');
}

QString TestoRiposo(const QString &stato) {
    return Comandi::TestoRiposo(Traccia::Visibile(stato));
}

QString NonAffidabili(const QString &diChi, const QString &porta) {
    return QStringLiteral("le risposte della centrale %1 sulla porta %2 non sono affidabili (%3)")
        .arg(diChi, porta, FormSeriale::Istanza().PercheNonAffidabili());
}

QString RisposteNonAffidabili(const QString &numero, bool rilettura, const QString &porta) {
    return QStringLiteral("Errore seriale: ") +
           NonAffidabili(
               QStringLiteral("alla %1 del testo %2")
                   .arg(rilettura ? QStringLiteral("rilettura") : QStringLiteral("lettura"),
                        numero),
               porta);
}

QString LineaDisturbata() {
    return QStringLiteral("Risposte non affidabili: ") +
           FormSeriale::Istanza().PercheNonAffidabili();
}

QString TestoNonLetto(const QString &numero, bool incerta) {
    return QStringLiteral("Testo %1: %2")
        .arg(numero, incerta ? QStringLiteral("risposte non affidabili")
                             : QStringLiteral("nessuna risposta"));
}

QString NessunaCentrale(const QString &porta) {
    return QStringLiteral("Nessuna centrale risponde sulla porta %1").arg(porta);
}

QString ControllaLaLinea() {
    return QStringLiteral("Controlla il cavo, l'alimentazione della centrale e il tipo di linea");
}

QString LineaConEco() {
    return QStringLiteral("La linea restituisce l'eco di ogni comando, come un bus RS485");
}

QString RigaNonInteri(const QStringList &ids) {
    if (ids.isEmpty()) return QString();
    QStringList visibili;
    for (const QString &id : ids)
        visibili << Traccia::Visibile(id);
    return QStringLiteral("%1 %2, ma mai con una risposta intera (linea disturbata, o un altro "
                          "programma sulla stessa linea?): non %3.\n")
        .arg(ids.size() == 1 ? QStringLiteral("Risponde anche")
                             : QStringLiteral("Rispondono anche"),
             visibili.join(QStringLiteral(", ")),
             ids.size() == 1 ? QStringLiteral("è contato") : QStringLiteral("sono contati"));
}

QString RigaTrovato(const QString &id, const QString &risposta) {
    return QStringLiteral("%1  %2  (risposta %3)\n")
        .arg(Traccia::Visibile(id), TestoRiposo(Comandi::StatoCentrale(risposta)),
             Citato(risposta));
}

QString TestoVisibile(const QString &testo) {
    return Citato(testo).replace(QLatin1Char(' '), QChar(0x00B7));
}

QString RigheDiverse(const Programmazione::Voce &voce, const QString &letto) {
    return QStringLiteral("%1  file:     %2\n     centrale: %3\n")
        .arg(voce.numero(), TestoVisibile(voce.testo()), TestoVisibile(letto));
}

// What follows the count of differing texts, in EsitoConfronto.
const QString DopoIDiversi = QStringLiteral(" dalla centrale (· è uno spazio): ");

bool ParlaDiDifferenze(const QString &riga) {
    return riga.contains(DopoIDiversi);
}

QString TuttoOk() {
    return QStringLiteral("DATI UGUALI  TUTTO OK");
}

QString DatiUgualiMa(const QString &cosa) {
    return QStringLiteral("DATI UGUALI, ma ") + cosa;
}

QString RigheSaltate() {
    return QStringLiteral("le righe saltate non sono state inviate");
}

QString DatiNonScrittiGiusti() {
    return QStringLiteral("Errore Dati non scritti giusti");
}

QString DatiUguali(int scritti, const QString &dettagli, bool saltate) {
    const QString fatti =
        Quanti(scritti, "testo scritto e verificato", "testi scritti e verificati") + dettagli;
    if (saltate) return QStringLiteral("DATI UGUALI (%1), ma %2").arg(fatti, RigheSaltate());
    return QStringLiteral("%1 (%2)").arg(TuttoOk(), fatti);
}

QString EsitoConfronto(const QStringList &diversi, int totale, bool saltate,
                       const QString &versione) {
    if (diversi.isEmpty() && saltate)
        return QStringLiteral("La centrale ha già %1 che un invio del file scriverebbe, ma le "
                              "righe saltate non sarebbero inviate: correggi il loro numero.\n")
            .arg(totale == 1 ? QStringLiteral("il testo")
                             : QStringLiteral("i %1 testi").arg(totale));
    const QString quanti = totale == 1 ? QStringLiteral("l'unico testo")
                                       : QStringLiteral("tutti i %1 testi").arg(totale);
    if (diversi.isEmpty())
        return versione.isEmpty()
                   ? QStringLiteral("La centrale ha già %1 del file: inviarlo non cambierebbe "
                                    "nulla.\n")
                         .arg(quanti)
                   : QStringLiteral("La centrale ha ancora %1 della %2.\n").arg(quanti, versione);
    return QStringLiteral("%1 su %2 %3%4%5. %6.\n")
        .arg(diversi.size() == 1 ? QStringLiteral("1 testo")
                                 : QStringLiteral("%1 testi").arg(diversi.size()))
        .arg(totale)
        .arg(diversi.size() == 1 ? QStringLiteral("è diverso") : QStringLiteral("sono diversi"))
        .arg(DopoIDiversi)
        .arg(diversi.join(QStringLiteral(", ")))
        .arg(versione.isEmpty()
                 ? (diversi.size() == 1 ? QStringLiteral("Un invio del file lo scriverebbe")
                                        : QStringLiteral("Un invio del file li scriverebbe"))
                 : QStringLiteral("Il confronto è con la %1").arg(versione));
}
