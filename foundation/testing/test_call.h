// Test helper: a body run as a method call runs it, under a writing call scope of its own
// with the call's data source opened on a test database: its statements are one
// transaction, committed when the body returns and rolled back when it throws.
//
// Thread-safety: a call belongs to the calling thread.
#pragma once

#include <string>

#include "foundation/calls/call_scope.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/test_data_source.h"

namespace korvalis::testing {

// Runs `body(CEMRDataSource*)` as one call on the database of `init_string`; answers the text
// of the CEMRException that ends it, "" when it succeeds.
template <class Body>
std::u16string RunAsCall(const std::string& init_string, Body&& body) {
  return FailureOf([&] {
    CCallScope call(CCallScope::Mode::kWriting);
    {
      TestDataSource data_source(init_string);
      body(static_cast<CEMRDataSource*>(&data_source));
    }
    call.Commit();
  });
}

}  // namespace korvalis::testing
