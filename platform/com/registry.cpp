#include "platform/com/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/sys/private_file.h"
#include "platform/sys/write_all.h"
#include "platform/text/ascii.h"
#include "platform/text/unicode.h"

namespace korvalis::com {
namespace {


// Splits "a\b\c" into its first name and the rest.
std::pair<std::u16string_view, std::u16string_view> SplitFirst(std::u16string_view path) {
  size_t slash = path.find(u'\\');
  if (slash == std::u16string_view::npos) return {path, {}};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

std::string Quote(std::u16string_view text) {
  std::string out = "\"";
  for (char c : ToUtf8(text)) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

void FormatKey(const RegistryKey& key, const std::string& path, std::string* out) {
  if (!path.empty()) {
    *out += "[" + path + "]\n";
    for (const auto& [name, data] : key.values()) {
      *out += (name.empty() ? std::string("@") : Quote(name)) + "=" + Quote(data) + "\n";
    }
  }
  for (const auto& [name, subkey] : key.subkeys()) {
    FormatKey(subkey, path.empty() ? ToUtf8(name) : path + "\\" + ToUtf8(name), out);
  }
}

// Reads a quoted text starting at line[*pos] == '"'; advances *pos past the closing quote.
bool Unquote(std::string_view line, size_t* pos, std::string* text) {
  text->clear();
  for (size_t i = *pos + 1; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\') {
      if (++i >= line.size()) return false;
      char e = line[i];
      if (e == 'n') {
        *text += '\n';
      } else if (e == '\\' || e == '"') {
        *text += e;
      } else {
        return false;
      }
    } else {
      *text += c;
    }
  }
  return false;
}

const char* NamedPath() {
  const char* path = std::getenv("KORVALIS_REGISTRY");
  return path != nullptr && *path != '\0' ? path : nullptr;
}

std::string DefaultPath() {
  if (const char* path = NamedPath()) return path;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && *home != '\0' ? home : ".") + "/.korvalis/registry";
}

std::string Directory(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file's text; a missing file reads as empty. A file that cannot be read is named with the
// reason (no permission, a folder in its place).
HRESULT ReadText(const std::string& path, std::string* text, std::string* error) {
  text->clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) return S_OK;
  bool read_all = fd >= 0;
  while (read_all) {
    char buffer[65536];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      read_all = n == 0;
      break;
    }
    text->append(buffer, static_cast<size_t>(n));
  }
  const int reason = errno;
  if (fd >= 0) ::close(fd);
  if (!read_all) {
    text->clear();
    if (error) *error = path + ": cannot be read: " + std::strerror(reason);
    return REGDB_E_READREGDB;
  }
  return S_OK;
}

HRESULT ReadFile(const std::string& path, RegistryKey* root, std::string* error) {
  *root = RegistryKey();
  std::string text;
  HRESULT hr = ReadText(path, &text, error);
  if (FAILED(hr)) return hr;
  std::string reason;
  if (!ParseRegistry(text, root, &reason)) {
    if (error) *error = path + ": " + reason;
    return REGDB_E_READREGDB;
  }
  return S_OK;
}

// Holds an exclusive lock on "<path>.lock" while it lives.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = sys::OpenPrivateFile(path + ".lock", O_RDWR);
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace

bool NameLess::operator()(std::u16string_view a, std::u16string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char16_t x, char16_t y) { return AsciiUpper(x) < AsciiUpper(y); });
}

const RegistryKey* RegistryKey::Find(std::u16string_view path) const {
  if (path.empty()) return this;
  auto [first, rest] = SplitFirst(path);
  auto it = subkeys_.find(first);
  return it == subkeys_.end() ? nullptr : it->second.Find(rest);
}

RegistryKey* RegistryKey::Find(std::u16string_view path) {
  return const_cast<RegistryKey*>(static_cast<const RegistryKey*>(this)->Find(path));
}

RegistryKey& RegistryKey::Create(std::u16string_view path) {
  if (path.empty()) return *this;
  auto [first, rest] = SplitFirst(path);
  auto it = subkeys_.find(first);
  if (it == subkeys_.end()) it = subkeys_.emplace(std::u16string(first), RegistryKey()).first;
  return it->second.Create(rest);
}

bool RegistryKey::RemoveSubkey(std::u16string_view name) {
  auto it = subkeys_.find(name);
  if (it == subkeys_.end()) return false;
  subkeys_.erase(it);
  return true;
}

const std::u16string* RegistryKey::Value(std::u16string_view name) const {
  auto it = values_.find(name);
  return it == values_.end() ? nullptr : &it->second;
}

void RegistryKey::SetValue(std::u16string_view name, std::u16string_view data) {
  auto it = values_.find(name);
  if (it == values_.end()) {
    values_.emplace(std::u16string(name), std::u16string(data));
  } else {
    it->second.assign(data);
  }
}

bool RegistryKey::RemoveValue(std::u16string_view name) {
  auto it = values_.find(name);
  if (it == values_.end()) return false;
  values_.erase(it);
  return true;
}

std::string FormatRegistry(const RegistryKey& root) {
  std::string out;
  FormatKey(root, "", &out);
  return out;
}

bool ParseRegistry(std::string_view text, RegistryKey* root, std::string* error) {
  RegistryKey* current = nullptr;
  // The keys of the previous key's path, each with the length of its path: a key is created
  // from the deepest of them that it lies below rather than from the root, since a file lists
  // a key's subkeys right after it (FormatRegistry writes it so).
  std::u16string previous_path;
  std::vector<std::pair<size_t, RegistryKey*>> previous_keys;
  size_t line_number = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++line_number;
    auto fail = [&](const char* what) {
      if (error) *error = "line " + std::to_string(line_number) + ": " + what;
      return false;
    };
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      if (line.size() < 3 || line.back() != ']') return fail("a key must be written [path]");
      std::u16string path = FromUtf8(line.substr(1, line.size() - 2));
      if (path.front() == u'\\' || path.back() == u'\\' ||
          path.find(u"\\\\") != std::u16string::npos) {
        return fail("empty key name");
      }
      // The tree is walked recursively, so a path nesting without bound could exhaust the
      // stack of every process that reads the file.
      if (std::count(path.begin(), path.end(), u'\\') >= kMaxKeyDepth) {
        return fail("a key nests too deep");
      }
      while (!previous_keys.empty()) {
        const size_t n = previous_keys.back().first;
        if (path.size() >= n && (path.size() == n || path[n] == u'\\') &&
            path.compare(0, n, previous_path, 0, n) == 0) {
          break;
        }
        previous_keys.pop_back();
      }
      current = previous_keys.empty() ? root : previous_keys.back().second;
      for (size_t start = previous_keys.empty() ? 0 : previous_keys.back().first + 1;
           start < path.size();) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string::npos) end = path.size();
        current = &current->Create(std::u16string_view(path).substr(start, end - start));
        previous_keys.emplace_back(end, current);
        start = end + 1;
      }
      previous_path = std::move(path);
      continue;
    }
    if (current == nullptr) return fail("a value before the first key");
    size_t pos = 0;
    std::string name;
    if (line.front() == '@') {
      pos = 1;
    } else if (line.front() != '"' || !Unquote(line, &pos, &name)) {
      return fail("a value name must be @ or quoted");
    }
    if (pos >= line.size() || line[pos] != '=') return fail("expected = after the value name");
    ++pos;
    std::string data;
    if (pos >= line.size() || line[pos] != '"' || !Unquote(line, &pos, &data)) {
      return fail("a value must be quoted");
    }
    if (pos != line.size()) return fail("text after the value");
    current->SetValue(FromUtf8(name), FromUtf8(data));
  }
  return true;
}

RegistryFile::RegistryFile() : path_(DefaultPath()), makes_folder_(NamedPath() == nullptr) {}
RegistryFile::RegistryFile(std::string path) : path_(std::move(path)) {}

HRESULT RegistryFile::Read(RegistryKey* root, std::string* error) const {
  return ReadFile(path_, root, error);
}

HRESULT RegistryFile::ReadShared(std::shared_ptr<const RegistryKey>* root,
                                 std::string* error) const {
  // One version of the file as stat sees it. File times are coarse, so the signature alone is
  // trusted only for a file that was already two seconds old when it was read; a younger one
  // is read again and its text compared, which is cheap beside parsing it.
  struct Signature {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modified_ns = 0;
    bool operator==(const Signature&) const = default;
  };
  struct Cached {
    Signature signature;
    bool signature_trusted = false;
    std::string text;
    std::shared_ptr<const RegistryKey> root;
  };
  static std::mutex mutex;
  static auto* cache = new std::map<std::string, Cached>();  // lives as long as the process
  constexpr int64_t kSettledNs = 2'000'000'000;

  Signature signature;
  struct stat status;
  if (::stat(path_.c_str(), &status) == 0) {
    signature = {true, status.st_dev, status.st_ino, status.st_size,
                 int64_t{status.st_mtim.tv_sec} * 1'000'000'000 + status.st_mtim.tv_nsec};
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = cache->find(path_);
    if (it != cache->end() && it->second.signature_trusted &&
        it->second.signature == signature) {
      *root = it->second.root;
      return S_OK;
    }
  }
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  bool settled = !signature.exists ||
                 int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec - signature.modified_ns >
                     kSettledNs;
  std::string text;
  HRESULT hr = ReadText(path_, &text, error);
  if (FAILED(hr)) return hr;
  std::lock_guard<std::mutex> lock(mutex);
  Cached& cached = (*cache)[path_];
  if (cached.root == nullptr || cached.text != text) {
    auto fresh = std::make_shared<RegistryKey>();
    std::string reason;
    if (!ParseRegistry(text, fresh.get(), &reason)) {
      if (error) *error = path_ + ": " + reason;
      cache->erase(path_);
      return REGDB_E_READREGDB;
    }
    cached.text = std::move(text);
    cached.root = std::move(fresh);
  }
  cached.signature = signature;
  cached.signature_trusted = settled;
  *root = cached.root;
  return S_OK;
}

HRESULT RegistryFile::Update(const std::function<HRESULT(RegistryKey& root)>& change,
                             std::string* error) const {
  // The registry names the libraries the process loads: its folders and files are the owner's
  // only.
  std::string directory = Directory(path_);
  if (makes_folder_) {
    if (!sys::MakePrivateFolders(directory)) {
      if (error) {
        *error = path_ + ": the folder " + directory + " cannot be made: " + std::strerror(errno);
      }
      return REGDB_E_WRITEREGDB;
    }
  } else if (struct stat status; ::stat(directory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
    // A named path whose folder is missing is most likely mistyped: making it would hide the
    // registrations where nobody looks for them.
    if (error) *error = path_ + ": the folder " + directory + " does not exist";
    return REGDB_E_WRITEREGDB;
  }
  FileLock lock(path_);
  if (!lock.held()) {
    if (error) *error = path_ + ".lock: " + std::strerror(errno);
    return REGDB_E_WRITEREGDB;
  }
  RegistryKey root;
  HRESULT hr = ReadFile(path_, &root, error);
  if (FAILED(hr)) return hr;
  hr = change(root);
  if (FAILED(hr)) return hr;

  // A copy left by a writer that died is replaced, so that the new file is made with its mode.
  std::string temporary = path_ + ".new";
  ::unlink(temporary.c_str());
  int fd = sys::OpenPrivateFile(temporary, O_WRONLY | O_TRUNC);
  bool written = fd >= 0 && sys::WriteAll(fd, FormatRegistry(root)) && ::fsync(fd) == 0;
  int saved = errno;
  if (fd >= 0) ::close(fd);
  if (!written || ::rename(temporary.c_str(), path_.c_str()) != 0) {
    if (written) saved = errno;
    ::unlink(temporary.c_str());
    if (error) *error = path_ + ": " + std::strerror(saved);
    return REGDB_E_WRITEREGDB;
  }
  int dir = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return hr;
}

}  // namespace korvalis::com
