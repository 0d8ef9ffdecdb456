#include "platform/crypto/ciphers.h"

#include <dlfcn.h>
#include <link.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/crypto/module/cipher_module.h"
#include "platform/sys/on_demand_library.h"

namespace korvalis::crypto {
namespace {

constexpr char kModuleName[] = "libkorvalis_ciphers.so";

// The file that holds this code: the library it was loaded from, or the program itself. For
// the program the loader keeps no path, only the name it was started by (a bare name when it
// was found through PATH), so the program's file is read from /proc/self/exe.
std::filesystem::path HoldingFile() {
  static const int anchor = 0;
  Dl_info info{};
  link_map* object = nullptr;
  if (::dladdr1(&anchor, &info, reinterpret_cast<void**>(&object), RTLD_DL_LINKMAP) == 0) {
    return {};
  }
  std::error_code error;
  if (object == nullptr || object->l_name == nullptr || object->l_name[0] == '\0') {
    return std::filesystem::read_symlink("/proc/self/exe", error);
  }
  const std::filesystem::path library = std::filesystem::canonical(object->l_name, error);
  return error ? std::filesystem::path(object->l_name) : library;
}

// Where the module may be, in the order it is looked for: beside the file that holds this
// code, in the libraries' directory of an installation's program, and in the build tree.
std::vector<std::string> ModuleCandidates() {
  std::vector<std::string> candidates;
  const std::filesystem::path holder = HoldingFile().parent_path();
  if (!holder.empty()) {
    candidates.push_back((holder / kModuleName).string());
    candidates.push_back((holder / KORVALIS_LIBDIR_FROM_BINDIR / kModuleName).string());
  }
  candidates.push_back(KORVALIS_CIPHER_MODULE_BUILT);
  return candidates;
}

sys::OnDemandLibrary& Module() {
  static sys::OnDemandLibrary module(ModuleCandidates());
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
