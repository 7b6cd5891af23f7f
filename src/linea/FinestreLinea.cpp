#include "linea/FinestreLinea.h"

#include "impianti/Impianti.h"

#include "link/FormSeriale.h"
#include "link/PorteSeriali.h"
#include "link/Rete.h"
#include "link/Traccia.h"
#include "widgets/Aspetto.h"
#include "shared/Variabili.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace {

const char *const TitoloBase = "velto318TitoloBase";
QString fileTraccia; // the file the menu's trace writes to

} // namespace

// Every main window's title names the panel and the port it talks to, the
// site in use, and says whether a trace is being written.
void AggiornaTitoli() {
    // The port opened again on another device: the titles name the new one.
    static QPointer<FormSeriale> seguita;
    if (seguita != &FormSeriale::Istanza()) {
        seguita = &FormSeriale::Istanza();
        QObject::connect(seguita, &FormSeriale::DispositivoCambiato, seguita, &AggiornaTitoli);
    }
    const QString linea = QStringLiteral(" — centrale %1 su %2")
                              .arg(Traccia::Visibile(V::Identificativo), NomePortaLinea());
    for (QWidget *w : QApplication::topLevelWidgets()) {
        const QVariant base = w->property(TitoloBase);
        if (!base.isValid()) continue;
        QString titolo = base.toString() + linea;
        if (!Impianti::InUso().isEmpty())
            titolo += QStringLiteral(" — impianto ") + Impianti::InUso();
        if (Traccia::Attiva())
            titolo += fileTraccia.isEmpty() ? QStringLiteral(" — traccia degli scambi in corso")
                                            : QStringLiteral(" — traccia in ") + fileTraccia;
        w->setWindowTitle(titolo);
    }
}

AvvisoLinea &AvvisoLinea::Istanza() {
    static AvvisoLinea avviso;
    return avviso;
}

void LineaCambiata() {
    AggiornaTitoli();
    emit AvvisoLinea::Istanza().Cambiata();
}

QString UsaLinea(const QString &numero, const QString &dispositivo) {
    FormSeriale &seriale = FormSeriale::Istanza();
    MSComm &comm = seriale.MSComm1;
    const QString forzato = comm.DispositivoForzato(), prima = comm.Dispositivo();
    const QString numeroPrima = V::NumeroPorta;
    if (!numero.isEmpty()) V::NumeroPorta = numero;
    comm.setDispositivoForzato(dispositivo);
    seriale.ChiudiSeriale();
    seriale.ApriSeriale();
    if (comm.PortOpen()) {
        LineaCambiata();
        return QString();
    }
    const QString errore = seriale.ErroreApertura();
    V::NumeroPorta = numeroPrima;
    comm.setDispositivoForzato(forzato);
    seriale.ChiudiSeriale();
    seriale.ApriSeriale();
    const QString com = FormSeriale::NomeCom();
    // Why it failed, without the list of ports the windows show on their own.
    QString testo = errore.section(QStringLiteral("\n\n"), 0, 0) + QLatin1Char('\n');
    if (comm.PortOpen())
        testo += QStringLiteral("%1 resta su %2, aperta.").arg(com, comm.Dispositivo());
    else
        testo += QStringLiteral("%1 resta su %2, che però non si apre.")
                     .arg(com, prima.isEmpty() ? QStringLiteral("nessun dispositivo") : prima);
    return testo;
}

QString UsaIdentificativo(const QString &id) {
    V::Identificativo = id;
    LineaCambiata();
    return QStringLiteral("Identificativo %1 in uso fino alla chiusura del programma.")
        .arg(Traccia::Visibile(V::Identificativo));
}

QString NomePortaLinea() {
    return FormSeriale::Istanza().NomePorta();
}

QString PortaDelRegistro(const QString &impianto) {
    QString errore;
    const auto i = !impianto.isEmpty() && impianto == Impianti::InUso()
                       ? Impianti::Carica(impianto, &errore)
                       : std::nullopt;
    return i ? i->porta : NomePortaLinea();
}

void CercaIlVelto(QWidget *padre) {
    FormCerca f(padre);
    f.Esegui();
    if (f.isVisible()) f.exec();
}

void ScegliPorta(QWidget *padre) {
    FormPorta f(padre);
    f.exec();
}

void CambiaTraccia(QWidget *padre) {
    if (Traccia::Attiva()) {
        Traccia::Chiudi();
        fileTraccia.clear();
        AggiornaTitoli();
        return;
    }
    QFileDialog scelta(padre, QStringLiteral("Traccia degli scambi"),
                       FormSeriale::Istanza().MSComm1.CartellaPorte(),
                       QStringLiteral("Tracce (*.txt);;Tutti i file (*)"));
    scelta.setObjectName(QStringLiteral("SceltaTraccia"));
    scelta.setOption(QFileDialog::DontUseNativeDialog);
    scelta.setAcceptMode(QFileDialog::AcceptSave);
    scelta.setOption(QFileDialog::DontConfirmOverwrite); // the trace is appended
    scelta.selectFile(QStringLiteral("traccia.txt"));
    if (scelta.exec() != QDialog::Accepted || scelta.selectedFiles().isEmpty()) return;
    const QString file = scelta.selectedFiles().first();
    if (const QString errore = Traccia::Apri(file); !errore.isEmpty()) {
        Avviso(padre, QMessageBox::Warning, errore);
        return;
    }
    fileTraccia = QDir::toNativeSeparators(file);
    AggiornaTitoli();
}

QAction *VoceTraccia(QMenu *menu, QWidget *finestra) {
    finestra->setProperty(TitoloBase, finestra->windowTitle());
    AggiornaTitoli();
    QAction *a = menu->addAction(QStringLiteral("Traccia degli scambi…"));
    a->setObjectName(QStringLiteral("VoceTraccia"));
    a->setCheckable(true);
    QObject::connect(menu, &QMenu::aboutToShow, a, [a] { a->setChecked(Traccia::Attiva()); });
    QObject::connect(a, &QAction::triggered, finestra, [finestra, a] {
        CambiaTraccia(finestra);
        a->setChecked(Traccia::Attiva());
    });
    return a;
}

void ALineaLibera(QObject *contesto, const std::function<void()> &lavoro) {
    if (!V::SerialeOccupata) {
        lavoro();
        return;
    }
    QTimer::singleShot(50, contesto, [contesto, lavoro] { ALineaLibera(contesto, lavoro); });
}

QString SuggerimentoNessunaRisposta() {
    if (!FormSeriale::Istanza().MSComm1.PortOpen()) {
        // Why it did not open (no rights, busy, not there), or a lost one.
        const MSComm &comm = FormSeriale::Istanza().MSComm1;
        QString perche = comm.ErroreApertura();
        if (perche.isEmpty())
            perche = QStringLiteral("adattatore scollegato o collegamento di rete chiuso");
        else if (comm.CodiceErrore() == QSerialPort::DeviceNotFoundError &&
                 !IndirizzoDiRete(comm.Dispositivo()))
            perche += QStringLiteral(" (adattatore scollegato?)");
        return QStringLiteral("La porta %1 non è aperta: %2. Ricollega l'adattatore (o riavvia il "
                              "server seriale) e premi il pulsante rosso; oppure, dal menu (tasto "
                              "destro), \"Porta…\" sceglie un'altra porta.")
            .arg(NomePortaLinea(), perche);
    }
    if (const QString altro = FormSeriale::Istanza().AltroProgramma(NomePortaLinea());
        !altro.isEmpty())
        return altro + QStringLiteral(": chiudi quel programma, poi premi il pulsante rosso.");
    // The identifier answered earlier on this port: it is right, the panel went silent.
    if (QString smesso = FormSeriale::Istanza().SmessoDiRispondere(); !smesso.isEmpty())
        return smesso.replace(0, 1, smesso[0].toUpper()) +
               QStringLiteral(". Controlla il cavo e l'alimentazione della centrale; poi, dal "
                              "menu (tasto destro), \"Porta…\" sceglie un'altra porta.");
    return QStringLiteral("La centrale non risponde sulla porta %1 con l'identificativo %2. "
                          "Controlla il cavo e l'alimentazione della centrale; poi, dal menu "
                          "(tasto destro): \"Cerca il VELTO sulla linea…\" trova "
                          "l'identificativo, \"Porta…\" sceglie un'altra porta.")
        .arg(NomePortaLinea(), Traccia::Visibile(V::Identificativo));
}

void AvvisaNessunaRisposta(QWidget *padre) {
    if (V::NessunaRispostaDetta) return;
    V::NessunaRispostaDetta = true;
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Velto318"),
                                SuggerimentoNessunaRisposta(), QMessageBox::Ok, padre);
    box->setObjectName(QStringLiteral("AvvisoNessunaRisposta"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}
