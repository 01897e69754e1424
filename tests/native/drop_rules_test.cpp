// The drop target's platform-independent rules: the effect table, the stored
// data block and the shape of the files text.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/value.h"
#include "ui/drop_rules.h"

namespace {

using bv::ChooseDropEffect;
constexpr std::uint32_t kNone = bv::kDropEffectNone, kCopy = bv::kDropEffectCopy,
                        kMove = bv::kDropEffectMove, kLink = bv::kDropEffectLink;
constexpr std::uint32_t kShift = bv::kDropKeyShift, kCtrl = bv::kDropKeyControl;
constexpr std::uint32_t kAll = kCopy | kMove | kLink;

TEST(DropEffect, NotAcceptingGivesNoneWhateverIsAllowed) {
  for (std::uint32_t keys : {0u, kShift, kCtrl, kShift | kCtrl})
    EXPECT_EQ(ChooseDropEffect(false, keys, kAll), kNone) << "keys " << keys;
}

TEST(DropEffect, NoKeysPrefersCopyThenMoveThenLink) {
  EXPECT_EQ(ChooseDropEffect(true, 0, kAll), kCopy);
  EXPECT_EQ(ChooseDropEffect(true, 0, kMove | kLink), kMove);
  EXPECT_EQ(ChooseDropEffect(true, 0, kLink), kLink);
  EXPECT_EQ(ChooseDropEffect(true, 0, 0), kNone);
}

TEST(DropEffect, ShiftAsksForMoveOnly) {
  EXPECT_EQ(ChooseDropEffect(true, kShift, kAll), kMove);
  EXPECT_EQ(ChooseDropEffect(true, kShift, kCopy | kLink), kNone);
}

TEST(DropEffect, CtrlAsksForCopyOnly) {
  EXPECT_EQ(ChooseDropEffect(true, kCtrl, kAll), kCopy);
  EXPECT_EQ(ChooseDropEffect(true, kCtrl, kMove | kLink), kNone);
}

TEST(DropEffect, CtrlAndShiftRefuseTheLink) {
  EXPECT_EQ(ChooseDropEffect(true, kShift | kCtrl, kAll), kNone);
  EXPECT_EQ(ChooseDropEffect(true, kShift | kCtrl, kLink), kNone);
}

TEST(DropEffect, OtherKeysAndUnknownEffectBitsAreIgnored) {
  const std::uint32_t mouse_button = 0x1, alt = 0x20;
  EXPECT_EQ(ChooseDropEffect(true, mouse_button | alt, kMove), kMove);
  EXPECT_EQ(ChooseDropEffect(true, 0, 0x80000000u | kLink), kLink);
}

std::vector<std::uint8_t> Block(std::int32_t version, std::int32_t t, std::int32_t h, std::int32_t u,
                                std::int32_t f) {
  std::int32_t w[5] = {version, t, h, u, f};
  std::vector<std::uint8_t> b(sizeof w);
  std::memcpy(b.data(), w, sizeof w);
  return b;
}

TEST(DropTargetData, FilesOnlyBlockOfTheMainWindow) {
  auto b = Block(1, 0, 0, 0, 1);
  bool a[4] = {true, true, true, false};
  ASSERT_TRUE(bv::ReadDropTargetData(b.data(), 20, a));
  EXPECT_FALSE(a[bv::kDropText]);
  EXPECT_FALSE(a[bv::kDropHtml]);
  EXPECT_FALSE(a[bv::kDropUrl]);
  EXPECT_TRUE(a[bv::kDropFiles]);
}

TEST(DropTargetData, VersionZeroAndAnyNonZeroFlagAreTrue) {
  auto b = Block(0, -1, 2, 0x10000, 0);
  bool a[4] = {};
  ASSERT_TRUE(bv::ReadDropTargetData(b.data(), 20, a));
  EXPECT_TRUE(a[0] && a[1] && a[2]);
  EXPECT_FALSE(a[3]);
}

TEST(DropTargetData, NoBlockGivesFourFalseFlags) {
  bool a[4] = {true, true, true, true};
  ASSERT_TRUE(bv::ReadDropTargetData(nullptr, 0, a));
  for (bool f : a) EXPECT_FALSE(f);
}

TEST(DropTargetData, LaterVersionShortOrMissingBlockIsRefused) {
  bool a[4] = {true, false, true, false};
  auto v2 = Block(2, 1, 1, 1, 1);
  EXPECT_FALSE(bv::ReadDropTargetData(v2.data(), 20, a));
  auto neg = Block(-1, 1, 1, 1, 1);
  EXPECT_FALSE(bv::ReadDropTargetData(neg.data(), 20, a));
  auto ok = Block(1, 1, 1, 1, 1);
  EXPECT_FALSE(bv::ReadDropTargetData(ok.data(), 12, a));
  EXPECT_FALSE(bv::ReadDropTargetData(ok.data(), 19, a));
  EXPECT_FALSE(bv::ReadDropTargetData(nullptr, 20, a));
  // A refused block changes nothing.
  EXPECT_TRUE(a[0] && !a[1] && a[2] && !a[3]);
}

TEST(DropTargetData, LongerBlockReadsItsFirstTwentyBytes) {
  auto b = Block(1, 1, 0, 0, 0);
  b.resize(32, 0xFF);
  bool a[4] = {};
  ASSERT_TRUE(bv::ReadDropTargetData(b.data(), 32, a));
  EXPECT_TRUE(a[0]);
  EXPECT_FALSE(a[3]);
}

TEST(DroppedText, LengthStopsAtNulOrAtTheBlockEnd) {
  EXPECT_EQ(bv::BoundedTextLength("ab\0cd", 5), 2u);
  EXPECT_EQ(bv::BoundedTextLength("abcd", 3), 3u) << "an unterminated block must not be read past";
  EXPECT_EQ(bv::BoundedTextLength("", 1), 0u);
  EXPECT_EQ(bv::BoundedTextLength(nullptr, 10), 0u);
}

// A file list block: the 20-byte header (list offset, point, the non-client
// flag and the wide flag word), then `list` as given, in a block of exactly
// its size so that ASan sees any read past it. The count of paths, or -1.
std::int64_t Count(std::uint32_t offset, std::int32_t wide, const std::string& list) {
  const std::size_t size = 20 + list.size();
  auto b = std::make_unique<std::uint8_t[]>(size);
  const std::int32_t header[5] = {static_cast<std::int32_t>(offset), 0, 0, 0, wide};
  std::memcpy(b.get(), header, 20);
  std::memcpy(b.get() + 20, list.data(), list.size());
  return bv::FileListCount(b.get(), size);
}

TEST(DroppedFileList, CountIsThePathsBeforeTheEmptyOneOfAListInsideItsBlock) {
  const struct {
    std::uint32_t offset;
    std::int32_t wide;
    std::string list;
    std::int64_t count;
    const char* what;
  } kCases[] = {
      {20, 0, {"C:\\a\0D:\\b\0\0", 11}, 2, "two paths"},
      {20, 0, {"\0", 1}, 0, "no paths"},
      {24, 0, {"xxxxC:\\a\0\0", 10}, 1, "list further in"},
      {20, 1, {"C\0:\0\\\0a\0\0\0\0\0", 12}, 1, "wide"},
      {20, 1, {"\0Na\0\0\0\0\0", 8}, 1, "wide, starting with a character whose low byte is 0 (U+4E00)"},
      {20, 0x01000000, {"a\0b\0\0\0\0\0", 8}, 1, "any non-zero wide flag word"},
      {0, 0, "", 0, "a block of just its header"},
      {20, 0, "C:\\a", -1, "last path never ends"},
      {20, 0, {"C:\\a\0", 5}, -1, "no empty path to end the list"},
      {20, 1, {"C\0:\0\0\0", 6}, -1, "wide list without its end"},
      {20, 1, {"C\0\0", 3}, -1, "half a wide character"},
      {0x7FFFFFF0, 0, {"C:\\a\0\0", 6}, -1, "offset past the block"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Count(c.offset, c.wide, c.list), c.count) << c.what;
  EXPECT_EQ(bv::FileListCount("short", 5), -1);
  EXPECT_EQ(bv::FileListCount(nullptr, 100), -1);
}

TEST(DroppedText, WideLengthStopsAtANulCharacterOrAtTheLastWholeOne) {
  EXPECT_EQ(bv::BoundedWideTextLength("a\0b\0\0\0c\0", 8), 2u);
  EXPECT_EQ(bv::BoundedWideTextLength("\0a\0\0", 4), 1u) << "a zero byte inside a character does not end it";
  EXPECT_EQ(bv::BoundedWideTextLength("a\0b\0c", 5), 2u) << "half a character at the end is not read";
  EXPECT_EQ(bv::BoundedWideTextLength("a\0b\0", 4), 2u) << "the last character of an unterminated block";
  EXPECT_EQ(bv::BoundedWideTextLength("a\0\0N\0\0", 6), 2u) << "U+4E00 has a low byte of 0";
  EXPECT_EQ(bv::BoundedWideTextLength("a", 1), 0u);
  EXPECT_EQ(bv::BoundedWideTextLength(nullptr, 10), 0u);
}

TEST(DroppedText, OnePathHasNoLineEnd) {
  EXPECT_EQ(bv::JoinDroppedPaths({"C:\\a\\live_game.bat"}), "C:\\a\\live_game.bat");
}

TEST(DroppedText, SeveralPathsEachEndInCrLf) {
  EXPECT_EQ(bv::JoinDroppedPaths({"C:\\x", "D:\\y z", "E:\\\xD6\xD0"}),
            "C:\\x\r\nD:\\y z\r\nE:\\\xD6\xD0\r\n");
  EXPECT_EQ(bv::JoinDroppedPaths({"", ""}), "\r\n\r\n");
}

TEST(DroppedText, NoPathsIsEmpty) { EXPECT_EQ(bv::JoinDroppedPaths({}), ""); }

TEST(DroppedText, EventTextIsAnOwnTerminatedBlockEvenWhenEmpty) {
  char* t = bv::NewEventText("a\0b", 3);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::string(t, 4), std::string("a\0b\0", 4));
  bv::Release(t);
  char* e = bv::NewEventText(nullptr, 0);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e[0], '\0');
  EXPECT_FALSE(bv::IsConstant(e));
  bv::Release(e);
}

}  // namespace
