// The archive report's lists. Both answer the constant empty document instead of failing, so a
// client sees a failure as an empty list; database failures still reach the event log through
// the data source.
#include "archive/archive_report.h"

#include <map>
#include <sstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "foundation/calls/bstr_result.h"
#include "foundation/suite/constants.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/xml/empty_list_document.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_parser.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::BstrView;
using korvalis::com::ScopedBstr;

// The code that asks the hospital component for every in-hospital department.
constexpr char16_t kAllDepartmentsCode[] = u"-10000";
// The department argument that lists the writers of every discharge department.
constexpr char16_t kAllDepartments[] = u"$00000$";
constexpr char16_t kUnknownTitle[] = u"未知";

// `text` read as a stream reads a float: leading blanks skipped, the number ending at the first
// character that cannot continue it; 0 when no number can be read. Only ASCII can belong to a
// number, so the text is cut at its first other character.
float ReadTitleNumber(std::u16string_view text) {
  std::string ascii;
  for (char16_t c : text) {
    if (c == 0 || c >= 0x80) break;
    ascii.push_back(static_cast<char>(c));
  }
  std::istringstream in(ascii);
  in.imbue(std::locale::classic());
  float number = 0;
  if (!(in >> number)) return 0;
  return number;
}

std::map<float, std::u16string> ParseTechTitleList() {
  std::map<float, std::u16string> titles;
  const std::u16string list(korvalis::constants::kTechnicalTitleList);
  CXmlStringParser parser(list);
  for (const korvalis::ListElement& type :
       korvalis::ReadListElements(parser.GetDocument(), u"type", {u"id"})) {
    titles.emplace(ReadTitleNumber(type.attributes[0]), type.text);  // the first of equals stays
  }
  return titles;
}

}  // namespace

long CBArchiveReport::GetInDeptList(CEMRDataSource* /*pDataSource*/, BSTR* pbstrList) {
  try {
    korvalis::Sibling<IHISHospital> hospital(*DIDUFactory::Instance(), IID_IHISHospital);
    const ScopedBstr code(kAllDepartmentsCode);
    ScopedBstr list;
    // The answer passes through whatever the call returns; a failure leaves no error
    // information behind on the thread for a later caller to mistake as its own.
    if (FAILED(hospital->GetDeptList(code.get(), list.out()))) CEMRRemoteError().GetError();
    if (pbstrList != nullptr) *pbstrList = list.release();
  } catch (...) {
    korvalis::AnswerEmptyList(pbstrList);
  }
  return 0;
}

long CBArchiveReport::GetWriterInfoList(CEMRDataSource* pDataSource, BSTR bstrStartDate,
                                        BSTR bstrEndDate, BSTR bstrDeptID, BSTR bstrTempID,
                                        BSTR* pbstrList) {
  try {
    const CDBType& dialect = *pDataSource->GetDBType();
    korvalis::SqlKey records;
    records
        .And(u"C.PATIENT_ID = B.PATIENT_ID AND C.EVENT_NO = B.EVENT_NO AND A.ID = C.ID AND "
             u"A.SUB_ID = 1 AND C.CREATE_DATE BETWEEN " +
             korvalis::SqlDateValue(dialect, BstrView(bstrStartDate)) + u" AND " +
             korvalis::SqlDateValue(dialect, BstrView(bstrEndDate)))
        .Equals(u"C.TEMPLATE_ID", bstrTempID)
        .And(u"B.EMR_STATUS = 1 AND C.STATUS = 1");
    // "$00000$" has no letter, so upper-casing only matters to how the argument is compared.
    const bool all_departments = ToUpperAscii(BstrView(bstrDeptID)) == kAllDepartments;
    if (all_departments) {
      records.And(u"B.OUT_DEPT_ID IS NOT NULL");
    } else {
      records.Equals(u"B.OUT_DEPT_ID", bstrDeptID);
    }
    const std::u16string sql =
        u"SELECT A.NAME, B.NAME, C.EVENT_NO, C.TITLE, B.IN_TIME, C.CREATE_DATE, A.TECH_TITLE, "
        u"B.OUT_DEPT_NAME "
        u"FROM TELV_EMR_SIGNATURE A, TELV_V_PATIENT_VISIT_RECORD B, TELV_EMR_CONTENT C" +
        records.Where() +
        (all_departments ? u" ORDER BY B.OUT_DEPT_NAME, B.NAME, C.CREATE_DATE"
                         : u" ORDER BY B.NAME, C.CREATE_DATE");
    static const std::vector<std::u16string>& kNames =
        *new std::vector<std::u16string>{u"writer", u"patient",   u"eventno",   u"emrtitle",
                                         u"intime", u"writetime", u"techtitle", u"deptname"};
    ScopedBstr rows;
    pDataSource->QueryElements(sql, kNames, rows.out());

    CXmlStringParser parser(rows.get());
    xercesc::DOMDocument* document = parser.GetDocument();
    if (document == nullptr) throw CEMRException(u"无效XML!");
    for (const xercesc::DOMElement* found : DescendantElementsNamed(document, u"writer")) {
      auto* writer = const_cast<xercesc::DOMElement*>(found);
      korvalis::DomDocumentBuilder::SetAttribute(
          writer, u"techtitlename", BuildTechTitleMap(ElementAttribute(writer, u"techtitle")));
    }
    korvalis::StoreBstrResult(pbstrList, korvalis::WriteDomDocument(document));
  } catch (...) {
    korvalis::AnswerEmptyList(pbstrList);
  }
  return 0;
}

std::u16string CBArchiveReport::BuildTechTitleMap(std::u16string title) {
  const std::map<float, std::u16string>& titles = TechTitleMap();
  const auto found = titles.find(ReadTitleNumber(title));
  return found != titles.end() ? found->second : std::u16string(kUnknownTitle);
}

const std::map<float, std::u16string>& CBArchiveReport::TechTitleMap() {
  // Filled by the first caller; a caller that comes while it is being filled waits for it.
  static const std::map<float, std::u16string>& titles =
      *new std::map<float, std::u16string>(ParseTechTitleList());
  return titles;
}
