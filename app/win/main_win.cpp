#include <windows.h>

#include "app/tool.h"
#include "ui/frame.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return bv::RunProgram(bv::tool::Definition(), bv::tool::Entry);
}
