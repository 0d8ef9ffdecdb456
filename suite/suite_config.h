// The configuration of the stand-in components, read from one XML file: the path in the
// environment variable KORVALIS_SUITE_CONFIG, else "suite.config.xml" in the current
// directory (beside "telv.config.xml"). The visits' folder, when relative, is taken from the
// file's own directory; the database's initialisation string is used as it stands.
//
//   <suite>
//     <interfaces>                      the registry component's list, answered as written
//       <interface iid="DE273C17-AE14-4AF1-877C-EA38A73922E6" clsid="..."/>
//     </interfaces>
//     <datetime fixed="2026-12-07 09:30:00"/>   without `fixed` (or empty): the system clock
//     <database>Provider=SQLite;Data Source=emr.db</database>   the staff tables
//     <visits dir="his"/>               one file per visit: <patient id>/<event no>.xml
//     <hospitals><hospital id="H01" name="..."/></hospitals>
//     <departments><dept id="0101" name="..." hospital="H01"/></departments>
//     <dictionaries><dictionary number="1">...</dictionary></dictionaries>
//     <notices><notice dept="0101" user="">...</notice></notices>   empty: every one
//     <parameters><parameter name="inpatient_commit_timeout">72</parameter></parameters>
//   </suite>
//
// A visit file holds the HIS answers of one visit, each element's content answered as written
// (its markup when it holds elements, else its text):
//
//   <visit>
//     <residence_no/> <in_out/> <diagnosis/> <operation/> <fee/> <discharged>1</discharged>
//     <long_term_orders/> <temporary_orders/> <fee_list/>
//     <clinic_reg/> <clinic_recipe/> <clinic_diag/> <clinic_examine/>
//     <record_plan/> <data key="emr.residence.diagnosis.first">...</data>
//   </visit>
//
// The file is parsed once and again whenever it changes (another size, time of change or
// file), so an operator's change takes effect at the next call without a parse per call. A
// file changed so recently that the time of change cannot tell two versions apart has its
// bytes compared as well.
//
// Thread-safety: SuiteConfig is a plain value; Load may be called from any thread, and a
// configuration it handed out stays valid while held.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvalis::suite {

struct Department {
  std::u16string id;
  std::u16string name;
  std::u16string hospital;
};

struct Notice {
  std::u16string dept;  // empty: every department
  std::u16string user;  // empty: every user
  std::u16string text;
};

// The answers of one visit, by element name; `data` items by key.
struct VisitAnswers {
  std::map<std::u16string, std::u16string> items;
  std::map<std::u16string, std::u16string> data;
};

struct SuiteConfig {
  std::string path;                      // the file read
  std::u16string interface_list;         // "<list>...</list>"
  std::u16string fixed_datetime;         // empty: the system clock
  std::string database;                  // initialisation string of the staff tables
  std::string visits_dir;                // absolute or relative to the working directory
  std::map<std::u16string, std::u16string> hospitals;  // id -> name
  std::vector<Department> departments;
  std::map<int, std::u16string> dictionaries;
  std::vector<Notice> notices;
  std::map<std::u16string, std::u16string> parameters;

  // The file's path: KORVALIS_SUITE_CONFIG or "suite.config.xml".
  static std::string Path();
  // The file's configuration, parsed anew only when the file changed since the last Load.
  // Throws CEMRException "组件配置文件无法读取: <path>", "组件配置文件格式错误: <path>", or
  // "日期时间配置格式错误: <datetime fixed="<text>">" for a fixed clock that is not a date and
  // time "YYYY-MM-DD HH:MM:SS"; each refusal is also written to the event log with the path.
  static std::shared_ptr<const SuiteConfig> Load();
  // Parses `text`; `path` names it in messages and anchors relative paths.
  static SuiteConfig Parse(const std::string& text, const std::string& path);

  // The answers of one visit; nullopt when the visit has no file. Identifiers that could not
  // name a file of the directory (empty, path separators, "..", control characters) have none.
  // Throws as Load for a file that cannot be read or parsed.
  std::optional<VisitAnswers> LoadVisit(std::u16string_view patient_id,
                                        std::u16string_view event_no) const;

  const Department* FindDepartment(std::u16string_view id) const;
};

}  // namespace korvalis::suite
