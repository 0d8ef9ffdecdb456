#include "platform/xml/attribute_work.h"

#include <string.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

namespace korvalis::xml {
namespace {

template <typename Char>
using View = std::basic_string_view<Char>;

template <typename Char>
bool StartsWith(View<Char> text, std::size_t at, std::string_view ascii) {
  if (text.size() - at < ascii.size()) return false;
  return std::equal(ascii.begin(), ascii.end(), text.begin() + at,
                    [](char a, Char c) { return static_cast<Char>(a) == c; });
}

// Where the text goes on after the first `end` (ASCII) from `at`, or its end.
template <typename Char>
std::size_t Past(View<Char> text, std::size_t at, std::string_view end) {
  const std::basic_string<Char> needle(end.begin(), end.end());
  const std::size_t found = text.find(needle, at);
  return found == View<Char>::npos ? text.size() : found + end.size();
}

template <typename Char>
bool IsSpace(Char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

template <typename Char>
View<Char> NameAt(View<Char> text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() && !IsSpace(text[end]) && text[end] != '/' && text[end] != '>') ++end;
  return text.substr(at, end - at);
}

// A tag or a declaration read from its first character after '<' to its '>' outside quoted
// values (the text's end when it has none).
struct Markup {
  std::size_t end = 0;
  std::size_t equals = 0;    // '=' outside quoted values: a tag's attributes
  std::size_t literals = 0;  // quoted values: an ATTLIST declaration's defaults
};

template <typename Char>
Markup ReadMarkup(View<Char> text, std::size_t at) {
  Markup markup;
  markup.end = text.size();
  Char quote = 0;
  for (std::size_t i = at; i < text.size(); ++i) {
    const Char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
      ++markup.literals;
    } else if (c == '=') {
      ++markup.equals;
    } else if (c == '>') {
      markup.end = i;
      break;
    }
  }
  return markup;
}

// Hands each start tag's attributes (written, defaulted) to `tag`, which answers whether to go on.
template <typename Char, typename Tag>
class AttributeCounter {
 public:
  AttributeCounter(View<Char> text, Tag& tag) : text_(text), tag_(tag) {}
  AttributeCounter(View<Char> text, const AttributeCounter& declared)
      : text_(text), tag_(declared.tag_), defaults_(declared.defaults_) {}

  void Run() {
    for (std::size_t i = 0; (i = text_.find(Char('<'), i)) != View<Char>::npos;) {
      if (StartsWith(text_, i, "<!--")) {
        i = Past(text_, i + 4, "-->");
      } else if (StartsWith(text_, i, "<![CDATA[")) {
        i = Past(text_, i + 9, "]]>");
      } else if (StartsWith(text_, i, "<?")) {
        i = Past(text_, i + 2, "?>");
      } else if (StartsWith(text_, i, "<!DOCTYPE")) {
        i = ReadDocumentType(i + 9);
      } else if (StartsWith(text_, i, "</") || StartsWith(text_, i, "<!")) {
        i += 2;
      } else {
        const Markup markup = ReadMarkup(text_, i + 1);
        std::size_t defaulted = 0;
        if (!defaults_.empty()) {
          const auto found = defaults_.find(NameAt(text_, i + 1));
          if (found != defaults_.end()) defaulted = found->second;
        }
        if (!tag_(markup.equals, defaulted)) {
          stopped_ = true;
          return;
        }
        i = markup.end;
      }
      if (stopped_) return;
    }
  }

 private:
  // From after "<!DOCTYPE" to after its '>', its internal subset read.
  std::size_t ReadDocumentType(std::size_t at) {
    Char quote = 0;
    for (std::size_t i = at; i < text_.size(); ++i) {
      const Char c = text_[i];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '[') {
        i = ReadInternalSubset(i + 1);
        // libxml2 parses an entity's value as content at its first reference, once every
        // declaration is read.
        for (const View<Char> value : entity_values_) {
          AttributeCounter content(value, *this);
          content.Run();
          if (content.stopped_) stopped_ = true;
        }
        if (stopped_) return text_.size();
      } else if (c == '>') {
        return i + 1;
      }
    }
    return text_.size();
  }

  // From after '[' to its ']': the defaults of ATTLIST declarations by element, and the values
  // of entities.
  std::size_t ReadInternalSubset(std::size_t i) {
    while (i < text_.size() && text_[i] != ']') {
      if (text_[i] != '<') {
        ++i;
      } else if (StartsWith(text_, i, "<!--")) {
        i = Past(text_, i + 4, "-->");
      } else if (StartsWith(text_, i, "<?")) {
        i = Past(text_, i + 2, "?>");
      } else {
        const Markup markup = ReadMarkup(text_, i + 1);
        if (StartsWith(text_, i, "<!ATTLIST")) {
          std::size_t name = i + 9;
          while (name < markup.end && IsSpace(text_[name])) ++name;
          defaults_[NameAt(text_, name)] += markup.literals;
        } else if (StartsWith(text_, i, "<!ENTITY")) {
          entity_values_.push_back(Literals(i + 8, markup.end));
        }
        i = std::min(markup.end + 1, text_.size());
      }
    }
    return i;
  }

  // The first quoted text between `at` and `end`: an entity's value (or an external entity's
  // system literal, which holds no tag).
  View<Char> Literals(std::size_t at, std::size_t end) const {
    std::size_t open = at;
    while (open < end && text_[open] != '"' && text_[open] != '\'') ++open;
    if (open >= end) return {};
    std::size_t close = text_.find(text_[open], open + 1);
    close = std::min(close == View<Char>::npos ? end : close, end);
    return text_.substr(open + 1, close - open - 1);
  }

  View<Char> text_;
  Tag& tag_;
  std::vector<View<Char>> entity_values_;
  std::unordered_map<View<Char>, std::size_t> defaults_;
  bool stopped_ = false;
};

template <typename Char, typename Tag>
void CountAttributes(View<Char> text, Tag tag) {
  AttributeCounter<Char, Tag>(text, tag).Run();
}

}  // namespace

bool AttributesPassParserBound(std::string_view text) {
  // Without defaults no tag writes more attributes than the text holds '='.
  const auto equals = static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '='));
  constexpr std::string_view kAttributeList = "<!ATTLIST";
  if (equals * equals <= kMaxAttributeWork &&
      memmem(text.data(), text.size(), kAttributeList.data(), kAttributeList.size()) == nullptr) {
    return false;
  }
  std::uint64_t squares = 0;
  CountAttributes(text, [&](std::size_t written, std::size_t defaulted) {
    const std::uint64_t attributes = std::uint64_t{written} + defaulted;
    squares += std::min(attributes * attributes, kMaxAttributeWork + 1);
    return squares <= kMaxAttributeWork;
  });
  return squares > kMaxAttributeWork;
}

bool WritesAttributesInOneTag(std::u16string_view text, std::size_t count) {
  if (static_cast<std::size_t>(std::count(text.begin(), text.end(), u'=')) < count) return false;
  bool writes = false;
  CountAttributes(text, [&](std::size_t written, std::size_t) {
    writes = written >= count;
    return !writes;
  });
  return writes;
}

}  // namespace korvalis::xml
