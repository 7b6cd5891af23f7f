// Fuzz target: message files (.vlt).
//
// The input is a whole file. Checked on it: which line ends a file is read by,
// and that splitting into lines loses no byte but the line ends; reading from
// disk agrees with reading the same bytes in memory; both filters and how
// they agree; the editor's load followed by a save through a real text
// document (lines kept come out byte for byte, a second pass changes nothing,
// the sender then sends the same records); and a file written after a
// read-back whose texts come from the input.

#include "files/FileMessaggi.h"
#include "files/FormatoMessaggi.h"
#include "link/Comandi.h"
#include "files/Programmazione.h"
#include "Verifica.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTextDocument>

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

QByteArray Unite(const QStringList &righe, const char *fine) {
    QByteArray unite;
    for (qsizetype i = 0; i < righe.size(); ++i) {
        if (i) unite += fine;
        unite += righe[i].toLatin1();
    }
    return unite;
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

// A message file read from disk, as the editor and the sender read it, in the
// temporary folder (scripts/fuzz.sh puts it in memory).
Scansione Carica(const QByteArray &dati) {
    static QTemporaryDir cartella;
    VERIFICA(cartella.isValid());
    const QString percorso = cartella.filePath(QStringLiteral("prova.vlt"));
    QFile f(percorso);
    VERIFICA(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    VERIFICA(f.write(dati) == dati.size());
    f.close();
    QString errore;
    const auto s = LeggiMessaggi(percorso, &errore);
    VERIFICA(s.has_value() && errore.isEmpty());
    return *s;
}

// What the editor's text box gives back of a text put in it.
QString Grezzo(const QString &testo) {
    QTextDocument documento;
    documento.setPlainText(testo);
    return documento.toRawText();
}

// The editor's load, then the save window's write with the file's own comment
// and no edit in between.
struct Giro {
    Scansione letta;
    QByteArray salvato;
};
Giro CaricaSalva(const QByteArray &dati) {
    Giro g{Carica(dati), QByteArray()};
    const QString testo = TestoEditor(g.letta);
    const QString corpo = CorpoDaTesto(Grezzo(TestoVisibile(testo)));
    VERIFICA(corpo == testo);
    g.salvato = ContenutoFile(SenzaACapo(g.letta.commento), corpo);
    return g;
}

// The records the sender sends, in order.
QStringList Invii(const Scansione &s) {
    QStringList record;
    for (const QString &riga : s.righe)
        if (const auto r = FiltroInvio(riga)) record << *r;
    return record;
}

void VerificaFiltri(const QString &riga) {
    const int numero = TreCifreIniziali(riga);
    const auto invio = FiltroInvio(riga);
    VERIFICA(invio.has_value() == (numero >= 0 && numero <= NumeroMassimoInvio));
    if (invio) {
        VERIFICA(invio->size() == Comandi::LunghezzaVoce);
        VERIFICA(invio->startsWith(riga.left(Comandi::LunghezzaVoce)));
        VERIFICA(SoloSpazi(invio->mid(riga.size())));
    }

    const auto editor = FiltroEditor(riga);
    if (numero >= 0) VERIFICA(editor.has_value() == (numero <= NumeroMassimoEditor));
    // A free note without a leading number counts as 0 and stays.
    if (!QStringLiteral("0123456789+-. \t").contains(riga.at(0))) VERIFICA(editor.has_value());
    if (riga.startsWith(QLatin1String("---"))) VERIFICA(!editor);
    if (editor) {
        VERIFICA(editor->size() >= Comandi::LunghezzaVoce &&
                 editor->size() <= LunghezzaMassimaEditor);
        VERIFICA(editor->startsWith(riga.left(LunghezzaMassimaEditor)));
        VERIFICA(SoloSpazi(editor->mid(riga.size())));
        if (riga.size() >= Comandi::LunghezzaVoce && riga.size() <= LunghezzaMassimaEditor)
            VERIFICA(*editor == riga);
    }
    // What the sender sends, the editor shows.
    if (invio) VERIFICA(editor && editor->left(Comandi::LunghezzaVoce) == *invio);
}

// A file as the read-back writes it, with as many texts as the input fills
// (a text read back never holds a CR or an LF: they become blanks).
QByteArray FileLettura(const QByteArray &dati, QStringList *testi) {
    QByteArray pulito = dati;
    pulito.replace('\r', ' ').replace('\n', ' ');
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

    // Lines by CR LF or a lone CR: only the line ends are lost.
    const QStringList perCR = Righe(dati);
    QByteArray ricomposto = Unite(perCR, "\r\n");
    for (const QString &riga : perCR)
        VERIFICA(!riga.contains(QLatin1Char('\r')));
    if (dati.endsWith('\r') || dati.endsWith("\r\n")) ricomposto += "\r\n";
    VERIFICA(ricomposto == FineRigaUnica(dati));

    // The part of the file that is read, and by which line end.
    const Parte parte = ParteUsata(dati, true);
    VERIFICA(parte.esito == Parte::Pronta && parte.fine <= dati.size());
    const QByteArray usati = dati.left(parte.fine);
    const QStringList righe = RigheLette(usati);
    if (parte.lf) {
        VERIFICA(!usati.contains('\r'));
        VERIFICA(Unite(righe, "\n") + (usati.endsWith('\n') ? "\n" : "") == usati);
    } else {
        VERIFICA(righe == Righe(usati));
    }
    // Nothing after the end marker's line is read.
    if (parte.fine < dati.size()) VERIFICA(righe.size() > 1 && Fine(righe.last()));

    // The scan: line 1 is the comment; the body is every non-empty line up to
    // the first end marker. Read from disk, block by block, it is the same.
    const Scansione s = ScansioneComune(righe);
    const Giro primo = CaricaSalva(dati);
    const Scansione &daDisco = primo.letta;
    VERIFICA(daDisco.commento == s.commento && daDisco.haCorpo == s.haCorpo &&
             daDisco.righe == s.righe && daDisco.numeri == s.numeri && daDisco.chiusa == s.chiusa);
    VERIFICA(s.commento == righe.value(0));
    VERIFICA(s.haCorpo == (righe.size() > 1));
    QStringList corpo;
    qsizetype r = 1;
    for (; r < righe.size() && !Fine(righe[r]); ++r)
        if (!righe[r].isEmpty()) corpo << righe[r];
    VERIFICA(s.righe == corpo && s.numeri.size() == s.righe.size());
    VERIFICA(s.chiusa == (r < righe.size())); // stopped at an end marker
    for (qsizetype i = 0; i < s.righe.size(); ++i) {
        VERIFICA(righe.value(s.numeri[i] - 1) == s.righe[i]);
        VerificaFiltri(s.righe[i]);
    }

    // What a send writes: the sender's records with their lines; it is refused
    // for no record, no end marker, more than the panel's table holds, one
    // number twice, or a byte above 127 in a text (the first one's line is named).
    const QList<Programmazione::Voce> voci = Programmazione::VociDaInviare(daDisco);
    VERIFICA(voci.size() == Invii(s).size());
    int rigaAlta = 0;
    QString numeroAlto;
    QSet<QString> visti;
    bool doppio = false;
    for (qsizetype i = 0; i < voci.size(); ++i) {
        VERIFICA(voci[i].voce == Invii(s)[i] && righe.value(voci[i].riga - 1) == voci[i].linea);
        VERIFICA(FiltroInvio(voci[i].linea) == voci[i].voce);
        for (qsizetype k = 3; k < voci[i].voce.size() && !rigaAlta; ++k)
            if (voci[i].voce[k].unicode() > 127) {
                rigaAlta = voci[i].riga;
                numeroAlto = voci[i].numero();
            }
        doppio = doppio || visti.contains(voci[i].voce.left(3));
        visti.insert(voci[i].voce.left(3));
    }
    const QString rifiuto = Programmazione::RifiutoInvio(voci, s.chiusa);
    VERIFICA(rifiuto.isEmpty() ==
             (!voci.isEmpty() && s.chiusa && voci.size() <= 301 && !doppio && !rigaAlta));
    if (rigaAlta && s.chiusa && !doppio)
        VERIFICA(rifiuto.startsWith(
            QStringLiteral("Testo %1, riga %2: ").arg(numeroAlto).arg(rigaAlta)));

    // Load and save: the comment on one line, then each kept line as the
    // editor shows it, an empty line, "end".
    const QByteArray &salvato = primo.salvato;
    QStringList attese{SenzaACapo(s.commento)};
    for (const QString &riga : s.righe)
        if (const auto tenuta = FiltroEditor(riga)) attese << *tenuta;
    attese << QString() << QStringLiteral("end");
    VERIFICA(Righe(salvato) == attese);
    const Giro secondo = CaricaSalva(salvato);
    VERIFICA(secondo.salvato == salvato);
    VERIFICA(Invii(secondo.letta) == Invii(s));

    // A read-back file goes through the editor byte for byte, and the sender
    // sends every text it holds.
    QStringList testi;
    const QByteArray letto = FileLettura(dati, &testi);
    VERIFICA(testi.size() == qMin(185, int(dati.size()) / 16 + 1));
    const Giro lettura = CaricaSalva(letto);
    VERIFICA(lettura.salvato == letto);
    VERIFICA(Invii(lettura.letta) == testi);
    return 0;
}
