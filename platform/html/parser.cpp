#include "platform/html/parser.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/text/ascii.h"
#include "platform/html/entities.h"
#include "platform/html/tag_table.h"

namespace korvalis::html {
namespace {

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool IsAllSpace(std::u16string_view text) {
  for (char16_t c : text) {
    if (!IsSpace(c)) return false;
  }
  return true;
}

struct TagName {
  std::u16string prefix;  // upper case, empty for plain HTML
  std::u16string name;    // upper case
  uint32_t flags = 0;     // TagFlag bits; 0 for prefixed names

  bool Is(std::u16string_view plain) const { return prefix.empty() && name == plain; }
  bool Matches(const Element& e) const { return e.prefix() == prefix && e.tagName() == name; }
};

TagName SplitTagName(std::u16string_view raw) {
  TagName t;
  std::u16string upper = AsciiUpper(raw);
  size_t colon = upper.find(u':');
  if (colon != std::u16string::npos && colon > 0 && colon + 1 < upper.size()) {
    t.prefix = upper.substr(0, colon);
    t.name = upper.substr(colon + 1);
  } else {
    t.name = std::move(upper);
    t.flags = TagFlags(t.name);
  }
  return t;
}

struct StartTag {
  TagName tag;
  std::vector<Attribute> attributes;
  bool self_closing = false;
};

// Builds the tree while it reads the text. The open elements form a stack; the element at
// `base_` (BODY of a page, the context of a fragment) is never closed by markup.
class TreeBuilder {
 public:
  // How far a start tag is looked for once failed tags have used up their budget.
  static constexpr size_t kTagScanAfterBudget = 512;

  TreeBuilder(std::u16string_view input, Document& document, Element* fragment_context)
      : in_(input),
        doc_(document),
        fragment_(fragment_context != nullptr),
        failed_tag_scan_budget_(8 * input.size() + 65536) {
    if (fragment_) {
      stack_.push_back(fragment_context);
      body_started_ = true;
      seen_content_ = true;
    } else {
      stack_.push_back(document.documentElement());
    }
  }

  void Run() {
    while (pos_ < in_.size()) {
      if (in_[pos_] != u'<') {
        size_t next = in_.find(u'<', pos_);
        if (next == std::u16string_view::npos) next = in_.size();
        std::u16string text;
        AppendDecoded(in_.substr(pos_, next - pos_), false, text);
        InsertText(std::move(text));
        pos_ = next;
        continue;
      }
      if (!ReadMarkup()) {
        InsertText(std::u16string(1, u'<'));
        ++pos_;
      }
    }
  }

 private:
  // Reads the markup at the '<' at pos_. Returns false when it is not markup (or is cut off
  // by the end of the text), so that the '<' is kept as text.
  bool ReadMarkup() {
    const size_t n = in_.size();
    if (pos_ + 1 >= n) return false;
    char16_t c = in_[pos_ + 1];
    if (IsAsciiAlpha(c)) return ReadStartTag();
    if (c == u'/') {
      if (pos_ + 2 < n && IsAsciiAlpha(in_[pos_ + 2])) return ReadEndTag();
      if (pos_ + 2 < n && in_[pos_ + 2] == u'>') {  // "</>" means nothing
        pos_ += 3;
        return true;
      }
      return false;
    }
    if (c == u'!') {
      if (in_.substr(pos_, 4) == u"<!--") return ReadComment();
      return ReadDelimited(NodeKind::kDeclaration, 2);
    }
    if (c == u'?') return ReadDelimited(NodeKind::kProcessingInstruction, 2);
    return false;
  }

  bool ReadComment() {
    size_t data_begin = pos_ + 4;
    size_t close = in_.find(u"-->", data_begin);
    size_t data_end = close == std::u16string_view::npos ? in_.size() : close;
    InsertOther(NodeKind::kComment, std::u16string(in_.substr(data_begin, data_end - data_begin)));
    pos_ = close == std::u16string_view::npos ? in_.size() : close + 3;
    return true;
  }

  // The first `c` ('>' or a quote) at or after `from`. The last search for each character is
  // remembered: a search from inside the stretch it covered has its answer at once, so damaged
  // markup (a tag or a quoted value that never ends, a '>' far ahead) is not scanned again for
  // every '<' that follows.
  size_t Find(char16_t c, size_t from) {
    LastSearch& last = c == u'>' ? last_close_ : c == u'"' ? last_double_ : last_single_;
    if (last.from != std::u16string_view::npos && from >= last.from && from <= last.found) {
      return last.found;
    }
    last.from = from;
    last.found = in_.find(c, from);
    return last.found;
  }

  // <!...> and <?...>: everything up to the first '>'.
  bool ReadDelimited(NodeKind kind, size_t opener_length) {
    size_t data_begin = pos_ + opener_length;
    size_t close = Find(u'>', data_begin);
    if (close == std::u16string_view::npos) return false;
    InsertOther(kind, std::u16string(in_.substr(data_begin, close - data_begin)));
    pos_ = close + 1;
    return true;
  }

  // Reads the tag name at p, before `end`; p ends on the first character after it.
  std::u16string_view ReadName(size_t& p, size_t end) const {
    size_t begin = p;
    while (p < end && !IsSpace(in_[p]) && in_[p] != u'/' && in_[p] != u'>') ++p;
    return in_.substr(begin, p - begin);
  }

  void SkipSpaces(size_t& p, size_t end) const {
    while (p < end && IsSpace(in_[p])) ++p;
  }

  // Reads attributes up to and including '>'. Returns false when the text (or the part of it
  // before `end`) ends first.
  bool ReadAttributes(size_t& p, size_t end, StartTag& tag) {
    std::unordered_set<std::u16string> seen_many;  // used only for long attribute lists
    for (;;) {
      while (p < end && (IsSpace(in_[p]) || in_[p] == u'/')) {
        if (in_[p] == u'/' && p + 1 < end && in_[p + 1] == u'>') tag.self_closing = true;
        ++p;
      }
      if (p >= end) return false;
      if (in_[p] == u'>') {
        ++p;
        return true;
      }
      tag.self_closing = false;
      size_t name_begin = p++;
      while (p < end && !IsSpace(in_[p]) && in_[p] != u'/' && in_[p] != u'>' &&
             in_[p] != u'=') {
        ++p;
      }
      Attribute attribute{std::u16string(in_.substr(name_begin, p - name_begin)), {}};
      size_t after_name = p;
      SkipSpaces(p, end);
      if (p < end && in_[p] == u'=') {
        ++p;
        SkipSpaces(p, end);
        if (p >= end) return false;
        if (in_[p] == u'"' || in_[p] == u'\'') {
          size_t close = Find(in_[p], p + 1);
          if (close == std::u16string_view::npos || close >= end) return false;
          AppendDecoded(in_.substr(p + 1, close - p - 1), true, attribute.value);
          p = close + 1;
        } else {
          size_t value_begin = p;
          while (p < end && !IsSpace(in_[p]) && in_[p] != u'>') ++p;
          AppendDecoded(in_.substr(value_begin, p - value_begin), true, attribute.value);
        }
      } else {
        p = after_name;
      }
      AddAttribute(tag.attributes, std::move(attribute), seen_many);
    }
  }

  static void AddAttribute(std::vector<Attribute>& list, Attribute attribute,
                           std::unordered_set<std::u16string>& seen_many) {
    constexpr size_t kLinearLimit = 16;
    if (list.size() < kLinearLimit) {
      for (const Attribute& a : list) {
        if (EqualsIgnoringAsciiCase(a.name, attribute.name)) return;
      }
    } else {
      if (seen_many.empty()) {
        for (const Attribute& a : list) seen_many.insert(AsciiLower(a.name));
      }
      if (!seen_many.insert(AsciiLower(attribute.name)).second) return;
    }
    list.push_back(std::move(attribute));
  }

  bool ReadStartTag() {
    // A start tag ends at a '>': without one ahead, this is text.
    if (Find(u'>', pos_) == std::u16string_view::npos) return false;
    // Tags that fail are read again from every '<' inside them. Once such reads have cost
    // more than the budget, a tag is looked for only within a bounded stretch of text, so a
    // text made of broken tags is still read in linear time.
    const size_t end = failed_tag_scan_ > failed_tag_scan_budget_
                           ? std::min(in_.size(), pos_ + kTagScanAfterBudget)
                           : in_.size();
    size_t p = pos_ + 1;
    StartTag tag;
    std::u16string_view raw_name = ReadName(p, end);
    if (!ReadAttributes(p, end, tag)) {
      failed_tag_scan_ += p - pos_;
      return false;
    }
    tag.tag = SplitTagName(raw_name);
    pos_ = p;
    InsertStartTag(std::move(tag));
    return true;
  }

  bool ReadEndTag() {
    size_t p = pos_ + 2;
    std::u16string_view raw_name = ReadName(p, in_.size());
    size_t close = Find(u'>', p);
    if (close == std::u16string_view::npos) return false;
    pos_ = close + 1;
    InsertEndTag(SplitTagName(raw_name));
    return true;
  }

  // The text of a raw-text or RCDATA element, up to its end tag (or the end of the input).
  std::u16string ReadRawText(const std::u16string& upper_name, bool decode) {
    const size_t n = in_.size();
    size_t search = pos_;
    size_t text_end = n;
    size_t resume = n;
    while (search < n) {
      size_t lt = in_.find(u"</", search);
      if (lt == std::u16string_view::npos) break;
      size_t p = lt + 2;
      size_t k = 0;
      while (k < upper_name.size() && p + k < n && AsciiUpper(in_[p + k]) == upper_name[k]) ++k;
      size_t after = p + k;
      if (k == upper_name.size() &&
          (after == n || IsSpace(in_[after]) || in_[after] == u'/' || in_[after] == u'>')) {
        text_end = lt;
        size_t close = in_.find(u'>', after);
        resume = close == std::u16string_view::npos ? n : close + 1;
        break;
      }
      search = lt + 2;
    }
    std::u16string text;
    std::u16string_view raw = in_.substr(pos_, text_end - pos_);
    if (decode) {
      AppendDecoded(raw, false, text);
    } else {
      text.assign(raw);
    }
    pos_ = resume;
    return text;
  }

  Element* Current() const { return stack_.back(); }
  size_t Base() const { return fragment_ ? 0 : 1; }

  void StartBody() {
    if (body_started_) return;
    body_started_ = true;
    stack_.resize(1);
    stack_.push_back(doc_.body());
  }

  // Appends to the current element, merging with a text node that ends it.
  void AppendText(Element* parent, std::u16string&& text) {
    if (text.empty()) return;
    const auto& kids = parent->children();
    if (!kids.empty() && kids.back()->kind() == NodeKind::kText) {
      static_cast<CharacterData*>(kids.back())->mutable_data().append(text);
      return;
    }
    parent->AppendChild(doc_.CreateCharacterData(NodeKind::kText, std::move(text)));
  }

  void InsertText(std::u16string&& text) {
    if (!body_started_) {
      if (IsAllSpace(text)) {
        if (head_open_) AppendText(doc_.head(), std::move(text));
        return;
      }
      StartBody();
    }
    if (after_body_) {
      if (IsAllSpace(text)) return;
      after_body_ = false;
    }
    seen_content_ = true;
    AppendText(Current(), std::move(text));
  }

  void InsertOther(NodeKind kind, std::u16string data) {
    Node* node = doc_.CreateCharacterData(kind, std::move(data));
    if (!seen_content_) {
      doc_.AppendToPrologue(node);
    } else if (!body_started_) {
      doc_.head()->AppendChild(node);
    } else {
      Current()->AppendChild(node);
    }
  }

  // Gives HTML, HEAD or BODY the attributes of a repeated start tag that it lacks. The keys
  // of each target are kept for the whole parse, so a page repeating such tags many times
  // costs no more than one tag per attribute.
  void MergeAttributes(Element* target, const std::vector<Attribute>& attributes) {
    std::unordered_set<std::u16string>& keys = merged_keys_[target];
    if (keys.empty()) {
      for (const Attribute& a : target->attributes()) keys.insert(AttributeKey(a.name));
    }
    for (const Attribute& a : attributes) {
      if (keys.insert(AttributeKey(a.name)).second) target->AppendNewAttribute(a.name, a.value);
    }
  }

  // Gives a new element the attributes of its start tag, as SetAttribute would one by one,
  // with an index of the names when there are many.
  static void SetAttributes(Element* element, const std::vector<Attribute>& attributes) {
    constexpr size_t kLinearLimit = 16;
    if (attributes.size() <= kLinearLimit) {
      for (const Attribute& a : attributes) element->SetAttribute(a.name, a.value);
      return;
    }
    std::vector<Attribute> unique;
    std::unordered_map<std::u16string, size_t> position;
    for (const Attribute& a : attributes) {
      auto [it, inserted] = position.emplace(AttributeKey(a.name), unique.size());
      if (inserted) {
        unique.push_back(a);
      } else {
        unique[it->second].value = a.value;
      }
    }
    for (const Attribute& a : unique) element->AppendNewAttribute(a.name, a.value);
  }

  void InsertStartTag(StartTag tag) {
    const TagName& t = tag.tag;
    if (t.Is(u"HTML") || t.Is(u"HEAD") || t.Is(u"BODY")) {
      if (fragment_) return;
      seen_content_ = true;
      if (t.Is(u"HTML")) {
        MergeAttributes(doc_.documentElement(), tag.attributes);
      } else if (t.Is(u"HEAD")) {
        if (!body_started_) {
          MergeAttributes(doc_.head(), tag.attributes);
          head_open_ = true;
        }
      } else {
        MergeAttributes(doc_.body(), tag.attributes);
        StartBody();
      }
      return;
    }
    seen_content_ = true;

    Element* parent;
    if (!body_started_ && (t.flags & kTagHeadContent)) {
      parent = doc_.head();
    } else {
      StartBody();
      if (after_body_) after_body_ = false;
      if (t.prefix.empty()) CloseImpliedBy(t);
      parent = Current();
    }

    Element* element = doc_.CreateElement(t.prefix, t.name);
    SetAttributes(element, tag.attributes);
    parent->AppendChild(element);

    if (t.flags & (kTagRawText | kTagRcData)) {
      std::u16string text = ReadRawText(t.name, (t.flags & kTagRcData) != 0);
      if (!text.empty()) {
        element->AppendChild(doc_.CreateCharacterData(NodeKind::kText, std::move(text)));
      }
      return;
    }
    if (t.flags & kTagVoid) return;
    // A self-closed tag is empty only for elements outside HTML's vocabulary, as in XML.
    if (tag.self_closing && t.flags == 0) return;
    if (parent != Current()) return;  // head content: nothing is left open
    if (stack_.size() < kMaxDepth) {
      stack_.push_back(element);
      return;
    }
    // At the depth limit the element stays empty and its content follows it as siblings. Its
    // own end tag, when it comes, must not close an ancestor of the same name: that would
    // move the rest of the page up, and a page written out and read again would change shape.
    if (!unopened_.empty() && unopened_.back()->parent() != parent) unopened_.clear();
    unopened_.push_back(element);
  }

  // True when `t` ends the latest element started at the depth limit inside the current one.
  bool EndsUnopened(const TagName& t) {
    if (unopened_.empty() || unopened_.back()->parent() != Current() ||
        !t.Matches(*unopened_.back())) {
      return false;
    }
    unopened_.pop_back();
    return true;
  }

  // Index of the nearest open element for which `match` holds, searching down from the top
  // and giving up at an element for which `stop` holds; 0 when none (index 0 is never a
  // candidate since it is the page's HTML or the fragment's context).
  template <typename Match, typename Stop>
  size_t FindOpen(Match match, Stop stop) const {
    for (size_t i = stack_.size() - 1; i > Base(); --i) {
      const Element* e = stack_[i];
      if (match(*e)) return i;
      if (stop(*e)) return 0;
    }
    return 0;
  }

  void PopThrough(size_t index) {
    if (index > Base() && index < stack_.size()) stack_.resize(index);
  }

  static bool IsPlain(const Element& e, std::u16string_view name) {
    return e.prefix().empty() && e.tagName() == name;
  }

  static bool IsScopeBoundary(const Element& e) { return (e.flags() & kTagScopeBoundary) != 0; }

  void ClosePIfOpen() {
    PopThrough(FindOpen([](const Element& e) { return IsPlain(e, u"P"); }, IsScopeBoundary));
  }

  void CloseImpliedBy(const TagName& t) {
    const std::u16string& name = t.name;
    if (name == u"LI") {
      PopThrough(FindOpen([](const Element& e) { return IsPlain(e, u"LI"); },
                          [](const Element& e) {
                            return IsScopeBoundary(e) || IsPlain(e, u"UL") || IsPlain(e, u"OL") ||
                                   IsPlain(e, u"MENU") || IsPlain(e, u"DIR");
                          }));
    } else if (name == u"DT" || name == u"DD") {
      PopThrough(FindOpen(
          [](const Element& e) { return IsPlain(e, u"DT") || IsPlain(e, u"DD"); },
          [](const Element& e) { return IsScopeBoundary(e) || IsPlain(e, u"DL"); }));
    } else if (name == u"TR") {
      PopThrough(FindOpen([](const Element& e) { return IsPlain(e, u"TR"); },
                          [](const Element& e) { return IsPlain(e, u"TABLE"); }));
    } else if (name == u"TD" || name == u"TH") {
      PopThrough(FindOpen(
          [](const Element& e) { return IsPlain(e, u"TD") || IsPlain(e, u"TH"); },
          [](const Element& e) { return IsPlain(e, u"TR") || IsPlain(e, u"TABLE"); }));
    } else if (name == u"THEAD" || name == u"TBODY" || name == u"TFOOT") {
      PopThrough(FindOpen(
          [](const Element& e) {
            return IsPlain(e, u"THEAD") || IsPlain(e, u"TBODY") || IsPlain(e, u"TFOOT");
          },
          [](const Element& e) { return IsPlain(e, u"TABLE"); }));
    } else if (name == u"OPTION" || name == u"OPTGROUP") {
      if (IsPlain(*Current(), u"OPTION") && stack_.size() - 1 > Base()) stack_.pop_back();
      if (name == u"OPTGROUP" && IsPlain(*Current(), u"OPTGROUP") && stack_.size() - 1 > Base()) {
        stack_.pop_back();
      }
    }
    if (t.flags & kTagClosesP) ClosePIfOpen();
    // A heading right inside another heading closes it; tested after P has been closed, so
    // that the tree reads back the same once its end tags are written out.
    if ((t.flags & kTagHeading) && (Current()->flags() & kTagHeading) &&
        stack_.size() - 1 > Base()) {
      stack_.pop_back();
    }
  }

  void InsertEndTag(const TagName& t) {
    if (t.Is(u"BR")) {  // </BR> is read as <BR>, as browsers do
      InsertStartTag(StartTag{t, {}, false});
      return;
    }
    if (t.Is(u"HTML") || t.Is(u"BODY") || t.Is(u"HEAD")) {
      if (fragment_) return;
      if (t.Is(u"HEAD")) {
        head_open_ = false;
      } else if (body_started_) {
        after_body_ = true;
      }
      return;
    }
    if (!body_started_) return;
    if (EndsUnopened(t)) return;
    const bool table_part = (t.flags & kTagTableStructure) != 0;
    PopThrough(FindOpen([&t](const Element& e) { return t.Matches(e); },
                        [table_part](const Element& e) {
                          return table_part ? IsPlain(e, u"TABLE") : IsScopeBoundary(e);
                        }));
  }

  std::u16string_view in_;
  size_t pos_ = 0;
  Document& doc_;
  const bool fragment_;
  std::vector<Element*> stack_;
  const size_t failed_tag_scan_budget_;
  size_t failed_tag_scan_ = 0;  // characters read by start tags that turned out to be text
  // The character searched for lies nowhere in [from, found), and at `found` (npos: none
  // from `from` on).
  struct LastSearch {
    size_t from = std::u16string_view::npos;
    size_t found = std::u16string_view::npos;
  };
  LastSearch last_close_;
  LastSearch last_double_;
  LastSearch last_single_;
  std::unordered_map<Element*, std::unordered_set<std::u16string>> merged_keys_;
  // Elements started at the depth limit, not opened, whose end tags may still come; all are
  // children of one element, the latest last.
  std::vector<Element*> unopened_;
  bool body_started_ = false;
  bool head_open_ = false;     // an explicit HEAD start tag was read and not yet closed
  bool after_body_ = false;    // </BODY> or </HTML> was read; white space there is dropped
  bool seen_content_ = false;  // anything but comments and declarations has been read
};

}  // namespace

void ParseDocument(std::u16string_view html, Document& document) {
  TreeBuilder(html, document, nullptr).Run();
}

void ParseFragment(std::u16string_view html, Element& context) {
  TreeBuilder(html, *context.owner(), &context).Run();
}

}  // namespace korvalis::html
