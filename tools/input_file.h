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

// `bytes` without the byte-order mark of UTF-8 at its start, which an editor may write.
std::string_view WithoutUtf8ByteOrderMark(std::string_view bytes);

// What keeps the bytes of a file from being read as UTF-8 text, for a message that says what
// happened and what to do. A text saved as UTF-16 is told apart from other text: with its
// byte-order mark, or without it when its NUL bytes fall on one side of its 16-bit units, as
// those of ASCII letters do. A NUL byte in any other text is refused too: no statement or XML
// holds one, and everything after it would be cut off.
struct TextEncodingProblem {
  // "" when the bytes (after a UTF-8 byte-order mark) are UTF-8 without a NUL; else what they
  // are: "is UTF-16 (little-endian, with a byte-order mark), not UTF-8", "is not UTF-8 (line 3,
  // byte 41)", "holds a NUL byte (line 2, byte 7), which no text holds". Places count bytes
  // from the start of the file, the mark included.
  std::string what;
  // What converts the file to UTF-8: "iconv -f UTF-16LE -t UTF-8 OLD > NEW", or for text in
  // another encoding the command for the usual one ("one saved as GBK: iconv -f GBK -t UTF-8
  // OLD > NEW"); "" for a NUL in other text, which no conversion mends.
  std::string conversion;

  bool empty() const { return what.empty(); }
};
TextEncodingProblem CheckUtf8Text(std::string_view bytes);

}  // namespace korvalis::tools
