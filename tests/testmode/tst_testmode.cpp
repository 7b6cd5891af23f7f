// Test mode against the panel simulator: texts loaded, states painted.
#include "Aspetto.h"
#include "Azioni.h"
#include "FormPrincipaleTest.h"
#include "FormSeriale.h"
#include "Banco.h"
#include "Attendi.h"
#include "TempoCpu.h"
#include "Variabili.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Variabili;

class TestModoTest : public QObject {
    Q_OBJECT
    Banco banco;
    std::unique_ptr<FormPrincipaleTest> f;

    bool rosso(QWidget *w) { return Sfondo(w) == ColoreRosso(); }
    bool neutro(QWidget *w) { return Sfondo(w) == ColoreFacciaPulsante(); }

  private slots:
    void initTestCase() { ImpostaSostituzioniFont(); }
    void init() {
        banco.inizio();
        f = std::make_unique<FormPrincipaleTest>();
        f->show();
    }
    void cleanup() {
        f.reset();
        banco.fine();
    }

    void finestraEControlli() {
        QCOMPARE(f->windowTitle(), QString("Test Velto   (Velto318)  "));
        QCOMPARE(f->size(), QSize(750, 488));
        QCOMPARE(f->Allarmi.size(), 47);
        QCOMPARE(f->findChild<QLabel *>("Allarmi(20)"), f->Allarmi[20]);
        QCOMPARE(f->Allarmi[0]->geometry(), QRect(25, 50, 126, 31));
        QCOMPARE(f->Allarmi[10]->geometry(), QRect(20, 120, 131, 31));
        QCOMPARE(f->Allarmi[43]->geometry(), QRect(425, 330, 131, 31));
        QCOMPARE(f->Allarmi[46]->text(), QString("       Reset"));
        QCOMPARE(f->Command1->text(), QString("Progr"));
        QVERIFY(f->findChild<QPushButton *>("TastoErroreSeriale")->isHidden());
        QVERIFY(QFontInfo(f->Allarmi[0]->font()).fixedPitch());
        QVERIFY(QFontInfo(f->NomeVelto[0]->font()).fixedPitch());
        f->Command1->click();
        QCOMPARE(f->StatoProgramma, QString("Stoppato"));
        f->TastoErroreSeriale_Click();
        QVERIFY(f->TastoErroreSerialeFlag);
    }

    void azzeramentoDelDisplay() {
        f->Allarmi[3]->setText("vecchio");
        ImpostaSfondo(f->Allarmi[44], ColoreRosso());
        ImpostaSfondo(f->MessaggioRiposo[0], ColoreVerde());
        f->AzzeraDisplay();
        QCOMPARE(f->Allarmi[3]->text(), QString(17, ' '));
        QCOMPARE(f->NomeVelto[0]->text(), QString(17, ' '));
        QCOMPARE(f->Allarmi[44]->text(), QString("P L"));
        QVERIFY(neutro(f->Allarmi[44]));
        QVERIFY(neutro(f->MessaggioRiposo[0]));
        QCOMPARE(f->FineCiclata[0]->text(), QString("1234567890123456 Fine Ciclata"));
    }

    void caricaTestiDidascalie() {
        AVVIA(banco);
        banco->ordina("text 0 Zona uno");
        banco->ordina("text 1 piano terra");
        banco->ordina("text 2 non letto");
        banco->ordina("text 172 Zona 44");
        banco->ordina("text 173 fine");
        for (int n = 176; n <= 181; ++n)
            banco->ordina(QString("text %1 riga%1").arg(n));
        f->CaricaTesti();
        auto sedici = [](const QString &s) { return s.leftJustified(16); };
        QCOMPARE(f->Allarmi[0]->text(), "1" + sedici("Zona uno") + sedici("piano terra"));
        QCOMPARE(f->Allarmi[43]->text(), "44" + sedici("Zona 44") + sedici("fine"));
        QCOMPARE(f->MessaggioRiposo[0]->text(), sedici("riga176") + sedici("riga177"));
        QCOMPARE(f->FineCiclata[0]->text(), sedici("riga178") + sedici("riga179"));
        QCOMPARE(f->NomeVelto[0]->text(), sedici("riga180") + sedici("riga181"));
        const QStringList comandi = banco->comandi();
        QCOMPARE(comandi.size(), 94);
        QCOMPARE(comandi.first(), QString("&450R000"));
        QCOMPARE(comandi[2], QString("&450R004"));
        QCOMPARE(comandi.last(), QString("&450R181"));
        QVERIFY(!comandi.contains("&450R002"));
    }

    void coloriDelloStato() {
        AVVIA(banco);
        ImpostaSfondo(f->Allarmi[7], ColoreRosso());
        ImpostaSfondo(f->Allarmi[44], ColoreRosso());
        f->LeggiStato();
        QCOMPARE(Sfondo(f->MessaggioRiposo[0]), ColoreVerde());
        QVERIFY(neutro(f->NomeVelto[0]) && neutro(f->FineCiclata[0]));
        QVERIFY(neutro(f->Allarmi[7]));
        QVERIFY(rosso(f->Allarmi[44])); // the tiles are not reset by the rest state

        banco->ordina("status A");
        f->LeggiStato();
        QVERIFY(neutro(f->MessaggioRiposo[0]));
        QVERIFY(rosso(f->FineCiclata[0]));
        QVERIFY(rosso(f->NomeVelto[0]));
    }

    void ingressiDiOgniGruppo() {
        AVVIA(banco);
        for (int n : {5, 21, 37, 45, 46})
            banco->ordina(QString("input %1 C").arg(n));
        banco->ordina("input 2 x"); // unknown state: window left as it was
        ImpostaSfondo(f->Allarmi[1], ColoreVerde());
        f->LeggiIngressi();
        for (int i : {4, 20, 36, 44, 45})
            QVERIFY2(rosso(f->Allarmi[i]), qPrintable(QString::number(i)));
        QCOMPARE(Sfondo(f->Allarmi[1]), ColoreVerde());
        QVERIFY(neutro(f->Allarmi[0]));
        QCOMPARE(f->ComeIngressi, QString("C")); // last position of group 3

        // Panel at rest with input 21 still active: red again in the same cycle.
        f->LeggiStato();
        QVERIFY(neutro(f->Allarmi[20]));
        f->LeggiIngressi();
        QVERIFY(rosso(f->Allarmi[20]));

        for (int n : {45, 46})
            banco->ordina(QString("input %1 -").arg(n));
        f->LeggiIngressi();
        QVERIFY(neutro(f->Allarmi[44]) && neutro(f->Allarmi[45]));
    }

    void tastoPremuto() {
        AVVIA(banco);
        banco->ordina("key A");
        f->LeggiTasto();
        QCOMPARE(f->LabelTastoPremuto->text(), QString(" #"));
        banco->ordina("key C"); // two keys at once
        f->LeggiTasto();
        QCOMPARE(f->LabelTastoPremuto->text(), QString(" #"));
        banco->ordina("key `");
        f->LeggiTasto();
        QCOMPARE(f->LabelTastoPremuto->text(), QString("ack"));
    }

    // Adapter unplugged while the texts load, after "Progr" (so no error wait
    // holds the repeats): the read is repeated, without spinning a core, until
    // the adapter is back, and then it succeeds.
    void adattatoreScollegatoDuranteIlCaricamento() {
        AVVIA(banco);
        banco.scollega();
        f->StatoProgramma = "Stoppato";
        NumeroTesto = 5;
        TreCifre();
        const double cpu = TempoCpu();
        QElapsedTimer t;
        t.start();
        Quando([&] { return t.elapsed() > 2500; },
               [&] {
                   AVVIA(banco, {"--fast"}, false);
                   banco->ordina("text 5 di nuovo qui");
               });
        f->LeggiTesto();
        QVERIFY2(TempoCpu() - cpu < 0.3, qPrintable(QString::number(TempoCpu() - cpu)));
        QVERIFY(!ErroreSeriale);
        QCOMPARE(DatiRisposta, QString("di nuovo qui").leftJustified(16));
    }

    // A silent panel stops test mode at the failed exchange until the operator
    // clicks the red button; the reply is then decoded like any other.
    void pannelloMutoPulsanteRosso() {
        AVVIA(banco, {"--fast", "--silent"});
        f->LabelTastoPremuto->setText(" +");
        QString text3InAttesa, didascalia;
        bool rossoInAttesa = false;
        Quando([&] { return f->TastoErroreSeriale->isVisible(); },
               [&] {
                   text3InAttesa = f->Text3->text();
                   didascalia = f->TastoErroreSeriale->text();
                   rossoInAttesa = rosso(f->TastoErroreSeriale);
                   f->TastoErroreSeriale->click();
               });
        f->LeggiTasto();
        QCOMPARE(text3InAttesa, QString("&4509\r"));
        QCOMPARE(didascalia, QString("Errore Seriale Premi qui"));
        QVERIFY(rossoInAttesa);
        QVERIFY(f->TastoErroreSeriale->isHidden());
        QCOMPARE(f->Text3->text(), QString("1234567errore seriale "));
        QCOMPARE(f->LabelTastoPremuto->text(), QString(" +"));

        // "Progr" also ends the wait, without a click.
        Quando([&] { return f->TastoErroreSeriale->isVisible(); }, [&] { f->Command1->click(); });
        f->LeggiStato();
        QVERIFY(rosso(f->FineCiclata[0])); // the marker is not "R"
    }
};

QTEST_MAIN(TestModoTest)
#include "tst_testmode.moc"
