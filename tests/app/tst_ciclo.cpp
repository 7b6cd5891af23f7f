// The whole application run, from start-up to its end, against the simulator.
#include "Aspetto.h"
#include "Attendi.h"
#include "Azioni.h"
#include "CicloPrincipale.h"
#include "FormPrincipaleTest.h"
#include "FormScriveMessaggi.h"
#include "FormSeriale.h"
#include "Collegamento.h"
#include "Variabili.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Variabili;

namespace {
FormScriveMessaggi *Programmazione(FormPrincipaleTest &f) {
    auto *p = f.findChild<FormScriveMessaggi *>();
    return p && p->isVisible() ? p : nullptr;
}
} // namespace

class TestCiclo : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Simulatore> sim;
    QString cartellaIniziale;

    void avviaSimulatore(const QStringList &argomenti = {"--fast"}) {
        sim = std::make_unique<Simulatore>(dir->path(), argomenti);
        QVERIFY(sim->avvia());
    }

  private slots:
    void initTestCase() {
        ImpostaSostituzioniFont();
        cartellaIniziale = QDir::currentPath();
    }
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(dir->path()); // the start-up folder
    }
    void cleanup() {
        AnnullaAzioni();
        QDir::setCurrent(cartellaIniziale);
        sim.reset();
    }

    // "Progr" during the loading of the texts: the loading ends, one whole
    // cycle runs, then the programming window opens; "Exit" ends everything.
    void progrDuranteCaricaTestiEdExit() {
        avviaSimulatore();
        FormPrincipaleTest f;
        QStringList allApertura;
        Quando([&] { return sim->comandi().size() >= 10; }, [&] { f.Command1->click(); });
        Quando([&] { return Programmazione(f) != nullptr; },
               [&] {
                   allApertura = sim->comandi();
                   Programmazione(f)->Command2->click();
               });
        Form_Load(f);
        QCOMPARE(QFile(dir->filePath("Seriale318.con")).size(), 22); // default written
        QCOMPARE(allApertura.first(), QString("&45SA"));
        QCOMPARE(Conta(allApertura, "&450R"), 94);
        QCOMPARE(allApertura.mid(95), QStringList({"&45SA", "&4501", "&4502", "&4503", "&4509"}));
        QCOMPARE(Scelta, QString("Finisci"));
        QVERIFY(!f.isVisible());
        QCOMPARE(sim->comandi().size(), allApertura.size()); // nothing after the end
        // The port was closed: it can be opened again.
        FormSeriale::Istanza().MSComm1.setCartellaPorte(dir->path());
        FormSeriale::Istanza().ApriSeriale();
        QVERIFY(FormSeriale::Istanza().MSComm1.PortOpen());
        FormSeriale::Scarica();
    }

    // A panel that is programming itself keeps the entry poll going.
    void pannelloInProgrammazione() {
        avviaSimulatore({"--fast", "--status", "I"});
        FormPrincipaleTest f;
        QString text3;
        Quando([&] { return sim->comandi().size() >= 5; },
               [&] {
                   text3 = f.Text3->text();
                   sim->ordina("status R");
               });
        Quando([&] { return Conta(sim->comandi(), "&450R") > 0; }, [&] { f.close(); });
        Form_Load(f);
        QCOMPARE(text3, QString("Velto in programmazione"));
        const QStringList c = sim->comandi();
        QVERIFY(Conta(c.mid(0, 5), "&45SA") == 5);
    }

    // "Test Funzionamento" goes back to test mode: display reset, entry poll,
    // texts loaded again. The programming window keeps its state.
    void testFunzionamentoRicaricaETieneLoStato() {
        avviaSimulatore();
        FormPrincipaleTest f;
        int volte = 0;
        QElapsedTimer chiusura;
        int comandiAllaChiusura = 0;
        std::function<void()> programma;
        programma = [&] {
            FormScriveMessaggi *p = Programmazione(f);
            ++volte;
            if (volte == 1) {
                p->Text1->setText("stato conservato");
                p->Command3->click();
                Quando([&] { return Conta(sim->comandi(), "&450R") >= 94 + 10; },
                       [&] { f.Command1->click(); });
                Quando([&] { return Programmazione(f) != nullptr && volte == 1; }, programma);
            } else {
                QCOMPARE(p->Text1->text(), QString("stato conservato"));
                p->Command3->click();
                // Then the close box during test mode ends everything at once.
                Quando([&] { return Conta(sim->comandi(), "&4501") >= 2 + 2; },
                       [&] {
                           comandiAllaChiusura = sim->comandi().size();
                           chiusura.start();
                           f.close();
                       });
            }
        };
        Quando([&] { return sim->comandi().size() >= 3; }, [&] { f.Command1->click(); });
        Quando([&] { return Programmazione(f) != nullptr; }, programma);
        Form_Load(f);
        QVERIFY(chiusura.elapsed() < 500);
        QCOMPARE(volte, 2);
        QVERIFY(Conta(sim->comandi(), "&450R") >= 94 * 3);
        Attendi(200);
        QVERIFY(sim->comandi().size() <= comandiAllaChiusura + 1);
        QVERIFY(!FormSeriale::Istanza().MSComm1.PortOpen());
        FormSeriale::Scarica();
    }

    // Closed while the red error button waits.
    void chiusuraDuranteAttesaErrore() {
        avviaSimulatore({"--fast", "--silent"});
        FormPrincipaleTest f;
        Quando([&] { return f.TastoErroreSeriale->isVisible(); }, [&] { f.close(); });
        QElapsedTimer t;
        t.start();
        Form_Load(f);
        QVERIFY(t.elapsed() < 4000);
        QCOMPARE(sim->comandi().size(), 2);
    }

    // The executable itself: started in a folder with the simulator on COM1,
    // it follows the panel and ends cleanly, port closed, on SIGTERM.
    void eseguibileFinisceSuSegnale() {
        avviaSimulatore();
        QProcess app;
        app.setWorkingDirectory(dir->path());
        app.start(QStringLiteral(VELTO_APP), {"-platform", "offscreen"});
        QVERIFY(app.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(Conta(sim->comandi(), "&4509") >= 2, 15000);
        app.terminate();
        QVERIFY(app.waitForFinished(3000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
        const int dopo = sim->comandi().size();
        QTest::qWait(300);
        QCOMPARE(sim->comandi().size(), dopo);
        // The port is free again: another tool can open it.
        NumeroPorta = "1";
        FormSeriale::Istanza().MSComm1.setCartellaPorte(dir->path());
        FormSeriale::Istanza().ApriSeriale();
        QVERIFY(FormSeriale::Istanza().MSComm1.PortOpen());
        FormSeriale::Scarica();
    }

    // No port: the operator is told why, and can still reach the programming window.
    void portaCheNonSiApre() {
        QVERIFY(QFile::link(dir->filePath("nessun-adattatore"), dir->filePath("COM1")));
        FormPrincipaleTest f;
        QString avviso;
        bool programmazioneAperta = false;
        Quando([&] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); },
               [&] {
                   auto *m = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                   avviso = m->text();
                   m->accept();
               });
        Quando([&] { return f.TastoErroreSeriale->isVisible(); }, [&] { f.Command1->click(); });
        Quando([&] { return Programmazione(f) != nullptr; },
               [&] {
                   programmazioneAperta = true;
                   Programmazione(f)->Command2->click();
               });
        Form_Load(f);
        QVERIFY2(avviso.contains("COM1") && avviso.contains("nessun-adattatore") &&
                     avviso.contains("non esiste"),
                 qPrintable(avviso));
        QVERIFY(programmazioneAperta);
    }
};

QTEST_MAIN(TestCiclo)
#include "tst_ciclo.moc"
