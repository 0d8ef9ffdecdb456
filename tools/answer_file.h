// The file that one method's answer is written to (`korvalis call ... --out FILE`).
//
// It is made ready before any method of the command is called, so that a file that cannot be
// written fails the command before anything has been done. The answer is written to a new file
// beside it, which takes the file's name only once every byte is written: a failed call or a
// failed write (a full disk) leaves no file where there was none and an earlier file untouched.
// The new file keeps the mode and owner of the file it replaces; a file that did not exist is
// readable by its owner only. Devices, pipes and symbolic links (/dev/stdout) are written in
// place, and so is a file whose folder may not be written.
//
// Thread-safety: one object belongs to one thread.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace korvalis::tools {

class AnswerFile {
 public:
  AnswerFile() = default;
  // Removes a new file that never received the answer.
  ~AnswerFile();
  AnswerFile(const AnswerFile&) = delete;
  AnswerFile& operator=(const AnswerFile&) = delete;

  // Makes ready to write `path`: the file beside it, or the device or link opened. false with
  // *error when it cannot be written.
  bool Open(const std::string& path, std::string* error);

  // Writes `bytes` as the file's whole content. false with *error when the bytes could not all
  // be written; the file is then as it was before.
  // Precondition: Open succeeded and Write was not called yet.
  bool Write(std::string_view bytes, std::string* error);

 private:
  bool WriteInPlace(std::string_view bytes, std::string* error);

  std::string path_;
  std::string beside_;  // the new file's path; empty when the answer is written in place
  int fd_ = -1;
  bool replaces_ = false;  // a file exists at path_, whose mode and owner the new one takes
  mode_t mode_ = 0;
  uid_t owner_ = 0;
  gid_t group_ = 0;
};

}  // namespace korvalis::tools
