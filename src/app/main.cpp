#include "app/CicloPrincipale.h"
#include "app/Lavori.h"
#include "app/LavoroSuImpianti.h"
#include "app/RigaDiComando.h"
#include "app/Segnali.h"
#include "app/Terminale.h"
#include "files/FileMessaggi.h"
#include "impianti/Versioni.h"
#include "link/FormSeriale.h"
#include "link/PorteSeriali.h"
#include "widgets/Aspetto.h"
#include "shared/Variabili.h"
#include "testmode/FormPrincipaleTest.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <cstdio>
#include <memory>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

// A GUI program on Windows has no console of its own: the text of --help,
// --version, --porte and of a wrong line goes to the console it was started
// from, when there is one.
static void UsaConsoleDiAvvio() {
#ifdef Q_OS_WIN
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        FILE *f = nullptr;
        freopen_s(&f, "CONOUT$", "w", stdout);
        freopen_s(&f, "CONOUT$", "w", stderr);
    }
#endif
}

// Without any display the toolkit would abort the process; the jobs need none.
// A platform named on the command line (-platform) is the toolkit's to open.
static bool NessunDisplay(int argc, char *argv[]) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (int i = 1; i < argc; ++i)
        if (qstrncmp(argv[i], "-platform", 9) == 0) return false;
    return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
           qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return false;
#endif
}

// The icon of the menu entry, at the sizes title bars and task bars use.
static QIcon IconaProgramma() {
    QSvgRenderer disegno(QStringLiteral(":/it.velto.velto318.svg"));
    QIcon icona;
    for (const int lato : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap immagine(lato, lato);
        immagine.fill(Qt::transparent);
        QPainter pittore(&immagine);
        disegno.render(&pittore);
        pittore.end();
        icona.addPixmap(immagine);
    }
    return icona;
}

int main(int argc, char *argv[]) {
    // The command line is read before any window exists: --help, --version,
    // --porte and a wrong line need no display.
    RigaDiComando riga = LeggiRigaDiComando(argc, argv);
    UsaConsoleDiAvvio();
    if (riga.esci) {
        std::fputs(riga.uscita.toLocal8Bit().constData(), stdout);
        std::fputs(riga.errore.toLocal8Bit().constData(), stderr);
        return riga.codiceUscita;
    }
    if (riga.porte) {
        QCoreApplication app(argc, argv);
        std::fputs(ElencoPorte(PortePresenti()).toLocal8Bit().constData(), stdout);
        return 0;
    }
    // The trace and the user folder, once for the windows and the jobs alike.
    const QString cartellaMancata = PreparaAvvio(riga);
    FormatoMessaggi::Vietato = Versioni::NonSiScrive;
    // The jobs of the command line, and the works on the site book, create no
    // window and need no display.
    if (riga.lavoro != Lavoro::Nessuno || riga.libro != Libro::Nessuna) {
        // The walk test's PDF report is drawn with Qt Gui, on no display; a
        // walk test on a site writes one in the site's folder.
        bool pdf = riga.lavoro == Lavoro::Prova && !riga.impianto.isEmpty();
        for (const QString &f : riga.rapporti)
            pdf = pdf || f.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
        // The notes that platform makes as it starts (no XDG_RUNTIME_DIR for root) are no
        // business of the job's standard error.
        if (pdf) qputenv("QT_QPA_PLATFORM", "offscreen");
        const QtMessageHandler prima =
            pdf ? qInstallMessageHandler(
                      [](QtMsgType, const QMessageLogContext &, const QString &) {})
                : nullptr;
        std::unique_ptr<QCoreApplication> app(pdf ? new QGuiApplication(argc, argv)
                                                  : new QCoreApplication(argc, argv));
        if (pdf) qInstallMessageHandler(prima);
        FermaSuSegnale();
        if (!cartellaMancata.isEmpty()) return Problema(cartellaMancata);
        if (!riga.suImpianti.isEmpty()) return EseguiSuImpianti(SuImpiantiDi(riga));
        return EseguiLavoro(riga);
    }

    if (NessunDisplay(argc, argv))
        return Problema(QStringLiteral(
            "le finestre hanno bisogno di una sessione grafica, e qui non ce n'è "
            "(né DISPLAY né WAYLAND_DISPLAY).\n"
            "Senza finestre funzionano i lavori da riga di comando: --invia FILE, --leggi FILE, "
            "--stato, --confronta FILE, --cerca, --prova, --porte (velto318 --help)."));

    // Docks and task bars tie the windows to the menu entry by these names:
    // the desktop file name, and the window class (X11), which is the
    // application's name when the first window is made. The start-up then
    // sets the application title.
    QCoreApplication::setApplicationName(QStringLiteral("velto318"));
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("velto318"));
    QApplication::setWindowIcon(IconaProgramma());
    ImpostaSostituzioniFont();
    TraduzioniDiQt();
    if (!cartellaMancata.isEmpty()) {
        Avviso(nullptr, QMessageBox::Critical, cartellaMancata);
        return 1;
    }
    FormPrincipaleTest finestra;
    finestra.winId(); // the first window, made while the class is "velto318"
    ChiudiSuSegnale(&finestra);
    FormSeriale::Istanza().MSComm1.setDispositivoForzato(riga.porta);
    Form_Load(finestra);
    // Ended by a signal: 128 plus its number, as a shell reports a process
    // the signal ended, although the port was closed and a job stopped cleanly.
    return V::Interruzione ? 128 + V::Interruzione : 0;
}
