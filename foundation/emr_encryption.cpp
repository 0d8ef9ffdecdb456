#include "foundation/emr_encryption.h"

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/arc4.h>
#include <cryptopp/des.h>
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/md5.h>
#include <cryptopp/modes.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "foundation/codec_buffer.h"
#include "foundation/emr_compression.h"
#include "foundation/emr_encoder.h"
#include "foundation/emr_exception.h"
#include "platform/text/unicode.h"

using korvalis::codec::ByteArray;
using korvalis::codec::CopyBytes;
using korvalis::codec::HandOver;
using korvalis::codec::NewBytes;

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

template <class Action>
void RunRc4Step(const char* message, Action action) {
  try {
    action();
  } catch (const CryptoPP::Exception&) {
    throw CEMRException(std::string(message));
  }
}

// RC4 is its own inverse: both directions run the same key stream over the data. The key
// is the whole 128-bit MD5 digest of the key material, without salt.
void RunRc4(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut,
            const Rc4StepMessages& messages) {
  CryptoPP::Weak1::MD5 hash;
  RunRc4Step(messages.hashData, [&] { hash.Update(kKeyMaterial, sizeof(kKeyMaterial)); });
  CryptoPP::Weak1::ARC4 cipher;
  RunRc4Step(messages.deriveKey, [&] {
    BYTE key[CryptoPP::Weak1::MD5::DIGESTSIZE];
    hash.Final(key);
    cipher.SetKey(key, sizeof(key));
  });
  ByteArray data = NewBytes(cbIn);
  if (cbIn != 0) RunRc4Step(messages.run, [&] { cipher.ProcessData(data.get(), pbIn, cbIn); });
  HandOver(std::move(data), cbIn, pbOut, cbOut);
}

// Two-key triple DES with 8-byte (64-bit) cipher feedback; a final partial block takes the
// leading bytes of the last key block, so any length is accepted and kept. The plain CFB mode
// takes any length by design (the mode that requires whole blocks only asserts it), and gives
// the same bytes.
template <class Cipher>
void RunDes2(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  Cipher cipher;
  cipher.SetKeyWithIV(kKeyMaterial, sizeof(kKeyMaterial), kDesInitialVector,
                      sizeof(kDesInitialVector));
  ByteArray data = NewBytes(cbIn);
  if (cbIn != 0) cipher.ProcessData(data.get(), pbIn, cbIn);
  HandOver(std::move(data), cbIn, pbOut, cbOut);
}

using Des2Mode = CryptoPP::CFB_Mode<CryptoPP::DES_EDE2>;

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
  RunDes2<Des2Mode::Encryption>(pbIn, cbIn, pbOut, cbOut);
}

void CDES2Encryption::Decrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  RunDes2<Des2Mode::Decryption>(pbIn, cbIn, pbOut, cbOut);
}

void CMD5Encryption::Encrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  std::string digest;
  CryptoPP::Weak1::MD5 hash;
  // HexEncoder writes upper-case digits without grouping.
  CryptoPP::HashFilter filter(hash, new CryptoPP::HexEncoder(new CryptoPP::StringSink(digest)));
  filter.Put(pbIn, cbIn);
  filter.MessageEnd();
  const ULONG cbDigest = static_cast<ULONG>(digest.size() + 1);
  ByteArray text = NewBytes(cbDigest);
  std::memcpy(text.get(), digest.c_str(), cbDigest);
  HandOver(std::move(text), cbDigest, pbOut, cbOut);
}
