// Character references of HTML text: named (the HTML 4 set and &apos;) and numeric.
//
// Thread-safety: stateless; may be called from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvalis::html {

// Decodes the character reference that starts with the '&' at `text[pos]` and appends its
// characters to `out`. Returns how many characters of `text` it consumed, or 0 when no
// reference starts there (the caller keeps the '&' as text).
// Inside attribute values a name without its ';' is left alone when a letter, digit or '='
// follows, as browsers do, so query strings in URLs keep their text.
// Precondition: pos < text.size() and text[pos] == '&'.
size_t DecodeCharacterReference(std::u16string_view text, size_t pos, bool in_attribute,
                                std::u16string& out);

// Appends `text` with every character reference decoded.
void AppendDecoded(std::u16string_view text, bool in_attribute, std::u16string& out);

}  // namespace korvalis::html
