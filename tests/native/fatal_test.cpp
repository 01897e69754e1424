// The fatal report: its text, the fixed buffer it falls back on when even the
// report's own memory cannot be had, and the end it makes. This program
// replaces operator new so that a test can make every later request fail, as
// a process whose heap is exhausted sees it.
#include "runtime/fatal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "runtime/program.h"
#include "runtime/texts.h"

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

std::string Report(const char* message, std::int32_t code) {
  std::string s(FatalReportText(nullptr, 0, message, code), '\0');
  FatalReportText(s.data(), s.size() + 1, message, code);
  return s;
}

TEST(FatalReport, HeadingThenTheCodeLineOnlyForNonZeroThenTheMessageLineOnlyWhenGiven) {
  const std::string heading = texts::kFatalHeading, code = texts::kFatalCodeLabel, message = texts::kFatalMessageLabel;
  EXPECT_EQ(Report("m", 0), heading + message + "m\r\n");
  EXPECT_EQ(Report("", 0), heading);
  EXPECT_EQ(Report(nullptr, -7), heading + code + "-7\r\n\r\n");
  EXPECT_EQ(Report("m", 42), heading + code + "42\r\n\r\n" + message + "m\r\n");
}

// Every size from none to more than enough: the start of the whole text,
// terminated, and not a byte written past the buffer.
TEST(FatalReport, TextCutToAFixedBufferIsItsStartAndStaysInside) {
  const std::string whole = Report("message", 42);
  for (std::size_t size = 0; size <= whole.size() + 2; ++size) {
    std::string buffer(size + 8, '#');
    EXPECT_EQ(FatalReportText(buffer.data(), size, "message", 42), whole.size());
    if (size > 0) {
      EXPECT_EQ(std::string(buffer.c_str()), whole.substr(0, size - 1)) << size;
    }
    EXPECT_EQ(buffer.substr(size), std::string(8, '#')) << size;
  }
}

[[noreturn]] void FatalWithoutHeap(const char* message, std::int32_t code) {
  g_new_fails = true;
  FatalRuntimeError(message, code);
}

TEST(FatalReportDeathTest, WithoutHeapStillShowsTheCodeAndTheMessagesStartAndEndsWithMinusOne) {
  static const std::string long_message = std::string(5000, 'x') + "tail";  // built before new fails
  EXPECT_EXIT(FatalWithoutHeap(long_message.c_str(), 7), testing::ExitedWithCode(255), "7\r\n\r\n.*xxxxxxxx");
}

// Events are blocked before the box shows; the end goes through the program's
// end sequence with -1, and the logic's end callback is forgotten first.
TEST(FatalReportDeathTest, BlocksEventsAndEndsWithoutTheEndCallback) {
  EXPECT_EXIT(
      {
        SetEndCallback([] { std::fputs("callback;", stderr); });
        SetEndSequence([](int code) {
          std::fprintf(stderr, "sequence %d blocked=%d;", code, EventsBlocked() ? 1 : 0);
          RunEndCallbackAndNotify();
        });
        FatalRuntimeError("m", 0);
      },
      testing::ExitedWithCode(255), "!\r\n\r\n[^\r\n]*m\r\nsequence -1 blocked=1;$");
}

}  // namespace
}  // namespace bv
