// Fuzz target: the link configuration file Seriale318.con.
//
// The input is the whole file. A valid file (a first line starting with "rs"
// and something after its line end) is left byte for byte as it was and gives
// the characters at its fixed positions; any other file is replaced by exactly
// the default file and gives RS232, COM1, &45, its old content kept beside it.
// Reading again changes nothing.

#include "link/Configurazione.h"
#include "Verifica.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

// In the temporary folder (scripts/fuzz.sh puts it in memory): every run writes the file twice.
QString Percorso() {
    static QTemporaryDir cartella;
    VERIFICA(cartella.isValid());
    return cartella.filePath(NomeFileConfigurazione);
}

QByteArray Contenuto(const QString &percorso) {
    QFile f(percorso);
    VERIFICA(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

void Scrivi(const QString &percorso, const QByteArray &dati) {
    QFile f(percorso);
    VERIFICA(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    VERIFICA(f.write(dati) == dati.size());
}

bool Uguali(const Configurazione &a, const Configurazione &b) {
    return a.Modo485 == b.Modo485 && a.NumeroPorta == b.NumeroPorta &&
           a.Identificativo == b.Identificativo;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *d, size_t n) {
    const QByteArray dati = Byte(d, n);
    const QString percorso = Percorso();
    Scrivi(percorso, dati);
    const Configurazione c = LeggiConfigurazione(percorso);
    const QByteArray dopo = Contenuto(percorso);

    // The first line ends at CR LF, a lone CR or a lone LF.
    qsizetype fine = 0;
    while (fine < dati.size() && dati[fine] != '\r' && dati[fine] != '\n')
        ++fine;
    const QByteArray riga = dati.left(fine);
    const qsizetype seguito = fine + (dati.mid(fine).startsWith("\r\n") ? 2 : 1);
    const bool valida = seguito < dati.size() && riga.startsWith("rs");

    // A file that is not valid and not empty is kept in Seriale318.con.bak,
    // and the note names the copy; removed here so that the next run has the name.
    if (valida || dati.isEmpty()) {
        VERIFICA(c.avviso.isEmpty());
    } else {
        const QString copia = percorso + QStringLiteral(".bak");
        VERIFICA(c.avviso.contains(copia) && Contenuto(copia) == dati);
        VERIFICA(QFile::remove(copia));
    }
    if (valida) {
        VERIFICA(dopo == dati);
        VERIFICA(!c.predefinitaScritta);
        // Only "485" is 485 in three characters.
        VERIFICA(c.Modo485 == (riga.mid(2, 3) == "485"));
        VERIFICA(c.NumeroPorta == QString::fromLatin1(riga.mid(9, 1)));
        VERIFICA(c.Identificativo == QString::fromLatin1(riga.mid(11, 3)));
    } else {
        VERIFICA(dopo == ContenutoPredefinito);
        VERIFICA(c.predefinitaScritta);
        VERIFICA(!c.Modo485 && c.NumeroPorta == QLatin1String("1") &&
                 c.Identificativo == QLatin1String("&45"));
    }

    const Configurazione ancora = LeggiConfigurazione(percorso);
    VERIFICA(!ancora.predefinitaScritta && Uguali(ancora, c));
    VERIFICA(Contenuto(percorso) == dopo);
    return 0;
}
