#include "emrdoc/emr_content_hand_over.h"

#include <cstring>
#include <memory>
#include <new>

#include "foundation/codec/codec_factory.h"
#include "foundation/calls/emr_exception.h"

BSTR PackEmrContent(std::u16string_view text) {
  BSTR packed = korvalis::AllocBstr(text);
  if (packed == nullptr) throw std::bad_alloc();
  if (text.empty()) return packed;
  try {
    CreateCompression(-1)->CompressBstr(packed);
  } catch (...) {
    SysFreeString(packed);
    throw;
  }
  return packed;
}

std::u16string UnpackEmrContent(BSTR packed) {
  std::u16string text = UnpackEmrContentUnits(packed);
  if (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

std::u16string UnpackEmrContentUnits(BSTR packed) {
  const UINT packed_bytes = SysStringByteLen(packed);
  if (packed_bytes == 0) return std::u16string();
  BYTE* plain = nullptr;
  ULONG plain_bytes = 0;
  CreateCompression(-1)->Uncompress(reinterpret_cast<const BYTE*>(packed), packed_bytes, plain,
                                    plain_bytes);
  std::unique_ptr<BYTE[]> owned(plain);
  // Text is whole UTF-16 units; an odd count is some other thing's bytes.
  if (plain_bytes % 2 != 0) throw CEMRException(std::u16string(kUncompressFailed));
  std::u16string text(plain_bytes / 2, u'\0');
  if (plain_bytes != 0) std::memcpy(text.data(), owned.get(), plain_bytes);
  return text;
}
