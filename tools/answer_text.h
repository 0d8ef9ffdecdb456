// What `korvalis call` makes of the bytes of a method's answer (a BSTR), so that it prints and
// saves each kind of answer as a person can use it:
//   - a UTF-16 text that a line can show (whole units, surrogates paired, no zero character);
//   - compressed text, the system's form of record content, report pages, QC reports and table
//     exports: a zlib stream of the text's UTF-16LE units and a zero unit, followed by their
//     byte count in 4 bytes, little-endian (foundation/codec/emr_compression.h);
//   - other bytes.
// Any text's bytes decompress as no zlib stream, so the two kinds of text never mix.
//
// Thread-safety: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace korvalis::tools {

struct AnswerText {
  enum class Form { kText, kCompressedText, kBytes };
  Form form = Form::kBytes;
  // kText: the answer's text; kCompressedText: the text it expands to, up to its zero unit and
  // without a leading byte-order mark; kBytes: empty.
  std::u16string text;
};

// Reads the BSTR bytes `bytes` of an answer. Expanding stops at the system's limit of 64 MB:
// a larger content reads as bytes.
AnswerText ReadAnswer(std::string_view bytes);

}  // namespace korvalis::tools
