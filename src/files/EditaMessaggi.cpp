#include "files/EditaMessaggi.h"

#include "files/FormSalvaFile.h"
#include "files/FormatoMessaggi.h"
#include "shared/Aspetto.h"
#include "shared/Variabili.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

namespace {
const Twips Finestra = {0, 0, 9810, 7515};
const Twips PosLabel1 = {315, 315, 6735, 225};
const Twips PosLabel20 = {315, 840, 2295, 300};
const Twips PosText2 = {210, 1155, 5685, 300};
const Twips PosCommand1 = {6150, 675, 1260, 615};
const Twips PosCommand2 = {7575, 675, 1260, 615};
const Twips PosText1 = {210, 1575, 9165, 5745};
} // namespace

EditaMessaggi::EditaMessaggi(QWidget *parent) : QDialog(parent) {
    ImpostaFinestra(
        this, QStringLiteral("EditaMessaggi"),
        QStringLiteral("Edita Messaggi (max.32 caratteri. Attenzione: lo spazio è un carattere)"),
        Finestra);

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
    Text1 = Controllo<QPlainTextEdit>(this, "Text1", PosText1, Carattere("Courier", 9.75));
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    QWidget::setTabOrder(Command1, Text2);
    QWidget::setTabOrder(Text2, Command2);
    QWidget::setTabOrder(Command2, Text1);

    connect(Command1, &QPushButton::clicked, this, &EditaMessaggi::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &EditaMessaggi::Command2_Click);
}

bool EditaMessaggi::Form_Load() {
    Text1->clear();
    Label1->setText(V::NomeFile);
    const auto scansione = FormatoMessaggi::LeggiMessaggi(V::NomeFile, &errore_);
    if (!scansione) return false;
    if (scansione->haCorpo) Text2->setText(scansione->commento);
    // A lone LF inside a line shows as a placeholder and is written back as it was.
    Text1->setPlainText(FormatoMessaggi::TestoVisibile(FormatoMessaggi::TestoEditor(*scansione)));
    V::CorpoFile = TestoCorpo();
    return true;
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
    V::CorpoFile = TestoCorpo();
    FormSalvaFile salva(this);
    salva.exec();
}

void EditaMessaggi::Command2_Click() {
    reject();
}
