// Fuzz target: message files (.vlt).
//
// The input is a whole file. Checked on it: splitting into lines loses no byte
// but the line ends; the scan; both filters and how they agree; the editor's
// load followed by a save (lines kept as they were come out byte for byte, a
// second pass changes nothing, the sender then sends the same records); and a
// file written after a read-back whose texts come from the input.

#include "FormatoMessaggi.h"
#include "Verifica.h"

using namespace FormatoMessaggi;

namespace {

// Every line end written as CR LF.
QByteArray FineRigaUnica(const QByteArray &dati) {
    QByteArray uscita;
    for (qsizetype i = 0; i < dati.size(); ++i) {
        uscita += dati[i];
        if (dati[i] == '\r' && (i + 1 == dati.size() || dati[i + 1] != '\n')) uscita += '\n';
    }
    return uscita;
}

bool Fine(const QString &riga) {
    return riga.startsWith(QLatin1String("END")) || riga.startsWith(QLatin1String("end"));
}

bool SoloSpazi(const QString &testo) {
    for (const QChar c : testo)
        if (c != QLatin1Char(' ')) return false;
    return true;
}

// The number of three leading decimal digits, or -1.
int TreCifreIniziali(const QString &riga) {
    if (riga.size() < 3) return -1;
    int numero = 0;
    for (int i = 0; i < 3; ++i) {
        if (riga[i] < QLatin1Char('0') || riga[i] > QLatin1Char('9')) return -1;
        numero = numero * 10 + (riga[i].unicode() - '0');
    }
    return numero;
}

// The editor's load, then the save window's write, with no edit in between.
QByteArray CaricaSalva(const QByteArray &dati) {
    const Scansione s = ScansioneComune(Righe(dati));
    return ContenutoFile(s.commento, TestoEditor(s));
}

// The records the sender sends, in order.
QStringList Invii(const QByteArray &dati) {
    QStringList record;
    for (const QString &riga : ScansioneComune(Righe(dati)).righe)
        if (const auto r = FiltroInvio(riga)) record << *r;
    return record;
}

void VerificaFiltri(const QString &riga) {
    const int numero = TreCifreIniziali(riga);
    const auto invio = FiltroInvio(riga);
    VERIFICA(invio.has_value() == (numero >= 0 && numero <= NumeroMassimoInvio));
    if (invio) {
        VERIFICA(invio->size() == LunghezzaVoce);
        VERIFICA(invio->startsWith(riga.left(LunghezzaVoce)));
        VERIFICA(SoloSpazi(invio->mid(riga.size())));
    }

    const auto editor = FiltroEditor(riga);
    if (numero >= 0) VERIFICA(editor.has_value() == (numero <= NumeroMassimoEditor));
    // A free note without a leading number counts as 0 and stays.
    if (!QStringLiteral("0123456789+-. \t").contains(riga.at(0))) VERIFICA(editor.has_value());
    if (riga.startsWith(QLatin1String("---"))) VERIFICA(!editor);
    if (editor) {
        VERIFICA(editor->size() >= LunghezzaVoce && editor->size() <= LunghezzaMassimaEditor);
        VERIFICA(editor->startsWith(riga.left(LunghezzaMassimaEditor)));
        VERIFICA(SoloSpazi(editor->mid(riga.size())));
    }
    // What the sender sends, the editor shows.
    if (invio) VERIFICA(editor && editor->left(LunghezzaVoce) == *invio);
}

// A file as the read-back writes it, with as many texts as the input fills
// (the panel's texts never hold the CR that ends its replies).
QByteArray FileLettura(const QByteArray &dati, QStringList *testi) {
    QByteArray pulito = dati;
    pulito.replace('\r', "");
    QString corpo;
    qsizetype da = 0;
    for (int n = 0; n <= 192 && da <= pulito.size(); ++n) {
        if (!NumeroNelCorpo(n)) continue;
        const QString testo = QString::fromLatin1(pulito.mid(da, 16)).leftJustified(16);
        da += 16;
        const QString tre = QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
        corpo += RigaLettura(tre, testo);
        *testi << tre + testo;
    }
    return ContenutoFile(QStringLiteral("Letti dal pannello"), corpo);
}

// The read-back puts 185 texts in a file: 000 to 181 and 190 to 192.
bool NumeriLettura() {
    int quanti = 0;
    for (int n = -1; n <= 255; ++n) {
        if (!NumeroNelCorpo(n)) continue;
        VERIFICA((n >= 0 && n <= 181) || (n >= 190 && n <= 192));
        ++quanti;
    }
    VERIFICA(quanti == 185);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *d, size_t n) {
    static const bool numeri = NumeriLettura();
    (void)numeri;
    const QByteArray dati = Byte(d, n);

    // Lines: only the line ends are lost.
    const QStringList righe = Righe(dati);
    QByteArray ricomposto;
    for (qsizetype i = 0; i < righe.size(); ++i) {
        VERIFICA(!righe[i].contains(QLatin1Char('\r')));
        ricomposto += (i ? "\r\n" : "") + righe[i].toLatin1();
    }
    if (dati.endsWith('\r') || dati.endsWith("\r\n")) ricomposto += "\r\n";
    VERIFICA(ricomposto == FineRigaUnica(dati));

    // The scan: line 1 is the comment; the body is every non-empty line up to
    // the first end marker.
    const Scansione s = ScansioneComune(righe);
    VERIFICA(s.commento == righe.value(0));
    VERIFICA(s.haCorpo == (righe.size() > 1));
    QStringList corpo;
    for (qsizetype i = 1; i < righe.size() && !Fine(righe[i]); ++i)
        if (!righe[i].isEmpty()) corpo << righe[i];
    VERIFICA(s.righe == corpo);
    for (const QString &riga : s.righe)
        VerificaFiltri(riga);

    // Load and save: the comment, then each kept line as the editor shows it
    // (unchanged when it is 19 to 69 characters long), an empty line, "end".
    const QByteArray salvato = CaricaSalva(dati);
    QStringList attese{s.commento};
    for (const QString &riga : s.righe) {
        if (const auto tenuta = FiltroEditor(riga)) {
            if (riga.size() >= LunghezzaVoce && riga.size() <= LunghezzaMassimaEditor)
                VERIFICA(*tenuta == riga);
            attese << *tenuta;
        }
    }
    attese << QString() << QStringLiteral("end");
    VERIFICA(Righe(salvato) == attese);
    VERIFICA(salvato.endsWith("\r\nend\r\n"));
    VERIFICA(CaricaSalva(salvato) == salvato);
    VERIFICA(Invii(salvato) == Invii(dati));

    // A read-back file goes through the editor byte for byte, and the sender
    // sends every text it holds.
    QStringList testi;
    const QByteArray letto = FileLettura(dati, &testi);
    VERIFICA(testi.size() == qMin(185, int(dati.size() - dati.count('\r')) / 16 + 1));
    VERIFICA(CaricaSalva(letto) == letto);
    VERIFICA(Invii(letto) == testi);
    return 0;
}
