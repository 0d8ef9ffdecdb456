#include "report/monitor_service.h"

#include <string_view>
#include <system_error>

#include "foundation/calls/body_arguments.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"
#include "platform/sys/process_starter.h"
#include "platform/sys/process_table.h"
#include "platform/sys/service_control.h"
#include "platform/text/ascii.h"
#include "platform/text/unicode.h"
#include "report/monitor_call_counter.h"
#include "report/program_command_line.h"

using korvalis::BstrView;
using korvalis::FromUtf8;
using korvalis::PropertyBag;
using korvalis::ToUtf8;
using korvalis::report::MonitorCallCounter;

namespace {

constexpr char16_t kServiceKind[] = u"0";
constexpr char16_t kProgramKind[] = u"1";

void Report(const std::u16string& message, std::uint16_t type) {
  CEventLogEntry(message, type).Report();
}

// Starts the program of the command line `path`, or says in the event log why it was not.
void StartProgram(const std::u16string& path) {
  const korvalis::report::ProgramCommand command = korvalis::report::ParseProgramCommand(path);
  if (!command.refusal.empty()) {
    Report(u"监控服务拒绝启动程序: " + command.refusal + u" 命令行: " + path,
           CEventLogEntry::kWarning);
    return;
  }
  const korvalis::sys::StartedProgram started =
      korvalis::sys::CurrentProcessStarter()->Start(command.argv);
  if (started.error != 0) {
    Report(u"监控服务启动程序失败: " + FromUtf8(std::generic_category().message(started.error)) +
               u" 命令行: " + path,
           CEventLogEntry::kError);
    return;
  }
  Report(u"监控服务已启动程序, 进程号 " + LongToString(started.pid) + u", 命令行: " + path,
         CEventLogEntry::kInformation);
}

struct ServiceEntryProperties {
  std::u16string name;
  std::u16string path;
  std::u16string type;
};

// The three keys of an entry; all of them are needed to add or delete one.
ServiceEntryProperties EntryOf(BSTR bstrServiceList) {
  const CXmlProperty entry = PropertyBag(bstrServiceList);
  return {entry.GetValue(u"name"), entry.GetValue(u"path"), entry.GetValue(u"type")};
}

}  // namespace

long CBMonitorService::MonitorService(CEMRDataSource* pDataSource) {
  MonitorCallCounter& counter = MonitorCallCounter::Process();
  if (!counter.Count()) return 0;
  // A list that cannot be read leaves the count where it is, so the next call checks again.
  MonitorCallCounter::Check check(counter);
  korvalis::com::ScopedBstr list;
  GetServiceList(pDataSource, nullptr, list.out());
  for (const korvalis::ListElement& entry :
       korvalis::ReadListElements(list.get(), u"name", {u"path", u"type"})) {
    const std::u16string& type = entry.attributes[1];
    if (type == kServiceKind) {
      CheckService(entry.text, entry.attributes[0]);
    } else if (type == kProgramKind) {
      CheckProcess(entry.text, entry.attributes[0]);
    }
  }
  check.Complete();
  return 0;
}

void CBMonitorService::CheckService(std::u16string name, std::u16string) noexcept {
  try {
    const std::shared_ptr<korvalis::sys::ServiceControl> services =
        korvalis::sys::CurrentServiceControl();
    const std::string unit = ToUtf8(name);
    if (services->State(unit) != korvalis::sys::ServiceState::kStopped) return;
    services->Start(unit);
    Report(u"监控服务已启动服务: " + name, CEventLogEntry::kInformation);
  } catch (...) {
    // A check fails silently; the tick goes on with the next entry.
  }
}

void CBMonitorService::CheckProcess(std::u16string name, std::u16string path) noexcept {
  try {
    const auto processes = korvalis::sys::CurrentProcessTable()->Processes();
    if (!processes.has_value()) return;
    const std::string part = ToUtf8(name);
    for (const korvalis::sys::RunningProcess& process : *processes) {
      if (process.executable.has_value() && process.executable->find(part) != std::string::npos) {
        return;
      }
    }
    StartProgram(path);
  } catch (...) {
    // A check fails silently; the tick goes on with the next entry.
  }
}

long CBMonitorService::AddServiceList(CEMRDataSource* pDataSource, BSTR bstrServiceList) {
  const ServiceEntryProperties entry = EntryOf(bstrServiceList);
  if (entry.name.empty() || entry.path.empty() || entry.type.empty()) return 0;
  const korvalis::RowValue type = korvalis::RowValue::Number(
      korvalis::SqlNumber(korvalis::TrimAsciiBlanks(entry.type), u"type"));
  korvalis::InsertRow(*pDataSource, u"TELV_MONITOR_SERVICE", u"NAME, PATH, TYPE",
                      {entry.name, entry.path, type});
  return 0;
}

long CBMonitorService::GetServiceList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                      BSTR* pbstrList) {
  pDataSource->QueryElements(u"SELECT T.NAME, T.PATH, T.TYPE FROM TELV_MONITOR_SERVICE T WHERE 1=1" +
                                 korvalis::SqlConditions(PropertyBag(bstrCondition))
                                     .Equals(u"name", u"T.NAME")
                                     .Equals(u"path", u"T.PATH")
                                     .Equals(u"type", u"T.TYPE")
                                     .Sql(),
                             {u"name", u"path", u"type"}, pbstrList);
  return 0;
}

long CBMonitorService::DeleteServiceList(CEMRDataSource* pDataSource, BSTR bstrServiceList) {
  const ServiceEntryProperties entry = EntryOf(bstrServiceList);
  if (entry.name.empty() || entry.path.empty() || entry.type.empty()) return 0;
  pDataSource->Execute(
      u"DELETE FROM TELV_MONITOR_SERVICE" +
          korvalis::SqlKey().Equals(u"NAME", entry.name).Equals(u"PATH", entry.path).Where());
  return 0;
}
