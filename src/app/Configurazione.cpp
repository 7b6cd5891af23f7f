#include "Configurazione.h"

#include "Numeri.h"
#include "Variabili.h"

#include <QFile>
#include <QSaveFile>

Configurazione ValoriDaRiga(const QString &primaRiga) {
    Configurazione c;
    c.Modo485 = ValoreIniziale(primaRiga.mid(2, 3)) == 485.0;
    c.NumeroPorta = primaRiga.mid(9, 1);
    c.Identificativo = primaRiga.mid(11, 3);
    return c;
}

// The first line, and whether anything follows its line end. Lines end at
// CR LF, a lone CR or a lone LF.
static bool PrimaRiga(const QByteArray &dati, QString *riga) {
    int fine = 0;
    while (fine < dati.size() && dati[fine] != '\r' && dati[fine] != '\n')
        ++fine;
    *riga = QString::fromLatin1(dati.left(fine));
    int dopo = fine;
    if (dopo < dati.size() && dati[dopo] == '\r') ++dopo;
    if (dopo < dati.size() && dati[dopo] == '\n') ++dopo;
    return dopo < dati.size();
}

Configurazione LeggiConfigurazione(const QString &percorso) {
    QString riga;
    bool valida = false;
    QFile file(percorso);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray dati = file.readAll();
        file.close();
        const bool seguito = PrimaRiga(dati, &riga);
        valida = seguito && !riga.isEmpty() && riga.startsWith(QLatin1String("rs"));
    }
    if (valida) return ValoriDaRiga(riga);

    Configurazione c = ValoriDaRiga(QString::fromLatin1(ContenutoPredefinito.left(15)));
    QSaveFile nuovo(percorso);
    nuovo.setDirectWriteFallback(true);
    if (nuovo.open(QIODevice::WriteOnly) && nuovo.write(ContenutoPredefinito) && nuovo.commit()) {
        c.predefinitaScritta = true;
    } else {
        c.avviso = QStringLiteral("Impossibile scrivere il file di configurazione %1 (%2): "
                                  "uso RS232, COM1, identificativo &45.")
                       .arg(percorso, nuovo.errorString());
    }
    return c;
}

QString CaricaConfigurazione() {
    const Configurazione c = LeggiConfigurazione(Variabili::NomeFile);
    Variabili::Modo485 = c.Modo485;
    Variabili::NumeroPorta = c.NumeroPorta;
    Variabili::Identificativo = c.Identificativo;
    return c.avviso;
}
