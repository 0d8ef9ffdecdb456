// Text in the stored form of EMR content and other text BLOBs: UTF-16LE behind a byte-order
// mark, neither compressed nor encrypted.
//
// Thread-safety: pure function.
#pragma once

#include <string>
#include <string_view>

namespace korvalis::schema {

// The bytes of `utf8` as UTF-16LE with a leading U+FEFF.
std::string StoredText(std::string_view utf8);

}  // namespace korvalis::schema
