#include <cstdio>
#include <cstdlib>

#include "runtime/platform.h"

namespace bv::platform {

void* HeapGet(std::size_t size) { return std::malloc(size ? size : 1); }
void* HeapResize(void* block, std::size_t size) { return std::realloc(block, size ? size : 1); }
void HeapPut(void* block) { std::free(block); }

void ShowFatalReport(const char* text, const char* caption) {
  std::fprintf(stderr, "[%s]\n%s", caption, text);
  std::fflush(stderr);
}

void ExitProcessNow(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

}  // namespace bv::platform
