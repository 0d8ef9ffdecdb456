#include "platform/crypto/module/cipher_module.h"

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/arc4.h>
#include <cryptopp/des.h>
#include <cryptopp/md5.h>
#include <cryptopp/modes.h>

namespace {

enum Step { kDone = 0, kHashKey = 1, kSetKey = 2, kRun = 3 };

template <class Action>
bool Ran(Action action) {
  try {
    action();
    return true;
  } catch (const CryptoPP::Exception&) {
    return false;
  }
}

template <class Cipher>
int RunDes2(const uint8_t* key, const uint8_t* iv, const uint8_t* in, uint8_t* out,
            size_t length) {
  Cipher cipher;
  if (!Ran([&] { cipher.SetKeyWithIV(key, CryptoPP::DES_EDE2::KEYLENGTH, iv, 8); })) {
    return kSetKey;
  }
  if (length != 0 && !Ran([&] { cipher.ProcessData(out, in, length); })) return kRun;
  return kDone;
}

using Des2Mode = CryptoPP::CFB_Mode<CryptoPP::DES_EDE2>;

}  // namespace

extern "C" {

int KorvalisRc4WithMd5Key(const uint8_t* key_material, size_t key_length, const uint8_t* in,
                          uint8_t* out, size_t length) {
  CryptoPP::Weak1::MD5 hash;
  if (!Ran([&] { hash.Update(key_material, key_length); })) return kHashKey;
  CryptoPP::Weak1::ARC4 cipher;
  if (!Ran([&] {
        CryptoPP::byte key[CryptoPP::Weak1::MD5::DIGESTSIZE];
        hash.Final(key);
        cipher.SetKey(key, sizeof(key));
      })) {
    return kSetKey;
  }
  if (length != 0 && !Ran([&] { cipher.ProcessData(out, in, length); })) return kRun;
  return kDone;
}

int KorvalisDes2Cfb(int encrypt, const uint8_t* key, const uint8_t* iv, const uint8_t* in,
                    uint8_t* out, size_t length) {
  return encrypt != 0 ? RunDes2<Des2Mode::Encryption>(key, iv, in, out, length)
                      : RunDes2<Des2Mode::Decryption>(key, iv, in, out, length);
}

int KorvalisMd5(const uint8_t* in, size_t length, uint8_t* digest) {
  CryptoPP::Weak1::MD5 hash;
  return Ran([&] { hash.CalculateDigest(digest, in, length); }) ? kDone : kRun;
}

}  // extern "C"
