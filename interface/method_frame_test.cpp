#include "interface/method_frame.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "platform/com/error_info.h"
#include "platform/complus/recording_object_context.h"

// The data source is opaque to the frame; the test runner hands out this stand-in.
class CEMRDataSource {
 public:
  int statements = 0;
};

namespace korvalis::frame {
namespace {

using complus::RecordingObjectContext;
using complus::ScopedObjectContext;

// A call-scope runner that records the life of the call's scope and data source, and the votes
// already cast when the data source is destroyed.
struct CallLog {
  std::vector<std::string> events;
  const RecordingObjectContext* context = nullptr;
  bool fail_commit = false;
};
CallLog* call_log = nullptr;

std::string Votes() { return call_log->context ? call_log->context->votes() : "-"; }

void RecordingRunner(Transaction transaction, CallBody body, void* context) {
  call_log->events.push_back(transaction == Transaction::kWriting ? "open writing scope"
                                                                  : "open scope");
  bool committed = false;
  struct Scope {
    bool* committed;
    ~Scope() {
      if (!*committed) call_log->events.push_back("roll back");
    }
  } scope{&committed};
  {
    CEMRDataSource data_source;
    struct Destroy {
      ~Destroy() { call_log->events.push_back("destroy data source after votes " + Votes()); }
    } destroy;
    body(context, &data_source);
  }
  if (call_log->fail_commit) throw CEMRException(std::u16string(u"提交失败"));
  committed = true;
  call_log->events.push_back("commit");
}

std::u16string TakeErrorDescription() {
  IErrorInfo* error = nullptr;
  if (GetErrorInfo(0, &error) != S_OK) return u"<none>";
  BSTR text = nullptr;
  error->GetDescription(&text);
  std::u16string description(BstrView(text));
  SysFreeString(text);
  error->Release();
  return description;
}

class MethodFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_.context = &context_;
    call_log = &log_;
    previous_ = SetCallScopeRunner(&RecordingRunner);
    TakeErrorDescription();
  }
  void TearDown() override {
    SetCallScopeRunner(previous_);
    call_log = nullptr;
  }

  CallLog log_;
  RecordingObjectContext context_;
  CallScopeRunner previous_ = nullptr;
};

TEST_F(MethodFrameTest, VotingMethodVotesCompleteBeforeTheDataSourceCloses) {
  ScopedObjectContext installed(&context_);
  CEMRDataSource* seen = nullptr;
  HRESULT hr = frame::Run(Vote::kYes, "CQualityRule::SaveProperty", [&](CEMRDataSource* data_source) {
    seen = data_source;
    log_.events.push_back("body");
  });
  EXPECT_EQ(hr, S_OK);
  EXPECT_NE(seen, nullptr);
  EXPECT_EQ(log_.events, (std::vector<std::string>{"open writing scope", "body",
                                                   "destroy data source after votes C",
                                                   "commit"}));
  EXPECT_EQ(context_.votes(), "C");
  EXPECT_EQ(context_.outside_references(), 1u);  // the installation's only: the guard let go
  EXPECT_EQ(TakeErrorDescription(), u"<none>");
}

TEST_F(MethodFrameTest, EMRExceptionAbortsAndBecomesTheDescription) {
  ScopedObjectContext installed(&context_);
  HRESULT hr = frame::Run(Vote::kYes, "CQCTask::SetTaskSummarize", [&](CEMRDataSource*) {
    throw CEMRException(std::u16string(u"任务ID与用户ID不能为空!"));
  });
  EXPECT_EQ(hr, E_FAIL);
  EXPECT_EQ(TakeErrorDescription(), u"任务ID与用户ID不能为空!");
  EXPECT_EQ(context_.votes(), "A");  // one abort, no complete
  EXPECT_EQ(log_.events, (std::vector<std::string>{"open writing scope",
                                                   "destroy data source after votes ",
                                                   "roll back"}));
  EXPECT_EQ(context_.outside_references(), 1u);
}

TEST_F(MethodFrameTest, OtherExceptionsNameTheMethod) {
  ScopedObjectContext installed(&context_);
  EXPECT_EQ(frame::Run(Vote::kYes, "CQualityRule::InitNew",
                [](CEMRDataSource*) { throw std::runtime_error("boom"); }),
            E_FAIL);
  EXPECT_EQ(TakeErrorDescription(), u"函数:'CQualityRule::InitNew' 出现异常错误.");
  EXPECT_EQ(context_.votes(), "A");
  EXPECT_EQ(frame::Run(Vote::kNo, "CArchivePatient::GetInPatientList",
                [](CEMRDataSource*) { throw 42; }),
            E_FAIL);
  EXPECT_EQ(TakeErrorDescription(), u"函数:'CArchivePatient::GetInPatientList' 出现异常错误.");
  EXPECT_EQ(context_.votes(), "A");
}

TEST_F(MethodFrameTest, NonVotingMethodsNeverTouchTheContext) {
  ScopedObjectContext installed(&context_);
  EXPECT_EQ(frame::Run(Vote::kNo, "CQCTask::DispatchPatient", [](CEMRDataSource*) {}), S_OK);
  EXPECT_EQ(frame::Run(Vote::kNo, "CQCTask::RemovePatient",
                [](CEMRDataSource*) { throw CEMRException(std::u16string(u"失败")); }),
            E_FAIL);
  EXPECT_EQ(context_.votes(), "");
  EXPECT_EQ(TakeErrorDescription(), u"失败");
}

// The transaction follows what the method does to stored data, as its row in the type library
// says; the vote only adds the writing transaction it stands for.
TEST_F(MethodFrameTest, AMethodThatWritesGetsAWritingTransactionWhateverItsVote) {
  ScopedObjectContext installed(&context_);
  auto first_event = [&](Vote vote, const char* method) {
    log_.events.clear();
    EXPECT_EQ(frame::Run(vote, method, [](CEMRDataSource*) {}), S_OK) << method;
    return log_.events.front();
  };
  for (const char* writes_without_vote :
       {"CQCTask::DispatchPatient", "CQCTask::RemovePatient", "CQCPatient::UpdateRectifyInfo",
        "CEMRReport::SetSQLProperty", "CQCCollector::DistributeTpList",
        "CEventRegister::RegisterEvent2", "CEMRLibrary::GetEMRContent"}) {
    EXPECT_EQ(first_event(Vote::kNo, writes_without_vote), "open writing scope")
        << writes_without_vote;
  }
  EXPECT_EQ(first_event(Vote::kNo, "CQCTask::GetProperty"), "open scope");
  EXPECT_EQ(first_event(Vote::kYes, "CQCTask::GetTaskList"), "open writing scope");
  EXPECT_EQ(first_event(Vote::kNo, "CBenchTask::Modify"), "open scope")
      << "a method the library does not hold reads";
  EXPECT_EQ(context_.votes(), "C");

  log_.events.clear();
  BSTR answer = nullptr;
  EXPECT_EQ(frame::RunAnswering([](CEMRDataSource*) {}, &answer), S_OK);
  SysFreeString(answer);
  EXPECT_EQ(log_.events.front(), "open scope");
}

TEST_F(MethodFrameTest, OutputsWrittenBeforeAThrowAreKept) {
  BSTR out = nullptr;
  int32_t id = 7;
  HRESULT hr = frame::Run(Vote::kYes, "CQCTask::New", [&](CEMRDataSource*) {
    out = SysAllocString(u"partial");
    id = 12;
    throw CEMRException(std::u16string(u"late failure"));
  });
  EXPECT_EQ(hr, E_FAIL);
  EXPECT_EQ(BstrView(out), u"partial");
  EXPECT_EQ(id, 12);
  SysFreeString(out);
}

TEST_F(MethodFrameTest, OutsideAnyContextVotingMethodsBehaveAlike) {
  EXPECT_EQ(frame::Run(Vote::kYes, "CQCTask::Delete", [](CEMRDataSource*) {}), S_OK);
  EXPECT_EQ(frame::Run(Vote::kYes, "CQCTask::Delete",
                [](CEMRDataSource*) { throw CEMRException(std::u16string(u"x")); }),
            E_FAIL);
  EXPECT_EQ(TakeErrorDescription(), u"x");
  EXPECT_EQ(context_.votes(), "");
}

TEST_F(MethodFrameTest, AFailedCommitFailsTheCall) {
  ScopedObjectContext installed(&context_);
  log_.fail_commit = true;
  EXPECT_EQ(frame::Run(Vote::kYes, "CQCTask::Modify", [](CEMRDataSource*) {}), E_FAIL);
  EXPECT_EQ(TakeErrorDescription(), u"提交失败");
  EXPECT_EQ(context_.votes(), "CA");
  EXPECT_EQ(log_.events.back(), "roll back");
}

TEST_F(MethodFrameTest, WithoutADataLayerTheCallFailsCleanly) {
  SetCallScopeRunner(nullptr);
  bool ran = false;
  EXPECT_EQ(frame::Run(Vote::kNo, "CQCTask::GetProperty", [&](CEMRDataSource*) { ran = true; }), E_FAIL);
  EXPECT_FALSE(ran);
  EXPECT_EQ(TakeErrorDescription(), u"函数:'CQCTask::GetProperty' 出现异常错误.");
}

TEST_F(MethodFrameTest, VoteOnlyMethodVotesWithoutADataSource) {
  ScopedObjectContext installed(&context_);
  EXPECT_EQ(RunVoteOnly(), S_OK);
  EXPECT_EQ(context_.votes(), "C");
  EXPECT_TRUE(log_.events.empty());
}

TEST_F(MethodFrameTest, AnsweringMethodSaysTrueOrFalseAndNeverFails) {
  ScopedObjectContext installed(&context_);
  BSTR answer = nullptr;
  EXPECT_EQ(RunAnswering([](CEMRDataSource* ds) { ++ds->statements; }, &answer), S_OK);
  EXPECT_EQ(BstrView(answer), u"true");
  SysFreeString(answer);
  answer = nullptr;
  EXPECT_EQ(RunAnswering(
                [](CEMRDataSource*) { throw CEMRException(std::u16string(u"ORA-00942")); },
                &answer),
            S_OK);
  EXPECT_EQ(BstrView(answer), u"false");
  SysFreeString(answer);
  EXPECT_EQ(RunAnswering([](CEMRDataSource*) { throw 1; }, nullptr), S_OK);
  EXPECT_EQ(TakeErrorDescription(), u"<none>");
  EXPECT_EQ(context_.votes(), "");
}

TEST_F(MethodFrameTest, EmptyResultAndEmptyBody) {
  BSTR result = nullptr;
  EXPECT_EQ(StoreEmptyResult(&result), S_OK);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(SysStringLen(result), 0u);
  SysFreeString(result);
  EXPECT_EQ(StoreEmptyResult(nullptr), S_OK);

  ScopedObjectContext installed(&context_);
  BSTR untouched = nullptr;
  EXPECT_EQ(frame::Run(Vote::kYes, "CQCAdmin::SaveEMRAndQCMap",
                [&](CEMRDataSource* ds) { DoNothing(ds, untouched); }),
            S_OK);
  EXPECT_EQ(untouched, nullptr);
  EXPECT_EQ(context_.votes(), "C");
}

}  // namespace
}  // namespace korvalis::frame
