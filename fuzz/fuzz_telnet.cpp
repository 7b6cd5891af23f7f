// Fuzz target: the Telnet/RFC 2217 codec of a link to a device server.
//
// The first byte says whether the codec opened as the tool does (its
// requests sent); the next four seed how the rest, the server's bytes, is
// cut into reads. Checked: however the bytes are cut they give the same data,
// answers, confirmations and fault; no read gives more data than it had, the
// answers are never more than what was read, and a faulty server is read no
// more. The same bytes as data, encoded for the line and read back in binary
// mode, are the data again; the line settings read back are no data.

#include "link/CodecTelnet.h"
#include "Verifica.h"

namespace {

struct Letto {
    QByteArray dati, risposte;
};

// The bytes read in pieces of the lengths the seed draws (1 to 64 bytes).
Letto Leggi(CodecTelnet &c, const QByteArray &flusso, quint32 seme) {
    Letto l;
    qsizetype letti = 0;
    while (letti < flusso.size()) {
        seme = seme * 1103515245u + 12345u;
        const QByteArray pezzo = flusso.mid(letti, 1 + (seme >> 16) % 64);
        letti += pezzo.size();
        const QByteArray dati = c.Ricevi(pezzo, &l.risposte);
        VERIFICA(dati.size() <= pezzo.size());
        l.dati += dati;
        VERIFICA(l.risposte.size() <= letti);
    }
    return l;
}

CodecTelnet Nuovo(bool aperto) {
    CodecTelnet c;
    if (aperto) c.Richieste();
    return c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *d, size_t n) {
    if (n < 5) return 0;
    const bool aperto = d[0] & 1;
    const quint32 seme = quint32(d[1]) << 24 | quint32(d[2]) << 16 | quint32(d[3]) << 8 | d[4];
    const QByteArray flusso = Byte(d + 5, n - 5);

    CodecTelnet intero = Nuovo(aperto);
    Letto tutto;
    tutto.dati = intero.Ricevi(flusso, &tutto.risposte);
    VERIFICA(tutto.dati.size() <= flusso.size());
    CodecTelnet aPezzi = Nuovo(aperto);
    const Letto pezzi = Leggi(aPezzi, flusso, seme);
    VERIFICA(pezzi.dati == tutto.dati);
    VERIFICA(aPezzi.Difettoso() == intero.Difettoso());
    if (!intero.Difettoso()) VERIFICA(pezzi.risposte == tutto.risposte);
    VERIFICA(aPezzi.Conferme() == intero.Conferme());
    VERIFICA(aPezzi.Confermati() == intero.Confermati());
    VERIFICA(aPezzi.PortaAccettata() == intero.PortaAccettata());
    // A confirmation takes six bytes at least (IAC SB 44 101 IAC SE).
    VERIFICA(intero.Confermati() <= flusso.size() / 6);
    VERIFICA(intero.Conferme().size() <= intero.Confermati());
    if (intero.Difettoso()) {
        QByteArray risposte;
        VERIFICA(intero.Ricevi(flusso, &risposte).isEmpty() && risposte.isEmpty());
    }

    // Data through the line and back, with the server in binary mode.
    CodecTelnet binario = Nuovo(true);
    QByteArray risposte;
    const char voglio[3] = {char(255), char(251), 0}; // IAC WILL BINARY
    VERIFICA(binario.Ricevi(QByteArray(voglio, 3), &risposte).isEmpty() && risposte.isEmpty());
    const QByteArray codificati = CodecTelnet::Codifica(flusso);
    VERIFICA(codificati.size() == flusso.size() + flusso.count(char(255)));
    const Letto ritorno = Leggi(binario, codificati, seme);
    VERIFICA(ritorno.dati == flusso && ritorno.risposte.isEmpty() && !binario.Difettoso());

    // The line settings drawn from the seed are commands, not data.
    const QList<QByteArray> linea = CodecTelnet::RichiesteLinea(
        seme, (d[0] >> 1) & 15, CodecTelnet::Parita(1 + d[0] % 5), CodecTelnet::Stop(1 + d[0] % 3));
    CodecTelnet server = Nuovo(true);
    VERIFICA(Leggi(server, linea.join(), seme).dati.isEmpty());
    VERIFICA(!server.Difettoso() && server.Confermati() == 0);
    return 0;
}
