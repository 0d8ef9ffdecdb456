#include "platform/db/text_query.h"

#include <algorithm>
#include <cstdint>

#include "platform/db/sql_error.h"
#include "platform/db/sql_function_support.h"
#include "platform/db/sql_translator_internal.h"
#include "platform/db/xml_path.h"
#include "platform/text/ascii.h"
#include "platform/text/utf8.h"

namespace korvalis::db::text {
namespace {

// ---------------------------------------------------------------- matching units

bool HasWildcard(const Unit& u) {
  return !u.cjk && u.text.find_first_of("%_") != std::string::npos;
}

// `%` any characters, `_` one character.
bool WildcardMatch(std::string_view pattern, std::string_view word) {
  size_t p = 0, w = 0;
  size_t star_p = std::string_view::npos, star_w = 0;
  while (w < word.size()) {
    if (p < pattern.size() && pattern[p] == '%') {
      star_p = ++p;
      star_w = w;
      continue;
    }
    if (p < pattern.size() && pattern[p] == '_') {
      ++p;
      DecodeUtf8(word, &w);
      continue;
    }
    if (p < pattern.size() && pattern[p] == word[w]) {
      ++p;
      ++w;
      continue;
    }
    if (star_p == std::string_view::npos) return false;
    // Each step back retries the pattern from its last '%': charged as it goes.
    korvalis::db::functions::ChargeWork(p - star_p + 1);
    p = star_p;
    DecodeUtf8(word, &star_w);
    w = star_w;
  }
  while (p < pattern.size() && pattern[p] == '%') ++p;
  return p == pattern.size();
}

// How a query unit (`wild` when it has a wildcard) stands against a text unit in a phrase of
// `size` units at `index`.
bool UnitMatches(const Unit& q, bool wild, const Unit& d, size_t index, size_t size) {
  if (q.cjk != d.cjk) return false;
  if (!q.cjk) return wild ? WildcardMatch(q.text, d.text) : q.text == d.text;
  if (size == 1) return d.text.find(q.text) != std::string::npos;
  if (index == 0) return std::string_view(d.text).ends_with(q.text);
  if (index == size - 1) return std::string_view(d.text).starts_with(q.text);
  return q.text == d.text;
}

bool PhraseIn(const std::vector<Unit>& phrase, const std::vector<Unit>& units) {
  const size_t m = phrase.size();
  if (m == 0 || units.size() < m) return false;
  // Looked for once: a unit may be as long as the query.
  std::vector<bool> wild(m);
  for (size_t k = 0; k < m; ++k) wild[k] = HasWildcard(phrase[k]);
  korvalis::db::functions::ChargeWork(units.size() * m);
  for (size_t i = 0; i + m <= units.size(); ++i) {
    size_t k = 0;
    while (k < m && UnitMatches(phrase[k], wild[k], units[i + k], k, m)) ++k;
    if (k == m) return true;
  }
  return false;
}

[[noreturn]] void SyntaxError(size_t at) {
  throw SqlError(
      "ORA-29902: error in executing ODCIIndexStart() routine; ORA-20000: Oracle Text "
      "error: DRG-50901: text query parser syntax error on line 1, column " +
      std::to_string(at + 1));
}

[[noreturn]] void NotSupported(const std::string& what) {
  throw SqlError("the Oracle Text " + what + " is not supported by the database layer",
                 kNotSupported);
}

}  // namespace

// ---------------------------------------------------------------- the query

struct TextQuery::Node {
  enum Kind { kTerm, kAnd, kOr, kNot, kInPath } kind = kTerm;
  std::vector<Unit> units;  // kTerm: the phrase
  std::unique_ptr<Node> left, right;
  std::string path;  // kInPath
};

namespace {

using NodePtr = std::unique_ptr<TextQuery::Node>;

class QueryParser {
 public:
  explicit QueryParser(std::string_view q) : q_(q) {}

  NodePtr Parse() {
    NodePtr n = ParseOr();
    const Token t = Peek();
    if (t.kind != Token::kEnd) SyntaxError(t.at);
    return n;
  }

 private:
  struct Token {
    enum Kind { kEnd, kOpen, kClose, kAnd, kOr, kNot, kInPath, kWord } kind;
    size_t at;
    size_t end;
  };

  static bool IsOperatorChar(char c) {
    return c == '(' || c == ')' || c == '&' || c == '|' || c == '~';
  }
  static bool IsRefusedChar(char c) {
    return c == ',' || c == '=' || c == ';' || c == '-' || c == '*' || c == '>' || c == '?' ||
           c == '!' || c == '$' || c == '\\' || c == '{' || c == '}' || c == '[' || c == ']';
  }

  Token Peek() const {
    size_t i = pos_;
    while (i < q_.size() && IsAsciiSpace(q_[i])) ++i;
    if (i == q_.size()) return Token{Token::kEnd, i, i};
    const char c = q_[i];
    switch (c) {
      case '(':
        return Token{Token::kOpen, i, i + 1};
      case ')':
        return Token{Token::kClose, i, i + 1};
      case '&':
        return Token{Token::kAnd, i, i + 1};
      case '|':
        return Token{Token::kOr, i, i + 1};
      case '~':
        return Token{Token::kNot, i, i + 1};
      default:
        break;
    }
    if (IsRefusedChar(c)) NotSupported(std::string("operator '") + c + "'");
    size_t end = i;
    while (end < q_.size() && !IsAsciiSpace(q_[end]) && !IsOperatorChar(q_[end])) {
      if (IsRefusedChar(q_[end])) NotSupported(std::string("operator '") + q_[end] + "'");
      ++end;
    }
    const std::string word = AsciiUpper(q_.substr(i, end - i));
    Token::Kind kind = Token::kWord;
    if (word == "AND")
      kind = Token::kAnd;
    else if (word == "OR")
      kind = Token::kOr;
    else if (word == "NOT")
      kind = Token::kNot;
    else if (word == "INPATH")
      kind = Token::kInPath;
    else if (word == "NEAR" || word == "WITHIN" || word == "ABOUT" || word == "ACCUM" ||
             word == "MINUS" || word == "EQUIV" || word == "FUZZY" || word == "HASPATH" ||
             word == "SDATA" || word == "MDATA") {
      NotSupported("operator " + word);
    }
    return Token{kind, i, end};
  }
  void Take(const Token& t) { pos_ = t.end; }

  NodePtr Binary(TextQuery::Node::Kind kind, NodePtr l, NodePtr r) {
    auto n = std::make_unique<TextQuery::Node>();
    n->kind = kind;
    n->left = std::move(l);
    n->right = std::move(r);
    return n;
  }

  NodePtr ParseOr() {
    NodePtr n = ParseAnd();
    for (Token t = Peek(); t.kind == Token::kOr; t = Peek()) {
      Take(t);
      n = Binary(TextQuery::Node::kOr, std::move(n), ParseAnd());
    }
    return n;
  }
  NodePtr ParseAnd() {
    NodePtr n = ParseNot();
    for (Token t = Peek(); t.kind == Token::kAnd; t = Peek()) {
      Take(t);
      n = Binary(TextQuery::Node::kAnd, std::move(n), ParseNot());
    }
    return n;
  }
  NodePtr ParseNot() {
    NodePtr n = ParsePrimary();
    for (Token t = Peek(); t.kind == Token::kNot; t = Peek()) {
      Take(t);
      n = Binary(TextQuery::Node::kNot, std::move(n), ParsePrimary());
    }
    return n;
  }
  NodePtr ParsePrimary() {
    if (++depth_ > kMaxDepth) NotSupported("query nested this deep");
    Token t = Peek();
    NodePtr n;
    if (t.kind == Token::kOpen) {
      Take(t);
      n = ParseOr();
      Token close = Peek();
      if (close.kind != Token::kClose) SyntaxError(close.at);
      Take(close);
    } else if (t.kind == Token::kWord) {
      n = std::make_unique<TextQuery::Node>();
      const size_t begin = t.at;
      size_t end = t.end;
      while (t.kind == Token::kWord) {
        end = t.end;
        Take(t);
        t = Peek();
      }
      const std::string_view phrase = q_.substr(begin, end - begin);
      n->units = SplitQueryUnits(phrase);
      if (n->units.empty()) SyntaxError(begin);
      for (size_t k = 0; k < n->units.size(); ++k) {
        const bool near_cjk =
            (k > 0 && n->units[k - 1].cjk) || (k + 1 < n->units.size() && n->units[k + 1].cjk);
        if (HasWildcard(n->units[k]) &&
            (near_cjk && n->units[k].text.find_first_not_of("%_") == std::string::npos)) {
          NotSupported("wildcard on Chinese text");
        }
      }
    } else {
      SyntaxError(t.at);
    }
    for (Token p = Peek(); p.kind == Token::kInPath; p = Peek()) {
      Take(p);
      n = WithPath(std::move(n));
    }
    --depth_;
    return n;
  }
  // INPATH(path): the path runs to the matching parenthesis.
  NodePtr WithPath(NodePtr query) {
    if (HasPathIn(*query)) NotSupported("INPATH within INPATH");
    size_t i = pos_;
    while (i < q_.size() && IsAsciiSpace(q_[i])) ++i;
    if (i == q_.size() || q_[i] != '(') SyntaxError(i);
    int depth = 1;
    const size_t begin = ++i;
    char quote = 0;
    while (i < q_.size() && depth > 0) {
      const char c = q_[i];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '(') {
        ++depth;
      } else if (c == ')') {
        --depth;
      }
      ++i;
    }
    if (depth != 0) SyntaxError(q_.size());
    std::string path(q_.substr(begin, i - 1 - begin));
    while (!path.empty() && IsAsciiSpace(path.back())) path.pop_back();
    while (!path.empty() && IsAsciiSpace(path.front())) path.erase(0, 1);
    if (path.empty()) SyntaxError(begin);
    // A path without a leading slash starts at the top-level element.
    if (path[0] != '/') path.insert(0, "/");
    pos_ = i;
    auto n = std::make_unique<TextQuery::Node>();
    n->kind = TextQuery::Node::kInPath;
    n->left = std::move(query);
    n->path = std::move(path);
    return n;
  }
  static bool HasPathIn(const TextQuery::Node& n) {
    if (n.kind == TextQuery::Node::kInPath) return true;
    return (n.left && HasPathIn(*n.left)) || (n.right && HasPathIn(*n.right));
  }

  static constexpr int kMaxDepth = 100;
  std::string_view q_;
  size_t pos_ = 0;
  int depth_ = 0;
};

// What a text is looked at through while a query is matched against it.
class MatchContext {
 public:
  MatchContext(std::string_view text, TextKind kind) : text_(text), kind_(kind) {}

  const std::vector<Unit>& Units() {
    if (!units_ready_) {
      units_ = SplitUnits(text_, kind_);
      units_ready_ = true;
    }
    return units_;
  }
  const XmlPathDocument& Xml() {
    if (!xml_) xml_ = std::make_unique<XmlPathDocument>(text_);
    return *xml_;
  }

 private:
  std::string_view text_;
  TextKind kind_;
  bool units_ready_ = false;
  std::vector<Unit> units_;
  std::unique_ptr<XmlPathDocument> xml_;
};

// The operands of the chain of one operator that `n` ends (`a | b | c` is parsed as
// `(a | b) | c`), in their order: a chain of thousands is walked along, never recursed into.
std::vector<const TextQuery::Node*> ChainOf(const TextQuery::Node& n) {
  std::vector<const TextQuery::Node*> operands;
  const TextQuery::Node* at = &n;
  for (; at->kind == n.kind; at = at->left.get()) operands.push_back(at->right.get());
  operands.push_back(at);
  std::reverse(operands.begin(), operands.end());
  return operands;
}

bool Evaluate(const TextQuery::Node& n, MatchContext& ctx) {
  switch (n.kind) {
    case TextQuery::Node::kTerm:
      return PhraseIn(n.units, ctx.Units());
    case TextQuery::Node::kAnd:
    case TextQuery::Node::kOr:
    case TextQuery::Node::kNot: {
      // a & b & c, a | b | c, a ~ b ~ c (a and not b and not c): until an operand decides.
      const std::vector<const TextQuery::Node*> operands = ChainOf(n);
      bool hit = Evaluate(*operands[0], ctx);
      for (size_t i = 1; i < operands.size() && hit == (n.kind != TextQuery::Node::kOr); ++i) {
        hit = Evaluate(*operands[i], ctx) != (n.kind == TextQuery::Node::kNot);
      }
      return hit;
    }
    case TextQuery::Node::kInPath: {
      const XmlPathDocument::Selection s = ctx.Xml().Select(n.path);
      if (s.is_value) return false;
      for (xmlNode* node : s.nodes) {
        const std::string section = XmlPathDocument::Text(node);
        MatchContext inner(section, TextKind::kPlain);
        if (Evaluate(*n.left, inner)) return true;
      }
      return false;
    }
  }
  return false;
}

void AppendFtsString(std::string_view s, std::string* out) {
  out->push_back('"');
  for (char c : s) {
    if (c == '"') out->push_back('"');
    out->push_back(c);
  }
  out->push_back('"');
}

// The index query of one unit alone; empty when the index cannot narrow it.
std::string UnitIndexQuery(const Unit& u, bool* exact) {
  std::string out;
  if (u.cjk) {
    AppendFtsString(u.text, &out);
    *exact = true;
    return out;
  }
  const size_t wild = u.text.find_first_of("%_");
  if (wild == std::string::npos) {
    AppendFtsString(u.text, &out);
    *exact = true;
    return out;
  }
  // Only a trailing run of '%' after a fixed prefix can be looked up (as a prefix).
  if (wild > 0 && u.text.find_first_not_of('%', wild) == std::string::npos) {
    AppendFtsString(u.text.substr(0, wild), &out);
    out.append(" *");
    *exact = true;
    return out;
  }
  *exact = false;
  return out;
}

std::string IndexQueryOf(const TextQuery::Node& n, bool* exact);

// The index query of a chain of one operator, written flat (`(a) OR (b) OR (c)`), so that the
// index's parser reads a chain of any length. An operand the index cannot narrow is left out
// of AND, and makes OR unnarrowed; NOT narrows by its first operand, and by the others where
// their hits are exact.
std::string ChainIndexQuery(const TextQuery::Node& n, bool* exact) {
  const std::vector<const TextQuery::Node*> operands = ChainOf(n);
  const char* op = n.kind == TextQuery::Node::kAnd  ? " AND ("
                   : n.kind == TextQuery::Node::kOr ? " OR ("
                                                    : " NOT (";
  std::string out = IndexQueryOf(*operands[0], exact);
  bool chained = false;  // `out` is this chain's so far, which the next operand joins as it is
  for (size_t i = 1; i < operands.size(); ++i) {
    if (out.empty() && n.kind != TextQuery::Node::kAnd) {
      *exact = false;
      return out;
    }
    bool operand_exact;
    const std::string operand = IndexQueryOf(*operands[i], &operand_exact);
    if (operand.empty() || (n.kind == TextQuery::Node::kNot && !operand_exact)) {
      *exact = false;
      if (n.kind == TextQuery::Node::kOr) return std::string();
      continue;
    }
    if (out.empty()) {  // AND, whose operands before narrowed nothing
      out = operand;
      chained = false;
      *exact = false;
      continue;
    }
    if (!chained) out = "(" + out + ")";
    out.append(op).append(operand).push_back(')');
    chained = true;
    if (n.kind != TextQuery::Node::kNot) *exact = *exact && operand_exact;
  }
  return out;
}

std::string IndexQueryOf(const TextQuery::Node& n, bool* exact) {
  switch (n.kind) {
    case TextQuery::Node::kTerm: {
      bool latin_words = true;
      for (const Unit& u : n.units) latin_words = latin_words && !u.cjk && !HasWildcard(u);
      if (n.units.size() == 1) return UnitIndexQuery(n.units[0], exact);
      if (latin_words) {
        // A phrase of words: the index keeps their positions.
        std::string words;
        for (const Unit& u : n.units) {
          if (!words.empty()) words.push_back(' ');
          words.append(u.text);
        }
        std::string out;
        AppendFtsString(words, &out);
        *exact = true;
        return out;
      }
      // Chinese runs beside words: every unit must be there; the phrase is checked after.
      std::string out;
      for (const Unit& u : n.units) {
        bool unit_exact;
        std::string q = UnitIndexQuery(u, &unit_exact);
        if (q.empty()) continue;
        if (!out.empty()) out.append(" AND ");
        out.append(q);
      }
      *exact = false;
      return out;
    }
    case TextQuery::Node::kAnd:
    case TextQuery::Node::kOr:
    case TextQuery::Node::kNot:
      return ChainIndexQuery(n, exact);
    case TextQuery::Node::kInPath: {
      bool ignored;
      std::string l = IndexQueryOf(*n.left, &ignored);
      *exact = false;
      return l;
    }
  }
  *exact = false;
  return std::string();
}

// ---------------------------------------------------------------- the server's condition

void AppendRegexEscaped(std::string_view text, std::string* out) {
  for (char c : text) {
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) out->push_back('\\');
    out->push_back(c);
  }
}

// A regular expression that finds the phrase in a unit string: each unit after the space
// before it, the phrase followed by a space, so that a Latin unit matches whole units only.
std::string PhrasePattern(const std::vector<Unit>& phrase) {
  constexpr std::string_view kRestOfUnit = "[^ ]*";
  std::string re;
  const size_t m = phrase.size();
  for (size_t k = 0; k < m; ++k) {
    const Unit& u = phrase[k];
    re.push_back(' ');
    if (u.cjk) {
      // Alone: anywhere in a run; first: at its end; last: at its start; between: all of it.
      re.push_back(kCjkMark);
      if (k == 0 && m > 1) re.append(kRestOfUnit);
      if (m == 1) re.append(kRestOfUnit);
      AppendRegexEscaped(u.text, &re);
      if (k == m - 1) re.append(kRestOfUnit);
      continue;
    }
    if (!HasWildcard(u)) {
      AppendRegexEscaped(u.text, &re);
      continue;
    }
    // A unit that starts with a wildcard must not start a Chinese run; one that starts with a
    // letter cannot, and goes without the look-ahead, of which the server compiles few.
    if (u.text.front() == '%' || u.text.front() == '_') {
      re.append("(?!").push_back(kCjkMark);
      re.push_back(')');
    }
    for (char c : u.text) {
      if (c == '%') {
        re.append(kRestOfUnit);
      } else if (c == '_') {
        re.append("[^ ]");
      } else {
        AppendRegexEscaped(std::string_view(&c, 1), &re);
      }
    }
  }
  re.push_back(' ');
  return re;
}

void AppendServerCondition(const TextQuery::Node& n, const std::string& units,
                           const std::function<std::string(const std::string&)>& sections,
                           std::string* out) {
  switch (n.kind) {
    case TextQuery::Node::kTerm:
      out->append("(").append(units).append(" ~ ");
      detail::AppendStringLiteral(PhrasePattern(n.units), out);
      out->push_back(')');
      return;
    case TextQuery::Node::kAnd:
    case TextQuery::Node::kOr:
    case TextQuery::Node::kNot: {
      // A chain written flat, which the server reads without nesting.
      const std::vector<const TextQuery::Node*> operands = ChainOf(n);
      out->push_back('(');
      for (size_t i = 0; i < operands.size(); ++i) {
        if (i > 0) {
          out->append(n.kind == TextQuery::Node::kOr    ? " OR "
                      : n.kind == TextQuery::Node::kAnd ? " AND "
                                                        : " AND NOT ");
        }
        AppendServerCondition(*operands[i], units, sections, out);
      }
      out->push_back(')');
      return;
    }
    case TextQuery::Node::kInPath: {
      out->append("EXISTS (SELECT 1 FROM ").append(sections(n.path)).append(" WHERE ");
      AppendServerCondition(*n.left, "section.units", sections, out);
      out->push_back(')');
      return;
    }
  }
}

}  // namespace

TextQuery::TextQuery() = default;
TextQuery::~TextQuery() = default;

std::shared_ptr<const TextQuery> TextQuery::Parse(std::string_view query) {
  std::shared_ptr<TextQuery> q(new TextQuery());
  q->root_ = QueryParser(query).Parse();
  return q;
}

bool TextQuery::Matches(std::string_view text, TextKind kind) const {
  MatchContext ctx(text, kind);
  return Evaluate(*root_, ctx);
}

std::string TextQuery::IndexQuery(bool* exact) const { return IndexQueryOf(*root_, exact); }

std::string TextQuery::ServerCondition(
    const std::string& units,
    const std::function<std::string(const std::string&)>& sections) const {
  std::string out;
  AppendServerCondition(*root_, units, sections, &out);
  return out;
}

bool TextQuery::HasPath() const {
  struct Walk {
    static bool Has(const Node& n) {
      return n.kind == Node::kInPath || (n.left && Has(*n.left)) || (n.right && Has(*n.right));
    }
  };
  return Walk::Has(*root_);
}

}  // namespace korvalis::db::text
