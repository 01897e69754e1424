// Cutting a text out from between two markers: the tool reads the game
// versions out of the downloaded pages and the spectate commands out of the
// dropped batch this way.
#pragma once

namespace bv {

// The bytes strictly between the first occurrence of `left` in `source` and
// the first occurrence of `right` that begins after it, both found without
// regard to the case of A to Z and never starting inside a double-byte
// character. Null (the empty text) when the left marker does not occur, when
// the right one does not follow it, or when they are adjacent. Absent inputs
// count as empty. The result is a new text owned by the caller.
char* TextBetween(const char* source, const char* left, const char* right);

}  // namespace bv
