// Reads a program's window from outside, as a screen reader would, for
// end-to-end tests: the child windows with their class, place and text.
//   window_texts.exe TITLE TIMEOUT_MS OUTFILE
// TITLE: the exact caption of a visible top-level window, compared in wide
// characters (pass UTF-8 on the Linux side, whatever the locale). Waits up to
// TIMEOUT_MS for it.
// OUTFILE gets CR LF lines:
//   found=0|1
//   window pid=N screen=L,T,R,B client_origin=X,Y text_hex=H text_utf8=U
//   child class=C visible=0|1 client=L,T,R,B screen=L,T,R,B text_hex=H text_utf8=U
// (one child line per descendant window, in enumeration order; client= is
// relative to the top-level window's client area, screen= absolute). Texts
// are read with WM_GETTEXT in wide characters: text_utf8 is that text in
// UTF-8 (CR, LF, tab shown as \r \n \t), text_hex its GBK form (code page 936).
// Exit code 0 when the window was found, 1 when not, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/win/support/win_test.h"

namespace {

// WM_GETTEXT is carried across processes by the system; a hung target must
// not hang the reader.
std::wstring TextOf(HWND h) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return L"";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           2000, &got))
    return L"";
  text.resize(got < text.size() ? got : text.size() - 1);
  return text;
}

std::string TextFields(HWND h) {
  const std::wstring text = TextOf(h);
  return " text_hex=" + bvtest::HexPacked(bvtest::GbkFromWide(text)) + " text_utf8=" + bvtest::Utf8Shown(text);
}

std::string RectText(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

struct Walk {
  HWND top;
  std::string out;
};

BOOL CALLBACK OnChild(HWND child, LPARAM param) {
  auto* walk = reinterpret_cast<Walk*>(param);
  wchar_t cls[128] = {};
  GetClassNameW(child, cls, 128);
  RECT screen{};
  GetWindowRect(child, &screen);
  RECT client = screen;
  MapWindowPoints(nullptr, walk->top, reinterpret_cast<POINT*>(&client), 2);
  walk->out += "child class=" + bvtest::Utf8FromWide(cls) + " visible=" + (IsWindowVisible(child) ? "1" : "0") +
               " client=" + RectText(client) + " screen=" + RectText(screen) + TextFields(child) + "\r\n";
  return TRUE;
}

HWND FindVisible(const wchar_t* title, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND h = FindWindowW(nullptr, title);
    if (h && IsWindowVisible(h)) return h;
    if (GetTickCount() - start >= timeout_ms) return nullptr;
    Sleep(100);
  }
}

}  // namespace

int main() {
  const std::vector<std::wstring> args = bvtest::WideArgs();
  if (args.size() != 4) {
    std::fprintf(stderr, "usage: window_texts.exe TITLE TIMEOUT_MS OUTFILE\n");
    return 2;
  }
  HWND top = FindVisible(args[1].c_str(), static_cast<DWORD>(std::wcstoul(args[2].c_str(), nullptr, 10)));
  Walk walk{top, std::string("found=") + (top ? "1" : "0") + "\r\n"};
  if (top) {
    DWORD pid = 0;
    GetWindowThreadProcessId(top, &pid);
    RECT screen{};
    GetWindowRect(top, &screen);
    POINT origin{0, 0};
    ClientToScreen(top, &origin);
    walk.out += "window pid=" + std::to_string(pid) + " screen=" + RectText(screen) +
                " client_origin=" + std::to_string(origin.x) + "," + std::to_string(origin.y) + TextFields(top) + "\r\n";
    EnumChildWindows(top, OnChild, reinterpret_cast<LPARAM>(&walk));
  }
  if (!bvtest::WriteWholeFile(args[3], walk.out)) return 2;
  return top ? 0 : 1;
}
