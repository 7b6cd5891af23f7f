#include "app/Opzioni.h"

namespace Opzioni {

const QList<Voce> &Voci() {
    static const QList<Voce> voci = {
        {{{"h", "help"}, "Mostra questo aiuto ed esce."}, &RigaDiComando::aiuto},
        {{{"v", "version"}, "Mostra la versione ed esce."}, &RigaDiComando::versione},
        {{"porte", "Elenca le porte seriali presenti ed esce."}, &RigaDiComando::porte},
        {{"porta",
          "Usa DISPOSITIVO (es. /dev/ttyUSB0) per la porta di Seriale318.con; per una "
          "centrale dietro un server seriale in rete: tcp://192.168.1.50:4001 (TCP "
          "grezzo, anche socket://192.168.1.50:4001) o rfc2217://192.168.1.50:4001 "
          "(imposta la linea 9600,E,7,1); IPv6 tra parentesi: tcp://[fd00::5]:4001.",
          "DISPOSITIVO"},
         &RigaDiComando::porta},
        {{"cartella-utente", "Lavora in ~/Velto318, creata al primo avvio (avvio dal menu)."},
         &RigaDiComando::cartellaUtente},
        {{"invia", "Invia FILE.vlt alla centrale e verifica ogni testo, senza finestre.",
          "FILE.vlt"},
         Lavoro::Invia},
        {{"leggi",
          "Legge i testi 000-192 dalla centrale e li salva in FILE.vlt, senza finestre "
          "(con --impianto anche come nuova versione; lì FILE si può omettere).",
          "FILE.vlt"},
         Lavoro::Leggi},
        {{"stato", "Legge una volta stato, ingressi attivi e ultimo tasto della centrale, "
                   "li stampa ed esce (senza finestre)."},
         Lavoro::Stato},
        {{"confronta",
          "Legge dalla centrale i testi che un invio di FILE.vlt scriverebbe e "
          "stampa quelli diversi, senza scrivere nulla (senza finestre); con --impianto e "
          "senza FILE, confronta con l'ultima versione dell'impianto.",
          "FILE.vlt"},
         Lavoro::Confronta},
        {{"cerca", "Cerca gli identificativi a cui risponde una centrale sulla linea (da &00 a "
                   "&99, prima quello configurato), li elenca ed esce (senza finestre)."},
         Lavoro::Cerca},
        {{"prova",
          "Prova ingressi senza finestre: legge i testi, segue la centrale e stampa ogni "
          "ingresso che si attiva o torna a riposo, finché non scade --durata o arriva Ctrl+C; "
          "poi il riepilogo (esce con 0 se ogni ingresso con testo è stato provato, 1 se no)."},
         Lavoro::Prova},
        {{"impianto",
          "Il lavoro (o --storia, --confronta-versioni, --registro, --rinomina) sull'impianto "
          "NOME del libro impianti/ (maiuscole e minuscole indifferenti): collegamento, "
          "identificativo e linea dall'impianto (--porta, --id, "
          "--rs485 valgono per questa volta), il lavoro nel suo registro. Con --impianto, "
          "--leggi e --confronta seguiti da un'altra opzione (o per ultimi) sono senza FILE. "
          "Con --prova un nome che non è nel libro è solo l'etichetta dei rapporti.",
          "NOME"},
         &RigaDiComando::impianto},
        {{"durata",
          "Con --prova: finisce dopo SECONDI secondi, contati dall'avvio "
          "(lettura dei testi compresa, circa 4 s).",
          "SECONDI"},
         &RigaDiComando::durata},
        {{"rapporto",
          "Con --prova (o --registro, --rapporti-da): alla fine scrive il rapporto in FILE, .csv o "
          ".pdf "
          "secondo l'estensione (anche più volte).",
          "FILE"},
         &RigaDiComando::rapporti},
        {{"tecnico", "Con --prova: il nome del tecnico, per i rapporti.", "TESTO"},
         &RigaDiComando::tecnico},
        {{"traccia", "Aggiunge a FILE una riga per ogni scambio sulla linea seriale.", "FILE"},
         &RigaDiComando::traccia},
        {{"id",
          "Identificativo della centrale per questa volta (es. &45) invece di quello "
          "di Seriale318.con.",
          "&NN"},
         &RigaDiComando::id},
        {{"rs485", "Linea RS485 (con eco) per questa volta, invece di Seriale318.con."},
         &RigaDiComando::rs485},
        {{"nuovo-impianto",
          "Crea l'impianto NOME nel libro impianti/, con il collegamento di --porta, "
          "l'identificativo di --id e la linea di --rs485.",
          "NOME"},
         Libro::Nuovo,
         &RigaDiComando::nuovoImpianto},
        {{"cliente", "Con --nuovo-impianto: il cliente.", "TESTO"}, &RigaDiComando::cliente},
        {{"indirizzo", "Con --nuovo-impianto: l'indirizzo.", "TESTO"}, &RigaDiComando::indirizzo},
        {{"note", "Con --nuovo-impianto: note libere.", "TESTO"}, &RigaDiComando::note},
        {{"senza-copia", "Con --nuovo-impianto: nessuna copia della centrale prima di ogni invio; "
                         "con --invia o --ripristina e --impianto: nessuna copia per questa "
                         "volta (il registro lo dice)."},
         &RigaDiComando::senzaCopia},
        {{"ripristina",
          "Con --impianto: invia alla centrale i testi della versione N (come la elenca "
          "--storia), con prima la copia dei testi che cambiano.",
          "N"},
         &RigaDiComando::ripristina},
        {{"su-impianti",
          "Il lavoro (--stato, --leggi, --confronta senza FILE, o --invia FILE.vlt --si) su "
          "ogni impianto di LISTA (\"tutti\", o nomi separati da virgole), più linee insieme; "
          "un impianto per riga con il suo esito, poi il riepilogo.",
          "LISTA"},
         &RigaDiComando::suImpianti},
        {{"paralleli", "Con --su-impianti: quante linee insieme, al massimo (8 se non detto).",
          "N"},
         &RigaDiComando::paralleli},
        {{"esito", "Con --su-impianti: scrive in FILE (.csv o .json) una riga per impianto.",
          "FILE"},
         &RigaDiComando::esito},
        {{"si", "Con --su-impianti --invia: sì, scrivi i testi in tutte quelle centrali; con "
                "--rimuovi-impianto: sì, sposta l'impianto nell'archivio."},
         &RigaDiComando::si},
        {{"rapporti-da",
          "Rilegge il giornale di una prova ingressi passata (prove/prova-….txt) e ne scrive "
          "i rapporti di --rapporto, senza centrale.",
          "GIORNALE"},
         Libro::Giornale,
         &RigaDiComando::giornale},
        {{"impianti",
          "Elenca gli impianti del libro, uno per riga: nome, collegamento, identificativo, "
          "linea, data dell'ultima versione (o \"mai letto\"); sotto un impianto, una riga che "
          "comincia con ! avvisa di un altro impianto sulla stessa centrale o sulla stessa "
          "linea RS232."},
         Libro::Elenco},
        {{"storia", "Con --impianto: elenca le versioni dell'impianto, dalla più recente."},
         Libro::Storia},
        {{"confronta-versioni",
          "Con --impianto: stampa i testi diversi tra le versioni N e M (senza centrale).", "N M"},
         Libro::ConfrontaVersioni},
        {{"registro",
          "Con --impianto: stampa il registro di manutenzione dell'impianto (con --rapporto "
          "lo scrive in FILE.pdf o FILE.csv)."},
         Libro::Registro},
        {{"esporta-impianti", "Scrive il libro degli impianti in FILE.csv (separato da ;).",
          "FILE.csv"},
         Libro::Esporta,
         &RigaDiComando::csv},
        {{"importa-impianti",
          "Aggiunge al libro gli impianti di FILE.csv; un impianto che c'è già non è "
          "toccato.",
          "FILE.csv"},
         Libro::Importa,
         &RigaDiComando::csv},
        {{"rinomina",
          "Con --impianto: dà all'impianto il nome NUOVO; versioni e registro restano suoi.",
          "NUOVO"},
         Libro::Rinomina,
         &RigaDiComando::rinomina},
        {{"rimuovi-impianto",
          "Toglie l'impianto NOME dal libro: con --si la sua cartella (versioni e registro "
          "compresi) va in archivio/, accanto al libro; senza, dice solo cosa farebbe.",
          "NOME"},
         Libro::Rimuovi,
         &RigaDiComando::rimuoviImpianto},
    };
    return voci;
}

bool SoloConLavoro(const Voce &v) {
    return v.valore == &RigaDiComando::id || v.bandiera == &RigaDiComando::rs485;
}

bool SoloConProva(const Voce &v) {
    return v.numero == &RigaDiComando::durata || v.valore == &RigaDiComando::tecnico;
}

bool SoloConNuovo(const Voce &v) {
    return v.valore == &RigaDiComando::cliente || v.valore == &RigaDiComando::indirizzo ||
           v.valore == &RigaDiComando::note || v.bandiera == &RigaDiComando::senzaCopia;
}

QString OpzioniDeiLavori(const QString &congiunzione) {
    QStringList nomi;
    for (int l = int(Lavoro::Invia); l <= int(Lavoro::Prova); ++l)
        for (const Voce &v : Voci())
            if (v.lavoro == Lavoro(l)) nomi << QStringLiteral("--") + v.nome();
    const QString ultima = nomi.takeLast();
    return nomi.join(QStringLiteral(", ")) + QLatin1Char(' ') + congiunzione + QLatin1Char(' ') +
           ultima;
}

} // namespace Opzioni
