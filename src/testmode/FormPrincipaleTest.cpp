#include "testmode/FormPrincipaleTest.h"

#include "files/ListeFile.h"
#include "link/FormSeriale.h"
#include "linea/FinestreLinea.h"
#include "widgets/Aspetto.h"
#include "widgets/Controlli.h"
#include "shared/Variabili.h"
#include "testmode/EtichettaPannello.h"
#include "testmode/FormProvaIngressi.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Positions in twips: left, top, width, height.
const Twips Finestra = {0, 0, 11250, 7320};
const Twips PosLabelIngresso1 = {150, 150, 1650, 360};
const Twips PosNomeVelto = {2400, 0, 2265, 615};
const Twips PosMessaggioRiposo = {5025, 0, 2265, 615};
const Twips PosFineCiclata = {7650, 0, 2265, 615};
const Twips PosTile[3] = {
    {1500, 5550, 1965, 465}, {3675, 5550, 1965, 465}, {5850, 5550, 1965, 465}};
const Twips PosLabel2 = {450, 6525, 1860, 345};
const Twips PosLabelTastoPremuto = {2325, 6450, 570, 360};
const Twips PosText3 = {3300, 6450, 2460, 330};
const Twips PosTastoErroreSeriale = {5925, 6150, 2475, 825};
const Twips PosCommand1 = {9150, 6225, 1155, 480};
const Twips PosFile1 = {8625, 5250, 1515, 420};

// The status line shows the newest reply at most this often.
constexpr int IntervalloText3Ms = 250;

// The alarm grid: row tops, and the lefts and width of the first two rows
// and of the others. All windows are 465 high.
const int AltezzaAllarme = 465;
const int CimeRighe[9] = {750, 1275, 1800, 2325, 2850, 3375, 3900, 4425, 4950};
const int SinistreStrette[5] = {375, 2400, 4425, 6450, 8475};
const int SinistreLarghe[5] = {300, 2325, 4350, 6375, 8400};

Twips PosAllarme(int i) {
    const int riga = i / 5, colonna = i % 5;
    const bool strette = riga < 2;
    return {strette ? SinistreStrette[colonna] : SinistreLarghe[colonna], CimeRighe[riga],
            strette ? 1890 : 1965, AltezzaAllarme};
}

// A label of the window; one that shows the panel's texts wraps them whole.
QLabel *NuovaEtichetta(QWidget *padre, const QString &nome, const Twips &pos, const QString &testo,
                       const QFont &font, bool bordo, bool testiPannello = false) {
    QLabel *l = testiPannello ? Controllo<EtichettaPannello>(padre, nome, pos, font, testo)
                              : Controllo<QLabel>(padre, nome, pos, font, testo);
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (bordo) l->setFrameStyle(QFrame::Box | QFrame::Plain);
    ImpostaSfondo(l, ColoreFacciaPulsante());
    return l;
}

const QString Blank17(17, QLatin1Char(' '));

} // namespace

FormPrincipaleTest::FormPrincipaleTest(QWidget *parent)
    : QWidget(parent), ciclo_([] { return V::ChiusuraRichiesta; }) {
    ciclo_.Aggiungi(&ascoltoProva_);
    ciclo_.Aggiungi(this);
    ImpostaFinestra(this, QStringLiteral("FormPrincipaleTest"),
                    QStringLiteral("Test Velto   (Velto318)  "), Finestra);

    auto *ingresso = NuovaEtichetta(this, "LabelIngresso1(0)", PosLabelIngresso1, "VELTO318",
                                    Carattere("MS Sans Serif", 12, true, true), false);
    QPalette p = ingresso->palette();
    p.setColor(QPalette::Window, p.color(QPalette::ToolTipBase));
    p.setColor(QPalette::WindowText, p.color(QPalette::Text));
    ingresso->setPalette(p);
    LabelIngresso1 << ingresso;

    const QFont riga = Carattere("Monospac821 BT", 9.75, true);
    NomeVelto << NuovaEtichetta(this, "NomeVelto(0)", PosNomeVelto,
                                "1234567890123456 NomeVelto sup", riga, true, true);
    MessaggioRiposo << NuovaEtichetta(this, "MessaggioRiposo(0)", PosMessaggioRiposo,
                                      "1234567890123456 Messaggio Riposo", riga, true, true);
    FineCiclata << NuovaEtichetta(this, "FineCiclata(0)", PosFineCiclata,
                                  "1234567890123456 Fine Ciclata", riga, true, true);

    const QFont allarme = Carattere("Monospac821 BT", 8.25);
    for (int i = 0; i < 44; ++i)
        Allarmi << NuovaEtichetta(this, QStringLiteral("Allarmi(%1)").arg(i), PosAllarme(i),
                                  QString::number(i + 1), allarme, true, true);
    const char *tile[3] = {"P L", "ACK", "       Reset"};
    for (int i = 0; i < 3; ++i) {
        auto *l = NuovaEtichetta(this, QStringLiteral("Allarmi(%1)").arg(44 + i), PosTile[i],
                                 QString::fromLatin1(tile[i]), Carattere("Arial", 12, true), false);
        l->setAlignment(Qt::AlignCenter);
        Allarmi << l;
    }

    Label2 = NuovaEtichetta(this, "Label2", PosLabel2,
                            "Tasto Premuto:", Carattere("MS Sans Serif", 12, true), false);
    LabelTastoPremuto = NuovaEtichetta(this, "LabelTastoPremuto", PosLabelTastoPremuto, ".....",
                                       Carattere("MS Sans Serif", 18), false);

    auto *text3 = Controllo<RigaDiStato>(this, "Text3", PosText3, Carattere("MS Sans Serif", 8.25),
                                         QStringLiteral("Text3"));
    // It shows every exchange's reply, some twenty a second: no eye follows
    // more than a few, and each repaint costs a round trip to the display.
    text3->RaggruppaDisegni(IntervalloText3Ms);
    Text3 = text3;

    const QColor bordoAttivo = palette().color(QPalette::Mid);
    TastoErroreSeriale = Controllo<Pulsante>(this, "TastoErroreSeriale", PosTastoErroreSeriale,
                                             Carattere("MS Sans Serif", 13.5));
    TastoErroreSeriale->setFlat(true); // a plain field of its colour, as the red tiles
    ImpostaSfondo(TastoErroreSeriale, bordoAttivo);
    TastoErroreSeriale->hide();
    connect(TastoErroreSeriale, &QPushButton::clicked, this,
            &FormPrincipaleTest::TastoErroreSeriale_Click);

    Command1 = Controllo<Pulsante>(this, "Command1", PosCommand1, Carattere("MS Sans Serif", 18),
                                   QStringLiteral("Progr"));
    ImpostaSfondo(Command1, bordoAttivo);
    connect(Command1, &QPushButton::clicked, this, &FormPrincipaleTest::Command1_Click);

    File1 = Controllo<ListaFile>(this, "File1", PosFile1, Carattere("MS Sans Serif", 8.25));
    File1->hide();
    Menu = MenuContestuale(this);
    // The walk test first, then the line's entries.
    QAction *prova = Menu->addAction(QStringLiteral("Prova ingressi…"), this,
                                     &FormPrincipaleTest::ApriProvaIngressi);
    prova->setObjectName(QStringLiteral("ProvaIngressi"));
    vociLinea();
}

void FormPrincipaleTest::ApriProvaIngressi() {
    if (!ProvaIngressi)
        ProvaIngressi = new FormProvaIngressi(
            RegistroProva, [this] { IdentificaProva(); }, this);
    ProvaIngressi->Mostra();
}

void FormPrincipaleTest::vociLinea() {
    // Each runs between two exchanges of test mode, which waits meanwhile:
    // for the walk test, a time when the inputs were not read.
    const auto fermo = [this](void (*finestra)(QWidget *)) {
        ALineaLibera(this, [this, finestra] {
            const bool sospesa = RegistroProva.Sospendi();
            finestra(this);
            if (sospesa) RegistroProva.Riprendi();
        });
    };
    // A port or identifier changed, from any window, ends the red button's
    // wait: the next exchange tries it at once, and the cycle loads the
    // texts of the panel it now talks to.
    // Until then, what is read may be another panel's: the walk test takes
    // none of it, and the windows show none of the last panel's texts and
    // states (a new panel that does not answer shows blank windows).
    connect(&AvvisoLinea::Istanza(), &AvvisoLinea::Cambiata, this, [this] {
        TastoErroreSerialeFlag = RicaricaTesti = true;
        RegistroProva.AttendiTesti();
        AzzeraDisplay();
    });
    QAction *porta = Menu->addAction(QStringLiteral("Porta…"));
    porta->setObjectName(QStringLiteral("VocePorta"));
    connect(porta, &QAction::triggered, this, [fermo] { fermo(ScegliPorta); });
    QAction *cerca = Menu->addAction(QStringLiteral("Cerca il VELTO sulla linea…"));
    cerca->setObjectName(QStringLiteral("VoceCerca"));
    connect(cerca, &QAction::triggered, this, [fermo] { fermo(CercaIlVelto); });
    QAction *impianti = Menu->addAction(QStringLiteral("Impianti…"));
    impianti->setObjectName(QStringLiteral("VoceImpianti"));
    connect(impianti, &QAction::triggered, this, [fermo] { fermo(ApriImpianti); });
    VoceTraccia(Menu, this);
}

void FormPrincipaleTest::Command1_Click() {
    StatoProgramma = Stoppato;
}

void FormPrincipaleTest::TastoErroreSeriale_Click() {
    TastoErroreSerialeFlag = true;
}

void FormPrincipaleTest::AzzeraDisplay() {
    for (QLabel *l : {NomeVelto[0], MessaggioRiposo[0]}) {
        ImpostaSfondo(l, ColoreFacciaPulsante());
        ImpostaTesto(l, Blank17);
    }
    coloriDelCiclo_.fill(QColor());
    for (int i = 0; i <= 46; ++i) {
        ImpostaSfondo(Allarmi[i], ColoreFacciaPulsante());
        if (i <= 43) ImpostaTesto(Allarmi[i], Blank17);
    }
}

void FormPrincipaleTest::RicaricaSeCambiata() {
    if (!RicaricaTesti) return;
    RicaricaTesti = false;
    AzzeraDisplay();
    CaricaTesti();
}

void FormPrincipaleTest::closeEvent(QCloseEvent *evento) {
    Form_QueryUnload();
    evento->accept();
}

void FormPrincipaleTest::Form_QueryUnload() {
    StatoProgramma = Stoppato;
    V::ChiusuraRichiesta = true;
    FormSeriale::Istanza().ChiudiSeriale();
    emit chiusa();
}
