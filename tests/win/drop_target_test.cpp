// The file drop target as the platform's drag loop drives it: real data
// objects (files as a DROPFILES block, ANSI text, HTML, a web address) handed
// to the registered IDropTarget, and the events its handlers then receive.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "runtime/value.h"
#include "runtime/win/wide_text.h"
#include "tests/win/support/win_test.h"
#include "ui/unit_model.h"
#include "ui/win/drop_target.h"

namespace {

constexpr bv::WindowId kWin = 0x52010077;
constexpr bv::UnitId kWinUnit = 0x06010000;
constexpr bv::UnitId kDrop = 0x16010006;
constexpr std::int32_t kFilesOnly[5] = {1, 0, 0, 0, 1};
const char* const kKindNames[4] = {"text", "html", "url", "files"};  // by kind, as the unit numbers them

// ---- A data object as another program offers it ------------------------------------

class TestData final : public IDataObject {
 public:
  std::map<CLIPFORMAT, std::string> blocks;  // each handed out as an HGLOBAL of exactly these bytes
  std::vector<CLIPFORMAT> unreadable;         // offered, but GetData fails

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* fe, STGMEDIUM* m) override {
    auto it = blocks.find(fe->cfFormat);
    if (it == blocks.end() || !(fe->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
    for (CLIPFORMAT f : unreadable)
      if (f == fe->cfFormat) return E_UNEXPECTED;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, it->second.size() ? it->second.size() : 1);
    std::memcpy(GlobalLock(h), it->second.data(), it->second.size());
    GlobalUnlock(h);
    m->tymed = TYMED_HGLOBAL;
    m->hGlobal = h;
    m->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* fe) override {
    return blocks.count(fe->cfFormat) && (fe->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

  // A file list as the platform builds it: wide paths, given here in GBK.
  void Files(const std::vector<std::string>& paths) {
    std::vector<std::wstring> wide;
    for (const std::string& p : paths) wide.emplace_back(bv::wide::Wide(p.c_str()).c_str());
    WideFiles(wide);
  }
  void WideFiles(const std::vector<std::wstring>& paths) {
    DROPFILES head{};
    head.pFiles = sizeof head;
    head.fWide = TRUE;
    std::string b(reinterpret_cast<const char*>(&head), sizeof head);
    for (const std::wstring& p : paths) b += Bytes(p + L'\0');
    b += Bytes(L"\0", 1);
    blocks[CF_HDROP] = b;
  }
  // A list of 8-bit paths, as a program may still build one.
  void AnsiFiles(const std::vector<std::string>& paths) {
    DROPFILES head{};
    head.pFiles = sizeof head;
    head.fWide = FALSE;
    std::string b(reinterpret_cast<const char*>(&head), sizeof head);
    for (const std::string& p : paths) b += p + '\0';
    b += '\0';
    blocks[CF_HDROP] = b;
  }
  void Text(const std::string& t) { blocks[CF_TEXT] = t + '\0'; }
  void UnicodeText(const std::wstring& t) { blocks[CF_UNICODETEXT] = Bytes(t + L'\0'); }
  void WideUrl(const std::wstring& u) { blocks[RegisterClipboardFormatA("UniformResourceLocatorW")] = Bytes(u + L'\0'); }

  static std::string Bytes(const std::wstring& w) { return Bytes(w.data(), w.size()); }
  static std::string Bytes(const wchar_t* w, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(w), n * sizeof(wchar_t));
  }
  void Html(const std::string& utf8) { blocks[RegisterClipboardFormatA("HTML Format")] = utf8 + '\0'; }
  void Url(const std::string& u) { blocks[RegisterClipboardFormatA("UniformResourceLocator")] = u + '\0'; }
};

// ---- The handlers bound to the unit's four events --------------------------------------

struct Seen {
  int event;
  std::string text;
  bool was_null;
  const char* block;
};
std::vector<Seen> g_seen;
enum class Mode { Copy, Keep, Swap, DestroyWindow } g_mode = Mode::Copy;
char* g_kept = nullptr;
char* g_swapped_in = nullptr;
HWND g_parent = nullptr;

template <int Event>
void OnDropped(const bv::EventCall& call) {
  ASSERT_EQ(call.argc, 1);
  char** slot = reinterpret_cast<char**>(static_cast<std::uintptr_t>(call.args[0]));
  char* t = *slot;
  g_seen.push_back({Event, t ? t : "", t == nullptr, t});
  if (g_mode == Mode::Keep) {
    g_kept = t;  // takes the text over: the slot no longer holds it
    *slot = nullptr;
  } else if (g_mode == Mode::Swap) {
    g_kept = t;
    g_swapped_in = bv::JoinTexts({"other"});
    *slot = g_swapped_in;
  } else if (g_mode == Mode::DestroyWindow) {
    DestroyWindow(g_parent);
  }
}
const bv::EventHandler kHandlers[] = {OnDropped<0>, OnDropped<1>, OnDropped<2>, OnDropped<3>};
const bv::EventBindingTemplate kBindings[] = {{kDrop, 0, 0}, {kDrop, 1, 1}, {kDrop, 2, 2}, {kDrop, 3, 3}};

// Whether some heap of the process holds a block in use that `match` takes,
// found by walking the heaps (a freed block is never read): the process heap
// holds the runtime's blocks, the C runtime's heap the unit objects.
template <class Match>
bool AnyBlockInUse(Match match) {
  HANDLE heaps[64];
  const DWORD n = GetProcessHeaps(64, heaps);
  for (DWORD i = 0; i < n && i < 64; ++i) {
    PROCESS_HEAP_ENTRY e{};
    bool found = false;
    HeapLock(heaps[i]);
    while (HeapWalk(heaps[i], &e))
      if ((e.wFlags & PROCESS_HEAP_ENTRY_BUSY) && match(e)) found = true;
    HeapUnlock(heaps[i]);
    if (found) return true;
  }
  return false;
}
bool HeapBlockInUse(const void* p) {
  return AnyBlockInUse([p](const PROCESS_HEAP_ENTRY& e) { return e.lpData == p; });
}
// Whether a block in use starts with the C text `text`.
bool HeapHoldsText(const std::string& text) {
  return AnyBlockInUse([&](const PROCESS_HEAP_ENTRY& e) {
    return e.cbData > text.size() && std::memcmp(e.lpData, text.c_str(), text.size() + 1) == 0;
  });
}

class OleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(OleInitialize(nullptr), S_OK); }
  void TearDown() override { OleUninitialize(); }
};
[[maybe_unused]] auto* const g_ole = ::testing::AddGlobalTestEnvironment(new OleEnvironment);

struct WindowObject : bv::UnitObject {};

// A program window holding one DropTarget unit, loaded the way the window
// loader does it: the unit made by its type's create operation and attached.
class DropTargetTest : public ::testing::Test {
 protected:
  bv::UnitTemplate units_[2] = {
      {kWinUnit, "window", bv::kUnitWindow, 0, 0, 200, 100, bv::kUnitVisible, 0, nullptr, nullptr, 0},
      {kDrop, "drop", bv::kUnitDropTarget, 8, 296, 72, 48, 0, 0, nullptr, kFilesOnly, sizeof kFilesOnly}};
  bv::WindowTemplate tmpl_ = {kWin, units_, 2, kBindings, 4};
  const bv::WindowTemplate* list_[1] = {&tmpl_};
  WindowObject window_;
  bv::UnitObject* unit_ = nullptr;
  IDropTarget* target_ = nullptr;

  void SetUp() override {
    bv::RegisterDropTargetType();
    bv::InstallProgramWindows(list_, 1, kHandlers, 4);
    // Not a static control: those are transparent to hit tests, so no drag
    // loop would ever find them under the cursor.
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DropTestParent";
    RegisterClassA(&wc);
    g_parent = CreateWindowExA(0, "DropTestParent", "drop here", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                               nullptr, nullptr);
    ASSERT_TRUE(g_parent);
    window_.window_id = kWin;
    window_.unit_id = kWinUnit;
    window_.native = g_parent;
    bv::AttachUnitObject(kWin, kWinUnit, &window_);
    unit_ = Create(kFilesOnly, sizeof kFilesOnly);
    ASSERT_TRUE(unit_);
    bv::AttachUnitObject(kWin, kDrop, unit_);
    target_ = &static_cast<bv::DropTargetUnit*>(unit_)->kest;
    g_seen.clear();
    g_mode = Mode::Copy;
    g_kept = g_swapped_in = nullptr;
  }
  void TearDown() override {
    if (IsWindow(g_parent)) DestroyWindow(g_parent);
    bv::ReportUnitGone(kWin, kWinUnit);
    bv::ReleaseProgramWindows();
  }

  bv::UnitObject* Create(const void* data, std::int32_t size) {
    bv::UnitCreateInfo info;
    info.type = bv::FindUnitType(bv::kUnitDropTarget);
    info.window = kWin;
    info.unit = kDrop;
    info.parent = &window_;
    bv::CommonState common;
    common.left = 8, common.top = 296, common.width = 72, common.height = 48;
    info.common = &common;
    info.data = data;
    info.data_size = size;
    return info.type->ops.create(info);
  }

  // A window handle as the logic passes it: an integer.
  static bv::ValueRecord Handle(HWND h) {
    return bv::ValueRecord::Int(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(h)));
  }
  bool Register(HWND h) {
    return bv::Call(bv::RegisterDrop, {bv::ValueRecord::Unit(kWin, kDrop, bv::kUnitDropTarget), Handle(h)}).AsBool();
  }

  // Accepts the kinds `kinds` names ("text html url files"), and no others.
  void Accept(const std::string& kinds) {
    for (int i = 0; i < 4; ++i)
      bv::WriteUnitProperty(kWin, kDrop, 8 + i, -1, bv::ValueRecord::Bool(kinds.find(kKindNames[i]) != kinds.npos));
  }

  // Enter, hover, drop, as the drag loop calls them; answers the drop's result
  // and leaves the effects of each step in the out-parameters.
  HRESULT Drag(IDataObject* data, DWORD keys, DWORD allowed, DWORD* enter_effect = nullptr,
               DWORD* drop_effect = nullptr) {
    POINTL pt{20, 20};
    DWORD e = allowed;
    EXPECT_EQ(target_->DragEnter(data, keys, pt, &e), S_OK);
    if (enter_effect) *enter_effect = e;
    e = allowed;
    EXPECT_EQ(target_->DragOver(keys, pt, &e), S_OK);
    e = allowed;
    HRESULT hr = target_->Drop(data, keys, pt, &e);
    if (drop_effect) *drop_effect = e;
    return hr;
  }

  // The text of the one event raised so far, which must be of `kind`; else
  // what came instead.
  static std::string Only(int kind) {
    if (g_seen.size() != 1) return "<" + std::to_string(g_seen.size()) + " events>";
    if (g_seen[0].event != kind) return "<event " + std::to_string(g_seen[0].event) + ">";
    return g_seen[0].was_null ? "<null>" : g_seen[0].text;
  }
  // Every event raised so far, a line "kind text" each.
  static std::string Events() {
    std::string all;
    for (const Seen& s : g_seen)
      all += std::string(kKindNames[s.event]) + " " + (s.was_null ? "<null>" : s.text) + "\n";
    return all;
  }
  // A plain drop of `data` (copy allowed, no keys): Only(kind) of its events.
  std::string DropOnly(IDataObject* data, int kind) {
    g_seen.clear();
    Drag(data, 0, DROPEFFECT_COPY);
    return Only(kind);
  }

  // Whether the target is accepting the drag now, as a hover shows it.
  bool Accepting() {
    DWORD e = DROPEFFECT_COPY;
    EXPECT_EQ(target_->DragOver(0, {0, 0}, &e), S_OK);
    return e != DROPEFFECT_NONE;
  }
};

// The unit once the logic has registered it on its window, as at start-up.
class RegisteredTarget : public DropTargetTest {
 protected:
  void SetUp() override {
    DropTargetTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Register(g_parent));
  }
};

constexpr DWORD kAllEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
using bv::kDropFiles, bv::kDropHtml, bv::kDropText, bv::kDropUrl;

// What is on offer raises the events of the kinds accepted, in the order
// text, HTML, address, files, each with the text of its block in GBK, up to
// its NUL or its end. How paths are joined and blocks bounded is tested
// natively; here, that each kind is read so.
TEST_F(RegisteredTarget, OfferRaisesAnEventForEachKindAcceptedWithItsText) {
  const struct {
    const char* accept;
    void (*offer)(TestData&);
    std::string events;
  } cases[] = {
      {"files", [](TestData& d) { d.Files({"C:\\games\\live_game.bat"}); }, "files C:\\games\\live_game.bat\n"},
      // a GBK folder name in the middle
      {"files", [](TestData& d) { d.Files({"C:\\a.bat", "D:\\\xCE\xC4\xBC\xFE\\b.txt", "E:\\c"}); },
       "files C:\\a.bat\r\nD:\\\xCE\xC4\xBC\xFE\\b.txt\r\nE:\\c\r\n\n"},
      // an empty list: the unit's own one-byte block holding the NUL, never null
      {"files", [](TestData& d) { d.Files({}); }, "files \n"},
      {"files", [](TestData& d) { d.AnsiFiles({"C:\\games\\live_game.bat", "D:\\b"}); },
       "files C:\\games\\live_game.bat\r\nD:\\b\r\n\n"},
      // NBSP, a, °, 中文, NBSP, b (UTF-8)
      {"html", [](TestData& d) { d.Html("\xC2\xA0" "a\xC2\xB0\xE4\xB8\xAD\xE6\x96\x87\xC2\xA0" "b"); },
       "html  a\xA1\xE3\xD6\xD0\xCE\xC4 b\n"},
      {"url", [](TestData& d) { d.Url(std::string("http://127.0.0.1/x\0junk", 23)); }, "url http://127.0.0.1/x\n"},
      // Blocks without a NUL, of a size no allocator rounds up.
      {"text", [](TestData& d) { d.blocks[CF_TEXT] = "0123456789abcdef"; }, "text 0123456789abcdef\n"},
      {"text", [](TestData& d) { d.blocks[CF_UNICODETEXT] = TestData::Bytes(L"0123456789abcdef"); },
       "text 0123456789abcdef\n"},
      {"text files", [](TestData& d) { d.Files({"C:\\one"}); d.Text("plain \xD6\xD0"); },
       "text plain \xD6\xD0\nfiles C:\\one\n"},
      // What the platform offers wide arrives in GBK and wins over the 8-bit form.
      {"text url",
       [](TestData& d) {
         d.UnicodeText(L"中文 text 한"); d.Text("other"); d.WideUrl(L"http://例子.测试/x"); d.Url("http://ansi/");
       },
       "text \xD6\xD0\xCE\xC4 text ?\nurl http://\xC0\xFD\xD7\xD3.\xB2\xE2\xCA\xD4/x\n"},
      // A kind accepted but not on offer does not stand in the way.
      {"text files", [](TestData& d) { d.UnicodeText(L"x"); }, "text x\n"},
      // Data that cannot be read skips only its step.
      {"text files", [](TestData& d) { d.Text("t"); d.Files({"C:\\f"}); d.unreadable.push_back(CF_TEXT); },
       "files C:\\f\n"},
      // A list whose head points past its block, from a broken or hostile
      // source: reading it would run through memory not the block's.
      {"files", [](TestData& d) { d.AnsiFiles({"C:\\a.bat"}); d.blocks[CF_HDROP][3] = '\x7F'; }, ""},
      // HTML on offer suppresses the text even when HTML is not accepted; the
      // drag is accepted all the same.
      {"text", [](TestData& d) { d.Text("from a page"); d.Html("<b>from a page</b>"); }, ""},
  };
  for (const auto& c : cases) {
    Accept(c.accept);
    TestData d;
    c.offer(d);
    g_seen.clear();
    DWORD enter = 0;
    Drag(&d, 0, DROPEFFECT_COPY, &enter);
    EXPECT_EQ(Events(), c.events) << c.accept << " under code page " << GetACP();
    EXPECT_EQ(enter, DWORD(DROPEFFECT_COPY)) << c.events;
  }
}

// The effect rules are tested natively; here, that each step of a drag asks
// them with its keys and effects, and that no drop is reported as done.
TEST_F(RegisteredTarget, EffectFollowsTheKeysAndNoDropIsReportedDone) {
  TestData d;
  d.Files({"C:\\x"});
  DWORD enter = 99, drop = 99;
  EXPECT_EQ(Drag(&d, 0, kAllEffects, &enter, &drop), E_FAIL) << "a drop is never reported as done";
  EXPECT_EQ(enter, DWORD(DROPEFFECT_COPY));
  EXPECT_EQ(drop, DWORD(DROPEFFECT_COPY)) << "the chosen effect stays in the caller's effect";
  EXPECT_EQ(Only(kDropFiles), "C:\\x");
  g_seen.clear();
  Drag(&d, MK_CONTROL | MK_SHIFT, kAllEffects, &enter, &drop);
  EXPECT_EQ(enter, 0u);
  EXPECT_EQ(drop, 0u);
  EXPECT_TRUE(g_seen.empty()) << "Ctrl+Shift must raise nothing";
}

// Names arrive in GBK whatever the system's code page. A name GBK cannot spell
// arrives in its short form when the platform gives one, else with "?" for
// what cannot be spelt; nothing else of it is lost.
TEST_F(RegisteredTarget, DroppedNamesArriveInGbkOrInTheirShortForm) {
  bvtest::TempDir dir;
  const std::wstring korean = bvtest::WideFromGbk(dir.path()) + L"\\한국 live.bat";
  ASSERT_TRUE(bvtest::WriteWholeFile(korean, ""));
  wchar_t short_form[MAX_PATH] = {};
  const bool has_short = GetShortPathNameW(korean.c_str(), short_form, MAX_PATH) && bv::wide::FitsGbk(short_form);
  TestData d;
  d.WideFiles({L"C:\\游戏\\英雄联盟\\live game.bat", korean, L"C:\\없는\\a.bat"});
  const std::string text = DropOnly(&d, kDropFiles);
  const std::string first = "C:\\\xD3\xCE\xCF\xB7\\\xD3\xA2\xD0\xDB\xC1\xAA\xC3\xCB\\live game.bat\r\n";
  EXPECT_EQ(text.substr(0, first.size()), first) << " under code page " << GetACP();
  const std::size_t second_end = text.find("\r\n", first.size());
  ASSERT_NE(second_end, std::string::npos) << text;
  const std::string second = text.substr(first.size(), second_end - first.size());
  EXPECT_EQ(second, has_short ? bvtest::GbkFromWide(short_form) : dir.path() + "\\?? live.bat");
  EXPECT_EQ(text.substr(second_end), "\r\nC:\\??\\a.bat\r\n") << "no short form for a name that names nothing";
}

TEST_F(DropTargetTest, RegisterDropWorksOnceAndKeepsARefusedHandle) {
  EXPECT_EQ(RevokeDragDrop(g_parent), DRAGDROP_E_NOTREGISTERED) << "nothing is registered before RegisterDrop";
  ASSERT_TRUE(Register(g_parent));
  EXPECT_EQ(RegisterDragDrop(g_parent, target_), DRAGDROP_E_ALREADYREGISTERED);
  EXPECT_FALSE(Register(g_parent)) << "a second RegisterDrop answers false";

  // A platform refusal is final for the unit too: here of no window, as a
  // call without a handle gives (none is read past the arguments).
  bv::UnitObject* fresh = Create(kFilesOnly, sizeof kFilesOnly);
  ASSERT_TRUE(fresh);
  bv::AttachUnitObject(kWin, kDrop, fresh);
  HWND spare = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  const bv::ValueRecord args[2] = {bv::ValueRecord::Unit(kWin, kDrop, bv::kUnitDropTarget), Handle(spare)};
  bv::ValueRecord result;
  bv::RegisterDrop(&result, 1, args);
  EXPECT_FALSE(result.AsBool());
  bv::RegisterDrop(&result, 0, nullptr);
  EXPECT_FALSE(result.AsBool());
  EXPECT_FALSE(Register(spare));
  EXPECT_EQ(RevokeDragDrop(spare), DRAGDROP_E_NOTREGISTERED);
  DestroyWindow(spare);
  DestroyWindow(static_cast<HWND>(fresh->native));
}

TEST_F(DropTargetTest, DestroyingTheUnitRevokesTheWindowItRegistered) {
  HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(Register(other));
  DestroyWindow(static_cast<HWND>(unit_->native));
  EXPECT_EQ(bv::FindUnitObject(kWin, kDrop), nullptr) << "the unit reports that it is gone";
  EXPECT_EQ(RevokeDragDrop(other), DRAGDROP_E_NOTREGISTERED)
      << "a registration must not outlive the target it points at";
  DestroyWindow(other);
}

TEST_F(RegisteredTarget, EventTextIsReleasedAfterTheHandlerReturns) {
  TestData d;
  d.Files({"C:\\released"});
  ASSERT_EQ(DropOnly(&d, kDropFiles), "C:\\released");
  EXPECT_FALSE(HeapBlockInUse(g_seen[0].block));
  // Nor is a text made on the way left behind: a path's, the converted HTML's.
  TestData html;
  html.Html("\xC2\xA0html converted");  // a no-break space: what is left starts with a space
  Accept("html");
  ASSERT_EQ(DropOnly(&html, kDropHtml), " html converted");
  g_seen.clear();
  EXPECT_FALSE(HeapHoldsText("C:\\released"));
  EXPECT_FALSE(HeapHoldsText(" html converted"));
  Accept("files");

  // A handler that takes the text over keeps a live block.
  g_mode = Mode::Keep;
  ASSERT_EQ(DropOnly(&d, kDropFiles), "C:\\released");
  ASSERT_EQ(g_kept, g_seen[0].block);
  EXPECT_TRUE(HeapBlockInUse(g_kept)) << "the heap walk must see a block in use";
  EXPECT_STREQ(g_kept, "C:\\released");
  bv::Release(g_kept);
  EXPECT_FALSE(HeapBlockInUse(g_kept)) << "the heap walk must see a freed block";

  // What the slot holds when the handler returns is what gets released.
  g_mode = Mode::Swap;
  Drag(&d, 0, DROPEFFECT_COPY);
  EXPECT_TRUE(HeapBlockInUse(g_kept));
  EXPECT_FALSE(HeapBlockInUse(g_swapped_in));
  bv::Release(g_kept);
}

TEST_F(RegisteredTarget, HandlerDestroyingTheWindowEndsTheDrop) {
  Accept("text files");
  TestData d;
  d.Text("first");
  d.Files({"C:\\second"});
  const void* object = unit_;
  g_mode = Mode::DestroyWindow;
  EXPECT_EQ(Drag(&d, 0, DROPEFFECT_COPY), E_FAIL);
  EXPECT_FALSE(HeapBlockInUse(object)) << "with no reference out, the unit goes as the drop ends";
  EXPECT_EQ(Only(kDropText), "first") << "nothing is delivered for a unit that is gone";
  EXPECT_EQ(bv::FindUnitObject(kWin, kDrop), nullptr);
}

// The unit ends in one place, after its window: at once when nothing else
// uses it, else when the platform lets go of its last reference.
TEST_F(RegisteredTarget, UnitOutlivesItsWindowUntilThePlatformLetsGo) {
  const void* object = unit_;
  ASSERT_TRUE(HeapBlockInUse(object)) << "the heap walk must see the unit";
  target_->AddRef();  // as the platform holds a registered target
  DestroyWindow(static_cast<HWND>(unit_->native));
  EXPECT_EQ(bv::FindUnitObject(kWin, kDrop), nullptr) << "the model has forgotten it";
  EXPECT_TRUE(HeapBlockInUse(object)) << "a reference is still out";
  EXPECT_EQ(RevokeDragDrop(g_parent), DRAGDROP_E_NOTREGISTERED) << "its registration went with the window";
  TestData d;
  d.Files({"C:\\late"});
  Drag(&d, 0, DROPEFFECT_COPY);
  EXPECT_TRUE(g_seen.empty()) << "nothing is delivered for a unit that is gone";
  EXPECT_EQ(target_->Release(), 1u);
  EXPECT_FALSE(HeapBlockInUse(object)) << "the last outside reference ends it";

  bv::UnitObject* plain = Create(nullptr, 0);
  ASSERT_NE(plain, nullptr);
  bv::AttachUnitObject(kWin, kDrop, plain);
  const void* second = plain;
  DestroyWindow(static_cast<HWND>(plain->native));
  EXPECT_FALSE(HeapBlockInUse(second)) << "unused, it ends with its window";
}

// How the block reads is tested natively; here, that a refused block makes no
// unit and a read one gives the unit its flags.
TEST_F(DropTargetTest, DataBlockDecidesWhetherTheUnitIsCreated) {
  const std::int32_t v2[5] = {2, 0, 0, 0, 1};
  EXPECT_EQ(Create(v2, sizeof v2), nullptr);
  const std::int32_t v0[5] = {0, 1, 0, 1, 0};
  bv::UnitObject* u = Create(v0, sizeof v0);
  ASSERT_TRUE(u);
  bv::AttachUnitObject(kWin, kDrop, u);
  const bool want[4] = {true, false, true, false};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(bv::ReadUnitProperty(kWin, kDrop, 8 + i, -1).AsBool(), want[i]) << 8 + i;
  DestroyWindow(static_cast<HWND>(u->native));
}

TEST_F(DropTargetTest, ChildWindowIsNeverVisible) {
  HWND h = static_cast<HWND>(unit_->native);
  EXPECT_EQ(GetParent(h), g_parent);
  LONG style = GetWindowLongA(h, GWL_STYLE);
  EXPECT_EQ(style & (WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE), WS_CHILD | WS_CLIPSIBLINGS);
  EXPECT_FALSE(bv::ReadUnitProperty(kWin, kDrop, bv::kPropVisible, -1).AsBool());
  char cls[64];
  GetClassNameA(h, cls, sizeof cls);
  WNDCLASSEXA wc{sizeof wc};
  ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), cls, &wc));
  EXPECT_EQ(wc.style, UINT(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW));
}

// Text over the files-only target is refused, until the text flag is written.
TEST_F(RegisteredTarget, WrittenAcceptFlagsApplyFromTheNextDrag) {
  TestData d;
  d.Text("now wanted");
  DWORD enter = 99, drop = 99;
  Drag(&d, 0, kAllEffects, &enter, &drop);
  EXPECT_EQ(enter, 0u);
  EXPECT_EQ(drop, 0u);
  EXPECT_TRUE(g_seen.empty());
  bv::WriteUnitProperty(kWin, kDrop, 8, -1, bv::ValueRecord::Bool(true));
  EXPECT_TRUE(bv::ReadUnitProperty(kWin, kDrop, 8, -1).AsBool());
  bv::WriteUnitProperty(kWin, kDrop, 12, -1, bv::ValueRecord::Bool(true));
  EXPECT_EQ(bv::FindUnitObject(kWin, kDrop), unit_) << "a property the type lacks changes nothing";
  Drag(&d, 0, DROPEFFECT_COPY, &enter);
  EXPECT_EQ(enter, DWORD(DROPEFFECT_COPY));
  EXPECT_EQ(Only(kDropText), "now wanted");
}

TEST_F(DropTargetTest, DragLeaveClearsAcceptingAndNoFlagKeepsIt) {
  TestData files;
  files.Files({"C:\\x"});
  DWORD e = DROPEFFECT_COPY;
  target_->DragEnter(&files, 0, {0, 0}, &e);
  EXPECT_TRUE(Accepting());
  Accept("");
  TestData text;
  text.Text("t");
  e = DROPEFFECT_COPY;
  target_->DragEnter(&text, 0, {0, 0}, &e);
  EXPECT_TRUE(Accepting()) << "with nothing accepted no test is made";
  EXPECT_EQ(target_->DragLeave(), S_OK);
  EXPECT_FALSE(Accepting());
}

TEST_F(DropTargetTest, QueryInterfaceAndCountingNeverEndTheTarget) {
  void* p = nullptr;
  EXPECT_EQ(target_->QueryInterface(IID_IUnknown, &p), S_OK);
  EXPECT_EQ(p, static_cast<void*>(target_));
  EXPECT_EQ(target_->QueryInterface(IID_IDropTarget, &p), S_OK);
  EXPECT_EQ(target_->Release(), 2u);
  EXPECT_EQ(target_->Release(), 1u);
  p = reinterpret_cast<void*>(1);
  EXPECT_EQ(target_->QueryInterface(IID_IDataObject, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(target_->QueryInterface(IID_IDropTargetHelper, &p), E_NOINTERFACE);
  EXPECT_EQ(target_->AddRef(), 2u);
  EXPECT_EQ(target_->Release(), 1u);
  EXPECT_EQ(target_->Release(), 1u) << "the unit's own reference is never given up";
  ASSERT_TRUE(Register(g_parent));
  TestData d;
  d.Files({"C:\\still here"});
  EXPECT_EQ(DropOnly(&d, kDropFiles), "C:\\still here");
}

// A drag source that lets go after a few turns of the drag loop, or gives up.
class TestSource final : public IDropSource {
 public:
  int turns = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
    ++turns;
    if (escape || turns > 200) return DRAGDROP_S_CANCEL;
    return turns >= 3 ? DRAGDROP_S_DROP : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

// The platform's own drag loop over the window: nothing before RegisterDrop;
// afterwards the unit gets the drop, which comes back to the source as not done.
TEST_F(DropTargetTest, PlatformDragLoopReachesTheUnitOnlyOnceRegistered) {
  SetWindowPos(g_parent, HWND_TOPMOST, 0, 0, 300, 200, SWP_SHOWWINDOW);
  UpdateWindow(g_parent);
  RECT r;
  GetWindowRect(g_parent, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  TestData d;
  d.Files({"C:\\dragged.bat"});

  TestSource early;
  DWORD effect = 12345;
  EXPECT_EQ(DoDragDrop(&d, &early, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE)) << "before RegisterDrop the window takes no drop";
  EXPECT_TRUE(g_seen.empty());

  ASSERT_TRUE(Register(g_parent));
  TestSource source;
  effect = 12345;
  HRESULT hr = DoDragDrop(&d, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
  // The source learns that the drop did not complete, so a move would not
  // delete what it moved.
  EXPECT_EQ(hr, E_FAIL);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
  EXPECT_EQ(Only(kDropFiles), "C:\\dragged.bat") << "turns of the drag loop: " << source.turns;
}

}  // namespace
