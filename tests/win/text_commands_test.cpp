// Text commands in the Windows build: number and date-time texts come out of
// this C runtime's formatting, and the search is built with its intrinsics.
#include <gtest/gtest.h>

#include <string>

#include "app/text_between.h"
#include "runtime/text_commands.h"
#include "runtime/value.h"
#include "tests/native/value_records.h"
#include "tests/win/support/win_test.h"

namespace {

std::string TextOf(bv::ValueRecord v) {
  char* t = bv::Call(bv::ToText, {v}).AsText();
  std::string s = t ? t : "(null)";
  bv::Release(t);
  return s;
}

TEST(WinToText, NumberFormatsMatchTheNativeBuild) {
  EXPECT_EQ(TextOf(bvtest::Float(0.1f)), "0.1");
  EXPECT_EQ(TextOf(bvtest::Double(1.0 / 3)), "0.3333333333333");
  EXPECT_EQ(TextOf(bvtest::Double(1e20)), "1e+20") << "two exponent digits, not three";
  EXPECT_EQ(TextOf(bv::ValueRecord::Long(-5000000000LL)), "-5000000000");
  EXPECT_EQ(TextOf(bvtest::Byte(200)), "200");
}

TEST(WinToText, DateTimeAndLogicalTextsAreGbk) {
  std::string t = TextOf(bvtest::DateTime(0.5));
  EXPECT_EQ(t, "1899年12月30日12时") << bvtest::Hex(t);
  t = TextOf(bv::ValueRecord::Bool(true));
  EXPECT_EQ(t, "\xD5\xE6") << bvtest::Hex(t);
}

TEST(WinTextBetween, CutsAcrossDoubleByteCharacters) {
  std::string page = std::string(100, 'x') + "\x81" "Korea - Version : 1\n\t\t\t\t</div>\n" +
                     std::string(3000, '\xB0') + "Korea - Version : 14.3\n\t\t\t\t</div>\n";
  char* v = bv::TextBetween(page.c_str(), "Korea - Version : ", "\n\t\t\t\t</div>\n");
  EXPECT_STREQ(v, "14.3");
  bv::Release(v);
}

}  // namespace
