#include "app/LavoriImpianti.h"
#include "app/ProvaIngressi.h"

#include "app/RigaDiComando.h"
#include "app/Terminale.h"
#include "files/FormatoMessaggi.h"
#include "impianti/Registro.h"
#include "rapporti/RapportoRegistro.h"
#include "jobs/Operazioni.h"
#include "jobs/SuImpianti.h"
#include "link/Traccia.h"
#include "shared/Numeri.h"
#include "shared/Salvataggio.h"
#include "shared/Variabili.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

// What the book holds, for the terminal: a description or a register line
// edited by hand or come through a synced folder may hold ESC or BEL, shown
// as <ESC>, <BEL>.
using Traccia::ControlliVisibili;

QString Linea(bool rs485) {
    return rs485 ? QStringLiteral("RS485") : QStringLiteral("RS232");
}

QString Data(const QDateTime &quando) {
    return quando.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A site that is not in the book, with the names near it.
int NonNelLibro(const QString &errore, const QString &nome) {
    const QStringList vicini = Impianti::Vicini(nome, Impianti::Elenco());
    return Problema(errore +
                    (vicini.isEmpty()
                         ? QStringLiteral(". velto318 --impianti elenca gli impianti.")
                         : QStringLiteral(". Forse: %1?").arg(vicini.join(QStringLiteral(", ")))));
}

// The site named by --impianto, loaded; nothing with the problem said (the
// file and line that are wrong, for a site of the book that cannot be used).
std::optional<Impianti::Impianto> Carica(const QString &nome, int *uscita) {
    QString errore;
    bool rotto = false;
    const auto i = Impianti::Carica(nome, &errore, &rotto);
    if (!i) *uscita = rotto ? Problema(errore + QLatin1Char('.')) : NonNelLibro(errore, nome);
    return i;
}

int Nuovo(const RigaDiComando &riga) {
    Impianti::Impianto i;
    i.nome = riga.nuovoImpianto;
    i.cliente = riga.cliente;
    i.indirizzo = riga.indirizzo;
    i.note = riga.note;
    i.porta = riga.portaImpianto;
    i.id = riga.id;
    i.rs485 = riga.rs485;
    i.copia = !riga.senzaCopia;
    QString errore;
    if (i.id.isEmpty())
        errore = QStringLiteral("manca l'identificativo della centrale (--id &NN)");
    else if (!Impianti::Crea(i, &errore))
        ;
    else {
        Stampa(stdout, QStringLiteral("Impianto \"%1\" creato in %2: collegamento %3, "
                                      "identificativo %4, %5, copia prima dell'invio %6.\n")
                           .arg(i.nome, QDir::toNativeSeparators(Impianti::CartellaDi(i.nome)),
                                i.porta, i.id, Linea(i.rs485),
                                i.copia ? QStringLiteral("sì") : QStringLiteral("no")));
        for (const QString &a : SuImpianti::Avvisi(i, Impianti::Elenco()))
            Stampa(stderr, QStringLiteral("velto318: attenzione: %1.\n").arg(a));
        return UscitaFatto;
    }
    return Problema(QStringLiteral("impianto \"%1\" non creato: %2.").arg(i.nome, errore));
}

int Elenco() {
    QList<Impianti::Rotto> rotti;
    const QList<Impianti::Impianto> libro = Impianti::Elenco(nullptr, &rotti);
    QString testo;
    for (const Impianti::Impianto &i : libro) {
        const QList<Versioni::Versione> versioni =
            Versioni::Elenco(i.nome, Versioni::Lettura::Nomi);
        testo += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                     .arg(ControlliVisibili(i.nome), ControlliVisibili(i.porta),
                          ControlliVisibili(i.id), Linea(i.rs485),
                          versioni.isEmpty() ? QStringLiteral("mai letto")
                                             : Data(versioni.last().quando));
        // A warning stands on a line of its own, after its site's, marked by "!".
        for (const QString &a : SuImpianti::Avvisi(i, libro))
            testo += QStringLiteral("! %1: %2\n").arg(i.nome, a);
    }
    // A site that cannot be used is listed too, with why: never hidden.
    for (const Impianti::Rotto &r : rotti)
        testo += QStringLiteral("%1\t\t\t\tda correggere: %2\n")
                     .arg(ControlliVisibili(r.nome), ControlliVisibili(r.motivo));
    if (libro.isEmpty() && rotti.isEmpty())
        testo = QStringLiteral("Nessun impianto nel libro %1.\n")
                    .arg(QDir::toNativeSeparators(Impianti::Libro()));
    Stampa(stdout, testo);
    return UscitaFatto;
}

int Storia(const QString &nome) {
    QString testo;
    const QList<Versioni::Versione> versioni = Versioni::Elenco(nome);
    for (auto v = versioni.crbegin(); v != versioni.crend(); ++v)
        // The stable name last: the columns before it stay where they were.
        testo += v->illeggibile.isEmpty() ? QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                                                .arg(v->numero)
                                                .arg(Data(v->quando), Versioni::NomeTipo(v->tipo),
                                                     Quanti(v->testi, "testo", "testi"),
                                                     ControlliVisibili(v->impronta), v->nome)
                                          : QStringLiteral("%1\t%2\t%3\tilleggibile: %4\t%5\n")
                                                .arg(v->numero)
                                                .arg(Data(v->quando), Versioni::NomeTipo(v->tipo),
                                                     ControlliVisibili(v->illeggibile), v->nome);
    if (versioni.isEmpty())
        testo = QStringLiteral("L'impianto \"%1\" non ha ancora versioni: velto318 --impianto "
                               "'%1' --leggi legge la centrale.\n")
                    .arg(ControlliVisibili(nome));
    Stampa(stdout, testo);
    return UscitaFatto;
}

// The texts of version `numero` of the site, or nothing with the problem said.
std::optional<Versioni::Testi> TestiVersione(const QList<Versioni::Versione> &versioni, int numero,
                                             const QString &nome, int *uscita) {
    const auto v = Versioni::Trova(versioni, QString::number(numero));
    if (!v) {
        *uscita = Problema(QStringLiteral("l'impianto \"%1\" non ha la versione %2 (ne ha %3: "
                                          "velto318 --impianto '%1' --storia).")
                               .arg(nome)
                               .arg(numero)
                               .arg(versioni.size()));
        return std::nullopt;
    }
    QString errore;
    const auto testi = Versioni::TestiDi(*v, &errore);
    if (!testi) *uscita = Problema(QStringLiteral("versione %1: %2.").arg(numero).arg(errore));
    return testi;
}

int ConfrontaVersioni(const RigaDiComando &riga, const QString &nome) {
    const QList<Versioni::Versione> versioni = Versioni::Elenco(nome);
    int uscita = UscitaProblema;
    const auto a = TestiVersione(versioni, riga.versioneA, nome, &uscita);
    if (!a) return uscita;
    const auto b = TestiVersione(versioni, riga.versioneB, nome, &uscita);
    if (!b) return uscita;
    const QString primo = QStringLiteral("versione %1:").arg(riga.versioneA);
    const QString secondo = QStringLiteral("versione %1:").arg(riga.versioneB);
    const int larghezza = int(std::max(primo.size(), secondo.size()));
    QString testo;
    QStringList numeri;
    for (const Versioni::Differenza &d : Versioni::Confronta(*a, *b)) {
        testo += QStringLiteral("%1  %2 %3\n     %4 %5\n")
                     .arg(d.numero, primo.leftJustified(larghezza), TestoVisibile(d.prima),
                          secondo.leftJustified(larghezza), TestoVisibile(d.dopo));
        numeri << d.numero;
    }
    testo += numeri.isEmpty() ? QStringLiteral("Le versioni %1 e %2 hanno gli stessi testi.\n")
                                    .arg(riga.versioneA)
                                    .arg(riga.versioneB)
                              : QStringLiteral("%1 tra le versioni %2 e %3 (· è uno spazio): %4.\n")
                                    .arg(Quanti(numeri.size(), "testo diverso", "testi diversi"))
                                    .arg(riga.versioneA)
                                    .arg(riga.versioneB)
                                    .arg(numeri.join(QStringLiteral(", ")));
    Stampa(stdout, testo);
    return numeri.isEmpty() ? UscitaFatto : UscitaCentrale;
}

int Registro(const RigaDiComando &riga, const Impianti::Impianto &impianto) {
    QString errore;
    const QList<Manutenzione::Voce> voci = Manutenzione::Leggi(impianto.nome, &errore);
    if (!errore.isEmpty())
        Stampa(stderr, QStringLiteral("velto318: %1\n").arg(ControlliVisibili(errore)));
    if (!riga.rapporti.isEmpty()) {
        int uscita = UscitaFatto;
        for (const QString &f : riga.rapporti) {
            if (const QString e = Manutenzione::SalvaRapporto(impianto, voci, f); !e.isEmpty()) {
                uscita = Problema(e);
                continue;
            }
            Stampa(stderr,
                   QStringLiteral("Rapporto salvato: %1\n").arg(QDir::toNativeSeparators(f)));
        }
        return uscita;
    }
    QString testo;
    for (const Manutenzione::Voce &v : voci)
        testo += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                     .arg(Data(v.quando), ControlliVisibili(v.utente),
                          ControlliVisibili(v.computer), ControlliVisibili(v.porta),
                          ControlliVisibili(v.azione), ControlliVisibili(v.esito));
    if (voci.isEmpty() && errore.isEmpty())
        testo = QStringLiteral("Il registro dell'impianto \"%1\" è vuoto.\n")
                    .arg(ControlliVisibili(impianto.nome));
    Stampa(stdout, testo);
    // A register read in part is no whole one.
    return errore.isEmpty() ? UscitaFatto : UscitaProblema;
}

// The book as CSV. A site whose description is wrong cannot be written as a
// row: it is named, with why, and the export is not a whole one (exit 1), so
// that nobody moves a book through it and loses that site unawares.
int Esporta(const QString &percorso) {
    QList<Impianti::Rotto> rotti;
    const QList<Impianti::Impianto> libro = Impianti::Elenco(nullptr, &rotti);
    QString errore;
    if (!Salvataggio::Salva(percorso, Impianti::Csv(libro), &errore))
        return Problema(
            QStringLiteral("%1 non scritto: %2.").arg(QDir::toNativeSeparators(percorso), errore));
    QString testo = QStringLiteral("%1 in %2.\n")
                        .arg(Quanti(libro.size(), "impianto esportato", "impianti esportati"))
                        .arg(QDir::toNativeSeparators(percorso));
    for (const Impianti::Rotto &r : rotti)
        testo += QStringLiteral("Non esportato: %1: %2\n")
                     .arg(Traccia::ControlliVisibili(r.nome), Traccia::ControlliVisibili(r.motivo));
    Stampa(stdout, testo);
    return rotti.isEmpty() ? UscitaFatto : UscitaCentrale;
}

int Importa(const QString &percorso) {
    QFile f(percorso);
    if (!f.open(QIODevice::ReadOnly))
        return Problema(QStringLiteral("impossibile leggere %1: %2.")
                            .arg(QDir::toNativeSeparators(percorso), f.errorString()));
    Impianti::Importazione r = Impianti::LeggiCsv(f.readAll());
    if (!r.errore.isEmpty())
        return Problema(QStringLiteral("%1: %2; nessun impianto importato.")
                            .arg(QDir::toNativeSeparators(percorso), r.errore));
    // Ctrl+C or SIGTERM: it stops between two sites.
    qsizetype fatti = 0;
    const auto fermati = [&fatti] {
        if (fatti++ % 64 == 0) QCoreApplication::processEvents();
        return V::Interruzione != 0;
    };
    const qsizetype saltatiPrima = r.saltati.size();
    QString errore;
    const int importati = Impianti::CreaTutti(r.impianti, fermati, &r.saltati, &errore);
    if (importati < 0)
        return Problema(QStringLiteral("nessun impianto importato da %1: %2.")
                            .arg(QDir::toNativeSeparators(percorso), errore));
    if (!errore.isEmpty()) Stampa(stderr, QStringLiteral("velto318: %1.\n").arg(errore));
    QString testo = QStringLiteral("%1 da %2.\n")
                        .arg(Quanti(importati, "impianto importato", "impianti importati"))
                        .arg(QDir::toNativeSeparators(percorso));
    for (const QString &s : r.saltati)
        testo += QStringLiteral("Saltato: %1\n").arg(s);
    Stampa(stdout, testo);
    if (V::Interruzione) {
        const qsizetype restano = r.impianti.size() - importati - (r.saltati.size() - saltatiPrima);
        return LavoroInterrotto(QStringLiteral("Importazione interrotta: %1 del file non ancora "
                                               "importati.")
                                    .arg(Quanti(int(restano), "impianto", "impianti")));
    }
    return r.saltati.isEmpty() ? UscitaFatto : UscitaCentrale;
}

int Rinomina(const Impianti::Impianto &impianto, const QString &nuovo) {
    QString errore = Manutenzione::NonSiSposta(impianto.nome);
    if (!errore.isEmpty() || !Impianti::Rinomina(impianto.nome, nuovo, &errore))
        return Problema(
            QStringLiteral("impianto \"%1\" non rinominato: %2.").arg(impianto.nome, errore));
    if (!Manutenzione::Annota(nuovo, impianto.porta, QStringLiteral("impianto rinominato"),
                              QStringLiteral("rinominato da \"%1\"").arg(impianto.nome), &errore))
        Stampa(
            stderr,
            QStringLiteral("velto318: registro dell'impianto non aggiornato: %1.\n").arg(errore));
    Stampa(stdout,
           QStringLiteral("Impianto \"%1\" rinominato \"%2\": versioni e registro "
                          "restano suoi, in %3.\n")
               .arg(impianto.nome, nuovo, QDir::toNativeSeparators(Impianti::CartellaDi(nuovo))));
    return UscitaFatto;
}

// A site leaves the book only with --si; its folder is moved, never deleted.
int Rimuovi(const RigaDiComando &riga) {
    QString errore;
    const QString nome = Impianti::NomeNelLibro(riga.rimuoviImpianto, &errore);
    if (!errore.isEmpty()) return Problema(errore + QLatin1Char('.'));
    if (nome.isEmpty())
        return NonNelLibro(
            QStringLiteral("l'impianto \"%1\" non è nel libro").arg(riga.rimuoviImpianto),
            riga.rimuoviImpianto);
    if (const QString inCorso = Manutenzione::NonSiSposta(nome); !inCorso.isEmpty())
        return Problema(QStringLiteral("impianto \"%1\" non rimosso: %2.").arg(nome, inCorso));
    if (!riga.si)
        return Problema(QStringLiteral("l'impianto \"%1\" (%2) sarebbe tolto dal libro e la sua "
                                       "cartella, con versioni e registro, spostata in %3. Nulla "
                                       "è stato spostato: per farlo aggiungi --si.")
                            .arg(nome,
                                 Quanti(Versioni::Elenco(nome, Versioni::Lettura::Nomi).size(),
                                        "versione", "versioni"),
                                 QDir::toNativeSeparators(Impianti::Archivio())));
    const QString dove = Impianti::Archivia(nome, &errore);
    if (dove.isEmpty())
        return Problema(QStringLiteral("impianto \"%1\" non rimosso: %2.").arg(nome, errore));
    Stampa(stdout, QStringLiteral("Impianto \"%1\" tolto dal libro: la sua cartella, con versioni "
                                  "e registro, è ora %2.\n")
                       .arg(nome, QDir::toNativeSeparators(dove)));
    return UscitaFatto;
}

} // namespace

int EseguiLibro(const RigaDiComando &riga) {
    switch (riga.libro) {
    case Libro::Nuovo:
        return Nuovo(riga);
    case Libro::Elenco:
        return Elenco();
    case Libro::Esporta:
        return Esporta(riga.csv);
    case Libro::Importa:
        return Importa(riga.csv);
    case Libro::Giornale:
        return RapportiDaGiornale(riga);
    case Libro::Rimuovi:
        return Rimuovi(riga);
    default:
        break;
    }
    int uscita = UscitaProblema;
    const auto impianto = Carica(riga.impianto, &uscita);
    if (!impianto) return uscita;
    if (riga.libro == Libro::Storia) return Storia(impianto->nome);
    if (riga.libro == Libro::ConfrontaVersioni) return ConfrontaVersioni(riga, impianto->nome);
    if (riga.libro == Libro::Rinomina) return Rinomina(*impianto, riga.rinomina);
    return Registro(riga, *impianto);
}

std::optional<Impianti::Impianto> ImpiantoDelLavoro(const RigaDiComando &riga, int *uscita) {
    if (riga.impianto.isEmpty()) return std::nullopt;
    if (riga.lavoro != Lavoro::Prova) return Carica(riga.impianto, uscita);
    // A name not in the book is only the reports' label; a site of the book
    // that cannot be used is refused, as for every job.
    QString errore;
    bool rotto = false;
    auto impianto = Impianti::Carica(riga.impianto, &errore, &rotto);
    if (rotto) *uscita = Problema(errore + QLatin1Char('.'));
    return impianto;
}

std::optional<Versioni::Stato> UltimaVersione(const QString &impianto, int *uscita) {
    QString errore;
    const auto stato = Versioni::StatoNoto(impianto, &errore);
    if (stato && !stato->versioni.isEmpty()) return stato;
    *uscita =
        Problema(stato ? QStringLiteral("l'impianto \"%1\" non ha ancora versioni con cui "
                                        "confrontare la centrale: velto318 --impianto '%1' --leggi "
                                        "legge la centrale. Nessun testo confrontato.")
                             .arg(impianto)
                       : QStringLiteral("impianto \"%1\", %2. Nessun testo confrontato.")
                             .arg(impianto, errore));
    return std::nullopt;
}

QString AzioneDi(const RigaDiComando &riga) {
    const QString file = QDir::toNativeSeparators(riga.file);
    switch (riga.lavoro) {
    case Lavoro::Invia: {
        const QString senza =
            riga.senzaCopia ? QStringLiteral(", senza copia della centrale") : QString();
        if (riga.ripristina > 0) {
            const auto v = Versioni::Trova(Versioni::Elenco(riga.impianto, Versioni::Lettura::Nomi),
                                           QString::number(riga.ripristina));
            return QStringLiteral("ripristino della versione %1%2")
                .arg(v ? Versioni::Detta(*v) : QString::number(riga.ripristina), senza);
        }
        return QStringLiteral("invio di %1%2").arg(file, senza);
    }
    case Lavoro::Leggi:
        return file.isEmpty() ? QStringLiteral("lettura dei testi")
                              : QStringLiteral("lettura dei testi in %1").arg(file);
    case Lavoro::Confronta:
        return QStringLiteral("confronto con %1").arg(file);
    case Lavoro::Stato:
        return QStringLiteral("stato");
    case Lavoro::Cerca:
        return QStringLiteral("ricerca degli identificativi");
    case Lavoro::Prova:
        return QStringLiteral("prova ingressi");
    default:
        return QString();
    }
}
