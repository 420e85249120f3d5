#include "processing/text_cleanup.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "processing/cleanup_plan.h"
#include "processing/in_place_rewrite.h"
#include "processing/pattern_matcher.h"
#include "processing/pattern_replace.h"
#include "processing/unit_scan.h"

namespace tidewire {
namespace {

using namespace cleanup_internal;

// Which ASCII characters a text may hold: a superset, kept up to date by adding what each step
// inserts, so that a step whose match needs a character the text lacks is skipped unrun.
class AsciiPresence {
 public:
  AsciiPresence() = default;
  explicit AsciiPresence(std::u16string_view text) { Add(text); }
  void Add(const AsciiPresence& other) {
    bits_[0] |= other.bits_[0];
    bits_[1] |= other.bits_[1];
  }
  void Add(std::u16string_view text) {
    // A short text, such as a title, costs less than the table below.
    if (text.size() < 64) {
      for (const char16_t c : text) {
        if (c < 128) bits_[c >> 6] |= std::uint64_t{1} << (c & 63);
      }
      return;
    }
    // Plain stores, one per character, with no chain of read-modify-writes between them.
    unsigned char seen[136] = {};  // the entry at 128 stands for every other character
    for (const char16_t c : text) seen[c < 128 ? c : 128] = 1;
    static_assert(std::endian::native == std::endian::little);
    for (unsigned group = 0; group < 16; ++group) {
      std::uint64_t bytes;
      std::memcpy(&bytes, seen + 8 * group, sizeof bytes);
      // Byte k (0 or 1) to bit k: the products of distinct bytes never meet, so nothing carries.
      const std::uint64_t packed = (bytes * 0x0102040810204080u) >> 56;
      bits_[group / 8] |= packed << (8 * (group % 8));
    }
  }
  // Whether every ASCII unit of `units` may occur (others are not tracked and may occur).
  bool MayHoldAll(std::u16string_view units) const {
    for (const char16_t c : units) {
      if (c < 128 && ((bits_[c >> 6] >> (c & 63)) & 1) == 0) return false;
    }
    return true;
  }
  // The same for ASCII units given as bits, as StepPlan::needsAscii holds them.
  bool MayHoldAll(const std::array<std::uint64_t, 2>& units) const {
    return (units[0] & ~bits_[0]) == 0 && (units[1] & ~bits_[1]) == 0;
  }

 private:
  std::uint64_t bits_[2] = {};
};

bool IsTrimmed(char16_t c) { return c == u' ' || c == u'-'; }

// Texts longer than this go through the steps without patterns in pieces of about this size.
constexpr std::size_t PieceSize = 16384;
// In shorter pieces, scanning is as quick as trying the mark positions.
constexpr std::size_t MinMarkedSize = 4096;

// What ReplaceMatches does when replacing all matches without groups, in place when no
// replacement is longer than its match. The matches are all found before the text changes, as
// the search expects it unchanged. Returns whether anything was replaced.
bool ReplaceAllMatches(std::u16string& text, const PatternMatcher& matcher,
                       std::u16string_view replacement, std::vector<MatchSpan>& spans,
                       std::u16string& scratch) {
  const std::u16string_view view(text);
  SearchMemo memo;
  MatchContext match;
  spans.clear();
  bool fits = true;
  std::size_t from = 0;
  while (matcher.MatchFrom(view, from, &memo, &match)) {
    spans.push_back(MatchSpan{match.Start(), match.End()});
    fits = fits && replacement.size() <= match.End() - match.Start();
    from = match.End();
    if (match.Start() == match.End()) {
      // The character after an empty match is kept, as the text up to the next match is.
      if (from == view.size()) break;
      ++from;
    }
  }
  if (spans.empty()) return false;
  if (!fits) {
    return ReplaceAll(text, matcher, replacement, false, scratch) == PatternReplaceResult::Done;
  }
  std::size_t next = 0;
  std::size_t size = text.size();
  RewriteInPlace(
      text.data(), size,
      [&](std::size_t, std::size_t& end) {
        if (next == spans.size()) return NoPosition;
        end = spans[next].end;
        return spans[next++].start;
      },
      [&](char16_t* out) { return std::copy(replacement.begin(), replacement.end(), out); });
  text.resize(size);
  return true;
}

// Runs the pattern and enclosed steps of `run` on the whole text, skipping those whose match needs
// a character that the text cannot hold; `presence` covers the text, and is kept up to date.
void RunPatternSteps(std::u16string& text, const StepRun& run, AsciiPresence& presence) {
  const CleanupPlan& plan = SharedCleanupPlan();
  std::vector<MatchSpan> spans;
  std::u16string scratch;
  for (std::size_t i = run.first; i < run.last && !text.empty(); ++i) {
    const StepPlan& step = plan.steps[i];
    if (!presence.MayHoldAll(step.needsAscii)) continue;
    const std::u16string_view replacement = CleanupSteps[i].replacement;
    bool replaced = false;
    if (step.method == StepMethod::Enclosed || step.method == StepMethod::Element) {
      std::size_t size = text.size();
      replaced = step.method == StepMethod::Enclosed
                     ? ReplaceEnclosed(text.data(), size, step.open, step.close, replacement)
                     : ReplaceElements(text.data(), size, step.element, replacement);
      text.resize(size);
    } else {
      replaced = ReplaceAllMatches(text, step.matcher, replacement, spans, scratch);
    }
    if (replaced) presence.Add(replacement);
  }
}

// Runs the steps of a run without patterns on data[0, size) in place, skipping those whose match
// needs a character that the piece cannot hold. Returns the new size.
std::size_t RunPlainSteps(char16_t* data, std::size_t size, const StepRun& run,
                          MarkPositions& marks, AsciiPresence& presence) {
  const CleanupPlan& plan = SharedCleanupPlan();
  marks.Reset();
  for (std::size_t i = run.first; i < run.last && size != 0; ++i) {
    const StepPlan& step = plan.steps[i];
    if (!presence.MayHoldAll(step.needsAscii)) continue;
    const std::u16string_view replacement = CleanupSteps[i].replacement;
    bool replaced = false;
    bool followed = false;
    if (step.method == StepMethod::Collapse) {
      replaced = CollapseRuns(data, size, step.text, step.twice);
    } else if (step.atMarks && size >= MinMarkedSize && marks.Collect(data, size)) {
      followed = step.followsMarks;
      replaced = ReplaceLiteralAtMarks(data, size, step.text, replacement, marks, followed);
    } else {
      followed = step.followsMarks && marks.Valid();
      replaced = ReplaceLiteral(data, size, step.text, replacement, followed ? &marks : nullptr);
    }
    if (!replaced) continue;
    presence.Add(replacement);
    if (!step.keepsMarks && !followed) marks.Invalidate();
  }
  return size;
}

// Each piece is moved to where the cleaned text so far ends, and cleaned there. `presence` covers
// the text, if known, and is kept up to date.
void RunPlainStepsPieceWise(std::u16string& text, const StepRun& run,
                            std::optional<AsciiPresence>& presence) {
  MarkPositions marks(run.mark);
  if (text.size() <= PieceSize) {
    if (!presence) presence.emplace(text);
    text.resize(RunPlainSteps(text.data(), text.size(), run, marks, *presence));
    return;
  }
  AsciiPresence whole;
  const auto inert = [&](char16_t c) { return c >= 128 || !run.touched[c]; };
  char16_t* const data = text.data();
  const std::size_t size = text.size();
  std::size_t to = 0;
  std::size_t from = 0;
  while (from < size) {
    std::size_t cut = std::min(size, from + PieceSize);
    while (cut < size && !inert(data[cut - 1])) ++cut;
    if (to != from) std::memmove(data + to, data + from, (cut - from) * sizeof(char16_t));
    // What covers the whole text covers each piece, and saves looking at every piece.
    AsciiPresence piece =
        presence ? *presence : AsciiPresence(std::u16string_view(data + to, cut - from));
    to += RunPlainSteps(data + to, cut - from, run, marks, piece);
    whole.Add(piece);
    from = cut;
  }
  text.resize(to);
  presence = whole;
}

// The steps of a run cut by its mark that begin with the mark, on a piece that begins with it:
// they can only match at its start. Returns the new length.
std::size_t RunMarkLedSteps(char16_t* piece, std::size_t length, const StepRun& run,
                            std::array<bool, CleanupSteps.size()>& replaced) {
  const CleanupPlan& plan = SharedCleanupPlan();
  for (std::size_t i = run.first; i < run.last; ++i) {
    const std::u16string_view search = plan.steps[i].text;
    if (search.front() != run.mark || search.size() > length ||
        (search.size() > 1 && piece[1] != search[1]) ||
        std::char_traits<char16_t>::compare(piece, search.data(), search.size()) != 0) {
      continue;
    }
    const std::u16string_view replacement = CleanupSteps[i].replacement;
    std::copy(replacement.begin(), replacement.end(), piece);
    std::memmove(piece + replacement.size(), piece + search.size(),
                 (length - search.size()) * sizeof(char16_t));
    length -= search.size() - replacement.size();
    replaced[i] = true;
    if (piece[0] != run.mark) break;
  }
  return length;
}

// A run cut by its mark (see StepRun): the translations over the whole text, all in one pass as
// none sees what another reads or writes, then the other steps on each piece from one mark up to
// the next. `presence` covers the text, and is kept up to date.
void RunCutByMark(std::u16string& text, const StepRun& run, AsciiPresence& presence) {
  const CleanupPlan& plan = SharedCleanupPlan();
  char16_t* const data = text.data();
  const std::size_t size = text.size();
  std::u16string sources;
  std::u16string targets;
  for (std::size_t i = run.first; i < run.last; ++i) {
    const StepPlan& step = plan.steps[i];
    if (step.text.front() == run.mark || !presence.MayHoldAll(step.needsAscii)) continue;
    sources += step.text.front();
    targets += CleanupSteps[i].replacement.front();
  }
  if (!sources.empty() && TranslateUnits(data, size, sources, targets)) presence.Add(targets);
  if (!presence.MayHoldAll(std::u16string_view(&run.mark, 1))) return;
  std::array<bool, CleanupSteps.size()> replaced = {};
  std::size_t to = 0;
  std::size_t from = 0;
  while (from < size) {
    const std::size_t next = unit_scan::Scan(data, from + 1, size, run.mark, 0, run.mark,
                                             [](std::size_t) { return true; });
    std::size_t length = next - from;
    if (to != from) std::memmove(data + to, data + from, length * sizeof(char16_t));
    if (data[to] == run.mark) length = RunMarkLedSteps(data + to, length, run, replaced);
    to += length;
    from = next;
  }
  text.resize(to);
  for (std::size_t i = run.first; i < run.last; ++i) {
    if (replaced[i]) presence.Add(CleanupSteps[i].replacement);
  }
}

}  // namespace

void CleanText(std::u16string& text) {
  std::optional<AsciiPresence> presence;  // worked out when first needed
  for (const StepRun& run : SharedCleanupPlan().runs) {
    if (text.empty()) return;
    if (run.patterns || run.cutByMark) {
      if (!presence) presence.emplace(text);
      if (run.patterns) {
        RunPatternSteps(text, run, *presence);
      } else {
        RunCutByMark(text, run, *presence);
      }
    } else {
      RunPlainStepsPieceWise(text, run, presence);
    }
  }
  std::size_t end = text.size();
  while (end > 0 && IsTrimmed(text[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  text.erase(end);
  text.erase(0, begin);
}

}  // namespace tidewire
