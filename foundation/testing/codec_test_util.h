// Helpers for the codec tests: an owner for the codecs' output arrays, test bytes, the bytes
// that stored data uncompresses to, and the Base64 text of bytes.
//
// Thread-safety: pure functions; the stored bytes are made once, on first use.
#pragma once

#include <string>
#include <vector>

#include "foundation/codec/emr_compression.h"
#include "foundation/codec/emr_encoder.h"
#include "platform/com/types.h"

namespace korvalis::codec::testing {

// An output pointer and length as callers of the codecs keep them, released at the end.
struct CodecOutput {
  BYTE* pb = nullptr;
  ULONG cb = 0;

  CodecOutput() = default;
  CodecOutput(const CodecOutput&) = delete;
  CodecOutput& operator=(const CodecOutput&) = delete;
  ~CodecOutput() { delete[] pb; }

  std::vector<BYTE> Bytes() const {
    return pb == nullptr ? std::vector<BYTE>() : std::vector<BYTE>(pb, pb + cb);
  }
};

// The bytes that `stored` uncompresses to.
inline std::vector<BYTE> Uncompress(const std::vector<BYTE>& stored) {
  CodecOutput out;
  CGzipCompression().Uncompress(stored.data(), static_cast<ULONG>(stored.size()), out.pb, out.cb);
  return out.Bytes();
}

inline std::vector<BYTE> Hex(const std::string& hex) {
  std::vector<BYTE> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<BYTE>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

inline std::vector<BYTE> Ascii(const std::string& text) {
  return std::vector<BYTE>(text.begin(), text.end());
}

// The Base64 text of `bytes`, as the encoder writes it.
inline std::u16string Base64Text(const std::string& bytes) {
  std::u16string text;
  CBase64Encoder().Encode(reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<ULONG>(bytes.size()), text);
  return text;
}

// The compressed form, trailer included, of `bytes`.
inline std::vector<BYTE> Compressed(const void* bytes, size_t size) {
  CodecOutput out;
  CGzipCompression().Compress(static_cast<const BYTE*>(bytes), static_cast<ULONG>(size), out.pb,
                              out.cb);
  return out.Bytes();
}

// The compressed form of a text of 'a's and its zero terminator that expands to two bytes more
// than kMaxExpandedBytes: a form refused for its size alone, made once (it takes a moment).
inline const std::vector<BYTE>& BeyondTheExpansionLimit() {
  static const std::vector<BYTE> form = [] {
    std::u16string text(kMaxExpandedBytes / sizeof(char16_t), u'a');
    return Compressed(text.c_str(), (text.size() + 1) * sizeof(char16_t));
  }();
  return form;
}

// Deterministic bytes that do not compress.
inline std::vector<BYTE> Noise(size_t size) {
  std::vector<BYTE> bytes(size);
  unsigned state = 2463534242u;
  for (BYTE& b : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b = static_cast<BYTE>(state);
  }
  return bytes;
}

}  // namespace korvalis::codec::testing
