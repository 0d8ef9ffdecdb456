#include "interface/emr_call_scope.h"

#include "foundation/calls/call_scope.h"
#include "foundation/data/emr_data_source.h"

namespace korvalis::frame {

void RunEMRCall(Transaction transaction, CallBody body, void* context) {
  CCallScope scope(transaction == Transaction::kWriting ? CCallScope::Mode::kWriting
                                                        : CCallScope::Mode::kReading);
  {
    CEMRDataSource data_source;
    body(context, &data_source);
  }
  scope.Commit();
}

void InstallEMRCallScope() { SetCallScopeRunner(&RunEMRCall); }

}  // namespace korvalis::frame
