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
  bvtest::Child child = bvtest::StartChild("close_box");
  EXPECT_EQ(bvtest::WaitChild(child), 0) << log.Raw();
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
  bvtest::Child child = bvtest::StartChild(child_name);
  ASSERT_TRUE(child.process);
  bvtest::SeenBox box = bvtest::AnswerBox("错误", child.pid, IDOK);
  ASSERT_TRUE(box.found) << child_name << ": no box captioned 错误";
  EXPECT_EQ(box.text, std::string("运行时出错!\r\n\r\n错误信息：") + message + "\r\n") << bvtest::Hex(box.text);
  EXPECT_EQ(bvtest::WaitChild(child), -1);
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
  bvtest::Child child = bvtest::StartChild("other_thread");
  EXPECT_EQ(bvtest::WaitChild(child), 7) << log.Raw();
  EXPECT_EQ(log.Count("end_callback"), 1);  // the main thread's end sequence ran it
  EXPECT_EQ(log.Count("loop_returned"), 0);
}

// ---- Start ------------------------------------------------------------------------

int FolderEntry() {
  bv::InitializeProgram();
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  Fact("cwd", cwd);
  Fact("folder", bv::ProgramFolder());
  Fact("file", bv::ProgramFileName());
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  Fact("exe", exe);
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
  bvtest::Child child = bvtest::StartChild("folder");
  SetCurrentDirectoryA(before);
  ASSERT_EQ(bvtest::WaitChild(child), 0) << log.Raw();
  auto f = log.Facts();
  ASSERT_FALSE(f["exe"].empty());
  std::string exe = f["exe"];
  std::size_t slash = exe.rfind('\\');
  EXPECT_EQ(f["folder"], exe.substr(0, slash));
  EXPECT_EQ(f["file"], exe.substr(slash + 1));
  EXPECT_EQ(f["cwd"], exe.substr(0, slash));
  EXPECT_EQ(f["loop_returned"], "1");
}

// The program started from a copy of this test program in `folder` (wide),
// its facts written into `log`; answers the exit code.
long RunCopyIn(const std::wstring& folder, const char* child) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring exe = folder + L"\\frame_test.exe";
  if (!CopyFileW(self, exe.c_str(), FALSE)) return -4;
  bvtest::Child c = bvtest::StartProgram(L"\"" + exe + L"\" --child=" + bv::wide::Wide(child).c_str());
  const long code = bvtest::WaitChild(c);
  DeleteFileW(exe.c_str());
  return code;
}

int WideFolderEntry() {
  bv::InitializeProgram();
  wchar_t cwd[MAX_PATH * 2] = {};
  GetCurrentDirectoryW(MAX_PATH * 2, cwd);
  char* gbk = bv::wide::ToGbkText(cwd);
  Fact("cwd", gbk ? gbk : "");
  bv::Release(gbk);
  Fact("folder", bv::ProgramFolder());
  Fact("file", bv::ProgramFileName());
  return 0;
}
BVTEST_CHILD(wide_folder) { return RunMain(WideFolderEntry); }

std::wstring WideOf(const std::string& gbk) { return bv::wide::Wide(gbk.c_str()).c_str(); }

// The client's usual kind of folder, on any system: the program knows its
// folder in GBK and runs in it.
TEST(ProgramStart, ChineseProgramFolderIsKnownInGbkOnAnySystem) {
  bvtest::TempDir base;
  const std::string folder = base.path() + "\\\xD3\xA2\xD0\xDB\xC1\xAA\xC3\xCB Game";  // 英雄联盟 Game
  ASSERT_TRUE(CreateDirectoryW(WideOf(folder).c_str(), nullptr));
  bvtest::FactLog log;
  EXPECT_EQ(RunCopyIn(WideOf(folder), "wide_folder"), 0) << log.Raw();
  RemoveDirectoryW(WideOf(folder).c_str());
  auto f = log.Facts();
  EXPECT_EQ(f["folder"], folder) << bvtest::Hex(f["folder"]) << " under code page " << GetACP();
  EXPECT_EQ(f["file"], "frame_test.exe");
  EXPECT_EQ(f["cwd"], folder) << bvtest::Hex(f["cwd"]);
}

// A folder named in characters GBK lacks is known by its short form where the
// platform gives one.
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
  if (has_short) {
    char* expected = bv::wide::ToGbkText(short_form);
    EXPECT_EQ(f["folder"], expected) << bvtest::Hex(f["folder"]);
    EXPECT_EQ(f["cwd"], f["folder"]);
    bv::Release(expected);
  } else {
    EXPECT_EQ(f["folder"], base.path() + "\\?? ??") << bvtest::Hex(f["folder"]);
  }
}

// The program's path keeps its limit of 259 GBK bytes, though the wide call
// would take far longer ones: one byte more and it knows no folder at all.
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
    EXPECT_EQ(f["folder"], length == 259 ? folder : "") << length;
    EXPECT_EQ(f["file"], length == 259 ? "frame_test.exe" : "") << length;
  }
}

}  // namespace
