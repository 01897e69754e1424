#include "ui/drop_rules.h"

#include <cstring>
#include <limits>

#include "runtime/value.h"
#include "ui/unit_model.h"

namespace bv {

// A drop of each kind raises the event of the same number.
static_assert(drop_event::kTextDropped == int{kDropText} && drop_event::kHtmlDropped == int{kDropHtml} &&
              drop_event::kUrlDropped == int{kDropUrl} && drop_event::kFilesDropped == int{kDropFiles});

std::uint32_t ChooseDropEffect(bool accepting, std::uint32_t keys, std::uint32_t allowed) {
  if (!accepting) return kDropEffectNone;
  const bool shift = (keys & kDropKeyShift) != 0;
  const bool ctrl = (keys & kDropKeyControl) != 0;
  if (shift && ctrl) return kDropEffectNone;
  if (shift) return (allowed & kDropEffectMove) ? kDropEffectMove : kDropEffectNone;
  if (ctrl) return (allowed & kDropEffectCopy) ? kDropEffectCopy : kDropEffectNone;
  for (std::uint32_t e : {kDropEffectCopy, kDropEffectMove, kDropEffectLink}) {
    if (allowed & e) return e;
  }
  return kDropEffectNone;
}

bool ReadDropTargetData(const void* data, std::int32_t size, bool accept[kDropKindCount]) {
  if (!data && size == 0) {
    for (int i = 0; i < kDropKindCount; ++i) accept[i] = false;
    return true;
  }
  if (!data || size < kDropTargetDataSize) return false;
  std::int32_t words[5];
  std::memcpy(words, data, sizeof words);  // the block is little-endian, as is every target
  if (words[0] != 0 && words[0] != 1) return false;
  for (int i = 0; i < kDropKindCount; ++i) accept[i] = words[i + 1] != 0;
  return true;
}

std::size_t BoundedTextLength(const void* bytes, std::size_t size) {
  if (!bytes) return 0;
  const void* nul = std::memchr(bytes, 0, size);
  return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - static_cast<const char*>(bytes)) : size;
}

std::size_t BoundedWideTextLength(const void* units, std::size_t size) {
  if (!units) return 0;
  const auto* bytes = static_cast<const unsigned char*>(units);
  std::size_t n = 0;
  while ((n + 1) * 2 <= size && (bytes[n * 2] != 0 || bytes[n * 2 + 1] != 0)) ++n;
  return n;
}

std::int64_t FileListCount(const void* block, std::size_t size) {
  if (!block || size < kFileListHeaderSize) return -1;
  const auto* bytes = static_cast<const unsigned char*>(block);
  std::uint32_t offset;
  std::int32_t wide;
  std::memcpy(&offset, bytes, sizeof offset);
  std::memcpy(&wide, bytes + 16, sizeof wide);
  if (offset >= size) return -1;
  const std::size_t unit = wide ? 2 : 1;
  auto is_nul = [&](std::size_t at) { return bytes[at] == 0 && (unit == 1 || bytes[at + 1] == 0); };
  bool path_started = false;
  std::int64_t count = 0;
  for (std::size_t at = offset; at + unit <= size; at += unit) {
    if (!is_nul(at)) {
      path_started = true;
    } else if (path_started) {
      path_started = false;  // one path ends
      ++count;
    } else {
      return count;  // the empty path that ends the list
    }
  }
  return -1;
}

std::string JoinDroppedPaths(const std::vector<std::string>& paths) {
  if (paths.size() == 1) return paths[0];
  std::string out;
  for (const std::string& p : paths) {
    out += p;
    out += "\r\n";
  }
  return out;
}

char* NewEventText(const void* bytes, std::size_t n) {
  // A block the allocator's signed size cannot express is cut, never wrapped.
  const std::size_t limit = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) - 1;
  if (n > limit) n = limit;
  auto* t = static_cast<char*>(Allocate(static_cast<std::int32_t>(n + 1)));
  if (n) std::memcpy(t, bytes, n);
  t[n] = '\0';
  return t;
}

}  // namespace bv
