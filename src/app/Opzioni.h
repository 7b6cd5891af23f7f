#pragma once
// The options of the command line as one table, in the order of the help:
// shared by the reading of the line and its help; callers use
// RigaDiComando.h.

#include "app/RigaDiComando.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace Opzioni {

// One option of the tool: how the line names it and the field of the record
// it fills (a flag, a value, or a job with its file when it takes one).
struct Voce {
    QCommandLineOption opzione;
    bool RigaDiComando::*bandiera = nullptr;
    QString RigaDiComando::*valore = nullptr;
    Lavoro lavoro = Lavoro::Nessuno;
    QStringList RigaDiComando::*valori = nullptr; // an option that may come more than once
    int RigaDiComando::*numero = nullptr;         // a whole number above zero
    Libro libro = Libro::Nessuna;                 // a work on the site book (with its value)

    Voce(QCommandLineOption o, bool RigaDiComando::*b) : opzione(std::move(o)), bandiera(b) {}
    Voce(QCommandLineOption o, QString RigaDiComando::*v) : opzione(std::move(o)), valore(v) {}
    Voce(QCommandLineOption o, Lavoro l) : opzione(std::move(o)), lavoro(l) {}
    Voce(QCommandLineOption o, QStringList RigaDiComando::*v) : opzione(std::move(o)), valori(v) {}
    Voce(QCommandLineOption o, int RigaDiComando::*n) : opzione(std::move(o)), numero(n) {}
    Voce(QCommandLineOption o, Libro l, QString RigaDiComando::*v = nullptr)
        : opzione(std::move(o)), valore(v), libro(l) {}
    QString nome() const { return opzione.names().last(); }
    bool conValore() const { return !opzione.valueName().isEmpty(); }
};

// Every option of the tool: one line each, in the order of the help.
const QList<Voce> &Voci();

// The options that change the link of a job, and mean nothing without one.
bool SoloConLavoro(const Voce &v);
// The options of the walk test, and meaning nothing without it.
bool SoloConProva(const Voce &v);
// The details of a new site, meaning nothing without --nuovo-impianto.
bool SoloConNuovo(const Voce &v);

// The options of the jobs, "--invia, --leggi, --stato, --cerca, --confronta e --prova"
// with `congiunzione` before the last.
QString OpzioniDeiLavori(const QString &congiunzione);

// The text of --help: the use, then every option with its description.
QString Aiuto();

} // namespace Opzioni
