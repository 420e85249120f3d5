#include "processing/pattern_matcher.h"

#include <new>
#include <string>
#include <utility>

#include "processing/pattern_program.h"

namespace tidewire {

using pattern_internal::Program;

PatternMatcher::PatternMatcher() = default;
PatternMatcher::~PatternMatcher() = default;
PatternMatcher::PatternMatcher(PatternMatcher&&) noexcept = default;
PatternMatcher& PatternMatcher::operator=(PatternMatcher&&) noexcept = default;

PatternError PatternMatcher::Compile(const char16_t* pattern, bool caseSensitive) {
  program_.reset();
  try {
    pattern_internal::SyntaxTree tree;
    const PatternError error = pattern_internal::ParsePattern(pattern, caseSensitive, &tree);
    if (error != PatternError::Ok) return error_ = error;
    program_ = pattern_internal::CompileProgram(tree);
    return error_ = PatternError::Ok;
  } catch (const std::bad_alloc&) {
    return error_ = PatternError::OutOfMemory;
  }
}

std::size_t PatternMatcher::GroupCount() const { return program_ ? program_->groupCount : 0; }

std::u16string_view PatternMatcher::RequiredUnits() const {
  return program_ ? std::u16string_view(program_->requiredUnits) : std::u16string_view();
}

bool PatternMatcher::Match(const char16_t* input, MatchContext* context) const {
  if (input == nullptr) return false;
  return Match(input, std::char_traits<char16_t>::length(input), context);
}

bool PatternMatcher::Match(const char16_t* input, std::size_t length, MatchContext* context) const {
  if (input == nullptr) return false;
  SearchMemo memo;
  return MatchFrom(std::u16string_view(input, length), 0, &memo, context);
}

bool PatternMatcher::MatchFrom(std::u16string_view text, std::size_t from, SearchMemo* memo,
                               MatchContext* context) const {
  if (context == nullptr) return false;
  context->match_ = MatchSpan{};
  context->groups_.clear();
  context->stepLimitReached_ = false;
  if (!program_ || from > text.size()) return false;
  bool found = false;
  try {
    found = pattern_internal::SearchProgram(*program_, text, from, memo, *context);
  } catch (const std::bad_alloc&) {
    found = false;
  }
  if (!found) context->groups_.assign(program_->groupCount, MatchSpan{});
  return found;
}

}  // namespace tidewire
