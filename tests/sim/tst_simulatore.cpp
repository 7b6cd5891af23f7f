// The panel simulator: orders it refuses leave the panel as it was.
#include "sim/Ordini.h"
#include "sim/Pannello.h"
#include "support/Simulatore.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Sends a status command on the pseudo-terminal linked at `percorso` and gives what
// comes back within two seconds, up to its CR.
QByteArray Stato(const QString &percorso) {
    const int fd = ::open(QFile::encodeName(percorso).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0) return "cannot open " + percorso.toLocal8Bit();
    QByteArray r;
    if (::write(fd, "&45SA\r", 6) == 6) {
        const QDeadlineTimer scadenza(2000);
        while (!r.endsWith('\r') && !scadenza.hasExpired()) {
            pollfd f{fd, POLLIN, 0};
            if (::poll(&f, 1, int(scadenza.remainingTime())) <= 0) continue;
            char buf[64];
            const ssize_t letti = ::read(fd, buf, sizeof buf);
            if (letti <= 0) break;
            r.append(buf, int(letti));
        }
    }
    ::close(fd);
    return r;
}

} // namespace

class TestSimulatore : public QObject {
    Q_OBJECT

  private slots:
    // A refused order answers an error and changes nothing: a huge delay does not
    // leave the panel mute, a bad number does not reset the old value; a negative
    // or huge delay is refused as an order and as an option.
    void ordiniRifiutatiNonCambianoNulla() {
        sim::Pannello p;
        p.stato = 'A';
        p.ingressi[4] = 'C';
        p.testi[7] = "Zona Nord 07    ";
        p.saltaOgni = 3;
        p.ritardoMs = 25;
        p.tacciDopo = 9;
        p.risposte = 2;
        p.cambiato = 5;
        const sim::Pannello prima = p;
        const QStringList rifiutati =
            QString(
                "delay 99999999999|delay 2147483648|delay -5|delay x|delay 5x|delay|delay 1 2|"
                "drop x|drop -1|drop 99999999999|silentafter x|silentafter 99999999999999999999|"
                "silentafter -1|input 0 C|input 47 C|input 5x C|input 5 CC|inputs corto|"
                "text 200 a|text -1 a|text 7x a|change 200|change x|silent forse|status|key AB|"
                "dump|quit ora|sconosciuto 1")
                .split('|');
        for (const QString &ordine : rifiutati) {
            const sim::Esito e = sim::Ordine(p, ordine.toStdString());
            QVERIFY2(e.risposta.rfind("error ", 0) == 0, qPrintable(ordine));
            QVERIFY2(p == prima, qPrintable(ordine));
            QVERIFY2(!e.fine && e.elencoIn.empty(), qPrintable(ordine));
        }

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Simulatore simulatore(dir.path());
        QVERIFY2(simulatore.avvia(), qPrintable(simulatore.errore()));
        for (const char *ordine :
             {"delay 99999999999", "delay -1", "delay x", "drop x", "silentafter x"})
            QVERIFY2(simulatore.ordina(ordine).startsWith("error "), ordine);
        QCOMPARE(Stato(dir.filePath("COM1")), QByteArray("&45SAR\r"));

        for (const char *ritardo : {"99999999999", "-5", "x"}) {
            QProcess avvio;
            avvio.start(QStringLiteral(VELTO_SIM),
                        {"--link", dir.filePath("COM2"), "--fast", "--delay", ritardo});
            QVERIFY(avvio.waitForFinished(5000));
            QCOMPARE(avvio.exitCode(), 2);
            QVERIFY(!avvio.readAllStandardOutput().contains("READY"));
        }
        // A link into a folder that is not there: said so, status 1.
        QProcess avvio;
        avvio.start(QStringLiteral(VELTO_SIM), {"--link", dir.filePath("manca/COM1")});
        QVERIFY(avvio.waitForFinished(5000));
        QCOMPARE(avvio.exitCode(), 1);
        QCOMPARE(QString::fromLocal8Bit(avvio.readAllStandardError()),
                 QString("velto318-sim: la cartella %1 non esiste: impossibile creare il "
                         "collegamento %2\n")
                     .arg(dir.filePath("manca"), dir.filePath("manca/COM1")));
    }
};

QTEST_GUILESS_MAIN(TestSimulatore)
#include "tst_simulatore.moc"
