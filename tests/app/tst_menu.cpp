// The context menus' windows against the simulator: the comparison, the
// search, the port and the trace, driven as an operator drives them, and the
// operator told once when the panel does not answer.
#include "linea/FinestreLinea.h"
#include "link/FormSeriale.h"
#include "link/MSComm.h"
#include "programming/FormScriveMessaggi.h"
#include "widgets/Aspetto.h"
#include "shared/Variabili.h"
#include "support/Aperta.h"
#include "support/Azioni.h"
#include "support/Banco.h"
#include "support/FileProva.h"
#include "support/Lavoro.h"
#include "support/Ser2net.h"
#include "testmode/FormPrincipaleTest.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <memory>

namespace {
QString TestoDi(int n) {
    return QString("Testo %1 ab").arg(n, 3, 10, QChar('0')).leftJustified(16);
}
QByteArray FileDi(const QList<int> &numeri) {
    QByteArray f = "Prova menu\r\n";
    for (int n : numeri)
        f += QString("%1%2 nota\r\n").arg(n, 3, 10, QChar('0')).arg(TestoDi(n)).toLatin1();
    return f + "end\r\n";
}
QAction *Voce(QWidget *finestra, const char *nome) {
    return finestra->findChild<QMenu *>("MenuContestuale")->findChild<QAction *>(nome);
}
// Once the window T is open and `pronta` holds for it, runs `azione` on it.
template <class T>
void AllaFinestra(std::function<bool(T *)> pronta, std::function<void(T *)> azione) {
    Quando([=] { return Aperta<T>() && pronta(Aperta<T>()); }, [=] { azione(Aperta<T>()); });
}
} // namespace

class TestMenu : public QObject {
    Q_OBJECT
    Banco banco;
    std::unique_ptr<FormScriveMessaggi> p;

    // The programming window with `file` chosen.
    void programmazione(const QString &file = QString()) {
        p = std::make_unique<FormScriveMessaggi>();
        p->Form_Load();
        p->show();
        if (!file.isEmpty()) V::NomeFile = banco.percorso(file);
    }

  private slots:
    void initTestCase() { ImpostaSostituzioniFont(); }
    void init() { banco.inizio(); }
    void cleanup() {
        AnnullaAzioni();
        p.reset();
        banco.fine();
    }

    // The entries, in order, in both windows. Opened from the keyboard (Menu
    // key, Shift+F10) the first entry is highlighted and Return chooses it;
    // from the mouse, none.
    void voci() {
        programmazione();
        QStringList testi;
        for (QAction *a : p->Menu->actions())
            testi << a->text();
        QCOMPARE(testi,
                 QStringList({"Confronta con il VELTO…", "Cerca il VELTO sulla linea…", "Porta…",
                              "Impianti…", "Traccia degli scambi…", "", "Nuovo file…"}));
        p->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(p.get()));
        QWidget *fuoco = p->focusWidget() ? p->focusWidget() : p.get();
        for (int modo = 0; modo < 3; ++modo) {
            QContextMenuEvent tasto(QContextMenuEvent::Keyboard, {5, 5},
                                    fuoco->mapToGlobal(QPoint(5, 5)));
            QContextMenuEvent mouse(QContextMenuEvent::Mouse, {5, 5}, p->mapToGlobal(QPoint(5, 5)));
            if (modo == 0) QTest::keyClick(p.get(), Qt::Key_F10, Qt::ShiftModifier);
            if (modo > 0)
                QApplication::sendEvent(modo == 1 ? fuoco : p.get(), modo == 1 ? &tasto : &mouse);
            QTRY_VERIFY(p->Menu->isVisible());
            QCOMPARE(p->Menu->activeAction(), modo < 2 ? Voce(p.get(), "VoceConfronta") : nullptr);
            p->Menu->close();
        }
        QTest::keyClick(p.get(), Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(p->Menu->isVisible());
        QTest::keyClick(p->Menu, Qt::Key_Return);
        QTRY_COMPARE(p->Text1->text(), QString("Devi selezionare un file"));
        FormPrincipaleTest t;
        testi.clear();
        for (QAction *a : t.Menu->actions())
            testi << a->text();
        QVERIFY(testi.mid(testi.size() - 4) == QStringList({"Porta…", "Cerca il VELTO sulla linea…",
                                                            "Impianti…", "Traccia degli scambi…"}));
    }

    // Two texts changed on the panel: the window lists them as --confronta
    // does, nothing is written; with none changed, "Nessuna differenza". A
    // refused file reads nothing and opens no window.
    void confronto() {
        AVVIA(banco);
        const QList<int> numeri = {0, 1, 2, 3, 4};
        for (int n : numeri)
            banco->ordina(QString("text %1 %2").arg(n).arg(TestoDi(n)));
        banco->ordina("text 1 " + QString("altro  testo").leftJustified(16));
        banco->ordina("text 3 " + QString(" 3").leftJustified(16));
        Scrivi(banco.percorso("testi.vlt"), FileDi(numeri));
        programmazione("testi.vlt");
        QString differenze, esito;
        AllaFinestra<FormConfronto>([](FormConfronto *f) { return !f->Interrompi->isEnabled(); },
                                    [&](FormConfronto *f) {
                                        differenze = f->Differenze->toPlainText();
                                        esito = f->Esito->text();
                                        f->Chiudi->click();
                                    });
        Voce(p.get(), "VoceConfronta")->trigger();
        QVERIFY(p->Command1->isEnabled());
        QCOMPARE(Conta(banco->comandi(), "&450W"), 0);
        QCOMPARE(Conta(banco->comandi(), "&450R"), 5);
        QVERIFY2(differenze.contains("001  file:     \"Testo·001·ab····\"\n     centrale: "
                                     "\"altro··testo····\""),
                 qPrintable(differenze));
        QVERIFY2(esito.startsWith("2 testi su 5 sono diversi"), qPrintable(esito));
        QCOMPARE(p->Text1->text(), QString("2 testi diversi dalla centrale"));

        // The command line, on the same file and line, prints the same lines.
        FormSeriale::Istanza().ChiudiSeriale();
        const Uscita u = Esegui(banco.cartella(), {"--confronta", "testi.vlt"});
        QCOMPARE(u.uscita, differenze + esito + "\n");
        QVERIFY(banco.riapri());

        banco->ordina("text 1 " + TestoDi(1));
        banco->ordina("text 3 " + TestoDi(3));
        AllaFinestra<FormConfronto>([](FormConfronto *f) { return !f->Interrompi->isEnabled(); },
                                    [&](FormConfronto *f) {
                                        esito = f->Esito->text();
                                        differenze = f->Differenze->toPlainText();
                                        f->close();
                                    });
        Voce(p.get(), "VoceConfronta")->trigger();
        QCOMPARE(esito, QString("Nessuna differenza: 5 testi uguali"));
        QVERIFY(differenze.isEmpty());

        banco->azzeraRegistro();
        Scrivi(banco.percorso("vuoto.vlt"), "solo il commento\r\nend\r\n");
        V::NomeFile = banco.percorso("vuoto.vlt");
        Voce(p.get(), "VoceConfronta")->trigger();
        QVERIFY(!Aperta<FormConfronto>());
        QVERIFY2(p->Text1->text().contains("non contiene testi"), qPrintable(p->Text1->text()));
        QVERIFY(banco->comandi().isEmpty());
    }

    // "Interrompi" and the close box each stop a comparison before its next
    // read; the window's buttons come back.
    void confrontoFermato() {
        AVVIA(banco);
        QList<int> numeri;
        for (int n = 0; n < 60; ++n)
            numeri << n;
        Scrivi(banco.percorso("molti.vlt"), FileDi(numeri));
        programmazione("molti.vlt");
        for (const bool chiudi : {false, true}) {
            banco->azzeraRegistro();
            QString esito;
            int letti = 0;
            AllaFinestra<FormConfronto>([](FormConfronto *f) { return f->Barra->value() >= 3; },
                                        [&](FormConfronto *f) {
                                            letti = Conta(banco->comandi(), "&450R");
                                            QVERIFY(!p->Command1->isEnabled() &&
                                                    !Voce(p.get(), "VoceCerca")->isEnabled());
                                            chiudi ? (void)f->close() : f->Interrompi->click();
                                        });
            if (!chiudi)
                AllaFinestra<FormConfronto>(
                    [](FormConfronto *f) { return !f->Interrompi->isEnabled(); },
                    [&](FormConfronto *f) {
                        // the bar and the summary give the same count
                        esito = f->Esito->text();
                        QVERIFY2(esito.contains(QString(": %1 testi").arg(f->Barra->value())),
                                 qPrintable(esito + " / " + f->Barra->text()));
                        f->close();
                    });
            Voce(p.get(), "VoceConfronta")->trigger();
            QVERIFY(letti >= 3);
            QVERIFY2(Conta(banco->comandi(), "&450R") <= letti + 1,
                     qPrintable(banco->comandi().join(' ')));
            QVERIFY(p->Command1->isEnabled());
            if (!chiudi) QVERIFY2(esito.startsWith("Confronto interrotto"), qPrintable(esito));
        }
    }

    // RS232: the search stops at the first identifier that answers; saved,
    // only positions 12-14 of Seriale318.con change.
    void cercaRs232() {
        AVVIA(banco, {"--fast", "--id", "&01"});
        const QByteArray prima = "rs232;COM1;&45; commento\r\nEND\r\naltro\r\n";
        Scrivi(banco.percorso("Seriale318.con"), prima);
        programmazione();
        AllaFinestra<FormCerca>([](FormCerca *f) { return f->Salva->isEnabled(); },
                                [](FormCerca *f) {
                                    QCOMPARE(f->Trovati->count(), 1);
                                    QVERIFY2(f->Trovati->item(0)->text().startsWith("&01  "),
                                             qPrintable(f->Trovati->item(0)->text()));
                                    f->Salva->click();
                                    f->close();
                                });
        Voce(p.get(), "VoceCerca")->trigger();
        QCOMPARE(banco->comandi(), QStringList({"&45SA", "&00SA", "&01SA"}));
        QCOMPARE(Leggi(banco.percorso("Seriale318.con")),
                 QByteArray("rs232;COM1;&01; commento\r\nEND\r\naltro\r\n"));
        QCOMPARE(V::Identificativo, QString("&01"));
        QCOMPARE(p->IdStart->text(), QString("&01"));
    }

    // RS485 with echo: every identifier is tried, an echo is no answer;
    // "Interrompi" stops it, and "Usa" sets the identifier for the run only.
    void cercaRs485() {
        AVVIA(banco, {"--fast", "--rs485", "--id", "&02"});
        V::Modo485 = true;
        Scrivi(banco.percorso("Seriale318.con"), "rs485;COM1;&45;\r\nEND\r\n");
        programmazione();
        AllaFinestra<FormCerca>([](FormCerca *f) { return f->Trovati->count() > 0; },
                                [](FormCerca *f) { f->Interrompi->click(); });
        AllaFinestra<FormCerca>(
            [](FormCerca *f) { return f->Usa->isEnabled(); },
            [](FormCerca *f) {
                QVERIFY2(f->Esito->text().contains(
                             QString("%1 identificativi provati su ").arg(f->Barra->value())),
                         qPrintable(f->Esito->text() + " / " + f->Barra->text()));
                f->Usa->click();
                f->close();
            });
        Voce(p.get(), "VoceCerca")->trigger();
        QCOMPARE(banco->comandi().mid(0, 4), QStringList({"&45SA", "&00SA", "&01SA", "&02SA"}));
        QVERIFY(banco->comandi().size() <= 5);
        QCOMPARE(V::Identificativo, QString("&02"));
        QCOMPARE(Leggi(banco.percorso("Seriale318.con")), QByteArray("rs485;COM1;&45;\r\nEND\r\n"));
    }

    // A silent line: nothing found, nothing offered; closing the window
    // stops the search before its next request.
    void cercaSilenzio() {
        AVVIA(banco, {"--fast", "--silent"});
        programmazione();
        int inviati = 0;
        AllaFinestra<FormCerca>([](FormCerca *f) { return f->Barra->value() >= 3; },
                                [&](FormCerca *f) {
                                    QCOMPARE(f->Trovati->count(), 0);
                                    QVERIFY(!f->Salva->isEnabled());
                                    inviati = int(banco->comandi().size());
                                    f->close();
                                });
        Voce(p.get(), "VoceCerca")->trigger();
        QVERIFY(inviati >= 3);
        QVERIFY(banco->comandi().size() <= inviati + 1);
        QVERIFY(p->Command1->isEnabled());
    }

    // A port chosen and saved as COM1: the link at the next start opens it;
    // the field starts on the port in use. An address that does not open is
    // neither used nor saved: the link stays on its port. A network address
    // that opens is saved as the file COM1 holding it.
    void porta() {
        AVVIA(banco);
        const QString com1 = banco.percorso("COM1");
        const QString pty = QFileInfo(com1).symLinkTarget();
        const QString perId = banco.percorso("per-id"); // a stable name of the device
        QVERIFY(QFile::link(pty, perId));
        QVERIFY(QFile::remove(com1));
        programmazione();
        AllaFinestra<FormPorta>([](FormPorta *) { return true; },
                                [&](FormPorta *f) {
                                    QCOMPARE(f->Indirizzo->text(), pty);
                                    f->Indirizzo->setText(perId);
                                    // the columns are named above the ports
                                    if (f->Porte->item(0)->flags() != Qt::NoItemFlags)
                                        QVERIFY(f->findChild<QLabel *>("Intestazione")
                                                    ->text()
                                                    .startsWith("Dispositivo  Descrizione"));
                                    f->Salva->click();
                                    QVERIFY2(f->Esito->text().contains("La porta è aperta"),
                                             qPrintable(f->Esito->text()));
                                    f->Chiudi->setFocus(); // Enter presses it
                                    QTest::keyClick(f->Chiudi, Qt::Key_Return);
                                });
        Voce(p.get(), "VocePorta")->trigger();
        QCOMPARE(QFileInfo(com1).symLinkTarget(), perId); // the name chosen, kept
        QCOMPARE(QFileInfo(com1).canonicalFilePath(), pty);
        FormSeriale::Scarica();
        FormSeriale::Istanza().MSComm1.setCartellaPorte(banco.cartella());
        FormSeriale::Istanza().ApriSeriale();
        QCOMPARE(FormSeriale::Istanza().MSComm1.Dispositivo(), pty);

        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString nessuno = QString("tcp://127.0.0.1:%1").arg(PortaLibera());
        const QString rete = QString("tcp://127.0.0.1:%1").arg(server.serverPort());
        AllaFinestra<FormPorta>([](FormPorta *) { return true; },
                                [&](FormPorta *f) {
                                    for (QPushButton *b : {f->Usa, f->Salva}) {
                                        f->Indirizzo->setText(nessuno);
                                        b->click();
                                        const QString esito = f->Esito->text();
                                        QVERIFY2(esito.contains("Impossibile collegarsi") &&
                                                     esito.contains("resta su " + pty) &&
                                                     !esito.contains("fino alla chiusura"),
                                                 qPrintable(esito));
                                        QCOMPARE(FormSeriale::Istanza().MSComm1.Dispositivo(), pty);
                                        FormSeriale::Istanza().Scambia(Comandi::Codice::Stato);
                                        QVERIFY(!V::ErroreSeriale);
                                    }
                                    QCOMPARE(QFileInfo(com1).symLinkTarget(), perId);
                                    f->Indirizzo->setText(rete);
                                    f->Salva->click();
                                    QVERIFY(f->Spiegazione->text().contains("apre ora " + rete));
                                    f->Chiudi->click();
                                });
        Voce(p.get(), "VocePorta")->trigger();
        QVERIFY(!QFileInfo(com1).isSymLink());
        QCOMPARE(Leggi(com1), (rete + "\n").toUtf8());
    }

    // The trace started and stopped from the menu holds the exchanges in
    // between, and the title says while it runs.
    void traccia() {
        AVVIA(banco);
        programmazione();
        const QString titolo = p->windowTitle(), file = banco.percorso("linea.txt");
        Quando(
            [] {
                return QApplication::activeModalWidget() &&
                       QApplication::activeModalWidget()->objectName() == "SceltaTraccia";
            },
            [&] {
                auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                d->selectFile(file);
                // selectFile leaves the name field alone while it has the focus
                d->findChild<QLineEdit *>("fileNameEdit")->setText(file);
                static_cast<QDialog *>(d)->accept();
            });
        Voce(p.get(), "VoceTraccia")->trigger();
        QVERIFY2(p->windowTitle().contains("traccia in"), qPrintable(p->windowTitle()));
        FormSeriale::Istanza().Scambia(Comandi::Codice::Stato);
        Voce(p.get(), "VoceTraccia")->trigger();
        QCOMPARE(p->windowTitle(), titolo);
        FormSeriale::Istanza().Scambia(Comandi::Codice::Tasto);
        const QString scritto = QString::fromLatin1(Leggi(file));
        QVERIFY2(scritto.contains("&45SA<CR>"), qPrintable(scritto));
        QCOMPARE(scritto.count('\n'), 2);
    }

    // Nothing answers in test mode: the operator is told once, with the port
    // and the identifier; the error button's tooltip says the same.
    void nessunaRisposta() {
        AVVIA(banco, {"--fast", "--silent"});
        FormPrincipaleTest t;
        t.show();
        for (int volta = 0; volta < 2; ++volta) {
            Quando([&] { return t.TastoErroreSeriale->isVisible(); },
                   [&] { t.TastoErroreSeriale->click(); });
            t.InviaComando(Comandi::Codice::Stato);
        }
        int avvisi = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == "AvvisoNessunaRisposta" && w->isVisible()) {
                ++avvisi;
                const QString testo = static_cast<QMessageBox *>(w)->text();
                QVERIFY2(testo.contains("COM1") && testo.contains("&45") &&
                             testo.contains("\"Porta…\"") && testo.contains("Cerca il VELTO"),
                         qPrintable(testo));
                QCOMPARE(t.TastoErroreSeriale->toolTip(), testo);
                w->close();
            }
        QCOMPARE(avvisi, 1);
    }
};

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
