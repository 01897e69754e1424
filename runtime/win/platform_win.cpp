#include <windows.h>

#include "runtime/platform.h"
#include "runtime/win/wide_text.h"

namespace bv::platform {

void* HeapGet(std::size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }
void* HeapResize(void* block, std::size_t size) { return HeapReAlloc(GetProcessHeap(), 0, block, size); }
void HeapPut(void* block) { HeapFree(GetProcessHeap(), 0, block); }

void ShowFatalReport(const char* text, const char* caption) {
  // The heap may be what failed: the wide texts live in fixed buffers.
  wide::MessageBoxGbkFixed(nullptr, text, caption, MB_ICONERROR | MB_OK);
}

void ExitProcessNow(int code) { ExitProcess(static_cast<UINT>(code)); }

}  // namespace bv::platform
