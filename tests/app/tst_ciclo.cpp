// The whole application run, from start-up to its end, against the simulator.
#include "widgets/Aspetto.h"
#include "shared/Attendi.h"
#include "support/Azioni.h"
#include "app/CicloPrincipale.h"
#include "app/Segnali.h"
#include "support/FileProva.h"
#include "testmode/FormPrincipaleTest.h"
#include "programming/FormScriveMessaggi.h"
#include "files/EditaMessaggi.h"
#include "files/FormSalvaFile.h"
#include "link/FormSeriale.h"
#include "support/Aperta.h"
#include "support/Banco.h"
#include "support/Simulatore.h"
#include "linea/FinestreLinea.h"
#include "shared/Variabili.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>
#include <sys/stat.h>

using namespace Variabili;

namespace {
FormScriveMessaggi *FinestraProgrammazione(FormPrincipaleTest &f) {
    auto *p = f.findChild<FormScriveMessaggi *>();
    return p && p->isVisible() ? p : nullptr;
}
} // namespace

class TestCiclo : public QObject {
    Q_OBJECT
    Banco banco;
    QString cartellaIniziale;

  private slots:
    void initTestCase() {
        ImpostaSostituzioniFont();
        cartellaIniziale = QDir::currentPath();
    }
    void init() {
        banco.inizio();
        QDir::setCurrent(banco.cartella()); // the start-up folder
    }
    void cleanup() {
        QDir::setCurrent(cartellaIniziale);
        banco.fine();
    }

    // "Progr" during the loading of the texts: the loading ends, one whole
    // cycle runs, then the programming window opens; "Exit" ends everything.
    void progrDuranteCaricaTestiEdExit() {
        AVVIA(banco, {"--fast"}, false);
        FormPrincipaleTest f;
        QStringList allApertura;
        Quando([&] { return banco->comandi().size() >= 10; }, [&] { f.Command1->click(); });
        Quando([&] { return FinestraProgrammazione(f) != nullptr; },
               [&] {
                   allApertura = banco->comandi();
                   FinestraProgrammazione(f)->Command2->click();
               });
        Form_Load(f);
        QCOMPARE(QFile(banco.percorso("Seriale318.con")).size(), 22); // default written
        QVERIFY2(!allApertura.isEmpty(), "the programming window never opened");
        QCOMPARE(allApertura.first(), QString("&45SA"));
        QCOMPARE(Conta(allApertura, "&450R"), 94);
        QCOMPARE(allApertura.mid(95), QStringList({"&45SA", "&4501", "&4502", "&4503", "&4509"}));
        QCOMPARE(Scelta, QString("Finisci"));
        QVERIFY(!f.isVisible());
        QCOMPARE(banco->comandi().size(), allApertura.size()); // nothing after the end
        // The port was closed: it can be opened again.
        QVERIFY2(banco.riapri(), qPrintable(banco.errore()));
        FormSeriale::Scarica();
    }

    // Another panel chosen with "Porta…" during test mode: its texts are
    // loaded before the cycle goes on.
    void altraCentraleDallaPorta() {
        AVVIA(banco, {"--fast"}, false);
        QTemporaryDir cartella;
        Simulatore altra(cartella.path());
        QVERIFY(altra.avvia());
        QCOMPARE(altra.ordina("text 0 Seconda"), QString("ok"));
        FormPrincipaleTest f;
        Quando([&] { return Aperta<FormPorta>(); },
               [&] {
                   auto *p = Aperta<FormPorta>();
                   p->Indirizzo->setText(QFileInfo(cartella.filePath("COM1")).symLinkTarget());
                   p->Usa->click();
                   p->Chiudi->click();
               });
        Quando([&] { return Conta(banco->comandi(), "&4509") >= 1; },
               [&] { f.findChild<QAction *>("VocePorta")->trigger(); });
        Quando([&] { return f.Allarmi[0]->text().contains("Seconda"); }, [&] { f.close(); });
        Form_Load(f);
        QVERIFY2(f.Allarmi[0]->text().contains("Seconda"), qPrintable(f.Allarmi[0]->text()));
        FormSeriale::Scarica();
    }

    // A panel that is programming itself keeps the entry poll going.
    void pannelloInProgrammazione() {
        AVVIA(banco, {"--fast", "--status", "I"}, false);
        FormPrincipaleTest f;
        QString text3;
        Quando([&] { return banco->comandi().size() >= 5; },
               [&] {
                   text3 = f.Text3->text();
                   banco->ordina("status R");
               });
        Quando([&] { return Conta(banco->comandi(), "&450R") > 0; }, [&] { f.close(); });
        Form_Load(f);
        QCOMPARE(text3, QString("Velto in programmazione"));
        const QStringList c = banco->comandi();
        QVERIFY(Conta(c.mid(0, 5), "&45SA") == 5);
    }

    // "Test Funzionamento" goes back to test mode: display reset, entry poll,
    // texts loaded again. The programming window keeps its state.
    void testFunzionamentoRicaricaETieneLoStato() {
        AVVIA(banco, {"--fast"}, false);
        QCOMPARE(banco->ordina("input 3 C"), QString("ok"));
        FormPrincipaleTest f;
        int volte = 0;
        QElapsedTimer chiusura;
        int comandiAllaChiusura = 0;
        std::function<void()> programma;
        programma = [&] {
            FormScriveMessaggi *p = FinestraProgrammazione(f);
            ++volte;
            if (volte == 1) {
                p->Text1->setText("stato conservato");
                p->Command3->click();
                Quando([&] { return Conta(banco->comandi(), "&450R") >= 94 + 10; },
                       [&] { f.Command1->click(); });
                Quando([&] { return FinestraProgrammazione(f) != nullptr && volte == 1; },
                       programma);
            } else {
                QCOMPARE(p->Text1->text(), QString("stato conservato"));
                p->Command3->click();
                // Then the close box during test mode ends everything at once.
                Quando([&] { return Conta(banco->comandi(), "&4501") >= 2 + 2; },
                       [&] {
                           comandiAllaChiusura = banco->comandi().size();
                           chiusura.start();
                           f.close();
                       });
            }
        };
        Quando([&] { return banco->comandi().size() >= 3; }, [&] { f.Command1->click(); });
        Quando([&] { return FinestraProgrammazione(f) != nullptr; }, programma);
        Form_Load(f);
        // At once: well before a reply's time-out (0.8 s) could pass.
        QVERIFY2(chiusura.elapsed() < 800, qPrintable(QString::number(chiusura.elapsed())));
        QCOMPARE(volte, 2);
        QVERIFY(Conta(banco->comandi(), "&450R") >= 94 * 3);
        Attendi(200);
        QVERIFY(banco->comandi().size() <= comandiAllaChiusura + 1);
        QVERIFY(!FormSeriale::Istanza().MSComm1.PortOpen());
        FormSeriale::Scarica();
        // The walk test does not claim the time in the programming window: a
        // gap, and the active input's bar broken by it.
        const Prova::Registro &r = f.RegistroProva;
        QCOMPARE(r.Sospensioni().size(), size_t(2)); // twice in the programming window
        const auto &barre = r.Ingressi()[2].intervalli;
        QCOMPARE(barre.size(), size_t(3));
        for (size_t k = 0; k < 2; ++k) {
            const Prova::Intervallo &via = r.Sospensioni()[k];
            QVERIFY(barre[k].a == via.da && barre[k + 1].da == via.a && via.a > via.da);
        }
        QStringList eventi;
        for (const Prova::Evento &e : r.Eventi())
            eventi << Prova::Soggetto(r, e) + ": " + Prova::Descrizione(r, e);
        QVERIFY2(eventi.join('\n').contains(
                     "prova: sospesa (modo test fermo, ingressi non letti)\nprova: ripresa"),
                 qPrintable(eventi.join('\n')));
    }

    // Closed while the red error button waits.
    void chiusuraDuranteAttesaErrore() {
        AVVIA(banco, {"--fast", "--silent"}, false);
        FormPrincipaleTest f;
        Quando([&] { return f.TastoErroreSeriale->isVisible(); }, [&] { f.close(); });
        QElapsedTimer t;
        t.start();
        Form_Load(f);
        QVERIFY(t.elapsed() < 4000);
        QCOMPARE(banco->comandi().size(), 2);
    }

    // The executable itself: started in a folder with the simulator on COM1,
    // it follows the panel and ends cleanly, port closed, on SIGTERM or
    // SIGHUP, with 128 plus the signal.
    void eseguibileFinisceSuSegnale_data() {
        QTest::addColumn<int>("segnale");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void eseguibileFinisceSuSegnale() {
        QFETCH(int, segnale);
        AVVIA(banco, {"--fast"}, false);
        QProcess app;
        app.setWorkingDirectory(banco.cartella());
        app.start(QStringLiteral(VELTO_APP), {"-platform", "offscreen"});
        QVERIFY(app.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(Conta(banco->comandi(), "&4509") >= 2, 15000);
        ::kill(pid_t(app.processId()), segnale);
        QVERIFY(app.waitForFinished(3000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 128 + segnale);
        const int dopo = banco->comandi().size();
        QTest::qWait(300);
        QCOMPARE(banco->comandi().size(), dopo);
        // The port is free again: another tool can open it.
        NumeroPorta = "1";
        QVERIFY2(banco.riapri(), qPrintable(banco.errore()));
        FormSeriale::Scarica();
    }

    // A signal during a send from the programming window: the write in
    // progress ends, the send stops, the status line says which texts the
    // panel holds, and the application ends as Exit does.
    void segnaleDuranteUnInvio() {
        AVVIA(banco, {"--fast"}, false);
        QByteArray file = "Prova segnale\r\n";
        for (int n = 0; n < 150; ++n)
            file += QString("%1Nuovo %1 testo \r\n").arg(n, 3, 10, QChar('0')).toLatin1();
        Scrivi(banco.percorso("segnale.vlt"), file + "end\r\n");
        FormPrincipaleTest f;
        ChiudiSuSegnale(&f);
        const auto ripristina = qScopeGuard([] {
            for (int s : {SIGTERM, SIGINT, SIGHUP})
                std::signal(s, SIG_DFL);
        });
        QStringList righe;
        Quando([&] { return Conta(banco->comandi(), "&4509") >= 1; }, [&] { f.Command1->click(); });
        Quando([&] { return FinestraProgrammazione(f) != nullptr; },
               [&] {
                   FormScriveMessaggi *p = FinestraProgrammazione(f);
                   connect(p->Text2, &QLineEdit::textChanged,
                           [&](const QString &t) { righe << t; });
                   NomeFile = banco.percorso("segnale.vlt");
                   p->Command1->click();
               });
        Quando([&] { return Conta(banco->comandi(), "&450W018") >= 20; }, [] { ::raise(SIGTERM); });
        Form_Load(f);
        const auto m = QRegularExpression("^Invio interrotto: scritti (\\d+) testi di 150, da 000 "
                                          "a (\\d{3}); gli altri sono quelli di prima$")
                           .match(righe.value(righe.size() - 1));
        QVERIFY2(m.hasMatch(), qPrintable(righe.join('|')));
        const int scritti = m.captured(1).toInt();
        QCOMPARE(m.captured(2).toInt(), scritti - 1);
        const QStringList scritture = banco->comandi().filter(QRegularExpression("^&450W018"));
        QCOMPARE(scritture.size(), scritti);
        QVERIFY(scritture.last().startsWith(
            QString("&450W018%1Nuovo %1 testo ").arg(scritti - 1, 3, 10, QChar('0'))));
        QCOMPARE(Scelta, QString("Finisci"));
        QVERIFY(!f.isVisible());
    }

    // A signal while edits or read texts wait to be saved: they go to a file
    // of their own, beside the file loaded (which keeps its bytes), or in the
    // working folder when the save window's folder is gone; with the file's
    // permissions, and for this user only for texts read from the panel.
    void segnaleSalvaIlNonSalvato() {
        const QByteArray originale = "c\r\n001Primo           *\r\nend\r\n";
        Scrivi(banco.percorso("ed.vlt"), originale);
        QVERIFY(
            QFile::setPermissions(banco.percorso("ed.vlt"), QFile::ReadOwner | QFile::WriteOwner));
        NomeFile = banco.percorso("ed.vlt");
        const auto ripristina = qScopeGuard([] {
            for (int s : {SIGTERM, SIGINT, SIGHUP})
                std::signal(s, SIG_DFL);
        });
        QWidget finestra;
        ChiudiSuSegnale(&finestra);
        EditaMessaggi e;
        QVERIFY(e.Form_Load());
        Quando([&] { return e.isVisible(); },
               [&] {
                   QTest::keyClick(e.Text1, Qt::Key_Home);
                   QTest::keyClicks(e.Text1, "001Nuovo");
                   ::raise(SIGTERM);
               });
        e.exec();
        QCOMPARE(Leggi(banco.percorso("ed.vlt")), originale);
        const auto copia = [this](const char *modello) {
            const QStringList c = QDir(banco.cartella()).entryList({modello});
            return c.size() == 1 ? Leggi(banco.percorso(c[0])) : QByteArray();
        };
        const auto permessi = [this](const char *modello) {
            const QStringList c = QDir(banco.cartella()).entryList({modello});
            return c.size() == 1 ? QFile::permissions(banco.percorso(c[0])) : QFile::Permissions();
        };
        const QFile::Permissions soloIo =
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        QCOMPARE(copia("ed-non-salvato-*.vlt"), QByteArray("c\r\n001Nuovo           *\r\nend\r\n"));
        QCOMPARE(permessi("ed-non-salvato-*.vlt"), soloIo);

        QVERIFY(QDir(banco.cartella()).mkdir("chiavetta"));
        QDir::setCurrent(banco.percorso("chiavetta"));
        CorpoFile = "001Letto           *";
        CommentoProposto = "Letti";
        FormSalvaFile s;
        QDir::setCurrent(banco.cartella());
        QVERIFY(QDir(banco.percorso("chiavetta")).removeRecursively());
        QWidget altra;
        ChiudiSuSegnale(&altra); // the first signal took the handler away
        Quando([&] { return s.isVisible(); },
               [&] {
                   s.Text1->setText("impianto.vlt");
                   ::raise(SIGTERM);
               });
        s.exec();
        QCOMPARE(copia("impianto-non-salvato-*.vlt"),
                 QByteArray("Letti\r\n001Letto           *\r\nend\r\n"));
        QCOMPARE(permessi("impianto-non-salvato-*.vlt"), soloIo);
    }

    // Start-up held in a system call, where no event pump runs: here the
    // port library, about to open COM1, reads a stale lock file of the port
    // that is a named pipe and waits for a writer. The first SIGTERM or
    // SIGINT only asks for the close; a second one of the same kind ends the
    // process at once, with the signal's own default action.
    void secondoSegnaleTermina_data() {
        QTest::addColumn<int>("segnale");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void secondoSegnaleTermina() {
        QFETCH(int, segnale);
        // The first lock folder the port library may write to.
        if (!QFileInfo(QStringLiteral("/var/lock")).isWritable())
            QSKIP("/var/lock non scrivibile: il blocco non si può preparare");
        const QString porta = banco.percorso("porta");
        QVERIFY(QFile::link(porta, banco.percorso("COM1")));
        const QString lock = "/var/lock/LCK.." + QString(porta).replace('/', '_');
        QVERIFY(::mkfifo(QFile::encodeName(lock), 0600) == 0);
        const auto togli = qScopeGuard([&] { QFile::remove(lock); });

        QProcess app;
        app.setWorkingDirectory(banco.cartella());
        app.start(QStringLiteral(VELTO_APP), {"-platform", "offscreen"});
        QVERIFY(app.waitForStarted());
        const auto ferma = qScopeGuard([&] {
            app.kill();
            app.waitForFinished(3000);
        });
        // The configuration is written after the handlers are set, just
        // before the port is opened.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(banco.percorso("Seriale318.con")), 15000);
        QTest::qWait(300);
        ::kill(pid_t(app.processId()), segnale);
        QVERIFY(!app.waitForFinished(500));
        ::kill(pid_t(app.processId()), segnale);
        QVERIFY(app.waitForFinished(3000));
        QCOMPARE(app.exitStatus(), QProcess::CrashExit);
        QCOMPARE(app.exitCode(), segnale);
    }

    // No port: the operator is told why and what to do in the windows, once
    // (no terminal commands, no second message for the first silence), and
    // can still reach the programming window.
    void portaCheNonSiApre() {
        QVERIFY(QFile::link(banco.percorso("nessun-adattatore"), banco.percorso("COM1")));
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
        Quando([&] { return FinestraProgrammazione(f) != nullptr; },
               [&] {
                   programmazioneAperta = true;
                   FinestraProgrammazione(f)->Command2->click();
               });
        Form_Load(f);
        QVERIFY2(avviso.contains("COM1") && avviso.contains("nessun-adattatore") &&
                     avviso.contains("non esiste") && avviso.contains("tasto destro") &&
                     !avviso.contains("ln -sf") && !avviso.contains("rm -f"),
                 qPrintable(avviso));
        QVERIFY(programmazioneAperta);
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(w->objectName() != "AvvisoNessunaRisposta" || !w->isVisible());
    }
};

QTEST_MAIN(TestCiclo)
#include "tst_ciclo.moc"
