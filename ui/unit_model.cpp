#include "ui/unit_model.h"

#include <cstring>
#include <vector>

#include "runtime/fatal.h"
#include "runtime/program.h"
#include "runtime/service.h"
#include "runtime/texts.h"
#include "ui/unit_offer.h"
#include "ui/unit_platform.h"

namespace bv {

namespace {

namespace up = unitplatform;

// ---- Unit type registry ---------------------------------------------------------

constexpr int kMaxUnitTypes = 32;
const UnitTypeRecord* g_types[kMaxUnitTypes] = {};
int g_type_count = 0;

// ---- Program windows ------------------------------------------------------------

struct Binding {
  UnitId unit;
  std::int32_t event;
  EventHandler handler;
};

struct ProgramWindow {
  const WindowTemplate* tmpl = nullptr;
  std::vector<UnitSlot> units;  // never resized after installation: slots are handed out
  std::vector<Binding> bindings;
};

std::vector<ProgramWindow> g_windows;
void (*g_last_window_gone)() = nullptr;

// The unit being rebuilt: its own gone report is the old native window's and
// must not clear the link to the new one.
struct {
  bool active = false;
  WindowId window = 0;
  UnitId unit = 0;
} g_rebuild;

ProgramWindow* FindWindow(WindowId id) {
  for (ProgramWindow& w : g_windows)
    if (w.tmpl->id == id) return &w;
  return nullptr;
}

// Unit identifier 0 and the window's own unit identifier both name the window.
UnitSlot* FindSlot(ProgramWindow& w, UnitId unit) {
  if (w.units.empty()) return nullptr;
  if (unit == 0) return &w.units[0];
  for (UnitSlot& s : w.units)
    if (s.tmpl->id == unit) return &s;
  return nullptr;
}

bool IsWindowSlot(const ProgramWindow& w, const UnitSlot* s) { return !w.units.empty() && s == &w.units[0]; }

void ClearStored(CommonState& state) {
  Release(state.tag);
  Release(state.mouse_pointer);
  state = CommonState{};
}

void ResetStored(UnitSlot& slot) {
  ClearStored(slot.stored);
  const UnitTemplate& t = *slot.tmpl;
  slot.stored.left = t.left;
  slot.stored.top = t.top;
  slot.stored.width = t.width;
  slot.stored.height = t.height;
  slot.stored.flags = t.flags;
  slot.stored.tab_order = t.tab_order;
  slot.stored.tag = CopyText(t.tag);
}

void* LiveNative(const UnitSlot& slot) { return slot.live ? slot.live->native : nullptr; }

// Finds the unit for property access, with the fatal errors of a wrong reference.
UnitSlot& SlotForAccess(WindowId window, UnitId unit, ProgramWindow** owner = nullptr) {
  ProgramWindow* w = FindWindow(window);
  if (!w) FatalRuntimeError(texts::kNoWindowForAccess, 0);
  UnitSlot* s = FindSlot(*w, unit);
  if (!s) FatalRuntimeError(texts::kNoSuchUnit, 0);
  if (owner) *owner = w;
  return *s;
}

// ---- Conversions ------------------------------------------------------------------

enum class Conv { Int, Wide, Logical, ByteSet, Font, Text };

// How each property type code converts. The bare numbers are codes no unit
// type here uses: they mean nothing beyond their conversion. Any code not
// listed, 1005 included, converts as a text.
struct ConversionRow {
  Conv conv;
  std::int32_t codes[6];  // 0 after the last
};
constexpr ConversionRow kConversions[] = {
    {Conv::Int, {kPropTypeInt, kPropTypeChoice, kPropTypeColour, 1014, 1015, 1017}},
    {Conv::Wide, {kPropTypeWide, 1004}},
    {Conv::Logical, {kPropTypeLogical}},
    {Conv::ByteSet, {kPropTypeData, 1010, kPropTypeMousePointer, 1012, 1023, 1024}},
    {Conv::Font, {kPropTypeFont}},
};

Conv ConvOf(std::int32_t code) {
  for (const ConversionRow& row : kConversions) {
    for (std::int32_t listed : row.codes) {
      if (listed == 0) break;
      if (listed == code) return row.conv;
    }
  }
  return Conv::Text;
}

std::int32_t PropertyTypeOf(const UnitTypeRecord& type, std::int32_t index) {
  if (index < 0 || index >= type.property_count || !type.property_types) return kPropTypeText;
  return type.property_types[index];
}

ValueRecord ByteSetResult(const void* data, std::int32_t size) {
  return ValueRecord::ByteSetOf(data && size > 0 ? MakeByteSet(data, size) : nullptr);
}

ValueRecord FromRaw(std::int32_t code, const RawProperty& raw) {
  switch (ConvOf(code)) {
    case Conv::Int: return ValueRecord::Int(static_cast<std::int32_t>(raw.word));
    case Conv::Wide: return ValueRecord::Long(static_cast<std::int64_t>(raw.word));
    case Conv::Logical: return ValueRecord::Bool(raw.word == 1);
    case Conv::ByteSet: return ByteSetResult(raw.data, raw.size);
    case Conv::Font: {
      std::uint8_t record[up::kFontRecordSize] = {};
      if (raw.data && raw.size > 0) {
        std::memcpy(record, raw.data, raw.size < up::kFontRecordSize ? raw.size : up::kFontRecordSize);
      } else {
        up::DefaultGuiFont(record);
      }
      return ByteSetResult(record, up::kFontRecordSize);
    }
    case Conv::Text:
      // A text is NUL-terminated; its length is what precedes the NUL.
      return ValueRecord::TextOf(raw.data ? CopyText(static_cast<const char*>(raw.data)) : nullptr);
  }
  return {};
}

// The bytes a byte-set-like property receives: a byte set as it is, a text's
// bytes, nothing for any other value.
void BytesOf(const ValueRecord& v, const void** data, std::int32_t* size) {
  *data = nullptr;
  *size = 0;
  if (v.type == kTypeByteSet) {
    *data = ByteSetData(v.AsByteSet());
    *size = ByteSetLength(v.AsByteSet());
  } else if (v.type == kTypeText) {
    *data = v.AsText();
    *size = TextLen(v.AsText());
  }
}

// ---- Rebuild ------------------------------------------------------------------------

// Destroys the unit's native window and creates it again from its current
// state at the same stacking place. The new unit is created before the old one
// goes, so that it can take the old one's type-specific state and its place.
void Rebuild(ProgramWindow& w, UnitSlot& slot) {
  UnitObject* old = slot.live;
  if (!old || !old->native) return;
  // A window's rebuild would take all its units with it; no window property
  // asks for one.
  if (IsWindowSlot(w, &slot)) return;
  const UnitCreateFn create = slot.type->ops.create;
  if (!create) return;

  BlockEvents();
  // Where the user or the platform moved it is where it is now.
  up::NativeRect r = up::NativeRectOf(old->native);
  slot.stored.left = r.left;
  slot.stored.top = r.top;
  slot.stored.width = r.width;
  slot.stored.height = r.height;
  const bool had_focus = up::NativeHasFocus(old->native);

  UnitCreateInfo info;
  info.type = slot.type;
  info.window = w.tmpl->id;
  info.unit = slot.tmpl->id;
  info.parent = w.units[0].live;
  info.common = &slot.stored;
  info.data = slot.tmpl->data;
  info.data_size = slot.tmpl->data_size;
  info.previous = old;

  UnitObject* fresh = create(info);
  if (!fresh) {
    // Keeping the old unit beats losing it: it holds the written value already.
    UnblockEvents();
    return;
  }
  g_rebuild = {true, w.tmpl->id, slot.tmpl->id};
  if (fresh->native) up::NativePlaceAfter(fresh->native, old->native);
  up::NativeDestroy(old->native);  // ends `old`
  slot.live = fresh;
  g_rebuild.active = false;

  if (fresh->native) {
    up::NativeEnable(fresh->native, !(slot.stored.flags & kUnitDisabled));
    if ((slot.stored.flags & kUnitVisible) && !(slot.type->flags & kTypeNeverShown))
      up::NativeShow(fresh->native, true);
    if (had_focus) up::NativeFocus(fresh->native);
  }
  UnblockEvents();
}

// ---- Common properties -----------------------------------------------------------

constexpr std::int32_t kMaxPosition = 32627;

std::int32_t Clamp(std::int32_t v, std::int32_t lo, std::int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

ValueRecord ReadCommon(const UnitSlot& slot, std::int32_t number) {
  void* native = LiveNative(slot);
  const CommonState& s = slot.stored;
  up::NativeRect r{s.left, s.top, s.width, s.height};
  if (native && number <= kPropHeight) r = up::NativeRectOf(native);
  switch (number) {
    case kPropLeft: return ValueRecord::Int(r.left);
    case kPropTop: return ValueRecord::Int(r.top);
    case kPropWidth: return ValueRecord::Int(r.width);
    case kPropHeight: return ValueRecord::Int(r.height);
    case kPropTag: return ValueRecord::TextOf(CopyText(s.tag));
    case kPropVisible:
      return ValueRecord::Bool(native ? up::NativeVisible(native) : (s.flags & kUnitVisible) != 0);
    case kPropDisabled:
      return ValueRecord::Bool(native ? !up::NativeEnabled(native) : (s.flags & kUnitDisabled) != 0);
    case kPropMousePointer:
      return ByteSetResult(ByteSetData(s.mouse_pointer), ByteSetLength(s.mouse_pointer));
  }
  return {};
}

void SetFlag(std::uint32_t& flags, std::uint32_t flag, bool on) { flags = on ? flags | flag : flags & ~flag; }

void WriteCommon(UnitSlot& slot, std::int32_t number, const ValueRecord& value) {
  void* native = LiveNative(slot);
  CommonState& s = slot.stored;
  if (number <= kPropHeight) {
    std::int32_t v = value.AsInt();
    up::NativeRect r = native ? up::NativeRectOf(native) : up::NativeRect{s.left, s.top, s.width, s.height};
    switch (number) {
      case kPropLeft: s.left = r.left = Clamp(v, -kMaxPosition, kMaxPosition); break;
      case kPropTop: s.top = r.top = Clamp(v, -kMaxPosition, kMaxPosition); break;
      case kPropWidth: s.width = r.width = Clamp(v, 0, kMaxPosition); break;
      case kPropHeight: s.height = r.height = Clamp(v, 0, kMaxPosition); break;
    }
    if (native) up::NativeMove(native, r);
    return;
  }
  switch (number) {
    case kPropTag:
      Store(s.tag, CopyText(value.type == kTypeText ? value.AsText() : nullptr));
      break;
    case kPropVisible:
      SetFlag(s.flags, kUnitVisible, value.AsBool());
      if (native && !(slot.type->flags & kTypeNeverShown)) up::NativeShow(native, value.AsBool());
      break;
    case kPropDisabled:
      SetFlag(s.flags, kUnitDisabled, value.AsBool());
      if (native) up::NativeEnable(native, !value.AsBool());
      break;
    case kPropMousePointer: {
      const void* data;
      std::int32_t size;
      BytesOf(value, &data, &size);
      Store(s.mouse_pointer, data && size > 0 ? MakeByteSet(data, size) : nullptr);
      break;
    }
  }
}

// ---- Events --------------------------------------------------------------------------

// Finds the bound handler, with the fatal errors of a wrong event source.
// Null when the event is unbound.
EventHandler HandlerFor(WindowId window, UnitId unit, std::int32_t event) {
  ProgramWindow* w = FindWindow(window);
  if (!w) FatalRuntimeError(texts::kNoEventWindow, 0);
  UnitSlot* s = FindSlot(*w, unit);
  if (!s) FatalRuntimeError(texts::kNoEventUnit, 0);
  if (!s->type || !(s->type->flags & kTypeEventBits)) FatalRuntimeError(texts::kInvalidEventUnit, 0);
  const UnitId id = s->tmpl->id;
  const bool is_window = IsWindowSlot(*w, s);
  for (const Binding& b : w->bindings) {
    if (b.event != event) continue;
    if (b.unit == id || (is_window && b.unit == 0)) return b.handler;
  }
  return nullptr;
}

// Argument types that the typed record carries in both words besides the
// 8-byte value types: system type 8, and references to units of core unit
// type 3 (window and unit identifier).
constexpr TypeCode kTwoWordSystemType = 0x80000008;
constexpr TypeCode kTwoWordUnitType = UnitTypeCode(kCoreLibrary, 3);

std::uint64_t TypedArgument(TypedEventArg& arg) {
  if (arg.flags & kArgByReference) return reinterpret_cast<std::uintptr_t>(&arg.value);
  const std::uint64_t wide = (static_cast<std::uint64_t>(arg.high) << 32) | arg.value;
  if (arg.flags & kArgTwoWords) return wide;
  switch (arg.type) {
    case kTwoWordUnitType:
    case kTwoWordSystemType:
    case kTypeDateTime:
    case kTypeLong:
    case kTypeDouble:
      return wide;
    case kTypeByte: return arg.value & 0xFFu;
    case kTypeShort:
      return static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int16_t>(arg.value & 0xFFFFu)));
    case kTypeText:
    case kTypeByteSet:
    case kTypeSubroutine:
      // A pointer: on a 64-bit build its value word alone is a cut-off address.
      return sizeof(void*) > 4 ? wide : arg.value;
    default:
      if (arg.type & kArrayFlag) return sizeof(void*) > 4 ? wide : arg.value;
      return arg.value;
  }
}

// ---- Services ------------------------------------------------------------------------

std::intptr_t GoneService(std::intptr_t window, std::intptr_t unit) {
  ReportUnitGone(static_cast<WindowId>(window), static_cast<UnitId>(unit));
  return 0;
}
std::intptr_t FindService(std::intptr_t window, std::intptr_t unit) {
  return reinterpret_cast<std::intptr_t>(FindUnitObject(static_cast<WindowId>(window), static_cast<UnitId>(unit)));
}
std::intptr_t FindOrFailService(std::intptr_t window, std::intptr_t unit) {
  return reinterpret_cast<std::intptr_t>(
      UnitObjectOrFail(static_cast<WindowId>(window), static_cast<UnitId>(unit)));
}
std::intptr_t PlainEventService(std::intptr_t record, std::intptr_t) {
  return record ? RaiseEvent(reinterpret_cast<PlainEventRecord*>(record)) : 0;
}
std::intptr_t TypedEventService(std::intptr_t record, std::intptr_t) {
  return record ? RaiseTypedEvent(reinterpret_cast<TypedEventRecord*>(record)) : 0;
}
std::intptr_t PumpAndBlockService(std::intptr_t, std::intptr_t) {
  up::ProcessWaitingMessages();
  BlockEvents();
  return 0;
}
std::intptr_t PumpAndUnblockService(std::intptr_t, std::intptr_t) {
  up::ProcessWaitingMessages();
  UnblockEvents();
  return 0;
}

}  // namespace

// ---- Unit types ----------------------------------------------------------------------

const UnitTypeRecord* FindUnitType(TypeCode code) {
  for (int i = 0; i < g_type_count; ++i)
    if (g_types[i]->code == code) return g_types[i];
  return nullptr;
}

void RegisterUnitType(const UnitTypeRecord* record) {
  if (!record) return;
  for (int i = 0; i < g_type_count; ++i) {
    if (g_types[i]->code == record->code) {
      g_types[i] = record;
      return;
    }
  }
  if (g_type_count < kMaxUnitTypes) g_types[g_type_count++] = record;
}

// ---- Program windows -----------------------------------------------------------------

void InstallProgramWindows(const WindowTemplate* const* windows, std::int32_t window_count,
                           const EventHandler* handlers, std::int32_t handler_count) {
  ReleaseProgramWindows();
  g_windows.reserve(window_count > 0 ? window_count : 0);
  for (std::int32_t i = 0; i < window_count; ++i) {
    const WindowTemplate* t = windows[i];
    if (!t) continue;
    ProgramWindow w;
    w.tmpl = t;
    w.units.resize(t->unit_count > 0 ? t->unit_count : 0);
    for (std::int32_t u = 0; u < t->unit_count; ++u) {
      UnitSlot& s = w.units[u];
      s.tmpl = &t->units[u];
      s.type = FindUnitType(s.tmpl->type);
      ResetStored(s);
    }
    for (std::int32_t b = 0; b < t->binding_count; ++b) {
      const EventBindingTemplate& e = t->bindings[b];
      if (e.handler < 0 || e.handler >= handler_count || !handlers[e.handler]) continue;
      w.bindings.push_back({e.unit, e.event, handlers[e.handler]});
    }
    g_windows.push_back(std::move(w));
  }
}

void ReleaseProgramWindows() {
  for (ProgramWindow& w : g_windows)
    for (UnitSlot& s : w.units) ClearStored(s.stored);
  g_windows.clear();
  g_rebuild.active = false;
}

UnitSlot* ProgramWindowUnits(WindowId window, std::int32_t* count) {
  ProgramWindow* w = FindWindow(window);
  if (count) *count = w ? static_cast<std::int32_t>(w->units.size()) : 0;
  return w && !w->units.empty() ? w->units.data() : nullptr;
}

void AttachUnitObject(WindowId window, UnitId unit, UnitObject* object) {
  ProgramWindow* w = FindWindow(window);
  if (!w) return;
  if (UnitSlot* s = FindSlot(*w, unit)) s->live = object;
}

bool AnyProgramWindowOpen() {
  for (const ProgramWindow& w : g_windows)
    if (!w.units.empty() && w.units[0].live) return true;
  return false;
}

void SetLastWindowGoneHook(void (*hook)()) { g_last_window_gone = hook; }

UnitObject* FindUnitObject(WindowId window, UnitId unit) {
  ProgramWindow* w = FindWindow(window);
  if (!w) return nullptr;
  UnitSlot* s = FindSlot(*w, unit);
  return s && LiveNative(*s) ? s->live : nullptr;
}

UnitObject* UnitObjectOrFail(WindowId window, UnitId unit) {
  UnitObject* object = FindUnitObject(window, unit);
  if (!object) FatalRuntimeError(texts::kNoSuchUnit, 0);
  return object;
}

void ReportUnitGone(WindowId window, UnitId unit) {
  ProgramWindow* w = FindWindow(window);
  if (!w) return;
  UnitSlot* s = FindSlot(*w, unit);
  if (!s) return;
  if (g_rebuild.active && g_rebuild.window == window && g_rebuild.unit == s->tmpl->id) return;
  s->live = nullptr;
  Store(s->stored.mouse_pointer, static_cast<std::uint8_t*>(nullptr));
  if (!IsWindowSlot(*w, s)) return;
  // The window is closed: the next load starts from the template again.
  for (UnitSlot& u : w->units) ResetStored(u);
  if (!AnyProgramWindowOpen() && g_last_window_gone) g_last_window_gone();
}

void RegisterUnitServices() {
  RegisterService(2000, GoneService);
  RegisterService(2006, FindService);
  RegisterService(2007, FindOrFailService);
  RegisterService(2008, PlainEventService);
  RegisterService(2009, PumpAndBlockService);
  RegisterService(2010, PumpAndUnblockService);
  RegisterService(2031, TypedEventService);
}

// ---- Events ----------------------------------------------------------------------------

std::int32_t RaiseEvent(PlainEventRecord* record) {
  if (EventsBlocked()) return 0;
  EventHandler handler = HandlerFor(record->window, record->unit, static_cast<std::int32_t>(record->event));
  if (!handler) return 0;
  EventCall call;
  call.argc = record->argc < 5 ? static_cast<std::int32_t>(record->argc) : 5;
  for (std::int32_t i = 0; i < call.argc; ++i) call.args[i] = record->args[i];
  handler(call);
  return 1;
}

std::int32_t RaiseTypedEvent(TypedEventRecord* record) {
  if (EventsBlocked()) return 0;
  EventHandler handler = HandlerFor(record->window, record->unit, static_cast<std::int32_t>(record->event));
  if (!handler) return 0;
  EventCall call;
  call.argc = record->argc < 12 ? static_cast<std::int32_t>(record->argc) : 12;
  for (std::int32_t i = 0; i < call.argc; ++i) call.args[i] = TypedArgument(record->args[i]);
  handler(call);
  return 1;
}

// ---- Properties --------------------------------------------------------------------------

ValueRecord ReadUnitProperty(WindowId window, UnitId unit, std::int32_t number, std::int32_t part) {
  (void)part;  // every property is read whole; fonts come as their full record
  UnitSlot& slot = SlotForAccess(window, unit);
  if (number < kFirstTypeProperty) return ReadCommon(slot, number);
  if (!slot.live) FatalRuntimeError(texts::kWindowNotLoaded, 0);
  const std::int32_t index = number - kFirstTypeProperty;
  const UnitReadFn read = slot.type->ops.read;
  RawProperty raw = read ? read(slot.live, index) : RawProperty{};
  return FromRaw(PropertyTypeOf(*slot.type, index), raw);
}

void WriteUnitProperty(WindowId window, UnitId unit, std::int32_t number, std::int32_t part,
                       const ValueRecord& value) {
  (void)part;
  ProgramWindow* w = nullptr;
  UnitSlot& slot = SlotForAccess(window, unit, &w);
  if (number < kFirstTypeProperty) {
    WriteCommon(slot, number, value);
    return;
  }
  if (!slot.live) FatalRuntimeError(texts::kWindowNotLoaded, 0);
  const std::int32_t index = number - kFirstTypeProperty;
  const UnitWriteFn write = slot.type->ops.write;
  if (!write) return;

  RawProperty raw;
  std::uint8_t font[up::kFontRecordSize] = {};
  switch (ConvOf(PropertyTypeOf(*slot.type, index))) {
    case Conv::Int: raw.word = value.value; break;
    case Conv::Wide: raw.word = value.Wide(); break;
    case Conv::Logical: raw.word = value.value != 0 ? 1 : 0; break;
    case Conv::ByteSet: BytesOf(value, &raw.data, &raw.size); break;
    case Conv::Font: {
      const void* data;
      std::int32_t size;
      BytesOf(value, &data, &size);
      if (data && size > 0) std::memcpy(font, data, size < up::kFontRecordSize ? size : up::kFontRecordSize);
      else up::DefaultGuiFont(font);
      raw.data = font;
      raw.size = up::kFontRecordSize;
      break;
    }
    case Conv::Text: {
      const char* t = value.type == kTypeText ? value.AsText() : nullptr;
      raw.data = t ? t : kEmptyText;
      raw.size = TextLen(t);
      break;
    }
  }
  if (write(slot.live, index, raw) && LiveNative(slot)) Rebuild(*w, slot);
}

}  // namespace bv
