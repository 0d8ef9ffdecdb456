// The files that the command reads whole, an argument of `korvalis call` or a script of
// `korvalis sql`, read with a bound: no input is larger than the system's largest content
// (kMaxExpandedBytes, 64 MB), so a file without end (/dev/zero) is refused once the bound is
// passed instead of filling memory.
//
// Thread-safety: main thread only (it reads standard input).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvalis::tools {

// The name a message gives the file `name`: "standard input" for "-".
std::string InputName(const std::string& name);

// Reads all bytes of the file `name` ("-": standard input) into *bytes. False with *error when
// it cannot be read ("cannot read NAME: <reason>") or holds more than kMaxExpandedBytes bytes
// ("NAME holds more than 64 MB, the limit of <what>"); *bytes then holds at most the bound
// and one read more.
bool ReadInputFile(const std::string& name, const std::string& what, std::string* bytes,
                   std::string* error);

// Where `text` stops being UTF-8, as a message names the place: "line 3, byte 41", counting
// from the start of a file of which `skipped` bytes (a byte-order mark) come before `text`;
// "" when all of it is UTF-8.
std::string WhereNotUtf8(std::string_view text, std::size_t skipped = 0);

}  // namespace korvalis::tools
