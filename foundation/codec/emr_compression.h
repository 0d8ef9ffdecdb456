// CEMRCompression compresses stored bytes: CDummyCompression (type 0) keeps them as they
// are, CGzipCompression (type 1) stores a zlib stream followed by the uncompressed length:
//
//   bytes 0 .. n-1   zlib stream (2-byte header, deflate data, Adler-32)
//   bytes n .. n+3   uncompressed length, unsigned 32-bit little-endian
//
// Output arrays are allocated with array new; the caller releases them with array delete.
// An output pointer passed in must be null or an array of the caller's from array new: it
// is released when a new result replaces it. A failure leaves it as it was.
//
// Thread-safety: codec objects keep no state; each thread may use its own object freely.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/types.h"

// The failures of the zlib compression.
inline constexpr char16_t kCompressFailed[] = u"GZIP执行压缩错误";
inline constexpr char16_t kUncompressFailed[] = u"GZIP执行解压缩错误";

// The most bytes that one expansion produces: the largest record a hospital stores, with a
// margin. Every expansion of compressed bytes, a caller's or stored ones, goes through
// CGzipCompression::Uncompress, which refuses a larger one with kExpandedTooLarge. The same
// bound holds for the content the system makes (a transformed page) and for what the command
// reads whole (an argument, a script).
inline constexpr ULONG kMaxExpandedBytes = 64u * 1024 * 1024;
inline constexpr char16_t kExpandedTooLarge[] = u"解压缩后的内容超过64MB的上限, 已拒绝";

class CEMRCompression {
 public:
  virtual ~CEMRCompression() = default;

  // Replaces a non-empty BSTR by one whose bytes are the compressed form of its bytes
  // and its 2-byte terminator; the old BSTR is freed. Null and empty BSTRs stay.
  virtual void CompressBstr(BSTR& bstr) = 0;
  virtual void Compress(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) = 0;
  // Replaces a BSTR of at least one character by a new BSTR holding all the uncompressed
  // bytes (for text from CompressBstr: the text and its zero character). The old BSTR is
  // NOT freed: it stays the caller's to free.
  virtual void UncompressBstr(BSTR& bstr) = 0;
  virtual void Uncompress(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) = 0;
  virtual int GetType() = 0;
};

class CDummyCompression : public CEMRCompression {
 public:
  void CompressBstr(BSTR&) override {}
  // Copies the input.
  void Compress(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) override;
  void UncompressBstr(BSTR&) override {}
  // Copies the input.
  void Uncompress(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) override;
  int GetType() override { return 0; }
};

class CGzipCompression : public CEMRCompression {
 public:
  void CompressBstr(BSTR& bstr) override;
  // Throws CEMRException "GZIP执行压缩错误" when zlib fails.
  void Compress(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) override;
  void UncompressBstr(BSTR& bstr) override;
  // Throws CEMRException "GZIP执行解压缩错误" when the input is shorter than its trailer,
  // when the stream is damaged or incomplete, or when the trailer's length is not the
  // length that the stream inflates to; kExpandedTooLarge when the trailer's length is above
  // kMaxExpandedBytes, before inflating anything. Memory grows with what actually inflates,
  // never with the trailer's claim alone, and never beyond the limit.
  void Uncompress(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) override;
  int GetType() override { return 1; }
};
