// The program frame: start, the folder it runs in, the loop, and the ways the
// program ends with their exit codes and end callbacks.
#include <gtest/gtest.h>

#include <string>

#include "runtime/internet.h"
#include "runtime/library.h"
#include "runtime/program.h"
#include "runtime/service.h"
#include "runtime/shell.h"
#include "runtime/value.h"
#include "runtime/win/wide_text.h"
#include "tests/win/support/program_scenario.h"
#include "tests/win/support/win_test.h"
#include "ui/drag_drop_library.h"
#include "ui/frame.h"
#include "ui/main_window.h"
#include "ui/win/core_library.h"

namespace {

using bvtest::Fact;

const bv::WindowTemplate* const kWindows[] = {&bv::MainWindowTemplate()};
const bv::EventHandler kNoHandlers[bv::kHandlerCount] = {};

int RunMain(int (*entry)()) {
  bvtest::EnsureDropTargetType();
  const bv::ProgramDefinition program = {kWindows, 1, kNoHandlers, bv::kHandlerCount, nullptr, 0};
  return bv::RunProgram(program, entry);
}

void EndCallbackFact() { Fact("end_callback", 1); }
void FirstEndCallback() { Fact("first_end_callback", 1); }

HWND MainHwnd() { return bvtest::NativeOf(bv::kMainWindow, bv::kMainWindowUnit); }

// ---- Keys and the close box -----------------------------------------------------

HWND UnitHwnd(bv::UnitId unit) { return bvtest::NativeOf(bv::kMainWindow, unit); }

// Runs once the queue is empty: the Tab posted before it has been handled.
void CALLBACK CloseTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  Fact("tab_reached_button2", GetFocus() == UnitHwnd(bv::kButton2));
  PostMessageA(MainHwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
}

int CloseEntry() {
  bv::InitializeProgram();
  // Through the service gate, as the logic registers it; the second one wins.
  bv::RuntimeService(3, reinterpret_cast<std::intptr_t>(&FirstEndCallback), 0);
  bv::RuntimeService(3, reinterpret_cast<std::intptr_t>(&EndCallbackFact), 0);
  bv::LoadWindow(bv::kMainWindow);
  SetFocus(UnitHwnd(bv::kButton1));
  PostMessageA(UnitHwnd(bv::kButton1), WM_KEYDOWN, VK_TAB, 0);
  SetTimer(nullptr, 0, 300, CloseTimer);
  bv::RunMessageLoop();
  Fact("loop_returned", 1);
  return 0;
}

BVTEST_CHILD(close_box) { return RunMain(CloseEntry); }

// Keys reach the window's units as in a dialog: Tab moves the focus along.
TEST(ProgramLoop, TabMovesTheFocusAndTheCloseBoxEndsWithZeroAfterTheLastEndCallback) {
  bvtest::FactLog log;
  EXPECT_EQ(bvtest::RunChild("close_box"), 0) << log.Raw();
  EXPECT_EQ(log.Facts()["tab_reached_button2"], "1");
  EXPECT_EQ(log.Count("loop_returned"), 1);
  EXPECT_EQ(log.Count("end_callback"), 1);
  EXPECT_EQ(log.Count("first_end_callback"), 0);
}

// ---- Templates and the load ------------------------------------------------------

// A unit type that makes a window like the window type's, under its own code.
constexpr bv::TypeCode kLookalike = bv::UnitTypeCode(bv::kCoreLibrary, 99);

const bv::WindowTemplate& Main() { return bv::MainWindowTemplate(); }
const bv::UnitTemplate kOddUnits[] = {
    Main().units[0],
    {0x16010001, "x", 0x00090009, 0, 0, 10, 10, 1, 0, nullptr, nullptr, 0},  // a type nobody registered
};
const bv::UnitTemplate kLookalikeUnits[] = {[] {
  bv::UnitTemplate u = Main().units[0];
  u.type = kLookalike;
  return u;
}()};
const bv::WindowTemplate kElsewhere = {0x52010099, Main().units, Main().unit_count, nullptr, 0};
const bv::WindowTemplate kOddWindow = {bv::kMainWindow, kOddUnits, 2, nullptr, 0};
const bv::WindowTemplate kUnitless = {bv::kMainWindow, nullptr, 0, nullptr, 0};
const bv::WindowTemplate kLedByLookalike = {bv::kMainWindow, kLookalikeUnits, 1, nullptr, 0};
const bv::WindowTemplate kWindowAlone = {bv::kMainWindow, Main().units, 1, nullptr, 0};

const struct {
  const char* name;
  const bv::WindowTemplate* tmpl;  // the program's one window; null: none
  const char* fatal;               // the message of the fatal error; null: the window loads
} kLoads[] = {
    {"no_template", nullptr, "载入窗口模板数据段出错!"},
    {"unitless", &kUnitless, "载入窗口模板数据段出错!"},
    {"main_window_missing", &kElsewhere, "载入启动窗口失败"},
    {"unregistered_type", &kOddWindow, "载入启动窗口失败"},
    {"first_unit_not_the_window", &kLedByLookalike, "载入启动窗口失败"},
    {"window_alone", &kWindowAlone, nullptr},
};

// Runs the program whose template kLoads names by the child's argument.
BVTEST_CHILD(load) {
  static const bv::WindowTemplate* windows[1] = {};
  for (const auto& load : kLoads)
    if (bvtest::ChildArgs().at(0) == load.name) windows[0] = load.tmpl;
  const bv::ProgramDefinition program = {windows[0] ? windows : nullptr, windows[0] ? 1 : 0, kNoHandlers,
                                         bv::kHandlerCount, nullptr, 0};
  return bv::RunProgram(program, +[]() {
    bv::SetEndCallback(EndCallbackFact);
    bv::InitializeProgram();
    static bv::UnitTypeRecord lookalike = *bv::FindUnitType(bv::kUnitWindow);
    lookalike.code = kLookalike;
    bv::RegisterUnitType(&lookalike);
    bv::LoadWindow(bv::kMainWindow);
    Fact("returned_from_load", 1);
    return 0;
  });
}

TEST(ProgramStart, TemplateThatCannotBeLoadedIsFatal) {
  for (const auto& load : kLoads) {
    bvtest::FactLog log;
    bvtest::SeenBox box;
    const long code = load.fatal ? bvtest::RunChildAnswering("load", load.name, "错误", IDOK, &box)
                                 : bvtest::RunChild("load", load.name);
    EXPECT_EQ(code, load.fatal ? -1 : 0) << load.name;
    EXPECT_EQ(box.text, load.fatal ? std::string("运行时出错!\r\n\r\n错误信息：") + load.fatal + "\r\n" : "") << load.name;
    EXPECT_EQ(log.Count("returned_from_load"), load.fatal ? 0 : 1) << load.name << log.Raw();
    EXPECT_EQ(log.Count("end_callback"), load.fatal ? 0 : 1) << load.name;
  }
}

// Only what a build stirs up is kept from the handlers: a click that waits
// when another window is loaded reaches its handler first.
void ClickFact(const bv::EventCall&) { Fact("clicked", 1); }

BVTEST_CHILD(click_then_load) {
  static const bv::WindowTemplate* const windows[] = {&Main(), &kElsewhere};
  const bv::EventHandler handlers[bv::kHandlerCount] = {nullptr, ClickFact};
  bvtest::EnsureDropTargetType();
  const bv::ProgramDefinition program = {windows, 2, handlers, bv::kHandlerCount, nullptr, 0};
  return bv::RunProgram(program, +[]() {
    bv::InitializeProgram();
    bv::LoadWindow(bv::kMainWindow);
    const HWND button = UnitHwnd(bv::kButton1);
    const WPARAM click = MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED);
    PostMessageA(MainHwnd(), WM_COMMAND, click, reinterpret_cast<LPARAM>(button));
    bv::LoadWindow(kElsewhere.id);
    Fact("loaded", 1);
    return 0;
  });
}

TEST(ProgramStart, ClickWaitingWhenAnotherWindowIsLoadedReachesItsHandler) {
  bvtest::FactLog log;
  EXPECT_EQ(bvtest::RunChild("click_then_load"), 0) << log.Raw();
  EXPECT_EQ(log.Raw(), "clicked=1\nloaded=1\n");
}

// ---- Ending from another thread -------------------------------------------------

DWORD WINAPI EndFromThread(void*) {
  bv::EndProgram(7);
}

int OtherThreadEntry() {
  bv::InitializeProgram();
  bv::SetEndCallback(EndCallbackFact);
  bv::LoadWindow(bv::kMainWindow);
  HANDLE t = CreateThread(nullptr, 0, EndFromThread, nullptr, 0, nullptr);
  if (t) CloseHandle(t);
  bv::RunMessageLoop();
  Fact("loop_returned", 1);
  return 0;
}
BVTEST_CHILD(other_thread) { return RunMain(OtherThreadEntry); }

TEST(ProgramEnd, EndAskedByAnotherThreadRunsOnTheMainThread) {
  bvtest::FactLog log;
  EXPECT_EQ(bvtest::RunChild("other_thread"), 7) << log.Raw();
  EXPECT_EQ(log.Count("end_callback"), 1);  // the main thread's end sequence ran it
  EXPECT_EQ(log.Count("loop_returned"), 0);
}

// ---- Start ------------------------------------------------------------------------

// The current directory in GBK, as the program names paths.
std::string CurrentDirGbk() {
  wchar_t cwd[MAX_PATH * 2] = {};
  GetCurrentDirectoryW(MAX_PATH * 2, cwd);
  return bvtest::GbkFromWide(cwd);
}

int FolderEntry() {
  bv::InitializeProgram();
  Fact("cwd", CurrentDirGbk());
  // Each library under the number the logic names it by.
  const bv::LibraryInfo* const libraries[bv::kLibraryCount] = {
      &bv::CoreLibrary(), &bv::DragDropLibrary(), &bv::InternetLibrary(), &bv::OsLibrary(), &bv::AppLibrary()};
  std::string in_place;
  for (int n = 0; n < bv::kLibraryCount; ++n) in_place += bv::GetLibrary(n) == libraries[n] ? '1' : '0';
  Fact("libraries_in_place", in_place);
  return 0;
}
BVTEST_CHILD(folder) { return RunMain(FolderEntry); }

std::wstring WideOf(const std::string& gbk) { return bv::wide::Wide(gbk.c_str()).c_str(); }

// Where the program runs when a copy of this test program is started in
// `folder` (wide; made here, left for its TempDir to remove) from elsewhere.
std::string CwdOfCopyIn(const std::wstring& folder) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring exe = folder + L"\\frame_test.exe";
  EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) && CopyFileW(self, exe.c_str(), FALSE));
  bvtest::FactLog log;
  EXPECT_EQ(bvtest::RunProgram(L"\"" + exe + L"\" --child=folder"), 0) << log.Raw();
  auto f = log.Facts();
  EXPECT_EQ(f["libraries_in_place"], "11111");
  return f["cwd"];
}

// The client's usual kind of folder, on any system: the program names its
// folder in GBK and runs in it. A folder named in characters GBK lacks is
// named by its short form where the platform gives one; without one the
// program stays where it was started.
TEST(ProgramStart, ProgramRunsInItsFolderNamedInGbkOnAnySystem) {
  bvtest::TempDir base;
  const std::string chinese = base.path() + "\\\xD3\xA2\xD0\xDB\xC1\xAA\xC3\xCB Game";  // 英雄联盟 Game
  EXPECT_EQ(CwdOfCopyIn(WideOf(chinese)), chinese) << " under code page " << GetACP();
  const std::wstring korean = WideOf(base.path()) + L"\\한국 게임";
  const std::string cwd = CwdOfCopyIn(korean);
  wchar_t short_form[MAX_PATH] = {};
  const bool has_short = GetShortPathNameW(korean.c_str(), short_form, MAX_PATH) && bv::wide::FitsGbk(short_form);
  EXPECT_EQ(cwd, has_short ? bvtest::GbkFromWide(short_form) : CurrentDirGbk()) << bvtest::Hex(cwd);
}

// The program's path keeps its limit of 259 GBK bytes, though the wide call
// would take far longer ones: one byte more and it stays where it was started.
TEST(ProgramStart, ProgramPathOf260GbkBytesIsRefused) {
  const std::string exe_name = "\\frame_test.exe";
  for (const std::size_t length : {259u, 260u}) {
    bvtest::TempDir base;  // one each: the two long names can clash on the host's file system
    // Chinese characters, two bytes each but one wide character, then ASCII
    // to land on the length exactly.
    std::string folder = base.path() + "\\";
    while (folder.size() + exe_name.size() + 2 <= length) folder += "\xD6\xD0";
    while (folder.size() + exe_name.size() < length) folder += "x";
    ASSERT_EQ(folder.size() + exe_name.size(), length);
    EXPECT_EQ(CwdOfCopyIn(WideOf(folder)), length == 259 ? folder : CurrentDirGbk()) << length;
  }
}

}  // namespace
