// The program frame on Windows: start, initialisation, the message loop and
// the end sequence. Everything runs on the main thread; other threads can only
// ask for the end, which reaches the main thread through the hidden window.
#include <objbase.h>
#include <ole2.h>
#include <windows.h>

#include <iterator>
#include <string>
#include <vector>

#include "runtime/fatal.h"
#include "runtime/library.h"
#include "runtime/program.h"
#include "runtime/service.h"
#include "runtime/texts.h"
#include "runtime/value.h"
#include "runtime/win/wide_text.h"
#include "ui/frame.h"
#include "ui/unit_offer.h"
#include "ui/win/native_unit.h"
#include "ui/win/program_libraries.h"

namespace bv {

namespace {

// An end asked for on another thread, sent to the hidden window.
constexpr UINT kMsgEndRequest = WM_APP + 0x3E7;
// The system's internal timer message (caret blinking and the like); the
// platform headers do not name it.
constexpr UINT kMsgSystemTimer = 0x0118;
const wchar_t kHiddenClass[] = L"BrisvaleHiddenMessageWindow";

struct IdleEntry {
  HWND hwnd;
  IdleCallback fn;
  void* arg;
};

struct AppState {
  ProgramDefinition definition{};
  DWORD main_thread = 0;
  HWND hidden = nullptr;
  bool ole_started = false;
  bool loop_started = false;
  bool end_begun = false;
  int quit_code = 0;
  std::vector<IdleEntry> idle;
};

AppState& App() {
  static AppState app;
  return app;
}

LRESULT CALLBACK HiddenWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kMsgEndRequest) EndProgram(static_cast<int>(wp));
  return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND CreateHiddenWindow() {
  win::WindowClassShape shape;
  shape.name = kHiddenClass;
  shape.proc = HiddenWindowProc;
  if (!win::EnsureWindowClass(shape)) return nullptr;
  return CreateWindowExW(WS_EX_TOOLWINDOW, kHiddenClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                         win::ModuleInstance(), nullptr);
}

void OnLastWindowGone() {
  if (App().loop_started) PostQuitMessage(0);
}

bool TemplateReadable(const ProgramDefinition& d) {
  if (!d.windows || d.window_count <= 0) return false;
  for (std::int32_t i = 0; i < d.window_count; ++i) {
    const WindowTemplate* w = d.windows[i];
    if (!w || !w->units || w->unit_count < 1 || (w->binding_count > 0 && !w->bindings)) return false;
  }
  return true;
}

void RunEndSequence(int exit_code) {
  AppState& app = App();
  BlockEvents();
  if (app.main_thread && GetCurrentThreadId() != app.main_thread) {
    // An end asked on another thread (ui/unit_offer.h) runs on the main
    // thread; should it not have begun there, the process ends from here.
    if (app.hidden && IsWindow(app.hidden)) SendMessageW(app.hidden, kMsgEndRequest, static_cast<WPARAM>(exit_code), 0);
    if (!app.end_begun) ExitProcess(static_cast<UINT>(exit_code));
    return;
  }
  if (app.end_begun) return;  // an end within the end: the process just goes
  app.end_begun = true;
  app.idle.clear();
  ReleaseProgramWindows();
  RunEndCallbackAndNotify();
  if (app.hidden) {
    DestroyWindow(app.hidden);
    app.hidden = nullptr;
  }
  if (app.ole_started) {
    app.ole_started = false;
    OleUninitialize();
  }
}

std::intptr_t EndCallbackService(std::intptr_t fn, std::intptr_t) {
  SetEndCallback(reinterpret_cast<EndCallback>(fn));
  return 0;
}
std::intptr_t InitializeService(std::intptr_t, std::intptr_t) {
  InitializeProgram();
  return 0;
}

// Keyboard navigation: the windows along the target's parent chain get the
// key first, as a dialog would take it.
bool PreTranslate(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  for (HWND h = msg.hwnd; h; h = GetParent(h)) {
    if (!(GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) return IsDialogMessageW(h, &msg) != 0;
  }
  return false;
}

// Paint, the system timer and a mouse move that stays where the previous mouse
// message was do not bring the idle phase back.
bool RearmsIdle(const MSG& msg) {
  static UINT last_mouse_msg = 0;
  static POINT last_pt{-1, -1};
  if (msg.message == WM_PAINT || msg.message == kMsgSystemTimer) return false;
  bool mouse = (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ||
               (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCMBUTTONDBLCLK);
  if (!mouse) return true;
  bool repeat = (msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE) && last_mouse_msg == msg.message &&
                msg.pt.x == last_pt.x && msg.pt.y == last_pt.y;
  last_mouse_msg = msg.message;
  last_pt = msg.pt;
  return !repeat;
}

void RunIdleCallbacks() {
  std::vector<IdleEntry>& idle = App().idle;
  for (std::size_t i = idle.size(); i-- > 0;) {
    if (i >= idle.size()) continue;  // a callback may have changed the list
    if (!IsWindow(idle[i].hwnd)) {
      idle.erase(idle.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    IdleEntry entry = idle[i];
    entry.fn(entry.arg);
  }
}

}  // namespace

int RunProgram(const ProgramDefinition& definition, int (*entry)()) {
  AppState& app = App();
  app.definition = definition;
  SetEndSequence(RunEndSequence);
  RegisterService(3, EndCallbackService);
  RegisterService(6, InitializeService);
  app.quit_code = 0;
  if (entry) entry();
  // The entry is back once the loop has ended: the frame's exit work follows.
  RunEndSequence(app.quit_code);
  return app.quit_code;
}

void InitializeProgram() {
  AppState& app = App();
  // Runtime allocations already come from the process heap (runtime/platform).
  if (!app.ole_started && SUCCEEDED(OleInitialize(nullptr))) app.ole_started = true;

  // The folder keeps the 260-byte limit of its GBK form, whatever the wide
  // call could take; a path cut short by the platform names nothing.
  static wchar_t path[32768];  // the platform's longest path
  const DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  char gbk[MAX_PATH];
  const std::int32_t bytes = n > 0 && n < std::size(path) ? wide::PathToGbk(path, gbk, sizeof gbk) : -1;
  const std::string full = bytes > 0 ? std::string(gbk, static_cast<std::size_t>(bytes)) : std::string();
  const std::size_t slash = full.rfind('\\');
  if (slash != std::string::npos && slash > 0) {
    const std::string folder = full.substr(0, slash);
    // "C:" alone would name the drive's current folder, not its root.
    const std::string target = folder.back() == ':' ? folder + "\\" : folder;
    SetCurrentDirectoryW(wide::Wide(target.c_str()).c_str());
  }

  if (!app.hidden) app.hidden = CreateHiddenWindow();
  app.main_thread = GetCurrentThreadId();
  if (app.definition.constant_block_size > 0)
    RegisterConstantRange(app.definition.constant_block, app.definition.constant_block_size);

  InstallProgramLibraries();
  for (int i = 0; i < kLibraryCount; ++i) {
    const LibraryInfo* lib = GetLibrary(i);
    if (lib && lib->notify) lib->notify(kNotifyStart, reinterpret_cast<std::intptr_t>(&RuntimeService));
  }

  if (!TemplateReadable(app.definition)) FatalRuntimeError(texts::kTemplateUnreadable);
  RegisterProgramUnitTypes();
  InstallProgramWindows(app.definition.windows, app.definition.window_count, app.definition.handlers,
                        app.definition.handler_count);
  RegisterUnitServices();
  SetLastWindowGoneHook(OnLastWindowGone);
}

void RunMessageLoop() {
  AppState& app = App();
  app.loop_started = true;
  if (!AnyProgramWindowOpen()) return;

  MSG msg;
  bool idle = true;
  for (;;) {
    while (idle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      RunIdleCallbacks();
      idle = false;  // no idle work here asks for more
    }
    do {
      BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0) {
        app.quit_code = static_cast<int>(msg.wParam);
        return;
      }
      if (got == -1) return;
      if (!PreTranslate(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      if (RearmsIdle(msg)) idle = true;
    } while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  }
}

void AddIdleCallback(void* native_window, IdleCallback fn, void* arg) {
  if (fn) App().idle.push_back({static_cast<HWND>(native_window), fn, arg});
}

}  // namespace bv
