// The work-list service against its own parts: the records to write of a doctor managing 100
// visits whose record plans name 5 records each (one record-plan call and parse per visit, one
// document built and serialised), the 400 records of a department due for commit (two
// parameter calls, the time, one query), and a notice list (one component round trip). The
// sibling components are the test doubles, so the figures hold the cost of creating and
// calling them through the factories.
#include <benchmark/benchmark.h>

#include <string>

#include "classes/my_service_class.h"
#include "db/database_builder.h"
#include "db/testing/temp_directory.h"
#include "foundation/data/comm_data_source.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/db/connection_pool.h"
#include "platform/text/unicode.h"
#include "suite/testing/sibling_doubles.h"

namespace {

constexpr int kManagedVisits = 100;
constexpr int kDueVisits = 500;

// The schema with the department's visits, made once for the process.
class WorkListDatabase {
 public:
  WorkListDatabase() {
    init_string_ = "Provider=SQLite;Data Source=" + directory_.path() + "/emr.db";
    auto connection = korvalis::db::CreateDatabase(init_string_);
    korvalis::schema::BuildDatabase(*connection, korvalis::schema::DatabaseContents::kInstallation);
    connection->Begin(korvalis::db::Connection::TransactionMode::kWriting);
    for (int i = 0; i < kDueVisits; ++i) {
      const std::string n = std::to_string(i);
      const bool managed = i < kManagedVisits;
      connection->Execute("INSERT INTO TELV_PATIENT (ID, NAME, SEX) VALUES ('P" + n + "', '病人" +
                          n + "', 1)");
      connection->Execute(
          "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, NOW_DEPT_ID, BED_NO, "
          "IN_TIME, OUT_TIME, EMR_STATUS, FORBID_FLAG) VALUES ('P" + n + "', 'E" + n + "', 1, "
          "'0101', '" + n + "', TO_DATE('2026-11-01 08:00:00', 'YYYY-MM-DD HH24:MI:SS'), " +
          (managed ? std::string("NULL") : "TO_DATE('2026-11-20 08:00:00', 'YYYY-MM-DD HH24:MI:SS')") +
          ", 0, '0')");
      if (managed) {
        connection->Execute("INSERT INTO TELV_MANAGE_PATIENT (USER_ID, PATIENT_ID, EVENT_NO) "
                            "VALUES ('1002', 'P" + n + "', 'E" + n + "')");
      }
    }
    connection->Execute("INSERT INTO TELV_LOGIN_LOG (USER_ID, DEPT_ID, COOKIE, ONLINE_FLAG) "
                        "VALUES ('1002', '0101', 'bench', 1)");
    connection->Commit();
  }
  const std::string& init_string() const { return init_string_; }

 private:
  korvalis::testing::TempDirectory directory_{"korvalis-bench"};
  std::string init_string_;
};

WorkListDatabase& Database() {
  static WorkListDatabase database;
  return database;
}

class BenchDataSource : public CCommDataSource {
 public:
  BenchDataSource() : CCommDataSource(korvalis::FromUtf8(Database().init_string()), u"oracle") {}
};

// A MyService object bound to the login of the benchmark's doctor.
IMyService* BoundService() {
  IMyService* service = nullptr;
  korvalis::com::CreateComInstance<CMyServiceT<BenchDataSource>,
                                   korvalis::com::Aggregation::kRefused>(
      nullptr, IID_IMyService, reinterpret_cast<void**>(&service));
  BSTR cookie = korvalis::AllocBstr(u"bench");
  service->Init(cookie);
  SysFreeString(cookie);
  return service;
}

void RunList(benchmark::State& state, HRESULT (IMyService::*method)(BSTR*), int items,
             size_t min_length) {
  IMyService* service = BoundService();
  BSTR first = nullptr;
  (service->*method)(&first);
  const size_t first_length = SysStringLen(first);
  SysFreeString(first);
  if (first_length < min_length) state.SkipWithError("the list is empty: the work-list service failed");
  for (auto _ : state) {
    BSTR list = nullptr;
    (service->*method)(&list);
    benchmark::DoNotOptimize(list);
    SysFreeString(list);
  }
  service->Release();
  state.SetItemsProcessed(state.iterations() * items);
}

void BM_GetToWriteEMR(benchmark::State& state) {
  korvalis::suite::testing::SiblingDoubles doubles;
  std::u16string plan = u"<root>";
  for (int i = 0; i < 5; ++i) {
    plan += u"<record id=\"" + korvalis::FromUtf8(std::to_string(i)) +
            u"\" code=\"E0" + korvalis::FromUtf8(std::to_string(i)) +
            u"\" timeout=\"24\">病程记录</record>";
  }
  doubles.Answer(IID_IRecordPlan, 13, plan + u"</root>");
  RunList(state, &IMyService::GetToWriteEMR, kManagedVisits * 5, kManagedVisits * 5 * 50);
}
BENCHMARK(BM_GetToWriteEMR)->Unit(benchmark::kMillisecond);

void BM_GetToCommitEMR(benchmark::State& state) {
  korvalis::suite::testing::SiblingDoubles doubles;
  // Both settings answer "72;0" on every call (a double repeats its last answer): 72 hours.
  doubles.Answer(IID_IWorkListParam, 7, u"72;0");
  doubles.Answer(IID_IServerDateTime, 7, u"2026-12-07 10:00:00");
  RunList(state, &IMyService::GetToCommitEMR, kDueVisits - kManagedVisits,
          (kDueVisits - kManagedVisits) * 100);
}
BENCHMARK(BM_GetToCommitEMR)->Unit(benchmark::kMillisecond);

void BM_GetNotifyMessage(benchmark::State& state) {
  korvalis::suite::testing::SiblingDoubles doubles;
  doubles.Answer(IID_INoticeService, 10, u"<root><notice>本周五下午科室业务学习</notice></root>");
  RunList(state, &IMyService::GetNotifyMessage, 1, 20);
}
BENCHMARK(BM_GetNotifyMessage);

}  // namespace
