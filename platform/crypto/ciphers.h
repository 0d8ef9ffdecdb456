// The ciphers and the digest the codecs use (RC4, two-key triple DES in 64-bit cipher feedback,
// MD5), computed by Crypto++ in a module of the system's own (module/cipher_module.cpp) that is
// loaded on the first use: a process that enciphers nothing does not load and relocate
// Crypto++, one of the largest libraries the system uses.
//
// The module is looked for beside the library or program that holds this code, then in the
// library folder of an installation (for the command in its bin folder), then in the folders of
// the holder's run path, which the build gives its tests, benchmarks and fuzz targets (the
// command built finds a link to it beside itself): an installed program has no run path and
// looks only where it was installed.
//
// Thread-safety: every function may be called from any thread; the module is loaded once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace korvalis::crypto {

// A step of a cipher failed, or the module cannot be loaded; what() says which.
class CipherError : public std::runtime_error {
 public:
  enum class Step { kLoad, kHashKey, kSetKey, kRun };
  CipherError(Step step, const std::string& what) : std::runtime_error(what), step_(step) {}
  Step step() const { return step_; }

 private:
  Step step_;
};

inline constexpr size_t kMd5DigestSize = 16;
inline constexpr size_t kDes2KeySize = 16;
inline constexpr size_t kDesBlockSize = 8;

// RC4 keyed by the whole MD5 digest of `key_material`, run over `length` bytes of `in` into
// `out` (which may be `in`). RC4 is its own inverse.
void Rc4WithMd5Key(const uint8_t* key_material, size_t key_length, const uint8_t* in,
                   uint8_t* out, size_t length);

// Two-key triple DES in 64-bit cipher feedback over any length, from `iv`.
void Des2Cfb(bool encrypt, const uint8_t (&key)[kDes2KeySize], const uint8_t (&iv)[kDesBlockSize],
             const uint8_t* in, uint8_t* out, size_t length);

// The MD5 digest of `length` bytes of `in`.
void Md5(const uint8_t* in, size_t length, uint8_t (&digest)[kMd5DigestSize]);

}  // namespace korvalis::crypto
