#include "processing/cleanup_plan.h"

#include <algorithm>
#include <array>
#include <cstddef>
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

}  // namespace

const CleanupPlan& SharedCleanupPlan() {
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


}  // namespace tidewire::cleanup_internal
