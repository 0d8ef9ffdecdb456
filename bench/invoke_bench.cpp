// One late-bound call through IDispatch::Invoke into a method with two BSTR arguments whose
// wrapper runs the full method frame (vote guard, call scope, body, vote) around a body that
// does no database work. Goal: under 2 µs per call.
#include <benchmark/benchmark.h>

#include "interface/emr_call_scope.h"
#include "interface/method_frame.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/type_info_table.h"

namespace {

using korvalis::com::InterfaceMapEntry;

struct IBenchTask : IDispatch {
  virtual HRESULT Modify(BSTR bstrTaskID, BSTR bstrProperty) = 0;
};

constexpr korvalis::com::ParamInfo kModifyParams[] = {
    korvalis::com::Param::In(u"bstrTaskID", VT_BSTR),
    korvalis::com::Param::In(u"bstrProperty", VT_BSTR)};
constexpr korvalis::com::MethodInfo kMethods[] = {
    {2, u"Modify", u"method Modify", kModifyParams,
     korvalis::com::Invoker<&IBenchTask::Modify>}};
constexpr korvalis::com::InterfaceInfo kIBenchTaskInfo{
    korvalis::com::MakeGuid("AE8109E3-533A-4122-9E16-5484124EFB6B"), u"IBenchTask", u"",
    kMethods};

// The body reads its arguments, as a real body would before it builds its statement.
size_t characters_seen = 0;

class CBenchTask : public korvalis::com::ComObjectRoot,
                   public korvalis::com::DispatchImpl<IBenchTask, kIBenchTaskInfo> {
 public:
  static std::span<const InterfaceMapEntry> InterfaceMap() {
    static constexpr InterfaceMapEntry kMap[] = {
        korvalis::com::MapEntry<CBenchTask, IBenchTask>(kIBenchTaskInfo.iid),
        korvalis::com::MapEntry<CBenchTask, IDispatch>(IID_IDispatch)};
    return kMap;
  }
  HRESULT Modify(BSTR bstrTaskID, BSTR bstrProperty) override {
    return korvalis::frame::Run(korvalis::frame::Vote::kYes, "CBenchTask::Modify",
                                [&](CEMRDataSource*) {
                                  characters_seen += SysStringLen(bstrTaskID) +
                                                     SysStringLen(bstrProperty);
                                });
  }
};

// A call scope without a database: the body runs with no data source.
void NoDatabaseScope(korvalis::frame::Transaction, korvalis::frame::CallBody body, void* context) {
  body(context, nullptr);
}

// `with_data_layer`: the call scope and CEMRDataSource of the product (no statement runs, so no
// connection opens); otherwise a scope without any data source, the frame's own cost.
void InvokeTwoBstrArguments(benchmark::State& state, bool with_data_layer) {
  if (with_data_layer) {
    korvalis::frame::InstallEMRCallScope();
  } else {
    korvalis::frame::SetCallScopeRunner(&NoDatabaseScope);
  }
  IDispatch* dispatch = nullptr;
  korvalis::com::CreateComInstance<CBenchTask, korvalis::com::Aggregation::kRefused>(
      nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[0].vt = VT_BSTR;  // reversed: the last argument first
  args[0].bstrVal = SysAllocString(u"<root><name>月度质控</name><status>1</status></root>");
  args[1].vt = VT_BSTR;
  args[1].bstrVal = SysAllocString(u"5f0c2a8e-3a1b-4f5e-9d7c-0b1e2f3a4c5d");
  DISPPARAMS params{args, nullptr, 2, 0};
  for (auto _ : state) {
    VARIANT result;
    EXCEPINFO excep;
    UINT arg_err;
    HRESULT hr = dispatch->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &excep,
                                  &arg_err);
    benchmark::DoNotOptimize(hr);
  }
  if (characters_seen == 0) state.SkipWithError("the body never ran");
  VariantClear(&args[0]);
  VariantClear(&args[1]);
  dispatch->Release();
  korvalis::frame::SetCallScopeRunner(nullptr);
}

void BM_InvokeTwoBstrArguments(benchmark::State& state) { InvokeTwoBstrArguments(state, false); }
BENCHMARK(BM_InvokeTwoBstrArguments);

void BM_InvokeTwoBstrArgumentsWithDataLayer(benchmark::State& state) {
  InvokeTwoBstrArguments(state, true);
}
BENCHMARK(BM_InvokeTwoBstrArgumentsWithDataLayer);

}  // namespace
