#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "processing/pattern_program.h"

namespace tidewire::pattern_internal {
namespace {

// Turns the tree into a flat program, iteratively so that deep nesting is safe.
class Generator {
 public:
  Generator(const SyntaxTree& ast, Program& program) : ast_(ast), program_(program) {}

  void Run(std::uint32_t root) {
    struct Task {
      std::uint32_t node;
      std::uint32_t phase;
      std::uint32_t a;
      std::uint32_t b;
      std::uint32_t c;
    };
    std::vector<Task> tasks{{root, 0, 0, 0, 0}};
    while (!tasks.empty()) {
      const Task t = tasks.back();
      tasks.pop_back();
      const Node& n = ast_.nodes[t.node];
      const auto later = [&](std::uint32_t a = 0, std::uint32_t b = 0, std::uint32_t c = 0) {
        tasks.push_back({t.node, t.phase + 1, a, b, c});
      };
      const auto now = [&](std::uint32_t node) { tasks.push_back({node, 0, 0, 0, 0}); };
      switch (n.kind) {
        case NodeKind::Empty: break;
        case NodeKind::Char: Emit(Op::Char, n.value); break;
        case NodeKind::Class: Emit(Op::Class, n.value); break;
        case NodeKind::Any: Emit(Op::Any); break;
        case NodeKind::End: Emit(Op::End); break;
        case NodeKind::BackRef: Emit(Op::BackRef, n.value); break;
        case NodeKind::Seq:
          if (n.first + t.phase < n.second) {
            later();
            now(ast_.items[n.first + t.phase]);
          }
          break;
        case NodeKind::Alt:
          if (n.width == 1) {
            EmitSingleTest(t.node);
          } else if (t.phase == 0) {
            later(Emit(Op::Split, Here() + 1));
            now(n.first);
          } else if (t.phase == 1) {
            const std::uint32_t jump = Emit(Op::Jump);
            code()[t.a].y = Here();
            later(jump);
            now(n.second);
          } else {
            code()[t.a].x = Here();
          }
          break;
        case NodeKind::Group:
          Emit(t.phase == 0 ? Op::GroupStart : Op::GroupEnd, n.value);
          if (t.phase == 0) {
            later();
            now(n.first);
          }
          break;
        case NodeKind::Not:
          if (t.phase == 0) {
            later(Emit(Op::LookNeg));
            now(n.first);
          } else {
            Emit(Op::LookSucceed);
            code()[t.a].x = Here();
          }
          break;
        case NodeKind::Repeat: {
          const Node& child = ast_.nodes[n.first];
          if (n.many && child.width > 0) {
            const std::uint32_t loop = Emit(Op::SimpleLoop, 0, child.width);
            code()[loop].greedy = n.greedy;
            code()[loop].atLeastOne = n.atLeastOne;
            EmitRun(n.first);
            code()[loop].x = Here();
            break;
          }
          // A greedy step must make progress; only ? may repeat an item that can match nothing.
          const bool check = n.greedy && child.nullable;
          if (t.phase == 0) {
            const std::uint32_t reg = check ? program_.registerCount++ : NoIndex;
            const std::uint32_t top = Here();
            if (check) Emit(Op::SaveEntry, reg);
            std::uint32_t split = NoIndex;
            if (!n.atLeastOne) {
              split = n.greedy ? Emit(Op::Split, Here() + 1) : Emit(Op::Split, 0, Here() + 1);
            }
            later(top, split, reg);
            now(n.first);
            break;
          }
          if (check) Emit(Op::CheckProgress, t.c);
          if (n.atLeastOne) {  // X+: X, then the choice of another X
            if (n.greedy) {
              Emit(Op::Split, t.a, Here() + 1);
            } else {
              Emit(Op::Split, Here() + 1, t.a);
            }
            break;
          }
          if (n.many) Emit(Op::Jump, t.a);
          if (n.greedy) {
            code()[t.b].y = Here();
          } else {
            code()[t.b].x = Here();
          }
          break;
        }
      }
    }
    Emit(Op::Match);
  }

 private:
  std::vector<Instruction>& code() { return program_.code; }
  std::uint32_t Here() const { return static_cast<std::uint32_t>(program_.code.size()); }

  std::uint32_t Emit(Op op, std::uint32_t x = 0, std::uint32_t y = 0) {
    Instruction in{op};
    in.x = x;
    in.y = y;
    program_.code.push_back(in);
    return Here() - 1;
  }

  // A run is at most MaxRunWidth tests deep, so recursion is bounded here.
  void EmitRun(std::uint32_t id) {
    const Node& n = ast_.nodes[id];
    switch (n.kind) {
      case NodeKind::Seq:
        for (std::uint32_t k = n.first; k < n.second; ++k) EmitRun(ast_.items[k]);
        break;
      default: EmitSingleTest(id); break;
    }
  }

  // One test for a character, set, dot or alternation of them: whichever alternative takes the
  // character, the search goes on in the same state, so the set of all of them (or a dot, if one
  // is a dot) finds the same matches, groups included.
  void EmitSingleTest(std::uint32_t id) {
    const Node& n = ast_.nodes[id];
    if (n.kind == NodeKind::Char) {
      Emit(Op::Char, n.value);
      return;
    }
    if (n.kind == NodeKind::Class) {
      Emit(Op::Class, n.value);
      return;
    }
    std::vector<Range> ranges;
    std::vector<std::uint32_t> pending{id};
    while (!pending.empty()) {
      const Node& test = ast_.nodes[pending.back()];
      pending.pop_back();
      switch (test.kind) {
        case NodeKind::Alt:
          pending.push_back(test.first);
          pending.push_back(test.second);
          break;
        case NodeKind::Char:
          ranges.push_back({static_cast<char16_t>(test.value), static_cast<char16_t>(test.value)});
          break;
        case NodeKind::Class: {
          const std::vector<Range>& set = ast_.classes[test.value].ranges();
          ranges.insert(ranges.end(), set.begin(), set.end());
          break;
        }
        default:  // a dot
          Emit(Op::Any);
          return;
      }
    }
    program_.classes.emplace_back(std::move(ranges));
    Emit(Op::Class, static_cast<std::uint32_t>(program_.classes.size() - 1));
  }

  const SyntaxTree& ast_;
  Program& program_;
};

void AddUnits(std::vector<std::uint64_t>& units, unsigned low, unsigned high) {
  for (unsigned c = low; c <= high; ++c) units[c >> 6] |= std::uint64_t{1} << (c & 63);
}

// Known failures of a state (instruction, position) hold for any start position and any later
// search in the same text only when its future depends on nothing else: no back-reference (which
// reads groups), no ! item (which cuts choices), and no progress check (which reads a position
// saved before the state). Choices and loops outside the checked ? items are safe, since each
// check's register is saved afresh on the way in.
void AssignMemoRows(Program& program) {
  for (const Instruction& in : program.code) {
    if (in.op == Op::BackRef || in.op == Op::LookNeg) return;
  }
  int checked = 0;
  for (Instruction& in : program.code) {
    if (in.op == Op::SaveEntry) ++checked;
    if (in.op == Op::CheckProgress) --checked;
    if (checked == 0 && (in.op == Op::Split || in.op == Op::SimpleLoop)) {
      in.memo = program.memoRows++;
    }
  }
}

// The code units that a match can begin with; left empty when a match might consume nothing or
// begin with anything, so that every start position stays a candidate.
void FindFirstUnits(Program& program) {
  std::vector<std::uint64_t> units(65536 / 64, 0);
  std::vector<bool> seen(program.code.size(), false);
  std::vector<std::uint32_t> pending{0};
  while (!pending.empty()) {
    const std::uint32_t pc = pending.back();
    pending.pop_back();
    if (seen[pc]) continue;
    seen[pc] = true;
    const Instruction& in = program.code[pc];
    switch (in.op) {
      case Op::Char: AddUnits(units, in.x, in.x); break;
      case Op::Class:
        for (const Range& r : program.classes[in.x].ranges()) AddUnits(units, r.low, r.high);
        break;
      case Op::End:  // fails at every start position but the end, which is tried unfiltered
      case Op::LookSucceed: break;
      case Op::Split:
        pending.push_back(in.x);
        pending.push_back(in.y);
        break;
      case Op::Jump:
      case Op::LookNeg: pending.push_back(in.x); break;
      case Op::GroupStart:
      case Op::GroupEnd:
      case Op::SaveEntry:
      case Op::CheckProgress: pending.push_back(pc + 1); break;
      case Op::SimpleLoop:
        pending.push_back(pc + 1);
        if (!in.atLeastOne) pending.push_back(in.x);
        break;
      case Op::Any:
      case Op::BackRef:
      case Op::Match: return;
    }
  }
  program.firstUnits = std::move(units);
}

// Walks only through the nodes that every match passes (sequences, groups, repetitions of at
// least one), with an explicit stack, collecting the characters they test.
void FindRequiredUnits(const SyntaxTree& ast, Program& program) {
  std::vector<std::uint32_t> pending{ast.root};
  while (!pending.empty()) {
    const Node& n = ast.nodes[pending.back()];
    pending.pop_back();
    switch (n.kind) {
      case NodeKind::Char:
        if (program.requiredUnits.find(static_cast<char16_t>(n.value)) == std::u16string::npos) {
          program.requiredUnits += static_cast<char16_t>(n.value);
        }
        break;
      case NodeKind::Seq:
        for (std::uint32_t k = n.first; k < n.second; ++k) pending.push_back(ast.items[k]);
        break;
      case NodeKind::Group: pending.push_back(n.first); break;
      case NodeKind::Repeat:
        if (n.atLeastOne) pending.push_back(n.first);
        break;
      default: break;
    }
  }
}

void FindStartLiteral(Program& program) {
  const auto folds = [&](char16_t c) { return !program.caseSensitive && c >= u'a' && c <= u'z'; };
  for (const Instruction& in : program.code) {
    if (in.op != Op::Char || folds(static_cast<char16_t>(in.x))) break;
    program.startLiteral += static_cast<char16_t>(in.x);
  }
  if (!program.startLiteral.empty() || program.firstUnits.empty()) return;
  int count = 0;
  char16_t only = 0;
  for (std::size_t word = 0; word < program.firstUnits.size(); ++word) {
    const std::uint64_t bits = program.firstUnits[word];
    if (bits == 0) continue;
    count += std::popcount(bits);
    only = static_cast<char16_t>(word * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
  }
  if (count == 1 && !folds(only)) program.startLiteral = only;
}

}  // namespace

std::unique_ptr<Program> CompileProgram(const SyntaxTree& tree) {
  static std::atomic<std::uint64_t> lastProgramId{0};
  auto program = std::make_unique<Program>();
  program->id = ++lastProgramId;
  program->classes = tree.classes;
  program->groupCount = tree.groupCount;
  program->anchored = tree.anchored;
  program->caseSensitive = tree.caseSensitive;
  Generator(tree, *program).Run(tree.root);
  AssignMemoRows(*program);
  FindFirstUnits(*program);
  FindStartLiteral(*program);
  FindRequiredUnits(tree, *program);
  return program;
}

}  // namespace tidewire::pattern_internal
