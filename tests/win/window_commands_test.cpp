// GetWindowHandle and DestroyUnit against a fake window unit type: the
// deferred destruction waits for the running handler, at-once destruction and
// units inside a window go at once, and a reference to nothing is fatal; and
// the window's shown and enabled state as the logic writes it.
#include <gtest/gtest.h>

#include "runtime/program.h"
#include "runtime/texts.h"
#include "runtime/value.h"
#include "tests/win/support/fake_window_units.h"
#include "tests/win/support/win_test.h"
#include "ui/unit_model.h"
#include "ui/window_commands.h"
#include "ui/window_unit.h"

namespace bv {

// The window unit type's part of the destruction, as the fake window does it.
void MarkDestroyPending(UnitObject* window) { static_cast<bvtest::FakeWindowUnit*>(window)->destroy_pending = true; }
void CarryOutDestroy(UnitObject* window) {
  auto* w = static_cast<bvtest::FakeWindowUnit*>(window);
  if (!w->destroy_pending) return;
  w->destroy_pending = false;
  DestroyWindow(static_cast<HWND>(w->native));
}

}  // namespace bv

namespace {

using bv::Call;
using bv::ValueRecord;

ValueRecord Ref(bv::UnitId unit) { return ValueRecord::Unit(bvtest::kFakeWin, unit, bv::kUnitWindow); }

int g_last_gone = 0;
void LastGone() { ++g_last_gone; }

// The created event's handler destroys its own window, as the start-up check does.
struct InHandler {
  bool at_once = false;
  bool twice = false;
  bool window_alive_at_return = false;
};
InHandler s_in;
void Handler(const bv::EventCall&) {
  if (s_in.at_once) {
    Call(bv::DestroyUnit, {Ref(0), ValueRecord::Bool(true)});
  } else {
    // Only the reference is given: the true record past the count must not be read.
    const ValueRecord args[] = {Ref(bvtest::kFakeWinUnit), ValueRecord::Bool(true)};
    ValueRecord result{};
    bv::DestroyUnit(&result, 1, args);
    if (s_in.twice) Call(bv::DestroyUnit, {Ref(0), ValueRecord::Bool(false)});
  }
  s_in.window_alive_at_return = bv::FindUnitObject(bvtest::kFakeWin, 0) != nullptr;
}
const bv::EventHandler kHandlers[] = {Handler};
const bv::EventBindingTemplate kBindings[] = {{bvtest::kFakeWinUnit, 0, 0}};
const bv::WindowTemplate kTemplate{bvtest::kFakeWin, bvtest::kFakeUnits, 2, kBindings, 1};

class WindowCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    bvtest::InstallFakeWindow(kHandlers, 1, &kTemplate);
    bv::SetLastWindowGoneHook(LastGone);
    g_last_gone = 0;
    bvtest::g_fake_destroy_count = 0;
    bvtest::LoadFakeWindow();
  }
  void TearDown() override {
    if (bv::UnitObject* w = bv::FindUnitObject(bvtest::kFakeWin, 0)) DestroyWindow(static_cast<HWND>(w->native));
    bv::ReleaseProgramWindows();
  }
  static HWND WindowHandle() { return static_cast<HWND>(bv::FindUnitObject(bvtest::kFakeWin, 0)->native); }

  void RaiseCreated() {
    bv::PlainEventRecord created{bvtest::kFakeWin, 0, 0, 0};
    ASSERT_EQ(bv::RaiseEvent(&created), 1);
  }
};

TEST_F(WindowCommands, GetWindowHandleGivesTheNativeHandleOfWindowAndUnit) {
  EXPECT_EQ(Call(bv::GetWindowHandle, {Ref(0)}).value, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(WindowHandle())));
  HWND label = static_cast<HWND>(bv::FindUnitObject(bvtest::kFakeWin, bvtest::kFakeLabel)->native);
  EXPECT_EQ(Call(bv::GetWindowHandle, {Ref(bvtest::kFakeLabel)}).value,
            static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(label)));
  EXPECT_EQ(GetParent(label), WindowHandle());
}

TEST_F(WindowCommands, DeferredDestroyWaitsForTheHandlerAndTheMessageLoop) {
  s_in = {};
  HWND window = WindowHandle();
  RaiseCreated();
  EXPECT_TRUE(s_in.window_alive_at_return) << "DestroyUnit without its second argument must return at once";
  EXPECT_TRUE(IsWindow(window)) << "the window goes only when the loop delivers the posted message";
  EXPECT_TRUE(bvtest::PumpUntil([&] { return !IsWindow(window); }));
  EXPECT_EQ(bv::FindUnitObject(bvtest::kFakeWin, 0), nullptr);
  EXPECT_EQ(g_last_gone, 1) << "the last window gone is reported once";
}

TEST_F(WindowCommands, SecondDeferredDestroyStillDestroysOnce) {
  s_in = {};
  s_in.twice = true;
  HWND window = WindowHandle();
  RaiseCreated();
  EXPECT_TRUE(s_in.window_alive_at_return) << "a second argument of false defers too";
  EXPECT_TRUE(bvtest::PumpUntil([&] { return !IsWindow(window); }));
  bvtest::PumpUntil([] { return false; }, 5);  // the second message finds nothing to do
  EXPECT_EQ(bvtest::g_fake_destroy_count, 1) << "the window is destroyed once";
}

TEST_F(WindowCommands, AtOnceDestroysInsideTheHandler) {
  s_in = {};
  s_in.at_once = true;
  HWND window = WindowHandle();
  RaiseCreated();
  EXPECT_FALSE(s_in.window_alive_at_return);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowCommands, UnitInsideAWindowGoesAtOnceAndItsWindowStays) {
  HWND label = static_cast<HWND>(bv::FindUnitObject(bvtest::kFakeWin, bvtest::kFakeLabel)->native);
  Call(bv::DestroyUnit, {Ref(bvtest::kFakeLabel)});
  EXPECT_FALSE(IsWindow(label));
  EXPECT_EQ(bv::FindUnitObject(bvtest::kFakeWin, bvtest::kFakeLabel), nullptr);
  EXPECT_TRUE(IsWindow(WindowHandle()));
  // Its record stays: the common properties still answer from the stored state.
  EXPECT_EQ(bv::ReadUnitProperty(bvtest::kFakeWin, bvtest::kFakeLabel, bv::kPropLeft, -1).AsInt(), 80);
}

// What the logic writes into a window's state is the window's own: shown
// again, it takes the activation as any window shown does; disabled, it reads
// as disabled.
TEST_F(WindowCommands, WindowShownAgainIsActiveAndDisabledReadsDisabled) {
  auto write = [](std::int32_t number, bool on) {
    bv::WriteUnitProperty(bvtest::kFakeWin, 0, number, -1, ValueRecord::Bool(on));
  };
  write(bv::kPropVisible, false);
  EXPECT_NE(GetActiveWindow(), WindowHandle());
  write(bv::kPropVisible, true);
  EXPECT_EQ(GetActiveWindow(), WindowHandle());
  write(bv::kPropDisabled, true);
  EXPECT_TRUE(bv::ReadUnitProperty(bvtest::kFakeWin, 0, bv::kPropDisabled, -1).AsBool());
}

// ---- References to nothing ----------------------------------------------------------

BVTEST_CHILD(handle_of_missing_unit) {
  bvtest::InstallFakeWindow();
  bvtest::LoadFakeWindow();
  Call(bv::GetWindowHandle, {Ref(0x16019999)});
  return 3;  // never reached
}
BVTEST_CHILD(handle_of_nothing) {
  ValueRecord result;
  bv::GetWindowHandle(&result, 0, nullptr);  // no reference at all
  return 3;
}
BVTEST_CHILD(destroy_unloaded_window) {
  bvtest::InstallFakeWindow();  // not loaded
  Call(bv::DestroyUnit, {Ref(0)});
  return 3;
}
BVTEST_CHILD(destroy_unknown_window) {
  bvtest::InstallFakeWindow();
  bvtest::LoadFakeWindow();
  Call(bv::DestroyUnit, {ValueRecord::Unit(0x52019999, 0, bv::kUnitWindow)});
  return 3;
}

TEST(WindowCommandsFatal, ReferenceToNothingIsTheFatalErrorOfAMissingUnit) {
  for (const char* scenario :
       {"handle_of_missing_unit", "handle_of_nothing", "destroy_unloaded_window", "destroy_unknown_window"}) {
    bvtest::SeenBox box;
    EXPECT_EQ(bvtest::RunChildAnswering(scenario, "", "错误", IDOK, &box), -1) << scenario;
    EXPECT_EQ(box.text, std::string("运行时出错!\r\n\r\n错误信息：") + bv::texts::kNoSuchUnit + "\r\n") << scenario;
  }
}

}  // namespace
