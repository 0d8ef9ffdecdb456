// An XML text parsed with libxml2 for XPath queries: the text search's INPATH and the
// EXTRACTVALUE and EXTRACT functions of SQL. No network access, no external entities, no
// messages on standard error; the internal entities a document declares are expanded into its
// tree within the bound of entity_expansion.h.
//
// Thread-safety: one object per thread; distinct objects may be used concurrently.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

typedef struct _xmlDoc xmlDoc;
typedef struct _xmlNode xmlNode;

namespace korvalis::db {

class XmlPathDocument {
 public:
  // Throws SqlError "ORA-31011: XML parsing failed" when `xml` is not well-formed or its
  // entities expand past the bound.
  explicit XmlPathDocument(std::string_view xml);
  ~XmlPathDocument();
  XmlPathDocument(const XmlPathDocument&) = delete;
  XmlPathDocument& operator=(const XmlPathDocument&) = delete;

  // What a path selects: nodes in document order, or the value of an expression that does
  // not select nodes (count(...), string(...)).
  struct Selection {
    std::vector<xmlNode*> nodes;  // owned by the document
    bool is_value = false;
    std::string value;
  };
  // `path` evaluated with the document node as its context: `r/a` and `/r/a` select alike.
  // Throws SqlError "ORA-31013: Invalid XPATH expression".
  Selection Select(std::string_view path) const;

  // The text of a node: the concatenated text of an element, the value of an attribute.
  static std::string Text(xmlNode* node);
  // The markup of a node as stored; an attribute gives its value.
  static std::string Markup(xmlNode* node);
  // Whether the node is a text or attribute node, or an element whose children are all text (the
  // document node, which holds an element, is none).
  static bool IsLeaf(xmlNode* node);

 private:
  xmlDoc* doc_ = nullptr;
};

// A path is evaluated in tries of a bounded count of libxml2's operations, each starting afresh,
// until one ends within its count. After a try of `limit` operations that used them all in
// `took`, with `left` until the statement's deadline: the operations of the next try, up to twice
// as many, no more than the rate of the last fits in half the time left; 0 when that is no more
// than `limit`, a try that could go no further, so that no try starts that would end past the
// deadline at half its own rate.
unsigned long NextTryOperations(unsigned long limit, std::chrono::duration<double> took,
                                std::chrono::duration<double> left);

}  // namespace korvalis::db
