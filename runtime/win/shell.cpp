#include "runtime/shell.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shellapi.h>

#include <iterator>
#include <string>
#include <vector>

namespace bv {

namespace {

constexpr DWORD kPathBuffer = MAX_PATH;  // 260 bytes with the terminator

// The folder id asked of the shell for numbers 1..8; -1 for the others.
int ShellFolderId(std::int32_t number) {
  switch (number) {
    case kFolderDocuments: return CSIDL_PERSONAL;
    case kFolderFavorites: return CSIDL_FAVORITES;
    case kFolderDesktop: return CSIDL_DESKTOPDIRECTORY;
    case kFolderFonts: return CSIDL_FONTS;
    case kFolderStartMenu: return CSIDL_STARTMENU;
    case kFolderPrograms: return CSIDL_PROGRAMS;
    case kFolderStartup: return CSIDL_STARTUP;
    case kFolderAppData: return CSIDL_APPDATA;
    default: return -1;
  }
}

// The folder's path in `buf`, its length as the result; 0 when there is none.
DWORD FolderPath(std::int32_t number, char* buf) {
  int id = ShellFolderId(number);
  if (id >= 0) {
    if (!SHGetSpecialFolderPathA(nullptr, buf, id, FALSE)) return 0;
    // The shell's folders end in no separator (drive roots aside), so 259
    // bytes or more is a path cut short: Wine answers success with the first
    // 259 bytes of a longer GBK path, which may end in the separator before
    // the last name and so name the parent folder.
    const DWORD n = static_cast<DWORD>(lstrlenA(buf));
    return n < kPathBuffer - 1 ? n : 0;
  }
  DWORD n = 0;
  switch (number) {
    case kFolderWindows: n = GetWindowsDirectoryA(buf, kPathBuffer); break;
    case kFolderSystem: n = GetSystemDirectoryA(buf, kPathBuffer); break;
    case kFolderTemp: n = GetTempPathA(kPathBuffer, buf); break;
    default: return 0;
  }
  // A length of the buffer or more is the size the path would need: it did
  // not fit and the buffer holds nothing usable.
  return n < kPathBuffer ? n : 0;
}

// Releases a COM interface when the scope ends, whatever path it leaves by.
const char* NullToEmpty(const char* t) { return t ? t : ""; }

template <class T>
struct ComRef {
  T* p = nullptr;
  ~ComRef() {
    if (p) p->Release();
  }
};

}  // namespace

void GetSpecialFolder(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  char buf[kPathBuffer + 1] = {};
  DWORD n = FolderPath(ArgInt(args, argc, 0), buf);
  if (n == 0) return;
  if (buf[n - 1] != '\\') {
    // 259 bytes plus the separator would leave no room for the terminator
    // in a path buffer: such a folder cannot be used to build a path.
    if (n + 1 >= kPathBuffer) return;
    buf[n++] = '\\';
    buf[n] = '\0';
  }
  result->SetPointer(MakeText(buf, static_cast<std::int32_t>(n)));
}

void CreateShortcut(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  result->value = 0;
  const char* link = ArgText(args, argc, 0);
  // A link without a name would land as a bare ".lnk" in the current folder.
  if (!link || !*link) return;
  const char* target = ArgText(args, argc, 1);

  ComRef<IShellLinkA> shell_link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&shell_link.p))))
    return;
  ComRef<IPersistFile> file;
  if (FAILED(shell_link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))))
    return;

  // A failing setter does not stop the save: the link is written with what
  // could be stored.
  shell_link.p->SetPath(NullToEmpty(target));
  shell_link.p->SetShowCmd(SW_SHOW);
  if (ArgGiven(args, argc, 2)) shell_link.p->SetDescription(NullToEmpty(args[2].AsText()));
  if (argc >= 5) {
    if (ArgGiven(args, argc, 3)) shell_link.p->SetArguments(NullToEmpty(args[3].AsText()));
    if (ArgGiven(args, argc, 4)) shell_link.p->SetWorkingDirectory(NullToEmpty(args[4].AsText()));
  }

  std::string name(link);
  if (name.find('.') == std::string::npos) name += ".lnk";

  int wide_len = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, nullptr, 0);
  if (wide_len <= 0) return;
  std::vector<wchar_t> wide(static_cast<std::size_t>(wide_len));
  if (MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wide.data(), wide_len) <= 0) return;

  if (SUCCEEDED(file.p->Save(wide.data(), TRUE))) result->value = 1;
}

void OpenUrl(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  (void)result;
  const char* address = ArgGiven(args, argc, 0) ? args[0].AsText() : kDefaultUrl;
  // An empty address names no site; the shell would open the current folder.
  if (!address || !*address) return;
  HWND owner = FindWindowExA(nullptr, nullptr, nullptr, "Microsoft Internet Explorer");
  ShellExecuteA(owner, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

namespace {

const CommandInfo kOsCommands[] = {
    {"GetSpecialFolder", GetSpecialFolder},
    {"CreateShortcut", CreateShortcut},
};
const CommandInfo kAppCommands[] = {
    {"OpenUrl", OpenUrl},
};

const LibraryInfo kOsLibraryInfo = {kOsLibrary, "OsInterface", kOsCommands,
                                static_cast<std::int32_t>(std::size(kOsCommands)), nullptr};
const LibraryInfo kAppLibraryInfo = {kAppLibrary, "AppInterface", kAppCommands,
                                 static_cast<std::int32_t>(std::size(kAppCommands)), nullptr};

}  // namespace

const LibraryInfo& OsLibrary() { return kOsLibraryInfo; }
const LibraryInfo& AppLibrary() { return kAppLibraryInfo; }

}  // namespace bv
