#include "processing/cleanup_plan.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tidewire::cleanup_internal {
namespace {

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

// Whether some text is both a proper prefix and a suffix of `unit`, so that two occurrences of it
// can overlap.
bool OverlapsItself(std::u16string_view unit) {
  for (std::size_t k = 1; k < unit.size(); ++k) {
    if (unit.substr(0, k) == unit.substr(unit.size() - k)) return true;
  }
  return false;
}

// Whether `search` is "<[^>]*>" or "<([^>]|\n)*>" for some units < and >: the opening unit, any
// run of units other than the closing one (a line feed is one of them unless it closes), and the
// closing unit.
bool IsEnclosedRun(std::u16string_view search) {
  if (search.size() < 6 || IsPatternSyntax(search.front()) || IsPatternSyntax(search.back())) {
    return false;
  }
  const char16_t close = search.back();
  if (close == u'-' || close == u'\n') return false;
  const std::u16string_view run = search.substr(1, search.size() - 2);
  const std::u16string set = std::u16string(u"[^") + close + u"]";
  return run == set + u"*" || run == u"(" + set + u"|\n)*";
}

// Whether `search` is "<a[^>]+href=([^ >]+)[^>]*>(.*?)</a>" or "<a[^>]*href=...", for any
// opening, attribute and closing text without pattern syntax (the first two without ">").
bool IsElement(std::u16string_view search, ElementShape& shape) {
  constexpr std::u16string_view Middle = u"([^ >]+)[^>]*>(.*?)";
  const std::size_t gap = search.find(u"[^>]");
  const std::size_t middle = search.find(Middle);
  if (gap == std::u16string_view::npos || middle == std::u16string_view::npos || gap > middle ||
      gap + 5 > middle || (search[gap + 4] != u'+' && search[gap + 4] != u'*')) {
    return false;
  }
  shape.open = search.substr(0, gap);
  shape.attribute = search.substr(gap + 5, middle - gap - 5);
  shape.close = search.substr(middle + Middle.size());
  shape.gap = search[gap + 4] == u'+' ? 1 : 0;
  for (const std::u16string_view part : {shape.open, shape.attribute, shape.close}) {
    if (part.empty() || !IsPlainText(part)) return false;
  }
  return shape.open.find(u'>') == std::u16string_view::npos &&
         shape.attribute.find(u'>') == std::u16string_view::npos;
}

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
  // Every match of an enclosed run is at least two units long.
  if (step.replacement.size() <= 2 && IsEnclosedRun(search)) {
    plan.method = StepMethod::Enclosed;
    plan.open = search.front();
    plan.close = search.back();
    plan.needs = search.substr(0, 1);
    return plan;
  }
  // The shortest match: the opening, the gap, the attribute, one unit, ">", the closing text.
  if (IsElement(search, plan.element) &&
      step.replacement.size() <= plan.element.open.size() + plan.element.gap +
                                     plan.element.attribute.size() + 2 +
                                     plan.element.close.size()) {
    plan.method = StepMethod::Element;
    plan.needs = plan.element.open;
    return plan;
  }
  plan.method = StepMethod::Pattern;
  plan.matcher.Compile(std::u16string(search).c_str(), true);
  plan.needs = plan.matcher.RequiredUnits();
  return plan;
}

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
    // The mark at most at the start of a match, and of its replacement only if of the match.
    step.followsMarks = step.method == StepMethod::Literal && !holdsMark(step.text.substr(1)) &&
                        (replacement.empty() ||
                         (!holdsMark(replacement.substr(1)) &&
                          (replacement.front() != run.mark || step.text.front() == run.mark)));
  }
}

bool Holds(std::u16string_view text, char16_t unit) {
  return text.find(unit) != std::u16string_view::npos;
}

std::size_t MarkLedSteps(const std::array<StepPlan, CleanupSteps.size()>& steps, std::size_t first,
                         std::size_t last, char16_t mark) {
  std::size_t count = 0;
  for (std::size_t i = first; i < last; ++i) {
    count += steps[i].method == StepMethod::Literal && steps[i].text.front() == mark;
  }
  return count;
}

// Whether steps [first, last) can be cut by `mark` (see StepRun).
bool CutByMark(const std::array<StepPlan, CleanupSteps.size()>& steps, std::size_t first,
               std::size_t last, char16_t mark) {
  std::u16string starts(1, mark);  // the units that can begin a piece
  for (std::size_t i = first; i < last; ++i) {
    const std::u16string_view search = steps[i].text;
    const std::u16string_view replacement = CleanupSteps[i].replacement;
    if (steps[i].method != StepMethod::Literal) return false;
    if (search.front() == mark) {
      if (replacement.empty() || Holds(replacement.substr(1), mark)) return false;
      starts += replacement.front();
      continue;
    }
    if (search.size() != 1 || replacement.size() != 1) return false;
    for (std::size_t k = first; k < last; ++k) {
      if (k == i) continue;
      if (Holds(steps[k].text, search.front()) || Holds(steps[k].text, replacement.front()) ||
          Holds(CleanupSteps[k].replacement, search.front())) {
        return false;
      }
    }
  }
  for (std::size_t i = first; i < last; ++i) {
    for (const char16_t c : steps[i].text.substr(1)) {
      if (Holds(starts, c)) return false;
    }
  }
  return true;
}

}  // namespace

const CleanupPlan& SharedCleanupPlan() {
  static const CleanupPlan plan = [] {
    CleanupPlan made;
    for (std::size_t i = 0; i < CleanupSteps.size(); ++i) {
      made.steps[i] = PlanStep(CleanupSteps[i]);
      for (const char16_t c : made.steps[i].needs) {
        if (c < 128) made.steps[i].needsAscii[c >> 6] |= std::uint64_t{1} << (c & 63);
      }
      const StepMethod method = made.steps[i].method;
      const bool isPattern = method == StepMethod::Pattern || method == StepMethod::Enclosed ||
                             method == StepMethod::Element;
      if (made.runs.empty() || made.runs.back().patterns != isPattern) {
        made.runs.push_back(StepRun{i, i, isPattern, {}});
      }
      made.runs.back().last = i + 1;
    }
    // The longest start of a run without patterns that can be cut by its mark becomes a run of
    // its own, if it holds more than one step that begins with the mark.
    std::vector<StepRun> runs;
    for (StepRun run : made.runs) {
      if (!run.patterns) {
        ChooseMark(run, made.steps);
        std::size_t end = run.last;
        while (end > run.first && !CutByMark(made.steps, run.first, end, run.mark)) --end;
        if (MarkLedSteps(made.steps, run.first, end, run.mark) > 1 && end < run.last) {
          runs.push_back(StepRun{run.first, end, false, {}});
          run.first = end;
        }
      }
      runs.push_back(run);
    }
    made.runs = std::move(runs);
    for (StepRun& run : made.runs) {
      for (std::size_t i = run.first; i < run.last; ++i) {
        for (const std::u16string_view part : {made.steps[i].text, CleanupSteps[i].replacement}) {
          for (const char16_t c : part) {
            if (c < 128) run.touched[c] = true;
          }
        }
      }
      if (run.patterns) continue;
      ChooseMark(run, made.steps);
      run.cutByMark = MarkLedSteps(made.steps, run.first, run.last, run.mark) > 1 &&
                      CutByMark(made.steps, run.first, run.last, run.mark);
    }
    return made;
  }();
  return plan;
}

}  // namespace tidewire::cleanup_internal
