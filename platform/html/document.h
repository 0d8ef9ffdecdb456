// An HTML document: the tree of one page as its editor wrote it, with the queries and edits
// that the record store, the QC marker and the report generators make on it.
//
// After any load the document element is HTML and holds HEAD and BODY. Nodes that precede
// the document element in the text (a document type, a leading comment) are kept in the
// prologue and are not part of the document element's outer HTML.
//
// Collections are snapshots in document order: editing the document does not change a
// collection already taken, and removed nodes stay valid until the document is destroyed or
// loaded again.
//
// Thread-safety: one thread at a time per document; distinct documents are independent.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/html/node.h"

namespace korvalis::html {

class Document {
 public:
  // The most style sheets a document holds; creating another one fails.
  static constexpr size_t kMaxStyleSheets = 31;

  // A position between two children of `container`: before the child at `offset`, or at the
  // end when `offset` equals the child count.
  struct Point {
    Element* container;
    size_t offset;
  };

  // The empty document: HTML holding HEAD and BODY.
  Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Replaces the whole content with the parse of `html`. Never fails: malformed markup is
  // repaired the way browsers do, and no text is dropped. Invalidates every node of the
  // previous content.
  void Load(std::u16string_view html);

  Element* documentElement() const { return html_; }
  Element* head() const { return head_; }
  Element* body() const { return body_; }
  const std::vector<Node*>& prologue() const { return prologue_; }
  void AppendToPrologue(Node* node) { prologue_.push_back(node); }

  // A new detached element; `qualified_name` may carry a prefix ("CUSTOMTAG:LABEL") and is
  // upper-cased.
  Element* CreateElement(std::u16string_view qualified_name);
  // Precondition: `prefix` and `name` are upper case.
  Element* CreateElement(std::u16string prefix, std::u16string name);
  CharacterData* CreateCharacterData(NodeKind kind, std::u16string data);

  // Every element of the document element, itself included, in document order.
  std::vector<Element*> All() const;
  // The first element whose id is `id`, or null.
  Element* GetElementById(std::u16string_view id) const;
  // The elements whose name attribute is `name`.
  std::vector<Element*> GetElementsByName(std::u16string_view name) const;
  // The elements whose tag name (without prefix) equals `tag_name` without regard to case;
  // "*" gives all elements.
  std::vector<Element*> GetElementsByTagName(std::u16string_view tag_name) const;

  // Style sheets are the STYLE elements in document order; a sheet's text is the element's
  // content and its id is the element's id.
  std::vector<Element*> StyleSheets() const;
  Element* StyleSheetById(std::u16string_view id) const;
  // Appends an empty STYLE element to HEAD; null when the document already holds
  // kMaxStyleSheets sheets.
  Element* CreateStyleSheet();
  static std::u16string StyleSheetText(const Element& sheet);
  static void SetStyleSheetText(Element& sheet, std::u16string_view css);

  // Removes everything that lies between the two points: whole nodes between them, and the
  // parts of partly covered elements that fall inside (the elements themselves stay).
  // Returns false, changing nothing, when a point is invalid or `end` precedes `begin`.
  bool RemoveBetween(Point begin, Point end);

 private:
  void Reset();

  std::deque<Element> elements_;
  std::deque<CharacterData> character_data_;
  std::vector<Node*> prologue_;
  Element* html_ = nullptr;
  Element* head_ = nullptr;
  Element* body_ = nullptr;
};

}  // namespace korvalis::html

// The platform's names for a document and its elements, as the system's code uses them.
using IHTMLDocument2 = korvalis::html::Document;
using IHTMLElement = korvalis::html::Element;
