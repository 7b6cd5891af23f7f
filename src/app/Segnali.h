#pragma once
class QWidget;

// On Unix, SIGTERM and SIGINT close the given window as its close box would,
// and hide any modal window over it, so the port is closed and the
// application ends from whatever wait it is in. The first signal of a kind
// asks for that; a second one of the same kind ends the process at once, as
// if no handler were set (for a process where no event pump runs).
void ChiudiSuSegnale(QWidget *finestra);
