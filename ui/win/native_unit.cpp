#include "ui/win/native_unit.h"

#include <cstddef>
#include <cstring>

#include "runtime/win/wide_text.h"

namespace bv::win {

namespace {

const wchar_t kUnitProp[] = L"BrisvaleUnit";

// Control identifiers of child units, by the unit identifier's low bits: far
// from the dialog commands' numbers.
constexpr int kFirstChildId = 1000;

// The default GUI font of a Chinese system, as GetObject reports it there.
// The charset is what makes the font mapper pick a face with Chinese glyphs
// where the system's own default would have none.
constexpr FontRecord kChineseGuiFont = {
    .height = -12,
    .weight = FW_NORMAL,
    .charset = GB2312_CHARSET,
    .pitch_and_family = VARIABLE_PITCH | FF_SWISS,
    .face = "MS Shell Dlg",
};

bool ChineseSystem() { return GetACP() == wide::kGbkCodePage; }

FontRecord RecordOf(const LOGFONTW& lf) {
  FontRecord record;
  static_assert(offsetof(LOGFONTW, lfFaceName) == offsetof(FontRecord, face));
  std::memcpy(static_cast<void*>(&record), &lf, offsetof(FontRecord, face));
  // A face the record cannot hold whole is left empty, never cut.
  wide::ToGbk(lf.lfFaceName, -1, record.face, sizeof record.face);
  return record;
}

}  // namespace

HINSTANCE ModuleInstance() { return GetModuleHandleW(nullptr); }

bool EnsureWindowClass(const WindowClassShape& shape) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(ModuleInstance(), shape.name, &wc)) return true;
  wc = {};
  wc.cbSize = sizeof wc;
  wc.style = shape.style;
  wc.lpfnWndProc = shape.proc;
  wc.hInstance = ModuleInstance();
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = shape.background;
  wc.lpszClassName = shape.name;
  if (shape.icon_resource) {
    const LPCWSTR icon = MAKEINTRESOURCEW(shape.icon_resource);
    wc.hIcon = static_cast<HICON>(LoadImageW(wc.hInstance, icon, IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), 0));
    wc.hIconSm = static_cast<HICON>(LoadImageW(wc.hInstance, icon, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
  }
  return RegisterClassExW(&wc) != 0;
}

NativeUnit* UnitOf(HWND hwnd) { return hwnd ? static_cast<NativeUnit*>(GetPropW(hwnd, kUnitProp)) : nullptr; }

NativeUnit::~NativeUnit() {
  if (own_font) DeleteObject(own_font);
}

void NativeUnit::Bind(HWND h, bool subclass) {
  native = h;
  SetPropW(h, kUnitProp, this);
  if (subclass) {
    next_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(UnitWindowProc)));
  } else {
    next_proc = DefWindowProcW;
  }
}

LRESULT CALLBACK UnitWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  NativeUnit* unit = UnitOf(hwnd);
  if (!unit) return DefWindowProcW(hwnd, msg, wp, lp);
  WNDPROC next = unit->next_proc;

  if (msg == WM_NCDESTROY) {
    LRESULT r = CallWindowProcW(next, hwnd, msg, wp, lp);
    RemovePropW(hwnd, kUnitProp);
    if (next != DefWindowProcW) SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(next));
    unit->native = nullptr;
    // The model may look at the object while it forgets it; free it after.
    ReportUnitGone(unit->window_id, unit->unit_id);
    unit->OnWindowGone();
    return r;
  }

  // A child's notifications reach its parent; hand them to the child's object.
  switch (msg) {
    case WM_COMMAND:
      if (lp) {
        if (NativeUnit* child = UnitOf(reinterpret_cast<HWND>(lp))) {
          child->OnCommand(HIWORD(wp));
          return 0;
        }
      }
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (NativeUnit* child = UnitOf(reinterpret_cast<HWND>(lp))) {
        if (HBRUSH brush = child->OnControlColour(reinterpret_cast<HDC>(wp))) return reinterpret_cast<LRESULT>(brush);
      }
      break;
  }

  LRESULT result = 0;
  if (unit->OnMessage(msg, wp, lp, &result)) return result;
  return CallWindowProcW(next, hwnd, msg, wp, lp);
}

PlainEventRecord RaisePlainEvent(const UnitObject* unit, std::uint32_t event) {
  PlainEventRecord record;
  record.window = unit->window_id;
  record.unit = unit->unit_id;
  record.event = event;
  record.argc = 0;
  RaiseEvent(&record);
  return record;
}

COLORREF ToColorRef(std::uint32_t colour) {
  if (colour == kColour3dFace) return GetSysColor(COLOR_3DFACE);
  return static_cast<COLORREF>(colour & 0x00FFFFFF);
}

void BorderStyles(std::int32_t border, DWORD* style, DWORD* ex_style) {
  *style = 0;
  *ex_style = 0;
  switch (border) {
    case kBorderSunken: *ex_style = WS_EX_CLIENTEDGE; break;
    case kBorderModalFrame: *ex_style = WS_EX_DLGMODALFRAME; break;
    case kBorderStaticEdge: *ex_style = WS_EX_STATICEDGE; break;
    case kBorderSunkenFrame: *ex_style = WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME; break;
    case kBorderSingleLine: *style = WS_BORDER; break;
    default: break;
  }
}

HFONT DefaultGuiFont() {
  if (ChineseSystem()) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  static const HFONT chinese = MakeFont(&kChineseGuiFont);  // lives as long as the process
  return chinese ? chinese : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HFONT MakeFont(const FontRecord* record) {
  if (!record) return nullptr;
  LOGFONTW lf{};
  std::memcpy(&lf, record, offsetof(FontRecord, face));
  // On a Chinese system the default charset is GB2312; elsewhere it would pick
  // the system's own, whose faces may have no Chinese glyphs.
  if (lf.lfCharSet == DEFAULT_CHARSET && !ChineseSystem()) lf.lfCharSet = GB2312_CHARSET;
  const std::int32_t face_bytes = static_cast<std::int32_t>(strnlen(record->face, sizeof record->face - 1));
  wide::Wide face(record->face, face_bytes);
  if (face.size() < LF_FACESIZE) std::memcpy(lf.lfFaceName, face.c_str(), (face.size() + 1) * sizeof(wchar_t));
  return CreateFontIndirectW(&lf);
}

FontRecord DefaultGuiFontRecord() {
  if (!ChineseSystem()) return kChineseGuiFont;
  LOGFONTW lf{};
  if (GetObjectW(DefaultGuiFont(), sizeof lf, &lf) != sizeof lf) return {};
  return RecordOf(lf);
}

void ApplyFont(NativeUnit* unit, const FontRecord* record) {
  HFONT old = unit->own_font;
  unit->own_font = MakeFont(record);
  if (unit->hwnd()) {
    SendMessageW(unit->hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(unit->own_font ? unit->own_font : DefaultGuiFont()),
                 TRUE);
  }
  if (old) DeleteObject(old);
}

HWND CreateChildWindow(const UnitCreateInfo& info, const wchar_t* class_name, const wchar_t* text, DWORD type_style,
                       DWORD ex_style) {
  HWND parent = info.parent ? static_cast<HWND>(info.parent->native) : nullptr;
  if (!parent || !info.common) return nullptr;
  const CommonState& c = *info.common;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | type_style;
  if (c.flags & kUnitDisabled) style |= WS_DISABLED;
  if (c.flags & kUnitFocusable) style |= WS_TABSTOP;
  const auto id = static_cast<INT_PTR>(kFirstChildId + (info.unit & 0xFFF));
  return CreateWindowExW(ex_style, class_name, text, style, c.left, c.top, c.width, c.height, parent,
                         reinterpret_cast<HMENU>(id), ModuleInstance(), nullptr);
}

RawProperty RawFont(const FontRecord* own, FontRecord* scratch) {
  *scratch = own ? *own : DefaultGuiFontRecord();
  RawProperty raw;
  raw.data = scratch;
  raw.size = sizeof(FontRecord);
  return raw;
}

RawProperty RawText(const std::string& text) {
  RawProperty raw;
  raw.data = text.c_str();
  raw.size = static_cast<std::int32_t>(text.size());
  return raw;
}

RawProperty RawWord(std::uint64_t word) {
  RawProperty raw;
  raw.word = word;
  return raw;
}

RawProperty RawData(const std::string& bytes) {
  RawProperty raw;
  raw.data = bytes.empty() ? nullptr : bytes.data();
  raw.size = static_cast<std::int32_t>(bytes.size());
  return raw;
}

std::string TextOfRaw(const RawProperty& value) {
  const char* text = static_cast<const char*>(value.data);
  return text ? std::string(text) : std::string();
}

std::string ByteSetOfRaw(const RawProperty& value) {
  if (!value.data || value.size <= 0) return {};
  return std::string(static_cast<const char*>(value.data), static_cast<std::size_t>(value.size));
}

bool LogicalOfRaw(const RawProperty& value) { return value.word != 0; }
std::int32_t IntOfRaw(const RawProperty& value) { return static_cast<std::int32_t>(value.word); }

}  // namespace bv::win
