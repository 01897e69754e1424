// The Button unit: a system push button whose click is the unit's event 0.
#include <windows.h>

#include <string>

#include "runtime/win/wide_text.h"
#include "ui/win/core_unit_types.h"
#include "ui/win/native_unit.h"

namespace bv::win {

namespace {

class ButtonUnit : public NativeUnit {
 public:
  std::string picture;  // raw bytes, kept and handed back
  std::int32_t kind = kButtonOrdinary;
  std::string caption;
  std::int32_t alignment = kAlignCentre;
  std::int32_t vertical_alignment = kAlignCentre;
  bool has_font = false;
  FontRecord font;
  FontRecord font_scratch;

  DWORD LayoutStyles() const {
    DWORD style = BS_MULTILINE;
    style |= kind == kButtonDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    style |= alignment == kAlignNear ? BS_LEFT : alignment == kAlignFar ? BS_RIGHT : BS_CENTER;
    style |= vertical_alignment == kAlignNear ? BS_TOP : vertical_alignment == kAlignFar ? BS_BOTTOM : BS_VCENTER;
    return style;
  }

  void ApplyLayout() {
    if (!hwnd()) return;
    const LONG_PTR mask = BS_TYPEMASK | BS_LEFT | BS_RIGHT | BS_CENTER | BS_TOP | BS_BOTTOM | BS_VCENTER | BS_MULTILINE;
    LONG_PTR style = (GetWindowLongPtrW(hwnd(), GWL_STYLE) & ~mask) | LayoutStyles();
    // The button keeps its kind through its own message; the rest is plain style.
    SendMessageW(hwnd(), BM_SETSTYLE, static_cast<WPARAM>(style & BS_TYPEMASK), FALSE);
    SetWindowLongPtrW(hwnd(), GWL_STYLE, style);
    InvalidateRect(hwnd(), nullptr, TRUE);
  }

  void OnCommand(WORD code) override {
    if (code == BN_CLICKED) RaisePlainEvent(this, button_event::kClick);
  }
};

UnitObject* CreateButton(const UnitCreateInfo& info) {
  ButtonTypeData data;
  if (info.data && info.data_size >= static_cast<std::int32_t>(sizeof data))
    data = *static_cast<const ButtonTypeData*>(info.data);
  auto* unit = NewUnit<ButtonUnit>(info);
  if (data.picture)
    unit->picture.assign(reinterpret_cast<const char*>(ByteSetData(data.picture)), ByteSetLength(data.picture));
  unit->kind = data.kind;
  unit->caption = data.caption ? data.caption : "";
  unit->alignment = data.alignment;
  unit->vertical_alignment = data.vertical_alignment;
  if (data.font) {
    unit->has_font = true;
    unit->font = *data.font;
  }
  HWND h = CreateChildWindow(info, L"BUTTON", wide::Wide(unit->caption.c_str()).c_str(), unit->LayoutStyles(), 0);
  if (!h) {
    delete unit;
    return nullptr;
  }
  unit->Bind(h, true);
  ApplyFont(unit, unit->has_font ? &unit->font : nullptr);
  return unit;
}

bool WriteButtonProperty(UnitObject* object, std::int32_t index, const RawProperty& value) {
  auto* unit = static_cast<ButtonUnit*>(object);
  switch (index) {
    case button_prop::kPicture: unit->picture = ByteSetOfRaw(value); break;
    case button_prop::kKind: unit->kind = IntOfRaw(value); unit->ApplyLayout(); break;
    case button_prop::kCaption:
      unit->caption = TextOfRaw(value);
      if (unit->hwnd()) SetWindowTextW(unit->hwnd(), wide::Wide(unit->caption.c_str()).c_str());
      break;
    case button_prop::kAlignment: unit->alignment = IntOfRaw(value); unit->ApplyLayout(); break;
    case button_prop::kVerticalAlignment: unit->vertical_alignment = IntOfRaw(value); unit->ApplyLayout(); break;
    case button_prop::kFont:
      unit->has_font = value.data && value.size >= static_cast<std::int32_t>(sizeof(FontRecord));
      if (unit->has_font) unit->font = *static_cast<const FontRecord*>(value.data);
      ApplyFont(unit, unit->has_font ? &unit->font : nullptr);
      break;
    default: break;
  }
  return false;
}

RawProperty ReadButtonProperty(UnitObject* object, std::int32_t index) {
  auto* unit = static_cast<ButtonUnit*>(object);
  switch (index) {
    case button_prop::kPicture: return RawData(unit->picture);
    case button_prop::kKind: return RawWord(static_cast<std::uint32_t>(unit->kind));
    case button_prop::kCaption: return RawText(unit->caption);
    case button_prop::kAlignment: return RawWord(static_cast<std::uint32_t>(unit->alignment));
    case button_prop::kVerticalAlignment: return RawWord(static_cast<std::uint32_t>(unit->vertical_alignment));
    case button_prop::kFont: return RawFont(unit->has_font ? &unit->font : nullptr, &unit->font_scratch);
    default: return {};
  }
}

}  // namespace

const UnitTypeRecord kButtonType = {"Button", kUnitButton, kButtonTypeFlags, kButtonPropertyTypes, button_prop::kCount,
                                    {CreateButton, ReadButtonProperty, WriteButtonProperty}};

}  // namespace bv::win
