#include "programming/Programmazione.h"

#include "files/FormatoMessaggi.h"
#include "link/Comandi.h"
#include "shared/Variabili.h"

namespace Programmazione {

namespace {

constexpr int Cifre = 3;           // the text number before the text in an entry
constexpr int LunghezzaTesto = 16; // the text's places in a reply

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

} // namespace

QList<Voce> VociDaInviare(const FormatoMessaggi::Scansione &scansione) {
    QList<Voce> voci;
    for (qsizetype i = 0; i < scansione.righe.size(); ++i)
        if (const auto voce = FormatoMessaggi::FiltroInvio(scansione.righe[i]))
            voci.append({*voce, scansione.numeri.value(i), scansione.righe[i]});
    return voci;
}

QString RifiutoInvio(const QList<Voce> &voci) {
    if (voci.isEmpty()) return QStringLiteral("Il file non contiene testi da inviare");
    if (voci.size() > V::NumeroTesti)
        return QStringLiteral("Il file ha %1 testi: il massimo è %2")
            .arg(voci.size())
            .arg(V::NumeroTesti);
    // The entry's characters are those of its line: the line names a character
    // whose UTF-8 bytes run past the entry.
    for (const Voce &v : voci)
        for (qsizetype i = Cifre; i < v.voce.size(); ++i)
            if (v.voce[i].unicode() > 127)
                return QStringLiteral("Riga %1: %2 non trasmissibile")
                    .arg(QString::number(v.riga), DescriviCarattere(v.linea, i));
    return QString();
}

QString TestoRisposta(const QString &risposta) {
    QString testo = Comandi::SenzaTesta(risposta, Comandi::TestaRisposta);
    const qsizetype fine = testo.indexOf(QLatin1Char('\r'), LunghezzaTesto);
    if (fine >= 0) testo.truncate(fine);
    return testo;
}

QString TestoLetto(const QString &risposta) {
    QString testo = TestoRisposta(risposta);
    testo.replace(QLatin1Char('\r'), QLatin1Char(' '));
    testo.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return testo;
}

} // namespace Programmazione
