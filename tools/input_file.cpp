#include "tools/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "foundation/codec/emr_compression.h"
#include "platform/text/unicode.h"

namespace korvalis::tools {
namespace {

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

std::string InputName(const std::string& name) {
  return name == "-" ? "standard input" : name;
}

bool ReadInputFile(const std::string& name, const std::string& what, std::string* bytes,
                   std::string* error) {
  std::unique_ptr<FILE, FileCloser> opened;
  FILE* file = stdin;
  if (name != "-") {
    opened.reset(std::fopen(name.c_str(), "rb"));
    file = opened.get();
  }
  auto fail_to_read = [&] {
    const int reason = errno;
    *error = "cannot read " + InputName(name) + ": " + std::strerror(reason);
    return false;
  };
  if (file == nullptr) return fail_to_read();
  char buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    bytes->append(buffer, n);
    if (bytes->size() > kMaxExpandedBytes) {
      *error = InputName(name) + " holds more than " +
               std::to_string(kMaxExpandedBytes >> 20) + " MB, the limit of " + what;
      return false;
    }
  }
  if (std::ferror(file)) return fail_to_read();
  return true;
}

std::string WhereNotUtf8(std::string_view text, std::size_t skipped) {
  const std::size_t at = FirstIllFormedUtf8(text);
  if (at == std::string_view::npos) return "";
  const std::size_t line =
      1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + at, '\n'));
  return "line " + std::to_string(line) + ", byte " + std::to_string(at + skipped + 1);
}

}  // namespace korvalis::tools
