#include "report/monitor_service.h"

#include <gtest/gtest.h>

#include <thread>

#include "foundation/log/event_log_entry.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_call.h"
#include "platform/sys/testing/system_doubles.h"
#include "report/monitor_call_counter.h"
#include "report/testing/report_test_util.h"

namespace korvalis::report::testing {
namespace {

using korvalis::sys::ServiceState;
using korvalis::testing::RunAsCall;
using Argv = std::vector<std::string>;

class MonitorServiceTest : public ReportTest {
 protected:
  void SetUp() override {
    db().Execute("DELETE FROM TELV_MONITOR_SERVICE");
    MonitorCallCounter::Process().Reset();
  }

  static void AddEntry(const std::string& name, const std::string& path, int type) {
    db().Execute("INSERT INTO TELV_MONITOR_SERVICE VALUES (" + schema::SqlText(name) + ", " +
                 schema::SqlText(path) + ", " + std::to_string(type) + ")");
  }
  // Ticks `calls` times on a database that cannot be opened: each tick must succeed without it.
  static void TickWithoutDatabase(int calls) {
    for (int call = 0; call < calls; ++call) {
      ASSERT_EQ(RunAsCall(korvalis::testing::kUnreachableDatabase,
                          [](CEMRDataSource* ds) { CBMonitorService::MonitorService(ds); }),
                u"");
    }
  }
  static void Tick() {
    Write([](CEMRDataSource* data_source) { CBMonitorService::MonitorService(data_source); });
  }
  // The event-log records written so far, as "<type> <text>".
  std::vector<std::string> Events() const {
    std::vector<std::string> events;
    for (const auto& record : log_.Records()) {
      events.push_back(std::to_string(record.type) + " " + ToUtf8(record.text));
    }
    return events;
  }

  sys::testing::SystemDoubles system_;
  datasource::testing::EventLogCapture log_;
};

TEST_F(MonitorServiceTest, EveryFiftiethCallChecksEveryEntryOfTheList) {
  AddEntry("cron", "", 0);
  AddEntry("ssh", "", 0);
  AddEntry("nginx", "", 0);
  AddEntry("no-such-service", "", 0);
  AddEntry("myapp", "/opt/app/bin/myapp --daemon", 1);
  AddEntry("report-sync", "/opt/his/bin/report-sync --queue \"ward 3\"", 1);
  AddEntry("listed-only", "/opt/his/bin/listed-only", 2);
  system_.services->Set("cron", ServiceState::kStopped);
  system_.services->Set("ssh", ServiceState::kRunning);
  system_.services->Set("nginx", ServiceState::kPending);
  system_.processes->Add("/opt/app/bin/myapp");

  TickWithoutDatabase(49);
  EXPECT_TRUE(system_.services->Queries().empty());
  EXPECT_EQ(system_.processes->Listings(), 0);

  Tick();
  EXPECT_EQ(system_.services->Queries(), (Argv{"cron", "ssh", "nginx", "no-such-service"}));
  EXPECT_EQ(system_.services->Starts(), (Argv{"cron"}));
  EXPECT_EQ(system_.processes->Listings(), 2);
  EXPECT_EQ(system_.starter->Starts(),
            (std::vector<Argv>{{"/opt/his/bin/report-sync", "--queue", "ward 3"}}));
  EXPECT_EQ(Events(), (std::vector<std::string>{
                          "4 监控服务已启动服务: cron",
                          "4 监控服务已启动程序, 进程号 1001, 命令行: /opt/his/bin/report-sync "
                          "--queue \"ward 3\""}));

  // Calls 51 to 99 do nothing; the 100th finds everything running.
  TickWithoutDatabase(49);
  EXPECT_EQ(system_.services->Queries().size(), 4u);
  Tick();
  EXPECT_EQ(system_.services->Queries().size(), 8u);
  EXPECT_EQ(system_.services->Starts().size(), 1u);
  EXPECT_EQ(system_.starter->Starts().size(), 1u);
}

TEST_F(MonitorServiceTest, AProgramRunsWhenAnExecutablePathContainsItsName) {
  struct Case {
    const char16_t* name;
    std::vector<std::optional<std::string>> executables;  // none: unreadable
    bool started;
  };
  const Case cases[] = {
      {u"app", {"/usr/bin/bash", "/usr/local/bin/myapp"}, false},
      {u"myapp", {"/usr/local/bin/myapp (deleted)"}, false},
      {u"App", {"/usr/local/bin/myapp"}, true},
      {u"myapp", {std::nullopt}, true},
      {u"myapp", {}, true},
  };
  for (const Case& c : cases) {
    sys::testing::SystemDoubles system;
    for (const auto& executable : c.executables) {
      executable ? system.processes->Add(*executable) : system.processes->AddUnreadable();
    }
    CBMonitorService::CheckProcess(c.name, u"/usr/local/bin/myapp");
    EXPECT_EQ(system.starter->Starts().size(), c.started ? 1u : 0u) << ToUtf8(c.name);
  }
  // Processes that cannot be listed at all start nothing.
  sys::testing::SystemDoubles system;
  system.processes->Fail(true);
  CBMonitorService::CheckProcess(u"myapp", u"/usr/local/bin/myapp");
  EXPECT_TRUE(system.starter->Starts().empty());
}

TEST_F(MonitorServiceTest, CommandLinesAreStartedWithoutAShellOrRefusedAndLogged) {
  CBMonitorService::CheckProcess(u"app", u"app.exe /quiet");
  CBMonitorService::CheckProcess(u"app", u"C:\\Tools\\app.exe /quiet");
  CBMonitorService::CheckProcess(u"x", u"/opt/x $HOME;reboot | tee >out *");
  system_.starter->FailWith(EACCES);
  CBMonitorService::CheckProcess(u"y", u"/opt/y");
  EXPECT_EQ(system_.starter->Starts(),
            (std::vector<Argv>{{"/opt/x", "$HOME;reboot", "|", "tee", ">out", "*"}, {"/opt/y"}}));
  EXPECT_EQ(Events(), (std::vector<std::string>{
                          "2 监控服务拒绝启动程序: 命令行的第一个词不是可执行文件的绝对路径. "
                          "命令行: app.exe /quiet",
                          "2 监控服务拒绝启动程序: 命令行的第一个词不是可执行文件的绝对路径. "
                          "命令行: C:\\Tools\\app.exe /quiet",
                          "4 监控服务已启动程序, 进程号 1001, 命令行: /opt/x $HOME;reboot | "
                          "tee >out *",
                          "1 监控服务启动程序失败: Permission denied 命令行: /opt/y"}));
}

TEST_F(MonitorServiceTest, AListThatCannotBeReadFailsAndTheNextCallChecks) {
  AddEntry("cron", "", 0);
  system_.services->Set("cron", ServiceState::kStopped);
  TickWithoutDatabase(49);
  EXPECT_EQ(RunAsCall(korvalis::testing::kUnreachableDatabase,
                      [](CEMRDataSource* ds) { CBMonitorService::MonitorService(ds); }),
            kDatabaseErrorMessage);
  EXPECT_EQ(MonitorCallCounter::Process().count(), 50);
  Tick();
  EXPECT_EQ(system_.services->Starts(), (Argv{"cron"}));
  EXPECT_EQ(MonitorCallCounter::Process().count(), 0);
}

TEST_F(MonitorServiceTest, EightThreadsTickingAtOnceStartEachStoppedEntryOnce) {
  AddEntry("cron", "", 0);
  AddEntry("report-sync", "/opt/his/bin/report-sync", 1);
  system_.services->Set("cron", ServiceState::kStopped);
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int call = 0; call < 50; ++call) {
        try {
          Tick();
        } catch (...) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(system_.services->Starts(), (Argv{"cron"}));
  EXPECT_EQ(system_.starter->Starts(), (std::vector<Argv>{{"/opt/his/bin/report-sync"}}));
}

TEST_F(MonitorServiceTest, TheListIsAddedToReadAndDeletedByNameAndPath) {
  auto add = [](const std::u16string& entry) {
    ScopedBstr text(entry);
    Write([&](CEMRDataSource* ds) { CBMonitorService::AddServiceList(ds, text.get()); });
  };
  auto remove = [](const std::u16string& entry) {
    ScopedBstr text(entry);
    Write([&](CEMRDataSource* ds) { CBMonitorService::DeleteServiceList(ds, text.get()); });
  };
  auto list = [](const std::u16string& condition) {
    ScopedBstr text(condition);
    std::vector<std::string> rows;
    for (const auto& e :
         korvalis::testing::ReadElements(Answer([&](CEMRDataSource*ds, BSTR*result) {
           CBMonitorService::GetServiceList(ds, text.get(), result);
         }))) {
      rows.push_back(e.name + " " + e.text + "|" + e.attributes.at("path") + "|" +
                     e.attributes.at("type"));
    }
    return rows;
  };
  add(u"<root><name>cron</name><path>-</path><type> 0 </type></root>");
  add(u"<root><name>O'Brien's app</name><path>/opt/o'b/app</path><type>1</type></root>");
  add(u"<root><name>cron</name><path>-</path><type>2</type></root>");
  add(u"<root><name>x</name><path>/x</path></root>");  // every key is needed
  EXPECT_EQ(
      FailureOf([&] { add(u"<root><name>x</name><path>/x</path><type>1);--</type></root>"); }),
      u"不是有效的数字: '1);--' (type)");
  EXPECT_EQ(FailureOf([&] { add(u"<root><name>x</root>"); }), u"解析属性信息错误.");
  EXPECT_EQ(list(u""), (std::vector<std::string>{
                           "name cron|-|0", "name O'Brien's app|/opt/o'b/app|1", "name cron|-|2"}));
  EXPECT_EQ(list(u"<root><name>cron</name><type>2</type></root>"),
            (std::vector<std::string>{"name cron|-|2"}));
  EXPECT_EQ(list(u"<root><path>/opt/o'b/app</path></root>"),
            (std::vector<std::string>{"name O'Brien's app|/opt/o'b/app|1"}));

  remove(u"<root><name>cron</name><path>-</path></root>");  // no type: nothing goes
  EXPECT_EQ(list(u"").size(), 3u);
  remove(u"<root><name>cron</name><path>-</path><type>9</type></root>");
  EXPECT_EQ(list(u""), (std::vector<std::string>{"name O'Brien's app|/opt/o'b/app|1"}));
}

}  // namespace
}  // namespace korvalis::report::testing
