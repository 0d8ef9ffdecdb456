// CEMRError and CEMRRemoteError: set and read the error information of the calling thread
// (its description only). The method wrappers set the description of a failed call; code that
// called a sibling component and got a failure reads the description the component left.
// Create instances on the stack where needed.
//
// Thread-safety: both operations act on the calling thread's error information only.
#pragma once

#include <string>

// The description read back when the thread holds no error information.
inline constexpr char16_t kUnknownSystemError[] = u"系统未知错误.";

class CEMRError {
 public:
  virtual ~CEMRError();
  // The description of the thread's error information, which is taken and cleared.
  virtual std::u16string GetError() = 0;
  // Installs new error information whose description is `text`.
  virtual void SetError(const std::u16string& text) = 0;
};

class CEMRRemoteError : public CEMRError {
 public:
  ~CEMRRemoteError() override;
  // The description (empty when the error object has none), or kUnknownSystemError when the
  // thread holds no error object. Reading clears the thread's error information.
  std::u16string GetError() override;
  // Sets only the description. When no error object can be made, nothing is installed.
  void SetError(const std::u16string& text) override;
};
