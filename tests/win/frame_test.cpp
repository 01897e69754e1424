// The program frame: start, the folder it runs in, the loop, and the ways the
// program ends with their exit codes and end callbacks.
#include <gtest/gtest.h>

#include <string>

#include "runtime/program.h"
#include "runtime/service.h"
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

}  // namespace
