// The file, folder, process and message-box commands as the logic calls them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "runtime/file_commands.h"
#include "runtime/value.h"
#include "tests/native/value_records.h"
#include "tests/win/support/win_test.h"

namespace {

using bv::Call;
using bv::ValueRecord;

ValueRecord T(const std::string& s) { return ValueRecord::TextOf(s.c_str()); }
std::string Bytes(const std::uint8_t* set) {
  return std::string(reinterpret_cast<const char*>(bv::ByteSetData(set)), bv::ByteSetLength(set));
}
std::string SelfPath() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
}

// ---- GetCurrentDir ----------------------------------------------------------

class CurrentDirGuard {
 public:
  CurrentDirGuard() { GetCurrentDirectoryW(MAX_PATH, saved_); }
  ~CurrentDirGuard() { SetCurrentDirectoryW(saved_); }

 private:
  wchar_t saved_[MAX_PATH];
};

// The platform's side of a GBK path, in wide characters whatever the system
// code page.
bool MakeDir(const std::string& path) { return CreateDirectoryW(bvtest::WideFromGbk(path).c_str(), nullptr) != FALSE; }
bool SetCurrent(const std::string& path) { return SetCurrentDirectoryW(bvtest::WideFromGbk(path).c_str()) != FALSE; }

// No trailing separator except at a drive root; the client's usual kind of
// folder comes back in GBK whatever the system code page (the ANSI functions
// would spell it with "?" off code page 936).
TEST(GetCurrentDir, ComesBackInGbkWithASeparatorOnlyAtADriveRoot) {
  bvtest::TempDir dir;
  const std::string game = dir.File("腾讯游戏 英雄联盟");
  ASSERT_TRUE(MakeDir(game));
  for (const std::string& path : {dir.path(), game, std::string("C:\\")}) {
    CurrentDirGuard guard;
    ASSERT_TRUE(SetCurrent(path));
    char* got = Call(bv::GetCurrentDir, {}).AsText();
    EXPECT_STREQ(got, path.c_str()) << bvtest::Hex(got ? got : "");
    bv::Release(got);
  }
}

// GBK names make a directory longer than 259 bytes that the platform still
// accepts as the current one (it counts UTF-16 units); it does not fit the
// 260-byte buffer, whose contents are then no text at all.
TEST(GetCurrentDir, DirectoryLongerThanTheBufferGivesNull) {
  bvtest::TempDir dir;
  CurrentDirGuard guard;  // left before the folder goes
  std::string path = dir.path();
  while (path.size() <= 300) {
    std::string part;
    for (int i = 0; i < 30; ++i) part += "\xD6\xD0";  // 30 GBK characters
    path += "\\" + part;
    ASSERT_TRUE(MakeDir(path)) << path.size() << " bytes, error " << GetLastError();
  }
  if (!SetCurrent(path))
    GTEST_SKIP() << "the platform refuses a current directory of " << path.size() << " bytes";
  char* got = Call(bv::GetCurrentDir, {}).AsText();
  EXPECT_EQ(got, nullptr) << bvtest::Hex(got ? got : "");
  bv::Release(got);
}

// A folder GBK cannot spell comes back in its short form, which leads to the
// same folder, where the platform gives one.
TEST(GetCurrentDir, KoreanFolderComesBackInAFormThatLeadsBack) {
  CurrentDirGuard guard;
  bvtest::TempDir dir;
  const std::wstring folder = bvtest::WideFromGbk(dir.path()) + L"\\\uAC8C\uC784";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  char* got = Call(bv::GetCurrentDir, {}).AsText();
  ASSERT_NE(got, nullptr);
  const std::string text = got;
  bv::Release(got);
  if (text.find('?') != std::string::npos) {
    EXPECT_EQ(text, dir.path() + "\\??") << "no short form: a \"?\" for each syllable";
    return;
  }
  ASSERT_TRUE(bvtest::WriteWholeFile(text + "\\probe", "x"));
  EXPECT_NE(GetFileAttributesW((folder + L"\\probe").c_str()), INVALID_FILE_ATTRIBUTES) << text;
}

// ---- FileExists --------------------------------------------------------------

bool Exists(const std::string& path) { return Call(bv::FileExists, {T(path)}).AsBool(); }

TEST(FileExists, CountsDirectoriesAndWildcardMatches) {
  bvtest::TempDir dir;
  ASSERT_TRUE(bvtest::WriteWholeFile(dir.File("a.txt"), "x"));
  EXPECT_TRUE(Exists(dir.path()));
  EXPECT_TRUE(Exists(dir.File("a.txt")));
  EXPECT_TRUE(Exists(dir.File("*.txt")));
  EXPECT_FALSE(Exists(dir.File("*.bat")));
  EXPECT_FALSE(Exists(dir.File("missing.txt")));
  // The tool's own client path mixes separators; the platform takes it.
  EXPECT_TRUE(Exists(dir.path() + "/a.txt"));
}

TEST(FileExists, IsFalseForTrailingSeparatorAndEmptyPath) {
  bvtest::TempDir dir;
  EXPECT_FALSE(Exists(dir.path() + "\\"));
  EXPECT_FALSE(Exists(""));
  EXPECT_FALSE(Call(bv::FileExists, {ValueRecord::TextOf(nullptr)}).AsBool());
}

// ---- LoadFile ----------------------------------------------------------------

std::uint8_t* Load(const std::string& path) { return Call(bv::LoadFile, {T(path)}).AsByteSet(); }

TEST(LoadFile, KeepsEveryByteOfTheFile) {
  bvtest::TempDir dir;
  for (const std::string& bytes : {std::string("a\0\xff", 3), std::string("1")}) {
    ASSERT_TRUE(bvtest::WriteWholeFile(dir.File("file"), bytes));
    std::uint8_t* set = Load(dir.File("file"));
    ASSERT_NE(set, nullptr) << bytes.size() << " bytes";
    EXPECT_EQ(Bytes(set), bytes) << bvtest::Hex(Bytes(set));
    bv::Release(set);
  }
}

TEST(LoadFile, EmptyMissingAndEmptyPathGiveNull) {
  bvtest::TempDir dir;
  ASSERT_TRUE(bvtest::WriteWholeFile(dir.File("empty"), ""));
  EXPECT_EQ(Load(dir.File("empty")), nullptr);
  EXPECT_EQ(Load(dir.File("missing")), nullptr);
  EXPECT_EQ(Load(""), nullptr);
  EXPECT_EQ(Load(dir.path()), nullptr) << "a directory has no bytes to give";
}

// A caller that reads the type word sees what the value words hold, whether
// the command succeeded or not.
TEST(FileCommands, ResultsCarryTheirTypeWordOnSuccessAndFailure) {
  bvtest::TempDir dir;
  ASSERT_TRUE(bvtest::WriteWholeFile(dir.File("one"), "1"));
  ValueRecord here = Call(bv::GetCurrentDir, {});
  EXPECT_EQ(here.type, bv::kTypeText);
  bv::Release(here.AsText());
  EXPECT_EQ(Call(bv::FileExists, {T(dir.File("missing"))}).type, bv::kTypeBool);
  ValueRecord loaded = Call(bv::LoadFile, {T(dir.File("one"))});
  EXPECT_EQ(loaded.type, bv::kTypeByteSet);
  bv::Release(loaded.AsByteSet());
  EXPECT_EQ(Call(bv::LoadFile, {T(dir.File("missing"))}).type, bv::kTypeByteSet);
  EXPECT_EQ(Call(bv::SaveFile, {T(dir.File("no\\such"))}).type, bv::kTypeBool);
  EXPECT_EQ(Call(bv::Run, {T(dir.File("missing.exe"))}).type, bv::kTypeBool);
}

TEST(LoadFile, FileHeldOpenForWritingGivesNullButReadersMayShare) {
  bvtest::TempDir dir;
  ASSERT_TRUE(bvtest::WriteWholeFile(dir.File("held"), "abc"));
  HANDLE writer = CreateFileA(dir.File("held").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Load(dir.File("held")), nullptr);
  CloseHandle(writer);

  HANDLE reader = CreateFileA(dir.File("held").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  std::uint8_t* set = Load(dir.File("held"));
  EXPECT_EQ(Bytes(set), "abc");
  bv::Release(set);
  CloseHandle(reader);
}

// The platform's own read from where the file ends: what a read finds once
// the file has shrunk, after its size was taken, to where the reader stands.
using ReadFn = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
const ReadFn g_read = bvtest::Exported<ReadFn>("kernel32.dll", "ReadFile");
BOOL WINAPI ReadAfterShrinking(HANDLE file, LPVOID to, DWORD size, LPDWORD got, LPOVERLAPPED at) {
  SetFilePointer(file, 0, nullptr, FILE_END);
  return g_read(file, to, size, got, at);
}

TEST(LoadFile, FileThatShrankToNothingGivesNull) {
  bvtest::TempDir dir;
  ASSERT_TRUE(bvtest::WriteWholeFile(dir.File("shrinks"), "abc"));
  ASSERT_GT(bvtest::RedirectImport(g_read, &ReadAfterShrinking), 0);
  std::uint8_t* set = Load(dir.File("shrinks"));
  bvtest::RedirectImport<ReadFn>(&ReadAfterShrinking, g_read);
  EXPECT_EQ(set, nullptr) << bvtest::Hex(Bytes(set));
  bv::Release(set);
}

// The start-up check and the drop handler in the client's folder: the client
// is found, the dropped batch loaded and ob.bat saved by their GBK paths.
TEST(LoadFile, ChineseFolderAndNameKeepEveryByte) {
  bvtest::TempDir dir;
  const std::string game = dir.File("英雄联盟 Game");
  ASSERT_TRUE(MakeDir(game));
  ASSERT_TRUE(bvtest::WriteWholeFile(game + "\\League of Legends.exe", "MZ"));
  EXPECT_TRUE(Exists(game + "\\League of Legends.exe"));
  EXPECT_TRUE(Exists(game));
  EXPECT_FALSE(Exists(game + "\\英雄联盟.exe"));

  const std::string batch("@echo off\r\nrem 观战\r\n\x81\x40\0", 26);
  ASSERT_TRUE(bvtest::WriteWholeFile(game + "\\观战.bat", batch));
  std::uint8_t* set = Load(game + "\\观战.bat");
  EXPECT_EQ(Bytes(set), batch) << bvtest::Hex(Bytes(set));
  bv::Release(set);
}

// ---- SaveFile ------------------------------------------------------------------

TEST(SaveFile, ReplacesALongerFileWithThePiecesInOrder) {
  bvtest::TempDir dir;
  ASSERT_TRUE(bvtest::WriteWholeFile(dir.File("ob.bat"), std::string(1000, 'z')));
  std::uint8_t* a = bv::MakeByteSet("ab\0", 3);
  std::uint8_t* b = bv::MakeByteSet("cd", 2);
  ValueRecord r = Call(bv::SaveFile, {T(dir.File("ob.bat")), ValueRecord::ByteSetOf(a),
                                      ValueRecord::ByteSetOf(bv::kEmptyByteSet), ValueRecord::ByteSetOf(b)});
  EXPECT_TRUE(r.AsBool());
  std::string back = bvtest::ReadWholeFile(dir.File("ob.bat"));
  EXPECT_EQ(back, std::string("ab\0cd", 5)) << bvtest::Hex(back);
  bv::Release(a);
  bv::Release(b);
}

TEST(SaveFile, OnlyThePathCreatesOrEmptiesTheFile) {
  bvtest::TempDir dir;
  EXPECT_TRUE(Call(bv::SaveFile, {T(dir.File("new"))}).AsBool());
  bool ok = false;
  EXPECT_EQ(bvtest::ReadWholeFile(dir.File("new"), &ok), "");
  EXPECT_TRUE(ok) << "the file must exist";
  ASSERT_TRUE(bvtest::WriteWholeFile(dir.File("old"), "content"));
  EXPECT_TRUE(Call(bv::SaveFile, {T(dir.File("old")), ValueRecord::ByteSetOf(bv::kEmptyByteSet)}).AsBool());
  EXPECT_EQ(bvtest::ReadWholeFile(dir.File("old")), "");
}

TEST(SaveFile, MissingFolderEmptyPathAndLockedFileGiveFalse) {
  bvtest::TempDir dir;
  std::uint8_t* a = bv::MakeByteSet("x", 1);
  EXPECT_FALSE(Call(bv::SaveFile, {T(dir.File("no\\such.bat")), ValueRecord::ByteSetOf(a)}).AsBool());
  EXPECT_FALSE(Call(bv::SaveFile, {T(""), ValueRecord::ByteSetOf(a)}).AsBool());

  ASSERT_TRUE(bvtest::WriteWholeFile(dir.File("locked"), "keep"));
  HANDLE reader = CreateFileA(dir.File("locked").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Call(bv::SaveFile, {T(dir.File("locked")), ValueRecord::ByteSetOf(a)}).AsBool());
  CloseHandle(reader);
  EXPECT_EQ(bvtest::ReadWholeFile(dir.File("locked")), "keep") << "a failed open leaves the file untouched";
  bv::Release(a);
}

TEST(SaveFile, ChineseFolderAndNameAreWrittenAsTheirCharacters) {
  bvtest::TempDir dir;
  const std::string game = dir.File("英雄联盟 Game");
  ASSERT_TRUE(MakeDir(game));
  std::uint8_t* a = bv::MakeByteSet("\xB9\xFA\xB7\xFE\r\n", 6);
  EXPECT_TRUE(Call(bv::SaveFile, {T(game + "\\观战.bat"), ValueRecord::ByteSetOf(a)}).AsBool());
  bv::Release(a);
  const std::wstring wide = bvtest::WideFromGbk(dir.path()) + L"\\\u82F1\u96C4\u8054\u76DF Game\\\u89C2\u6218.bat";
  EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(bvtest::ReadWholeFile(game + "\\观战.bat"), "\xB9\xFA\xB7\xFE\r\n") << "file contents stay GBK bytes";
}

// ---- Run -----------------------------------------------------------------------

// Writes the show state this process was started with into the file named by
// its argument.
BVTEST_CHILD(report_show) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  GetStartupInfoA(&si);
  std::string out = (si.dwFlags & STARTF_USESHOWWINDOW) ? std::to_string(si.wShowWindow) : "unset";
  return bvtest::WriteWholeFile(bvtest::ChildArgs().at(0), out) ? 0 : 1;
}

std::string ShowStateFor(const ValueRecord& mode) {
  bvtest::TempDir dir;
  std::string file = dir.File("show");
  // A char, not a one-character literal: with the literal, GCC 12 in Release
  // reports overlapping copies inside the string that cannot happen.
  std::string command = '"' + SelfPath() + "\" --child=report_show " + file;
  ValueRecord r = mode.Omitted() ? Call(bv::Run, {T(command), ValueRecord::Bool(true)})
                                 : Call(bv::Run, {T(command), ValueRecord::Bool(true), mode});
  if (!r.AsBool()) return "not started";
  return bvtest::ReadWholeFile(file);
}

TEST(Run, ShowModesAreClampedAndMappedToShowCommands) {
  EXPECT_EQ(ShowStateFor(ValueRecord::Int(0)), "0") << "0 behaves as 1: hidden";
  EXPECT_EQ(ShowStateFor(ValueRecord::Int(1)), "0");
  EXPECT_EQ(ShowStateFor(ValueRecord::Omit()), "1") << "omitted is 2: normal";
  EXPECT_EQ(ShowStateFor(ValueRecord::Int(3)), "2");
  EXPECT_EQ(ShowStateFor(ValueRecord::Int(4)), "3");
  EXPECT_EQ(ShowStateFor(ValueRecord::Int(5)), "4");
  EXPECT_EQ(ShowStateFor(ValueRecord::Int(6)), "6");
  EXPECT_EQ(ShowStateFor(ValueRecord::Int(9)), "6") << "9 behaves as 6";
}

TEST(Run, MissingProgramGivesFalse) {
  bvtest::TempDir dir;
  EXPECT_FALSE(Call(bv::Run, {T(dir.File("missing.exe")), ValueRecord::Bool(true)}).AsBool());
  EXPECT_FALSE(Call(bv::Run, {T("")}).AsBool());
}

// The batch starts by the logic's own command lines and runs in the caller's
// current directory: directory and name joined by a forward slash, unquoted;
// and the drop handler's, quoted, in a Chinese folder with a space.
TEST(Run, BatchRunsInTheCallersCurrentDirectory) {
  bvtest::TempDir dir;
  const std::string game = dir.File("英雄联盟 Game");
  ASSERT_TRUE(MakeDir(game));
  for (const auto& [folder, command] : {std::pair(dir.path(), dir.path() + "/ob.bat"),
                                        std::pair(game, "\"" + game + "\\ob.bat\"")}) {
    CurrentDirGuard guard;
    ASSERT_TRUE(bvtest::WriteWholeFile(folder + "\\ob.bat", "@echo off\r\necho ran> here.txt\r\n"));
    ASSERT_TRUE(SetCurrent(folder));
    EXPECT_TRUE(Call(bv::Run, {T(command), ValueRecord::Bool(true), ValueRecord::Int(1)}).AsBool()) << command;
    EXPECT_EQ(bvtest::ReadWholeFile(folder + "\\here.txt"), "ran\r\n") << command;
  }
}

// ---- InfoBox ---------------------------------------------------------------------

// Shows an InfoBox: argument 0 names the message kind, 1 the style, 2 (when
// present) the title; the exit code is the result.
BVTEST_CHILD(info_box) {
  const auto& a = bvtest::ChildArgs();
  ValueRecord message = ValueRecord::TextOf("hello");
  if (a.at(0) == "true") message = ValueRecord::Bool(true);
  if (a.at(0) == "int") message = ValueRecord::Int(-42);
  if (a.at(0) == "bytes") message = ValueRecord::ByteSetOf(bv::kEmptyByteSet);
  // An array of integers whose element bytes spell "hi!": not a number.
  static const std::int32_t kIntArray[] = {1, 2, 0x00216968, 0};
  if (a.at(0) == "int_array") message = bvtest::Array(bv::kTypeInt, kIntArray);
  if (a.at(0) == "chinese") message = ValueRecord::TextOf("请等待国服更新");
  ValueRecord style = ValueRecord::Int(std::atoi(a.at(1).c_str()));
  if (a.size() > 2) return Call(bv::InfoBox, {message, style, T(a[2])}).AsInt();
  return Call(bv::InfoBox, {message, style}).AsInt();
}

// The box the InfoBox child shows for `args`, answered by `press` under `caption`.
bvtest::SeenBox InfoBoxShown(const std::string& args, const char* caption, int press, long result) {
  bvtest::SeenBox box;
  EXPECT_EQ(bvtest::RunChildAnswering("info_box", args, caption, press, &box), result) << args;
  EXPECT_TRUE(box.found) << args << ": no box titled " << caption;
  return box;
}

TEST(InfoBox, StyleZeroShowsOneOkWithoutIconUnderTheDefaultTitle) {
  bvtest::SeenBox box = InfoBoxShown("text 0", "信息：", IDOK, 0);
  EXPECT_EQ(box.text, "hello");
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  EXPECT_FALSE(box.has_icon);
  EXPECT_EQ(box.owner, nullptr);
}

TEST(InfoBox, ButtonsMapToTheirNumbers) {
  EXPECT_EQ(InfoBoxShown("text 4 Ask", "Ask", IDNO, 6).buttons, (std::vector<int>{IDYES, IDNO}));
  const struct {
    const char* style;
    int press;
    long result;
  } cases[] = {{"1", IDCANCEL, 1}, {"2", IDABORT, 2}, {"2", IDRETRY, 3}, {"2", IDIGNORE, 4}, {"3", IDYES, 5},
               {"6", IDCONTINUE, 0}};  // a button without a number of its own gives 0
  for (const auto& c : cases) InfoBoxShown(std::string("text ") + c.style + " T", "T", c.press, c.result);
}

TEST(InfoBox, NumbersAndLogicalsShowAsTextOtherTypesAsNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {"true 0", "真"}, {"int 0", "-42"}, {"bytes 0", ""}, {"int_array 0", ""}};
  for (const auto& [args, text] : cases) EXPECT_EQ(InfoBoxShown(args, "信息：", IDOK, 0).text, text) << args;
}

// What a user, a screen reader or any program asking in wide characters sees.
TEST(InfoBox, ChineseTextAndTitleReadBackInWideCharacters) {
  bvtest::SeenBox box = InfoBoxShown("chinese 64 提示", "提示", IDOK, 0);
  EXPECT_EQ(box.wide_caption, L"\u63D0\u793A");
  EXPECT_EQ(bvtest::WideFromGbk(box.text), L"\u8BF7\u7B49\u5F85\u56FD\u670D\u66F4\u65B0");
}

// Task modality: the caller's own top-level windows are disabled while the box is open.
HWND g_mine = nullptr;
bool g_seen_disabled = false;
void CALLBACK ProbeMine(HWND, UINT, UINT_PTR, DWORD) { g_seen_disabled = g_seen_disabled || !IsWindowEnabled(g_mine); }

BVTEST_CHILD(info_box_task_modal) {
  g_mine = CreateWindowExA(0, "STATIC", "mine", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                           nullptr);
  ShowWindow(g_mine, SW_SHOWNA);
  SetTimer(nullptr, 0, 100, ProbeMine);  // runs inside the box's own loop
  Call(bv::InfoBox, {ValueRecord::TextOf("modal"), ValueRecord::Int(0)});
  const bool enabled_after = IsWindowEnabled(g_mine);
  return (g_seen_disabled ? 1 : 0) + (enabled_after ? 2 : 0);
}

TEST(InfoBox, IsModalToTheCallersWindows) {
  bool found = false;
  EXPECT_EQ(bvtest::RunChild("info_box_task_modal", "", [&](DWORD pid) {
    found = bvtest::AnswerBox("信息：", pid, 0).found;
    Sleep(500);
    bvtest::AnswerBox("信息：", pid, IDOK, 2000);
  }), 3) << "1: disabled while open, 2: enabled again after";
  EXPECT_TRUE(found);
}

}  // namespace
