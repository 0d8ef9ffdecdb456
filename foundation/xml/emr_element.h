// Functions on single elements of an EMR document: whether an id names a data element,
// whether a tag is one of the custom tags, reading and writing attributes, and the text a
// diagnosis element shows for a diagnosis list.
//
// Data elements carry the record's data; their ids begin "STD_DE" or "EXT_DE" (any case).
// Custom tags are those of the CUSTOMTAG namespace: LABEL, DE_Y, DE_N, DED_Y, DED_N and MARK,
// compared by tag name without the prefix.
//
// Every function accepts a null element: it then reads as having no tag and no attributes,
// and writes do nothing. Thread-safety: as the element's document.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/html/document.h"

// True when the first six characters of `id`, upper-cased (a to z only), are "STD_DE" or
// "EXT_DE".
bool IsDataElementId(const std::u16string& id);

// True when the element's tag name is one of the custom tags. When `tag` is given it receives
// a new BSTR of the upper-case tag name (the caller frees it); for a null element it is left
// alone.
bool IsDataElementTag(IHTMLElement* element, BSTR* tag);

// True when the element's tag name is MARK.
bool IsMarkElement(IHTMLElement* element);

// Assigns the attribute's value to `value` when the attribute is present and not empty;
// otherwise `value` keeps what it held, so the caller's default survives.
void ReadElementAttribute(IHTMLElement* element, const std::u16string& name,
                          std::u16string& value);

// The attribute's value; the empty text when it is missing.
std::u16string GetElementAttribute(IHTMLElement* element, const std::u16string& name);

void SetElementAttribute(IHTMLElement* element, const std::u16string& name,
                         const std::u16string& value);

// Replaces the diagnosis list `text` (XML: root holding diag elements with the attributes id
// and parent) by the text the element shows, numbered top-level diagnoses each followed by
// its sub-diagnoses, framed by the element's displaytype:
//   "3": <P>1.A<P>&nbsp;&nbsp;a1，a2</P>...   "2": 1.A，a1，a2；...   otherwise: 1.Aa1，a2...
// Diagnosis names are written as text (markup characters escaped), since the result is set
// as the element's inner HTML. An empty text stays empty. A text without a root element
// throws CEMRException "无效XML!" and leaves `text` unchanged.
void FormatDiagnosisList(IHTMLElement* element, std::u16string& text);
