#include "shared/Variabili.h"

namespace Variabili {

QString Comando;
qint16 LunghezzaRisposta = 0;
QString Risposta;
bool ErroreSeriale = false;
bool SerialeOccupata = false;
float ScadenzaRisposta = 0.0f;
QString DatiRisposta;

QString NumeroPorta;
QString Identificativo;
bool Modo485 = false;

QString Scelta;
QString NomeFile;
bool Interrompi = false;
QString MessaggioErrore;
QString CommentoProposto;
QString CorpoFile;

std::array<QString, NumeroTesti> Testi;
qint16 NumeroTesto = 0;
QString NumeroTre;

float FineAttesa = 0.0f;
bool ChiusuraRichiesta = false;
int Interruzione = 0;
bool NessunaRispostaDetta = false;

void Azzera() {
    Comando.clear();
    LunghezzaRisposta = 0;
    Risposta.clear();
    ErroreSeriale = false;
    SerialeOccupata = false;
    ScadenzaRisposta = 0.0f;
    DatiRisposta.clear();
    NumeroPorta.clear();
    Identificativo.clear();
    Modo485 = false;
    Scelta.clear();
    NomeFile.clear();
    Interrompi = false;
    MessaggioErrore.clear();
    CommentoProposto.clear();
    CorpoFile.clear();
    for (QString &t : Testi)
        t.clear();
    NumeroTesto = 0;
    NumeroTre.clear();
    FineAttesa = 0.0f;
    ChiusuraRichiesta = false;
    Interruzione = 0;
    NessunaRispostaDetta = false;
}

} // namespace Variabili
