#include "platform/html/stream_loader.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text/unicode.h"

namespace korvalis::html {
namespace {

constexpr ULONG kReadChunk = 64 * 1024;

std::u16string DecodeUtf16(const std::vector<unsigned char>& bytes, size_t begin, bool big_endian) {
  std::u16string text;
  text.reserve((bytes.size() - begin) / 2 + 1);
  size_t i = begin;
  for (; i + 1 < bytes.size(); i += 2) {
    const unsigned hi = big_endian ? bytes[i] : bytes[i + 1];
    const unsigned lo = big_endian ? bytes[i + 1] : bytes[i];
    text.push_back(static_cast<char16_t>((hi << 8) | lo));
  }
  if (i < bytes.size()) text.push_back(u'\uFFFD');  // a lone last byte is no character
  return text;
}

std::u16string Decode(const std::vector<unsigned char>& bytes) {
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return DecodeUtf16(bytes, 2, false);
  if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) return DecodeUtf16(bytes, 2, true);
  size_t begin = 0;
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) begin = 3;
  return FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()) + begin,
                                   bytes.size() - begin));
}

}  // namespace

HRESULT LoadFromStream(Document& document, ISequentialStream* stream) {
  document.Load(std::u16string_view());
  if (stream == nullptr) return E_POINTER;
  std::vector<unsigned char> bytes;
  std::vector<unsigned char> chunk(kReadChunk);
  for (;;) {
    ULONG read = 0;
    HRESULT hr = stream->Read(chunk.data(), kReadChunk, &read);
    if (FAILED(hr)) return hr;
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + std::min(read, kReadChunk));
    if (hr == S_FALSE || read == 0) break;
  }
  document.Load(Decode(bytes));
  return S_OK;
}

}  // namespace korvalis::html
