#include <windows.h>

#include "ui/frame.h"
#include "ui/main_window.h"

namespace {

// Until the tool's logic takes its place: the window comes up, no handler is
// bound, and closing it ends the program.
int InterimEntry() {
  bv::InitializeProgram();
  bv::LoadWindow(bv::kMainWindow);
  bv::RunMessageLoop();
  return 0;
}

const bv::EventHandler kHandlers[bv::kHandlerCount] = {};  // null: unbound
const bv::WindowTemplate* const kWindows[] = {&bv::MainWindowTemplate()};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const bv::ProgramDefinition program = {kWindows, 1, kHandlers, bv::kHandlerCount, nullptr, 0};
  return bv::RunProgram(program, InterimEntry);
}
