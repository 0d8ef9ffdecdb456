// CHISAnswer: the reading of one answer of a HIS component (foundation/suite/suite_interfaces.h:
// IHISPatientInfo, IHISClinicInfo, IHISDepartment, IHISHospital). Every caller that takes data
// from a HIS answer reads it through this class, so that all of them treat a damaged answer
// alike.
//
// The answer's UTF-16 text is parsed from memory once, at construction. An answer that does
// not parse, or has no document element (an empty text, a declaration alone), has no root:
// it yields no data and never fails. An answer may be indented or carry comments and
// processing instructions between its elements: walk it with the element functions of
// foundation/xml/dom_elements.h, which look at element children only, so that the n-th child of
// an element is its n-th element child.
//
// Thread-safety: an object and the nodes it hands out belong to one thread; the nodes live as
// long as the object.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/xml/xml_parser.h"
#include "platform/com/bstr.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class DOMElement;
XERCES_CPP_NAMESPACE_END

class CHISAnswer {
 public:
  explicit CHISAnswer(std::u16string text);
  // The characters of a BSTR; a null BSTR is the empty text.
  explicit CHISAnswer(BSTR text);
  CHISAnswer(const CHISAnswer&) = delete;
  CHISAnswer& operator=(const CHISAnswer&) = delete;

  // The parsed document, for callers that copy nodes out of it; null when the answer has no
  // root.
  const xercesc::DOMDocument* GetDocument() const { return root_ != nullptr ? document_ : nullptr; }
  // The document element; null when the answer does not parse or has none.
  const xercesc::DOMElement* GetRoot() const { return root_; }
  // The first element named `name` in document order at any depth, the root included; null
  // when there is none.
  const xercesc::DOMElement* FindFirst(std::u16string_view name) const;
  // The number of elements named `name` at any depth, the root included.
  std::size_t Count(std::u16string_view name) const;
  // Every element named `name` at any depth, the root included, in document order.
  std::vector<const xercesc::DOMElement*> FindAll(std::u16string_view name) const;

 private:
  // Calls `visit` with each element named `name` in document order until it returns false.
  template <class Visit>
  void ForEachNamed(std::u16string_view name, Visit visit) const;

  std::u16string text_;
  CXmlStringParser parser_;  // borrows text_
  const xercesc::DOMDocument* document_ = nullptr;
  const xercesc::DOMElement* root_ = nullptr;
};
