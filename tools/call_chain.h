// The methods that one `korvalis call` calls in turn, read whole from its words before any of
// them is called: each method's name, the bytes of each of its arguments, the file its answer
// goes to and whether it is expanded. Every argument file is read here, so a missing or
// unreadable file, or a text file that is no UTF-8, fails the command before anything has been
// done.
//
//   words:    <method> [<argument> | --out FILE | --expand]... [-- <method> ...]...
//   argument: TEXT          the text, passed as UTF-16 (the command line is UTF-8)
//             @FILE         the text of a UTF-8 file (a byte-order mark at its start skipped),
//                           passed as UTF-16
//             @@TEXT        the text "@TEXT"
//             --bytes FILE  the file's bytes as the BSTR's bytes, exactly (an odd length too)
//             FILE "-" is standard input, which one argument of the command may take. A file
//             of more than 64 MB (the system's largest content), or a text of more as UTF-16,
//             is refused.
//             A word of "--" and a letter that is none of the options is refused as an
//             unknown option; such a text is passed from a file.
//   --out FILE        writes the method's answer to FILE instead of printing it ("-": standard
//                     output): a text as UTF-8, other bytes as they are
//   --expand          the answer is compressed text: its text is printed or written
//
// Thread-safety: main thread only (it reads standard input).
#pragma once

#include <string>
#include <vector>

namespace korvalis::tools {

struct MethodCall {
  std::string method;
  std::vector<std::string> arguments;  // each argument's BSTR bytes (UTF-16LE for a text)
  std::string out_path;                // empty: the answer is printed
  bool expand = false;                 // the answer is compressed text, shown as its text
};

struct CallChain {
  std::vector<MethodCall> calls;  // at least one; each with a method name
  int status = 0;                 // 0, or 2 for malformed words, 1 for a file that cannot be read
  std::string error;              // what is wrong when status is not 0
};

CallChain ReadCallChain(const std::vector<std::string>& words);

}  // namespace korvalis::tools
