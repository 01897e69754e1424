// What the core unit types share on Windows: the live unit object bound to its
// native window, the one window procedure that routes messages to it, the
// making of child windows and the helpers for fonts, colours and borders.
// Internal to ui/win.
#pragma once

#include <windows.h>

#include <string>

#include "ui/unit_model.h"
#include "ui/unit_types.h"

namespace bv::win {

class NativeUnit : public UnitObject {
 public:
  HWND hwnd() const { return static_cast<HWND>(native); }

  // Messages for the unit's own native window. Return true when handled.
  virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    (void)msg, (void)wp, (void)lp, (void)result;
    return false;
  }
  // Notifications the parent receives on behalf of this child unit.
  virtual void OnCommand(WORD code) { (void)code; }
  virtual HBRUSH OnControlColour(HDC dc) {
    (void)dc;
    return nullptr;
  }

  // Binds the object to a native window it created; for a system control class
  // the control's own procedure keeps running behind ours.
  void Bind(HWND hwnd, bool subclass);
  // The one place where a unit object ends: its native window has gone and
  // the model has forgotten the unit. A unit that something outside the
  // model may still be using (the drop target, during a drop and while the
  // platform holds references to it) overrides this and ends itself once the
  // last use is over.
  virtual void OnWindowGone() { delete this; }

  WNDPROC next_proc = DefWindowProcW;
  HFONT own_font = nullptr;
  ~NativeUnit() override;
};

// A new unit object of class U, named and typed as `info` says.
template <class U>
U* NewUnit(const UnitCreateInfo& info) {
  auto* unit = new U;
  unit->window_id = info.window;
  unit->unit_id = info.unit;
  unit->type = info.type;
  return unit;
}

// The unit object of a native window; null when it has none.
NativeUnit* UnitOf(HWND hwnd);

// The window procedure of every unit: the units the runtime draws itself have
// it as their class's, system controls are subclassed with it (Bind).
LRESULT CALLBACK UnitWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// A window class of this module with the arrow cursor.
struct WindowClassShape {
  const wchar_t* name = nullptr;
  WNDPROC proc = UnitWindowProc;
  UINT style = 0;
  HBRUSH background = nullptr;
  int icon_resource = 0;  // 0: the platform's default icon
};
// Registers the class on first use; later calls find it there. False when it
// can be had neither way.
bool EnsureWindowClass(const WindowClassShape& shape);

// Raises plain event `event` of the unit without arguments; answers the record.
PlainEventRecord RaisePlainEvent(const UnitObject* unit, std::uint32_t event);

COLORREF ToColorRef(std::uint32_t colour);
// Extended and plain styles for a border style.
void BorderStyles(std::int32_t border, DWORD* style, DWORD* ex_style);
// A font made from `record`, or null for the default GUI font.
HFONT MakeFont(const FontRecord* record);
HFONT DefaultGuiFont();
FontRecord DefaultGuiFontRecord();
// Replaces the unit's own font and hands it to its native window.
void ApplyFont(NativeUnit* unit, const FontRecord* record);

// Creates the native child window of the unit `info` describes, in its
// parent's native window: the one place that decides a child's style (the
// type's own `type_style` with what the common fields ask for) and its control
// identifier. Null without a parent window or when the platform refuses.
HWND CreateChildWindow(const UnitCreateInfo& info, const wchar_t* class_name, const wchar_t* text, DWORD type_style,
                       DWORD ex_style);

// Raw property helpers.
// A unit's font as read: its own record, else the default GUI font's; the
// record lives in `scratch` while the model reads it.
RawProperty RawFont(const FontRecord* own, FontRecord* scratch);
RawProperty RawText(const std::string& text);
RawProperty RawWord(std::uint64_t word);
RawProperty RawData(const std::string& bytes);
std::string TextOfRaw(const RawProperty& value);
// A byte set's whole block as bytes (empty for null).
std::string ByteSetOfRaw(const RawProperty& value);
bool LogicalOfRaw(const RawProperty& value);
std::int32_t IntOfRaw(const RawProperty& value);

HINSTANCE ModuleInstance();

}  // namespace bv::win
