#include "platform/crypto/ciphers.h"

#include "platform/crypto/module/cipher_module.h"
#include "platform/sys/installed_file.h"
#include "platform/sys/on_demand_library.h"

namespace korvalis::crypto {
namespace {

constexpr char kModuleName[] = "libkorvalis_ciphers.so";

sys::OnDemandLibrary& Module() {
  static sys::OnDemandLibrary& module =
      *new sys::OnDemandLibrary(sys::InstalledFileCandidates(kModuleName));
  return module;
}

template <class Function>
Function Find(const char* name) {
  try {
    return Module().Find<Function>(name);
  } catch (const sys::LibraryUnavailable& error) {
    throw CipherError(CipherError::Step::kLoad, error.what());
  }
}

void Check(int step, const char* cipher) {
  switch (step) {
    case 0: return;
    case 1: throw CipherError(CipherError::Step::kHashKey, std::string(cipher) + ": hashing the key failed");
    case 2: throw CipherError(CipherError::Step::kSetKey, std::string(cipher) + ": setting the key failed");
    default: throw CipherError(CipherError::Step::kRun, std::string(cipher) + " failed");
  }
}

}  // namespace

void Rc4WithMd5Key(const uint8_t* key_material, size_t key_length, const uint8_t* in,
                   uint8_t* out, size_t length) {
  static const auto run = Find<decltype(&KorvalisRc4WithMd5Key)>("KorvalisRc4WithMd5Key");
  Check(run(key_material, key_length, in, out, length), "RC4");
}

void Des2Cfb(bool encrypt, const uint8_t (&key)[kDes2KeySize], const uint8_t (&iv)[kDesBlockSize],
             const uint8_t* in, uint8_t* out, size_t length) {
  static const auto run = Find<decltype(&KorvalisDes2Cfb)>("KorvalisDes2Cfb");
  Check(run(encrypt ? 1 : 0, key, iv, in, out, length), "triple DES");
}

void Md5(const uint8_t* in, size_t length, uint8_t (&digest)[kMd5DigestSize]) {
  static const auto run = Find<decltype(&KorvalisMd5)>("KorvalisMd5");
  Check(run(in, length, digest), "MD5");
}

}  // namespace korvalis::crypto
