// "Modifica Testi": opening the message editor on the chosen file; "Nuovo
// file…": a new message file, opened in the editor.
#include "programming/FormScriveMessaggi.h"

#include "files/EditaMessaggi.h"
#include "shared/Variabili.h"

#include "files/FileMessaggi.h"
#include "files/FormatoMessaggi.h"
#include "files/ListeFile.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>

namespace {
const QString CommentoNuovo = QStringLiteral("Nuovo file dei testi");
}

void FormScriveMessaggi::Command5_Click() {
    DisabilitaComandi();
    if (V::NomeFile.isEmpty()) {
        Text1->setText(QStringLiteral("Devi selezionare un file"));
        Text2->setText(QStringLiteral("Cliccane uno dalla lista "));
    } else {
        EditaMessaggi editor(this);
        if (editor.Form_Load()) {
            editor.exec();
            MostraFileScritti();
        } else {
            Text1->setText(QStringLiteral("File non leggibile: l'editor non si apre"));
            Text2->setText(editor.Errore());
        }
    }
    AbilitaComandi();
}

void FormScriveMessaggi::aggiungiVociFile() {
    Menu->addSeparator();
    QAction *nuovo = Menu->addAction(QStringLiteral("Nuovo file…"));
    nuovo->setObjectName(QStringLiteral("NuovoFile"));
    connect(nuovo, &QAction::triggered, this, &FormScriveMessaggi::NuovoFile_Click);
}

void FormScriveMessaggi::NuovoFile_Click() {
    if (OperazioneInCorso()) return;
    const QString cartella = File1->Path();
    QInputDialog domanda(this);
    domanda.setObjectName(QStringLiteral("DomandaNuovoFile"));
    domanda.setWindowTitle(QStringLiteral("Nuovo file"));
    domanda.setLabelText(
        QStringLiteral("Nome del nuovo file dei messaggi (.vlt si aggiunge da sé), nella "
                       "cartella\n%1")
            .arg(QDir::toNativeSeparators(cartella)));
    domanda.setOkButtonText(QStringLiteral("Crea"));
    domanda.setCancelButtonText(QStringLiteral("Annulla"));
    if (domanda.exec() != QDialog::Accepted) return;
    QString nome = domanda.textValue().trimmed();
    if (nome.isEmpty()) return;
    if (FormatoMessaggi::MotivoNomeRifiutato(nome) == FormatoMessaggi::NomeSenzaVlt)
        nome += QStringLiteral(".vlt");
    QString errore = FormatoMessaggi::MotivoNomeRifiutato(nome);
    const QString percorso = QDir(cartella).filePath(nome);
    if (errore.isEmpty() && FormatoMessaggi::CreaFileNuovo(percorso, CommentoNuovo, &errore)) {
        V::NomeFile = percorso;
        MostraFileScritti();
        Command5_Click();
        return;
    }
    Text1->setText(QStringLiteral("File non creato"));
    Text2->setText(errore);
}

void FormScriveMessaggi::MostraFileScritti() {
    // Listing again highlights the file chosen before, and a highlight chooses
    // it: the file just written stays the one in use, and is highlighted.
    const QString scritto = V::NomeFile;
    File1->Refresh();
    V::NomeFile = scritto;
    const QFileInfo file(scritto);
    if (!scritto.isEmpty() && QDir::cleanPath(file.absolutePath()) == File1->Path())
        File1->scegli(file.fileName());
}
