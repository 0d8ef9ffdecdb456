#include "foundation/codec/emr_compression.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "foundation/codec/codec_buffer.h"
#include "foundation/calls/emr_exception.h"

using korvalis::codec::ByteArray;
using korvalis::codec::CopyBytes;
using korvalis::codec::HandOver;
using korvalis::codec::NewBytes;

namespace {

constexpr ULONG kTrailerSize = 4;
// Deflate cannot expand data more than 1032-fold, so a stated length above that for the
// whole input is a lie.
constexpr uint64_t kMaxInflateRatio = 1032;
// The first output buffer holds this many times the input (at least kMinFirstCapacity),
// which covers real documents in one allocation; beyond it, memory grows with what
// actually inflates.
constexpr uint64_t kFirstCapacityRatio = 64;
constexpr uint64_t kMinFirstCapacity = 256 * 1024;

[[noreturn]] void ThrowCompressFailed() { throw CEMRException(std::u16string(kCompressFailed)); }

[[noreturn]] void ThrowUncompressFailed() {
  throw CEMRException(std::u16string(kUncompressFailed));
}

ULONG ReadLittleEndian32(const BYTE* p) {
  return static_cast<ULONG>(p[0]) | static_cast<ULONG>(p[1]) << 8 | static_cast<ULONG>(p[2]) << 16 |
         static_cast<ULONG>(p[3]) << 24;
}

void WriteLittleEndian32(BYTE* p, ULONG value) {
  p[0] = static_cast<BYTE>(value);
  p[1] = static_cast<BYTE>(value >> 8);
  p[2] = static_cast<BYTE>(value >> 16);
  p[3] = static_cast<BYTE>(value >> 24);
}

// An inflate stream, ended when it goes out of scope.
class Inflater {
 public:
  Inflater(const BYTE* pbIn, ULONG cbIn) {
    if (inflateInit(&stream_) != Z_OK) ThrowUncompressFailed();
    stream_.next_in = const_cast<Bytef*>(pbIn);
    stream_.avail_in = cbIn;
  }
  ~Inflater() { inflateEnd(&stream_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Inflates into `cbSpace` bytes at `pbSpace`; returns how many were written. Throws
  // when the stream is damaged or ends before the input gives its end. Sets `finished`
  // at the stream's end.
  ULONG Step(BYTE* pbSpace, ULONG cbSpace, bool& finished) {
    stream_.next_out = pbSpace;
    stream_.avail_out = cbSpace;
    const uInt inputBefore = stream_.avail_in;
    const int rc = inflate(&stream_, Z_NO_FLUSH);
    const ULONG written = cbSpace - stream_.avail_out;
    finished = rc == Z_STREAM_END;
    if (rc != Z_OK && rc != Z_BUF_ERROR && rc != Z_STREAM_END) ThrowUncompressFailed();
    if (!finished && written == 0 && stream_.avail_in == inputBefore) ThrowUncompressFailed();
    return written;
  }

 private:
  z_stream stream_{};
};

}  // namespace

void CDummyCompression::Compress(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  CopyBytes(pbIn, cbIn, pbOut, cbOut);
}

void CDummyCompression::Uncompress(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  CopyBytes(pbIn, cbIn, pbOut, cbOut);
}

void CGzipCompression::Compress(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  const uLong cbBound = compressBound(cbIn);
  if (cbBound > UINT32_MAX - kTrailerSize) ThrowCompressFailed();
  ByteArray compressed = NewBytes(cbBound + kTrailerSize);
  uLongf cbStream = cbBound;
  if (compress(compressed.get(), &cbStream, pbIn, cbIn) != Z_OK) ThrowCompressFailed();
  WriteLittleEndian32(compressed.get() + cbStream, cbIn);
  HandOver(std::move(compressed), static_cast<ULONG>(cbStream + kTrailerSize), pbOut, cbOut);
}

void CGzipCompression::Uncompress(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  if (cbIn < kTrailerSize) ThrowUncompressFailed();
  const ULONG cbStated = ReadLittleEndian32(pbIn + cbIn - kTrailerSize);
  if (cbStated > kMaxInflateRatio * cbIn) ThrowUncompressFailed();
  if (cbStated > kMaxExpandedBytes) throw CEMRException(std::u16string(kExpandedTooLarge));

  // The whole input, trailer included, is offered to zlib, which stops at the end of its
  // stream.
  Inflater inflater(pbIn, cbIn);
  ULONG capacity = static_cast<ULONG>(
      std::min<uint64_t>(cbStated, std::max(kMinFirstCapacity, kFirstCapacityRatio * cbIn)));
  ByteArray plain = NewBytes(capacity);
  ULONG produced = 0;
  bool finished = false;
  while (!finished) {
    if (produced == capacity && capacity < cbStated) {
      const ULONG grown = capacity > cbStated / 2 ? cbStated : capacity * 2;
      ByteArray bigger = NewBytes(grown);
      std::memcpy(bigger.get(), plain.get(), produced);
      plain = std::move(bigger);
      capacity = grown;
    }
    if (produced < capacity) {
      produced += inflater.Step(plain.get() + produced, capacity - produced, finished);
    } else {
      // The stated length is reached: the stream must end without another byte.
      BYTE probe;
      if (inflater.Step(&probe, 1, finished) != 0) ThrowUncompressFailed();
    }
  }
  if (produced != cbStated) ThrowUncompressFailed();
  HandOver(std::move(plain), produced, pbOut, cbOut);
}

void CGzipCompression::CompressBstr(BSTR& bstr) {
  const UINT cbText = SysStringByteLen(bstr);
  if (cbText == 0) return;
  BYTE* pbCompressed = nullptr;
  ULONG cbCompressed = 0;
  // The text's 2-byte terminator is compressed with it.
  Compress(reinterpret_cast<const BYTE*>(bstr), cbText + sizeof(OLECHAR), pbCompressed,
           cbCompressed);
  ByteArray compressed(pbCompressed);
  BSTR replacement =
      SysAllocStringByteLen(reinterpret_cast<const char*>(compressed.get()), cbCompressed);
  if (replacement == nullptr) throw std::bad_alloc();
  SysFreeString(bstr);
  bstr = replacement;
}

void CGzipCompression::UncompressBstr(BSTR& bstr) {
  if (SysStringLen(bstr) == 0) return;
  BYTE* pbPlain = nullptr;
  ULONG cbPlain = 0;
  Uncompress(reinterpret_cast<const BYTE*>(bstr), SysStringByteLen(bstr), pbPlain, cbPlain);
  ByteArray plain(pbPlain);
  BSTR replacement = SysAllocStringByteLen(reinterpret_cast<const char*>(plain.get()), cbPlain);
  if (replacement == nullptr) throw std::bad_alloc();
  bstr = replacement;
}
