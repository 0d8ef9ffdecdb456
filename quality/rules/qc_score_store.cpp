#include "quality/rules/qc_score_store.h"

#include <xercesc/dom/DOM.hpp>

#include "foundation/calls/client_info.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/xml_parser.h"
#include "platform/com/scoped_bstr.h"

namespace korvalis::quality {

void StoreQcScore(CEMRDataSource& data_source, const QcScoredVisit& visit, const QcScoreInfo& score,
                  const CClientInfo& client) {
  const bool with_id = !visit.record_id.empty();
  const std::u16string columns =
      u"PATIENT_ID, EVENT_NO, POINT_ITEM_ID, SERIAL, QC_USER_ID, QC_USER_NAME, QC_DATE, NOTES, "
      u"SCORE, EMR_ID, EMR_TITLE, " +
      std::u16string(with_id ? u"ID, " : u"") + u"ITEM_COUNT";
  data_source.Execute(u"DELETE " + std::u16string(visit.item_table) + visit.key.Where());
  for (const QcScoreItem& item : score.items) {
    std::vector<RowValue> values = {visit.patient_id,
                                    visit.event_no,
                                    RowValue::Number(item.item_id),
                                    RowValue::Number(item.serial),
                                    client.GetUserId(),
                                    client.GetUserName(),
                                    RowValue::Now(),
                                    item.note,
                                    RowValue::Number(item.score),
                                    item.emr_id,
                                    item.emr_title};
    if (with_id) values.push_back(RowValue::Number(visit.record_id));
    values.push_back(item.item_count);
    InsertRow(data_source, visit.item_table, columns, values);
  }
  UpdateRow(data_source, visit.visit_table,
            {{u"STATUS", RowValue::Number(2)},
             {u"TOTAL_POINT", RowValue::Number(score.score)},
             {u"EMR_LEVEL", RowValue::Number(score.grade)},
             {u"QC_DATE", RowValue::Now()}},
            visit.key.Sql());
}

std::u16string ScoreDocument(
    CEMRDataSource& data_source, const std::u16string& items_sql,
    const std::vector<std::u16string>& item_names,
    std::initializer_list<std::pair<const char16_t*, std::u16string>> visit_values) {
  com::ScopedBstr items;
  data_source.QueryElements(items_sql, item_names, items.out(), {u"item_id", u"serial"});
  CXmlStringParser parser(items.get());
  xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr || document->getDocumentElement() == nullptr) {
    throw CEMRException(std::u16string(u"无效XML!"));
  }
  xercesc::DOMElement* root = document->getDocumentElement();
  for (const auto& [name, value] : visit_values) {
    xercesc::DOMElement* element = document->createElement(name);
    DomDocumentBuilder::SetText(element, value);
    root->appendChild(element);
  }
  return WriteDomDocument(document);
}

}  // namespace korvalis::quality
