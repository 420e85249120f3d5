#include "processing/pattern_matcher.h"

#include <algorithm>
#include <atomic>
#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <new>
#include <string>
#include <utility>

namespace tidewire {
namespace {

// The first position in [from, end) holding `unit`, eight code units at a time where SSE2 is
// there (the C library's memchr is byte-wise and slow in some runtimes).
std::size_t FindUnit(const char16_t* text, std::size_t from, std::size_t end, char16_t unit) {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi16(static_cast<short>(unit));
  for (; from + 8 <= end; from += 8) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + from));
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(block, wanted));
    if (mask != 0) {
      return from + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(mask))) / 2;
    }
  }
#endif
  for (; from < end; ++from) {
    if (text[from] == unit) return from;
  }
  return kNoPosition;
}

}  // namespace

std::size_t FindLiteral(std::u16string_view text, std::u16string_view literal, std::size_t from) {
  if (literal.size() > text.size()) return kNoPosition;
  const std::size_t end = text.size() - literal.size() + 1;
  if (literal.empty()) return from < end ? from : kNoPosition;
  const char16_t* const data = text.data();
  const std::size_t rest = literal.size() - 1;
  for (; from < end; ++from) {
    from = FindUnit(data, from, end, literal[0]);
    if (from == kNoPosition) return kNoPosition;
    if (std::char_traits<char16_t>::compare(data + from + 1, literal.data() + 1, rest) == 0) {
      return from;
    }
  }
  return kNoPosition;
}

namespace pattern_internal {
namespace {

constexpr std::uint32_t kNone = ~std::uint32_t{0};
// Longest run of single-character tests that a repetition handles as one tight loop.
constexpr std::uint32_t kMaxRunWidth = 64;
// Known failures are kept as one bit per (loop or choice instruction, position); beyond this many
// bits (32 MB) the search goes without them.
constexpr std::uint64_t kMaxMemoBits = std::uint64_t{1} << 28;
// Longer patterns are refused as out of memory: instruction indices are 32 bits.
constexpr std::size_t kMaxPatternLength = std::size_t{1} << 26;

template <bool kFold>
inline char16_t Fold(char16_t c) {
  return kFold && c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

struct Range {
  char16_t low;
  char16_t high;
};

// A set of code units: a bitmap for the first 256, sorted disjoint ranges for the rest.
class CharClass {
 public:
  explicit CharClass(std::vector<Range> ranges) : ranges_(Normalize(std::move(ranges))) {
    for (const Range& r : ranges_) {
      for (unsigned c = r.low; c <= r.high && c < 256; ++c)
        bitmap_[c >> 6] |= std::uint64_t{1} << (c & 63);
    }
  }

  bool Contains(char16_t c) const {
    if (c < 256) return (bitmap_[c >> 6] >> (c & 63)) & 1;
    const auto after = std::upper_bound(ranges_.begin(), ranges_.end(), c,
                                        [](char16_t v, const Range& r) { return v < r.low; });
    return after != ranges_.begin() && c <= (after - 1)->high;
  }

  const std::vector<Range>& ranges() const { return ranges_; }

  CharClass Complement() const {
    std::vector<Range> gaps;
    unsigned next = 0;
    for (const Range& r : ranges_) {
      if (r.low > next)
        gaps.push_back({static_cast<char16_t>(next), static_cast<char16_t>(r.low - 1)});
      next = r.high + 1u;
    }
    if (next <= 0xFFFF) gaps.push_back({static_cast<char16_t>(next), u'\xFFFF'});
    return CharClass(std::move(gaps));
  }

  static CharClass Union(const CharClass& a, const CharClass& b) {
    std::vector<Range> all = a.ranges_;
    all.insert(all.end(), b.ranges_.begin(), b.ranges_.end());
    return CharClass(std::move(all));
  }

 private:
  static std::vector<Range> Normalize(std::vector<Range> ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const Range& a, const Range& b) { return a.low < b.low; });
    std::vector<Range> merged;
    for (const Range& r : ranges) {
      if (!merged.empty() && r.low <= merged.back().high + 1u) {
        merged.back().high = std::max(merged.back().high, r.high);
      } else {
        merged.push_back(r);
      }
    }
    return merged;
  }

  std::vector<Range> ranges_;
  std::uint64_t bitmap_[4] = {};
};

// ---- Syntax tree -------------------------------------------------------------------------------

enum class NodeKind : std::uint8_t {
  kEmpty,
  kChar,
  kClass,
  kAny,
  kEnd,
  kSeq,
  kAlt,
  kGroup,
  kNot,
  kRepeat,
  kBackRef
};

struct Node {
  NodeKind kind = NodeKind::kEmpty;
  bool nullable = true;     // can match the empty string
  bool greedy = true;       // kRepeat
  bool atLeastOne = false;  // kRepeat: + rather than * or ?
  bool many = false;        // kRepeat: * or + rather than ?
  // For a run of single-character tests (a character, set or dot, or a sequence of them) the
  // number of tests; 0 for anything else.
  std::uint32_t width = 0;
  std::uint32_t value = 0;       // code unit, set index or group number
  std::uint32_t first = kNone;   // the child; for kSeq the first index into Ast::items
  std::uint32_t second = kNone;  // kAlt: the right child; kSeq: the end index into Ast::items
};

struct Ast {
  std::vector<Node> nodes;
  std::vector<std::uint32_t> items;
  std::vector<CharClass> classes;
  std::uint32_t groupCount = 0;
};

bool IsSingleTest(const Node& n) {
  return n.kind == NodeKind::kChar || n.kind == NodeKind::kClass || n.kind == NodeKind::kAny;
}

// Builds nodes bottom-up, so that every node knows its attributes when its parent is made.
class TreeBuilder {
 public:
  TreeBuilder(Ast& ast, bool fast) : ast_(ast), fast_(fast) {}

  std::uint32_t Empty() { return Add(Node{}); }

  std::uint32_t Leaf(NodeKind kind, std::uint32_t value = 0) {
    Node n;
    n.kind = kind;
    n.value = value;
    n.nullable = kind == NodeKind::kEnd || kind == NodeKind::kBackRef;
    n.width = IsSingleTest(n) ? 1 : 0;
    return Add(n);
  }

  std::uint32_t Sequence(const std::vector<std::uint32_t>& items, std::size_t begin) {
    const std::size_t count = items.size() - begin;
    if (count == 0) return Empty();
    if (count == 1) return items[begin];
    Node n;
    n.kind = NodeKind::kSeq;
    n.first = static_cast<std::uint32_t>(ast_.items.size());
    std::uint64_t width = 0;
    for (std::size_t k = begin; k < items.size(); ++k) {
      const Node& item = ast_.nodes[items[k]];
      n.nullable = n.nullable && item.nullable;
      width = item.width == 0 || width == kNone ? kNone : width + item.width;
      ast_.items.push_back(items[k]);
    }
    n.second = static_cast<std::uint32_t>(ast_.items.size());
    n.width = width <= kMaxRunWidth ? static_cast<std::uint32_t>(width) : 0;
    return Add(n);
  }

  std::uint32_t Alternation(std::uint32_t left, std::uint32_t right) {
    const Node& l = ast_.nodes[left];
    const Node& r = ast_.nodes[right];
    // Two single-character alternatives lead to the same state whichever matches, so a set of both
    // gives the same matches, groups included.
    if (fast_ && IsSingleTest(l) && IsSingleTest(r)) {
      if (l.kind == NodeKind::kAny || r.kind == NodeKind::kAny) return Leaf(NodeKind::kAny);
      ast_.classes.push_back(CharClass::Union(ClassOf(l), ClassOf(r)));
      return Leaf(NodeKind::kClass, static_cast<std::uint32_t>(ast_.classes.size() - 1));
    }
    Node n;
    n.kind = NodeKind::kAlt;
    n.nullable = l.nullable || r.nullable;
    n.first = left;
    n.second = right;
    return Add(n);
  }

  std::uint32_t Group(std::uint32_t number, std::uint32_t child) {
    if (ast_.nodes[child].kind == NodeKind::kEmpty) return child;
    Node n;
    n.kind = NodeKind::kGroup;
    n.value = number;
    n.nullable = ast_.nodes[child].nullable;
    n.first = child;
    return Add(n);
  }

  std::uint32_t Not(std::uint32_t child) {
    Node n;
    n.kind = NodeKind::kNot;
    n.first = child;
    return Add(n);
  }

  std::uint32_t Repeat(std::uint32_t child, bool atLeastOne, bool many, bool greedy) {
    if (!many && ast_.nodes[child].kind == NodeKind::kEmpty) return child;
    Node n;
    n.kind = NodeKind::kRepeat;
    n.atLeastOne = atLeastOne;
    n.many = many;
    n.greedy = greedy;
    n.nullable = !atLeastOne || ast_.nodes[child].nullable;
    n.first = child;
    return Add(n);
  }

  const Node& operator[](std::uint32_t id) const { return ast_.nodes[id]; }

 private:
  std::uint32_t Add(const Node& n) {
    ast_.nodes.push_back(n);
    return static_cast<std::uint32_t>(ast_.nodes.size() - 1);
  }

  CharClass ClassOf(const Node& n) const {
    if (n.kind == NodeKind::kClass) return ast_.classes[n.value];
    const auto c = static_cast<char16_t>(n.value);
    return CharClass({{c, c}});
  }

  Ast& ast_;
  bool fast_;
};

std::u16string_view Abbreviation(char16_t letter) {
  switch (letter) {
    case u'a': return u"([a-zA-Z0-9])";
    case u'b': return u"([ \\t])";
    case u'c': return u"([a-zA-Z])";
    case u'd': return u"([0-9])";
    case u'h': return u"([0-9a-fA-F])";
    case u'n': return u"(\r|(\r?\n))";
    case u'q': return u"(\"[^\"]*\")|('[^']*')";
    case u'w': return u"([a-zA-Z]+)";
    case u'z': return u"([0-9]+)";
    default: return {};
  }
}

char16_t SetEscape(char16_t c) { return c == u't' ? u'\t' : c; }

// Reads a pattern with an explicit stack of open parentheses and braces, so that nesting depth
// costs heap, not machine stack.
class Parser {
 public:
  Parser(Ast& ast, bool fast) : ast_(ast), fast_(fast), tree_(ast, fast) {}

  // Parses a whole pattern (with its anchors) or, with wholePattern off, an abbreviation.
  PatternError Parse(std::u16string_view p, bool wholePattern, std::uint32_t* root,
                     bool* anchored) {
    struct Open {
      bool brace;
      std::uint32_t group;
      std::size_t itemsBase;  // this level's items start here in `items`
      std::size_t altsBase;   // and its pending alternation operands here in `alts`
      std::uint32_t nots;     // ! prefixes waiting for the next item
    };
    std::vector<Open> open{Open{false, 0, 0, 0, 0}};
    std::vector<std::uint32_t> items;
    std::vector<std::uint32_t> alts;
    const std::size_t n = p.size();
    std::size_t i = 0;
    if (wholePattern && n > 0 && p[0] == u'^') {
      *anchored = true;
      i = 1;
    }
    const std::size_t endAnchor =
        wholePattern && n > i && p[n - 1] == u'$' ? n - 1 : std::u16string_view::npos;

    for (;;) {
      std::uint32_t atom = kNone;
      {
        Open& level = open.back();
        const bool nested = open.size() > 1;
        const bool pending = level.nots > 0 || alts.size() > level.altsBase;
        const char16_t c = i < n ? p[i] : u'\0';
        const bool closes =
            i < n && nested && ((c == u')' && !level.brace) || (c == u'}' && level.brace));
        const bool ends = i == n || c == u']' || c == u')' || c == u'}';
        if (closes || ends) {
          if (pending) {
            atom = tree_.Empty();  // "a|" or "a!" before the end: the missing item is empty
          } else if (closes) {
            atom = tree_.Sequence(items, level.itemsBase);
            items.resize(level.itemsBase);
            if (level.brace) atom = tree_.Group(level.group, atom);
            open.pop_back();
            ++i;
          } else {
            if (nested)
              return level.brace ? PatternError::kUnclosedBrace
                                 : PatternError::kUnclosedParenthesis;
            *root = tree_.Sequence(items, 0);
            return PatternError::kOk;
          }
        } else {
          switch (c) {
            case u'!':
              ++level.nots;
              ++i;
              continue;
            case u'(':
              open.push_back(Open{false, 0, items.size(), alts.size(), 0});
              ++i;
              continue;
            case u'{':
              open.push_back(Open{true, ast_.groupCount++, items.size(), alts.size(), 0});
              ++i;
              continue;
            case u'|':
            case u'*':
            case u'+':
            case u'?':
              atom = tree_.Empty();  // nothing before the operator: it applies to the empty item
              break;
            case u'[': {
              const PatternError error = ParseSet(p, &i, &atom);
              if (error != PatternError::kOk) return error;
              break;
            }
            case u'.':
              atom = tree_.Leaf(NodeKind::kAny);
              ++i;
              break;
            case u'\\': {
              const PatternError error = ParseEscape(p, &i, &atom);
              if (error != PatternError::kOk) return error;
              break;
            }
            default:
              atom = i == endAnchor && !nested ? tree_.Leaf(NodeKind::kEnd)
                                               : tree_.Leaf(NodeKind::kChar, c);
              ++i;
              break;
          }
        }
      }

      // The item is complete: apply its ! prefixes, then its repetition operators.
      Open& level = open.back();
      for (; level.nots > 0; --level.nots) atom = tree_.Not(atom);
      while (i < n && (p[i] == u'*' || p[i] == u'+' || p[i] == u'?')) {
        const char16_t op = p[i++];
        const bool lazy = i < n && p[i] == u'?';
        if (lazy) ++i;
        if (op != u'?' && tree_[atom].nullable) return PatternError::kEmptyRepetition;
        atom = tree_.Repeat(atom, op == u'+', op != u'?', !lazy);
      }
      if (i < n && p[i] == u'|') {
        alts.push_back(atom);
        ++i;
        continue;
      }
      for (; alts.size() > level.altsBase; alts.pop_back())
        atom = tree_.Alternation(alts.back(), atom);
      if (tree_[atom].kind != NodeKind::kEmpty) items.push_back(atom);
    }
  }

 private:
  PatternError ParseEscape(std::u16string_view p, std::size_t* pos, std::uint32_t* atom) {
    std::size_t i = *pos + 1;
    if (i == p.size()) {
      *atom = tree_.Leaf(NodeKind::kChar, u'\\');
      *pos = i;
      return PatternError::kOk;
    }
    const char16_t c = p[i];
    if (c >= u'0' && c <= u'9') {
      std::uint64_t number = 0;
      for (; i < p.size() && p[i] >= u'0' && p[i] <= u'9'; ++i) {
        number = std::min<std::uint64_t>(number * 10 + (p[i] - u'0'), kNone);
      }
      if (number >= ast_.groupCount) return PatternError::kUnknownGroup;
      *atom = tree_.Leaf(NodeKind::kBackRef, static_cast<std::uint32_t>(number));
      *pos = i;
      return PatternError::kOk;
    }
    const std::u16string_view expansion = Abbreviation(c);
    if (!expansion.empty()) {
      Parser inner(ast_, fast_);
      bool ignored = false;
      if (inner.Parse(expansion, false, atom, &ignored) != PatternError::kOk) {
        return PatternError::kBadAbbreviation;
      }
    } else {
      *atom = tree_.Leaf(NodeKind::kChar, c);
    }
    *pos = i + 1;
    return PatternError::kOk;
  }

  PatternError ParseSet(std::u16string_view p, std::size_t* pos, std::uint32_t* atom) {
    const std::size_t n = p.size();
    std::size_t i = *pos + 1;
    const bool negated = i < n && p[i] == u'^';
    if (negated) ++i;
    if (i == n) return PatternError::kUnclosedBracket;
    if (p[i] == u']') return PatternError::kEmptySet;
    std::vector<Range> ranges;
    for (;;) {
      if (i == n) return PatternError::kUnclosedBracket;
      char16_t low = p[i];
      if (low == u']') break;
      if (low == u'\\') {
        if (++i == n) return PatternError::kUnclosedBracket;
        low = SetEscape(p[i]);
      }
      ++i;
      char16_t high = low;
      if (i < n && p[i] == u'-') {
        if (++i == n || p[i] == u']') return PatternError::kUnclosedBracket;
        high = p[i];
        if (high == u'\\') {
          if (++i == n) return PatternError::kUnclosedBracket;
          high = SetEscape(p[i]);
        }
        ++i;
        if (high < low) return PatternError::kReversedRange;
      }
      ranges.push_back({low, high});
    }
    *pos = i + 1;
    CharClass set(std::move(ranges));
    ast_.classes.push_back(negated ? set.Complement() : std::move(set));
    *atom = tree_.Leaf(NodeKind::kClass, static_cast<std::uint32_t>(ast_.classes.size() - 1));
    return PatternError::kOk;
  }

  Ast& ast_;
  bool fast_;
  TreeBuilder tree_;
};

// ---- Program -----------------------------------------------------------------------------------

enum class Op : std::uint8_t {
  kChar,   // x: code unit
  kClass,  // x: set
  kAny,
  kEnd,            // succeeds only at the end of input
  kSplit,          // a choice: x first, y on failure
  kJump,           // x
  kGroupStart,     // x: group
  kGroupEnd,       // x: group
  kSaveEntry,      // x: register to hold the position
  kCheckProgress,  // x: register; fails when the position has not moved since kSaveEntry
  kLookNeg,        // the ! item follows; x: the instruction after it
  kLookSucceed,    // the item of a ! matched
  kBackRef,        // x: group
  kSimpleLoop,     // a repetition of the y single-character tests that follow; x: exit
  kMatch,
};

struct Instruction {
  Op op;
  bool greedy = true;
  bool atLeastOne = false;
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  std::uint32_t memo = kNone;  // row of the known-failure bits, for kSplit and kSimpleLoop
};

}  // namespace

struct Program {
  std::uint64_t id = 0;  // tells apart the programs that a SearchMemo may have seen
  std::vector<Instruction> code;
  std::vector<CharClass> classes;
  std::uint32_t groupCount = 0;
  std::uint32_t registerCount = 0;
  std::uint32_t memoRows = 0;  // 0 when the search keeps no known failures
  bool anchored = false;
  bool caseSensitive = true;
  // Code units (after folding) that can begin a match; empty when any position can.
  std::vector<std::uint64_t> firstUnits;
  // Text that every match begins with, when FindLiteral can look for it: the leading characters
  // of the pattern, or else the one code unit that can begin a match (none that folding changes).
  std::u16string startLiteral;
  // Code units (after folding) that every match contains, each listed once.
  std::u16string requiredUnits;
};

namespace {

// Turns the tree into a flat program, iteratively so that deep nesting is safe.
class Generator {
 public:
  Generator(const Ast& ast, bool fast, Program& program)
      : ast_(ast), fast_(fast), program_(program) {}

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
        case NodeKind::kEmpty: break;
        case NodeKind::kChar: Emit(Op::kChar, n.value); break;
        case NodeKind::kClass: Emit(Op::kClass, n.value); break;
        case NodeKind::kAny: Emit(Op::kAny); break;
        case NodeKind::kEnd: Emit(Op::kEnd); break;
        case NodeKind::kBackRef: Emit(Op::kBackRef, n.value); break;
        case NodeKind::kSeq:
          if (n.first + t.phase < n.second) {
            later();
            now(ast_.items[n.first + t.phase]);
          }
          break;
        case NodeKind::kAlt:
          if (t.phase == 0) {
            later(Emit(Op::kSplit, Here() + 1));
            now(n.first);
          } else if (t.phase == 1) {
            const std::uint32_t jump = Emit(Op::kJump);
            code()[t.a].y = Here();
            later(jump);
            now(n.second);
          } else {
            code()[t.a].x = Here();
          }
          break;
        case NodeKind::kGroup:
          Emit(t.phase == 0 ? Op::kGroupStart : Op::kGroupEnd, n.value);
          if (t.phase == 0) {
            later();
            now(n.first);
          }
          break;
        case NodeKind::kNot:
          if (t.phase == 0) {
            later(Emit(Op::kLookNeg));
            now(n.first);
          } else {
            Emit(Op::kLookSucceed);
            code()[t.a].x = Here();
          }
          break;
        case NodeKind::kRepeat: {
          const Node& child = ast_.nodes[n.first];
          if (fast_ && n.many && child.width > 0) {
            const std::uint32_t loop = Emit(Op::kSimpleLoop, 0, child.width);
            code()[loop].greedy = n.greedy;
            code()[loop].atLeastOne = n.atLeastOne;
            EmitRun(n.first);
            code()[loop].x = Here();
            break;
          }
          // The plain program checks every greedy step for progress; the fast one only where the
          // repeated item can match nothing, which only ? allows.
          const bool check = n.greedy && (!fast_ || child.nullable);
          if (t.phase == 0) {
            const std::uint32_t reg = check ? program_.registerCount++ : kNone;
            const std::uint32_t top = Here();
            if (check) Emit(Op::kSaveEntry, reg);
            std::uint32_t split = kNone;
            if (!n.atLeastOne) {
              split = n.greedy ? Emit(Op::kSplit, Here() + 1) : Emit(Op::kSplit, 0, Here() + 1);
            }
            later(top, split, reg);
            now(n.first);
            break;
          }
          if (check) Emit(Op::kCheckProgress, t.c);
          if (n.atLeastOne) {  // X+: X, then the choice of another X
            if (n.greedy) {
              Emit(Op::kSplit, t.a, Here() + 1);
            } else {
              Emit(Op::kSplit, Here() + 1, t.a);
            }
            break;
          }
          if (n.many) Emit(Op::kJump, t.a);
          if (n.greedy) {
            code()[t.b].y = Here();
          } else {
            code()[t.b].x = Here();
          }
          break;
        }
      }
    }
    Emit(Op::kMatch);
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

  // A run is at most kMaxRunWidth tests deep, so recursion is bounded here.
  void EmitRun(std::uint32_t id) {
    const Node& n = ast_.nodes[id];
    switch (n.kind) {
      case NodeKind::kChar: Emit(Op::kChar, n.value); break;
      case NodeKind::kClass: Emit(Op::kClass, n.value); break;
      case NodeKind::kAny: Emit(Op::kAny); break;
      default:
        for (std::uint32_t k = n.first; k < n.second; ++k) EmitRun(ast_.items[k]);
        break;
    }
  }

  const Ast& ast_;
  bool fast_;
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
    if (in.op == Op::kBackRef || in.op == Op::kLookNeg) return;
  }
  int checked = 0;
  for (Instruction& in : program.code) {
    if (in.op == Op::kSaveEntry) ++checked;
    if (in.op == Op::kCheckProgress) --checked;
    if (checked == 0 && (in.op == Op::kSplit || in.op == Op::kSimpleLoop)) {
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
      case Op::kChar: AddUnits(units, in.x, in.x); break;
      case Op::kClass:
        for (const Range& r : program.classes[in.x].ranges()) AddUnits(units, r.low, r.high);
        break;
      case Op::kEnd:  // fails at every start position but the end, which is tried unfiltered
      case Op::kLookSucceed: break;
      case Op::kSplit:
        pending.push_back(in.x);
        pending.push_back(in.y);
        break;
      case Op::kJump:
      case Op::kLookNeg: pending.push_back(in.x); break;
      case Op::kGroupStart:
      case Op::kGroupEnd:
      case Op::kSaveEntry:
      case Op::kCheckProgress: pending.push_back(pc + 1); break;
      case Op::kSimpleLoop:
        pending.push_back(pc + 1);
        if (!in.atLeastOne) pending.push_back(in.x);
        break;
      case Op::kAny:
      case Op::kBackRef:
      case Op::kMatch: return;
    }
  }
  program.firstUnits = std::move(units);
}

// Walks only through the nodes that every match passes (sequences, groups, repetitions of at
// least one), with an explicit stack, collecting the characters they test.
void FindRequiredUnits(const Ast& ast, std::uint32_t root, Program& program) {
  std::vector<std::uint32_t> pending{root};
  while (!pending.empty()) {
    const Node& n = ast.nodes[pending.back()];
    pending.pop_back();
    switch (n.kind) {
      case NodeKind::kChar:
        if (program.requiredUnits.find(static_cast<char16_t>(n.value)) == std::u16string::npos) {
          program.requiredUnits += static_cast<char16_t>(n.value);
        }
        break;
      case NodeKind::kSeq:
        for (std::uint32_t k = n.first; k < n.second; ++k) pending.push_back(ast.items[k]);
        break;
      case NodeKind::kGroup: pending.push_back(n.first); break;
      case NodeKind::kRepeat:
        if (n.atLeastOne) pending.push_back(n.first);
        break;
      default: break;
    }
  }
}

void FindStartLiteral(Program& program) {
  const auto folds = [&](char16_t c) { return !program.caseSensitive && c >= u'a' && c <= u'z'; };
  for (const Instruction& in : program.code) {
    if (in.op != Op::kChar || folds(static_cast<char16_t>(in.x))) break;
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

enum FrameKind : std::uint32_t {
  kRetry,            // index: the kSplit; x: position
  kMarkFailed,       // index: memo row; x: position whose choice has failed both ways
  kRestoreGroup,     // index: group; x, y: its previous bounds
  kRestorePending,   // index: group; x: previous pending start
  kRestoreRegister,  // index: register; x: previous value
  kLookBarrier,      // index: the kLookNeg; x: position
  kGreedyLoop,       // index: the kSimpleLoop; x: lowest exit; y: exit being tried
  kLazyLoop,         // index: the kSimpleLoop; x: lowest exit; y: exit being tried
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
    context_.pendingStarts_.assign(program_.groupCount, kNoPosition);
    context_.registers_.assign(program_.registerCount, kNoPosition);
    context_.frames_.clear();
    if (from == n_) return Try(from);  // the empty input is tried once, at its start
    const std::size_t last = program_.anchored ? from : n_ - 1;
    for (std::size_t start = from; start <= last; ++start) {
      if (!program_.startLiteral.empty()) {
        start = FindLiteral(std::u16string_view(text_, n_), program_.startLiteral, start);
        if (start == kNoPosition || start > last) break;
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
  template <bool kFold>
  std::size_t NextCandidate(std::size_t start, std::size_t last) const {
    const std::uint64_t* units = program_.firstUnits.data();
    for (; start <= last; ++start) {
      const char16_t c = Fold<kFold>(text_[start]);
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
      if (bits > kMaxMemoBits) {
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
    return memoOn_ && row != kNone && Failed(row, pos);
  }
  void MarkFailure(std::uint32_t row, std::size_t pos) {
    if (memoOn_ && row != kNone) SetFailed(row, pos);
  }

  template <bool kFold>
  bool Test(const Instruction& in, std::size_t pos) const {
    const char16_t c = Fold<kFold>(text_[pos]);
    switch (in.op) {
      case Op::kChar: return c == in.x;
      case Op::kClass: return program_.classes[in.x].Contains(c);
      default: return true;  // kAny
    }
  }

  // Whether the tests of the loop at `loop` all pass from `pos` on.
  template <bool kFold>
  bool Body(std::uint32_t loop, std::size_t pos) const {
    const std::uint32_t width = code_[loop].y;
    if (n_ - pos < width) return false;
    for (std::uint32_t k = 0; k < width; ++k) {
      if (!Test<kFold>(code_[loop + 1 + k], pos + k)) return false;
    }
    return true;
  }

  void Push(FrameKind kind, std::uint32_t index, std::size_t x, std::size_t y = 0) {
    context_.frames_.push_back(Frame{kind, index, x, y});
  }

  // Undoes what a frame recorded; frames that record a choice are simply dropped.
  void Restore(const Frame& f) {
    switch (f.kind) {
      case kRestoreGroup: context_.groups_[f.index] = MatchSpan{f.x, f.y}; break;
      case kRestorePending: context_.pendingStarts_[f.index] = f.x; break;
      case kRestoreRegister: context_.registers_[f.index] = f.x; break;
      default: break;
    }
  }

  bool Step() {
    if (++steps_ <= limit_) return true;
    context_.stepLimitReached_ = true;
    return false;
  }

  template <bool kFold>
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
        case Op::kChar:
        case Op::kClass:
        case Op::kAny:
          if (pos < n_ && Test<kFold>(in, pos)) {
            ++pos;
            ++pc;
            ok = true;
          }
          break;
        case Op::kEnd:
          ok = pos == n_;
          ++pc;
          break;
        case Op::kSplit:
          if (!KnownFailure(in.memo, pos)) {
            Push(kRetry, pc, pos);
            pc = in.x;
            ok = true;
          }
          break;
        case Op::kJump:
          pc = in.x;
          ok = true;
          break;
        case Op::kGroupStart:
          Push(kRestorePending, in.x, context_.pendingStarts_[in.x]);
          context_.pendingStarts_[in.x] = pos;
          ++pc;
          ok = true;
          break;
        case Op::kGroupEnd: {
          MatchSpan& group = context_.groups_[in.x];
          Push(kRestoreGroup, in.x, group.start, group.end);
          group = MatchSpan{context_.pendingStarts_[in.x], pos};
          ++pc;
          ok = true;
          break;
        }
        case Op::kSaveEntry:
          Push(kRestoreRegister, in.x, context_.registers_[in.x]);
          context_.registers_[in.x] = pos;
          ++pc;
          ok = true;
          break;
        case Op::kCheckProgress:
          ok = pos != context_.registers_[in.x];
          ++pc;
          break;
        case Op::kLookNeg:
          Push(kLookBarrier, pc, pos);
          ++pc;
          ok = true;
          break;
        case Op::kLookSucceed:
          // The item of the ! matched, so the ! fails: undo what the item did, drop its choices.
          for (;;) {
            const Frame f = frames.back();
            frames.pop_back();
            if (f.kind == kLookBarrier) break;
            Restore(f);
          }
          break;
        case Op::kBackRef: {
          const MatchSpan group = context_.groups_[in.x];
          const std::size_t length = group.Matched() ? group.end - group.start : 0;
          ok = n_ - pos >= length;
          for (std::size_t k = 0; ok && k < length; ++k) {
            ok = Fold<kFold>(text_[group.start + k]) == Fold<kFold>(text_[pos + k]);
          }
          if (ok) pos += length;
          ++pc;
          break;
        }
        case Op::kSimpleLoop: {
          const std::uint32_t width = in.y;
          std::size_t low = pos;
          if (in.atLeastOne) {
            if (!Body<kFold>(pc, low)) break;
            low += width;
          }
          if (KnownFailure(in.memo, low)) break;
          if (in.greedy) {
            // Take as many repetitions as possible, then give them back one at a time; stop
            // early where the rest is known to fail from.
            std::size_t high = low;
            while (Body<kFold>(pc, high) && !KnownFailure(in.memo, high + width)) high += width;
            if (high > low || (memoOn_ && in.memo != kNone)) Push(kGreedyLoop, pc, low, high);
            pos = high;
          } else {
            Push(kLazyLoop, pc, low, low);
            pos = low;
          }
          pc = in.x;
          ok = true;
          break;
        }
        case Op::kMatch: context_.match_ = MatchSpan{start, pos}; return true;
      }
      if (!ok && !Backtrack<kFold>(pc, pos)) return false;
    }
  }

  // Resumes the most recent choice; false when none is left (or the step limit is reached).
  template <bool kFold>
  bool Backtrack(std::uint32_t& pc, std::size_t& pos) {
    std::vector<Frame>& frames = context_.frames_;
    while (!frames.empty()) {
      if (!Step()) return false;
      Frame& f = frames.back();
      switch (f.kind) {
        case kRetry: {
          const Instruction& split = code_[f.index];
          pos = f.x;
          pc = split.y;
          if (memoOn_ && split.memo != kNone) {
            // Stays on the stack to record the failure once the second way has failed too.
            f.kind = kMarkFailed;
            f.index = split.memo;
          } else {
            frames.pop_back();
          }
          return true;
        }
        case kMarkFailed:
          SetFailed(f.index, f.x);
          frames.pop_back();
          break;
        case kLookBarrier:  // the item of the ! found no match: the ! succeeds
          pc = code_[f.index].x;
          pos = f.x;
          frames.pop_back();
          return true;
        case kGreedyLoop: {
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
        case kLazyLoop: {
          const Instruction& loop = code_[f.index];
          const std::size_t next = f.y + loop.y;
          if (Body<kFold>(f.index, f.y) && !KnownFailure(loop.memo, next)) {
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

}  // namespace pattern_internal

using pattern_internal::Program;

PatternMatcher::PatternMatcher(MatchStrategy strategy) : strategy_(strategy) {}
PatternMatcher::~PatternMatcher() = default;
PatternMatcher::PatternMatcher(PatternMatcher&&) noexcept = default;
PatternMatcher& PatternMatcher::operator=(PatternMatcher&&) noexcept = default;

PatternError PatternMatcher::Compile(const char16_t* pattern, bool caseSensitive) {
  program_.reset();
  if (pattern == nullptr) return error_ = PatternError::kMissing;
  try {
    std::u16string text(pattern);
    if (text.size() > pattern_internal::kMaxPatternLength)
      return error_ = PatternError::kOutOfMemory;
    if (!caseSensitive) {
      for (char16_t& c : text) c = pattern_internal::Fold<true>(c);
    }
    const bool fast = strategy_ == MatchStrategy::kFast;
    pattern_internal::Ast ast;
    static std::atomic<std::uint64_t> lastProgramId{0};
    auto program = std::make_unique<Program>();
    program->id = ++lastProgramId;
    std::uint32_t root = 0;
    const PatternError error =
        pattern_internal::Parser(ast, fast).Parse(text, true, &root, &program->anchored);
    if (error != PatternError::kOk) return error_ = error;
    pattern_internal::Generator(ast, fast, *program).Run(root);
    program->classes = std::move(ast.classes);
    program->groupCount = ast.groupCount;
    program->caseSensitive = caseSensitive;
    if (fast) {
      pattern_internal::AssignMemoRows(*program);
      pattern_internal::FindFirstUnits(*program);
      pattern_internal::FindStartLiteral(*program);
      pattern_internal::FindRequiredUnits(ast, root, *program);
    }
    program_ = std::move(program);
    return error_ = PatternError::kOk;
  } catch (const std::bad_alloc&) {
    return error_ = PatternError::kOutOfMemory;
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
    found = pattern_internal::Search(*program_, text, memo, *context).Run(from);
  } catch (const std::bad_alloc&) {
    found = false;
  }
  if (!found) context->groups_.assign(program_->groupCount, MatchSpan{});
  return found;
}

}  // namespace tidewire
