// The unit model: the program's windows and their units, how the logic reads
// and writes unit properties by number, and how units raise events that reach
// the handlers bound in the window template. Portable: native windows are
// reached only through the unit types' operations and ui/unit_platform.h.
//
// Identity. A unit is named by (window identifier, unit identifier); the
// window itself is the first unit of its window, and unit identifier 0 also
// names it where events and lookups say so.
//
// Lifetime. The program windows list lives from program start to its end,
// whether a window is open or not. Each unit has stored state (the common
// fields below plus the template's type data) and, while its native window
// exists, a live UnitObject. When the native window goes, the unit reports it
// (ReportUnitGone); when the window itself reports, the stored state of all
// its units goes back to what it was when the window was loaded.
//
// Ownership. Everything read through ReadUnitProperty is a new allocation (or
// null) owned by the caller; everything written is borrowed and copied by the
// unit (runtime/value.h).
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace bv {

using WindowId = std::uint32_t;
using UnitId = std::uint32_t;

// ---- Unit type codes ---------------------------------------------------------
inline constexpr TypeCode kUnitWindow = UnitTypeCode(kCoreLibrary, 1);      // 0x00010001
inline constexpr TypeCode kUnitEditBox = UnitTypeCode(kCoreLibrary, 5);     // 0x00010005
inline constexpr TypeCode kUnitLabel = UnitTypeCode(kCoreLibrary, 10);      // 0x0001000A
inline constexpr TypeCode kUnitButton = UnitTypeCode(kCoreLibrary, 11);     // 0x0001000B
inline constexpr TypeCode kUnitDropTarget = UnitTypeCode(kDragDropLibrary, 1);  // 0x00020001

// ---- Event numbers ---------------------------------------------------------------
// What each unit type raises, by number; the template's bindings name them.
namespace window_event {
enum : std::int32_t {
  kCreated = 0,       // built from the template, still invisible
  kClose = 1,         // the user's close command; a handler's false answer keeps the window
  kAfterCreated = 3,  // after kCreated, while the window still exists
  kBeforeShown = 4,   // after kAfterCreated, before the window is shown
};
}
namespace button_event {
enum : std::int32_t { kClick = 0 };
}
namespace edit_event {
enum : std::int32_t { kContentChanged = 0 };
}
// Numbered as the drop target's accept flags (DropKind), each with one text by
// reference.
namespace drop_event {
enum : std::int32_t { kTextDropped = 0, kHtmlDropped = 1, kUrlDropped = 2, kFilesDropped = 3 };
}

// ---- Common stored state -------------------------------------------------------
inline constexpr std::uint32_t kUnitVisible = 0x1;
inline constexpr std::uint32_t kUnitDisabled = 0x2;
inline constexpr std::uint32_t kUnitFocusable = 0x4;

// Common fields of every unit (the window included). Texts and byte sets here
// are owned by the state.
struct CommonState {
  std::int32_t left = 0, top = 0, width = 0, height = 0;  // window: outer rectangle on screen
  std::uint32_t flags = 0;                               // kUnitVisible | kUnitDisabled | kUnitFocusable
  std::int32_t tab_order = 0;
  char* tag = nullptr;                   // text, null when empty
  std::uint8_t* mouse_pointer = nullptr;  // byte set, null for the default arrow
};

// Common property numbers; type-specific properties start at 8.
enum CommonProperty : std::int32_t {
  kPropLeft = 0,
  kPropTop = 1,
  kPropWidth = 2,
  kPropHeight = 3,
  kPropTag = 4,
  kPropVisible = 5,
  kPropDisabled = 6,
  kPropMousePointer = 7,
  kFirstTypeProperty = 8,
};

// ---- Unit types ---------------------------------------------------------------

// Type flags: units of a type with kTypeNeverShown are never made visible; a
// type whose flags have none of kTypeEventBits cannot raise events.
inline constexpr std::uint32_t kTypeNeverShown = 0x8000;
inline constexpr std::uint32_t kTypeEventBits = 0x44;

// The type code of a type-specific property decides how its raw value
// converts to and from a program value (the table of conversions is the
// model's, unit_model.cpp). The codes the unit types here use:
enum PropertyType : std::int32_t {
  kPropTypeInt = 1000,
  kPropTypeChoice = 1001,        // one of a few numbered choices
  kPropTypeWide = 1002,          // 8-byte value: value word and high word
  kPropTypeLogical = 1003,       // true exactly for raw 1; written as 1 for any non-zero
  kPropTypeText = 1005,
  kPropTypeColour = 1006,        // 0x00BBGGRR, or kColour3dFace
  kPropTypeData = 1009,          // a byte set of the raw bytes (pictures and the like)
  kPropTypeMousePointer = 1011,  // a byte set of the pointer's data
  kPropTypeFont = 1013,          // the 60-byte logical-font record
};

// A raw property value as a unit type's read and write operations exchange it.
// `data` is borrowed: on read it stays the unit's (the model copies it); on
// write the unit copies it.
struct RawProperty {
  std::uint64_t word = 0;       // integers, choices, colours, logical (raw), 8-byte values
  const void* data = nullptr;   // text bytes (NUL-terminated), byte data, font record
  std::int32_t size = 0;        // byte count at `data` (a text: its length)
};

class UnitObject;
struct UnitTypeRecord;

struct UnitCreateInfo {
  const UnitTypeRecord* type = nullptr;
  WindowId window = 0;
  UnitId unit = 0;
  UnitObject* parent = nullptr;          // the window's unit for child units; null for a window
  const CommonState* common = nullptr;   // the unit's current stored common state
  const void* data = nullptr;            // the type's own stored properties (see the type)
  std::int32_t data_size = 0;
  // When the model rebuilds a unit: the unit being replaced, still alive, so
  // that the new unit can take over its type-specific state. Null otherwise.
  const UnitObject* previous = nullptr;
};

// Creates the live unit with its native window (not yet visible); null on failure.
using UnitCreateFn = UnitObject* (*)(const UnitCreateInfo& info);
// Writes type-specific property `index` (number - 8). True: the unit must be rebuilt.
using UnitWriteFn = bool (*)(UnitObject* unit, std::int32_t index, const RawProperty& value);
// Reads type-specific property `index` (number - 8).
using UnitReadFn = RawProperty (*)(UnitObject* unit, std::int32_t index);

// The unit type's interface function: its operations 1 (create), 6 (read) and
// 4 (write), as typed members rather than handed out by number.
struct UnitTypeOps {
  UnitCreateFn create = nullptr;
  UnitReadFn read = nullptr;
  UnitWriteFn write = nullptr;
};

struct UnitTypeRecord {
  const char* name;                      // "window", "EditBox", ...
  TypeCode code;
  std::uint32_t flags;
  const std::int32_t* property_types;    // PropertyType of each type-specific property, from number 8
  std::int32_t property_count;
  UnitTypeOps ops;
};

// The unit types the program knows, by type code; the frame registers them at
// start. A second record with the same code replaces the first.
const UnitTypeRecord* FindUnitType(TypeCode code);
void RegisterUnitType(const UnitTypeRecord* record);

// Base of every live unit object. The unit type creates it; the native
// window's destruction ends it (after ReportUnitGone).
class UnitObject {
 public:
  virtual ~UnitObject() = default;
  WindowId window_id = 0;
  UnitId unit_id = 0;
  const UnitTypeRecord* type = nullptr;
  void* native = nullptr;  // the native window (HWND on Windows)
};

// ---- Window template (constant data) -------------------------------------------

struct UnitTemplate {
  UnitId id;
  const char* stored_name;  // GBK; nothing at run time uses it
  TypeCode type;
  std::int32_t left, top, width, height;
  std::uint32_t flags;
  std::int32_t tab_order;
  const char* tag;          // null when empty
  const void* data;         // the type's own stored properties
  std::int32_t data_size;
};

// Binds event `event` of unit `unit` to handler number `handler` of the
// program's handler table.
struct EventBindingTemplate {
  UnitId unit;
  std::int32_t event;
  std::int32_t handler;
};

struct WindowTemplate {
  WindowId id;
  const UnitTemplate* units;  // units[0] is the window itself; template order = stacking order
  std::int32_t unit_count;
  const EventBindingTemplate* bindings;
  std::int32_t binding_count;
};

// ---- Events ---------------------------------------------------------------------

// What a handler receives: its arguments in order, each already in the form
// the event record asks for (by reference: the address of the argument's
// value slot; two-word values: both words as one 64-bit value; bytes zero-
// and short integers sign-extended; anything else its value word).
struct EventCall {
  std::int32_t argc = 0;
  std::uint64_t args[12] = {};
};
using EventHandler = void (*)(const EventCall& call);

// Plain event record (service 2008): up to five one-word arguments.
struct PlainEventRecord {
  std::uint32_t window = 0, unit = 0, event = 0, argc = 0;
  std::uint32_t args[5] = {};
  std::uint32_t has_result = 0;
  std::uint32_t result = 0;
};

// Typed event record (service 2031): up to twelve 16-byte arguments.
inline constexpr std::uint32_t kArgByReference = 0x1;
inline constexpr std::uint32_t kArgTwoWords = 0x2;
struct TypedEventArg {
  std::uint32_t value = 0, high = 0;  // a pointer fills both on 64-bit builds
  TypeCode type = 0;
  std::uint32_t flags = 0;            // kArgByReference | kArgTwoWords
};
struct alignas(8) TypedEventRecord {
  std::uint32_t window = 0, unit = 0, event = 0, argc = 0;
  TypedEventArg args[12] = {};
  std::uint32_t has_result = 0;
  std::uint64_t result = 0;
};

// Raise an event: 1 when a handler ran, 0 when it was blocked or unbound.
// Fatal errors for a window or unit that does not exist or cannot raise events.
std::int32_t RaiseEvent(PlainEventRecord* record);
std::int32_t RaiseTypedEvent(TypedEventRecord* record);

// ---- Program windows --------------------------------------------------------------

// Makes the templates the program's windows and binds every event binding to
// handler number n of `handlers`. Copies nothing the templates own; they must
// outlive the program.
void InstallProgramWindows(const WindowTemplate* const* windows, std::int32_t window_count,
                           const EventHandler* handlers, std::int32_t handler_count);
// Forgets the list (native windows still open are not destroyed).
void ReleaseProgramWindows();

// The live unit object, or null when the window names no program window, the
// unit is not found or has no live native window (service 2006).
UnitObject* FindUnitObject(WindowId window, UnitId unit);
// As FindUnitObject, but failure is the fatal "指定窗口或窗口组件不存在或尚未载入" (service 2007).
UnitObject* UnitObjectOrFail(WindowId window, UnitId unit);

// The unit reports that its native window is gone (service 2000).
void ReportUnitGone(WindowId window, UnitId unit);


// ---- For the window loader, the window unit and the program frame ----------------------

// One unit of a program window, in template order (the window itself first).
struct UnitSlot {
  const UnitTemplate* tmpl = nullptr;
  const UnitTypeRecord* type = nullptr;
  CommonState stored;           // what property access uses while there is no live object
  UnitObject* live = nullptr;   // the live-object link
};

// The units of a program window; null (and *count 0) when `window` names none.
UnitSlot* ProgramWindowUnits(WindowId window, std::int32_t* count);
// Sets the live-object link of a unit (the loader, after a type's create).
void AttachUnitObject(WindowId window, UnitId unit, UnitObject* object);
// Whether any program window has a live window object now.
bool AnyProgramWindowOpen();
// Called by the model after a window itself has reported gone and no program
// window remains open (the frame posts the quit request from here).
void SetLastWindowGoneHook(void (*hook)());

// ---- Properties ---------------------------------------------------------------------

// Reads property `number`. `part` (a part of a font value; the logic passes -1,
// the whole) is ignored: every value is read whole (ui/unit_offer.h).
// Returns the value in its program type (type word set); texts, byte sets and
// font records are new allocations owned by the caller; an empty text is null.
ValueRecord ReadUnitProperty(WindowId window, UnitId unit, std::int32_t number, std::int32_t part);
// Writes property `number`; the unit keeps its own copy of `value`.
void WriteUnitProperty(WindowId window, UnitId unit, std::int32_t number, std::int32_t part,
                       const ValueRecord& value);

}  // namespace bv
