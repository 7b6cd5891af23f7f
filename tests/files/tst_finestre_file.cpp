// The message editor, the save window and the file lists, driven as an
// operator does: keys and clicks on the real widgets.
#include "widgets/Aspetto.h"
#include "support/Azioni.h"
#include "support/Banco.h"
#include "support/DiscoPieno.h"
#include "support/FileProva.h"
#include "files/EditaMessaggi.h"
#include "files/FormSalvaFile.h"
#include "files/FormatoMessaggi.h"
#include "files/ListeFile.h"
#include "shared/Variabili.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using namespace Variabili;

namespace {
QStringList Voci(const QListWidget *lista) {
    QStringList voci;
    for (int i = 0; i < lista->count(); ++i)
        voci << lista->item(i)->text().trimmed();
    return voci;
}
void Attiva(QWidget *w) {
    w->show();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
}
// Pastes a text with the keyboard into the box that has the focus.
void Incolla(QWidget *casella, const QString &testo) {
    QGuiApplication::clipboard()->setText(testo);
    casella->setFocus();
    QTest::keyClick(casella, Qt::Key_V, Qt::ControlModifier);
}
// Answers the question "Salvare le modifiche?" with the named button, once it is asked.
void Rispondi(const char *pulsante) {
    Quando(
        [] {
            QWidget *w = QApplication::activeModalWidget();
            return w && w->objectName() == "Domanda";
        },
        [pulsante] {
            QApplication::activeModalWidget()->findChild<QPushButton *>(pulsante)->click();
        });
}
// Saves CorpoFile through the save window, under `nome` with `commento`.
void SalvaCome(FormSalvaFile &s, const QString &nome, const QString &commento) {
    s.Text1->setText(nome);
    s.Text2->setText(commento);
    s.Command1->click();
}
} // namespace

class TestFinestreFile : public QObject {
    Q_OBJECT
    Banco banco;

  private slots:
    void initTestCase() {
        ImpostaSostituzioniFont();
        // Qt's own buttons speak Italian as the windows do (the system here is "C").
        TraduzioniDiQt();
        QMessageBox b(QMessageBox::Question, "", "", QMessageBox::Yes | QMessageBox::Cancel);
        QCOMPARE(b.button(QMessageBox::Cancel)->text().remove('&'), QString("Annulla"));
    }
    void init() {
        banco.inizio();
        QDir::setCurrent(banco.cartella());
    }
    void cleanup() { banco.fine(); }

    // The folder list shows folders only, the file list no hidden file and
    // nothing but files.
    void listeMostranoSoloCartelleEFile() {
        QDir(banco.cartella()).mkdir("sotto");
        QDir(banco.cartella()).mkdir(".nascosta");
        for (const char *nome : {"b.vlt", "A.VLT", ".nascosto.vlt", "testo.txt"})
            Scrivi(banco.percorso(nome), "c\r\n");
        QVERIFY(QFile::link("/dev/null", banco.percorso("COM1")));
        QVERIFY(QFile::link("/dev/null", banco.percorso("z.vlt")));
        QVERIFY(QFile::link(banco.percorso("sotto"), banco.percorso("collegamento")));
        FormSalvaFile s;
        QCOMPARE(Voci(s.File1), QStringList({"A.VLT", "b.vlt"}));
        const QStringList cartelle = Voci(s.Dir1);
        QVERIFY2(cartelle.mid(cartelle.size() - 3) ==
                     QStringList({QDir(banco.cartella()).dirName(), "collegamento", "sotto"}),
                 qPrintable(cartelle.join('|')));
        QVERIFY(!cartelle.contains("COM1") && !cartelle.contains(".nascosta"));
    }

    // Listed again, the file list shows a file written since and keeps the
    // file chosen; another folder chooses nothing.
    void listaDiNuovoTieneLaScelta() {
        Scrivi(banco.percorso("b.vlt"), "c\r\n");
        ListaFile lista;
        lista.setPattern("*.vlt");
        QVERIFY(lista.scegli("b.vlt"));
        Scrivi(banco.percorso("a.vlt"), "c\r\n");
        lista.Refresh();
        QCOMPARE(Voci(&lista), QStringList({"a.vlt", "b.vlt"}));
        QCOMPARE(lista.FileName(), QString("b.vlt"));
        QDir(banco.cartella()).mkdir("sotto");
        Scrivi(banco.percorso("sotto/b.vlt"), "c\r\n");
        lista.setPath(banco.percorso("sotto"));
        QCOMPARE(lista.FileName(), QString());
    }

    // A folder gone before it is opened is named as it is in the warning: plain
    // text, as every label.
    void cartellaIlleggibileInTestoSemplice() {
        QVERIFY(QDir(banco.cartella()).mkdir("<b>x"));
        ListaCartelle lista;
        QListWidgetItem *voce = lista.findItems("<b>x", Qt::MatchEndsWith).value(0);
        QVERIFY(voce);
        QVERIFY(QDir(banco.cartella()).rmdir("<b>x"));
        QString testo;
        Qt::TextFormat formato = Qt::AutoText;
        Quando([] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); },
               [&] {
                   auto *avviso = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                   testo = avviso->text();
                   formato = avviso->textFormat();
                   avviso->accept();
               });
        emit lista.itemActivated(voce);
        QCOMPARE(formato, Qt::PlainText);
        QVERIFY2(testo.contains("<b>x") && testo.contains("non è leggibile"), qPrintable(testo));
    }

    // Moving through the save window's file list with the keyboard fills the
    // name box as a click does; taking the focus alone chooses nothing.
    void salvataggioSceltaConLaTastiera() {
        for (const char *nome : {"alfa.vlt", "beta.vlt", "delta.vlt", "gamma.vlt"})
            Scrivi(banco.percorso(nome), "vecchio\r\n");
        CorpoFile = "001nuovo*\r\n";
        FormSalvaFile s;
        Attiva(&s);
        s.Drive1->setFocus();
        QTest::keyClick(s.Drive1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(s.File1));
        QCOMPARE(s.Text1->text(), QString("File name"));
        QTest::keyClick(s.File1, Qt::Key_Down);
        QCOMPARE(s.Text1->text(), QString("beta.vlt"));
        QTest::keyClick(s.File1, Qt::Key_End);
        QCOMPARE(s.Text1->text(), QString("gamma.vlt"));
        QTest::keyClick(s.File1, Qt::Key_Home);
        QCOMPARE(s.Text1->text(), QString("alfa.vlt"));
        QTest::keyClick(s.File1, Qt::Key_D);
        QCOMPARE(s.Text1->text(), QString("delta.vlt"));
        QTest::keyClick(s.File1, Qt::Key_Up);
        QCOMPARE(s.Text1->text(), QString("beta.vlt"));
        // A name typed, then a click on the file already highlighted.
        s.Text1->setText("altro.vlt");
        const QRect riga = s.File1->visualItemRect(s.File1->currentItem());
        QTest::mouseClick(s.File1->viewport(), Qt::LeftButton, {}, riga.center());
        QCOMPARE(s.Text1->text(), QString("beta.vlt"));
        QTest::mouseClick(s.File1->viewport(), Qt::LeftButton, {},
                          s.File1->visualItemRect(s.File1->item(3)).center());
        QCOMPARE(s.Text1->text(), QString("gamma.vlt"));
        QTest::keyClick(s.File1, Qt::Key_Up);
        s.Command1->click();
        QCOMPARE(s.result(), int(QDialog::Accepted));
        QCOMPARE(NomeFile, banco.percorso("delta.vlt"));
        QCOMPARE(Leggi(banco.percorso("delta.vlt")), QByteArray("\r\n001nuovo*\r\n\r\nend\r\n"));
        QCOMPARE(Leggi(banco.percorso("gamma.vlt")), QByteArray("vecchio\r\n"));
    }

    // Escape closes neither window; their buttons and the close box do.
    void escNonChiude() {
        Scrivi(banco.percorso("m.vlt"), "c\r\n001uno\r\nend\r\n");
        NomeFile = banco.percorso("m.vlt");
        EditaMessaggi e;
        QVERIFY(e.Form_Load());
        Attiva(&e);
        for (QWidget *w : std::initializer_list<QWidget *>{e.Text1, e.Text2, e.Command1}) {
            w->setFocus();
            QTest::keyClick(w, Qt::Key_Escape);
            QVERIFY(e.isVisible());
        }
        QTest::keyClick(e.Text1, Qt::Key_Home);
        QTest::keyClicks(e.Text1, "X");
        QTest::keyClick(e.Text1, Qt::Key_Escape);
        QVERIFY(e.isVisible());
        QVERIFY(e.Text1->toPlainText().startsWith("001Xno"));
        Rispondi("NonSalvare");
        e.close();
        QVERIFY(!e.isVisible());

        CorpoFile = "001a*\r\n";
        FormSalvaFile s;
        Attiva(&s);
        for (QWidget *w :
             std::initializer_list<QWidget *>{s.File1, s.Dir1, s.Drive1, s.Text1, s.Text2}) {
            w->setFocus();
            QTest::keyClick(w, Qt::Key_Escape);
            QVERIFY(s.isVisible());
        }
        s.close();
        QVERIFY(!s.isVisible());
        QCOMPARE(s.result(), int(QDialog::Rejected));
        QCOMPARE(QDir(banco.cartella()).entryList(QDir::Files), QStringList({"m.vlt"}));
    }

    // "End" and the close box: with no change the editor closes at once; with
    // changes it asks, and each answer keeps or writes exactly what it says.
    void fineConModificheChiede() {
        const QByteArray file = "c\r\n001uno               *\r\nend\r\n";
        Scrivi(banco.percorso("m.vlt"), file);
        NomeFile = banco.percorso("m.vlt");
        {
            EditaMessaggi e;
            QVERIFY(e.Form_Load());
            Attiva(&e);
            e.Command2->click(); // nothing changed: no question
            QVERIFY(!e.isVisible());
        }
        EditaMessaggi e;
        QVERIFY(e.Form_Load());
        Attiva(&e);
        QTest::keyClick(e.Text1, Qt::Key_Home);
        QTest::keyClicks(e.Text1, "002");
        QVERIFY(e.Modificato());
        Rispondi("Annulla");
        e.Command2->click();
        QVERIFY(e.isVisible());
        Rispondi("Annulla");
        e.close();
        QVERIFY(e.isVisible());
        QCOMPARE(Leggi(NomeFile), file);
        // "Salva", then the save window left without saving: still open, nothing written.
        Rispondi("Salva");
        Quando(
            [] { return qobject_cast<FormSalvaFile *>(QApplication::activeModalWidget()); },
            [] {
                qobject_cast<FormSalvaFile *>(QApplication::activeModalWidget())->Command2->click();
            });
        e.Command2->click();
        QVERIFY(e.isVisible());
        QCOMPARE(Leggi(NomeFile), file);
        // "Salva" and a completed save: the editor closes, the file holds the edit.
        Rispondi("Salva");
        Quando([] { return qobject_cast<FormSalvaFile *>(QApplication::activeModalWidget()); },
               [] {
                   SalvaCome(*qobject_cast<FormSalvaFile *>(QApplication::activeModalWidget()),
                             "m.vlt", "c");
               });
        e.close();
        QVERIFY(!e.isVisible());
        const QByteArray modificato = "c\r\n002uno               *\r\nend\r\n";
        QCOMPARE(Leggi(banco.percorso("m.vlt")), modificato);
        // "Non salvare" from the close box: closes, the file keeps its bytes.
        EditaMessaggi d;
        QVERIFY(d.Form_Load());
        Attiva(&d);
        QTest::keyClicks(d.Text1, "9");
        Rispondi("NonSalvare");
        d.close();
        QVERIFY(!d.isVisible());
        QCOMPARE(Leggi(banco.percorso("m.vlt")), modificato);
    }

    // Typing over a text line keeps the note column; Insert inserts; a free
    // line takes typing as inserted text; a text the send would refuse or pad
    // is marked and named by its number; the file is saved as typed.
    void editorSovrascriveESegna() {
        Scrivi(banco.percorso("m.vlt"), "c\r\n001Vecchio_testo_16*\r\nnota libera\r\nend\r\n");
        NomeFile = banco.percorso("m.vlt");
        EditaMessaggi e;
        QVERIFY(e.Form_Load());
        Attiva(&e);
        // A line without a problem says where the panel shows it, with the
        // caption its pair of texts makes.
        const QString dove("Testo 001: Finestra 1, seconda metà - sulla centrale: \"1%1%2\"");
        QCOMPARE(e.LabelStato->text(), dove.arg(QString(16, ' '), "Vecchio_testo_16"));
        QTest::keyClick(e.Text1, Qt::Key_Home);
        QTest::keyClicks(e.Text1, "001Caff");
        QKeyEvent e_accentata(QEvent::KeyPress, Qt::Key_Egrave, Qt::NoModifier, "è");
        QApplication::sendEvent(e.Text1, &e_accentata);
        QCOMPARE(e.Text1->document()->firstBlock().text(), QString("001Caffèio_testo_16*"));
        QCOMPARE(e.LabelStato->text(), QString("Testo 001, riga 2: carattere \"è\" non trasmissibile"));
        QCOMPARE(e.Text1->extraSelections().size(), 1);
        QTest::keyClick(e.Text1, Qt::Key_Backspace);
        QTest::keyClicks(e.Text1, "e");
        QCOMPARE(e.LabelStato->text(), dove.arg(QString(16, ' '), "Caffeio_testo_16"));
        QTest::keyClick(e.Text1, Qt::Key_Insert);
        QCOMPARE(e.LabelModo->text(), QString("Inserisce (Ins)"));
        QTest::keyClicks(e.Text1, "!");
        QCOMPARE(e.Text1->document()->firstBlock().text(), QString("001Caffe!io_testo_16*"));
        QVERIFY2(e.LabelStato->text().startsWith("Testo 001, riga 2: più di 16 caratteri"),
                 qPrintable(e.LabelStato->text()));
        QTest::keyClick(e.Text1, Qt::Key_Insert);
        QCOMPARE(e.LabelModo->text(), QString("Sovrascrive (Ins)"));
        QTest::keyClick(e.Text1, Qt::Key_Down);
        QTest::keyClick(e.Text1, Qt::Key_Home);
        QTest::keyClicks(e.Text1, "una ");
        QCOMPARE(e.Text1->document()->findBlockByNumber(1).text(),
                 "una " + QString("nota libera").leftJustified(19));
        // Ctrl+S opens the save window, as "Salva" does.
        Quando([] { return qobject_cast<FormSalvaFile *>(QApplication::activeModalWidget()); },
               [] {
                   SalvaCome(*qobject_cast<FormSalvaFile *>(QApplication::activeModalWidget()),
                             "n.vlt", "c");
               });
        QTest::keyClick(e.Text1, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!e.Modificato());
        e.Command2->click();
        QCOMPARE(Leggi(banco.percorso("n.vlt")),
                 QByteArray("c\r\n001Caffe!io_testo_16*\r\n") + "una " +
                     QString("nota libera").leftJustified(19).toLatin1() + "\r\nend\r\n");

        // Typing past the 16th place is refused: the note stays in column 20.
        NomeFile = banco.percorso("m.vlt");
        EditaMessaggi f;
        QVERIFY(f.Form_Load());
        Attiva(&f);
        QTest::keyClick(f.Text1, Qt::Key_Home);
        QTest::keyClicks(f.Text1, "001Ingresso principale XYZ");
        QCOMPARE(f.Text1->document()->firstBlock().text(), QString("001Ingresso princip*"));
        QVERIFY2(f.LabelStato->text().startsWith("Testo troppo lungo: una riga tiene 16 "
                                                 "caratteri, tagliato \"ale XYZ\". Testo 001"),
                 qPrintable(f.LabelStato->text()));
        QTextCursor testo(f.Text1->document()->firstBlock());
        testo.setPosition(3);
        testo.setPosition(19, QTextCursor::KeepAnchor);
        f.Text1->setTextCursor(testo);
        QTest::keyClicks(f.Text1, "Ciao");
        QCOMPARE(f.Text1->document()->firstBlock().text(), "001Ciao" + QString(12, ' ') + "*");
        // A one-line paste overwrites as typing does, and stops at the 16th place.
        testo.setPosition(7);
        f.Text1->setTextCursor(testo);
        Incolla(f.Text1, "-Mondo e altro ancora");
        QCOMPARE(f.Text1->document()->firstBlock().text(), QString("001Ciao-Mondo e alt*"));
        QVERIFY2(f.LabelStato->text().contains("tagliato \"ro ancora\""),
                 qPrintable(f.LabelStato->text()));
        // The number keeps its digits: a letter typed there goes to the text,
        // Backspace and Delete leave them.
        f.Text1->moveCursor(QTextCursor::Start);
        QTest::keyClicks(f.Text1, "0X");
        QTest::keyClick(f.Text1, Qt::Key_Home);
        QTest::keyClick(f.Text1, Qt::Key_Delete);
        f.Text1->moveCursor(QTextCursor::NextCharacter);
        QTest::keyClick(f.Text1, Qt::Key_Backspace);
        QCOMPARE(f.Text1->document()->firstBlock().text(), QString("001Xiao-Mondo e alt*"));
        // Tab leaves the box: a tab in a panel text is never meant.
        QTest::keyClick(f.Text1, Qt::Key_Tab);
        QVERIFY(!f.Text1->hasFocus() && !f.Text1->toPlainText().contains('\t'));
        f.Text1->setFocus();
        // A number on two lines is marked on both, as the send would refuse it.
        f.Text1->moveCursor(QTextCursor::End);
        QTest::keyClicks(f.Text1, "001Doppio");
        QCOMPARE(f.Text1->extraSelections().size(), 2);
        QCOMPARE(f.LabelStato->text(),
                 QString("Testo 001 due volte: righe 2 e 4 (righe segnate: 2)"));
        // A number broken in Insert mode: the send would skip the line.
        QTest::keyClick(f.Text1, Qt::Key_Insert);
        QTest::keyClick(f.Text1, Qt::Key_Home);
        QTest::keyClick(f.Text1, Qt::Key_Delete);
        QCOMPARE(f.LabelStato->text(),
                 QString("Riga 4: non comincia con un numero di tre cifre: l'invio la salta"));
        Rispondi("NonSalvare");
        f.close();
    }

    // A comment pasted with line breaks is written as one line; the name box
    // takes no control character.
    void commentoENomeSuUnaRiga() {
        CorpoFile = "001a*\r\n";
        FormSalvaFile s;
        Attiva(&s);
        s.Text2->clear();
        Incolla(s.Text2, "Nota\r\n005Testo\n006Altro");
        QCOMPARE(s.Text2->text(), QString("Nota 005Testo 006Altro"));
        s.Text1->clear();
        Incolla(s.Text1, "uno\r\ndue.vlt");
        Incolla(s.Text1, "tre\t.vlt");
        QCOMPARE(s.Text1->text(), QString());
        QTest::keyClicks(s.Text1, "nota.vlt");
        // Set from outside the keyboard: refused at the save, with the reason.
        s.Text2->setText("Altra\rnota");
        QCOMPARE(s.Text2->text(), QString("Altra nota"));
        s.Text1->setText("a\nb.vlt");
        s.Command1->click();
        QVERIFY(s.isVisible());
        QVERIFY2(s.LabelErrore->text().contains("caratteri di controllo"),
                 qPrintable(s.LabelErrore->text()));
        s.Text1->setText("nota.vlt");
        s.Command1->click();
        QCOMPARE(s.result(), int(QDialog::Accepted));
        QCOMPARE(Leggi(banco.percorso("nota.vlt")),
                 QByteArray("Altra nota\r\n001a*\r\n\r\nend\r\n"));
        QCOMPARE(QDir(banco.cartella()).entryList(QDir::Files), QStringList({"nota.vlt"}));
    }

    // A file loaded in the editor and saved with no edit comes out byte for
    // byte, every byte value included; a lone LF inside a line shows as one
    // visible character and goes back as the LF.
    void editorByteIdentico() {
        QByteArray file = "Commento\r\n";
        for (int n = 0; n < 16; ++n) {
            QByteArray testo;
            for (int i = 0; i < 16; ++i)
                testo += char(n * 16 + i);
            testo.replace('\r', 'R'); // a CR always ends a line
            file += QByteArray::number(n).rightJustified(3, '0') + testo + "*\r\n";
        }
        file += "016a\nb" + QByteArray(13, ' ') + "\n\r\n\r\nend\r\n";
        Scrivi(banco.percorso("tutti.vlt"), file);
        NomeFile = banco.percorso("tutti.vlt");
        EditaMessaggi e;
        QVERIFY2(e.Form_Load(), qPrintable(e.Errore()));
        QCOMPARE(e.Text1->document()->blockCount(), 17 + 1);
        const QString riga16 = e.Text1->document()->findBlockByNumber(16).text();
        QCOMPARE(riga16, QString("016a") + FormatoMessaggi::SegnapostoLF + "b" + QString(13, ' ') +
                             FormatoMessaggi::SegnapostoLF);
        FormSalvaFile s(&e);
        SalvaCome(s, "copia.vlt", "Commento");
        QCOMPARE(s.result(), int(QDialog::Accepted));
        QCOMPARE(Leggi(banco.percorso("copia.vlt")), file);

        // Typing after the placeholder keeps it an LF.
        QTextCursor c(e.Text1->document()->findBlockByNumber(16));
        c.movePosition(QTextCursor::EndOfBlock);
        e.Text1->setTextCursor(c);
        QTest::keyClicks(e.Text1, "Z");
        QVERIFY(e.TestoCorpo().contains("016a\nb" + QString(13, ' ') + "\nZ\r\n"));

        // Through "Salva " with no edit: the save window proposes the file's
        // comment, and a file with no empty line before "end" keeps its lines.
        const QByteArray impianto = "Impianto di prova\r\n001Ingresso        *\r\nend\r\n";
        Scrivi(banco.percorso("impianto.vlt"), impianto);
        NomeFile = banco.percorso("impianto.vlt");
        EditaMessaggi f;
        QVERIFY(f.Form_Load());
        Attiva(&f);
        QString proposto;
        Quando([] { return qobject_cast<FormSalvaFile *>(QApplication::activeModalWidget()); },
               [&proposto] {
                   auto *s = qobject_cast<FormSalvaFile *>(QApplication::activeModalWidget());
                   proposto = s->Text2->text();
                   s->Text1->selectAll();
                   QTest::keyClicks(s->Text1, "copia.vlt");
                   QTest::keyClick(s->Text1, Qt::Key_Return);
               });
        f.Command1->click();
        QCOMPARE(proposto, QString("Impianto di prova"));
        QCOMPARE(Leggi(banco.percorso("copia.vlt")), impianto);
        QVERIFY(!f.Modificato());
        QCOMPARE(f.Label1->text(), banco.percorso("copia.vlt")); // the file now edited
    }

    // A file made on Linux opens with its texts and is saved with CR LF; a
    // file too large to be a message file is refused with the reason.
    void editorFileLinuxEGrande() {
        Scrivi(banco.percorso("linux.vlt"),
               "Da Linux\n001Primo testo     *\n002Secondo testo   *\n\nend\n");
        NomeFile = banco.percorso("linux.vlt");
        EditaMessaggi e;
        QVERIFY2(e.Form_Load(), qPrintable(e.Errore()));
        QCOMPARE(e.Text2->text(), QString("Da Linux"));
        QCOMPARE(e.Text1->toPlainText(), QString("001Primo testo     *\n002Secondo testo   *\n"));
        FormSalvaFile s(&e);
        SalvaCome(s, "linux.vlt", "Da Linux");
        QCOMPARE(
            Leggi(banco.percorso("linux.vlt")),
            QByteArray("Da Linux\r\n001Primo testo     *\r\n002Secondo testo   *\r\n\r\nend\r\n"));

        Scrivi(banco.percorso("grande.vlt"),
               "c\r\n" + QByteArray(FormatoMessaggi::LimiteFile, 'x') + "\r\nend\r\n");
        NomeFile = banco.percorso("grande.vlt");
        EditaMessaggi grande;
        QVERIFY(!grande.Form_Load());
        QVERIFY2(grande.Errore().contains("troppo grande"), qPrintable(grande.Errore()));
    }

    // The save window (the editor saves through it) on a full disk: it says
    // why, stays open, and the old file keeps its bytes.
    void salvataggioSuDiscoPieno() {
        DiscoPieno disco;
        SALTA_SENZA_DISCO(disco);
        const QByteArray vecchio = "contenuto originale\r\n001Testo\r\nend\r\n";
        Scrivi(disco.percorso("vecchio.vlt"), vecchio);
        QVERIFY(disco.riempi(4096));
        CorpoFile = QString("001Un testo lungo*\r\n").repeated(400);
        NomeFile = "prima";
        QDir::setCurrent(disco.cartella());
        QString errore;
        {
            FormSalvaFile s;
            s.show();
            SalvaCome(s, "vecchio.vlt", "nuovo commento");
            QVERIFY(s.isVisible());
            errore = s.LabelErrore->text();
        }
        QDir::setCurrent(banco.cartella());
        QVERIFY2(errore.startsWith("File non salvato: impossibile scrivere") &&
                     errore.contains("(spazio esaurito sul disco): il file è rimasto com'era"),
                 qPrintable(errore));
        QCOMPARE(Leggi(disco.percorso("vecchio.vlt")), vecchio);
        QCOMPARE(QDir(disco.cartella()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"riempi", "vecchio.vlt"}));
        QCOMPARE(NomeFile, QString("prima"));
    }
};

QTEST_MAIN(TestFinestreFile)
#include "tst_finestre_file.moc"
