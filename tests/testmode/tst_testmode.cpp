// Test mode against the panel simulator: texts loaded, states painted.
#include "widgets/Aspetto.h"
#include "support/Aperta.h"
#include "support/Azioni.h"
#include "linea/FinestreLinea.h"
#include "programming/FormScriveMessaggi.h"
#include "testmode/CicloTest.h"
#include "testmode/EtichettaPannello.h"
#include "testmode/FormPrincipaleTest.h"
#include "link/FormSeriale.h"
#include "support/Banco.h"
#include "shared/Attendi.h"
#include "shared/Numeri.h"
#include "support/TempoCpu.h"
#include "shared/Variabili.h"

#include <QAction>
#include <QLabel>
#include <QTcpServer>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

using namespace Variabili;

namespace {

// Counts, for each widget it watches, the palette changes and the repaints.
class Osservatore : public QObject {
  public:
    QHash<QObject *, int> tavolozze, disegni;
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() == QEvent::PaletteChange) ++tavolozze[o];
        if (e->type() == QEvent::Paint) ++disegni[o];
        return false;
    }
    QStringList toccati() const {
        QStringList nomi;
        for (auto *h : {&tavolozze, &disegni})
            for (auto i = h->begin(); i != h->end(); ++i)
                nomi << i.key()->objectName();
        return nomi;
    }
};

// Every character of a panel label's lines is drawn in its own place, within
// the label: ink in the cell of each character that is not a blank, none inside
// the cell of a blank; nothing of the text left out.
void VerificaRighe(QLabel *etichetta) {
    auto *e = qobject_cast<EtichettaPannello *>(etichetta);
    QVERIFY(e);
    const QStringList righe = e->Righe();
    QCOMPARE(righe.join(QString()), e->text());
    const QImage immagine = e->grab().toImage();
    const QFontMetricsF metrica(e->font(), e);
    const QRect visibile = e->contentsRect();
    const int fondo = qGray(Sfondo(e).rgb());
    auto inchiostro = [&](const QRectF &cella) {
        const QRect r = cella.toAlignedRect() & visibile;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (qGray(immagine.pixel(x, y)) < fondo - 100) return true;
        return false;
    };
    for (int i = 0; i < righe.size(); ++i) {
        const qreal alto = e->AreaTesto().top() + i * metrica.lineSpacing();
        const QString dove = e->objectName() + QStringLiteral(" riga %1: ").arg(i) + righe[i];
        QVERIFY2(alto + metrica.ascent() <= visibile.bottom() + 1, qPrintable(dove));
        qreal x = e->AreaTesto().left();
        for (const QChar c : righe[i]) {
            const QRectF cella(x, alto, metrica.horizontalAdvance(c), metrica.height());
            if (c != QLatin1Char(' ')) {
                QVERIFY2(cella.right() <= visibile.right() + 1, qPrintable(dove));
                QVERIFY2(inchiostro(cella), qPrintable(dove + " '" + c + "'"));
            } else {
                QVERIFY2(!inchiostro(cella.adjusted(1, 0, -1, 0)), qPrintable(dove));
            }
            x += cella.width();
        }
    }
}

} // namespace

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
        // The window's own title, then the panel and the port it talks to.
        QVERIFY2(f->windowTitle().startsWith("Test Velto   (Velto318)   — centrale &45 su COM1"),
                 qPrintable(f->windowTitle()));
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
        // Unknown states: the inputs leave these windows as they are.
        banco->ordina("input 8 x");
        banco->ordina("input 45 x");
        ImpostaSfondo(f->Allarmi[7], ColoreRosso());
        ImpostaSfondo(f->Allarmi[44], ColoreRosso());
        f->LeggiStato();
        QCOMPARE(Sfondo(f->MessaggioRiposo[0]), ColoreVerde());
        QVERIFY(neutro(f->NomeVelto[0]) && neutro(f->FineCiclata[0]));
        f->LeggiIngressi(); // the alarm windows show the cycle's colours at its end
        QVERIFY(neutro(f->Allarmi[7]));
        QVERIFY(rosso(f->Allarmi[44])); // the tiles are not reset by the rest state

        banco->ordina("status A");
        f->LeggiStato();
        QVERIFY(neutro(f->MessaggioRiposo[0]));
        QVERIFY(rosso(f->FineCiclata[0]));
        QVERIFY(rosso(f->NomeVelto[0]));
    }

    // Replies that never come whole change no window: the red button shows the
    // failure, with why, as for a silent panel.
    void risposteNonIntereLascianoLeFinestre() {
        AVVIA(banco);
        f->LeggiStato();
        QCOMPARE(Sfondo(f->MessaggioRiposo[0]), ColoreVerde());
        banco->ordina("status A");
        banco->ordina("input 5 C");
        banco->ordina("noise on");
        QStringList perche; // each failure's button, pressed as it shows
        QTimer premi;
        connect(&premi, &QTimer::timeout, this, [&] {
            if (!f->TastoErroreSeriale->isVisible() || f->TastoErroreSerialeFlag) return;
            perche << f->TastoErroreSeriale->toolTip();
            f->TastoErroreSeriale->click();
        });
        premi.start(10);
        f->LeggiStato();
        f->LeggiIngressi();
        premi.stop();
        QCOMPARE(Sfondo(f->MessaggioRiposo[0]), ColoreVerde());
        QVERIFY(neutro(f->FineCiclata[0]) && neutro(f->Allarmi[4]));
        QCOMPARE(perche.size(), 4);
        QVERIFY2(perche[0].contains("linea disturbata"), qPrintable(perche[0]));
        banco->ordina("noise off");
        f->LeggiStato();
        f->LeggiIngressi();
        QVERIFY(rosso(f->FineCiclata[0]) && rosso(f->Allarmi[4]));
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

        // Panel at rest with input 21 still active: the rest state turns it to
        // button face, the inputs red again in the same cycle, and the window
        // shows red all along.
        f->LeggiStato();
        QVERIFY(rosso(f->Allarmi[20]));
        f->LeggiIngressi();
        QVERIFY(rosso(f->Allarmi[20]));

        for (int n : {45, 46})
            banco->ordina(QString("input %1 -").arg(n));
        f->LeggiIngressi();
        QVERIFY(neutro(f->Allarmi[44]) && neutro(f->Allarmi[45]));
    }

    // The lines of a panel label, in character cells: broken at blanks where
    // the rest still fits, inside a word where it would not; blanks kept.
    void righeDelleEtichette() {
        auto righe = [](const QString &testo, int colonne, int quante) {
            return RigheEtichetta(testo, QList<qreal>(testo.size(), 1.0), colonne, quante);
        };
        QCOMPARE(righe("10ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", 17, 2),
                 QStringList({"10ABCDEFGHIJKLMNO", "PQRSTUVWXYZ012345"}));
        QCOMPARE(righe("1Sensore volumetrico corridoio 2 ", 17, 2),
                 QStringList({"1Sensore volumetr", "ico corridoio 2 "}));
        QCOMPARE(righe("1Sensore volumetrico corridoio 2 ", 17, 3),
                 QStringList({"1Sensore ", "volumetrico ", "corridoio 2 "}));
        QCOMPARE(righe("1Zona uno        piano terra     ", 17, 2),
                 QStringList({"1Zona uno        ", "piano terra     "}));
        QCOMPARE(righe("  Porta <S>   ingr", 17, 2), QStringList({"  Porta <S>   ", "ingr"}));
    }

    // The texts of the panel are shown whole and as they are: two 16-character
    // texts always fit their window, and what looks like markup is shown as
    // typed, every blank in its place.
    void testiInteriEComeSono() {
        AVVIA(banco);
        banco->ordina("text 36 ABCDEFGHIJKLMNOP"); // alarm 10: narrow, with two digits
        banco->ordina("text 37 QRSTUVWXYZ012345");
        banco->ordina("text 172 Sensore volumetr");
        banco->ordina("text 173 ico corridoio 2");
        banco->ordina("text 0 Porta <S>   ingr");
        banco->ordina("text 1 <B>a riposo <P>");
        banco->ordina("text 180 <I>Centrale   <P>");
        banco->ordina("text 181   Velto  &amp; <b>");
        f->CaricaTesti();
        QCOMPARE(f->Allarmi[0]->text(), "1Porta <S>   ingr<B>a riposo <P> ");
        for (QLabel *l : {f->Allarmi[9], f->Allarmi[43], f->Allarmi[0], f->NomeVelto[0]})
            VerificaRighe(l);
        for (QLabel *l : f->findChildren<QLabel *>())
            QVERIFY2(l->textFormat() == Qt::PlainText, qPrintable(l->objectName()));
    }

    // At rest, with inputs that do not change, nothing on the screen is
    // touched: no window changes colour, even for a moment, no label is
    // repainted. A window whose input goes back to "-" turns to button face
    // once; the name line still flashes while the panel is not at rest.
    void coloriSoloAFineCiclo() {
        AVVIA(banco);
        banco->ordina("input 5 C");
        banco->ordina("input 21 C");
        auto ciclo = [&] {
            f->LeggiStato();
            f->LeggiIngressi();
            f->LeggiTasto();
        };
        ciclo();
        QVERIFY(rosso(f->Allarmi[4]) && rosso(f->Allarmi[20]));
        QCOMPARE(f->LabelTastoPremuto->text(), QString("..."));
        PompaEventi(); // the key's caption, changed at the end of the cycle, is painted

        Osservatore osserva;
        for (QLabel *l : f->findChildren<QLabel *>())
            l->installEventFilter(&osserva);
        ciclo();
        ciclo();
        QVERIFY2(osserva.toccati().isEmpty(), qPrintable(osserva.toccati().join(' ')));

        banco->ordina("input 21 -");
        ciclo();
        QVERIFY(neutro(f->Allarmi[20]) && rosso(f->Allarmi[4]));
        QCOMPARE(osserva.tavolozze.value(f->Allarmi[20]), 1);
        QCOMPARE(osserva.toccati().removeDuplicates(), 1);
        QCOMPARE(osserva.toccati().constFirst(), QString("Allarmi(20)"));

        banco->ordina("status A");
        ciclo();
        osserva.tavolozze.clear();
        ciclo();
        QCOMPARE(osserva.tavolozze.value(f->NomeVelto[0]), 2); // button face for 100 ms, then red
        QVERIFY(rosso(f->NomeVelto[0]) && rosso(f->FineCiclata[0]));
        QCOMPARE(osserva.tavolozze.size(), 1);
    }

    // The last exchange's text shows from its first character, however long;
    // the operator moves and types in the box as in any other.
    void text3DalPrimoCarattere() {
        AVVIA(banco);
        banco->ordina("text 7 Testo lungo fino in fondo");
        NumeroTesto = 7;
        TreCifre();
        f->LeggiTesto();
        QCOMPARE(f->Text3->text(), QString("&450R007\r&450R00Testo lungo fino"));
        QCOMPARE(f->Text3->cursorPosition(), 0);
        QVERIFY(f->Text3->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() < 10);

        f->Text3->setFocus();
        QTest::keyClick(f->Text3, Qt::Key_End);
        QCOMPARE(f->Text3->cursorPosition(), f->Text3->text().size());
        QTest::keyClicks(f->Text3, "xy");
        QVERIFY(f->Text3->text().endsWith("xy"));
        QCOMPARE(f->Text3->cursorPosition(), f->Text3->text().size());

        f->LeggiTesto(); // the same text again
        QCOMPARE(f->Text3->cursorPosition(), 0);
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

    // The cycle without windows, as --prova runs it: each exchange is heard
    // as it ends, then what was decoded from it; per test cycle one status,
    // the three input groups and one key. A failed exchange is a gap with
    // nothing decoded; a cycle that stops asks nothing more.
    void cicloSenzaFinestre() {
        AVVIA(banco);
        struct Ascolto : CicloTest::Osservatore {
            QStringList visti;
            QStringList ingressi;
            void Scambiato(const CicloTest::Scambio &s) override {
                visti << (s.risposto ? "scambio" : "muto");
            }
            void Fallito(Comandi::Codice) override { visti << "fallito"; }
            void TestiCaricati(const QStringList &t) override { ingressi = t; }
            void Stato(const QString &s) override { visti << "stato " + s; }
            void Ingressi(int gruppo, const QList<Comandi::Ingresso> &stati) override {
                QString s = QString("gruppo %1 ").arg(gruppo);
                for (const Comandi::Ingresso &i : stati)
                    s += i.carattere;
                visti << s;
            }
            void Tasto(const QString &etichetta) override { visti << "tasto " + etichetta; }
        } ascolto;
        bool fermo = false;
        CicloTest ciclo([&fermo] { return fermo; });
        ciclo.Aggiungi(&ascolto);

        banco->ordina("text 172 Zona 44");
        QVERIFY(ciclo.CaricaTesti(false)); // the alarm windows' texts only
        QCOMPARE(banco->comandi().size(), 88);
        QCOMPARE(banco->comandi().last(), QString("&450R173"));
        QCOMPARE(ascolto.ingressi.size(), 44);
        QCOMPARE(ascolto.ingressi.last(), QString("Zona 44").leftJustified(32));

        ascolto.visti.clear();
        banco->ordina("input 5 C");
        banco->ordina("input 46 C");
        ciclo.Giro();
        const QString riposo(16, '-');
        QCOMPARE(ascolto.visti,
                 QStringList({"scambio", "stato R", "scambio", "gruppo 1 ----C-----------",
                              "scambio", "gruppo 2 " + riposo, "scambio", "gruppo 3 -------------C",
                              "scambio", "tasto ..."}));

        ascolto.visti.clear();
        banco->ordina("silent on");
        ciclo.LeggiStato();
        QCOMPARE(ascolto.visti, QStringList({"muto", "fallito"}));
        banco->ordina("silent off");

        ascolto.visti.clear();
        fermo = true;
        ciclo.Giro(); // the status is asked, the rest of the cycle is not
        QCOMPARE(ascolto.visti, QStringList({"scambio", "stato R"}));
        QVERIFY(!ciclo.CaricaTesti(false));
        QCOMPARE(ascolto.visti.size(), 2);
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
        QString suggerimento;
        Quando([&] { return t.elapsed() > 2500; },
               [&] {
                   suggerimento = f->TastoErroreSeriale->toolTip();
                   AVVIA(banco, {"--fast"}, false);
                   banco->ordina("text 5 di nuovo qui");
               });
        f->LeggiTesto();
        // A spinning retry burns the whole wait; the retries with their
        // repaints take a few percent, more on a loaded machine.
        const double usata = TempoCpu() - cpu;
        QVERIFY2(usata < 0.25 * double(t.elapsed()) / 1000, qPrintable(QString::number(usata)));
        QVERIFY(!ErroreSeriale);
        QCOMPARE(DatiRisposta, QString("di nuovo qui").leftJustified(16));
        QVERIFY2(suggerimento.contains("non è aperta") &&
                     suggerimento.contains("adattatore scollegato"),
                 qPrintable(suggerimento)); // not "the panel does not answer"
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
                   // A flat red field, as the red windows: no shading.
                   const QImage bottone = f->TastoErroreSeriale->grab().toImage();
                   rossoInAttesa = rosso(f->TastoErroreSeriale);
                   for (int y : {2, bottone.height() - 3})
                       for (int x = 2; x < bottone.width() - 2; ++x)
                           rossoInAttesa = rossoInAttesa && bottone.pixel(x, y) == qRgb(255, 0, 0);
                   f->TastoErroreSeriale->click();
               });
        f->LeggiTasto();
        QCOMPARE(text3InAttesa, QString("&4509\r"));
        QCOMPARE(didascalia, QString("Errore Seriale Premi qui"));
        QVERIFY(rossoInAttesa);
        QVERIFY(f->TastoErroreSeriale->isHidden());
        QCOMPARE(f->Text3->text(), QString("1234567errore seriale "));
        QCOMPARE(f->LabelTastoPremuto->text(), QString(" +"));

        // "Progr" also ends the wait, without a click: Enter on it, as the keyboard goes.
        Quando([&] { return f->TastoErroreSeriale->isVisible(); },
               [&] {
                   f->Command1->setFocus();
                   QTest::keyClick(f->Command1, Qt::Key_Return);
               });
        f->LeggiStato();
        QVERIFY(rosso(f->FineCiclata[0])); // the marker is not "R"

        // Another port chosen from the menu ends it too.
        f->StatoProgramma = FormPrincipaleTest::Run;
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString rete = QString("tcp://127.0.0.1:%1").arg(server.serverPort());
        Quando([&] { return Aperta<FormPorta>(); },
               [&] {
                   Aperta<FormPorta>()->Indirizzo->setText(rete);
                   Aperta<FormPorta>()->Usa->click();
                   Aperta<FormPorta>()->Chiudi->click();
               });
        Quando([&] { return f->TastoErroreSeriale->isVisible(); },
               [&] { f->findChild<QAction *>("VocePorta")->trigger(); });
        f->LeggiStato();
        QCOMPARE(FormSeriale::Istanza().MSComm1.Dispositivo(), rete);

        // A connection that stands is a network that works: the panel is
        // silent. Once the connection is lost (and refused again), the button
        // names the network, not the serial port.
        Quando([&] { return f->TastoErroreSeriale->isVisible(); },
               [&] {
                   didascalia = f->TastoErroreSeriale->text();
                   f->TastoErroreSeriale->click();
               });
        f->LeggiStato();
        QCOMPARE(didascalia, QString("Errore Seriale Premi qui"));
        server.close();
        while (server.hasPendingConnections())
            delete server.nextPendingConnection();
        Quando([&] { return f->TastoErroreSeriale->isVisible(); },
               [&] {
                   didascalia = f->TastoErroreSeriale->text();
                   f->TastoErroreSeriale->click();
               });
        f->LeggiStato();
        QCOMPARE(didascalia, QString("Errore di rete Premi qui"));
    }

    // The first words on a failure are true ones. A panel that answered on
    // this port has the right identifier: it stopped answering, since a
    // time. Another panel chosen that does not answer shows blank windows,
    // not the last panel's texts. The title names the device the port
    // opened again on, once the adapter is back under another name.
    void leParole() {
        AVVIA(banco);
        banco->ordina("text 0 Aula uno");
        f->CaricaTesti();
        f->LeggiStato();
        QVERIFY(f->Allarmi[0]->text().startsWith("1Aula uno"));
        QString didascalia, suggerimento, primoTesto;
        QTimer premi; // each failure's button, read and pressed as it shows
        connect(&premi, &QTimer::timeout, this, [&] {
            if (!f->TastoErroreSeriale->isVisible() || f->TastoErroreSerialeFlag) return;
            didascalia = f->TastoErroreSeriale->text();
            suggerimento = f->TastoErroreSeriale->toolTip();
            primoTesto = f->Allarmi[0]->text();
            f->TastoErroreSeriale->click();
        });
        premi.start(20);

        banco->ordina("silent on");
        f->LeggiStato();
        QCOMPARE(didascalia, QString("Errore Seriale Premi qui"));
        const QRegularExpression smesso("^La centrale &45 ha smesso di rispondere sulla porta "
                                        "COM1 \\(/dev/pts/\\d+\\) \\(rispondeva fino alle "
                                        "\\d\\d:\\d\\d\\)\\. ");
        QVERIFY2(smesso.match(suggerimento).hasMatch() && !suggerimento.contains("Cerca il VELTO"),
                 qPrintable(suggerimento));

        banco->ordina("silent off");
        UsaIdentificativo("&47"); // no panel answers to it
        f->LeggiIngressi();
        QVERIFY2(primoTesto.trimmed().isEmpty(), qPrintable(primoTesto));
        QVERIFY2(suggerimento.startsWith("La centrale non risponde sulla porta COM1 (") &&
                     suggerimento.contains("con l'identificativo &47"),
                 qPrintable(suggerimento));
        UsaIdentificativo("&45");

        // The adapter unplugged, and back under another name: the number it
        // had stays taken meanwhile (its line held open here).
        const QString prima = FormSeriale::Istanza().MSComm1.Dispositivo();
        const int occupa = ::open(QFile::encodeName(prima).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(occupa >= 0);
        banco.scollega();
        f->LeggiStato();
        AVVIA(banco, {"--fast"}, false);
        ::close(occupa);
        f->LeggiStato();
        QVERIFY(!ErroreSeriale);
        const QString ora = FormSeriale::Istanza().MSComm1.Dispositivo();
        QVERIFY2(ora != prima, qPrintable(ora));
        QVERIFY2(f->windowTitle().contains("centrale &45 su COM1 (" + ora + ")"),
                 qPrintable(f->windowTitle()));
    }

    // Another identifier chosen at run time, as "Usa questo identificativo"
    // does: test mode loads that panel's texts and rest state, and the titles
    // and the programming window's box name it.
    void altroPannelloInUso() {
        AVVIA(banco, {"--fast", "--also", "&46"});
        banco->ordina("text 0 Aula uno");
        banco->ordina("&46 text 0 Magazzino");
        banco->ordina("&46 text 176 Centrale B");
        banco->ordina("&46 status A");
        FormScriveMessaggi programmazione(f.get());
        programmazione.Form_Load();
        f->CaricaTesti();
        f->LeggiStato();
        QVERIFY(f->Allarmi[0]->text().startsWith("1Aula uno"));
        QCOMPARE(Sfondo(f->MessaggioRiposo[0]), ColoreVerde());

        UsaIdentificativo("&46");
        f->RicaricaSeCambiata();
        f->LeggiStato();
        QVERIFY2(f->Allarmi[0]->text().startsWith("1Magazzino"), qPrintable(f->Allarmi[0]->text()));
        QVERIFY(f->MessaggioRiposo[0]->text().startsWith("Centrale B"));
        QVERIFY(neutro(f->MessaggioRiposo[0]) && rosso(f->FineCiclata[0])); // &46 is not at rest
        QCOMPARE(programmazione.IdStart->text(), QString("&46"));
        for (QWidget *w :
             {static_cast<QWidget *>(f.get()), static_cast<QWidget *>(&programmazione)})
            QVERIFY2(w->windowTitle().contains("centrale &46 su COM1 ("),
                     qPrintable(w->windowTitle()));
    }

    // The link lost: the windows of the inputs and the rest message show no
    // state, not the last one, until the panel answers again.
    void collegamentoPerso() {
        AVVIA(banco);
        banco->ordina("input 3 C");
        f->LeggiStato();
        f->LeggiIngressi();
        QVERIFY(rosso(f->Allarmi[2]));
        QCOMPARE(Sfondo(f->MessaggioRiposo[0]), ColoreVerde());
        QTimer premi; // each failure's button, pressed as it shows
        connect(&premi, &QTimer::timeout, this, [&] {
            if (f->TastoErroreSeriale->isVisible() && !f->TastoErroreSerialeFlag)
                f->TastoErroreSeriale->click();
        });
        premi.start(20);

        banco.scollega();
        f->LeggiIngressi();
        for (int i : {0, 2, 43, 45})
            QCOMPARE(Sfondo(f->Allarmi[i]), ColoreSconosciuto());
        QCOMPARE(Sfondo(f->MessaggioRiposo[0]), ColoreSconosciuto());

        AVVIA(banco, {"--fast"}, false);
        banco->ordina("input 3 C");
        f->LeggiStato();
        f->LeggiIngressi();
        QVERIFY(rosso(f->Allarmi[2]) && neutro(f->Allarmi[0]) && neutro(f->Allarmi[45]));
        QCOMPARE(Sfondo(f->MessaggioRiposo[0]), ColoreVerde());
    }
};

QTEST_MAIN(TestModoTest)
#include "tst_testmode.moc"
