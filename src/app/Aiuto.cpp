#include "app/Opzioni.h"

#include <QPair>
#include <algorithm>

namespace Opzioni {

QString Aiuto() {
    QString testo = QStringLiteral(
        "Uso: velto318 [opzioni]\n"
        "Strumento di servizio della centrale d'allarme Velto: ne mostra lo stato dal vivo,\n"
        "ne scrive e rilegge i testi sulla linea seriale.\n"
        "Senza opzioni lavora nella cartella corrente, dove legge Seriale318.con.\n\n"
        "Opzioni:\n");
    QList<QPair<QString, QString>> righe;
    int larghezza = 0;
    for (const Voce &v : Voci()) {
        const QCommandLineOption &o = v.opzione;
        QStringList nomi;
        for (const QString &n : o.names())
            nomi << (n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n;
        QString sinistra = nomi.join(QStringLiteral(", "));
        if (!o.valueName().isEmpty()) sinistra += QLatin1Char(' ') + o.valueName();
        larghezza = std::max(larghezza, int(sinistra.size()));
        righe.append({sinistra, o.description()});
    }
    for (const auto &r : righe)
        testo += QStringLiteral("  ") + r.first.leftJustified(larghezza + 2) + r.second + '\n';
    return testo + QStringLiteral("\nIl manuale: man velto318\n");
}

} // namespace Opzioni
