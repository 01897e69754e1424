// The main window as the program loads it: its units, their order and
// visibility, what they hold right after the load, and the order of the load's
// steps against the created event.
#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/program.h"
#include "runtime/value.h"
#include "tests/win/support/program_scenario.h"
#include "tests/win/support/win_test.h"
#include "ui/frame.h"
#include "ui/main_window.h"
#include "ui/window_unit.h"

namespace {

using bvtest::Fact;

const bv::WindowTemplate* const kWindows[] = {&bv::MainWindowTemplate()};

std::string ReadText(bv::UnitId unit) {
  bv::ValueRecord v = bv::ReadUnitProperty(bv::kMainWindow, unit, 8, -1);
  std::string s = v.AsText() ? v.AsText() : "<null>";
  bv::Release(v.AsText());
  return s;
}

HWND MainHwnd() { return bvtest::NativeOf(bv::kMainWindow, bv::kMainWindowUnit); }

// Runs the program with these handlers, numbered from 0, to its end.
int RunMain(int (*entry)(), std::initializer_list<bv::EventHandler> bound,
            const bv::WindowTemplate* const* windows = kWindows) {
  bv::EventHandler handlers[bv::kHandlerCount] = {};
  std::copy(bound.begin(), bound.end(), handlers);
  bvtest::EnsureDropTargetType();
  const bv::ProgramDefinition program = {windows, 1, handlers, bv::kHandlerCount, nullptr, 0};
  return bv::RunProgram(program, entry);
}

// The main window with these event bindings in place of its own (the product
// binds nothing to the events bound here).
const bv::WindowTemplate* const* BoundTo(const bv::EventBindingTemplate* bindings, std::int32_t count) {
  static bv::WindowTemplate bound = bv::MainWindowTemplate();
  static const bv::WindowTemplate* const windows[] = {&bound};
  bound.bindings = bindings;
  bound.binding_count = count;
  return windows;
}

void EndCallbackFact() { Fact("end_callback", 1); }

// Ends the program the way the start-up check does when the client is missing.
void DeferDestroy() {
  bv::UnitObject* w = bv::FindUnitObject(bv::kMainWindow, bv::kMainWindowUnit);
  bv::MarkDestroyPending(w);
  PostMessageA(static_cast<HWND>(w->native), bv::kMsgDestroyWindow, 0, 0);
}

// ---- The window right after the load, its texts and fonts as another program sees them

// A window's text read in wide characters, as UTF-16 code units in hex.
std::string WideTextHex(HWND h) {
  wchar_t text[256] = {};
  const LRESULT n = SendMessageW(h, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
  return bvtest::Hex(std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(n) * sizeof(wchar_t)));
}
std::string WideHex(const std::wstring& w) {
  return bvtest::Hex(std::string(reinterpret_cast<const char*>(w.data()), w.size() * sizeof(wchar_t)));
}

// The character set of the face the font mapper picks for a window's font.
int CharsetOfFont(HWND h) {
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
  const int charset = GetTextCharset(dc);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  return charset;
}

const struct { const char* name; bv::UnitId unit; const wchar_t* text; } kShownTexts[] = {
    {"window", bv::kMainWindowUnit, L"Brisvale"},   {"label1", bv::kLabel1, L"国服版本："},
    {"label2", bv::kLabel2, L"韩服版本："},         {"label5", bv::kLabel5, L"请将下载的BAT文件拖到这里"},
    {"label6", bv::kLabel6, L"By：Corvane"},        {"button1", bv::kButton1, L"创建桌面快捷方式"},
    {"button2", bv::kButton2, L"OP.GG\r\n"},    {"editbox6", bv::kEditBox6, L"\" data-link="},
};

void LayoutStartup(const bv::EventCall&) {
  Fact("visible_in_created", IsWindowVisible(MainHwnd()));
  Fact("editbox7", bvtest::Hex(ReadText(bv::kEditBox7)));
  Fact("label3", ReadText(bv::kLabel3));
}

int LayoutEntry() {
  bv::InitializeProgram();
  bv::SetEndCallback(EndCallbackFact);
  bv::LoadWindow(bv::kMainWindow);
  HWND w = MainHwnd();
  RECT rc;
  GetWindowRect(w, &rc);
  Fact("outer", std::to_string(rc.right - rc.left) + "x" + std::to_string(rc.bottom - rc.top));
  Fact("left", rc.left);
  Fact("top", rc.top);
  Fact("expected_left", (GetSystemMetrics(SM_CXSCREEN) - 323) / 2);
  Fact("expected_top", (GetSystemMetrics(SM_CYSCREEN) - 136) / 2);
  Fact("visible_after_load", IsWindowVisible(w));
  Fact("foreground", GetForegroundWindow() == w);

  const bv::WindowTemplate& t = bv::MainWindowTemplate();
  std::string hidden, order_ok = "1";
  HWND expected = GetWindow(w, GW_CHILD);
  for (int i = 1; i < t.unit_count; ++i) {
    HWND h = bvtest::NativeOf(bv::kMainWindow, t.units[i].id);
    if (!IsWindowVisible(h)) hidden += std::string(hidden.empty() ? "" : ",") + t.units[i].stored_name;
    if (h != expected) order_ok = "0 at " + std::string(t.units[i].stored_name);
    expected = GetWindow(expected, GW_HWNDNEXT);
  }
  Fact("hidden", hidden);
  Fact("stacking_is_template_order", order_ok);
  Fact("units_after_last", expected == nullptr);
  Fact("label3_after_load", ReadText(bv::kLabel3));
  for (const auto& shown : kShownTexts) {
    HWND h = bvtest::NativeOf(bv::kMainWindow, shown.unit);
    Fact(shown.name, WideTextHex(h));
    // The window's own caption is drawn in the system's caption font.
    if (shown.unit != bv::kMainWindowUnit) Fact((std::string(shown.name) + "_charset").c_str(), CharsetOfFont(h));
  }
  Fact("code_page", GetACP());
  DeferDestroy();
  bv::RunMessageLoop();
  Fact("loop_returned", 1);
  return 0;
}

BVTEST_CHILD(layout) { return RunMain(LayoutEntry, {LayoutStartup}); }

// The created event runs before the window is shown, and a destroy posted from
// it waits for the loop: the window shows first, then the program ends.
// Whatever the system's code page, a program that asks the window for its
// texts in wide characters gets the Chinese texts, and every font the units
// use is one the font mapper fills with Chinese glyphs.
TEST(MainWindowLoad, UnitsHoldTemplateValuesInOrderShowChineseTextsAfterTheCreatedEvent) {
  bvtest::FactLog log;
  ASSERT_EQ(bvtest::RunChild("layout"), 0) << log.Raw();
  auto f = log.Facts();
  EXPECT_EQ(f["editbox7"], bvtest::Hex("\n\t\t\t\t</div>\n"));
  EXPECT_EQ(f["label3"], "<null>");
  EXPECT_EQ(f["label3_after_load"], "<null>");
  EXPECT_EQ(f["outer"], "323x136");
  EXPECT_EQ(f["left"], f["expected_left"]);
  EXPECT_EQ(f["top"], f["expected_top"]);
  EXPECT_EQ(f["hidden"], "编辑框3,编辑框2,编辑框1,拖放对象1");
  EXPECT_EQ(f["stacking_is_template_order"], "1");
  EXPECT_EQ(f["units_after_last"], "1");
  EXPECT_EQ(f["visible_in_created"], "0");
  EXPECT_EQ(f["visible_after_load"], "1");
  EXPECT_EQ(f["foreground"], "1");
  EXPECT_EQ(f["loop_returned"], "1");
  EXPECT_EQ(log.Count("end_callback"), 1);
  for (const auto& shown : kShownTexts) {
    EXPECT_EQ(f[shown.name], WideHex(shown.text)) << shown.name << " under code page " << f["code_page"];
    if (shown.unit != bv::kMainWindowUnit) {
      EXPECT_EQ(f[std::string(shown.name) + "_charset"], std::to_string(GB2312_CHARSET))
          << shown.name << " under code page " << f["code_page"];
    }
  }
}

// ---- Events while building, and a window destroyed during its created event -------

void CountingHandler(const bv::EventCall&) { Fact("click_handler", 1); }

// What a button does when it is clicked: tells its parent.
void ReportClick(HWND parent, HWND button) {
  SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void BuildingStartup(const bv::EventCall&) {
  Fact("created_ran", 1);
  // Button1's click, now that events flow: reaches its handler.
  ReportClick(MainHwnd(), bvtest::NativeOf(bv::kMainWindow, bv::kButton1));
  DeferDestroy();
}

int BuildingEntry() {
  bv::InitializeProgram();
  // Button1's creation is followed by a click before the created event: sent
  // during the build and posted into the queue the build empties.
  static bool hooked = false;
  HHOOK hook = SetWindowsHookExW(
      WH_CBT,
      [](int code, WPARAM wp, LPARAM lp) -> LRESULT {
        if (code == HCBT_CREATEWND) {
          auto* cs = reinterpret_cast<CBT_CREATEWNDW*>(lp)->lpcs;
          // Under the manifest the class arrives by its versioned name, "<version>!Button".
          const wchar_t* cls = cs->lpszClass && !IS_INTRESOURCE(cs->lpszClass) ? cs->lpszClass : L"";
          if (const wchar_t* bang = std::wcsrchr(cls, L'!')) cls = bang + 1;
          if (lstrcmpiW(cls, L"BUTTON") == 0 &&
              cs->lpszName && lstrcmpW(cs->lpszName, L"创建桌面快捷方式") == 0 && !hooked) {
            hooked = true;
            PostMessageA(cs->hwndParent, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), static_cast<LPARAM>(wp));
          }
        }
        return CallNextHookEx(nullptr, code, wp, lp);
      },
      nullptr, GetCurrentThreadId());
  bv::LoadWindow(bv::kMainWindow);
  UnhookWindowsHookEx(hook);
  Fact("posted_click_was_queued", hooked);
  bv::RunMessageLoop();
  return 0;
}

BVTEST_CHILD(building) { return RunMain(BuildingEntry, {BuildingStartup, CountingHandler}); }

TEST(MainWindowLoad, AClickQueuedWhileBuildingReachesNoHandler) {
  bvtest::FactLog log;
  ASSERT_EQ(bvtest::RunChild("building"), 0) << log.Raw();
  EXPECT_EQ(log.Facts()["posted_click_was_queued"], "1");
  EXPECT_EQ(log.Facts()["created_ran"], "1");
  // Only the click sent from the created handler counts.
  EXPECT_EQ(log.Count("click_handler"), 1) << log.Raw();
}

void DestroyAtOnceStartup(const bv::EventCall&) {
  DestroyWindow(MainHwnd());
  Fact("destroyed_in_created", 1);
}
void LaterEvent(const bv::EventCall&) { Fact("event3_ran", 1); }

int DestroyAtOnceEntry() {
  bv::InitializeProgram();
  bv::SetEndCallback(EndCallbackFact);
  bv::LoadWindow(bv::kMainWindow);
  Fact("window_after_load", MainHwnd() != nullptr);
  bv::RunMessageLoop();  // nothing open: back at once
  Fact("loop_returned", 1);
  return 0;
}

// Event 3 of the window is bound to see whether the load went on after the
// window was gone.
const bv::EventBindingTemplate kBindingsWith3[] = {{bv::kMainWindowUnit, 0, 0}, {bv::kMainWindowUnit, 3, 1}};

BVTEST_CHILD(destroy_at_once) { return RunMain(DestroyAtOnceEntry, {DestroyAtOnceStartup, LaterEvent}, BoundTo(kBindingsWith3, 2)); }

TEST(MainWindowLoad, WindowDestroyedInItsCreatedEventStopsTheLoad) {
  bvtest::FactLog log;
  ASSERT_EQ(bvtest::RunChild("destroy_at_once"), 0) << log.Raw();
  auto f = log.Facts();
  EXPECT_EQ(f["destroyed_in_created"], "1");
  EXPECT_EQ(log.Count("event3_ran"), 0);
  EXPECT_EQ(f["window_after_load"], "0");
  EXPECT_EQ(f["loop_returned"], "1");
  EXPECT_EQ(log.Count("end_callback"), 1);
}

// ---- A close handler that destroys the window itself --------------------------------

// While set, what the program deletes is not freed but filled with the handle
// of a bystander window: whatever still reads a deleted object reads that
// handle (see the replaced operator delete at the end of this file).
bool g_poison_deleted = false;
HWND g_bystander = nullptr;

void DestroyOnClose(const bv::EventCall&) {
  g_poison_deleted = true;
  DestroyWindow(MainHwnd());
  g_poison_deleted = false;
  Fact("destroyed_in_close", 1);
}

void CALLBACK PostClose(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  PostMessageA(MainHwnd(), WM_CLOSE, 0, 0);
}

int CloseHandlerEntry() {
  bv::InitializeProgram();
  bv::SetEndCallback(EndCallbackFact);
  g_bystander = CreateWindowExA(0, "STATIC", "bystander", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  Fact("bystander_made", g_bystander != nullptr);
  bv::LoadWindow(bv::kMainWindow);
  SetTimer(nullptr, 0, 200, PostClose);
  bv::RunMessageLoop();
  Fact("bystander_alive", IsWindow(g_bystander));
  return 0;
}

const bv::EventBindingTemplate kBindingsWithClose[] = {{bv::kMainWindowUnit, 1, 1}};

BVTEST_CHILD(close_handler_destroys) { return RunMain(CloseHandlerEntry, {nullptr, DestroyOnClose}, BoundTo(kBindingsWithClose, 1)); }

TEST(MainWindowClose, HandlerThatDestroysTheWindowLeavesNothingToTheCloseCommand) {
  bvtest::FactLog log;
  ASSERT_EQ(bvtest::RunChild("close_handler_destroys"), 0) << log.Raw();
  auto f = log.Facts();
  ASSERT_EQ(f["bystander_made"], "1");
  EXPECT_EQ(f["destroyed_in_close"], "1");
  EXPECT_EQ(f["bystander_alive"], "1") << "the close command acted on the freed window object";
  EXPECT_EQ(log.Count("end_callback"), 1);
}

// ---- A second load --------------------------------------------------------------

int SecondLoadEntry() {
  bv::InitializeProgram();
  bv::LoadWindow(bv::kMainWindow);
  HWND first = MainHwnd();
  bv::LoadWindow(bv::kMainWindow);
  Fact("same_window", MainHwnd() == first);
  bv::MarkDestroyPending(bv::FindUnitObject(bv::kMainWindow, 0));
  bv::LoadWindow(bv::kMainWindow);
  HWND second = MainHwnd();
  Fact("rebuilt", second != nullptr && !IsWindow(first));
  Fact("rebuilt_shown", IsWindowVisible(second));
  DeferDestroy();
  bv::RunMessageLoop();
  return 0;
}

BVTEST_CHILD(second_load) { return RunMain(SecondLoadEntry, {}); }

TEST(MainWindowLoad, SecondLoadActivatesTheOpenWindowUnlessItIsBeingDestroyed) {
  bvtest::FactLog log;
  ASSERT_EQ(bvtest::RunChild("second_load"), 0) << log.Raw();
  auto f = log.Facts();
  EXPECT_EQ(f["same_window"], "1");
  EXPECT_EQ(f["rebuilt"], "1");
  EXPECT_EQ(f["rebuilt_shown"], "1");
}

// ---- A real click where Button1 covers Label3 --------------------------------------

void ClickHandler(const bv::EventCall&) {
  Fact("button1_clicked", 1);
  DeferDestroy();
}

void CALLBACK ClickTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  // Inside Label3 (80..160) and inside Button1 (112..232), on row 68.
  POINT pt{130, 68};
  ClientToScreen(MainHwnd(), &pt);
  HWND under = WindowFromPoint(pt);
  Fact("under_is_button1", under == bvtest::NativeOf(bv::kMainWindow, bv::kButton1));
  SetCursorPos(pt.x, pt.y);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  Fact("sent", SendInput(2, in, sizeof(INPUT)));
}

void CALLBACK GiveUpTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  Fact("gave_up", 1);
  DestroyWindow(MainHwnd());
}

int ClickEntry() {
  bv::InitializeProgram();
  bv::LoadWindow(bv::kMainWindow);
  SetTimer(nullptr, 0, 500, ClickTimer);
  SetTimer(nullptr, 0, 10000, GiveUpTimer);
  bv::RunMessageLoop();
  return 0;
}

BVTEST_CHILD(click) { return RunMain(ClickEntry, {nullptr, ClickHandler}); }

TEST(MainWindowInput, AClickOnLabel3WhereButton1CoversItClicksButton1) {
  bvtest::FactLog log;
  ASSERT_EQ(bvtest::RunChild("click"), 0) << log.Raw();
  auto f = log.Facts();
  EXPECT_EQ(f["under_is_button1"], "1");
  EXPECT_EQ(f["sent"], "2");
  EXPECT_EQ(f["button1_clicked"], "1") << log.Raw();
  EXPECT_EQ(log.Count("gave_up"), 0);
}

}  // namespace

// Deleted objects are poisoned, and kept, while g_poison_deleted is set.
namespace {
void* PoisonInsteadOfFree(void* p, std::size_t size) {
  auto* words = static_cast<HWND*>(p);
  for (std::size_t k = 0; k < size / sizeof(HWND); ++k) words[k] = g_bystander;
  return p;
}
}  // namespace
// The library's operator new takes its memory from malloc(), so free() is its
// match; GCC in Release cannot see that and calls it a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
  if (p && g_poison_deleted) PoisonInsteadOfFree(p, _msize(p));
  else std::free(p);
}
#pragma GCC diagnostic pop
void operator delete(void* p, std::size_t size) noexcept {
  if (p && g_poison_deleted) PoisonInsteadOfFree(p, size);
  else operator delete(p);
}
