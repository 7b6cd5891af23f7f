#pragma once
// The address of a panel behind a serial device server, as the user writes it:
//   tcp://HOST:PORT      raw TCP; socket://HOST:PORT is the same;
//   rfc2217://HOST:PORT  Telnet with COM Port Control (RFC 2217).
// An IPv6 address goes in brackets: tcp://[fe80::1]:4001. The scheme may be
// in either case, blanks around the address and one final "/" do not count.
//
// Plain text functions, Qt Core only.

#include <QString>

// Whether the text is a network address of the forms above (by its scheme:
// a malformed address is still one, and fails when it is opened).
bool IndirizzoDiRete(const QString &testo);

// What the parts of an address are; `errore` (Italian) says what is wrong,
// empty when it is well formed.
struct Indirizzo {
    bool rfc2217 = false;
    QString host;
    quint16 porta = 0;
    QString errore;
};
Indirizzo LeggiIndirizzo(const QString &testo);
