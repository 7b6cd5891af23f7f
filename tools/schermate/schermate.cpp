// Drives the tool for the screenshots of docs/ (scripts/screenshots.sh): in a
// start-up folder whose COM1 is the panel simulator, it runs the whole
// application, saves test mode once the texts are loaded and the panel has been
// polled twice, then opens the programming window, sends the message file and
// saves that window once the send is verified. With three more names it then
// saves the windows of the context menu: the comparison of a copy of the
// file with two texts changed, the search, and the port; with one more, the
// message editor on the sent file with a text typed over line 004 (an "è" the
// line cannot carry), left without saving; with one more, the walk-test
// window, opened from test mode's menu before the programming window and
// saved two cycles later.
//
//   velto318-schermate SIM_LOG FILE.vlt TEST.png PROGRAMMAZIONE.png
//                      [CONFRONTO.png CERCA.png PORTA.png [EDITOR.png [PROVA.png]]]
#include "linea/FinestreLinea.h"
#include "widgets/Aspetto.h"
#include "app/CicloPrincipale.h"
#include "testmode/FormPrincipaleTest.h"
#include "testmode/FormProvaIngressi.h"
#include "programming/FormScriveMessaggi.h"
#include "files/EditaMessaggi.h"
#include "files/ListeFile.h"
#include "shared/Variabili.h"
#include "support/Quando.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {

// How many commands of the simulator's log start with the given text.
int ComandiRegistrati(const QString &registro, const QByteArray &inizio) {
    QFile f(registro);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    int n = 0;
    for (const QByteArray &riga : f.readAll().split('\n'))
        n += riga.mid(riga.indexOf('\t') + 1).startsWith(inizio);
    return n;
}

// The conditions below are checked every 50 ms while the tool's own waits
// pump events.
constexpr int PassoMs = 50;

bool Salva(QWidget *w, const QString &percorso) {
    const bool ok = w->grab().save(percorso, "PNG");
    std::fprintf(stderr, "%s %s\n", ok ? "salvata" : "NON salvata", qPrintable(percorso));
    return ok;
}

template <class T> T *Aperta() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *t = qobject_cast<T *>(w); t && t->isVisible()) return t;
    return nullptr;
}

// The menu's windows, each saved once its job is done: the comparison of
// `modificato`, the search, the port.
bool FinestreDelMenu(FormScriveMessaggi *p, const QString &modificato, const QStringList &foto) {
    bool ok = true;
    const auto voce = [p](const char *nome) { return p->Menu->findChild<QAction *>(nome); };
    Quando(
        [] { return Aperta<FormConfronto>() && !Aperta<FormConfronto>()->Interrompi->isEnabled(); },
        [&] {
            ok = Salva(Aperta<FormConfronto>(), foto[0]) && ok;
            Aperta<FormConfronto>()->close();
        },
        PassoMs);
    V::NomeFile = modificato;
    voce("VoceConfronta")->trigger();
    Quando([] { return Aperta<FormCerca>() && Aperta<FormCerca>()->Salva->isEnabled(); },
           [&] {
               ok = Salva(Aperta<FormCerca>(), foto[1]) && ok;
               Aperta<FormCerca>()->close();
           },
           PassoMs);
    voce("VoceCerca")->trigger();
    Quando([] { return Aperta<FormPorta>() != nullptr; },
           [&] {
               FormPorta *f = Aperta<FormPorta>();
               f->Indirizzo->setText(QStringLiteral("tcp://192.168.1.50:4001"));
               ok = Salva(f, foto[2]) && ok;
               f->close();
           },
           PassoMs);
    voce("VocePorta")->trigger();
    return ok;
}

// The editor on the chosen file: a text typed over line 004 as the keyboard
// types it, saved once marked, then "End" and "Non salvare".
bool Editor(FormScriveMessaggi *p, const QString &foto) {
    bool ok = false;
    Quando([] { return Aperta<EditaMessaggi>() != nullptr; },
           [&] {
               EditaMessaggi *e = Aperta<EditaMessaggi>();
               QTextCursor c(e->Text1->document()->findBlockByNumber(4));
               c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 3);
               e->Text1->setTextCursor(c);
               e->Text1->setFocus();
               for (const QChar ch : QStringLiteral("Zona 02 Caffè ")) {
                   QKeyEvent tasto(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
                   QCoreApplication::sendEvent(e->Text1, &tasto);
               }
               QCoreApplication::processEvents();
               ok = Salva(e, foto);
               Quando(
                   [] {
                       QWidget *d = QApplication::activeModalWidget();
                       return d && d->objectName() == QLatin1String("Domanda");
                   },
                   [] {
                       QApplication::activeModalWidget()
                           ->findChild<QPushButton *>(QStringLiteral("NonSalvare"))
                           ->click();
                   },
                   PassoMs);
               e->Command2->click(); // "End", the edit not saved
           },
           PassoMs);
    p->Command5->click(); // "Modifica Testi": returns when the editor closes
    return ok;
}

// A copy of the message file with the texts of two lines changed.
QString Modificato(const QString &messaggi) {
    QFile f(messaggi);
    if (!f.open(QIODevice::ReadOnly)) return messaggi;
    QList<QByteArray> righe = f.readAll().split('\n');
    int cambiate = 0;
    for (int i = 1; i < righe.size() && cambiate < 2; ++i)
        if (righe[i].size() > 19 && righe[i].at(0) >= '0' && righe[i].at(0) <= '9') {
            righe[i].replace(3, 16, cambiate ? "Zona nuova      " : "Ingresso 2 nuovo");
            ++cambiate;
        }
    const QString percorso = QStringLiteral("modificato.vlt");
    QFile m(percorso);
    if (!m.open(QIODevice::WriteOnly | QIODevice::Truncate)) return messaggi;
    m.write(righe.join('\n'));
    return QDir::current().absoluteFilePath(percorso);
}

FormScriveMessaggi *FinestraProgrammazione(FormPrincipaleTest &f) {
    auto *p = f.findChild<FormScriveMessaggi *>();
    return p && p->isVisible() ? p : nullptr;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() != 5 && (a.size() < 8 || a.size() > 10)) {
        std::fprintf(stderr, "uso: velto318-schermate SIM_LOG FILE.vlt TEST.png "
                             "PROGRAMMAZIONE.png [CONFRONTO.png CERCA.png PORTA.png "
                             "[EDITOR.png [PROVA.png]]]\n");
        return 2;
    }
    const QString registro = a[1], messaggi = a[2], fotoTest = a[3], fotoProgrammazione = a[4];
    ImpostaSostituzioniFont();
    TraduzioniDiQt();
    FormPrincipaleTest f;
    int esito = 1;

    // Never stuck: whatever did not happen in a minute ends the run.
    QTimer::singleShot(60000, &f, [&] {
        std::fprintf(stderr, "tempo scaduto\n");
        f.close();
    });
    Quando([&] { return ComandiRegistrati(registro, "&4509") >= 2; },
           [&] {
               if (!Salva(&f, fotoTest)) f.close();
               if (a.size() < 10) {
                   f.Command1->click(); // "Progr"
                   return;
               }
               f.Menu->findChild<QAction *>(QStringLiteral("ProvaIngressi"))->trigger();
               const int dopo = ComandiRegistrati(registro, "&4509") + 2;
               Quando([&, dopo] { return ComandiRegistrati(registro, "&4509") >= dopo; },
                      [&] {
                          auto *prova = f.findChild<FormProvaIngressi *>();
                          if (!Salva(prova, a[9])) f.close();
                          prova->close();
                          f.Command1->click(); // "Progr"
                      },
                      PassoMs);
           },
           PassoMs);
    Quando([&] { return FinestraProgrammazione(f) != nullptr; },
           [&] {
               FormScriveMessaggi *p = FinestraProgrammazione(f);
               if (!p->File1->scegli(messaggi)) {
                   std::fprintf(stderr, "%s non è nella lista dei file\n", qPrintable(messaggi));
                   p->Command2->click();
                   return;
               }
               p->Command1->click(); // "Invia file al VELTO": returns when it is done
               // What the operator sees at the end of the send.
               QCoreApplication::processEvents();
               if (p->Text2->text().contains(QLatin1String("TUTTO OK")) &&
                   Salva(p, fotoProgrammazione))
                   esito = 0;
               else
                   std::fprintf(stderr, "invio non riuscito: %s / %s\n",
                                qPrintable(p->Text1->text()), qPrintable(p->Text2->text()));
               if (esito == 0 && a.size() >= 9 && !Editor(p, a[8])) esito = 1;
               if (esito == 0 && a.size() >= 8 &&
                   !FinestreDelMenu(p, Modificato(messaggi), a.mid(5, 3)))
                   esito = 1;
               p->Command2->click(); // "Exit"
           },
           PassoMs);
    Form_Load(f);
    return esito;
}
