// The one place where values enter SQL text that is built by concatenation.
//
// Every text value placed between single quotes goes through SqlQuoted (or SqlEscaped when
// the caller writes the quotes itself, as in LIKE patterns built piece by piece); every value
// placed bare (an identifier, a count, a type number) goes through SqlNumber, which refuses
// anything that is not a plain decimal number, and a list of such values placed bare (the
// items of an IN list) goes through SqlNumberList. Texts that are SQL by contract (condition
// pieces, ORDER BY lists, report SQL) are not values and do not pass through here.
//
// Thread-safety: stateless functions.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/text/string_util.h"

namespace korvalis {

// The text with every single quote doubled, without surrounding quotes.
std::u16string SqlEscaped(TextRef value);

// The text as an SQL string literal: quoted, with every single quote doubled.
std::u16string SqlQuoted(TextRef value);
// The same for UTF-8 text.
std::string SqlQuoted(std::string_view value);

// True when the text is a plain decimal number: optional sign, digits with at most one
// decimal point (at least one digit), no blanks, no exponent.
bool IsSqlNumber(TextRef value);

// The text itself when IsSqlNumber holds; otherwise throws CEMRException naming the value
// (and `what`, the name of the argument, when given) as not a number.
std::u16string SqlNumber(TextRef value, std::u16string_view what = {});

// SqlNumber of the value without the white space (blanks and line ends) around it: a number as a
// client writes it into a property or list document, indented or on a line of its own, made
// ready to stand bare in a statement.
std::u16string SqlBareNumber(TextRef value, std::u16string_view what = {});

// The value of a whole number that fits the 32-bit identifiers bodies pass as `long`: an optional
// sign and decimal digits only. Anything else, a fraction or a number out of that range
// included, throws SqlNumber's CEMRException naming the value and `what`.
std::int32_t SqlIdNumber(TextRef value, std::u16string_view what = {});

// A comma-separated list of numbers as it may be placed bare in SQL (inside IN (...)): each
// piece with its surrounding blanks (space, tab) dropped, joined by ",". Throws SqlNumber's
// CEMRException, naming the whole value and `what`, when the list is empty, a piece is empty
// or a piece is not a plain decimal number.
std::u16string SqlNumberList(TextRef value, std::u16string_view what = {});

}  // namespace korvalis
