#include "processing/text_cleanup.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "processing/cleanup_steps.h"
#include "processing/pattern_matcher.h"

namespace tidewire {
namespace {

// Replaces every occurrence of `search`, left to right, without looking at inserted text again.
// Returns whether anything was replaced.
// `out` is working space whose capacity carries over from step to step.
bool ReplaceLiteral(std::u16string& text, std::u16string_view search,
                    std::u16string_view replacement, std::u16string& out) {
  const std::u16string_view view(text);
  std::size_t found = FindLiteral(view, search, 0);
  if (found == kNoPosition) return false;
  out.clear();
  out.reserve(text.size());
  std::size_t from = 0;
  do {
    out.append(view.substr(from, found - from));
    out.append(replacement);
    from = found + search.size();
    found = FindLiteral(view, search, from);
  } while (found != kNoPosition);
  out.append(view.substr(from));
  text.swap(out);
  return true;
}

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
  if (!replaced) return PatternReplaceResult::kNoMatch;
  out.append(view.substr(from));
  text.swap(out);
  return PatternReplaceResult::kDone;
}

// Replaces every run of back-to-back occurrences of `unit` by one occurrence: what replacing every
// match of "(unit)+" by the unit does, as the leftmost match takes the longest run there.
void CollapseRuns(std::u16string& text, std::u16string_view unit, std::u16string& out) {
  const std::u16string_view view(text);
  const auto runEnd = [&](std::size_t at) {
    while (view.substr(at, unit.size()) == unit) at += unit.size();
    return at;
  };
  std::size_t found = FindLiteral(view, unit, 0);
  std::size_t end = 0;
  while (found != kNoPosition && (end = runEnd(found)) == found + unit.size()) {
    found = FindLiteral(view, unit, end);
  }
  if (found == kNoPosition) return;  // no run of two or more: nothing changes
  out.clear();
  out.reserve(text.size());
  std::size_t from = 0;
  for (;;) {
    out.append(view.substr(from, found - from));
    out.append(unit);
    from = end;
    found = FindLiteral(view, unit, from);
    if (found == kNoPosition) break;
    end = runEnd(found);
  }
  out.append(view.substr(from));
  text.swap(out);
}

// Which ASCII characters a text may hold: a superset, kept up to date by adding what each step
// inserts, so that a step whose match needs a character the text lacks is skipped unrun.
class AsciiPresence {
 public:
  explicit AsciiPresence(std::u16string_view text) { Add(text); }
  void Add(std::u16string_view text) {
    // Plain stores, one per character, with no chain of read-modify-writes between them.
    bool seen[129] = {};  // the last entry stands for every other character
    for (const char16_t c : text) seen[c < 128 ? c : 128] = true;
    for (unsigned c = 0; c < 128; ++c) {
      if (seen[c]) bits_[c >> 6] |= std::uint64_t{1} << (c & 63);
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

bool IsPatternSyntax(char16_t c) {
  return std::u16string_view(u".[]()*+?{}|!\\^$").find(c) != std::u16string_view::npos;
}

bool IsPlainText(std::u16string_view pattern) {
  for (const char16_t c : pattern) {
    if (IsPatternSyntax(c)) return false;
  }
  return true;
}

// How CleanText carries out a step, worked out once from its table row. A pattern without
// special characters matches exactly its own text; "x+" or "(text)+" with the repeated text as
// replacement collapses runs; the others run through the pattern matcher.
enum class StepMethod { kLiteral, kCollapse, kPattern };

struct StepPlan {
  StepMethod method = StepMethod::kLiteral;
  std::u16string_view text;   // kLiteral: the search text; kCollapse: the repeated text
  std::u16string_view needs;  // units that every match contains
  PatternMatcher matcher;     // kPattern
};

StepPlan PlanStep(const CleanupStep& step) {
  StepPlan plan;
  const std::u16string_view search = step.search;
  if (step.kind == CleanupStepKind::kLiteral || IsPlainText(search)) {
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
  if (!repeated.empty() && IsPlainText(repeated) && repeated == step.replacement) {
    plan.method = StepMethod::kCollapse;
    plan.text = repeated;
    plan.needs = repeated;
    return plan;
  }
  plan.method = StepMethod::kPattern;
  plan.matcher.Compile(std::u16string(search).c_str(), true);
  plan.needs = plan.matcher.RequiredUnits();
  return plan;
}

// The plans made once per process; carrying them out is read-only, so the download workers may
// share them.
const std::array<StepPlan, kCleanupSteps.size()>& StepPlans() {
  static const std::array<StepPlan, kCleanupSteps.size()> plans = [] {
    std::array<StepPlan, kCleanupSteps.size()> made;
    for (std::size_t i = 0; i < kCleanupSteps.size(); ++i) made[i] = PlanStep(kCleanupSteps[i]);
    return made;
  }();
  return plans;
}

bool IsTrimmed(char16_t c) { return c == u' ' || c == u'-'; }

// Runs the steps [first, last) on `text`, skipping those whose match needs a character that the
// text cannot hold.
void RunSteps(std::u16string& text, std::size_t first, std::size_t last, std::u16string& scratch) {
  const auto& plans = StepPlans();
  AsciiPresence presence(text);
  for (std::size_t i = first; i < last; ++i) {
    if (text.empty()) return;
    const StepPlan& plan = plans[i];
    if (!presence.MayHoldAll(plan.needs)) continue;
    const std::size_t before = text.size();
    bool replaced = false;
    switch (plan.method) {
      case StepMethod::kLiteral:
        replaced = ReplaceLiteral(text, plan.text, kCleanupSteps[i].replacement, scratch);
        break;
      case StepMethod::kCollapse:
        CollapseRuns(text, plan.text, scratch);
        replaced = text.size() != before;
        break;
      case StepMethod::kPattern:
        replaced = ReplaceMatches(text, plan.matcher, kCleanupSteps[i].replacement, true, false,
                                  scratch) == PatternReplaceResult::kDone;
        break;
    }
    if (replaced) presence.Add(kCleanupSteps[i].replacement);
  }
}

// The steps from `first` on match only their own short texts: none of them involves a character
// outside those texts and their replacements (an inert character), so none of their matches
// spans one, and a long text can go through them piece by piece, split after inert characters,
// with the pieces small enough to stay in the cache.
struct PieceWise {
  std::size_t first = kCleanupSteps.size();
  bool touched[128] = {};  // ASCII characters that are not inert; all others are
};

const PieceWise& PieceWiseSteps() {
  static const PieceWise pieceWise = [] {
    PieceWise made;
    const auto& plans = StepPlans();
    while (made.first > 0 && plans[made.first - 1].method != StepMethod::kPattern) --made.first;
    for (std::size_t i = made.first; i < kCleanupSteps.size(); ++i) {
      for (const std::u16string_view part : {plans[i].text, kCleanupSteps[i].replacement}) {
        for (const char16_t c : part) {
          if (c < 128) made.touched[c] = true;
        }
      }
    }
    return made;
  }();
  return pieceWise;
}

// Texts longer than this go through the piece-wise steps in pieces of about this size.
constexpr std::size_t kPieceSize = 16384;

}  // namespace

PatternReplaceResult PatternReplace(std::u16string& text, const char16_t* pattern,
                                    std::u16string_view replacement, bool replaceAll,
                                    bool substituteGroups, bool caseSensitive) {
  PatternMatcher matcher;
  if (matcher.Compile(pattern, caseSensitive) != PatternError::kOk) {
    return PatternReplaceResult::kBadPattern;
  }
  std::u16string out;
  return ReplaceMatches(text, matcher, replacement, replaceAll, substituteGroups, out);
}

void CleanText(std::u16string& text) {
  const PieceWise& pieceWise = PieceWiseSteps();
  std::u16string scratch;
  RunSteps(text, 0, pieceWise.first, scratch);
  if (text.size() <= 2 * kPieceSize) {
    RunSteps(text, pieceWise.first, kCleanupSteps.size(), scratch);
  } else {
    const auto inert = [&](char16_t c) { return c >= 128 || !pieceWise.touched[c]; };
    std::u16string whole;
    whole.reserve(text.size());
    std::u16string piece;
    std::size_t from = 0;
    while (from < text.size()) {
      std::size_t cut = std::min(text.size(), from + kPieceSize);
      while (cut < text.size() && !inert(text[cut - 1])) ++cut;
      piece.assign(text, from, cut - from);
      RunSteps(piece, pieceWise.first, kCleanupSteps.size(), scratch);
      whole += piece;
      from = cut;
    }
    text.swap(whole);
  }
  std::size_t end = text.size();
  while (end > 0 && IsTrimmed(text[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  text.erase(end);
  text.erase(0, begin);
}

}  // namespace tidewire
