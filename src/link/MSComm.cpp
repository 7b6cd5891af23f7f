#include "link/MSComm.h"

#include "link/PortaDiRete.h"
#include "link/PortaLocale.h"
#include "shared/Attendi.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

MSComm::MSComm(QObject *parent) : QObject(parent), cartella_(QDir::currentPath()) {
    avvisi_.datiArrivati = [this] {
        riceviDati();
        forseSegnala();
    };
    avvisi_.persa = [this](QSerialPort::SerialPortError codice, const QString &motivo) {
        lineaPersa(codice, motivo);
    };
    avvisi_.nota = [this](const QString &testo) { emit NotaRete(testo); };
}

MSComm::~MSComm() {
    for (const auto &t : trasporti_)
        t->chiudi();
}

Trasporto *MSComm::trasportoPer(const QString &dispositivo) {
    if (IndirizzoDiRete(dispositivo)) return tieni<PortaDiRete>();
    return tieni<PortaLocale>();
}

template <class T> Trasporto *MSComm::tieni() {
    for (const auto &t : trasporti_)
        if (auto *fatto = dynamic_cast<T *>(t.get())) return fatto;
    return trasporti_.emplace_back(std::make_unique<T>(avvisi_)).get();
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
    linea_ = {velocita, parita, QSerialPort::DataBits(dati), bitStop};
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

void MSComm::setPortOpen(bool aperta) {
    if (!aperta) {
        if (trasporto_) trasporto_->chiudi();
        buffer_.clear();
        return;
    }
    // A connection being made pumps events: an opening from one of them waits its turn.
    if (PortOpen() || (trasporto_ && trasporto_->inCorso())) return;
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
    Trasporto *t = trasportoPer(dispositivo_);
    trasporto_ = t;
    // What came before this opening is no reply (a connection pumps events,
    // and what comes while it is made is kept).
    buffer_.clear();
    if (!t->apri(dispositivo_, linea_)) {
        codice_ = t->CodiceErrore();
        errore_ = t->Errore();
    }
}

void MSComm::setRThreshold(int soglia, int intera) {
    soglia_ = soglia;
    intera_ = std::max(soglia, intera);
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
    trasporto_->scrivi(dati);
}

QString MSComm::Input() {
    if (PortOpen()) riceviDati();
    const QString testo = QString::fromLatin1(buffer_);
    buffer_.clear();
    return testo;
}

void MSComm::riceviDati() {
    QByteArray arrivati = trasporto_->leggi();
    for (char &c : arrivati)
        c = char(c & 0x7F);
    buffer_.append(arrivati);
    if (buffer_.size() > MassimoInRicezione) buffer_.remove(0, buffer_.size() - MassimoInRicezione);
    svegliaPerLaRisposta();
}

void MSComm::svegliaPerLaRisposta() {
    if (!PortOpen()) return;
    // Once the threshold is reached, every character wakes us again, so that
    // what trails a reply is taken (and discarded) as soon as it comes. Every
    // read and every threshold asks again; the transport asks the system only
    // when the count changes.
    trasporto_->svegliaDopo(inAttesa_ ? intera_ - int(buffer_.size()) : 1);
}

void MSComm::Raccogli() {
    if (!inAttesa_ || intera_ <= soglia_) return;
    intera_ = soglia_;
    svegliaPerLaRisposta();
    // The port reports what waits at the next pump; a pump may serve other
    // sources first.
    for (int i = 0; i < 3 && inAttesa_ && PortOpen(); ++i)
        PompaEventi();
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

void MSComm::lineaPersa(QSerialPort::SerialPortError codice, const QString &motivo) {
    codice_ = codice;
    errore_ = motivo;
    persa_ = true;
    buffer_.clear();
}
