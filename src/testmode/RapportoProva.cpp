#include "testmode/RapportoProva.h"

#include "link/Traccia.h"
#include "rapporti/PaginePdf.h"
#include "testmode/CsvProva.h"
#include "shared/Salvataggio.h"
#include "impianti/Impianti.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <optional>

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

void DisegnaLineaDelTempo(QPainter &p, const QRectF &area, const Registro &r, const QDateTime &fine,
                          bool soloConTesto, const QDateTime &da) {
    p.save();
    p.fillRect(area, Qt::white);
    const QDateTime inizio = da.isValid() ? da : r.Inizio();
    // At least 4 s, so the five marks of the axis (to the second) never repeat.
    const double totale = std::max<double>(4000, double(Ms(inizio, fine)));
    std::vector<const Ingresso *> ingressi;
    for (const Ingresso &n : r.Ingressi())
        if (n.conTesto || !soloConTesto) ingressi.push_back(&n);
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
        const Ingresso &n = *ingressi[size_t(i)];
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

QString Collegamento(const QString &porta) {
    // "COM1 (/dev/pts/8)" as the port window names it: the name a person
    // chose, unless the device behind it is a network address.
    QString nome = porta.trimmed(), dispositivo;
    const int aperta = nome.indexOf(QStringLiteral(" ("));
    if (aperta > 0 && nome.endsWith(QLatin1Char(')'))) {
        dispositivo = nome.mid(aperta + 2, nome.size() - aperta - 3);
        nome.truncate(aperta);
    }
    for (const QString &t : {dispositivo, nome}) {
        const int schema = t.indexOf(QStringLiteral("://"));
        if (schema > 0) return QStringLiteral("collegata in rete a %1").arg(t.mid(schema + 3));
    }
    return nome.isEmpty() ? QString() : QStringLiteral("collegata a %1").arg(nome);
}

QString NomeCentrale(const Registro &r) {
    QString id = Traccia::ControlliVisibili(r.identificativo);
    if (id.startsWith(QLatin1Char('&'))) id.remove(0, 1);
    QString t = QStringLiteral("Centrale Velto");
    if (!id.isEmpty()) t += QStringLiteral(", identificativo ") + id;
    const QString collegata = Collegamento(Traccia::ControlliVisibili(r.porta));
    if (!collegata.isEmpty()) t += QStringLiteral(", ") + collegata;
    return t;
}

QString Esito(const Registro &r) {
    const int mancanti = r.Contati() - r.Provati();
    if (r.Contati() == 0) return QStringLiteral("Nessun ingresso con testo da provare");
    if (mancanti == 0) return QStringLiteral("Tutti gli ingressi provati");
    if (mancanti == 1) return QStringLiteral("1 ingresso non provato");
    return QStringLiteral("%1 ingressi non provati").arg(mancanti);
}

Ditta LeggiDitta(const QString &cartella) {
    QFile f(QDir(cartella).filePath(QStringLiteral("ditta.txt")));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QStringList righe = QString::fromUtf8(f.read(64 * 1024)).split(QLatin1Char('\n'));
    Ditta d;
    d.nome = righe.value(0).trimmed();
    const QString logo = righe.value(1).trimmed();
    if (!logo.isEmpty()) d.logo = QDir(cartella).filePath(logo);
    return d;
}

std::pair<QDateTime, QDateTime> Arco(const Registro &r, const QDateTime &fine) {
    QDateTime da, a;
    const auto allarga = [&](const Intervallo &s) {
        const QDateTime termine = s.a.isValid() ? s.a : fine;
        if (!da.isValid() || s.da < da) da = s.da;
        if (!a.isValid() || termine > a) a = termine;
    };
    for (const Ingresso &n : r.Ingressi())
        for (const Intervallo &s : n.intervalli)
            allarga(s);
    for (const Intervallo &s : r.Silenzi())
        allarga(s);
    if (!da.isValid()) return {r.Inizio(), fine};
    // A margin on both sides, within the walk test.
    const qint64 margine = std::max<qint64>(2000, da.msecsTo(a) / 20);
    return {std::max(r.Inizio(), da.addMSecs(-margine)), std::min(fine, a.addMSecs(margine))};
}

namespace {

// The installer's name and logo, at the top right and left of the first page.
void Intestazione(Rapporti::Pagine &pg, const Ditta &d) {
    const QImage logo = d.logo.isEmpty() ? QImage() : QImage(d.logo);
    const double alto = 42;
    double altezza = 0;
    if (!logo.isNull()) {
        const QSizeF s = QSizeF(logo.size()).scaled(160, alto, Qt::KeepAspectRatio);
        pg.p().drawImage(QRectF(QPointF(0, pg.y), s), logo);
        altezza = s.height();
    }
    if (!d.nome.isEmpty()) {
        pg.p().setFont(Rapporti::Carattere(12, true));
        pg.p().setPen(Qt::black);
        const QRectF dove(pg.larghezza() * 0.35, pg.y, pg.larghezza() * 0.65, alto);
        pg.p().drawText(dove, Qt::AlignRight | Qt::AlignVCenter | Qt::TextWordWrap,
                        Traccia::ControlliVisibili(d.nome));
        altezza = alto;
    }
    if (altezza > 0) pg.y += altezza + 10;
}

// The technician's and the customer's signatures, side by side.
void Firme(Rapporti::Pagine &pg, const QString &tecnico, const QString &cliente) {
    pg.y += 16;
    pg.spazio(70);
    QPainter &p = pg.p();
    const double w = pg.larghezza() * 0.42;
    const double destra = pg.larghezza() - w;
    p.setFont(Rapporti::Carattere(10, false));
    p.setPen(Qt::black);
    const auto firma = [&](double x, const QString &chi, const QString &nome) {
        p.drawText(QRectF(x, pg.y, w, 14), Qt::AlignLeft | Qt::AlignVCenter, chi);
        if (!nome.isEmpty())
            p.drawText(QRectF(x, pg.y + 14, w, 14), Qt::AlignLeft | Qt::AlignVCenter,
                       QFontMetricsF(p.font(), p.device()).elidedText(nome, Qt::ElideRight, w));
        p.drawLine(QPointF(x, pg.y + 62), QPointF(x + w, pg.y + 62));
    };
    firma(0, QStringLiteral("Firma del tecnico"), tecnico);
    firma(destra, QStringLiteral("Firma del cliente"), cliente);
    pg.y += 70;
}

// What was typed or came from the panel: control characters written
// visibly, as in the journal.
QString Campo(const QString &t) {
    return t.isEmpty() ? QStringLiteral("-") : Traccia::ControlliVisibili(t);
}

// What the report says beside the record: when it was made, the end (now,
// for a walk test going on), the installer, the panel, and the customer and
// the address from the site book.
struct Dati {
    QDateTime adesso, fine;
    Ditta ditta;
    QString cliente, indirizzo, centrale;
};

Dati DatiDelRapporto(const Registro &r) {
    Dati d;
    // A walk test going on is shown as far as it went now.
    d.adesso = QDateTime::currentDateTime();
    d.fine = r.fine.isValid() ? r.fine : d.adesso;
    d.ditta = LeggiDitta(QDir::currentPath());
    // The customer and the address, from the site book: the site in use, or
    // the one the walk test names (always, for a past one read back).
    const QString nomeImpianto =
        Impianti::InUso().isEmpty() || r.DaGiornale() ? r.impianto : Impianti::InUso();
    QString errore;
    const std::optional<Impianti::Impianto> impianto =
        nomeImpianto.isEmpty() ? std::nullopt : Impianti::Carica(nomeImpianto, &errore);
    d.cliente = impianto ? impianto->cliente.trimmed() : QString();
    d.indirizzo = impianto ? impianto->indirizzo.trimmed() : QString();
    d.centrale = NomeCentrale(r);
    return d;
}

// The first page's head: the installer, the panel, the site, the technician,
// the times and the outcome.
void Frontespizio(Rapporti::Pagine &pg, const Registro &r, const Dati &d) {
    Intestazione(pg, d.ditta);
    pg.paragrafo(QStringLiteral("Verbale di prova degli ingressi"), 18, true);
    pg.paragrafo(d.centrale, 11);
    pg.y += 6;
    pg.paragrafo(QStringLiteral("Impianto: %1").arg(Campo(r.impianto)), 10);
    if (!d.cliente.isEmpty()) pg.paragrafo(QStringLiteral("Cliente: %1").arg(d.cliente), 10);
    if (!d.indirizzo.isEmpty()) pg.paragrafo(QStringLiteral("Indirizzo: %1").arg(d.indirizzo), 10);
    pg.paragrafo(QStringLiteral("Tecnico: %1").arg(Campo(r.tecnico)), 10);
    pg.paragrafo(r.fine.isValid()
                     ? QStringLiteral("Inizio: %1    Fine: %2    Durata: %3")
                           .arg(Rapporti::Data(r.Inizio()), Rapporti::Data(d.fine),
                                Durata(r.Inizio(), d.fine))
                     : QStringLiteral("Inizio: %1    Fine: prova in corso    Durata finora: %2")
                           .arg(Rapporti::Data(r.Inizio()), Durata(r.Inizio(), d.fine)),
                 10);
    pg.paragrafo(QStringLiteral("Rapporto del %1").arg(Rapporti::Data(d.adesso)), 10);
    pg.y += 8;
    const bool tutti = r.Provati() == r.Contati();
    pg.paragrafo(Esito(r), 20, true, tutti ? QColor(0, 110, 0) : Attivo);
    pg.paragrafo(Conteggio(r), 11);
    pg.y += 8;
}

// The timeline of the inputs with a text, up to `fine`.
void LineaDelTempo(Rapporti::Pagine &pg, const Registro &r, const QDateTime &fine) {
    const int righe = r.Contati();
    if (righe == 0) {
        pg.paragrafo(QStringLiteral("Linea del tempo: nessun ingresso con testo"), 10, true);
        return;
    }
    // Rows of 13 points; down to 10, to stay on this page with
    // what is above it rather than leave most of the page empty.
    const double titolo = 20;
    const double piena = (righe + 2) * 13.0, qui = pg.resta() - titolo;
    const double altezza = qui >= (righe + 2) * 10.0 ? std::min(piena, qui) : piena;
    pg.spazio(altezza + titolo);
    pg.paragrafo(QStringLiteral("Linea del tempo degli ingressi con testo (in rosso: "
                                "attivo; grigio: linea muta o prova sospesa)"),
                 10, true);
    const auto [da, a] = Arco(r, fine);
    DisegnaLineaDelTempo(pg.p(), QRectF(0, pg.y, pg.larghezza(), altezza), r, a, true, da);
    pg.y += altezza + 10;
}

// The inputs with a text never seen going active, with their notes.
void IngressiMancanti(Rapporti::Pagine &pg, const Registro &r) {
    const QList<const Ingresso *> mancanti = r.NonProvati();
    pg.spazio(40);
    pg.paragrafo(mancanti.isEmpty()
                     ? QStringLiteral("Ingressi non provati: nessuno")
                     : QStringLiteral("Ingressi non provati (%1):").arg(mancanti.size()),
                 10, true);
    for (const Ingresso *n : mancanti)
        pg.paragrafo(QStringLiteral("   %1  %2%3")
                         .arg(n->numero)
                         .arg(TestoMostrato(*n),
                              n->nota.isEmpty() ? QString()
                                                : QStringLiteral("  -  nota: ") + Campo(n->nota)),
                     9);
}

// Each span of a list of gaps, from its start to its end (or the walk
// test's, `fine`); only the newest are kept, the others are counted.
void Intervalli(Rapporti::Pagine &pg, const std::deque<Intervallo> &lista, size_t totale,
                const QDateTime &fine) {
    if (totale == lista.size() + 1)
        pg.riga(QStringLiteral("   … la prima omessa"), 9);
    else if (totale > lista.size())
        pg.riga(QStringLiteral("   … le prime %1 omesse").arg(totale - lista.size()), 9);
    for (const Intervallo &s : lista)
        pg.riga(QStringLiteral("   dalle %1 alle %2 (%3)")
                    .arg(Rapporti::Data(s.da),
                         s.a.isValid() ? Rapporti::Data(s.a) : QStringLiteral("la fine"),
                         Durata(s.da, s.a.isValid() ? s.a : fine)),
                9);
}

// The line gaps, and the spells the walk test was suspended, if any.
void Interruzioni(Rapporti::Pagine &pg, const Registro &r, const QDateTime &fine) {
    pg.y += 4;
    pg.riga(r.Silenzi().empty()
                ? QStringLiteral("Interruzioni della linea: nessuna")
                : QStringLiteral("Interruzioni della linea (%1):").arg(r.TotaleSilenzi()),
            10, true);
    Intervalli(pg, r.Silenzi(), r.TotaleSilenzi(), fine);
    if (!r.Sospensioni().empty()) {
        pg.y += 4;
        pg.riga(
            QStringLiteral("Prova sospesa, ingressi non letti (%1):").arg(r.TotaleSospensioni()),
            10, true);
        Intervalli(pg, r.Sospensioni(), r.TotaleSospensioni(), fine);
    }
    pg.y += 8;
}

// The inputs with a text, and those without one that went active or have a
// note; the others said by their number.
void TabellaIngressi(Rapporti::Pagine &pg, const Registro &r) {
    const QList<double> colonne = {0.05, 0.25, 0.09, 0.11, 0.11, 0.11, 0.08, 0.2};
    // Times of the day of the start without their date.
    const auto Quando = [&r](const QDateTime &t) {
        return t.isValid() && t.date() == r.Inizio().date() ? Ora(t) : Rapporti::Data(t);
    };
    pg.spazio(60);
    pg.riga(QStringLiteral("Ingressi"), 10, true);
    pg.testata({"N.", "Testo", "Provato", "Prima attivaz.", "Ultima attivaz.", "A riposo",
                "Attivaz.", "Nota"},
               colonne);
    int altri = 0;
    for (const Ingresso &n : r.Ingressi()) {
        if (!n.conTesto && !n.attivazioni && n.nota.isEmpty()) {
            ++altri;
            continue;
        }
        pg.tabella({QString::number(n.numero), TestoMostrato(n), TestoProvato(n),
                    Quando(n.primaAttivazione), Quando(n.ultimaAttivazione), Quando(n.ultimoRiposo),
                    QString::number(n.attivazioni), Traccia::ControlliVisibili(n.nota)},
                   colonne, false, n.conTesto && !n.provato ? NonProvato : QColor());
    }
    if (altri)
        pg.paragrafo(altri == 1 ? QStringLiteral("Un altro ingresso, senza testo e mai "
                                                 "attivo, non è elencato.")
                                : QStringLiteral("Altri %1 ingressi, senza testo e mai "
                                                 "attivi, non sono elencati.")
                                      .arg(altri),
                     9);
    pg.y += 8;
}

// The events: of a long walk test, the first and the newest, and what is
// between said by a line of its own.
void TabellaEventi(Rapporti::Pagine &pg, const Registro &r) {
    pg.spazio(60);
    const auto &eventi = r.Eventi();
    pg.riga(r.Omessi() ? QStringLiteral("Eventi (%1 in tutto; qui i primi %2 e gli ultimi %3)")
                             .arg(r.TotaleEventi())
                             .arg(EventiIniziali)
                             .arg(eventi.size() - size_t(EventiIniziali))
                       : QStringLiteral("Eventi (%1)").arg(eventi.size()),
            10, true);
    if (const QString fuori = TestoFuori(r); !fuori.isEmpty())
        pg.paragrafo(QStringLiteral("Nel giornale, ") + fuori, 9);
    const QList<double> colonneEventi = {0.22, 0.06, 0.4, 0.32};
    for (size_t k = 0; k < eventi.size(); ++k) {
        if (k == size_t(EventiIniziali) && r.Omessi())
            pg.paragrafo(r.Omissione(r.Omessi()), 9, true);
        const Evento &e = eventi[k];
        pg.tabella({Rapporti::Data(e.quando), e.ingresso ? QString::number(e.ingresso) : QString(),
                    Soggetto(r, e), Descrizione(r, e)},
                   colonneEventi, false);
    }
}

} // namespace

QByteArray Pdf(const Registro &r) {
    const Dati d = DatiDelRapporto(r);
    return Rapporti::Pdf(
        QStringLiteral("Prova degli ingressi, ") + d.centrale, [&](Rapporti::Pagine &pg) {
            Frontespizio(pg, r, d);
            LineaDelTempo(pg, r, d.fine);
            IngressiMancanti(pg, r);
            Interruzioni(pg, r, d.fine);
            TabellaIngressi(pg, r);
            TabellaEventi(pg, r);
            Firme(pg, r.tecnico.isEmpty() ? QString() : Campo(r.tecnico), d.cliente);
        });
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
