#include "platform/db/regexp_pattern.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/db/sql_error.h"
#include "platform/text/utf8.h"

namespace korvalis::db {
namespace {

// Oracle takes a pattern of up to 512 bytes; PostgreSQL repeats an atom at most 255 times.
constexpr size_t kLongestPattern = 512;
constexpr int kMostRepeats = 255;

[[noreturn]] void Refuse(const std::string& construct) {
  throw SqlError(construct + " in a regular expression is not supported by the database layer",
                 kNotSupported);
}

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsPatternSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The bytes of the UTF-8 character starting at `at`.
size_t CharLength(std::string_view s, size_t at) {
  return std::min(Utf8SequenceWidth(static_cast<unsigned char>(s[at])), s.size() - at);
}

uint32_t CodePoint(std::string_view c) {
  const auto lead = static_cast<unsigned char>(c[0]);
  if (c.size() == 1) return lead;
  uint32_t cp = lead & (0x7F >> c.size());
  for (size_t i = 1; i < c.size(); ++i) cp = (cp << 6) | (static_cast<unsigned char>(c[i]) & 0x3F);
  return cp;
}

// A character standing for itself, in or out of brackets: both engines read a backslash before
// an ASCII character that is no letter or digit as that character.
void AppendLiteral(std::string_view c, std::string* out) {
  if (c.size() == 1 && !IsAsciiAlnum(c[0]) && !IsPatternSpace(c[0])) out->push_back('\\');
  out->append(c);
}

class PatternWriter {
 public:
  PatternWriter(std::string_view pattern, const RegexpOptions& options)
      : p_(pattern), options_(options) {}

  RegexpPattern Write() {
    if (p_.size() > kLongestPattern) throw SqlError("ORA-12733: regular expression too long");
    while (i_ < p_.size()) Next();
    if (!open_groups_.empty()) Unmatched();
    if (lazy_ && greedy_) Refuse("a non-greedy quantifier beside a greedy one");
    if (lazy_ && alternation_) Refuse("a non-greedy quantifier beside an alternation");
    RegexpPattern result;
    // PCRE2 numbers its groups in the order they open.
    std::sort(captures_.begin(), captures_.end(),
              [](const Capture& a, const Capture& b) { return a.offset < b.offset; });
    result.pcre2_groups.resize(static_cast<size_t>(groups_));
    for (size_t k = 0; k < captures_.size(); ++k) {
      if (captures_[k].group > 0) {
        result.pcre2_groups[static_cast<size_t>(captures_[k].group - 1)] = static_cast<int>(k + 1);
      }
    }
    result.pcre2_captures = static_cast<int>(captures_.size());
    result.pcre2 = std::move(pcre2_);
    result.postgres = std::move(postgres_);
    result.shortest = lazy_;
    result.repeated_group = repeated_group_;
    result.backreference = backreference_;
    result.groups = groups_;
    result.options = options_;
    return result;
  }

 private:
  [[noreturn]] static void Unmatched() {
    throw SqlError("ORA-12725: unmatched parentheses in regular expression");
  }

  void Both(std::string_view text) {
    pcre2_.append(text);
    postgres_.append(text);
  }

  void Next() {
    const char c = p_[i_];
    if (options_.extended && IsPatternSpace(c)) {
      ++i_;
      return;
    }
    const bool quantifier = c == '*' || c == '+' || c == '?' || (c == '{' && StartsInterval());
    if (!quantifier && c != ')') {
      atom_start_ = pcre2_.size();
      quantified_group_ = false;
    }
    switch (c) {
      case '\\': return Escape();
      case '.':
        ++i_;
        pcre2_.push_back('.');
        postgres_.append(options_.dot_matches_newline ? "." : "[^\\n]");
        repeatable_ = true;
        return;
      case '^':
      case '$':
        ++i_;
        Both(std::string_view(&c, 1));
        repeatable_ = false;
        return;
      case '[': return Bracket();
      case '(':
        ++i_;
        open_groups_.push_back({++groups_, pcre2_.size()});
        captures_.push_back({pcre2_.size(), groups_});
        pcre2_.append("(?<g" + std::to_string(groups_) + ">");
        postgres_.push_back('(');
        repeatable_ = false;
        return;
      case ')':
        ++i_;
        if (open_groups_.empty()) Unmatched();
        atom_start_ = open_groups_.back().offset;
        quantified_group_ = true;
        open_groups_.pop_back();
        Both(")");
        repeatable_ = true;
        return;
      case '|':
        ++i_;
        alternation_ = true;
        Both("|");
        repeatable_ = false;
        return;
      case '*':
      case '+':
      case '?':
        ++i_;
        return Quantifier(std::string(1, c), true);
      case '{':
        if (Interval()) return;
        break;
      default: break;
    }
    Literal();
    repeatable_ = true;
  }

  // The character at i_, standing for itself.
  void Literal() {
    const size_t n = CharLength(p_, i_);
    const std::string_view literal = p_.substr(i_, n);
    i_ += n;
    AppendLiteral(literal, &pcre2_);
    AppendLiteral(literal, &postgres_);
  }

  // *, +, ?, {m}, {m,}, {m,n}, each optionally followed by ? (non-greedy). `varies`: the count
  // is not fixed.
  void Quantifier(const std::string& text, bool varies) {
    if (!repeatable_) Refuse("a quantifier with nothing to repeat");
    Both(text);
    bool lazy = false;
    if (i_ < p_.size() && p_[i_] == '?') {
      ++i_;
      Both("?");
      lazy = true;
    }
    if (varies) (lazy ? lazy_ : greedy_) = true;
    if (quantified_group_) {
      if (backreference_) Refuse("a back reference beside a repeated subexpression");
      repeated_group_ = true;
    }
    // The repeated atom is a group of its own to PCRE2, whose end tells the matches apart.
    pcre2_.insert(atom_start_, "(");
    for (Capture& capture : captures_) {
      if (capture.offset >= atom_start_) ++capture.offset;
    }
    captures_.push_back({atom_start_, 0});
    pcre2_.push_back(')');
    if (i_ < p_.size() && (p_[i_] == '*' || p_[i_] == '+' || p_[i_] == '?' || StartsInterval())) {
      Refuse("a quantifier following another");
    }
    repeatable_ = false;
  }

  // Reads {m}, {m,} or {m,n} at i_ into its bounds; false when no interval starts there.
  bool ReadInterval(size_t* end, int* low, int* high, bool* bounded) const {
    size_t j = i_ + 1;
    auto number = [&](int* value) {
      const size_t start = j;
      long n = 0;
      while (j < p_.size() && p_[j] >= '0' && p_[j] <= '9') {
        n = std::min(n * 10 + (p_[j] - '0'), 100000L);
        ++j;
      }
      *value = static_cast<int>(n);
      return j > start;
    };
    if (!number(low)) return false;
    *high = *low;
    *bounded = true;
    if (j < p_.size() && p_[j] == ',') {
      ++j;
      *bounded = number(high);
    }
    if (j >= p_.size() || p_[j] != '}') return false;
    *end = j + 1;
    return true;
  }
  bool StartsInterval() const {
    size_t end;
    int low, high;
    bool bounded;
    return i_ < p_.size() && p_[i_] == '{' && ReadInterval(&end, &low, &high, &bounded);
  }

  // An interval; false when the brace starts none and stands for itself.
  bool Interval() {
    size_t end;
    int low, high;
    bool bounded;
    if (!ReadInterval(&end, &low, &high, &bounded)) return false;
    if (bounded && high < low) {
      throw SqlError("ORA-12732: invalid interval value in regular expression");
    }
    if (low > kMostRepeats || (bounded && high > kMostRepeats)) Refuse("a repeat count above 255");
    const std::string text(p_.substr(i_, end - i_));
    i_ = end;
    // {m,m} is greedy to PostgreSQL, though it repeats a fixed count.
    Quantifier(text, text.find(',') != std::string::npos);
    return true;
  }

  void Escape() {
    ++i_;
    if (i_ >= p_.size()) {
      Both("\\\\");
      repeatable_ = true;
      return;
    }
    const char c = p_[i_];
    repeatable_ = true;
    if (c >= '1' && c <= '9') {
      ++i_;
      const int group = c - '0';
      if (group > groups_ || Open(group)) {
        throw SqlError("ORA-12727: invalid back reference in regular expression");
      }
      if (repeated_group_) Refuse("a back reference beside a repeated subexpression");
      backreference_ = true;
      pcre2_.append("\\k<g").push_back(c);
      pcre2_.push_back('>');
      postgres_.append("(?:\\").push_back(c);
      postgres_.push_back(')');
      return;
    }
    switch (c) {
      case 'd': ++i_; return Both("[0-9]");
      case 'D': ++i_; return Both("[^0-9]");
      case 'w':
      case 'W':
      case 's':
      case 'S':
        ++i_;
        Both("\\");
        Both(std::string_view(&c, 1));
        return;
      case 'A':
        ++i_;
        repeatable_ = false;
        return Both("\\A");
      case 'z':
        ++i_;
        repeatable_ = false;
        pcre2_.append("\\z");
        postgres_.append("\\Z");
        return;
      case 'Z':
        // The end of the text, or before a newline that ends it.
        ++i_;
        repeatable_ = false;
        pcre2_.append("\\Z");
        postgres_.append("(?=\\n?\\Z)");
        return;
      default: break;
    }
    Literal();
  }

  bool Open(int group) const {
    for (const OpenGroup& g : open_groups_) {
      if (g.group == group) return true;
    }
    return false;
  }

  // A bracket expression: [list] or [^list], where ] first is itself, - first or last is
  // itself, a backslash is itself (POSIX), and [:class:], [.c.] and ranges a-z are read.
  void Bracket() {
    ++i_;
    std::string members;
    if (i_ < p_.size() && p_[i_] == '^') {
      members.push_back('^');
      ++i_;
    }
    bool first = true;
    for (;;) {
      if (i_ >= p_.size()) throw SqlError("ORA-12726: unmatched bracket in regular expression");
      if (p_[i_] == ']' && !first) {
        ++i_;
        break;
      }
      first = false;
      if (p_.compare(i_, 2, "[:") == 0) {
        members.append(CharacterClass());
        continue;
      }
      if (p_.compare(i_, 2, "[=") == 0) Refuse("an equivalence class [= =]");
      const std::string low = BracketChar();
      if (i_ + 1 < p_.size() && p_[i_] == '-' && p_[i_ + 1] != ']') {
        ++i_;
        if (p_.compare(i_, 2, "[:") == 0 || p_.compare(i_, 2, "[=") == 0) {
          throw SqlError("ORA-12728: invalid range in regular expression");
        }
        const std::string high = BracketChar();
        if (CodePoint(high) < CodePoint(low)) {
          throw SqlError("ORA-12728: invalid range in regular expression");
        }
        AppendLiteral(low, &members);
        members.push_back('-');
        AppendLiteral(high, &members);
      } else {
        AppendLiteral(low, &members);
      }
    }
    Both("[");
    Both(members);
    Both("]");
    repeatable_ = true;
  }

  // One character of a bracket expression, or a collating element [.c.] of one character.
  std::string BracketChar() {
    if (p_.compare(i_, 2, "[.") == 0) {
      const size_t close = p_.find(".]", i_ + 2);
      if (close == std::string_view::npos) {
        throw SqlError("ORA-12726: unmatched bracket in regular expression");
      }
      const std::string_view element = p_.substr(i_ + 2, close - i_ - 2);
      if (element.empty() || CharLength(element, 0) != element.size()) {
        throw SqlError("ORA-12731: invalid collation class in regular expression");
      }
      i_ = close + 2;
      return std::string(element);
    }
    const size_t n = CharLength(p_, i_);
    std::string c(p_.substr(i_, n));
    i_ += n;
    return c;
  }

  std::string CharacterClass() {
    const size_t close = p_.find(":]", i_ + 2);
    if (close == std::string_view::npos) {
      throw SqlError("ORA-12729: invalid character class in regular expression");
    }
    const std::string_view name = p_.substr(i_ + 2, close - i_ - 2);
    i_ = close + 2;
    if (name == "digit") return "0-9";
    for (std::string_view known : {"alpha", "alnum", "upper", "lower", "space", "punct", "print",
                                   "graph", "cntrl", "xdigit", "blank"}) {
      if (name == known) return "[:" + std::string(name) + ":]";
    }
    throw SqlError("ORA-12729: invalid character class in regular expression");
  }

  std::string_view p_;
  RegexpOptions options_;
  size_t i_ = 0;
  std::string pcre2_;
  std::string postgres_;
  struct OpenGroup {
    int group;
    size_t offset;  // of its parenthesis in pcre2_
  };
  std::vector<OpenGroup> open_groups_;
  // PCRE2's groups: the pattern's own (group > 0) and the repeated atoms (group 0), by where
  // their parenthesis stands in pcre2_.
  struct Capture {
    size_t offset;
    int group;
  };
  std::vector<Capture> captures_;
  size_t atom_start_ = 0;  // where the last atom starts in pcre2_
  bool quantified_group_ = false;  // the last atom is a group
  bool repeated_group_ = false;
  bool backreference_ = false;
  int groups_ = 0;
  bool repeatable_ = false;
  bool greedy_ = false;
  bool lazy_ = false;
  bool alternation_ = false;
};

}  // namespace

RegexpOptions ReadMatchParameter(std::string_view text) {
  RegexpOptions options;
  for (char c : text) {
    switch (c) {
      case 'i': options.ignore_case = true; break;
      case 'c': options.ignore_case = false; break;
      case 'n': options.dot_matches_newline = true; break;
      case 'm': options.multiline = true; break;
      case 'x': options.extended = true; break;
      default: throw SqlError("ORA-01760: illegal argument for function");
    }
  }
  return options;
}

std::string PostgresFlags(const RegexpOptions& options) {
  // 'w': ^ and $ at every line, while '.' and bracket expressions match a newline ('.' is
  // written as [^\n] where it must not); 's': ^ and $ only at the ends of the text.
  std::string flags = options.ignore_case ? "i" : "c";
  flags.push_back(options.multiline ? 'w' : 's');
  return flags;
}

bool RefersToSubexpression(std::string_view replacement) {
  for (size_t i = 0; i + 1 < replacement.size(); ++i) {
    if (replacement[i] != '\\') continue;
    if (replacement[i + 1] >= '1' && replacement[i + 1] <= '9') return true;
    ++i;
  }
  return false;
}

RegexpPattern TranslateRegexp(std::string_view pattern, const RegexpOptions& options) {
  return PatternWriter(pattern, options).Write();
}

}  // namespace korvalis::db
