// Answers a message box from outside the program that shows it, as a user
// would, for end-to-end tests that drive the real program.
//   box_answer.exe CAPTION PRESS TIMEOUT_MS OUTFILE
// CAPTION: the box's caption ("*" for any), compared in wide characters with
// what the box holds; give it in UTF-8 on the Linux side, whatever the locale.
// PRESS: the control ID of the button to press (1 IDOK, 2 IDCANCEL, 6 IDYES,
// 7 IDNO; 0 leaves the box open). Waits up to TIMEOUT_MS for the box.
// OUTFILE gets "key=value" lines (CR LF):
//   found=0|1
//   caption_utf8=, text_utf8= the box's texts as read in wide characters, in
//                             UTF-8, CR and LF shown as \r \n
//   caption_hex=, text_hex=   the GBK form of the same (code page 936) in hex
//   buttons=1,2               control IDs of the box's buttons in tab order
//   icon=0|1 owner=0|1 pid=N  whether it shows an icon, has an owner window, its process
// Exit code 0 when a box was found, 1 when none came, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/win/support/win_test.h"

int main() {
  const std::vector<std::wstring> args = bvtest::WideArgs();
  if (args.size() != 5) {
    std::fprintf(stderr, "usage: box_answer.exe CAPTION PRESS TIMEOUT_MS OUTFILE\n");
    return 2;
  }
  const wchar_t* caption = args[1] == L"*" ? nullptr : args[1].c_str();
  int press = static_cast<int>(std::wcstol(args[2].c_str(), nullptr, 10));
  DWORD timeout = static_cast<DWORD>(std::wcstoul(args[3].c_str(), nullptr, 10));
  bvtest::SeenBox box = bvtest::AnswerBox(caption, 0, press, timeout);

  std::string out = std::string("found=") + (box.found ? "1" : "0") + "\r\n";
  if (box.found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(box.hwnd, &pid);
    std::string buttons;
    // Appended piece by piece: a literal + a temporary string makes GCC 12 in
    // Release report overlapping copies inside the string that cannot happen.
    for (int id : box.buttons) {
      if (!buttons.empty()) buttons += ',';
      buttons += std::to_string(id);
    }
    out += "caption_hex=" + bvtest::HexPacked(box.caption) + "\r\n";
    out += "text_hex=" + bvtest::HexPacked(box.text) + "\r\n";
    out += "caption_utf8=" + bvtest::Utf8Shown(box.wide_caption) + "\r\n";
    out += "text_utf8=" + bvtest::Utf8Shown(box.wide_text) + "\r\n";
    out += "buttons=" + buttons + "\r\n";
    out += std::string("icon=") + (box.has_icon ? "1" : "0") + "\r\n";
    out += std::string("owner=") + (box.owner ? "1" : "0") + "\r\n";
    out += "pid=" + std::to_string(pid) + "\r\n";
  }
  if (!bvtest::WriteWholeFile(args[4], out)) return 2;
  return box.found ? 0 : 1;
}
