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

// "UTF-16LE" or "UTF-16BE" when `text`, which holds a NUL byte, reads as UTF-16 text in that
// byte order: an even number of bytes, NUL bytes in the high half of more units than in the low
// half, well-formed, and no unit NUL. Else nullptr.
const char* Utf16ByteOrder(std::string_view text) {
  if (text.size() % 2 != 0) return nullptr;
  std::size_t nul_first = 0, nul_second = 0;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    nul_first += text[i] == '\0';
    nul_second += text[i + 1] == '\0';
  }
  if (nul_first == nul_second) return nullptr;
  const bool little_endian = nul_second > nul_first;
  std::u16string units(text.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    const auto low = static_cast<unsigned char>(text[2 * i + (little_endian ? 0 : 1)]);
    const auto high = static_cast<unsigned char>(text[2 * i + (little_endian ? 1 : 0)]);
    units[i] = static_cast<char16_t>(low | (high << 8));
    if (units[i] == u'\0') return nullptr;
  }
  if (!IsWellFormedUtf16(units)) return nullptr;
  return little_endian ? "UTF-16LE" : "UTF-16BE";
}

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

std::string_view WithoutUtf8ByteOrderMark(std::string_view bytes) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
  return bytes;
}

TextEncodingProblem CheckUtf8Text(std::string_view bytes) {
  const auto converted_from = [](std::string_view encoding) {
    return "iconv -f " + std::string(encoding) + " -t UTF-8 OLD > NEW";
  };
  const bool little_endian_mark = bytes.starts_with("\xFF\xFE");
  if (little_endian_mark || bytes.starts_with("\xFE\xFF")) {
    return {std::string("is UTF-16 (") + (little_endian_mark ? "little" : "big") +
                "-endian, with a byte-order mark), not UTF-8",
            converted_from("UTF-16")};
  }
  const std::string_view text = WithoutUtf8ByteOrderMark(bytes);
  const std::size_t skipped = bytes.size() - text.size();
  const auto where = [&](std::size_t at) {
    const std::size_t line =
        1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + at, '\n'));
    return "line " + std::to_string(line) + ", byte " + std::to_string(at + skipped + 1);
  };
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) {
    if (const char* order = Utf16ByteOrder(text)) {
      return {std::string("is UTF-16 (") +
                  (std::string_view(order) == "UTF-16LE" ? "little" : "big") +
                  "-endian, without a byte-order mark), not UTF-8",
              converted_from(order)};
    }
    return {"holds a NUL byte (" + where(nul) + "), which no text holds", ""};
  }
  const std::size_t ill_formed = FirstIllFormedUtf8(text);
  if (ill_formed == std::string_view::npos) return {};
  return {"is not UTF-8 (" + where(ill_formed) + ")", "one saved as GBK: " + converted_from("GBK")};
}

}  // namespace korvalis::tools
