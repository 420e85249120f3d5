#include "processing/text_cleanup.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "processing/cleanup_steps.h"
#include "processing/pattern_matcher.h"

namespace tidewire {
namespace {

// Appends the replacement with "{$k}" standing for the text of group k - 1, in one pass, so that
// group text that happens to contain "{$" is never substituted again.
void AppendSubstituted(std::u16string& out, std::u16string_view replacement,
                       std::u16string_view text, const MatchContext& match) {
  std::size_t i = 0;
  while (i < replacement.size()) {
    const std::size_t open = replacement.find(u"{$", i);
    if (open == std::u16string_view::npos) break;
    std::size_t k = open + 2;
    std::size_t number = 0;
    while (k < replacement.size() && replacement[k] >= u'0' && replacement[k] <= u'9' &&
           number <= match.GroupCount()) {
      number = number * 10 + (replacement[k] - u'0');
      ++k;
    }
    const bool placeholder = k > open + 2 && k < replacement.size() && replacement[k] == u'}' &&
                             number >= 1 && number <= match.GroupCount();
    if (!placeholder) {
      out.append(replacement.substr(i, open + 2 - i));
      i = open + 2;
      continue;
    }
    out.append(replacement.substr(i, open - i));
    const MatchSpan group = match.Group(number - 1);
    if (group.Matched()) out.append(text.substr(group.start, group.end - group.start));
    i = k + 1;
  }
  out.append(replacement.substr(i));
}

// The loop that stands for replacing in the rest after each match: iterating keeps long texts
// off the machine stack, and the shared memo keeps the successive searches linear.
PatternReplaceResult ReplaceMatches(std::u16string& text, const PatternMatcher& matcher,
                                    std::u16string_view replacement, bool replaceAll,
                                    bool substituteGroups, std::u16string& out) {
  const std::u16string_view view(text);
  SearchMemo memo;
  MatchContext match;
  out.clear();
  std::size_t from = 0;
  bool replaced = false;
  while (matcher.MatchFrom(view, from, &memo, &match)) {
    if (!replaced) out.reserve(text.size());
    replaced = true;
    out.append(view.substr(from, match.Start() - from));
    if (substituteGroups) {
      AppendSubstituted(out, replacement, view, match);
    } else {
      out.append(replacement);
    }
    from = match.End();
    if (!replaceAll) break;
    if (match.Start() == match.End()) {
      if (from == view.size()) break;
      out.push_back(view[from++]);
    }
  }
  if (!replaced) return PatternReplaceResult::NoMatch;
  out.append(view.substr(from));
  text.swap(out);
  return PatternReplaceResult::Done;
}

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

 private:
  std::uint64_t bits_[2] = {};
};

constexpr bool IsPatternSyntax(char16_t c) {
  return std::u16string_view(u".[]()*+?{}|!\\^$").find(c) != std::u16string_view::npos;
}

constexpr bool IsPlainText(std::u16string_view pattern) {
  for (const char16_t c : pattern) {
    if (IsPatternSyntax(c)) return false;
  }
  return true;
}

// The steps without pattern syntax rewrite the text in place, which the table allows: each of
// them looks for some text and puts no longer text in its place.
constexpr bool PlainStepsNeverLengthen() {
  for (const CleanupStep& step : CleanupSteps) {
    const bool plain = step.kind == CleanupStepKind::Literal || IsPlainText(step.search);
    if (plain && (step.search.empty() || step.replacement.size() > step.search.size())) {
      return false;
    }
  }
  return true;
}
static_assert(PlainStepsNeverLengthen());

// Position of the first occurrence of `search` (not empty) in data[from, size), or NoPosition.
// Tests the first and the last unit of `search` at eight positions at once, so that few
// candidates reach the full comparison even when the first unit is common.
std::size_t Find(const char16_t* data, std::size_t size, std::u16string_view search,
                 std::size_t from) {
  const std::size_t length = search.size();
  if (length > size) return NoPosition;
  const std::size_t starts = size - length + 1;  // positions where a match can begin
  const char16_t first = search.front();
  const char16_t last = search.back();
  const auto matchesAt = [&](std::size_t at) {
    return std::char_traits<char16_t>::compare(data + at, search.data(), length) == 0;
  };
#if defined(__SSE2__)
  const __m128i wantFirst = _mm_set1_epi16(static_cast<short>(first));
  const __m128i wantLast = _mm_set1_epi16(static_cast<short>(last));
  for (; from + 8 <= starts; from += 8) {
    const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from));
    const __m128i tails =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from + length - 1));
    // Two mask bits per position.
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpeq_epi16(heads, wantFirst), _mm_cmpeq_epi16(tails, wantLast))));
    while (mask != 0) {
      const int bit = std::countr_zero(mask);
      if (matchesAt(from + bit / 2)) return from + bit / 2;
      mask &= ~(3u << bit);
    }
  }
#endif
  for (; from < starts; ++from) {
    if (data[from] == first && data[from + length - 1] == last && matchesAt(from)) return from;
  }
  return NoPosition;
}

// The positions of one code unit (the mark) in a piece, for the literal steps whose search text
// begins with it and holds it nowhere else: their matches can begin at those positions only, and
// where the mark is rare, trying each of them is cheaper than scanning the piece.
class MarkPositions {
 public:
  explicit MarkPositions(char16_t mark) : mark_(mark) {}

  // Starts on a new piece.
  void Reset() {
    valid_ = false;
    common_ = false;
  }
  // The text changed: the positions are collected anew when next asked for.
  void Invalidate() { valid_ = false; }

  // Whether the positions in data[0, size) are at hand, collecting them if need be; false once
  // the mark has shown itself too common in the piece for its positions to pay.
  bool Collect(const char16_t* data, std::size_t size) {
    if (common_) return false;
    if (valid_) return true;
    positions_.clear();
    const std::size_t limit = size / MaxShare;
    std::size_t at = 0;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(mark_));
    for (; at + 8 <= size; at += 8) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
      auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(block, wanted)));
      for (; mask != 0; mask &= mask - 1, mask &= mask - 1) {
        positions_.push_back(static_cast<std::uint32_t>(at + std::countr_zero(mask) / 2));
      }
      if (positions_.size() > limit) break;
    }
#endif
    for (; at < size && positions_.size() <= limit; ++at) {
      if (data[at] == mark_) positions_.push_back(static_cast<std::uint32_t>(at));
    }
    common_ = positions_.size() > limit;
    valid_ = !common_;
    return valid_;
  }
  const std::vector<std::uint32_t>& Positions() const { return positions_; }

 private:
  // Beyond one mark in this many units, scanning is the cheaper search.
  static constexpr std::size_t MaxShare = 32;

  char16_t mark_;
  bool valid_ = false;
  bool common_ = false;
  std::vector<std::uint32_t> positions_;
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
    std::memmove(data + to, data + from, (found - from) * sizeof(char16_t));
    to = emit(data + to + (found - from)) - data;
    from = end;
    found = next(from, end);
  }
  std::memmove(data + to, data + from, (size - from) * sizeof(char16_t));
  size = to + (size - from);
  return true;
}

// Replaces every occurrence of `search` by `replacement` (no longer), left to right, without
// looking at inserted text again.
bool ReplaceLiteral(char16_t* data, std::size_t& size, std::u16string_view search,
                    std::u16string_view replacement) {
  return RewriteInPlace(
      data, size,
      [&](std::size_t from, std::size_t& end) {
        const std::size_t found = Find(data, size, search, from);
        end = found + search.size();
        return found;
      },
      [&](char16_t* out) { return std::copy(replacement.begin(), replacement.end(), out); });
}

// The same for a search text that begins with the mark of `marks` and holds it nowhere else: each
// mark position from the first one not inside the last match on is tried in turn.
bool ReplaceLiteralAtMarks(char16_t* data, std::size_t& size, std::u16string_view search,
                           std::u16string_view replacement, const MarkPositions& marks) {
  const std::vector<std::uint32_t>& positions = marks.Positions();
  std::size_t next = 0;
  return RewriteInPlace(
      data, size,
      [&](std::size_t from, std::size_t& end) {
        for (; next < positions.size(); ++next) {
          const std::size_t at = positions[next];
          if (at < from || size - at < search.size() ||
              std::char_traits<char16_t>::compare(data + at, search.data(), search.size()) != 0) {
            continue;
          }
          end = at + search.size();
          return at;
        }
        return NoPosition;
      },
      [&](char16_t* out) { return std::copy(replacement.begin(), replacement.end(), out); });
}

// Replaces every run of back-to-back occurrences of `unit` by one occurrence: what replacing every
// match of "(unit)+" by the unit does, as the leftmost match takes the longest run there. `twice`
// is the unit written twice; as the unit never overlaps itself, the first place where it occurs
// twice in a row is where the first run that changes begins.
bool CollapseRuns(char16_t* data, std::size_t& size, std::u16string_view unit,
                  std::u16string_view twice) {
  const auto unitAt = [&](std::size_t at) {
    return size - at >= unit.size() &&
           std::char_traits<char16_t>::compare(data + at, unit.data(), unit.size()) == 0;
  };
  return RewriteInPlace(
      data, size,
      [&](std::size_t from, std::size_t& end) {
        const std::size_t found = Find(data, size, twice, from);
        if (found == NoPosition) return found;
        end = found + twice.size();
        while (unitAt(end)) end += unit.size();
        return found;
      },
      [&](char16_t* out) { return std::copy(unit.begin(), unit.end(), out); });
}

// Whether some text is both a proper prefix and a suffix of `unit`, so that two occurrences of it
// can overlap.
bool OverlapsItself(std::u16string_view unit) {
  for (std::size_t k = 1; k < unit.size(); ++k) {
    if (unit.substr(0, k) == unit.substr(unit.size() - k)) return true;
  }
  return false;
}

// How CleanText carries out a step, worked out once from its table row. A pattern without
// special characters matches exactly its own text; "x+" or "(text)+" with the repeated text as
// replacement collapses runs; the others run through the pattern matcher.
enum class StepMethod { Literal, Collapse, Pattern };

struct StepPlan {
  StepMethod method = StepMethod::Literal;
  std::u16string_view text;   // Literal: the search text; Collapse: the repeated text
  std::u16string twice;       // Collapse: the repeated text written twice
  std::u16string_view needs;  // units that every match contains
  PatternMatcher matcher;     // Pattern
  // Literal and Collapse, set with the run: whether the step searches at the run's mark
  // positions, and whether it leaves them where they were.
  bool atMarks = false;
  bool keepsMarks = false;
};

StepPlan PlanStep(const CleanupStep& step) {
  StepPlan plan;
  const std::u16string_view search = step.search;
  if (step.kind == CleanupStepKind::Literal || IsPlainText(search)) {
    plan.text = search;
    plan.needs = search;
    return plan;
  }
  std::u16string_view repeated;
  if (search.size() == 2 && search[1] == u'+' && !IsPatternSyntax(search[0])) {
    repeated = search.substr(0, 1);
  } else if (search.size() > 3 && search.front() == u'(' &&
             search.substr(search.size() - 2) == u")+") {
    repeated = search.substr(1, search.size() - 3);
  }
  if (!repeated.empty() && IsPlainText(repeated) && repeated == step.replacement &&
      !OverlapsItself(repeated)) {
    plan.method = StepMethod::Collapse;
    plan.text = repeated;
    plan.twice = std::u16string(repeated) + std::u16string(repeated);
    plan.needs = repeated;
    return plan;
  }
  plan.method = StepMethod::Pattern;
  plan.matcher.Compile(std::u16string(search).c_str(), true);
  plan.needs = plan.matcher.RequiredUnits();
  return plan;
}

// Steps [first, last) of the table, all of them pattern steps, or none. Steps without patterns
// match only their own short texts: none involves a character outside those texts and their
// replacements (an inert character), so none of their matches spans one, and a long text can go
// through them piece by piece, split after inert characters, with the pieces small enough to
// stay in the cache.
struct StepRun {
  std::size_t first = 0;
  std::size_t last = 0;
  bool patterns = false;
  std::array<bool, 128> touched = {};  // ASCII characters that are not inert; all others are
  char16_t mark = 0;                   // the unit that begins the most literal steps
};

struct CleanupPlan {
  std::array<StepPlan, CleanupSteps.size()> steps;
  std::vector<StepRun> runs;
};

void ChooseMark(StepRun& run, std::array<StepPlan, CleanupSteps.size()>& steps) {
  std::array<std::size_t, 128> beginning = {};
  for (std::size_t i = run.first; i < run.last; ++i) {
    const std::u16string_view text = steps[i].text;
    if (steps[i].method == StepMethod::Literal && text.front() < 128) ++beginning[text.front()];
  }
  run.mark = static_cast<char16_t>(std::max_element(beginning.begin(), beginning.end()) -
                                   beginning.begin());
  const auto holdsMark = [&](std::u16string_view text) {
    return text.find(run.mark) != std::u16string_view::npos;
  };
  for (std::size_t i = run.first; i < run.last; ++i) {
    StepPlan& step = steps[i];
    const std::u16string_view replacement = CleanupSteps[i].replacement;
    step.atMarks = step.method == StepMethod::Literal && step.text.front() == run.mark &&
                   !holdsMark(step.text.substr(1));
    step.keepsMarks = step.method == StepMethod::Literal &&
                      step.text.size() == replacement.size() && !holdsMark(step.text) &&
                      !holdsMark(replacement);
  }
}

// Made once per process; carrying it out is read-only, so the download workers may share it.
const CleanupPlan& Plan() {
  static const CleanupPlan plan = [] {
    CleanupPlan made;
    for (std::size_t i = 0; i < CleanupSteps.size(); ++i) {
      made.steps[i] = PlanStep(CleanupSteps[i]);
      const bool isPattern = made.steps[i].method == StepMethod::Pattern;
      if (made.runs.empty() || made.runs.back().patterns != isPattern) {
        made.runs.push_back(StepRun{i, i, isPattern, {}});
      }
      StepRun& run = made.runs.back();
      run.last = i + 1;
      for (const std::u16string_view part : {made.steps[i].text, CleanupSteps[i].replacement}) {
        for (const char16_t c : part) {
          if (c < 128) run.touched[c] = true;
        }
      }
    }
    for (StepRun& run : made.runs) {
      if (!run.patterns) ChooseMark(run, made.steps);
    }
    return made;
  }();
  return plan;
}

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
    return ReplaceMatches(text, matcher, replacement, true, false, scratch) ==
           PatternReplaceResult::Done;
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

// Runs the pattern steps of `run` on the whole text, skipping those whose match needs a character
// that the text cannot hold; `presence` covers the text, and is kept up to date.
void RunPatternSteps(std::u16string& text, const StepRun& run, AsciiPresence& presence) {
  const CleanupPlan& plan = Plan();
  std::vector<MatchSpan> spans;
  std::u16string scratch;
  for (std::size_t i = run.first; i < run.last && !text.empty(); ++i) {
    const StepPlan& step = plan.steps[i];
    if (!presence.MayHoldAll(step.needs)) continue;
    if (ReplaceAllMatches(text, step.matcher, CleanupSteps[i].replacement, spans, scratch)) {
      presence.Add(CleanupSteps[i].replacement);
    }
  }
}

// Runs the steps of a run without patterns on data[0, size) in place, skipping those whose match
// needs a character that the piece cannot hold. Returns the new size.
std::size_t RunPlainSteps(char16_t* data, std::size_t size, const StepRun& run,
                          MarkPositions& marks, AsciiPresence& presence) {
  const CleanupPlan& plan = Plan();
  marks.Reset();
  for (std::size_t i = run.first; i < run.last && size != 0; ++i) {
    const StepPlan& step = plan.steps[i];
    if (!presence.MayHoldAll(step.needs)) continue;
    const std::u16string_view replacement = CleanupSteps[i].replacement;
    bool replaced = false;
    if (step.method == StepMethod::Collapse) {
      replaced = CollapseRuns(data, size, step.text, step.twice);
    } else if (step.atMarks && size >= MinMarkedSize && marks.Collect(data, size)) {
      replaced = ReplaceLiteralAtMarks(data, size, step.text, replacement, marks);
    } else {
      replaced = ReplaceLiteral(data, size, step.text, replacement);
    }
    if (!replaced) continue;
    presence.Add(replacement);
    if (!step.keepsMarks) marks.Invalidate();
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
    AsciiPresence piece(std::u16string_view(data + to, cut - from));
    to += RunPlainSteps(data + to, cut - from, run, marks, piece);
    whole.Add(piece);
    from = cut;
  }
  text.resize(to);
  presence = whole;
}

}  // namespace

PatternReplaceResult PatternReplace(std::u16string& text, const char16_t* pattern,
                                    std::u16string_view replacement, bool replaceAll,
                                    bool substituteGroups, bool caseSensitive) {
  PatternMatcher matcher;
  if (matcher.Compile(pattern, caseSensitive) != PatternError::Ok) {
    return PatternReplaceResult::BadPattern;
  }
  std::u16string out;
  return ReplaceMatches(text, matcher, replacement, replaceAll, substituteGroups, out);
}

void CleanText(std::u16string& text) {
  std::optional<AsciiPresence> presence;  // worked out when first needed
  for (const StepRun& run : Plan().runs) {
    if (text.empty()) return;
    if (run.patterns) {
      if (!presence) presence.emplace(text);
      RunPatternSteps(text, run, *presence);
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
