#pragma once
// Leaves every open key line up when the program ends without closing it: a signal that ends
// the program (terminate, interrupt, hang-up, quit, broken pipe, CPU limit) or a crash
// (segmentation fault, bus error, illegal instruction, arithmetic fault, abort). The handler
// raises the lines and then lets the handler that was there before (a sanitizer's, or the
// default action) end the program as it would have.
//
// A process killed with SIGKILL runs no handler: the port's hang-up on close (HUPCL) drops the
// line instead, which leaves the key up for a line that keys while asserted.

#include "rig/SerialCalls.h"

namespace cwt::keysafety {

// Installs the handlers; once per process, later calls do nothing.
void InstallSignalHandlers();

// A line the handlers raise with `request` and `bits` on `fd`, through `calls`. Returns its
// slot, or -1 when every slot is taken.
int Register(int fd, const SerialCalls& calls, unsigned long request, int bits);
void Unregister(int slot);

// Raises every registered line and keeps keying threads from keying down again. Safe in a
// signal handler.
void RaiseAll();
// True once RaiseAll has run: the program is ending.
bool Ending();

}  // namespace cwt::keysafety
