// The BLOB statements of CSingleDataSource: stored bytes pass through the codecs whose type
// numbers the caller keeps beside them. Reading decrypts, then uncompresses, then (text mode)
// drops the byte-order mark; writing does the reverse. Only numbers above 0 select a codec.
#include <cstring>
#include <memory>

#include "foundation/codec/codec_factory.h"
#include "foundation/data/database_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/codec/iss_helper.h"
#include "foundation/data/single_data_source.h"
#include "platform/db/provider.h"
#include "platform/text/unicode.h"

using korvalis::db::BlobValue;
using korvalis::db::DbError;

namespace {

constexpr BYTE kByteOrderMark[] = {0xFF, 0xFE};
// The digest codec is one-way: content stored with it could never be read back.
constexpr int kDigestEncryption = 4;

// A byte array allocated with array new, as the codecs hand them over.
struct Bytes {
  std::unique_ptr<BYTE[]> data;
  ULONG length = 0;

  static Bytes Copy(const void* from, ULONG length) {
    Bytes bytes;
    bytes.data.reset(new BYTE[length == 0 ? 1 : length]);
    if (length != 0) std::memcpy(bytes.data.get(), from, length);
    bytes.length = length;
    return bytes;
  }
};

void CheckEncryption(int encryption) {
  if (encryption == kDigestEncryption) throw CEMRException(std::u16string(u"不正确的加密类型"));
}

// Runs `codec_step` on `bytes`; the codec hands over a new array (or leaves it for no output).
template <class Step>
void Transform(Bytes& bytes, Step codec_step) {
  BYTE* out = nullptr;
  ULONG out_length = 0;
  codec_step(bytes.data.get(), bytes.length, out, out_length);
  if (out != bytes.data.get()) bytes.data.reset(out);
  bytes.length = out == nullptr ? 0 : out_length;
}

}  // namespace

void CSingleDataSource::ReadBlob(const std::u16string& sql, BYTE*& data, ULONG& length,
                                 int compression, int encryption, bool text) {
  last_code_ = 0;
  try {
    korvalis::db::Connection& connection = GetSession(&sql);
    BlobValue value;
    try {
      value = connection.ReadBlob(korvalis::ToUtf8(sql));
    } catch (const DbError& error) {
      last_code_ = error.code();
      throw CEMRException(
          korvalis::datasource::SqlErrorText(error.code(), error.description(), sql));
    }
    if (value.state == BlobValue::kNoRow)
      throw CEMRException(kNoDataFoundMessage + korvalis::datasource::QuotedStatement(sql));
    length = 0;
    if (value.state == BlobValue::kNull || value.bytes.empty()) return;
    CheckEncryption(encryption);

    Bytes bytes = Bytes::Copy(value.bytes.data(), static_cast<ULONG>(value.bytes.size()));
    if (encryption > 0) {
      std::unique_ptr<CEMREncryption> codec = CreateEncryption(encryption);
      Transform(bytes, [&](const BYTE* in, ULONG n, BYTE*& out, ULONG& out_n) {
        codec->Decrypt(in, n, out, out_n);
      });
    }
    if (compression > 0 && bytes.length > 0) {
      std::unique_ptr<CEMRCompression> codec = CreateCompression(compression);
      Transform(bytes, [&](const BYTE* in, ULONG n, BYTE*& out, ULONG& out_n) {
        codec->Uncompress(in, n, out, out_n);
      });
    }
    ULONG skip = 0;
    if (text && bytes.length > 2 && std::memcmp(bytes.data.get(), kByteOrderMark, 2) == 0) skip = 2;
    if (bytes.length - skip == 0) return;
    BYTE* result = new BYTE[bytes.length - skip];
    std::memcpy(result, bytes.data.get() + skip, bytes.length - skip);
    delete[] data;
    data = result;
    length = bytes.length - skip;
  } catch (const CEMRException& failure) {
    Fail(failure.GetText(), last_code_, false);
  }
}

void CSingleDataSource::WriteBlob(const std::u16string& sql, const BYTE* data, ULONG length,
                                  int compression, int encryption, bool text) {
  last_code_ = 0;
  try {
    korvalis::db::Connection& connection = GetSession(&sql);
    if (length != 0 && data == nullptr) throw CEMRException(std::u16string(u"写入BLOB数据错误."));
    if (length != 0) CheckEncryption(encryption);
    CISSHelper stream;
    if (length != 0) {
      Bytes bytes;
      if (text) {
        bytes.data.reset(new BYTE[length + 2ull]);
        std::memcpy(bytes.data.get(), kByteOrderMark, 2);
        std::memcpy(bytes.data.get() + 2, data, length);
        bytes.length = length + 2;
      } else {
        bytes = Bytes::Copy(data, length);
      }
      if (compression > 0) {
        std::unique_ptr<CEMRCompression> codec = CreateCompression(compression);
        Transform(bytes, [&](const BYTE* in, ULONG n, BYTE*& out, ULONG& out_n) {
          codec->Compress(in, n, out, out_n);
        });
      }
      if (encryption > 0 && bytes.length > 0) {
        std::unique_ptr<CEMREncryption> codec = CreateEncryption(encryption);
        Transform(bytes, [&](const BYTE* in, ULONG n, BYTE*& out, ULONG& out_n) {
          codec->Encrypt(in, n, out, out_n);
        });
      }
      ULONG written = 0;
      if (stream.Write(bytes.data.get(), bytes.length, &written) != S_OK ||
          written != bytes.length) {
        throw CEMRException(std::u16string(u"写入BLOB数据错误."));
      }
    }
    bool found;
    try {
      found = length == 0 ? connection.WriteBlob(korvalis::ToUtf8(sql), std::nullopt)
                          : connection.WriteBlob(korvalis::ToUtf8(sql), stream.Bytes());
    } catch (const DbError& error) {
      // The engine's account goes to the event log in full; the failure itself names the
      // statement only.
      last_code_ = error.code();
      korvalis::datasource::ReportDatabaseError(
          korvalis::datasource::SqlErrorText(error.code(), error.description(), sql), error.code());
      throw CEMRException(u"更新BLOB数据错误，语句：" + korvalis::datasource::QuotedStatement(sql));
    }
    if (!found)
      throw CEMRException(kNoDataFoundMessage + korvalis::datasource::QuotedStatement(sql));
  } catch (const CEMRException& failure) {
    Fail(failure.GetText(), last_code_, false);
  }
}
