// The programming window against the simulator: sending and verifying a
// message file, reading all texts back, the save window and the editor.
#include "Aspetto.h"
#include "Azioni.h"
#include "EditaMessaggi.h"
#include "FormSalvaFile.h"
#include "FormScriveMessaggi.h"
#include "FormSeriale.h"
#include "ListeFile.h"
#include "Collegamento.h"
#include "Variabili.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <unistd.h>

using namespace Variabili;

namespace {
template <class T> T *Aperta() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *t = qobject_cast<T *>(w); t && t->isVisible()) return t;
    return nullptr;
}
QByteArray Leggi(const QString &percorso) {
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void Scrivi(const QString &percorso, const QByteArray &dati) {
    QFile f(percorso);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(dati);
}
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
} // namespace

class TestProgrammazione : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Simulatore> sim;
    std::unique_ptr<FormScriveMessaggi> p;

    void avvia(const QStringList &argomenti = {"--fast"}) {
        sim = AvviaECollega(dir->path(), argomenti);
        QVERIFY(sim);
    }
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
        dir = std::make_unique<QTemporaryDir>();
        Identificativo = "&45";
        NumeroPorta = "1";
        Modo485 = false;
        CommentoProposto.clear();
        MessaggioErrore.clear();
        p = std::make_unique<FormScriveMessaggi>();
        p->Form_Load();
        p->show();
    }
    void cleanup() {
        AnnullaAzioni();
        p.reset();
        FormSeriale::Scarica();
        sim.reset();
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
    }

    void nessunFileScelto() {
        avvia();
        p->Command1->click();
        QCOMPARE(p->Text1->text(), QString("Devi selezionare un file"));
        QCOMPARE(p->Text2->text(), QString("Cliccane uno dalla lista in alto a destra"));
        QVERIFY(comandiAbilitati());
        p->Command5->click();
        QCOMPARE(p->Text1->text(), QString("Devi selezionare un file"));
        QCOMPARE(p->Text2->text(), QString("Cliccane uno dalla lista "));
        QVERIFY(comandiAbilitati());
        QVERIFY(!Aperta<EditaMessaggi>());
        QVERIFY(sim->comandi().isEmpty());
    }

    void sceltaDelFile() {
        Scrivi(dir->filePath("a.vlt"), "c\r\n");
        Scrivi(dir->filePath("B.VLT"), "c\r\n");
        Scrivi(dir->filePath("c.txt"), "c\r\n");
        QDir(dir->path()).mkdir("sotto");
        QVERIFY(p->Dir1->setPath(dir->path()));
        p->Dir1_Change();
        QCOMPARE(p->File1->count(), 2);
        QVERIFY(p->File1->scegli("B.VLT"));
        QCOMPARE(NomeFile, dir->filePath("B.VLT"));
        QVERIFY(p->Dir1->setPath(dir->filePath("sotto")));
        p->Dir1_Change();
        QCOMPARE(p->File1->count(), 0);
        QCOMPARE(NomeFile, dir->filePath("B.VLT")); // the file picked first stays chosen
        p->Command3->click();
        QCOMPARE(Scelta, QString("Testa"));
        QVERIFY(!p->isVisible());
    }

    // A read-back file of 185 texts, sent and verified; every text lands in
    // the panel's store. The last line of a file without end marker is sent too.
    void invioCompletoEVerifica() {
        avvia();
        QByteArray file = FileLetto("Da inviare");
        file.chop(QByteArray("\r\nend\r\n").size()); // a hand-made file: no marker, no line end
        file.chop(2);
        const QString percorso = dir->filePath("tutto.vlt");
        Scrivi(percorso, file);
        NomeFile = percorso;
        p->Command1->click();
        QCOMPARE(p->Text2->text(), QString("DATI UGUALI  TUTTO OK "));
        QVERIFY(p->Command4->isHidden());
        QVERIFY(comandiAbilitati());
        const QStringList comandi = sim->comandi();
        QCOMPARE(Conta(comandi, "&450W018"), 185);
        QCOMPARE(Conta(comandi, "&450R"), 185);
        QCOMPARE(comandi[184], "&450W018192" + TestoDi(192) + "0W");
        QCOMPARE(comandi.last(), QString("&450R192"));
        const QStringList store = sim->testi();
        for (int n = 0; n <= 192; ++n)
            if (n < 182 || n >= 190)
                QCOMPARE(store[n], QString("%1").arg(n, 3, 10, QChar('0')) + TestoDi(n));
        QCOMPARE(p->BarraAvanzamento->value(), p->BarraAvanzamento->maximum());
        QCOMPARE(Testi[184], "192" + TestoDi(192));
    }

    void soloCommentoNienteDaInviare() {
        avvia();
        Scrivi(dir->filePath("vuoto.vlt"), "commento\r\n198no\r\n999no\r\n");
        NomeFile = dir->filePath("vuoto.vlt");
        p->Command1->click();
        QCOMPARE(p->Text2->text(), QString("DATI UGUALI  TUTTO OK "));
        QVERIFY(sim->comandi().isEmpty());
    }

    void scritturaRifiutata() {
        avvia({"--fast", "--refuse-writes"});
        Scrivi(dir->filePath("a.vlt"), "c\r\n001uno\r\n002due\r\nend\r\n");
        NomeFile = dir->filePath("a.vlt");
        QString didascalia, t1, t2;
        conferma(&didascalia, &t1, &t2);
        p->Command1->click();
        QCOMPARE(didascalia, QString(" Errore risposta  Clicca Qui"));
        QCOMPARE(t1, QString("&450WN"));
        QCOMPARE(t2, QString("Programmo scritte"));
        QVERIFY(p->Command4->isHidden());
        QVERIFY(comandiAbilitati());
        QCOMPARE(sim->comandi().size(), 1);
        QCOMPARE(MessaggioErrore, QString(" Errore risposta "));
    }

    void testoCambiatoNelPannello() {
        avvia({"--fast", "--change", "2"});
        Scrivi(dir->filePath("a.vlt"), "c\r\n001uno\r\n002due\r\n003tre\r\nend\r\n");
        NomeFile = dir->filePath("a.vlt");
        QString didascalia, t1, t2;
        conferma(&didascalia, &t1, &t2);
        p->Command1->click();
        QCOMPARE(didascalia, QString("Errore Dati non scritti giusti. Clicca Qui"));
        QCOMPARE(t1, QString("due").leftJustified(16));
        QCOMPARE(t2, QString("due").leftJustified(15) + "#");
        QCOMPARE(Conta(sim->comandi(), "&450R"), 2); // stops at the first mismatch
    }

    void pannelloMutoDuranteInvio() {
        avvia({"--fast", "--silent-after", "3"});
        Scrivi(dir->filePath("a.vlt"), "c\r\n001a\r\n002b\r\n003c\r\n004d\r\n005e\r\nend\r\n");
        NomeFile = dir->filePath("a.vlt");
        QString didascalia, t1;
        conferma(&didascalia, &t1);
        p->Command1->click();
        QCOMPARE(didascalia, QString(" Errore risposta  Clicca Qui"));
        QCOMPARE(t1, QString("1234567errore seriale "));
        QCOMPARE(sim->comandi().size(), 3 + 2); // the fourth write and its repeat
    }

    void fileNonLeggibile() {
        avvia();
        NomeFile = dir->filePath("sparito.vlt");
        p->Command1->click();
        QVERIFY(p->Text1->text().contains("non leggibile"));
        QVERIFY(p->Text2->text().contains("sparito.vlt"));
        p->Command5->click();
        QVERIFY(p->Text1->text().contains("non leggibile"));
        QVERIFY(!Aperta<EditaMessaggi>());
        QVERIFY(sim->comandi().isEmpty());
        QVERIFY(comandiAbilitati());
    }

    // Nothing is stored past the 301 places of the table.
    void piuTestiDellaTabella() {
        avvia();
        QByteArray file = "c\r\n";
        for (int i = 0; i < 305; ++i)
            file += QString("%1riga %2\r\n").arg(i % 198, 3, 10, QChar('0')).arg(i).toLatin1();
        Scrivi(dir->filePath("lungo.vlt"), file + "end\r\n");
        NomeFile = dir->filePath("lungo.vlt");
        QString didascalia;
        conferma(&didascalia);
        p->Command1->click();
        QVERIFY2(didascalia.contains("Troppi testi"), qPrintable(didascalia));
        QCOMPARE(sim->comandi().size(), 301);
    }

    // While an operation waits for the acknowledgement, the close box is refused.
    void chiusuraRifiutataDuranteUnaOperazione() {
        avvia({"--fast", "--refuse-writes"});
        Scrivi(dir->filePath("a.vlt"), "c\r\n001uno\r\nend\r\n");
        NomeFile = dir->filePath("a.vlt");
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
        avvia();
        for (int n = 0; n <= 192; ++n)
            sim->ordina(QString("text %1 %2").arg(n).arg(TestoDi(n)));
        sim->azzeraRegistro();
        p->Dir1->setPath(dir->path());
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
        const QStringList comandi = sim->comandi();
        QCOMPARE(comandi.size(), 193);
        QCOMPARE(comandi.first(), QString("&450R000"));
        QCOMPARE(comandi.last(), QString("&450R192"));
        const QString salvato = QDir(QDir::currentPath()).filePath("letti.vlt");
        QCOMPARE(NomeFile, salvato);
        QCOMPARE(Leggi(salvato), FileLetto("Letti dal Velto via seriale"));
        QCOMPARE(Leggi(salvato).count("\r\n"), 188);
        QVERIFY(comandiAbilitati());

        sim->azzeraRegistro();
        p->Command1->click();
        QCOMPARE(p->Text2->text(), QString("DATI UGUALI  TUTTO OK "));
        QCOMPARE(Conta(sim->comandi(), "&450W018"), 185);
        QFile::remove(salvato);
    }

    void letturaInterrottaANumero100() {
        avvia({"--fast", "--silent-after", "100"});
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
        QCOMPARE(t1, QString("0R100"));
        QCOMPARE(t2, QString("Errore seriale. Controlla identificativo"));
        QVERIFY(!salvataggioOfferto);
        QVERIFY(comandiAbilitati());
        QCOMPARE(Testi[99], QString(16, ' '));
    }

    void nomiNellaFinestraDiSalvataggio() {
        QDir::setCurrent(dir->path());
        CorpoFile = "001uno*\r\n";
        const auto salva = [&](const QString &nome, bool atteso) {
            FormSalvaFile s;
            s.show();
            QCOMPARE(s.Label2->text(), QDir::toNativeSeparators(dir->path() + "/"));
            s.Text1->setText(nome);
            s.Text2->setText("commento");
            NomeFile = "prima";
            s.Command1->click();
            QCOMPARE(s.result() == QDialog::Accepted, atteso);
            QCOMPARE(Sfondo(s.Label1) == ColoreRossoChiaro(),
                     !atteso && nome.right(4).toLower() != ".vlt");
            QCOMPARE(NomeFile, atteso ? dir->filePath(nome) : QString("prima"));
        };
        salva("MAIUSCOLO.VLT", true);
        QCOMPARE(Leggi(dir->filePath("MAIUSCOLO.VLT")),
                 QByteArray("commento\r\n001uno*\r\n\r\nend\r\n"));
        salva(".vlt", true);
        salva("File name", false);
        salva("", false);
        salva("testo.txt", false);
        salva("sotto/x.vlt", false);
        QVERIFY(!QFile::exists(dir->filePath("testo.txt")));
    }

    // A folder the tool may not write: the old file stays as it was, and
    // nothing new appears. Root writes anywhere, so for root the folder is a
    // read-only bind mount.
    void salvataggioInCartellaDiSolaLettura() {
        const QString cartella = dir->filePath("protetta");
        QDir(dir->path()).mkdir("protetta");
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
        QDir::setCurrent(dir->path());
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
        const QString vecchio = dir->filePath("vecchio.vlt");
        Scrivi(vecchio, "contenuto originale\r\n");
        QFile::setPermissions(vecchio, QFile::ReadOwner | QFile::ReadUser);
        QDir::setCurrent(dir->path());
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
        QDir(dir->path()).mkdir("via");
        QDir::setCurrent(dir->filePath("via"));
        FormSalvaFile s;
        QDir::setCurrent(dir->path());
        QDir(dir->filePath("via")).removeRecursively();
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
        const QString originale = dir->filePath("originale.vlt");
        Scrivi(originale, file);
        QDir::setCurrent(dir->path());
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
        QCOMPARE(Leggi(dir->filePath("copia.vlt")), file);
        QCOMPARE(NomeFile, dir->filePath("copia.vlt"));
        QVERIFY(comandiAbilitati());
    }

    void editorFiltraLeRighe() {
        Scrivi(dir->filePath("m.vlt"), "Comm\r\n001uno\r\n---\r\n300via\r\n12\r\n012" +
                                           QByteArray(77, '7') + "\r\nEnd\r\nEND\r\n002no\r\n");
        NomeFile = dir->filePath("m.vlt");
        EditaMessaggi e;
        QVERIFY(e.Form_Load());
        QCOMPARE(e.Text1->toPlainText(), QString("001uno").leftJustified(19) + "\n" +
                                             QString("12").leftJustified(19) + "\n" + "012" +
                                             QString(66, '7') + "\n" +
                                             QString("End").leftJustified(19) + "\n");
        QCOMPARE(CorpoFile, e.TestoCorpo());
        QVERIFY(CorpoFile.endsWith("\r\n"));

        Scrivi(dir->filePath("solo.vlt"), "solo commento\r\n");
        NomeFile = dir->filePath("solo.vlt");
        EditaMessaggi vuoto;
        QVERIFY(vuoto.Form_Load());
        QCOMPARE(vuoto.Text2->text(), QString("Commento del file"));
        QVERIFY(vuoto.Text1->toPlainText().isEmpty());
    }
};

QTEST_MAIN(TestProgrammazione)
#include "tst_programmazione.moc"
