#include "link/PortaLocale.h"

#include "link/Risveglio.h"

#include <algorithm>
#include <cerrno>

namespace {

// The system's reason for a failed opening, in Italian; empty for one the
// port's kind already says, or that is not known here.
QString MotivoDiSistema(int numero) {
    switch (numero) {
    case EACCES:
    case EPERM:
        return QStringLiteral("permesso negato");
    case EBUSY:
        return QStringLiteral("dispositivo occupato");
    case ENXIO:
        return QStringLiteral("nessun dispositivo dietro questo nome");
    case EIO:
        return QStringLiteral("errore di ingresso/uscita sul dispositivo");
    case EINVAL:
        return QStringLiteral("impostazione rifiutata dal dispositivo");
    case ENOTTY:
        return QStringLiteral("il dispositivo non è una porta seriale");
    case EISDIR:
        return QStringLiteral("è una cartella");
    case ELOOP:
        return QStringLiteral("troppi collegamenti simbolici di seguito");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("troppi file aperti");
    default:
        return QString();
    }
}

// The kind of failure the port library reports for a system error (as it
// sorts them on opening).
QSerialPort::SerialPortError TipoDi(int numero) {
    switch (numero) {
    case ENODEV:
    case ENOENT:
        return QSerialPort::DeviceNotFoundError;
    case EACCES:
    case EBUSY:
    case EPERM:
        return QSerialPort::PermissionError;
    case EAGAIN:
    case EIO:
    case EBADF:
        return QSerialPort::ResourceError;
    case EINVAL:
    case ENOTTY:
        return QSerialPort::UnsupportedOperationError;
    default:
        return QSerialPort::UnknownError;
    }
}

// Why the port failed, in Italian: its kind, and the system's reason when
// it adds to it (`numero`, an errno value, 0 when none). The port library's
// own text is English and never shown.
QString SpiegaErrore(QSerialPort::SerialPortError e, int numero = 0) {
    QString motivo;
    switch (e) {
    case QSerialPort::DeviceNotFoundError:
        motivo = QStringLiteral("la porta non esiste");
        break;
    case QSerialPort::PermissionError:
        motivo = QStringLiteral("accesso negato o porta già in uso");
        break;
    case QSerialPort::OpenError:
        motivo = QStringLiteral("porta già aperta");
        break;
    case QSerialPort::ResourceError:
        motivo = QStringLiteral("la porta non è più disponibile (adattatore scollegato?)");
        break;
    case QSerialPort::UnsupportedOperationError:
        motivo = QStringLiteral("impostazioni della linea non supportate");
        break;
    case QSerialPort::ReadError:
        motivo = QStringLiteral("errore di lettura dalla porta");
        break;
    case QSerialPort::WriteError:
        motivo = QStringLiteral("errore di scrittura sulla porta");
        break;
    case QSerialPort::TimeoutError:
        motivo = QStringLiteral("la porta non ha risposto in tempo");
        break;
    default:
        motivo = QStringLiteral("errore della porta");
        break;
    }
    // Only the system's reason behind this very failure: the port library
    // leaves errno as its last call set it, which may be another's.
    if (numero == 0 || TipoDi(numero) != e) return motivo;
    QString sistema = MotivoDiSistema(numero);
    if (sistema.isEmpty() && e == QSerialPort::UnknownError)
        sistema = QStringLiteral("errore di sistema %1").arg(numero);
    return sistema.isEmpty() ? motivo : motivo + QStringLiteral(" (%1)").arg(sistema);
}

} // namespace

PortaLocale::PortaLocale(Avvisi avvisi) : Trasporto(std::move(avvisi)) {
    silenzio_.setSingleShot(true);
    silenzio_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&silenzio_, &QTimer::timeout, &porta_, [this] {
        if (spento_) spento_->setEnabled(true);
        spento_ = nullptr;
    });
    QObject::connect(&porta_, &QSerialPort::readyRead, &porta_, [this] {
        // The reply measured came whole (the system woke us at its count):
        // in less than half its wire time, the line is not a serial one.
        if (misurati_ > 0) {
            veloce_ = misura_.elapsed() * 2 < qint64(misurati_) * 10000 / porta_.baudRate() ? 1 : 0;
            misurati_ = 0;
        }
        arrivati();
    });
    QObject::connect(&porta_, &QSerialPort::errorOccurred, &porta_,
                     [this](QSerialPort::SerialPortError errore) { erroreSeriale(errore); });
}

bool PortaLocale::apri(const QString &dispositivo, const Linea &linea) {
    porta_.setPortName(dispositivo);
    porta_.setBaudRate(linea.velocita);
    porta_.setParity(linea.parita);
    porta_.setDataBits(linea.dati);
    porta_.setStopBits(linea.stop);
    porta_.setFlowControl(QSerialPort::NoFlowControl);
    errno = 0;
    bool aperta_ora = porta_.open(QIODevice::ReadWrite);
    int numero = errno; // the system's reason, when the opening reached the device
    // Settings refused: a program killed while it held the port left its
    // own on the line; with plain settings put back, one more try.
    if (!aperta_ora && porta_.error() == QSerialPort::UnsupportedOperationError) {
        porta_.clearError();
        errno = 0;
        if (LineaNeutra(dispositivo)) aperta_ora = porta_.open(QIODevice::ReadWrite);
        numero = errno;
    }
    if (!aperta_ora) {
        fallita(porta_.error(), SpiegaErrore(porta_.error(), numero));
        porta_.clearError();
        return false;
    }
    sveglia_ = 0;
    veloce_ = -1;
    misurati_ = 0;
    return true;
}

void PortaLocale::chiudi() {
    silenzio_.stop();
    spento_ = nullptr;
    porta_.close();
    sveglia_ = 0;
}

void PortaLocale::scrivi(const QByteArray &dati) {
    // A command goes to the line at once: handed to the port's own buffer it
    // would wait for the next pump, which the port wakes twice for (ready to
    // write, then written). What the line does not take now (it never happens
    // with a command of a few characters) follows through that buffer, as
    // does any error, which the port then reports as usual.
    qint64 scritti = 0;
    if (porta_.bytesToWrite() == 0)
        scritti = std::max<qint64>(ScriviSubito(porta_.handle(), dati), 0);
    if (scritti < dati.size()) porta_.write(dati.mid(scritti));
}

QSocketNotifier *PortaLocale::ascolto() {
    for (QSocketNotifier *n : porta_.findChildren<QSocketNotifier *>())
        if (n->type() == QSocketNotifier::Read && n->socket() == porta_.handle()) return n;
    return nullptr;
}

void PortaLocale::svegliaDopo(int caratteri) {
    // A reply of n characters takes n times 1.04 ms at 9600 bit/s: the line
    // is listened to again a little before it can be whole.
    if (caratteri > 1 && veloce_ < 0 && !spento_) {
        misura_.start();
        misurati_ = caratteri;
    } else if (caratteri > 1 && veloce_ == 0 && !spento_) {
        QSocketNotifier *n = ascolto();
        if (n && n->isEnabled()) {
            n->setEnabled(false);
            spento_ = n;
            silenzio_.start(std::max(1, caratteri * 10000 / porta_.baudRate() - 2));
        }
    }
    // The system is asked only when the count changes (twice an exchange:
    // the reply's length, then 1).
    const int sveglia = std::clamp(caratteri, 1, 255);
    if (sveglia == sveglia_) return;
    sveglia_ = sveglia;
    SvegliaDopo(porta_.handle(), sveglia);
}

void PortaLocale::erroreSeriale(QSerialPort::SerialPortError errore) {
    if (errore != QSerialPort::ResourceError && errore != QSerialPort::ReadError &&
        errore != QSerialPort::WriteError)
        return;
    // A read that found the characters gone (another program reading the
    // same line took them) is no lost port.
    if (errore != QSerialPort::WriteError && LineaAncoraViva(porta_.handle())) {
        porta_.clearError();
        return;
    }
    // Left open, the port would raise errors without end at full CPU.
    const QString motivo = SpiegaErrore(errore);
    porta_.clearError();
    chiudi();
    perduta(errore, motivo);
}
