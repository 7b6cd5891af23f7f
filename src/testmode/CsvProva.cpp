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

namespace {
// A time as an Italian spreadsheet reads it, and its milliseconds apart.
QStringList Tempo(const QDateTime &t) {
    if (!t.isValid()) return {QString(), QString()};
    return {t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")),
            QString::number(t.time().msec()).rightJustified(3, QLatin1Char('0'))};
}
} // namespace

QByteArray Csv(const Registro &r) {
    // The test's details above the table, one a row.
    // The start and the end with their milliseconds, as the journal has
    // them; a walk test going on says so, with the time of the report.
    const QStringList fine = r.fine.isValid()
                                 ? Tempo(r.fine)
                                 : QStringList{QStringLiteral("in corso alle ") +
                                               Tempo(QDateTime::currentDateTime()).value(0)};
    const QList<QStringList> testa = {{"Impianto", r.impianto},
                                      {"Tecnico", r.tecnico},
                                      {"Centrale", r.identificativo},
                                      {"Porta", r.porta},
                                      QStringList{"Inizio"} + Tempo(r.Inizio()),
                                      QStringList{"Fine"} + fine,
                                      {"Esito", Conteggio(r)}};
    QString t;
    for (QStringList riga : testa) {
        for (QString &campo : riga)
            campo = CampoCsv(campo);
        t += riga.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    t += QStringLiteral("\r\nIngresso;Testo;Provato;Prima attivazione;ms;Ultima attivazione;ms;"
                        "Ultimo ritorno a riposo;ms;Attivazioni;Nota\r\n");
    for (const Ingresso &i : r.Ingressi()) {
        QStringList riga{QString::number(i.numero), TestoMostrato(i), TestoProvato(i)};
        riga << Tempo(i.primaAttivazione) << Tempo(i.ultimaAttivazione) << Tempo(i.ultimoRiposo)
             << QString::number(i.attivazioni) << i.nota;
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
