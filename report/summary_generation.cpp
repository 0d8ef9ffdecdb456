// Summary generation: the results of grading, for the grade tasks and visits that a condition
// selects, gathered into one summary data document and transformed by a summary template's XSL
// into HTML. Nothing is written.
//
//   condition ─▶ clause ─┬─ head statement ──────▶ head (date, counts)
//                        ├─ comments statement ──▶ comment, suggest (numbered texts)
//                        ├─ error statement ─────▶ error_list (by count, largest first)
//                        ├─ patient statement ───▶ patient per graded visit (by grading date)
//                        └─ item statement ──────▶ grade_item under each patient of its visit
//   data document ─▶ XSL of the template ─▶ HTML
//
// The five statements (summary_statements.h) share one condition clause.
// Everything lives on the call's stack.
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "foundation/xml/xsl_transform.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"
#include "report/qc_grade_summary.h"
#include "report/summary_statements.h"

using korvalis::ArgumentText;
using korvalis::com::ScopedBstr;
using korvalis::report::kPatientAttributes;
using korvalis::report::kPatientColumns;

namespace {

// The key under which the visit-data component answers a visit's first diagnosis, and the data
// domain it belongs to.
constexpr char16_t kFirstDiagnosisKey[] = u"emr.residence.diagnosis.first";
constexpr int32_t kVisitDataDomain = 5;

// The summary data document written as text: elements and attributes in the order they are
// added, every value escaped so that it reads back unchanged.
class DataWriter {
 public:
  explicit DataWriter(std::u16string& out) : out_(out) {}

  void Open(const char16_t* name) { out_.append(u"<").append(name); }
  void Attribute(const char16_t* name, const std::u16string& value) {
    out_.append(u" ").append(name).append(u"=\"");
    korvalis::AppendXmlAttributeValue(out_, korvalis::XmlCarriable(value));
    out_.push_back(u'"');
  }
  // Ends the start tag of an element that holds `text`, and the element with it.
  void CloseWithText(const char16_t* name, const std::u16string& text) {
    out_.push_back(u'>');
    korvalis::AppendXmlEscaped(out_, korvalis::XmlCarriable(text));
    out_.append(u"</").append(name).append(u">");
  }
  void CloseEmpty() { out_.append(u"/>"); }

 private:
  std::u16string& out_;
};

// The texts of the column `column` of every row that is not empty, each as "n. text\r\t" with
// its own running number.
std::u16string NumberedTexts(const std::vector<std::u16string>& values, unsigned columns,
                             unsigned column) {
  std::u16string text;
  int number = 0;
  for (std::size_t row = 0; row + columns <= values.size(); row += columns) {
    const std::u16string& value = values[row + column];
    if (value.empty()) continue;
    text += IntToString(++number) + u". " + value + u"\r\t";
  }
  return text;
}

// The first diagnosis of a visit as the visit-data component answers it; the component is
// created on the first question and its result code is not examined.
class VisitDiagnoses {
 public:
  std::u16string FirstDiagnosis(const std::u16string& patient_id, const std::u16string& event_no) {
    if (component_ == nullptr) {
      component_ =
          std::make_unique<korvalis::Sibling<IVisitData>>(*CEMRFactory::Instance(), IID_IVisitData);
    }
    ScopedBstr patient(patient_id), event(event_no), key(kFirstDiagnosisKey), diagnosis;
    (*component_)
        ->GetVisitData(patient.get(), event.get(), kVisitDataDomain, key.get(), diagnosis.out());
    return diagnosis.text();
  }

 private:
  std::unique_ptr<korvalis::Sibling<IVisitData>> component_;
};

constexpr unsigned kMainDiagnosisColumn = 12;

// One `patient` element: its start tag with every attribute, and its grade items.
struct PatientElement {
  std::u16string start;
  std::u16string items;
};

// The graded visits with their items: each item goes to every patient of the same task,
// patient and visit (the texts compared exactly); an item of no listed visit is dropped.
class PatientElements {
 public:
  void Add(const std::u16string* columns, VisitDiagnoses& diagnoses) {
    PatientElement patient;
    DataWriter writer(patient.start);
    writer.Open(u"patient");
    for (unsigned i = 0; i < kPatientColumns; ++i) {
      if (i == kMainDiagnosisColumn && columns[i].empty()) {
        writer.Attribute(kPatientAttributes[i], diagnoses.FirstDiagnosis(columns[1], columns[2]));
      } else {
        writer.Attribute(kPatientAttributes[i], columns[i]);
      }
    }
    index_[{columns[0], columns[1], columns[2]}].push_back(patients_.size());
    patients_.push_back(std::move(patient));
  }

  // The item of `columns`: its text, task, patient, visit, code, deduction and flag.
  void AddItem(const std::u16string* columns) {
    auto found = index_.find({columns[1], columns[2], columns[3]});
    if (found == index_.end()) return;
    std::u16string item;
    DataWriter writer(item);
    writer.Open(u"grade_item");
    writer.Attribute(u"deduct", columns[5]);
    writer.Attribute(u"code", columns[4]);
    writer.Attribute(u"serious", columns[6]);
    writer.CloseWithText(u"grade_item", columns[0]);
    for (std::size_t patient : found->second) patients_[patient].items += item;
  }

  void AppendTo(std::u16string& out) const {
    for (const PatientElement& patient : patients_) {
      out += patient.start;
      if (patient.items.empty()) {
        out += u"/>";
      } else {
        out.append(u">").append(patient.items).append(u"</patient>");
      }
    }
  }

 private:
  std::vector<PatientElement> patients_;
  std::map<std::array<std::u16string, 3>, std::vector<std::size_t>> index_;
};

}  // namespace

void CBQCGradeSummary::BuildSummaryData(CEMRDataSource* pDataSource,
                                        const std::u16string& condition_xml, std::u16string& data) {
  const CXmlProperty condition(condition_xml);
  const korvalis::report::SummaryStatements statements =
      korvalis::report::SummaryStatementsOf(condition);
  std::u16string out = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><root>";
  DataWriter writer(out);
  std::vector<std::u16string> values;

  pDataSource->Query(statements.head, 5, values);
  writer.Open(u"head");
  if (values.size() >= 5) {
    writer.Attribute(u"dept", condition.GetValue(u"dept_name"));
    writer.Attribute(u"user_name", condition.GetValue(u"user_name"));
    writer.Attribute(u"date", values[0]);
    writer.Attribute(u"emr_count", values[1]);
    writer.Attribute(u"fst_count", values[2]);
    writer.Attribute(u"snd_count", values[3]);
    writer.Attribute(u"thd_count", values[4]);
    writer.Attribute(u"refity_measure", condition.GetValue(u"refity_measure"));
  }
  writer.CloseEmpty();

  pDataSource->Query(statements.comments, 5, values);
  writer.Open(u"comment");
  writer.CloseWithText(u"comment", NumberedTexts(values, 5, 2));
  writer.Open(u"suggest");
  writer.CloseWithText(u"suggest", NumberedTexts(values, 5, 3));

  pDataSource->Query(statements.errors, 4, values);
  out += u"<error_list>";
  for (std::size_t row = 0; row + 4 <= values.size(); row += 4) {
    writer.Open(u"error_item");
    writer.Attribute(u"serious_flag", values[row + 2]);
    writer.Attribute(u"standard_count", values[row + 1]);
    writer.Attribute(u"code", values[row + 3]);
    writer.CloseWithText(u"error_item", values[row]);
  }
  out += u"</error_list>";

  PatientElements patients;
  VisitDiagnoses diagnoses;
  pDataSource->Query(statements.patients, kPatientColumns, values);
  for (std::size_t row = 0; row + kPatientColumns <= values.size(); row += kPatientColumns) {
    patients.Add(&values[row], diagnoses);
  }
  pDataSource->Query(statements.items, 7, values);
  for (std::size_t row = 0; row + 7 <= values.size(); row += 7) patients.AddItem(&values[row]);
  patients.AppendTo(out);

  out += u"</root>";
  data = std::move(out);
}

long CBQCGradeSummary::GenerateSummary(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                       BSTR bstrTemplageID, BSTR* pbstrSummaryHtml) {
  ScopedBstr xsl;
  GetXslContent(pDataSource, bstrTemplageID, xsl.out());
  std::u16string data;
  BuildSummaryData(pDataSource, ArgumentText(bstrCondition), data);

  korvalis::StoreBstrResult(
      pbstrSummaryHtml,
      TransformToContent(data, xsl.text(),
                         {u"转换病历xml错误.", u"加载病历xml内容错误.", u"加载模板Xsl内容错误."}));
  return 0;
}
