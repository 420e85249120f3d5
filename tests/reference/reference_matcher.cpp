#include "tests/reference/reference_matcher.h"

#include <new>
#include <string>

namespace tidewire::testing_support {
namespace {

using pattern_internal::Fold;
using pattern_internal::Node;
using pattern_internal::NodeKind;
using pattern_internal::SyntaxTree;

constexpr std::size_t NoLink = ~std::size_t{0};

// What remains to be done once the current item has matched: a list of tasks, shared between the
// choice points that continue the same way (each task points at the one after it).
enum class TaskKind {
  Node,      // match node `node`
  NextItem,  // match item `extra` of sequence `node`, then the items after it
  GroupEnd,  // group `node` ends here
  Repeated,  // one more time through repetition `node` has matched; `extra` is where it began
  NotEnd,    // the item of a ! has matched; `extra` is the ! item's choice point
};

struct Task {
  TaskKind kind;
  std::uint32_t node;
  std::size_t extra;
  std::size_t next;  // index of the following task, NoLink at the end of the pattern
};

struct State {
  std::size_t tasks;  // the first task of what remains
  std::size_t pos;
  std::vector<MatchSpan> groups;
  std::vector<std::size_t> pendingStarts;
};

class Search {
 public:
  Search(const SyntaxTree& tree, std::u16string_view text, std::uint64_t limit)
      : tree_(tree), text_(text), limit_(limit) {}

  // One attempt at `start`; true with the match in `result`.
  bool Attempt(std::size_t start, ReferenceMatch* result) {
    tasks_.clear();
    choices_.clear();
    State state{Push(TaskKind::Node, tree_.root, 0, NoLink), start,
                std::vector<MatchSpan>(tree_.groupCount),
                std::vector<std::size_t>(tree_.groupCount, NoPosition)};
    for (;;) {
      if (++steps_ > limit_) {
        result->stepLimitReached = true;
        return false;
      }
      if (state.tasks == NoLink) {  // nothing remains: a match
        result->match = MatchSpan{start, state.pos};
        result->groups = state.groups;
        return true;
      }
      if (Advance(state)) continue;
      // Failed: resume the most recent choice point.
      if (choices_.empty()) return false;
      state = std::move(choices_.back());
      choices_.pop_back();
    }
  }

 private:
  std::size_t Push(TaskKind kind, std::uint32_t node, std::size_t extra, std::size_t next) {
    tasks_.push_back(Task{kind, node, extra, next});
    return tasks_.size() - 1;
  }

  void Choose(const State& state, std::size_t alternative) {
    choices_.push_back(state);
    choices_.back().tasks = alternative;
  }

  char16_t At(std::size_t pos) const {
    return tree_.caseSensitive ? text_[pos] : Fold<true>(text_[pos]);
  }

  bool Tests(const Node& n, char16_t c) const {
    switch (n.kind) {
      case NodeKind::Char: return c == n.value;
      case NodeKind::Class: return tree_.classes[n.value].Contains(c);
      default: return true;  // Any
    }
  }

  // Carries out the first task of `state`; false when it fails.
  bool Advance(State& state) {
    const Task task = tasks_[state.tasks];
    const std::size_t rest = task.next;
    state.tasks = rest;
    const Node& n = tree_.nodes[task.node];
    switch (task.kind) {
      case TaskKind::NextItem:
        if (task.extra + 1 < n.second) {
          state.tasks = Push(TaskKind::NextItem, task.node, task.extra + 1, rest);
        }
        state.tasks = Push(TaskKind::Node, tree_.items[task.extra], 0, state.tasks);
        return true;
      case TaskKind::GroupEnd:
        state.groups[task.node] = MatchSpan{state.pendingStarts[task.node], state.pos};
        return true;
      case TaskKind::Repeated:
        if (n.greedy && state.pos == task.extra) return false;  // no progress
        if (!n.many) return true;
        if (n.atLeastOne) {  // X+ after an X: another X+, or on
          const std::size_t again = Push(TaskKind::Node, task.node, 0, rest);
          Choose(state, n.greedy ? rest : again);
          state.tasks = n.greedy ? again : rest;
          return true;
        }
        state.tasks = Push(TaskKind::Node, task.node, 0, rest);  // X* again
        return true;
      case TaskKind::NotEnd:
        // The item of the ! matched, so the ! fails: its item's choices go with it.
        choices_.resize(task.extra);
        return false;
      case TaskKind::Node: break;
    }
    switch (n.kind) {
      case NodeKind::Empty: return true;
      case NodeKind::Char:
      case NodeKind::Class:
      case NodeKind::Any:
        if (state.pos == text_.size() || !Tests(n, At(state.pos))) return false;
        ++state.pos;
        return true;
      case NodeKind::End: return state.pos == text_.size();
      case NodeKind::Seq:
        state.tasks = Push(TaskKind::NextItem, task.node, n.first, rest);
        return true;
      case NodeKind::Alt:
        Choose(state, Push(TaskKind::Node, n.second, 0, rest));
        state.tasks = Push(TaskKind::Node, n.first, 0, rest);
        return true;
      case NodeKind::Group:
        state.pendingStarts[n.value] = state.pos;
        state.tasks = Push(TaskKind::Node, n.first, 0, Push(TaskKind::GroupEnd, n.value, 0, rest));
        return true;
      case NodeKind::Not: {
        // Resuming this choice point means that the item found no match: the ! succeeds and the
        // search goes on where it stood.
        choices_.push_back(state);
        state.tasks = Push(TaskKind::Node, n.first, 0,
                           Push(TaskKind::NotEnd, 0, choices_.size() - 1, NoLink));
        return true;
      }
      case NodeKind::BackRef: {
        const MatchSpan group = state.groups[n.value];
        const std::size_t length = group.Matched() ? group.end - group.start : 0;
        if (text_.size() - state.pos < length) return false;
        for (std::size_t k = 0; k < length; ++k) {
          if (At(group.start + k) != At(state.pos + k)) return false;
        }
        state.pos += length;
        return true;
      }
      case NodeKind::Repeat: {
        const std::size_t body =
            Push(TaskKind::Node, n.first, 0, Push(TaskKind::Repeated, task.node, state.pos, rest));
        if (!n.atLeastOne) Choose(state, n.greedy ? rest : body);
        state.tasks = n.atLeastOne || n.greedy ? body : rest;
        return true;
      }
    }
    return false;
  }

  const SyntaxTree& tree_;
  std::u16string_view text_;
  std::uint64_t limit_;
  std::uint64_t steps_ = 0;
  std::vector<Task> tasks_;
  std::vector<State> choices_;  // the choice points, most recent last
};

}  // namespace

PatternError ReferenceMatcher::Compile(const char16_t* pattern, bool caseSensitive) {
  try {
    error_ = pattern_internal::ParsePattern(pattern, caseSensitive, &tree_);
  } catch (const std::bad_alloc&) {
    error_ = PatternError::OutOfMemory;
  }
  return error_;
}

ReferenceMatch ReferenceMatcher::MatchFrom(std::u16string_view text, std::size_t from) const {
  ReferenceMatch result;
  result.groups.assign(GroupCount(), MatchSpan{});
  if (error_ != PatternError::Ok || from > text.size()) return result;
  // Positions are reported in `text`; the search sees the rest as its own input.
  const std::u16string_view rest = text.substr(from);
  Search search(tree_, rest, stepLimit_);
  // Start positions run up to the last character; the empty input is tried once.
  const std::size_t last = rest.empty() ? 0 : (tree_.anchored ? 0 : rest.size() - 1);
  for (std::size_t start = 0; start <= last; ++start) {
    if (search.Attempt(start, &result)) {
      result.found = true;
      result.match = MatchSpan{result.match.start + from, result.match.end + from};
      for (MatchSpan& group : result.groups) {
        if (group.Matched()) group = MatchSpan{group.start + from, group.end + from};
      }
      return result;
    }
    if (result.stepLimitReached) break;
  }
  result.groups.assign(GroupCount(), MatchSpan{});
  return result;
}

}  // namespace tidewire::testing_support
