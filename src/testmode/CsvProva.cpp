#include "testmode/CsvProva.h"

#include "link/Traccia.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace Prova {

Rapporto TipoRapporto(const QString &percorso) {
    const QString p = percorso.toLower();
    if (p.endsWith(QLatin1String(".csv"))) return Rapporto::Csv;
    if (p.endsWith(QLatin1String(".pdf"))) return Rapporto::Pdf;
    return Rapporto::Nessuno;
}

QString CampoCsv(const QString &testo) {
    QString t = Traccia::ControlliVisibili(testo);
    if (!t.isEmpty() && QStringLiteral("=+-@\t\r").contains(t.front()) && t != QLatin1String("-"))
        t.prepend(QLatin1Char('\''));
    if (!t.contains(QRegularExpression(QStringLiteral("[;\"\r\n]")))) return t;
    return QLatin1Char('"') + t.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

QByteArray Csv(const Registro &r) {
    QString t = QStringLiteral("Ingresso;Testo;Provato;Prima attivazione;Ultima attivazione;"
                               "Ultimo ritorno a riposo;Attivazioni;Nota\r\n");
    for (const Ingresso &i : r.Ingressi()) {
        QStringList riga{QString::number(i.numero),
                         TestoMostrato(i),
                         TestoProvato(i),
                         OraCompleta(i.primaAttivazione),
                         OraCompleta(i.ultimaAttivazione),
                         OraCompleta(i.ultimoRiposo),
                         QString::number(i.attivazioni),
                         i.nota};
        for (QString &campo : riga)
            campo = CampoCsv(campo);
        t += riga.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + t.toUtf8();
}

QStringList CampiCsv(const QString &riga) {
    QStringList campi;
    QString campo;
    bool virgolette = false;
    for (int i = 0; i < riga.size(); ++i) {
        const QChar c = riga[i];
        if (virgolette) {
            if (c == QLatin1Char('"') && i + 1 < riga.size() && riga[i + 1] == QLatin1Char('"'))
                campo += c, ++i;
            else if (c == QLatin1Char('"'))
                virgolette = false;
            else
                campo += c;
        } else if (c == QLatin1Char('"')) {
            virgolette = true;
        } else if (c == QLatin1Char(';')) {
            campi << campo;
            campo.clear();
        } else {
            campo += c;
        }
    }
    return campi << campo;
}

} // namespace Prova
