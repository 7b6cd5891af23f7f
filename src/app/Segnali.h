#pragma once
class QWidget;

// On Unix, SIGTERM and SIGINT close the given window as its close box would,
// and hide any modal window over it, so the port is closed and the
// application ends from whatever wait it is in.
void ChiudiSuSegnale(QWidget *finestra);
