#include "app/RigaDiComando.h"

#include "link/IndirizzoRete.h"
#include "link/PorteSeriali.h"
#include "link/Traccia.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>

QString PreparaAvvio(RigaDiComando &riga) {
    if (!riga.file.isEmpty()) riga.file = QFileInfo(riga.file).absoluteFilePath();
    if (!riga.esito.isEmpty()) riga.esito = QFileInfo(riga.esito).absoluteFilePath();
    if (!riga.csv.isEmpty()) riga.csv = QFileInfo(riga.csv).absoluteFilePath();
    if (!riga.giornale.isEmpty()) riga.giornale = QFileInfo(riga.giornale).absoluteFilePath();
    if (riga.libro == Libro::Nuovo) riga.portaImpianto = PortaDiImpianto(riga.porta);
    for (QString &f : riga.rapporti)
        f = QFileInfo(f).absoluteFilePath();
    if (!riga.porta.isEmpty()) riga.porta = DispositivoDaOpzione(riga.porta);
    if (!riga.traccia.isEmpty())
        if (const QString errore = Traccia::Apri(riga.traccia); !errore.isEmpty())
            std::fputs(qPrintable(QStringLiteral("velto318: %1\n").arg(errore)), stderr);
    if (riga.cartellaUtente) return EntraInCartella(CartellaUtente(QDir::homePath()));
    return QString();
}

QString PortaDiImpianto(const QString &porta) {
    static const QRegularExpression com(QStringLiteral("^COM[1-9]$"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (porta.isEmpty()) return porta;
    if (IndirizzoDiRete(porta)) return porta.trimmed();
    if (com.match(porta).hasMatch()) return porta.toUpper();
    return QFileInfo(porta).absoluteFilePath();
}

QString CartellaUtente(const QString &casa) {
    const QString pulita = QDir::cleanPath(casa);
    if (casa.isEmpty() || QDir(pulita).isRoot()) return QString();
    return QDir(pulita).filePath(QStringLiteral("Velto318"));
}

QString EntraInCartella(const QString &cartella) {
    if (cartella.isEmpty())
        return QStringLiteral("Manca la cartella personale dell'utente (HOME): il programma "
                              "non sa dove tenere i suoi file.");
    if (!QDir().mkpath(cartella))
        return QStringLiteral("Impossibile creare la cartella %1.")
            .arg(QDir::toNativeSeparators(cartella));
    if (!QDir::setCurrent(cartella))
        return QStringLiteral("Impossibile entrare nella cartella %1.")
            .arg(QDir::toNativeSeparators(cartella));
    return QString();
}
