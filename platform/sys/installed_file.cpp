#include "platform/sys/installed_file.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace korvalis::sys {
namespace {

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

}  // namespace

std::vector<std::string> InstalledFileCandidates(const char* name) {
  std::vector<std::string> candidates;
  const link_map* object = HoldingObject();
  if (object == nullptr) return {name};
  const std::filesystem::path holder = HoldingFile(*object).parent_path();
  if (!holder.empty()) {
    candidates.push_back((holder / name).string());
    candidates.push_back((holder / KORVALIS_LIBDIR_FROM_BINDIR / name).string());
  }
  for (const std::filesystem::path& folder : RunPathFolders(*object)) {
    candidates.push_back((folder / name).string());
  }
  if (candidates.empty()) candidates.push_back(name);
  return candidates;
}

std::string AbsolutePathAsGiven(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return path;
  const std::filesystem::path normal = absolute.lexically_normal();
  // A ".." after a link leads out of the link's target, where the lexical form would not.
  struct stat as_given {}, as_normal {};
  if (::stat(absolute.c_str(), &as_given) != 0) return normal.string();
  const bool same = ::stat(normal.c_str(), &as_normal) == 0 && as_given.st_dev == as_normal.st_dev &&
                    as_given.st_ino == as_normal.st_ino;
  return same ? normal.string() : absolute.string();
}

}  // namespace korvalis::sys
