// The front page of a visit's record and the batch printing of its records, bodies of
// CBArchivePatient: the visit's confirmed front-page documents, its coded front-page diagnoses
// and operations rewritten from one header list, the system catalogues holding its confirmed
// documents, and the documents of one catalogue in print order with their signers.
//
// The header list names, at any depth, one `diagnosis` and one `operation` element; each child
// element of them is one item, numbered from 1 by its position among the elements (text between
// the items, such as the white space of an indented list, is no item). A list present exactly
// once replaces the visit's rows of its table whole; absent or repeated, it leaves them as they
// are. Every statement is built, its bare numbers checked, before the first one runs.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "archive/archive_patient.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_parser.h"

namespace {

using korvalis::SqlNumber;
using korvalis::RowValue;
using korvalis::SqlKey;
using xercesc::DOMElement;

constexpr char16_t kHeaderListRefused[] = u"保存病人诊断信息错误！";
// What the print list of "no catalogue" answers, without reading anything.
constexpr char16_t kNoCatalogList[] = u"<?xml version =\"1.0\" ?><root/>";

// The visit's patient and visit number.
struct Visit {
  std::u16string patient;
  std::u16string event;

  Visit(BSTR patient_id, BSTR event_no)
      : patient(korvalis::ArgumentText(patient_id)), event(korvalis::ArgumentText(event_no)) {}

  // The visit's rows, their columns named after `prefix` ("A.") when given.
  SqlKey Key(std::u16string_view prefix = {}) const {
    return SqlKey()
        .Equals(std::u16string(prefix) + u"PATIENT_ID", patient)
        .Equals(std::u16string(prefix) + u"EVENT_NO", event);
  }
};

// The only element `name` of the document; null when it holds none or more than one.
const DOMElement* SingleList(const xercesc::DOMDocument& document, const char16_t* name) {
  const xercesc::DOMNodeList* lists = document.getElementsByTagName(name);
  if (lists->getLength() != 1) return nullptr;
  return static_cast<const DOMElement*>(lists->item(0));
}

// The values of one item after the visit, its position counting the list's items from 1.
using ItemValues = std::vector<RowValue> (*)(const CDBType& dialect, const DOMElement* item,
                                             long position);

// The rows that replace the visit's rows of `table`: one per item of a list, the visit, then
// the item's values into the `columns` that follow PATIENT_ID and EVENT_NO.
struct ListRows {
  const char16_t* table;
  std::u16string columns;
  std::vector<std::vector<RowValue>> rows;
};

ListRows ReadListRows(const CDBType& dialect, const Visit& visit, const char16_t* table,
                      std::u16string_view columns, const DOMElement* list,
                      ItemValues item_values) {
  ListRows read{table, u"PATIENT_ID,EVENT_NO," + std::u16string(columns), {}};
  long position = 0;
  for (const DOMElement* item : ElementChildren(list)) {
    std::vector<RowValue> row = {visit.patient, visit.event};
    for (RowValue& value : item_values(dialect, item, ++position)) row.push_back(std::move(value));
    read.rows.push_back(std::move(row));
  }
  return read;
}

std::vector<RowValue> DiagnosisValues(const CDBType&, const DOMElement* item, long position) {
  return {RowValue::Number(SqlNumber(ElementAttribute(item, u"type"), u"type")),
          RowValue::Number(position),
          ElementAttribute(item, u"icd"),
          ElementAttribute(item, u"icd1"),
          TextContent(item),
          RowValue::Number(SqlNumber(ElementAttribute(item, u"result"), u"result"))};
}

// The quoted attributes of an operation after its name, in the columns' order.
constexpr const char16_t* kOperationPeople[] = {
    u"doctor",    u"doctorid",  u"assist1",     u"assist1id",     u"assist2",
    u"assist2id", u"openclose", u"anaesdoctor", u"anaesdoctorid", u"anaestype"};

std::vector<RowValue> OperationValues(const CDBType& dialect, const DOMElement* item,
                                      long position) {
  std::vector<RowValue> values = {RowValue::Number(position), ElementAttribute(item, u"code"),
                                  RowValue::Date(dialect, ElementAttribute(item, u"time")),
                                  TextContent(item)};
  for (const char16_t* attribute : kOperationPeople) {
    values.emplace_back(ElementAttribute(item, attribute));
  }
  return values;
}

// The signers of one record, newest first, as the print list shows them: "W", "W/X", and for
// three or more the newest and the oldest, "W/.../Z". A name may itself hold "/".
std::u16string SignerText(const std::vector<std::u16string>& names) {
  if (names.size() > 2) return names.front() + u"/.../" + names.back();
  std::u16string text;
  for (const std::u16string& name : names) {
    if (!text.empty()) text.push_back(u'/');
    text.append(name);
  }
  return text;
}

}  // namespace

long CBArchivePatient::GetPatientHeaderEmrList(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                               BSTR bstrEventNo, BSTR* pbstrIds) {
  const Visit visit(bstrPatientID, bstrEventNo);
  static const std::vector<std::u16string>& kNames =
      *new std::vector<std::u16string>{u"emrid", u"emr_title", u"template_id"};
  pDataSource->QueryElements(
      u"SELECT ID, TITLE, TEMPLATE_ID FROM TELV_EMR_CONTENT" +
          visit.Key().And(u"EMR_TYPE = 1 AND STATUS = 1").Where(),
      kNames, pbstrIds, {u"emrid"});
  return 0;
}

long CBArchivePatient::SavePatientHeaderRecord(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                               BSTR bstrEventNo, BSTR bstrList) {
  CXmlStringParser parser(bstrList);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr || document->getDocumentElement() == nullptr) {
    throw CEMRException(std::u16string(kHeaderListRefused));
  }
  const Visit visit(bstrPatientID, bstrEventNo);
  const CDBType& dialect = *pDataSource->GetDBType();
  std::vector<ListRows> lists;
  if (const DOMElement* diagnoses = SingleList(*document, u"diagnosis")) {
    lists.push_back(ReadListRows(dialect, visit, u"TELV_INPATIENT_HEADER_DIAG",
                                 u"DIAG_TYPE,SUB_ID,ICD_CODE,ICD_CODE1,ICD_NAME,RESULT", diagnoses,
                                 DiagnosisValues));
  }
  if (const DOMElement* operations = SingleList(*document, u"operation")) {
    lists.push_back(ReadListRows(
        dialect, visit, u"TELV_INPATIENT_HEADER_OPS",
        u"SUB_ID,ICD_CODE,OPERATE_TIME,OPERATION_NAME,DOCTOR,DOCTOR_ID,ASSISTANT_1,"
        u"ASSISTANT_1_ID,ASSISTANT_2,ASSISTANT_2_ID,OPEN_CLOSE_LEVEL,ANAES_DOCTOR,"
        u"ANAES_DOCTOR_ID,ANAES_TYPE",
        operations, OperationValues));
  }
  for (const ListRows& list : lists) {
    pDataSource->Execute(u"DELETE FROM " + std::u16string(list.table) + visit.Key().Where());
    for (const std::vector<RowValue>& row : list.rows) {
      korvalis::InsertRow(*pDataSource, list.table, list.columns, row);
    }
  }
  return 0;
}

long CBArchivePatient::GetEmrBatchPrintCatalogList(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                                   BSTR bstrEventNo, BSTR* pbstrList) {
  const Visit visit(bstrPatientID, bstrEventNo);
  static const std::vector<std::u16string>& kNames =
      *new std::vector<std::u16string>{u"catalog", u"id", u"code", u"serial", u"sort_code"};
  pDataSource->QueryElements(
      u"SELECT * FROM (SELECT DISTINCT B.NAME, B.ID, B.CODE, '0', B.SORT_CODE "
      u"FROM TELV_EMR_CONTENT A, TELV_EMR_CATALOG B" +
          visit.Key(u"A.")
              .And(u"A.CATALOG_ID = B.ID AND A.STATUS = 1 AND B.SYSTEM_FLAG = 1")
              .Where() +
          u") ORDER BY SORT_CODE",
      kNames, pbstrList, {u"id"});
  return 0;
}

long CBArchivePatient::GetEmrBatchPrintList(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                            BSTR bstrEventNo, LONG lngCatalogID, BSTR* pbstrList) {
  if (lngCatalogID == 0) {
    korvalis::StoreBstrResult(pbstrList, kNoCatalogList);
    return 0;
  }
  const Visit visit(bstrPatientID, bstrEventNo);
  std::vector<std::u16string> documents;
  pDataSource->Query(
      u"SELECT TITLE, ID, EMR_TYPE, SORT_CODE, CREATE_DATE ,TEMPLATE_ID FROM TELV_EMR_CONTENT" +
          visit.Key().Number(u"CATALOG_ID", lngCatalogID).And(u"STATUS = 1").Where() +
          u" ORDER BY SORT_CODE",
      6, documents);
  std::vector<std::u16string> signatures;
  pDataSource->Query(
      u"SELECT B.ID, B.SUB_ID, B.NAME FROM TELV_EMR_CONTENT A, TELV_EMR_SIGNATURE B" +
          visit.Key(u"A.")
              .Number(u"A.CATALOG_ID", lngCatalogID)
              .And(u"A.ID = B.ID AND A.STATUS = 1")
              .Where() +
          u" ORDER BY B.ID, B.SUB_ID DESC",
      3, signatures);
  // Each record's signers, newest (highest SUB_ID) first.
  std::unordered_map<std::u16string, std::vector<std::u16string>> signers;
  for (std::size_t row = 0; row + 2 < signatures.size(); row += 3) {
    signers[signatures[row]].push_back(signatures[row + 2]);
  }

  korvalis::DomDocumentBuilder list(u"root");
  for (std::size_t row = 0; row + 5 < documents.size(); row += 6) {
    DOMElement* emr = list.Append(list.root(), u"emr", documents[row]);
    const auto signed_by = signers.find(documents[row + 1]);
    list.SetAttribute(emr, u"id", documents[row + 1]);
    list.SetAttribute(emr, u"templateid", documents[row + 5]);
    list.SetAttribute(emr, u"type", documents[row + 2]);
    list.SetAttribute(emr, u"sort", documents[row + 3]);
    list.SetAttribute(emr, u"createdate", documents[row + 4]);
    list.SetAttribute(emr, u"signature",
                      signed_by == signers.end() ? u"" : SignerText(signed_by->second));
    list.SetAttribute(emr, u"week", u"");
    list.SetAttribute(emr, u"serial", u"0");
  }
  korvalis::StoreBstrResult(pbstrList, list.Write());
  return 0;
}
