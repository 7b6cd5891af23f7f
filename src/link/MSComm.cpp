#include "link/MSComm.h"

#include "link/Risveglio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

MSComm::MSComm(QObject *parent) : QObject(parent), cartella_(QDir::currentPath()) {
    connect(&porta_aperta_, &QSerialPort::readyRead, this, [this] {
        riceviDati();
        forseSegnala();
    });
    connect(&porta_aperta_, &QSerialPort::errorOccurred, this, &MSComm::erroreSeriale);
    connect(&rete_, &Rete::datiArrivati, this, [this] {
        riceviDati();
        forseSegnala();
    });
    connect(&rete_, &Rete::persa, this, &MSComm::reteCaduta);
    connect(&rete_, &Rete::nota, this, &MSComm::NotaRete);
}

MSComm::~MSComm() {
    porta_aperta_.close();
    rete_.chiudi();
}

bool MSComm::setSettings(const QString &impostazioni) {
    // Qt reads a number only up to a NUL and calls it whole: "96\0" "00" would be 96.
    if (impostazioni.contains(QChar(0))) return false;
    const QStringList parti = impostazioni.split(QLatin1Char(','));
    if (parti.size() != 4) return false;
    bool ok = false;
    const int velocita = parti[0].trimmed().toInt(&ok);
    if (!ok || velocita <= 0) return false;
    // Parity letter: None, Even, Odd, Mark, Space.
    static const QSerialPort::Parity parita_per_lettera[] = {
        QSerialPort::NoParity, QSerialPort::EvenParity, QSerialPort::OddParity,
        QSerialPort::MarkParity, QSerialPort::SpaceParity};
    const QString lettera = parti[1].trimmed().toUpper();
    const int indice = lettera.size() == 1 ? QStringLiteral("NEOMS").indexOf(lettera) : -1;
    if (indice < 0) return false;
    const QSerialPort::Parity parita = parita_per_lettera[indice];
    const int dati = parti[2].trimmed().toInt(&ok);
    if (!ok || dati < 5 || dati > 8) return false;
    const QString stop = parti[3].trimmed();
    QSerialPort::StopBits bitStop;
    if (stop == QLatin1String("1"))
        bitStop = QSerialPort::OneStop;
    else if (stop == QLatin1String("1.5"))
        bitStop = QSerialPort::OneAndHalfStop;
    else if (stop == QLatin1String("2"))
        bitStop = QSerialPort::TwoStop;
    else
        return false;
    velocita_ = velocita;
    parita_ = parita;
    bit_dati_ = QSerialPort::DataBits(dati);
    bit_stop_ = bitStop;
    impostazioni_ = impostazioni;
    return true;
}

QString MSComm::PercorsoDispositivo(int porta, const QString &cartella) {
    return Segui(VocePorta(porta, cartella));
}

QString MSComm::VocePorta(int porta, const QString &cartella) {
    if (porta < 1 || porta > 9) return QString();
    const QString nome = QStringLiteral("COM%1").arg(porta);
#ifdef Q_OS_WIN
    Q_UNUSED(cartella);
    return nome;
#else
    const QFileInfo voce(QDir(cartella).filePath(nome));
    if (voce.isSymLink() || voce.exists()) return voce.absoluteFilePath();
    return QStringLiteral("/dev/ttyS%1").arg(porta - 1);
#endif
}

QString MSComm::Segui(const QString &voce) {
#ifdef Q_OS_WIN
    return voce;
#else
    if (IndirizzoDiRete(voce)) return voce;
    const QFileInfo info(voce);
    if (info.isFile() && info.size() < MassimoFileIndirizzo) {
        QFile file(info.absoluteFilePath());
        if (file.open(QIODevice::ReadOnly)) {
            const QString riga = QString::fromUtf8(file.readLine()).trimmed();
            if (IndirizzoDiRete(riga)) return riga;
        }
    }
    if (info.isSymLink()) {
        // Resolve the link, so that two tools in two folders never share a lock.
        const QString reale = info.canonicalFilePath();
        return reale.isEmpty() ? info.symLinkTarget() : reale;
    }
    if (info.exists()) return info.absoluteFilePath();
    return voce;
#endif
}

QString MSComm::FileNonPorta(const QString &dispositivo) {
#ifdef Q_OS_WIN
    Q_UNUSED(dispositivo);
    return QString();
#else
    const QFileInfo info(dispositivo);
    if (!info.isFile()) return QString();
    if (info.size() >= MassimoFileIndirizzo)
        return QStringLiteral("è un file di %1 byte, non una porta seriale, e troppo grande per "
                              "contenerne l'indirizzo di rete (al massimo %2 byte: una riga come "
                              "tcp://192.168.1.50:4001)")
            .arg(info.size())
            .arg(MassimoFileIndirizzo - 1);
    return QStringLiteral("è un file, non una porta seriale, e la sua prima riga non è un "
                          "indirizzo di rete (tcp://, socket:// o rfc2217://)");
#endif
}

static QString SpiegaErrore(QSerialPort::SerialPortError e, const QString &testoSistema) {
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
    default:
        motivo = QStringLiteral("errore della porta");
        break;
    }
    if (!testoSistema.isEmpty()) motivo += QStringLiteral(" (%1)").arg(testoSistema);
    return motivo;
}

void MSComm::setPortOpen(bool aperta) {
    if (!aperta) {
        porta_aperta_.close();
        rete_.chiudi();
        buffer_.clear();
        sveglia_ = 0;
        return;
    }
    // A connection being made pumps events: an opening from one of them waits its turn.
    if (PortOpen() || rete_.inCorso()) return;
    errore_.clear();
    codice_ = QSerialPort::NoError;
    persa_ = false;
    if (voce_.isEmpty()) voce_ = forzato_.isEmpty() ? VocePorta(porta_, cartella_) : forzato_;
    dispositivo_ = Segui(voce_);
    if (dispositivo_.isEmpty()) {
        errore_ = QStringLiteral("numero di porta non valido");
        return;
    }
    // A plain file is no port: the port library would open it and fail without a reason.
    if (const QString perche = FileNonPorta(dispositivo_); !perche.isEmpty()) {
        codice_ = QSerialPort::UnknownError;
        errore_ = perche;
        return;
    }
    if (IndirizzoDiRete(dispositivo_)) {
        buffer_.clear();
        if (!rete_.apri(dispositivo_, velocita_, parita_, bit_dati_, bit_stop_)) {
            codice_ = QSerialPort::DeviceNotFoundError;
            errore_ = rete_.errore();
        }
        return;
    }
    porta_aperta_.setPortName(dispositivo_);
    // All four line settings before open(): on a pseudo-terminal they cannot
    // be changed once the port is open.
    porta_aperta_.setBaudRate(velocita_);
    porta_aperta_.setParity(parita_);
    porta_aperta_.setDataBits(bit_dati_);
    porta_aperta_.setStopBits(bit_stop_);
    porta_aperta_.setFlowControl(QSerialPort::NoFlowControl);
    bool aperta_ora = porta_aperta_.open(QIODevice::ReadWrite);
    // Settings refused: a program killed while it held the port left its
    // own on the line; with plain settings put back, one more try.
    if (!aperta_ora && porta_aperta_.error() == QSerialPort::UnsupportedOperationError) {
        porta_aperta_.clearError();
        if (LineaNeutra(dispositivo_)) aperta_ora = porta_aperta_.open(QIODevice::ReadWrite);
    }
    if (!aperta_ora) {
        codice_ = porta_aperta_.error();
        errore_ = SpiegaErrore(codice_, porta_aperta_.errorString());
        porta_aperta_.clearError();
        return;
    }
    buffer_.clear();
    sveglia_ = 0;
}

void MSComm::setRThreshold(int soglia) {
    soglia_ = soglia;
    inAttesa_ = soglia_ > 0;
    svegliaPerLaRisposta();
    // Characters already waiting raise the event too, but only from a pump.
    if (soglia_ > 0 && buffer_.size() >= soglia_)
        QMetaObject::invokeMethod(this, &MSComm::forseSegnala, Qt::QueuedConnection);
}

void MSComm::setOutput(const QString &testo) {
    if (!PortOpen()) return;
    QByteArray dati = testo.toLatin1();
    for (char &c : dati)
        c = char(c & 0x7F);
    if (rete_.aperta()) {
        rete_.scrivi(dati);
        return;
    }
    // A command goes to the line at once: handed to the port's own buffer it
    // would wait for the next pump, which the port wakes twice for (ready to
    // write, then written). What the line does not take now (it never happens
    // with a command of a few characters) follows through that buffer, as
    // does any error, which the port then reports as usual.
    qint64 scritti = 0;
    if (porta_aperta_.bytesToWrite() == 0)
        scritti = std::max<qint64>(ScriviSubito(porta_aperta_.handle(), dati), 0);
    if (scritti < dati.size()) porta_aperta_.write(dati.mid(scritti));
}

QString MSComm::Input() {
    if (PortOpen()) riceviDati();
    const QString testo = QString::fromLatin1(buffer_);
    buffer_.clear();
    return testo;
}

void MSComm::riceviDati() {
    QByteArray arrivati = rete_.aperta() ? rete_.leggi() : porta_aperta_.readAll();
    for (char &c : arrivati)
        c = char(c & 0x7F);
    buffer_.append(arrivati);
    if (buffer_.size() > MassimoInRicezione) buffer_.remove(0, buffer_.size() - MassimoInRicezione);
    svegliaPerLaRisposta();
}

void MSComm::svegliaPerLaRisposta() {
    if (!porta_aperta_.isOpen()) return;
    // Once the threshold is reached, every character wakes us again, so that
    // what trails a reply is taken (and discarded) as soon as it comes.
    const int mancano = inAttesa_ ? soglia_ - int(buffer_.size()) : 1;
    // Every read and every threshold asks again; the system is asked only
    // when the count changes (twice an exchange: the reply's length, then 1).
    const int sveglia = std::clamp(mancano, 1, 255);
    if (sveglia == sveglia_) return;
    sveglia_ = sveglia;
    SvegliaDopo(porta_aperta_.handle(), sveglia);
}

void MSComm::forseSegnala() {
    if (soglia_ > 0 && buffer_.size() >= soglia_) {
        if (inAttesa_) {
            inAttesa_ = false;
            svegliaPerLaRisposta();
        }
        evento_ = comEvReceive;
        emit OnComm();
    }
}

void MSComm::erroreSeriale(QSerialPort::SerialPortError errore) {
    if (errore == QSerialPort::ResourceError || errore == QSerialPort::ReadError ||
        errore == QSerialPort::WriteError) {
        // A read that found the characters gone (another program reading the
        // same line took them) is no lost port.
        if (errore != QSerialPort::WriteError && LineaAncoraViva(porta_aperta_.handle())) {
            porta_aperta_.clearError();
            return;
        }
        // Left open, the port would raise errors without end at full CPU.
        codice_ = errore;
        errore_ = SpiegaErrore(errore, porta_aperta_.errorString());
        persa_ = true;
        porta_aperta_.clearError();
        porta_aperta_.close();
        buffer_.clear();
    }
}

void MSComm::reteCaduta() {
    codice_ = QSerialPort::ResourceError;
    errore_ = rete_.errore();
    persa_ = true;
    buffer_.clear();
}
