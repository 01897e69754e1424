// The program frame: start, the services the logic's entry calls, the message
// loop and the end of the program.
#pragma once

#include <cstdint>

#include "ui/unit_model.h"

namespace bv {

struct ProgramDefinition {
  const WindowTemplate* const* windows;
  std::int32_t window_count;
  const EventHandler* handlers;
  std::int32_t handler_count;
  const void* constant_block;  // the logic's literals and the empty constants
  std::int32_t constant_block_size;
};

// The process entry's start routine: remembers the definition, calls the
// logic's entry once, then runs the end sequence with the quit code and
// returns the process exit code.
int RunProgram(const ProgramDefinition& definition, int (*entry)());

// Service 6: initialise the runtime for the program (first thing the entry does).
void InitializeProgram();
// Builds a window from its template and raises its created event; failure is
// the fatal "载入启动窗口失败".
void LoadWindow(WindowId window);
// Runs the message loop while a program window exists; returns at once when none does.
void RunMessageLoop();

}  // namespace bv
