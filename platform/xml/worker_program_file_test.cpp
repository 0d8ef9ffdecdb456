// The worker program's file read before it runs: a file that shrinks or is rewritten while it is
// read, a mark that a piece's end cuts, and what a file that tells no version is told to be.
#include "platform/xml/worker_program_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <string>

#include "db/testing/temp_directory.h"
#include "platform/xml/transform_protocol.h"

namespace korvalis::xml {
namespace {

std::string OurMark() { return WorkerVersionMark().data(); }

class WorkerProgramFileTest : public ::testing::Test {
 protected:
  // Writes `bytes` to a file of the test's, open for reading; its descriptor.
  int Open(const std::string& bytes) {
    ::close(file_);
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes;
    file_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    return file_;
  }
  ~WorkerProgramFileTest() override { ::close(file_); }

  korvalis::testing::TempDirectory directory_{"korvalis-worker-file"};
  const std::string path_ = directory_.path() + "/program";
  int file_ = -1;
};

// Opened at 4 MB with its mark near the end, then cut to a page, or rewritten in place by a
// copy shorter and then longer than it was: each read ends where the file does, without a fault
// (a mapped file's pages past its new end kill the reader with SIGBUS).
TEST_F(WorkerProgramFileTest, AFileShrunkOrRewrittenAfterItWasOpenedIsReadAsItStands) {
  const std::string program = "\x7f" "ELF" + std::string(4 << 20, 'x') + OurMark() + "tail";
  const int file = Open(program);
  struct stat status {};
  ASSERT_EQ(::fstat(file, &status), 0);
  const auto size = static_cast<std::uint64_t>(status.st_size);
  ASSERT_EQ(::truncate(path_.c_str(), 4096), 0);
  WorkerProgramFile told = ReadWorkerProgramFile(file, size);
  EXPECT_TRUE(told.read);
  EXPECT_FALSE(told.version);
  EXPECT_EQ(told.found, "a program (ELF) of 4096 bytes");

  // `cp` of another build over it: cut to nothing, then written anew, longer than it was.
  ASSERT_EQ(::truncate(path_.c_str(), 0), 0);
  EXPECT_EQ(ReadWorkerProgramFile(file, size).found, "an empty file");
  std::string other = program;
  other.replace(program.find(OurMark()), OurMark().size(),
                std::string(kWorkerVersionMark) + "3;");
  std::ofstream(path_, std::ios::binary | std::ios::in) << other << std::string(1 << 20, 'y');
  told = ReadWorkerProgramFile(file, size);
  EXPECT_EQ(told.version, 3u);
  // Read no further than the size it had when opened: a mark past it is not seen.
  EXPECT_FALSE(ReadWorkerProgramFile(file, program.find(OurMark())).version);
  EXPECT_EQ(::lseek(file, 0, SEEK_CUR), 0) << "the descriptor's position moved";
}

// A mark is found wherever it stands against the pieces read, however far in the file.
TEST_F(WorkerProgramFileTest, AMarkIsFoundAcrossTheEndOfAPiece) {
  for (const std::size_t before : {std::size_t{0}, kWorkerFilePiece - 10,
                                   kWorkerFilePiece - OurMark().size(), 3 * kWorkerFilePiece + 7}) {
    const std::string program = std::string(before, 'x') + OurMark() + "x";
    const WorkerProgramFile told = ReadWorkerProgramFile(Open(program), program.size());
    EXPECT_EQ(told.version, kTransformProtocolVersion) << before;
    EXPECT_EQ(told.found, "") << before;
  }
  // Digits that a piece's end cuts are not a version until their ';' is read.
  const std::string cut = std::string(kWorkerFilePiece - kWorkerVersionMark.size() - 1, 'x') +
                          std::string(kWorkerVersionMark) + "12;";
  EXPECT_EQ(ReadWorkerProgramFile(Open(cut), cut.size()).version, 12u);
}

TEST_F(WorkerProgramFileTest, AFileThatTellsNoVersionIsToldForWhatItIs) {
  const auto found = [&](const std::string& bytes) {
    return ReadWorkerProgramFile(Open(bytes), bytes.size()).found;
  };
  EXPECT_EQ(found("#!/bin/sh\nexit 0\n"), "a script for /bin/sh");
  EXPECT_EQ(found("#! /usr/bin/env python3\r\nprint(1)\n"), "a script for /usr/bin/env python3");
  EXPECT_EQ(found("#!"), "a script for no program");
  EXPECT_EQ(found("病历质控报表\nline two\n"), "a text file of 28 bytes");
  EXPECT_EQ(found(std::string("PK\3\4") + std::string(20'000, '\0')),
            "a file of 19 KB that is no program");
  EXPECT_EQ(found(""), "an empty file");

  const int true_program = ::open("/bin/true", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(true_program, 0);
  struct stat status {};
  ASSERT_EQ(::fstat(true_program, &status), 0);
  const WorkerProgramFile told =
      ReadWorkerProgramFile(true_program, static_cast<std::uint64_t>(status.st_size));
  ::close(true_program);
  EXPECT_FALSE(told.version);
  EXPECT_TRUE(told.found.starts_with("a program (ELF) of ")) << told.found;

  // A descriptor that cannot be read tells nothing, and is no fault of the file.
  Open("#!/bin/sh\n");
  const int unreadable = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  EXPECT_FALSE(ReadWorkerProgramFile(unreadable, 100).read);
  ::close(unreadable);
}

// A sparse file is told at its size, its holes never read: a mark after a hole is found, and a
// file of holes alone is no program.
TEST_F(WorkerProgramFileTest, ASparseFileIsToldAtItsSizeAndOnlyItsStoredBytesRead) {
  Open("");
  ASSERT_EQ(::truncate(path_.c_str(), 10LL << 30), 0);
  const auto inspect = [&] {
    const int program = ::open(path_.c_str(), O_PATH | O_CLOEXEC);
    const WorkerProgramFile told = InspectWorkerProgram(program);
    ::close(program);
    return told;
  };
  WorkerProgramFile told = inspect();
  EXPECT_TRUE(told.read && told.regular);
  EXPECT_EQ(told.found, "a file of 10 GB that is no program (sparse: 0 bytes of it stored)");
  {
    std::fstream file(path_, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(20 << 20);
    file << OurMark();
  }
  told = inspect();
  EXPECT_EQ(told.version, kTransformProtocolVersion) << told.found;
}

// What is no regular file is told for what it is, and never opened: a FIFO that no process
// holds open would hold an open for reading for ever.
TEST_F(WorkerProgramFileTest, WhatIsNoRegularFileIsToldForWhatItIs) {
  const std::string fifo = directory_.path() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0755), 0);
  for (const auto& [path, found] : {std::pair{fifo, "a FIFO (named pipe)"},
                                     std::pair{directory_.path(), "a directory"},
                                     std::pair{std::string("/dev/null"), "a character device"}}) {
    const int program = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    ASSERT_GE(program, 0) << path;
    const WorkerProgramFile told = InspectWorkerProgram(program);
    ::close(program);
    EXPECT_FALSE(told.regular) << path;
    EXPECT_EQ(told.found, found) << path;
  }
}

}  // namespace
}  // namespace korvalis::xml
