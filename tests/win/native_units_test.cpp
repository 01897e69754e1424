// The core unit types on real native windows: what edit boxes, labels and
// buttons hand back and raise, and the native styles the template asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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
const std::uint8_t kPicture[] = {1, 0, 0, 0, 3, 0, 0, 0, 'p', 'n', 'g'};  // a byte set
const bv::ButtonTypeData kButtonData = {.picture = kPicture, .caption = "b\r\n"};

const bv::UnitTemplate kUnits[] = {
    // The window's data block is one byte short: its type must not read it at all.
    {kSelf, "w", bv::kUnitWindow, 0, 0, 323, 136, 1, 0, nullptr, &kWindowData, sizeof kWindowData - 1},
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

void LoadUnits() {
  bv::RegisterCoreUnitTypes();
  bv::InstallProgramWindows(kWindows, 1, kHandlers, 2);
  bv::RegisterUnitServices();
  bv::LoadWindow(kWin);
}

class NativeUnits : public testing::Test {
 protected:
  void SetUp() override {
    LoadUnits();
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
  static HFONT FontOf(bv::UnitId unit) { return reinterpret_cast<HFONT>(SendMessageW(Hwnd(unit), WM_GETFONT, 0, 0)); }
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
  EXPECT_EQ(g_changes, 6);  // one change for each write to kMulti, the bound box
  SendMessageA(Hwnd(kMulti), WM_CHAR, 'z', 0);
  EXPECT_EQ(g_changes, 7);  // the user's edit is a change too
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
  Write(kSingle, "\x81\x20");  // a write takes over again
  EXPECT_EQ(bvtest::Hex(Read(kSingle)), bvtest::Hex("\x81\x20"));
}

TEST_F(NativeUnits, PasswordCharacterIsTheFirstCharacterOfItsText) {
  bv::WriteUnitProperty(kWin, kSingle, 8 + bv::edit_prop::kInputMode, -1, bv::ValueRecord::Int(bv::kInputPassword));
  Write(kSingle, "\xA1\xF1x", 8 + bv::edit_prop::kPasswordChar);  // ●x
  EXPECT_EQ(SendMessageW(Hwnd(kSingle), EM_GETPASSWORDCHAR, 0, 0), L'●');
  Write(kSingle, "", 8 + bv::edit_prop::kPasswordChar);
  EXPECT_EQ(SendMessageW(Hwnd(kSingle), EM_GETPASSWORDCHAR, 0, 0), L'*');
}

// Captions and the title are the window texts, read back as written; an empty
// text reads as null.
TEST_F(NativeUnits, CaptionsAndTitleShowGbkAsChineseAndReadBackAsWritten) {
  EXPECT_EQ(Read(kSingle), "<null>");  // the template leaves it empty
  EXPECT_EQ(Read(kSelf), "<null>");    // its block is short
  const struct { bv::UnitId unit; std::int32_t number; const char* gbk; const wchar_t* shown; } texts[] = {
      {kLabel, 8, "\xB9\xFA\xB7\xFE\xB0\xE6\xB1\xBE\xA3\xBA", L"国服版本："}, {kButton, 10, "\xB4\xB4\xBD\xA8", L"创建"},
      {kSelf, 8, "\xB2\xE2\xCA\xD4", L"测试"}, {kLabel, 8, "", L""}, {kMulti, 8, "", L""}};
  for (const auto& t : texts) {
    Write(t.unit, t.gbk, t.number);
    wchar_t shown[32] = {};
    SendMessageW(Hwnd(t.unit), WM_GETTEXT, 32, reinterpret_cast<LPARAM>(shown));
    EXPECT_EQ(std::wstring(shown), t.shown) << "code page " << GetACP();
    EXPECT_EQ(Read(t.unit, t.number), *t.gbk ? t.gbk : "<null>");
  }
}

TEST_F(NativeUnits, ButtonClickRaisesItsEvent) {
  SendMessageA(Hwnd(kSelf), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Hwnd(kButton)), BN_CLICKED),
               reinterpret_cast<LPARAM>(Hwnd(kButton)));
  EXPECT_EQ(g_clicks, 1);
  EXPECT_EQ(Read(kButton, 10), "b\r\n");
}

// Each type draws with the font written to it, the record's own charset kept,
// reads it back as written and frees its own fonts once it is done with them.
// A face that fills the record's field without a NUL is cut to 31 characters.
TEST_F(NativeUnits, WrittenFontIsTheOneTheControlDrawsWithTillReplaced) {
  bv::FontRecord tahoma = {.height = -20, .charset = ANSI_CHARSET, .face = "Tahoma"}, full = tahoma;
  std::memset(full.face, 'F', sizeof full.face);
  const std::pair<bv::FontRecord, std::wstring> written[] = {{tahoma, L"Tahoma"}, {full, std::wstring(31, L'F')}};
  const std::pair<bv::UnitId, std::int32_t> fonts[] = {
      {kButton, bv::button_prop::kFont}, {kLabel, bv::label_prop::kFont}, {kSingle, bv::edit_prop::kFont}};
  std::vector<HFONT> last;
  for (const auto& [unit, index] : fonts) {
    HFONT replaced = nullptr;
    for (const auto& [font, face] : written) {
      std::uint8_t* set = bv::MakeByteSet(&font, sizeof font);
      bv::WriteUnitProperty(kWin, unit, 8 + index, -1, bv::ValueRecord::ByteSetOf(set));
      bv::Release(set);
      LOGFONTW used{};
      GetObjectW(FontOf(unit), sizeof used, &used);
      EXPECT_TRUE(used.lfHeight == -20 && used.lfCharSet == ANSI_CHARSET && used.lfFaceName == face) << std::hex << unit;
      bv::ValueRecord v = bv::ReadUnitProperty(kWin, unit, 8 + index, -1);
      EXPECT_EQ(std::memcmp(bv::ByteSetData(v.AsByteSet()), &font, sizeof font), 0) << std::hex << unit;
      bv::Release(v.AsByteSet());
      EXPECT_TRUE(!replaced || GetObjectType(replaced) == 0) << std::hex << unit;
      replaced = FontOf(unit);
    }
    last.push_back(replaced);
  }
  DestroyWindow(Hwnd(kSelf));
  for (HFONT font : last) EXPECT_EQ(GetObjectType(font), 0u) << "freed with its unit";
}

// The native styles follow the type data, and writes change them in place:
// the same native window, repainted where its look changed.
TEST_F(NativeUnits, NativeStylesFollowTheTypeDataAndWrites) {
  ShowWindow(Hwnd(kSelf), SW_SHOWNA);
  UpdateWindow(Hwnd(kSelf));
  constexpr std::int32_t kLoaded = -1;  // no write
  const struct { bv::UnitId unit; std::int32_t index, value; int styles; DWORD mask, bits; } rows[] = {
      {kSelf, kLoaded, 0, GWL_STYLE, WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
       WS_CAPTION | WS_SYSMENU},
      {kMulti, kLoaded, 0, GWL_STYLE, ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_HSCROLL | WS_VSCROLL | ES_NOHIDESEL | WS_TABSTOP,
       ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_TABSTOP},
      {kMulti, kLoaded, 0, GWL_EXSTYLE, WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE},
      {kSingle, kLoaded, 0, GWL_STYLE, ES_AUTOHSCROLL | ES_MULTILINE, ES_AUTOHSCROLL},
      {kKeepSel, kLoaded, 0, GWL_STYLE, ES_NOHIDESEL | WS_VISIBLE, ES_NOHIDESEL},  // focusable but not visible
      {kLabel, kLoaded, 0, GWL_STYLE, WS_TABSTOP, 0},
      {kButton, kLoaded, 0, GWL_STYLE, BS_TYPEMASK | BS_CENTER | BS_VCENTER | BS_MULTILINE,
       BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE},
      {kButton, bv::button_prop::kKind, bv::kButtonDefault, GWL_STYLE, BS_TYPEMASK, BS_DEFPUSHBUTTON},
      {kButton, bv::button_prop::kAlignment, bv::kAlignFar, GWL_STYLE, BS_CENTER, BS_RIGHT},
      {kButton, bv::button_prop::kVerticalAlignment, bv::kAlignNear, GWL_STYLE, BS_VCENTER, BS_TOP},
      {kLabel, bv::label_prop::kBorder, bv::kBorderSunken, GWL_EXSTYLE, WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE},
      {kLabel, 3, 1, GWL_STYLE, 0, 0},  // a property the label keeps nowhere: nothing to see
      {kSingle, bv::edit_prop::kPasswordChar, 0, GWL_STYLE, 0, 0},
      {kSingle, bv::edit_prop::kSpinMin, 5, GWL_STYLE, 0, 0},
  };
  for (const auto& r : rows) {
    HWND h = Hwnd(r.unit);
    ValidateRect(h, nullptr);
    if (r.index != kLoaded) bv::WriteUnitProperty(kWin, r.unit, 8 + r.index, -1, bv::ValueRecord::Int(r.value));
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(h, r.styles));
    EXPECT_EQ(style & r.mask, r.bits) << std::hex << r.unit << " property " << std::dec << r.index << std::hex << ": " << style;
    EXPECT_EQ(Hwnd(r.unit), h) << std::hex << r.unit << " property " << std::dec << r.index;
    EXPECT_EQ(GetUpdateRect(h, nullptr, FALSE) != 0, r.index != kLoaded && r.mask != 0) << std::hex << r.unit;
  }
}

// Logical properties read back as held; the button keeps its picture bytes.
TEST_F(NativeUnits, TypePropertiesReadBackAsHeld) {
  auto read = [](bv::UnitId unit, std::int32_t number) { return bv::ReadUnitProperty(kWin, unit, number, -1); };
  EXPECT_TRUE(read(kMulti, 8 + bv::edit_prop::kHideSelection).AsBool());
  EXPECT_FALSE(read(kKeepSel, 8 + bv::edit_prop::kHideSelection).AsBool());
  bv::WriteUnitProperty(kWin, kLabel, 8 + bv::label_prop::kWordWrap, -1, bv::ValueRecord::Bool(true));
  EXPECT_TRUE(read(kLabel, 8 + bv::label_prop::kWordWrap).AsBool());
  const std::uint8_t* picture = read(kButton, 8 + bv::button_prop::kPicture).AsByteSet();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bv::ByteSetData(picture)), bv::ByteSetLength(picture)), "png");
  bv::Release(picture);
}

// The smallest rectangle around the pixels of `colour` in the label as
// WM_PRINTCLIENT paints it; empty when there are none.
RECT PaintedLabel(COLORREF colour) {
  constexpr LONG kWidth = 80, kHeight = 24;
  HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, CreateCompatibleBitmap(screen, kWidth, kHeight));
  SendMessageW(bvtest::NativeOf(kWin, kLabel), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  RECT r{kWidth, kHeight, 0, 0};
  for (LONG y = 0; y < kHeight; ++y)
    for (LONG x = 0; x < kWidth; ++x)
      if (GetPixel(dc, x, y) == colour) r = {std::min(r.left, x), std::min(r.top, y), std::max(r.right, x + 1), std::max(r.bottom, y + 1)};
  DeleteObject(SelectObject(dc, old));
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return r;
}

// The face colour fills the label and the black caption sits at its left; an
// effect shows a copy beside the caption: raised lit from above, sunken from
// below, the shadow grey below. A paint hands back the DC it borrows, so the
// next one asked for is the same.
TEST_F(NativeUnits, LabelPaintsBackgroundCaptionAndEffect) {
  HWND label = Hwnd(kLabel);
  ShowWindow(Hwnd(kSelf), SW_SHOWNA);
  HDC dc = GetDC(label);
  ReleaseDC(label, dc);
  RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(GetDC(label), dc);
  ReleaseDC(label, dc);
  const RECT face = PaintedLabel(GetSysColor(COLOR_3DFACE)), whole = {0, 0, 80, 24}, caption = PaintedLabel(RGB(0, 0, 0));
  EXPECT_TRUE(EqualRect(&face, &whole));
  EXPECT_TRUE(!IsRectEmpty(&caption) && caption.left < 30);
  const struct { std::int32_t effect; int colour; bool above; } effects[] = {
      {bv::kEffectRaised, COLOR_3DHILIGHT, true}, {bv::kEffectSunken, COLOR_3DHILIGHT, false},
      {bv::kEffectShadow, COLOR_3DSHADOW, false}};
  for (const auto& e : effects) {
    bv::WriteUnitProperty(kWin, kLabel, 8 + bv::label_prop::kEffect, -1, bv::ValueRecord::Int(e.effect));
    const RECT text = PaintedLabel(RGB(0, 0, 0)), copy = PaintedLabel(GetSysColor(e.colour));
    ASSERT_FALSE(IsRectEmpty(&copy)) << "effect " << e.effect;
    EXPECT_EQ(copy.top < text.top, e.above) << "effect " << e.effect;
    EXPECT_EQ(copy.bottom > text.bottom, !e.above) << "effect " << e.effect;
  }
}

// The model's rebuild hands the old box to the new one at its place: the
// user's edits, the selection, the font and the focus cross over, silently.
TEST_F(NativeUnits, StyleChangeKeepsTheUsersEditsSelectionFontPlaceAndFocus) {
  Write(kSingle, "written");
  HWND before = Hwnd(kSingle), above = GetWindow(before, GW_HWNDPREV);
  SetFocus(before);
  SetWindowTextW(before, L"typed\x4E2D");  // as the user's typing leaves it
  SendMessageW(before, EM_SETMODIFY, TRUE, 0);
  SendMessageW(before, EM_SETSEL, 1, 3);
  const bv::FontRecord font = {.height = -20};
  std::uint8_t* set = bv::MakeByteSet(&font, sizeof font);
  bv::WriteUnitProperty(kWin, kSingle, 8 + bv::edit_prop::kFont, -1, bv::ValueRecord::ByteSetOf(set));
  bv::Release(set);
  bv::WriteUnitProperty(kWin, kSingle, 8 + bv::edit_prop::kAlignment, -1, bv::ValueRecord::Int(bv::kAlignFar));
  HWND after = Hwnd(kSingle);
  ASSERT_NE(after, before) << "a new control";
  EXPECT_TRUE(GetWindowLongPtrA(after, GWL_STYLE) & ES_RIGHT);
  EXPECT_TRUE(GetWindowLongPtrA(after, GWL_STYLE) & WS_VISIBLE) << "visible while its window is still hidden";
  EXPECT_EQ(bvtest::Hex(Read(kSingle)), bvtest::Hex("typed\xD6\xD0"));
  EXPECT_EQ(bv::ReadUnitProperty(kWin, kSingle, 8 + bv::edit_prop::kSelStart, -1).AsInt(), 1);
  EXPECT_EQ(bv::ReadUnitProperty(kWin, kSingle, 8 + bv::edit_prop::kSelLength, -1).AsInt(), 2);
  LOGFONTW used{};
  EXPECT_TRUE(GetObjectW(FontOf(kSingle), sizeof used, &used) && used.lfHeight == -20);
  EXPECT_EQ(GetWindow(after, GW_HWNDPREV), above);
  EXPECT_EQ(GetFocus(), after);
  EXPECT_EQ(g_changes, 0);
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

TEST_F(NativeUnits, HiddenBoxHoldsTheTextBackAndAnswersReadersExactly) {
  const std::string text = std::string(200000, 'x') + "\x81\x20\xB0\xA1\r\nend";
  Write(kKeepSel, text.c_str());
  HWND h = Hwnd(kKeepSel);
  EXPECT_EQ(ControlsOwnText(h), L"");
  EXPECT_EQ(bvtest::Hex(Read(kKeepSel)), bvtest::Hex(text));
  // Readers from outside get the characters a control holding the bytes gives.
  const bv::wide::Wide wide(text.data(), static_cast<std::int32_t>(text.size()));
  const std::wstring shown(wide.c_str(), static_cast<std::size_t>(wide.size()));
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
  SendMessageW(h, WM_SHOWWINDOW, FALSE, 0);
  EXPECT_EQ(ControlsOwnText(h), L"") << "only flags were asked for, and a hide told of";
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
  LoadUnits();
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
