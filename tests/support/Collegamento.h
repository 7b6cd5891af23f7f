#pragma once
// Starts the panel simulator in a folder and opens the tool's link on it (COM1).

#include "Simulatore.h"

#include <QStringList>
#include <memory>

// Null when the simulator did not start or the port did not open.
std::unique_ptr<Simulatore> AvviaECollega(const QString &cartella,
                                          const QStringList &argomenti = {"--fast"});

// How many of the commands start with the given text.
int Conta(const QStringList &comandi, const QString &inizio);
