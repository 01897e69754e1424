#include "runtime/file_commands.h"

#include <windows.h>

#include <climits>
#include <cstring>

#include "runtime/text_commands.h"
#include "runtime/texts.h"
#include "runtime/win/wide_text.h"

namespace bv {

namespace {

// Paths and command lines go to the platform as they are (through their wide
// form); null is empty.
const char* PathArg(const ValueRecord* args, std::int32_t argc, int i) {
  const char* t = ArgText(args, argc, i);
  return t ? t : "";
}

bool WriteAll(HANDLE file, const void* data, std::int32_t size) {
  if (size <= 0) return true;
  DWORD written = 0;
  return WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == static_cast<DWORD>(size);
}

// The platform's show command for each show mode (index 0 unused).
constexpr WORD kShowCommands[kShowMinimizedInactive + 1] = {
    SW_HIDE, SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE, SW_MINIMIZE};

// How long Run lets a started program become ready for input.
constexpr DWORD kReadyWaitMs = 1000;

std::int32_t ButtonResult(int id) {
  switch (id) {
    case IDOK: return 0;
    case IDCANCEL: return 1;
    case IDABORT: return 2;
    case IDRETRY: return 3;
    case IDIGNORE: return 4;
    case IDYES: return 5;
    case IDNO: return 6;
    default: return 0;
  }
}

// A numeric array carries a numeric type code with the array flag: it is no
// number, and its element bytes are no message.
bool ShownAsToText(TypeCode t) { return !IsArray(t) && (IsNumeric(t) || t == kTypeBool || t == kTypeDateTime); }

}  // namespace

void GetCurrentDir(ValueRecord* result, std::int32_t, const ValueRecord*) {
  char buffer[MAX_PATH] = "";
  // 0 is failure; a count of MAX_PATH or more is a directory whose GBK form
  // does not fit, however short its wide form.
  const DWORD n = wide::GetCurrentDirectoryGbk(MAX_PATH, buffer);
  if (n == 0 || n >= MAX_PATH) buffer[0] = '\0';
  result->SetText(CopyText(buffer));
}

void FileExists(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  WIN32_FIND_DATAW found;
  HANDLE search = wide::FindFirstFileGbk(PathArg(args, argc, 0), &found);
  const bool exists = search != INVALID_HANDLE_VALUE;
  if (exists) FindClose(search);
  result->SetBool(exists);
}

void LoadFile(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  result->SetByteSet(nullptr);
  const char* path = PathArg(args, argc, 0);
  if (!*path) return;
  HANDLE file = wide::CreateFileGbk(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size{};
  // The length must fit a signed 32-bit count together with the byte set's
  // header; anything longer is beyond this command.
  constexpr LONGLONG kHeader = sizeof(ByteSetHeader);
  if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 || size.QuadPart > INT_MAX - kHeader) {
    CloseHandle(file);
    return;
  }
  const auto length = static_cast<std::int32_t>(size.QuadPart);
  // The byte set is read into directly; a block that cannot be had is a
  // failed read, not a fatal error.
  auto* block = static_cast<std::uint8_t*>(TryAllocate(length + static_cast<std::int32_t>(kHeader)));
  if (!block) {
    CloseHandle(file);
    return;
  }
  std::int32_t total = 0;
  bool failed = false;
  while (total < length) {
    DWORD got = 0;
    if (!ReadFile(file, block + kHeader + total, static_cast<DWORD>(length - total), &got, nullptr)) {
      failed = true;
      break;
    }
    if (got == 0) break;  // the file shrank under us: keep what came
    total += static_cast<std::int32_t>(got);
  }
  CloseHandle(file);
  if (failed || total == 0) {
    Release(block);
    return;
  }
  const ByteSetHeader header{1, total};
  std::memcpy(block, &header, sizeof header);
  result->SetByteSet(block);
}

void SaveFile(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  result->SetBool(false);
  const char* path = PathArg(args, argc, 0);
  if (!*path) return;
  HANDLE file = wide::CreateFileGbk(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  for (std::int32_t i = 1; i < argc; ++i) {
    bool ok;
    if (args[i].type == kTypeText) {
      // A text where a byte set belongs: its bytes, not a misread header.
      ok = WriteAll(file, args[i].AsText(), TextLen(args[i].AsText()));
    } else {
      const std::uint8_t* set = args[i].AsByteSet();
      ok = WriteAll(file, ByteSetData(set), ByteSetLength(set));
    }
    if (!ok) {
      CloseHandle(file);
      return;
    }
  }
  result->SetBool(CloseHandle(file) != 0);
}

void Run(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  result->SetBool(false);
  std::int32_t mode = kShowNormal;
  if (ArgGiven(args, argc, 2)) {
    mode = args[2].AsInt();
    if (mode > kShowMinimizedInactive) mode = kShowMinimizedInactive;
    if (mode < kShowHidden) mode = kShowHidden;
  }
  const bool wait = ArgGiven(args, argc, 1) && args[1].AsBool();

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = kShowCommands[mode];
  PROCESS_INFORMATION process{};
  // No working folder of its own: the batch runs in the caller's current one.
  if (!wide::CreateProcessGbk(PathArg(args, argc, 0), nullptr, 0, &startup, &process)) return;
  if (wait) {
    WaitForSingleObject(process.hProcess, INFINITE);
  } else {
    WaitForInputIdle(process.hProcess, kReadyWaitMs);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  result->SetBool(true);
}

void InfoBox(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  result->SetInt(0);
  const ValueRecord message = argc > 0 ? args[0] : ValueRecord{};
  char* converted = nullptr;
  const char* text = "";
  if (message.type == kTypeText) {
    if (message.AsText()) text = message.AsText();
  } else if (ShownAsToText(message.type)) {
    converted = Call(ToText, {message}).AsText();
    if (converted) text = converted;
  }
  const char* title = texts::kInfoBoxTitle;
  if (ArgGiven(args, argc, 2)) title = args[2].AsText() ? args[2].AsText() : "";
  UINT style = static_cast<UINT>(ArgInt(args, argc, 1));
  if (!(style & MB_SYSTEMMODAL)) style |= MB_TASKMODAL;
  const int pressed = wide::MessageBoxGbk(nullptr, text, title, style);
  Release(converted);
  result->SetInt(ButtonResult(pressed));
}

}  // namespace bv
