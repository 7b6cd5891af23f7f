#pragma once
#include <functional>

class QWidget;

// On Unix, SIGTERM, SIGINT and SIGHUP set Interruzione to the signal's number
// (at the next event pump, not inside the handler), then `poi` runs. Nothing
// is cut short: the exchange in progress ends as usual and the jobs stop at
// their next test of Interruzione. The first signal of a kind asks for that;
// a second one of the same kind ends the process at once, as if no handler
// were set (for a process where no event pump runs). SIGPIPE is ignored: a
// write to a closed pipe fails, and the job goes on to its end.
// writes Interruzione
void FermaSuSegnale(std::function<void()> poi = {});

// The windows: as FermaSuSegnale; then a send, read-back or comparison that
// is exchanging with the panel stops after the exchange in progress and its
// window closes (saying on the standard error what the panel holds), while
// otherwise the given window is closed at once as its close box would, and
// any modal window over it is hidden, so that no wait is left waiting. An
// open editor's unsaved edits, and texts read waiting in the save window,
// are first written to a file of their own.
// writes Interruzione
void ChiudiSuSegnale(QWidget *finestra);
