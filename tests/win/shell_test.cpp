// Shell services as the program uses them: well-known folders with their
// trailing separator, shell links read back both through the shell and by a
// parser of the link file's bytes, and the library records.
#include <gtest/gtest.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "runtime/shell.h"
#include "runtime/value.h"
#include "tests/win/support/win_test.h"

namespace {

using bv::Call;
using bv::ValueRecord;

// A text result as a string; releases it.
std::string TakeText(ValueRecord r) {
  const char* t = r.AsText();
  std::string s = t ? t : "";
  bv::Release(t);
  return s;
}

std::string Folder(std::int32_t number) { return TakeText(Call(bv::GetSpecialFolder, {ValueRecord::Int(number)})); }

using bvtest::GbkFromWide;
using bvtest::WideFromGbk;

// Paths in GBK, looked at on the platform's wide side.
bool Exists(const std::string& path) { return GetFileAttributesW(WideFromGbk(path).c_str()) != INVALID_FILE_ATTRIBUTES; }
bool MakeDir(const std::string& path) { return CreateDirectoryW(WideFromGbk(path).c_str(), nullptr) != FALSE; }

// ---- Link file reading -------------------------------------------------------------

struct LinkFields {
  bool loaded = false;
  std::string path, arguments, work_dir, description;
  std::string item_path;  // the path the link's item list names
  int show = -1;
};

// What the shell itself reads back from a link file, in wide characters and
// then GBK. The show command is checked on the file's bytes only: a loading
// shell reports every value other than 1, 3 and 7 as 1, so SW_SHOW (5) reads
// back as SW_SHOWNORMAL.
LinkFields ReadThroughShell(const std::string& file) {
  LinkFields f;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return f;
  IPersistFile* pf = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pf)))) {
    if (SUCCEEDED(pf->Load(WideFromGbk(file).c_str(), STGM_READ))) {
      f.loaded = true;
      wchar_t buf[1024];
      buf[0] = 0;
      link->GetPath(buf, 1024, nullptr, SLGP_RAWPATH);
      f.path = GbkFromWide(buf);
      buf[0] = 0;
      link->GetArguments(buf, 1024);
      f.arguments = GbkFromWide(buf);
      buf[0] = 0;
      link->GetWorkingDirectory(buf, 1024);
      f.work_dir = GbkFromWide(buf);
      buf[0] = 0;
      link->GetDescription(buf, 1024);
      f.description = GbkFromWide(buf);
      link->GetShowCmd(&f.show);
      PIDLIST_ABSOLUTE items = nullptr;
      if (SUCCEEDED(link->GetIDList(&items)) && items) {
        buf[0] = 0;
        if (SHGetPathFromIDListW(items, buf)) f.item_path = GbkFromWide(buf);
        CoTaskMemFree(items);
      }
    }
    pf->Release();
  }
  link->Release();
  return f;
}

// An independent reading of the link file's bytes: the header's flags and show
// command, the local base path of the location block and the string fields.
struct RawLink {
  bool valid = false;
  std::uint32_t flags = 0;
  std::uint32_t show = 0;
  std::string local_path;
  bool has_name = false, has_relative = false, has_work_dir = false, has_arguments = false;
  std::string name, work_dir, arguments;
};

enum : std::uint32_t {
  kHasIdList = 0x1,
  kHasLinkInfo = 0x2,
  kHasName = 0x4,
  kHasRelativePath = 0x8,
  kHasWorkingDir = 0x10,
  kHasArguments = 0x20,
  kHasIconLocation = 0x40,
  kIsUnicode = 0x80,
};

std::uint32_t U32(const std::string& b, std::size_t at) {
  if (at + 4 > b.size()) return 0;
  return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
         std::uint32_t(std::uint8_t(b[at + 2])) << 16 | std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}
std::uint16_t U16(const std::string& b, std::size_t at) {
  if (at + 2 > b.size()) return 0;
  return std::uint16_t(std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8);
}

RawLink ParseLink(const std::string& b) {
  RawLink r;
  static const unsigned char kClsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  if (b.size() < 0x4C || U32(b, 0) != 0x4C || b.compare(4, 16, reinterpret_cast<const char*>(kClsid), 16) != 0)
    return r;
  r.flags = U32(b, 0x14);
  r.show = U32(b, 0x3C);
  std::size_t at = 0x4C;
  if (r.flags & kHasIdList) at += 2 + U16(b, at);
  if (r.flags & kHasLinkInfo) {
    std::uint32_t size = U32(b, at);
    std::uint32_t info_flags = U32(b, at + 8);
    std::uint32_t base_off = U32(b, at + 16);
    if ((info_flags & 1) && base_off) {
      std::size_t p = at + base_off;
      while (p < b.size() && b[p]) r.local_path += b[p++];
    }
    at += size;
  }
  // The string fields in their fixed order: a count of characters, then the
  // characters (UTF-16 when the unicode flag is set), no terminator.
  auto field = [&](std::uint32_t flag, bool* has, std::string* out) {
    if (!(r.flags & flag)) return;
    if (has) *has = true;
    std::uint16_t n = U16(b, at);
    at += 2;
    std::string s;
    if (r.flags & kIsUnicode) {
      std::wstring w;
      for (std::uint16_t i = 0; i < n; ++i) w += static_cast<wchar_t>(U16(b, at + 2 * i));
      at += 2 * std::size_t(n);
      s = GbkFromWide(w);
    } else {
      s = b.substr(at, n);
      at += n;
    }
    // Wine counts the terminator in and writes it; the format has none.
    if (!s.empty() && s.back() == '\0') s.pop_back();
    if (out) *out = s;
  };
  field(kHasName, &r.has_name, &r.name);
  field(kHasRelativePath, &r.has_relative, nullptr);
  field(kHasWorkingDir, &r.has_work_dir, &r.work_dir);
  field(kHasArguments, &r.has_arguments, &r.arguments);
  r.valid = at <= b.size();
  return r;
}

RawLink ParseLinkFile(const std::string& file) {
  bool ok = false;
  std::string bytes = bvtest::ReadWholeFile(file, &ok);
  return ok ? ParseLink(bytes) : RawLink{};
}

class ShellLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    target_ = dir_.File("target.exe");
    ASSERT_TRUE(bvtest::WriteWholeFile(target_, "MZ"));
    ASSERT_EQ(dir_.path().find('.'), std::string::npos) << "the test folder must hold no dot: " << dir_.path();
  }
  void TearDown() override { CoUninitialize(); }

  bool Create(std::initializer_list<ValueRecord> args) { return Call(bv::CreateShortcut, args).AsBool(); }
  static ValueRecord T(const std::string& s) { return ValueRecord::TextOf(s.c_str()); }

  bvtest::TempDir dir_;
  std::string target_;
};

// ---- Special folders ---------------------------------------------------------------

TEST(SpecialFolder, DesktopEndsWithOneSeparator) {
  char shell_path[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, shell_path, CSIDL_DESKTOPDIRECTORY, FALSE));
  std::string desktop = Folder(bv::kFolderDesktop);
  EXPECT_EQ(desktop, std::string(shell_path) + "\\");
}

TEST(SpecialFolder, TempPathKeepsItsOwnSeparator) {
  char temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
  std::string folder = Folder(bv::kFolderTemp);
  EXPECT_EQ(folder, temp);
  ASSERT_GE(folder.size(), 2u);
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_NE(folder[folder.size() - 2], '\\') << folder;
}

TEST(SpecialFolder, EveryListedNumberGivesAPathWithSeparator) {
  // Windows and system folders come back without a separator from the
  // platform, the others depend on the prefix; all must end in exactly one.
  for (int n : {1, 3, 8, 9, 10, 11}) {
    std::string f = Folder(n);
    ASSERT_GE(f.size(), 4u) << "folder " << n;
    EXPECT_EQ(f.back(), '\\') << "folder " << n << ": " << f;
    EXPECT_NE(f[f.size() - 2], '\\') << "folder " << n << ": " << f;
  }
  char windir[MAX_PATH];
  GetWindowsDirectoryA(windir, MAX_PATH);
  EXPECT_EQ(Folder(bv::kFolderWindows), std::string(windir) + "\\");
}

TEST(SpecialFolder, UnlistedNumbersGiveNull) {
  for (int n : {0, 12, -1, 0x7FFFFFFF}) {
    ValueRecord r = Call(bv::GetSpecialFolder, {ValueRecord::Int(n)});
    EXPECT_EQ(r.AsText(), nullptr) << "folder " << n;
  }
  ValueRecord none = Call(bv::GetSpecialFolder, {});
  EXPECT_EQ(none.AsText(), nullptr);
}

// The temporary folder follows TMP, which lets a test reach the path limit.
TEST(SpecialFolder, PathThatFillsTheBufferIsRefused) {
  char old[MAX_PATH] = {};
  DWORD had = GetEnvironmentVariableA("TMP", old, MAX_PATH);
  std::string fits = "C:\\" + std::string(255, 'a');      // 258 bytes, the platform adds "\"
  std::string too_long = "C:\\" + std::string(256, 'a');  // 259 bytes plus "\" cannot fit
  SetEnvironmentVariableA("TMP", fits.c_str());
  EXPECT_EQ(Folder(bv::kFolderTemp), fits + "\\");
  SetEnvironmentVariableA("TMP", too_long.c_str());
  ValueRecord r = Call(bv::GetSpecialFolder, {ValueRecord::Int(bv::kFolderTemp)});
  EXPECT_EQ(r.AsText(), nullptr) << r.AsText();
  bv::Release(r.AsText());
  SetEnvironmentVariableA("TMP", had ? old : nullptr);
}

// Points one of the user's shell folders (a value of the shell's folder keys,
// such as "Desktop") at another folder while it lives.
class ShellFolderMoved {
 public:
  ShellFolderMoved(const wchar_t* name, const std::wstring& folder) : name_(name) {
    for (int i = 0; i < 2; ++i) {
      HKEY key;
      if (RegCreateKeyExW(HKEY_CURRENT_USER, kKeys[i], 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
        ok_ = false;
        continue;
      }
      wchar_t old[1024] = {};
      DWORD size = sizeof old - sizeof old[0];
      had_[i] = RegQueryValueExW(key, name, nullptr, &types_[i], reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS;
      if (had_[i]) saved_[i] = old;
      ok_ = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                           static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS && ok_;
      RegCloseKey(key);
    }
  }
  ~ShellFolderMoved() {
    for (int i = 0; i < 2; ++i) {
      HKEY key;
      if (RegOpenKeyExW(HKEY_CURRENT_USER, kKeys[i], 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) continue;
      if (!had_[i]) {
        RegDeleteValueW(key, name_);
      } else {
        RegSetValueExW(key, name_, 0, types_[i], reinterpret_cast<const BYTE*>(saved_[i].c_str()),
                       static_cast<DWORD>((saved_[i].size() + 1) * sizeof(wchar_t)));
      }
      RegCloseKey(key);
    }
  }
  ShellFolderMoved(const ShellFolderMoved&) = delete;
  ShellFolderMoved& operator=(const ShellFolderMoved&) = delete;
  bool ok() const { return ok_; }

 private:
  static constexpr const wchar_t* kKeys[2] = {
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"};
  const wchar_t* name_;
  bool ok_ = true;
  bool had_[2] = {};
  DWORD types_[2] = {};
  std::wstring saved_[2];
};

// The documents folder moved where the shell's answer cannot serve gives
// nothing: a GBK path longer than 259 bytes, though its wide form is far
// inside the platform's limit (a shell that cut it at 259 bytes would answer
// its parent, whose separator falls on byte 259); that parent itself, since a
// whole answer of 259 bytes cannot be told from one cut short; 259 wide
// characters, whatever GBK makes of them (here a short form); and a folder
// that does not exist.
TEST(SpecialFolder, FolderThatCannotServeGivesNull) {
  bvtest::TempDir dir;
  // Folder names of at most 60 GBK characters: the Unix side stores them as
  // UTF-8, three bytes each, within its 255-byte name limit.
  std::string parent = dir.path();
  auto add = [&](int gbk_chars, bool odd) {
    parent += odd ? "\\a" : "\\";
    for (int i = 0; i < gbk_chars; ++i) parent += "\xD6\xD0";
    return MakeDir(parent);
  };
  while (parent.size() + 1 + 120 < 258) ASSERT_TRUE(add(60, false)) << GetLastError();
  const std::size_t rest = 258 - parent.size() - 1;
  ASSERT_TRUE(add(static_cast<int>(rest / 2), rest % 2 != 0)) << GetLastError();
  ASSERT_EQ(parent.size(), 258u);
  parent += "\\";  // byte 259
  const std::string folder = parent + "\xD6\xD0";  // a double byte cannot be split there
  ASSERT_TRUE(MakeDir(folder)) << GetLastError();
  std::wstring korean = WideFromGbk(dir.path());
  korean += L'\\' + std::wstring(256 - korean.size(), L'a');
  ASSERT_TRUE(CreateDirectoryW(korean.c_str(), nullptr));
  korean += L"\\\uD55C";
  ASSERT_TRUE(CreateDirectoryW(korean.c_str(), nullptr));
  ASSERT_EQ(korean.size(), 259u);

  for (const std::wstring& moved_to : {WideFromGbk(folder), WideFromGbk(parent), korean, WideFromGbk(dir.File("no"))}) {
    ShellFolderMoved moved(L"Personal", moved_to);
    ASSERT_TRUE(moved.ok());
    ValueRecord r = Call(bv::GetSpecialFolder, {ValueRecord::Int(bv::kFolderDocuments)});
    EXPECT_EQ(r.AsText(), nullptr) << GbkFromWide(moved_to) << ": " << bvtest::Hex(r.AsText() ? r.AsText() : "");
    bv::Release(r.AsText());
  }
}

// A Chinese user's desktop comes back in GBK whatever the system code page:
// the ANSI functions would spell it with "?" off code page 936.
TEST(SpecialFolder, ChineseDesktopComesBackInGbk) {
  bvtest::TempDir dir;
  const std::string desktop = dir.File("桌面");
  ASSERT_TRUE(MakeDir(desktop));
  ShellFolderMoved moved(L"Desktop", WideFromGbk(desktop));
  ASSERT_TRUE(moved.ok());
  const std::string got = Folder(bv::kFolderDesktop);
  EXPECT_EQ(got, desktop + "\\") << bvtest::Hex(got);
}

// ---- Shortcuts -----------------------------------------------------------------------

// ".lnk" goes after a name without any dot of its own, and after no other:
// each link lands where its name says, never also under the other name.
TEST_F(ShellLinks, NameWithoutAnyDotGetsLnkSuffix) {
  ASSERT_TRUE(CreateDirectoryA(dir_.File("v1.2").c_str(), nullptr));
  const struct {
    std::string given, lands, not_at;
  } cases[] = {{dir_.File("plain"), dir_.File("plain.lnk"), dir_.File("plain")},
               {dir_.File("v1.2\\plain"), dir_.File("v1.2\\plain"), dir_.File("v1.2\\plain.lnk")},
               {dir_.File("site.url"), dir_.File("site.url"), dir_.File("site.url.lnk")},
               // What the shortcut button builds from the desktop folder and "\Brisvale.lnk".
               {dir_.path() + "\\\\Brisvale.lnk", dir_.File("Brisvale.lnk"), dir_.File("Brisvale.lnk.lnk")}};
  for (const auto& c : cases) {
    EXPECT_TRUE(Create({T(c.given), T(target_)})) << c.given;
    EXPECT_FALSE(Exists(c.not_at)) << c.given;
    EXPECT_STRCASEEQ(ReadThroughShell(c.lands).path.c_str(), target_.c_str()) << c.given;
    EXPECT_EQ(ParseLinkFile(c.lands).show, static_cast<std::uint32_t>(SW_SHOW)) << c.given;
  }
}

TEST_F(ShellLinks, ExistingFileIsReplaced) {
  std::string link = dir_.File("again.lnk");
  std::string other = dir_.File("other.exe");
  ASSERT_TRUE(bvtest::WriteWholeFile(other, "MZ"));
  ASSERT_TRUE(bvtest::WriteWholeFile(link, std::string(4096, 'x')));
  EXPECT_TRUE(Create({T(link), T(target_)}));
  EXPECT_STRCASEEQ(ReadThroughShell(link).path.c_str(), target_.c_str());
  EXPECT_TRUE(Create({T(link), T(other)}));
  LinkFields f = ReadThroughShell(link);
  EXPECT_STRCASEEQ(f.path.c_str(), other.c_str());
  RawLink raw = ParseLinkFile(link);
  ASSERT_TRUE(raw.valid);
  EXPECT_STRCASEEQ(raw.local_path.c_str(), other.c_str());
}

TEST_F(ShellLinks, MissingFolderOrEmptyNameFails) {
  std::string link = dir_.File("absent\\x.lnk");
  EXPECT_FALSE(Create({T(link), T(target_)}));
  EXPECT_FALSE(Exists(link));
  EXPECT_FALSE(Create({ValueRecord::TextOf(bv::kEmptyText), T(target_)}));
  EXPECT_FALSE(Create({ValueRecord::TextOf(nullptr), T(target_)}));
}

// A caller that reads the type word sees what the value words hold, whether
// the command succeeded or not.
TEST_F(ShellLinks, ResultsCarryTheirTypeWordOnSuccessAndFailure) {
  ValueRecord made = Call(bv::CreateShortcut, {T(dir_.File("typed.lnk")), T(target_)});
  EXPECT_EQ(made.type, bv::kTypeBool);
  EXPECT_TRUE(made.AsBool());
  ValueRecord refused = Call(bv::CreateShortcut, {ValueRecord::TextOf(bv::kEmptyText), T(target_)});
  EXPECT_EQ(refused.type, bv::kTypeBool);
  ValueRecord folder = Call(bv::GetSpecialFolder, {ValueRecord::Int(bv::kFolderWindows)});
  EXPECT_EQ(folder.type, bv::kTypeText);
  ASSERT_NE(folder.AsText(), nullptr);
  bv::Release(folder.AsText());
  ValueRecord unknown = Call(bv::GetSpecialFolder, {ValueRecord::Int(12)});
  EXPECT_EQ(unknown.type, bv::kTypeText);
  EXPECT_EQ(unknown.AsText(), nullptr);
}

TEST_F(ShellLinks, DescriptionIsStoredWithThreeArguments) {
  std::string link = dir_.File("described.lnk");
  EXPECT_TRUE(Create({T(link), T(target_), T("观战工具")}));
  LinkFields f = ReadThroughShell(link);
  EXPECT_EQ(f.description, "观战工具") << bvtest::Hex(f.description);
  EXPECT_EQ(f.arguments, "");
  EXPECT_EQ(f.work_dir, "");
  RawLink raw = ParseLinkFile(link);
  ASSERT_TRUE(raw.valid);
  EXPECT_TRUE(raw.has_name);
  EXPECT_EQ(raw.name, "观战工具") << bvtest::Hex(raw.name);
  EXPECT_FALSE(raw.has_arguments);
  EXPECT_FALSE(raw.has_work_dir);
}

TEST_F(ShellLinks, AllFiveStoreArgumentsAndWorkingDirectory) {
  std::string link = dir_.File("full.lnk");
  EXPECT_TRUE(Create({T(link), T(target_), T("d"), T("--spectate \"x y\""), T(dir_.path())}));
  LinkFields f = ReadThroughShell(link);
  EXPECT_EQ(f.description, "d");
  EXPECT_EQ(f.arguments, "--spectate \"x y\"");
  EXPECT_STRCASEEQ(f.work_dir.c_str(), dir_.path().c_str());
  RawLink raw = ParseLinkFile(link);
  ASSERT_TRUE(raw.valid);
  EXPECT_EQ(raw.arguments, "--spectate \"x y\"");
  EXPECT_STRCASEEQ(raw.work_dir.c_str(), dir_.path().c_str());
  EXPECT_EQ(raw.show, static_cast<std::uint32_t>(SW_SHOW));
}

TEST_F(ShellLinks, ArgumentsNeedACallWithAllFive) {
  std::string link = dir_.File("four.lnk");
  EXPECT_TRUE(Create({T(link), T(target_), ValueRecord::Omit(), T("-x")}));
  LinkFields f = ReadThroughShell(link);
  EXPECT_EQ(f.arguments, "");
  EXPECT_FALSE(ParseLinkFile(link).has_arguments);
}

TEST_F(ShellLinks, ToolCallStoresNoOptionalField) {
  // Five arguments, the last three omitted: the shortcut button's call.
  std::string link = dir_.File("Brisvale");
  EXPECT_TRUE(Create({T(link), T(target_), ValueRecord::Omit(), ValueRecord::Omit(), ValueRecord::Omit()}));
  LinkFields f = ReadThroughShell(link + ".lnk");
  ASSERT_TRUE(f.loaded);
  EXPECT_STRCASEEQ(f.path.c_str(), target_.c_str());
  EXPECT_EQ(f.description, "");
  EXPECT_EQ(f.arguments, "");
  EXPECT_EQ(f.work_dir, "");
  RawLink raw = ParseLinkFile(link + ".lnk");
  ASSERT_TRUE(raw.valid);
  EXPECT_FALSE(raw.has_name);
  EXPECT_FALSE(raw.has_work_dir);
  EXPECT_FALSE(raw.has_arguments);
  EXPECT_EQ(raw.flags & kHasIconLocation, 0u);
  EXPECT_EQ(raw.show, static_cast<std::uint32_t>(SW_SHOW));
  EXPECT_STRCASEEQ(raw.local_path.c_str(), target_.c_str());
}

TEST_F(ShellLinks, GbkNameBecomesTheSameUnicodeName) {
  std::string link = dir_.File("快捷方式");
  EXPECT_TRUE(Create({T(link), T(target_)}));
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_UTF8, 0, (dir_.path() + "\\").c_str(), -1, wide, MAX_PATH);
  std::wstring expected = std::wstring(wide) + L"\u5FEB\u6377\u65B9\u5F0F.lnk";
  EXPECT_NE(GetFileAttributesW(expected.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The client's usual kind of folder: the link's name, target, fields and
// working folder keep their characters whatever the system code page.
TEST_F(ShellLinks, ChinesePathsAndFieldsKeepTheirCharacters) {
  const std::string game = dir_.File("英雄联盟 Game");
  ASSERT_TRUE(MakeDir(game));
  const std::string target = game + "\\Brisvale.exe";
  ASSERT_TRUE(bvtest::WriteWholeFile(target, "MZ"));
  const std::string link = game + "\\观战";
  EXPECT_TRUE(Create({T(link), T(target), T("观战工具"), T("--服务器 国服"), T(game)}));
  EXPECT_NE(GetFileAttributesW((WideFromGbk(game) + L"\\\u89C2\u6218.lnk").c_str()), INVALID_FILE_ATTRIBUTES);
  LinkFields f = ReadThroughShell(link + ".lnk");
  ASSERT_TRUE(f.loaded);
  // The item list is what the shell starts the link by. Wine writes the
  // link's path field only in the system code page (no Unicode copy), so off
  // code page 936 that field reads back with "?"; the item list still names
  // the target.
  EXPECT_EQ(f.item_path, target) << bvtest::Hex(f.item_path);
  if (GetACP() == 936) {
    EXPECT_EQ(f.path, target) << bvtest::Hex(f.path);
  }
  EXPECT_EQ(f.description, "观战工具") << bvtest::Hex(f.description);
  EXPECT_EQ(f.arguments, "--服务器 国服") << bvtest::Hex(f.arguments);
  EXPECT_EQ(f.work_dir, game) << bvtest::Hex(f.work_dir);
}

// The shortcut button on a Korean user's desktop: the folder comes back in its
// short form where the platform gives one, and the link lands in it.
TEST_F(ShellLinks, KoreanDesktopTakesTheShortcutThroughItsShortForm) {
  const std::wstring desktop = WideFromGbk(dir_.path()) + L"\\\uBC14\uD0D5\uD654\uBA74";
  ASSERT_TRUE(CreateDirectoryW(desktop.c_str(), nullptr));
  ShellFolderMoved moved(L"Desktop", desktop);
  ASSERT_TRUE(moved.ok());
  const std::string folder = Folder(bv::kFolderDesktop);
  wchar_t short_form[MAX_PATH] = {};
  const DWORD n = GetShortPathNameW(desktop.c_str(), short_form, MAX_PATH);
  const bool spelt = n > 0 && n < MAX_PATH && WideFromGbk(GbkFromWide(short_form)) == short_form;
  if (!spelt) {
    EXPECT_EQ(folder, dir_.path() + "\\????\\") << "no short form: a \"?\" for each syllable";
    return;
  }
  EXPECT_EQ(folder, GbkFromWide(short_form) + "\\");
  EXPECT_TRUE(Create({T(folder + "\\Brisvale.lnk"), T(target_), ValueRecord::Omit(), ValueRecord::Omit(),
                      ValueRecord::Omit()}));
  EXPECT_NE(GetFileAttributesW((desktop + L"\\Brisvale.lnk").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ShellLinks, TargetThatDoesNotExistIsStillWritten) {
  std::string link = dir_.File("dangling.lnk");
  std::string missing = dir_.File("Brisvale.exe");
  EXPECT_TRUE(Create({T(link), T(missing)}));
  EXPECT_TRUE(Exists(link));
}

// ---- Opening an address ---------------------------------------------------------------

// A helper program of build/win/tools: from BRISVALE_TOOLS (a Unix path, seen
// through drive Z:), else beside this program's own folder.
std::string ToolPath(const std::string& name) {
  char env[MAX_PATH] = {};
  std::string dir;
  if (GetEnvironmentVariableA("BRISVALE_TOOLS", env, MAX_PATH)) {
    dir = env;
    if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;
    for (char& c : dir)
      if (c == '/') c = '\\';
  } else {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    dir = self;
    dir = dir.substr(0, dir.find_last_of('\\')) + "\\..\\tools";
  }
  return dir + "\\" + name;
}

// The browser is replaced by a recorder of its command line, registered as
// the handler of both schemes in this program's own prefix.
class OpenAddress : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string recorder = ToolPath("url_recorder.exe");
    ASSERT_TRUE(Exists(recorder)) << recorder;
    log_ = dir_.File("opened.log");
    std::string command = "\"" + recorder + "\" --log=" + log_ + " \"%1\"";
    for (const char* key : {"Software\\Classes\\http\\shell\\open\\command",
                            "Software\\Classes\\https\\shell\\open\\command"}) {
      HKEY k;
      ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr),
                ERROR_SUCCESS);
      RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                     static_cast<DWORD>(command.size() + 1));
      RegCloseKey(k);
    }
  }

  // Waits (at most 15 s) until the recorder has logged `address` and no
  // recorder is left running: that must be the one line logged since the
  // last call. The log then starts afresh.
  void ExpectOnlyOpened(const std::string& address) {
    const std::string quoted = "\"" + address + "\"";
    std::string log;
    for (int i = 0; i < 150; ++i) {
      log = bvtest::ReadWholeFile(log_);
      if (log.find(quoted) != std::string::npos && !RecorderRunning()) break;
      Sleep(100);
    }
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << address << ": " << log;
    EXPECT_NE(log.find(quoted), std::string::npos) << address << ": " << log;
    DeleteFileW(WideFromGbk(log_).c_str());
  }
  static bool RecorderRunning() {
    HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W p{sizeof p};
    bool running = false;
    for (BOOL more = Process32FirstW(all, &p); more && !running; more = Process32NextW(all, &p))
      running = _wcsicmp(p.szExeFile, L"url_recorder.exe") == 0;
    CloseHandle(all);
    return running;
  }

  bvtest::TempDir dir_;
  std::string log_;
};

TEST_F(OpenAddress, AddressReachesTheBrowserOnceAsTheShellSpellsIt) {
  Call(bv::OpenUrl, {ValueRecord::TextOf("www.op.gg")});
  ExpectOnlyOpened("http://www.op.gg");
  Call(bv::OpenUrl, {ValueRecord::TextOf("https://www.op.gg/champion/statistics")});
  ExpectOnlyOpened("https://www.op.gg/champion/statistics");
}

TEST_F(OpenAddress, OmittedOrEmptyAddressOpensNoSite) {
  // The default is a blank page, the empty text names nothing: neither may
  // reach a web handler. A site opened after them, once recorded with no
  // recorder left running, shows that whatever they opened is recorded too.
  Call(bv::OpenUrl, {});
  Call(bv::OpenUrl, {ValueRecord::TextOf(bv::kEmptyText)});
  Call(bv::OpenUrl, {ValueRecord::TextOf(nullptr)});
  Call(bv::OpenUrl, {ValueRecord::TextOf("http://sentinel.test/")});
  ExpectOnlyOpened("http://sentinel.test/");
}

}  // namespace
