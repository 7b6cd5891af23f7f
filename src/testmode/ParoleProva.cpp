#include "testmode/RegistroProva.h"

#include "link/Comandi.h"
#include "link/Traccia.h"
#include "shared/Numeri.h"
#include "testmode/RigheGiornale.h"

#include <QDir>

namespace Prova {

QString Registro::Omissione(size_t quanti) const {
    const bool uno = quanti == 1;
    const QString omessi =
        QStringLiteral("… ") + Quanti(qint64(quanti), "evento omesso", "eventi omessi");
    const QString nome = QDir::toNativeSeparators(nomeGiornale_);
    if (!erroreGiornale_.isEmpty()) return omessi + QStringLiteral(". ") + erroreGiornale_;
    if (!giornale_.isOpen() && !daGiornale_ && !giornaleChiuso_)
        return omessi + (uno ? QStringLiteral(": nessun giornale lo ha, non è più disponibile")
                             : QStringLiteral(": nessun giornale li ha, non sono più disponibili"));
    if (omessiPrimaDelGiornale_)
        return omessi + QStringLiteral(": sono nel giornale %1, tranne %2 di prima della sua "
                                       "apertura")
                            .arg(nome)
                            .arg(omessiPrimaDelGiornale_);
    return omessi + (uno ? QStringLiteral(": è nel giornale %1")
                         : QStringLiteral(": sono tutti nel giornale %1"))
                        .arg(nome);
}

QString Ora(const QDateTime &t) {
    return t.isValid() ? t.toString(QStringLiteral("HH:mm:ss")) : QString();
}

QString OraCompleta(const QDateTime &t) {
    return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) : QString();
}

QString TestoMostrato(const Ingresso &i) {
    QString t = i.testo;
    while (!t.isEmpty() && t.back().isSpace())
        t.chop(1);
    return t.isEmpty() ? QStringLiteral("-") : Traccia::ControlliVisibili(t);
}

QString TestoProvato(const Ingresso &i) {
    if (i.provato) return QStringLiteral("sì");
    return i.giaAttivo ? QStringLiteral("no (già attivo)") : QStringLiteral("no");
}

QString Soggetto(const Registro &r, const Evento &e) {
    switch (e.tipo) {
    case Tipo::Attivo:
    case Tipo::Riposo:
        return TestoMostrato(r.Ingressi()[size_t(e.ingresso - 1)]);
    case Tipo::StatoCentrale:
        return QStringLiteral("centrale");
    case Tipo::Tasto:
        return QStringLiteral("tasto premuto");
    case Tipo::Sospesa:
    case Tipo::Ripresa:
        return QStringLiteral("prova");
    default:
        return QStringLiteral("linea");
    }
}

QString Accaduto(const Evento &e) {
    switch (e.tipo) {
    case Tipo::Attivo:
        return e.valore == ValoreGiaAttivo ? QStringLiteral("già attivo all'inizio")
                                           : QStringLiteral("attivo");
    case Tipo::Riposo:
        return QStringLiteral("a riposo");
    case Tipo::StatoCentrale:
        return Comandi::TestoRiposo(Traccia::ControlliVisibili(e.valore));
    case Tipo::Tasto:
        return Traccia::ControlliVisibili(e.valore.trimmed());
    case Tipo::LineaPersa:
        return QStringLiteral("la centrale non risponde");
    case Tipo::Sospesa:
        return QStringLiteral("sospesa (modo test fermo, ingressi non letti)");
    case Tipo::Ripresa:
        return QStringLiteral("ripresa");
    default:
        return QStringLiteral("la centrale risponde di nuovo");
    }
}

QString Descrizione(const Registro &r, const Evento &e) {
    if (e.quando >= r.Inizio()) return Accaduto(e);
    // Seen before the walk test's window was opened.
    const QString prima = e.tipo == Tipo::Attivo && e.valore == ValoreGiaAttivo
                              ? QString::fromUtf8(AttivoAllaPrimaLettura)
                              : Accaduto(e);
    return prima + QString::fromUtf8(PrimaDellInizio);
}

QString RigaEvento(const Registro &r, const Evento &e, bool millisecondi) {
    const QString tempo = millisecondi ? OraCompleta(e.quando)
                                       : e.quando.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return QStringList{tempo, e.ingresso ? QString::number(e.ingresso) : QString(), Soggetto(r, e),
                       Descrizione(r, e)}
        .join(QLatin1Char('\t'));
}

bool VistoAttivarsi(const Evento &e) {
    return e.tipo == Tipo::Attivo && e.valore != ValoreGiaAttivo;
}

QString Conteggio(const Registro &r) {
    return QStringLiteral("Provati %1 di %2").arg(r.Provati()).arg(r.Contati());
}

QString TestoFuori(const Registro &r) {
    if (!r.FuoriIntervallo()) return QString();
    QString t = Quanti(r.FuoriIntervallo(), "evento fuori dall'intervallo della prova, non contato",
                       "eventi fuori dall'intervallo della prova, non contati") +
                QStringLiteral(": ") + r.RigheFuori().join(QStringLiteral(", "));
    if (r.FuoriIntervallo() > r.RigheFuori().size()) t += QStringLiteral(", …");
    return t;
}

} // namespace Prova
