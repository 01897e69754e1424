// Cutting versions out of pages and commands out of spectate batches.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/text_between.h"
#include "runtime/value.h"
#include "tests/support/hex.h"

namespace bv {
namespace {

using bvtest::Hex;

// TextBetween as bytes, "(null)" for the empty text; checks that a non-empty
// result is the caller's own block, then releases it.
std::string Between(const std::string& source, const char* left, const char* right) {
  char* t = TextBetween(source.c_str(), left, right);
  if (!t) return "(null)";
  EXPECT_NE(*t, '\0') << "the empty result is null, not an allocated empty text";
  EXPECT_FALSE(IsConstant(t));
  std::string s(t);
  Release(t);
  return s;
}

const char kHomeLeft[] = "<div id=\"setNum\" data-num=\"";
const char kHomeRight[] = "\" data-link=";
const char kStatsLeft[] = "Korea - Version : ";
const char kStatsRight[] = "\n\t\t\t\t</div>\n";
const char kBatchLeft[] = "if exist \"League of Legends.exe\" (";
const char kBatchRight[] = "goto :eof";

TEST(TextBetween, HomePageVersionOnOneLine) {
  const std::string page =
      "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>\xD3\xA2\xD0\xDB\xC1\xAA\xC3\xCB</title></head>\n"
      "<body>\n<div class=\"top\">\xB9\xD9\xB7\xBD\xCD\xF8\xD5\xBE</div>\n"
      "\t<div id=\"setNum\" data-num=\"14.3.5\" data-link=\"//example.invalid/patch\"></div>\n"
      "</body></html>\n";
  EXPECT_EQ(Between(page, kHomeLeft, kHomeRight), "14.3.5");
}

TEST(TextBetween, HomePageWithTheAttributesSplitOverTwoLinesGivesEmpty) {
  const std::string page =
      "<body>\n\t<div id=\"setNum\" data-num=\"14.3.5\"\n\t\tdata-link=\"//example.invalid/patch\"></div>\n</body>\n";
  EXPECT_EQ(Between(page, kHomeLeft, kHomeRight), "(null)");
}

TEST(TextBetween, StatisticsPageVersion) {
  const std::string page =
      "<div class=\"header\">\n\t\t\t<div class=\"version\">\n\t\t\t\tKorea - Version : 14.3\n\t\t\t\t</div>\n"
      "\t\t\t</div>\n<div class=\"champion\">\xB0\xA1</div>\n";
  EXPECT_EQ(Between(page, kStatsLeft, kStatsRight), "14.3");
  // Three tabs instead of four: the marker does not follow.
  const std::string other = "Korea - Version : 14.3\n\t\t\t</div>\n";
  EXPECT_EQ(Between(other, kStatsLeft, kStatsRight), "(null)");
}

TEST(TextBetween, SpectateBatchBlockIsCutByteExact) {
  const std::string batch =
      "@echo off\r\n"
      "setlocal enabledelayedexpansion\r\n"
      "if exist \"League of Legends.exe\" (\r\n"
      "\t@start \"\" \"League of Legends.exe\" \"8394\" \"LoLLauncher.exe\" \"\" \"spectator 127.0.0.1:80 "
      "key 6543210 KR\" \"-UseRads\"\r\n"
      "    goto :eof\r\n"
      ")\r\n"
      "echo \xC7\xEB\xBD\xAB\xB4\xCB\xCE\xC4\xBC\xFE\xB7\xC5\xC8\xEB Game\r\n"
      "goto :eof\r\n";
  const std::string expected =
      "\r\n\t@start \"\" \"League of Legends.exe\" \"8394\" \"LoLLauncher.exe\" \"\" \"spectator 127.0.0.1:80 "
      "key 6543210 KR\" \"-UseRads\"\r\n    ";
  std::string got = Between(batch, kBatchLeft, kBatchRight);
  EXPECT_EQ(got, expected) << Hex(got);
}

TEST(TextBetween, SpectateBatchMarkersInOtherLetterCase) {
  const std::string batch =
      "@ECHO OFF\r\nIF EXIST \"LEAGUE OF LEGENDS.EXE\" (\r\n  @start \"\" \"League of Legends.exe\" \"spectator x\"\r\n"
      "  GOTO :EOF\r\n)\r\n";
  EXPECT_EQ(Between(batch, kBatchLeft, kBatchRight), "\r\n  @start \"\" \"League of Legends.exe\" \"spectator x\"\r\n  ");
  EXPECT_EQ(Between("<DIV ID=\"SETNUM\" DATA-NUM=\"1.2\" DATA-LINK=", kHomeLeft, kHomeRight), "1.2");
  EXPECT_EQ(Between("korea - version : 14.3\n\t\t\t\t</DIV>\n", kStatsLeft, kStatsRight), "14.3");
}

TEST(TextBetween, OnlyTheFirstLeftMarkerAndTheFirstRightOneAfterItCount) {
  EXPECT_EQ(Between("[a][b]", "[", "]"), "a");
  // Right marker before the left one, and overlapping the left one's bytes.
  EXPECT_EQ(Between("]x[y]z]", "[", "]"), "y");
  EXPECT_EQ(Between("abcXcdY", "abc", "bc"), "(null)") << "an overlapping occurrence is ignored";
  EXPECT_EQ(Between("abcdYcdZ", "abc", "cd"), "dY") << "the right marker searched from the end of the left";
  EXPECT_EQ(Between("<<a>>", "<<", ">>"), "a");
}

TEST(TextBetween, AdjacentOrMissingMarkersGiveEmpty) {
  EXPECT_EQ(Between("ab", "a", "b"), "(null)") << "adjacent";
  EXPECT_EQ(Between("a  x", "a", "b"), "(null)") << "no right marker";
  EXPECT_EQ(Between("b a", "a", "b"), "(null)") << "right marker only before the left";
  EXPECT_EQ(Between("", "a", "b"), "(null)");
  EXPECT_EQ(Between("a x b", "a", ""), "(null)") << "empty right marker";
}

TEST(TextBetween, MissingLeftMarkerGivesEmpty) {
  EXPECT_EQ(Between("version 14.3\" data-link=", kHomeLeft, kHomeRight), "(null)");
  EXPECT_EQ(Between("@echo off\r\ngoto :eof\r\n", kBatchLeft, kBatchRight), "(null)");
  EXPECT_EQ(Between("stray text before]", "[[", "]"), "(null)") << "not the text in front of the right marker";
}

TEST(TextBetween, EmptyLeftMarkerTakesEverythingBeforeTheRightOne) {
  EXPECT_EQ(Between("abc]d", "", "]"), "abc");
  EXPECT_EQ(Between("abc", "", "]"), "(null)");
  EXPECT_EQ(Between("", "", "]"), "(null)");
}

TEST(TextBetween, AbsentInputsCountAsEmpty) {
  EXPECT_EQ(TextBetween(nullptr, "a", "b"), nullptr);
  char* t = TextBetween("xab", nullptr, "a");
  EXPECT_STREQ(t, "x") << "an absent left marker is the empty one, found at 1";
  Release(t);
  EXPECT_EQ(TextBetween("axb", "a", nullptr), nullptr);
}

TEST(TextBetween, KeepsWhitespaceAndLeavesInputsUntouched) {
  char source[] = "K: \t 1.0 \r\n|";
  EXPECT_EQ(Between(source, "K:", "|"), " \t 1.0 \r\n");
  EXPECT_STREQ(source, "K: \t 1.0 \r\n|");
}

TEST(TextBetween, MarkerBytesInsideDoubleByteCharactersDoNotMatch) {
  // 0x81 0x4B is one character whose trail byte is the K of the marker.
  const std::string page = "\x81Korea - Version : 1.0\n\t\t\t\t</div>\nKorea - Version : 14.3\n\t\t\t\t</div>\n";
  EXPECT_EQ(Between(page, kStatsLeft, kStatsRight), "14.3");
  // Same for the right marker: 0xB0 0x5D is a character, not the bracket.
  EXPECT_EQ(Between("[\xD6\xD0\xB0]\xCE\xC4]", "[", "]"), "\xD6\xD0\xB0]\xCE\xC4");
  // Chinese bytes are never folded: 0xC1 is not 0xE1.
  EXPECT_EQ(Between("\xB0\xC1x]\xB0\xE1y]", "\xB0\xE1", "]"), "y");
}

}  // namespace
}  // namespace bv
