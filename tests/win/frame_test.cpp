// The program frame: start, the folder it runs in, the loop, and the ways the
// program ends with their exit codes and end callbacks.
#include <gtest/gtest.h>

#include <string>

#include "runtime/program.h"
#include "runtime/service.h"
#include "runtime/value.h"
#include "runtime/win/wide_text.h"
#include "tests/win/support/program_scenario.h"
#include "tests/win/support/win_test.h"
#include "ui/frame.h"
#include "ui/main_window.h"

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

// ---- The close box --------------------------------------------------------------

void CALLBACK CloseTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  PostMessageA(MainHwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
}

int CloseEntry() {
  bv::InitializeProgram();
  // Through the service gate, as the logic registers it; the second one wins.
  bv::RuntimeService(3, reinterpret_cast<std::intptr_t>(&FirstEndCallback), 0);
  bv::RuntimeService(3, reinterpret_cast<std::intptr_t>(&EndCallbackFact), 0);
  bv::LoadWindow(bv::kMainWindow);
  SetTimer(nullptr, 0, 300, CloseTimer);
  bv::RunMessageLoop();
  Fact("loop_returned", 1);
  return 0;
}

BVTEST_CHILD(close_box) { return RunMain(CloseEntry); }

TEST(ProgramEnd, CloseBoxEndsWithZeroAfterTheLastEndCallback) {
  bvtest::FactLog log;
  EXPECT_EQ(bvtest::RunChild("close_box"), 0) << log.Raw();
  EXPECT_EQ(log.Count("loop_returned"), 1);
  EXPECT_EQ(log.Count("end_callback"), 1);
  EXPECT_EQ(log.Count("first_end_callback"), 0);
}

// ---- Fatal errors ---------------------------------------------------------------

int UnloadableEntry() {
  bv::InitializeProgram();
  bv::SetEndCallback(EndCallbackFact);
  bv::LoadWindow(0x52010099);  // not in the template
  Fact("returned_from_load", 1);
  return 0;
}
BVTEST_CHILD(unknown_window) { return RunMain(UnloadableEntry); }

// A template naming a unit type nobody registered cannot be built.
const bv::UnitTemplate kOddUnits[] = {
    bv::MainWindowTemplate().units[0],
    {0x16010001, "x", 0x00090009, 0, 0, 10, 10, 1, 0, nullptr, nullptr, 0},
};
const bv::WindowTemplate kOddWindow = {bv::kMainWindow, kOddUnits, 2, nullptr, 0};
const bv::WindowTemplate* const kOddWindows[] = {&kOddWindow};

BVTEST_CHILD(unknown_type) {
  const bv::ProgramDefinition program = {kOddWindows, 1, kNoHandlers, bv::kHandlerCount, nullptr, 0};
  return bv::RunProgram(program, +[]() {
    bv::InitializeProgram();
    bv::SetEndCallback(EndCallbackFact);
    bv::LoadWindow(bv::kMainWindow);
    Fact("returned_from_load", 1);
    return 0;
  });
}

BVTEST_CHILD(no_template) {
  const bv::ProgramDefinition program = {nullptr, 0, kNoHandlers, bv::kHandlerCount, nullptr, 0};
  return bv::RunProgram(program, +[]() {
    bv::SetEndCallback(EndCallbackFact);
    bv::InitializeProgram();
    Fact("returned_from_init", 1);
    return 0;
  });
}

void ExpectFatal(const char* child_name, const char* message) {
  bvtest::FactLog log;
  bvtest::SeenBox box;
  EXPECT_EQ(bvtest::RunChildAnswering(child_name, "", "错误", IDOK, &box), -1) << child_name;
  EXPECT_EQ(box.text, std::string("运行时出错!\r\n\r\n错误信息：") + message + "\r\n") << child_name;
  EXPECT_EQ(log.Count("end_callback"), 0) << log.Raw();
  EXPECT_EQ(log.Count("returned_from_load") + log.Count("returned_from_init"), 0) << log.Raw();
}

TEST(ProgramEnd, WindowMissingFromTheTemplateIsFatal) { ExpectFatal("unknown_window", "载入启动窗口失败"); }
TEST(ProgramEnd, UnitOfAnUnregisteredTypeMakesTheLoadFatal) { ExpectFatal("unknown_type", "载入启动窗口失败"); }
TEST(ProgramEnd, MissingTemplateIsFatal) { ExpectFatal("no_template", "载入窗口模板数据段出错!"); }

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
  char* gbk = bv::wide::ToGbkText(cwd);
  const std::string text = gbk ? gbk : "";
  bv::Release(gbk);
  return text;
}

int FolderEntry() {
  bv::InitializeProgram();
  Fact("cwd", CurrentDirGbk());
  bv::RunMessageLoop();  // no window yet: back at once
  Fact("loop_returned", 1);
  return 0;
}
BVTEST_CHILD(folder) { return RunMain(FolderEntry); }

TEST(ProgramStart, CurrentFolderIsTheProgramsFolderWhenStartedElsewhere) {
  bvtest::TempDir elsewhere;
  char before[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, before);
  SetCurrentDirectoryA(elsewhere.path().c_str());
  bvtest::FactLog log;
  const long code = bvtest::RunChild("folder");
  SetCurrentDirectoryA(before);
  ASSERT_EQ(code, 0) << log.Raw();
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  *wcsrchr(exe, L'\\') = L'\0';
  char* folder = bv::wide::ToGbkText(exe);
  auto f = log.Facts();
  EXPECT_EQ(f["cwd"], folder);
  EXPECT_EQ(f["loop_returned"], "1");
  bv::Release(folder);
}

// The program started from a copy of this test program in `folder` (wide),
// its facts written into `log`; answers the exit code.
long RunCopyIn(const std::wstring& folder, const char* child) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring exe = folder + L"\\frame_test.exe";
  if (!CopyFileW(self, exe.c_str(), FALSE)) return -4;
  const long code = bvtest::RunProgram(L"\"" + exe + L"\" --child=" + bv::wide::Wide(child).c_str());
  DeleteFileW(exe.c_str());
  return code;
}

int WideFolderEntry() {
  bv::InitializeProgram();
  Fact("cwd", CurrentDirGbk());
  return 0;
}
BVTEST_CHILD(wide_folder) { return RunMain(WideFolderEntry); }

std::wstring WideOf(const std::string& gbk) { return bv::wide::Wide(gbk.c_str()).c_str(); }

// The client's usual kind of folder, on any system: the program names its
// folder in GBK and runs in it.
TEST(ProgramStart, ChineseProgramFolderIsKnownInGbkOnAnySystem) {
  bvtest::TempDir base;
  const std::string folder = base.path() + "\\\xD3\xA2\xD0\xDB\xC1\xAA\xC3\xCB Game";  // 英雄联盟 Game
  ASSERT_TRUE(CreateDirectoryW(WideOf(folder).c_str(), nullptr));
  bvtest::FactLog log;
  EXPECT_EQ(RunCopyIn(WideOf(folder), "wide_folder"), 0) << log.Raw();
  RemoveDirectoryW(WideOf(folder).c_str());
  auto f = log.Facts();
  EXPECT_EQ(f["cwd"], folder) << bvtest::Hex(f["cwd"]) << " under code page " << GetACP();
}

// A folder named in characters GBK lacks is named by its short form where the
// platform gives one; without one the program stays where it was started.
TEST(ProgramStart, FolderGbkCannotSpellIsKnownByItsShortForm) {
  bvtest::TempDir base;
  const std::wstring folder = WideOf(base.path()) + L"\\한국 게임";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  wchar_t short_form[MAX_PATH] = {};
  const bool has_short = GetShortPathNameW(folder.c_str(), short_form, MAX_PATH) && bv::wide::FitsGbk(short_form);
  bvtest::FactLog log;
  EXPECT_EQ(RunCopyIn(folder, "wide_folder"), 0) << log.Raw();
  RemoveDirectoryW(folder.c_str());
  auto f = log.Facts();
  char* expected = bv::wide::ToGbkText(short_form);
  EXPECT_EQ(f["cwd"], has_short ? std::string(expected) : CurrentDirGbk()) << bvtest::Hex(f["cwd"]);
  bv::Release(expected);
}

// The program's path keeps its limit of 259 GBK bytes, though the wide call
// would take far longer ones: one byte more and it stays where it was started.
TEST(ProgramStart, ProgramPathOf260GbkBytesIsRefused) {
  bvtest::TempDir base;
  const std::string exe_name = "\\frame_test.exe";
  for (const std::size_t length : {259u, 260u}) {
    // Chinese characters, two bytes each but one wide character, then ASCII
    // to land on the length exactly.
    std::string folder = base.path() + "\\";
    while (folder.size() + exe_name.size() + 2 <= length) folder += "\xD6\xD0";
    while (folder.size() + exe_name.size() < length) folder += "x";
    ASSERT_EQ(folder.size() + exe_name.size(), length);
    ASSERT_TRUE(CreateDirectoryW(WideOf(folder).c_str(), nullptr)) << length;
    bvtest::FactLog log;
    EXPECT_EQ(RunCopyIn(WideOf(folder), "wide_folder"), 0) << log.Raw();
    RemoveDirectoryW(WideOf(folder).c_str());
    auto f = log.Facts();
    EXPECT_EQ(f["cwd"], length == 259 ? folder : CurrentDirGbk()) << length;
  }
}

}  // namespace
