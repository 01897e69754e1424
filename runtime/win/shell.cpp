#include "runtime/shell.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "runtime/win/wide_text.h"

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

// The folder's GBK path in `buf` (kPathBuffer bytes), its length in bytes as
// the result; 0 when there is none or its GBK form does not fit.
DWORD FolderPath(std::int32_t number, char* buf) {
  wchar_t wide[kPathBuffer] = {};
  int id = ShellFolderId(number);
  if (id >= 0) {
    if (!SHGetSpecialFolderPathW(nullptr, wide, id, FALSE)) return 0;
    // The shell's folders end in no separator (drive roots aside), so 259
    // characters or more may be a path cut short, which can end in the
    // separator before the last name and so name the parent folder. The same
    // holds for its GBK form: the limit is 259 bytes, as the platform's
    // ANSI form of the path would have it.
    if (std::wcslen(wide) >= kPathBuffer - 1) return 0;
    const std::int32_t n = wide::PathToGbk(wide, buf, kPathBuffer);
    return n > 0 && static_cast<DWORD>(n) < kPathBuffer - 1 ? static_cast<DWORD>(n) : 0;
  }
  DWORD n = 0;
  switch (number) {
    case kFolderWindows: n = GetWindowsDirectoryW(wide, kPathBuffer); break;
    case kFolderSystem: n = GetSystemDirectoryW(wide, kPathBuffer); break;
    case kFolderTemp: n = GetTempPathW(kPathBuffer, wide); break;
    default: return 0;
  }
  // A length of the buffer or more is the size the path would need: it did
  // not fit and the buffer holds nothing usable.
  if (n == 0 || n >= kPathBuffer) return 0;
  const std::int32_t bytes = wide::PathToGbk(wide, buf, kPathBuffer);
  return bytes > 0 ? static_cast<DWORD>(bytes) : 0;
}

// Releases a COM interface when the scope ends, whatever path it leaves by.
template <class T>
struct ComRef {
  T* p = nullptr;
  ~ComRef() {
    if (p) p->Release();
  }
};

}  // namespace

void GetSpecialFolder(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  result->SetText(nullptr);
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
  result->SetText(MakeText(buf, static_cast<std::int32_t>(n)));
}

void CreateShortcut(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  result->SetBool(false);
  const char* link = ArgText(args, argc, 0);
  // A link without a name would land as a bare ".lnk" in the current folder.
  if (!link || !*link) return;
  const char* target = ArgText(args, argc, 1);

  ComRef<IShellLinkW> shell_link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shell_link.p))))
    return;
  ComRef<IPersistFile> file;
  if (FAILED(shell_link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))))
    return;

  // A failing setter does not stop the save: the link is written with what
  // could be stored.
  shell_link.p->SetPath(wide::Wide(target).c_str());
  shell_link.p->SetShowCmd(SW_SHOW);
  if (ArgGiven(args, argc, 2)) shell_link.p->SetDescription(wide::Wide(args[2].AsText()).c_str());
  if (argc >= 5) {
    if (ArgGiven(args, argc, 3)) shell_link.p->SetArguments(wide::Wide(args[3].AsText()).c_str());
    if (ArgGiven(args, argc, 4)) shell_link.p->SetWorkingDirectory(wide::Wide(args[4].AsText()).c_str());
  }

  // No GBK trail byte is a dot, so a byte search finds only real dots.
  std::string name(link);
  if (name.find('.') == std::string::npos) name += ".lnk";

  if (SUCCEEDED(file.p->Save(wide::Wide(name.c_str()).c_str(), TRUE))) result->SetBool(true);
}

void OpenUrl(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  (void)result;
  const char* address = ArgGiven(args, argc, 0) ? args[0].AsText() : kDefaultUrl;
  // An empty address names no site; the shell would open the current folder.
  if (!address || !*address) return;
  HWND owner = FindWindowExW(nullptr, nullptr, nullptr, L"Microsoft Internet Explorer");
  ShellExecuteW(owner, L"open", wide::Wide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

namespace {

// Neither library needs to hear of the program's start or end.
const LibraryInfo kOsLibraryInfo = {nullptr};
const LibraryInfo kAppLibraryInfo = {nullptr};

}  // namespace

const LibraryInfo& OsLibrary() { return kOsLibraryInfo; }
const LibraryInfo& AppLibrary() { return kAppLibraryInfo; }

}  // namespace bv
