// Program-wide state shared by the runtime, the units and the program frame:
// the event block counter, the logic's end callback and the end of the program.
#pragma once

#include <cstdint>

namespace bv {

// ---- Event block counter -------------------------------------------------------
// While above 0, no event reaches a handler. Window building raises and lowers
// it; a fatal error and the program end raise it for good.
void BlockEvents();
void UnblockEvents();  // never below 0
bool EventsBlocked();

// ---- End callback --------------------------------------------------------------
using EndCallback = void (*)();
// A later registration replaces an earlier one.
void SetEndCallback(EndCallback cb);
void ForgetEndCallback();

// ---- End of the program --------------------------------------------------------
// The program frame installs the full end sequence; until it does, EndProgram
// runs the default one (events blocked, end callback once, libraries told).
using EndSequence = void (*)(int exit_code);
void SetEndSequence(EndSequence seq);
// Runs the end sequence, then ends the process with `exit_code`. Never returns.
[[noreturn]] void EndProgram(int exit_code);
// The default sequence, also usable as a part of the full one: calls the end
// callback once (then forgets it) and sends library notification 6.
void RunEndCallbackAndNotify();

}  // namespace bv
