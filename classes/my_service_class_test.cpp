#include "classes/my_service_class.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/data_source_test_util.h"
#include "platform/com/error_info.h"
#include "platform/com/support_error_info.h"
#include "platform/complus/recording_object_context.h"
#include "platform/db/testing/engine_database.h"
#include "platform/sys/event_log.h"
#include "platform/text/unicode.h"
#include "suite/testing/sibling_doubles.h"

namespace {

using korvalis::BstrView;
using korvalis::schema::PatientRow;
using korvalis::schema::TestDatabase;
using korvalis::schema::VisitRow;
using korvalis::suite::testing::SiblingAnswer;
using korvalis::suite::testing::SiblingCall;
using korvalis::suite::testing::SiblingDoubles;

// Slots of the sibling methods the service calls (the first own method is slot 7).
constexpr int kGetDateTime = 7;
constexpr int kGetUserProperty = 7;
constexpr int kGetDeptInfo = 7;
constexpr int kGetParam = 7;
constexpr int kGetNotifyMessage = 10;
constexpr int kGetRecordPlan = 13;

constexpr char16_t kEmptyDocument[] = u"<?xml version=\"1.0\" encoding=\"UTF-16\"  ?><root/>";
constexpr char16_t kNoCommitDue[] = u"<?xml version=\"1.0\" ?><root/>";
constexpr char16_t kEmptyRows[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root/>";

// The database of the current test, which the service's data sources open.
std::u16string g_connection_string;

class FixtureDataSource : public CSingleDataSource {
 public:
  CDBType* GetDBType() override {
    static CDBOracle oracle;
    return &oracle;
  }
  std::u16string GetConnectionString() override { return g_connection_string; }
};

// A database that cannot be opened: its file would lie in a folder that does not exist.
class UnreachableDataSource : public FixtureDataSource {
 public:
  std::u16string GetConnectionString() override {
    return u"Provider=SQLite;Data Source=/nonexistent-korvalis-folder/emr.db";
  }
};

template <class DataSource>
IMyService* NewService() {
  IMyService* service = nullptr;
  HRESULT hr = korvalis::com::CreateComInstance<CMyServiceT<DataSource>,
                                                korvalis::com::Aggregation::kRefused>(
      nullptr, IID_IMyService, reinterpret_cast<void**>(&service));
  EXPECT_EQ(hr, S_OK);
  return service;
}

// The text a list method answers, with its HRESULT checked.
using ListMethod = HRESULT (IMyService::*)(BSTR*);
std::u16string Call(IMyService* service, ListMethod method, HRESULT expected = S_OK) {
  BSTR list = nullptr;
  EXPECT_EQ((service->*method)(&list), expected);
  std::u16string text(BstrView(list));
  SysFreeString(list);
  return text;
}

std::string Utf8(std::u16string_view text) { return korvalis::ToUtf8(text); }

// Answers of a sibling that succeed with a text, or leave the out-parameter unset.
SiblingAnswer Text(std::u16string text) {
  SiblingAnswer answer;
  answer.text = std::move(text);
  return answer;
}
SiblingAnswer Unset() {
  SiblingAnswer answer;
  answer.text = std::nullopt;
  return answer;
}

class MyServiceTest : public ::testing::TestWithParam<korvalis::db::Engine> {
 protected:
  MyServiceTest() {
    g_connection_string = korvalis::FromUtf8(db_.init_string());
    service_ = NewService<FixtureDataSource>();
  }
  ~MyServiceTest() override { service_->Release(); }

  void AddLogin(const std::string& user, const std::string& dept, const std::string& cookie,
                int online = 1) {
    db_.Execute("INSERT INTO TELV_LOGIN_LOG (USER_ID, DEPT_ID, COOKIE, ONLINE_FLAG) VALUES (" +
                korvalis::schema::SqlText(user) + ", " + korvalis::schema::SqlText(dept) + ", " +
                korvalis::schema::SqlText(cookie) + ", " + std::to_string(online) + ")");
  }
  void Login(const std::string& user, const std::string& dept) {
    AddLogin(user, dept, "cookie-" + user);
    BSTR cookie = korvalis::AllocBstr(korvalis::FromUtf8("cookie-" + user));
    EXPECT_EQ(service_->Init(cookie), S_OK);
    SysFreeString(cookie);
  }
  void InitWith(std::u16string_view cookie) {
    BSTR text = korvalis::AllocBstr(cookie);
    EXPECT_EQ(service_->Init(text), S_OK);
    SysFreeString(text);
  }
  // The department and user ids the notice component was last asked with.
  std::vector<std::u16string> NoticeArguments() {
    std::vector<SiblingCall> calls = doubles_.Calls(IID_INoticeService);
    doubles_.ClearCalls();
    return calls.empty() ? std::vector<std::u16string>{} : calls.back().args;
  }
  std::vector<std::u16string> BoundIds() {
    Call(service_, &IMyService::GetNotifyMessage);
    return NoticeArguments();
  }
  void AddVisit(const std::string& patient, const std::string& name, VisitRow visit) {
    if (db_.Count("TELV_PATIENT", "ID = " + korvalis::schema::SqlText(patient)) == 0) {
      db_.AddPatient({.id = patient, .name = name});
    }
    visit.patient_id = patient;
    db_.AddVisit(visit);
  }
  void Manage(const std::string& user, const std::string& patient, const std::string& event) {
    db_.Execute("INSERT INTO TELV_MANAGE_PATIENT (USER_ID, PATIENT_ID, EVENT_NO) VALUES (" +
                korvalis::schema::SqlText(user) + ", " + korvalis::schema::SqlText(patient) + ", " +
                korvalis::schema::SqlText(event) + ")");
  }

  TestDatabase db_{korvalis::schema::DatabaseContents::kInstallation, GetParam()};
  SiblingDoubles doubles_;
  IMyService* service_ = nullptr;
};

// ---- the class ----

TEST_P(MyServiceTest, AnswersItsInterfaceAndIDispatchOnlyAndRefusesAggregation) {
  void* found = nullptr;
  EXPECT_EQ(service_->QueryInterface(IID_IDispatch, &found), S_OK);
  static_cast<IUnknown*>(found)->Release();
  EXPECT_EQ(service_->QueryInterface(IID_ISupportErrorInfo, &found), E_NOINTERFACE);

  void* aggregated = nullptr;
  EXPECT_EQ(CreateMyService(service_, IID_IUnknown, &aggregated), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(aggregated, nullptr);
}

TEST_P(MyServiceTest, ListsAreCalledByNameThroughIDispatch) {
  doubles_.Answer(IID_INoticeService, kGetNotifyMessage, u"<root><notice>会议</notice></root>");
  LPOLESTR name[] = {const_cast<LPOLESTR>(u"GetNotifyMessage")};
  DISPID dispid = 0;
  ASSERT_EQ(service_->GetIDsOfNames(IID_NULL, name, 1, 0, &dispid), S_OK);
  EXPECT_EQ(dispid, 5);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(
      service_->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
      S_OK);
  ASSERT_EQ(result.vt, VT_BSTR);
  EXPECT_EQ(BstrView(result.bstrVal), u"<root><notice>会议</notice></root>");
  VariantClear(&result);
}

// ---- Init ----

TEST_P(MyServiceTest, InitBindsTheOneOnlineLoginOfTheCookie) {
  // Before Init the ids are empty texts.
  EXPECT_EQ(BoundIds(), (std::vector<std::u16string>{u"", u""}));

  AddLogin("1002", "0101", "abc");
  AddLogin("1003", "0102", "abc", 0);  // offline
  InitWith(u"abc");
  EXPECT_EQ(BoundIds(), (std::vector<std::u16string>{u"0101", u"1002"}));

  // No row: both ids "NULL", also after a successful binding.
  InitWith(u"unknown");
  EXPECT_EQ(BoundIds(), (std::vector<std::u16string>{u"NULL", u"NULL"}));
  EXPECT_EQ(service_->Init(nullptr), S_OK);
  EXPECT_EQ(BoundIds(), (std::vector<std::u16string>{u"NULL", u"NULL"}));

  // Two online rows with the cookie: neither is chosen.
  AddLogin("1004", "0103", "twice");
  AddLogin("1005", "0104", "twice");
  InitWith(u"twice");
  EXPECT_EQ(BoundIds(), (std::vector<std::u16string>{u"NULL", u"NULL"}));
}

TEST_P(MyServiceTest, ACraftedCookieCannotBindAnotherUsersLogin) {
  AddLogin("1002", "0101", "abc");
  InitWith(u"x' OR '1'='1");
  EXPECT_EQ(BoundIds(), (std::vector<std::u16string>{u"NULL", u"NULL"}));
  // A cookie with a quote is looked up as the text it is.
  AddLogin("1009", "0109", "o'k");
  InitWith(u"o'k");
  EXPECT_EQ(BoundIds(), (std::vector<std::u16string>{u"0109", u"1009"}));
}

TEST_P(MyServiceTest, InitWithAnUnreachableDatabaseSucceedsUnbound) {
  IMyService* service = NewService<UnreachableDataSource>();
  BSTR cookie = korvalis::AllocBstr(u"abc");
  EXPECT_EQ(service->Init(cookie), S_OK);
  SysFreeString(cookie);
  BSTR list = nullptr;
  EXPECT_EQ(service->GetNotifyMessage(&list), S_OK);
  SysFreeString(list);
  EXPECT_EQ(NoticeArguments(), (std::vector<std::u16string>{u"NULL", u"NULL"}));
  // The lists that read the database answer the constant empty document.
  EXPECT_EQ(Call(service, &IMyService::GetRollbackEMR), kEmptyDocument);
  service->Release();
}

// ---- notices ----

TEST_P(MyServiceTest, NoticesArePassedOnUnchanged) {
  Login("1002", "0101");
  const std::u16string notices = u"not even XML: <&'\"> 通知\r\n";
  doubles_.Answer(IID_INoticeService, kGetNotifyMessage, notices);
  EXPECT_EQ(Call(service_, &IMyService::GetNotifyMessage), notices);

  // A null answer stays null.
  doubles_.Answer(IID_INoticeService, kGetNotifyMessage, Unset());
  BSTR list = korvalis::AllocBstr(u"stale");
  BSTR stale = list;
  EXPECT_EQ(service_->GetNotifyMessage(&list), S_OK);
  EXPECT_EQ(list, nullptr);
  SysFreeString(stale);

  EXPECT_EQ(service_->GetNotifyMessage(nullptr), S_OK);
}

TEST_P(MyServiceTest, EveryFailureAnswersTheConstantEmptyDocumentWithSOK) {
  Login("1002", "0101");
  doubles_.Fail(IID_INoticeService, kGetNotifyMessage, E_FAIL, u"通知服务不可用");
  EXPECT_EQ(Call(service_, &IMyService::GetNotifyMessage), kEmptyDocument);
  EXPECT_EQ(service_->GetNotifyMessage(nullptr), S_OK);

  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_INoticeService));
  EXPECT_EQ(Call(service_, &IMyService::GetNotifyMessage), kEmptyDocument);

  // A date-time component that fails empties the lists that need the time.
  doubles_.Fail(IID_IServerDateTime, kGetDateTime, E_FAIL);
  EXPECT_EQ(Call(service_, &IMyService::GetConsultRequest), kEmptyDocument);
  doubles_.Answer(IID_IWorkListParam, kGetParam, u"72");
  EXPECT_EQ(Call(service_, &IMyService::GetToCommitEMR), kEmptyDocument);
  EXPECT_EQ(service_->GetToCommitEMR(nullptr), S_OK);

  // A record plan that cannot be created empties the records to write.
  AddVisit("P1", "张三", {.event_no = "E1"});
  Manage("1002", "P1", "E1");
  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_IRecordPlan));
  EXPECT_EQ(Call(service_, &IMyService::GetToWriteEMR), kEmptyDocument);
  EXPECT_EQ(service_->GetToWriteEMR(nullptr), S_OK);

  // The answer is a copy: freeing it leaves the module's document whole.
  EXPECT_EQ(BstrView(EmptyListDocument()), kEmptyDocument);
}

// The caller sees S_OK and an empty list whatever happened; the event log tells the
// administrator why: a login not found, a component the suite lacks, a failure.
TEST_P(MyServiceTest, AnEmptyListForAFailureOrAnUnknownLoginIsToldInTheEventLog) {
  korvalis::datasource::testing::EventLogCapture log;
  const auto texts = [&log] {
    std::vector<std::string> texts;
    for (const korvalis::sys::EventRecord& record : log.Records()) {
      texts.push_back(std::to_string(record.type) + " " + Utf8(record.text));
    }
    log.Clear();
    return texts;
  };
  Login("1002", "0101");
  EXPECT_EQ(Call(service_, &IMyService::GetRollbackEMR), kEmptyRows);
  EXPECT_EQ(texts(), std::vector<std::string>{}) << "a list answered is no news";

  InitWith(u"secret-cookie");
  const std::vector<std::string> unbound = texts();
  ASSERT_EQ(unbound.size(), 1u);
  EXPECT_TRUE(unbound[0].starts_with("2 工作列表服务 Init: 没有找到该会话唯一的在线登录"))
      << unbound[0];
  EXPECT_EQ(unbound[0].find("secret-cookie"), std::string::npos);

  doubles_.Fail(IID_INoticeService, kGetNotifyMessage, E_FAIL, u"通知服务不可用");
  EXPECT_EQ(Call(service_, &IMyService::GetNotifyMessage), kEmptyDocument);
  EXPECT_EQ(texts(), std::vector<std::string>{
                         "1 工作列表服务 GetNotifyMessage 失败, 回答了空列表: 通知服务不可用"});
  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_IWorkListParam));
  EXPECT_EQ(Call(service_, &IMyService::GetToCommitEMR), kEmptyDocument);
  const std::vector<std::string> missing = texts();
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_TRUE(missing[0].starts_with("1 工作列表服务 GetToCommitEMR 失败, 回答了空列表: "))
      << missing[0];
  EXPECT_NE(missing[0].find("套件的组件缺失或未注册"), std::string::npos) << missing[0];

  // A database that cannot be reached: its own record, then the service's.
  IMyService* unreachable = NewService<UnreachableDataSource>();
  BSTR cookie = korvalis::AllocBstr(u"abc");
  EXPECT_EQ(unreachable->Init(cookie), S_OK);
  SysFreeString(cookie);
  unreachable->Release();
  const std::vector<std::string> failed = texts();
  ASSERT_FALSE(failed.empty());
  EXPECT_TRUE(failed.back().starts_with("1 工作列表服务 Init 失败, 未绑定登录, 各列表将为空: "))
      << failed.back();
}

TEST_P(MyServiceTest, CastsNoVoteAndLeavesNoErrorInformation) {
  korvalis::complus::RecordingObjectContext context;
  {
    korvalis::complus::ScopedObjectContext installed(&context);
    Login("1002", "0101");
    doubles_.Fail(IID_INoticeService, kGetNotifyMessage, E_FAIL, u"通知服务不可用");
    EXPECT_EQ(Call(service_, &IMyService::GetNotifyMessage), kEmptyDocument);
    IErrorInfo* error = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &error), S_FALSE);  // the component's was read and dropped
    EXPECT_EQ(error, nullptr);

    IMyService* unreachable = NewService<UnreachableDataSource>();
    EXPECT_EQ(Call(unreachable, &IMyService::GetRollbackEMR), kEmptyDocument);
    EXPECT_EQ(Call(service_, &IMyService::GetRollbackEMR), kEmptyRows);
    unreachable->Release();
    EXPECT_EQ(GetErrorInfo(0, &error), S_FALSE);
  }
  EXPECT_EQ(context.votes(), "");
}

// ---- records to write ----

TEST_P(MyServiceTest, RecordsToWriteFollowEachManagedVisitsRecordPlan) {
  Login("1002", "0101");
  AddVisit("P1", "张三", {.event_no = "E1", .bed_no = "05"});
  AddVisit("P2", "李四", {.event_no = "E2", .bed_no = "07"});
  AddVisit("P3", "王五", {.event_no = "E3", .forbid_flag = "1"});  // sealed
  AddVisit("P4", "赵六", {.event_no = "E4"});                      // managed by another user
  Manage("1002", "P1", "E1");
  Manage("1002", "P2", "E2");
  Manage("1002", "P3", "E3");
  Manage("1003", "P4", "E4");
  doubles_.Answer(IID_IRecordPlan, kGetRecordPlan,
                  u"<plan><!-- 首次病程 --><r id=\"7\" code=\"B01\" timeout=\"8\">首次病程记录</r>"
                  u"text<r code=\"A\" id=\"1\">入院记录</r></plan>");
  doubles_.Answer(IID_IRecordPlan, kGetRecordPlan,
                  u"<plan><r id=\"9\" code=\"C&amp;1\" "
                  u"timeout=\"48\">出院&lt;记录&gt;</r></plan>");
  std::u16string list = Call(service_, &IMyService::GetToWriteEMR);

  std::vector<SiblingCall> plans = doubles_.Calls(IID_IRecordPlan);
  ASSERT_EQ(plans.size(), 2u);
  EXPECT_EQ(doubles_.Calls(IID_IWorkListService).size(), 0u);  // created, not called
  const std::u16string first_patient = plans[0].args[0];
  const bool zhang_first = first_patient == u"P1";
  EXPECT_EQ(plans[0].args, (std::vector<std::u16string>{zhang_first ? u"P1" : u"P2",
                                                        zhang_first ? u"E1" : u"E2"}));
  std::u16string first = zhang_first ? u"05" : u"07";
  std::u16string first_name = zhang_first ? u"张三" : u"李四";
  std::u16string second = zhang_first ? u"07" : u"05";
  std::u16string second_name = zhang_first ? u"李四" : u"张三";
  // Every attribute present (a missing one empty), written in name order as the XML library's
  // writer does; the text copied; the visits one after the other in the order of the rows.
  std::u16string expected =
      u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root>"
      u"<catalog bed=\"" +
      first + u"\" code=\"B01\" id=\"7\" patient=\"" + first_name +
      u"\" timeout=\"8\">首次病程记录</catalog>"
      u"<catalog bed=\"" +
      first + u"\" code=\"A\" id=\"1\" patient=\"" + first_name +
      u"\" timeout=\"\">入院记录</catalog>"
      u"<catalog bed=\"" +
      second + u"\" code=\"C&amp;1\" id=\"9\" patient=\"" + second_name +
      u"\" timeout=\"48\">出院&lt;记录&gt;</catalog></root>";
  EXPECT_EQ(Utf8(list), Utf8(expected));
}

TEST_P(MyServiceTest, RecordsToWriteEdgeCases) {
  // Before Init nothing is managed: an empty root with its declaration.
  EXPECT_EQ(Utf8(Call(service_, &IMyService::GetToWriteEMR)),
            "<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root/>");

  // A user id with a quote lists its visits; a plan without children contributes nothing.
  Login("O'Neil", "0101");
  AddVisit("P1", "张三", {.event_no = "E1"});
  Manage("O'Neil", "P1", "E1");
  doubles_.Answer(IID_IRecordPlan, kGetRecordPlan, u"<plan/>");
  EXPECT_EQ(Utf8(Call(service_, &IMyService::GetToWriteEMR)),
            "<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root/>");
  EXPECT_EQ(doubles_.Calls(IID_IRecordPlan).size(), 1u);

  // A plan that is not XML, or has no root element, fails the list.
  for (std::u16string plan : {u"<plan>", u"", u"<!-- nothing -->"}) {
    doubles_.Answer(IID_IRecordPlan, kGetRecordPlan, plan);
    EXPECT_EQ(Call(service_, &IMyService::GetToWriteEMR), kEmptyDocument) << Utf8(plan);
  }
  doubles_.Fail(IID_IRecordPlan, kGetRecordPlan, E_FAIL);
  EXPECT_EQ(Call(service_, &IMyService::GetToWriteEMR), kEmptyDocument);

  // The work-list component must exist even though it is not called.
  doubles_.Answer(IID_IRecordPlan, kGetRecordPlan, u"<plan/>");
  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_IWorkListService));
  EXPECT_EQ(Call(service_, &IMyService::GetToWriteEMR), kEmptyDocument);
}

// ---- rolled-back records ----

TEST_P(MyServiceTest, RolledBackRecordsOfTheDepartmentNewestFirst) {
  EXPECT_EQ(Call(service_, &IMyService::GetRollbackEMR), kEmptyRows);
  Login("1002", "01'A");
  AddVisit("P1", "张三",
           {.event_no = "E1",
            .dept_id = "01'A",
            .bed_no = "03",
            .doctor_name = "王医生",
            .emr_status = 2});
  AddVisit("P2", "李四",
           {.event_no = "E2",
            .dept_id = "01'A",
            .bed_no = "04",
            .doctor_name = "刘医生",
            .emr_status = 2});
  AddVisit("P3", "王五",
           {.event_no = "E3", .dept_id = "01'A", .emr_status = 2, .forbid_flag = "1"});
  AddVisit("P4", "赵六", {.event_no = "E4", .dept_id = "01'A", .emr_status = 1});
  AddVisit("P5", "钱七", {.event_no = "E5", .dept_id = "0102", .emr_status = 2});
  db_.Execute(
      "UPDATE TELV_VISIT_RECORD SET ROLLBACK_TIME = TO_DATE('2026-12-01 08:00:00', "
      "'YYYY-MM-DD HH24:MI:SS'), ROLLBACK_NOTES = '缺首页' WHERE PATIENT_ID = 'P1'");
  db_.Execute(
      "UPDATE TELV_VISIT_RECORD SET ROLLBACK_TIME = TO_DATE('2026-12-03 08:00:00', "
      "'YYYY-MM-DD HH24:MI:SS'), ROLLBACK_NOTES = NULL WHERE PATIENT_ID <> 'P1'");
  std::string list = Utf8(Call(service_, &IMyService::GetRollbackEMR));
  size_t li = list.find(">李四</patient>");
  size_t zhang = list.find(">张三</patient>");
  ASSERT_NE(li, std::string::npos) << list;
  ASSERT_NE(zhang, std::string::npos) << list;
  EXPECT_LT(li, zhang);
  for (const char* absent : {"王五", "赵六", "钱七"}) {
    EXPECT_EQ(list.find(absent), std::string::npos) << list;
  }
  for (const char* attribute : {"doctor=\"王医生\"", "id=\"P1\"", "event=\"E1\"", "bed=\"03\"",
                                "time=\"2026-12-01 08:00:00\"", "notes=\"缺首页\"", "notes=\"\""}) {
    EXPECT_NE(list.find(attribute), std::string::npos) << attribute << "\n" << list;
  }
}

// ---- consultation requests ----

class ConsultRequestTest : public MyServiceTest {
 protected:
  void SetUp() override {
    Login("1002", "0101");
    doubles_.Answer(IID_IServerDateTime, kGetDateTime, u"2026-12-07 10:00:00");
    doubles_.Answer(IID_IUserProperty, kGetUserProperty,
                    u"<root><name>O'Hara</name><id>1002</id></root>");
    doubles_.Answer(IID_IHISDepartment, kGetDeptInfo,
                    u"<root><name>Children's</name><hospital>1</hospital></root>");
    AddVisit("P1", "张三", {.event_no = "E1"});
    AddVisit("P1", "张三", {.event_no = "E2"});  // a second visit of the same patient
    AddVisit("P2", "李四", {.event_no = "E3", .forbid_flag = "1"});
    db_.AddRecord({.id = "R1", .patient_id = "P1", .event_no = "E1", .title = "会诊申请单"});
  }
  void Request(const std::string& id, const std::string& patient, const std::string& dept,
               const std::string& doctor, const std::string& consult_date, int status = 1,
               const std::string& request_date = "2026-12-06 09:00:00") {
    auto text_or_null = [](const std::string& t) {
      return t.empty() ? std::string("NULL") : korvalis::schema::SqlText(t);
    };
    db_.Execute(
        "INSERT INTO TELV_CONSULTATION_EMR (EMR_ID, PATIENT_ID, EVENT_NO, REQUEST_DATE, "
        "REQUEST_DEPT, REQUEST_DOCTOR, CONSULT_DATE, CONSULT_DEPT, CONSULT_DOCTOR, NOTES, STATUS) "
        "VALUES (" +
        korvalis::schema::SqlText(id) + ", " + korvalis::schema::SqlText(patient) + ", 'E1', " +
        korvalis::schema::SqlDate(request_date) + ", '0202', '申请医生', " +
        korvalis::schema::SqlDate(consult_date) + ", " + text_or_null(dept) + ", " +
        text_or_null(doctor) + ", '请会诊', " + std::to_string(status) + ")");
  }
};

TEST_P(ConsultRequestTest, RequestsToTheUserOrDepartmentByNameEachOnce) {
  Request("R1", "P1", "Children's", "", "2026-12-08 10:00:00", 1, "2026-12-06 09:00:00");
  Request("R2", "P1", "", "O'Hara", "2026-12-08 10:00:00", 1, "2026-12-06 11:00:00");
  Request("R3", "P1", "", "", "2026-12-08 10:00:00", 1, "2026-12-05 11:00:00");
  Request("X1", "P1", "外科", "", "2026-12-08 10:00:00");      // another department
  Request("X2", "P1", "", "别的医生", "2026-12-08 10:00:00");  // another doctor
  Request("X3", "P1", "", "", "2026-12-07 10:00:00");          // not after now
  Request("X4", "P1", "", "", "2026-12-08 10:00:00", 0);       // not open
  Request("X5", "P2", "", "", "2026-12-08 10:00:00");          // only a sealed visit
  Request("X6", "P1", "", "", "2026-12-08 10:00:00");          // already answered
  db_.Execute("INSERT INTO TELV_CONSULTATION_RECORD (EMR_ID, DOCTOR_ID) VALUES ('X6', '1002')");
  db_.Execute("INSERT INTO TELV_CONSULTATION_RECORD (EMR_ID, DOCTOR_ID) VALUES ('R3', '1003')");

  std::string list = Utf8(Call(service_, &IMyService::GetConsultRequest));
  // Newest request first, each request once although its patient has two visits.
  size_t r2 = list.find("id=\"R2\"");
  size_t r1 = list.find("id=\"R1\"");
  size_t r3 = list.find("id=\"R3\"");
  ASSERT_NE(r2, std::string::npos) << list;
  ASSERT_NE(r1, std::string::npos) << list;
  ASSERT_NE(r3, std::string::npos) << list;
  EXPECT_LT(r2, r1);
  EXPECT_LT(r1, r3);
  EXPECT_EQ(list.find("id=\"R1\"", r1 + 1), std::string::npos) << list;
  EXPECT_EQ(list.find("id=\"X"), std::string::npos) << list;
  for (const char* piece :
       {"emr_title=\"会诊申请单\"", "time=\"2026-12-06 09:00:00\"", "requestor=\"申请医生\"",
        "dept=\"0202\"", "notes=\"请会诊\"", "sex=\"1\"", "doctor=\"O'Hara\"", ">张三</consult>"}) {
    EXPECT_NE(list.find(piece), std::string::npos) << piece << "\n" << list;
  }

  // The names are asked of the user and department components by id.
  ASSERT_EQ(doubles_.Calls(IID_IUserProperty).size(), 1u);
  EXPECT_EQ(doubles_.Calls(IID_IUserProperty)[0].args, std::vector<std::u16string>{u"1002"});
  EXPECT_EQ(doubles_.Calls(IID_IHISDepartment)[0].args, std::vector<std::u16string>{u"0101"});
}

TEST_P(ConsultRequestTest, AFailingNameComponentOrAnUnreadableNameEmptiesTheList) {
  Request("R1", "P1", "", "", "2026-12-08 10:00:00");
  EXPECT_NE(Utf8(Call(service_, &IMyService::GetConsultRequest)).find("R1"), std::string::npos);
  doubles_.Answer(IID_IUserProperty, kGetUserProperty, u"<root><name>");
  EXPECT_EQ(Call(service_, &IMyService::GetConsultRequest), kEmptyDocument);
  doubles_.Answer(IID_IUserProperty, kGetUserProperty, u"<root/>");
  doubles_.Fail(IID_IHISDepartment, kGetDeptInfo, E_FAIL, u"科室不存在");
  EXPECT_EQ(Call(service_, &IMyService::GetConsultRequest), kEmptyDocument);
}

// ---- records due for commit ----

class ToCommitTest : public MyServiceTest {
 protected:
  void SetUp() override {
    Login("1002", "0101");
    // Discharged (EMR_STATUS 0) and rolled back (2) visits of the department.
    Discharged("P1", "出院甲", "2026-12-05 09:00:00", "02");  // now - 49 h
    Discharged("P2", "出院乙", "2026-12-05 11:00:00", "01");  // now - 47 h
    Discharged("P3", "出院丙", "2026-12-07 09:00:00", "03");  // now - 1 h
    RolledBack("P4", "回退甲", "2026-12-06 09:00:00", "04");  // now - 25 h
    RolledBack("P5", "回退乙", "2026-12-07 09:30:00", "05");  // now - 30 min
    AddVisit(
        "P6", "封存",
        {.event_no = "E6", .out_time = "2026-11-01 09:00:00", .emr_status = 0, .forbid_flag = "1"});
    AddVisit(
        "P7", "他科",
        {.event_no = "E7", .dept_id = "0102", .out_time = "2026-11-01 09:00:00", .emr_status = 0});
  }
  void Discharged(const std::string& patient, const std::string& name, const std::string& out,
                  const std::string& bed) {
    AddVisit(patient, name,
             {.event_no = "E" + patient, .out_time = out, .bed_no = bed, .emr_status = 0});
  }
  void RolledBack(const std::string& patient, const std::string& name, const std::string& at,
                  const std::string& bed) {
    AddVisit(patient, name, {.event_no = "E" + patient, .bed_no = bed, .emr_status = 2});
    db_.Execute("UPDATE TELV_VISIT_RECORD SET ROLLBACK_TIME = " + korvalis::schema::SqlDate(at) +
                " WHERE PATIENT_ID = " + korvalis::schema::SqlText(patient));
  }
  // Scripts the two settings and the time, then asks for the list.
  std::u16string List(SiblingAnswer discharge, SiblingAnswer rollback,
                      std::u16string now = u"2026-12-07 10:00:00") {
    doubles_.Answer(IID_IWorkListParam, kGetParam, std::move(discharge));
    doubles_.Answer(IID_IWorkListParam, kGetParam, std::move(rollback));
    doubles_.Answer(IID_IServerDateTime, kGetDateTime, now);
    doubles_.ClearCalls();
    return Call(service_, &IMyService::GetToCommitEMR);
  }
  // The patients listed, in order.
  static std::vector<std::string> Names(const std::u16string& list) {
    std::vector<std::string> names;
    std::string text = Utf8(list);
    for (size_t end = text.find("</patient>"); end != std::string::npos;
         end = text.find("</patient>", end + 1)) {
      size_t start = text.rfind('>', end) + 1;
      names.push_back(text.substr(start, end - start));
    }
    return names;
  }
};

TEST_P(ToCommitTest, LimitsSwitchedOffAnswerTheFixedDocumentWithoutTheTime) {
  EXPECT_EQ(List(Text(u"0"), Text(u"0")), kNoCommitDue);
  EXPECT_EQ(doubles_.Calls(IID_IServerDateTime).size(), 0u);
  std::vector<SiblingCall> asked = doubles_.Calls(IID_IWorkListParam);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].args, std::vector<std::u16string>{u"inpatient_commit_timeout"});
  EXPECT_EQ(asked[1].args, std::vector<std::u16string>{u"inrollbackpatient_commit_timeout"});
  // The rollback setting left unset counts as "0".
  EXPECT_EQ(List(Text(u"0;1"), Unset()), kNoCommitDue);
  // The fixed answer cannot be stored through a null pointer.
  doubles_.Answer(IID_IWorkListParam, kGetParam, u"0");
  EXPECT_EQ(service_->GetToCommitEMR(nullptr), E_POINTER);
}

TEST_P(ToCommitTest, DischargeLimitBeyondADayCountsFromTheDayBefore) {
  // 72 hours: discharged before now - 48 h; 10 hours of rollback: rolled back before now.
  EXPECT_EQ(Names(List(Text(u"72"), Text(u"10"))),
            (std::vector<std::string>{"出院甲", "回退甲", "回退乙"}));
  // Hours are read from the start of the text: blanks first, anything after the digits ignored.
  EXPECT_EQ(Names(List(Text(u" 72h"), Text(u"+10 hours"))),
            (std::vector<std::string>{"出院甲", "回退甲", "回退乙"}));
  // Up to a day the limit is now itself; by bed, then admission.
  EXPECT_EQ(Names(List(Text(u"24"), Text(u"0"))),
            (std::vector<std::string>{"出院乙", "出院甲", "出院丙"}));
  EXPECT_EQ(Names(List(Text(u"-5"), Text(u"0"))),
            (std::vector<std::string>{"出院乙", "出院甲", "出院丙"}));
  // An unset discharge setting is no number: nothing discharged is due.
  EXPECT_EQ(Names(List(Unset(), Text(u"0"))), std::vector<std::string>{});
  std::string list = Utf8(List(Text(u"72"), Text(u"0")));
  for (const char* piece :
       {"id=\"P1\"", "event=\"EP1\"", "bed=\"02\"", "sex=\"1\"", "intime=\"2026-01-05 08:00:00\"",
        "outtime=\"2026-12-05 09:00:00\"", "forbid=\"0\""}) {
    EXPECT_NE(list.find(piece), std::string::npos) << piece << "\n" << list;
  }
}

TEST_P(ToCommitTest, TheWeekendFlagSkipsSaturdaysAndSundaysOnly) {
  // "0;1" with 48 hours of rollback: rolled back before now - 24 h, nothing discharged.
  EXPECT_EQ(Names(List(Text(u"0;1"), Text(u"48"))), std::vector<std::string>{"回退甲"});
  EXPECT_EQ(List(Text(u"0;1"), Text(u"48"), u"2026-12-06 10:00:00"), kNoCommitDue);
  EXPECT_EQ(List(Text(u"0;1"), Text(u"48"), u"2026-12-05 00:00:00"), kNoCommitDue);
  // A flag other than "1" lists on a Sunday too.
  EXPECT_EQ(Names(List(Text(u"36;0"), Text(u"0"), u"2026-12-13 10:00:00")),
            (std::vector<std::string>{"出院乙", "出院甲", "出院丙"}));
}

TEST_P(ToCommitTest, ATimeThatIsNoDateOrAFailingSettingEmptiesTheList) {
  EXPECT_EQ(List(Text(u"72"), Text(u"0"), u"soon"), kEmptyDocument);
  EXPECT_EQ(List(Text(u"72"), Text(u"0"), u"2026-12-07 10:00:00' OR '1'='1"), kEmptyDocument);
  doubles_.Fail(IID_IWorkListParam, kGetParam, E_FAIL);
  doubles_.Answer(IID_IServerDateTime, kGetDateTime, u"2026-12-07 10:00:00");
  EXPECT_EQ(Call(service_, &IMyService::GetToCommitEMR), kEmptyDocument);
  EXPECT_EQ(service_->GetToCommitEMR(nullptr), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Engines, MyServiceTest, korvalis::db::testing::kBothEngines,
                         korvalis::db::testing::EngineName);
INSTANTIATE_TEST_SUITE_P(Engines, ConsultRequestTest, korvalis::db::testing::kBothEngines,
                         korvalis::db::testing::EngineName);
INSTANTIATE_TEST_SUITE_P(Engines, ToCommitTest, korvalis::db::testing::kBothEngines,
                         korvalis::db::testing::EngineName);

}  // namespace
