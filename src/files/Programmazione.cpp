#include "files/Programmazione.h"

#include "files/FormatoMessaggi.h"
#include "link/Comandi.h"
#include "shared/Numeri.h"
#include "shared/Variabili.h"

#include <algorithm>
#include <QHash>

namespace Programmazione {

namespace {

constexpr int Cifre = 3; // the text number before the text in an entry

// How the operator knows the character at `pos` of a text read byte for byte:
// the character a UTF-8 sequence starting there stands for (files written on
// Linux), else the byte's own character, or its code when that does not show.
QString DescriviCarattere(const QString &testo, qsizetype pos) {
    const uchar primo = uchar(testo[pos].unicode());
    const int seguito = primo >= 0xF0 && primo <= 0xF4   ? 3
                        : primo >= 0xE0 && primo <= 0xEF ? 2
                        : primo >= 0xC2 && primo <= 0xDF ? 1
                                                         : 0;
    QString carattere(testo[pos]);
    if (seguito > 0 && pos + seguito < testo.size()) {
        QByteArray byte;
        for (qsizetype i = pos; i <= pos + seguito; ++i)
            byte += char(testo[i].unicode());
        bool valido = true;
        for (qsizetype i = 1; i < byte.size(); ++i)
            valido = valido && (uchar(byte[i]) & 0xC0) == 0x80;
        const QString decodificato = QString::fromUtf8(byte);
        if (valido && !decodificato.contains(QChar::ReplacementCharacter)) carattere = decodificato;
    }
    const QChar c = carattere[0];
    if (c.isPrint() && !c.isSpace() && c != QChar::SoftHyphen)
        return QStringLiteral("carattere \"%1\"").arg(carattere);
    return QStringLiteral("carattere di codice %1").arg(primo);
}

QString DueVolte(const QString &numero, int prima, int seconda) {
    return QStringLiteral("Testo %1 due volte: righe %2 e %3").arg(numero).arg(prima).arg(seconda);
}

// The lines whose number is above the highest the panel takes, in Italian,
// or empty.
QString RigheOltreIlMassimo(const FormatoMessaggi::Scansione &scansione) {
    int quante = 0, prima = 0;
    for (qsizetype i = 0; i < scansione.righe.size(); ++i) {
        const QString &riga = scansione.righe[i];
        if (!FormatoMessaggi::RigaConNumero(riga) ||
            riga.left(Cifre).toInt() <= FormatoMessaggi::NumeroMassimoInvio)
            continue;
        if (quante++ == 0) prima = scansione.numeri.value(i);
    }
    if (quante == 0) return QString();
    const QString massimo = QString::number(FormatoMessaggi::NumeroMassimoInvio);
    if (quante == 1)
        return QStringLiteral("1 riga non inviata: il suo numero è oltre %1, il più alto che il "
                              "VELTO accetta (riga %2)")
            .arg(massimo)
            .arg(prima);
    return QStringLiteral("%1 righe non inviate: il loro numero è oltre %2, il più alto che il "
                          "VELTO accetta (la prima è la riga %3)")
        .arg(quante)
        .arg(massimo)
        .arg(prima);
}

// "riga 3", "righe 3 e 6", "righe 3, 6 e 8"; past five lines, the first
// five and how many more.
QString ElencoRighe(const QList<int> &righe) {
    constexpr int Nominate = 5;
    if (righe.size() == 1) return QStringLiteral("riga %1").arg(righe[0]);
    QStringList nomi;
    for (qsizetype i = 0; i < righe.size() && i < Nominate; ++i)
        nomi << QString::number(righe[i]);
    const qsizetype altre = righe.size() - Nominate;
    const QString ultima = altre == 1  ? QStringLiteral("un'altra")
                           : altre > 1 ? QStringLiteral("altre %1").arg(altre)
                                       : nomi.takeLast();
    return QStringLiteral("righe %1 e %2").arg(nomi.join(QStringLiteral(", ")), ultima);
}

} // namespace

QList<Voce> VociDaInviare(const FormatoMessaggi::Scansione &scansione) {
    QList<Voce> voci;
    for (qsizetype i = 0; i < scansione.righe.size(); ++i)
        if (const auto voce = FormatoMessaggi::FiltroInvio(scansione.righe[i]))
            voci.append({*voce, scansione.numeri.value(i), scansione.righe[i]});
    return voci;
}

QString RifiutoInvio(const QList<Voce> &voci, bool chiusa) {
    if (voci.isEmpty()) return QStringLiteral("Il file non contiene testi da inviare");
    if (!chiusa)
        return QStringLiteral("Il file non finisce con la riga end: potrebbe essere incompleto "
                              "(copia interrotta o file ancora in scrittura)");
    if (voci.size() > V::NumeroTesti)
        return QStringLiteral("Il file ha %1 testi: il massimo è %2")
            .arg(voci.size())
            .arg(V::NumeroTesti);
    QHash<QString, int> righe; // the line of each number
    for (const Voce &v : voci) {
        const QString numero = v.voce.left(Cifre);
        if (const auto prima = righe.constFind(numero); prima != righe.constEnd())
            return DueVolte(numero, *prima, v.riga);
        righe.insert(numero, v.riga);
    }
    for (const Voce &v : voci)
        if (const QString c = CarattereRifiutato(v); !c.isEmpty())
            return QStringLiteral("Testo %1, riga %2: %3 non trasmissibile")
                .arg(v.numero(), QString::number(v.riga), c);
    return QString();
}

QString CarattereRifiutato(const Voce &v) {
    // The entry's characters are those of its line: the line names a character
    // whose UTF-8 bytes run past the entry.
    for (qsizetype i = Cifre; i < v.voce.size(); ++i)
        if (v.voce[i].unicode() > 127) return DescriviCarattere(v.linea, i);
    return QString();
}

QString ProblemaRiga(const QString &riga, int numeroRiga) {
    const int lunghezza = Comandi::LunghezzaVoce, testo = lunghezza - Cifre;
    if (!FormatoMessaggi::RigaConNumero(riga)) return QString();
    const QString numero = riga.left(Cifre);
    const auto voce = FormatoMessaggi::FiltroInvio(riga);
    QString problema;
    if (!voce) {
        problema = QStringLiteral("numero oltre %1: non si invia")
                       .arg(FormatoMessaggi::NumeroMassimoInvio);
    } else if (const QString c = CarattereRifiutato({*voce, 0, riga}); !c.isEmpty()) {
        problema = c + QStringLiteral(" non trasmissibile");
    } else if (riga.size() < lunghezza) {
        problema = QStringLiteral("%1 su %2: l'invio aggiunge %3")
                       .arg(Quanti(riga.size() - Cifre, "carattere", "caratteri"))
                       .arg(testo)
                       .arg(Quanti(lunghezza - riga.size(), "spazio", "spazi"));
    } else if (riga.size() > lunghezza && riga[lunghezza] != QLatin1Char(' ') &&
               riga[lunghezza] != QLatin1Char('*')) {
        // A note starts after a blank or the read-back's "*": anything else
        // right after the 16 places is the text running on.
        problema = QStringLiteral("più di %1 caratteri: l'invio tiene i primi %1").arg(testo);
    }
    if (problema.isEmpty()) return QString();
    // The text and its line, as the send names them.
    const QString dove = numeroRiga > 0
                             ? QStringLiteral("Testo %1, riga %2").arg(numero).arg(numeroRiga)
                             : QStringLiteral("Testo %1").arg(numero);
    return dove + QStringLiteral(": ") + problema;
}

QStringList ProblemiRighe(const QStringList &righe, int primaRiga) {
    QStringList problemi;
    QHash<QString, QList<int>> doveNumero; // the lines a send writes each number from
    for (int i = 0; i < righe.size(); ++i) {
        problemi << ProblemaRiga(righe[i], primaRiga + i);
        // A number with a digit typed away or in front: the send skips the line.
        if (FormatoMessaggi::NumeroSpezzato(righe[i]))
            problemi.last() = QStringLiteral("Riga %1: non comincia con un numero di tre cifre: "
                                             "l'invio la salta")
                                  .arg(primaRiga + i);
        if (const auto voce = FormatoMessaggi::FiltroInvio(righe[i]))
            doveNumero[voce->left(Cifre)] << i;
    }
    for (auto d = doveNumero.cbegin(); d != doveNumero.cend(); ++d) {
        const QList<int> &dove = d.value();
        // The send refuses the whole file for it: it comes before the line's own problem.
        for (int k = 0; k < dove.size() && dove.size() > 1; ++k)
            problemi[dove[k]] =
                DueVolte(d.key(), primaRiga + dove[0], primaRiga + dove[k == 0 ? 1 : k]);
    }
    return problemi;
}

QList<int> RigheSpezzate(const FormatoMessaggi::Scansione &scansione) {
    QList<int> righe;
    for (qsizetype i = 0; i < scansione.righe.size(); ++i)
        if (FormatoMessaggi::NumeroSpezzato(scansione.righe[i])) righe << scansione.numeri.value(i);
    return righe;
}

QString RigheNonInviate(const FormatoMessaggi::Scansione &scansione) {
    QStringList avvisi;
    const QList<int> spezzate = RigheSpezzate(scansione);
    if (spezzate.size() == 1)
        avvisi << QStringLiteral("1 riga non inviata: non comincia con un numero di tre cifre "
                                 "(%1)")
                      .arg(ElencoRighe(spezzate));
    else if (!spezzate.isEmpty())
        avvisi << QStringLiteral("%1 righe non inviate: non cominciano con un numero di tre "
                                 "cifre (%2)")
                      .arg(spezzate.size())
                      .arg(ElencoRighe(spezzate));
    if (const QString oltre = RigheOltreIlMassimo(scansione); !oltre.isEmpty()) avvisi << oltre;
    return avvisi.join(QStringLiteral(". "));
}

QString TestoLetto(const QString &testoLetto) {
    QString testo = testoLetto;
    testo.replace(QLatin1Char('\r'), QLatin1Char(' '));
    testo.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return testo;
}

} // namespace Programmazione
