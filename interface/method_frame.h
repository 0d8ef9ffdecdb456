// The frame of every method wrapper of the automation classes: it gives the call its vote (for
// voting methods), its data source under the call's transaction scope, runs the body, and turns
// whatever the body throws into the thread's error information and E_FAIL. No exception leaves
// a frame.
//
//   return korvalis::frame::Run(korvalis::frame::Vote::kYes, "CQualityRule::InitNew",
//                               [&](CEMRDataSource* data_source) {
//                                 CBQualityRule::InitNew(data_source, bstrProperty, plngNewID);
//                               });
//
// One call, in order:
//   1. vote guard (voting methods), armed to abort;
//   2. the call scope and the call's CEMRDataSource (the call-scope runner below), in a writing
//      transaction when the method writes (its row in the type library says so) or votes, in a
//      reading one otherwise;
//   3. the body, with the data source;
//   4. vote complete (voting methods);
//   5. the data source is destroyed, then the call scope commits the call's work;
//   6. the guard is destroyed; S_OK.
// When step 2 to 5 throws, the data source is destroyed and the call scope rolls back as the
// exception leaves the runner; then:
//   - CEMRException: vote abort, then its message becomes the thread's error description;
//   - anything else: the description "函数:'" + method + "' 出现异常错误." is set, then vote abort;
// the guard is destroyed last and the frame returns E_FAIL. Outputs the body wrote before it
// threw stay as written.
//
// Thread-safety: a frame keeps nothing between calls; calls on several threads need no lock.
#pragma once

#include <type_traits>

#include "platform/com/bstr.h"
#include "platform/com/hresult.h"

class CEMRDataSource;

namespace korvalis::frame {

enum class Vote { kNo, kYes };

// The transaction of one call. A writing one holds the database's write lock from the call's
// first statement, so that what the call reads stays valid until it writes; a reading one
// blocks no other call, and a write in it fails when another call wrote since it began.
enum class Transaction { kReading, kWriting };

// The body of one call, type-erased: `context` is the frame's, `data_source` the call's.
using CallBody = void (*)(void* context, CEMRDataSource* data_source);

// Runs `body(context, &data_source)` within one call scope: opens the call's transaction scope
// as `transaction` says, constructs the call's CEMRDataSource, runs the body, destroys the data
// source, and commits. When the body throws, the data source is destroyed, the scope rolls back
// and the exception propagates. The data layer installs the runner; tests install their own.
using CallScopeRunner = void (*)(Transaction transaction, CallBody body, void* context);

// Installs `runner` for every frame of the process; returns the one it replaces. Install before
// the first call (the module does so when it is constructed).
CallScopeRunner SetCallScopeRunner(CallScopeRunner runner);

// The frame itself; see the top of this file. `method` names the method as "C<Class>::<Method>"
// in ASCII.
HRESULT RunFrame(Vote vote, const char* method, CallBody body, void* context) noexcept;

template <class Body>
HRESULT Run(Vote vote, const char* method, Body&& body) noexcept {
  using BodyType = std::remove_reference_t<Body>;
  return RunFrame(
      vote, method,
      [](void* context, CEMRDataSource* data_source) {
        (*static_cast<BodyType*>(context))(data_source);
      },
      &body);
}

// A method that only votes: complete, then S_OK. No data source, no body.
HRESULT RunVoteOnly() noexcept;

// A method that answers instead of failing: runs the body in a reading call scope without a
// vote, and stores "true" when it returns or "false" when anything is thrown through `result`
// (when not null, as a new BSTR). Always S_OK; sets no error information.
HRESULT RunAnswering(CallBody body, void* context, BSTR* result) noexcept;

template <class Body>
HRESULT RunAnswering(Body&& body, BSTR* result) noexcept {
  using BodyType = std::remove_reference_t<Body>;
  return RunAnswering(
      [](void* context, CEMRDataSource* data_source) {
        (*static_cast<BodyType*>(context))(data_source);
      },
      &body, result);
}

// A method whose answer is always the empty text: stores a new empty BSTR through `result` when
// it is not null, and returns S_OK (E_OUTOFMEMORY when the text cannot be allocated). No data
// source, no body.
HRESULT StoreEmptyResult(BSTR* result) noexcept;

// The shared business function of methods whose body does nothing: runs no statement, writes no
// output, returns 0.
template <class... Arguments>
int DoNothing(CEMRDataSource*, Arguments...) {
  return 0;
}

}  // namespace korvalis::frame
