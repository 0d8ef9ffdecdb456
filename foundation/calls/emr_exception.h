// CEMRException, the one exception type of the system: a failure message in wide text, also
// readable as UTF-8. Bodies and the foundation throw it; the method wrappers catch it and turn
// the message into the call's error information. what() is std::exception's and does not
// carry the message.
//
// Thread-safety: immutable after construction.
#pragma once

#include <exception>
#include <string>

class CEMRException : public std::exception {
 public:
  explicit CEMRException(const std::u16string& message);
  // `message` is UTF-8; invalid sequences become U+FFFD.
  explicit CEMRException(const std::string& message);
  CEMRException(const CEMRException& other) = default;
  ~CEMRException() override;

  // The message as UTF-8.
  virtual std::string GetTextA() const;
  // The message; valid as long as the exception lives.
  virtual const std::u16string& GetText() const;

 private:
  std::u16string message_;
};
