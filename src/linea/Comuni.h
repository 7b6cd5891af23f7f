#pragma once
// What the line's windows share: how their buttons and labels are made, and
// the observer that shows a job's progress in its window. For the files of
// this folder only.

#include "jobs/Operazioni.h"
#include "linea/FinestreLinea.h"
#include "shared/Variabili.h"
#include "widgets/Aspetto.h"

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace Finestre {

// A button that Enter presses when it has the focus, never the default one.
QPushButton *NuovoPulsante(QWidget *padre, const char *nome, const QString &testo);
// A label of plain text that wraps and can be selected and copied.
QLabel *NuovaEtichetta(QWidget *padre, const char *nome);

// The window's size, from its table in twips.
void Dimensiona(QWidget *finestra, const Twips &misura);

// A job's observer shown in its window; the status lines are the window's own.
struct Osserva : Operazioni::Osservatore {
    explicit Osserva(FinestraLavoro &finestra) : f(finestra) {}
    void Riga1(const QString &) override {}
    void Riga2(const QString &) override {}
    void Conferma() override {}
    void Avanzamento(const QString &fase, int fatti, int totale) override {
        f.Avanzamento(fase, fatti, totale);
    }
    bool Fermato() override { return f.Fermato() || V::ChiusuraRichiesta; }
    FinestraLavoro &f;
};

} // namespace Finestre
