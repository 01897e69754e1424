// The file drop target unit of the drag-and-drop library: a never-visible
// child window that, once the logic has handed it a native window through
// RegisterDrop, turns whatever is dropped on that window (plain text, HTML, a
// web address, files) into events of the unit with one text argument.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/drag_drop_library.h"
#include "ui/drop_rules.h"
#include "ui/unit_model.h"
#include "ui/win/native_unit.h"

namespace bv {

// The unit's events are numbered as its accept flags (DropKind): text 0,
// HTML 1, URL 2, files 3, each with one text by reference.

class DropTargetUnit;

// The unit's IDropTarget. The unit holds its first reference for good, so the
// platform's references never end it; it goes with the unit.
class KestDropTarget final : public IDropTarget {
 public:
  explicit KestDropTarget(DropTargetUnit* unit);
  ~KestDropTarget();
  KestDropTarget(const KestDropTarget&) = delete;
  KestDropTarget& operator=(const KestDropTarget&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;

  ULONG references() const { return refs_; }

 private:
  void Deliver(IDataObject* data);
  bool Offers(IDataObject* data, CLIPFORMAT format);

  DropTargetUnit* owner_;
  ULONG refs_ = 1;
  bool accepting_ = false;
  IDropTargetHelper* helper_ = nullptr;  // shows the drag image, where the platform has one
};

class DropTargetUnit final : public win::NativeUnit {
 public:
  DropTargetUnit() : kest(this) {}

  bool accept[kDropKindCount] = {};  // by DropKind; read at each drag and drop
  bool has_registered = false;       // RegisterDrop was called (whether or not the platform agreed)
  HWND registered = nullptr;
  bool registration_made = false;  // the platform agreed: ours to revoke
  KestDropTarget kest;

  // The native window has gone: the unit reported and its registration revoked.
  bool gone = false;
  int drops_running = 0;
  // Revokes the registration and ends the unit once no running drop and no
  // reference the platform holds still uses it.
  void OnWindowGone() override;
  void FreeWhenUnused();
};

// Decodes the "HTML Format" bytes (UTF-8) into GBK with every no-break space
// made a plain space; a character GBK has no form for becomes "?".
std::string HtmlToGbkText(const char* utf8, std::size_t n);

}  // namespace bv
