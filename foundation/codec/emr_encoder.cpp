#include "foundation/codec/emr_encoder.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include <xercesc/util/Base64.hpp>

#include "foundation/codec/codec_buffer.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xml_parser.h"

using korvalis::codec::HandOver;
using korvalis::codec::NewBytes;

namespace {

// Buffers that Base64 allocates without a memory manager come from operator new.
struct XercesBytesDeleter {
  void operator()(XMLByte* bytes) const { ::operator delete(bytes); }
};
using XercesBytes = std::unique_ptr<XMLByte, XercesBytesDeleter>;

bool IsBase64WhiteSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

[[noreturn]] void ThrowEncodeFailed() {
  throw CEMRException(std::u16string(u"Base64执行编码错误"));
}

[[noreturn]] void ThrowInvalidBase64() {
  throw CEMRException(std::u16string(u"Base64执行解码错误"));
}

}  // namespace

void CBase64Encoder::Encode(const BYTE* pbIn, ULONG cbIn, std::u16string& strOut) {
  if (cbIn == 0) {
    strOut.clear();
    return;
  }
  StartXmlLibrary();
  XMLSize_t cchEncoded = 0;
  XercesBytes encoded(xercesc::Base64::encode(pbIn, cbIn, &cchEncoded));
  if (!encoded) ThrowEncodeFailed();
  // Base64 text is ASCII: each byte widens to one UTF-16 character.
  strOut.resize(cchEncoded);
  const XMLByte* source = encoded.get();
  for (XMLSize_t i = 0; i < cchEncoded; ++i) strOut[i] = source[i];
}

void CBase64Encoder::Decode(std::u16string_view strIn, BYTE*& pbOut, ULONG& cbOut) {
  strIn = strIn.substr(0, strIn.find(u'\0'));
  if (strIn.empty()) {
    cbOut = 0;
    return;
  }
  // Narrow to the ASCII the decoder reads; any other character cannot be Base64.
  std::string narrow(strIn.size(), '\0');
  bool onlyWhiteSpace = true;
  for (size_t i = 0; i < strIn.size(); ++i) {
    char16_t c = strIn[i];
    if (c > 0x7F) ThrowInvalidBase64();
    narrow[i] = static_cast<char>(c);
    onlyWhiteSpace = onlyWhiteSpace && IsBase64WhiteSpace(c);
  }
  if (onlyWhiteSpace) {
    cbOut = 0;
    return;
  }
  StartXmlLibrary();
  XMLSize_t cbDecoded = 0;
  XercesBytes decoded(xercesc::Base64::decode(reinterpret_cast<const XMLByte*>(narrow.c_str()),
                                              &cbDecoded, nullptr,
                                              xercesc::Base64::Conf_RFC2045));
  if (!decoded || cbDecoded > UINT32_MAX) ThrowInvalidBase64();
  korvalis::codec::ByteArray bytes = NewBytes(cbDecoded);
  std::memcpy(bytes.get(), decoded.get(), cbDecoded);
  HandOver(std::move(bytes), static_cast<ULONG>(cbDecoded), pbOut, cbOut);
}
