// Answers a message box from outside the program that shows it, as a user
// would, for end-to-end tests that drive the real program.
//   box_answer.exe CAPTION PRESS TIMEOUT_MS OUTFILE
// CAPTION: the box's caption ("*" for any); arguments reach the program in the
// ANSI code page, so a UTF-8 caption on the Linux side becomes GBK here.
// PRESS: the control ID of the button to press (1 IDOK, 2 IDCANCEL, 6 IDYES,
// 7 IDNO; 0 leaves the box open). Waits up to TIMEOUT_MS for the box.
// OUTFILE gets "key=value" lines (CR LF):
//   found=0|1
//   caption_hex=, text_hex=   the raw GBK bytes in hex
//   caption_utf8=, text_utf8= the same converted to UTF-8, CR and LF shown as \r \n
//   buttons=1,2               control IDs of the box's buttons in tab order
//   icon=0|1 owner=0|1 pid=N  whether it shows an icon, has an owner window, its process
// Exit code 0 when a box was found, 1 when none came, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/win/support/win_test.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: box_answer.exe CAPTION PRESS TIMEOUT_MS OUTFILE\n");
    return 2;
  }
  const char* caption = std::strcmp(argv[1], "*") == 0 ? nullptr : argv[1];
  int press = std::atoi(argv[2]);
  DWORD timeout = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10));
  bvtest::SeenBox box = bvtest::AnswerBox(caption, 0, press, timeout);

  std::string out = std::string("found=") + (box.found ? "1" : "0") + "\r\n";
  if (box.found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(box.hwnd, &pid);
    std::string buttons;
    for (int id : box.buttons) buttons += (buttons.empty() ? "" : ",") + std::to_string(id);
    out += "caption_hex=" + bvtest::HexPacked(box.caption) + "\r\n";
    out += "text_hex=" + bvtest::HexPacked(box.text) + "\r\n";
    out += "caption_utf8=" + bvtest::GbkToUtf8Shown(box.caption) + "\r\n";
    out += "text_utf8=" + bvtest::GbkToUtf8Shown(box.text) + "\r\n";
    out += "buttons=" + buttons + "\r\n";
    out += std::string("icon=") + (box.has_icon ? "1" : "0") + "\r\n";
    out += std::string("owner=") + (box.owner ? "1" : "0") + "\r\n";
    out += "pid=" + std::to_string(pid) + "\r\n";
  }
  if (!bvtest::WriteWholeFile(argv[4], out)) return 2;
  return box.found ? 0 : 1;
}
