#pragma once
// The test cycle, without windows: the texts of the alarm windows read and
// confirmed, then the panel's status, its three input groups and the key
// pressed, each reply decoded. Test mode paints what it decodes, --prova
// prints it, the walk test's record keeps it: each as an observer. The
// exchanges go through the link's globals (FormSeriale::Istanza().Scambia,
// V::Risposta, V::ErroreSeriale), as every exchange of the tool does.

#include "link/Comandi.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace Prova {
class Registro;
}

class CicloTest {
  public:
    // One exchange, as it ended: answered, or failed (no reply, or replies
    // that were not whole: FormSeriale::NonIntera()), and how long it took.
    struct Scambio {
        Comandi::Codice codice;
        bool risposto;
        double millisecondi;
    };

    // Each is told in the order the observers were added.
    class Osservatore {
      public:
        virtual ~Osservatore() = default;
        // Every exchange run through Scambia, the cycle's and any other, as
        // soon as it ends: its reply (or the no-reply marker) in V::Risposta.
        virtual void Scambiato(const Scambio &) {}
        // An exchange of the cycle failed: nothing was decoded from it.
        virtual void Fallito(Comandi::Codice) {}
        // Texts `primo` and `primo` + 1, run together, read and confirmed.
        virtual void Testi(int /*primo*/, const QString & /*testi*/) {}
        // The texts of the 44 alarm windows are all loaded.
        virtual void TestiCaricati(const QStringList & /*ingressi*/) {}
        virtual void Stato(const QString & /*stato*/) {}
        virtual void Ingressi(int /*gruppo*/, const QList<Comandi::Ingresso> &) {}
        virtual void Tasto(const QString & /*etichetta*/) {}
    };

    // `finito` says when the cycle is to stop: a text read gives up, and
    // the input groups and the key left of a test cycle are not asked.
    explicit CicloTest(std::function<bool()> finito);

    void Aggiungi(Osservatore *osservatore);

    // One exchange, told to the observers. True when the panel answered, as
    // V::ErroreSeriale stands once they were told (a wait of theirs may have
    // let other exchanges run).
    // globals as FormSeriale::Scambia
    bool Scambia(Comandi::Codice codice, const QString &parametro = QString());

    // Text NumeroTre, asked again until the panel's text can be trusted: the
    // link refuses a reply that is not whole, and a text that came after a
    // repeat or with something behind it must come twice the same. None
    // when the cycle stopped first.
    // reads Identificativo, NumeroTre; writes DatiRisposta; runs exchanges
    std::optional<QString> LeggiTesto();
    // The texts of the 44 alarm windows; with `righe`, then those of the
    // rest message, end of cycle and name lines (176, 178, 180). False when
    // the cycle stopped first.
    // reads Identificativo; writes NumeroTesto, NumeroTre, DatiRisposta; runs exchanges
    bool CaricaTesti(bool righe);

    // One test cycle: status, input groups 1 to 3, key.
    // reads Identificativo; writes Risposta; runs exchanges
    void Giro();
    // Its steps. Each leaves in V::Risposta the data of its reply.
    // reads Identificativo; writes Risposta; runs exchanges
    void LeggiStato();
    void LeggiIngressi();
    void LeggiTasto();

  private:
    std::optional<QString> leggiCoppia(int primo);
    template <class F> void di(F &&f) {
        for (Osservatore *o : osservatori_)
            f(*o);
    }

    std::function<bool()> finito_;
    std::vector<Osservatore *> osservatori_;
};

// The walk test's record listening to the cycle. An exchange cut short by
// the closing of the test window says nothing of the line.
class AscoltoProva : public CicloTest::Osservatore {
  public:
    explicit AscoltoProva(Prova::Registro &registro) : registro_(registro) {}
    void Scambiato(const CicloTest::Scambio &s) override;
    void TestiCaricati(const QStringList &ingressi) override;
    void Stato(const QString &stato) override;
    void Ingressi(int gruppo, const QList<Comandi::Ingresso> &ingressi) override;
    void Tasto(const QString &etichetta) override;

  private:
    Prova::Registro &registro_;
};
