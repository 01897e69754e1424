// The dropped data block, which another program builds: the file-list check
// against a plain walk of the list, file lists built from the input read back
// path for path, and the bounded text reading, the stored target data and
// the joining of paths on blocks of exactly their size.
//
// Input: a mode byte, then either a raw block (mode bit 0 clear) or the
// makings of a file list: a flags byte (bit 0 wide, bits 1-3 padding before
// the list) and the paths, split at 0x01 bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/value.h"
#include "ui/drop_rules.h"

namespace {

void Fail(const char* what, std::size_t size) {
  std::fprintf(stderr, "%s (block of %zu bytes)\n", what, size);
  std::abort();
}

// A copy of exactly `size` bytes on the heap, so any read past it is caught.
std::unique_ptr<std::uint8_t[]> Exact(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[size ? size : 1]);
  if (size) std::memcpy(block.get(), data, size);
  return block;
}

std::uint32_t Word(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }

// The paths of a list as the platform reads them, one character unit at a
// time; false when the list runs past the block before its empty path.
bool ReferencePaths(const std::uint8_t* block, std::size_t size, std::vector<std::string>* paths) {
  if (size < 20) return false;
  const std::size_t offset = Word(block), unit = Word(block + 16) ? 2 : 1;
  std::string path;
  for (std::size_t at = offset; at < size && size - at >= unit; at += unit) {
    const bool nul = block[at] == 0 && (unit == 1 || block[at + 1] == 0);
    if (!nul) {
      path.append(reinterpret_cast<const char*>(block + at), unit);
    } else if (!path.empty()) {
      paths->push_back(path);
      path.clear();
    } else {
      return true;
    }
  }
  return false;
}

void CheckRawBlock(const std::uint8_t* data, std::size_t size) {
  auto block = Exact(data, size);
  std::vector<std::string> paths;
  const std::int64_t count = bv::FileListCount(block.get(), size);
  if ((count >= 0) != ReferencePaths(block.get(), size, &paths) || (count >= 0 && count != std::int64_t(paths.size())))
    Fail("FileListCount differs from the plain walk", size);

  const std::size_t n = bv::BoundedTextLength(block.get(), size);
  if (n > size) Fail("text length beyond the block", size);
  if (std::memchr(block.get(), 0, n)) Fail("text length past a NUL", size);
  if (n < size && block[n] != 0) Fail("text length stops short of the NUL", size);

  char* text = bv::NewEventText(block.get(), n);
  if (std::memcmp(text, block.get(), n) != 0 || text[n] != '\0') Fail("event text is not the bytes plus NUL", size);
  bv::Release(text);

  bool accept[bv::kDropKindCount] = {true, false, true, false};
  const bool read = bv::ReadDropTargetData(block.get(), static_cast<std::int32_t>(size), accept);
  if (read != (size >= 20 && Word(block.get()) <= 1)) Fail("target data accepted wrongly", size);
  for (int i = 0; read && i < bv::kDropKindCount; ++i)
    if (accept[i] != (Word(block.get() + 4 + 4 * i) != 0)) Fail("target data flag misread", size);
}

void CheckBuiltList(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return;
  const bool wide = data[0] & 1;
  const std::size_t padding = (data[0] >> 1) & 7;
  const std::size_t unit = wide ? 2 : 1;
  // Paths: non-empty runs between 0x01 bytes, cut to whole character units,
  // with no NUL unit inside.
  std::vector<std::string> paths;
  std::string path;
  auto flush = [&] {
    path.resize(path.size() / unit * unit);
    for (std::size_t i = 0; i < path.size(); i += unit)
      if (path[i] == 0 && (unit == 1 || path[i + 1] == 0)) path[i] = 'x';
    if (!path.empty()) paths.push_back(path);
    path.clear();
  };
  for (std::size_t i = 1; i < size; ++i) data[i] == 1 ? flush() : path.push_back(static_cast<char>(data[i]));
  flush();

  std::string list(20 + padding, '\xEE');
  const std::uint32_t header[5] = {static_cast<std::uint32_t>(20 + padding), 0, 0, 0, wide ? 1u : 0u};
  std::memcpy(list.data(), header, sizeof header);
  for (const std::string& p : paths) list += p + std::string(unit, '\0');
  list += std::string(unit, '\0');

  auto block = Exact(reinterpret_cast<const std::uint8_t*>(list.data()), list.size());
  if (bv::FileListCount(block.get(), list.size()) != std::int64_t(paths.size()))
    Fail("a whole list was refused or miscounted", list.size());
  std::vector<std::string> back;
  if (!ReferencePaths(block.get(), list.size(), &back) || back != paths) Fail("paths do not read back", list.size());
  // Without its last unit the list runs past its block.
  for (std::size_t cut = list.size() - 1; cut + unit >= list.size() && cut > 0; --cut) {
    auto shorter = Exact(block.get(), cut);
    if (bv::FileListCount(shorter.get(), cut) >= 0) Fail("a cut list was taken as whole", cut);
  }

  // The files event's text: one path alone, more each followed by CR LF.
  const std::string joined = bv::JoinDroppedPaths(paths);
  std::string expected;
  if (paths.size() == 1) expected = paths[0];
  else
    for (const std::string& p : paths) expected += p + "\r\n";
  if (joined != expected) Fail("joined paths differ", list.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  if (data[0] & 1) CheckBuiltList(data + 1, size - 1);
  else CheckRawBlock(data + 1, size - 1);
  return 0;
}
