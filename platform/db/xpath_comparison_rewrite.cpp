#include "platform/db/xpath_comparison_rewrite.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>
#include <vector>

#include "platform/db/sql_function_support.h"

namespace korvalis::db {
namespace {

enum class Kind {
  kLiteral,
  kNumber,
  kName,      // a name test (`*` and `p:*` included), a function or axis name, a variable
  kOperator,  // and or div mod * / // | + - = != < <= > >=
  kOpen,      // ( [
  kClose,     // ) ]
  kComma,
  kAt,
  kAxis,  // ::
  kDot,   // . ..
};

struct Token {
  Kind kind;
  size_t begin;
  size_t end;
};

bool IsNameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u >= 0x80;
}
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Splits `path` into tokens as libxml2 reads it, each charged to the running call; false for a
// character no token starts with, an unclosed literal, a lone `!` or `:`, or a name where only
// an operator may stand.
class Tokenizer {
 public:
  explicit Tokenizer(std::string_view path) : s_(path) {}

  bool Run(std::vector<Token>* tokens) {
    tokens_ = tokens;
    while (true) {
      while (at_ < s_.size() &&
             (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\r' || s_[at_] == '\n')) {
        ++at_;
      }
      if (at_ == s_.size()) return true;
      const size_t begin = at_;
      if (!Next()) return false;
      time_.Spend(at_ - begin);
    }
  }

 private:
  // After a token other than these (or at the start), `*` multiplies and a name is an operator.
  bool NameMayFollow() const {
    if (tokens_->empty()) return true;
    switch (tokens_->back().kind) {
      case Kind::kAt:
      case Kind::kAxis:
      case Kind::kComma:
      case Kind::kOperator:
      case Kind::kOpen:
        return true;
      default:
        return false;
    }
  }

  bool Next() {
    const size_t begin = at_;
    const char c = s_[at_];
    const char d = at_ + 1 < s_.size() ? s_[at_ + 1] : '\0';
    Kind kind = Kind::kOperator;
    if (c == '"' || c == '\'') {
      const size_t close = s_.find(c, at_ + 1);
      if (close == std::string_view::npos) return false;
      at_ = close + 1;
      kind = Kind::kLiteral;
    } else if (IsDigit(c) || (c == '.' && IsDigit(d))) {
      ReadNumber();
      kind = Kind::kNumber;
    } else if (c == '.') {
      at_ += d == '.' ? 2 : 1;
      kind = Kind::kDot;
    } else if (c == '(' || c == '[' || c == ')' || c == ']' || c == ',' || c == '@') {
      ++at_;
      kind = c == '(' || c == '['   ? Kind::kOpen
             : c == ')' || c == ']' ? Kind::kClose
             : c == ','             ? Kind::kComma
                                    : Kind::kAt;
    } else if (c == ':') {
      if (d != ':') return false;
      at_ += 2;
      kind = Kind::kAxis;
    } else if (c == '!') {
      if (d != '=') return false;
      at_ += 2;
    } else if (c == '/' || c == '<' || c == '>') {
      at_ += (c == '/' && d == '/') || (c != '/' && d == '=') ? 2 : 1;
    } else if (c == '|' || c == '+' || c == '-' || c == '=') {
      ++at_;
    } else if (c == '*') {
      ++at_;
      if (NameMayFollow()) kind = Kind::kName;
    } else if (!NameMayFollow()) {
      if (!ReadOperatorName()) return false;
    } else if (c == '$' || IsNameStart(c)) {
      if (!ReadName(c == '$')) return false;
      kind = Kind::kName;
    } else {
      return false;
    }
    tokens_->push_back({kind, begin, at_});
    return true;
  }

  // Digits with a fraction, an exponent and its sign each where written, as libxml2 reads them.
  void ReadNumber() {
    const auto digits = [this] {
      while (at_ < s_.size() && IsDigit(s_[at_])) ++at_;
    };
    digits();
    if (at_ < s_.size() && s_[at_] == '.') ++at_;
    digits();
    if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
      ++at_;
      if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) ++at_;
      digits();
    }
  }

  // Where an operator stands, the operator name its first letters spell, whatever follows them.
  bool ReadOperatorName() {
    for (std::string_view name : {"or", "and", "div", "mod"}) {
      if (s_.substr(at_, name.size()) == name) {
        at_ += name.size();
        return true;
      }
    }
    return false;
  }

  // A QName (`p:name`, `p:*`), after a `$` for a variable.
  bool ReadName(bool variable) {
    if (variable) ++at_;
    if (at_ == s_.size() || !IsNameStart(s_[at_])) return false;
    while (at_ < s_.size() && IsNameChar(s_[at_])) ++at_;
    if (at_ + 1 < s_.size() && s_[at_] == ':' && s_[at_ + 1] != ':') {
      ++at_;
      if (!variable && s_[at_] == '*') {
        ++at_;
      } else {
        if (!IsNameStart(s_[at_])) return false;
        while (at_ < s_.size() && IsNameChar(s_[at_])) ++at_;
      }
    }
    return true;
  }

  std::string_view s_;
  size_t at_ = 0;
  std::vector<Token>* tokens_ = nullptr;
  functions::StatementTime time_;
};

// The operators split on at each level of precedence, loosest first.
constexpr std::array<std::array<std::string_view, 4>, 4> kLevels = {{
    {"or"},
    {"and"},
    {"=", "!="},
    {"<", "<=", ">", ">="},
}};
constexpr size_t kFirstComparisonLevel = 2;
// The brackets a path may nest to be rewritten: each takes a few frames of the rewriter's stack.
constexpr size_t kDeepest = 64;

class Rewriter {
 public:
  Rewriter(std::string_view path, std::vector<Token> tokens)
      : s_(path), t_(std::move(tokens)), match_(t_.size()) {}

  std::optional<std::string> Run() {
    if (t_.empty() || !MatchBrackets()) return std::nullopt;
    out_.reserve(s_.size() + s_.size() / 2);
    Emit(s_.substr(0, t_.front().begin));
    Level(0, t_.size(), 0);
    if (!ok_) return std::nullopt;
    Emit(s_.substr(t_.back().end));
    return std::move(out_);
  }

 private:
  std::string_view Text(size_t i) const { return s_.substr(t_[i].begin, t_[i].end - t_[i].begin); }
  // The text between tokens `i` and `j`, as written.
  std::string_view Between(size_t i, size_t j) const {
    return s_.substr(t_[i].end, t_[j].begin - t_[i].end);
  }
  void Emit(std::string_view text) {
    time_.Spend(text.size());
    out_ += text;
  }

  // Whether every bracket is closed by its partner, no deeper than kDeepest.
  bool MatchBrackets() {
    std::vector<size_t> open;
    for (size_t i = 0; i < t_.size(); ++i) {
      if (t_[i].kind == Kind::kOpen) open.push_back(i);
      if (open.size() > kDeepest) return false;
      if (t_[i].kind != Kind::kClose) continue;
      if (open.empty() || (s_[t_[open.back()].begin] == '(') != (s_[t_[i].begin] == ')')) {
        return false;
      }
      match_[open.back()] = i;
      open.pop_back();
    }
    return open.empty();
  }

  // The operators of `level` among tokens [b, e), outside brackets; unread (ok_ false) when an
  // operand between them would be empty.
  std::vector<size_t> Split(size_t b, size_t e, size_t level) {
    std::vector<size_t> ops;
    for (size_t i = b; i < e; ++i) {
      if (t_[i].kind == Kind::kOpen) i = match_[i];
      if (t_[i].kind != Kind::kOperator || !IsOf(level, Text(i))) continue;
      if (i == (ops.empty() ? b : ops.back() + 1) || i + 1 == e) ok_ = false;
      ops.push_back(i);
    }
    return ops;
  }

  // Tokens [b, e) as an expression whose operators looser than `level` are already split off.
  void Level(size_t b, size_t e, size_t level) {
    if (b >= e) ok_ = false;
    if (!ok_) return;
    if (level == kLevels.size()) return Plain(b, e);
    const std::vector<size_t> ops = Split(b, e, level);
    if (!ok_) return;
    // A comparison of values that are surely no node-sets reads no string value and stays as
    // written; so does a chain of them, whose answers compare as booleans. From the first
    // comparison that may read one, the chain is one call, what precedes it its first operand.
    const size_t last = ops.size();
    size_t first_call = last + 1;
    if (level >= kFirstComparisonLevel && !ops.empty()) {
      first_call = 1;
      if (IsValue(b, ops[0])) {
        while (first_call <= last && IsValue(ops[first_call - 1] + 1, End(e, ops, first_call))) {
          ++first_call;
        }
      }
    }
    if (first_call > last) return Written(b, e, level, ops, last);
    Call(b, e, level, ops, first_call);
  }

  // Tokens [b, e) split at `ops` as a call of the comparison function from the operator
  // `first_call` on, the operands before it its first operand: the pair's function for one
  // comparison, the chain's for more.
  void Call(size_t b, size_t e, size_t level, const std::vector<size_t>& ops, size_t first_call) {
    const size_t last = ops.size();
    // Apart from an operator name written against its operand (`2or.=3`).
    if (!out_.empty() && IsNameChar(out_.back())) Emit(" ");
    Emit(first_call == last ? PairFunction(Text(ops[last - 1])) : kCompareFunction);
    Emit("(");
    Written(b, e, level, ops, first_call - 1);
    for (size_t i = first_call; i <= last && ok_; ++i) {
      Emit(", ");
      Level(ops[i - 1] + 1, End(e, ops, i), level + 1);
    }
    if (first_call < last) {
      Emit(", \"");
      for (size_t i = first_call; i <= last; ++i) {
        if (i > first_call) Emit(" ");
        Emit(Text(ops[i - 1]));
      }
      Emit("\"");
    }
    Emit(")");
  }

  // Where operand `i` of tokens [b, e) split at `ops` ends.
  static size_t End(size_t e, const std::vector<size_t>& ops, size_t i) {
    return i < ops.size() ? ops[i] : e;
  }

  // Operands 0 to `last` of tokens [b, e) split at `ops`, each split further, with the operators
  // between them as written.
  void Written(size_t b, size_t e, size_t level, const std::vector<size_t>& ops, size_t last) {
    Level(b, End(e, ops, 0), level + 1);
    for (size_t i = 1; i <= last && ok_; ++i) {
      Emit(Between(ops[i - 1] - 1, ops[i - 1] + 1));
      Level(ops[i - 1] + 1, End(e, ops, i), level + 1);
    }
  }

  // Whether tokens [b, e) are surely not a node-set: an operation of numbers, booleans or
  // comparisons, a literal, a number, or a call of a function that answers none. Comparisons of
  // such values read no string value and are left as written.
  bool IsValue(size_t b, size_t e) const {
    for (size_t i = b; i < e; ++i) {
      if (t_[i].kind == Kind::kOpen) i = match_[i];
      if (t_[i].kind != Kind::kOperator) continue;
      const std::string_view op = Text(i);
      if (op != "/" && op != "//" && op != "|") return true;
    }
    if (e == b + 1) return t_[b].kind == Kind::kLiteral || t_[b].kind == Kind::kNumber;
    if (t_[b].kind == Kind::kOpen && match_[b] == e - 1) {
      return s_[t_[b].begin] == '(' && IsValue(b + 1, e - 1);
    }
    if (t_[b].kind != Kind::kName || t_[b + 1].kind != Kind::kOpen || match_[b + 1] != e - 1) {
      return false;
    }
    constexpr std::array<std::string_view, 26> kValueFunctions = {
        "last",          "position",        "count",     "string",           "concat",
        "starts-with",   "contains",        "substring", "substring-before", "substring-after",
        "string-length", "normalize-space", "translate", "boolean",          "not",
        "true",          "false",           "lang",      "number",           "sum",
        "floor",         "ceiling",         "round",     "local-name",       "name",
        "namespace-uri"};
    return std::find(kValueFunctions.begin(), kValueFunctions.end(), Text(b)) !=
           kValueFunctions.end();
  }

  static bool IsOf(size_t level, std::string_view op) {
    for (std::string_view o : kLevels[level]) {
      if (!o.empty() && o == op) return true;
    }
    return false;
  }

  // Tokens [b, e) as written, but for what their brackets hold, rewritten.
  void Plain(size_t b, size_t e) {
    size_t from = t_[b].begin;
    for (size_t i = b; i < e && ok_; ++i) {
      if (t_[i].kind == Kind::kName && Text(i).starts_with(kCompareFunction)) ok_ = false;
      if (t_[i].kind != Kind::kOpen) continue;
      const size_t close = match_[i];
      const bool predicate = s_[t_[i].begin] == '[';
      Emit(s_.substr(from, t_[i].end - from));
      from = t_[i].end;
      if (close > i + 1) {
        Emit(Between(i, i + 1));
        if (predicate) {
          Level(i + 1, close, 0);
        } else {
          Arguments(i + 1, close);
        }
        Emit(Between(close - 1, close));
        from = t_[close].begin;
      } else if (predicate) {
        ok_ = false;
      }
      i = close;
    }
    Emit(s_.substr(from, t_[e - 1].end - from));
  }

  // A function's arguments, or a parenthesised expression, each split on its own.
  void Arguments(size_t b, size_t e) {
    size_t start = b;
    for (size_t i = b; i < e && ok_; ++i) {
      if (t_[i].kind == Kind::kOpen) i = match_[i];
      if (t_[i].kind != Kind::kComma) continue;
      Level(start, i, 0);
      if (ok_) Emit(Between(i - 1, i + 1));
      start = i + 1;
    }
    Level(start, e, 0);
  }

  std::string_view s_;
  std::vector<Token> t_;
  std::vector<size_t> match_;
  std::string out_;
  bool ok_ = true;
  functions::StatementTime time_;
};

}  // namespace

std::string_view PairFunction(std::string_view op) {
  for (const auto& [written, function] : kPairFunctions) {
    if (written == op) return function;
  }
  return {};
}

std::optional<std::string> RewriteComparisons(std::string_view path) {
  if (path.find_first_of("=<>") == std::string_view::npos &&
      path.find(kCompareFunction) == std::string_view::npos) {
    return std::string(path);
  }
  std::vector<Token> tokens;
  if (!Tokenizer(path).Run(&tokens)) return std::nullopt;
  return Rewriter(path, std::move(tokens)).Run();
}

}  // namespace korvalis::db
