// The core unit types on real native windows: what edit boxes, labels and
// buttons hand back and raise, and the native styles the template asks for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/value.h"
#include "runtime/win/wide_text.h"
#include "tests/win/support/program_scenario.h"
#include "tests/win/support/win_test.h"
#include "ui/frame.h"
#include "ui/unit_offer.h"
#include "ui/unit_types.h"
#include "ui/win/core_unit_types.h"

namespace {

constexpr bv::WindowId kWin = 0x52010077;
constexpr bv::UnitId kSelf = 0x06010000;
constexpr bv::UnitId kMulti = 0x16010001, kSingle = 0x16010002, kLabel = 0x16010003, kButton = 0x16010004;
constexpr bv::UnitId kKeepSel = 0x16010005;

const bv::WindowTypeData kWindowData = {.title = "t"};
const bv::EditBoxTypeData kMultiData = {.content = "a\r\nb", .multi_line = true};
const bv::EditBoxTypeData kSingleData = {};
const bv::EditBoxTypeData kKeepSelData = {.hide_selection = false, .multi_line = true};
const bv::LabelTypeData kLabelData = {.caption = "cap"};
const bv::ButtonTypeData kButtonData = {.caption = "b\r\n"};

const bv::UnitTemplate kUnits[] = {
    {kSelf, "w", bv::kUnitWindow, 0, 0, 323, 136, 1, 0, nullptr, &kWindowData, sizeof kWindowData},
    {kButton, "b", bv::kUnitButton, 10, 10, 60, 24, 5, 0, nullptr, &kButtonData, sizeof kButtonData},
    {kMulti, "m", bv::kUnitEditBox, 10, 40, 80, 40, 5, 0, nullptr, &kMultiData, sizeof kMultiData},
    {kSingle, "s", bv::kUnitEditBox, 100, 40, 80, 24, 5, 0, nullptr, &kSingleData, sizeof kSingleData},
    {kLabel, "l", bv::kUnitLabel, 200, 40, 80, 24, 1, 0, nullptr, &kLabelData, sizeof kLabelData},
    {kKeepSel, "k", bv::kUnitEditBox, 10, 90, 80, 30, 4, 0, nullptr, &kKeepSelData, sizeof kKeepSelData},
};

int g_changes = 0, g_clicks = 0;
void OnChange(const bv::EventCall&) { ++g_changes; }
void OnClick(const bv::EventCall&) { ++g_clicks; }
const bv::EventBindingTemplate kBindings[] = {{kMulti, 0, 0}, {kButton, 0, 1}};
const bv::EventHandler kHandlers[] = {OnChange, OnClick};
const bv::WindowTemplate kTemplate = {kWin, kUnits, 6, kBindings, 2};
const bv::WindowTemplate* const kWindows[] = {&kTemplate};

class NativeUnits : public testing::Test {
 protected:
  void SetUp() override {
    bv::RegisterCoreUnitTypes();
    bv::InstallProgramWindows(kWindows, 1, kHandlers, 2);
    bv::RegisterUnitServices();
    bv::LoadWindow(kWin);
    g_changes = g_clicks = 0;
  }
  void TearDown() override {
    if (HWND w = Hwnd(kSelf)) DestroyWindow(w);
    bv::ReleaseProgramWindows();
  }
  static HWND Hwnd(bv::UnitId unit) { return bvtest::NativeOf(kWin, unit); }
  static void Write(bv::UnitId unit, const char* text, std::int32_t number = 8) {
    bv::WriteUnitProperty(kWin, unit, number, -1, bv::ValueRecord::TextOf(text));
  }
  // The text read, "<null>" for null; the allocation is released.
  static std::string Read(bv::UnitId unit, std::int32_t number = 8) {
    bv::ValueRecord v = bv::ReadUnitProperty(kWin, unit, number, -1);
    std::string s = v.AsText() ? v.AsText() : "<null>";
    bv::Release(v.AsText());
    return s;
  }
};

TEST_F(NativeUnits, EditBoxReturnsExactlyTheBytesWritten) {
  const std::vector<std::string> samples = {
      "line one\r\nline two\r\n",   // CR LF
      "a\nb\n\nc",                  // bare LF
      "\t\tx\t",                    // tabs
      "\xE4\xB8\xAD\xE6\x96\x87",   // UTF-8 bytes
      "\x81\x20\xFF\x80z\x81",      // not GBK: lead byte with a bad trail, 0xFF, 0x80, a lone trailing lead
      "\r\r\n\n\r",
  };
  for (bv::UnitId box : {kMulti, kSingle}) {
    for (const std::string& s : samples) {
      Write(box, s.c_str());
      EXPECT_EQ(bvtest::Hex(Read(box)), bvtest::Hex(s)) << "box " << std::hex << box;
    }
  }
}

// The control shows the Chinese text whatever the system's code page; the box
// still hands back exactly the GBK bytes written, and what the user then
// types comes back in GBK, with "?" for what GBK cannot spell.
TEST_F(NativeUnits, EditBoxShowsGbkAsChineseAndReturnsTheUsersEditInGbk) {
  const std::string written = "\xBA\xAB\xB7\xFE\xB0\xE6\xB1\xBE\xA3\xBA" "14.3.1";  // 韩服版本：14.3.1
  Write(kSingle, written.c_str());
  wchar_t shown[64] = {};
  GetWindowTextW(Hwnd(kSingle), shown, 64);
  EXPECT_EQ(std::wstring(shown), L"韩服版本：14.3.1") << "code page " << GetACP();
  EXPECT_EQ(bvtest::Hex(Read(kSingle)), bvtest::Hex(written));

  HWND h = Hwnd(kSingle);
  SendMessageW(h, EM_SETSEL, 64, 64);
  SendMessageW(h, WM_CHAR, L'中', 0);
  SendMessageW(h, WM_CHAR, L'한', 0);  // Korean: no GBK form
  EXPECT_EQ(bvtest::Hex(Read(kSingle)), bvtest::Hex(written + "\xD6\xD0?")) << "code page " << GetACP();
}

TEST_F(NativeUnits, PasswordCharacterIsTheFirstCharacterOfItsText) {
  bv::WriteUnitProperty(kWin, kSingle, 8 + bv::edit_prop::kInputMode, -1, bv::ValueRecord::Int(bv::kInputPassword));
  Write(kSingle, "\xA1\xF1x", 8 + bv::edit_prop::kPasswordChar);  // ●x
  EXPECT_EQ(SendMessageW(Hwnd(kSingle), EM_GETPASSWORDCHAR, 0, 0), L'●');
  Write(kSingle, "", 8 + bv::edit_prop::kPasswordChar);
  EXPECT_EQ(SendMessageW(Hwnd(kSingle), EM_GETPASSWORDCHAR, 0, 0), L'*');
}

TEST_F(NativeUnits, EditBoxAfterAUserEditReturnsTheControlsText) {
  Write(kSingle, "abc");
  HWND h = Hwnd(kSingle);
  SendMessageA(h, EM_SETSEL, 3, 3);
  SendMessageA(h, WM_CHAR, 'd', 0);  // typed by the user
  EXPECT_EQ(Read(kSingle), "abcd");
  Write(kSingle, "\x81\x20");  // a write takes over again
  EXPECT_EQ(bvtest::Hex(Read(kSingle)), bvtest::Hex("\x81\x20"));
}

TEST_F(NativeUnits, EmptyTextsReadAsNull) {
  EXPECT_EQ(Read(kSingle), "<null>");  // the template leaves it empty
  Write(kMulti, "");
  EXPECT_EQ(Read(kMulti), "<null>");
  Write(kLabel, nullptr);
  EXPECT_EQ(Read(kLabel), "<null>");
}

TEST_F(NativeUnits, EveryReadIsASeparateAllocation) {
  bv::ValueRecord a = bv::ReadUnitProperty(kWin, kLabel, 8, -1);
  bv::ValueRecord b = bv::ReadUnitProperty(kWin, kLabel, 8, -1);
  ASSERT_NE(a.AsText(), nullptr);
  ASSERT_NE(b.AsText(), nullptr);
  EXPECT_NE(a.AsText(), b.AsText());
  EXPECT_STREQ(a.AsText(), "cap");
  bv::Release(a.AsText());
  bv::Release(b.AsText());
  bv::ValueRecord c = bv::ReadUnitProperty(kWin, kMulti, 8, -1);
  bv::ValueRecord d = bv::ReadUnitProperty(kWin, kMulti, 8, -1);
  EXPECT_NE(c.AsText(), d.AsText());
  bv::Release(c.AsText());
  bv::Release(d.AsText());
}

TEST_F(NativeUnits, WritingContentRaisesOneChangeAndTheControlShowsIt) {
  Write(kMulti, "x\r\ny");
  EXPECT_EQ(g_changes, 1);
  char shown[32] = {};
  GetWindowTextA(Hwnd(kMulti), shown, sizeof shown);
  EXPECT_STREQ(shown, "x\r\ny");
  SendMessageA(Hwnd(kMulti), WM_CHAR, 'z', 0);
  EXPECT_EQ(g_changes, 2);  // the user's edit is a change too
}

TEST_F(NativeUnits, LabelCaptionIsAlsoTheWindowText) {
  char shown[32] = {};
  GetWindowTextA(Hwnd(kLabel), shown, sizeof shown);
  EXPECT_STREQ(shown, "cap");  // from the template
  Write(kLabel, "14.3.1");
  GetWindowTextA(Hwnd(kLabel), shown, sizeof shown);
  EXPECT_STREQ(shown, "14.3.1");
  Write(kLabel, nullptr);
  EXPECT_EQ(GetWindowTextLengthA(Hwnd(kLabel)), 0);
}

TEST_F(NativeUnits, LabelAndButtonShowGbkCaptionsAsChinese) {
  Write(kLabel, "\xB9\xFA\xB7\xFE\xB0\xE6\xB1\xBE\xA3\xBA");  // 国服版本：
  Write(kButton, "\xB4\xB4\xBD\xA8", 10);                      // 创建
  wchar_t label[32] = {}, button[32] = {};
  SendMessageW(Hwnd(kLabel), WM_GETTEXT, 32, reinterpret_cast<LPARAM>(label));
  SendMessageW(Hwnd(kButton), WM_GETTEXT, 32, reinterpret_cast<LPARAM>(button));
  EXPECT_EQ(std::wstring(label), L"国服版本：") << "code page " << GetACP();
  EXPECT_EQ(std::wstring(button), L"创建") << "code page " << GetACP();
}

TEST_F(NativeUnits, ButtonClickRaisesItsEvent) {
  SendMessageA(Hwnd(kSelf), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Hwnd(kButton)), BN_CLICKED),
               reinterpret_cast<LPARAM>(Hwnd(kButton)));
  EXPECT_EQ(g_clicks, 1);
  EXPECT_EQ(Read(kButton, 10), "b\r\n");
}

TEST_F(NativeUnits, NativeStylesFollowTheTypeData) {
  auto style = [](HWND h) { return static_cast<DWORD>(GetWindowLongPtrA(h, GWL_STYLE)); };
  auto ex = [](HWND h) { return static_cast<DWORD>(GetWindowLongPtrA(h, GWL_EXSTYLE)); };
  DWORD w = style(Hwnd(kSelf));
  EXPECT_EQ(w & (WS_CAPTION | WS_SYSMENU), static_cast<DWORD>(WS_CAPTION | WS_SYSMENU)) << std::hex << w;
  EXPECT_EQ(w & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u) << std::hex << w;

  DWORD m = style(Hwnd(kMulti));
  EXPECT_EQ(m & (ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL), static_cast<DWORD>(ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL));
  EXPECT_EQ(m & (WS_HSCROLL | WS_VSCROLL | ES_NOHIDESEL), 0u) << std::hex << m;
  EXPECT_TRUE(ex(Hwnd(kMulti)) & WS_EX_CLIENTEDGE);
  DWORD s = style(Hwnd(kSingle));
  EXPECT_TRUE(s & ES_AUTOHSCROLL);
  EXPECT_FALSE(s & ES_MULTILINE);
  EXPECT_TRUE(style(Hwnd(kKeepSel)) & ES_NOHIDESEL);
  EXPECT_TRUE(style(Hwnd(kMulti)) & WS_TABSTOP);
  EXPECT_FALSE(style(Hwnd(kLabel)) & WS_TABSTOP);

  DWORD b = style(Hwnd(kButton));
  EXPECT_EQ(b & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));
  EXPECT_EQ(b & (BS_CENTER | BS_VCENTER | BS_MULTILINE), static_cast<DWORD>(BS_CENTER | BS_VCENTER | BS_MULTILINE));
  EXPECT_FALSE(IsWindowVisible(Hwnd(kKeepSel)));  // focusable but not visible
}

TEST_F(NativeUnits, LabelPaintsItsBackgroundInTheFaceColour) {
  ShowWindow(Hwnd(kSelf), SW_SHOWNA);
  UpdateWindow(Hwnd(kSelf));
  HWND label = Hwnd(kLabel);
  HDC dc = GetDC(label);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, 80, 24);
  HGDIOBJ old = SelectObject(mem, bmp);
  SendMessageA(label, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
  COLORREF corner = GetPixel(mem, 79, 0);
  bool dark = false;  // the caption is drawn in black somewhere on the left
  for (int x = 0; x < 30 && !dark; ++x)
    for (int y = 0; y < 24 && !dark; ++y) dark = GetPixel(mem, x, y) == RGB(0, 0, 0);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(label, dc);
  EXPECT_EQ(corner, GetSysColor(COLOR_3DFACE)) << std::hex << corner;
  EXPECT_TRUE(dark);
}

TEST_F(NativeUnits, StyleChangeKeepsContentPlaceAndFocus) {
  Write(kSingle, "\x81\x20keep");
  HWND before = Hwnd(kSingle);
  HWND above = GetWindow(before, GW_HWNDPREV);
  SetFocus(before);
  bv::WriteUnitProperty(kWin, kSingle, 8 + bv::edit_prop::kMultiLine, -1, bv::ValueRecord::Bool(true));
  HWND after = Hwnd(kSingle);
  ASSERT_NE(after, nullptr);
  EXPECT_TRUE(GetWindowLongPtrA(after, GWL_STYLE) & ES_MULTILINE);
  EXPECT_TRUE(GetWindowLongPtrA(after, GWL_STYLE) & WS_VISIBLE) << "visible while its window is still hidden";
  EXPECT_EQ(bvtest::Hex(Read(kSingle)), bvtest::Hex("\x81\x20keep"));
  EXPECT_EQ(GetWindow(after, GW_HWNDPREV), above);
  EXPECT_EQ(GetFocus(), after);
  EXPECT_EQ(g_changes, 0);
}

// The model's rebuild hands the old box to the new one: the user's edits and
// the selection cross over.
TEST_F(NativeUnits, StyleChangeKeepsTheUsersEditsAndSelection) {
  Write(kSingle, "written");
  HWND before = Hwnd(kSingle);
  SetWindowTextW(before, L"typed\x4E2D");  // as the user's typing leaves it
  SendMessageW(before, EM_SETMODIFY, TRUE, 0);
  SendMessageW(before, EM_SETSEL, 1, 3);
  bv::WriteUnitProperty(kWin, kSingle, 8 + bv::edit_prop::kAlignment, -1, bv::ValueRecord::Int(bv::kAlignFar));
  HWND after = Hwnd(kSingle);
  ASSERT_NE(after, before) << "a new control";
  EXPECT_TRUE(GetWindowLongPtrA(after, GWL_STYLE) & ES_RIGHT);
  EXPECT_EQ(bvtest::Hex(Read(kSingle)), bvtest::Hex("typed\xD6\xD0"));
  EXPECT_EQ(bv::ReadUnitProperty(kWin, kSingle, 8 + bv::edit_prop::kSelStart, -1).AsInt(), 1);
  EXPECT_EQ(bv::ReadUnitProperty(kWin, kSingle, 8 + bv::edit_prop::kSelLength, -1).AsInt(), 2);
}

// Visibility after a rebuild is the unit's stored flag: a box hidden by its
// own style stays hidden, and keeps its text held back.
TEST_F(NativeUnits, StyleChangeOfAHiddenBoxKeepsItHiddenAndItsTextHeldBack) {
  Write(kKeepSel, "\x81\x20held");
  bv::WriteUnitProperty(kWin, kKeepSel, 8 + bv::edit_prop::kMultiLine, -1, bv::ValueRecord::Bool(false));
  HWND after = Hwnd(kKeepSel);
  ASSERT_NE(after, nullptr);
  EXPECT_FALSE(GetWindowLongPtrA(after, GWL_STYLE) & WS_VISIBLE);
  EXPECT_EQ(bvtest::Hex(Read(kKeepSel)), bvtest::Hex("\x81\x20held"));
}

// kKeepSel's own style is hidden: what is written stays out of the control.
// The control's own procedure shows what the control holds, past the unit.
std::wstring ControlsOwnText(HWND h) {
  auto own = reinterpret_cast<WNDPROC>(GetClassLongPtrW(h, GCLP_WNDPROC));
  std::wstring text(static_cast<std::size_t>(CallWindowProcW(own, h, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(CallWindowProcW(own, h, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

std::wstring WideOf(const std::string& gbk) {
  const bv::wide::Wide w(gbk.data(), static_cast<std::int32_t>(gbk.size()));
  return std::wstring(w.c_str(), static_cast<std::size_t>(w.size()));
}

TEST_F(NativeUnits, HiddenBoxHoldsTheTextBackAndAnswersReadersExactly) {
  const std::string text = std::string(200000, 'x') + "\x81\x20\xB0\xA1\r\nend";
  Write(kKeepSel, text.c_str());
  HWND h = Hwnd(kKeepSel);
  EXPECT_EQ(ControlsOwnText(h), L"");
  EXPECT_EQ(bvtest::Hex(Read(kKeepSel)), bvtest::Hex(text));
  // Readers from outside get the characters a control holding the bytes gives.
  const std::wstring shown = WideOf(text);
  EXPECT_EQ(SendMessageW(h, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(shown.size()));
  std::wstring got(shown.size() + 1, L'\0');
  got.resize(static_cast<std::size_t>(GetWindowTextW(h, got.data(), static_cast<int>(got.size()))));
  EXPECT_TRUE(got == shown) << "got " << got.size() << " characters, expected " << shown.size();
  // A buffer too small: the same answer as a control holding the text.
  Write(kKeepSel, "a\xB0\xA1z");
  Write(kSingle, "a\xB0\xA1z");
  for (WPARAM room = 0; room <= 5; ++room) {
    wchar_t held[6] = L"#####", in_control[6] = L"#####";
    LRESULT n_held = SendMessageW(h, WM_GETTEXT, room, reinterpret_cast<LPARAM>(held));
    LRESULT n_shown = SendMessageW(Hwnd(kSingle), WM_GETTEXT, room, reinterpret_cast<LPARAM>(in_control));
    EXPECT_EQ(n_held, n_shown) << "room " << room;
    EXPECT_TRUE(std::wstring(held, 6) == std::wstring(in_control, 6)) << "room " << room;
  }
  EXPECT_EQ(SendMessageW(h, EM_GETMODIFY, 0, 0), 0);
  EXPECT_EQ(ControlsOwnText(h), L"") << "only flags were asked for";
}

TEST_F(NativeUnits, HiddenBoxPutsTheTextInWhenShown) {
  HWND h = Hwnd(kKeepSel);
  const std::pair<const char*, void (*)(HWND)> ways[] = {
      {"ShowWindow", [](HWND w) { ShowWindow(w, SW_SHOWNA); }},
      {"SetWindowPos", [](HWND w) { SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW); }},
      {"visible property", [](HWND) { bv::WriteUnitProperty(kWin, kKeepSel, 5, -1, bv::ValueRecord::Bool(true)); }},
  };
  for (const auto& [name, show] : ways) {
    ShowWindow(h, SW_HIDE);
    Write(kKeepSel, "line\r\n\xB0\xA1");
    ASSERT_EQ(ControlsOwnText(h), L"") << name;
    show(h);
    EXPECT_TRUE(ControlsOwnText(h) == L"line\r\n\u554A") << name;
  }
  EXPECT_EQ(g_changes, 0);  // kKeepSel has no binding; kMulti saw nothing
}

TEST_F(NativeUnits, HiddenBoxTakesTheTextBeforeSelectionFocusAndEditsAndTheUserWins) {
  HWND h = Hwnd(kKeepSel);
  Write(kKeepSel, "abc");
  SendMessageW(h, EM_SETSEL, 3, 3);
  EXPECT_EQ(ControlsOwnText(h), L"abc");
  SendMessageW(h, WM_CHAR, 'd', 0);  // typed by the user
  EXPECT_EQ(Read(kKeepSel), "abcd");
  Write(kKeepSel, "xyz");
  EXPECT_EQ(ControlsOwnText(h), L"");
  SetFocus(h);
  EXPECT_EQ(ControlsOwnText(h), L"xyz");
}

// After the window is gone, type-specific properties are fatal while the
// common ones read the stored state.
BVTEST_CHILD(after_destroy) {
  bv::RegisterCoreUnitTypes();
  bv::InstallProgramWindows(kWindows, 1, kHandlers, 2);
  bv::RegisterUnitServices();
  bv::LoadWindow(kWin);
  bv::WriteUnitProperty(kWin, kLabel, 0, -1, bv::ValueRecord::Int(33));
  DestroyWindow(bvtest::NativeOf(kWin, kSelf));
  bvtest::Fact("left", bv::ReadUnitProperty(kWin, kLabel, 0, -1).AsInt());
  bv::ReadUnitProperty(kWin, kLabel, 8, -1);
  bvtest::Fact("survived", 1);
  return 0;
}

TEST(NativeUnitsGone, TypePropertyOfAClosedWindowIsFatalCommonOneIsStored) {
  bvtest::FactLog log;
  bvtest::SeenBox box;
  EXPECT_EQ(bvtest::RunChildAnswering("after_destroy", "", "错误", IDOK, &box), -1);
  EXPECT_EQ(box.text, std::string("运行时出错!\r\n\r\n错误信息：指定窗口尚未载入\r\n"));
  EXPECT_EQ(log.Facts()["left"], "200");  // the template's value again, not the 33 written while open
  EXPECT_EQ(log.Count("survived"), 0);
}

}  // namespace
