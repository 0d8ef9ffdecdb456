// An object context that records the votes cast on it, in order, for tests of the components
// that vote and of the hosts that read the outcome.
//
// Thread-safety: none; install it on one thread (ScopedObjectContext) and read it there.
#pragma once

#include <atomic>
#include <string>

#include "platform/complus/object_context.h"

namespace korvalis::complus {

class RecordingObjectContext final : public IObjectContext {
 public:
  // Starts with one reference, owned by the creator.
  RecordingObjectContext() = default;

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT SetComplete() override;
  HRESULT SetAbort() override;

  // The votes so far, one letter each: 'C' complete, 'A' abort ("CA" = complete, then abort).
  const std::string& votes() const { return votes_; }
  // References held by others than the creator (0 once every holder has let go).
  ULONG outside_references() const { return references_.load() - 1; }

 private:
  std::string votes_;
  std::atomic<ULONG> references_{1};
};

}  // namespace korvalis::complus
