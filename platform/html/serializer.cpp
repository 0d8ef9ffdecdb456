#include "platform/html/serializer.h"

#include <utility>
#include <vector>

#include "platform/text/ascii.h"
#include "platform/html/tag_table.h"

namespace korvalis::html {
namespace {

// The reference written for `c`, or nullptr when `c` stands as it is. Text escapes the markup
// characters, a quoted attribute value '&' and its quote; both keep a no-break space visible.
const char16_t* ReferenceFor(char16_t c, bool in_attribute) {
  switch (c) {
    case u'&': return u"&amp;";
    case u'<': return in_attribute ? nullptr : u"&lt;";
    case u'>': return in_attribute ? nullptr : u"&gt;";
    case u'"': return in_attribute ? u"&quot;" : nullptr;
    case u'\u00A0': return u"&nbsp;";
    default: return nullptr;
  }
}

void AppendEscaped(std::u16string_view text, bool in_attribute, std::u16string& out) {
  size_t plain_begin = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t* replacement = ReferenceFor(text[i], in_attribute);
    if (replacement == nullptr) continue;
    out.append(text.substr(plain_begin, i - plain_begin));
    out.append(replacement);
    plain_begin = i + 1;
  }
  out.append(text.substr(plain_begin));
}

bool IsPlainWord(std::u16string_view value) {
  for (char16_t c : value) {
    if (!IsAsciiAlnum(c) && c != u'-' && c != u'_' && c != u'.' && c != u'#') return false;
  }
  return true;
}

// `before_equals`: the next attribute's name begins with '=', so an empty value must be
// written out, or the next name would read as this attribute's value.
void AppendAttribute(const Attribute& a, bool before_equals, std::u16string& out) {
  out.push_back(u' ');
  out.append(a.name);
  if (a.value.empty()) {
    if (before_equals) out.append(u"=\"\"");
    return;
  }
  out.push_back(u'=');
  if (IsPlainWord(a.value)) {
    out.append(a.value);
    return;
  }
  out.push_back(u'"');
  AppendEscaped(a.value, true, out);
  out.push_back(u'"');
}

void AppendQualifiedName(const Element& e, std::u16string& out) {
  if (!e.prefix().empty()) {
    out.append(e.prefix());
    out.push_back(u':');
  }
  out.append(e.tagName());
}

void AppendStartTag(const Element& e, std::u16string& out) {
  out.push_back(u'<');
  AppendQualifiedName(e, out);
  const std::vector<Attribute>& attributes = e.attributes();
  for (size_t i = 0; i < attributes.size(); ++i) {
    const bool before_equals =
        i + 1 < attributes.size() && attributes[i + 1].name.starts_with(u'=');
    AppendAttribute(attributes[i], before_equals, out);
  }
  out.push_back(u'>');
}

void AppendEndTag(const Element& e, std::u16string& out) {
  out.append(u"</");
  AppendQualifiedName(e, out);
  out.push_back(u'>');
}

void AppendLeaf(const CharacterData& node, std::u16string& out) {
  switch (node.kind()) {
    case NodeKind::kText: {
      const Element* parent = node.parent();
      if (parent != nullptr && (parent->flags() & kTagRawText)) {
        out.append(node.data());
      } else {
        AppendEscaped(node.data(), false, out);
      }
      break;
    }
    case NodeKind::kComment:
      out.append(u"<!--").append(node.data()).append(u"-->");
      break;
    case NodeKind::kDeclaration:
      out.append(u"<!").append(node.data()).push_back(u'>');
      break;
    case NodeKind::kProcessingInstruction:
      out.append(u"<?").append(node.data()).push_back(u'>');
      break;
    case NodeKind::kElement:
      break;
  }
}

// Writes the children of `root` (and, when `with_root`, its tags around them) iteratively.
void AppendTree(const Element& root, bool with_root, std::u16string& out) {
  if (with_root) {
    AppendStartTag(root, out);
    if (root.IsVoid()) return;
  }
  std::vector<std::pair<const Element*, size_t>> stack;
  stack.emplace_back(&root, 0);
  while (!stack.empty()) {
    auto& [element, next] = stack.back();
    if (next == element->children().size()) {
      if (stack.size() > 1 || with_root) AppendEndTag(*element, out);
      stack.pop_back();
      continue;
    }
    const Node* child = element->children()[next++];
    if (!child->IsElement()) {
      AppendLeaf(static_cast<const CharacterData&>(*child), out);
      continue;
    }
    const auto* child_element = static_cast<const Element*>(child);
    AppendStartTag(*child_element, out);
    if (!child_element->IsVoid()) stack.emplace_back(child_element, 0);
  }
}

}  // namespace

void AppendOuterHtml(const Node& node, std::u16string& out) {
  if (node.IsElement()) {
    AppendTree(static_cast<const Element&>(node), true, out);
  } else {
    AppendLeaf(static_cast<const CharacterData&>(node), out);
  }
}

void AppendInnerHtml(const Element& element, std::u16string& out) {
  AppendTree(element, false, out);
}

}  // namespace korvalis::html
