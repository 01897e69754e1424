#include "runtime/win/wide_text.h"

#include <cstring>
#include <cwchar>
#include <iterator>

#include "runtime/value.h"

namespace bv::wide {

namespace {

std::int32_t LengthOf(const char* gbk) {
  const std::size_t n = gbk ? std::strlen(gbk) : 0;
  return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<std::int32_t>(n);
}

std::int32_t LengthOf(const wchar_t* w, std::int32_t chars) {
  if (!w) return 0;
  if (chars >= 0) return chars;
  const std::size_t n = std::wcslen(w);
  return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<std::int32_t>(n);
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
    if (need > 0x7FFFFFFF) AllocationFailed(0x7FFFFFFF);
    text_ = static_cast<wchar_t*>(Allocate(static_cast<std::int32_t>(need)));
  }
  size_ = MultiByteToWideChar(kGbkCodePage, 0, gbk, bytes, text_, chars);
  text_[size_ > 0 ? size_ : 0] = 0;
  if (size_ < 0) size_ = 0;
}

char* ToGbkText(const wchar_t* w, std::int32_t chars) {
  chars = LengthOf(w, chars);
  if (chars <= 0) return nullptr;
  const int bytes = GbkBytes(w, chars, nullptr, 0, nullptr);
  if (bytes <= 0) return nullptr;
  char* text = static_cast<char*>(Allocate(bytes + 1));
  const int done = GbkBytes(w, chars, text, bytes, nullptr);
  text[done > 0 ? done : 0] = 0;
  if (done <= 0) {
    Release(text);
    return nullptr;
  }
  return text;
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
  // fit as characters too. Cut at a character boundary: no stray half.
  const std::int32_t length = LengthOf(gbk);
  std::int32_t bytes = 0;
  while (bytes < length) {
    const std::int32_t step = static_cast<unsigned char>(gbk[bytes]) >= 0x80 && bytes + 1 < length ? 2 : 1;
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

}  // namespace bv::wide

namespace bv::wide {

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

// ---- Windows and controls ------------------------------------------------------

namespace bv::wide {

char* Utf8ToGbkText(const char* utf8, std::int32_t bytes) {
  if (!utf8 || bytes <= 0) return nullptr;
  const int chars = MultiByteToWideChar(CP_UTF8, 0, utf8, bytes, nullptr, 0);
  if (chars <= 0) return nullptr;
  const std::int64_t need = static_cast<std::int64_t>(chars) * static_cast<std::int64_t>(sizeof(wchar_t));
  if (need > 0x7FFFFFFF) AllocationFailed(0x7FFFFFFF);
  auto* w = static_cast<wchar_t*>(Allocate(static_cast<std::int32_t>(need)));
  const int done = MultiByteToWideChar(CP_UTF8, 0, utf8, bytes, w, chars);
  char* gbk = done > 0 ? ToGbkText(w, done) : nullptr;
  Release(w);
  return gbk;
}

}  // namespace bv::wide
