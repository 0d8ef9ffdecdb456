#include "platform/html/node.h"

#include <algorithm>
#include <utility>

#include "platform/text/ascii.h"
#include "platform/html/document.h"
#include "platform/html/parser.h"
#include "platform/html/serializer.h"
#include "platform/html/tag_table.h"

namespace korvalis::html {
namespace {

bool IsCollapsibleSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// "className" is how scripts name the class attribute.
std::u16string_view CanonicalAttributeName(std::u16string_view name) {
  if (EqualsIgnoringAsciiCase(name, u"classname")) return u"class";
  return name;
}

// Collects rendered text: white space collapses to one blank, line breaks are kept as given,
// and blanks next to a line break or at either end are dropped.
class TextCollector {
 public:
  void AddText(std::u16string_view text, bool preformatted) {
    for (char16_t c : text) {
      if (!preformatted && IsCollapsibleSpace(c)) {
        pending_space_ = true;
        continue;
      }
      FlushSpace();
      out_.push_back(c);
    }
  }
  void AddLineBreak() {
    pending_space_ = false;
    out_.append(u"\r\n");
  }
  // A block begins: it starts on a new line unless the text already does.
  void AddBlockBoundary() {
    pending_space_ = false;
    if (!out_.empty() && !EndsWithLineBreak()) out_.append(u"\r\n");
  }
  std::u16string Take() {
    while (EndsWithLineBreak()) out_.resize(out_.size() - 2);
    return std::move(out_);
  }

 private:
  bool EndsWithLineBreak() const {
    return out_.size() >= 2 && out_[out_.size() - 2] == u'\r' && out_.back() == u'\n';
  }
  void FlushSpace() {
    if (pending_space_ && !out_.empty() && !EndsWithLineBreak()) out_.push_back(u' ');
    pending_space_ = false;
  }
  std::u16string out_;
  bool pending_space_ = false;
};

}  // namespace

void Node::Remove() {
  if (parent_ == nullptr) return;
  const size_t index = parent_->IndexOf(this);
  parent_->RemoveChildren(index, index + 1);
}

std::u16string Element::QualifiedName() const {
  if (prefix_.empty()) return name_;
  return prefix_ + u":" + name_;
}

Attribute* Element::FindAttributeEntry(std::u16string_view name) {
  name = CanonicalAttributeName(name);
  for (Attribute& a : attributes_) {
    if (EqualsIgnoringAsciiCase(a.name, name)) return &a;
  }
  return nullptr;
}

const std::u16string* Element::FindAttribute(std::u16string_view name) const {
  const Attribute* a = const_cast<Element*>(this)->FindAttributeEntry(name);
  return a == nullptr ? nullptr : &a->value;
}

std::u16string Element::GetAttribute(std::u16string_view name) const {
  const std::u16string* value = FindAttribute(name);
  return value == nullptr ? std::u16string() : *value;
}

void Element::SetAttribute(std::u16string_view name, std::u16string_view value) {
  if (Attribute* a = FindAttributeEntry(name)) {
    a->value.assign(value);
    return;
  }
  AppendNewAttribute(name, value);
}

void Element::AppendNewAttribute(std::u16string_view name, std::u16string_view value) {
  attributes_.push_back(Attribute{std::u16string(CanonicalAttributeName(name)),
                                  std::u16string(value)});
}

std::u16string AttributeKey(std::u16string_view name) {
  return AsciiLower(CanonicalAttributeName(name));
}

bool Element::RemoveAttribute(std::u16string_view name) {
  Attribute* a = FindAttributeEntry(name);
  if (a == nullptr) return false;
  attributes_.erase(attributes_.begin() + (a - attributes_.data()));
  return true;
}

void Element::AppendChild(Node* child) { InsertChild(children_.size(), child); }

void Element::InsertChild(size_t index, Node* child) {
  child->Remove();
  if (index > children_.size()) index = children_.size();
  children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(index), child);
  child->parent_ = this;
}

void Element::RemoveChildren(size_t begin, size_t end) {
  end = std::min(end, children_.size());
  if (begin >= end) return;
  for (size_t i = begin; i < end; ++i) children_[i]->parent_ = nullptr;
  children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(begin),
                  children_.begin() + static_cast<std::ptrdiff_t>(end));
}

size_t Element::IndexOf(const Node* child) const {
  auto it = std::find(children_.begin(), children_.end(), child);
  return static_cast<size_t>(it - children_.begin());
}

bool Element::Contains(const Node* node) const {
  for (const Node* n = node; n != nullptr; n = n->parent()) {
    if (n == this) return true;
  }
  return false;
}

std::u16string Element::InnerText() const {
  TextCollector text;
  struct Frame {
    const Element* element;
    size_t next;
    bool preformatted;
  };
  std::vector<Frame> stack;
  const bool pre = tagName() == u"PRE" || tagName() == u"TEXTAREA";
  stack.push_back({this, 0, pre});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.element->children().size()) {
      if (stack.size() > 1 && (frame.element->flags() & kTagBlock)) text.AddBlockBoundary();
      stack.pop_back();
      continue;
    }
    const Node* child = frame.element->children()[frame.next++];
    const bool preformatted = frame.preformatted;
    if (child->kind() == NodeKind::kText) {
      text.AddText(static_cast<const CharacterData*>(child)->data(), preformatted);
      continue;
    }
    if (!child->IsElement()) continue;
    const auto* e = static_cast<const Element*>(child);
    if (e->prefix().empty()) {
      if (e->tagName() == u"BR") {
        text.AddLineBreak();
        continue;
      }
      if (e->tagName() == u"STYLE" || e->tagName() == u"SCRIPT") continue;
    }
    if (e->flags() & kTagBlock) text.AddBlockBoundary();
    const bool child_pre = preformatted || (e->prefix().empty() && (e->tagName() == u"PRE" ||
                                                                    e->tagName() == u"TEXTAREA"));
    stack.push_back({e, 0, child_pre});
  }
  return text.Take();
}

void Element::SetInnerText(std::u16string_view text) {
  RemoveChildren(0, children_.size());
  Document* doc = owner();
  if (flags_ & (kTagRawText | kTagRcData)) {
    if (!text.empty()) AppendChild(doc->CreateCharacterData(NodeKind::kText, std::u16string(text)));
    return;
  }
  size_t begin = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    const bool at_end = i == text.size();
    if (!at_end && text[i] != u'\r' && text[i] != u'\n') continue;
    if (i > begin) {
      AppendChild(doc->CreateCharacterData(NodeKind::kText,
                                           std::u16string(text.substr(begin, i - begin))));
    }
    if (at_end) break;
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    AppendChild(doc->CreateElement(std::u16string(), u"BR"));
    begin = i + 1;
  }
}

std::u16string Element::InnerHtml() const {
  std::u16string out;
  AppendInnerHtml(*this, out);
  return out;
}

std::u16string Element::OuterHtml() const {
  std::u16string out;
  AppendOuterHtml(*this, out);
  return out;
}

bool Element::SetInnerHtml(std::u16string_view html) {
  if (IsVoid()) return false;
  if (flags_ & (kTagRawText | kTagRcData)) {
    SetInnerText(html);
    return true;
  }
  RemoveChildren(0, children_.size());
  ParseFragment(html, *this);
  return true;
}

bool Element::SetOuterHtml(std::u16string_view html) {
  Element* parent = this->parent();
  Document* doc = owner();
  if (parent == nullptr || this == doc->documentElement() || this == doc->head() ||
      this == doc->body()) {
    return false;
  }
  // Parse in a detached stand-in for the parent, so the parent's content rules apply.
  Element* holder = doc->CreateElement(parent->prefix(), parent->tagName());
  ParseFragment(html, *holder);
  size_t index = parent->IndexOf(this);
  std::vector<Node*> nodes = holder->children();
  holder->RemoveChildren(0, nodes.size());
  Remove();
  for (Node* node : nodes) parent->InsertChild(index++, node);
  return true;
}

}  // namespace korvalis::html
