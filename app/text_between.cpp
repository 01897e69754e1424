#include "app/text_between.h"

#include "runtime/text_commands.h"
#include "runtime/value.h"

namespace bv {

char* TextBetween(const char* source, const char* left, const char* right) {
  // Commands never receive a null text; the empty constant stands in for it.
  const ValueRecord src = ValueRecord::TextOf(source ? source : kEmptyText);
  const ValueRecord lm = ValueRecord::TextOf(left ? left : kEmptyText);
  const ValueRecord rm = ValueRecord::TextOf(right ? right : kEmptyText);
  const ValueRecord ignore_case = ValueRecord::Bool(true);

  const std::int32_t left_length = Call(TextLength, {lm}).AsInt();
  const std::int32_t at = Call(FindText, {src, lm, ValueRecord::Omit(), ignore_case}).AsInt();
  // Without its left marker a page or batch has nothing to cut: taking the
  // text in front of the right marker instead would show a stray piece of
  // the page as a version, or write it into the batch that gets run.
  if (at < 0) return nullptr;
  const std::int32_t start = at + left_length;
  const std::int32_t end = Call(FindText, {src, rm, ValueRecord::Int(start), ignore_case}).AsInt();
  // A missing right marker (-1) or adjacent markers give a count of 0 or less
  // and so the empty text.
  return Call(MidText, {src, ValueRecord::Int(start), ValueRecord::Int(end - start)}).AsText();
}

}  // namespace bv
