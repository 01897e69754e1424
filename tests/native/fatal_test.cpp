// The fatal report when even the report's own memory cannot be had: this
// program replaces operator new so that a test can make every later request
// fail, as a process whose heap is exhausted sees it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "runtime/fatal.h"

namespace {
bool g_new_fails = false;
}

void* operator new(std::size_t size) {
  if (g_new_fails) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// free() matches the malloc() above; GCC in Release pairs it with the library's
// operator new instead and calls it a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace bv {
namespace {

[[noreturn]] void FatalWithoutHeap(const char* message, std::int32_t code) {
  g_new_fails = true;
  FatalRuntimeError(message, code);
}

TEST(FatalReportWithoutHeapDeathTest, StillShowsCodeAndMessageAndEndsWithMinusOne) {
  EXPECT_EXIT(FatalWithoutHeap("heap gone", 7), testing::ExitedWithCode(255), "7\r\n\r\n.*heap gone\r\n");
  EXPECT_EXIT(FatalWithoutHeap("heap gone", 0), testing::ExitedWithCode(255), "heap gone\r\n");
}

TEST(FatalReportWithoutHeapDeathTest, ALongMessageIsCutToTheFixedBuffer) {
  static const std::string long_message = std::string(5000, 'x') + "tail";  // built before new fails
  EXPECT_EXIT(FatalWithoutHeap(long_message.c_str(), 0), testing::ExitedWithCode(255), "xxxxxxxx");
}

}  // namespace
}  // namespace bv
