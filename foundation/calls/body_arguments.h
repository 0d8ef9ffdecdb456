// How a body reads its arguments: the text of a BSTR argument and the property bag a
// condition or property document argument holds. A null BSTR reads as the empty text, and
// its bag as a bag without properties.
//
// Thread-safety: stateless; the bag returned belongs to the caller's thread.
#pragma once

#include <string>

#include "foundation/xml/xml_property.h"
#include "platform/com/bstr.h"

namespace korvalis {

// The text of an argument, copied out of the BSTR.
inline std::u16string ArgumentText(BSTR argument) { return std::u16string(BstrView(argument)); }

// The property bag that a document argument (or a sibling component's answer) holds. Nothing is
// parsed before the first read, which throws CEMRException "解析属性信息错误." when the text is not
// well formed.
inline CXmlProperty PropertyBag(BSTR document) { return CXmlProperty(ArgumentText(document)); }

}  // namespace korvalis
