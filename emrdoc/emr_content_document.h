// The vocabulary of an EMR record's HTML: the names of the attributes and element ids that
// bind the document's elements to the standard data set, to the data domains and to the
// record's XML, and the readings of them that every part of the record layer shares. Code
// that walks a record document takes its names and readings from here.
//
// A record document is HTML whose root element declares the CUSTOMTAG namespace; custom tags
// and data-element ids are recognised by foundation/xml/emr_element.h. Attribute names are
// compared without regard to case by the HTML document; they are written here as the
// editing clients write them. Values are text.
//
//   element                       attribute             meaning
//   BODY                          auto_serial           data set numbered in each new record
//                                                       ("<data set>|<serial>" once numbered)
//   element of id "live"          link                  ids of the live elements, "/" between
//   live or domain-bound element  type, value           domain code (decimal) and domain key
//   data element of a template    name                  data-element id, for numbering
//   data element                  internal_relative_id  data-element id used in place of the id
//                                 live                  "1"/"0": refill at load or not
//                                 diagpop               "1": a diagnosis element
//                                 displaytype           "1": shows the code; "2"/"3": layout
//                                                       of a diagnosis list
//                                 code                  code of the shown value
//                                 date                  date pattern the value is shown in
//   filled element                prompt                "<prompt>/<placeholder>"
//   SPAN                          class                 revision mark: DELETE or INSERT
//   any element                   xid                   element of the record's XML it fills
//   element of id "icd.code"      extandcode1, extandcode2, splitcode   codes for the XML
//   TD                            qlevel, qcid, qinfo   content-QC markers of the cell
//   data, tempimage               encode, compress      codec types of embedded content
//
// Thread-safety: constants and stateless functions; a document belongs to one thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/html/document.h"

// Attributes.
inline constexpr char16_t kAttrAutoSerial[] = u"auto_serial";
inline constexpr char16_t kAttrLink[] = u"link";
inline constexpr char16_t kAttrType[] = u"type";
inline constexpr char16_t kAttrValue[] = u"value";
inline constexpr char16_t kAttrName[] = u"name";
inline constexpr char16_t kAttrInternalRelativeId[] = u"internal_relative_id";
inline constexpr char16_t kAttrLive[] = u"live";
inline constexpr char16_t kAttrDiagPop[] = u"diagpop";
inline constexpr char16_t kAttrDisplayType[] = u"displaytype";
inline constexpr char16_t kAttrCode[] = u"code";
inline constexpr char16_t kAttrDate[] = u"date";
inline constexpr char16_t kAttrPrompt[] = u"prompt";
inline constexpr char16_t kAttrXid[] = u"xid";
inline constexpr char16_t kAttrExtandCode1[] = u"extandcode1";
inline constexpr char16_t kAttrExtandCode2[] = u"extandcode2";
inline constexpr char16_t kAttrSplitCode[] = u"splitcode";
inline constexpr char16_t kAttrQLevel[] = u"qlevel";
inline constexpr char16_t kAttrQcId[] = u"qcid";
inline constexpr char16_t kAttrQInfo[] = u"qinfo";
inline constexpr char16_t kAttrEncode[] = u"encode";
inline constexpr char16_t kAttrCompress[] = u"compress";
// The class attribute, under the name the revision marks are read by.
inline constexpr char16_t kAttrClassName[] = u"classname";

// Element ids.
inline constexpr char16_t kLiveElementId[] = u"live";
inline constexpr char16_t kIcdCodeElementId[] = u"icd.code";
// The id of the element that owns the default style sheet.
inline constexpr char16_t kDefaultStyleSheetId[] = u"system_default_css";

// Separators: between a data-element id and its serial, and between the ids of a live list
// and the two parts of a prompt.
inline constexpr char16_t kSerialSeparator[] = u"|";
inline constexpr char16_t kListSeparator[] = u"/";

// The data-element identifier of an element: its internal_relative_id when that is not
// empty, else its id. Empty for a null element.
std::u16string ElementIdentifier(IHTMLElement* element);

// The numbered form written into the ids of a new record's elements: "<id>|<serial>".
std::u16string NumberedId(std::u16string_view data_element_id, long serial);
// The data element an id names: the text before its first "|" (the whole id without one).
std::u16string DataElementOfId(std::u16string_view id);

// The live list: the ids in the `link` of the document's first element of id "live", split
// at "/" (leading separators skipped, empty ids between two separators kept, none after a
// trailing one). nullopt when there is no such element or it has no `link`; a `link` of
// separators only gives an empty list.
std::optional<std::vector<std::u16string>> ReadLiveLinks(const IHTMLDocument2& document);

// The binding of an element to a data domain.
struct DomainBinding {
  // `type` read as a decimal number (leading blanks skipped, reading up to the first
  // character that is no digit); a text that holds no number, or one out of range, reads as 0.
  int code;
  std::u16string key;  // `value`, for example "patient.sex"
};
// The element's binding; nullopt when `type` or `value` is missing or empty.
std::optional<DomainBinding> ReadDomainBinding(IHTMLElement* element);

// The placeholder an element shows in place of an empty value: the second part of its
// `prompt` when the prompt splits at "/" into exactly two parts (leading separators skipped,
// none counted after a trailing one). nullopt otherwise.
std::optional<std::u16string> PromptPlaceholder(IHTMLElement* element);

enum class RevisionMark { kNone, kDeleted, kInserted };
// The revision mark of a SPAN, from its class: text containing "DELETE" marks deleted text
// (also when it contains "INSERT" too), text containing "INSERT" inserted text; compared with
// case. Other elements carry no mark.
RevisionMark ReadRevisionMark(IHTMLElement* element);
