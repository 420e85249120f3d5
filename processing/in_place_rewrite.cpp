#include "processing/in_place_rewrite.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "processing/unit_scan.h"

namespace tidewire::cleanup_internal {
namespace {

// Beyond one mark in this many units, scanning is the cheaper search.
constexpr std::size_t MaxShare = 32;

}  // namespace

bool MarkPositions::Collect(const char16_t* data, std::size_t size) {
  if (common_) return false;
  if (valid_) return true;
  positions_.clear();
  const std::size_t limit = size / MaxShare;
  unit_scan::Scan(data, 0, size, mark_, 0, mark_, [&](std::size_t at) {
    positions_.push_back(static_cast<std::uint32_t>(at));
    return positions_.size() > limit;
  });
  common_ = positions_.size() > limit;
  valid_ = !common_;
  return valid_;
}

bool ReplaceLiteral(char16_t* data, std::size_t& size, std::u16string_view search,
                    std::u16string_view replacement) {
  return RewriteInPlace(
      data, size,
      [&](std::size_t from, std::size_t& end) {
        const std::size_t found = unit_scan::FindText(data, size, search, from);
        end = found + search.size();
        return found;
      },
      [&](char16_t* out) { return std::copy(replacement.begin(), replacement.end(), out); });
}

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
        const std::size_t found = unit_scan::FindText(data, size, twice, from);
        if (found == NoPosition) return found;
        end = found + twice.size();
        while (unitAt(end)) end += unit.size();
        return found;
      },
      [&](char16_t* out) { return std::copy(unit.begin(), unit.end(), out); });
}

}  // namespace tidewire::cleanup_internal
