// A window that accepts OLE drops and writes down what arrives, to prove the
// X drag-and-drop source of the end-to-end harness (and to see what Wine hands
// a drop target).
//   drop_recorder.exe LOGFILE TIMEOUT_MS [X Y W H]
// The window, titled "drop_recorder", is placed at X,Y (screen) with size W,H
// (default 100,100,400,300). LOGFILE gets one line per event (CR LF):
//   ready hwnd=H rect=L,T,R,B         the target is registered; drag now
//   enter keys=0xK effect=0xE pt=X,Y formats=NAME(ID),...
//   over keys=0xK effect=0xE pt=X,Y   the first DragOver, and each change of keys or effect
//   leave
//   drop keys=0xK effect=0xE pt=X,Y count=N
//   file=PATH                         one per CF_HDROP entry (read in wide characters,
//                                     written in UTF-8), after its drop line
//   click pt=X,Y                      a left click in the client area (client coordinates),
//   box result=N                      after which a box captioned "drop_recorder" with the
//                                     text "收到点击" (OK and Cancel) asks; N is the pressed button
//   done | timeout
// effect is what the source allows (as the target receives it); the target
// answers DROPEFFECT_COPY. Exit code 0 after a drop, 1 on timeout, 2 on bad
// usage or when the target cannot be registered.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/win/support/win_test.h"

namespace {

HANDLE g_log = INVALID_HANDLE_VALUE;
bool g_dropped = false;

void Log(const std::string& line) {
  std::string l = line + "\r\n";
  DWORD written = 0;
  WriteFile(g_log, l.data(), static_cast<DWORD>(l.size()), &written, nullptr);
  FlushFileBuffers(g_log);
}

std::string Fmt(const char* format, unsigned long a, unsigned long b, long x, long y) {
  char buf[128];
  std::snprintf(buf, sizeof buf, format, a, b, x, y);
  return buf;
}

std::string FormatName(CLIPFORMAT cf) {
  switch (cf) {
    case CF_TEXT: return "CF_TEXT";
    case CF_UNICODETEXT: return "CF_UNICODETEXT";
    case CF_OEMTEXT: return "CF_OEMTEXT";
    case CF_HDROP: return "CF_HDROP";
    case CF_LOCALE: return "CF_LOCALE";
    default: break;
  }
  wchar_t name[256];
  int n = GetClipboardFormatNameW(cf, name, 256);
  return n > 0 ? bvtest::Utf8FromWide(std::wstring(name, n)) : "format";
}

std::string Formats(IDataObject* data) {
  std::string out;
  IEnumFORMATETC* e = nullptr;
  if (FAILED(data->EnumFormatEtc(DATADIR_GET, &e)) || !e) return out;
  FORMATETC fe;
  ULONG got = 0;
  for (int guard = 0; guard < 256 && e->Next(1, &fe, &got) == S_OK && got == 1; ++guard) {
    if (!out.empty()) out += ",";
    out += FormatName(fe.cfFormat) + "(" + std::to_string(fe.cfFormat) + ")";
    if (fe.ptd) CoTaskMemFree(fe.ptd);
  }
  e->Release();
  return out;
}

class Target : public IDropTarget {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDropTarget) {
      *out = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives as long as the program

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
    Log(Fmt("enter keys=0x%lx effect=0x%lx pt=%ld,%ld", keys, *effect, pt.x, pt.y) + " formats=" + Formats(data));
    last_keys_ = keys;
    last_effect_ = *effect;
    overs_ = 0;
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override {
    if (overs_++ == 0 || keys != last_keys_ || *effect != last_effect_)
      Log(Fmt("over keys=0x%lx effect=0x%lx pt=%ld,%ld", keys, *effect, pt.x, pt.y));
    last_keys_ = keys;
    last_effect_ = *effect;
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override {
    Log("leave");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
    FORMATETC fe = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    std::string files;
    UINT count = 0;
    if (SUCCEEDED(data->GetData(&fe, &medium))) {
      HDROP drop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
      if (drop) {
        count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
          std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
          path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
          files += "file=" + bvtest::Utf8FromWide(path) + "\r\n";
        }
        GlobalUnlock(medium.hGlobal);
      }
      ReleaseStgMedium(&medium);
    }
    Log(Fmt("drop keys=0x%lx effect=0x%lx pt=%ld,%ld", keys, *effect, pt.x, pt.y) + " count=" + std::to_string(count));
    if (!files.empty()) {
      files.resize(files.size() - 2);
      Log(files);
    }
    *effect = DROPEFFECT_COPY;
    g_dropped = true;
    return S_OK;
  }

 private:
  ULONG refs_ = 1;
  DWORD last_keys_ = 0, last_effect_ = 0;
  int overs_ = 0;
};

constexpr UINT_PTR kTimeoutTimer = 1;
constexpr UINT_PTR kAfterDropTimer = 2;

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) {
    if (wp == kTimeoutTimer && !g_dropped) Log("timeout");
    DestroyWindow(hwnd);
    return 0;
  }
  if (msg == WM_LBUTTONUP) {
    char line[64];
    std::snprintf(line, sizeof line, "click pt=%d,%d", static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
    Log(line);
    int pressed = MessageBoxW(hwnd, L"收到点击", L"drop_recorder", MB_OKCANCEL | MB_ICONINFORMATION);
    Log("box result=" + std::to_string(pressed));
    return 0;
  }
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int main() {
  const std::vector<std::wstring> args = bvtest::WideArgs();
  if (args.size() != 3 && args.size() != 7) {
    std::fprintf(stderr, "usage: drop_recorder.exe LOGFILE TIMEOUT_MS [X Y W H]\n");
    return 2;
  }
  g_log = CreateFileW(args[1].c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                      nullptr);
  if (g_log == INVALID_HANDLE_VALUE) return 2;
  auto number = [&](std::size_t i) { return static_cast<int>(std::wcstol(args[i].c_str(), nullptr, 10)); };
  UINT timeout = static_cast<UINT>(std::wcstoul(args[2].c_str(), nullptr, 10));
  int x = 100, y = 100, w = 400, h = 300;
  if (args.size() == 7) {
    x = number(3);
    y = number(4);
    w = number(5);
    h = number(6);
  }
  if (FAILED(OleInitialize(nullptr))) return 2;

  WNDCLASSW wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"drop_recorder";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, L"drop_recorder", L"drop_recorder", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, w, h,
                              nullptr, nullptr, wc.hInstance, nullptr);
  if (!hwnd) return 2;
  static Target target;
  if (FAILED(RegisterDragDrop(hwnd, &target))) {
    Log("register failed");
    return 2;
  }
  UpdateWindow(hwnd);
  RECT r;
  GetWindowRect(hwnd, &r);
  char ready[160];
  std::snprintf(ready, sizeof ready, "ready hwnd=%p rect=%ld,%ld,%ld,%ld", static_cast<void*>(hwnd), r.left, r.top,
                r.right, r.bottom);
  Log(ready);
  SetTimer(hwnd, kTimeoutTimer, timeout, nullptr);

  MSG msg;
  bool after_drop_armed = false;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    // Give the source its XdndFinished before the window goes away.
    if (g_dropped && !after_drop_armed) {
      SetTimer(hwnd, kAfterDropTimer, 300, nullptr);
      after_drop_armed = true;
    }
  }
  RevokeDragDrop(hwnd);
  OleUninitialize();
  Log(g_dropped ? "done" : "timeout-exit");
  CloseHandle(g_log);
  return g_dropped ? 0 : 1;
}
