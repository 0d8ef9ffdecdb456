// korvalis::xml::ReadWorkerProgramFile: what the file of a transformation worker's program tells
// before it is run: the version of the messages it speaks (transform_protocol.h), and, for a file
// that tells none, what the file is, so that the host names what it found there.
//
// The file is read with pread(2) into a buffer of the reader's own, piece by piece, never mapped:
// a package upgrade may rewrite the installed file in place (as `cp` over it does) while a host
// reads it, and a mapped page past the file's new end would kill the host with SIGBUS. A file
// that shrinks while it is read ends the reading sooner; one rewritten meanwhile is read as it
// stands at each piece, and the worker's own announcement of its version decides then.
//
// Thread-safety: thread-safe; it holds no state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace korvalis::xml {

// What one read of the file takes at a time.
inline constexpr std::size_t kWorkerFilePiece = 64 * 1024;
// How far into a file its version is looked for; no worker's program comes near.
inline constexpr std::uint64_t kMaxWorkerFileRead = 256ULL << 20;

struct WorkerProgramFile {
  std::optional<std::uint32_t> version;  // the mark's version; nullopt when none was found
  std::string found;  // what the file is: "a program (ELF) of 39 KB", "a script for /bin/sh", ...
  bool read = false;  // false when the file could not be read at all (nothing is known of it)
};

// Reads the program open for reading at `file` (its position is left as it was), no further than
// `size` bytes, the size the file had when it was opened, nor than kMaxWorkerFileRead: a file
// that grows while it is read never holds the reader. The version is the first mark found.
WorkerProgramFile ReadWorkerProgramFile(int file, std::uint64_t size);

}  // namespace korvalis::xml
