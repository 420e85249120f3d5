#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "processing/pattern_program.h"

namespace tidewire::pattern_internal {
namespace {

// Builds nodes bottom-up, so that every node knows its attributes when its parent is made.
class TreeBuilder {
 public:
  explicit TreeBuilder(SyntaxTree& ast) : ast_(ast) {}

  std::uint32_t Empty() { return Add(Node{}); }

  std::uint32_t Leaf(NodeKind kind, std::uint32_t value = 0) {
    Node n;
    n.kind = kind;
    n.value = value;
    n.nullable = kind == NodeKind::End || kind == NodeKind::BackRef;
    n.width = IsSingleTest(n) ? 1 : 0;
    return Add(n);
  }

  std::uint32_t Sequence(const std::vector<std::uint32_t>& items, std::size_t begin) {
    const std::size_t count = items.size() - begin;
    if (count == 0) return Empty();
    if (count == 1) return items[begin];
    Node n;
    n.kind = NodeKind::Seq;
    n.first = static_cast<std::uint32_t>(ast_.items.size());
    std::uint64_t width = 0;
    for (std::size_t k = begin; k < items.size(); ++k) {
      const Node& item = ast_.nodes[items[k]];
      n.nullable = n.nullable && item.nullable;
      width = item.width == 0 || width == NoIndex ? NoIndex : width + item.width;
      ast_.items.push_back(items[k]);
    }
    n.second = static_cast<std::uint32_t>(ast_.items.size());
    n.width = width <= MaxRunWidth ? static_cast<std::uint32_t>(width) : 0;
    return Add(n);
  }

  std::uint32_t Alternation(std::uint32_t left, std::uint32_t right) {
    const Node& l = ast_.nodes[left];
    const Node& r = ast_.nodes[right];
    Node n;
    n.kind = NodeKind::Alt;
    n.nullable = l.nullable || r.nullable;
    n.width = IsSingleTest(l) && IsSingleTest(r) ? 1 : 0;
    n.first = left;
    n.second = right;
    return Add(n);
  }

  std::uint32_t Group(std::uint32_t number, std::uint32_t child) {
    if (ast_.nodes[child].kind == NodeKind::Empty) return child;
    Node n;
    n.kind = NodeKind::Group;
    n.value = number;
    n.nullable = ast_.nodes[child].nullable;
    n.first = child;
    return Add(n);
  }

  std::uint32_t Not(std::uint32_t child) {
    Node n;
    n.kind = NodeKind::Not;
    n.first = child;
    return Add(n);
  }

  std::uint32_t Repeat(std::uint32_t child, bool atLeastOne, bool many, bool greedy) {
    if (!many && ast_.nodes[child].kind == NodeKind::Empty) return child;
    Node n;
    n.kind = NodeKind::Repeat;
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

  SyntaxTree& ast_;
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
  explicit Parser(SyntaxTree& ast) : ast_(ast), tree_(ast) {}

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
      std::uint32_t atom = NoIndex;
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
              return level.brace ? PatternError::UnclosedBrace : PatternError::UnclosedParenthesis;
            *root = tree_.Sequence(items, 0);
            return PatternError::Ok;
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
              if (error != PatternError::Ok) return error;
              break;
            }
            case u'.':
              atom = tree_.Leaf(NodeKind::Any);
              ++i;
              break;
            case u'\\': {
              const PatternError error = ParseEscape(p, &i, &atom);
              if (error != PatternError::Ok) return error;
              break;
            }
            default:
              atom = i == endAnchor && !nested ? tree_.Leaf(NodeKind::End)
                                               : tree_.Leaf(NodeKind::Char, c);
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
        if (op != u'?' && tree_[atom].nullable) return PatternError::EmptyRepetition;
        atom = tree_.Repeat(atom, op == u'+', op != u'?', !lazy);
      }
      if (i < n && p[i] == u'|') {
        alts.push_back(atom);
        ++i;
        continue;
      }
      for (; alts.size() > level.altsBase; alts.pop_back())
        atom = tree_.Alternation(alts.back(), atom);
      if (tree_[atom].kind != NodeKind::Empty) items.push_back(atom);
    }
  }

 private:
  PatternError ParseEscape(std::u16string_view p, std::size_t* pos, std::uint32_t* atom) {
    std::size_t i = *pos + 1;
    if (i == p.size()) {
      *atom = tree_.Leaf(NodeKind::Char, u'\\');
      *pos = i;
      return PatternError::Ok;
    }
    const char16_t c = p[i];
    if (c >= u'0' && c <= u'9') {
      std::uint64_t number = 0;
      for (; i < p.size() && p[i] >= u'0' && p[i] <= u'9'; ++i) {
        number = std::min<std::uint64_t>(number * 10 + (p[i] - u'0'), NoIndex);
      }
      if (number >= ast_.groupCount) return PatternError::UnknownGroup;
      *atom = tree_.Leaf(NodeKind::BackRef, static_cast<std::uint32_t>(number));
      *pos = i;
      return PatternError::Ok;
    }
    const std::u16string_view expansion = Abbreviation(c);
    if (!expansion.empty()) {
      Parser inner(ast_);
      bool ignored = false;
      if (inner.Parse(expansion, false, atom, &ignored) != PatternError::Ok) {
        return PatternError::BadAbbreviation;
      }
    } else {
      *atom = tree_.Leaf(NodeKind::Char, c);
    }
    *pos = i + 1;
    return PatternError::Ok;
  }

  PatternError ParseSet(std::u16string_view p, std::size_t* pos, std::uint32_t* atom) {
    const std::size_t n = p.size();
    std::size_t i = *pos + 1;
    const bool negated = i < n && p[i] == u'^';
    if (negated) ++i;
    if (i == n) return PatternError::UnclosedBracket;
    if (p[i] == u']') return PatternError::EmptySet;
    std::vector<Range> ranges;
    for (;;) {
      if (i == n) return PatternError::UnclosedBracket;
      char16_t low = p[i];
      if (low == u']') break;
      if (low == u'\\') {
        if (++i == n) return PatternError::UnclosedBracket;
        low = SetEscape(p[i]);
      }
      ++i;
      char16_t high = low;
      if (i < n && p[i] == u'-') {
        if (++i == n || p[i] == u']') return PatternError::UnclosedBracket;
        high = p[i];
        if (high == u'\\') {
          if (++i == n) return PatternError::UnclosedBracket;
          high = SetEscape(p[i]);
        }
        ++i;
        if (high < low) return PatternError::ReversedRange;
      }
      ranges.push_back({low, high});
    }
    *pos = i + 1;
    CharClass set(std::move(ranges));
    ast_.classes.push_back(negated ? set.Complement() : std::move(set));
    *atom = tree_.Leaf(NodeKind::Class, static_cast<std::uint32_t>(ast_.classes.size() - 1));
    return PatternError::Ok;
  }

  SyntaxTree& ast_;
  TreeBuilder tree_;
};

}  // namespace

PatternError ParsePattern(const char16_t* pattern, bool caseSensitive, SyntaxTree* tree) {
  if (pattern == nullptr) return PatternError::Missing;
  std::u16string text(pattern);
  if (text.size() > MaxPatternLength) return PatternError::OutOfMemory;
  if (!caseSensitive) {
    for (char16_t& c : text) c = Fold<true>(c);
  }
  *tree = SyntaxTree();
  tree->caseSensitive = caseSensitive;
  return Parser(*tree).Parse(text, true, &tree->root, &tree->anchored);
}

}  // namespace tidewire::pattern_internal
