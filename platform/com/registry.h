// The registry of classes: a tree of keys, each with named string values (the name "" is the
// key's default value), kept in one human-readable file. The file holds the classes-root tree
// that registration scripts write and object creation reads.
//
// File format (UTF-8), one key per section, keys in the tree's order:
//
//   [CLSID\{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}\InprocServer32]
//   @="/usr/lib/korvalis/libkorvalis.so"
//   "ThreadingModel"="Neutral"
//
// A section stands for every key, also one without values, so empty keys survive. Within
// quotes, backslash escapes backslash, quote and line feed (\n). Key and value names compare
// without regard to ASCII case and keep the case in which they were first written.
//
// The file's path is the environment variable KORVALIS_REGISTRY, or ~/.korvalis/registry when
// it is unset. The folder of a path that KORVALIS_REGISTRY names must exist (a mistyped
// folder is refused rather than made); other folders are made when missing. Changes are read-modify-write under an exclusive lock of "<path>.lock" and land
// atomically (a new file renamed over the old one), so concurrent registrations never lose each
// other's keys and readers never see half a file. A file that does not parse is never
// overwritten.
//
// Thread-safety: RegistryKey is a plain value; RegistryFile may be used from any thread and
// process at once.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/com/hresult.h"

namespace korvalis::com {

struct NameLess {
  using is_transparent = void;
  bool operator()(std::u16string_view a, std::u16string_view b) const;
};

class RegistryKey {
 public:
  using Subkeys = std::map<std::u16string, RegistryKey, NameLess>;
  using Values = std::map<std::u16string, std::u16string, NameLess>;

  // The key at `path` (names joined by backslashes) below this one, or nullptr.
  const RegistryKey* Find(std::u16string_view path) const;
  RegistryKey* Find(std::u16string_view path);
  // The key at `path`, created with any missing keys on the way.
  RegistryKey& Create(std::u16string_view path);
  // Removes the direct subkey `name` with everything below it; false when there is none.
  bool RemoveSubkey(std::u16string_view name);

  // The value `name` ("" for the default value), or nullptr.
  const std::u16string* Value(std::u16string_view name) const;
  void SetValue(std::u16string_view name, std::u16string_view data);
  bool RemoveValue(std::u16string_view name);

  const Subkeys& subkeys() const { return subkeys_; }
  const Values& values() const { return values_; }

 private:
  Subkeys subkeys_;
  Values values_;
};

// Writes the tree below `root` in the file format above.
std::string FormatRegistry(const RegistryKey& root);
// Deepest nesting of a key below the root that a file may hold.
inline constexpr std::ptrdiff_t kMaxKeyDepth = 512;
// Parses the file format into *root; false (and a reason in *error) when it does not parse,
// also when a key nests deeper than kMaxKeyDepth.
bool ParseRegistry(std::string_view text, RegistryKey* root, std::string* error);

class RegistryFile {
 public:
  // The file at KORVALIS_REGISTRY (or the default path).
  RegistryFile();
  explicit RegistryFile(std::string path);

  const std::string& path() const { return path_; }

  // Reads the whole tree; a missing file is an empty tree. REGDB_E_READREGDB when the file
  // cannot be read or does not parse (with the reason in *error when given).
  HRESULT Read(RegistryKey* root, std::string* error = nullptr) const;

  // As Read, for lookups on every object creation: the tree is parsed again only when the
  // file changed since the last shared read of this path in the process (a file that has not
  // changed for two seconds is not even read again).
  HRESULT ReadShared(std::shared_ptr<const RegistryKey>* root,
                     std::string* error = nullptr) const;

  // Reads the tree under the lock, lets `change` edit it, and writes it back when `change`
  // succeeds. A failure of `change` writes nothing and is returned; REGDB_E_READREGDB and
  // REGDB_E_WRITEREGDB for failures of the file itself.
  HRESULT Update(const std::function<HRESULT(RegistryKey& root)>& change,
                 std::string* error = nullptr) const;

 private:
  std::string path_;
  bool makes_folder_ = true;  // the folder is made on the first change when missing
};

}  // namespace korvalis::com
