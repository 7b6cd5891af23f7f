// The programming window's context menu entries that reach the line: the
// comparison, the search, the port and the trace (app/FinestreLinea).
#include "programming/FormScriveMessaggi.h"

#include "linea/FinestreLinea.h"
#include "programming/VistaFinestra.h"
#include "shared/Variabili.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

void FormScriveMessaggi::vociLinea() {
    const auto voce = [this](const char *nome, const QString &testo,
                             void (FormScriveMessaggi::*f)()) {
        QAction *a = Menu->addAction(testo);
        a->setObjectName(QLatin1String(nome));
        connect(a, &QAction::triggered, this, f);
    };
    voce("VoceConfronta", QStringLiteral("Confronta con il VELTO…"),
         &FormScriveMessaggi::Confronta_Click);
    voce("VoceCerca", QStringLiteral("Cerca il VELTO sulla linea…"),
         &FormScriveMessaggi::Cerca_Click);
    voce("VocePorta", QStringLiteral("Porta…"), &FormScriveMessaggi::Porta_Click);
    voce("VoceImpianti", QStringLiteral("Impianti…"), &FormScriveMessaggi::Impianti_Click);
    VoceTraccia(Menu, this);
    // A port or identifier chosen from either window: the box shows the one in use.
    connect(&AvvisoLinea::Istanza(), &AvvisoLinea::Cambiata, this,
            [this] { IdStart->setText(V::Identificativo); });
}

void FormScriveMessaggi::Confronta_Click() {
    if (OperazioneInCorso()) return;
    if (V::NomeFile.isEmpty()) {
        Text1->setText(QStringLiteral("Devi selezionare un file"));
        Text2->setText(QStringLiteral("Cliccane uno dalla lista in alto a destra"));
        return;
    }
    DisabilitaComandi();
    Vista vista{*this};
    QList<Programmazione::Voce> voci;
    const Operazioni::RisultatoInvio p = Operazioni::PreparaInvio(vista, &voci);
    if (p.esito == Operazioni::Esito::Fatto) {
        Text1->setText(QStringLiteral("Confronto con il VELTO: nulla viene scritto"));
        Text2->setText(p.avviso);
        FormConfronto f(this, V::NomeFile);
        f.Esegui(voci);
        Text1->setText(f.Sintesi);
        Text2->setText(p.avviso); // the lines a send would leave out stay in sight
        AbilitaComandi();
        if (f.isVisible() && !V::Interruzione) f.exec();
    } else {
        AbilitaComandi();
    }
    if (V::Interruzione) close(); // as Exit: the application ends
}

void FormScriveMessaggi::Cerca_Click() {
    if (OperazioneInCorso()) return;
    DisabilitaComandi();
    CercaIlVelto(this);
    AbilitaComandi();
    if (V::Interruzione) close();
}

void FormScriveMessaggi::Porta_Click() {
    if (OperazioneInCorso()) return;
    ScegliPorta(this);
}

void FormScriveMessaggi::Impianti_Click() {
    if (OperazioneInCorso()) return;
    DisabilitaComandi();
    ApriImpianti(this);
    AbilitaComandi();
    if (V::Interruzione) close();
}
