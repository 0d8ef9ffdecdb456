// The codec factories: each creates a new codec of the family from the type number stored
// beside the data, -1 asking for the family's default (Base64, triple DES, zlib). Callers
// that store the type of a default codec ask the codec for it with GetType, which never
// answers -1.
//
// Thread-safety: free functions without shared state.
#pragma once

#include <memory>

#include "foundation/codec/emr_compression.h"
#include "foundation/codec/emr_encoder.h"
#include "foundation/codec/emr_encryption.h"

// -1 and 0: CBase64Encoder. Throws CEMRException "不正确的编码类型" for any other number.
std::unique_ptr<CEMREncoder> CreateEncoder(int nType);
// -1: CDES2Encryption; 0 to 4: CDummyEncryption, CEnzipEncryption, CWinApiEncryption,
// CDES2Encryption, CMD5Encryption. Throws CEMRException "不正确的加密类型" otherwise.
std::unique_ptr<CEMREncryption> CreateEncryption(int nType);
// -1: CGzipCompression; 0: CDummyCompression; 1: CGzipCompression. Throws CEMRException
// "不正确的压缩类型" otherwise.
std::unique_ptr<CEMRCompression> CreateCompression(int nType);
