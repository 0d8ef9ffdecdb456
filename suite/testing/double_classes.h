// The inside of the test double kit (suite/testing/sibling_doubles.h): the script and record
// that the doubles share with the test, and the double classes.
//
// Thread-safety: DoubleScript locks its state; the doubles hold no state of their own.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/bstr.h"
#include "platform/com/class_factory.h"
#include "suite/testing/sibling_doubles.h"

namespace korvalis::suite::testing {

class DoubleScript {
 public:
  DoubleScript();

  void Reset();
  void Queue(const IID& iid, int slot, SiblingAnswer answer);
  void SetInterfaceList(std::u16string list);
  std::vector<SiblingCall> Calls(const IID& iid) const;
  void ClearCalls();

  // Records the call and returns the answer due, or nullopt when none is scripted (the
  // registry component's list is always due).
  std::optional<SiblingAnswer> Take(const IID& iid, int slot, std::vector<std::u16string> args);

  // A call with an out text (default: an empty text), an out flag (default: false) or an
  // in-out text (default: left alone). The answer's error information is installed first.
  HRESULT Reply(const IID& iid, int slot, std::vector<std::u16string> args, BSTR* out);
  HRESULT ReplyFlag(const IID& iid, int slot, std::vector<std::u16string> args,
                    VARIANT_BOOL* out);
  HRESULT ReplyInOut(const IID& iid, int slot, std::vector<std::u16string> args, BSTR* in_out);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

// The one script of the process. An inline function's static is one object per process
// (a unique symbol), so the double library, loaded later, finds the test's own script.
inline DoubleScript& Script() {
  static DoubleScript script;
  return script;
}

// The instance creator of the double of `iid`.
com::InstanceCreator DoubleCreator(const IID& iid);

// The class object of a double class; CLASS_E_CLASSNOTAVAILABLE for another class.
HRESULT GetDoubleClassObject(REFCLSID rclsid, REFIID riid, void** ppv);

}  // namespace korvalis::suite::testing
