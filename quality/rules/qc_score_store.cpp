#include "quality/rules/qc_score_store.h"

#include <xercesc/dom/DOM.hpp>

#include "foundation/calls/client_info.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_parser.h"
#include "platform/com/scoped_bstr.h"

namespace korvalis::quality {

void StoreQcScore(CEMRDataSource& data_source, const QcScoredVisit& visit, const QcScoreInfo& score,
                  const CClientInfo& client) {
  const std::u16string patient = SqlQuoted(visit.patient_id), event = SqlQuoted(visit.event_no);
  const std::u16string user =
      SqlQuoted(client.GetUserId()) + u", " + SqlQuoted(client.GetUserName());
  const bool with_id = !visit.record_id.empty();
  data_source.Execute(u"DELETE " + std::u16string(visit.item_table) + visit.condition);
  for (const QcScoreItem& item : score.items) {
    data_source.Execute(
        u"INSERT INTO " + std::u16string(visit.item_table) +
        u" (PATIENT_ID, EVENT_NO, POINT_ITEM_ID, SERIAL, QC_USER_ID, QC_USER_NAME, QC_DATE, "
        u"NOTES, SCORE, EMR_ID, EMR_TITLE, " +
        (with_id ? u"ID, " : u"") + u"ITEM_COUNT) VALUES(" + patient + u", " + event + u", " +
        item.item_id + u", " + item.serial + u", " + user + u", SYSDATE, " + SqlQuoted(item.note) +
        u", " + item.score + u", " + SqlQuoted(item.emr_id) + u", " + SqlQuoted(item.emr_title) +
        u", " + (with_id ? visit.record_id + u", " : u"") + SqlQuoted(item.item_count) + u")");
  }
  data_source.Execute(u"UPDATE " + std::u16string(visit.visit_table) +
                      u" SET STATUS = 2, TOTAL_POINT = " + score.score + u", EMR_LEVEL = " +
                      score.grade + u", QC_DATE = SYSDATE" + visit.condition);
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
