// libFuzzer target for the codecs' reading side: every stored form that can arrive from the
// database (zlib with its length trailer, each encryption, Base64 text, compressed BSTRs)
// must either decode or fail with CEMRException; it must never crash, read out of bounds or
// leak. Round trips are checked too: what the codecs write they must read back unchanged.
//
// The first input byte selects the operation; the rest is its input.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/codec/codec_factory.h"
#include "foundation/calls/emr_exception.h"
#include "platform/com/bstr.h"

namespace {

// Owns a codec output array.
struct Output {
  BYTE* pb = nullptr;
  ULONG cb = 0;
  ~Output() { delete[] pb; }
};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void Uncompress(const BYTE* data, ULONG size) {
  Output out;
  CreateCompression(1)->Uncompress(data, size, out.pb, out.cb);
}

void Decrypt(int type, const BYTE* data, ULONG size) {
  Output out;
  CreateEncryption(type)->Decrypt(data, size, out.pb, out.cb);
}

void DecodeBase64(const BYTE* data, ULONG size) {
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), data, text.size() * 2);
  Output out;
  CreateEncoder(0)->Decode(text, out.pb, out.cb);
}

void UncompressBstr(const BYTE* data, ULONG size) {
  BSTR stored = SysAllocStringByteLen(reinterpret_cast<const char*>(data), size);
  BSTR bstr = stored;
  try {
    CreateCompression(1)->UncompressBstr(bstr);
  } catch (const CEMRException&) {
  }
  if (bstr != stored) SysFreeString(bstr);
  SysFreeString(stored);
}

// Writes the input with a codec, damages one byte of the stored form as the input's
// first bytes say, and reads it back.
void DamagedStore(const BYTE* data, ULONG size) {
  if (size < 3) return;
  const ULONG position = static_cast<ULONG>(data[0]) << 8 | data[1];
  const BYTE flip = data[2];
  Output stored;
  CreateCompression(1)->Compress(data + 3, size - 3, stored.pb, stored.cb);
  stored.pb[position % stored.cb] ^= flip;
  Uncompress(stored.pb, stored.cb);
}

void RoundTrips(const BYTE* data, ULONG size) {
  for (int type : {1, 2, 3}) {
    Output stored;
    Output back;
    auto codec = CreateEncryption(type);
    codec->Encrypt(data, size, stored.pb, stored.cb);
    codec->Decrypt(stored.pb, stored.cb, back.pb, back.cb);
    Check(back.cb == size && (size == 0 || std::memcmp(back.pb, data, size) == 0));
  }
  Output compressed;
  Output back;
  auto gzip = CreateCompression(1);
  gzip->Compress(data, size, compressed.pb, compressed.cb);
  gzip->Uncompress(compressed.pb, compressed.cb, back.pb, back.cb);
  Check(back.cb == size && (size == 0 || std::memcmp(back.pb, data, size) == 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > UINT32_MAX) return 0;
  const BYTE* input = data + 1;
  const ULONG cbInput = static_cast<ULONG>(size - 1);
  try {
    switch (data[0] % 10) {
      case 0: Uncompress(input, cbInput); break;
      case 1: Decrypt(0, input, cbInput); break;
      case 2: Decrypt(1, input, cbInput); break;
      case 3: Decrypt(2, input, cbInput); break;
      case 4: Decrypt(3, input, cbInput); break;
      case 5: Decrypt(4, input, cbInput); break;
      case 6: DecodeBase64(input, cbInput); break;
      case 7: UncompressBstr(input, cbInput); break;
      case 8: DamagedStore(input, cbInput); break;
      default: RoundTrips(input, cbInput); break;
    }
  } catch (const CEMRException&) {
    // A refusal with the codec's message is the expected answer to damaged input.
  }
  return 0;
}
