// The one crossing between GBK texts and the platform's UTF-16: conversions
// through code page 936 whatever the system code page, "?" for what GBK cannot
// spell, the short form of such paths, limits counted in GBK bytes, and the
// wrappers of the platform's text-taking functions, checked on the platform's
// own wide side. Run it under other locales too (BRISVALE_LOCALE).
#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <string>

#include "runtime/value.h"
#include "runtime/win/wide_text.h"
#include "tests/win/support/win_test.h"

namespace {

namespace wide = bv::wide;
using bvtest::GbkFromWide;
using bvtest::WideFromGbk;

std::wstring Of(const wide::Wide& w) { return std::wstring(w.c_str(), static_cast<std::size_t>(w.size())); }

// A Text result as a string ("(null)" for none); releases it.
std::string Take(char* t) {
  std::string s = t ? t : "(null)";
  bv::Release(t);
  return s;
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// A label as the program holds it (GBK) and as the platform shows it.
const char kLabel[] = "国服版本：";
const wchar_t kLabelWide[] = L"\u56FD\u670D\u7248\u672C\uFF1A";
const wchar_t kKorean[] = L"\uD55C\uAD6D";  // two Hangul syllables: no GBK form

// ---- GBK -> wide ------------------------------------------------------------------

TEST(Wide, ConvertsThroughCodePage936) {
  wide::Wide w(kLabel);
  EXPECT_EQ(Of(w), kLabelWide);
  EXPECT_EQ(w.size(), 5);
  EXPECT_EQ(Of(wide::Wide("\x81\x40")), L"\u4E02") << "a pair that code page 949 cannot spell";
  EXPECT_EQ(Of(wide::Wide("\x80")), L"\u20AC") << "0x80 alone is the euro sign";
  EXPECT_EQ(Of(wide::Wide("\xC3\xA9")), L"\u8305") << "GBK, not UTF-8";
  EXPECT_EQ(wide::WideLength("\x81\x40" "a", 2), 1) << "a pair is one character, as a control counts it";
}

TEST(Wide, NullIsEmptyAndByteCountsKeepInnerNuls) {
  EXPECT_STREQ(wide::Wide(nullptr).c_str(), L"");
  EXPECT_EQ(wide::Wide(nullptr).size(), 0);
  EXPECT_EQ(Of(wide::Wide("abc", 2)), L"ab");
  EXPECT_EQ(Of(wide::Wide("a\0b", 3)), std::wstring(L"a\0b", 3));
  EXPECT_EQ(Of(wide::Wide("abc", 0)), L"");
  EXPECT_EQ(Of(wide::Wide("abc", -1)), L"");
}

// Texts of a path's length use the object's own storage, longer ones a block
// of the heap; either way nothing is cut.
TEST(Wide, TextsAroundThePathLengthConvertWhole) {
  for (int chars : {259, 260, 2000}) {
    wide::Wide w(Repeat("\xD6\xD0", chars).c_str());
    ASSERT_EQ(w.size(), chars);
    EXPECT_EQ(Of(w), std::wstring(static_cast<std::size_t>(chars), L'\u4E2D')) << chars << " characters";
    EXPECT_EQ(w.c_str()[chars], L'\0');
  }
}

// ---- wide -> GBK ------------------------------------------------------------------

TEST(ToGbk, CharactersWithoutGbkFormBecomeQuestionMarks) {
  EXPECT_EQ(Take(wide::ToGbkText(L"a\uD55C\u4E2D")), "a?\xD6\xD0");
  EXPECT_EQ(Take(wide::ToGbkText(kLabelWide)), kLabel);
  // No look-alike: "A" for "À" would name another file.
  EXPECT_EQ(Take(wide::ToGbkText(L"\u00C0")), "?");
  const std::string emoji = Take(wide::ToGbkText(L"x\U0001F600y"));
  EXPECT_EQ(emoji.find_first_not_of('?', 1), emoji.size() - 1) << bvtest::Hex(emoji);
  EXPECT_EQ(emoji.back(), 'y');
}

TEST(ToGbk, EmptyGivesNullAndCountsAreCharacters) {
  EXPECT_EQ(Take(wide::ToGbkText(nullptr)), "(null)");
  EXPECT_EQ(Take(wide::ToGbkText(L"")), "(null)");
  EXPECT_EQ(Take(wide::ToGbkText(L"\u4E2D\u6587", 1)), "\xD6\xD0");
}

// The limit is in bytes with the NUL; what does not fit is refused whole.
TEST(ToGbk, FixedBufferTakesAllOrNothing) {
  char out[8] = "junk";
  EXPECT_EQ(wide::ToGbk(L"\u4E2D\u6587", -1, out, 5), 4);
  EXPECT_STREQ(out, "\xD6\xD0\xCE\xC4");
  std::strcpy(out, "junk");
  EXPECT_EQ(wide::ToGbk(L"\u4E2D\u6587", -1, out, 4), -1);
  EXPECT_STREQ(out, "") << "never a text cut short";
  EXPECT_EQ(wide::ToGbk(L"", -1, out, 4), 0);
  EXPECT_EQ(wide::ToGbk(L"", -1, out, 0), -1) << "no room even for the NUL";
  EXPECT_EQ(wide::ToGbk(L"a", -1, nullptr, 4), -1);
}

TEST(FitsGbk, TellsWhetherEveryCharacterHasAGbkForm) {
  EXPECT_TRUE(wide::FitsGbk(L"\u4E2D\u6587 abc \u20AC"));
  EXPECT_FALSE(wide::FitsGbk(kKorean));
  EXPECT_FALSE(wide::FitsGbk(L"\u00C0"));
  EXPECT_TRUE(wide::FitsGbk(L"a\uD55C", 1)) << "only the first character counts";
  EXPECT_TRUE(wide::FitsGbk(L""));
  EXPECT_TRUE(wide::FitsGbk(nullptr));
}

// ---- The fatal report's conversion --------------------------------------------------

TEST(FromGbkFixed, CutsAtACharacterBoundary) {
  wchar_t out[8];
  EXPECT_EQ(wide::FromGbkFixed("\xD6\xD0\xCE\xC4", out, 8), 2);
  EXPECT_STREQ(out, L"\u4E2D\u6587");
  EXPECT_EQ(wide::FromGbkFixed("\xD6\xD0\xCE\xC4", out, 4), 1);
  EXPECT_STREQ(out, L"\u4E2D") << "three bytes of room take one character, not a half";
  // 0x80 stands alone: taking it for a lead byte would split the pair after it.
  EXPECT_EQ(wide::FromGbkFixed("\x80\xD6\xD0", out, 3), 1);
  EXPECT_STREQ(out, L"\u20AC");
  EXPECT_EQ(wide::FromGbkFixed("abc", out, 1), 0);
  EXPECT_STREQ(out, L"");
  EXPECT_EQ(wide::FromGbkFixed(nullptr, out, 8), 0);
  EXPECT_STREQ(out, L"");
}

// ---- Paths -----------------------------------------------------------------------------

bool MakeDir(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != FALSE; }

// The platform's short form of `path` when it gives one that GBK can spell.
std::wstring ShortFormInGbk(const std::wstring& path) {
  wchar_t out[MAX_PATH];
  const DWORD n = GetShortPathNameW(path.c_str(), out, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return L"";
  std::wstring s(out, n);
  return WideFromGbk(GbkFromWide(s)) == s ? s : L"";
}

TEST(PathToGbk, GbkPathsStayAsTheyAre) {
  bvtest::TempDir dir;
  const std::wstring folder = WideFromGbk(dir.path()) + L"\\\u82F1\u96C4\u8054\u76DF Game";
  ASSERT_TRUE(MakeDir(folder));
  EXPECT_EQ(Take(wide::PathToGbkText(folder.c_str())), dir.path() + "\\英雄联盟 Game");
  EXPECT_EQ(Take(wide::PathToGbkText(nullptr)), "(null)");
}

// A Korean user's folder: its short form where the platform gives one, "?"
// for each Hangul syllable otherwise; never anything that names another file.
TEST(PathToGbk, NameWithoutGbkFormTakesTheShortForm) {
  bvtest::TempDir dir;
  const std::wstring folder = WideFromGbk(dir.path()) + L"\\" + kKorean;
  ASSERT_TRUE(MakeDir(folder));
  const std::string got = Take(wide::PathToGbkText(folder.c_str()));
  const std::wstring short_form = ShortFormInGbk(folder);
  std::cout << "short form given: " << GbkFromWide(short_form) << "\n";
  if (short_form.empty()) {
    EXPECT_EQ(got, dir.path() + "\\??");
  } else {
    EXPECT_EQ(got, GbkFromWide(short_form));
    const DWORD attributes = GetFileAttributesW(WideFromGbk(got).c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << got;
  }
  char out[MAX_PATH];
  EXPECT_EQ(wide::PathToGbk(folder.c_str(), out, MAX_PATH), static_cast<std::int32_t>(got.size()));
  EXPECT_EQ(out, got);
  EXPECT_EQ(wide::PathToGbk(folder.c_str(), out, static_cast<std::int32_t>(got.size())), -1);
  EXPECT_STREQ(out, "");
}

// A dropped file with a Korean name: its short form opens the same file.
TEST(PathToGbk, DroppedFileWithKoreanNameLoadsThroughItsShortForm) {
  bvtest::TempDir dir;
  const std::wstring file = WideFromGbk(dir.path()) + L"\\" + kKorean + L" ob.bat";
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, "abc", 3, &written, nullptr);
  CloseHandle(h);
  const std::string got = Take(wide::PathToGbkText(file.c_str()));
  if (ShortFormInGbk(file).empty()) {
    EXPECT_EQ(got, dir.path() + "\\?? ob.bat");
  } else {
    EXPECT_EQ(bvtest::ReadWholeFile(got), "abc") << got;
  }
  // A path that does not exist has no short form.
  const std::wstring missing = WideFromGbk(dir.path()) + L"\\" + kKorean + L".txt";
  EXPECT_EQ(Take(wide::PathToGbkText(missing.c_str())), dir.path() + "\\??.txt");
}

// ---- Wrappers: files and folders ----------------------------------------------------------

TEST(FileWrappers, CreateAndFindUseTheGbkNamesCharacters) {
  bvtest::TempDir dir;
  const std::string path = dir.File("\xD6\xD0\xCE\xC4.txt");
  HANDLE h = wide::CreateFileGbk(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  CloseHandle(h);
  EXPECT_NE(GetFileAttributesW((WideFromGbk(dir.path()) + L"\\\u4E2D\u6587.txt").c_str()), INVALID_FILE_ATTRIBUTES);

  WIN32_FIND_DATAW found;
  HANDLE search = wide::FindFirstFileGbk(dir.File("*.txt").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(found.cFileName, L"\u4E2D\u6587.txt");
  FindClose(search);
}

TEST(FileWrappers, FailuresLeaveThePlatformsLastError) {
  bvtest::TempDir dir;
  HANDLE h = wide::CreateFileGbk(dir.File("\xD6\xD0\\x.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                                 nullptr);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  WIN32_FIND_DATAW found;
  EXPECT_EQ(wide::FindFirstFileGbk(dir.File("\xD6\xD0").c_str(), &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(wide::FindFirstFileGbk(nullptr, &found), INVALID_HANDLE_VALUE);
}

class CurrentDir : public ::testing::Test {
 protected:
  CurrentDir() { GetCurrentDirectoryW(MAX_PATH, saved_); }
  ~CurrentDir() override { SetCurrentDirectoryW(saved_); }

  // Makes `name` (GBK) inside the test folder and the current directory.
  std::string Enter(const std::string& name) {
    const std::string path = dir_.path() + "\\" + name;
    if (!MakeDir(WideFromGbk(path)) || !SetCurrentDirectoryW(WideFromGbk(path).c_str())) return "";
    return path;
  }

  wchar_t saved_[MAX_PATH];
  bvtest::TempDir dir_;
};

TEST_F(CurrentDir, ChineseFolderComesBackInGbk) {
  const std::string path = Enter("英雄联盟 Game");
  ASSERT_FALSE(path.empty());
  char out[MAX_PATH] = "junk";
  EXPECT_EQ(wide::GetCurrentDirectoryGbk(MAX_PATH, out), path.size());
  EXPECT_EQ(out, path);
  // Room for the bytes and the NUL, and one byte less.
  const DWORD exact = static_cast<DWORD>(path.size() + 1);
  EXPECT_EQ(wide::GetCurrentDirectoryGbk(exact, out), path.size());
  EXPECT_GE(wide::GetCurrentDirectoryGbk(exact - 1, out), exact - 1);
  EXPECT_STREQ(out, "");
}

// The limit counts GBK bytes: a folder of 259 bytes fits 260 with its NUL,
// one of 260 bytes does not, though its wide form is far shorter.
TEST_F(CurrentDir, LimitCountsGbkBytesNotCharacters) {
  std::string path = dir_.path();
  while (path.size() + 1 + 60 < 259) {
    // Here and below a char, not a one-character literal, goes before a
    // temporary string: with the literal, GCC 12 in Release reports
    // overlapping copies inside the string that cannot happen.
    path += '\\' + Repeat("\xD6\xD0", 30);
    ASSERT_TRUE(MakeDir(WideFromGbk(path))) << path.size();
  }
  const std::size_t rest = 259 - path.size() - 1;
  path += '\\' + std::string(rest % 2, 'a') + Repeat("\xD6\xD0", static_cast<int>(rest / 2));
  ASSERT_EQ(path.size(), 259u);
  ASSERT_TRUE(MakeDir(WideFromGbk(path)));
  ASSERT_LT(WideFromGbk(path).size(), 200u);
  ASSERT_TRUE(SetCurrentDirectoryW(WideFromGbk(path).c_str()));
  char out[MAX_PATH];
  EXPECT_EQ(wide::GetCurrentDirectoryGbk(MAX_PATH, out), 259u);
  EXPECT_EQ(out, path);

  const std::string longer = path + "\\a";
  ASSERT_TRUE(MakeDir(WideFromGbk(longer)));
  ASSERT_TRUE(SetCurrentDirectoryW(WideFromGbk(longer).c_str()));
  EXPECT_GE(wide::GetCurrentDirectoryGbk(MAX_PATH, out), static_cast<DWORD>(MAX_PATH));
  EXPECT_STREQ(out, "");
}

TEST_F(CurrentDir, KoreanFolderComesBackInItsShortForm) {
  const std::wstring folder = WideFromGbk(dir_.path()) + L"\\" + kKorean;
  ASSERT_TRUE(MakeDir(folder));
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  char out[MAX_PATH];
  ASSERT_GT(wide::GetCurrentDirectoryGbk(MAX_PATH, out), 0u);
  const std::wstring short_form = ShortFormInGbk(folder);
  EXPECT_EQ(out, short_form.empty() ? dir_.path() + "\\??" : GbkFromWide(short_form));
}

// ---- Wrappers: processes -----------------------------------------------------------

std::string SelfPath() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return GbkFromWide(std::wstring(path, n));
}

// Writes its current directory and its first argument, both in GBK, into the
// file its second argument names.
BVTEST_CHILD(report_folder) {
  wchar_t here[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, here);
  const auto& args = bvtest::ChildArgs();
  return bvtest::WriteWholeFile(args.at(1), GbkFromWide(here) + "|" + args.at(0)) ? 0 : 1;
}

TEST(ProcessWrapper, CommandLineAndWorkingFolderKeepTheirCharacters) {
  bvtest::TempDir dir;
  const std::string folder = dir.File("英雄联盟 Game");
  ASSERT_TRUE(MakeDir(WideFromGbk(folder)));
  const std::string report = folder + "\\report.txt";
  const std::string command = '"' + SelfPath() + "\" --child=report_folder 国服 \"" + report + "\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(wide::CreateProcessGbk(command.c_str(), folder.c_str(), 0, &startup, &process)) << GetLastError();
  WaitForSingleObject(process.hProcess, 30000);
  DWORD code = 99;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(code, 0u);
  const std::string got = bvtest::ReadWholeFile(report);
  EXPECT_EQ(got, folder + "|国服") << bvtest::Hex(got);
}

TEST(ProcessWrapper, MissingProgramOrFolderFails) {
  bvtest::TempDir dir;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  EXPECT_FALSE(wide::CreateProcessGbk(dir.File("\xD6\xD0.exe").c_str(), nullptr, 0, &startup, &process));
  EXPECT_FALSE(wide::CreateProcessGbk(('"' + SelfPath() + '"').c_str(), dir.File("\xD6\xD0").c_str(), 0, &startup,
                                      &process))
      << "a working folder that does not exist";
  EXPECT_FALSE(wide::CreateProcessGbk(nullptr, nullptr, 0, &startup, &process));
}

// ---- Wrappers: message boxes -----------------------------------------------------------

BVTEST_CHILD(gbk_box) {
  const std::string text = bvtest::ChildArgs().at(0) == "long" ? 'a' + Repeat("\xD6\xD0", 3000) : kLabel;
  if (bvtest::ChildArgs().at(1) == "fixed") return wide::MessageBoxGbkFixed(nullptr, text.c_str(), "错误", 0);
  return wide::MessageBoxGbk(nullptr, text.c_str(), "错误", MB_OKCANCEL);
}

TEST(BoxWrappers, TextAndCaptionReadBackInWideCharacters) {
  for (const char* kind : {"normal", "fixed"}) {
    bvtest::SeenBox box;
    EXPECT_EQ(bvtest::RunChildAnswering("gbk_box", std::string("short ") + kind, "错误", IDOK, &box), IDOK) << kind;
    // Read while the box was up: once answered, it may be gone.
    EXPECT_EQ(box.wide_caption, L"\u9519\u8BEF") << kind;
    EXPECT_EQ(WideFromGbk(box.text), kLabelWide) << kind;
  }
}

// The fixed buffers hold 4,095 bytes' worth of text: a longer report is cut
// at a character boundary, and the box still shows.
TEST(BoxWrappers, FixedBoxCutsALongTextAtACharacter) {
  bvtest::SeenBox box;
  EXPECT_EQ(bvtest::RunChildAnswering("gbk_box", "long fixed", "错误", IDOK, &box), IDOK);
  EXPECT_EQ(WideFromGbk(box.text), L"a" + std::wstring(2047, L'\u4E2D')) << box.text.size() << " bytes";

  EXPECT_EQ(bvtest::RunChildAnswering("gbk_box", "long normal", "错误", IDCANCEL, &box), IDCANCEL);
  EXPECT_EQ(WideFromGbk(box.text), L"a" + std::wstring(3000, L'\u4E2D')) << "the heap's wrapper cuts nothing";
}

}  // namespace
