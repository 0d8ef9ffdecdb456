// Conversions between UTF-8 (the narrow text of this system: messages, logs, files) and
// UTF-16 (the wide text of every interface). Ill-formed input never fails: each invalid
// sequence (a stray or truncated UTF-8 sequence, an overlong form, an encoded surrogate, a
// lone UTF-16 surrogate) becomes U+FFFD, one per maximal invalid part.
//
// Thread-safety: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace korvalis {

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// The same conversions into a text that keeps its storage (no allocation once it is large
// enough), replacing what it held. `text` must not lie inside `out`.
void AssignUtf8(std::u16string_view text, std::string& out);
void AssignUtf16(std::string_view text, std::u16string& out);

// Whether every surrogate of `text` is in a high-low pair: the text has no unit that ToUtf8
// would replace.
bool IsWellFormedUtf16(std::u16string_view text);

// The offset of the first byte of `text` that starts no well-formed UTF-8 sequence (one that
// FromUtf8 would replace), or std::string_view::npos when the whole text is well formed.
std::size_t FirstIllFormedUtf8(std::string_view text);

// Appends the units of `text` as UTF-16LE bytes: two a unit, the low byte first; units are
// copied as they are, lone surrogates included.
void AppendUtf16Le(std::u16string_view text, std::string& out);

}  // namespace korvalis
