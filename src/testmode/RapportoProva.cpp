#include "testmode/RapportoProva.h"

#include "link/Traccia.h"
#include "rapporti/PaginePdf.h"
#include "testmode/CsvProva.h"
#include "shared/Salvataggio.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>

namespace Prova {

namespace {

const QColor Attivo(200, 0, 0);
const QColor NonProvato(255, 215, 215);
const QColor Silenzio(150, 150, 150, 110);

qint64 Ms(const QDateTime &da, const QDateTime &a) {
    return da.msecsTo(a);
}

} // namespace

QString Durata(const QDateTime &da, const QDateTime &a) {
    // Whole seconds, as the two times are shown.
    const qint64 s = std::max<qint64>(0, a.toSecsSinceEpoch() - da.toSecsSinceEpoch());
    if (s >= 3600)
        return QStringLiteral("%1 h %2 min %3 s")
            .arg(s / 3600)
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

void DisegnaLineaDelTempo(QPainter &p, const QRectF &area, const Registro &r,
                          const QDateTime &fine) {
    p.save();
    p.fillRect(area, Qt::white);
    const QDateTime inizio = r.Inizio();
    // At least 4 s, so the five marks of the axis (to the second) never repeat.
    const double totale = std::max<double>(4000, double(Ms(inizio, fine)));
    const auto &ingressi = r.Ingressi();
    const int righe = int(ingressi.size());
    QFont f = p.font();
    f.setStyleStrategy(QFont::PreferNoShaping);
    const double altezzaRiga = area.height() / (righe + 2);
    f.setPixelSize(std::max(4, int(altezzaRiga * 0.8)));
    f.setBold(true);
    p.setFont(f);
    const QFontMetricsF m(f, p.device());
    const double etichetta = std::min(area.width() * 0.3, m.horizontalAdvance(QString(18, 'M')));
    const QRectF barre(area.left() + etichetta, area.top(), area.width() - etichetta - 4,
                       altezzaRiga * righe);
    const auto X = [&](const QDateTime &t) {
        const double f = std::clamp(double(Ms(inizio, t)) / totale, 0.0, 1.0);
        return barre.left() + f * barre.width();
    };
    for (int i = 0; i < righe; ++i) {
        const Ingresso &n = ingressi[size_t(i)];
        const QRectF riga(area.left(), area.top() + i * altezzaRiga, area.width(), altezzaRiga);
        if (n.conTesto && !n.provato)
            p.fillRect(riga, NonProvato);
        else if (i % 2)
            p.fillRect(riga, QColor(238, 238, 238));
        p.setPen(n.conTesto ? (n.provato ? Qt::black : Attivo) : QColor(140, 140, 140));
        p.drawText(riga.adjusted(2, 0, -barre.width() - 6, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   m.elidedText(QStringLiteral("%1 %2").arg(n.numero).arg(TestoMostrato(n)),
                                Qt::ElideRight, etichetta - 6));
        for (const Intervallo &b : n.intervalli) {
            const double x1 = X(b.da), x2 = X(b.a.isValid() ? b.a : fine);
            p.fillRect(QRectF(x1, riga.top() + altezzaRiga * 0.12, std::max(2.0, x2 - x1),
                              altezzaRiga * 0.76),
                       Attivo);
        }
    }
    // The line gaps and the suspended spells: nothing was watched.
    std::vector<Intervallo> vuoti(r.Silenzi().begin(), r.Silenzi().end());
    vuoti.insert(vuoti.end(), r.Sospensioni().begin(), r.Sospensioni().end());
    for (const Intervallo &s : vuoti) {
        const double x1 = X(s.da), x2 = X(s.a.isValid() ? s.a : fine);
        p.fillRect(QRectF(x1, barre.top(), std::max(2.0, x2 - x1), barre.height()),
                   QBrush(Silenzio, Qt::BDiagPattern));
        p.fillRect(QRectF(x1, barre.top(), std::max(2.0, x2 - x1), barre.height()), Silenzio);
    }
    // The time axis: the start, the end and three marks between.
    p.setPen(Qt::black);
    p.drawLine(QPointF(barre.left(), barre.bottom()), QPointF(barre.right(), barre.bottom()));
    const auto segno = [&](int k) {
        const double x = barre.left() + barre.width() * k / 4;
        const QString t = Ora(inizio.addMSecs(qint64(totale * k / 4)));
        const double w = m.horizontalAdvance(t);
        const double sx = std::clamp(x - w / 2, area.left(), area.right() - w);
        return std::pair{QRectF(sx, barre.bottom() + altezzaRiga * 0.4, w + 2, altezzaRiga * 1.4),
                         t};
    };
    // A mark whose time would touch its neighbour's (a narrow timeline) keeps
    // only its tick: the end's time is always written.
    const double spazio = m.horizontalAdvance(QStringLiteral("   "));
    const double fineSinistra = segno(4).first.left();
    double destra = area.left() - spazio;
    for (int k = 0; k <= 4; ++k) {
        const double x = barre.left() + barre.width() * k / 4;
        p.drawLine(QPointF(x, barre.bottom()), QPointF(x, barre.bottom() + altezzaRiga * 0.4));
        const auto [dove, t] = segno(k);
        if (k < 4 && (dove.left() < destra + spazio || dove.right() + spazio > fineSinistra))
            continue;
        p.drawText(dove, Qt::AlignLeft | Qt::AlignVCenter, t);
        destra = dove.right();
    }
    p.restore();
}

QByteArray Pdf(const Registro &r) {
    QByteArray dati;
    QBuffer buffer(&dati);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter w(&buffer);
    // What was typed or came from the panel, on one line: control characters
    // written visibly, as in the journal.
    const auto campo = [](const QString &t) {
        return t.isEmpty() ? QStringLiteral("-") : Traccia::ControlliVisibili(t);
    };
    Rapporti::ImpostaA4(w, QStringLiteral("Prova ingressi %1").arg(campo(r.identificativo)));
    QPainter p(&w);
    Rapporti::Pagine pg(w, p, true);
    const QDateTime fine = r.fine.isValid() ? r.fine : QDateTime::currentDateTime();

    pg.riga(QStringLiteral("Prova ingressi - centrale %1").arg(campo(r.identificativo)), 16, true);
    pg.y += 4;
    pg.riga(QStringLiteral("Impianto: %1").arg(campo(r.impianto)), 10);
    pg.riga(QStringLiteral("Tecnico: %1").arg(campo(r.tecnico)), 10);
    pg.riga(
        QStringLiteral("Centrale: %1 sulla porta %2").arg(campo(r.identificativo), campo(r.porta)),
        10);
    pg.riga(QStringLiteral("Inizio: %1    Fine: %2    Durata: %3")
                .arg(Rapporti::Data(r.Inizio()), Rapporti::Data(fine), Durata(r.Inizio(), fine)),
            10);
    pg.y += 4;
    const bool tutti = r.Provati() == r.Contati();
    pg.riga(Conteggio(r), 14, true, tutti ? QColor(0, 110, 0) : Attivo);
    pg.y += 4;

    const double altezza = 46 * 9.5;
    pg.spazio(altezza + 20);
    pg.riga(QStringLiteral("Linea del tempo (in rosso: ingresso attivo; grigio: linea muta o prova "
                           "sospesa)"),
            10, true);
    DisegnaLineaDelTempo(p, QRectF(0, pg.y, pg.larghezza(), altezza), r, fine);
    pg.y += altezza + 10;

    const QList<const Ingresso *> mancanti = r.NonProvati();
    pg.spazio(40);
    pg.riga(mancanti.isEmpty() ? QStringLiteral("Ingressi non provati: nessuno")
                               : QStringLiteral("Ingressi non provati (%1):").arg(mancanti.size()),
            10, true);
    for (const Ingresso *n : mancanti)
        pg.riga(QStringLiteral("   %1  %2%3")
                    .arg(n->numero)
                    .arg(TestoMostrato(*n), n->nota.isEmpty()
                                                ? QString()
                                                : QStringLiteral("  -  nota: ") + campo(n->nota)),
                9);
    // Each span of a list of gaps, from its start to its end (or the walk
    // test's); only the newest are kept, the others are counted.
    const auto intervalli = [&](const std::deque<Intervallo> &lista, size_t totale) {
        if (totale > lista.size())
            pg.riga(QStringLiteral("   … le prime %1 omesse").arg(totale - lista.size()), 9);
        for (const Intervallo &s : lista)
            pg.riga(QStringLiteral("   dalle %1 alle %2 (%3)")
                        .arg(Rapporti::Data(s.da),
                             s.a.isValid() ? Rapporti::Data(s.a) : QStringLiteral("la fine"),
                             Durata(s.da, s.a.isValid() ? s.a : fine)),
                    9);
    };
    pg.y += 4;
    pg.riga(r.Silenzi().empty()
                ? QStringLiteral("Interruzioni della linea: nessuna")
                : QStringLiteral("Interruzioni della linea (%1):").arg(r.TotaleSilenzi()),
            10, true);
    intervalli(r.Silenzi(), r.TotaleSilenzi());
    if (!r.Sospensioni().empty()) {
        pg.y += 4;
        pg.riga(
            QStringLiteral("Prova sospesa, ingressi non letti (%1):").arg(r.TotaleSospensioni()),
            10, true);
        intervalli(r.Sospensioni(), r.TotaleSospensioni());
    }
    pg.y += 8;

    const QList<double> colonne = {0.05, 0.28, 0.08, 0.12, 0.12, 0.12, 0.07, 0.16};
    // Times of the day of the start without their date.
    const auto Quando = [&r](const QDateTime &t) {
        return t.isValid() && t.date() == r.Inizio().date() ? Ora(t) : Rapporti::Data(t);
    };
    pg.spazio(60);
    pg.riga(QStringLiteral("Ingressi"), 10, true);
    pg.tabella(
        {"N.", "Testo", "Provato", "Prima attiv.", "Ultima attiv.", "A riposo", "Volte", "Nota"},
        colonne, true);
    for (const Ingresso &n : r.Ingressi())
        pg.tabella({QString::number(n.numero), TestoMostrato(n), TestoProvato(n),
                    Quando(n.primaAttivazione), Quando(n.ultimaAttivazione), Quando(n.ultimoRiposo),
                    QString::number(n.attivazioni), Traccia::ControlliVisibili(n.nota)},
                   colonne, false, n.conTesto && !n.provato ? NonProvato : QColor());
    pg.y += 8;
    pg.spazio(60);
    // A long walk test: the first events and the newest, and what is between
    // said by a line of its own.
    const auto &eventi = r.Eventi();
    pg.riga(r.Omessi() ? QStringLiteral("Eventi (%1 in tutto; qui i primi %2 e gli ultimi %3)")
                             .arg(r.TotaleEventi())
                             .arg(EventiIniziali)
                             .arg(eventi.size() - size_t(EventiIniziali))
                       : QStringLiteral("Eventi (%1)").arg(eventi.size()),
            10, true);
    const QList<double> colonneEventi = {0.22, 0.06, 0.4, 0.32};
    for (size_t k = 0; k < eventi.size(); ++k) {
        if (k == size_t(EventiIniziali) && r.Omessi())
            pg.paragrafo(r.Omissione(r.Omessi()), 9, true);
        const Evento &e = eventi[k];
        pg.tabella({Rapporti::Data(e.quando), e.ingresso ? QString::number(e.ingresso) : QString(),
                    Soggetto(r, e), Descrizione(r, e)},
                   colonneEventi, false);
    }
    pg.fine();
    p.end();
    return dati;
}

QString SalvaRapporto(const Registro &r, const QString &percorso) {
    QByteArray dati;
    switch (TipoRapporto(percorso)) {
    case Rapporto::Csv:
        dati = Csv(r);
        break;
    case Rapporto::Pdf:
        dati = Pdf(r);
        break;
    default:
        return QStringLiteral("%1: un rapporto è .csv o .pdf.").arg(percorso);
    }
    QString errore;
    if (!Salvataggio::Salva(percorso, dati, &errore))
        return QStringLiteral("Rapporto %1 non salvato: %2.").arg(percorso, errore);
    return QString();
}

} // namespace Prova
