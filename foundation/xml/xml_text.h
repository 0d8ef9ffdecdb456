// The one place where texts enter XML markup that is written by concatenation.
//
// XmlEscaped is for element text: "&", "<" and ">" become character references,
// and a carriage return becomes "&#13;", since a parser would read a bare one
// as a line feed. XmlEscapedWithQuotes also writes '"' and '\'' as references,
// so its result may stand in an attribute value between either kind of quote.
// Other characters pass unchanged; the narrow forms take and give UTF-8 and
// touch no byte of a multi-byte sequence.
//
// Thread-safety: stateless functions.
#pragma once

#include <string>
#include <string_view>

namespace korvalis {

std::u16string XmlEscaped(std::u16string_view text);
std::u16string XmlEscapedWithQuotes(std::u16string_view text);
void AppendXmlEscaped(std::u16string& out, std::u16string_view text);
void AppendXmlEscapedWithQuotes(std::u16string& out, std::u16string_view text);
// As AppendXmlEscapedWithQuotes, with tab and line feed written as references too: a parser
// turns them into blanks where they stand bare in an attribute value, so only this form keeps
// them.
void AppendXmlAttributeValue(std::u16string& out, std::u16string_view text);
// Appends the element `name` holding `text` escaped, or "<name/>" for an empty text, as the XML
// library writes a text element. Precondition: `name` is a valid element name.
void AppendXmlTextElement(std::u16string& out, std::u16string_view name, std::u16string_view text);

// `value` as XML can carry it: a control character other than tab, line feed and carriage
// return, U+FFFE and U+FFFF (brought in by the systems that fill the tables) become U+FFFD, so
// that one such value does not cost a whole list. The stored value stays as it is.
std::u16string XmlCarriable(std::u16string value);

std::string XmlEscaped(std::string_view text);
void AppendXmlEscaped(std::string& out, std::string_view text);

}  // namespace korvalis
