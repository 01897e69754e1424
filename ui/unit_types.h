// The stored properties of the core unit types, as the window template holds
// them (UnitTemplate::data points to one of these) and as a unit's create
// operation reads them. Plain data, the same on every platform: texts are GBK,
// colours are 0x00BBGGRR with kColour3dFace standing for the system's 3-D face
// colour, a font is the platform's 60-byte logical-font record.
#pragma once

#include <cstdint>

namespace bv {

inline constexpr std::uint32_t kColour3dFace = 0xFF000000;
inline constexpr std::uint32_t kColourBlack = 0x000000;
inline constexpr std::uint32_t kColourWhite = 0xFFFFFF;

// The logical-font record (same layout as the platform's ANSI one).
struct FontRecord {
  std::int32_t height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
  std::uint8_t italic = 0, underline = 0, strike_out = 0, charset = 0;
  std::uint8_t out_precision = 0, clip_precision = 0, quality = 0, pitch_and_family = 0;
  char face[32] = {};
};
static_assert(sizeof(FontRecord) == 60, "a logical-font record is 60 bytes");

inline constexpr std::uint8_t kFontDefaultCharset = 1;
inline constexpr std::uint8_t kFontProofQuality = 2;
inline constexpr std::int32_t kFontWeightNormal = 400;

// Border styles shared by edit boxes and labels.
enum BorderStyle : std::int32_t {
  kBorderNone = 0,
  kBorderSunken = 1,        // client edge
  kBorderModalFrame = 2,
  kBorderStaticEdge = 3,
  kBorderSunkenFrame = 4,   // client edge and modal frame
  kBorderSingleLine = 5,
};

enum Alignment : std::int32_t { kAlignNear = 0, kAlignCentre = 1, kAlignFar = 2 };

// ---- window ---------------------------------------------------------------------
enum WindowBorder : std::int32_t { kWindowNoBorder = 0, kWindowFixedSingle = 1, kWindowSizable = 2 };

struct WindowTypeData {
  const char* title = nullptr;
  std::int32_t border = kWindowFixedSingle;
  bool control_box = true;  // system menu with its close command
  bool min_box = false;
  bool max_box = false;
  bool always_on_top = false;
  std::uint32_t background = kColour3dFace;
  std::int32_t icon_resource = 0;  // 0: the system's default icon
};

// ---- EditBox --------------------------------------------------------------------
enum EditScrollBars : std::int32_t { kScrollNone = 0, kScrollHorizontal = 1, kScrollVertical = 2, kScrollBoth = 3 };
enum EditInputMode : std::int32_t { kInputNormal = 0, kInputReadOnly = 1, kInputPassword = 2 };
enum EditCase : std::int32_t { kCaseNone = 0, kCaseLower = 1, kCaseUpper = 2 };

struct EditBoxTypeData {
  const char* content = nullptr;
  std::int32_t border = kBorderSunken;
  std::uint32_t text_colour = kColourBlack;
  std::uint32_t back_colour = kColourWhite;
  const FontRecord* font = nullptr;  // null: the default GUI font
  bool hide_selection = true;
  std::int32_t max_length = 0;       // 0: no limit
  bool multi_line = false;
  std::int32_t scroll_bars = kScrollNone;
  std::int32_t alignment = kAlignNear;
  std::int32_t input_mode = kInputNormal;
  const char* password_char = nullptr;
  std::int32_t case_conversion = kCaseNone;
  std::int32_t spin_kind = 0, spin_min = 0, spin_max = 0;
  std::int32_t selection_start = 0, selection_length = 0;
};

// ---- Label ----------------------------------------------------------------------
enum LabelEffect : std::int32_t { kEffectPlain = 0, kEffectRaised = 1, kEffectSunken = 2, kEffectShadow = 3 };

struct LabelTypeData {
  const char* caption = nullptr;
  std::int32_t effect = kEffectPlain;
  std::int32_t border = kBorderNone;
  const FontRecord* font = nullptr;
  std::uint32_t text_colour = kColourBlack;
  std::uint32_t back_colour = kColour3dFace;
  const std::uint8_t* picture = nullptr;  // byte set
  std::int32_t alignment = kAlignNear;
  bool word_wrap = false;
  std::int32_t vertical_alignment = kAlignCentre;
};

// ---- Button ---------------------------------------------------------------------
enum ButtonKind : std::int32_t { kButtonOrdinary = 0, kButtonDefault = 1 };

struct ButtonTypeData {
  const std::uint8_t* picture = nullptr;  // byte set
  std::int32_t kind = kButtonOrdinary;
  const char* caption = nullptr;
  std::int32_t alignment = kAlignCentre;
  std::int32_t vertical_alignment = kAlignCentre;
  const FontRecord* font = nullptr;
};

// Type-specific property indexes (property number - 8) of the core types.
namespace edit_prop {
enum : std::int32_t {
  kContent = 0, kBorder = 1, kTextColour = 2, kBackColour = 3, kFont = 4, kHideSelection = 5,
  kMaxLength = 6, kMultiLine = 7, kScrollBars = 8, kAlignment = 9, kInputMode = 10,
  kPasswordChar = 11, kCase = 12, kSpinKind = 13, kSpinMin = 14, kSpinMax = 15,
  kSelStart = 16, kSelLength = 17, kCount = 18,
};
}
namespace label_prop {
enum : std::int32_t {
  kCaption = 0, kEffect = 1, kBorder = 2, kFont = 7, kTextColour = 8, kBackColour = 9,
  kPicture = 10, kAlignment = 16, kWordWrap = 17, kVerticalAlignment = 18, kCount = 19,
};
}
namespace button_prop {
enum : std::int32_t {
  kPicture = 0, kKind = 1, kCaption = 2, kAlignment = 3, kVerticalAlignment = 4, kFont = 5, kCount = 6,
};
}
namespace window_prop {
enum : std::int32_t { kTitle = 0, kCount = 1 };
}

// The property type code of each type-specific property of the core types, in
// property order (portable, so that the tables can be checked anywhere).
extern const std::int32_t kWindowPropertyTypes[window_prop::kCount];
extern const std::int32_t kEditBoxPropertyTypes[edit_prop::kCount];
extern const std::int32_t kLabelPropertyTypes[label_prop::kCount];
extern const std::int32_t kButtonPropertyTypes[button_prop::kCount];

// The flags words of the core types. The model reads only kTypeNeverShown and
// kTypeEventBits of them: none of these types is never shown; all raise events.
inline constexpr std::uint32_t kWindowTypeFlags = 0x800000D0;
inline constexpr std::uint32_t kEditBoxTypeFlags = 0x80000040;
inline constexpr std::uint32_t kLabelTypeFlags = 0x84012040;
inline constexpr std::uint32_t kButtonTypeFlags = 0x80000840;

}  // namespace bv
