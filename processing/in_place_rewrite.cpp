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

void MarkPositions::StartFollowing() {
  read_ = 0;
  written_ = 0;
  removed_ = 0;
}

void MarkPositions::Follow(std::size_t start, std::size_t end, std::size_t written,
                           bool markFirst) {
  for (; read_ < positions_.size() && positions_[read_] < start; ++read_) {
    positions_[written_++] = static_cast<std::uint32_t>(positions_[read_] - removed_);
  }
  while (read_ < positions_.size() && positions_[read_] < end) ++read_;
  // The match held the mark at its start, so this writes no position not yet read.
  if (markFirst) positions_[written_++] = static_cast<std::uint32_t>(start - removed_);
  removed_ += end - start - written;
}

void MarkPositions::Followed() {
  for (; read_ < positions_.size(); ++read_) {
    positions_[written_++] = static_cast<std::uint32_t>(positions_[read_] - removed_);
  }
  positions_.resize(written_);
}

bool ReplaceLiteral(char16_t* data, std::size_t& size, std::u16string_view search,
                    std::u16string_view replacement, MarkPositions* follow) {
  if (follow != nullptr) follow->StartFollowing();
  const bool markFirst =
      follow != nullptr && !replacement.empty() && replacement.front() == follow->Mark();
  const bool replaced = RewriteInPlace(
      data, size,
      [&](std::size_t from, std::size_t& end) {
        const std::size_t found = unit_scan::FindText(data, size, search, from);
        end = found + search.size();
        if (follow != nullptr && found != NoPosition) {
          follow->Follow(found, end, replacement.size(), markFirst);
        }
        return found;
      },
      [&](char16_t* out) { return std::copy(replacement.begin(), replacement.end(), out); });
  if (follow != nullptr) follow->Followed();
  return replaced;
}

bool ReplaceLiteralAtMarks(char16_t* data, std::size_t& size, std::u16string_view search,
                           std::u16string_view replacement, MarkPositions& marks, bool follow) {
  const std::vector<std::uint32_t>& positions = marks.Positions();
  const bool markFirst = !replacement.empty() && replacement.front() == marks.Mark();
  if (follow) marks.StartFollowing();
  std::size_t next = 0;
  const bool replaced = RewriteInPlace(
      data, size,
      [&](std::size_t from, std::size_t& end) {
        for (; next < positions.size(); ++next) {
          const std::size_t at = positions[next];
          if (at < from || size - at < search.size() ||
              std::char_traits<char16_t>::compare(data + at, search.data(), search.size()) != 0) {
            continue;
          }
          end = at + search.size();
          // Follow() writes only positions that this search has passed.
          if (follow) marks.Follow(at, end, replacement.size(), markFirst);
          ++next;
          return at;
        }
        return NoPosition;
      },
      [&](char16_t* out) { return std::copy(replacement.begin(), replacement.end(), out); });
  if (follow) marks.Followed();
  return replaced;
}

bool TranslateUnits(char16_t* data, std::size_t size, std::u16string_view sources,
                    std::u16string_view targets) {
  bool replaced = false;
  for (std::size_t at = unit_scan::FindAnyUnit(data, 0, size, sources); at < size;
       at = unit_scan::FindAnyUnit(data, at + 1, size, sources)) {
    data[at] = targets[sources.find(data[at])];
    replaced = true;
  }
  return replaced;
}

bool ReplaceEnclosed(char16_t* data, std::size_t& size, char16_t open, char16_t close,
                     std::u16string_view replacement) {
  const auto find = [&](char16_t unit, std::size_t from) {
    return unit_scan::Scan(data, from, size, unit, 0, unit, [](std::size_t) { return true; });
  };
  return RewriteInPlace(
      data, size,
      [&](std::size_t from, std::size_t& end) {
        // Without a closing unit after the first opening one, none follows any later one.
        const std::size_t start = find(open, from);
        const std::size_t last = start == size ? size : find(close, start + 1);
        if (last == size) return NoPosition;
        end = last + 1;
        return start;
      },
      [&](char16_t* out) { return std::copy(replacement.begin(), replacement.end(), out); });
}

bool ReplaceElements(char16_t* data, std::size_t& size, const ElementShape& shape,
                     std::u16string_view replacement) {
  // Kept from one opening text to the next while they apply: the first ">" after it, the last
  // place of the attribute text that counts before that ">", and the first closing text after it.
  std::size_t tagEnd = NoPosition;
  std::size_t attribute = NoPosition;
  std::size_t close = NoPosition;
  const std::size_t width = shape.attribute.size();
  return RewriteInPlace(
      data, size,
      [&](std::size_t from, std::size_t& end) {
        for (std::size_t at = unit_scan::FindText(data, size, shape.open, from); at != NoPosition;
             at = unit_scan::FindText(data, size, shape.open, at + 1)) {
          const std::size_t inside = at + shape.open.size();
          if (tagEnd == NoPosition || tagEnd < inside) {
            // Without a ">" after this opening text, none follows any later one.
            tagEnd = unit_scan::Scan(data, inside, size, u'>', 0, u'>',
                                     [](std::size_t) { return true; });
            if (tagEnd == size) return NoPosition;
            attribute = NoPosition;
            for (std::size_t h =
                     unit_scan::FindText(data, tagEnd, shape.attribute, inside + shape.gap);
                 h != NoPosition; h = unit_scan::FindText(data, tagEnd, shape.attribute, h + 1)) {
              if (h + width < tagEnd && data[h + width] != u' ') attribute = h;
            }
          }
          if (attribute == NoPosition || attribute < inside + shape.gap) continue;
          if (close == NoPosition || close <= tagEnd) {
            close = unit_scan::FindText(data, size, shape.close, tagEnd + 1);
            if (close == NoPosition) return NoPosition;
          }
          end = close + shape.close.size();
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
