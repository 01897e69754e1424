#include "runtime/win/wide_text.h"

#include <cstring>
#include <cwchar>
#include <iterator>

#include "runtime/value.h"

namespace bv::wide {

namespace {

std::int32_t LengthOf(const char* gbk) {
  const std::size_t n = gbk ? std::strlen(gbk) : 0;
  return n > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(n);
}

std::int32_t LengthOf(const wchar_t* w, std::int32_t chars) {
  if (!w) return 0;
  if (chars >= 0) return chars;
  const std::size_t n = std::wcslen(w);
  return n > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(n);
}

// Wide characters -> GBK bytes: no best-fit look-alikes, "?" for the rest.
int GbkBytes(const wchar_t* w, std::int32_t chars, char* out, int capacity, BOOL* lossy) {
  return WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, w, chars, out, capacity, "?", lossy);
}

}  // namespace

Wide::Wide(const char* gbk) : text_(small_) { Convert(gbk, LengthOf(gbk)); }

Wide::Wide(const char* gbk, std::int32_t bytes) : text_(small_) { Convert(gbk, gbk && bytes > 0 ? bytes : 0); }

Wide::~Wide() {
  if (text_ != small_) Release(text_);
}

void Wide::Convert(const char* gbk, std::int32_t bytes) {
  small_[0] = 0;
  if (bytes <= 0) return;
  const int chars = MultiByteToWideChar(kGbkCodePage, 0, gbk, bytes, nullptr, 0);
  if (chars <= 0) return;
  const std::int64_t need = (static_cast<std::int64_t>(chars) + 1) * static_cast<std::int64_t>(sizeof(wchar_t));
  if (chars >= MAX_PATH) {
    if (need > INT32_MAX) AllocationFailed(INT32_MAX);
    text_ = static_cast<wchar_t*>(Allocate(static_cast<std::int32_t>(need)));
  }
  size_ = MultiByteToWideChar(kGbkCodePage, 0, gbk, bytes, text_, chars);
  text_[size_ > 0 ? size_ : 0] = 0;
  if (size_ < 0) size_ = 0;
}

std::int32_t WideLength(const char* gbk, std::int32_t bytes) {
  if (!gbk || bytes <= 0) return 0;
  const int chars = MultiByteToWideChar(kGbkCodePage, 0, gbk, bytes, nullptr, 0);
  return chars > 0 ? chars : 0;
}

char* ToGbkText(const wchar_t* w, std::int32_t chars) {
  chars = LengthOf(w, chars);
  if (chars <= 0) return nullptr;
  const int bytes = GbkBytes(w, chars, nullptr, 0, nullptr);
  if (bytes <= 0) return nullptr;
  if (bytes == INT32_MAX) AllocationFailed(bytes);  // no room left for the NUL
  char* text = static_cast<char*>(Allocate(bytes + 1));
  const int done = GbkBytes(w, chars, text, bytes, nullptr);
  text[done > 0 ? done : 0] = 0;
  if (done <= 0) {
    Release(text);
    return nullptr;
  }
  return text;
}

char* Utf8ToGbkText(const char* utf8, std::int32_t bytes) {
  if (!utf8 || bytes <= 0) return nullptr;
  const int chars = MultiByteToWideChar(CP_UTF8, 0, utf8, bytes, nullptr, 0);
  if (chars <= 0) return nullptr;
  const std::int64_t need = static_cast<std::int64_t>(chars) * static_cast<std::int64_t>(sizeof(wchar_t));
  if (need > INT32_MAX) AllocationFailed(INT32_MAX);
  auto* w = static_cast<wchar_t*>(Allocate(static_cast<std::int32_t>(need)));
  const int done = MultiByteToWideChar(CP_UTF8, 0, utf8, bytes, w, chars);
  char* gbk = done > 0 ? ToGbkText(w, done) : nullptr;
  Release(w);
  return gbk;
}

std::int32_t ToGbk(const wchar_t* w, std::int32_t chars, char* out, std::int32_t capacity) {
  if (!out || capacity <= 0) return -1;
  out[0] = 0;
  chars = LengthOf(w, chars);
  if (chars <= 0) return 0;
  const int bytes = GbkBytes(w, chars, nullptr, 0, nullptr);
  if (bytes <= 0 || bytes >= capacity) return -1;
  const int done = GbkBytes(w, chars, out, bytes, nullptr);
  if (done != bytes) {
    out[0] = 0;
    return -1;
  }
  out[done] = 0;
  return done;
}

std::int32_t FromGbkFixed(const char* gbk, wchar_t* out, std::int32_t capacity) {
  if (!out || capacity <= 0) return 0;
  out[0] = 0;
  // Every GBK character, one byte or two, is one UTF-16 unit, so bytes that fit
  // fit as characters too. Cut at a character boundary: no stray half. Lead
  // bytes are 0x81 to 0xFE; 0x80 stands alone (the euro sign).
  const std::int32_t length = LengthOf(gbk);
  std::int32_t bytes = 0;
  while (bytes < length) {
    const auto byte = static_cast<unsigned char>(gbk[bytes]);
    const std::int32_t step = byte >= 0x81 && byte <= 0xFE && bytes + 1 < length ? 2 : 1;
    if (bytes + step > capacity - 1) break;
    bytes += step;
  }
  if (bytes == 0) return 0;
  const int done = MultiByteToWideChar(kGbkCodePage, 0, gbk, bytes, out, capacity - 1);
  out[done > 0 ? done : 0] = 0;
  return done > 0 ? done : 0;
}

bool FitsGbk(const wchar_t* w, std::int32_t chars) {
  chars = LengthOf(w, chars);
  if (chars <= 0) return true;
  BOOL lossy = FALSE;
  GbkBytes(w, chars, nullptr, 0, &lossy);
  return !lossy;
}

namespace {

const wchar_t* OrNull(const char* gbk, const Wide& w) { return gbk ? w.c_str() : nullptr; }

}  // namespace

int MessageBoxGbk(HWND owner, const char* text, const char* caption, UINT style) {
  const Wide wide_text(text);
  const Wide wide_caption(caption);
  return MessageBoxW(owner, OrNull(text, wide_text), OrNull(caption, wide_caption), style);
}

int MessageBoxGbkFixed(HWND owner, const char* text, const char* caption, UINT style) {
  wchar_t wide_text[4096];
  wchar_t wide_caption[256];
  FromGbkFixed(text, wide_text, static_cast<std::int32_t>(std::size(wide_text)));
  FromGbkFixed(caption, wide_caption, static_cast<std::int32_t>(std::size(wide_caption)));
  return MessageBoxW(owner, text ? wide_text : nullptr, caption ? wide_caption : nullptr, style);
}

HANDLE CreateFileGbk(const char* path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security, DWORD disposition,
                     DWORD attributes, HANDLE template_file) {
  return CreateFileW(Wide(path).c_str(), access, share, security, disposition, attributes, template_file);
}

HANDLE FindFirstFileGbk(const char* path, WIN32_FIND_DATAW* found) { return FindFirstFileW(Wide(path).c_str(), found); }

DWORD GetCurrentDirectoryGbk(DWORD capacity, char* out) {
  const std::int32_t room = capacity > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(capacity);
  if (out && room > 0) out[0] = '\0';
  wchar_t small[MAX_PATH];
  wchar_t* wide = small;
  DWORD n = GetCurrentDirectoryW(MAX_PATH, small);
  if (n == 0) return 0;
  if (n >= MAX_PATH) {
    // Every character takes a GBK byte at least, so a wide form longer than
    // the room cannot fit; a shorter one is read whole into a block of its own.
    if (n > capacity) return n;
    wide = static_cast<wchar_t*>(TryAllocate(static_cast<std::int32_t>(n * sizeof(wchar_t))));
    if (!wide) return 0;
    const DWORD again = GetCurrentDirectoryW(n, wide);
    if (again == 0 || again >= n) {
      // Gone, or changed under us into a longer one: nothing half read.
      Release(wide);
      return again == 0 ? 0 : again;
    }
  }
  const std::int32_t bytes = out && room > 0 ? PathToGbk(wide, out, room) : -1;
  if (wide != small) Release(wide);
  return bytes >= 0 ? static_cast<DWORD>(bytes) : (capacity > 0 ? capacity : 1);
}

BOOL CreateProcessGbk(const char* command_line, const char* directory, DWORD flags, STARTUPINFOW* startup,
                      PROCESS_INFORMATION* process) {
  Wide command(command_line);
  const Wide folder(directory);
  return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, flags, nullptr, OrNull(directory, folder),
                        startup, process);
}

namespace {

// The short form of a path whose long form has no GBK spelling, or the empty
// buffer when the platform gives none (no 8.3 names on that volume, or the
// path does not exist yet).
bool ShortForm(const wchar_t* path, wchar_t (&out)[32768]) {
  const DWORD n = GetShortPathNameW(path, out, static_cast<DWORD>(std::size(out)));
  return n > 0 && n < std::size(out) && FitsGbk(out);
}

}  // namespace

char* PathToGbkText(const wchar_t* path) {
  if (!path || FitsGbk(path)) return ToGbkText(path);
  wchar_t short_path[32768];  // the platform's longest path
  return ToGbkText(ShortForm(path, short_path) ? short_path : path);
}

std::int32_t PathToGbk(const wchar_t* path, char* out, std::int32_t capacity) {
  if (!path || FitsGbk(path)) return ToGbk(path, -1, out, capacity);
  wchar_t short_path[32768];  // the platform's longest path
  return ToGbk(ShortForm(path, short_path) ? short_path : path, -1, out, capacity);
}

}  // namespace bv::wide
