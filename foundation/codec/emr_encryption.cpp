#include "foundation/codec/emr_encryption.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "foundation/calls/emr_exception.h"
#include "foundation/codec/codec_buffer.h"
#include "foundation/codec/emr_compression.h"
#include "foundation/codec/emr_encoder.h"
#include "platform/crypto/ciphers.h"
#include "platform/text/hex.h"
#include "platform/text/unicode.h"

using korvalis::codec::ByteArray;
using korvalis::codec::CopyBytes;
using korvalis::codec::HandOver;
using korvalis::codec::NewBytes;
using korvalis::crypto::CipherError;

namespace {

// The system's key material: the triple-DES key itself, and hashed into the RC4 key.
constexpr BYTE kKeyMaterial[16] = {0x5e, 0x0c, 0x93, 0xa7, 0xd1, 0x48, 0x2b, 0xf6,
                                   0xe7, 0x10, 0x9c, 0x3d, 0x4a, 0x6b, 0x8f, 0x21};
constexpr BYTE kDesInitialVector[8] = {0xc4, 0x19, 0xe0, 0x7b, 0x52, 0xa6, 0xd3, 0x8f};

// The RC4 codec reports which step failed, in the words of the crypto service it was
// first written for; encryption and decryption word them differently.
struct Rc4StepMessages {
  const char* hashData;
  const char* deriveKey;
  const char* run;
};
constexpr Rc4StepMessages kRc4EncryptMessages = {
    "Error during CryptHashData. \n", "Error during CryptDeriveKey!\n",
    "Error during CryptEncrypt. \n"};
constexpr Rc4StepMessages kRc4DecryptMessages = {
    "Error during CryptHashData!", "Error during CryptDeriveKey!", "Error during CryptDecrypt!"};

// RC4 is its own inverse: both directions run the same key stream over the data. The key
// is the whole 128-bit MD5 digest of the key material, without salt.
void RunRc4(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut,
            const Rc4StepMessages& messages) {
  ByteArray data = NewBytes(cbIn);
  try {
    korvalis::crypto::Rc4WithMd5Key(kKeyMaterial, sizeof(kKeyMaterial), pbIn, data.get(), cbIn);
  } catch (const CipherError& error) {
    switch (error.step()) {
      case CipherError::Step::kHashKey: throw CEMRException(std::string(messages.hashData));
      case CipherError::Step::kSetKey: throw CEMRException(std::string(messages.deriveKey));
      case CipherError::Step::kRun: throw CEMRException(std::string(messages.run));
      case CipherError::Step::kLoad: throw CEMRException(std::string(error.what()));
    }
  }
  HandOver(std::move(data), cbIn, pbOut, cbOut);
}

// Two-key triple DES with 8-byte (64-bit) cipher feedback; a final partial block takes the
// leading bytes of the last key block, so any length is accepted and kept.
void RunDes2(bool encrypt, const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  ByteArray data = NewBytes(cbIn);
  try {
    korvalis::crypto::Des2Cfb(encrypt, kKeyMaterial, kDesInitialVector, pbIn, data.get(), cbIn);
  } catch (const CipherError& error) {
    throw CEMRException(std::string(error.what()));
  }
  HandOver(std::move(data), cbIn, pbOut, cbOut);
}

}  // namespace

void CDummyEncryption::Encrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  CopyBytes(pbIn, cbIn, pbOut, cbOut);
}

void CDummyEncryption::Decrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  CopyBytes(pbIn, cbIn, pbOut, cbOut);
}

void CEnzipEncryption::Encrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  std::u16string text;
  CBase64Encoder().Encode(pbIn, cbIn, text);
  if (text.size() >= UINT32_MAX / 2) throw CEMRException(std::u16string(u"GZIP执行压缩错误"));
  // The text as UTF-16LE bytes with its zero terminator.
  std::string bytes;
  korvalis::AppendUtf16Le(text, bytes);
  bytes.append(2, '\0');
  CGzipCompression().Compress(reinterpret_cast<const BYTE*>(bytes.data()),
                              static_cast<ULONG>(bytes.size()), pbOut, cbOut);
}

void CEnzipEncryption::Decrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  BYTE* pbPlain = nullptr;
  ULONG cbPlain = 0;
  CGzipCompression().Uncompress(pbIn, cbIn, pbPlain, cbPlain);
  ByteArray plain(pbPlain);
  // UTF-16LE text up to its first zero character.
  std::u16string text;
  text.reserve(cbPlain / 2);
  for (ULONG i = 0; i + 1 < cbPlain; i += 2) {
    const char16_t c = static_cast<char16_t>(plain[i] | plain[i + 1] << 8);
    if (c == 0) break;
    text.push_back(c);
  }
  CBase64Encoder().Decode(text, pbOut, cbOut);
}

void CWinApiEncryption::Encrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  RunRc4(pbIn, cbIn, pbOut, cbOut, kRc4EncryptMessages);
}

void CWinApiEncryption::Decrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  RunRc4(pbIn, cbIn, pbOut, cbOut, kRc4DecryptMessages);
}

void CDES2Encryption::Encrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  RunDes2(true, pbIn, cbIn, pbOut, cbOut);
}

void CDES2Encryption::Decrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  RunDes2(false, pbIn, cbIn, pbOut, cbOut);
}

void CMD5Encryption::Encrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  uint8_t digest[korvalis::crypto::kMd5DigestSize];
  try {
    korvalis::crypto::Md5(pbIn, cbIn, digest);
  } catch (const CipherError& error) {
    throw CEMRException(std::string(error.what()));
  }
  // Upper-case hex digits without grouping, and a zero byte.
  const ULONG cbDigest = 2 * sizeof(digest) + 1;
  ByteArray text = NewBytes(cbDigest);
  for (size_t i = 0; i < sizeof(digest); ++i) {
    text[2 * i] = korvalis::HexDigit(digest[i] >> 4, korvalis::HexLetters::kCapital);
    text[2 * i + 1] = korvalis::HexDigit(digest[i], korvalis::HexLetters::kCapital);
  }
  text[cbDigest - 1] = 0;
  HandOver(std::move(text), cbDigest, pbOut, cbOut);
}
