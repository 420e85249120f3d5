#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "processing/pattern_program.h"
#include "processing/unit_scan.h"

namespace tidewire {

std::size_t FindLiteral(std::u16string_view text, std::u16string_view literal, std::size_t from) {
  if (literal.empty()) return from <= text.size() ? from : NoPosition;
  return unit_scan::FindText(text.data(), text.size(), literal, from);
}

namespace pattern_internal {
namespace {

enum FrameKind : std::uint32_t {
  Retry,            // index: the Split; x: position
  MarkFailed,       // index: memo row; x: position whose choice has failed both ways
  RestoreGroup,     // index: group; x, y: its previous bounds
  RestorePending,   // index: group; x: previous pending start
  RestoreRegister,  // index: register; x: previous value
  LookBarrier,      // index: the LookNeg; x: position
  GreedyLoop,       // index: the SimpleLoop; x: lowest exit; y: exit being tried
  LazyLoop,         // index: the SimpleLoop; x: lowest exit; y: exit being tried
};

}  // namespace

// One search: tries the start positions in turn, each with a depth-first search whose choice
// points live on the context's frame stack.
class Search {
 public:
  Search(const Program& program, std::u16string_view text, SearchMemo* memo, MatchContext& context)
      : program_(program),
        code_(program.code.data()),
        text_(text.data()),
        n_(text.size()),
        memo_(memo),
        context_(context),
        limit_(context.stepLimit_) {}

  bool Run(std::size_t from) {
    context_.groups_.assign(program_.groupCount, MatchSpan{});
    context_.pendingStarts_.assign(program_.groupCount, NoPosition);
    context_.registers_.assign(program_.registerCount, NoPosition);
    context_.frames_.clear();
    if (from == n_) return Try(from);  // the empty input is tried once, at its start
    const std::size_t last = program_.anchored ? from : n_ - 1;
    for (std::size_t start = from; start <= last; ++start) {
      if (!program_.startLiteral.empty()) {
        start = FindLiteral(std::u16string_view(text_, n_), program_.startLiteral, start);
        if (start == NoPosition || start > last) break;
      } else if (!program_.firstUnits.empty()) {
        start = program_.caseSensitive ? NextCandidate<false>(start, last)
                                       : NextCandidate<true>(start, last);
        if (start > last) break;
      }
      if (Try(start)) return true;
      if (context_.stepLimitReached_) return false;
    }
    return false;
  }

 private:
  template <bool Folded>
  std::size_t NextCandidate(std::size_t start, std::size_t last) const {
    const std::uint64_t* units = program_.firstUnits.data();
    for (; start <= last; ++start) {
      const char16_t c = Fold<Folded>(text_[start]);
      if ((units[c >> 6] >> (c & 63)) & 1) break;
    }
    return start;
  }

  bool Try(std::size_t start) {
    UseMemo();
    return program_.caseSensitive ? Attempt<false>(start) : Attempt<true>(start);
  }

  void UseMemo() {
    if (memoOn_ || memo_ == nullptr || program_.memoRows == 0) return;
    if (memo_->text_ != text_ || memo_->size_ != n_ || memo_->programId_ != program_.id) {
      *memo_ = SearchMemo();
      memo_->text_ = text_;
      memo_->size_ = n_;
      memo_->programId_ = program_.id;
    }
    if (memo_->unusable_) return;
    if (memo_->bits_.empty()) {
      const std::uint64_t bits = std::uint64_t{program_.memoRows} * (std::uint64_t{n_} + 1);
      if (bits > MaxMemoBits) {
        memo_->unusable_ = true;
        return;
      }
      memo_->stride_ = n_ + 1;
      memo_->bits_.assign(static_cast<std::size_t>((bits + 63) / 64), 0);
    }
    bits_ = memo_->bits_.data();
    stride_ = memo_->stride_;
    memoOn_ = true;
  }

  bool Failed(std::uint32_t row, std::size_t pos) const {
    const std::size_t bit = row * stride_ + pos;
    return (bits_[bit >> 6] >> (bit & 63)) & 1;
  }
  void SetFailed(std::uint32_t row, std::size_t pos) {
    const std::size_t bit = row * stride_ + pos;
    bits_[bit >> 6] |= std::uint64_t{1} << (bit & 63);
  }
  bool KnownFailure(std::uint32_t row, std::size_t pos) const {
    return memoOn_ && row != NoIndex && Failed(row, pos);
  }
  void MarkFailure(std::uint32_t row, std::size_t pos) {
    if (memoOn_ && row != NoIndex) SetFailed(row, pos);
  }

  template <bool Folded>
  bool Test(const Instruction& in, std::size_t pos) const {
    const char16_t c = Fold<Folded>(text_[pos]);
    switch (in.op) {
      case Op::Char: return c == in.x;
      case Op::Class: return program_.classes[in.x].Contains(c);
      default: return true;  // Any
    }
  }

  // Whether the tests of the loop at `loop` all pass from `pos` on.
  template <bool Folded>
  bool Body(std::uint32_t loop, std::size_t pos) const {
    const std::uint32_t width = code_[loop].y;
    if (n_ - pos < width) return false;
    for (std::uint32_t k = 0; k < width; ++k) {
      if (!Test<Folded>(code_[loop + 1 + k], pos + k)) return false;
    }
    return true;
  }

  void Push(FrameKind kind, std::uint32_t index, std::size_t x, std::size_t y = 0) {
    context_.frames_.push_back(Frame{kind, index, x, y});
  }

  // Undoes what a frame recorded; frames that record a choice are simply dropped.
  void Restore(const Frame& f) {
    switch (f.kind) {
      case RestoreGroup: context_.groups_[f.index] = MatchSpan{f.x, f.y}; break;
      case RestorePending: context_.pendingStarts_[f.index] = f.x; break;
      case RestoreRegister: context_.registers_[f.index] = f.x; break;
      default: break;
    }
  }

  bool Step() {
    if (++steps_ <= limit_) return true;
    context_.stepLimitReached_ = true;
    return false;
  }

  template <bool Folded>
  bool Attempt(std::size_t start) {
    std::vector<Frame>& frames = context_.frames_;
    frames.clear();
    std::uint32_t pc = 0;
    std::size_t pos = start;
    for (;;) {
      if (!Step()) return false;
      const Instruction& in = code_[pc];
      bool ok = false;
      switch (in.op) {
        case Op::Char:
        case Op::Class:
        case Op::Any:
          if (pos < n_ && Test<Folded>(in, pos)) {
            ++pos;
            ++pc;
            ok = true;
          }
          break;
        case Op::End:
          ok = pos == n_;
          ++pc;
          break;
        case Op::Split:
          if (!KnownFailure(in.memo, pos)) {
            Push(Retry, pc, pos);
            pc = in.x;
            ok = true;
          }
          break;
        case Op::Jump:
          pc = in.x;
          ok = true;
          break;
        case Op::GroupStart:
          Push(RestorePending, in.x, context_.pendingStarts_[in.x]);
          context_.pendingStarts_[in.x] = pos;
          ++pc;
          ok = true;
          break;
        case Op::GroupEnd: {
          MatchSpan& group = context_.groups_[in.x];
          Push(RestoreGroup, in.x, group.start, group.end);
          group = MatchSpan{context_.pendingStarts_[in.x], pos};
          ++pc;
          ok = true;
          break;
        }
        case Op::SaveEntry:
          Push(RestoreRegister, in.x, context_.registers_[in.x]);
          context_.registers_[in.x] = pos;
          ++pc;
          ok = true;
          break;
        case Op::CheckProgress:
          ok = pos != context_.registers_[in.x];
          ++pc;
          break;
        case Op::LookNeg:
          Push(LookBarrier, pc, pos);
          ++pc;
          ok = true;
          break;
        case Op::LookSucceed:
          // The item of the ! matched, so the ! fails: undo what the item did, drop its choices.
          for (;;) {
            const Frame f = frames.back();
            frames.pop_back();
            if (f.kind == LookBarrier) break;
            Restore(f);
          }
          break;
        case Op::BackRef: {
          const MatchSpan group = context_.groups_[in.x];
          const std::size_t length = group.Matched() ? group.end - group.start : 0;
          ok = n_ - pos >= length;
          for (std::size_t k = 0; ok && k < length; ++k) {
            ok = Fold<Folded>(text_[group.start + k]) == Fold<Folded>(text_[pos + k]);
          }
          if (ok) pos += length;
          ++pc;
          break;
        }
        case Op::SimpleLoop: {
          const std::uint32_t width = in.y;
          std::size_t low = pos;
          if (in.atLeastOne) {
            if (!Body<Folded>(pc, low)) break;
            low += width;
          }
          if (KnownFailure(in.memo, low)) break;
          if (in.greedy) {
            // Take as many repetitions as possible, then give them back one at a time; stop
            // early where the rest is known to fail from.
            std::size_t high = low;
            while (Body<Folded>(pc, high) && !KnownFailure(in.memo, high + width)) high += width;
            if (high > low || (memoOn_ && in.memo != NoIndex)) Push(GreedyLoop, pc, low, high);
            pos = high;
          } else {
            Push(LazyLoop, pc, low, low);
            pos = low;
          }
          pc = in.x;
          ok = true;
          break;
        }
        case Op::Match: context_.match_ = MatchSpan{start, pos}; return true;
      }
      if (!ok && !Backtrack<Folded>(pc, pos)) return false;
    }
  }

  // Resumes the most recent choice; false when none is left (or the step limit is reached).
  template <bool Folded>
  bool Backtrack(std::uint32_t& pc, std::size_t& pos) {
    std::vector<Frame>& frames = context_.frames_;
    while (!frames.empty()) {
      if (!Step()) return false;
      Frame& f = frames.back();
      switch (f.kind) {
        case Retry: {
          const Instruction& split = code_[f.index];
          pos = f.x;
          pc = split.y;
          if (memoOn_ && split.memo != NoIndex) {
            // Stays on the stack to record the failure once the second way has failed too.
            f.kind = MarkFailed;
            f.index = split.memo;
          } else {
            frames.pop_back();
          }
          return true;
        }
        case MarkFailed:
          SetFailed(f.index, f.x);
          frames.pop_back();
          break;
        case LookBarrier:  // the item of the ! found no match: the ! succeeds
          pc = code_[f.index].x;
          pos = f.x;
          frames.pop_back();
          return true;
        case GreedyLoop: {
          const Instruction& loop = code_[f.index];
          // Every exit from f.y up has failed, so the loop fails from f.y on.
          MarkFailure(loop.memo, f.y);
          if (f.y == f.x) {
            frames.pop_back();
            break;
          }
          f.y -= loop.y;
          pos = f.y;
          pc = loop.x;
          return true;
        }
        case LazyLoop: {
          const Instruction& loop = code_[f.index];
          const std::size_t next = f.y + loop.y;
          if (Body<Folded>(f.index, f.y) && !KnownFailure(loop.memo, next)) {
            f.y = next;
            pos = next;
            pc = loop.x;
            return true;
          }
          for (std::size_t p = f.x; p <= f.y; p += loop.y) MarkFailure(loop.memo, p);
          frames.pop_back();
          break;
        }
        default:
          Restore(f);
          frames.pop_back();
          break;
      }
    }
    return false;
  }

  const Program& program_;
  const Instruction* code_;
  const char16_t* text_;
  std::size_t n_;
  SearchMemo* memo_;
  MatchContext& context_;
  std::uint64_t limit_;
  std::uint64_t steps_ = 0;
  bool memoOn_ = false;
  std::uint64_t* bits_ = nullptr;
  std::size_t stride_ = 0;
};

bool SearchProgram(const Program& program, std::u16string_view text, std::size_t from,
                   SearchMemo* memo, MatchContext& context) {
  return Search(program, text, memo, context).Run(from);
}

}  // namespace pattern_internal
}  // namespace tidewire
