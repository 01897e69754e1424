// The unit model against fake unit types whose native windows are the
// stand-in records of ui/posix: property conversions and ownership, the common
// properties' clamps, the rebuild, event dispatch and the fatal errors of
// wrong references. Run under ASan with leak checks: every read is released.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/program.h"
#include "runtime/service.h"
#include "runtime/texts.h"
#include "runtime/value.h"
#include "tests/support/window_loader.h"
#include "ui/posix/fake_native.h"
#include "ui/unit_model.h"
#include "ui/unit_offer.h"

namespace bv {
namespace {

// ---- Fake unit types -----------------------------------------------------------

constexpr WindowId kWin = 0x52010001;
constexpr UnitId kWinUnit = 0x06010000;
constexpr UnitId kLab = 0x16010001;     // label-like: every conversion
constexpr UnitId kLab2 = 0x16010002;    // a sibling, to see the stacking place
constexpr UnitId kMute = 0x16010003;    // a type that cannot raise events
constexpr UnitId kHidden = 0x16010004;  // never shown, no native window

enum LabIndex { kCaption, kNumber, kLogical, kData, kFont, kWide, kPointer, kRebuildMe, kLabCount };
const std::int32_t kLabTypes[kLabCount] = {kPropTypeText,         kPropTypeInt,    kPropTypeLogical,
                                           kPropTypeData,         kPropTypeFont,   kPropTypeWide,
                                           kPropTypeMousePointer, kPropTypeChoice};
const std::int32_t kWindowTypes[1] = {kPropTypeText};

struct FakeUnit : UnitObject {
  std::string caption;
  std::uint64_t word[kLabCount] = {};
  std::vector<std::uint8_t> data, font, pointer;
  int generation = 0;
  bool created_with_events_blocked = false;
};

void GoneHook(void* context) {
  auto* u = static_cast<FakeUnit*>(context);
  ReportUnitGone(u->window_id, u->unit_id);
  delete u;
}

bool g_create_fails = false;

UnitObject* CreateFake(const UnitCreateInfo& info) {
  if (g_create_fails) return nullptr;
  auto* u = new FakeUnit;
  u->window_id = info.window;
  u->unit_id = info.unit;
  u->type = info.type;
  u->created_with_events_blocked = EventsBlocked();
  if (auto* prev = static_cast<const FakeUnit*>(info.previous)) {
    u->caption = prev->caption;
    u->generation = prev->generation + 1;
  }
  if (info.type->flags & kTypeNeverShown) return u;  // no native window at all
  const CommonState& c = *info.common;
  u->native = fakenative::Create(info.parent ? info.parent->native : nullptr,
                                 {c.left, c.top, c.width, c.height}, false, true, GoneHook, u);
  return u;
}

bool WriteFake(UnitObject* unit, std::int32_t index, const RawProperty& v) {
  auto* u = static_cast<FakeUnit*>(unit);
  auto bytes = [&](std::vector<std::uint8_t>& to) {
    auto* p = static_cast<const std::uint8_t*>(v.data);
    to.assign(p, p + (p ? v.size : 0));
  };
  switch (index) {
    case kCaption: u->caption.assign(static_cast<const char*>(v.data), v.size); break;
    case kData: bytes(u->data); break;
    case kFont: bytes(u->font); break;
    case kPointer: bytes(u->pointer); break;
    default: u->word[index] = v.word;
  }
  return index == kRebuildMe;
}

RawProperty ReadFake(UnitObject* unit, std::int32_t index) {
  auto* u = static_cast<FakeUnit*>(unit);
  RawProperty r;
  auto bytes = [&](const std::vector<std::uint8_t>& from) {
    r.data = from.empty() ? nullptr : from.data();
    r.size = static_cast<std::int32_t>(from.size());
  };
  switch (index) {
    case kCaption:
      r.data = u->caption.c_str();
      r.size = static_cast<std::int32_t>(u->caption.size());
      break;
    case kData: bytes(u->data); break;
    case kFont: bytes(u->font); break;
    case kPointer: bytes(u->pointer); break;
    default: r.word = u->word[index];
  }
  return r;
}

constexpr UnitTypeOps kFakeOps{CreateFake, ReadFake, WriteFake};
const UnitTypeRecord kFakeWindowType = {"window", kUnitWindow, 0x800000D0, kWindowTypes, 1, kFakeOps};
const UnitTypeRecord kFakeLabelType = {"Label", kUnitLabel, 0x84012040, kLabTypes, kLabCount, kFakeOps};
const UnitTypeRecord kMuteType = {"Mute", UnitTypeCode(0, 20), 0x80000010, kLabTypes, kLabCount, kFakeOps};
const UnitTypeRecord kHiddenType = {"DropTarget", kUnitDropTarget, 0x80008040, kLabTypes, kLabCount, kFakeOps};

const UnitTemplate kUnits[] = {
    {kWinUnit, "w", kUnitWindow, 100, 100, 400, 300, kUnitVisible, 0, nullptr, nullptr, 0},
    {kLab, "l1", kUnitLabel, 80, 10, 50, 20, kUnitVisible, 1, "tag0", nullptr, 0},
    {kLab2, "l2", kUnitLabel, 80, 40, 50, 20, kUnitVisible, 2, nullptr, nullptr, 0},
    {kMute, "m", UnitTypeCode(0, 20), 0, 0, 10, 10, kUnitVisible, 3, nullptr, nullptr, 0},
    {kHidden, "d", kUnitDropTarget, 5, 6, 7, 8, 0, 4, nullptr, nullptr, 0},
};

// ---- Handlers ---------------------------------------------------------------------

struct Seen {
  int calls = 0;
  EventCall call;
};
Seen g_seen;

void Record(const EventCall& call) {
  ++g_seen.calls;
  g_seen.call = call;
}
// Replaces the caller's text variable, as a handler of a by-reference text may.
void ReplaceText(const EventCall& call) {
  Record(call);
  auto* variable = reinterpret_cast<char**>(call.args[0]);
  g_seen.call.args[1] = static_cast<std::uint64_t>(TextLen(*variable));
  Store(*variable, CopyText("replaced"));
}

const EventBindingTemplate kBindings[] = {
    {kWinUnit, window_event::kCreated, 0},
    {kLab, 0, 0},
    {kLab, 3, 1},
    {kHidden, drop_event::kFilesDropped, 1},
    {kMute, 0, 0},
};
const EventHandler kHandlers[] = {Record, ReplaceText};
const WindowTemplate kTemplate{kWin, kUnits, 5, kBindings, 5};
const WindowTemplate* const kWindows[] = {&kTemplate};

void ShowNative(void* native) { unitplatform::NativeShow(native, true); }

int g_last_gone_calls = 0;
void LastGone() { ++g_last_gone_calls; }

class UnitModel : public ::testing::Test {
 protected:
  void SetUp() override {
    fakenative::Reset();
    for (auto* t : {&kFakeWindowType, &kFakeLabelType, &kMuteType, &kHiddenType}) RegisterUnitType(t);
    InstallProgramWindows(kWindows, 1, kHandlers, 2);
    SetLastWindowGoneHook(LastGone);
    RegisterUnitServices();
    g_seen = {};
    g_last_gone_calls = 0;
    g_create_fails = false;
    while (EventsBlocked()) UnblockEvents();
  }
  void TearDown() override {
    if (UnitObject* w = FindUnitObject(kWin, 0)) unitplatform::NativeDestroy(w->native);
    for (UnitObject* u : hidden_) delete u;
    ReleaseProgramWindows();
    fakenative::Reset();
    while (EventsBlocked()) UnblockEvents();
  }

  void Load() {
    std::vector<UnitObject*> units = bvtest::LoadWindowUnits(kWin, CreateFake, ShowNative);
    ASSERT_EQ(units.size(), 5u);
    for (UnitObject* u : units)
      if (!u->native) hidden_.push_back(u);
  }
  FakeUnit* Live(UnitId unit) {
    std::int32_t count = 0;
    UnitSlot* slots = ProgramWindowUnits(kWin, &count);
    for (std::int32_t i = 0; i < count; ++i)
      if (slots[i].tmpl->id == unit) return static_cast<FakeUnit*>(slots[i].live);
    return nullptr;
  }
  void CloseWindow() { unitplatform::NativeDestroy(FindUnitObject(kWin, 0)->native); }

  std::vector<UnitObject*> hidden_;
};

ValueRecord Read(UnitId unit, std::int32_t number) { return ReadUnitProperty(kWin, unit, number, -1); }
void Write(UnitId unit, std::int32_t number, const ValueRecord& v) { WriteUnitProperty(kWin, unit, number, -1, v); }
std::string TextOf(const ValueRecord& v) { return v.AsText() ? v.AsText() : ""; }
std::string BytesOf(const ValueRecord& v) {
  return std::string(reinterpret_cast<const char*>(ByteSetData(v.AsByteSet())), ByteSetLength(v.AsByteSet()));
}

// ---- Type-specific properties ---------------------------------------------------------

TEST_F(UnitModel, TextPropertyReadsAreSeparateAllocationsAndEmptyIsNull) {
  Load();
  Write(kLab, 8 + kCaption, ValueRecord::TextOf("abc"));
  ValueRecord a = Read(kLab, 8 + kCaption);
  ValueRecord b = Read(kLab, 8 + kCaption);
  EXPECT_EQ(TextOf(a), "abc");
  EXPECT_NE(a.AsText(), b.AsText()) << "two reads must give two allocations";
  EXPECT_EQ(a.type, kTypeText);
  Release(a.AsText());
  Release(b.AsText());

  Write(kLab, 8 + kCaption, ValueRecord::TextOf(nullptr));  // null clears it
  EXPECT_EQ(Live(kLab)->caption, "");
  EXPECT_EQ(Read(kLab, 8 + kCaption).AsText(), nullptr) << "an empty text is read as null";
}

TEST_F(UnitModel, WrittenTextIsCopiedNotKept) {
  Load();
  char* mine = CopyText("mine");
  Write(kLab, 8 + kCaption, ValueRecord::TextOf(mine));
  Release(mine);  // the caller still owns what it passed
  ValueRecord v = Read(kLab, 8 + kCaption);
  EXPECT_EQ(TextOf(v), "mine");
  Release(v.AsText());
}

TEST_F(UnitModel, LogicalIsTrueOnlyForRawOneAndWrittenAsOne) {
  Load();
  Write(kLab, 8 + kLogical, ValueRecord::Int(7));
  EXPECT_EQ(Live(kLab)->word[kLogical], 1u);
  EXPECT_TRUE(Read(kLab, 8 + kLogical).AsBool());
  Live(kLab)->word[kLogical] = 2;
  ValueRecord v = Read(kLab, 8 + kLogical);
  EXPECT_EQ(v.value, 0u) << "raw 2 is not true";
  EXPECT_EQ(v.type, kTypeBool);
}

TEST_F(UnitModel, IntegersAndWideValuesKeepTheirBits) {
  Load();
  Write(kLab, 8 + kNumber, ValueRecord::Int(-5));
  ValueRecord n = Read(kLab, 8 + kNumber);
  EXPECT_EQ(n.AsInt(), -5);
  EXPECT_EQ(n.type, kTypeInt);
  Write(kLab, 8 + kWide, ValueRecord::Long(-5000000000LL));
  EXPECT_EQ(Read(kLab, 8 + kWide).AsLong(), -5000000000LL);
}

TEST_F(UnitModel, DataAndMousePointerPropertiesAreByteSetCopies) {
  Load();
  const char raw[] = {'a', 0, 'b'};
  std::uint8_t* set = MakeByteSet(raw, 3);
  Write(kLab, 8 + kData, ValueRecord::ByteSetOf(set));
  Write(kLab, 8 + kPointer, ValueRecord::ByteSetOf(set));
  Release(set);
  for (int index : {kData, kPointer}) {
    ValueRecord v = Read(kLab, 8 + index);
    EXPECT_EQ(v.type, kTypeByteSet);
    EXPECT_EQ(BytesOf(v), std::string(raw, 3)) << "index " << index;
    Release(v.AsByteSet());
  }
  Write(kLab, 8 + kData, ValueRecord::ByteSetOf(kEmptyByteSet));
  EXPECT_EQ(Read(kLab, 8 + kData).AsByteSet(), nullptr);
}

TEST_F(UnitModel, FontReadsTheDefaultGuiFontUntilOneIsWritten) {
  Load();
  ValueRecord def = Read(kLab, 8 + kFont);
  ASSERT_EQ(ByteSetLength(def.AsByteSet()), 60);
  EXPECT_EQ(std::memcmp(ByteSetData(def.AsByteSet()) + 28, "Default", 8), 0);
  Release(def.AsByteSet());

  std::uint8_t record[60] = {};
  record[0] = 20;
  std::memcpy(record + 28, "Mine", 5);
  std::uint8_t* set = MakeByteSet(record, 60);
  Write(kLab, 8 + kFont, ValueRecord::ByteSetOf(set));
  Release(set);
  EXPECT_EQ(Live(kLab)->font.size(), 60u);
  ValueRecord mine = Read(kLab, 8 + kFont);
  EXPECT_EQ(BytesOf(mine), std::string(reinterpret_cast<char*>(record), 60));
  Release(mine.AsByteSet());
}

TEST_F(UnitModel, RebuildKeepsStackingPlaceFocusAndStateWithEventsBlocked) {
  Load();
  Write(kLab, 8 + kCaption, ValueRecord::TextOf("kept"));
  void* old_native = Live(kLab)->native;
  unitplatform::NativeFocus(old_native);
  const int place = fakenative::StackIndex(old_native);
  Write(kLab, 0, ValueRecord::Int(33));

  Write(kLab, 8 + kRebuildMe, ValueRecord::Int(1));

  FakeUnit* after = Live(kLab);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after->generation, 1) << "not rebuilt";
  EXPECT_FALSE(fakenative::Exists(old_native));
  EXPECT_TRUE(after->created_with_events_blocked);
  EXPECT_FALSE(EventsBlocked());
  EXPECT_EQ(fakenative::StackIndex(after->native), place);
  EXPECT_EQ(fakenative::Focused(), after->native);
  EXPECT_TRUE(unitplatform::NativeVisible(after->native));
  EXPECT_EQ(after->caption, "kept");
  EXPECT_EQ(Read(kLab, 0).AsInt(), 33);
  EXPECT_EQ(FindUnitObject(kWin, kLab), after);
}

TEST_F(UnitModel, RebuildThatCannotCreateKeepsTheOldUnit) {
  Load();
  FakeUnit* before = Live(kLab);
  g_create_fails = true;
  Write(kLab, 8 + kRebuildMe, ValueRecord::Int(1));
  EXPECT_EQ(Live(kLab), before);
  EXPECT_TRUE(fakenative::Exists(before->native));
  EXPECT_FALSE(EventsBlocked());
}

// ---- Common properties ------------------------------------------------------------------

TEST_F(UnitModel, PositionAndSizeAreClampedTo32627) {
  Load();
  Write(kLab, kPropLeft, ValueRecord::Int(-40000));
  Write(kLab, kPropTop, ValueRecord::Int(40000));
  Write(kLab, kPropWidth, ValueRecord::Int(-1));
  Write(kLab, kPropHeight, ValueRecord::Int(32700));
  EXPECT_EQ(Read(kLab, kPropLeft).AsInt(), -32627);
  EXPECT_EQ(Read(kLab, kPropTop).AsInt(), 32627);
  EXPECT_EQ(Read(kLab, kPropWidth).AsInt(), 0);
  EXPECT_EQ(Read(kLab, kPropHeight).AsInt(), 32627);
  unitplatform::NativeRect r = unitplatform::NativeRectOf(Live(kLab)->native);
  EXPECT_EQ(r.left, -32627) << "the native window follows";
  EXPECT_EQ(r.height, 32627);
}

TEST_F(UnitModel, CommonPropertiesComeFromTheNativeWindowWhileLive) {
  Load();
  unitplatform::NativeMove(Live(kLab)->native, {1, 2, 3, 4});
  unitplatform::NativeEnable(Live(kLab)->native, false);
  EXPECT_EQ(Read(kLab, kPropLeft).AsInt(), 1);
  EXPECT_EQ(Read(kLab, kPropHeight).AsInt(), 4);
  EXPECT_TRUE(Read(kLab, kPropDisabled).AsBool());
  Write(kLab, kPropVisible, ValueRecord::Bool(false));
  EXPECT_FALSE(unitplatform::NativeVisible(Live(kLab)->native));
  EXPECT_FALSE(Read(kLab, kPropVisible).AsBool());
}

TEST_F(UnitModel, CommonPropertiesWorkAgainstStoredStateWithoutLiveUnit) {
  EXPECT_EQ(Read(kLab, kPropLeft).AsInt(), 80);
  Write(kLab, kPropLeft, ValueRecord::Int(90));
  EXPECT_EQ(Read(kLab, kPropLeft).AsInt(), 90);
  EXPECT_TRUE(Read(kLab, kPropVisible).AsBool());
  ValueRecord tag = Read(kLab, kPropTag);
  EXPECT_EQ(TextOf(tag), "tag0");
  Release(tag.AsText());
  Write(kLab, kPropTag, ValueRecord::TextOf(kEmptyText));
  EXPECT_EQ(Read(kLab, kPropTag).AsText(), nullptr);
  std::uint8_t* cursor = MakeByteSet("cur", 3);
  Write(kLab, kPropMousePointer, ValueRecord::ByteSetOf(cursor));
  Release(cursor);
  ValueRecord back = Read(kLab, kPropMousePointer);
  EXPECT_EQ(BytesOf(back), "cur");
  Release(back.AsByteSet());
  // A unit without native window reads its stored geometry even while live.
  Load();
  EXPECT_EQ(Read(kHidden, kPropWidth).AsInt(), 7);
}

TEST_F(UnitModel, WindowGoneResetsStoredStateToTheTemplate) {
  Load();
  Write(kLab, kPropLeft, ValueRecord::Int(5));
  Write(kLab, kPropTag, ValueRecord::TextOf("changed"));
  CloseWindow();
  EXPECT_EQ(g_last_gone_calls, 1);
  EXPECT_FALSE(AnyProgramWindowOpen());
  EXPECT_EQ(Read(kLab, kPropLeft).AsInt(), 80) << "stored state goes back to the template";
  ValueRecord tag = Read(kLab, kPropTag);
  EXPECT_EQ(TextOf(tag), "tag0");
  Release(tag.AsText());
  EXPECT_EQ(FindUnitObject(kWin, kLab), nullptr);
}

// ---- Fatal errors --------------------------------------------------------------------------

// Death tests see the report on stderr as GBK bytes; match them as bytes.
class HasBytes : public ::testing::MatcherInterface<const std::string&> {
 public:
  explicit HasBytes(const char* s) : s_(s) {}
  bool MatchAndExplain(const std::string& x, ::testing::MatchResultListener*) const override {
    return x.find(s_) != std::string::npos;
  }
  void DescribeTo(std::ostream* os) const override { *os << "contains the fatal message"; }

 private:
  std::string s_;
};
::testing::Matcher<const std::string&> Says(const char* message) { return ::testing::MakeMatcher(new HasBytes(message)); }

using UnitModelDeathTest = UnitModel;

TEST_F(UnitModelDeathTest, WrongReferencesInPropertyAccessAreFatal) {
  EXPECT_EXIT(ReadUnitProperty(0x1234, kLab, 0, -1), ::testing::ExitedWithCode(255),
              Says(texts::kNoWindowForAccess));
  EXPECT_EXIT(Read(0x16019999, 0), ::testing::ExitedWithCode(255), Says(texts::kNoSuchUnit));
  EXPECT_EXIT(Write(0x16019999, 0, ValueRecord::Int(1)), ::testing::ExitedWithCode(255), Says(texts::kNoSuchUnit));
  // Type-specific numbers need the live unit; common ones do not.
  EXPECT_EXIT(Read(kLab, 8), ::testing::ExitedWithCode(255), Says(texts::kWindowNotLoaded));
  EXPECT_EXIT(Write(kLab, 8, ValueRecord::TextOf("x")), ::testing::ExitedWithCode(255),
              Says(texts::kWindowNotLoaded));
  EXPECT_EXIT(UnitObjectOrFail(kWin, kLab), ::testing::ExitedWithCode(255), Says(texts::kNoSuchUnit));
}

TEST_F(UnitModelDeathTest, AfterTheWindowIsGoneCaptionIsFatalButLeftIsStored) {
  Load();
  CloseWindow();
  EXPECT_EQ(Read(kLab, 0).AsInt(), 80);
  EXPECT_EXIT(Read(kLab, 8), ::testing::ExitedWithCode(255), Says(texts::kWindowNotLoaded));
}

TEST_F(UnitModelDeathTest, WrongEventSourcesAreFatal) {
  PlainEventRecord no_window{0x1234, 0, 0, 0};
  EXPECT_EXIT(RaiseEvent(&no_window), ::testing::ExitedWithCode(255), Says(texts::kNoEventWindow));
  PlainEventRecord no_unit{kWin, 0x16019999, 0, 0};
  EXPECT_EXIT(RaiseEvent(&no_unit), ::testing::ExitedWithCode(255), Says(texts::kNoEventUnit));
  TypedEventRecord mute{kWin, kMute, 0, 0};
  EXPECT_EXIT(RaiseTypedEvent(&mute), ::testing::ExitedWithCode(255), Says(texts::kInvalidEventUnit));
}

// ---- Events ---------------------------------------------------------------------------------

TEST_F(UnitModel, BlockedAndUnboundEventsRunNothing) {
  PlainEventRecord click{kWin, kLab, 0, 0};
  BlockEvents();
  EXPECT_EQ(RaiseEvent(&click), 0);
  // Even an event that would be fatal is dropped while blocked.
  PlainEventRecord bogus{0x1234, 0, 0, 0};
  EXPECT_EQ(RaiseEvent(&bogus), 0);
  UnblockEvents();
  EXPECT_EQ(g_seen.calls, 0);
  PlainEventRecord unbound{kWin, kLab, 1, 0};
  EXPECT_EQ(RaiseEvent(&unbound), 0);
  PlainEventRecord window_close{kWin, 0, window_event::kClose, 0};
  EXPECT_EQ(RaiseEvent(&window_close), 0);
  EXPECT_EQ(g_seen.calls, 0);
  EXPECT_EQ(RaiseEvent(&click), 1);
  EXPECT_EQ(g_seen.calls, 1);
}

TEST_F(UnitModel, WindowEventsReachTheHandlerByUnitZeroOrTheWindowsOwnId) {
  PlainEventRecord created{kWin, 0, window_event::kCreated, 2, {7, 0xFFFFFFFF}};
  EXPECT_EQ(RaiseEvent(&created), 1);
  EXPECT_EQ(g_seen.call.argc, 2);
  EXPECT_EQ(g_seen.call.args[0], 7u);
  EXPECT_EQ(g_seen.call.args[1], 0xFFFFFFFFu);
  PlainEventRecord by_own_id{kWin, kWinUnit, window_event::kCreated, 0};
  EXPECT_EQ(RaiseEvent(&by_own_id), 1);
}

TEST_F(UnitModel, TypedByReferenceTextCanBeReplacedByTheHandler) {
  char* variable = CopyText("C:\\a.bat");
  TypedEventRecord drop{kWin, kHidden, drop_event::kFilesDropped, 1};
  const auto address = reinterpret_cast<std::uintptr_t>(variable);
  drop.args[0].value = static_cast<std::uint32_t>(address);
  drop.args[0].high = static_cast<std::uint32_t>(static_cast<std::uint64_t>(address) >> 32);
  drop.args[0].type = kTypeText;
  drop.args[0].flags = kArgByReference;
  EXPECT_EQ(RaiseTypedEvent(&drop), 1);
  EXPECT_EQ(g_seen.call.args[1], 8u) << "the handler saw the caller's text";
  char* now = reinterpret_cast<char*>((static_cast<std::uint64_t>(drop.args[0].high) << 32) | drop.args[0].value);
  EXPECT_STREQ(now, "replaced");
  Release(now);
}

TEST_F(UnitModel, TypedArgumentsPassByTypeCode) {
  TypedEventRecord ev{kWin, kLab, 0, 7};
  ev.args[0] = {0x1FF, 0, kTypeByte, 0};
  ev.args[1] = {0x18000, 0, kTypeShort, 0};
  ev.args[2] = {1, 2, kTypeLong, 0};
  ev.args[3] = {3, 4, kTypeInt, 0};
  ev.args[4] = {5, 6, kTypeInt, kArgTwoWords};
  ev.args[5] = {7, 8, UnitTypeCode(kCoreLibrary, 3), 0};
  ev.args[6] = {9, 10, 0x80000008, 0};
  EXPECT_EQ(RaiseTypedEvent(&ev), 1);
  EXPECT_EQ(g_seen.call.args[0], 0xFFu);
  EXPECT_EQ(g_seen.call.args[1], 0xFFFF8000u) << "short sign-extended to a word";
  EXPECT_EQ(g_seen.call.args[2], 0x200000001u);
  EXPECT_EQ(g_seen.call.args[3], 3u) << "high word of a plain integer ignored";
  EXPECT_EQ(g_seen.call.args[4], 0x600000005u);
  EXPECT_EQ(g_seen.call.args[5], 0x800000007u) << "a unit reference of core type 3 in both words";
  EXPECT_EQ(g_seen.call.args[6], 0xA00000009u);
}

// Texts, byte sets, subroutines and arrays travel as pointers; on a 64-bit
// build a pointer fills the high word too, and a handler that got only the
// value word would follow a cut-off address.
TEST_F(UnitModel, PointerArgumentsByValueKeepTheirHighWord) {
  const std::uint64_t far_address = 0x00007F0012345678ull;
  const TypeCode pointer_types[] = {kTypeText, kTypeByteSet, kTypeSubroutine, kTypeInt | kArrayFlag};
  TypedEventRecord ev{kWin, kLab, 0, 4};
  for (int i = 0; i < 4; ++i)
    ev.args[i] = {static_cast<std::uint32_t>(far_address), static_cast<std::uint32_t>(far_address >> 32),
                  pointer_types[i], 0};
  EXPECT_EQ(RaiseTypedEvent(&ev), 1);
  for (int i = 0; i < 4; ++i) {
    const std::uint64_t expected = sizeof(void*) > 4 ? far_address : static_cast<std::uint32_t>(far_address);
    EXPECT_EQ(g_seen.call.args[i], expected) << "type 0x" << std::hex << pointer_types[i] << ": got 0x"
                                             << g_seen.call.args[i];
  }
}

TEST_F(UnitModel, ServicesPumpAndMoveTheBlockCounter) {
  Load();
  RuntimeService(2009, 0, 0);
  EXPECT_TRUE(EventsBlocked());
  RuntimeService(2010, 0, 0);
  RuntimeService(2010, 0, 0);
  EXPECT_FALSE(EventsBlocked());
  BlockEvents();
  EXPECT_TRUE(EventsBlocked()) << "never below 0: one block blocks again";
  UnblockEvents();
  EXPECT_EQ(fakenative::MessagePumps(), 3);
  EXPECT_EQ(RuntimeService(2006, kWin, kLab), reinterpret_cast<std::intptr_t>(Live(kLab)));
  EXPECT_EQ(RuntimeService(2006, kWin, kHidden), 0) << "no native window";
  EXPECT_EQ(RuntimeService(2006, 0x1234, 0), 0);
  PlainEventRecord click{kWin, kLab, 0, 0};
  EXPECT_EQ(RuntimeService(2008, reinterpret_cast<std::intptr_t>(&click), 0), 1);
  RuntimeService(2000, kWin, kLab);  // the unit says it is gone
  EXPECT_EQ(FindUnitObject(kWin, kLab), nullptr);
}

}  // namespace
}  // namespace bv
