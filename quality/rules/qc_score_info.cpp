#include "quality/rules/qc_score_info.h"

#include <xercesc/dom/DOM.hpp>

#include "foundation/calls/emr_exception.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_parser.h"

namespace korvalis::quality {

namespace {

// The text of the first element named `tag`, or nullopt when there is none.
std::optional<std::u16string> FirstText(const xercesc::DOMDocument* document,
                                        std::u16string_view tag) {
  std::vector<ListElement> found = ReadListElements(document, tag, {});
  if (found.empty()) return std::nullopt;
  return std::move(found.front().text);
}

std::u16string RequiredNumber(const xercesc::DOMDocument* document, std::u16string_view tag,
                              const char16_t* missing_message) {
  std::optional<std::u16string> text = FirstText(document, tag);
  if (!text) throw CEMRException(std::u16string(missing_message));
  return SqlNumber(*text, tag);
}

}  // namespace

QcScoreInfo ReadQcScoreInfo(BSTR score_info) {
  CXmlStringParser parser(score_info);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) throw CEMRException(std::u16string(u"无效XML!"));

  QcScoreInfo info;
  info.score = RequiredNumber(document, u"score", kScoreMissingMessage);
  info.grade = RequiredNumber(document, u"grade", kGradeMissingMessage);
  info.dept_internal = FirstText(document, u"dept_internal");
  for (ListElement& element : ReadListElements(
           document, u"item",
           {u"item_id", u"score", u"note", u"serial", u"emr_id", u"emr_title", u"item_count"})) {
    std::vector<std::u16string>& a = element.attributes;
    info.items.push_back({.item_id = SqlNumber(a[0], u"item_id"),
                          .score = SqlNumber(a[1], u"score"),
                          .note = std::move(a[2]),
                          .serial = SqlNumber(a[3], u"serial"),
                          .emr_id = std::move(a[4]),
                          .emr_title = std::move(a[5]),
                          .item_count = std::move(a[6])});
  }
  return info;
}

}  // namespace korvalis::quality
