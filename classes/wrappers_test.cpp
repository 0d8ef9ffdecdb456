// One row per method of the 23 wrapped classes: each method runs over a recording body and a
// recording object context, and must pass its arguments unchanged, vote as its row says, leave
// the frame only where its row says, and give through IDispatch::Invoke by name what it gives
// through its virtual function.
#include <gtest/gtest.h>

#include <string>

#include "classes/testing/surface_test_support.h"
#include "foundation/calls/emr_error.h"
#include "platform/com/error_info.h"
#include "platform/complus/recording_object_context.h"
#include "platform/text/unicode.h"

namespace korvalis::testing {
namespace {

using com::MethodInfo;
using com::ParamDirection;
using complus::RecordingObjectContext;
using complus::ScopedObjectContext;

bool HasErrorInfo() {
  IErrorInfo* info = nullptr;
  HRESULT hr = GetErrorInfo(0, &info);
  if (info != nullptr) {
    SetErrorInfo(0, info);
    info->Release();
  }
  return hr == S_OK;
}

std::u16string UnexpectedFailureText(const WrapperRow& row) {
  return u"函数:'C" + std::u16string(row.class_name) + u"::" + std::u16string(row.method) +
         u"' 出现异常错误.";
}

std::string BodyMember(const WrapperRow& row) {
  return std::string(row.body.substr(row.body.find("::") + 2));
}

// Departures whose method calls a body inside the frame.
bool CallsBody(Departure d) {
  return d != Departure::kEmptyMethod && d != Departure::kEmptyResult &&
         d != Departure::kNotImplemented && d != Departure::kEmptyBody &&
         d != Departure::kVoteOnly && d != Departure::kParsesEventInfo;
}

class WrapperRowTest : public ::testing::TestWithParam<WrapperRow> {
 protected:
  void SetUp() override {
    const WrapperRow& row = GetParam();
    object_ = CreateDispatch(FindClass(row.class_name).recording);
    method_ = FindClass(row.class_name).info->FindMethod(row.dispid);
    ASSERT_NE(method_, nullptr);
    ASSERT_EQ(method_->name, row.method);
  }
  void TearDown() override {
    if (object_ != nullptr) object_->Release();
    // Every vote guard has let go of the context by the end of its call.
    EXPECT_EQ(context_.outside_references(), 0u);
  }

  // Calls the method through its virtual function inside the recording context.
  HRESULT CallVirtual(CallArguments& arguments) {
    ScopedObjectContext scope(&context_);
    return method_->invoker.invoke(object_, arguments.data());
  }

  const std::string& votes() const { return context_.votes(); }
  // A call of a method that writes, or that votes, runs in a writing transaction: the wrapper
  // names its call so that the frame finds the method's row.
  frame::Transaction ExpectedTransaction() const {
    return GetParam().votes || method_->access == com::DataAccess::kWrites
               ? frame::Transaction::kWriting
               : frame::Transaction::kReading;
  }
  std::string VotesOnSuccess() const { return GetParam().votes ? "C" : ""; }
  std::string VotesOnFailure() const { return GetParam().votes ? "A" : ""; }

  CountingCallScopeInstalled counting_scope_;
  IDispatch* object_ = nullptr;
  const MethodInfo* method_ = nullptr;
  RecordingObjectContext context_;
};

TEST_P(WrapperRowTest, SucceedsAsItsRowSays) {
  const WrapperRow& row = GetParam();
  CallArguments arguments(*method_);
  HRESULT hr = CallVirtual(arguments);
  const std::vector<RecordedCall>& calls = Script().calls;
  switch (row.departure) {
    case Departure::kEmptyMethod:
    case Departure::kNotImplemented:
      EXPECT_EQ(hr, row.departure == Departure::kEmptyMethod ? S_OK : E_NOTIMPL);
      EXPECT_TRUE(calls.empty());
      EXPECT_EQ(CountingCallScope::scopes(), 0);
      EXPECT_EQ(votes(), "");
      EXPECT_TRUE(arguments.untouched());
      EXPECT_FALSE(HasErrorInfo());
      return;
    case Departure::kEmptyResult: {
      EXPECT_EQ(hr, S_OK);
      EXPECT_TRUE(calls.empty());
      EXPECT_EQ(CountingCallScope::scopes(), 0);
      BSTR result = arguments.string(method_->params.size() - 1);
      ASSERT_NE(result, nullptr);
      EXPECT_EQ(SysStringLen(result), 0u);
      return;
    }
    case Departure::kVoteOnly:
      EXPECT_EQ(hr, S_OK);
      EXPECT_TRUE(calls.empty());
      EXPECT_EQ(CountingCallScope::scopes(), 0);
      EXPECT_EQ(votes(), "C");
      return;
    case Departure::kEmptyBody:
      EXPECT_EQ(hr, S_OK);
      EXPECT_TRUE(calls.empty());
      EXPECT_EQ(CountingCallScope::scopes(), 1);
      EXPECT_EQ(CountingCallScope::transaction(), ExpectedTransaction());
      EXPECT_EQ(votes(), VotesOnSuccess());
      return;
    case Departure::kParsesEventInfo:
      // "参数0" is no XML document: the call fails before its body.
      EXPECT_EQ(hr, E_FAIL);
      EXPECT_TRUE(calls.empty());
      EXPECT_EQ(CEMRRemoteError().GetError(), u"解析属性信息错误.");
      EXPECT_EQ(votes(), "A");
      return;
    default:
      break;
  }
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(CountingCallScope::scopes(), 1);
  EXPECT_EQ(CountingCallScope::transaction(), ExpectedTransaction());
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].body, BodyMember(row));
  EXPECT_EQ(calls[0].data_source, CountingCallScope::data_source());
  std::vector<RecordedArgument> expected = arguments.Expected();
  if (row.departure == Departure::kAnswer) {
    expected.pop_back();
    EXPECT_EQ(BstrView(arguments.string(method_->params.size() - 1)), u"true");
    EXPECT_EQ(votes(), "");
  } else {
    EXPECT_EQ(votes(), VotesOnSuccess());
  }
  if (row.departure == Departure::kLocalResult) {
    ASSERT_EQ(calls[0].arguments.size(), expected.size() + 1);
    EXPECT_EQ(calls[0].arguments.back().kind, RecordedArgument::kLongPointer);
    EXPECT_NE(calls[0].arguments.back().pointer, nullptr);
    expected.push_back(calls[0].arguments.back());
  }
  if (row.departure == Departure::kEmptyContent) {
    ASSERT_EQ(calls[0].arguments.size(), expected.size() + 1);
    const RecordedArgument& content = calls[0].arguments.back();
    EXPECT_EQ(content.kind, RecordedArgument::kBstr);
    EXPECT_FALSE(content.null_text);
    EXPECT_EQ(content.text, u"");
    expected.push_back(content);
  }
  if (row.departure == Departure::kNegativeIdOrNullResultRefused) {
    // The result is set to the empty text before the body runs.
    expected.back().text = u"";
  }
  EXPECT_TRUE(SameArguments(calls[0].arguments, expected)) << "arguments changed on the way";
  EXPECT_FALSE(HasErrorInfo());
}

// The rows of the methods whose body can fail.
class WrapperFailureTest : public WrapperRowTest {};

TEST_P(WrapperFailureTest, FailsAsItsRowSays) {
  const WrapperRow& row = GetParam();
  for (BodyAction action : {BodyAction::kThrowEmr, BodyAction::kThrowOther}) {
    SCOPED_TRACE(action == BodyAction::kThrowEmr ? "CEMRException" : "other exception");
    Script() = {};
    Script().action = action;
    RecordingObjectContext context;
    CallArguments arguments(*method_);
    HRESULT hr;
    {
      ScopedObjectContext scope(&context);
      hr = method_->invoker.invoke(object_, arguments.data());
    }
    ASSERT_EQ(Script().calls.size(), 1u);
    if (row.departure == Departure::kAnswer) {
      EXPECT_EQ(hr, S_OK);
      EXPECT_EQ(BstrView(arguments.string(method_->params.size() - 1)), u"false");
      EXPECT_FALSE(HasErrorInfo());
      EXPECT_EQ(context.votes(), "");
    } else {
      EXPECT_EQ(hr, E_FAIL);
      EXPECT_EQ(CEMRRemoteError().GetError(),
                action == BodyAction::kThrowEmr ? std::u16string(kBodyFailure)
                                                : UnexpectedFailureText(row));
      EXPECT_EQ(context.votes(), VotesOnFailure());
    }
    EXPECT_EQ(context.outside_references(), 0u);
  }
}

// Builds the DISPPARAMS of a late-bound call with the same values as `arguments`.
class DispatchArguments {
 public:
  DispatchArguments(const MethodInfo& method, CallArguments& arguments) {
    size_t count = method.params.size();
    if (count > 0 && method.params[count - 1].direction == ParamDirection::kOutRetval) --count;
    variants_.resize(count);
    references_.resize(count);
    for (size_t i = 0; i < count; ++i) {
      VARIANT& v = variants_[count - 1 - i];  // reversed, as callers pass them
      VariantInit(&v);
      const com::ParamInfo& p = method.params[i];
      const com::DispatchArgument& a = arguments.at(i);
      if (p.direction != ParamDirection::kIn) {
        references_[i] = AllocBstr(BstrView(*a.pbstr));
        v.vt = VT_BYREF | VT_BSTR;
        v.pbstrVal = &references_[i];
      } else if (p.type == VT_BSTR) {
        v.vt = VT_BSTR;
        v.bstrVal = AllocBstr(BstrView(a.bstr));
      } else if (p.type == VT_I4) {
        v.vt = VT_I4;
        v.lVal = a.i4;
      } else {
        v.vt = VT_BOOL;
        v.boolVal = a.i2;
      }
    }
    params_ = {variants_.data(), nullptr, static_cast<UINT>(count), 0};
  }
  ~DispatchArguments() {
    for (VARIANT& v : variants_) VariantClear(&v);
    for (BSTR b : references_) SysFreeString(b);
  }
  DISPPARAMS* params() { return &params_; }

 private:
  std::vector<VARIANT> variants_;
  std::vector<BSTR> references_;
  DISPPARAMS params_{};
};

TEST_P(WrapperRowTest, InvokeByNameGivesWhatTheVirtualFunctionGives) {
  const WrapperRow& row = GetParam();
  std::u16string name(row.method);
  LPOLESTR names[] = {name.data()};
  DISPID dispid = 0;
  ASSERT_EQ(object_->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid), S_OK);
  EXPECT_EQ(dispid, row.dispid);

  CallArguments early(*method_);
  HRESULT early_hr = CallVirtual(early);
  std::vector<RecordedCall> early_calls = std::move(Script().calls);
  std::string early_votes = votes();
  std::u16string early_error = HasErrorInfo() ? CEMRRemoteError().GetError() : u"";

  Script() = {};
  CallArguments values(*method_);
  DispatchArguments late(*method_, values);
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO excepinfo{};
  UINT arg_error = 0;
  RecordingObjectContext context;
  HRESULT late_hr;
  {
    ScopedObjectContext scope(&context);
    late_hr = object_->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, late.params(), &result,
                              &excepinfo, &arg_error);
  }
  if (SUCCEEDED(early_hr)) {
    EXPECT_EQ(late_hr, early_hr);
  } else {
    EXPECT_EQ(late_hr, DISP_E_EXCEPTION);
    EXPECT_EQ(excepinfo.scode, early_hr);
    EXPECT_EQ(BstrView(excepinfo.bstrDescription), early_error);
  }
  EXPECT_EQ(context.votes(), early_votes);
  ASSERT_EQ(Script().calls.size(), early_calls.size());
  for (size_t c = 0; c < early_calls.size(); ++c) {
    const std::vector<RecordedArgument>& a = early_calls[c].arguments;
    const std::vector<RecordedArgument>& b = Script().calls[c].arguments;
    EXPECT_EQ(early_calls[c].body, Script().calls[c].body);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
      EXPECT_EQ(a[i].kind, b[i].kind) << "argument " << i;
      EXPECT_EQ(a[i].value, b[i].value) << "argument " << i;
      if (a[i].kind == RecordedArgument::kBstr) {
        EXPECT_EQ(a[i].text, b[i].text) << "argument " << i;
      }
    }
  }
  size_t count = method_->params.size();
  if (count > 0 && method_->params[count - 1].direction == ParamDirection::kOutRetval &&
      early.string(count - 1) != nullptr && method_->params[count - 1].type == VT_BSTR &&
      SUCCEEDED(early_hr)) {
    std::u16string early_result(BstrView(early.string(count - 1)));
    if (early_result != u"预设" + std::u16string(1, u'0' + (count - 1))) {
      ASSERT_EQ(result.vt, VT_BSTR);
      EXPECT_EQ(BstrView(result.bstrVal), early_result);
    }
  }
  VariantClear(&result);
  ClearExcepInfo(&excepinfo);
  EXPECT_EQ(context.outside_references(), 0u);
}

std::string RowName(const ::testing::TestParamInfo<WrapperRow>& info) {
  return ToUtf8(info.param.class_name) + "_" + ToUtf8(info.param.method);
}

std::vector<WrapperRow> RowsCallingBodies() {
  std::vector<WrapperRow> rows;
  for (const WrapperRow& row : kWrapperRows) {
    if (CallsBody(row.departure)) rows.push_back(row);
  }
  return rows;
}

INSTANTIATE_TEST_SUITE_P(AllMethods, WrapperRowTest, ::testing::ValuesIn(kWrapperRows), RowName);
INSTANTIATE_TEST_SUITE_P(MethodsWithBodies, WrapperFailureTest,
                         ::testing::ValuesIn(RowsCallingBodies()), RowName);

TEST(WrapperRowsTest, CoverEveryMethodOfTheWrappedClassesOnce) {
  size_t methods = 0;
  for (const ClassUnderTest& c : kClassesUnderTest) methods += c.info->methods.size();
  EXPECT_EQ(methods, std::size(kWrapperRows));
  EXPECT_EQ(methods + 6, 328u) << "with the six methods of the work-list service";
}

}  // namespace
}  // namespace korvalis::testing
