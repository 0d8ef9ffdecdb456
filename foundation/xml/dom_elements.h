// Reading a parsed XML document (Xerces DOM) element by element: the element children of a
// node, the first child of a name, an attribute and the text below a node. Every walk looks at
// element nodes only, so white space, comments and processing instructions between elements
// are never taken for data, and positions count elements alone.
//
// Every function accepts a null node: it reads as having no children, no attributes and no
// text.
//
// Thread-safety: as the document read; the functions keep no state.
#pragma once

#include <string>
#include <string_view>
#include <vector>
#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMElement;
class DOMNode;
XERCES_CPP_NAMESPACE_END

// The element children of `parent`, in document order.
std::vector<const xercesc::DOMElement*> ElementChildren(const xercesc::DOMNode* parent);

// The first element child of `parent` whose name is `name` (compared exactly); null when none.
const xercesc::DOMElement* FirstChildElement(const xercesc::DOMNode* parent,
                                             std::u16string_view name);

// The elements named `name` (compared exactly) below `scope`, at any depth, in document order;
// `scope` itself is not one of them. One walk of the subtree, however many elements match.
std::vector<const xercesc::DOMElement*> DescendantElementsNamed(const xercesc::DOMNode* scope,
                                                                std::u16string_view name);

// The element's name as written.
std::u16string ElementName(const xercesc::DOMElement* element);

// The attribute's value; the empty text when it is absent.
std::u16string ElementAttribute(const xercesc::DOMElement* element, const char16_t* name);

// All text below the node, in document order (comments and processing instructions left out).
std::u16string TextContent(const xercesc::DOMNode* node);
