#include "platform/xml/transform_protocol.h"

#include <limits>

namespace korvalis::xml {
namespace {

void Put(std::string& bytes, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
}

// Reads the next `width` bytes of `bytes` as an integer; false when too few remain.
bool Get(std::string_view& bytes, int width, std::uint64_t& value) {
  if (bytes.size() < static_cast<std::size_t>(width)) return false;
  value = 0;
  for (int i = 0; i < width; ++i) {
    value |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  bytes.remove_prefix(static_cast<std::size_t>(width));
  return true;
}

std::optional<TextWriter> WriterFromWire(std::uint64_t value) {
  if (value == static_cast<std::uint64_t>(TextWriter::kCaller)) return TextWriter::kCaller;
  if (value == static_cast<std::uint64_t>(TextWriter::kSystem)) return TextWriter::kSystem;
  return std::nullopt;
}

}  // namespace

TransformOutcome OutcomeFromWire(std::uint32_t status) {
  if (status > static_cast<std::uint32_t>(TransformOutcome::kUnavailable)) {
    return TransformOutcome::kFailed;
  }
  return static_cast<TransformOutcome>(status);
}

std::string EncodeHello() {
  std::string bytes;
  Put(bytes, kTransformProtocolVersion, 4);
  return bytes;
}

std::optional<std::uint32_t> DecodeHello(std::string_view payload) {
  std::uint64_t version = 0;
  if (!Get(payload, 4, version)) return std::nullopt;
  return static_cast<std::uint32_t>(version);
}

std::optional<std::uint32_t> FindWorkerVersion(std::string_view program) {
  // The mark's text may stand in the file elsewhere too (this very function's), never followed
  // by digits and ';'.
  for (std::size_t at = program.find(kWorkerVersionMark); at != std::string_view::npos;
       at = program.find(kWorkerVersionMark, at + 1)) {
    std::string_view rest = program.substr(at + kWorkerVersionMark.size());
    std::uint64_t version = 0;
    std::size_t digits = 0;
    for (; digits < rest.size() && digits < 10 && rest[digits] >= '0' && rest[digits] <= '9';
         ++digits) {
      version = version * 10 + static_cast<std::uint64_t>(rest[digits] - '0');
    }
    if (digits > 0 && digits < rest.size() && rest[digits] == ';' &&
        version <= std::numeric_limits<std::uint32_t>::max()) {
      return static_cast<std::uint32_t>(version);
    }
  }
  return std::nullopt;
}

std::string EncodeOrder(const TransformOrder& order) {
  std::string bytes;
  Put(bytes, kTransformProtocolVersion, 4);
  Put(bytes, order.max_output_units, 8);
  Put(bytes, order.max_working_bytes, 8);
  Put(bytes, order.cpu_seconds, 4);
  Put(bytes, static_cast<std::uint8_t>(order.stylesheet_writer), 1);
  Put(bytes, static_cast<std::uint8_t>(order.source_writer), 1);
  Put(bytes, order.max_children, 4);
  return bytes;
}

std::optional<TransformOrder> DecodeOrder(std::string_view payload) {
  std::uint64_t version = 0, units = 0, bytes = 0, seconds = 0, stylesheet = 0, source = 0,
                children = 0;
  if (!Get(payload, 4, version) || version != kTransformProtocolVersion ||
      !Get(payload, 8, units) || !Get(payload, 8, bytes) || !Get(payload, 4, seconds) ||
      !Get(payload, 1, stylesheet) || !Get(payload, 1, source) || !Get(payload, 4, children) ||
      children == 0 || !payload.empty()) {
    return std::nullopt;
  }
  const std::optional<TextWriter> stylesheet_writer = WriterFromWire(stylesheet);
  const std::optional<TextWriter> source_writer = WriterFromWire(source);
  if (!stylesheet_writer || !source_writer) return std::nullopt;
  return TransformOrder{units,
                        bytes,
                        static_cast<std::uint32_t>(seconds),
                        *stylesheet_writer,
                        *source_writer,
                        static_cast<std::uint32_t>(children)};
}

}  // namespace korvalis::xml
