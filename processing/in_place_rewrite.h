#pragma once
// Rewriting a text in place, front to back, for the cleanup steps whose replacement is never
// longer than what it replaces: literal texts, runs of one text, and matches found beforehand.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "processing/pattern_matcher.h"

namespace tidewire::cleanup_internal {

// The positions of one code unit (the mark) in a piece, for the literal steps whose search text
// begins with it and holds it nowhere else: their matches can begin at those positions only, and
// where the mark is rare, trying each of them is cheaper than scanning the piece.
class MarkPositions {
 public:
  explicit MarkPositions(char16_t mark) : mark_(mark) {}

  // Starts on a new piece of the same text. A mark that was too common in one piece is taken to
  // be so in the rest of the text too, which saves counting it again in every piece.
  void Reset() { valid_ = false; }
  // The text changed: the positions are collected anew when next asked for.
  void Invalidate() { valid_ = false; }

  // Whether the positions in data[0, size) are at hand, collecting them if need be; false once
  // the mark has shown itself too common in the piece for its positions to pay.
  bool Collect(const char16_t* data, std::size_t size);
  bool Valid() const { return valid_; }
  char16_t Mark() const { return mark_; }
  const std::vector<std::uint32_t>& Positions() const { return positions_; }

  // Moves the positions along while a step rewrites the piece front to back, for a step whose
  // matches hold the mark at most at their start, and whose replacement holds it at most at its
  // start and only if the match does: Follow() for every match in order, then Followed().
  void StartFollowing();
  // data[start, end) gave way to `written` units, which begin with the mark if `markFirst`.
  void Follow(std::size_t start, std::size_t end, std::size_t written, bool markFirst);
  void Followed();

 private:
  char16_t mark_;
  bool valid_ = false;
  bool common_ = false;
  std::vector<std::uint32_t> positions_;
  // While following: positions read, positions written, units removed before the next match.
  std::size_t read_ = 0;
  std::size_t written_ = 0;
  std::size_t removed_ = 0;
};

// Rewrites data[0, size) in place, front to back: the text up to each match found is kept, the
// match gives way to what `emit` writes (never more than the match held). Only text behind the
// last match is ever written, so the search goes on in unchanged text. `next(from, end)` finds the
// next match at or after `from` and sets its end; `emit(out)` writes the replacement and returns
// its end. Returns whether anything matched.
template <typename Next, typename Emit>
bool RewriteInPlace(char16_t* data, std::size_t& size, Next next, Emit emit) {
  std::size_t end = 0;
  std::size_t found = next(0, end);
  if (found == NoPosition) return false;
  std::size_t to = found;
  std::size_t from = found;
  while (found != NoPosition) {
    // Nothing moves until a replacement is shorter than its match.
    if (to != from) std::memmove(data + to, data + from, (found - from) * sizeof(char16_t));
    to = emit(data + to + (found - from)) - data;
    from = end;
    found = next(from, end);
  }
  if (to != from) std::memmove(data + to, data + from, (size - from) * sizeof(char16_t));
  size = to + (size - from);
  return true;
}

// Replaces every occurrence of `search` (not empty) by `replacement` (no longer), left to right,
// without looking at inserted text again, moving the positions of `follow` along if it is given
// (see MarkPositions::StartFollowing). Returns whether anything was replaced.
bool ReplaceLiteral(char16_t* data, std::size_t& size, std::u16string_view search,
                    std::u16string_view replacement, MarkPositions* follow = nullptr);

// The same for a search text that begins with the mark of `marks` and holds it nowhere else: each
// mark position from the first one not inside the last match on is tried in turn. The positions
// are moved along if `follow`.
bool ReplaceLiteralAtMarks(char16_t* data, std::size_t& size, std::u16string_view search,
                           std::u16string_view replacement, MarkPositions& marks, bool follow);

// Replaces every unit of `sources` by the unit at the same place in `targets`, in one pass; no
// target is among the sources. Returns whether anything was replaced.
bool TranslateUnits(char16_t* data, std::size_t size, std::u16string_view sources,
                    std::u16string_view targets);

// Replaces every match of "<[^>]*>" by `replacement` (at most two units), for any opening unit <
// and closing unit >: each opening unit up to the first closing unit after it.
bool ReplaceEnclosed(char16_t* data, std::size_t& size, char16_t open, char16_t close,
                     std::u16string_view replacement);

// What "<a[^>]+href=([^ >]+)[^>]*>(.*?)</a>" matches, for any opening text ("<a"), attribute text
// ("href=") and closing text ("</a>"), none of the first two holding ">", with at least `gap`
// units (0 or 1) between the opening and the attribute text.
struct ElementShape {
  std::u16string_view open;
  std::u16string_view attribute;
  std::u16string_view close;
  std::size_t gap = 0;
};

// Replaces every match of `shape` by `replacement` (no longer than any match): from the opening
// text up to the first closing text after the first ">" that follows it, where the tag up to that
// ">" holds the attribute text at least `gap` units in, followed by a unit other than a space.
bool ReplaceElements(char16_t* data, std::size_t& size, const ElementShape& shape,
                     std::u16string_view replacement);

// Replaces every run of back-to-back occurrences of `unit` (which never overlaps itself) by one
// occurrence; `twice` is the unit written twice.
bool CollapseRuns(char16_t* data, std::size_t& size, std::u16string_view unit,
                  std::u16string_view twice);

}  // namespace tidewire::cleanup_internal
