// The platform-independent rules of the file drop target: which effect a drag
// gets, how the unit's stored data block reads, and how dropped texts are
// shaped before they reach the logic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bv {

// Modifier keys and drop effects as the platform's drag loop reports them.
inline constexpr std::uint32_t kDropKeyShift = 0x4;
inline constexpr std::uint32_t kDropKeyControl = 0x8;
inline constexpr std::uint32_t kDropEffectNone = 0;
inline constexpr std::uint32_t kDropEffectCopy = 1;
inline constexpr std::uint32_t kDropEffectMove = 2;
inline constexpr std::uint32_t kDropEffectLink = 4;

// The effect offered to the drag source. A drag the target does not accept
// gets none; Ctrl and Shift together ask for a link, which is refused.
std::uint32_t ChooseDropEffect(bool accepting, std::uint32_t keys, std::uint32_t allowed);

// The four accept flags in property order, and the events they enable.
enum DropKind : int { kDropText = 0, kDropHtml = 1, kDropUrl = 2, kDropFiles = 3, kDropKindCount = 4 };

// The stored data block: version (0 or 1) and the four accept flags, each a
// signed 32-bit little-endian word. No block at all (null, size 0) gives four
// false flags. A later version or a block that ends before the flags is
// refused (false) and `accept` is left as it was.
inline constexpr std::int32_t kDropTargetDataSize = 20;
bool ReadDropTargetData(const void* data, std::int32_t size, bool accept[kDropKindCount]);

// Bytes before the first NUL, never looking past `size` (data handed over by
// another program need not be terminated).
std::size_t BoundedTextLength(const void* bytes, std::size_t size);
// The same for 16-bit characters: whole characters before the first NUL one.
std::size_t BoundedWideTextLength(const void* units, std::size_t size);

// The number of paths in a file list as the platform hands it over (a 20-byte
// header whose first word is the offset of the list and whose fifth word is
// non-zero for 16-bit characters; then NUL-terminated paths ending in an empty
// one); -1 when the list does not lie wholly inside its `size` bytes. Another
// program builds the block, so the list is checked before any path is read out
// of it, and only paths the count covers may be asked of the platform: asked
// past the last one, its reader looks beyond the list's end.
inline constexpr std::size_t kFileListHeaderSize = 20;
std::int64_t FileListCount(const void* block, std::size_t size);

// The files event's text: one path alone; two or more each followed by CR LF;
// none gives the empty text.
std::string JoinDroppedPaths(const std::vector<std::string>& paths);

// A new text (Allocate) of `n` bytes plus NUL, as the unit hands it to an
// event; also for n == 0, so a handler always receives the unit's own block.
char* NewEventText(const void* bytes, std::size_t n);

}  // namespace bv
