// The COM shape of the 23 wrapped classes (interfaces answered, error information, aggregation,
// construction) and the departures from the frame that need more than one call to show.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "classes/testing/surface_test_support.h"
#include "foundation/calls/emr_error.h"
#include "platform/com/class_factory.h"
#include "platform/com/error_info.h"
#include "platform/com/module_lock.h"
#include "platform/complus/recording_object_context.h"

namespace korvalis::testing {
namespace {

using complus::RecordingObjectContext;
using complus::ScopedObjectContext;

// An outer object for aggregation: answers IUnknown itself and records every other query.
class OuterObject final : public IUnknown {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    ++foreign_queries;
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }

  std::atomic<ULONG> references{1};
  int foreign_queries = 0;
};

const IID kUnknownIid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

HRESULT Query(IUnknown* object, REFIID riid) {
  void* p = nullptr;
  HRESULT hr = object->QueryInterface(riid, &p);
  if (p != nullptr) static_cast<IUnknown*>(p)->Release();
  return hr;
}

class ClassShapeTest : public ::testing::TestWithParam<ClassUnderTest> {};

TEST_P(ClassShapeTest, AnswersItsInterfacesWithOneIdentity) {
  const ClassUnderTest& c = GetParam();
  void* p = nullptr;
  ASSERT_EQ(c.library(nullptr, IID_IUnknown, &p), S_OK);
  IUnknown* object = static_cast<IUnknown*>(p);
  EXPECT_EQ(Query(object, c.info->iid), S_OK);
  EXPECT_EQ(Query(object, IID_IDispatch), S_OK);
  EXPECT_EQ(Query(object, IID_ISupportErrorInfo), c.supports_error_info ? S_OK : E_NOINTERFACE);
  EXPECT_EQ(Query(object, IID_IObjectConstruct), c.accepts_construction ? S_OK : E_NOINTERFACE);
  EXPECT_EQ(Query(object, IID_IClassFactory), E_NOINTERFACE);
  EXPECT_EQ(Query(object, kUnknownIid), E_NOINTERFACE);

  void* dispatch = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IDispatch, &dispatch), S_OK);
  void* identity = nullptr;
  ASSERT_EQ(static_cast<IUnknown*>(dispatch)->QueryInterface(IID_IUnknown, &identity), S_OK);
  EXPECT_EQ(identity, p);
  static_cast<IUnknown*>(identity)->Release();
  static_cast<IUnknown*>(dispatch)->Release();

  if (c.supports_error_info) {
    void* support = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_ISupportErrorInfo, &support), S_OK);
    auto* errors = static_cast<ISupportErrorInfo*>(support);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(c.info->iid), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    errors->Release();
  }
  EXPECT_EQ(object->Release(), 0u);
}

TEST_P(ClassShapeTest, AggregatesOnlyWhereTheClassAllowsIt) {
  const ClassUnderTest& c = GetParam();
  OuterObject outer;
  void* inner = reinterpret_cast<void*>(1);
  EXPECT_EQ(c.library(&outer, c.info->iid, &inner), CLASS_E_NOAGGREGATION)
      << "an outer object must ask for IUnknown";
  EXPECT_EQ(inner, nullptr);
  HRESULT hr = c.library(&outer, IID_IUnknown, &inner);
  if (!c.aggregatable) {
    EXPECT_EQ(hr, CLASS_E_NOAGGREGATION);
    EXPECT_EQ(inner, nullptr);
    return;
  }
  ASSERT_EQ(hr, S_OK);
  auto* inner_unknown = static_cast<IUnknown*>(inner);
  void* own = nullptr;
  ASSERT_EQ(inner_unknown->QueryInterface(c.info->iid, &own), S_OK);
  // The aggregated interface delegates to the outer object.
  EXPECT_EQ(Query(static_cast<IUnknown*>(own), kUnknownIid), E_NOINTERFACE);
  EXPECT_EQ(outer.foreign_queries, 1);
  static_cast<IUnknown*>(own)->Release();
  EXPECT_EQ(inner_unknown->Release(), 0u);
  EXPECT_EQ(outer.references, 1u);
}

TEST_P(ClassShapeTest, RefusesANullResultPointer) {
  EXPECT_EQ(GetParam().library(nullptr, IID_IUnknown, nullptr), E_POINTER);
}

std::string ClassName(const ::testing::TestParamInfo<ClassUnderTest>& info) {
  return ToUtf8(info.param.name);
}

INSTANTIATE_TEST_SUITE_P(AllClasses, ClassShapeTest, ::testing::ValuesIn(kClassesUnderTest),
                         ClassName);

// Calls through the recording classes, inside a recording object context, with the tests'
// call scope.
class DepartureTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // Every vote guard has let go of the context by the end of its call.
    EXPECT_EQ(context_.outside_references(), 0u);
  }

  template <class Interface>
  Interface* Create(std::u16string_view class_name) {
    IDispatch* dispatch = CreateDispatch(FindClass(class_name).recording);
    objects_.push_back(dispatch);
    return static_cast<Interface*>(dispatch);
  }
  ~DepartureTest() override {
    for (IDispatch* d : objects_) d->Release();
  }

  static bool HasErrorInfo() {
    IErrorInfo* info = nullptr;
    HRESULT hr = GetErrorInfo(0, &info);
    if (info != nullptr) info->Release();
    return hr == S_OK;
  }

  CountingCallScopeInstalled counting_scope_;
  RecordingObjectContext context_;
  std::vector<IDispatch*> objects_;
};

TEST_F(DepartureTest, ClientsPassArgumentsByTheirMisspelledNames) {
  IDispatch* reports = Create<IDispatch>(u"EMRReport");
  std::u16string method = u"SetReportProperty", id = u"lngReprotID", property = u"bstrProperty";
  LPOLESTR names[] = {method.data(), property.data(), id.data()};
  DISPID ids[3] = {};
  ASSERT_EQ(reports->GetIDsOfNames(IID_NULL, names, 3, 0, ids), S_OK);
  EXPECT_EQ(ids[0], 10);
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[0].vt = VT_BSTR;  // named arguments in the order the caller chose
  args[0].bstrVal = AllocBstr(u"<root><name>周报</name></root>");
  args[1].vt = VT_I4;
  args[1].lVal = 42;
  DISPID named[2] = {ids[1], ids[2]};
  DISPPARAMS params{args, named, 2, 2};
  EXPECT_EQ(reports->Invoke(10, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
            S_OK);
  ASSERT_EQ(Script().calls.size(), 1u);
  EXPECT_EQ(Script().calls[0].body, "SetReportProperty");
  EXPECT_EQ(Script().calls[0].arguments[0].value, 42);
  EXPECT_EQ(Script().calls[0].arguments[1].text, u"<root><name>周报</name></root>");
  VariantClear(&args[0]);
}

TEST_F(DepartureTest, QCTaskHasNoMemberSix) {
  IDispatch* task = Create<IDispatch>(u"QCTask");
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(task->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_TRUE(Script().calls.empty());
}

TEST_F(DepartureTest, AResultWrittenBeforeAFailureStaysWithTheCaller) {
  auto* patients = Create<IArchivePatient>(u"ArchivePatient");
  Script().action = BodyAction::kWriteAndThrow;
  BSTR list = nullptr;
  BSTR dept = AllocBstr(u"0101");
  EXPECT_EQ(patients->GetInPatientList(dept, dept, dept, &list), E_FAIL);
  EXPECT_EQ(BstrView(list), kPartialResult);
  EXPECT_EQ(CEMRRemoteError().GetError(), kBodyFailure);
  SysFreeString(list);
  SysFreeString(dept);
}

TEST_F(DepartureTest, VotingMethodsOutsideAnyContextBehaveAsInside) {
  auto* admin = Create<IQCAdmin>(u"QCAdmin");
  ScopedObjectContext none(nullptr);
  EXPECT_EQ(admin->DeleteRule(7), S_OK);
  Script().action = BodyAction::kThrowEmr;
  EXPECT_EQ(admin->DeleteRule(7), E_FAIL);
  EXPECT_EQ(CEMRRemoteError().GetError(), kBodyFailure);
  EXPECT_EQ(context_.votes(), "");
}

TEST_F(DepartureTest, ExportReportRefusesANegativeIdentifierWithAnEmptyResult) {
  auto* reports = Create<IEMRReport>(u"EMRReport");
  BSTR result = nullptr;
  EXPECT_EQ(reports->ExportReport(-1, &result), E_FAIL);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(SysStringLen(result), 0u);
  SysFreeString(result);
  EXPECT_EQ(reports->ExportReport(-1, nullptr), E_FAIL);
  EXPECT_EQ(CountingCallScope::scopes(), 0);
  EXPECT_FALSE(HasErrorInfo());
  result = nullptr;
  EXPECT_EQ(reports->ExportReport(0, &result), S_OK);
  EXPECT_EQ(Script().calls.size(), 1u);
}

TEST_F(DepartureTest, ImportReportRefusesBeforeTheCallAndPresetsItsResult) {
  auto* reports = Create<IEMRReport>(u"EMRReport");
  BSTR report = AllocBstr(u"<report/>");
  BSTR portion = AllocBstr(u"kept");
  BSTR kept = portion;
  {
    ScopedObjectContext scope(&context_);
    EXPECT_EQ(reports->ImportReport(-1, report, &portion), E_FAIL);
    EXPECT_EQ(portion, kept);
    EXPECT_EQ(reports->ImportReport(0, report, nullptr), E_FAIL);
    EXPECT_EQ(CountingCallScope::scopes(), 0);
    EXPECT_EQ(context_.votes(), "");
    EXPECT_FALSE(HasErrorInfo());

    Script().action = BodyAction::kThrowEmr;
    EXPECT_EQ(reports->ImportReport(0, report, &portion), E_FAIL);
  }
  ASSERT_EQ(Script().calls.size(), 1u);
  EXPECT_EQ(Script().calls[0].arguments[2].text, u"") << "the body sees the preset result";
  EXPECT_EQ(BstrView(portion), u"") << "a failed import leaves the preset result";
  EXPECT_EQ(context_.votes(), "A");
  SysFreeString(portion);
  SysFreeString(kept);
  SysFreeString(report);
}

TEST_F(DepartureTest, DistributionRefusesANullListAndAnIdentifierBelowOne) {
  auto* reports = Create<IEMRReport>(u"EMRReport");
  ScopedObjectContext scope(&context_);
  EXPECT_EQ(reports->DistributeReportToUser(nullptr), E_FAIL);
  BSTR users = nullptr;
  EXPECT_EQ(reports->GetAllDistributedUserList(0, &users), E_FAIL);
  EXPECT_EQ(reports->GetAllDistributedUserList(1, nullptr), E_FAIL);
  EXPECT_EQ(users, nullptr);
  EXPECT_EQ(CountingCallScope::scopes(), 0);
  EXPECT_FALSE(HasErrorInfo());

  BSTR empty = AllocBstr(u"");
  EXPECT_EQ(reports->DistributeReportToUser(empty), S_OK);
  EXPECT_EQ(context_.votes(), "C");
  EXPECT_EQ(reports->GetAllDistributedUserList(1, &users), S_OK);
  EXPECT_EQ(Script().calls.size(), 2u);
  SysFreeString(empty);
}

TEST_F(DepartureTest, EmptyMethodsLeaveANullResultNull) {
  auto* collector = Create<IQCCollector>(u"QCCollector");
  auto* events = Create<ISysEvent>(u"SysEvent");
  auto* archive = Create<IArchiveReport>(u"ArchiveReport");
  BSTR result = nullptr;
  EXPECT_EQ(collector->GetDeptQCList(nullptr, &result), S_OK);
  EXPECT_EQ(events->InitNew(nullptr, &result), S_OK);
  EXPECT_EQ(archive->GetTimeOutUnwriteList(nullptr, nullptr, nullptr, &result), S_OK);
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(archive->Init(nullptr), S_OK);
  EXPECT_EQ(archive->GetTimeOutWriteList(nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(CountingCallScope::scopes(), 0);
}

TEST_F(DepartureTest, TestForSqlAnswersWithoutAResultPointerToo) {
  auto* admin = Create<IQCAdmin>(u"QCAdmin");
  BSTR sql = AllocBstr(u"SELECT 1 FROM DUAL");
  EXPECT_EQ(admin->TestForSql(sql, nullptr), S_OK);
  Script().action = BodyAction::kThrowOther;
  EXPECT_EQ(admin->TestForSql(sql, nullptr), S_OK);
  EXPECT_FALSE(HasErrorInfo());
  EXPECT_EQ(Script().calls.size(), 2u);
  SysFreeString(sql);
}

TEST_F(DepartureTest, ReFireOpenReadsTheVisitFromItsEventDocument) {
  auto* trigger = Create<IQualityTrigger>(u"QualityTrigger");
  BSTR event = AllocBstr(
      u"<root><patient_id>P001</patient_id><event_no>V9</event_no><code>E03</code></root>");
  EXPECT_EQ(trigger->ReFireOpen(event), S_OK);
  ASSERT_EQ(Script().calls.size(), 1u);
  const RecordedCall& call = Script().calls[0];
  EXPECT_EQ(call.body, "ReFireOpen");
  ASSERT_EQ(call.arguments.size(), 3u);
  EXPECT_EQ(call.arguments[0].text, u"P001");
  EXPECT_EQ(call.arguments[1].text, u"V9");
  EXPECT_EQ(call.arguments[2].pointer, event) << "the document itself passes unchanged";
  SysFreeString(event);

  // Without the two elements the body still runs, with empty texts.
  event = AllocBstr(u"<root><code>E03</code></root>");
  EXPECT_EQ(trigger->ReFireOpen(event), S_OK);
  ASSERT_EQ(Script().calls.size(), 2u);
  EXPECT_FALSE(Script().calls[1].arguments[0].null_text);
  EXPECT_EQ(Script().calls[1].arguments[0].text, u"");
  EXPECT_EQ(Script().calls[1].arguments[1].text, u"");
  SysFreeString(event);
}

// A host's construction object, with or without the construction string; a faulty one answers
// success for the string's interface but hands out nothing.
class ConstructionObject final : public IObjectConstructString {
 public:
  explicit ConstructionObject(bool offers_string, bool hands_out_null = false)
      : offers_string_(offers_string), hands_out_null_(hands_out_null) {}
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (hands_out_null_ && riid == IID_IObjectConstructString) {
      *ppv = nullptr;
      return S_OK;
    }
    if (riid == IID_IUnknown || riid == IID_IDispatch ||
        (offers_string_ && riid == IID_IObjectConstructString)) {
      *ppv = static_cast<IObjectConstructString*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT get_ConstructString(BSTR* value) override {
    ++reads;
    *value = AllocBstr(u"Provider=SQLite");
    return S_OK;
  }
  int reads = 0;

 private:
  bool offers_string_;
  bool hands_out_null_;
};

TEST_F(DepartureTest, ConstructionReadsAndDropsTheString) {
  for (std::u16string_view name : {u"QualityRule", u"QualityTrigger"}) {
    SCOPED_TRACE(ToUtf8(name));
    IDispatch* dispatch = Create<IDispatch>(name);
    void* p = nullptr;
    ASSERT_EQ(dispatch->QueryInterface(IID_IObjectConstruct, &p), S_OK);
    auto* construct = static_cast<IObjectConstruct*>(p);
    ConstructionObject with_string(true);
    ConstructionObject without_string(false);
    EXPECT_EQ(construct->Construct(&with_string), S_OK);
    EXPECT_EQ(with_string.reads, 1);
    EXPECT_EQ(construct->Construct(&without_string), E_NOINTERFACE);
    ConstructionObject faulty(true, true);
    EXPECT_EQ(construct->Construct(&faulty), E_NOINTERFACE);
    EXPECT_EQ(construct->Construct(nullptr), E_POINTER);
    construct->Release();
  }
}

TEST_F(DepartureTest, TheReportsServerTimeRunsWithoutAVote) {
  IDispatch* dispatch = CreateDispatch(&CreateRecording<CEMRReportT>);
  objects_.push_back(dispatch);
  auto* report = static_cast<CEMRReportT<RecordingBody>*>(static_cast<IEMRReport*>(dispatch));
  BSTR time = nullptr;
  ScopedObjectContext scope(&context_);
  EXPECT_EQ(report->GetCurrTime(&time), S_OK);
  ASSERT_EQ(Script().calls.size(), 1u);
  EXPECT_EQ(Script().calls[0].body, "GetCurrTime");
  EXPECT_EQ(Script().calls[0].arguments[0].pointer, &time);
  Script().action = BodyAction::kThrowOther;
  EXPECT_EQ(report->GetCurrTime(&time), E_FAIL);
  EXPECT_EQ(CEMRRemoteError().GetError(), u"函数:'CEMRReport::GetCurrTime' 出现异常错误.");
  EXPECT_EQ(context_.votes(), "");
}

TEST_F(DepartureTest, NullStringsAndNullResultsReachTheBodyUnchanged) {
  auto* repository = Create<IRepository>(u"Repository");
  EXPECT_EQ(repository->SetVktCatalog(nullptr, nullptr), S_OK);
  ASSERT_EQ(Script().calls.size(), 1u);
  EXPECT_TRUE(Script().calls[0].arguments[0].null_text);
  EXPECT_EQ(Script().calls[0].arguments[1].pointer, nullptr);
}

TEST_F(DepartureTest, ReFireOpenReadsANullEventDocumentAsAnEmptyOne) {
  auto* trigger = Create<IQualityTrigger>(u"QualityTrigger");
  ScopedObjectContext scope(&context_);
  EXPECT_EQ(trigger->ReFireOpen(nullptr), S_OK);
  ASSERT_EQ(Script().calls.size(), 1u);
  EXPECT_EQ(Script().calls[0].arguments[0].text, u"");
  EXPECT_EQ(Script().calls[0].arguments[1].text, u"");
  EXPECT_EQ(Script().calls[0].arguments[2].pointer, nullptr);
  EXPECT_EQ(context_.votes(), "C");
}

// A call scope that any number of threads may run at once.
std::atomic<int> concurrent_scopes{0};
void ConcurrentScope(frame::Transaction, frame::CallBody body, void* context) {
  concurrent_scopes.fetch_add(1);
  body(context, CountingCallScope::data_source());
}

TEST(ConcurrencyTest, ThreadsShareOneObjectOfAClassRegisteredNeutralOrBoth) {
  frame::CallScopeRunner previous = frame::SetCallScopeRunner(&ConcurrentScope);
  concurrent_scopes = 0;
  int32_t locks_before = com::ModuleLockCount();
  for (std::u16string_view name : {u"QualityRule", u"CoreSystem"}) {
    SCOPED_TRACE(ToUtf8(name));
    IDispatch* object = CreateDispatch(FindClass(name).library);
    constexpr int kThreads = 8, kCalls = 500;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&] {
        for (int i = 0; i < kCalls; ++i) {
          void* copy = nullptr;
          if (object->QueryInterface(FindClass(name).info->iid, &copy) != S_OK) ++failures;
          HRESULT hr = name == u"QualityRule"
                           ? static_cast<IQualityRule*>(copy)->DeleteOpenRule(nullptr, nullptr,
                                                                              nullptr)
                           : static_cast<ICoreSystem*>(copy)->SaveDoctorShiftRecord(nullptr);
          if (hr != S_OK) ++failures;
          static_cast<IUnknown*>(copy)->Release();
        }
      });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(object->Release(), 0u) << "every reference taken by a thread was given back";
  }
  // DeleteOpenRule needs no data source; each SaveDoctorShiftRecord ran in its own call scope.
  EXPECT_EQ(concurrent_scopes, 8 * 500);
  EXPECT_EQ(com::ModuleLockCount(), locks_before);
  frame::SetCallScopeRunner(previous);
}

}  // namespace
}  // namespace korvalis::testing
