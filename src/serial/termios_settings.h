#pragma once
// Translation between the port's seven line settings and a terminal
// device's termios record. Pure functions: no device is touched here, so the
// rules for every field can be tested without a serial line.

#include <termios.h>

#include "serial/port_settings.h"

namespace kelvt {

// The termios speed constant for a rate in bits per second; B0 when the
// rate has no constant of its own (B0 is never a valid line rate here).
speed_t SpeedForRate(long baud);
// Bits per second for a termios speed constant; -1 for one we do not know.
long RateForSpeed(speed_t speed);

// The device's configuration as the port reports it: rate (or -1), parity
// letter ('?' for a mode we do not know), data bits, stop-bits code (0 one,
// 2 two), DTR and RTS -1 (the device is not asked), XON/XOFF from IXON.
PortSettings SettingsFromTermios(const termios& t);

// Puts the port into binary mode: no line editing, no echo, no signals, no
// output processing, no character translation, and received bytes delivered
// untouched (no parity check, no marking, no stripping). The receiver is on
// and modem-status lines are ignored.
void MakeRaw(termios& t);

// Edits `t` so that it carries `s`, starting from what `t` already holds:
//  - rate: at most 19200 or exactly 38400 is set; a higher rate leaves the
//    rate alone; a non-positive one (the "unknown" -1) too;
//  - parity (upper-cased) E, M, N, O, S; any other letter leaves it alone;
//  - word length 5..8; other values leave it alone;
//  - stop bits: code 0 one, codes 1 and 2 two; others leave it alone;
//  - XON/XOFF: input and output flow control both follow the flag.
// Returns 0, or -97 when a rate that should be set has no termios speed.
// `speed_set` tells which speed was set (B0 when the rate was left alone).
int EditTermios(const PortSettings& s, termios& t, speed_t* speed_set);

}  // namespace kelvt
