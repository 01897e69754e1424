#include <cstdio>
#include <cstdlib>

#include "runtime/platform.h"
#include "runtime/posix/heap_seam.h"

namespace bv::platform {

namespace {
long g_successes_left = -1;
std::size_t g_largest = SIZE_MAX;
long g_live = 0;

bool Refused(std::size_t size) {
  if (size > g_largest) return true;
  if (g_successes_left < 0) return false;
  if (g_successes_left == 0) return true;
  --g_successes_left;
  return false;
}
}  // namespace

void* HeapGet(std::size_t size) {
  void* p = Refused(size) ? nullptr : std::malloc(size ? size : 1);
  if (p) ++g_live;
  return p;
}
void* HeapResize(void* block, std::size_t size) {
  if (Refused(size)) return nullptr;
  void* p = std::realloc(block, size ? size : 1);
  if (p && !block) ++g_live;
  return p;
}
void HeapPut(void* block) {
  if (block) --g_live;
  std::free(block);
}

void ShowFatalReport(const char* text, const char* caption) {
  std::fprintf(stderr, "[%s]\n%s", caption, text);
  std::fflush(stderr);
}

void ExitProcessNow(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

namespace seam {
void LimitHeap(long successes, std::size_t largest) {
  g_successes_left = successes < 0 ? -1 : successes;
  g_largest = largest;
}
long LiveHeapBlocks() { return g_live; }
}  // namespace seam

}  // namespace bv::platform
