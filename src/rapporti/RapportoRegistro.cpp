#include "rapporti/RapportoRegistro.h"

#include "link/Traccia.h"
#include "rapporti/PaginePdf.h"
#include "shared/Csv.h"
#include "shared/Numeri.h"
#include "shared/Salvataggio.h"

namespace Manutenzione {

namespace {

// A field, its control characters written visibly (a description or a
// register edited by hand may hold ESC or BEL), or "-" when empty.
QString OMeno(const QString &t) {
    return t.trimmed().isEmpty() ? QStringLiteral("-") : Traccia::ControlliVisibili(t);
}

// The notes, their lines kept.
QString Note(const QString &note) {
    QStringList righe = note.split(QLatin1Char('\n'));
    for (QString &r : righe)
        r = Traccia::ControlliVisibili(r);
    return righe.join(QLatin1Char('\n'));
}

QString Esito(const Voce &v) {
    return v.finito ? v.esito : QStringLiteral("NON FINITO: ") + v.esito;
}

} // namespace

QByteArray Csv(const Impianti::Impianto &impianto, const QList<Voce> &voci) {
    QString t = QStringLiteral("Impianto;Data e ora;Utente;Computer;Collegamento;Azione;Esito\r\n");
    for (const Voce &v : voci) {
        QStringList riga{
            impianto.nome, Rapporti::Data(v.quando), v.utente, v.computer, v.porta, v.azione,
            Esito(v)};
        // A field edited by hand may hold ESC or BEL: written visibly, never
        // run by a terminal that shows the file.
        for (QString &cella : riga)
            cella = Csv::Cella(Traccia::ControlliVisibili(cella));
        t += riga.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + t.toUtf8();
}

QByteArray Pdf(const Impianti::Impianto &impianto, const QList<Voce> &voci) {
    const QDateTime adesso = QDateTime::currentDateTime();
    return Rapporti::Pdf(
        QStringLiteral("Registro di manutenzione %1").arg(OMeno(impianto.nome)),
        [&](Rapporti::Pagine &pg) {
            pg.riga(
                QStringLiteral("Registro di manutenzione - impianto %1").arg(OMeno(impianto.nome)),
                16, true);
            pg.y += 4;
            pg.riga(QStringLiteral("Cliente: %1").arg(OMeno(impianto.cliente)), 10);
            pg.riga(QStringLiteral("Indirizzo: %1").arg(OMeno(impianto.indirizzo)), 10);
            pg.riga(QStringLiteral("Centrale: %1 su %2 (%3)")
                        .arg(OMeno(impianto.id), OMeno(impianto.porta),
                             impianto.rs485 ? QStringLiteral("RS485") : QStringLiteral("RS232")),
                    10);
            if (!impianto.note.trimmed().isEmpty())
                pg.paragrafo(QStringLiteral("Note: ") + Note(impianto.note), 10);
            pg.riga(QStringLiteral("Stampato il %1, %2")
                        .arg(Rapporti::Data(adesso), Quanti(voci.size(), "voce", "voci")),
                    10);
            pg.y += 8;
            if (voci.isEmpty()) pg.riga(QStringLiteral("Nessuna voce nel registro."), 10);
            for (const Voce &v : voci) {
                pg.spazio(40);
                pg.riga(QStringLiteral("%1   %2 su %3   collegamento %4")
                            .arg(Rapporti::Data(v.quando), OMeno(v.utente), OMeno(v.computer),
                                 OMeno(v.porta)),
                        9, true, v.finito ? Qt::black : QColor(200, 0, 0));
                pg.paragrafo(QStringLiteral("%1: %2").arg(OMeno(v.azione), OMeno(Esito(v))), 9);
                pg.y += 4;
            }
        });
}

QString SalvaRapporto(const Impianti::Impianto &impianto, const QList<Voce> &voci,
                      const QString &percorso) {
    const QString p = percorso.toLower();
    QByteArray dati;
    if (p.endsWith(QLatin1String(".csv")))
        dati = Csv(impianto, voci);
    else if (p.endsWith(QLatin1String(".pdf")))
        dati = Pdf(impianto, voci);
    else
        return QStringLiteral("%1: un rapporto è .csv o .pdf.").arg(percorso);
    QString errore;
    if (!Salvataggio::Salva(percorso, dati, &errore))
        return QStringLiteral("Rapporto %1 non salvato: %2.").arg(percorso, errore);
    return QString();
}

} // namespace Manutenzione
