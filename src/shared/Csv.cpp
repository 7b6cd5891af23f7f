#include "shared/Csv.h"

namespace Csv {

namespace {
bool ComeFormula(const QString &t) {
    return !t.isEmpty() && QStringLiteral("=+-@\t\r").contains(t.front()) &&
           t != QLatin1String("-");
}
} // namespace

QString Cella(const QString &testo) {
    QString t = testo;
    if (ComeFormula(t)) t.prepend(QLatin1Char('\''));
    if (!t.contains(QLatin1Char(';')) && !t.contains(QLatin1Char('"')) &&
        !t.contains(QLatin1Char('\r')) && !t.contains(QLatin1Char('\n')))
        return t;
    return QLatin1Char('"') + t.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

QString Valore(const QString &cella) {
    if (cella.startsWith(QLatin1Char('\'')) && ComeFormula(cella.mid(1))) return cella.mid(1);
    return cella;
}

QList<QStringList> Righe(const QString &testo, QChar separatore) {
    QList<QStringList> righe;
    QStringList riga;
    QString cella;
    bool virgolette = false;
    bool vuota = true;
    const auto chiudi = [&] {
        if (!vuota) righe << (riga << cella);
        riga.clear();
        cella.clear();
        vuota = true;
    };
    for (qsizetype i = 0; i < testo.size(); ++i) {
        const QChar c = testo[i];
        if (virgolette) {
            if (c == QLatin1Char('"') && i + 1 < testo.size() && testo[i + 1] == QLatin1Char('"'))
                cella += c, ++i;
            else if (c == QLatin1Char('"'))
                virgolette = false;
            else
                cella += c;
            continue;
        }
        if (c == QLatin1Char('"')) {
            virgolette = true;
        } else if (c == separatore) {
            riga << cella;
            cella.clear();
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < testo.size() && testo[i + 1] == QLatin1Char('\n'))
                ++i;
            chiudi();
            continue;
        } else {
            cella += c;
        }
        vuota = false;
    }
    chiudi();
    return righe;
}

} // namespace Csv
