#include "tools/call_chain.h"

#include <cctype>
#include <utility>

#include "foundation/codec/emr_compression.h"
#include "platform/text/unicode.h"
#include "tools/command_line.h"
#include "tools/input_file.h"

namespace korvalis::tools {
namespace {

// The text of the UTF-8 file `name` as the UTF-16LE bytes of a BSTR in *bytes, a byte-order
// mark at its start skipped; false with *error when the file cannot be read or is no UTF-8
// text, saying how to convert it.
bool ReadTextArgumentFile(const std::string& name, std::string* bytes, std::string* error) {
  std::string utf8;
  if (!ReadInputFile(name, "one argument", &utf8, error)) return false;
  if (const TextEncodingProblem problem = CheckUtf8Text(utf8); !problem.empty()) {
    *error = "cannot pass " + InputName(name) + " as text: it " + problem.what;
    *error += problem.conversion.empty()
                  ? "; --bytes " + name + " passes bytes as they are"
                  : "; convert it to UTF-8 (" + problem.conversion + ") and pass @NEW";
    return false;
  }
  const std::string_view text = WithoutUtf8ByteOrderMark(utf8);
  bytes->clear();
  AppendUtf16Le(FromUtf8(text), *bytes);
  if (bytes->size() > kMaxExpandedBytes) {
    *error = "the text of " + InputName(name) + " is longer than " +
             std::to_string(kMaxExpandedBytes >> 20) + " MB as UTF-16, the limit of one argument";
    return false;
  }
  return true;
}

// Whether `word` is written as an option is ("--" and a letter): a mistyped one is refused
// rather than passed as a text. Negative numbers, "--" and other texts stay arguments.
bool LooksLikeOption(std::string_view word) {
  return word.size() > 2 && word.starts_with("--") &&
         std::isalpha(static_cast<unsigned char>(word[2])) != 0;
}

}  // namespace

CallChain ReadCallChain(const std::vector<std::string>& words) {
  CallChain chain;
  auto fail = [&chain](int status, std::string error) {
    chain.status = status;
    chain.error = std::move(error);
    return std::move(chain);
  };
  bool stdin_taken = false;
  MethodCall call;
  for (size_t i = 0; i <= words.size(); ++i) {
    if (i == words.size() || words[i] == "--") {
      if (call.method.empty()) return fail(2, "a method name is missing before or after \"--\"");
      chain.calls.push_back(std::move(call));
      call = MethodCall();
      continue;
    }
    const std::string& word = words[i];
    const bool names_file = word == "--out" || word == "--bytes";
    if (!call.method.empty() && names_file &&
        (i + 1 == words.size() || words[i + 1].empty() || words[i + 1] == "--")) {
      return fail(2, word + " of " + call.method + " names no file");
    }
    if (call.method.empty()) {
      call.method = word;
    } else if (word == "--out") {
      if (!call.out_path.empty()) return fail(2, call.method + " has more than one --out");
      ++i;
      call.out_path = words[i] == "-" ? "/dev/stdout" : words[i];
    } else if (word == "--expand") {
      call.expand = true;
    } else if (word == "--bytes" || (word.starts_with("@") && !word.starts_with("@@"))) {
      const bool text = word != "--bytes";
      const std::string name = text ? word.substr(1) : words[++i];
      if (name.empty()) {
        return fail(
            2,
            "a file name is missing after \"@\" (a text that starts with \"@\" is written \"@@\")");
      }
      if (name == "-" && std::exchange(stdin_taken, true)) {
        return fail(2, "standard input (@- or --bytes -) can be read by one argument only");
      }
      std::string bytes, error;
      if (!(text ? ReadTextArgumentFile(name, &bytes, &error)
                 : ReadInputFile(name, "one argument", &bytes, &error))) {
        return fail(1, error);
      }
      call.arguments.push_back(std::move(bytes));
    } else if (LooksLikeOption(word)) {
      const std::string name = word.substr(0, word.find('='));
      return fail(2, "unknown option " + name + " of " + call.method +
                         DidYouMean(name, {"--out", "--bytes", "--expand"}) +
                         " (a text that starts with \"--\" is passed from a file: @FILE)");
    } else {
      std::string bytes;
      AppendUtf16Le(FromUtf8(word.starts_with("@@") ? word.substr(1) : word), bytes);
      call.arguments.push_back(std::move(bytes));
    }
  }
  return chain;
}

}  // namespace korvalis::tools
