// The Label unit draws itself: its background colour first, then the caption
// on a transparent background, one line vertically centred unless it wraps.
#include <windows.h>

#include <string>

#include "runtime/win/wide_text.h"
#include "ui/win/core_unit_types.h"
#include "ui/win/native_unit.h"

namespace bv::win {

namespace {

const wchar_t kLabelClass[] = L"BrisvaleLabel";

class LabelUnit : public NativeUnit {
 public:
  std::string caption;
  std::int32_t effect = kEffectPlain;
  std::int32_t border = kBorderNone;
  bool has_font = false;
  FontRecord font;
  FontRecord font_scratch;  // what a read of the font hands out
  std::uint32_t text_colour = kColourBlack;
  std::uint32_t back_colour = kColour3dFace;
  std::string picture;  // byte set block, kept and handed back
  std::int32_t alignment = kAlignNear;
  bool word_wrap = false;
  std::int32_t vertical_alignment = kAlignCentre;

  void Paint(HDC dc) {
    RECT rc;
    GetClientRect(hwnd(), &rc);
    HBRUSH back = CreateSolidBrush(ToColorRef(back_colour));
    FillRect(dc, &rc, back);
    DeleteObject(back);
    if (caption.empty()) return;

    UINT format = DT_NOPREFIX | DT_NOCLIP;
    format |= alignment == kAlignCentre ? DT_CENTER : alignment == kAlignFar ? DT_RIGHT : DT_LEFT;
    if (word_wrap) {
      format |= DT_WORDBREAK;
    } else {
      format |= DT_SINGLELINE;
      format |= vertical_alignment == kAlignCentre ? DT_VCENTER
                : vertical_alignment == kAlignFar  ? DT_BOTTOM
                                                   : DT_TOP;
    }
    const wide::Wide text(caption.c_str(), static_cast<std::int32_t>(caption.size()));
    HGDIOBJ old_font = SelectObject(dc, own_font ? own_font : DefaultGuiFont());
    SetBkMode(dc, TRANSPARENT);
    // Effects draw an offset copy first: raised lit from the top left, sunken
    // from the bottom right, shadow a grey copy further down.
    if (effect == kEffectRaised || effect == kEffectSunken || effect == kEffectShadow) {
      const int offset = effect == kEffectRaised ? -1 : effect == kEffectSunken ? 1 : 2;
      RECT copy = rc;
      OffsetRect(&copy, offset, offset);
      SetTextColor(dc, effect == kEffectShadow ? GetSysColor(COLOR_3DSHADOW) : GetSysColor(COLOR_3DHILIGHT));
      DrawTextW(dc, text.c_str(), text.size(), &copy, format);
    }
    SetTextColor(dc, ToColorRef(text_colour));
    DrawTextW(dc, text.c_str(), text.size(), &rc, format);
    SelectObject(dc, old_font);
  }

  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override {
    (void)lp;
    switch (msg) {
      case WM_ERASEBKGND:
        *result = 1;  // painting fills the whole label
        return true;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd(), &ps);
        Paint(dc);
        EndPaint(hwnd(), &ps);
        *result = 0;
        return true;
      }
      case WM_GETFONT:  // as a static control answers it
        *result = reinterpret_cast<LRESULT>(own_font ? own_font : DefaultGuiFont());
        return true;
      case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wp));
        *result = 0;
        return true;
      default:
        return false;
    }
  }

  void Repaint() {
    if (hwnd()) InvalidateRect(hwnd(), nullptr, TRUE);
  }

  void ApplyBorder() {
    if (!hwnd()) return;
    DWORD style, ex_style;
    BorderStyles(border, &style, &ex_style);
    LONG_PTR s = GetWindowLongPtrW(hwnd(), GWL_STYLE);
    SetWindowLongPtrW(hwnd(), GWL_STYLE, (s & ~static_cast<LONG_PTR>(WS_BORDER)) | style);
    LONG_PTR es = GetWindowLongPtrW(hwnd(), GWL_EXSTYLE);
    const LONG_PTR edges = WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME | WS_EX_STATICEDGE;
    SetWindowLongPtrW(hwnd(), GWL_EXSTYLE, (es & ~edges) | ex_style);
    SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
};

UnitObject* CreateLabel(const UnitCreateInfo& info) {
  WindowClassShape shape;
  shape.name = kLabelClass;
  shape.style = CS_HREDRAW | CS_VREDRAW;
  if (!EnsureWindowClass(shape)) return nullptr;

  LabelTypeData data;
  if (info.data && info.data_size >= static_cast<std::int32_t>(sizeof data))
    data = *static_cast<const LabelTypeData*>(info.data);
  auto* unit = NewUnit<LabelUnit>(info);
  unit->caption = data.caption ? data.caption : "";
  unit->effect = data.effect;
  unit->border = data.border;
  if (data.font) {
    unit->has_font = true;
    unit->font = *data.font;
  }
  unit->text_colour = data.text_colour;
  unit->back_colour = data.back_colour;
  if (data.picture)
    unit->picture.assign(reinterpret_cast<const char*>(ByteSetData(data.picture)), ByteSetLength(data.picture));
  unit->alignment = data.alignment;
  unit->word_wrap = data.word_wrap;
  unit->vertical_alignment = data.vertical_alignment;

  DWORD style, ex_style;
  BorderStyles(unit->border, &style, &ex_style);
  // The caption is also the window's text, so that screen readers and other
  // programs that ask a window for its text see what the label shows.
  HWND h = CreateChildWindow(info, kLabelClass, wide::Wide(unit->caption.c_str()).c_str(), style, ex_style);
  if (!h) {
    delete unit;
    return nullptr;
  }
  unit->Bind(h, false);
  ApplyFont(unit, unit->has_font ? &unit->font : nullptr);
  return unit;
}

bool WriteLabelProperty(UnitObject* object, std::int32_t index, const RawProperty& value) {
  auto* unit = static_cast<LabelUnit*>(object);
  switch (index) {
    case label_prop::kCaption:
      unit->caption = TextOfRaw(value);
      if (unit->hwnd()) SetWindowTextW(unit->hwnd(), wide::Wide(unit->caption.c_str()).c_str());
      break;
    case label_prop::kEffect: unit->effect = IntOfRaw(value); break;
    case label_prop::kBorder:
      unit->border = IntOfRaw(value);
      unit->ApplyBorder();
      break;
    case label_prop::kFont:
      unit->has_font = value.data && value.size >= static_cast<std::int32_t>(sizeof(FontRecord));
      if (unit->has_font) unit->font = *static_cast<const FontRecord*>(value.data);
      ApplyFont(unit, unit->has_font ? &unit->font : nullptr);
      break;
    case label_prop::kTextColour: unit->text_colour = static_cast<std::uint32_t>(value.word); break;
    case label_prop::kBackColour: unit->back_colour = static_cast<std::uint32_t>(value.word); break;
    case label_prop::kPicture: unit->picture = ByteSetOfRaw(value); break;
    case label_prop::kAlignment: unit->alignment = IntOfRaw(value); break;
    case label_prop::kWordWrap: unit->word_wrap = LogicalOfRaw(value); break;
    case label_prop::kVerticalAlignment: unit->vertical_alignment = IntOfRaw(value); break;
    default: return false;
  }
  unit->Repaint();
  return false;
}

RawProperty ReadLabelProperty(UnitObject* object, std::int32_t index) {
  auto* unit = static_cast<LabelUnit*>(object);
  switch (index) {
    case label_prop::kCaption: return RawText(unit->caption);
    case label_prop::kEffect: return RawWord(static_cast<std::uint32_t>(unit->effect));
    case label_prop::kBorder: return RawWord(static_cast<std::uint32_t>(unit->border));
    case label_prop::kFont: return RawFont(unit->has_font ? &unit->font : nullptr, &unit->font_scratch);
    case label_prop::kTextColour: return RawWord(unit->text_colour);
    case label_prop::kBackColour: return RawWord(unit->back_colour);
    case label_prop::kPicture: return RawData(unit->picture);
    case label_prop::kAlignment: return RawWord(static_cast<std::uint32_t>(unit->alignment));
    case label_prop::kWordWrap: return RawWord(unit->word_wrap ? 1 : 0);
    case label_prop::kVerticalAlignment: return RawWord(static_cast<std::uint32_t>(unit->vertical_alignment));
    default: return {};
  }
}

}  // namespace

const UnitTypeRecord kLabelType = {"Label", kUnitLabel, kLabelTypeFlags, kLabelPropertyTypes, label_prop::kCount,
                                   {CreateLabel, ReadLabelProperty, WriteLabelProperty}};

}  // namespace bv::win
