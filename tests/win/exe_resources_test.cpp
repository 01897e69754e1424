// What the built Brisvale.exe carries besides its code, read back out of the
// exe: the version resource (the project version, and the commit for any build
// that is not the release) and the application manifest as the platform reads
// it (its DPI settings as text). Then the manifest at work: the main window, built
// under the exe's own activation context, gets its buttons and edit boxes from
// version 6 of the common controls, which this program without a manifest of
// its own does not.
//
// The expectations come from the wrapper script (exe_resources_test.sh), which
// works them out from the source tree and git, not from the build.
#include <gtest/gtest.h>

#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "runtime/program.h"
#include "tests/win/support/program_scenario.h"
#include "tests/win/support/win_test.h"
#include "ui/frame.h"
#include "ui/main_window.h"
#include "ui/window_unit.h"

namespace {

using bvtest::Fact;

std::wstring Env(const wchar_t* name) {
  wchar_t buf[1024];
  DWORD n = GetEnvironmentVariableW(name, buf, 1024);
  return n && n < 1024 ? std::wstring(buf, n) : std::wstring();
}
std::wstring ExePath() { return Env(L"BVTEST_EXE"); }

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 0x80 ? static_cast<char>(c) : '?';
  return s;
}

// ---- Version resource ---------------------------------------------------------------

struct VersionInfo {
  bool ok = false;
  std::vector<unsigned char> data;
  VS_FIXEDFILEINFO fixed{};
  // A string of the only translation the exe declares; "<absent>" when missing.
  std::string String(const wchar_t* name) {
    void* p = nullptr;
    UINT len = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    if (!VerQueryValueW(data.data(), key.c_str(), &p, &len) || !p) return "<absent>";
    std::wstring w(static_cast<const wchar_t*>(p));
    return Narrow(w);
  }
};

VersionInfo ReadVersion() {
  VersionInfo v;
  std::wstring exe = ExePath();
  DWORD size = GetFileVersionInfoSizeW(exe.c_str(), nullptr);
  if (!size) return v;
  v.data.resize(size);
  if (!GetFileVersionInfoW(exe.c_str(), 0, size, v.data.data())) return v;
  void* p = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(v.data.data(), L"\\", &p, &len) || len < sizeof(VS_FIXEDFILEINFO)) return v;
  v.fixed = *static_cast<VS_FIXEDFILEINFO*>(p);
  v.ok = true;
  return v;
}

// "1.2.3" -> the four 16-bit parts, missing ones 0.
std::string FourParts(const std::string& version) {
  int part[4] = {0, 0, 0, 0};
  std::sscanf(version.c_str(), "%d.%d.%d.%d", &part[0], &part[1], &part[2], &part[3]);
  return std::to_string(part[0]) + "." + std::to_string(part[1]) + "." + std::to_string(part[2]) + "." +
         std::to_string(part[3]);
}
std::string FromWords(DWORD ms, DWORD ls) {
  return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." + std::to_string(HIWORD(ls)) + "." +
         std::to_string(LOWORD(ls));
}

TEST(ExeVersionResource, FileAndProductVersionAreTheProjectVersion) {
  ASSERT_FALSE(ExePath().empty()) << "BVTEST_EXE is not set; run through exe_resources_test.sh";
  VersionInfo v = ReadVersion();
  ASSERT_TRUE(v.ok) << "no version resource in " << Narrow(ExePath()) << ", error " << GetLastError();
  std::string want = FourParts(Narrow(Env(L"BVTEST_VERSION")));
  EXPECT_EQ(FromWords(v.fixed.dwFileVersionMS, v.fixed.dwFileVersionLS), want);
  EXPECT_EQ(FromWords(v.fixed.dwProductVersionMS, v.fixed.dwProductVersionLS), want);
  EXPECT_EQ(v.String(L"FileVersion"), want);
  EXPECT_EQ(v.String(L"ProductVersion"), want);
  EXPECT_EQ(v.String(L"OriginalFilename"), "Brisvale.exe");
}

TEST(ExeVersionResource, PrivateBuildNamesTheCommitExceptForTheRelease) {
  VersionInfo v = ReadVersion();
  ASSERT_TRUE(v.ok);
  std::string want = Narrow(Env(L"BVTEST_PRIVATE_BUILD"));  // empty: the release
  bool flag = (v.fixed.dwFileFlags & v.fixed.dwFileFlagsMask & VS_FF_PRIVATEBUILD) != 0;
  if (want.empty()) {
    EXPECT_EQ(v.String(L"PrivateBuild"), "<absent>");
    EXPECT_FALSE(flag);
  } else {
    EXPECT_EQ(v.String(L"PrivateBuild"), want);
    EXPECT_TRUE(flag) << "file flags " << v.fixed.dwFileFlags;
  }
}

// ---- The manifest's DPI settings, read as text: nothing else shows them -------------

std::string ManifestText() {
  HMODULE m = LoadLibraryExW(ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!m) return "";
  std::string text;
  if (HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
    if (HGLOBAL g = LoadResource(m, r)) text.assign(static_cast<const char*>(LockResource(g)), SizeofResource(m, r));
  }
  FreeLibrary(m);
  return text;
}

// The text of the one element <name ...> (any namespace declared on it); how
// many there are when not exactly one.
std::string ElementText(const std::string& xml, const std::string& name) {
  std::vector<std::size_t> starts;
  for (std::size_t pos = 0; (pos = xml.find("<" + name, pos)) != std::string::npos; ++pos) {
    const char after = pos + 1 + name.size() < xml.size() ? xml[pos + 1 + name.size()] : '\0';
    if (after && std::strchr(" >/\r\n", after)) starts.push_back(pos);
  }
  if (starts.size() != 1) return "<" + std::to_string(starts.size()) + " elements>";
  const std::size_t start = xml.find('>', starts[0]) + 1;
  return xml.substr(start, xml.find("</" + name + ">", start) - start);
}

TEST(ExeManifest, IsDpiUnawareWithGdiScaling) {
  std::string xml = ManifestText();
  ASSERT_FALSE(xml.empty()) << "no resource 1 of type RT_MANIFEST in " << Narrow(ExePath());
  EXPECT_EQ(ElementText(xml, "dpiAware"), "false");
  EXPECT_EQ(ElementText(xml, "gdiScaling"), "true");
  EXPECT_EQ(ElementText(xml, "dpiAwareness"), "<0 elements>");
}

// ---- The manifest as the platform reads it ------------------------------------------

HANDLE ExeActCtx() {
  std::wstring exe = ExePath();
  ACTCTXW ctx = {};
  ctx.cbSize = sizeof ctx;
  ctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  ctx.lpSource = exe.c_str();
  ctx.lpResourceName = MAKEINTRESOURCEW(1);
  return CreateActCtxW(&ctx);
}

TEST(ExeManifestAsRead, RunLevelIsAsInvoker) {
  HANDLE ctx = ExeActCtx();
  ASSERT_NE(ctx, INVALID_HANDLE_VALUE) << "CreateActCtx from the exe failed, error " << GetLastError();
  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION run = {};
  SIZE_T got = 0;
  ASSERT_TRUE(QueryActCtxW(0, ctx, nullptr, RunlevelInformationInActivationContext, &run, sizeof run, &got))
      << GetLastError();
  EXPECT_EQ(run.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
  EXPECT_EQ(run.UiAccess, 0u);
  ReleaseActCtx(ctx);
}

const char* const kSupportedOs[] = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
};

TEST(ExeManifestAsRead, CompatibilityListsFourSystems) {
  HANDLE ctx = ExeActCtx();
  ASSERT_NE(ctx, INVALID_HANDLE_VALUE);
  unsigned char buf[1024] = {};
  SIZE_T got = 0;
  ASSERT_TRUE(QueryActCtxW(0, ctx, nullptr, CompatibilityInformationInActivationContext, buf, sizeof buf, &got))
      << GetLastError();
  // Two layouts exist: the older {GUID, type} elements from offset 4, and the
  // newer ones that add a 64-bit "max version tested" and so start at offset 8.
  DWORD count = *reinterpret_cast<DWORD*>(buf);
  std::size_t first = 4, stride = 20;
  if (got == 8 + count * 32) first = 8, stride = 32;
  ASSERT_EQ(got, first + count * stride) << "unknown layout, " << count << " elements";
  std::vector<std::string> ids;
  for (DWORD i = 0; i < count; ++i) {
    GUID g;
    std::memcpy(&g, buf + first + i * stride, sizeof g);
    char s[40];
    std::snprintf(s, sizeof s, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    ids.push_back(s);
  }
  std::vector<std::string> want(std::begin(kSupportedOs), std::end(kSupportedOs));
  EXPECT_EQ(ids, want);
  ReleaseActCtx(ctx);
}

// ---- The window's controls under the exe's manifest ---------------------------------

const bv::WindowTemplate* const kWindows[] = {&bv::MainWindowTemplate()};

std::string IdealSize(bv::UnitId unit) {
  HWND h = bvtest::NativeOf(bv::kMainWindow, unit);
  SIZE size = {0, 0};
  LRESULT answered = SendMessageW(h, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&size));
  return answered ? std::to_string(size.cx) + "x" + std::to_string(size.cy) : "no answer";
}

// Only version 6 of the edit control keeps a cue banner (a single-line one).
std::string CueBanner(bv::UnitId unit) {
  HWND h = bvtest::NativeOf(bv::kMainWindow, unit);
  return SendMessageW(h, EM_SETCUEBANNER, 0, reinterpret_cast<LPARAM>(L"x")) ? "kept" : "no answer";
}

void ControlsStartup(const bv::EventCall&) {
  Fact("button1", IdealSize(bv::kButton1));
  Fact("button2", IdealSize(bv::kButton2));
  Fact("editbox4", CueBanner(bv::kEditBox4));
  RECT rc;
  GetWindowRect(bvtest::NativeOf(bv::kMainWindow, bv::kMainWindowUnit), &rc);
  Fact("outer", std::to_string(rc.right - rc.left) + "x" + std::to_string(rc.bottom - rc.top));
  DestroyWindow(bvtest::NativeOf(bv::kMainWindow, bv::kMainWindowUnit));
}

int ControlsEntry() {
  bv::InitializeProgram();
  bv::LoadWindow(bv::kMainWindow);
  bv::RunMessageLoop();
  return 0;
}

int RunControls() {
  bvtest::EnsureDropTargetType();
  const bv::EventHandler handlers[bv::kHandlerCount] = {ControlsStartup};
  const bv::ProgramDefinition program = {kWindows, 1, handlers, bv::kHandlerCount, nullptr, 0};
  return bv::RunProgram(program, ControlsEntry);
}

BVTEST_CHILD(plain) { return RunControls(); }

BVTEST_CHILD(under_exe_manifest) {
  HANDLE ctx = ExeActCtx();
  ULONG_PTR cookie = 0;
  Fact("activated", ctx != INVALID_HANDLE_VALUE && ActivateActCtx(ctx, &cookie));
  return RunControls();
}

// What the child scenario saw of the window's controls.
std::map<std::string, std::string> ControlsSeenBy(const char* scenario) {
  bvtest::FactLog log;
  EXPECT_EQ(bvtest::RunChild(scenario), 0) << log.Raw();
  return log.Facts();
}

TEST(ExeCommonControls, WithoutTheManifestButtonsAndEditBoxesAreVersion5) {
  auto f = ControlsSeenBy("plain");
  EXPECT_EQ(f["button1"], "no answer");
  EXPECT_EQ(f["button2"], "no answer");
  EXPECT_EQ(f["editbox4"], "no answer");
  EXPECT_EQ(f["outer"], "323x136");
}

TEST(ExeCommonControls, UnderTheExeManifestButtonsAndEditBoxesAreVersion6) {
  auto f = ControlsSeenBy("under_exe_manifest");
  ASSERT_EQ(f["activated"], "1");
  std::printf("under the exe's manifest: ideal size of Button1 %s, of Button2 %s\n", f["button1"].c_str(),
              f["button2"].c_str());
  EXPECT_NE(f["button1"], "no answer");
  EXPECT_NE(f["button2"], "no answer");
  EXPECT_EQ(f["editbox4"], "kept");
  EXPECT_EQ(f["outer"], "323x136");
}

}  // namespace
