#include "platform/xml/worker_program_file.h"

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
  return std::to_string(bytes / (1024 * 1024)) + " MB";
}

bool LooksLikeText(std::string_view start) {
  return std::none_of(start.begin(), start.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f';
  });
}

// What a file is, from its first bytes and the bytes read of it in all.
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

}  // namespace

WorkerProgramFile ReadWorkerProgramFile(int file, std::uint64_t size) {
  WorkerProgramFile told;
  const std::uint64_t bound = std::min(size, kMaxWorkerFileRead);
  std::string window;  // the kept end of the last piece, then the piece
  window.reserve(kMarkSpan + kWorkerFilePiece);
  std::string start;  // the file's first bytes, to tell what it is
  std::uint64_t offset = 0;
  while (offset < bound) {
    const std::size_t kept = window.size();
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kWorkerFilePiece, bound - offset));
    window.resize(kept + want);
    ssize_t length = 0;
    while ((length = ::pread(file, window.data() + kept, want, static_cast<off_t>(offset))) < 0 &&
           errno == EINTR) {
    }
    if (length < 0 && offset == 0) return told;
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
  told.read = true;
  if (!told.version) told.found = Describe(start, offset);
  return told;
}

}  // namespace korvalis::xml
