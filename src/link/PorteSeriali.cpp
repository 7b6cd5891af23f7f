#include "link/PorteSeriali.h"

#include "link/Rete.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

PortaSeriale DaInfo(const QSerialPortInfo &info) {
    return {info.systemLocation(), info.description(), info.manufacturer(), info.serialNumber()};
}

QList<PortaSeriale> PortePresenti() {
    QList<PortaSeriale> porte;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        porte << DaInfo(info);
    std::sort(porte.begin(), porte.end(), [](const PortaSeriale &a, const PortaSeriale &b) {
        return a.dispositivo < b.dispositivo;
    });
    return porte;
}

QString ElencoPorte(const QList<PortaSeriale> &porte, bool intestazione) {
    if (porte.isEmpty()) return QStringLiteral("Nessuna porta seriale trovata.\n");
    QList<QStringList> righe;
    if (intestazione)
        righe << QStringList{QStringLiteral("Dispositivo"), QStringLiteral("Descrizione"),
                             QStringLiteral("Produttore"), QStringLiteral("Numero di serie")};
    QList<int> larghezze(4, 0);
    for (qsizetype i = 0; intestazione && i < larghezze.size(); ++i)
        larghezze[i] = int(righe[0][i].size());
    for (const PortaSeriale &p : porte) {
        QStringList campi = {p.dispositivo, p.descrizione, p.produttore, p.numeroSerie};
        for (int i = 0; i < campi.size(); ++i) {
            campi[i] = campi[i].simplified();
            if (campi[i].isEmpty()) campi[i] = QStringLiteral("-");
            larghezze[i] = std::max(larghezze[i], int(campi[i].size()));
        }
        righe << campi;
    }
    QString testo;
    for (const QStringList &campi : righe) {
        QString riga;
        for (int i = 0; i < campi.size(); ++i)
            riga += i + 1 < campi.size() ? campi[i].leftJustified(larghezze[i] + 2) : campi[i];
        testo += riga + QLatin1Char('\n');
    }
    return testo;
}

QString DispositivoDaOpzione(const QString &valore) {
    if (IndirizzoDiRete(valore)) return valore.trimmed();
    const QFileInfo voce(valore);
    if (voce.isSymLink()) {
        const QString reale = voce.canonicalFilePath();
        return reale.isEmpty() ? voce.absoluteFilePath() : reale;
    }
    if (voce.isRelative() && voce.exists()) return voce.absoluteFilePath();
    return valore;
}

QStringList NomiFileLock(const QString &dispositivo) {
    QString nome = dispositivo;
    if (nome.startsWith(QLatin1String("/dev/"))) nome = nome.mid(5);
    QStringList nomi = {QStringLiteral("LCK..") + QString(nome).replace(QLatin1Char('/'), '_')};
    const QString base = QFileInfo(dispositivo).fileName();
    if (!base.isEmpty() && QStringLiteral("LCK..") + base != nomi.first())
        nomi << QStringLiteral("LCK..") + base;
    return nomi;
}

qint64 PidDaLock(const QByteArray &contenuto) {
    const QByteArray riga = contenuto.left(contenuto.indexOf('\n')).trimmed();
    bool ok = false;
    const qint64 pid = riga.toLongLong(&ok);
    if (ok) return pid > 0 ? pid : 0;
    if (contenuto.size() == 4) {
        // A binary number in the machine's own byte order.
        qint32 binario = 0;
        std::copy(contenuto.constBegin(), contenuto.constEnd(), reinterpret_cast<char *>(&binario));
        return binario > 0 ? binario : 0;
    }
    return 0;
}

QString MotivoAperturaFallita(const AperturaFallita &a) {
    if (IndirizzoDiRete(a.dispositivo))
        return QStringLiteral("Impossibile collegarsi alla centrale in rete %1: %2.")
            .arg(a.dispositivo, a.motivo);
    QString testo = QStringLiteral("Impossibile aprire la porta seriale %1").arg(a.porta);
    if (!a.dispositivo.isEmpty()) testo += QStringLiteral(" (%1)").arg(a.dispositivo);
    testo += QStringLiteral(": ") +
             (a.motivo.isEmpty() ? QStringLiteral("porta chiusa") : a.motivo) + QStringLiteral(".");
    if (a.occupata)
        testo += a.chi.isEmpty()
                     ? QStringLiteral(" La porta è occupata da un altro programma.")
                     : QStringLiteral(" La porta è occupata da un altro programma: %1.").arg(a.chi);
    return testo;
}

QString MessaggioAperturaFallita(const AperturaFallita &a) {
    if (IndirizzoDiRete(a.dispositivo))
        return QStringLiteral("Impossibile collegarsi alla centrale in rete %1: %2.\n"
                              "Controlla l'indirizzo e la porta TCP, che il server seriale sia "
                              "acceso e raggiungibile da questo computer, e che nessun altro "
                              "programma vi sia già collegato.")
            .arg(a.dispositivo, a.motivo);
    // Only COM1 ... COM9 name a port: a link of another name is never looked up.
    const bool numeroValido = a.porta.size() == 4 && a.porta.startsWith(QLatin1String("COM")) &&
                              a.porta[3] >= QLatin1Char('1') && a.porta[3] <= QLatin1Char('9');
    QString testo = QStringLiteral("Impossibile aprire la porta seriale %1").arg(a.porta);
    if (!a.dispositivo.isEmpty()) testo += QStringLiteral(" (%1)").arg(a.dispositivo);
    testo += QStringLiteral(": ") +
             (a.motivo.isEmpty() ? QStringLiteral("porta chiusa") : a.motivo) + QStringLiteral(".");
    if (!numeroValido && a.dispositivo.isEmpty())
        testo += QStringLiteral("\nSi possono usare solo le porte da COM1 a COM9: scrivi il "
                                "numero, da 1 a 9, al carattere 10 della prima riga di "
                                "Seriale318.con (per esempio rs232;COM1;&45;).");
    if (a.occupata) {
        testo +=
            a.chi.isEmpty()
                ? QStringLiteral("\nLa porta è occupata da un altro programma.")
                : QStringLiteral("\nLa porta è occupata da un altro programma: %1.").arg(a.chi);
        if (a.chi.startsWith(QLatin1String("ModemManager")))
            testo += QStringLiteral(" ModemManager prova ogni adattatore appena collegato: "
                                    "attendi qualche secondo e riavvia il programma.");
        else
            testo += QStringLiteral(" Chiudi quel programma e riavvia questo.");
        // The port is the right one: no other port nor a new link to offer.
        return testo;
    } else if (a.negata) {
#ifdef Q_OS_LINUX
        testo += QStringLiteral("\nSu Linux l'utente deve poter usare la porta: gruppo \"dialout\" "
                                "(sudo usermod -aG dialout $USER, poi un nuovo accesso).");
#endif
    }

    testo += QStringLiteral("\n\n");
    if (a.porte.isEmpty()) {
        testo += QStringLiteral("Nessuna porta seriale trovata: collega l'adattatore e riavvia "
                                "il programma.");
    } else {
        testo += QStringLiteral("Porte seriali presenti:\n");
        for (const PortaSeriale &p : a.porte) {
            QStringList dettagli;
            for (const QString &d : {p.descrizione, p.produttore, p.numeroSerie})
                if (!d.simplified().isEmpty()) dettagli << d.simplified();
            testo += QStringLiteral("  ") + p.dispositivo;
            if (!dettagli.isEmpty()) testo += QStringLiteral("  (") + dettagli.join(", ") + ')';
            testo += QLatin1Char('\n');
        }
    }
    const QString esempio =
        a.porte.isEmpty() ? QStringLiteral("DISPOSITIVO") : a.porte.first().dispositivo;
    const QString porta = numeroValido ? a.porta : QStringLiteral("COM1");
#ifdef Q_OS_WIN
    testo += QStringLiteral("\nPer usarne una: scrivine il numero in Seriale318.con, "
                            "oppure avvia il programma con l'opzione --porta:\n"
                            "  velto318 --porta %1")
                 .arg(esempio);
#else
    // The address file replaces a link of the same name: written through
    // the link, the address would go down the line to the device.
    testo +=
        QStringLiteral("\nPer usarne una: un collegamento simbolico %1 nella cartella di avvio\n"
                       "  ln -sf %2 \"%3\"\n"
                       "oppure avvia il programma con l'opzione --porta:\n"
                       "  velto318 --porta %2\n"
                       "Per una centrale dietro un server seriale in rete: un file %1 "
                       "nella cartella di avvio con l'indirizzo nella prima riga\n"
                       "  rm -f \"%3\"; echo tcp://192.168.1.50:4001 > \"%3\"\n"
                       "(oppure rfc2217://...), o lo stesso indirizzo con --porta.")
            .arg(porta, esempio, QDir(a.cartella).filePath(porta));
#endif
    return testo;
}
