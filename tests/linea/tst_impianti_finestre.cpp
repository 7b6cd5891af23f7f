// The site book's windows against the simulator, driven as an operator drives
// them: the menus' entry, a new site (and a name refused), "Usa", the versions
// compared and restored, the register shown, the programming window's send on
// the site in use, a job on several sites, and the walk test of the site in use.
#include "impianti/Impianti.h"
#include "impianti/Registro.h"
#include "files/FileMessaggi.h"
#include "files/FormatoMessaggi.h"
#include "impianti/Versioni.h"
#include "linea/FinestreLinea.h"
#include "linea/FormImpianti.h"
#include "link/FormSeriale.h"
#include "programming/FormScriveMessaggi.h"
#include "shared/Variabili.h"
#include "support/Aperta.h"
#include "support/Azioni.h"
#include "support/Banco.h"
#include "support/FileProva.h"
#include "support/Lavoro.h"
#include "testmode/FormPrincipaleTest.h"
#include "testmode/FormProvaIngressi.h"
#include "testmode/RegistroProva.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QScopeGuard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <memory>

namespace {
QAction *Voce(QWidget *finestra, const char *nome) {
    return finestra->findChild<QMenu *>("MenuContestuale")->findChild<QAction *>(nome);
}
template <class T> void AllaFinestra(std::function<void(T *)> azione) {
    Quando([] { return Aperta<T>() != nullptr; }, [=] { azione(Aperta<T>()); });
}
Impianti::Impianto Sito(const QString &nome, const QString &porta, const QString &id) {
    Impianti::Impianto i;
    i.nome = nome;
    i.porta = porta;
    i.id = id;
    return i;
}
void Crea(const Impianti::Impianto &i) {
    QString errore;
    QVERIFY2(Impianti::Crea(i, &errore), qPrintable(errore));
}
// The row of `nome` made current in the site window.
void Scegli(FormImpianti *f, const QString &nome) {
    const QList<QTableWidgetItem *> trovate = f->Elenco->findItems(nome, Qt::MatchExactly);
    QVERIFY(!trovate.isEmpty());
    f->Elenco->selectRow(trovate.first()->row());
}
// The simulator's text of a number, its 16 places.
QString TestoSim(const QStringList &testi, const QString &numero) {
    for (const QString &t : testi)
        if (t.startsWith(numero)) return t.mid(3, 16);
    return QString();
}
// The kinds of a site's versions, oldest first.
QStringList Tipi(const QString &impianto) {
    QStringList tipi;
    for (const Versioni::Versione &v : Versioni::Elenco(impianto))
        tipi << Versioni::NomeTipo(v.tipo);
    return tipi;
}
QStringList Azioni(const QString &impianto) {
    QString errore;
    QStringList azioni;
    for (const Manutenzione::Voce &v : Manutenzione::Leggi(impianto, &errore))
        azioni << v.azione + " | " + v.esito;
    return azioni;
}

// "Confronta con la centrale" of a history window: the comparison window's
// lines once its reads are over (the window then closed).
QString ConfrontaConLaCentrale(FormStoria &storia) {
    QString differenze;
    AllaFinestra<FormConfronto>([&](FormConfronto *c) {
        Quando([c] { return !c->Interrompi->isEnabled(); },
               [&, c] {
                   differenze = c->Differenze->toPlainText();
                   c->close();
               });
    });
    storia.ConfrontaCentrale->click();
    return differenze;
}
} // namespace

class TestImpiantiFinestre : public QObject {
    Q_OBJECT
    Banco banco;

  private slots:
    void init() {
        banco.inizio();
        QVERIFY(QDir::setCurrent(banco.cartella()));
        Impianti::InUso().clear();
    }
    void cleanup() {
        AnnullaAzioni();
        Impianti::InUso().clear();
        banco.fine();
    }

    // Both windows' menus offer "Impianti…", which opens the site window.
    void voce() {
        AVVIA(banco);
        FormScriveMessaggi p;
        p.Form_Load();
        FormPrincipaleTest t;
        for (QWidget *w : {static_cast<QWidget *>(&p), static_cast<QWidget *>(&t)}) {
            QAction *a = Voce(w, "VoceImpianti");
            QVERIFY(a);
            QCOMPARE(a->text(), QString("Impianti…"));
            bool aperta = false;
            AllaFinestra<FormImpianti>([&](FormImpianti *f) {
                aperta = true;
                f->Chiudi->click();
            });
            a->trigger();
            QTRY_VERIFY(aperta);
        }
    }

    // "Nuovo…": a name with "/" is refused in the form, with the reason and
    // everything typed still there; corrected, the site is created, listed,
    // and its register says so. The filter hides the sites it does not match.
    void nuovo() {
        Crea(Sito("Ospedale", "COM2", "&03"));
        FormImpianti f(nullptr);
        f.show();
        QString rifiuto;
        AllaFinestra<FormImpianto>([&](FormImpianto *d) {
            d->Nome->setText("Scuola/Verdi");
            d->Porta->setText("tcp://10.0.0.5:4001");
            d->Id->setText("&07");
            d->Rs485->setChecked(true);
            d->Salva->click();
            rifiuto = d->Errore->text();
            QVERIFY(d->isVisible());
            QCOMPARE(d->Porta->text(), QString("tcp://10.0.0.5:4001"));
            d->Nome->setText("Scuola Verdi");
            QTest::keyClick(d->Nome, Qt::Key_Return); // Enter saves too
        });
        f.Nuovo->click();
        QVERIFY2(rifiuto.startsWith("Impianto non salvato: ") && rifiuto.contains("/"),
                 qPrintable(rifiuto));
        QString errore;
        const auto creato = Impianti::Carica("Scuola Verdi", &errore);
        QVERIFY2(creato, qPrintable(errore));
        QCOMPARE(creato->porta, QString("tcp://10.0.0.5:4001"));
        QVERIFY(creato->rs485);
        QCOMPARE(f.Elenco->rowCount(), 2);
        const int r = f.Elenco->currentRow();
        QCOMPARE(f.Elenco->item(r, 0)->text(), QString("Scuola Verdi"));
        QCOMPARE(f.Elenco->item(r, 3)->text(), QString("RS485"));
        QCOMPARE(f.Elenco->item(r, 4)->text(), QString("mai letto"));
        QCOMPARE(Azioni("Scuola Verdi"), QStringList({"impianto creato | " + f.Esito->text()}));
        f.Filtro->setText("10.0.0");
        QVERIFY(f.Elenco->isRowHidden(1 - r) && !f.Elenco->isRowHidden(r));
    }

    // "Usa": a site whose link does not open changes nothing; one that opens
    // gives the run its link, identifier and line kind, the window titles
    // name it, and the panel answers on it. Both go into the register.
    void usa() {
        AVVIA(banco, {"--fast", "--id", "&07"});
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString chiusa = QString("tcp://127.0.0.1:%1").arg(server.serverPort());
        server.close();
        Crea(Sito("Chiuso", chiusa, "&09"));
        Crea(Sito("Villa Rossi", "COM1", "&07"));
        FormScriveMessaggi p;
        p.Form_Load();
        p.show();
        const QString dispositivo = FormSeriale::Istanza().MSComm1.Dispositivo();
        QString rifiuto, esito;
        AllaFinestra<FormImpianti>([&](FormImpianti *f) {
            Scegli(f, "Chiuso");
            f->Usa->click();
            rifiuto = f->Esito->text();
            Scegli(f, "Villa Rossi");
            f->Usa->click();
            esito = f->Esito->text();
            f->Chiudi->click();
        });
        Voce(&p, "VoceImpianti")->trigger();
        QVERIFY2(rifiuto.startsWith("Impianto Chiuso non in uso") &&
                     rifiuto.contains("COM1 resta su " + dispositivo),
                 qPrintable(rifiuto));
        QVERIFY2(esito.startsWith("Impianto Villa Rossi in uso") && esito.contains("&07"),
                 qPrintable(esito));
        QCOMPARE(V::Identificativo, QString("&07"));
        QCOMPARE(Impianti::InUso(), QString("Villa Rossi"));
        QCOMPARE(p.IdStart->text(), QString("&07"));
        QVERIFY2(p.windowTitle().endsWith(" — impianto Villa Rossi"), qPrintable(p.windowTitle()));
        FormSeriale::Istanza().Scambia(Comandi::Codice::Stato);
        QVERIFY(!V::ErroreSeriale);
        QCOMPARE(Azioni("Chiuso").size(), 1);
        QVERIFY(Azioni("Chiuso").first().endsWith(QString(rifiuto).replace("\n", " ")));
        QVERIFY(Azioni("Villa Rossi").first().endsWith(esito));
    }

    // A site whose file is wrong stays in the list, saying why; "Usa" and
    // "Leggi" on it are refused with the file's line.
    void impiantoDaCorreggere() {
        Crea(Sito("Villa Rossi", "COM1", "&07"));
        Crea(Sito("Rotto", "COM1", "&07"));
        const QString file = banco.percorso("impianti/Rotto/impianto.txt");
        Scrivi(file, Leggi(file).replace("identificativo:", "identificatvo:"));
        FormImpianti f(nullptr);
        QCOMPARE(f.Elenco->rowCount(), 2);
        Scegli(&f, "Rotto");
        const QString riga = f.Elenco->item(f.Elenco->currentRow(), 4)->text();
        QVERIFY2(riga.startsWith("da correggere: ") && riga.contains("riga 5"), qPrintable(riga));
        QVERIFY2(f.Esito->text().startsWith("1 impianto da correggere"),
                 qPrintable(f.Esito->text()));
        f.Usa->click();
        QVERIFY2(f.Esito->text().contains("riga 5"), qPrintable(f.Esito->text()));
        QVERIFY(Impianti::InUso().isEmpty());
        f.Leggi->click();
        QVERIFY2(f.Esito->text().startsWith("Leggi non avviato: ") &&
                     f.Esito->text().contains("riga 5"),
                 qPrintable(f.Esito->text()));
    }

    // "Storia": the versions newest first; "Confronta con…" lists the texts
    // two versions differ in; "Confronta con la centrale" reads the
    // version's texts from the panel, writes nothing, and goes into the register.
    void storia() {
        AVVIA(banco);
        Crea(Sito("Villa Rossi", "COM1", "&45"));
        const QString uno = QString("Ingresso uno").leftJustified(16);
        const QString due = QString("Ingresso due").leftJustified(16);
        QString errore;
        QVERIFY(Versioni::Conserva("Villa Rossi", Versioni::Tipo::Letto,
                                   {{"000", uno}, {"001", due}}, "letti", &errore));
        QTest::qWait(5); // the next version's name is another millisecond
        QVERIFY(Versioni::Conserva("Villa Rossi", Versioni::Tipo::Inviato,
                                   {{"000", uno}, {"001", QString("Portone").leftJustified(16)}},
                                   "inviati", &errore));
        banco->ordina("text 0 " + uno);
        banco->ordina("text 1 " + due);
        FormStoria f(nullptr, "Villa Rossi");
        f.show();
        QCOMPARE(f.Elenco->rowCount(), 2);
        QCOMPARE(f.Elenco->item(0, 0)->text(), QString("2"));
        QCOMPARE(f.Elenco->item(0, 2)->text(), QString("inviato"));
        QVERIFY(!f.Ripristina->isEnabled() && !f.Ripristina->toolTip().isEmpty());
        f.Elenco->selectAll();
        f.ConfrontaCon->click();
        QCOMPARE(f.Differenze->toPlainText(), QString("001  versione 1: \"Ingresso·due····\"\n"
                                                      "     versione 2: \"Portone·········\"\n"));

        f.Elenco->selectRow(0);
        const QString differenze = ConfrontaConLaCentrale(f);
        QVERIFY2(differenze.startsWith("001  file:     \"Portone"), qPrintable(differenze));
        QCOMPARE(Conta(banco->comandi(), "&450W"), 0);
        const QStringList azioni = Azioni("Villa Rossi");
        QCOMPARE(azioni.size(), 1);
        QVERIFY2(azioni.first().startsWith("confronto con la centrale, versione 2") &&
                     azioni.first().endsWith("| 1 testo diverso dalla centrale"),
                 qPrintable(azioni.first()));

        // A version opened in the editor is never saved over, whatever the
        // path names it by; a file beside the book is.
        FormatoMessaggi::Vietato = Versioni::NonSiScrive; // as the program starts
        const auto nessuno = qScopeGuard([] { FormatoMessaggi::Vietato = nullptr; });
        const Versioni::Versione prima = Versioni::Elenco("Villa Rossi").first();
        const QByteArray contenuto = Leggi(prima.percorso);
        const QString altroNome = QFileInfo(prima.percorso).path() + "/../versioni/nuovo.vlt";
        for (const QString &dove : {prima.percorso, altroNome}) {
            QVERIFY(!FormatoMessaggi::SalvaFile(dove, "x", &errore));
            QVERIFY2(errore.contains("le versioni di un impianto"), qPrintable(errore));
        }
        QCOMPARE(Leggi(prima.percorso), contenuto);
        QCOMPARE(Versioni::Elenco("Villa Rossi").size(), 2);
        QVERIFY2(FormatoMessaggi::SalvaFile(banco.percorso("copia.vlt"), "x", &errore),
                 qPrintable(errore));
    }

    // "Ripristina…": offered only for the site in use; it asks, naming the
    // site, the identifier and how many texts change against the newest
    // version, then sends the version back after a backup of the panel: the
    // panel holds the version's texts, the backup holds what it had, and the
    // register says so.
    void ripristino() {
        AVVIA(banco);
        Crea(Sito("Villa Rossi", "COM1", "&45"));
        const QString uno = QString("Ingresso uno").leftJustified(16);
        const QString due = QString("Ingresso due").leftJustified(16);
        const QString altro = QString("Portone").leftJustified(16);
        QString errore;
        QVERIFY(Versioni::Conserva("Villa Rossi", Versioni::Tipo::Letto,
                                   {{"000", uno}, {"001", due}}, "letti", &errore));
        QTest::qWait(5);
        QVERIFY(Versioni::Conserva("Villa Rossi", Versioni::Tipo::Letto,
                                   {{"000", uno}, {"001", altro}}, "letti", &errore));
        const QString cambiato = QString("Cambiato").leftJustified(16);
        banco->ordina("text 0 " + cambiato); // the panel changed since version 2
        banco->ordina("text 1 " + altro);
        {
            FormStoria f(nullptr, "Villa Rossi");
            f.Elenco->selectRow(1);
            QVERIFY(!f.Ripristina->isEnabled());
            QVERIFY2(f.Ripristina->toolTip().contains("\"Usa\""),
                     qPrintable(f.Ripristina->toolTip()));
        }
        Impianti::InUso() = "Villa Rossi";
        FormStoria f(nullptr, "Villa Rossi");
        f.show();
        f.Elenco->selectRow(1); // version 1
        QVERIFY(f.Ripristina->isEnabled());
        QString domanda, esito;
        AllaFinestra<QMessageBox>([&](QMessageBox *m) {
            domanda = m->text();
            for (QAbstractButton *b : m->buttons())
                if (b->text() == "Ripristina") b->click();
        });
        AllaFinestra<FinestraLavoro>([&](FinestraLavoro *l) {
            Quando([l] { return !l->Interrompi->isEnabled(); },
                   [&, l] {
                       esito = l->Esito->text();
                       l->close();
                   });
        });
        f.Ripristina->click();
        QVERIFY2(domanda.contains("versione 1") && domanda.contains("Villa Rossi") &&
                     domanda.contains("&45") && domanda.contains("Cambia 1 dei suoi 2 testi") &&
                     domanda.contains("più recente"),
                 qPrintable(domanda));
        QVERIFY2(esito.startsWith("DATI UGUALI  TUTTO OK "), qPrintable(esito));
        const QStringList testi = banco->testi();
        QCOMPARE(TestoSim(testi, "000"), uno);
        QCOMPARE(TestoSim(testi, "001"), due);
        QCOMPARE(Tipi("Villa Rossi"),
                 QStringList({"letto", "letto", "copia prima dell'invio", "inviato"}));
        const QList<Versioni::Versione> versioni = Versioni::Elenco("Villa Rossi");
        const auto copia = Versioni::TestiDi(versioni[2], &errore);
        QVERIFY2(copia, qPrintable(errore));
        QCOMPARE(copia->value("000"), cambiato);
        QCOMPARE(copia->value("001"), altro);
        QCOMPARE(f.Elenco->rowCount(), 4);
        const QStringList azioni = Azioni("Villa Rossi");
        QCOMPARE(azioni.size(), 1);
        QVERIFY2(azioni.first().startsWith("ripristino della versione 1") &&
                     azioni.first().contains("| DATI UGUALI  TUTTO OK ") &&
                     azioni.first().contains("copia della centrale nella versione 3"),
                 qPrintable(azioni.first()));
        // The register names the version and the link as the command line
        // does: the version's stable name, the site's link as written; the
        // list shows that name too.
        QVERIFY2(azioni.first().startsWith("ripristino della versione " +
                                           Versioni::Detta(versioni[0]) + " |"),
                 qPrintable(azioni.first()));
        const auto righe = Manutenzione::Leggi("Villa Rossi", &errore);
        QVERIFY(!righe.isEmpty());
        QCOMPARE(righe.first().porta, QString("COM1"));
        QCOMPARE(f.Elenco->item(3, f.Elenco->columnCount() - 1)->text(), versioni[0].nome);
    }

    // The windows take versions as the command line does: "Confronta con la
    // centrale" on the newest compares all that is known of the panel (a
    // complete read with a send of one text on top), and "Ripristina…"
    // refuses a version a send would refuse (cut short) before asking.
    void versioniComeLaRiga() {
        AVVIA(banco);
        Crea(Sito("Villa Rossi", "COM1", "&45"));
        Versioni::Testi tutti;
        const QStringList testi = banco->testi();
        for (int n = 0; n <= 192; ++n)
            if (FormatoMessaggi::NumeroNelCorpo(n)) {
                const QString numero = QString("%1").arg(n, 3, 10, QChar('0'));
                tutti.insert(numero, TestoSim(testi, numero));
            }
        const QString portone = QString("Portone").leftJustified(16);
        QString errore;
        QVERIFY2(Versioni::Conserva("Villa Rossi", Versioni::Tipo::Letto, tutti, "letti", &errore),
                 qPrintable(errore));
        QVERIFY(Versioni::Conserva("Villa Rossi", Versioni::Tipo::Inviato, {{"001", portone}},
                                   "inviato", &errore));
        banco->ordina("text 1 " + portone);
        banco->ordina("text 10 Cambiato");
        Impianti::InUso() = "Villa Rossi";
        FormStoria f(nullptr, "Villa Rossi");
        f.show();
        f.Elenco->selectRow(0);
        const QString differenze = ConfrontaConLaCentrale(f);
        QVERIFY2(differenze.startsWith("010  file:") && !differenze.contains("001  "),
                 qPrintable(differenze));
        const auto righe = Manutenzione::Leggi("Villa Rossi", &errore);
        QVERIFY(!righe.isEmpty());
        QCOMPARE(righe.last().porta, QString("COM1"));
        QCOMPARE(righe.last().azione, "confronto con la centrale, versione " +
                                          Versioni::Detta(Versioni::Elenco("Villa Rossi").last()));

        Scrivi(Impianti::CartellaDi("Villa Rossi") +
                   "/versioni/20300101-000000-000_altro_inviato.vlt",
               "c\r\n001Ingresso\r\n002Uscita");
        FormStoria g(nullptr, "Villa Rossi");
        g.show();
        g.Elenco->selectRow(0);
        bool chiesto = false;
        AllaFinestra<QMessageBox>([&](QMessageBox *m) {
            chiesto = true;
            m->reject();
        });
        g.Ripristina->click();
        QVERIFY(!chiesto);
        QVERIFY2(g.Esito->text().contains("non ripristinata") &&
                     g.Esito->text().contains("20300101-000000-000_altro_inviato.vlt: "),
                 qPrintable(g.Esito->text()));
        QCOMPARE(Conta(banco->comandi(), "&450W"), 0);
    }

    // The programming window's send with a site in use keeps the panel's
    // texts first, and its register says what was sent and how it ended.
    void invioSulSito() {
        AVVIA(banco);
        Crea(Sito("Villa Rossi", "COM1", "&45"));
        Impianti::InUso() = "Villa Rossi";
        const QString prima = TestoSim(banco->testi(), "002");
        Scrivi(banco.percorso("nuovi.vlt"), "c\r\n001testo uno\r\n002testo due\r\nend\r\n");
        FormScriveMessaggi p;
        p.Form_Load();
        V::NomeFile = banco.percorso("nuovi.vlt");
        p.Command1_Click();
        QCOMPARE(p.Text2->text(), QString("DATI UGUALI  TUTTO OK "));
        QCOMPARE(TestoSim(banco->testi(), "002"), QString("testo due").leftJustified(16));
        QCOMPARE(Tipi("Villa Rossi"), QStringList({"copia prima dell'invio", "inviato"}));
        QString errore;
        const auto copia = Versioni::TestiDi(Versioni::Elenco("Villa Rossi").first(), &errore);
        QVERIFY2(copia, qPrintable(errore));
        QCOMPARE(copia->value("002"), prima);
        const QStringList azioni = Azioni("Villa Rossi");
        QCOMPARE(azioni.size(), 1);
        QVERIFY2(azioni.first().startsWith("invio di ") && azioni.first().contains("nuovi.vlt") &&
                     azioni.first().contains("| DATI UGUALI  TUTTO OK (2 testi scritti"),
                 qPrintable(azioni.first()));
        QCOMPARE(Manutenzione::Leggi("Villa Rossi", &errore).first().porta, QString("COM1"));
    }

    // A window's send on a site keeps its records or says it did not. With
    // the site's register not writable (its folder a file), neither the
    // programming window's send nor "Ripristina…" writes a text, and both say
    // why; a version sent that cannot be kept leaves no plain success on the
    // programming window's status line, and the register says so.
    void registroNonScrivibile() {
        AVVIA(banco);
        Impianti::Impianto sito = Sito("Villa Rossi", "COM1", "&45");
        sito.copia = false;
        Crea(sito);
        QString errore;
        QVERIFY(Versioni::Conserva("Villa Rossi", Versioni::Tipo::Letto,
                                   {{"000", QString("Ingresso uno").leftJustified(16)}}, "letti",
                                   &errore));
        Impianti::InUso() = "Villa Rossi";
        const QString cartella = banco.cartella() + "/impianti/Villa Rossi/";
        QDir(cartella + "registro").removeRecursively();
        Scrivi(cartella + "registro", "non una cartella");
        Scrivi(banco.percorso("nuovi.vlt"), "c\r\n001testo uno\r\n002testo due\r\nend\r\n");
        const QStringList prima = banco->testi();
        banco->azzeraRegistro();
        FormScriveMessaggi p;
        p.Form_Load();
        V::NomeFile = banco.percorso("nuovi.vlt");
        p.Command1_Click();
        QCOMPARE(p.Text1->text(),
                 QString("Registro dell'impianto Villa Rossi non scrivibile: nulla "
                         "è stato inviato"));
        QVERIFY2(p.Text2->text().contains("impossibile creare la cartella " + cartella),
                 qPrintable(p.Text2->text()));
        {
            FormStoria f(nullptr, "Villa Rossi");
            f.show();
            f.Elenco->selectRow(0);
            AllaFinestra<QMessageBox>([](QMessageBox *m) {
                for (QAbstractButton *b : m->buttons())
                    if (b->text() == "Ripristina") b->click();
            });
            f.Ripristina->click();
            QVERIFY2(f.Esito->text().startsWith("Versione 1 non ripristinata: impossibile creare "
                                                "la cartella ") &&
                         f.Esito->text().endsWith(". Nulla è stato inviato."),
                     qPrintable(f.Esito->text()));
        }
        QCOMPARE(banco->comandi(), QStringList());
        QCOMPARE(banco->testi(), prima);

        QVERIFY(QFile::remove(cartella + "registro"));
        QVERIFY(QDir(cartella + "versioni").removeRecursively());
        Scrivi(cartella + "versioni", "non una cartella");
        p.Command1_Click();
        QCOMPARE(p.Text2->text(),
                 QString("DATI UGUALI, ma la versione inviata non è stata salvata"));
        QVERIFY2(p.Text1->text().startsWith("invio fatto, ma la versione inviata non è stata "
                                            "salvata: "),
                 qPrintable(p.Text1->text()));
        QCOMPARE(TestoSim(banco->testi(), "002"), QString("testo due").leftJustified(16));
        const QStringList azioni = Azioni("Villa Rossi");
        QCOMPARE(azioni.size(), 1);
        QVERIFY2(azioni.first().contains("versione inviata non è stata salvata"),
                 qPrintable(azioni.first()));
    }

    // A job on several sites from the site window: "Stato" on two panels of
    // one line fills both rows to the end; "Interrompi" during a "Leggi" (at
    // wire speed, one site after the other on the line) stops the one running
    // and leaves the other not reached.
    void suImpianti() {
        QVERIFY2(QFile::exists(Eseguibile()), qPrintable(Eseguibile() + " non costruito"));
        AVVIA(banco, {"--also", "&46"});
        banco.limite(120);
        Crea(Sito("Uno", "COM1", "&45"));
        Crea(Sito("Due", "COM1", "&46"));
        FormImpianti f(nullptr);
        f.Programma = Eseguibile();
        f.show();
        f.Tutti->click();
        QVERIFY(f.Stato->isEnabled() && !f.Usa->isEnabled());
        QStringList esiti, secondi;
        QString riepilogo;
        const auto raccogli = [&](FormSuImpianti *s) {
            esiti.clear();
            secondi.clear();
            for (int r = 0; r < s->Righe->rowCount(); ++r) {
                esiti << s->Righe->item(r, 0)->text() + ": " + s->Righe->item(r, 1)->text();
                secondi << s->Righe->item(r, 2)->text();
            }
            riepilogo = s->Esito->text();
            s->Chiudi->click();
        };
        AllaFinestra<FormSuImpianti>([&](FormSuImpianti *s) {
            Quando([s] { return !s->InCorso(); }, [&, s] { raccogli(s); });
        });
        f.Stato->click();
        QVERIFY2(riepilogo.startsWith("2 impianti: 2 giusti"), qPrintable(riepilogo));
        QCOMPARE(esiti.size(), 2);
        for (int r = 0; r < 2; ++r) {
            QVERIFY2(!esiti[r].endsWith(": in attesa") && !esiti[r].endsWith(": in corso…") &&
                         !esiti[r].endsWith(": "),
                     qPrintable(esiti[r]));
            QVERIFY2(!secondi[r].isEmpty(), qPrintable(esiti[r]));
        }
        // The link of this run was let go for the jobs, and is open again.
        QVERIFY(FormSeriale::Istanza().MSComm1.PortOpen());

        AllaFinestra<FormSuImpianti>([&](FormSuImpianti *s) {
            Quando([s] { return s->Righe->item(0, 1)->text() == "in corso…"; },
                   [&, s] {
                       QTimer::singleShot(1500, s, [s] { s->Interrompi->click(); });
                       Quando([s] { return !s->InCorso(); }, [&, s] { raccogli(s); });
                   });
        });
        f.Leggi->click();
        QCOMPARE(esiti.size(), 2);
        QVERIFY2(esiti[1] == "Uno: non raggiunto", qPrintable(esiti.join(" / ")));
        QVERIFY2(esiti[0].startsWith("Due: ") && esiti[0] != "Due: non raggiunto",
                 qPrintable(esiti.join(" / ")));
        QVERIFY2(riepilogo.contains("(non raggiunto: Uno)"), qPrintable(riepilogo));

        // A site to correct does not stop the others: its row says why, as
        // "--su-impianti tutti" counts it.
        Crea(Sito("Caserma", "COM1", "&47"));
        const QString file = banco.percorso("impianti/Caserma/impianto.txt");
        Scrivi(file, Leggi(file).replace("identificativo:", "identificatvo:"));
        f.Aggiorna();
        f.Tutti->click();
        AllaFinestra<FormSuImpianti>([&](FormSuImpianti *s) {
            Quando([s] { return !s->InCorso(); }, [&, s] { raccogli(s); });
        });
        f.Stato->click();
        QVERIFY2(riepilogo.startsWith("3 impianti: 2 giusti"), qPrintable(riepilogo));
        QCOMPARE(esiti.size(), 3);
        QVERIFY2(esiti[2].startsWith("Caserma: ") && esiti[2].contains("riga 5"),
                 qPrintable(esiti.join(" / ")));
    }

    // "Registro": every computer's lines by time, newest at the bottom, a job
    // not finished shown as such; one line is "1 riga".
    void registro() {
        Crea(Sito("Villa Rossi", "COM1", "&45"));
        QString errore;
        QVERIFY(Manutenzione::Annota("Villa Rossi", "COM1", "impianto creato", "fatto", &errore));
        QCOMPARE(FormRegistro(nullptr, "Villa Rossi").Esito->text(),
                 QString("1 riga; in rosso i lavori non finiti."));
        QTest::qWait(5);
        Manutenzione::Lavoro lavoro("Villa Rossi", "COM1", "invio di testi.vlt");
        QCOMPARE(lavoro.Errore(), QString());
        FormRegistro f(nullptr, "Villa Rossi");
        QCOMPARE(f.Righe->rowCount(), 2);
        QCOMPARE(f.Righe->item(0, 4)->text(), QString("impianto creato"));
        QCOMPARE(f.Righe->item(1, 4)->text(), QString("invio di testi.vlt"));
        QCOMPARE(f.Righe->item(1, 5)->text(), QString("in corso"));
        QVERIFY(f.Righe->item(1, 5)->background() != f.Righe->item(0, 5)->background());
    }

    // The walk test with a site in use: its journal goes into the site's
    // folder and its "Impianto" field names the site.
    void provaDelSito() {
        Crea(Sito("Villa Rossi", "COM1", "&45"));
        Impianti::InUso() = "Villa Rossi";
        Prova::Registro r;
        r.Testi(QStringList(44, QString(16, ' ')));
        FormProvaIngressi w(
            r, [] {}, nullptr);
        w.Mostra();
        QCOMPARE(w.Impianto->text(), QString("Villa Rossi"));
        const QString cartella = QDir::toNativeSeparators(Impianti::CartellaDi("Villa Rossi"));
        QVERIFY2(w.Giornale->text().contains(cartella + "/prove/prova-"),
                 qPrintable(w.Giornale->text()));
    }
    // A site's window talks only to that site's panel. With another site in
    // use, "Confronta con la centrale" and "Ripristina…" are off and say which
    // site is in use and that "Usa" switches; once the site is in use, the
    // comparison reads its panel only (the other simulator hears nothing) and
    // goes into its register. With no site in use, a site whose link is not
    // the run's is refused the same way; "Ripristina…" says why it is off.
    void storiaSuUnAltroImpianto() {
        AVVIA(banco);
        QTemporaryDir cartella;
        Simulatore scuola(cartella.path(), {"--fast", "--id", "&07"});
        QVERIFY2(scuola.avvia(), qPrintable(scuola.errore()));
        Crea(Sito("Negozio Rossi", "COM1", "&45"));
        Crea(Sito("Scuola Verdi", cartella.filePath("COM1"), "&07"));
        const QString uno = QString("Ingresso uno").leftJustified(16);
        QString errore;
        QVERIFY(Versioni::Conserva("Scuola Verdi", Versioni::Tipo::Letto, {{"000", uno}}, "letti",
                                   &errore));
        QCOMPARE(scuola.ordina("text 0 " + uno), QString("ok"));
        FormImpianti f(nullptr);
        f.show();
        Scegli(&f, "Negozio Rossi");
        f.Usa->click();
        QCOMPARE(Impianti::InUso(), QString("Negozio Rossi"));
        {
            FormStoria s(&f, "Scuola Verdi");
            s.Elenco->selectRow(0);
            for (QPushButton *b : {s.ConfrontaCentrale, s.Ripristina}) {
                QVERIFY(!b->isEnabled());
                QVERIFY2(b->toolTip().contains("Negozio Rossi") && b->toolTip().contains("\"Usa\""),
                         qPrintable(b->toolTip()));
            }
        }
        Scegli(&f, "Scuola Verdi");
        f.Usa->click();
        QCOMPARE(Impianti::InUso(), QString("Scuola Verdi"));
        banco->azzeraRegistro();
        scuola.azzeraRegistro();
        FormStoria s(&f, "Scuola Verdi");
        s.show();
        s.Elenco->selectRow(0);
        QVERIFY(s.ConfrontaCentrale->isEnabled() && s.Ripristina->isEnabled());
        s.Elenco->clearSelection();
        QVERIFY2(!s.Ripristina->isEnabled() && s.Ripristina->toolTip().contains("una sola"),
                 qPrintable(s.Ripristina->toolTip()));
        s.Elenco->selectRow(0);
        ConfrontaConLaCentrale(s);
        QCOMPARE(Conta(scuola.comandi(), "&070R"), 1);
        QCOMPARE(banco->comandi(), QStringList());
        const QStringList azioni = Azioni("Scuola Verdi");
        QVERIFY2(azioni.last().startsWith("confronto con la centrale, versione 1") &&
                     azioni.last().endsWith("| Nessuna differenza: 1 testo uguale"),
                 qPrintable(azioni.last()));
        QCOMPARE(Azioni("Negozio Rossi").size(), 1); // its "Usa" only

        // No site in use, the run on Scuola's link: Negozio's panel is not it.
        Impianti::InUso().clear();
        FormStoria n(&f, "Negozio Rossi");
        QVERIFY2(!n.ConfrontaCentrale->isEnabled() &&
                     n.ConfrontaCentrale->toolTip().startsWith("Nessun impianto è in uso") &&
                     n.ConfrontaCentrale->toolTip().contains("&07"),
                 qPrintable(n.ConfrontaCentrale->toolTip()));
        QVERIFY2(n.Ripristina->toolTip().contains("\"Usa\" sull'impianto Negozio Rossi"),
                 qPrintable(n.Ripristina->toolTip()));
    }

    // The restore question counts against what the panel holds when the
    // window has just compared the version with it, and otherwise says the
    // count is against the newest version of the book, not the panel.
    void ripristinoDopoIlConfronto() {
        AVVIA(banco);
        Crea(Sito("Villa Rossi", "COM1", "&45"));
        Impianti::InUso() = "Villa Rossi";
        const QString uno = QString("Ingresso uno").leftJustified(16);
        const QString altro = QString("Portone").leftJustified(16);
        QString errore;
        QVERIFY(Versioni::Conserva("Villa Rossi", Versioni::Tipo::Letto,
                                   {{"000", uno}, {"001", altro}}, "letti", &errore));
        banco->ordina("text 0 " + QString("Cambiato").leftJustified(16));
        banco->ordina("text 1 " + altro);
        QStringList domande;
        const auto chiedi = [&](FormStoria &f) {
            AllaFinestra<QMessageBox>([&](QMessageBox *m) {
                domande << m->text();
                for (QAbstractButton *b : m->buttons())
                    if (b->text() == "Annulla") b->click();
            });
            f.Ripristina->click();
        };
        {
            FormStoria f(nullptr, "Villa Rossi");
            f.Elenco->selectRow(0);
            chiedi(f);
        }
        FormStoria f(nullptr, "Villa Rossi");
        f.show();
        f.Elenco->selectRow(0);
        ConfrontaConLaCentrale(f);
        QVERIFY2(f.Esito->text().contains("1 testo diverso"), qPrintable(f.Esito->text()));
        chiedi(f);
        QCOMPARE(domande.size(), 2);
        QVERIFY2(domande[0].contains("più recente nel libro") &&
                     domande[0].contains("non è stato confrontato"),
                 qPrintable(domande[0]));
        QVERIFY2(domande[1].contains("Cambia 1 dei suoi 2 testi rispetto a quanto la centrale ha "
                                     "ora") &&
                     !domande[1].contains("nessun testo cambia"),
                 qPrintable(domande[1]));
        QCOMPARE(Conta(banco->comandi(), "&450W"), 0);
    }

    // "Usa questo identificativo" and "Porta… → Usa" with a site in use ask
    // first: "Annulla" changes nothing, "Usa senza l'impianto" ends the site's
    // use (the titles no longer name it), "Aggiorna l'impianto" saves the new
    // identifier or link in the site, its register says so, and the run then
    // talks to the site's panel.
    void cambioSottoLImpianto() {
        AVVIA(banco, {"--fast", "--id", "&01"});
        QTemporaryDir cartella;
        Simulatore altra(cartella.path(), {"--fast", "--id", "&01"});
        QVERIFY2(altra.avvia(), qPrintable(altra.errore()));
        Crea(Sito("Palestra comunale", "COM1", "&21"));
        FormScriveMessaggi p;
        p.Form_Load();
        QString domanda;
        const auto rispondi = [&](const QString &scelta) {
            AllaFinestra<QMessageBox>([&, scelta](QMessageBox *m) {
                domanda = m->text();
                for (QAbstractButton *b : m->buttons())
                    if (b->text() == scelta) b->click();
            });
        };
        for (const QString &scelta : {QString("Annulla"), QString("Usa senza l'impianto"),
                                      QString("Aggiorna l'impianto")}) {
            Impianti::InUso() = "Palestra comunale";
            V::Identificativo = "&21";
            AggiornaTitoli();
            domanda.clear();
            rispondi(scelta);
            FormCerca c(nullptr);
            c.Esegui();
            QCOMPARE(c.Trovati->count(), 1);
            c.Usa->click();
            c.close();
            QVERIFY2(domanda.contains("Aggiornare l'impianto Palestra comunale: identificativo "
                                      "&21 → &01?"),
                     qPrintable(scelta + ": " + domanda));
            const bool annulla = scelta == "Annulla", senza = scelta.startsWith("Usa");
            QCOMPARE(V::Identificativo, QString(annulla ? "&21" : "&01"));
            QCOMPARE(Impianti::InUso(), QString(senza ? "" : "Palestra comunale"));
            QVERIFY2(p.windowTitle().contains("impianto Palestra") == !senza,
                     qPrintable(p.windowTitle()));
        }
        QString errore;
        QCOMPARE(Impianti::Carica("Palestra comunale", &errore)->id, QString("&01"));
        QVERIFY2(Azioni("Palestra comunale").last().contains("identificativo &21 → &01"),
                 qPrintable(Azioni("Palestra comunale").last()));

        rispondi("Aggiorna l'impianto");
        FormPorta d(nullptr);
        d.Indirizzo->setText(cartella.filePath("COM1"));
        d.Usa->click();
        QVERIFY2(domanda.contains("collegamento COM1 → " + cartella.filePath("COM1")),
                 qPrintable(domanda));
        const auto palestra = Impianti::Carica("Palestra comunale", &errore);
        QCOMPARE(palestra->porta, cartella.filePath("COM1"));
        QCOMPARE(Impianti::InUso(), QString("Palestra comunale"));
        QVERIFY2(NonLaSuaCentrale(*palestra).isEmpty(), qPrintable(NonLaSuaCentrale(*palestra)));

        // The site's own link, as written or as the device it leads to: the
        // field shows it as written, and "Usa" asks nothing.
        domanda.clear();
        rispondi("Annulla");
        {
            FormPorta e(nullptr);
            QCOMPARE(e.Indirizzo->text(), cartella.filePath("COM1"));
            e.Usa->click();
            e.Indirizzo->setText(QFileInfo(cartella.filePath("COM1")).canonicalFilePath());
            e.Usa->click();
        }
        QVERIFY2(domanda.isEmpty(), qPrintable(domanda));
        QCOMPARE(Impianti::Carica("Palestra comunale", &errore)->porta, cartella.filePath("COM1"));
        QCOMPARE(Impianti::InUso(), QString("Palestra comunale"));
    }

    // The windows say of the book what the command line says: the
    // register's control characters written visibly; a site a job runs on
    // is not renamed (the job named); a site updated from "Porta…" gets the
    // warnings "Modifica…" gives, its link compared as a run compares it
    // (COM1, and the device path COM1 leads to, are one link).
    void finestreComeLaRiga() {
        AVVIA(banco, {"--fast", "--id", "&21"});
        Crea(Sito("Palestra", "COM2", "&21"));
        Crea(Sito("Piscina", "COM1", "&21"));
        QVERIFY(QDir().mkpath("impianti/Palestra/registro"));
        Scrivi(
            "impianti/Palestra/registro/pc9.txt",
            "2026-12-08T10:00:00.000+01:00\tpc9-1-1\tfine\tan\x1bna\tpc9\tCOM1\tprova\a\tfatto\n");
        {
            FormRegistro r(nullptr, "Palestra");
            QCOMPARE(r.Righe->item(0, 1)->text(), QString("an<ESC>na"));
            QCOMPARE(r.Righe->item(0, 4)->text(), QString("prova<BEL>"));
        }
        {
            Manutenzione::Lavoro lavoro("Palestra", "COM1", "lettura dei testi");
            FormImpianti f(nullptr);
            Scegli(&f, "Palestra");
            AllaFinestra<QInputDialog>([](QInputDialog *d) {
                d->setTextValue("Palestra nuova");
                d->accept();
            });
            f.Rinomina->click();
            QVERIFY2(f.Esito->text().contains("un lavoro è in corso sull'impianto (lettura dei "
                                              "testi, dal "),
                     qPrintable(f.Esito->text()));
            QVERIFY(QDir(Impianti::CartellaDi("Palestra")).exists());
            lavoro.Fine("fatto");
        }
        Impianti::InUso() = "Palestra";
        AllaFinestra<QMessageBox>([](QMessageBox *m) {
            for (QAbstractButton *b : m->buttons())
                if (b->text() == "Aggiorna l'impianto") b->click();
        });
        FormPorta d(nullptr);
        d.Indirizzo->setText(banco.percorso("COM1"));
        d.Usa->click();
        QString errore;
        QCOMPARE(Impianti::Carica("Palestra", &errore)->porta, banco.percorso("COM1"));
        QVERIFY2(d.Esito->text().contains("Attenzione: l'impianto \"Piscina\" ha lo stesso "
                                          "collegamento (COM1) e lo stesso identificativo"),
                 qPrintable(d.Esito->text()));
    }

    // Two sites on one panel, or two RS232 sites on one link: the site
    // window says so once the site is saved.
    void impiantiSullaStessaCentrale() {
        Crea(Sito("Ospedale", "COM2", "&03"));
        FormImpianti f(nullptr);
        AllaFinestra<FormImpianto>([](FormImpianto *d) {
            d->Nome->setText("Pronto soccorso");
            d->Porta->setText("COM2");
            d->Id->setText("&03");
            d->Salva->click();
        });
        f.Nuovo->click();
        QString errore;
        QVERIFY2(Impianti::Carica("Pronto soccorso", &errore) &&
                     f.Esito->text().contains("Attenzione: l'impianto \"Ospedale\" ha lo stesso "
                                              "collegamento (COM2) e lo stesso identificativo"),
                 qPrintable(f.Esito->text()));
    }

    // "Rinomina…" refuses a name taken in another case and keeps the site
    // in use under its new name, with its versions and a register line;
    // "Rimuovi…" asks, moves the folder into archivio/ and ends its use.
    void rinominaERimuovi() {
        Crea(Sito("Villa Rossi", "COM1", "&45"));
        Crea(Sito("Ospedale", "COM2", "&03"));
        QString errore;
        QVERIFY(Versioni::Conserva("Villa Rossi", Versioni::Tipo::Letto, {{"000", "x"}}, "letti",
                                   &errore));
        Impianti::InUso() = "Villa Rossi";
        FormImpianti f(nullptr);
        f.show();
        const auto nome = [](const QString &nuovo) {
            AllaFinestra<QInputDialog>([nuovo](QInputDialog *d) {
                d->setTextValue(nuovo);
                d->accept();
            });
        };
        Scegli(&f, "Villa Rossi");
        nome("ospedale");
        f.Rinomina->click();
        QVERIFY2(f.Esito->text().contains("c'è già un impianto di nome \"Ospedale\""),
                 qPrintable(f.Esito->text()));
        nome("Villa Bianchi");
        f.Rinomina->click();
        QCOMPARE(Impianti::InUso(), QString("Villa Bianchi"));
        QVERIFY(!QDir(Impianti::CartellaDi("Villa Rossi")).exists());
        QCOMPARE(Versioni::Elenco("Villa Bianchi").size(), 1);
        QCOMPARE(Azioni("Villa Bianchi").last(),
                 QString("impianto rinominato | rinominato da \"Villa Rossi\""));
        QCOMPARE(f.Elenco->item(f.Elenco->currentRow(), 0)->text(), QString("Villa Bianchi"));

        AllaFinestra<QMessageBox>([](QMessageBox *m) {
            for (QAbstractButton *b : m->buttons())
                if (b->text() == "Rimuovi") b->click();
        });
        f.Rimuovi->click();
        QVERIFY(Impianti::InUso().isEmpty());
        QCOMPARE(f.Elenco->rowCount(), 1);
        const QStringList archivio = QDir("archivio").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(archivio.size(), 1);
        QVERIFY2(archivio.first().startsWith("Villa Bianchi-"), qPrintable(archivio.first()));
        QVERIFY(QFileInfo::exists("archivio/" + archivio.first() + "/impianto.txt"));
    }
};

QTEST_MAIN(TestImpiantiFinestre)
#include "tst_impianti_finestre.moc"
