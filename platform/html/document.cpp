#include "platform/html/document.h"

#include <algorithm>
#include <utility>

#include "platform/text/ascii.h"
#include "platform/html/parser.h"
#include "platform/html/tag_table.h"

namespace korvalis::html {
namespace {

// Calls `visit` for `root` and every element inside it, in document order, without recursion.
template <typename Visit>
void ForEachElement(Element* root, Visit visit) {
  std::vector<std::pair<Element*, size_t>> stack;
  if (!visit(root)) return;
  stack.emplace_back(root, 0);
  while (!stack.empty()) {
    auto& [element, next] = stack.back();
    if (next == element->children().size()) {
      stack.pop_back();
      continue;
    }
    Node* child = element->children()[next++];
    if (!child->IsElement()) continue;
    auto* child_element = static_cast<Element*>(child);
    if (!visit(child_element)) return;
    stack.emplace_back(child_element, 0);
  }
}

// The chain of elements from `node` up to the top, `node` first.
std::vector<Element*> AncestorsOf(Element* node) {
  std::vector<Element*> chain;
  for (Element* e = node; e != nullptr; e = e->parent()) chain.push_back(e);
  return chain;
}

}  // namespace

Document::Document() { Reset(); }

void Document::Reset() {
  prologue_.clear();
  elements_.clear();
  character_data_.clear();
  html_ = CreateElement(std::u16string(), u"HTML");
  head_ = CreateElement(std::u16string(), u"HEAD");
  body_ = CreateElement(std::u16string(), u"BODY");
  html_->AppendChild(head_);
  html_->AppendChild(body_);
}

void Document::Load(std::u16string_view html) {
  Reset();
  ParseDocument(html, *this);
}

Element* Document::CreateElement(std::u16string_view qualified_name) {
  const std::u16string upper = AsciiUpper(qualified_name);
  size_t colon = upper.find(u':');
  if (colon != std::u16string::npos && colon > 0 && colon + 1 < upper.size()) {
    return CreateElement(upper.substr(0, colon), upper.substr(colon + 1));
  }
  return CreateElement(std::u16string(), std::move(upper));
}

Element* Document::CreateElement(std::u16string prefix, std::u16string name) {
  const uint32_t flags = prefix.empty() ? TagFlags(name) : 0;
  return &elements_.emplace_back(this, std::move(prefix), std::move(name), flags);
}

CharacterData* Document::CreateCharacterData(NodeKind kind, std::u16string data) {
  return &character_data_.emplace_back(kind, this, std::move(data));
}

std::vector<Element*> Document::All() const {
  std::vector<Element*> all;
  ForEachElement(html_, [&all](Element* e) {
    all.push_back(e);
    return true;
  });
  return all;
}

Element* Document::GetElementById(std::u16string_view id) const {
  Element* found = nullptr;
  ForEachElement(html_, [&](Element* e) {
    const std::u16string* value = e->FindAttribute(u"id");
    if (value != nullptr && *value == id) found = e;
    return found == nullptr;
  });
  return found;
}

std::vector<Element*> Document::GetElementsByName(std::u16string_view name) const {
  std::vector<Element*> found;
  ForEachElement(html_, [&](Element* e) {
    const std::u16string* value = e->FindAttribute(u"name");
    if (value != nullptr && *value == name) found.push_back(e);
    return true;
  });
  return found;
}

std::vector<Element*> Document::GetElementsByTagName(std::u16string_view tag_name) const {
  std::vector<Element*> found;
  const bool any = tag_name == u"*";
  ForEachElement(html_, [&](Element* e) {
    if (any || EqualsIgnoringAsciiCase(e->tagName(), tag_name)) found.push_back(e);
    return true;
  });
  return found;
}

std::vector<Element*> Document::StyleSheets() const {
  std::vector<Element*> sheets;
  ForEachElement(html_, [&](Element* e) {
    if (e->prefix().empty() && e->tagName() == u"STYLE") sheets.push_back(e);
    return true;
  });
  return sheets;
}

Element* Document::StyleSheetById(std::u16string_view id) const {
  for (Element* sheet : StyleSheets()) {
    const std::u16string* value = sheet->FindAttribute(u"id");
    if (value != nullptr && *value == id) return sheet;
  }
  return nullptr;
}

Element* Document::CreateStyleSheet() {
  if (StyleSheets().size() >= kMaxStyleSheets) return nullptr;
  Element* sheet = CreateElement(std::u16string(), u"STYLE");
  head_->AppendChild(sheet);
  return sheet;
}

std::u16string Document::StyleSheetText(const Element& sheet) {
  std::u16string text;
  for (const Node* child : sheet.children()) {
    if (child->kind() == NodeKind::kText) text += static_cast<const CharacterData*>(child)->data();
  }
  return text;
}

void Document::SetStyleSheetText(Element& sheet, std::u16string_view css) {
  sheet.SetInnerText(css);
}

bool Document::RemoveBetween(Point begin, Point end) {
  if (begin.container == nullptr || end.container == nullptr ||
      begin.container->owner() != this || end.container->owner() != this ||
      begin.offset > begin.container->children().size() ||
      end.offset > end.container->children().size()) {
    return false;
  }
  if (begin.container == end.container) {
    if (begin.offset > end.offset) return false;
    begin.container->RemoveChildren(begin.offset, end.offset);
    return true;
  }

  // Find the deepest common ancestor and, below it, the child of it on each side.
  std::vector<Element*> begin_chain = AncestorsOf(begin.container);
  std::vector<Element*> end_chain = AncestorsOf(end.container);
  Element* common = nullptr;
  while (!begin_chain.empty() && !end_chain.empty() && begin_chain.back() == end_chain.back()) {
    common = begin_chain.back();
    begin_chain.pop_back();
    end_chain.pop_back();
  }
  if (common == nullptr) return false;  // in different trees

  // The position of each side within `common`: the index of its branch child, or the point's
  // own offset when the point lies in `common` itself. A branch covers part of its child, so
  // whole removal in `common` starts after it (begin side) or stops before it (end side).
  const size_t begin_index =
      begin_chain.empty() ? begin.offset : common->IndexOf(begin_chain.back());
  const size_t end_index = end_chain.empty() ? end.offset : common->IndexOf(end_chain.back());
  if (begin_index > end_index || (begin_index == end_index && !begin_chain.empty())) {
    return false;  // `end` precedes `begin`
  }

  // Begin side: from the point to the end of each partly covered element, walking up.
  if (!begin_chain.empty()) {
    begin.container->RemoveChildren(begin.offset, begin.container->children().size());
    for (size_t i = 0; i + 1 < begin_chain.size(); ++i) {
      Element* upper = begin_chain[i + 1];
      upper->RemoveChildren(upper->IndexOf(begin_chain[i]) + 1, upper->children().size());
    }
  }
  // End side: from the start of each partly covered element to the point, walking up.
  if (!end_chain.empty()) {
    end.container->RemoveChildren(0, end.offset);
    for (size_t i = 0; i + 1 < end_chain.size(); ++i) {
      Element* upper = end_chain[i + 1];
      upper->RemoveChildren(0, upper->IndexOf(end_chain[i]));
    }
  }
  // Whole children of `common` between the two sides.
  const size_t first = begin_chain.empty() ? begin_index : begin_index + 1;
  common->RemoveChildren(first, end_index);
  return true;
}

}  // namespace korvalis::html
