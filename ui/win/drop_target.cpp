#include "ui/win/drop_target.h"

#include <shellapi.h>
#include <shlguid.h>

#include <climits>
#include <string>
#include <vector>

#include "runtime/value.h"
#include "runtime/win/wide_text.h"

namespace bv {
namespace {

const wchar_t kClassName[] = L"BrisvaleDropTarget";

// ---- Reading drop data -----------------------------------------------------------

FORMATETC FormatOf(CLIPFORMAT format) { return {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

// Hands `read` the locked block of `format` and its size; false when the data
// cannot be had in that format or `read` refuses the block.
template <typename Read>
bool ReadBlock(IDataObject* data, CLIPFORMAT format, Read read) {
  FORMATETC fe = FormatOf(format);
  STGMEDIUM medium{};
  if (FAILED(data->GetData(&fe, &medium))) return false;
  bool ok = false;
  if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
    const SIZE_T size = GlobalSize(medium.hGlobal);
    if (const void* p = GlobalLock(medium.hGlobal)) {
      ok = read(p, size, medium.hGlobal);
      GlobalUnlock(medium.hGlobal);
    }
  }
  ReleaseStgMedium(&medium);
  return ok;
}

// The bytes of `format` up to the first NUL (never past the block).
bool GetTextBytes(IDataObject* data, CLIPFORMAT format, std::string* out) {
  return ReadBlock(data, format, [&](const void* p, SIZE_T size, HGLOBAL) {
    out->assign(static_cast<const char*>(p), BoundedTextLength(p, size));
    return true;
  });
}

// The GBK form of the wide text of `format` up to its first NUL (never past
// the block).
bool GetWideText(IDataObject* data, CLIPFORMAT format, std::string* out) {
  return ReadBlock(data, format, [&](const void* p, SIZE_T size, HGLOBAL) {
    const std::size_t chars = BoundedWideTextLength(p, size);
    char* gbk = wide::ToGbkText(static_cast<const wchar_t*>(p),
                                static_cast<std::int32_t>(chars < INT_MAX ? chars : INT_MAX));
    out->assign(gbk ? gbk : "");
    Release(gbk);
    return true;
  });
}

// Programs that offer text offer it wide; a program that offers only ANSI
// text gives its bytes as they are.
bool GetText(IDataObject* data, std::string* out) {
  return GetWideText(data, CF_UNICODETEXT, out) || GetTextBytes(data, CF_TEXT, out);
}

// The formats that programs register by name.
struct NamedFormats {
  static CLIPFORMAT Named(const wchar_t* name) { return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name)); }
  CLIPFORMAT html = Named(L"HTML Format");
  CLIPFORMAT url = Named(L"UniformResourceLocator");
  CLIPFORMAT wide_url = Named(L"UniformResourceLocatorW");
};
const NamedFormats& Formats() {
  static const NamedFormats formats;
  return formats;
}

bool GetFilesText(IDataObject* data, std::string* out) {
  return ReadBlock(data, CF_HDROP, [&](const void* p, SIZE_T size, HGLOBAL block) {
    // A list that runs past its block cannot be read: the step is skipped.
    const std::int64_t count = FileListCount(p, size);
    if (count < 0) return false;
    HDROP drop = static_cast<HDROP>(block);
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(count));
    for (UINT i = 0; i < count; ++i) {
      const UINT length = DragQueryFileW(drop, i, nullptr, 0);
      std::wstring path(static_cast<std::size_t>(length) + 1, L'\0');
      const UINT got = DragQueryFileW(drop, i, path.data(), length + 1);
      path.resize(got <= length ? got : length);
      char* gbk = wide::PathToGbkText(path.c_str());
      paths.emplace_back(gbk ? gbk : "");
      Release(gbk);
    }
    *out = JoinDroppedPaths(paths);
    return true;
  });
}

// Raises event `kind` of the unit with the dropped text by reference.
void RaiseDropped(const UnitObject& unit, int kind, const std::string& bytes) {
  TypedEventRecord record{};
  record.window = unit.window_id;
  record.unit = unit.unit_id;
  record.event = kind;
  record.argc = 1;
  ValueRecord slot = ValueRecord::TextOf(NewEventText(bytes.data(), bytes.size()));
  record.args[0].value = slot.value;
  record.args[0].high = slot.high;
  record.args[0].type = kTypeText;
  record.args[0].flags = kArgByReference;
  RaiseTypedEvent(&record);
  // The handler received the slot's address and may have put another text
  // there (or none): release what the slot holds now.
  ValueRecord after = ValueRecord::Of(kTypeText, record.args[0].value, record.args[0].high);
  Release(after.AsText());
}

// ---- The unit type -----------------------------------------------------------------

UnitObject* CreateDropTarget(const UnitCreateInfo& info) {
  bool accept[kDropKindCount];
  if (!ReadDropTargetData(info.data, info.data_size, accept)) return nullptr;
  win::WindowClassShape shape;
  shape.name = kClassName;
  shape.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  shape.background = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  if (!win::EnsureWindowClass(shape)) return nullptr;

  auto* unit = win::NewUnit<DropTargetUnit>(info);
  // A rebuilt unit keeps what was written into the one it replaces.
  if (auto* old = dynamic_cast<const DropTargetUnit*>(info.previous)) {
    for (int i = 0; i < kDropKindCount; ++i) accept[i] = old->accept[i];
  }
  for (int i = 0; i < kDropKindCount; ++i) unit->accept[i] = accept[i];

  // Never visible: the window only anchors the unit to its window.
  HWND hwnd = win::CreateChildWindow(info, kClassName, L"", 0, 0);
  if (!hwnd) {
    delete unit;
    return nullptr;
  }
  unit->Bind(hwnd, false);
  return unit;
}

bool WriteDropTarget(UnitObject* object, std::int32_t index, const RawProperty& value) {
  auto* unit = dynamic_cast<DropTargetUnit*>(object);
  if (!unit || index < 0 || index >= kDropKindCount) return false;
  unit->accept[index] = value.word != 0;
  return false;
}

RawProperty ReadDropTarget(UnitObject* object, std::int32_t index) {
  RawProperty raw;
  auto* unit = dynamic_cast<DropTargetUnit*>(object);
  if (unit && index >= 0 && index < kDropKindCount) raw.word = unit->accept[index] ? 1 : 0;
  return raw;
}

const UnitTypeRecord kDropTargetType = {"DropTarget", kUnitDropTarget, kDropTargetTypeFlags, kDropTargetPropertyTypes,
                                        kDropKindCount, {CreateDropTarget, ReadDropTarget, WriteDropTarget}};

const LibraryInfo kLibrary = {nullptr};

}  // namespace

void RegisterDropTargetType() { RegisterUnitType(&kDropTargetType); }
const LibraryInfo& DragDropLibrary() { return kLibrary; }

void RegisterDrop(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  result->SetBool(false);
  if (argc < 1) return;
  auto* unit = dynamic_cast<DropTargetUnit*>(UnitObjectOrFail(args[0].value, args[0].high));
  if (!unit || unit->has_registered) return;
  // A handle given as an integer (what GetWindowHandle yields) carries the 32
  // significant bits of a window handle and widens with its sign, as Windows
  // does between 32- and 64-bit processes; any other record is read whole.
  std::uintptr_t bits = 0;
  if (argc > 1) {
    bits = args[1].type == kTypeInt
               ? static_cast<std::uintptr_t>(static_cast<std::intptr_t>(args[1].AsInt()))
               : static_cast<std::uintptr_t>(args[1].Wide());
  }
  HWND window = reinterpret_cast<HWND>(bits);
  unit->has_registered = true;
  unit->registered = window;
  unit->registration_made = SUCCEEDED(RegisterDragDrop(window, &unit->kest));
  result->SetBool(unit->registration_made);
}

void DropTargetUnit::OnWindowGone() {
  // Only a registration the platform accepted is ours to revoke; it names the
  // window RegisterDrop was given, which need not be the parent, and must not
  // outlive the target it points at.
  if (registration_made) RevokeDragDrop(registered);
  registration_made = false;
  gone = true;
  FreeWhenUnused();
}

void DropTargetUnit::FreeWhenUnused() {
  if (gone && drops_running == 0 && kest.references() <= 1) delete this;
}

std::string HtmlToGbkText(const char* utf8, std::size_t n) {
  // In UTF-8 the bytes C2 A0 are the no-break space wherever they stand.
  std::string plain;
  plain.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (utf8[i] == '\xC2' && i + 1 < n && utf8[i + 1] == '\xA0') {
      plain += ' ';
      ++i;
    } else {
      plain += utf8[i];
    }
  }
  char* gbk = wide::Utf8ToGbkText(plain.data(), static_cast<std::int32_t>(plain.size() < INT_MAX ? plain.size() : INT_MAX));
  std::string out = gbk ? gbk : "";
  Release(gbk);
  return out;
}

// ---- KestDropTarget --------------------------------------------------------------------

KestDropTarget::KestDropTarget(DropTargetUnit* unit) : owner_(unit) {
  void* helper = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDropTargetHelper,
                                 &helper)))
    helper_ = static_cast<IDropTargetHelper*>(helper);
}

KestDropTarget::~KestDropTarget() {
  if (helper_) helper_->Release();
}

HRESULT KestDropTarget::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
    *out = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG KestDropTarget::AddRef() { return ++refs_; }

ULONG KestDropTarget::Release() {
  // The unit's own reference is never given up; a count the platform drives
  // below it stays at it.
  if (refs_ > 1) --refs_;
  const ULONG left = refs_;
  // The last outside reference to the target of a unit already gone frees it.
  if (left == 1 && owner_->gone) owner_->FreeWhenUnused();
  return left;
}

bool KestDropTarget::Offers(IDataObject* data, CLIPFORMAT format) {
  FORMATETC fe = FormatOf(format);
  return data->QueryGetData(&fe) == S_OK;
}

HRESULT KestDropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  if (helper_) {
    POINT p{pt.x, pt.y};
    helper_->DragEnter(owner_->registered, data, &p, *effect);
  }
  if (data) {
    // Each kind in the order tested, with the formats that carry it (0: none).
    const NamedFormats& named = Formats();
    const CLIPFORMAT order[kDropKindCount][2] = {
        {CF_UNICODETEXT, CF_TEXT}, {CF_HDROP, 0}, {named.wide_url, named.url}, {named.html, 0}};
    const int flag_of[kDropKindCount] = {kDropText, kDropFiles, kDropUrl, kDropHtml};
    bool tested = false, found = false;
    for (int i = 0; i < kDropKindCount && !found; ++i) {
      if (!owner_->accept[flag_of[i]]) continue;
      tested = true;
      found = Offers(data, order[i][0]) || (order[i][1] && Offers(data, order[i][1]));
    }
    // With nothing accepted no test is made and accepting stays as it was.
    if (tested) accepting_ = found;
  } else {
    accepting_ = false;
  }
  *effect = ChooseDropEffect(accepting_, keys, *effect);
  return S_OK;
}

HRESULT KestDropTarget::DragOver(DWORD keys, POINTL pt, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  if (helper_) {
    POINT p{pt.x, pt.y};
    helper_->DragOver(&p, *effect);
  }
  *effect = ChooseDropEffect(accepting_, keys, *effect);
  return S_OK;
}

HRESULT KestDropTarget::DragLeave() {
  if (helper_) helper_->DragLeave();
  accepting_ = false;
  return S_OK;
}

HRESULT KestDropTarget::Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  if (helper_) {
    POINT p{pt.x, pt.y};
    helper_->Drop(data, &p, *effect);
  }
  *effect = ChooseDropEffect(accepting_, keys, *effect);
  if (*effect != kDropEffectNone && data && !owner_->gone) {
    // A handler may destroy the unit's window; the unit stays until this
    // drop has finished with it.
    DropTargetUnit* owner = owner_;
    ++owner->drops_running;
    Deliver(data);
    --owner->drops_running;
    if (owner->gone) {
      owner->FreeWhenUnused();  // may free this object
      return E_FAIL;
    }
  }
  // Never report the drop as done: a moving source must not delete its data.
  return E_FAIL;
}

void KestDropTarget::Deliver(IDataObject* data) {
  const NamedFormats& named = Formats();
  std::string bytes;
  const bool* accept = owner_->accept;
  // False once a handler has destroyed the unit's window: the drop ends.
  auto deliver = [&](int kind) {
    RaiseDropped(*owner_, kind, bytes);
    return !owner_->gone;
  };
  if (accept[kDropText]) {
    // HTML on offer wins over its plain text, even when HTML is not accepted.
    std::string html;
    if (!GetTextBytes(data, named.html, &html) && GetText(data, &bytes)) {
      if (!deliver(kDropText)) return;
    }
  }
  if (accept[kDropHtml] && GetTextBytes(data, named.html, &bytes)) {
    bytes = HtmlToGbkText(bytes.data(), bytes.size());
    if (!deliver(kDropHtml)) return;
  }
  if (accept[kDropUrl] && (GetWideText(data, named.wide_url, &bytes) || GetTextBytes(data, named.url, &bytes))) {
    if (!deliver(kDropUrl)) return;
  }
  if (accept[kDropFiles] && GetFilesText(data, &bytes)) deliver(kDropFiles);
}

}  // namespace bv
