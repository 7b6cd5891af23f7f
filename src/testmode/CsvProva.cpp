#include "testmode/CsvProva.h"

#include "shared/Csv.h"

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
    return Csv::Cella(Traccia::ControlliVisibili(testo));
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
    return Csv::Righe(riga).value(0, QStringList{QString()});
}

} // namespace Prova
