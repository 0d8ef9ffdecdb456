// The nodes of an HTML document tree: elements, and the character data between them (text,
// comments, declarations such as <!DOCTYPE> or <![if ...]>, processing instructions such as
// <?xml:namespace ...>).
//
// Every node belongs to one Document, which allocates it and keeps it alive until the
// document itself is destroyed or loaded anew; a node removed from the tree stays valid, so
// pointers taken from a collection remain safe while the caller edits the document.
//
// Thread-safety: a document and its nodes belong to one thread at a time; distinct documents
// are independent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/html/tag_table.h"

namespace korvalis::html {

class Document;
class Element;

enum class NodeKind : uint8_t { kElement, kText, kComment, kDeclaration, kProcessingInstruction };

class Node {
 public:
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  NodeKind kind() const { return kind_; }
  bool IsElement() const { return kind_ == NodeKind::kElement; }
  Element* parent() const { return parent_; }
  Document* owner() const { return owner_; }

  // Takes the node out of its parent (with everything it contains); no-op without a parent.
  void Remove();

 protected:
  Node(NodeKind kind, Document* owner) : kind_(kind), owner_(owner) {}
  ~Node() = default;

 private:
  friend class Element;
  NodeKind kind_;
  Element* parent_ = nullptr;
  Document* owner_;
};

// Text, comment, declaration or processing instruction: `data` is what lies between the
// delimiters (<!-- -->, <! >, <? >); for text it is the decoded characters.
class CharacterData final : public Node {
 public:
  CharacterData(NodeKind kind, Document* owner, std::u16string data)
      : Node(kind, owner), data_(std::move(data)) {}

  const std::u16string& data() const { return data_; }
  std::u16string& mutable_data() { return data_; }

 private:
  std::u16string data_;
};

struct Attribute {
  std::u16string name;   // as written, first occurrence wins
  std::u16string value;  // decoded; empty for an attribute written without a value
};

class Element final : public Node {
 public:
  // Precondition: `prefix` and `name` are upper case; `prefix` is empty for plain HTML.
  Element(Document* owner, std::u16string prefix, std::u16string name, uint32_t flags)
      : Node(NodeKind::kElement, owner), prefix_(std::move(prefix)), name_(std::move(name)),
        flags_(flags) {}

  // The tag name in upper case without its namespace prefix: "TD", "LABEL".
  const std::u16string& tagName() const { return name_; }
  // The namespace prefix in upper case ("CUSTOMTAG"), empty for plain HTML elements.
  const std::u16string& prefix() const { return prefix_; }
  // The name as serialised: "TD", "CUSTOMTAG:LABEL".
  std::u16string QualifiedName() const;
  // TagFlag bits; 0 for prefixed and unknown elements.
  uint32_t flags() const { return flags_; }
  bool IsVoid() const { return (flags_ & kTagVoid) != 0; }

  // Attributes. Names are compared without regard to ASCII case, and "className" names the
  // class attribute.
  const std::vector<Attribute>& attributes() const { return attributes_; }
  const std::u16string* FindAttribute(std::u16string_view name) const;
  std::u16string GetAttribute(std::u16string_view name) const;  // empty when absent
  bool HasAttribute(std::u16string_view name) const { return FindAttribute(name) != nullptr; }
  void SetAttribute(std::u16string_view name, std::u16string_view value);
  // Appends an attribute without looking for one of the same name, for builders that keep
  // their own index of the names (see AttributeKey).
  // Precondition: the element has no attribute whose AttributeKey equals that of `name`.
  void AppendNewAttribute(std::u16string_view name, std::u16string_view value);
  bool RemoveAttribute(std::u16string_view name);
  std::u16string id() const { return GetAttribute(u"id"); }

  // Children in document order.
  const std::vector<Node*>& children() const { return children_; }
  void AppendChild(Node* child);
  // Precondition: index <= children().size().
  void InsertChild(size_t index, Node* child);
  // Removes the children in [begin, end), clamped to the child count.
  void RemoveChildren(size_t begin, size_t end);
  size_t IndexOf(const Node* child) const;  // children().size() when not a child

  // The rendered text: text of the descendants with white space collapsed, "\r\n" for BR and
  // between blocks; STYLE and SCRIPT content and comments left out.
  std::u16string InnerText() const;
  // Replaces the content with the text; line breaks become BR (raw text elements keep them).
  void SetInnerText(std::u16string_view text);

  std::u16string InnerHtml() const;
  std::u16string OuterHtml() const;
  // Parses the markup in the context of this element and makes it the content.
  // Returns false (and changes nothing) for void elements.
  bool SetInnerHtml(std::u16string_view html);
  // Parses the markup in the context of the parent and puts it in place of this element.
  // Returns false (and changes nothing) for HTML, HEAD, BODY and detached elements.
  bool SetOuterHtml(std::u16string_view html);

  // True when `node` is this element or lies inside it.
  bool Contains(const Node* node) const;

 private:
  Attribute* FindAttributeEntry(std::u16string_view name);

  std::u16string prefix_;
  std::u16string name_;
  uint32_t flags_;
  std::vector<Attribute> attributes_;
  std::vector<Node*> children_;
};

// The key under which an element tells its attributes apart: the name in lower case, with
// "classname" meaning the class attribute. Two names name one attribute when their keys
// are equal.
std::u16string AttributeKey(std::u16string_view name);

}  // namespace korvalis::html
