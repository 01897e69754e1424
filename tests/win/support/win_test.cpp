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

std::string SelfPath() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
}

struct BoxSearch {
  const char* caption;
  DWORD pid;
  HWND found;
  int count;
};

bool IsMessageBox(HWND h) {
  char cls[64];
  return GetClassNameA(h, cls, sizeof cls) && std::strcmp(cls, "#32770") == 0 && IsWindowVisible(h);
}

std::string WindowText(HWND h) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
  const int n = GetWindowTextW(h, text.data(), static_cast<int>(text.size()));
  return GbkFromWide(std::wstring(text.data(), n > 0 ? n : 0));
}

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
  char cls[64];
  GetClassNameA(h, cls, sizeof cls);
  if (_stricmp(cls, "Button") == 0) {
    if (IsWindowVisible(h)) box->buttons.push_back(GetDlgCtrlID(h));
  } else if (_stricmp(cls, "Static") == 0) {
    LONG style = GetWindowLongA(h, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON) {
      if (IsWindowVisible(h) && SendMessageA(h, STM_GETICON, 0, 0)) box->has_icon = true;
    } else {
      std::string text = WindowText(h);
      if (!text.empty()) box->text = text;
    }
  }
  return TRUE;
}

}  // namespace

std::wstring WideFromGbk(const std::string& gbk) {
  if (gbk.empty()) return L"";
  const int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), w.data(), n);
  return w;
}

std::string GbkFromWide(const std::wstring& wide) {
  if (wide.empty()) return "";
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(936, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(936, 0, wide.data(), size, s.data(), n, nullptr, nullptr);
  return s;
}

ChildRegistrar::ChildRegistrar(const char* name, ChildFn fn) { Children()[name] = fn; }

const std::vector<std::string>& ChildArgs() { return g_child_args; }

Child StartChild(const char* name, const std::string& extra) {
  std::string cmd = "\"" + SelfPath() + "\" --child=" + name;
  if (!extra.empty()) cmd += " " + extra;
  std::wstring wide_cmd = WideFromGbk(cmd);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  Child c;
  if (CreateProcessW(nullptr, wide_cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    c.process = pi.hProcess;
    c.pid = pi.dwProcessId;
  }
  return c;
}

long WaitChild(Child& child, DWORD timeout_ms) {
  if (!child.process) return -3;
  long code = -2;
  if (WaitForSingleObject(child.process, timeout_ms) == WAIT_OBJECT_0) {
    DWORD c = 0;
    GetExitCodeProcess(child.process, &c);
    code = static_cast<long>(c);
  } else {
    TerminateProcess(child.process, 99);
  }
  CloseHandle(child.process);
  child.process = nullptr;
  return code;
}

SeenBox AnswerBox(const char* caption, DWORD pid, int press, DWORD timeout_ms) {
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
  box.caption = WindowText(s.found);
  box.owner = GetWindow(s.found, GW_OWNER);
  EnumChildWindows(s.found, ReadControl, reinterpret_cast<LPARAM>(&box));
  if (press) {
    HWND button = GetDlgItem(s.found, press);
    PostMessageA(s.found, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }
  return box;
}

int CountBoxes(DWORD pid) {
  BoxSearch s{nullptr, pid, nullptr, 0};
  EnumWindows(FindBox, reinterpret_cast<LPARAM>(&s));
  return s.count;
}

TempDir::TempDir() {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  static LONG counter = 0;
  for (int i = 0; i < 1000; ++i) {
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%sbvtest-%lu-%ld", base, GetCurrentProcessId(), InterlockedIncrement(&counter));
    if (CreateDirectoryA(name, nullptr)) {
      path_ = name;
      return;
    }
  }
}

// Wide throughout: names a test made may have no form in the system code page.
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
  FILE* f = _wfopen(WideFromGbk(path).c_str(), L"wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char b[4];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, "%02x ", c);
    out += b;
  }
  if (!out.empty()) out.pop_back();
  return out;
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

std::string GbkToUtf8Shown(const std::string& gbk) {
  if (gbk.empty()) return "";
  const int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), w.data(), n);
  const int m = WideCharToMultiByte(CP_UTF8, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(m), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), n, utf8.data(), m, nullptr, nullptr);
  std::string shown;
  for (char c : utf8) {
    if (c == '\r') shown += "\\r";
    else if (c == '\n') shown += "\\n";
    else if (c == '\t') shown += "\\t";
    else shown += c;
  }
  return shown;
}

}  // namespace bvtest

// Runs a child scenario when asked to, the tests otherwise. main() lives in a
// file of its own (win_test_main.cpp) so that helper programs can use this
// support with a main of their own.
int bvtest::RunTestProgram(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--child=", 8) == 0) {
      // The scenario's arguments from the wide command line: its ANSI form
      // loses every character the system code page lacks.
      int wide_argc = 0;
      wchar_t** wide_argv = CommandLineToArgvW(GetCommandLineW(), &wide_argc);
      for (int j = i + 1; j < argc; ++j)
        bvtest::g_child_args.push_back(wide_argv && wide_argc == argc ? bvtest::GbkFromWide(wide_argv[j]) : argv[j]);
      LocalFree(wide_argv);
      auto it = bvtest::Children().find(argv[i] + 8);
      if (it == bvtest::Children().end()) {
        std::fprintf(stderr, "no child scenario %s\n", argv[i] + 8);
        return 97;
      }
      return it->second();
    }
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
