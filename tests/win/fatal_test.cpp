// The fatal runtime error report as a user sees it: one box captioned "错误",
// the report text byte for byte, then exit code -1 without the end callback.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/fatal.h"
#include "runtime/platform.h"
#include "runtime/program.h"
#include "runtime/value.h"
#include "tests/win/support/win_test.h"

namespace {

const char kMarkerEnv[] = "BVTEST_END_CALLBACK_MARKER";

void EndCallbackWritesMarker() {
  char path[MAX_PATH];
  if (GetEnvironmentVariableA(kMarkerEnv, path, MAX_PATH)) bvtest::WriteWholeFile(path, "ran");
}

BVTEST_CHILD(alloc_fail) {
  bv::SetEndCallback(EndCallbackWritesMarker);
  void* p = bv::Allocate(-5);  // no heap can give this
  bv::platform::ExitProcessNow(p ? 3 : 4);  // never reached
}

BVTEST_CHILD(fatal_with_code) {
  bv::FatalRuntimeError("x", 42);
}

BVTEST_CHILD(fatal_empty) {
  bv::FatalRuntimeError("", 0);
}

BVTEST_CHILD(fatal_unit_missing) {
  bv::FatalRuntimeError("指定窗口尚未载入", 0);
}

// A block grown far past its place moves and keeps its bytes; exit code 0.
BVTEST_CHILD(grow_block) {
  auto* p = static_cast<char*>(bv::Allocate(16));
  std::memcpy(p, "fifteen bytes..", 16);
  void* after = bv::Allocate(16);  // so that the block cannot grow where it is
  p = static_cast<char*>(bv::Reallocate(p, 1 << 20));
  const int code = std::memcmp(p, "fifteen bytes..", 16);
  bv::Release(p);
  bv::Release(after);
  return code;
}

std::string Heading() { return "运行时出错!\r\n\r\n"; }

TEST(FatalReport, AllocationFailureShowsOneBoxAndEndsWithMinusOne) {
  bvtest::TempDir dir;
  std::string marker = dir.File("end-callback-ran");
  SetEnvironmentVariableA(kMarkerEnv, marker.c_str());
  bvtest::SeenBox box;
  int boxes = 0;
  EXPECT_EQ(bvtest::RunChild("alloc_fail", "", [&](DWORD pid) {
    box = bvtest::AnswerBox("错误", pid, 0);
    boxes = bvtest::CountBoxes(pid);
    bvtest::AnswerBox("错误", pid, IDOK, 2000);
  }), -1);
  ASSERT_TRUE(box.found) << "no box captioned 错误 appeared";
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(box.text, Heading() + "错误信息：分配 -5 字节内存失败!\r\n");
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  EXPECT_TRUE(box.has_icon);
  EXPECT_EQ(box.owner, nullptr);
  bool ran = true;
  bvtest::ReadWholeFile(marker, &ran);
  EXPECT_FALSE(ran) << "the end callback must not run after a fatal error";
  SetEnvironmentVariableA(kMarkerEnv, nullptr);
}

TEST(FatalReport, NoneForABlockThatGrowsElsewhere) {
  EXPECT_EQ(bvtest::RunChild("grow_block"), 0) << "-2: it did not end, a report being up";
}

// The text of a box ends in "\r\n"; Wine's static control keeps it, as Windows does.
TEST(FatalReport, CodeLineOnlyForANonZeroCode) {
  const std::pair<const char*, const char*> cases[] = {{"fatal_with_code", "错误代码：42\r\n\r\n错误信息：x\r\n"},
                                                      {"fatal_empty", ""}};
  for (const auto& [scenario, text] : cases) {
    bvtest::SeenBox box;
    EXPECT_EQ(bvtest::RunChildAnswering(scenario, "", "错误", IDOK, &box), -1) << scenario;
    EXPECT_EQ(box.text, Heading() + text) << scenario;
  }
}

// Whatever the system code page, the report reads the same in wide
// characters, as a user, a screen reader or any other program sees it.
TEST(FatalReport, ReadsBackInWideCharacters) {
  bvtest::SeenBox box;
  EXPECT_EQ(bvtest::RunChildAnswering("fatal_unit_missing", "", "错误", IDOK, &box), -1);
  EXPECT_EQ(box.wide_caption, L"\u9519\u8BEF");
  EXPECT_EQ(bvtest::WideFromGbk(box.text),
            L"\u8FD0\u884C\u65F6\u51FA\u9519!\r\n\r\n\u9519\u8BEF\u4FE1\u606F\uFF1A"
            L"\u6307\u5B9A\u7A97\u53E3\u5C1A\u672A\u8F7D\u5165\r\n");
}

}  // namespace
