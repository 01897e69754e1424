// Values, texts, byte sets and memory: the one value model of the program.
//
// VALUE RECORD. Every command argument and result is a ValueRecord: three
// 32-bit words {value, high, type}. An 8-byte value (long integer, double,
// date-time) keeps its low half in `value` and its high half in `high`. A
// pointer (Text, ByteSet, subroutine) does the same on 64-bit builds, so the
// record stays 12 bytes and the 32-bit layout holds where pointers are 32-bit;
// use the accessors, never the words, for pointers. A unit reference holds the
// window identifier in `value` and the unit identifier in `high`. Type 0 marks
// an omitted optional argument.
//
// TEXT. `char*` to NUL-terminated GBK bytes; null is the empty text. Lengths
// and positions count bytes; positions are 1-based. A byte >= 0x80 is a lead
// byte and the next byte its trail byte.
//
// BYTE SET. Pointer to {int32 dimension count = 1, int32 length n, n bytes},
// no terminator, NULs are data; null is the empty byte set. Allocated byte sets
// have n >= 1.
//
// OWNERSHIP, followed everywhere:
//  1. A Text or ByteSet returned by a command, a helper here, or a unit
//     property read is a new allocation (or null) owned by the caller, who
//     Release()s it. Commands return null, never an allocated "", for an empty
//     result; JoinTexts is the one exception (always a new block).
//  2. Arguments are borrowed: a callee neither releases nor keeps them.
//  3. Storing into a variable releases the old value first (see Store()).
//  4. A temporary only passed on is released right after the consuming call.
//  5. A unit keeps its own copy of what is written into it.
//  6. Literals and the two empty constants live in registered constant ranges;
//     Release() ignores them, so the logic may release a literal harmlessly.
//  Callers pass kEmptyText / kEmptyByteSet, never null, in text and byte-set
//  arguments; every operation still treats null as empty.
//
// MEMORY. All blocks come from one heap (the process heap on Windows).
// Allocate() never returns null: exhaustion is the fatal runtime error
// "分配 %d 字节内存失败!" and nothing after it runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace bv {

// ---- Type codes -----------------------------------------------------------

using TypeCode = std::uint32_t;

inline constexpr TypeCode kTypeNone = 0;
inline constexpr TypeCode kTypeByte = 0x80000101;
inline constexpr TypeCode kTypeShort = 0x80000201;
inline constexpr TypeCode kTypeInt = 0x80000301;
inline constexpr TypeCode kTypeLong = 0x80000401;
inline constexpr TypeCode kTypeFloat = 0x80000501;
inline constexpr TypeCode kTypeDouble = 0x80000601;
inline constexpr TypeCode kTypeBool = 0x80000002;
inline constexpr TypeCode kTypeDateTime = 0x80000003;
inline constexpr TypeCode kTypeText = 0x80000004;
inline constexpr TypeCode kTypeByteSet = 0x80000005;
inline constexpr TypeCode kTypeSubroutine = 0x80000006;

inline constexpr TypeCode kArrayFlag = 0x20000000;

enum class TypeClass { None, System, UserRecord, Unit };

constexpr TypeClass ClassOf(TypeCode t) {
  if (t == 0) return TypeClass::None;
  switch (t >> 30) {
    case 2: return TypeClass::System;
    case 1: return TypeClass::UserRecord;
    default: return TypeClass::Unit;
  }
}
constexpr bool IsArray(TypeCode t) { return (t & kArrayFlag) != 0; }
constexpr TypeCode ElementType(TypeCode t) { return t & ~kArrayFlag; }
// The six numeric system types are exactly those whose low byte is 0x01.
constexpr bool IsNumeric(TypeCode t) { return ClassOf(t) == TypeClass::System && (t & 0xFF) == 0x01; }
// Element width of a numeric type in bytes; 0 for any other type.
constexpr int NumericWidth(TypeCode t) {
  switch (t) {
    case kTypeByte: return 1;
    case kTypeShort: return 2;
    case kTypeInt: return 4;
    case kTypeLong: return 8;
    case kTypeFloat: return 4;
    case kTypeDouble: return 8;
    default: return 0;
  }
}

// Library numbers by which commands of a library are called.
enum Library : int {
  kCoreLibrary = 0,
  kDragDropLibrary = 1,
  kInternetLibrary = 2,
  kOsLibrary = 3,
  kAppLibrary = 4,
  kLibraryCount = 5,
};

// A unit type code: (library number + 1) << 16 | 1-based type number.
constexpr TypeCode UnitTypeCode(int library, int type_number) {
  return (static_cast<TypeCode>(library + 1) << 16) | static_cast<TypeCode>(type_number);
}

using Text = char*;

// ---- Value record -----------------------------------------------------------

struct ValueRecord {
  std::uint32_t value = 0;
  std::uint32_t high = 0;
  TypeCode type = kTypeNone;

  // 64-bit payload across value (low) and high.
  std::uint64_t Wide() const { return (static_cast<std::uint64_t>(high) << 32) | value; }
  void SetWide(std::uint64_t w) {
    value = static_cast<std::uint32_t>(w);
    high = static_cast<std::uint32_t>(w >> 32);
  }
  void* Pointer() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(Wide())); }
  void SetPointer(const void* p) { SetWide(reinterpret_cast<std::uintptr_t>(p)); }

  char* AsText() const { return static_cast<char*>(Pointer()); }
  std::uint8_t* AsByteSet() const { return static_cast<std::uint8_t*>(Pointer()); }
  std::int32_t AsInt() const { return static_cast<std::int32_t>(value); }
  std::int64_t AsLong() const { return static_cast<std::int64_t>(Wide()); }
  double AsDouble() const {
    double d;
    std::uint64_t w = Wide();
    std::memcpy(&d, &w, sizeof d);
    return d;
  }
  float AsFloat() const {
    float f;
    std::memcpy(&f, &value, sizeof f);
    return f;
  }
  bool AsBool() const { return value != 0; }
  bool Omitted() const { return type == kTypeNone; }

  static ValueRecord Of(TypeCode t, std::uint32_t v, std::uint32_t h = 0) { return {v, h, t}; }
  static ValueRecord Int(std::int32_t v) { return Of(kTypeInt, static_cast<std::uint32_t>(v)); }
  static ValueRecord Bool(bool v) { return Of(kTypeBool, v ? 1u : 0u); }
  static ValueRecord Long(std::int64_t v) {
    ValueRecord r{0, 0, kTypeLong};
    r.SetWide(static_cast<std::uint64_t>(v));
    return r;
  }
  static ValueRecord TextOf(const char* t) {
    ValueRecord r{0, 0, kTypeText};
    r.SetPointer(t);
    return r;
  }
  static ValueRecord ByteSetOf(const void* b) {
    ValueRecord r{0, 0, kTypeByteSet};
    r.SetPointer(b);
    return r;
  }
  static ValueRecord Unit(std::uint32_t window_id, std::uint32_t unit_id, TypeCode unit_type) {
    return {window_id, unit_id, unit_type};
  }
  static ValueRecord Omit() { return {}; }

  // A command fills its result through these, so that the type word always
  // says what the value words hold (a caller may still ignore it).
  void SetInt(std::int32_t v) { *this = Int(v); }
  void SetBool(bool v) { *this = Bool(v); }
  void SetText(const char* t) { *this = TextOf(t); }
  void SetByteSet(const void* b) { *this = ByteSetOf(b); }
};
static_assert(sizeof(ValueRecord) == 12, "a value record is three 32-bit words");

// ---- Command interface ------------------------------------------------------

// Every command: fills `result` (cleared by the caller) through its setters,
// reads `argc` records.
// Optional arguments are tested for type 0; required ones are read without
// looking at their type.
using Command = void (*)(ValueRecord* result, std::int32_t argc, const ValueRecord* args);

// Calls a command the way the logic does: result cleared first.
inline ValueRecord Call(Command cmd, std::initializer_list<ValueRecord> args) {
  ValueRecord result{};
  cmd(&result, static_cast<std::int32_t>(args.size()), args.begin());
  return result;
}

// An argument read as a text, null-safe for omitted records.
inline const char* ArgText(const ValueRecord* args, std::int32_t argc, int i) {
  return i < argc ? args[i].AsText() : nullptr;
}
inline std::int32_t ArgInt(const ValueRecord* args, std::int32_t argc, int i) {
  return i < argc ? args[i].AsInt() : 0;
}
inline bool ArgGiven(const ValueRecord* args, std::int32_t argc, int i) {
  return i < argc && !args[i].Omitted();
}

// ---- Byte sets ---------------------------------------------------------------

struct ByteSetHeader {
  std::int32_t dimensions;  // always 1
  std::int32_t length;
};
static_assert(sizeof(ByteSetHeader) == 8);

inline std::int32_t ByteSetLength(const void* b) {
  if (!b) return 0;
  std::int32_t n;
  std::memcpy(&n, static_cast<const std::uint8_t*>(b) + 4, sizeof n);
  return n;
}
inline const std::uint8_t* ByteSetData(const void* b) {
  return b ? static_cast<const std::uint8_t*>(b) + sizeof(ByteSetHeader) : nullptr;
}

// ---- Arrays ------------------------------------------------------------------

// An array block: {int32 dimension count d, d int32 sizes, the elements in
// storage order}. A byte set is the one-dimensional array of bytes.
inline constexpr std::int32_t kMaxArrayDimensions = 64;

struct ArrayBlock {
  const std::uint8_t* block = nullptr;
  std::int32_t dimensions = 0;
  std::int64_t count = 0;          // elements: the product of the sizes
  std::int64_t bytes = 0;          // count times the element width
  const std::uint8_t* elements = nullptr;

  std::int32_t Size(std::int32_t dimension) const {
    std::int32_t n;
    std::memcpy(&n, block + 4 + 4 * dimension, sizeof n);
    return n;
  }
};

// Reads the header of an array block whose elements are `width` bytes wide.
// False for null and for a header that no allocation could carry: a
// dimension count outside 1..kMaxArrayDimensions, a negative size, or a
// header and elements beyond a 32-bit size. The product is checked as it
// grows, so no count wraps.
bool ReadArrayBlock(const void* block, std::int32_t width, ArrayBlock* out);

// ---- Constants ---------------------------------------------------------------

// The two empty constants, registered as constant at start-up together with the
// program's literals (see RegisterConstantRange).
extern const char kEmptyText[1];
extern const std::int32_t kEmptyByteSet[2];

// Registers [start, start + size) as memory that Release never frees. A size of
// 0 or less registers nothing.
void RegisterConstantRange(const void* start, std::ptrdiff_t size);
bool IsConstant(const void* p);

// ---- Memory ------------------------------------------------------------------

// A block of `size` bytes, contents undefined; never null (fatal on failure,
// also for a negative size, which no heap can satisfy).
void* Allocate(std::int32_t size);
// Like Allocate but answers null instead of ending the program.
void* TryAllocate(std::int32_t size);
// The fatal error of a request no heap can satisfy; sizes beyond a 32-bit
// count are reported as INT32_MAX. Never returns.
[[noreturn]] void AllocationFailed(std::int32_t size);
// Frees a block, Text or ByteSet; ignores null and constants.
void Release(const void* p);
// Resizes: null allocates, a constant gets a private copy of what fits before
// the end of its range, anything else is resized. Fatal on failure.
void* Reallocate(void* p, std::int32_t size);

// Stores `value` into an owning variable, releasing the old value first.
template <class T>
inline void Store(T*& variable, T* value) {
  Release(variable);
  variable = value;
}

// ---- Text helpers ------------------------------------------------------------

// Bytes before the NUL; 0 for null.
std::int32_t TextLen(const char* t);
// n < 1: null; else n bytes (copied as they are, NULs too) plus a NUL.
char* MakeText(const void* bytes, std::int32_t n);
// null or "": null; else a copy.
char* CopyText(const char* t);
// n == 0: null; else {1, n, bytes}.
std::uint8_t* MakeByteSet(const void* bytes, std::int32_t n);
// Concatenation of the texts in order, null counting as empty; always a new
// block, a lone NUL when everything is empty.
char* JoinTexts(std::initializer_list<const char*> texts);
char* JoinTexts(std::int32_t count, const char* const* texts);

}  // namespace bv
