#include "platform/xml/worker_program_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "platform/xml/transform_protocol.h"

namespace korvalis::xml {
namespace {

// What of the bytes before a piece is read again with it, so that a mark that a piece's end
// cuts is found whole in the next: the mark, ten digits and ';'.
constexpr std::size_t kMarkSpan = kWorkerVersionMark.size() + 11;
// The most of a script's first line told.
constexpr std::size_t kMaxInterpreterTold = 64;

std::string SizeOf(std::uint64_t bytes) {
  if (bytes < 10 * 1024) return std::to_string(bytes) + " bytes";
  if (bytes < 10ULL * 1024 * 1024) return std::to_string(bytes / 1024) + " KB";
  if (bytes < 10ULL * 1024 * 1024 * 1024) return std::to_string(bytes >> 20) + " MB";
  return std::to_string(bytes >> 30) + " GB";
}

bool LooksLikeText(std::string_view start) {
  return std::none_of(start.begin(), start.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f';
  });
}

// What a file is, from its first bytes and its size.
std::string Describe(std::string_view start, std::uint64_t size) {
  if (size == 0) return "an empty file";
  if (start.starts_with("\x7f" "ELF")) return "a program (ELF) of " + SizeOf(size);
  if (start.starts_with("#!")) {
    std::string_view line = start.substr(2, start.find('\n') - 2);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    std::string told(line.substr(0, kMaxInterpreterTold));
    std::replace_if(
        told.begin(), told.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }, '?');
    while (!told.empty() && told.back() == '?') told.pop_back();  // the line's '\r'
    return "a script for " + (told.empty() ? std::string("no program") : told);
  }
  if (LooksLikeText(start)) return "a text file of " + SizeOf(size);
  return "a file of " + SizeOf(size) + " that is no program";
}

// What stands in the program's place when it is no regular file.
std::string KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  return "no regular file";
}

// Where the next stored bytes at or past `offset` begin: `offset` itself where the file system
// does not tell its holes, nullopt when nothing is stored from there on.
std::optional<std::uint64_t> NextData(int file, std::uint64_t offset) {
  const off_t data = ::lseek(file, static_cast<off_t>(offset), SEEK_DATA);
  if (data >= 0) return static_cast<std::uint64_t>(data);
  if (errno == ENXIO) return std::nullopt;
  return offset;
}

}  // namespace

WorkerProgramFile ReadWorkerProgramFile(int file, std::uint64_t size) {
  WorkerProgramFile told;
  const off_t position = ::lseek(file, 0, SEEK_CUR);
  const std::uint64_t bound = std::min(size, kMaxWorkerFileRead);
  std::string window;  // the kept end of the last piece, then the piece
  window.reserve(kMarkSpan + kWorkerFilePiece);
  std::string start;  // the file's first bytes, to tell what it is
  std::uint64_t offset = 0;
  bool unreadable = false;
  while (offset < bound) {
    const std::optional<std::uint64_t> data = NextData(file, offset);
    if (!data || *data >= bound) {
      if (offset == 0) start.assign(1, '\0');  // a hole from the start: zeros
      break;
    }
    if (*data != offset) {
      window.clear();  // a hole: only zeros, which end no mark
      if (offset == 0) start.assign(1, '\0');
      offset = *data;
    }
    const std::size_t kept = window.size();
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kWorkerFilePiece, bound - offset));
    window.resize(kept + want);
    ssize_t length = 0;
    while ((length = ::pread(file, window.data() + kept, want, static_cast<off_t>(offset))) < 0 &&
           errno == EINTR) {
    }
    if (length < 0 && offset == 0) {
      unreadable = true;
      break;
    }
    if (length <= 0) {  // the file shrank, or cannot be read further
      window.resize(kept);
      break;
    }
    window.resize(kept + static_cast<std::size_t>(length));
    if (offset == 0) start = window;
    offset += static_cast<std::uint64_t>(length);
    told.version = FindWorkerVersion(window);
    if (told.version) break;
    window.erase(0, window.size() - std::min(window.size(), kMarkSpan));
  }
  if (position >= 0) ::lseek(file, position, SEEK_SET);  // SEEK_DATA moved it
  if (unreadable) return told;
  told.read = true;
  if (told.version) return told;
  // Told at the size it has now: it may have shrunk since it was opened, or be sparse.
  struct stat status {};
  const std::uint64_t now_size =
      ::fstat(file, &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : offset;
  told.found = Describe(start, now_size);
  const std::uint64_t stored = static_cast<std::uint64_t>(status.st_blocks) * 512;
  if (now_size >= 1024 * 1024 && stored < now_size / 2) {
    told.found += " (sparse: " + SizeOf(stored) + " of it stored)";
  }
  return told;
}

WorkerProgramFile InspectWorkerProgram(int program) {
  WorkerProgramFile told;
  struct stat status {};
  if (::fstat(program, &status) != 0) return told;
  if (!S_ISREG(status.st_mode)) {
    told.regular = false;
    told.read = true;
    told.found = KindOf(status.st_mode);
    return told;
  }
  // The same file again, for reading; O_NONBLOCK so that nothing about it (a lease another
  // process holds) makes the open wait.
  const int file = ::open(("/proc/self/fd/" + std::to_string(program)).c_str(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (file < 0) return told;
  struct stat opened {};
  if (::fstat(file, &opened) == 0 && opened.st_dev == status.st_dev &&
      opened.st_ino == status.st_ino && S_ISREG(opened.st_mode)) {
    told = ReadWorkerProgramFile(file, static_cast<std::uint64_t>(opened.st_size));
  }
  ::close(file);
  return told;
}

}  // namespace korvalis::xml
