#include "foundation/text/text_format.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/text/unicode.h"

namespace korvalis::format_internal {
namespace {

constexpr std::size_t kZeroTerminated = std::string_view::npos;

// A conversion directive after its '%'.
struct Directive {
  std::string flags;  // any of "-+ #0"
  int width = -1;
  int precision = -1;
  int length_bits = 0;  // 8 for hh, 16 for h, 0 when the argument's own width applies
  char16_t conversion = 0;
};

bool IsFlag(char16_t c) { return c == u'-' || c == u'+' || c == u' ' || c == u'#' || c == u'0'; }

// Widths and precisions beyond this are refused: no real output needs them and they would
// only make the C library allocate without bound.
constexpr std::int64_t kMaxCount = 99999;

// Reads a decimal count; false when it exceeds kMaxCount. *present tells whether any digit
// was there.
bool ReadCount(const char16_t*& p, int* value, bool* present) {
  std::int64_t n = 0;
  *present = false;
  while (*p >= u'0' && *p <= u'9') {
    *present = true;
    n = n * 10 + (*p - u'0');
    if (n > kMaxCount) return false;
    ++p;
  }
  *value = static_cast<int>(n);
  return true;
}

// Reads a '*' count from the arguments.
bool TakeCount(const Arg* args, std::size_t count, std::size_t* next, std::int64_t* value) {
  if (*next >= count) return false;
  const Arg& arg = args[(*next)++];
  if (arg.kind == Arg::kSigned) {
    *value = arg.i;
  } else if (arg.kind == Arg::kUnsigned && arg.u <= static_cast<std::uint64_t>(kMaxCount)) {
    *value = static_cast<std::int64_t>(arg.u);
  } else {
    return false;
  }
  return *value >= -kMaxCount && *value <= kMaxCount;
}

void Pad(std::u16string* out, std::size_t produced, const Directive& directive, bool before) {
  const bool left = directive.flags.find('-') != std::string::npos;
  if (directive.width <= 0 || produced >= static_cast<std::size_t>(directive.width) ||
      left == before)
    return;
  out->append(static_cast<std::size_t>(directive.width) - produced, u' ');
}

void AppendAscii(std::u16string* out, const char* text, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) out->push_back(static_cast<unsigned char>(text[i]));
}

// Lets the C library format one number with a narrow directive built from `directive`; the
// digits it produces are ASCII.
template <typename T>
bool AppendNumber(std::u16string* out, const Directive& directive, const char* length,
                  char conversion, T value) {
  std::string narrow = "%" + directive.flags;
  if (directive.width >= 0) narrow += std::to_string(directive.width);
  if (directive.precision >= 0) narrow += "." + std::to_string(directive.precision);
  narrow += length;
  narrow.push_back(conversion);
  char small[128];
  const int n = std::snprintf(small, sizeof small, narrow.c_str(), value);
  if (n < 0) return false;
  if (static_cast<std::size_t>(n) < sizeof small) {
    AppendAscii(out, small, static_cast<std::size_t>(n));
    return true;
  }
  std::string large(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(large.data(), large.size(), narrow.c_str(), value);
  AppendAscii(out, large.data(), static_cast<std::size_t>(n));
  return true;
}

bool FormatInteger(std::u16string* out, const Directive& directive, const Arg& arg) {
  if (arg.kind != Arg::kSigned && arg.kind != Arg::kUnsigned) return false;
  const int bits = directive.length_bits != 0 ? directive.length_bits : arg.bits;
  const std::uint64_t mask = bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
  const std::uint64_t value = arg.kind == Arg::kSigned ? static_cast<std::uint64_t>(arg.i) : arg.u;
  const std::uint64_t raw = value & mask;
  const char conversion = static_cast<char>(directive.conversion);
  if (conversion == 'd' || conversion == 'i') {
    // The low `bits` read as a signed number of that width, as printf reads its argument.
    const std::uint64_t sign = bits >= 64 ? 0 : std::uint64_t{1} << (bits - 1);
    const std::int64_t value =
        bits >= 64 ? static_cast<std::int64_t>(raw)
                   : static_cast<std::int64_t>(raw ^ sign) - static_cast<std::int64_t>(sign);
    return AppendNumber(out, directive, "ll", 'd', static_cast<long long>(value));
  }
  return AppendNumber(out, directive, "ll", conversion, static_cast<unsigned long long>(raw));
}

bool FormatFloat(std::u16string* out, const Directive& directive, const Arg& arg) {
  if (arg.kind != Arg::kFloat) return false;
  return AppendNumber(out, directive, "", static_cast<char>(directive.conversion), arg.d);
}

bool FormatCharacter(std::u16string* out, const Directive& directive, const Arg& arg) {
  if (arg.kind != Arg::kSigned && arg.kind != Arg::kUnsigned) return false;
  std::uint64_t value = arg.kind == Arg::kSigned ? static_cast<std::uint64_t>(arg.i) : arg.u;
  if (arg.bits < 64) value &= (std::uint64_t{1} << arg.bits) - 1;  // a negative char is a byte
  // A narrow character (%C, %hc) is one byte; a wide one is one UTF-16 unit.
  const bool narrow = directive.conversion == u'C' || directive.length_bits == 16;
  const char16_t unit = narrow ? static_cast<char16_t>(value & 0xFF) : static_cast<char16_t>(value);
  Pad(out, 1, directive, true);
  out->push_back(unit);
  Pad(out, 1, directive, false);
  return true;
}

bool FormatText(std::u16string* out, const Directive& directive, const Arg& arg) {
  std::u16string converted;
  std::u16string_view text;
  const std::size_t limit =
      directive.precision >= 0 ? static_cast<std::size_t>(directive.precision) : kZeroTerminated;
  if (arg.kind == Arg::kWide && arg.pointer != nullptr) {
    const auto* chars = static_cast<const char16_t*>(arg.pointer);
    std::size_t n = arg.length;
    if (n == kZeroTerminated) {
      n = 0;
      while (n < limit && chars[n] != 0) ++n;
    }
    text = std::u16string_view(chars, n);
  } else if (arg.kind == Arg::kNarrow && arg.pointer != nullptr) {
    const auto* chars = static_cast<const char*>(arg.pointer);
    converted = FromUtf8(arg.length == kZeroTerminated ? std::string_view(chars)
                                                       : std::string_view(chars, arg.length));
    text = converted;
  } else if ((arg.kind == Arg::kWide || arg.kind == Arg::kNarrow || arg.kind == Arg::kPointer) &&
             arg.pointer == nullptr) {
    text = u"(null)";
  } else {
    return false;
  }
  if (text.size() > limit) text = text.substr(0, limit);
  Pad(out, text.size(), directive, true);
  out->append(text);
  Pad(out, text.size(), directive, false);
  return true;
}

bool FormatPointer(std::u16string* out, const Directive& directive, const Arg& arg) {
  if (arg.kind != Arg::kPointer && arg.kind != Arg::kWide && arg.kind != Arg::kNarrow) return false;
  char digits[2 * sizeof(void*) + 1];
  std::snprintf(digits, sizeof digits, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(arg.pointer)));
  const std::size_t n = std::strlen(digits);
  Pad(out, n, directive, true);
  AppendAscii(out, digits, n);
  Pad(out, n, directive, false);
  return true;
}

// Reads the width after the flags: digits, or '*' taking it from the next argument (a negative
// one meaning left-aligned).
bool ReadWidth(const char16_t*& p, const Arg* args, std::size_t count, std::size_t* next,
               Directive* directive) {
  if (*p == u'*') {
    ++p;
    std::int64_t width;
    if (!TakeCount(args, count, next, &width)) return false;
    if (width < 0) directive->flags.push_back('-');
    directive->width = static_cast<int>(width < 0 ? -width : width);
    return true;
  }
  bool present;
  int width;
  if (!ReadCount(p, &width, &present)) return false;
  if (present) directive->width = width;
  return true;
}

// Reads an optional '.' precision: digits, or '*' taking it from the next argument (a negative
// one meaning none).
bool ReadPrecision(const char16_t*& p, const Arg* args, std::size_t count, std::size_t* next,
                   Directive* directive) {
  if (*p != u'.') return true;
  ++p;
  if (*p == u'*') {
    ++p;
    std::int64_t precision;
    if (!TakeCount(args, count, next, &precision)) return false;
    directive->precision = precision < 0 ? -1 : static_cast<int>(precision);
    return true;
  }
  bool present;
  return ReadCount(p, &directive->precision, &present);
}

// Length modifiers: only h and hh narrow the value; the others name the width that the
// argument's own type already carries.
void ReadLength(const char16_t*& p, Directive* directive) {
  if (p[0] == u'h' && p[1] == u'h') {
    directive->length_bits = 8;
    p += 2;
  } else if (p[0] == u'h') {
    directive->length_bits = 16;
    ++p;
  } else if (p[0] == u'l' && p[1] == u'l') {
    p += 2;
  } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
    p += 3;
  } else if (p[0] == u'I' && p[1] == u'3' && p[2] == u'2') {
    p += 3;
  } else if (*p == u'l' || *p == u'L' || *p == u'j' || *p == u'z' || *p == u't' || *p == u'w' ||
             *p == u'I') {
    ++p;
  }
}

// Reads a directive from just after its '%' to just after its conversion character; '*'
// counts are taken from the arguments at *next.
bool ReadDirective(const char16_t*& p, const Arg* args, std::size_t count, std::size_t* next,
                   Directive* directive) {
  while (IsFlag(*p)) directive->flags.push_back(static_cast<char>(*p++));
  if (!ReadWidth(p, args, count, next, directive)) return false;
  if (!ReadPrecision(p, args, count, next, directive)) return false;
  ReadLength(p, directive);
  directive->conversion = *p;
  if (directive->conversion == 0) return false;
  ++p;
  return true;
}

// Formats one argument by its directive's conversion; false for %n, an unknown conversion or
// an argument of the wrong kind.
bool FormatArgument(std::u16string* out, const Directive& directive, const Arg& arg) {
  switch (directive.conversion) {
    case u'd':
    case u'i':
    case u'u':
    case u'o':
    case u'x':
    case u'X':
      return FormatInteger(out, directive, arg);
    case u'f':
    case u'F':
    case u'e':
    case u'E':
    case u'g':
    case u'G':
    case u'a':
    case u'A':
      return FormatFloat(out, directive, arg);
    case u'c':
    case u'C':
      return FormatCharacter(out, directive, arg);
    case u's':
    case u'S':
      return FormatText(out, directive, arg);
    case u'p':
      return FormatPointer(out, directive, arg);
    default:
      return false;
  }
}

}  // namespace

Arg MakeArg(std::nullptr_t) {
  Arg arg;
  arg.kind = Arg::kPointer;
  return arg;
}
Arg MakeArg(const char16_t* text) {
  Arg arg;
  arg.kind = Arg::kWide;
  arg.pointer = text;
  arg.length = kZeroTerminated;
  return arg;
}
Arg MakeArg(std::u16string_view text) {
  Arg arg;
  arg.kind = Arg::kWide;
  arg.pointer = text.data() != nullptr ? text.data() : u"";
  arg.length = text.size();
  return arg;
}
Arg MakeArg(const std::u16string& text) { return MakeArg(std::u16string_view(text)); }
Arg MakeArg(const char* text) {
  Arg arg;
  arg.kind = Arg::kNarrow;
  arg.pointer = text;
  arg.length = kZeroTerminated;
  return arg;
}
Arg MakeArg(std::string_view text) {
  Arg arg;
  arg.kind = Arg::kNarrow;
  arg.pointer = text.data() != nullptr ? text.data() : "";
  arg.length = text.size();
  return arg;
}
Arg MakeArg(const std::string& text) { return MakeArg(std::string_view(text)); }

bool Format(std::u16string* out, const char16_t* format, const Arg* args, std::size_t count) {
  if (format == nullptr) return false;
  std::size_t next = 0;
  for (const char16_t* p = format; *p != 0;) {
    if (*p != u'%') {
      const char16_t* run = p;
      while (*p != 0 && *p != u'%') ++p;
      out->append(run, static_cast<std::size_t>(p - run));
      continue;
    }
    ++p;
    if (*p == u'%') {
      out->push_back(u'%');
      ++p;
      continue;
    }
    Directive directive;
    if (!ReadDirective(p, args, count, &next, &directive)) return false;
    if (next >= count) return false;
    if (!FormatArgument(out, directive, args[next++])) return false;
  }
  return true;
}

int FormatInto(char16_t* buffer, std::size_t size, const char16_t* format, const Arg* args,
               std::size_t count) {
  if (buffer == nullptr || size == 0) return -1;
  std::u16string out;
  if (!Format(&out, format, args, count)) {
    buffer[0] = 0;
    return -1;
  }
  if (out.size() >= size || out.size() > static_cast<std::size_t>(INT_MAX)) {
    std::memcpy(buffer, out.data(), (size - 1) * sizeof(char16_t));
    buffer[size - 1] = 0;
    return -1;
  }
  std::memcpy(buffer, out.data(), out.size() * sizeof(char16_t));
  buffer[out.size()] = 0;
  return static_cast<int>(out.size());
}

}  // namespace korvalis::format_internal
