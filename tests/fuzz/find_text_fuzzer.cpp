// FindText against the stepping reference: any texts, any start, with and
// without ignoring case, with the start position and the flag given or left
// out.
//
// Input: flags, start (int16 little-endian), sought length n, an offset byte,
// then the sought text and the searched text. Flag 8 takes the sought text
// out of the searched one (at the offset), so that matches, near-matches and
// trail-byte alignments are common.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "runtime/text_commands.h"
#include "runtime/value.h"
#include "stepping_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const std::uint8_t flags = data[0];
  const std::int16_t start = static_cast<std::int16_t>(data[1] | (data[2] << 8));
  std::size_t n = data[3];
  const std::uint8_t offset = data[4];
  data += 5;
  size -= 5;
  n = std::min(n, size);
  std::string sought(reinterpret_cast<const char*>(data), n);
  std::string text(reinterpret_cast<const char*>(data + n), size - n);
  if ((flags & 8) && !text.empty()) sought = text.substr(offset % text.size(), n);

  const bool give_start = flags & 1;
  const bool give_flag = flags & 2;
  const bool ignore_case = give_flag && (flags & 4);
  bv::ValueRecord args[4] = {bv::ValueRecord::TextOf(text.c_str()), bv::ValueRecord::TextOf(sought.c_str()),
                             give_start ? bv::ValueRecord::Int(start) : bv::ValueRecord::Omit(),
                             give_flag ? bv::ValueRecord::Bool(ignore_case) : bv::ValueRecord::Omit()};
  bv::ValueRecord result{};
  bv::FindText(&result, 4, args);
  const std::int32_t expected =
      ref::Find(text.c_str(), sought.c_str(), give_start ? std::optional<std::int32_t>(start) : std::nullopt,
                ignore_case);
  if (result.AsInt() != expected) {
    std::fprintf(stderr, "FindText gave %d, the reference %d (start %d given %d, ignore case %d)\n", result.AsInt(),
                 expected, start, give_start, ignore_case);
    std::abort();
  }
  return 0;
}
