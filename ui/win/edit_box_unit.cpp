// The EditBox unit: a system edit control. The box hands back exactly the
// bytes last written into it, even bytes that are not GBK text, for as long
// as the user has not edited the control since: the logic keeps markers and
// whole batch files in edit boxes and cuts them byte for byte.
//
// A box whose own style is hidden keeps what is written to it out of the
// control until it is shown or something works on its text: a multi-line
// control without scroll bars wraps words, and re-measures a long line over
// and over while it takes its text, so a dropped file of one long line would
// freeze the tool for minutes in boxes nobody sees.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

#include "runtime/program.h"
#include "runtime/value.h"
#include "runtime/win/wide_text.h"
#include "ui/win/core_unit_types.h"
#include "ui/win/native_unit.h"

namespace bv::win {

namespace {

class EditBoxUnit : public NativeUnit {
 public:
  EditBoxTypeData props;       // texts and the font below are owned copies
  std::string content;         // the bytes last written
  std::string password_char;
  bool has_font = false;
  FontRecord font;
  FontRecord font_scratch;
  std::string read_scratch;    // the control's text as last read
  HBRUSH back_brush = nullptr;
  bool setting_text = false;
  bool held_back = false;      // content is not in the control, which is empty

  ~EditBoxUnit() override {
    if (back_brush) DeleteObject(back_brush);
  }

  DWORD Styles() const {
    DWORD style, ex_style;
    BorderStyles(props.border, &style, &ex_style);
    if (props.multi_line) {
      style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
      if (props.scroll_bars & kScrollHorizontal) style |= WS_HSCROLL | ES_AUTOHSCROLL;
      if (props.scroll_bars & kScrollVertical) style |= WS_VSCROLL;
    } else {
      style |= ES_AUTOHSCROLL;
    }
    if (!props.hide_selection) style |= ES_NOHIDESEL;
    style |= props.alignment == kAlignCentre ? ES_CENTER : props.alignment == kAlignFar ? ES_RIGHT : ES_LEFT;
    if (props.input_mode == kInputReadOnly) style |= ES_READONLY;
    if (props.input_mode == kInputPassword) style |= ES_PASSWORD;
    if (props.case_conversion == kCaseLower) style |= ES_LOWERCASE;
    if (props.case_conversion == kCaseUpper) style |= ES_UPPERCASE;
    return style;
  }
  DWORD ExStyles() const {
    DWORD style, ex_style;
    BorderStyles(props.border, &style, &ex_style);
    return ex_style;
  }

  bool CreateNative(const UnitCreateInfo& info) {
    HWND h = CreateChildWindow(info, L"EDIT", L"", Styles(), ExStyles());
    if (!h) return false;
    Bind(h, true);
    SendMessageW(h, EM_SETLIMITTEXT, static_cast<WPARAM>(props.max_length > 0 ? props.max_length : 0), 0);
    if (props.input_mode == kInputPassword && !password_char.empty())
      SendMessageW(h, EM_SETPASSWORDCHAR, PasswordChar(), 0);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(own_font ? own_font : DefaultGuiFont()), FALSE);
    PutContent();
    // A new text already has the empty selection at its start; asking for it
    // again would put back text held back.
    if (props.selection_start != 0 || props.selection_length != 0)
      SendMessageW(h, EM_SETSEL, static_cast<WPARAM>(props.selection_start),
                   static_cast<LPARAM>(props.selection_start + props.selection_length));
    return true;
  }

  // The first character of the password text, '*' when it is empty.
  WPARAM PasswordChar() const {
    if (password_char.empty()) return L'*';
    const auto first = static_cast<unsigned char>(password_char[0]);
    const std::int32_t bytes = first >= 0x80 && password_char.size() > 1 ? 2 : 1;
    const wide::Wide one(password_char.data(), bytes);
    return one.size() > 0 ? one.c_str()[0] : L'*';
  }

  // The box's own style: during loading the whole window is hidden, so every
  // child counts as not visible, even those about to be shown with it.
  bool StyleVisible() const { return (GetWindowLongPtrW(hwnd(), GWL_STYLE) & WS_VISIBLE) != 0; }

  // The one place the control's text is set: without raising the box's event,
  // and not counted as the user's edit.
  void SetControlText(const char* text) {
    setting_text = true;
    SetWindowTextW(hwnd(), wide::Wide(text).c_str());
    SendMessageW(hwnd(), EM_SETMODIFY, FALSE, 0);
    setting_text = false;
  }

  // Puts the stored bytes into the control, or holds them back while the box
  // is hidden. The control is then emptied, so that nothing it held before
  // can surface.
  void PutContent() {
    held_back = !StyleVisible();
    SetControlText(held_back ? "" : content.c_str());
  }

  void PutHeldContent() {
    if (!held_back) return;
    held_back = false;
    SetControlText(content.c_str());
  }

  // Whether the control must hold the text before it handles `msg`: it is
  // about to be shown, or the message works on the text (focus, keys and
  // clipboard, and the edit messages other than the flags that do not).
  static bool NeedsText(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
      case WM_SHOWWINDOW: return wp != 0;
      case WM_WINDOWPOSCHANGING: return (reinterpret_cast<const WINDOWPOS*>(lp)->flags & SWP_SHOWWINDOW) != 0;
      case WM_SETFOCUS:
      case WM_KEYDOWN:
      case WM_CHAR:
      case WM_IME_CHAR:
      case WM_IME_STARTCOMPOSITION:
      case WM_CUT:
      case WM_COPY:
      case WM_PASTE:
      case WM_CLEAR:
      case WM_UNDO: return true;
      case EM_GETMODIFY:
      case EM_SETMODIFY:
      case EM_SETLIMITTEXT:
      case EM_GETLIMITTEXT:
      case EM_SETPASSWORDCHAR:
      case EM_GETPASSWORDCHAR: return false;
      default: return msg >= EM_GETSEL && msg <= EM_GETIMESTATUS;
    }
  }

  // WM_GETTEXT from the held-back bytes, in the characters a control holding
  // them would give: as many as fit before the NUL.
  LRESULT CopyHeldText(WPARAM capacity, LPARAM buffer) const {
    auto* out = reinterpret_cast<wchar_t*>(buffer);
    if (capacity == 0 || !out) return 0;
    const wide::Wide text(content.data(), static_cast<std::int32_t>(content.size()));
    const std::size_t n = std::min(static_cast<std::size_t>(text.size()), static_cast<std::size_t>(capacity) - 1);
    std::wmemcpy(out, text.c_str(), n);
    out[n] = L'\0';
    return static_cast<LRESULT>(n);
  }

  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override {
    if (!held_back) return false;
    switch (msg) {
      // Readers from outside (and GetWindowText) get the text without the
      // control laying it out.
      case WM_GETTEXTLENGTH: *result = wide::WideLength(content.data(), static_cast<std::int32_t>(content.size())); return true;
      case WM_GETTEXT: *result = CopyHeldText(wp, lp); return true;
      // A text set from elsewhere replaces what was held back, as it would
      // replace the text shown.
      case WM_SETTEXT: if (!setting_text) held_back = false; return false;
      default: break;
    }
    if (StyleVisible() || NeedsText(msg, wp, lp)) PutHeldContent();
    return false;
  }

  bool UserEdited() const { return hwnd() && SendMessageW(hwnd(), EM_GETMODIFY, 0, 0) != 0; }

  // What the user typed, in GBK: "?" for a character GBK has no form for.
  std::string TypedText() const {
    const int n = GetWindowTextLengthW(hwnd());
    std::wstring typed(static_cast<std::size_t>(n > 0 ? n : 0) + 1, L'\0');
    const int got = GetWindowTextW(hwnd(), typed.data(), n + 1);
    char* gbk = wide::ToGbkText(typed.c_str(), got > 0 ? got : 0);
    std::string text = gbk ? gbk : "";
    Release(gbk);
    return text;
  }

  const std::string& CurrentContent() {
    if (!UserEdited()) return content;
    read_scratch = TypedText();
    return read_scratch;
  }

  // A box rebuilt by the model (styles the control cannot change once made)
  // carries on from the one it replaces: its properties, its content with the
  // user's edits, its font and its selection.
  void TakeOver(const EditBoxUnit& old) {
    props = old.props;
    content = old.UserEdited() ? old.TypedText() : old.content;
    password_char = old.password_char;
    has_font = old.has_font;
    font = old.font;
    DWORD start = 0, end = 0;  // held-back text has the empty selection at its start
    if (!old.held_back && old.hwnd())
      SendMessageW(old.hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    props.selection_start = static_cast<std::int32_t>(start);
    props.selection_length = static_cast<std::int32_t>(end - start);
  }

  void OnCommand(WORD code) override {
    if (code == EN_CHANGE && !setting_text) RaisePlainEvent(this, edit_event::kContentChanged);
  }

  HBRUSH OnControlColour(HDC dc) override {
    if (props.text_colour == kColourBlack && props.back_colour == kColourWhite) return nullptr;
    SetTextColor(dc, ToColorRef(props.text_colour));
    SetBkColor(dc, ToColorRef(props.back_colour));
    if (!back_brush) back_brush = CreateSolidBrush(ToColorRef(props.back_colour));
    return back_brush;
  }
};

UnitObject* CreateEditBox(const UnitCreateInfo& info) {
  auto* unit = NewUnit<EditBoxUnit>(info);
  if (auto* old = dynamic_cast<const EditBoxUnit*>(info.previous)) {
    unit->TakeOver(*old);
  } else {
    if (info.data && info.data_size >= static_cast<std::int32_t>(sizeof(EditBoxTypeData)))
      unit->props = *static_cast<const EditBoxTypeData*>(info.data);
    EditBoxTypeData& p = unit->props;
    unit->content = p.content ? p.content : "";
    unit->password_char = p.password_char ? p.password_char : "";
    if (p.font) {
      unit->has_font = true;
      unit->font = *p.font;
    }
    // Nothing below may point into the template any more.
    p.content = nullptr;
    p.password_char = nullptr;
    p.font = nullptr;
  }
  unit->own_font = MakeFont(unit->has_font ? &unit->font : nullptr);
  if (!unit->CreateNative(info)) {
    delete unit;
    return nullptr;
  }
  return unit;
}

bool WriteEditBoxProperty(UnitObject* object, std::int32_t index, const RawProperty& value) {
  auto* unit = static_cast<EditBoxUnit*>(object);
  EditBoxTypeData& p = unit->props;
  HWND h = unit->hwnd();
  switch (index) {
    case edit_prop::kContent:
      unit->content = TextOfRaw(value);
      if (h) {
        unit->PutContent();
        unit->OnCommand(EN_CHANGE);  // the one content-changed notification of a write
      }
      return false;
    case edit_prop::kTextColour:
    case edit_prop::kBackColour:
      (index == edit_prop::kTextColour ? p.text_colour : p.back_colour) = static_cast<std::uint32_t>(value.word);
      if (unit->back_brush) DeleteObject(unit->back_brush);
      unit->back_brush = nullptr;
      if (h) InvalidateRect(h, nullptr, TRUE);
      return false;
    case edit_prop::kFont:
      unit->has_font = value.data && value.size >= static_cast<std::int32_t>(sizeof(FontRecord));
      if (unit->has_font) unit->font = *static_cast<const FontRecord*>(value.data);
      ApplyFont(unit, unit->has_font ? &unit->font : nullptr);
      return false;
    case edit_prop::kMaxLength:
      p.max_length = IntOfRaw(value);
      if (h) SendMessageW(h, EM_SETLIMITTEXT, static_cast<WPARAM>(p.max_length > 0 ? p.max_length : 0), 0);
      return false;
    case edit_prop::kPasswordChar:
      unit->password_char = TextOfRaw(value);
      if (h && p.input_mode == kInputPassword) {
        SendMessageW(h, EM_SETPASSWORDCHAR,
                     unit->PasswordChar(), 0);
        InvalidateRect(h, nullptr, TRUE);
      }
      return false;
    case edit_prop::kSpinKind: p.spin_kind = IntOfRaw(value); return false;
    case edit_prop::kSpinMin: p.spin_min = IntOfRaw(value); return false;
    case edit_prop::kSpinMax: p.spin_max = IntOfRaw(value); return false;
    case edit_prop::kSelStart:
    case edit_prop::kSelLength: {
      DWORD start = 0, end = 0;
      if (h) SendMessageW(h, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
      std::int32_t s = static_cast<std::int32_t>(start), n = static_cast<std::int32_t>(end - start);
      (index == edit_prop::kSelStart ? s : n) = IntOfRaw(value);
      if (h) SendMessageW(h, EM_SETSEL, static_cast<WPARAM>(s), static_cast<LPARAM>(s + n));
      return false;
    }
    // The rest change the control's styles: the model rebuilds the unit.
    case edit_prop::kBorder: p.border = IntOfRaw(value); return true;
    case edit_prop::kHideSelection: p.hide_selection = LogicalOfRaw(value); return true;
    case edit_prop::kMultiLine: p.multi_line = LogicalOfRaw(value); return true;
    case edit_prop::kScrollBars: p.scroll_bars = IntOfRaw(value); return true;
    case edit_prop::kAlignment: p.alignment = IntOfRaw(value); return true;
    case edit_prop::kInputMode: p.input_mode = IntOfRaw(value); return true;
    case edit_prop::kCase: p.case_conversion = IntOfRaw(value); return true;
    default: return false;
  }
}

RawProperty ReadEditBoxProperty(UnitObject* object, std::int32_t index) {
  auto* unit = static_cast<EditBoxUnit*>(object);
  const EditBoxTypeData& p = unit->props;
  auto word = [](std::int32_t v) { return RawWord(static_cast<std::uint32_t>(v)); };
  switch (index) {
    case edit_prop::kContent: return RawText(unit->CurrentContent());
    case edit_prop::kBorder: return word(p.border);
    case edit_prop::kTextColour: return RawWord(p.text_colour);
    case edit_prop::kBackColour: return RawWord(p.back_colour);
    case edit_prop::kFont: return RawFont(unit->has_font ? &unit->font : nullptr, &unit->font_scratch);
    case edit_prop::kHideSelection: return RawWord(p.hide_selection ? 1 : 0);
    case edit_prop::kMaxLength: return word(p.max_length);
    case edit_prop::kMultiLine: return RawWord(p.multi_line ? 1 : 0);
    case edit_prop::kScrollBars: return word(p.scroll_bars);
    case edit_prop::kAlignment: return word(p.alignment);
    case edit_prop::kInputMode: return word(p.input_mode);
    case edit_prop::kPasswordChar: return RawText(unit->password_char);
    case edit_prop::kCase: return word(p.case_conversion);
    case edit_prop::kSpinKind: return word(p.spin_kind);
    case edit_prop::kSpinMin: return word(p.spin_min);
    case edit_prop::kSpinMax: return word(p.spin_max);
    case edit_prop::kSelStart:
    case edit_prop::kSelLength: {
      DWORD start = 0, end = 0;
      if (unit->hwnd())
        SendMessageW(unit->hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
      return RawWord(index == edit_prop::kSelStart ? start : end - start);
    }
    default: return {};
  }
}

}  // namespace

const UnitTypeRecord kEditBoxType = {"EditBox", kUnitEditBox, kEditBoxTypeFlags, kEditBoxPropertyTypes, edit_prop::kCount,
                                     {CreateEditBox, ReadEditBoxProperty, WriteEditBoxProperty}};

}  // namespace bv::win
