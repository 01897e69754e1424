// The unit model against fake unit types whose native windows are the stand-in
// records of ui/posix. Run under ASan with leak checks: every read is released.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "runtime/fatal.h"
#include "runtime/program.h"
#include "runtime/service.h"
#include "runtime/texts.h"
#include "runtime/value.h"
#include "tests/support/hex.h"
#include "tests/support/window_loader.h"
#include "ui/posix/fake_native.h"
#include "ui/unit_model.h"
#include "ui/unit_offer.h"

namespace bv {
namespace {

namespace up = unitplatform;

// ---- Fake unit types -----------------------------------------------------------

constexpr WindowId kWin = 0x52010001;
constexpr UnitId kWinUnit = 0x06010000;
constexpr UnitId kLab = 0x16010001;     // label-like: every conversion
constexpr UnitId kLab2 = 0x16010002;    // a sibling, and the unit of wrong bindings
constexpr UnitId kMute = 0x16010003;    // cannot raise events; no native window, no property list
constexpr UnitId kHidden = 0x16010004;  // never shown, as a drop target
constexpr TypeCode kMuteCode = UnitTypeCode(0, 20);

// The label-like type's properties in order: what a raw {word 0x100000002,
// bytes "ab"} reads as, and what the unit receives when the long integer
// 0x100000002 is written ("[bytes]", or the word). Every code the model
// lists, then codes it does not.
enum LabIndex { kNumber, kCaption, kLogical, kData, kFont, kWide, kPointer, kRebuildMe };
const struct Conversion { std::int32_t code; const char *read, *written; } kConversions[] = {
    {kPropTypeInt, "int 2", "2"}, {kPropTypeText, "text ab", "[]"}, {kPropTypeLogical, "false", "1"},
    {kPropTypeData, "bytes 61 62", "0"}, {kPropTypeFont, "bytes font 61 62", "[font default]"},
    {kPropTypeWide, "long 4294967298", "4294967298"}, {kPropTypeMousePointer, "bytes 61 62", "0"},
    {kPropTypeChoice, "int 2", "2"},  // its write asks for a rebuild
    {kPropTypeColour, "int 2", "2"}, {1014, "int 2", "2"}, {1015, "int 2", "2"}, {1017, "int 2", "2"},
    {1004, "long 4294967298", "4294967298"}, {1010, "bytes 61 62", "0"}, {1012, "bytes 61 62", "0"},
    {1023, "bytes 61 62", "0"}, {1024, "bytes 61 62", "0"},
    {0, "text ab", "[]"}, {1007, "text ab", "[]"}, {1016, "text ab", "[]"}, {1025, "text ab", "[]"},
};
constexpr int kLabCount = static_cast<int>(std::size(kConversions));
const auto kLabTypes = [] {
  std::array<std::int32_t, kLabCount> codes{};
  for (int i = 0; i < kLabCount; ++i) codes[i] = kConversions[i].code;
  return codes;
}();
const std::int32_t kWindowTypes[1] = {kPropTypeText};

// A property as the unit holds it: exactly what was written.
struct Prop { std::uint64_t word = 0; std::string bytes; bool has_data = false; std::int32_t size = 0; };
struct FakeUnit : UnitObject {
  Prop props[kLabCount + 1];  // one past the type's list too
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
    std::copy(std::begin(prev->props), std::end(prev->props), u->props);
    u->generation = prev->generation + 1;
  }
  if (info.type->code == kMuteCode) return u;  // no native window at all
  const CommonState& c = *info.common;
  u->native = fakenative::Create(info.parent ? info.parent->native : nullptr,
                                 {c.left, c.top, c.width, c.height}, false, true, GoneHook, u);
  return u;
}

bool WriteFake(UnitObject* unit, std::int32_t index, const RawProperty& v) {
  const auto* data = static_cast<const char*>(v.data);
  static_cast<FakeUnit*>(unit)->props[index] = {v.word, data ? std::string(data, v.size) : "", data != nullptr, v.size};
  return index == kRebuildMe;
}

RawProperty ReadFake(UnitObject* unit, std::int32_t index) {
  const Prop& p = static_cast<FakeUnit*>(unit)->props[index];
  return {p.word, p.has_data ? p.bytes.c_str() : nullptr, p.size};
}

constexpr UnitTypeOps kFakeOps{CreateFake, ReadFake, WriteFake};
const UnitTypeRecord kFakeWindowType = {"window", kUnitWindow, 0x800000D0, kWindowTypes, 1, kFakeOps};
const UnitTypeRecord kFakeLabelType = {"Label", kUnitLabel, 0x84012040, kLabTypes.data(), kLabCount, kFakeOps};
const UnitTypeRecord kMuteType = {"Mute", kMuteCode, 0x80000010, nullptr, 3, kFakeOps};
const UnitTypeRecord kHiddenType = {"DropTarget", kUnitDropTarget, 0x80008040, kWindowTypes, 1, kFakeOps};

const UnitTemplate kUnits[] = {
    {kWinUnit, "w", kUnitWindow, 100, 100, 400, 300, kUnitVisible, 0, nullptr, nullptr, 0},
    {kLab, "l1", kUnitLabel, 80, 10, 50, 20, kUnitVisible, 1, "tag0", nullptr, 0},
    {kLab2, "l2", kUnitLabel, 80, 40, 50, 20, kUnitVisible, 2, nullptr, nullptr, 0},
    {kMute, "m", kMuteCode, 0, 0, 10, 10, kUnitVisible, 3, nullptr, nullptr, 0},
    {kHidden, "d", kUnitDropTarget, 5, 6, 7, 8, 0, 4, nullptr, nullptr, 0},
};

// ---- Handlers ---------------------------------------------------------------------

int g_calls = 0;
EventCall g_call;

void Record(const EventCall& call) {
  ++g_calls;
  g_call = call;
}

const EventBindingTemplate kBindings[] = {
    {kWinUnit, window_event::kCreated, 0}, {0, window_event::kBeforeShown, 0},  // the window, by unit 0
    {kLab, 0, 0}, {kLab, 3, 0}, {kHidden, drop_event::kFilesDropped, 0}, {kMute, 0, 0},
    {kLab2, 0, -1}, {kLab2, 1, 2}, {kLab2, 2, 1},  // before the handler table, past it, an empty entry
};
const EventHandler kHandlers[] = {Record, nullptr};
const WindowTemplate kTemplate{kWin, kUnits, 5, kBindings, 9};
const WindowTemplate* const kWindows[] = {&kTemplate};

int g_last_gone_calls = 0;
void LastGone() { ++g_last_gone_calls; }

void ShowNative(void* native) { up::NativeShow(native, true); }

ValueRecord Read(UnitId unit, std::int32_t number) { return ReadUnitProperty(kWin, unit, number, -1); }
void Write(UnitId unit, std::int32_t number, const ValueRecord& v) { WriteUnitProperty(kWin, unit, number, -1, v); }

// Bytes as the tables show them; a 60-byte record as a font: "default", or
// its bytes before the zeros at its end.
std::string Shown(std::string bytes) {
  std::uint8_t font[up::kFontRecordSize];
  up::DefaultGuiFont(font);
  if (bytes.size() != sizeof font) return bvtest::Hex(bytes);
  if (bytes == std::string(reinterpret_cast<char*>(font), sizeof font)) return "font default";
  bytes.erase(bytes.find_last_not_of('\0') + 1);
  return "font " + bvtest::Hex(bytes);
}
// A read value as the tables show it, released.
std::string Taken(const ValueRecord& v) {
  const std::uint8_t* set = v.AsByteSet();
  const std::string shown =
      v.type == kTypeInt    ? "int " + std::to_string(v.AsInt())
      : v.type == kTypeLong ? "long " + std::to_string(v.AsLong())
      : v.type == kTypeBool ? (v.AsBool() ? "true" : "false")
      : v.type == kTypeText ? (v.AsText() ? "text " + std::string(v.AsText()) : "null text")
      : v.type != kTypeByteSet ? "type " + std::to_string(v.type)
      : set ? "bytes " + Shown(std::string(reinterpret_cast<const char*>(ByteSetData(set)), ByteSetLength(set)))
            : "null bytes";
  if (v.type == kTypeText || v.type == kTypeByteSet) Release(v.Pointer());
  return shown;
}

// Raises `event` of `unit` as a plain or a typed record without arguments.
std::int32_t Raise(UnitId unit, std::int32_t event, bool typed = false, WindowId window = kWin) {
  PlainEventRecord plain{window, unit, static_cast<std::uint32_t>(event), 0};
  TypedEventRecord typed_record{window, unit, static_cast<std::uint32_t>(event), 0};
  return typed ? RaiseTypedEvent(&typed_record) : RaiseEvent(&plain);
}

class UnitModel : public ::testing::Test {
 protected:
  void SetUp() override {
    fakenative::Reset();
    for (auto* t : {&kFakeWindowType, &kFakeLabelType, &kMuteType, &kHiddenType}) RegisterUnitType(t);
    InstallProgramWindows(kWindows, 1, kHandlers, 2);
    SetLastWindowGoneHook(LastGone);
    RegisterUnitServices();
    g_calls = g_last_gone_calls = 0;
    g_create_fails = false;
    while (EventsBlocked()) UnblockEvents();
  }
  void TearDown() override {
    if (UnitObject* w = FindUnitObject(kWin, 0)) up::NativeDestroy(w->native);
    for (UnitObject* u : without_native_) delete u;
    ReleaseProgramWindows();
    fakenative::Reset();
    while (EventsBlocked()) UnblockEvents();
  }

  void Load() {
    std::vector<UnitObject*> units = bvtest::LoadWindowUnits(kWin, CreateFake, ShowNative);
    ASSERT_EQ(units.size(), 5u);
    for (UnitObject* u : units)
      if (!u->native) without_native_.push_back(u);
  }
  static FakeUnit* Live(UnitId unit) {
    std::int32_t count = 0;
    UnitSlot* slots = ProgramWindowUnits(kWin, &count);
    for (std::int32_t i = 0; i < count; ++i)
      if (slots[i].tmpl->id == unit) return static_cast<FakeUnit*>(slots[i].live);
    return nullptr;
  }
  // Type-specific property `index` as it reads while the unit holds `raw`.
  static std::string ReadAfter(UnitId unit, int index, const Prop& raw) {
    Live(unit)->props[index] = raw;
    return Taken(Read(unit, 8 + index));
  }
  // What the unit received for its property `index`: "[bytes]" or the word.
  static std::string Received(UnitId unit, int index) {
    const Prop& p = Live(unit)->props[index];
    // A char, not a one-character literal: with the literal, GCC 12 in Release
    // reports overlapping copies inside the string that cannot happen.
    if (p.has_data) return '[' + Shown(p.bytes) + "]";
    return std::to_string(p.word) + (p.size ? " size " + std::to_string(p.size) : "");
  }
  // A live unit's native window in words.
  static std::string NativeState(UnitId unit) {
    void* n = Live(unit)->native;
    return std::string(up::NativeVisible(n) ? "shown" : "hidden") + (up::NativeEnabled(n) ? " enabled" : " disabled") +
           (fakenative::Focused() == n ? " focused" : "") + " place " + std::to_string(fakenative::StackIndex(n));
  }
  static void CloseWindow() { up::NativeDestroy(FindUnitObject(kWin, 0)->native); }

  std::vector<UnitObject*> without_native_;
};

// ---- Type-specific properties ---------------------------------------------------------

TEST_F(UnitModel, EachPropertyTypeCodeConvertsByItsRowAndAnyOtherAsText) {
  Load();
  const Prop ab{0x100000002, "ab", true, 2};
  auto written = [](UnitId unit, int index) {
    Write(unit, 8 + index, ValueRecord::Long(0x100000002));
    return Received(unit, index);
  };
  for (int i = 0; i < kLabCount; ++i) {
    EXPECT_EQ(ReadAfter(kLab, i, ab), kConversions[i].read) << "property " << 8 + i;
    EXPECT_EQ(written(kLab, i), kConversions[i].written) << "property " << 8 + i;
  }
  EXPECT_EQ(ReadAfter(kLab, kLabCount, ab) + written(kLab, kLabCount), "text ab[]") << "past the type's list";
  EXPECT_EQ(ReadAfter(kMute, 0, ab) + written(kMute, 0), "text ab[]") << "a type without a list";
  // What a unit hands back need not be tidy.
  const struct { Prop raw; const char *bytes, *font, *text; } kUntidy[] = {
      {{0, "", false, 3}, "null bytes", "bytes font default", "null text"},  // a size without an address
      {{0, "", true, 0}, "null bytes", "bytes font default", "null text"},
      {{0, "x", true, 1}, "bytes 78", "bytes font 78", "text x"},
  };
  for (const auto& row : kUntidy) {
    EXPECT_EQ(ReadAfter(kLab, kData, row.raw), row.bytes);
    EXPECT_EQ(ReadAfter(kLab, kFont, row.raw), row.font);
    EXPECT_EQ(ReadAfter(kLab, kCaption, row.raw), row.text);
  }
}

TEST_F(UnitModel, WrittenValuesReachTheUnitAsTheTypeCodeAsksAndReadBack) {
  Load();
  std::uint8_t* set = MakeByteSet("a\0b", 3);
  std::uint8_t* one = MakeByteSet("x", 1);
  const ValueRecord bytes = ValueRecord::ByteSetOf(set), byte = ValueRecord::ByteSetOf(one),
                    text = ValueRecord::TextOf("abc"), none = ValueRecord::ByteSetOf(kEmptyByteSet);
  // What the unit received ("[bytes]" or the word), then what reads back.
  const struct { int index; ValueRecord value; const char* seen; } kRows[] = {
      {kNumber, ValueRecord::Int(-5), "4294967291 int -5"},
      {kWide, ValueRecord::Long(-5000000000LL), "18446744068709551616 long -5000000000"},
      {kLogical, ValueRecord::Int(0), "0 false"}, {kLogical, ValueRecord::Bool(true), "1 true"},
      {kLogical, ValueRecord::Int(7), "1 true"}, {kCaption, ValueRecord::TextOf(nullptr), "[] null text"},
      {kCaption, text, "[61 62 63] text abc"}, {kData, bytes, "[61 00 62] bytes 61 00 62"},
      {kData, text, "[61 62 63] bytes 61 62 63"}, {kData, byte, "[78] bytes 78"}, {kData, none, "[] null bytes"},
      {kData, ValueRecord::Int(5), "0 null bytes"}, {kFont, bytes, "[font 61 00 62] bytes font 61 00 62"},
      {kFont, text, "[font 61 62 63] bytes font 61 62 63"}, {kFont, byte, "[font 78] bytes font 78"},
      {kFont, none, "[font default] bytes font default"}, {kFont, ValueRecord::Int(5), "[font default] bytes font default"},
  };
  for (const auto& row : kRows) {
    Write(kLab, 8 + row.index, row.value);
    EXPECT_EQ(Received(kLab, row.index) + " " + Taken(Read(kLab, 8 + row.index)), row.seen) << 8 + row.index;
  }
  Release(set);
  Release(one);
  for (std::uint64_t raw : {2ull, 0x100000001ull}) EXPECT_EQ(ReadAfter(kLab, kLogical, {raw}), "false") << raw;
  ValueRecord a = Read(kLab, 8 + kCaption), b = Read(kLab, 8 + kCaption);
  EXPECT_NE(a.AsText(), b.AsText()) << "two reads must give two allocations";
  Taken(a);
  Taken(b);
}

TEST_F(UnitModel, RebuildKeepsPlaceFocusStateAndPointerWithEventsBlockedOrKeepsTheOldUnit) {
  Load();
  Write(kLab, 8 + kCaption, ValueRecord::TextOf("kept"));
  Write(kLab, kPropMousePointer, ValueRecord::TextOf("cur"));
  Write(kLab, kPropLeft, ValueRecord::Int(33));
  void* old_native = Live(kLab)->native;
  up::NativeFocus(old_native);
  Write(kLab2, kPropVisible, ValueRecord::Bool(false));
  Write(kLab2, kPropDisabled, ValueRecord::Bool(true));

  Write(kLab, 8 + kRebuildMe, ValueRecord::Int(1));
  Write(kLab2, 8 + kRebuildMe, ValueRecord::Int(1));

  EXPECT_EQ(Live(kLab)->generation + Live(kLab2)->generation, 2) << "not rebuilt";
  EXPECT_FALSE(fakenative::Exists(old_native));
  EXPECT_EQ(NativeState(kLab) + ", " + NativeState(kLab2), "shown enabled focused place 0, hidden disabled place 1");
  EXPECT_TRUE(Live(kLab)->created_with_events_blocked);
  EXPECT_FALSE(EventsBlocked());
  EXPECT_EQ(Taken(Read(kLab, 8 + kCaption)) + ", " + Taken(Read(kLab, kPropMousePointer)), "text kept, bytes 63 75 72");
  EXPECT_EQ(Read(kLab, kPropLeft).AsInt(), 33);
  EXPECT_EQ(FindUnitObject(kWin, kLab), Live(kLab));
  up::NativeDestroy(Live(kLab2)->native);
  EXPECT_EQ(FindUnitObject(kWin, kLab2), nullptr) << "the new unit's own gone report still counts";
  // A rebuild that cannot create keeps the old unit.
  FakeUnit* before = Live(kLab);
  g_create_fails = true;
  Write(kLab, 8 + kRebuildMe, ValueRecord::Int(1));
  EXPECT_EQ(Live(kLab), before);
  EXPECT_TRUE(fakenative::Exists(before->native));
  EXPECT_FALSE(EventsBlocked());
}

// ---- Common properties ------------------------------------------------------------------

TEST_F(UnitModel, CommonPropertiesAreClampedAndReadBackStoredOrLiveTillTheWindowGoes) {
  std::uint8_t* cursor = MakeByteSet("cur", 3);
  const struct { std::int32_t number; ValueRecord value; const char* read; } kRows[] = {
      {kPropLeft, ValueRecord::Int(-40000), "int -32627"}, {kPropLeft, ValueRecord::Int(90), "int 90"},
      {kPropTop, ValueRecord::Int(-32628), "int -32627"},  {kPropTop, ValueRecord::Int(40000), "int 32627"},
      {kPropWidth, ValueRecord::Int(-1), "int 0"},         {kPropWidth, ValueRecord::Int(40000), "int 32627"},
      {kPropHeight, ValueRecord::Int(-1), "int 0"},        {kPropHeight, ValueRecord::Int(32700), "int 32627"},
      {kPropVisible, ValueRecord::Bool(false), "false"},   {kPropVisible, ValueRecord::Bool(true), "true"},
      {kPropDisabled, ValueRecord::Bool(true), "true"},    {kPropDisabled, ValueRecord::Bool(false), "false"},
      {kPropTag, ValueRecord::TextOf("new"), "text new"},  {kPropTag, ValueRecord::Int(5), "null text"},
      {kPropMousePointer, ValueRecord::TextOf("x"), "bytes 78"},
      {kPropMousePointer, ValueRecord::TextOf(kEmptyText), "null bytes"},
      {kPropMousePointer, ValueRecord::ByteSetOf(cursor), "bytes 63 75 72"},
  };
  for (bool live : {false, true}) {
    if (live) Load();
    for (const auto& row : kRows) {
      Write(kLab, row.number, row.value);
      EXPECT_EQ(Taken(Read(kLab, row.number)), row.read) << (live ? "live " : "stored ") << row.number;
    }
  }
  Release(cursor);
  void* native = Live(kLab)->native;
  EXPECT_EQ(up::NativeRectOf(native).left, 90) << "the native window follows";
  // While there is a native window, what it says counts.
  up::NativeMove(native, {1, 2, 3, 4});
  up::NativeEnable(native, false);
  EXPECT_EQ(Taken(Read(kLab, kPropLeft)) + ", " + Taken(Read(kLab, kPropHeight)) + ", " + Taken(Read(kLab, kPropDisabled)),
            "int 1, int 4, true");
  Write(kHidden, kPropVisible, ValueRecord::Bool(true));
  EXPECT_FALSE(up::NativeVisible(Live(kHidden)->native)) << "a type that is never shown";
  EXPECT_EQ(Read(kMute, kPropWidth).AsInt(), 10) << "a live unit without native window reads its stored state";
  // The window gone, the stored state goes back to the template.
  EXPECT_TRUE(AnyProgramWindowOpen());
  CloseWindow();
  EXPECT_EQ(g_last_gone_calls, 1);
  EXPECT_FALSE(AnyProgramWindowOpen());
  EXPECT_EQ(Taken(Read(kLab, kPropLeft)) + ", " + Taken(Read(kLab, kPropTag)) + ", " + Taken(Read(kLab, kPropMousePointer)),
            "int 80, text tag0, null bytes");
  EXPECT_EQ(FindUnitObject(kWin, kLab), nullptr);
}

// ---- Fatal errors --------------------------------------------------------------------------

// Death tests see the report on stderr as GBK bytes: the whole report (its
// message, no code line) is matched as bytes.
struct Reports : ::testing::MatcherInterface<const std::string&> {
  explicit Reports(const char* message) : report(FatalReportText(nullptr, 0, message, 0), '\0') {
    FatalReportText(report.data(), report.size() + 1, message, 0);
  }
  bool MatchAndExplain(const std::string& err, ::testing::MatchResultListener*) const override {
    return err.find(report) != std::string::npos;
  }
  void DescribeTo(std::ostream* os) const override { *os << "holds the fatal report"; }
  std::string report;
};

using UnitModelDeathTest = UnitModel;

TEST_F(UnitModelDeathTest, WrongReferencesAreFatal) {
  const struct { void (*act)(); const char* message; } kCases[] = {
      {[] { ReadUnitProperty(0x1234, kLab, 0, -1); }, texts::kNoWindowForAccess},
      {[] { Read(0x16019999, 0); }, texts::kNoSuchUnit},
      {[] { Write(0x16019999, 0, ValueRecord::Int(1)); }, texts::kNoSuchUnit},
      // Type-specific numbers need the live unit; common ones do not.
      {[] { Read(kLab, 8); }, texts::kWindowNotLoaded},
      {[] { Write(kLab, 8, ValueRecord::TextOf("x")); }, texts::kWindowNotLoaded},
      {[] { UnitObjectOrFail(kWin, kLab); }, texts::kNoSuchUnit},
      {[] { RuntimeService(2007, kWin, kLab); }, texts::kNoSuchUnit},
      {[] { Raise(0, 0, false, 0x1234); }, texts::kNoEventWindow},
      {[] { Raise(0x16019999, 0); }, texts::kNoEventUnit},
      {[] { Raise(kMute, 0, true); }, texts::kInvalidEventUnit},
      {[] {  // a type-specific property after the window is gone
         bvtest::LoadWindowUnits(kWin, CreateFake, ShowNative);
         CloseWindow();
         Read(kLab, 8);
       }, texts::kWindowNotLoaded},
  };
  for (const auto& c : kCases)
    EXPECT_EXIT(c.act(), ::testing::ExitedWithCode(255), ::testing::MakeMatcher(new Reports(c.message)));
}

// ---- Events ---------------------------------------------------------------------------------

TEST_F(UnitModel, EventsRunTheirBoundHandlerAloneAndNothingWhileBlocked) {
  BlockEvents();
  for (bool typed : {false, true})
    EXPECT_EQ(Raise(kLab, 0, typed) + Raise(0, 0, typed, 0x1234), 0) << "even a fatal event is dropped while blocked";
  UnblockEvents();
  EXPECT_EQ(g_calls, 0);
  const struct { UnitId unit; std::int32_t event, ran; const char* why; } kRows[] = {
      {kLab, 0, 1, "bound"}, {kLab, 1, 0, "not bound"}, {0, window_event::kClose, 0, "not bound"},
      {0, window_event::kCreated, 1, "the window by unit 0"}, {kWinUnit, window_event::kCreated, 1, "by its own id"},
      {0, window_event::kBeforeShown, 1, "bound by unit 0"}, {kWinUnit, window_event::kBeforeShown, 1, "the same"},
      {0, 3, 0, "bound for units only"}, {kLab, window_event::kBeforeShown, 0, "bound for the window by unit 0"},
      {kLab2, 0, 0, "bound to handler -1"}, {kLab2, 1, 0, "bound past the handler table"},
      {kLab2, 2, 0, "bound to an empty handler entry"},
  };
  for (const auto& row : kRows) {
    for (bool typed : {false, true}) {
      g_calls = 0;
      const std::int32_t ran = Raise(row.unit, row.event, typed);
      EXPECT_EQ(ran + g_calls, 2 * row.ran) << row.why;
    }
  }
}

TEST_F(UnitModel, HandlersGetAtMostFivePlainOrTwelveTypedArguments) {
  const struct { std::uint32_t argc; std::int32_t plain, typed; } kRows[] = {
      {0, 0, 0}, {4, 4, 4}, {5, 5, 5}, {7, 5, 7}, {11, 5, 11}, {12, 5, 12}, {13, 5, 12}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.argc);
    PlainEventRecord plain{kWin, kLab, 0, row.argc, {0xFFFFFFFF, 2, 3, 4, 5}};
    TypedEventRecord typed{kWin, kLab, 0, row.argc};
    for (std::uint32_t i = 0; i < 12; ++i) typed.args[i] = {100 + i, 0, kTypeInt, 0};
    ASSERT_EQ(RaiseEvent(&plain), 1);
    EXPECT_EQ(g_call.argc, row.plain);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(g_call.args[i], i < row.plain ? plain.args[i] : 0u) << i;
    ASSERT_EQ(RaiseTypedEvent(&typed), 1);
    EXPECT_EQ(g_call.argc, row.typed);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(g_call.args[i], i < row.typed ? 100u + i : 0u) << i;
  }
}

// Texts, byte sets, subroutines and arrays travel as pointers: on a 64-bit
// build a pointer fills the high word too, and a handler that got only the
// value word would follow a cut-off address.
TEST_F(UnitModel, TypedArgumentsPassByTypeCode) {
  const std::uint64_t pointer = sizeof(void*) > 4 ? 0x00007F0012345678ull : 0x12345678u;
  const struct { TypedEventArg arg; std::uint64_t passed; } kRows[] = {
      {{0x1FF, 0, kTypeByte, 0}, 0xFF}, {{0x18001, 0, kTypeShort, 0}, 0xFFFF8001},  // sign-extended to a word
      {{1, 2, kTypeLong, 0}, 0x200000001}, {{3, 4, kTypeInt, 0}, 3},  // the high word of a plain integer ignored
      {{5, 6, kTypeInt, kArgTwoWords}, 0x600000005},
      {{7, 8, UnitTypeCode(kCoreLibrary, 3), 0}, 0x800000007},  // a unit reference of core type 3
      {{9, 10, 0x80000008, 0}, 0xA00000009}, {{0x12345678, 0x7F00, kTypeText, 0}, pointer},
      {{0x12345678, 0x7F00, kTypeByteSet, 0}, pointer}, {{0x12345678, 0x7F00, kTypeSubroutine, 0}, pointer},
      {{0x12345678, 0x7F00, kTypeInt | kArrayFlag, 0}, pointer},
  };
  TypedEventRecord ev{kWin, kLab, 0, static_cast<std::uint32_t>(std::size(kRows))};
  for (std::size_t i = 0; i < std::size(kRows); ++i) ev.args[i] = kRows[i].arg;
  ASSERT_EQ(RaiseTypedEvent(&ev), 1);
  for (std::size_t i = 0; i < std::size(kRows); ++i)
    EXPECT_EQ(g_call.args[i], kRows[i].passed) << "type 0x" << std::hex << kRows[i].arg.type;

  // By reference: the address of the argument's value slot, through which the handler may replace it.
  TypedEventRecord drop{kWin, kHidden, drop_event::kFilesDropped, 1};
  drop.args[0] = {0x1234, 0, kTypeText, kArgByReference};
  ASSERT_EQ(RaiseTypedEvent(&drop), 1);
  EXPECT_EQ(g_call.args[0], reinterpret_cast<std::uintptr_t>(&drop.args[0].value));
}

// ---- Services, the type registry and installation --------------------------------------------

TEST_F(UnitModel, ServicesFindUnitsRaiseEventsPumpAndMoveTheBlockCounter) {
  Load();
  EXPECT_EQ(RuntimeService(2009, 0, 0), 0);
  EXPECT_TRUE(EventsBlocked());
  EXPECT_EQ(RuntimeService(2010, 0, 0) + RuntimeService(2010, 0, 0), 0);
  EXPECT_FALSE(EventsBlocked());
  BlockEvents();
  EXPECT_TRUE(EventsBlocked()) << "never below 0: one block blocks again";
  UnblockEvents();
  EXPECT_EQ(fakenative::MessagePumps(), 3);
  const auto live = reinterpret_cast<std::intptr_t>(Live(kLab));
  EXPECT_EQ(RuntimeService(2006, kWin, kLab), live);
  EXPECT_EQ(RuntimeService(2007, kWin, kLab), live);
  EXPECT_EQ(RuntimeService(2006, kWin, kMute), 0) << "no native window";
  EXPECT_EQ(RuntimeService(2006, 0x1234, 0), 0);
  PlainEventRecord click{kWin, kLab, 0, 0};
  TypedEventRecord typed_click{kWin, kLab, 0, 0};
  EXPECT_EQ(RuntimeService(2008, reinterpret_cast<std::intptr_t>(&click), 0), 1);
  EXPECT_EQ(RuntimeService(2031, reinterpret_cast<std::intptr_t>(&typed_click), 0), 1);
  EXPECT_EQ(RuntimeService(2008, 0, 0) + RuntimeService(2031, 0, 0), 0) << "no record";
  Write(kLab, kPropMousePointer, ValueRecord::TextOf("cur"));
  EXPECT_EQ(RuntimeService(2000, kWin, kLab), 0);  // the unit says it is gone
  EXPECT_EQ(FindUnitObject(kWin, kLab), nullptr);
  EXPECT_EQ(Taken(Read(kLab, kPropMousePointer)), "null bytes") << "its pointer went with it";
}

TEST_F(UnitModel, TypesAndWindowsReplaceTheirForerunnersAndOddOnesInstallSafely) {
  EXPECT_EQ(FindUnitType(UnitTypeCode(3, 99)), nullptr);
  static const UnitTypeRecord kOtherWindow = {"window2", kUnitWindow, 0x800000D0, kWindowTypes, 1, kFakeOps};
  RegisterUnitType(&kOtherWindow);
  RegisterUnitType(nullptr);
  EXPECT_EQ(FindUnitType(kUnitWindow), &kOtherWindow);
  static UnitTypeRecord extra[40];
  for (int i = 0; i < 40; ++i) {
    extra[i] = kMuteType;
    extra[i].code = UnitTypeCode(4, 100 + i);
    RegisterUnitType(&extra[i]);
  }
  EXPECT_EQ(FindUnitType(kUnitLabel), &kFakeLabelType) << "what was there stays";
  EXPECT_EQ(FindUnitType(extra[39].code), nullptr) << "a full registry takes no more";

  // Installing again replaces the windows; odd templates install safely.
  InstallProgramWindows(kWindows, 1, kHandlers, 0);
  EXPECT_EQ(Raise(kLab, 0), 0) << "without handlers every binding goes";
  auto units = [](WindowId window) {
    std::int32_t count = -1;
    const bool slots = ProgramWindowUnits(window, &count) != nullptr;
    return std::to_string(count) + (slots ? " slots" : " none");
  };
  InstallProgramWindows(nullptr, 0, kHandlers, 2);
  EXPECT_EQ(units(kWin), "0 none");
  const WindowTemplate empty{0x52010002, kUnits, 0, nullptr, 0}, single{0x52010003, kUnits, 1, nullptr, 0};
  const WindowTemplate* const odd[] = {&empty, nullptr, &single};
  InstallProgramWindows(odd, 3, kHandlers, 2);
  EXPECT_EQ(units(empty.id) + ", " + units(single.id), "0 none, 1 slots");
}

}  // namespace
}  // namespace bv
