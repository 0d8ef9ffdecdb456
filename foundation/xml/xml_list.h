// The records of a list argument: the elements of one name, found at any depth below a
// document or an element in document order, each read as the values of named attributes and
// its text. The name of the list's own root, and every other element or attribute, does not
// matter.
//
//   <root><item patient_id="P1" event_no="E1"/><item patient_id="P2" event_no="E1"/></root>
//
// Thread-safety: stateless functions; the parsed nodes belong to the calling thread.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>
#include <xercesc/util/XercesDefs.hpp>

#include "platform/com/bstr.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMNode;
XERCES_CPP_NAMESPACE_END

namespace korvalis {

// One element of a list.
struct ListElement {
  // The values of the requested attributes, in the order requested; an absent one is empty.
  std::vector<std::u16string> attributes;
  // The text content of the element and all its descendants.
  std::u16string text;
};

// The elements named `tag` below `scope` (a document or an element), at any depth, in
// document order.
std::vector<ListElement> ReadListElements(const xercesc::DOMNode* scope, std::u16string_view tag,
                                          std::initializer_list<std::u16string_view> attributes);

// The elements named `tag` of the list document `list`. A blank list has none; a list that
// is not well-formed XML throws CEMRException "无效XML!".
std::vector<ListElement> ReadListElements(BSTR list, std::u16string_view tag,
                                          std::initializer_list<std::u16string_view> attributes);

}  // namespace korvalis
