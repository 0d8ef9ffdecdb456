// The configuration of the record library's search, kept in the MOLB_ tables: the XML frames
// (named XML templates of the search with their XML text), the condition dictionary (the fields
// a column condition may use), the operator dictionary (the operators per data type) and the
// search users. A dictionary is read as a list and saved back whole; frames are saved one by
// one and deleted logically (STATUS 0), their rows and XML kept.
//
// A frame's life:
//
//   SaveXmlFrameProperty(0) ──▶ LIVE (STATUS 1) ──DeleteXmlFrame──▶ DELETED (STATUS 0)
//                                 │  ▲                                  │
//                                 └──┘ SaveXmlFrameProperty(id),        └──▶ property edits and
//                                      SaveXmlFrameContent(id)               XML still apply; the
//                                                                            lists no longer show
//                                                                            it
//
// Lists and property documents that are not well-formed XML, and a property document without
// `pro`, fail with "无效XML!" before any statement; so does a user whose privilege is not a
// number, with SqlNumber's message. Texts are placed in the statements with their quotes
// doubled.
#include <memory>
#include <string>
#include <vector>

#include "archive/emr_library.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_list.h"

namespace {

using korvalis::BstrView;
using korvalis::ListElement;
using korvalis::InsertRow;
using korvalis::RowValue;
using korvalis::SqlKey;
using korvalis::UpdateRow;

constexpr char16_t kFrameColumns[] =
    u"SELECT NAME, ID, CATALOG, NOTES, CATALOG_ID FROM MOLB_SEARCHES_XML_FRAME ";

const std::vector<std::u16string>& FrameNames() {
  static const std::vector<std::u16string>& names =
      *new std::vector<std::u16string>{u"frame", u"id", u"catalog", u"notes", u"catalogid"};
  return names;
}

}  // namespace

long CBEMRLibrary::GetXmlFrameList(CEMRDataSource* pDataSource, BSTR* pbstrList) {
  pDataSource->QueryElements(std::u16string(kFrameColumns) + u"WHERE STATUS = 1 ORDER BY ID",
                             FrameNames(), pbstrList);
  return 0;
}

long CBEMRLibrary::GetXmlFrameProperty(CEMRDataSource* pDataSource, LONG lngID,
                                       BSTR* pbstrProperty) {
  pDataSource->QueryElements(std::u16string(kFrameColumns) + u"WHERE " +
                                 SqlKey().And(u"STATUS = 1").Number(u"ID", lngID).Sql() +
                                 u" ORDER BY ID",
                             FrameNames(), pbstrProperty);
  return 0;
}

long CBEMRLibrary::SaveXmlFrameProperty(CEMRDataSource* pDataSource, LONG lngID, BSTR bstrProperty,
                                        LONG* plngID) {
  const std::vector<ListElement> properties =
      korvalis::ReadListElements(bstrProperty, u"pro", {u"catalog", u"catalogid", u"notes"});
  if (properties.empty()) throw CEMRException(u"无效XML!");
  const ListElement& frame = properties.front();
  const std::u16string& name = frame.text;
  const std::u16string& catalog = frame.attributes[0];
  const std::u16string& catalog_id = frame.attributes[1];
  const std::u16string& notes = frame.attributes[2];
  LONG id = lngID;
  if (lngID == 0) {
    // Deleted frames keep their numbers: MAX(ID) counts them.
    std::u16string highest;
    pDataSource->QueryScalar(u"SELECT MAX(ID) FROM MOLB_SEARCHES_XML_FRAME", highest);
    id = static_cast<LONG>(StringToLong(highest) + 1);
    InsertRow(*pDataSource, u"MOLB_SEARCHES_XML_FRAME",
              u"ID, NAME, CATALOG, CATALOG_ID, STATUS, NOTES",
              {RowValue::Number(id), name, catalog, catalog_id, RowValue::Number(1), notes});
  } else {
    // A deleted frame stays deleted; an ID without a row changes nothing.
    UpdateRow(*pDataSource, u"MOLB_SEARCHES_XML_FRAME",
              {{u"NAME", name}, {u"CATALOG", catalog}, {u"CATALOG_ID", catalog_id},
               {u"NOTES", notes}},
              SqlKey().Number(u"ID", lngID).Sql());
  }
  if (plngID != nullptr) *plngID = id;
  return 0;
}

long CBEMRLibrary::DeleteXmlFrame(CEMRDataSource* pDataSource, LONG lngID) {
  UpdateRow(*pDataSource, u"MOLB_SEARCHES_XML_FRAME", {{u"STATUS", RowValue::Number(0)}},
            SqlKey().Number(u"ID", lngID).Sql());
  return 0;
}

long CBEMRLibrary::GetXmlFrameContent(CEMRDataSource* pDataSource, LONG lngID, BSTR* pbstrContent) {
  // Read whatever the frame's status: a deleted frame's XML stays readable.
  BYTE* data = nullptr;
  ULONG length = 0;
  pDataSource->ReadBlob(
      u"SELECT XML FROM MOLB_SEARCHES_XML_FRAME" + SqlKey().Number(u"ID", lngID).Where(), data,
      length, 0, 0, true);
  const std::unique_ptr<BYTE[]> owned(data);
  if (pbstrContent == nullptr) return 0;
  // The stored bytes as they are, the byte-order mark dropped.
  BSTR content = length == 0 ? korvalis::AllocBstr(u"")
                             : SysAllocStringByteLen(reinterpret_cast<const char*>(data), length);
  if (content == nullptr) throw std::bad_alloc();
  *pbstrContent = content;
  return 0;
}

long CBEMRLibrary::SaveXmlFrameContent(CEMRDataSource* pDataSource, LONG lngID, BSTR bstrContent) {
  pDataSource->WriteBlob(
      u"SELECT XML FROM MOLB_SEARCHES_XML_FRAME" + SqlKey().Number(u"ID", lngID).Where(),
      reinterpret_cast<const BYTE*>(bstrContent), SysStringByteLen(bstrContent), 0, 0, true);
  return 0;
}

long CBEMRLibrary::GetConditionList(CEMRDataSource* pDataSource, BSTR* pbstrList) {
  pDataSource->QueryElements(
      u"SELECT NAME, TABLE_FIELD, TYPE, DICT, NOTES FROM MOLB_SEARCHES_CONDITION WHERE STATUS = 1 "
      u"ORDER BY ID",
      {u"cdt", u"field", u"type", u"dict", u"notes"}, pbstrList);
  return 0;
}

long CBEMRLibrary::SaveConditionList(CEMRDataSource* pDataSource, BSTR bstrList) {
  const std::vector<ListElement> conditions =
      korvalis::ReadListElements(bstrList, u"cdt", {u"type", u"dict", u"field", u"notes"});
  pDataSource->Execute(u"DELETE FROM MOLB_SEARCHES_CONDITION");
  // Numbered from 0 in the order of the list.
  for (std::size_t i = 0; i < conditions.size(); ++i) {
    const ListElement& condition = conditions[i];
    InsertRow(*pDataSource, u"MOLB_SEARCHES_CONDITION",
              u"ID, NAME, TYPE, DICT, TABLE_FIELD, STATUS, NOTES",
              {RowValue::Number(static_cast<long>(i)), condition.text, condition.attributes[0],
               condition.attributes[1], condition.attributes[2], RowValue::Number(1),
               condition.attributes[3]});
  }
  return 0;
}

long CBEMRLibrary::GetOperatorList(CEMRDataSource* pDataSource, BSTR bstrType, BSTR* pbstrList) {
  pDataSource->QueryElements(
      u"SELECT OPERATOR, NAME FROM MOLB_OPERATOR_DICT" +
          SqlKey().Equals(u"DATA_TYPE", bstrType).Where(),
      {u"oper", u"name"}, pbstrList);
  return 0;
}

long CBEMRLibrary::SaveOperatorList(CEMRDataSource* pDataSource, BSTR bstrList) {
  const std::vector<ListElement> operators =
      korvalis::ReadListElements(bstrList, u"oper", {u"type", u"name"});
  pDataSource->Execute(u"DELETE FROM MOLB_OPERATOR_DICT");
  for (const ListElement& entry : operators) {
    InsertRow(*pDataSource, u"MOLB_OPERATOR_DICT", u"DATA_TYPE, OPERATOR, NAME",
              {entry.attributes[0], entry.text, entry.attributes[1]});
  }
  return 0;
}

long CBEMRLibrary::GetUserList(CEMRDataSource* pDataSource, BSTR* pbstrList) {
  // The stored passwords go out with the list: the search's clients maintain them.
  pDataSource->QueryElements(u"SELECT NAME, CODE, PASSWORD, PRIVILEGE FROM MOLB_USER ORDER BY ID",
                             {u"user", u"code", u"pwd", u"prv"}, pbstrList);
  return 0;
}

long CBEMRLibrary::SaveUserList(CEMRDataSource* pDataSource, BSTR bstrList) {
  const std::vector<ListElement> users =
      korvalis::ReadListElements(bstrList, u"user", {u"code", u"pwd", u"prv"});
  // Every privilege is checked before the old users are deleted.
  std::vector<RowValue> privileges;
  privileges.reserve(users.size());
  for (const ListElement& user : users) {
    privileges.push_back(RowValue::Number(korvalis::SqlNumber(user.attributes[2], u"prv")));
  }
  pDataSource->Execute(u"DELETE FROM MOLB_USER");
  // Numbered from 0 in the order of the list.
  for (std::size_t i = 0; i < users.size(); ++i) {
    InsertRow(*pDataSource, u"MOLB_USER", u"ID, CODE, NAME, PASSWORD, PRIVILEGE",
              {RowValue::Number(static_cast<long>(i)), users[i].attributes[0], users[i].text,
               users[i].attributes[1], privileges[i]});
  }
  return 0;
}
