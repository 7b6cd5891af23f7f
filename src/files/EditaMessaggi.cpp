#include "files/EditaMessaggi.h"

#include "files/FormSalvaFile.h"
#include "files/FileMessaggi.h"
#include "files/FormatoMessaggi.h"
#include "link/Comandi.h"
#include "files/Programmazione.h"
#include "widgets/Aspetto.h"
#include "widgets/Controlli.h"
#include "shared/Numeri.h"
#include "shared/Salvataggio.h"
#include "shared/Variabili.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <functional>

namespace {
const Twips Finestra = {0, 0, 9810, 7515};
const Twips PosLabel1 = {315, 315, 6735, 225};
const Twips PosLabel20 = {315, 840, 2295, 300};
const Twips PosText2 = {210, 1155, 5685, 300};
const Twips PosCommand1 = {6150, 675, 1260, 615};
const Twips PosCommand2 = {7575, 675, 1260, 615};
const Twips PosText1 = {210, 1575, 9165, 5745};
// Below the window's own controls: the problem of a line, and the typing mode.
const Twips PosLabelStato = {210, 7380, 7300, 300};
const Twips PosLabelModo = {7600, 7380, 1775, 300};
const int AltezzaInPiu = 22; // pixels the window grows for that line

constexpr int Cifre = 3;                          // the text number
constexpr int FineTesto = Comandi::LunghezzaVoce; // the note column starts here
const QColor ColoreNumero(210, 225, 255);         // the guide: the number's places
const QColor ColoreTesto(235, 250, 235);          // ... and the 16 text places
const QString ModoSovrascrivi = QStringLiteral("Sovrascrive (Ins)");
const QString ModoInserisci = QStringLiteral("Inserisce (Ins)");

// The editor's text box: overwriting in the number and text places of a
// text line, and the guide drawn under the text.
class CampoTesti : public QPlainTextEdit {
  public:
    explicit CampoTesti(QWidget *padre) : QPlainTextEdit(padre) { setOverwriteMode(true); }
    std::function<void()> modoCambiato;
    // Text that did not fit the 16 places of a line and was left out.
    std::function<void(const QString &resto)> tagliato;

  protected:
    void keyPressEvent(QKeyEvent *e) override {
        if (e->key() == Qt::Key_Insert && e->modifiers() == Qt::NoModifier) {
            setOverwriteMode(!overwriteMode());
            if (modoCambiato) modoCambiato();
            return;
        }
        const QString testo = e->text();
        // AltGr (Ctrl+Alt on Windows) types characters too: "@", "€".
        const Qt::KeyboardModifiers m = e->modifiers();
        const bool comando = (m & Qt::ControlModifier) && !(m & Qt::AltModifier);
        if (!testo.isEmpty() && testo[0].isPrint() && !comando) {
            scrivi(testo);
            return;
        }
        QTextCursor c = textCursor();
        const bool campo = overwriteMode() && !c.hasSelection() &&
                           FormatoMessaggi::RigaConNumero(c.block().text()) &&
                           c.positionInBlock() < FineTesto;
        // Backspace and Delete blank a text place instead of pulling the note
        // left, and leave the number's digits alone.
        const int pos = c.positionInBlock();
        if (campo && e->modifiers() == Qt::NoModifier &&
            ((e->key() == Qt::Key_Backspace && pos <= Cifre) ||
             (e->key() == Qt::Key_Delete && pos < Cifre))) {
            if (e->key() == Qt::Key_Backspace && pos > 0) {
                c.movePosition(QTextCursor::PreviousCharacter);
                setTextCursor(c);
            } else {
                QApplication::beep();
            }
            return;
        }
        if (campo && e->modifiers() == Qt::NoModifier &&
            ((e->key() == Qt::Key_Backspace && pos > Cifre) ||
             (e->key() == Qt::Key_Delete && pos >= Cifre && pos < c.block().length() - 1))) {
            if (e->key() == Qt::Key_Backspace) c.movePosition(QTextCursor::PreviousCharacter);
            c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
            c.insertText(QStringLiteral(" "));
            if (e->key() == Qt::Key_Backspace) c.movePosition(QTextCursor::PreviousCharacter);
            setTextCursor(c);
            return;
        }
        QPlainTextEdit::keyPressEvent(e);
    }

    // A paste of one line is placed as typed text is.
    void insertFromMimeData(const QMimeData *dati) override {
        const QString testo = dati->text();
        if (overwriteMode() && !testo.isEmpty() && !testo.contains(QLatin1Char('\n')) &&
            !testo.contains(QLatin1Char('\r'))) {
            scrivi(testo);
            return;
        }
        QPlainTextEdit::insertFromMimeData(dati);
    }

    void paintEvent(QPaintEvent *e) override {
        {
            // The guide: the number's places and the 16 text places, with a
            // line where the note column starts.
            QPainter p(viewport());
            const qreal w = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('0'));
            const qreal x = contentOffset().x() + document()->documentMargin();
            const int h = viewport()->height();
            p.fillRect(QRectF(x, 0, Cifre * w, h), ColoreNumero);
            p.fillRect(QRectF(x + Cifre * w, 0, (FineTesto - Cifre) * w, h), ColoreTesto);
            p.setPen(QPen(QColor(150, 150, 150), 1, Qt::DashLine));
            p.drawLine(QPointF(x + FineTesto * w, 0), QPointF(x + FineTesto * w, h));
        }
        QPlainTextEdit::paintEvent(e);
    }

  private:
    // Typed or pasted text: overwriting in the number and text places of a
    // text line, inserted elsewhere.
    void scrivi(const QString &testo) {
        QTextCursor c = textCursor();
        const bool riga = overwriteMode() && !c.hasSelection() &&
                          FormatoMessaggi::RigaConNumero(c.block().text());
        const bool campo = riga && c.positionInBlock() < FineTesto;
        if (overwriteMode() && c.hasSelection()) {
            // A selection within the number and text places of one text line
            // is overwritten: what is typed, then blanks to its width.
            const QTextBlock b = document()->findBlock(c.selectionStart());
            const int da = c.selectionStart() - b.position();
            const int a = c.selectionEnd() - b.position();
            if (b.contains(c.selectionEnd()) && FormatoMessaggi::RigaConNumero(b.text()) &&
                a <= FineTesto) {
                const int larghezza = a - da;
                c.insertText(testo.left(larghezza).leftJustified(larghezza));
                if (testo.size() > larghezza && tagliato) tagliato(testo.mid(larghezza));
                c.setPosition(b.position() + da + std::min(int(testo.size()), larghezza));
                setTextCursor(c);
                return;
            }
        }
        // Text is always placed here: the box's own overwriting would reach
        // the note column too. Past the 16th place a character is refused: it
        // would push the note column right.
        c.beginEditBlock();
        for (qsizetype i = 0; i < testo.size(); ++i) {
            const QChar ch = testo[i];
            int pos = c.positionInBlock();
            // The number keeps its three digits: anything else typed there
            // goes to the first text place, where it was meant to go.
            if (riga && pos < Cifre && !CifraDecimale(ch)) {
                c.setPosition(c.block().position() + Cifre);
                pos = Cifre;
            }
            if (riga && pos == FineTesto) {
                QApplication::beep();
                if (tagliato) tagliato(testo.mid(i));
                break;
            }
            if (campo && pos < c.block().length() - 1)
                c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
            c.insertText(QString(ch));
        }
        c.endEditBlock();
        setTextCursor(c);
        ensureCursorVisible();
    }
};

// Where the panel shows the text of line `indice` of the editor's lines, and
// the whole caption its pair of texts makes there: "Testo 008: Finestra 3,
// prima metà - la finestra mostra "3Aula 1 ..."".
QString DoveSiVede(const QStringList &righe, int indice) {
    const int numero = righe[indice].left(Cifre).toInt();
    QString detto =
        QStringLiteral("Testo %1: %2").arg(righe[indice].left(Cifre), Comandi::DoveSiVede(numero));
    const int primo = Comandi::PrimoDellaCoppia(numero);
    if (primo < 0) return detto;
    // The pair as the panel joins it: the last line of each number counts.
    QString coppia[2] = {QString(16, QLatin1Char(' ')), QString(16, QLatin1Char(' '))};
    for (const QString &r : righe)
        if (FormatoMessaggi::RigaConNumero(r) &&
            (r.left(Cifre).toInt() == primo || r.left(Cifre).toInt() == primo + 1))
            coppia[r.left(Cifre).toInt() - primo] =
                r.mid(Cifre, FineTesto - Cifre).leftJustified(FineTesto - Cifre);
    const QString davanti =
        primo < 4 * Comandi::FinestreConTesto ? QString::number(primo / 4 + 1) : QString();
    return detto +
           QStringLiteral(" - sulla centrale: \"%1%2%3\"").arg(davanti, coppia[0], coppia[1]);
}

} // namespace

EditaMessaggi::EditaMessaggi(QWidget *parent) : QDialog(parent) {
    ImpostaFinestra(
        this, QStringLiteral("EditaMessaggi"),
        QStringLiteral("Edita Messaggi (max.32 caratteri. Attenzione: lo spazio è un carattere)"),
        Finestra, AltezzaInPiu);

    Label1 =
        Controllo<QLabel>(this, "Label1", PosLabel1, FontDellaFinestra, QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText); // the file's path, as it is
    Label20 = Controllo<QLabel>(this, "Label20", PosLabel20, FontDellaFinestra,
                                QStringLiteral("Commento memorizzato nel file "));
    Text2 = Controllo<QLineEdit>(this, "Text2", PosText2, FontDellaFinestra,
                                 QStringLiteral("Commento del file"));
    SfondoSuggerimento(Text2);
    Command1 =
        Controllo<Pulsante>(this, "Command1", PosCommand1,
                            Carattere("MS Sans Serif", 12, true, true), QStringLiteral("Salva "));
    Command2 =
        Controllo<Pulsante>(this, "Command2", PosCommand2,
                            Carattere("MS Sans Serif", 13.5, true, true), QStringLiteral("End"));
    Command1->setAutoDefault(false);
    Command2->setAutoDefault(false);
    auto *campo = Controllo<CampoTesti>(this, "Text1", PosText1, Carattere("Courier", 9.75));
    Text1 = campo;
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->setTabChangesFocus(true); // a tab in a panel text is never meant
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    LabelStato = Controllo<QLabel>(this, "LabelStato", PosLabelStato, FontDellaFinestra);
    LabelStato->setTextFormat(Qt::PlainText); // it quotes what was typed
    LabelModo =
        Controllo<QLabel>(this, "LabelModo", PosLabelModo, FontDellaFinestra, ModoSovrascrivi);
    LabelModo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    campo->tagliato = [this](const QString &resto) {
        // Characters typed one by one past the end add up while on one line;
        // a paste tells its own.
        const int riga = Text1->textCursor().blockNumber();
        tagliati_ = riga == rigaTagliata_ && resto.size() == 1 ? tagliati_ + resto : resto;
        rigaTagliata_ = riga;
        aggiornaSegni();
    };
    campo->modoCambiato = [this] {
        LabelModo->setText(Text1->overwriteMode() ? ModoSovrascrivi : ModoInserisci);
    };
    connect(Text1, &QPlainTextEdit::textChanged, this, &EditaMessaggi::aggiornaSegni);
    connect(Text1, &QPlainTextEdit::cursorPositionChanged, this, &EditaMessaggi::aggiornaSegni);

    QWidget::setTabOrder(Command1, Text2);
    QWidget::setTabOrder(Text2, Command2);
    QWidget::setTabOrder(Command2, Text1);

    connect(Command1, &QPushButton::clicked, this, &EditaMessaggi::Command1_Click);
    // Ctrl+S saves, as in every editor.
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this,
            &EditaMessaggi::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &EditaMessaggi::Command2_Click);
}

bool EditaMessaggi::Form_Load() {
    Text1->clear();
    Label1->setText(V::NomeFile);
    percorso_ = V::NomeFile;
    const auto scansione = FormatoMessaggi::LeggiMessaggi(V::NomeFile, &errore_);
    if (!scansione) return false;
    haCorpo_ = scansione->haCorpo;
    commentoFile_ = scansione->commento;
    if (haCorpo_) Text2->setText(commentoFile_);
    // A lone LF inside a line shows as a placeholder and is written back as it was.
    Text1->setPlainText(FormatoMessaggi::TestoVisibile(FormatoMessaggi::TestoEditor(*scansione)));
    vuotaInFondo_ = scansione->vuotaInFondo;
    V::CorpoFile = TestoCorpo();
    salvato_ = V::CorpoFile;
    commentoSalvato_ = Commento();
    return true;
}

QString EditaMessaggi::Commento() const {
    // A file of its comment line alone shows the box's caption: its comment
    // stays the file's until the operator types one.
    return haCorpo_ || Text2->isModified() ? Text2->text() : commentoFile_;
}

QString EditaMessaggi::TestoCorpo() const {
    // The raw text keeps every character as typed (a no-break space stays one).
    return FormatoMessaggi::CorpoDaTesto(Text1->document()->toRawText());
}

void EditaMessaggi::keyPressEvent(QKeyEvent *evento) {
    // Escape would close the window and lose the edits: only "End" and the
    // close box close it.
    if (evento->matches(QKeySequence::Cancel)) {
        evento->accept();
        return;
    }
    QDialog::keyPressEvent(evento);
}

void EditaMessaggi::Command1_Click() {
    // The save window proposes the file's own comment, so a save keeps it.
    V::CommentoProposto = Commento();
    // The lines before "end" keep the file's own shape.
    const QString corpo = TestoCorpo();
    V::CorpoFile = FormatoMessaggi::CorpoComeNelFile(corpo, vuotaInFondo_);
    FormSalvaFile salva(this);
    if (salva.exec() != QDialog::Accepted) return;
    salvato_ = corpo;
    percorso_ = V::NomeFile;
    Label1->setText(percorso_);
    // The comment written is the one the save window held.
    haCorpo_ = true;
    Text2->setText(FormatoMessaggi::SenzaACapo(salva.Text2->text()));
    commentoSalvato_ = Commento();
}

void EditaMessaggi::Command2_Click() {
    if (puoChiudere()) reject();
}

void EditaMessaggi::aggiornaSegni() {
    QList<QTextEdit::ExtraSelection> segni;
    QString corrente, primo;
    int quanti = 0;
    const QTextBlock cursore = Text1->textCursor().block();
    QStringList righe;
    for (QTextBlock b = Text1->document()->begin(); b.isValid(); b = b.next())
        righe << FormatoMessaggi::CorpoDaTesto(b.text());
    // The comment is the file's first line.
    const QStringList problemi = Programmazione::ProblemiRighe(righe, 2);
    for (QTextBlock b = Text1->document()->begin(); b.isValid(); b = b.next()) {
        const QString &problema = problemi[b.blockNumber()];
        if (problema.isEmpty()) continue;
        ++quanti;
        if (primo.isEmpty()) primo = problema;
        if (b == cursore) corrente = problema;
        QTextEdit::ExtraSelection segno;
        segno.cursor = QTextCursor(b);
        segno.format.setBackground(ColoreRossoChiaro());
        segno.format.setProperty(QTextFormat::FullWidthSelection, true);
        segni << segno;
    }
    Text1->setExtraSelections(segni);
    QString stato = corrente.isEmpty() ? primo : corrente;
    if (quanti > 1) stato += QStringLiteral(" (righe segnate: %1)").arg(quanti);
    // A line without a problem says where the panel shows it.
    if (corrente.isEmpty() && FormatoMessaggi::RigaConNumero(righe.value(cursore.blockNumber())))
        stato = DoveSiVede(righe, cursore.blockNumber());
    // What a paste or typing left out stays said while the cursor is on its line.
    if (cursore.blockNumber() != rigaTagliata_) {
        tagliati_.clear();
        rigaTagliata_ = -1;
    }
    if (!tagliati_.isEmpty())
        stato = QStringLiteral("Testo troppo lungo: una riga tiene 16 caratteri, tagliato "
                               "\"%1\". %2")
                    .arg(tagliati_, stato);
    LabelStato->setText(stato);
}

bool EditaMessaggi::Modificato() const {
    return TestoCorpo() != salvato_ || Commento() != commentoSalvato_;
}

bool EditaMessaggi::puoChiudere() {
    if (!Modificato()) return true;
    switch (Domanda(this, QStringLiteral("Salvare le modifiche?"))) {
    case Risposta::Salva:
        Command1_Click();
        return !Modificato(); // left the save window without saving: stays open
    case Risposta::NonSalvare:
        return true;
    case Risposta::Annulla:
        break;
    }
    return false;
}

QString EditaMessaggi::SalvaSuInterruzione() const {
    if (!Modificato()) return QString();
    const QFileInfo file(percorso_);
    const QByteArray dati = FormatoMessaggi::ContenutoFile(
        FormatoMessaggi::SenzaACapo(Commento()),
        FormatoMessaggi::CorpoComeNelFile(TestoCorpo(), vuotaInFondo_));
    QString errore;
    const QString percorso = FormatoMessaggi::SalvaNonSalvato(
        file.absolutePath(), file.completeBaseName(), dati, Salvataggio::Modo(percorso_), &errore);
    const QString di = QDir::toNativeSeparators(percorso_);
    return percorso.isEmpty()
               ? QStringLiteral("Modifiche non salvate di %1 perse: %2").arg(di, errore)
               : QStringLiteral("Modifiche non salvate di %1 scritte in %2")
                     .arg(di, QDir::toNativeSeparators(percorso));
}

void EditaMessaggi::closeEvent(QCloseEvent *evento) {
    if (!puoChiudere()) {
        evento->ignore();
        return;
    }
    QDialog::closeEvent(evento);
}
