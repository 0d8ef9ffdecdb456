// The file that one method's answer is written to (`korvalis call ... --out FILE`).
//
// It is opened before any method of the command is called, so that a file that cannot be
// written fails the command before anything has been done; its content is replaced only by
// the answer of a method that succeeded. A file that did not exist before and never received
// an answer is removed again, so a failed call leaves no empty answer behind. Devices and
// pipes (/dev/stdout) are written as they are.
//
// Thread-safety: one object belongs to one thread.
#pragma once

#include <string>
#include <string_view>

namespace korvalis::tools {

class AnswerFile {
 public:
  AnswerFile() = default;
  // Closes the file; removes it when Open created it and no answer was written.
  ~AnswerFile();
  AnswerFile(const AnswerFile&) = delete;
  AnswerFile& operator=(const AnswerFile&) = delete;

  // Opens `path` for writing, creating it (readable by its owner only) when missing and leaving
  // an existing content and mode alone.
  // false with *error when it cannot.
  bool Open(const std::string& path, std::string* error);

  // Replaces the content with `bytes` and closes the file. false with *error when the bytes
  // could not all be written.
  // Precondition: Open succeeded and Write was not called yet.
  bool Write(std::string_view bytes, std::string* error);

 private:
  std::string path_;
  int fd_ = -1;
  bool created_ = false;
  bool written_ = false;
};

}  // namespace korvalis::tools
