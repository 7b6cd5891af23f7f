// The programming window against the simulator: sending and verifying a
// message file, reading all texts back, the save window and the editor.
#include "widgets/Aspetto.h"
#include "widgets/Controlli.h"
#include "support/Aperta.h"
#include "support/Azioni.h"
#include "support/FileProva.h"
#include "files/EditaMessaggi.h"
#include "files/FormSalvaFile.h"
#include "programming/FormScriveMessaggi.h"
#include "link/Comandi.h"
#include "link/FormSeriale.h"
#include "files/ListeFile.h"
#include "impianti/Impianti.h"
#include "jobs/InvioImpianto.h"
#include "jobs/Operazioni.h"
#include "files/Programmazione.h"
#include "support/Banco.h"
#include "shared/Variabili.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QTextBlock>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>
#include <memory>
#include <unistd.h>

using namespace Variabili;

namespace {
// A text of 16 characters for number n, different for every n.
QString TestoDi(int n) {
    return QString("Testo %1 ab").arg(n, 3, 10, QChar('0')).leftJustified(16);
}
// The file a read-back of texts TestoDi(n) must produce, built independently.
QByteArray FileLetto(const QString &commento) {
    QByteArray f = commento.toLatin1() + "\r\n";
    for (int n = 0; n <= 192; ++n)
        if (n < 182 || n >= 190)
            f += QString("%1%2*\r\n").arg(n, 3, 10, QChar('0')).arg(TestoDi(n)).toLatin1();
    return f + "\r\nend\r\n";
}
// What a job showed: its last status lines and its acknowledgements. It asks
// to stop at its question number `fermaA` (from 0), when that is set.
struct Visto : Operazioni::Osservatore {
    QString riga1, riga2;
    int conferme = 0, domande = 0, fermaA = -1;
    void Riga1(const QString &t) override { riga1 = t; }
    void Riga2(const QString &t) override { riga2 = t; }
    void Avanzamento(const QString &, int, int) override {}
    void Conferma() override { ++conferme; }
    bool Fermato() override { return domande++ == fermaA; }
};
// The entries of a send of texts "testo N" for numbers 1 to `quanti`.
QList<Programmazione::Voce> VociDiProva(const QString &percorso, int quanti) {
    QByteArray file = "c\r\n";
    for (int n = 1; n <= quanti; ++n)
        file += QString("%1testo %2\r\n").arg(n, 3, 10, QChar('0')).arg(n).toLatin1();
    Scrivi(percorso, file + "end\r\n");
    NomeFile = percorso;
    Visto o;
    QList<Programmazione::Voce> voci;
    if (Operazioni::PreparaInvio(o, &voci).esito != Operazioni::Esito::Fatto) voci.clear();
    return voci;
}
} // namespace

class TestProgrammazione : public QObject {
    Q_OBJECT
    Banco banco;
    std::unique_ptr<FormScriveMessaggi> p;

    // Acknowledges the next failure, remembering what the window showed.
    void conferma(QString *didascalia, QString *t1 = nullptr, QString *t2 = nullptr) {
        Quando([this] { return p->Command4->isVisible(); },
               [=] {
                   *didascalia = p->Command4->text();
                   if (t1) *t1 = p->Text1->text();
                   if (t2) *t2 = p->Text2->text();
                   p->Command4->click();
               });
    }
    bool comandiAbilitati() {
        for (QWidget *w :
             std::initializer_list<QWidget *>{p->Command1, p->Command2, p->Command3, p->Command5,
                                              p->LeggiTesti, p->Drive1, p->Dir1, p->File1})
            if (!w->isEnabled()) return false;
        return true;
    }

  private slots:
    void initTestCase() { ImpostaSostituzioniFont(); }
    void init() {
        banco.inizio();
        p = std::make_unique<FormScriveMessaggi>();
        p->Form_Load();
        p->show();
    }
    void cleanup() {
        AnnullaAzioni();
        p.reset();
        banco.fine();
    }

    void primaVisualizzazione() {
        QCOMPARE(p->Text1->text(), QString("Seleziona un file xxx.VLT per programmare"));
        QCOMPARE(p->Text2->text(), QString("o Clicca Pulsante Test funzionamento"));
        QVERIFY(p->Command4->isHidden());
        QVERIFY(NomeFile.isEmpty());
        QCOMPARE(Scelta, QString("aspetta"));
        QCOMPARE(p->IdStart->text(), QString("&45"));
        QVERIFY(p->IdStart->isReadOnly());
        QCOMPARE(p->Command1->geometry(), QRect(208, 344, 129, 65));
        QCOMPARE(p->findChild<QPushButton *>("LeggiTesti")->text(),
                 QString("Leggi Testi dal VELTO"));
        // The progress bar lies below every control of the window.
        QVERIFY(p->BarraAvanzamento->geometry().top() >= 433);
        QVERIFY(p->height() >= p->BarraAvanzamento->geometry().bottom());
        // Tab goes round the controls the operator uses, never the status lines.
        p->show();
        QVERIFY(QTest::qWaitForWindowActive(p.get()));
        p->Command1->setFocus();
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            for (QWidget *stato :
                 {static_cast<QWidget *>(p->Text1), static_cast<QWidget *>(p->Text2),
                  static_cast<QWidget *>(p->IdStart)})
                QVERIFY(!stato->hasFocus());
        }
    }

    void nessunFileScelto() {
        AVVIA(banco);
        p->Command1->click();
        QCOMPARE(p->Text1->text(), QString("Devi selezionare un file"));
        QCOMPARE(p->Text2->text(), QString("Cliccane uno dalla lista in alto a destra"));
        QVERIFY(comandiAbilitati());
        p->Command5->click();
        QCOMPARE(p->Text1->text(), QString("Devi selezionare un file"));
        QCOMPARE(p->Text2->text(), QString("Cliccane uno dalla lista "));
        QVERIFY(comandiAbilitati());
        QVERIFY(!Aperta<EditaMessaggi>());
        QVERIFY(banco->comandi().isEmpty());
    }

    void sceltaDelFile() {
        Scrivi(banco.percorso("a.vlt"), "c\r\n");
        Scrivi(banco.percorso("B.VLT"), "c\r\n");
        Scrivi(banco.percorso("c.txt"), "c\r\n");
        QDir(banco.cartella()).mkdir("sotto");
        QVERIFY(p->Dir1->setPath(banco.cartella()));
        p->Dir1_Change();
        QCOMPARE(p->File1->count(), 2);
        QVERIFY(p->File1->scegli("B.VLT"));
        QCOMPARE(NomeFile, banco.percorso("B.VLT"));
        QVERIFY(p->Dir1->setPath(banco.percorso("sotto")));
        p->Dir1_Change();
        QCOMPARE(p->File1->count(), 0);
        QCOMPARE(NomeFile, banco.percorso("B.VLT")); // the file picked first stays chosen
        p->Command3->click();
        QCOMPARE(Scelta, QString("Testa"));
        QVERIFY(!p->isVisible());
    }

    // The file sent is the file highlighted, whether the mouse or the keyboard
    // (arrows, Home/End, a typed letter) moved the highlight; the focus alone
    // chooses nothing, and taking the highlight off the chosen file unchooses it.
    void fileEvidenziatoEFileInviato() {
        AVVIA(banco);
        for (const char *nome : {"a.vlt", "b.vlt", "c.vlt", "m.vlt"})
            Scrivi(banco.percorso(nome), QByteArray("c\r\n001file ") + nome + "\r\nend\r\n");
        QVERIFY(p->Dir1->setPath(banco.cartella()));
        p->Dir1_Change();
        p->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(p.get()));
        ListaFile *lista = p->File1;
        p->Command1->setFocus();
        for (int i = 0; i < 10 && QApplication::focusWidget() != lista; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), lista);
        QVERIFY(NomeFile.isEmpty());
        QVERIFY(lista->selectedItems().isEmpty());

        const auto scelto = [&] { return QFileInfo(NomeFile).fileName(); };
        QTest::keyClick(lista, Qt::Key_Down);
        QCOMPARE(scelto(), QString("b.vlt"));
        QTest::keyClick(lista, Qt::Key_End);
        QCOMPARE(scelto(), QString("m.vlt"));
        QTest::keyClick(lista, Qt::Key_Home);
        QCOMPARE(scelto(), QString("a.vlt"));
        QTest::keyClick(lista, Qt::Key_C);
        QCOMPARE(scelto(), QString("c.vlt"));
        QTest::keyClick(lista, Qt::Key_Up);
        QCOMPARE(scelto(), QString("b.vlt"));
        p->Command1->click();
        QCOMPARE(p->Text2->text(), QString("DATI UGUALI  TUTTO OK "));
        QCOMPARE(banco->comandi().first(),
                 "&450W018" + QString("001file b.vlt").leftJustified(19) + "0W");

        const QRect m = lista->visualItemRect(lista->item(3));
        QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, m.center());
        QCOMPARE(scelto(), QString("m.vlt"));
        QTest::mouseClick(lista->viewport(), Qt::LeftButton, Qt::ControlModifier, m.center());
        QVERIFY(lista->selectedItems().isEmpty());
        QVERIFY(NomeFile.isEmpty());
        banco->azzeraRegistro();
        p->Command1->click();
        QCOMPARE(p->Text1->text(), QString("Devi selezionare un file"));
        QVERIFY(banco->comandi().isEmpty());
    }

    // A read-back file of 185 texts, sent and verified; every text lands in
    // the panel's store. An end marker without its line end closes the file.
    void invioCompletoEVerifica() {
        AVVIA(banco);
        QByteArray file = FileLetto("Da inviare");
        file.chop(2); // a hand-made file: no line end after "end"
        const QString percorso = banco.percorso("tutto.vlt");
        Scrivi(percorso, file);
        NomeFile = percorso;
        p->Command1->click();
        QCOMPARE(p->Text2->text(), QString("DATI UGUALI  TUTTO OK "));
        QVERIFY(p->Command4->isHidden());
        QVERIFY(comandiAbilitati());
        const QStringList comandi = banco->comandi();
        QCOMPARE(Conta(comandi, "&450W018"), 185);
        QCOMPARE(Conta(comandi, "&450R"), 185);
        QCOMPARE(comandi[184], "&450W018192" + TestoDi(192) + "0W");
        QCOMPARE(comandi.last(), QString("&450R192"));
        const QStringList store = banco->testi();
        for (int n = 0; n <= 192; ++n)
            if (n < 182 || n >= 190)
                QCOMPARE(store[n], QString("%1").arg(n, 3, 10, QChar('0')) + TestoDi(n));
        QCOMPARE(p->BarraAvanzamento->value(), p->BarraAvanzamento->maximum());
        QCOMPARE(Testi[184], "192" + TestoDi(192));

        // The progress shows every text written before the verification begins.
        struct Registro : Operazioni::Osservatore {
            QStringList passi;
            void Riga1(const QString &) override {}
            void Riga2(const QString &) override {}
            void Avanzamento(const QString &fase, int fatti, int totale) override {
                passi << QString("%1 %2 di %3").arg(fase).arg(fatti).arg(totale);
            }
            void Conferma() override {}
        } registro;
        Scrivi(banco.percorso("due.vlt"), "c\r\n001uno\r\n002due\r\nend\r\n");
        NomeFile = banco.percorso("due.vlt");
        QCOMPARE(Operazioni::ProgrammaTesti(registro).esito, Operazioni::Esito::Fatto);
        const qsizetype scritti = registro.passi.indexOf("Scrittura 2 di 2");
        QVERIFY2(scritti >= 0 && scritti < registro.passi.indexOf("Verifica 0 di 2"),
                 qPrintable(registro.passi.join('|')));
    }

    // A file with nothing to send says so, never "TUTTO OK", and a bar left
    // full by the job before shows the empty job as empty.
    void soloCommentoNienteDaInviare() {
        AVVIA(banco);
        Scrivi(banco.percorso("uno.vlt"), "c\r\n001uno\r\nend\r\n");
        NomeFile = banco.percorso("uno.vlt");
        p->Command1->click();
        QCOMPARE(p->BarraAvanzamento->text(), QString("Verifica 1 di 1"));
        banco->azzeraRegistro();
        for (const QByteArray &file : {QByteArray("commento\r\n198no\r\n999no\r\n"),
                                       QByteArray("solo commento"), QByteArray()}) {
            Scrivi(banco.percorso("vuoto.vlt"), file);
            NomeFile = banco.percorso("vuoto.vlt");
            p->Command1->click();
            QCOMPARE(p->Text1->text(), QString("Il file non contiene testi da inviare"));
            QCOMPARE(p->Text2->text(), QString("Nulla è stato inviato al VELTO"));
            QCOMPARE(p->BarraAvanzamento->value(), 0);
            QCOMPARE(p->BarraAvanzamento->text(), QString());
            QVERIFY(p->Command4->isHidden());
            QVERIFY(comandiAbilitati());
        }
        QVERIFY(banco->comandi().isEmpty());
    }

    // A file made on Linux (lines ending in LF alone) is sent line by line,
    // and its line numbers are counted the same way.
    void fileFattoSuLinux() {
        AVVIA(banco);
        Scrivi(banco.percorso("linux.vlt"), "Fatto su Linux\n001prima riga\n\n002seconda\nend\n");
        NomeFile = banco.percorso("linux.vlt");
        p->Command1->click();
        QCOMPARE(p->Text2->text(), QString("DATI UGUALI  TUTTO OK "));
        QCOMPARE(banco->testi()[2], "002" + QString("seconda").leftJustified(16));
        QCOMPARE(banco->comandi().size(), 4);
        banco->azzeraRegistro();
        Scrivi(banco.percorso("linux.vlt"), "c\n001ok\n\n002perch\xc3\xa8\nend\n");
        p->Command1->click();
        QCOMPARE(p->Text1->text(), QString("Testo 002, riga 4: carattere \"è\" non trasmissibile"));
        QVERIFY(banco->comandi().isEmpty());
    }

    void scritturaRifiutata() {
        AVVIA(banco, {"--fast", "--refuse-writes"});
        Scrivi(banco.percorso("a.vlt"), "c\r\n001uno\r\n002due\r\nend\r\n");
        NomeFile = banco.percorso("a.vlt");
        QString didascalia, t1, t2;
        conferma(&didascalia, &t1, &t2);
        p->Command1->click();
        QCOMPARE(didascalia, QString(" Errore risposta  Clicca Qui"));
        QCOMPARE(t1, QString("&450WN"));
        QCOMPARE(t2, QString("Programmo scritte"));
        QVERIFY(p->Command4->isHidden());
        QVERIFY(comandiAbilitati());
        QCOMPARE(banco->comandi().size(), 1);
        QCOMPARE(MessaggioErrore, QString(" Errore risposta "));
    }

    void testoCambiatoNelPannello() {
        AVVIA(banco, {"--fast", "--change", "2"});
        Scrivi(banco.percorso("a.vlt"), "c\r\n001uno\r\n002due\r\n003tre\r\nend\r\n");
        NomeFile = banco.percorso("a.vlt");
        QString didascalia, t1, t2;
        conferma(&didascalia, &t1, &t2);
        p->Command1->click();
        QCOMPARE(didascalia, QString("Errore Dati non scritti giusti. Clicca Qui"));
        QCOMPARE(t1, QString("due").leftJustified(16));
        QCOMPARE(t2, QString("due").leftJustified(15) + "#");
        QCOMPARE(Conta(banco->comandi(), "&450R"), 2); // stops at the first mismatch
    }

    void pannelloMutoDuranteInvio() {
        AVVIA(banco, {"--fast", "--silent-after", "3"});
        Scrivi(banco.percorso("a.vlt"), "c\r\n001a\r\n002b\r\n003c\r\n004d\r\n005e\r\nend\r\n");
        NomeFile = banco.percorso("a.vlt");
        QString didascalia, t1, t2;
        conferma(&didascalia, &t1, &t2);
        p->Command1->click();
        QCOMPARE(didascalia, QString(" Errore risposta  Clicca Qui"));
        QCOMPARE(t1, QString("1234567errore seriale "));
        // It answered the first writes: its identifier is right, it stopped answering.
        QVERIFY2(QRegularExpression("^La centrale non risponde più \\(rispondeva fino alle "
                                    "\\d\\d:\\d\\d\\)$")
                     .match(t2)
                     .hasMatch(),
                 qPrintable(t2));
        QCOMPARE(banco->comandi().size(), 3 + 2); // the fourth write and its repeat

        // Silent at the verification: the text and the silence are named.
        AVVIA(banco, {"--fast", "--silent-after", "5"});
        conferma(&didascalia, &t1, &t2);
        p->Command1->click();
        QCOMPARE(didascalia, QString("Errore Dati non scritti giusti. Clicca Qui"));
        QCOMPARE(t1, QString("a").leftJustified(16));
        QCOMPARE(t2, QString("Testo 001: nessuna risposta"));
    }

    // A send given a copy of the panel's texts: the copy is read and kept
    // before the first write, then only the texts that differ are written and
    // read back; the others count as already equal.
    void invioConCopiaScriveSoloIDiversi() {
        AVVIA(banco);
        for (int n : {1, 2, 4, 5})
            banco->ordina(QString("text %1 testo %1").arg(n));
        banco->ordina("text 3 vecchio 3");
        const QList<Programmazione::Voce> voci = VociDiProva(banco.percorso("a.vlt"), 6);
        QCOMPARE(voci.size(), 6);
        banco->azzeraRegistro();
        Visto o;
        QList<Programmazione::Voce> copia;
        QStringList primaDellaCopia;
        const auto conserva = [&](const QList<Programmazione::Voce> &presenti, QString *) {
            copia = presenti;
            primaDellaCopia = banco->comandi();
            return true;
        };
        Operazioni::RisultatoInvio r = Operazioni::InviaConCopia(o, voci, conserva);
        QCOMPARE(r.esito, Operazioni::Esito::Fatto);
        QCOMPARE(o.riga1, QString("2 testi scritti, 4 già uguali"));
        QCOMPARE(o.riga2, QString("DATI UGUALI  TUTTO OK "));
        QCOMPARE(r.scritti, 2);
        QCOMPARE(r.giaUguali, 4);
        QCOMPARE(primaDellaCopia, QStringList({"&450R001", "&450R002", "&450R003", "&450R004",
                                               "&450R005", "&450R006"}));
        QCOMPARE(copia.size(), 6);
        QCOMPARE(copia[2].voce, "003" + QString("vecchio 3").leftJustified(16));
        QCOMPARE(copia[5].voce, "006" + QString(16, ' '));
        const QStringList comandi = banco->comandi().mid(6);
        QCOMPARE(comandi, QStringList({"&450W018" + voci[2].voce + "0W",
                                       "&450W018" + voci[5].voce + "0W", "&450R003", "&450R006"}));
        QCOMPARE(banco->testi()[3], voci[2].voce);

        // The panel holds them all now: nothing is written.
        banco->azzeraRegistro();
        r = Operazioni::InviaConCopia(o, voci, conserva);
        QCOMPARE(r.esito, Operazioni::Esito::Fatto);
        QCOMPARE(r.giaUguali, 6);
        QCOMPARE(o.riga1, QString("nessun testo scritto, 6 già uguali"));
        QCOMPARE(o.riga2, QString("DATI UGUALI  TUTTO OK "));
        QCOMPARE(banco->comandi(), primaDellaCopia);
    }

    // A send to a site keeps what its panel held, and a restore of that copy
    // gives the panel back its texts byte for byte; a copy that cannot be
    // kept (its folder taken by a file) leaves the panel untouched.
    void invioAdImpianto() {
        AVVIA(banco);
        banco->ordina("text 2 vecchio  ~;*");
        const QDir prima = QDir::current();
        QDir::setCurrent(banco.cartella());
        Impianti::Impianto sito;
        sito.nome = "Banca";
        sito.porta = "COM1";
        sito.id = "&45";
        QString errore;
        QVERIFY(Impianti::Crea(sito, &errore));
        const QString vecchio = banco->testi()[2];
        const QList<Programmazione::Voce> voci = VociDiProva(banco.percorso("a.vlt"), 3);
        Visto o;
        InvioImpianto::Risultato r = InvioImpianto::Invia(o, voci, sito, false, "a.vlt");
        QCOMPARE(r.invio.esito, Operazioni::Esito::Fatto);
        QCOMPARE(r.copia, 1);
        QCOMPARE(r.inviato, 2);
        const auto copia = InvioImpianto::VociDellaVersione("Banca", 1, &errore);
        QVERIFY(copia && copia->size() == 3);
        QCOMPARE((*copia)[1].voce, vecchio);
        QCOMPARE(banco->testi()[2], voci[1].voce);
        r = InvioImpianto::Invia(o, *copia, sito, false, "versione 1");
        QCOMPARE(r.invio.esito, Operazioni::Esito::Fatto);
        QCOMPARE(r.invio.scritti, 3);
        QCOMPARE(banco->testi()[2], vecchio);

        QDir(Impianti::CartellaDi("Banca") + "/versioni").removeRecursively();
        Scrivi(Impianti::CartellaDi("Banca") + "/versioni", "non una cartella");
        banco->azzeraRegistro();
        r = InvioImpianto::Invia(o, voci, sito, false, "a.vlt");
        QCOMPARE(r.invio.esito, Operazioni::Esito::CopiaNonRiuscita);
        QVERIFY(r.invio.motivo.contains("versioni"));
        QCOMPARE(Conta(banco->comandi(), "&450W"), 0);
        QCOMPARE(banco->testi()[2], vecchio);
        QDir::setCurrent(prima.path());
    }

    // Nothing is written without a copy kept: a panel silent during the copy,
    // a copy that cannot be kept, the operator's stop during the copy.
    void invioSenzaCopiaNonScriveNulla() {
        AVVIA(banco, {"--fast", "--silent-after", "2"});
        const QList<Programmazione::Voce> voci = VociDiProva(banco.percorso("a.vlt"), 4);
        bool conservata = false;
        Visto muto;
        Operazioni::RisultatoInvio r = Operazioni::InviaConCopia(
            muto, voci, [&](const auto &, QString *) { return conservata = true; });
        QCOMPARE(r.esito, Operazioni::Esito::CopiaNonRiuscita);
        QVERIFY(r.muto);
        QCOMPARE(r.voce.numero(), QString("003"));
        QVERIFY(!conservata);
        QCOMPARE(muto.conferme, 1);
        QCOMPARE(muto.riga2, QString("Copia non letta: nulla è stato inviato al VELTO"));
        QCOMPARE(Conta(banco->comandi(), "&450W"), 0);

        AVVIA(banco);
        Visto pieno;
        r = Operazioni::InviaConCopia(pieno, voci, [](const auto &presenti, QString *errore) {
            *errore = QString("disco pieno, %1 testi").arg(presenti.size());
            return false;
        });
        QCOMPARE(r.esito, Operazioni::Esito::CopiaNonRiuscita);
        QVERIFY(r.voce.isEmpty());
        QCOMPARE(r.motivo, QString("Copia dei testi del VELTO non salvata (disco pieno, 4 testi): "
                                   "nulla è stato inviato"));
        QCOMPARE(pieno.conferme, 1);
        QCOMPARE(Conta(banco->comandi(), "&450W"), 0);

        banco->azzeraRegistro();
        Visto fermato;
        fermato.fermaA = 2;
        r = Operazioni::InviaConCopia(fermato, voci,
                                      [&](const auto &, QString *) { return conservata = true; });
        QCOMPARE(r.esito, Operazioni::Esito::Interrotto);
        QCOMPARE(r.motivo,
                 QString("Invio interrotto: nessun testo scritto, la centrale ha quelli di prima"));
        QVERIFY(!conservata);
        QCOMPARE(banco->comandi(), QStringList({"&450R001", "&450R002"}));
    }

    void fileNonLeggibile() {
        AVVIA(banco);
        NomeFile = banco.percorso("sparito.vlt");
        p->Command1->click();
        QVERIFY(p->Text1->text().contains("non leggibile"));
        QVERIFY(p->Text2->text().contains("sparito.vlt"));
        // More than 1 MiB before the end marker is no message file.
        Scrivi(banco.percorso("enorme.vlt"),
               "c\r\n" + QByteArray(1100, 'x').append("\r\n").repeated(1000) + "end\r\n");
        NomeFile = banco.percorso("enorme.vlt");
        p->Command1->click();
        QCOMPARE(p->Text1->text(), QString("File troppo grande: nulla è stato inviato"));
        QVERIFY2(p->Text2->text().contains("1 MiB"), qPrintable(p->Text2->text()));
        NomeFile = banco.percorso("sparito.vlt");
        p->Command5->click();
        QVERIFY(p->Text1->text().contains("non leggibile"));
        QVERIFY(!Aperta<EditaMessaggi>());
        QVERIFY(banco->comandi().isEmpty());
        QVERIFY(comandiAbilitati());
    }

    // More texts than the 301 places of the table: nothing is written.
    void piuTestiDellaTabella() {
        AVVIA(banco);
        QByteArray file = "c\r\n";
        for (int i = 0; i < 305; ++i)
            file += QString("%1riga %2\r\n").arg(i % 198, 3, 10, QChar('0')).arg(i).toLatin1();
        Scrivi(banco.percorso("lungo.vlt"), file + "end\r\n");
        NomeFile = banco.percorso("lungo.vlt");
        p->Command1->click();
        QCOMPARE(p->Text1->text(), QString("Il file ha 305 testi: il massimo è 301"));
        QCOMPARE(p->Text2->text(), QString("Nulla è stato inviato al VELTO"));
        QVERIFY(p->Command4->isHidden());
        QVERIFY(banco->comandi().isEmpty());
        // 301 texts fit the table (these are refused for their repeated number only).
        QList<Programmazione::Voce> voci(301, {QString("001").leftJustified(19), 2, "001"});
        QCOMPARE(Programmazione::RifiutoInvio(voci, true),
                 QString("Testo 001 due volte: righe 2 e 2"));
        voci.append(voci.first());
        QCOMPARE(Programmazione::RifiutoInvio(voci, true),
                 QString("Il file ha 302 testi: il massimo è 301"));
    }

    // The notes on a file's lines say one character, one space, one more line.
    void contiNelleNoteDelleRighe() {
        QCOMPARE(Programmazione::ProblemaRiga("001a", 2),
                 QString("Testo 001, riga 2: 1 carattere su 16: l'invio aggiunge 15 spazi"));
        QCOMPARE(Programmazione::ProblemaRiga("001abcdefghijklmno", 2),
                 QString("Testo 001, riga 2: 15 caratteri su 16: l'invio aggiunge 1 spazio"));
        const QByteArray file = "c\r\n01a\r\n01b\r\n01c\r\n01d\r\n01e\r\n01f\r\nend\r\n";
        QCOMPARE(Programmazione::RigheNonInviate(
                     FormatoMessaggi::ScansioneComune(FormatoMessaggi::Righe(file))),
                 QString("6 righe non inviate: non cominciano con un numero di tre cifre "
                         "(righe 2, 3, 4, 5, 6 e un'altra)"));
    }

    // The line carries 7 bits: a text character above 127 is named with its
    // line before anything is written, as the operator typed it (a file from
    // Linux holds UTF-8). A note after the text is not sent, so it may hold any.
    void caratteriCheLaLineaNonPorta() {
        AVVIA(banco);
        const auto rifiuto = [&](const QByteArray &file) {
            Scrivi(banco.percorso("a.vlt"), file);
            NomeFile = banco.percorso("a.vlt");
            p->Command1->click();
            return QStringList{p->Text1->text(), p->Text2->text()};
        };
        const QString niente = "Nulla è stato inviato al VELTO";
        QCOMPARE(rifiuto("c\r\n001citt\xe0 \xe8\r\n002ok\r\nend\r\n"),
                 QStringList({"Testo 001, riga 2: carattere \"à\" non trasmissibile", niente}));
        QCOMPARE(rifiuto("c\r\n001ok\r\n\r\n---\r\n002costa 5\xe2\x82\xac\r\nend\r\n"),
                 QStringList({"Testo 002, riga 5: carattere \"€\" non trasmissibile", niente}));
        QCOMPARE(rifiuto("c\r\n003abcdefghijklmno\xc3\xa8\r\nend\r\n"),
                 QStringList({"Testo 003, riga 2: carattere \"è\" non trasmissibile", niente}));
        QCOMPARE(rifiuto("c\r\n001ok\r\n002a\xa0"
                         "b\r\nend\r\n"),
                 QStringList({"Testo 002, riga 3: carattere di codice 160 non trasmissibile", niente}));
        QVERIFY(banco->comandi().isEmpty());
        QVERIFY(p->Command4->isHidden());

        Scrivi(banco.percorso("nota.vlt"), "c\r\n001uno            nota \xe8\r\nend\r\n");
        NomeFile = banco.percorso("nota.vlt");
        p->Command1->click();
        QCOMPARE(p->Text2->text(), QString("DATI UGUALI  TUTTO OK "));
        QCOMPARE(banco->comandi().size(), 2);
    }

    // Files that are not what they seem: a file cut short (no end marker) and
    // a number on two lines are refused before the first write; lines above
    // 197 or with a broken number are left out and the status lines say so,
    // the latter not as all done. The editor still opens the cut file, last
    // line included.
    void fileNonComeSembrano() {
        AVVIA(banco);
        const auto invia = [&](const QByteArray &file) {
            Scrivi(banco.percorso("a.vlt"), file);
            NomeFile = banco.percorso("a.vlt");
            p->Command1->click();
            return QStringList{p->Text1->text(), p->Text2->text()};
        };
        const QString niente = "Nulla è stato inviato al VELTO";
        QCOMPARE(invia("c\r\n001uno\r\n002du"),
                 QStringList({"Il file non finisce con la riga end: potrebbe essere incompleto "
                              "(copia interrotta o file ancora in scrittura)",
                              niente}));
        QCOMPARE(invia("c\r\n001uno\r\n\r\n007sette\r\n002due\r\n007altro\r\nend\r\n"),
                 QStringList({"Testo 007 due volte: righe 4 e 6", niente}));
        QVERIFY(banco->comandi().isEmpty());
        QVERIFY(p->Command4->isHidden());

        QCOMPARE(invia("c\r\n001uno\r\n198no\r\n002due\r\n250no\r\n999no\r\nend\r\n"),
                 QStringList({"3 righe non inviate: il loro numero è oltre 197, il più alto che "
                              "il VELTO accetta (la prima è la riga 3)",
                              "DATI UGUALI  TUTTO OK "}));
        QCOMPARE(Conta(banco->comandi(), "&450W018"), 2);
        // A number that lost a digit: the line is named, and the send is not all done.
        QCOMPARE(invia("c\r\n001uno\r\n02due\r\n--- nota\r\n198no\r\n003tre\r\nend\r\n"),
                 QStringList({"1 riga non inviata: non comincia con un numero di tre cifre (riga "
                              "3). 1 riga non inviata: il suo numero è oltre 197, il più alto "
                              "che il VELTO accetta (riga 5)",
                              "DATI UGUALI, ma le righe saltate non sono state inviate"}));
        QCOMPARE(Conta(banco->comandi(), "&450W018"), 4);

        Scrivi(banco.percorso("a.vlt"), "c\r\n001uno\r\n002du");
        EditaMessaggi e;
        QVERIFY(e.Form_Load());
        QCOMPARE(e.Text1->toPlainText(), QString("001uno").leftJustified(19) + "\n" +
                                             QString("002du").leftJustified(19) + "\n");
    }

    // While an operation waits for the acknowledgement, the close box is refused.
    void chiusuraRifiutataDuranteUnaOperazione() {
        AVVIA(banco, {"--fast", "--refuse-writes"});
        Scrivi(banco.percorso("a.vlt"), "c\r\n001uno\r\nend\r\n");
        NomeFile = banco.percorso("a.vlt");
        Scelta = "aspetta";
        bool visibileDopoChiusura = false;
        Quando([this] { return p->Command4->isVisible(); },
               [&] {
                   p->close();
                   visibileDopoChiusura = p->isVisible();
                   p->Command4->click();
               });
        p->Command1->click();
        QVERIFY(visibileDopoChiusura);
        QCOMPARE(Scelta, QString("aspetta"));
        p->close(); // now it closes
        QCOMPARE(Scelta, QString("Finisci"));
        QVERIFY(!p->isVisible());
    }

    // All 193 texts read back and saved: the exact 188-line file, which then
    // becomes the file the next send uses.
    void letturaCompletaSalvataggioEReinvio() {
        AVVIA(banco);
        for (int n = 0; n <= 192; ++n)
            banco->ordina(QString("text %1 %2").arg(n).arg(TestoDi(n)));
        banco->azzeraRegistro();
        p->Dir1->setPath(banco.cartella());
        p->Dir1_Change();
        QString commento;
        Quando([] { return Aperta<FormSalvaFile>() != nullptr; },
               [&] {
                   FormSalvaFile *s = Aperta<FormSalvaFile>();
                   commento = s->Text2->text();
                   s->Text1->setText("letti.vlt");
                   s->Command1->click();
               });
        p->LeggiTesti->click();
        QCOMPARE(commento, QString("Letti dal Velto via seriale"));
        QCOMPARE(p->Text2->text(), QString("letti tutti"));
        const QStringList comandi = banco->comandi();
        QCOMPARE(comandi.size(), 193);
        QCOMPARE(comandi.first(), QString("&450R000"));
        QCOMPARE(comandi.last(), QString("&450R192"));
        const QString salvato = QDir(QDir::currentPath()).filePath("letti.vlt");
        QCOMPARE(NomeFile, salvato);
        QCOMPARE(Leggi(salvato), FileLetto("Letti dal Velto via seriale"));
        QCOMPARE(Leggi(salvato).count("\r\n"), 188);
        QVERIFY(comandiAbilitati());

        banco->azzeraRegistro();
        p->Command1->click();
        QCOMPARE(p->Text2->text(), QString("DATI UGUALI  TUTTO OK "));
        QCOMPARE(Conta(banco->comandi(), "&450W018"), 185);
        QFile::remove(salvato);
    }

    // A noisy line puts bytes after the reply's CR in the same read: they are
    // not part of the text, in the saved file or in the verification. A CR or
    // LF inside a panel text is kept as a blank: it never splits a file line.
    void letturaSuLineaRumorosa() {
        AVVIA(banco, {"--fast", "--noise"});
        for (int n = 0; n <= 192; ++n)
            banco->ordina(QString("text %1 %2").arg(n).arg(TestoDi(n)));
        QDir::setCurrent(banco.cartella());
        Quando([] { return Aperta<FormSalvaFile>() != nullptr; },
               [] {
                   FormSalvaFile *s = Aperta<FormSalvaFile>();
                   s->Text1->setText("rumore.vlt");
                   s->Command1->click();
               });
        p->LeggiTesti->click();
        QCOMPARE(Leggi(banco.percorso("rumore.vlt")), FileLetto("Letti dal Velto via seriale"));
        QCOMPARE(Testi[192], TestoDi(192));
        p->Command1->click();
        QCOMPARE(p->Text2->text(), QString("DATI UGUALI  TUTTO OK "));

        const auto r = Comandi::LeggiRispostaTesto("&450R00ab\rcd\nef        \r%?#");
        QVERIFY(r.valida && r.coda);
        QCOMPARE(Programmazione::TestoLetto(r.testo), QString("ab cd ef        "));
        QVERIFY(!Comandi::LeggiRispostaTesto("&450R00" + QString(16, 'x') + "\n\r#").valida);
        QVERIFY(!Comandi::LeggiRispostaTesto("&450R00ab\ncd").valida);
    }

    void letturaInterrottaANumero100() {
        AVVIA(banco, {"--fast", "--silent-after", "100"});
        QString didascalia, t1, t2;
        conferma(&didascalia, &t1, &t2);
        bool salvataggioOfferto = false;
        bool finito = false;
        Quando([&] { return finito || Aperta<FormSalvaFile>() != nullptr; },
               [&] {
                   if (auto *s = Aperta<FormSalvaFile>()) {
                       salvataggioOfferto = true;
                       s->Command2->click();
                   }
               });
        p->LeggiTesti->click();
        finito = true;
        QCOMPARE(didascalia, QString("Errore seriale Clicca Qui"));
        // The window's own caption stays; the first line says what was seen.
        QVERIFY2(QRegularExpression("^0R100  La centrale non risponde più \\(rispondeva fino "
                                    "alle \\d\\d:\\d\\d\\)$")
                     .match(t1)
                     .hasMatch(),
                 qPrintable(t1));
        QCOMPARE(t2, QString("Errore seriale. Controlla identificativo"));
        QVERIFY(!salvataggioOfferto);
        QVERIFY(comandiAbilitati());
        QCOMPARE(Testi[99], QString(16, ' '));

        // The adapter pulled out during the read: the hint names the port.
        AVVIA(banco, {"--fast"});
        conferma(&didascalia, &t1, &t2);
        Quando([&] { return banco->comandi().size() >= 20; }, [&] { banco.scollega(); });
        p->LeggiTesti->click();
        QVERIFY2(t1.endsWith("  Porta persa: tasto destro, Porta…"), qPrintable(t1));
        QVERIFY(!salvataggioOfferto);
    }

    // "Nuovo file…": a file of blank texts, listed at once and open in the
    // editor; typed over, saved with Enter (a name without ".vlt" refused with
    // its reason first), closed with "End" without a question, and sent.
    void nuovoFileModificatoSalvatoEInviato() {
        AVVIA(banco);
        QDir::setCurrent(banco.cartella()); // where the save window opens
        p->Dir1->setPath(banco.cartella());
        p->Dir1_Change();
        QString vuoto, modificato;
        for (int n = 0; n <= 192; ++n) {
            if (n >= 182 && n < 190) continue;
            const QString numero = QString("%1").arg(n, 3, 10, QChar('0'));
            vuoto += numero + QString(16, ' ') + "*\r\n";
            modificato +=
                numero + (n == 1 ? QString("Ciao").leftJustified(16) : QString(16, ' ')) + "*\r\n";
        }
        const QString percorso = banco.percorso("nuovo.vlt");
        // Another file highlighted: the new one is opened and highlighted instead.
        Scrivi(banco.percorso("impianto.vlt"), "Impianto\r\n001a\r\nend\r\n");
        p->File1->Refresh();
        QVERIFY(p->File1->scegli("impianto.vlt"));
        QStringList listati;
        QString rifiuto, suggerimento, aperto, evidenziato;
        Quando(
            [] {
                return QApplication::activeModalWidget() &&
                       QApplication::activeModalWidget()->objectName() == "DomandaNuovoFile";
            },
            [] {
                auto *d = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
                d->setTextValue("nuovo.vlt");
                d->accept();
            });
        Quando([] { return Aperta<EditaMessaggi>(); },
               [&] {
                   EditaMessaggi *e = Aperta<EditaMessaggi>();
                   QCOMPARE(Leggi(percorso),
                            ("Nuovo file dei testi\r\n" + vuoto + "\r\nend\r\n").toLatin1());
                   for (int i = 0; i < p->File1->count(); ++i)
                       listati << p->File1->item(i)->text();
                   aperto = e->Label1->text();
                   for (const QListWidgetItem *v : p->File1->selectedItems())
                       evidenziato += v->text();
                   QTextCursor c(e->Text1->document()->findBlockByNumber(1));
                   c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 3);
                   e->Text1->setTextCursor(c);
                   QTest::keyClicks(e->Text1, "Ciao");
                   Quando([] { return Aperta<FormSalvaFile>(); },
                          [&] {
                              FormSalvaFile *s = Aperta<FormSalvaFile>();
                              s->Text2->setText("Prova");
                              s->Text1->setText("nuovo");
                              QTest::keyClick(s->Text1, Qt::Key_Return);
                              rifiuto = s->LabelErrore->text();
                              suggerimento = s->Label1->toolTip();
                              s->Text1->setText("nuovo.vlt");
                              QTest::keyClick(s->Text1, Qt::Key_Return);
                          });
                   e->Command1->click();
                   e->Command2->click();
               });
        p->Menu->findChild<QAction *>("NuovoFile")->trigger();
        QVERIFY(!Aperta<EditaMessaggi>());
        QCOMPARE(listati, QStringList({"impianto.vlt", "nuovo.vlt"}));
        QCOMPARE(aperto, percorso);
        QCOMPARE(evidenziato, QString("nuovo.vlt"));
        QCOMPARE(rifiuto, QString("Il nome deve finire con .vlt"));
        QCOMPARE(suggerimento, rifiuto);
        QCOMPARE(Leggi(percorso), ("Prova\r\n" + modificato + "\r\nend\r\n").toLatin1());
        QCOMPARE(NomeFile, percorso);
        QCOMPARE(p->File1->FileName(), QString("nuovo.vlt"));
        p->Command1->click();
        QCOMPARE(p->Text2->text(), QString("DATI UGUALI  TUTTO OK "));
        QCOMPARE(banco->testi()[1], "001" + QString("Ciao").leftJustified(16));
    }

    void nomiNellaFinestraDiSalvataggio() {
        QDir::setCurrent(banco.cartella());
        CorpoFile = "001uno*\r\n";
        const auto salva = [&](const QString &nome, bool atteso) {
            FormSalvaFile s;
            s.show();
            QCOMPARE(s.Label2->text(), QDir::toNativeSeparators(banco.cartella() + "/"));
            s.Text1->setText(nome);
            s.Text2->setText("commento");
            NomeFile = "prima";
            s.Command1->click();
            QCOMPARE(s.result() == QDialog::Accepted, atteso);
            QCOMPARE(Sfondo(s.Label1) == ColoreRossoChiaro(),
                     !atteso && nome.right(4).toLower() != ".vlt");
            QCOMPARE(NomeFile, atteso ? banco.percorso(nome) : QString("prima"));
        };
        salva("MAIUSCOLO.VLT", true);
        QCOMPARE(Leggi(banco.percorso("MAIUSCOLO.VLT")),
                 QByteArray("commento\r\n001uno*\r\n\r\nend\r\n"));
        salva(".vlt", true);
        salva("File name", false);
        salva("", false);
        salva("testo.txt", false);
        salva("sotto/x.vlt", false);
        QVERIFY(!QFile::exists(banco.percorso("testo.txt")));
    }

    // A folder the tool may not write: the old file stays as it was, and
    // nothing new appears. Root writes anywhere, so for root the folder is a
    // read-only bind mount.
    void salvataggioInCartellaDiSolaLettura() {
        const QString cartella = banco.percorso("protetta");
        QDir(banco.cartella()).mkdir("protetta");
        Scrivi(cartella + "/vecchio.vlt", "contenuto originale\r\n");
        const bool root = ::geteuid() == 0;
        if (root) {
            if (QProcess::execute("mount", {"--bind", cartella, cartella}) != 0)
                QSKIP("a read-only folder needs a bind mount, which is not allowed here");
            if (QProcess::execute("mount", {"-o", "remount,bind,ro", cartella, cartella}) != 0) {
                QProcess::execute("umount", {cartella});
                QSKIP("a read-only folder needs a bind mount, which is not allowed here");
            }
        } else {
            // The old file is read-only too: otherwise it would be rewritten in place.
            QFile::setPermissions(cartella + "/vecchio.vlt", QFile::ReadOwner);
            QFile::setPermissions(cartella, QFile::ReadOwner | QFile::ExeOwner);
        }
        QDir::setCurrent(cartella);
        CorpoFile = "001nuovo*\r\n";
        NomeFile = "prima";
        QStringList errori;
        for (const char *nome : {"vecchio.vlt", "nuovo.vlt"}) {
            FormSalvaFile s;
            s.show();
            s.Text1->setText(nome);
            s.Command1->click();
            QVERIFY(s.isVisible());
            errori << s.LabelErrore->text();
        }
        QDir::setCurrent(banco.cartella());
        if (root)
            QProcess::execute("umount", {cartella});
        else
            QFile::setPermissions(cartella, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const QString &e : errori)
            QVERIFY2(e.startsWith("File non salvato"), qPrintable(e));
        QCOMPARE(Leggi(cartella + "/vecchio.vlt"), QByteArray("contenuto originale\r\n"));
        QVERIFY(!QFile::exists(cartella + "/nuovo.vlt"));
        QCOMPARE(QDir(cartella).entryList(QDir::Files), QStringList({"vecchio.vlt"}));
        QCOMPARE(NomeFile, QString("prima"));
    }

    // A failed save says why, keeps the window open and the old file intact.
    void salvataggioFallitoNonDistruggeNulla() {
        const QString vecchio = banco.percorso("vecchio.vlt");
        Scrivi(vecchio, "contenuto originale\r\n");
        QFile::setPermissions(vecchio, QFile::ReadOwner | QFile::ReadUser);
        QDir::setCurrent(banco.cartella());
        CorpoFile = "001nuovo*\r\n";
        NomeFile = "prima";
        {
            FormSalvaFile s;
            s.show();
            s.Text1->setText("vecchio.vlt");
            s.Command1->click();
            QVERIFY(s.result() != QDialog::Accepted);
            QVERIFY(s.isVisible());
            QVERIFY2(s.LabelErrore->text().contains("sola lettura"),
                     qPrintable(s.LabelErrore->text()));
        }
        QCOMPARE(Leggi(vecchio), QByteArray("contenuto originale\r\n"));
        QCOMPARE(NomeFile, QString("prima"));

        // The folder disappeared after it was chosen.
        QDir(banco.cartella()).mkdir("via");
        QDir::setCurrent(banco.percorso("via"));
        FormSalvaFile s;
        QDir::setCurrent(banco.cartella());
        QDir(banco.percorso("via")).removeRecursively();
        s.Text1->setText("nuovo.vlt");
        s.Command1->click();
        QVERIFY(s.result() != QDialog::Accepted);
        QVERIFY(s.LabelErrore->text().startsWith("File non salvato"));
        QCOMPARE(NomeFile, QString("prima"));
    }

    // A read-back file with bytes above 127, through the editor and the save
    // window: every byte comes out as it went in, apart from the comment.
    void editorAndataERitorno() {
        QByteArray file = "Commento originale\r\n";
        for (int n = 0; n <= 192; ++n) {
            if (n >= 182 && n < 190) continue;
            QByteArray testo;
            for (int i = 0; i < 16; ++i)
                testo += char((n * 16 + i) % 224 + 32);
            file += QString("%1").arg(n, 3, 10, QChar('0')).toLatin1() + testo + "*\r\n";
        }
        file += "\r\nend\r\n";
        const QString originale = banco.percorso("originale.vlt");
        Scrivi(originale, file);
        QDir::setCurrent(banco.cartella());
        NomeFile = originale;
        QString label1, text2;
        int righe = 0;
        Quando([] { return Aperta<EditaMessaggi>() != nullptr; },
               [&] {
                   EditaMessaggi *e = Aperta<EditaMessaggi>();
                   label1 = e->Label1->text();
                   text2 = e->Text2->text();
                   righe = e->Text1->document()->blockCount();
                   Quando([] { return Aperta<FormSalvaFile>() != nullptr; },
                          [] {
                              FormSalvaFile *s = Aperta<FormSalvaFile>();
                              s->Text1->setText("copia.vlt");
                              s->Text2->setText("Commento originale");
                              s->Command1->click();
                          });
                   e->Command1->click();
                   e->Command2->click();
               });
        p->Command5->click();
        QCOMPARE(label1, originale);
        QCOMPARE(text2, QString("Commento originale"));
        QCOMPARE(righe, 185 + 1); // the last line end leaves an empty block
        QCOMPARE(Leggi(banco.percorso("copia.vlt")), file);
        QCOMPARE(NomeFile, banco.percorso("copia.vlt"));
        QVERIFY(comandiAbilitati());
    }

    void editorFiltraLeRighe() {
        Scrivi(banco.percorso("m.vlt"), "Comm\r\n001uno\r\n---\r\n300via\r\n12\r\n012" +
                                            QByteArray(77, '7') + "\r\nEnd\r\nEND\r\n002no\r\n");
        NomeFile = banco.percorso("m.vlt");
        EditaMessaggi e;
        QVERIFY(e.Form_Load());
        QCOMPARE(e.Text1->toPlainText(), QString("001uno").leftJustified(19) + "\n" +
                                             QString("12").leftJustified(19) + "\n" + "012" +
                                             QString(66, '7') + "\n" +
                                             QString("End").leftJustified(19) + "\n");
        QCOMPARE(CorpoFile, e.TestoCorpo());
        QVERIFY(CorpoFile.endsWith("\r\n"));

        Scrivi(banco.percorso("solo.vlt"), "solo commento\r\n");
        NomeFile = banco.percorso("solo.vlt");
        EditaMessaggi vuoto;
        QVERIFY(vuoto.Form_Load());
        QCOMPARE(vuoto.Text2->text(), QString("Commento del file"));
        QVERIFY(vuoto.Text1->toPlainText().isEmpty());
    }
};

QTEST_MAIN(TestProgrammazione)
#include "tst_programmazione.moc"
