#include "interface/emr_call_scope.h"

#include "foundation/call_scope.h"
#include "foundation/emr_data_source.h"

namespace korvalis::frame {

void RunEMRCall(Vote vote, CallBody body, void* context) {
  CCallScope scope(vote == Vote::kYes ? CCallScope::Mode::kWriting : CCallScope::Mode::kReading);
  {
    CEMRDataSource data_source;
    body(context, &data_source);
  }
  scope.Commit();
}

void InstallEMRCallScope() { SetCallScopeRunner(&RunEMRCall); }

}  // namespace korvalis::frame
