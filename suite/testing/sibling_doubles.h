// The test double kit of the suite's sibling components. A test that creates a SiblingDoubles
// gets, for the object's life, a registry file of its own in which every sibling interface is
// served by a double of a separate double library, and the registry component itself is a
// double whose list maps every interface to its double. The code under test creates the
// components through the factories and the runtime as it always does.
//
// Each double records every call (interface, slot, arguments as texts) and answers from a
// script per interface and slot: answers queue up and are used one per call, the last one
// again for every later call until another is queued. Without a script a method succeeds with an empty text (false
// for a flag) and leaves an in-out value alone. A failing answer returns its HRESULT, with
// or without error information.
//
// Usage:
//   SiblingDoubles doubles;
//   doubles.Answer(IID_IDateTimeService, 7, u"2026-12-07 09:30:00");
//   ... code under test ...
//   EXPECT_EQ(doubles.Calls(IID_IDateTimeService).size(), 1u);
//
// The double library shares the test's script (one per process), so only one SiblingDoubles
// may live at a time.
//
// The process-wide factories (CEMRFactory, DIDUFactory) keep the first list they read for the
// life of the process, as the system does; the default list is the same in every
// SiblingDoubles, so they serve every test. To make a component impossible to create, use
// Unregister; a list of a test's own (SetInterfaceList) reaches only factories that have not
// read one yet, such as a CSingleFactory of the test.
//
// Thread-safety: scripting and recording are locked; doubles may be called from any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/testing/temp_directory.h"
#include "platform/com/guid.h"
#include "platform/com/hresult.h"

namespace korvalis::suite::testing {

// One call of a double: the slot (7 for the first own method) and the [in] arguments as texts
// (numbers in decimal, a null BSTR as the empty text).
struct SiblingCall {
  IID iid;
  int slot;
  std::vector<std::u16string> args;
};

struct SiblingAnswer {
  HRESULT result = S_OK;
  // The out text; for a flag "1" (or "-1") is true. nullopt leaves the out-parameter unset.
  std::optional<std::u16string> text;
  // Installed as the thread's error information when set (normally with a failed result).
  std::optional<std::u16string> error_description;
};

class SiblingDoubles {
 public:
  // Builds the registry file (KORVALIS_REGISTRY points at it until destruction) and resets
  // the script and the record. Throws std::runtime_error when no directory can be made.
  SiblingDoubles();
  ~SiblingDoubles();
  SiblingDoubles(const SiblingDoubles&) = delete;
  SiblingDoubles& operator=(const SiblingDoubles&) = delete;

  // Queues an answer of the method in `slot` of `iid`.
  void Answer(const IID& iid, int slot, SiblingAnswer answer);
  void Answer(const IID& iid, int slot, std::u16string text);
  // Queues a failure: `result`, with the description set as error information when given.
  void Fail(const IID& iid, int slot, HRESULT result,
            std::optional<std::u16string> error_description = std::nullopt);

  // The registry component's answer: the default list, or a text of the test's own.
  static std::u16string DefaultInterfaceList();
  void SetInterfaceList(std::u16string list);

  // Removes (or restores) the registration of a class, so that creating it fails.
  void Unregister(const CLSID& clsid);
  void Register(const CLSID& clsid);

  // The class that serves `iid` in the default list.
  static CLSID DoubleClass(const IID& iid);

  // The calls recorded for `iid`, in order; all calls when `iid` is GUID_NULL.
  std::vector<SiblingCall> Calls(const IID& iid) const;
  void ClearCalls();

 private:
  korvalis::testing::TempDirectory directory_;  // holds the registry file and its lock
  std::string registry_path_;
  std::optional<std::string> saved_registry_;
};

}  // namespace korvalis::suite::testing
