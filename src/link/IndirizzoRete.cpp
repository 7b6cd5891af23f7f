#include "link/IndirizzoRete.h"

namespace {
QString Schema(const QString &testo) {
    const int fine = testo.indexOf(QLatin1String("://"));
    return fine < 0 ? QString() : testo.left(fine).toLower();
}
} // namespace

bool IndirizzoDiRete(const QString &testo) {
    const QString s = Schema(testo.trimmed());
    return s == QLatin1String("tcp") || s == QLatin1String("socket") ||
           s == QLatin1String("rfc2217");
}

Indirizzo LeggiIndirizzo(const QString &testo) {
    Indirizzo a;
    const QString t = testo.trimmed();
    if (!IndirizzoDiRete(t)) {
        a.errore = QStringLiteral("non è un indirizzo tcp://, socket:// o rfc2217://");
        return a;
    }
    a.rfc2217 = Schema(t) == QLatin1String("rfc2217");
    QString resto = t.mid(t.indexOf(QLatin1String("://")) + 3);
    if (resto.endsWith(QLatin1Char('/'))) resto.chop(1);
    QString porta;
    if (resto.startsWith(QLatin1Char('['))) {
        const int chiusa = resto.indexOf(QLatin1Char(']'));
        if (chiusa < 0) {
            a.errore = QStringLiteral("manca la \"]\" dopo l'indirizzo IPv6");
            return a;
        }
        a.host = resto.mid(1, chiusa - 1);
        const QString dopo = resto.mid(chiusa + 1);
        if (dopo.startsWith(QLatin1Char(':')))
            porta = dopo.mid(1);
        else if (!dopo.isEmpty())
            a.host.clear();
    } else {
        const int due = resto.lastIndexOf(QLatin1Char(':'));
        a.host = due < 0 ? resto : resto.left(due);
        if (due >= 0) porta = resto.mid(due + 1);
        if (a.host.contains(QLatin1Char(':')) || a.host.contains(QLatin1Char('/'))) a.host.clear();
    }
    if (a.host.isEmpty()) {
        a.errore = QStringLiteral("indirizzo non valido");
        return a;
    }
    if (porta.isEmpty()) {
        a.errore = QStringLiteral("manca la porta TCP (per esempio tcp://192.168.1.50:4001)");
        return a;
    }
    bool ok = false;
    const uint numero = porta.toUInt(&ok);
    if (!ok || numero < 1 || numero > 65535) {
        a.errore = QStringLiteral("porta TCP \"%1\" non valida (da 1 a 65535)").arg(porta);
        return a;
    }
    a.porta = quint16(numero);
    return a;
}
