#include "tests/win/support/win_test.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace bvtest {

namespace {

std::map<std::string, ChildFn>& Children() {
  static std::map<std::string, ChildFn> children;
  return children;
}
std::vector<std::string> g_child_args;

std::wstring SelfPath() {
  wchar_t path[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  return std::wstring(path, n);
}

std::wstring WindowText(HWND h) {
  wchar_t text[4096];
  int n = GetWindowTextW(h, text, 4096);
  return std::wstring(text, n > 0 ? n : 0);
}

std::wstring ClassOf(HWND h) {
  wchar_t cls[256];
  int n = GetClassNameW(h, cls, 256);
  return std::wstring(cls, n > 0 ? n : 0);
}

struct BoxSearch {
  const wchar_t* caption;
  DWORD pid;
  HWND found;
  int count;
};

bool IsMessageBox(HWND h) { return ClassOf(h) == L"#32770" && IsWindowVisible(h); }

BOOL CALLBACK FindBox(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<BoxSearch*>(lp);
  if (!IsMessageBox(h)) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (s->pid && pid != s->pid) return TRUE;
  if (s->caption && WindowText(h) != s->caption) return TRUE;
  ++s->count;
  if (!s->found) s->found = h;
  return TRUE;
}

BOOL CALLBACK ReadControl(HWND h, LPARAM lp) {
  auto* box = reinterpret_cast<SeenBox*>(lp);
  const std::wstring cls = ClassOf(h);
  if (_wcsicmp(cls.c_str(), L"Button") == 0) {
    if (IsWindowVisible(h)) box->buttons.push_back(GetDlgCtrlID(h));
  } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
    LONG style = GetWindowLongW(h, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON) {
      if (IsWindowVisible(h) && SendMessageW(h, STM_GETICON, 0, 0)) box->has_icon = true;
    } else {
      std::wstring text = WindowText(h);
      if (!text.empty()) box->wide_text = text;
    }
  }
  return TRUE;
}

}  // namespace

ChildRegistrar::ChildRegistrar(const char* name, ChildFn fn) { Children()[name] = fn; }

const std::vector<std::string>& ChildArgs() { return g_child_args; }

long RunProgram(std::wstring command, const WhileRunning& meanwhile, DWORD timeout_ms) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    const DWORD error = GetLastError();
    wchar_t text[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                   static_cast<DWORD>(std::size(text)), nullptr);
    std::fprintf(stderr, "CreateProcessW failed, error %lu (%s): %s\n", error, Utf8FromWide(text).c_str(),
                 Utf8FromWide(command).c_str());
    std::fflush(stderr);
    return -3;
  }
  CloseHandle(pi.hThread);
  if (meanwhile) meanwhile(pi.dwProcessId);
  long code = -2;
  if (WaitForSingleObject(pi.hProcess, timeout_ms) == WAIT_OBJECT_0) {
    DWORD c = 0;
    GetExitCodeProcess(pi.hProcess, &c);
    code = static_cast<long>(c);
  } else {
    TerminateProcess(pi.hProcess, 99);
  }
  CloseHandle(pi.hProcess);
  return code;
}

long RunChild(const char* name, const std::string& extra, const WhileRunning& meanwhile, DWORD timeout_ms) {
  std::wstring cmd = L"\"" + SelfPath() + L"\" --child=" + WideFromGbk(name);
  if (!extra.empty()) cmd += L" " + WideFromGbk(extra);
  return RunProgram(std::move(cmd), meanwhile, timeout_ms);
}

long RunChildAnswering(const char* name, const std::string& extra, const char* caption, int press, SeenBox* box) {
  return RunChild(name, extra, [&](DWORD pid) { *box = AnswerBox(caption, pid, press); });
}

SeenBox AnswerBox(const char* caption, DWORD pid, int press, DWORD timeout_ms) {
  if (!caption) return AnswerBox(static_cast<const wchar_t*>(nullptr), pid, press, timeout_ms);
  return AnswerBox(WideFromGbk(caption).c_str(), pid, press, timeout_ms);
}

SeenBox AnswerBox(const wchar_t* caption, DWORD pid, int press, DWORD timeout_ms) {
  SeenBox box;
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  BoxSearch s{caption, pid, nullptr, 0};
  while (true) {
    s.found = nullptr;
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&s));
    if (s.found || GetTickCount64() >= deadline) break;
    Sleep(50);
  }
  if (!s.found) return box;
  Sleep(100);  // let the box finish laying itself out
  box.found = true;
  box.hwnd = s.found;
  box.wide_caption = WindowText(s.found);
  box.owner = GetWindow(s.found, GW_OWNER);
  EnumChildWindows(s.found, ReadControl, reinterpret_cast<LPARAM>(&box));
  box.caption = GbkFromWide(box.wide_caption);
  box.text = GbkFromWide(box.wide_text);
  if (press) {
    HWND button = GetDlgItem(s.found, press);
    PostMessageW(s.found, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }
  return box;
}

int CountBoxes(DWORD pid) {
  BoxSearch s{nullptr, pid, nullptr, 0};
  EnumWindows(FindBox, reinterpret_cast<LPARAM>(&s));
  return s.count;
}

TempDir::TempDir() {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  static LONG counter = 0;
  for (int i = 0; i < 1000; ++i) {
    wchar_t name[MAX_PATH];
    _snwprintf(name, MAX_PATH, L"%lsbvtest-%lu-%ld", base, GetCurrentProcessId(), InterlockedIncrement(&counter));
    name[MAX_PATH - 1] = L'\0';
    if (CreateDirectoryW(name, nullptr)) {
      path_ = GbkFromWide(name);
      return;
    }
  }
}

static void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = dir + L"\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full);
      } else {
        SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(full.c_str());
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(dir.c_str());
}

TempDir::~TempDir() {
  if (!path_.empty()) RemoveTree(WideFromGbk(path_));
}

std::string ReadWholeFile(const std::string& path, bool* ok) {
  std::string out;
  FILE* f = _wfopen(WideFromGbk(path).c_str(), L"rb");
  if (ok) *ok = f != nullptr;
  if (!f) return out;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  return WriteWholeFile(WideFromGbk(path), bytes);
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool AppendToFile(const std::wstring& path, const std::string& bytes) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                      written == bytes.size();
      CloseHandle(f);
      return ok;
    }
    Sleep(100);
  }
  return false;
}

int RedirectImportEntries(const void* from, const void* to) {
  int changed = 0;
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
    for (auto* entry = reinterpret_cast<ULONG_PTR*>(base + d->FirstThunk); *entry; ++entry) {
      if (*entry != reinterpret_cast<ULONG_PTR>(from)) continue;
      DWORD old;
      VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &old);
      *entry = reinterpret_cast<ULONG_PTR>(to);
      VirtualProtect(entry, sizeof *entry, old, &old);
      ++changed;
    }
  }
  return changed;
}

std::wstring OwnFolder() {
  const std::wstring self = SelfPath();
  const std::wstring::size_type slash = self.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : self.substr(0, slash + 1);
}

std::string HexPacked(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::wstring WideFromGbk(const std::string& gbk) {
  if (gbk.empty()) return L"";
  const int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), w.data(), n);
  return w;
}

static std::string FromWide(UINT code_page, const std::wstring& w) {
  if (w.empty()) return "";
  const int n = WideCharToMultiByte(code_page, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string GbkFromWide(const std::wstring& wide) { return FromWide(936, wide); }
std::string Utf8FromWide(const std::wstring& wide) { return FromWide(CP_UTF8, wide); }

std::string Utf8Shown(const std::wstring& wide) {
  std::string shown;
  for (char c : Utf8FromWide(wide)) {
    if (c == '\r') shown += "\\r";
    else if (c == '\n') shown += "\\n";
    else if (c == '\t') shown += "\\t";
    else shown += c;
  }
  return shown;
}

std::vector<std::wstring> WideArgs() {
  std::vector<std::wstring> args;
  int n = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &n);
  if (!argv) return args;
  for (int i = 0; i < n; ++i) args.emplace_back(argv[i]);
  LocalFree(argv);
  return args;
}

}  // namespace bvtest

// Runs a child scenario when asked to, the tests otherwise. main() lives in a
// file of its own (win_test_main.cpp) so that helper programs can use this
// support with a main of their own.
int bvtest::RunTestProgram(int argc, char** argv) {
  // The scenario's arguments come from the wide command line: argv holds them
  // in the ANSI code page, which may not spell a GBK path.
  const std::vector<std::wstring> args = bvtest::WideArgs();
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i].rfind(L"--child=", 0) == 0) {
      for (std::size_t j = i + 1; j < args.size(); ++j) bvtest::g_child_args.push_back(bvtest::GbkFromWide(args[j]));
      const std::string name = bvtest::GbkFromWide(args[i].substr(8));
      auto it = bvtest::Children().find(name);
      if (it == bvtest::Children().end()) {
        std::fprintf(stderr, "no child scenario %s\n", name.c_str());
        return 97;
      }
      return it->second();
    }
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
