// The unit model over real native windows: common properties in the parent's
// client coordinates, the native visible flag, the default GUI font and the
// message processing of services 2009 and 2010.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/program.h"
#include "runtime/service.h"
#include "runtime/value.h"
#include "tests/win/support/fake_window_units.h"
#include "tests/win/support/win_test.h"
#include "ui/unit_model.h"
#include "ui/unit_offer.h"

namespace bv {
void MarkDestroyPending(UnitObject*) {}
void CarryOutDestroy(UnitObject*) {}
}  // namespace bv

namespace {

using bv::ValueRecord;

class UnitModelWin : public ::testing::Test {
 protected:
  void SetUp() override {
    bvtest::InstallFakeWindow();
    bv::RegisterUnitServices();
    bvtest::LoadFakeWindow();
  }
  void TearDown() override {
    if (bv::UnitObject* w = bv::FindUnitObject(bvtest::kFakeWin, 0)) DestroyWindow(static_cast<HWND>(w->native));
    bv::ReleaseProgramWindows();
  }
  static HWND Native(bv::UnitId unit) { return static_cast<HWND>(bv::FindUnitObject(bvtest::kFakeWin, unit)->native); }
  static std::int32_t Read(bv::UnitId unit, std::int32_t number) {
    return bv::ReadUnitProperty(bvtest::kFakeWin, unit, number, -1).AsInt();
  }
  static void Write(bv::UnitId unit, std::int32_t number, const ValueRecord& v) {
    bv::WriteUnitProperty(bvtest::kFakeWin, unit, number, -1, v);
  }
};

TEST_F(UnitModelWin, ChildPositionIsInTheParentsClientArea) {
  EXPECT_EQ(Read(bvtest::kFakeLabel, bv::kPropLeft), 80);
  EXPECT_EQ(Read(bvtest::kFakeLabel, bv::kPropTop), 10);
  Write(bvtest::kFakeLabel, bv::kPropLeft, ValueRecord::Int(-40000));
  Write(bvtest::kFakeLabel, bv::kPropWidth, ValueRecord::Int(90));
  RECT r;
  GetWindowRect(Native(bvtest::kFakeLabel), &r);
  MapWindowPoints(HWND_DESKTOP, Native(0), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, -32627);
  EXPECT_EQ(r.right - r.left, 90);
  EXPECT_EQ(Read(bvtest::kFakeLabel, bv::kPropLeft), -32627);
  // The window itself is in screen coordinates, outer size.
  EXPECT_EQ(Read(0, bv::kPropLeft), 50);
  EXPECT_EQ(Read(0, bv::kPropWidth), 300);
}

TEST_F(UnitModelWin, VisibleIsTheUnitsOwnFlagAndDisabledFollowsTheNativeState) {
  ShowWindow(Native(0), SW_HIDE);
  EXPECT_TRUE(bv::ReadUnitProperty(bvtest::kFakeWin, bvtest::kFakeLabel, bv::kPropVisible, -1).AsBool())
      << "a unit in a hidden window is still visible itself";
  Write(bvtest::kFakeLabel, bv::kPropVisible, ValueRecord::Bool(false));
  EXPECT_FALSE(GetWindowLongA(Native(bvtest::kFakeLabel), GWL_STYLE) & WS_VISIBLE);
  Write(bvtest::kFakeLabel, bv::kPropDisabled, ValueRecord::Bool(true));
  EXPECT_FALSE(IsWindowEnabled(Native(bvtest::kFakeLabel)));
  EnableWindow(Native(bvtest::kFakeLabel), TRUE);
  EXPECT_FALSE(bv::ReadUnitProperty(bvtest::kFakeWin, bvtest::kFakeLabel, bv::kPropDisabled, -1).AsBool());
}

TEST_F(UnitModelWin, FontOfAUnitWithoutOneIsTheDefaultGuiFont) {
  static const std::int32_t kFontProperty[1] = {1013};
  static const bv::UnitTypeRecord kFontLabel =
      {"Label", bv::kUnitLabel, 0x84012040, kFontProperty, 1, bvtest::kFakeUnitOps};
  DestroyWindow(Native(0));
  bv::RegisterUnitType(&kFontLabel);
  bv::InstallProgramWindows(bvtest::kFakeWindows, 1, nullptr, 0);
  bvtest::LoadFakeWindow();
  ValueRecord v = bv::ReadUnitProperty(bvtest::kFakeWin, bvtest::kFakeLabel, 8, -1);
  ASSERT_EQ(bv::ByteSetLength(v.AsByteSet()), 60);
  LOGFONTA read{};
  std::memcpy(&read, bv::ByteSetData(v.AsByteSet()), 60);
  // What a Chinese system gives, on any system: there it is the stock font.
  EXPECT_EQ(read.lfCharSet, GB2312_CHARSET) << "code page " << GetACP();
  EXPECT_EQ(read.lfHeight, -12) << "code page " << GetACP();
  if (GetACP() == 936) {
    LOGFONTA expected{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof expected, &expected);
    EXPECT_EQ(std::memcmp(&read, &expected, 60), 0) << expected.lfFaceName;
  }
  bv::Release(v.AsByteSet());
  bv::RegisterUnitType(&bvtest::kFakeLabelType);
}

int g_delivered = 0;
LRESULT CALLBACK CountingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP) ++g_delivered;
  return DefWindowProcA(h, msg, wp, lp);
}

TEST_F(UnitModelWin, Services2009And2010ProcessMessagesButLeaveTheQuitRequest) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "BvCounting";
  RegisterClassA(&wc);
  HWND counter = CreateWindowExA(0, "BvCounting", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  g_delivered = 0;
  PostMessageA(counter, WM_APP, 0, 0);
  PostQuitMessage(7);
  bv::RuntimeService(2009, 0, 0);
  EXPECT_EQ(g_delivered, 1);
  EXPECT_TRUE(bv::EventsBlocked());
  PostMessageA(counter, WM_APP, 0, 0);
  bv::RuntimeService(2010, 0, 0);
  EXPECT_EQ(g_delivered, 2);
  EXPECT_FALSE(bv::EventsBlocked());
  MSG msg{};
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT)) << "the quit request stays for the message loop";
  EXPECT_EQ(msg.wParam, 7u);
  DestroyWindow(counter);
}

}  // namespace
