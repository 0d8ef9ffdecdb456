// korvalis::xml::InspectWorkerProgram: what the file of a transformation worker's program tells
// before it is run: the version of the messages it speaks (transform_protocol.h), and, for a file
// that tells none or is no file at all, what stands there, so that the host names what it found.
//
// Blocking: nothing here waits for another process or a device. The program is looked at
// through a descriptor opened with O_PATH, which opens nothing: a FIFO, a socket, a device or a
// directory in the worker's place is told for what it is from fstat(2) and never opened for
// reading (opening a FIFO waits for a writer, a device may wait for its hardware). Only a regular
// file is opened, again from that descriptor (the same file, whatever the path names meanwhile),
// with O_NONBLOCK, and read no further than kMaxWorkerFileRead. A file system that stops
// answering (a hung network mount) still holds a call into it in the kernel.
//
// The file is read with pread(2) into a buffer of the reader's own, piece by piece, never mapped:
// a package upgrade may rewrite the installed file in place (as `cp` over it does) while a host
// reads it, and a mapped page past the file's new end would kill the host with SIGBUS. A file
// that shrinks while it is read ends the reading sooner; one rewritten meanwhile is read as it
// stands at each piece, and the worker's own announcement of its version decides then. The holes
// of a sparse file are skipped, never read: they hold only zeros.
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
inline constexpr std::uint64_t kMaxWorkerFileRead = 64ULL << 20;

struct WorkerProgramFile {
  std::optional<std::uint32_t> version;  // the mark's version; nullopt when none was found
  // What the file is: "a program (ELF) of 39 KB", "a script for /bin/sh", "a FIFO", ...
  std::string found;
  bool regular = true;  // false when no regular file stands there (found says what does)
  bool read = false;    // false when the file could not be read at all (nothing is known of it)
};

// Looks at the program whose O_PATH descriptor is `program` (or any descriptor of it).
WorkerProgramFile InspectWorkerProgram(int program);

// Reads the regular file open for reading at `file` (its position is left as it was), no further
// than `size` bytes, the size the file had when it was opened, nor than kMaxWorkerFileRead: a
// file that grows while it is read never holds the reader. The version is the first mark found.
WorkerProgramFile ReadWorkerProgramFile(int file, std::uint64_t size);

}  // namespace korvalis::xml
