#include "runtime/program.h"

#include "runtime/library.h"
#include "runtime/platform.h"

namespace bv {

namespace {
int g_event_block = 0;
EndCallback g_end_callback = nullptr;
EndSequence g_end_sequence = nullptr;
}  // namespace

void BlockEvents() { ++g_event_block; }
void UnblockEvents() {
  if (g_event_block > 0) --g_event_block;
}
bool EventsBlocked() { return g_event_block > 0; }

void SetEndCallback(EndCallback cb) { g_end_callback = cb; }
void ForgetEndCallback() { g_end_callback = nullptr; }

void SetEndSequence(EndSequence seq) { g_end_sequence = seq; }

void RunEndCallbackAndNotify() {
  if (EndCallback cb = g_end_callback) {
    g_end_callback = nullptr;  // once, even if the callback ends the program itself
    cb();
  }
  NotifyLibraries(kNotifyEnd, 0);
}

void EndProgram(int exit_code) {
  if (g_end_sequence) {
    g_end_sequence(exit_code);
  } else {
    BlockEvents();
    RunEndCallbackAndNotify();
  }
  platform::ExitProcessNow(exit_code);
}

}  // namespace bv
