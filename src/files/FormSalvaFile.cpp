#include "files/FormSalvaFile.h"

#include "files/FileMessaggi.h"
#include "files/FormatoMessaggi.h"
#include "files/ListeFile.h"
#include "widgets/Aspetto.h"
#include "widgets/Controlli.h"
#include "shared/Variabili.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

namespace {
const Twips Finestra = {0, 0, 7710, 6540};
const Twips PosDrive1 = {360, 480, 1455, 315};
const Twips PosDir1 = {1920, 480, 2655, 2565};
const Twips PosFile1 = {4680, 480, 2295, 2625};
const Twips PosLabel3 = {960, 3240, 1215, 375};
const Twips PosLabel2 = {2400, 3240, 5055, 375};
const Twips PosText1 = {4200, 3840, 2415, 375};
const Twips PosLabel1 = {1080, 3840, 3015, 255};
const Twips PosText2 = {840, 4680, 6015, 495};
const Twips PosCommand2 = {840, 5400, 3015, 855};
const Twips PosCommand1 = {5160, 5400, 1935, 855};
// Below the window's own controls: the reason of a failed save.
const Twips PosLabelErrore = {360, 6420, 7000, 600};
const int AltezzaInPiu = 45; // pixels the window grows for that line

// The name box refuses what the name may not hold, typed or pasted: a control
// character or a line break.
class ValidaNome : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString &testo, int &) const override {
        return FormatoMessaggi::HaCaratteriDiControllo(testo) ? Invalid : Acceptable;
    }
};

// The comment box turns line breaks into blanks as they come, typed or pasted.
class ValidaCommento : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString &testo, int &posizione) const override {
        if (testo.contains(QLatin1Char('\r')) || testo.contains(QLatin1Char('\n'))) {
            posizione = int(FormatoMessaggi::SenzaACapo(testo.left(posizione)).size());
            testo = FormatoMessaggi::SenzaACapo(testo);
        }
        return Acceptable;
    }
};
} // namespace

FormSalvaFile::FormSalvaFile(QWidget *parent) : QDialog(parent) {
    ImpostaFinestra(this, QStringLiteral("FormSalvaFile"), QStringLiteral("FormSalvaFile"),
                    Finestra, AltezzaInPiu);

    Drive1 = Controllo<ListaUnita>(this, "Drive1", PosDrive1, FontDellaFinestra);
    Dir1 = Controllo<ListaCartelle>(this, "Dir1", PosDir1, FontDellaFinestra);
    File1 = Controllo<ListaFile>(this, "File1", PosFile1, FontDellaFinestra);
    File1->setPattern(QStringLiteral("*.vlt"));

    Label3 =
        Controllo<QLabel>(this, "Label3", PosLabel3, FontDellaFinestra, QStringLiteral("Path :"));
    Label2 =
        Controllo<QLabel>(this, "Label2", PosLabel2, FontDellaFinestra, QStringLiteral("Label2"));
    Label2->setTextFormat(Qt::PlainText); // the folder's path, as it is
    Text1 = Controllo<QLineEdit>(this, "Text1", PosText1, FontDellaFinestra,
                                 QStringLiteral("File name"));
    Text1->setValidator(new ValidaNome(Text1));
    Label1 = Controllo<QLabel>(this, "Label1", PosLabel1, Carattere("MS Sans Serif", 9.75, true),
                               QStringLiteral("Deve avere estensione .vlt"));
    ImpostaSfondo(Label1, ColoreFacciaPulsante());
    Text2 = Controllo<QLineEdit>(this, "Text2", PosText2, FontDellaFinestra,
                                 QStringLiteral("Commento da memorizzare"));
    Text2->setValidator(new ValidaCommento(Text2));
    SfondoSuggerimento(Text2);
    Command2 =
        Controllo<Pulsante>(this, "Command2", PosCommand2, Carattere("MS Sans Serif", 18, true),
                            QStringLiteral("Esci senza salvare"));
    Command1 = Controllo<Pulsante>(this, "Command1", PosCommand1,
                                   Carattere("MS Sans Serif", 18, true), QStringLiteral("Salva"));
    Command1->setAutoDefault(false);
    Command2->setAutoDefault(false);
    LabelErrore = Controllo<QLabel>(this, "LabelErrore", PosLabelErrore, FontDellaFinestra);
    LabelErrore->setWordWrap(true);
    LabelErrore->setTextFormat(Qt::PlainText); // the reason names the file
    LabelErrore->setStyleSheet(QStringLiteral("color: #C00000;"));

    QWidget::setTabOrder(Drive1, File1);
    QWidget::setTabOrder(File1, Dir1);
    QWidget::setTabOrder(Dir1, Text1);
    QWidget::setTabOrder(Text1, Command1);
    QWidget::setTabOrder(Command1, Text2);
    QWidget::setTabOrder(Text2, Command2);

    Concatena(Drive1, Dir1, File1, [this] { aggiornaPercorso(); });
    connect(File1, &ListaFile::clic, this, [this] { Text1->setText(File1->FileName()); });
    connect(Command1, &QPushButton::clicked, this, &FormSalvaFile::Command1_Click);
    // Enter in the name box presses "Salva".
    connect(Text1, &QLineEdit::returnPressed, this, &FormSalvaFile::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FormSalvaFile::Command2_Click);
    Form_Load();
}

void FormSalvaFile::Form_Load() {
    File1->setPath(Dir1->Path());
    Text2->setText(V::CommentoProposto);
    aggiornaPercorso();
}

void FormSalvaFile::aggiornaPercorso() {
    Label2->setText(QDir::toNativeSeparators(File1->Path() + QLatin1Char('/')));
}

void FormSalvaFile::Command1_Click() {
    const QString nome = Text1->text();
    QString errore = FormatoMessaggi::MotivoNomeRifiutato(nome);
    if (errore == FormatoMessaggi::NomeSenzaVlt) {
        // The label turns light red and stays so; it and the status line say why.
        ImpostaSfondo(Label1, ColoreRossoChiaro());
        Label1->setToolTip(errore);
        LabelErrore->setText(errore);
        return;
    }
    const QString percorso = QDir(File1->Path()).filePath(nome);
    if (!errore.isEmpty()) {
        errore[0] = errore[0].toLower();
    } else if (FormatoMessaggi::SalvaFile(
                   percorso,
                   FormatoMessaggi::ContenutoFile(FormatoMessaggi::SenzaACapo(Text2->text()),
                                                  V::CorpoFile),
                   &errore)) {
        V::NomeFile = percorso;
        accept();
        return;
    }
    LabelErrore->setText(QStringLiteral("File non salvato: %1.").arg(errore));
}

QString FormSalvaFile::SalvaSuInterruzione() const {
    const QString nome = Text1->text();
    const QString base =
        nome.endsWith(QLatin1String(".vlt")) && FormatoMessaggi::MotivoNomeRifiutato(nome).isEmpty()
            ? QFileInfo(nome).completeBaseName()
            : QStringLiteral("testi-letti");
    const QByteArray dati =
        FormatoMessaggi::ContenutoFile(FormatoMessaggi::SenzaACapo(Text2->text()), V::CorpoFile);
    QString errore;
    // Texts read from the panel are for this user only, as any copy of them.
    const QString percorso =
        FormatoMessaggi::SalvaNonSalvato(File1->Path(), base, dati, 0600, &errore);
    return percorso.isEmpty() ? QStringLiteral("Testi da salvare persi: %1").arg(errore)
                              : QStringLiteral("Testi da salvare scritti in %1")
                                    .arg(QDir::toNativeSeparators(percorso));
}

void FormSalvaFile::Command2_Click() {
    reject();
}

void FormSalvaFile::keyPressEvent(QKeyEvent *evento) {
    // Escape would leave without saving and lose a read-back: only "Esci senza
    // salvare" and the close box do that.
    if (evento->matches(QKeySequence::Cancel)) {
        evento->accept();
        return;
    }
    QDialog::keyPressEvent(evento);
}
