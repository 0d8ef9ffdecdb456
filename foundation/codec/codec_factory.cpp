#include "foundation/codec/codec_factory.h"

#include <string>

#include "foundation/calls/emr_exception.h"

std::unique_ptr<CEMREncoder> CreateEncoder(int nType) {
  switch (nType) {
    case -1:
    case 0:
      return std::make_unique<CBase64Encoder>();
    default:
      throw CEMRException(std::u16string(u"不正确的编码类型"));
  }
}

std::unique_ptr<CEMREncryption> CreateEncryption(int nType) {
  switch (nType) {
    case 0:
      return std::make_unique<CDummyEncryption>();
    case 1:
      return std::make_unique<CEnzipEncryption>();
    case 2:
      return std::make_unique<CWinApiEncryption>();
    case -1:
    case 3:
      return std::make_unique<CDES2Encryption>();
    case 4:
      return std::make_unique<CMD5Encryption>();
    default:
      throw CEMRException(std::u16string(u"不正确的加密类型"));
  }
}

std::unique_ptr<CEMRCompression> CreateCompression(int nType) {
  switch (nType) {
    case 0:
      return std::make_unique<CDummyCompression>();
    case -1:
    case 1:
      return std::make_unique<CGzipCompression>();
    default:
      throw CEMRException(std::u16string(u"不正确的压缩类型"));
  }
}
