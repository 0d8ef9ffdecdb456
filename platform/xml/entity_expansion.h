// The expansion of a parsed document's internal entities into its tree, as every document is
// loaded (dom.h): each reference to an entity that the document declares with its own text
// (<!ENTITY nbsp "&#160;">) is replaced by the nodes of that text, as an XML reader reads the
// document, so that a style sheet's templates, a source's values and a caller's elements hold
// what their entities stand for. In an attribute's value, an entity's white space (line feeds,
// tabs) becomes blanks, as XML normalises attribute values. Entities are expanded within the
// bound of entity_bound.h; an external entity is never read, and a reference to it (or to an
// entity not declared) stays as the parser left it.
//
// Thread-safety: a document belongs to one thread.
#pragma once

#include <string_view>

struct _xmlDoc;

namespace korvalis::xml {

// Expands the document's references to its internal entities and joins adjacent texts into one
// text node. Answers why it could not, empty when it did: the references pass a bound of
// entity_bound.h, or an entity's text does not parse; the document is then half expanded and to
// be dropped.
// Precondition: `doc` is a parsed document with a document element.
std::string_view ExpandInternalEntities(_xmlDoc* doc);

}  // namespace korvalis::xml
