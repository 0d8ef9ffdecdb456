// CXmlDocument and CXmlNode: the document wrappers through which method bodies open an
// argument or a stored document, walk to children by name, read and write texts and
// attributes, add elements and paste fragments, and take markup back as text.
//
// A document is loaded at construction (an empty text gives the default document, a `root`
// element and nothing else; a text that does not parse leaves no document element, which
// GetRootNode reports as "无效XML!"). Every line feed and carriage return is removed from a
// text before it is loaded, inside values too. White-space-only text nodes are dropped.
//
// A read-only document guarantees that reads never add missing elements (GetChild) and that
// texts and attributes are not changed; AppendChild and the elements AppendXml pastes are
// still added.
//
// A CXmlNode is a copyable handle. An empty handle (a missing child of a read-only
// document) makes every guarded operation throw "无效XML节点!". A handle keeps the nodes it
// refers to alive, also after the document is reloaded or destroyed; its read-only rule is
// that of the document it was handed out by, as last loaded.
//
// Thread-safety: a document and its nodes belong to one thread.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/com/bstr.h"
#include "platform/xml/dom.h"

class CXmlDocument;

class CXmlNode {
 public:
  // An empty handle bound to the document.
  explicit CXmlNode(CXmlDocument* owner);
  CXmlNode(CXmlDocument* owner, korvalis::xml::Node node);
  CXmlNode(const CXmlNode&) = default;
  CXmlNode& operator=(const CXmlNode&) = default;
  ~CXmlNode();

  // Throws CEMRException "无效XML节点!" for an empty handle.
  void CheckValid() const;
  bool IsEmpty() const { return node_.IsNull(); }

  std::u16string GetName() const;
  // For an element, the text of the element and all its descendants joined.
  std::u16string GetText() const;
  // Replace an element's children by the text (a null pointer is the empty text). Nothing
  // on a read-only document.
  void SetText(const char16_t* text);
  void SetText(const std::u16string& text);
  void PutText(const std::u16string& text);

  // The node's markup; the empty text for an empty handle. Not guarded.
  std::u16string GetXml() const;
  std::u16string GetRawXml() const;
  // The markup without the outer tags: everything after the first ">" and before the last "<".
  std::u16string GetInnerXml() const;

  // Name and value of every attribute of an element, in order. Not guarded.
  std::vector<std::pair<std::u16string, std::u16string>> GetAttributes() const;
  // The empty text when the attribute is missing.
  std::u16string GetAttribute(const std::u16string& name) const;
  // Nothing for an empty name, a node that is not an element, or a read-only document.
  void SetAttribute(const std::u16string& name, const std::u16string& value);

  // Appends an element with the text (set only when not empty) and answers it; an empty
  // handle when the tag is not a valid element name. Appends on read-only documents too.
  CXmlNode AppendChild(const std::u16string& tag, const std::u16string& text);
  // All descendant elements with the tag ("*" for all), in document order; none for a node
  // that is not an element.
  std::vector<CXmlNode> GetElementsByTagName(const std::u16string& tag) const;
  // The child node of any type at the index; an empty handle when out of range or when
  // this node is not an element.
  CXmlNode GetChildAt(long index) const;
  // The first child element named by the tag (or the first node a path selects). When
  // there is none: on a writable document a new empty element of that name is appended and
  // answered, on a read-only document an empty handle.
  CXmlNode GetChild(const std::u16string& tag);
  // With a tag: the descendant elements of that tag, at any depth (0 for a node that is not
  // an element). With an empty tag: the child nodes of any type.
  int GetChildCount(const std::u16string& tag) const;

  // Copies `source` under `target`: an element as an exact deep copy appended as the last
  // child; any other node by setting the target's text to the source's text (which
  // replaces the target's content). Nothing for an empty source.
  static void AppendCopy(const CXmlNode& source, CXmlNode& target);
  // Pastes a fragment under this node: the empty text adds nothing; a fragment of text
  // alone (no markup but entities) becomes this node's text, replacing its children;
  // otherwise exact copies of all its nodes (elements, text, comments, CDATA sections and
  // processing instructions, in order) are appended. Throws CEMRException
  // "无效XML!" when the fragment is not well formed. Answers true.
  bool AppendXml(const std::u16string& fragment);

 private:
  bool IsReadOnly() const { return read_only_ != nullptr && *read_only_; }

  korvalis::xml::Node node_;
  std::shared_ptr<const bool> read_only_;  // the flag of the document that handed it out
  std::u16string error_;
};

class CXmlDocument {
 public:
  // The default document "<?xml version="1.0" encoding="UTF-16"?><root></root>", writable.
  CXmlDocument();
  // `start_com` is accepted for the callers' sake: no per-thread start-up is needed here.
  // Never throws on a text that does not load; GetRootNode reports it.
  CXmlDocument(const std::u16string& xml, bool start_com, bool read_only);
  CXmlDocument(const char16_t* xml, bool start_com, bool read_only);
  // Takes ownership of the BSTR and frees it, whether the text loads or not. A null BSTR is
  // the empty text. Pass only a BSTR this code owns, never a borrowed argument.
  CXmlDocument(BSTR xml, bool start_com, bool read_only);
  ~CXmlDocument();
  CXmlDocument(const CXmlDocument&) = delete;
  CXmlDocument& operator=(const CXmlDocument&) = delete;

  // Replaces the document and its read-only rule. True when the text parsed and has a
  // document element.
  bool Load(const std::u16string& xml, bool read_only);
  bool HasRoot() const;
  // The document element, whatever its name (`name` is not compared). Throws CEMRException
  // "无效XML!" when there is none.
  CXmlNode GetRootNode(const std::u16string& name = std::u16string());
  CXmlNode GetDocumentElement();
  // The document as text: the declaration <?xml version="1.0" encoding="UTF-16"?> followed by
  // the document element's markup. Throws CEMRException "无效XML!" when there is none.
  std::u16string GetXml();

 private:
  friend class CXmlNode;

  korvalis::xml::Document document_;
  std::shared_ptr<bool> read_only_;
};
