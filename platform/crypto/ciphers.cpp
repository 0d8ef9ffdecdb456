#include "platform/crypto/ciphers.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/crypto/module/cipher_module.h"
#include "platform/sys/on_demand_library.h"

namespace korvalis::crypto {
namespace {

constexpr char kModuleName[] = "libkorvalis_ciphers.so";

// The object (program or library) that holds this code, or nullptr.
const link_map* HoldingObject() {
  static const int anchor = 0;
  Dl_info info{};
  link_map* object = nullptr;
  if (::dladdr1(&anchor, &info, reinterpret_cast<void**>(&object), RTLD_DL_LINKMAP) == 0) {
    return nullptr;
  }
  return object;
}

// The file of `object`: the library's path, or the program itself. For the program the loader
// keeps no path, only the name it was started by (a bare name when it was found through PATH),
// so the program's file is read from /proc/self/exe.
std::filesystem::path HoldingFile(const link_map& object) {
  std::error_code error;
  if (object.l_name == nullptr || object.l_name[0] == '\0') {
    return std::filesystem::read_symlink("/proc/self/exe", error);
  }
  const std::filesystem::path library = std::filesystem::canonical(object.l_name, error);
  return error ? std::filesystem::path(object.l_name) : library;
}

// The folders of the run path that `object` carries (DT_RUNPATH, or the older DT_RPATH). The
// build gives its programs the folder where it builds the module; an installation removes the
// run path, so an installed program looks only where it was installed. Folders written with
// the loader's $ORIGIN and the like are passed over.
std::vector<std::filesystem::path> RunPathFolders(const link_map& object) {
  ElfW(Addr) strings = 0;
  const ElfW(Dyn)* run_path = nullptr;
  for (const ElfW(Dyn)* entry = object.l_ld; entry != nullptr && entry->d_tag != DT_NULL;
       ++entry) {
    if (entry->d_tag == DT_STRTAB) strings = entry->d_un.d_ptr;
    if (entry->d_tag == DT_RUNPATH || (entry->d_tag == DT_RPATH && run_path == nullptr)) {
      run_path = entry;
    }
  }
  std::vector<std::filesystem::path> folders;
  if (strings == 0 || run_path == nullptr) return folders;
  // The loader turns the section's addresses into the running ones where it may write the
  // section; elsewhere they are still offsets from the object's base.
  if (strings < object.l_addr) strings += object.l_addr;
  std::string_view text(reinterpret_cast<const char*>(strings) + run_path->d_un.d_val);
  while (!text.empty()) {
    const std::string_view folder = text.substr(0, text.find(':'));
    if (!folder.empty() && folder.find('$') == std::string_view::npos) {
      folders.emplace_back(folder);
    }
    text.remove_prefix(std::min(text.size(), folder.size() + 1));
  }
  return folders;
}

// Where the module may be, in the order it is looked for: beside the file that holds this
// code, in the libraries' folder of an installation's program, and in the folders of the
// holder's run path (the build's, in the build tree). Only a process that cannot tell which
// file holds this code (no /proc) leaves the search to the loader.
std::vector<std::string> ModuleCandidates() {
  std::vector<std::string> candidates;
  const link_map* object = HoldingObject();
  if (object == nullptr) return {kModuleName};
  const std::filesystem::path holder = HoldingFile(*object).parent_path();
  if (!holder.empty()) {
    candidates.push_back((holder / kModuleName).string());
    candidates.push_back((holder / KORVALIS_LIBDIR_FROM_BINDIR / kModuleName).string());
  }
  for (const std::filesystem::path& folder : RunPathFolders(*object)) {
    candidates.push_back((folder / kModuleName).string());
  }
  if (candidates.empty()) candidates.push_back(kModuleName);
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
