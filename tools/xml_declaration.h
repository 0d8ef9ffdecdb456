// The XML declaration of a text that `korvalis call` prints. The system's answers are UTF-16
// texts whose declaration says so; the command prints them as UTF-8, so the declaration it
// prints must name UTF-8, or every XML tool rejects a saved answer.
//
// Thread-safety: a pure function.
#pragma once

#include <string>

namespace korvalis::tools {

// `text` with the encoding of its leading XML declaration, when it names one, replaced by
// "UTF-8". Any other text, and a declaration without an encoding (UTF-8 already), is returned
// as it is.
std::string WithUtf8Declaration(std::string text);

}  // namespace korvalis::tools
