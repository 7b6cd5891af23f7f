#pragma once
// How the programming window shows the jobs of Operazioni: the status lines
// Text1 and Text2, the progress bar, and the acknowledge button for a failure.

#include "programming/FormScriveMessaggi.h"
#include "jobs/Operazioni.h"

#include <QLineEdit>

struct FormScriveMessaggi::Vista : Operazioni::Osservatore {
    explicit Vista(FormScriveMessaggi &finestra) : f(finestra) {}
    void Riga1(const QString &testo) override { f.Text1->setText(testo); }
    void Riga2(const QString &testo) override { f.Text2->setText(testo); }
    void Avanzamento(const QString &fase, int fatti, int totale) override {
        f.avanzamento(fase, fatti, totale);
    }
    // reads MessaggioErrore; writes Interrompi
    void Conferma() override { f.AspettaConferma(); }
    FormScriveMessaggi &f;
};
