#include "shared/Attendi.h"
#include "shared/Numeri.h"
#include "support/TempoCpu.h"
#include "shared/Variabili.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace Variabili;

class TestShared : public QObject {
    Q_OBJECT
  private slots:
    void treCifre_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("atteso");
        const QList<QPair<int, QString>> casi = {
            {0, "000"},   {7, "007"},   {9, "009"},   {10, "010"},  {45, "045"},  {99, "099"},
            {100, "100"}, {109, "109"}, {110, "110"}, {181, "181"}, {192, "192"}, {199, "199"}};
        for (const auto &c : casi)
            QTest::newRow(qPrintable(c.second)) << c.first << c.second;
    }
    void treCifre() {
        QFETCH(int, n);
        QFETCH(QString, atteso);
        NumeroTesto = qint16(n);
        TreCifre();
        QCOMPARE(NumeroTre, atteso);
    }

    void treCifreTuttiINumeri() {
        for (int n = 0; n <= 199; ++n) {
            NumeroTesto = qint16(n);
            TreCifre();
            QCOMPARE(NumeroTre, QString::asprintf("%03d", n));
        }
        // NumeroTre keeps its value until TreCifre runs again.
        NumeroTesto = 5;
        QCOMPARE(NumeroTre, QString("199"));
    }

    void attendiZeroNonPompa() {
        bool eseguito = false;
        QTimer::singleShot(0, this, [&] { eseguito = true; });
        Attendi(0);
        QVERIFY(!eseguito);
        Attendi(1);
        QVERIFY(eseguito);
    }

    void attendiDuraQuantoDeveSenzaOccupareLaCpu() {
        QElapsedTimer t;
        t.start();
        const double cpu = TempoCpu();
        Attendi(300);
        const qint64 trascorsi = t.elapsed();
        QVERIFY2(trascorsi >= 300 && trascorsi < 450, qPrintable(QString::number(trascorsi)));
        // A busy wait would burn about 300 ms of CPU.
        QVERIFY2(TempoCpu() - cpu < 0.05, qPrintable(QString::number(TempoCpu() - cpu)));

        t.restart();
        Attendi(10);
        QVERIFY(t.elapsed() >= 10 && t.elapsed() < 80);
    }

    void attendiServeGliEventiMentreAspetta() {
        int scatti = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] { ++scatti; });
        timer.start(20);
        Attendi(210);
        QVERIFY2(scatti >= 8, qPrintable(QString::number(scatti)));
    }

    void attendiFiniscePrimaSeLaApplicazioneChiude() {
        QTimer::singleShot(50, this, [] { ChiusuraRichiesta = true; });
        QElapsedTimer t;
        t.start();
        Attendi(5000);
        ChiusuraRichiesta = false;
        QVERIFY(t.elapsed() < 1000);
    }

    void valoreIniziale_data() {
        QTest::addColumn<QString>("testo");
        QTest::addColumn<double>("valore");
        QTest::newRow("cifre") << "485" << 485.0;
        QTest::newRow("blank davanti") << " 45" << 45.0;
        QTest::newRow("blank in mezzo") << "4 8" << 48.0;
        QTest::newRow("segno") << "-12" << -12.0;
        QTest::newRow("punto") << "1.5" << 1.5;
        QTest::newRow("si ferma") << "12a" << 12.0;
        QTest::newRow("nessun numero") << "---" << 0.0;
        QTest::newRow("lettere") << "ABC" << 0.0;
        QTest::newRow("vuoto") << "" << 0.0;
        QTest::newRow("due punti") << "1.2.3" << 1.2;
        QTest::newRow("segno solo") << "+" << 0.0;
    }
    void valoreIniziale() {
        QFETCH(QString, testo);
        QFETCH(double, valore);
        QCOMPARE(ValoreIniziale(testo), valore);
    }
};

QTEST_GUILESS_MAIN(TestShared)
#include "tst_shared.moc"
