// The program's end before the frame installs its own sequence, and the
// libraries told of it. Each end runs in a child whose exit code and output
// say what happened, in order.
#include <gtest/gtest.h>

#include <cstdio>

#include "runtime/library.h"
#include "runtime/program.h"

namespace bv {
namespace {

std::intptr_t Told(std::int32_t code, std::intptr_t arg) {
  std::fprintf(stderr, "told %d %d;", static_cast<int>(code), static_cast<int>(arg));
  return 0;
}
const LibraryInfo kListening{Told};
const LibraryInfo kDeaf{nullptr};

TEST(Libraries, NumbersOutsideTheTableNameNone) {
  for (int n : {-1, int{kLibraryCount}}) {
    SetLibrary(n, &kDeaf);
    EXPECT_EQ(GetLibrary(n), nullptr) << n;
  }
  for (int n : {0, kLibraryCount - 1}) {
    SetLibrary(n, &kDeaf);
    EXPECT_EQ(GetLibrary(n), &kDeaf) << n;
    SetLibrary(n, nullptr);
  }
}

TEST(ProgramEndDeathTest, RunsTheEndCallbackOnceWithEventsBlockedThenTellsEveryListeningLibrary) {
  EXPECT_EXIT(
      {
        SetLibrary(0, &kListening);
        SetLibrary(2, &kDeaf);
        SetLibrary(kLibraryCount - 1, &kListening);
        SetEndCallback([] {
          std::fprintf(stderr, "callback blocked=%d;", EventsBlocked() ? 1 : 0);
          EndProgram(4);  // the callback itself ending the program runs it no second time
        });
        EndProgram(3);
      },
      testing::ExitedWithCode(4), "^callback blocked=1;told 6 0;told 6 0;$");
}

TEST(ProgramEndDeathTest, AnInstalledSequenceReplacesTheDefaultOne) {
  EXPECT_EXIT(
      {
        SetEndCallback([] { std::fputs("callback;", stderr); });
        SetEndSequence([](int code) { std::fprintf(stderr, "sequence %d;", code); });
        EndProgram(3);
      },
      testing::ExitedWithCode(3), "^sequence 3;$");
}

}  // namespace
}  // namespace bv
