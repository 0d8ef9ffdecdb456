// The self-grade table: the self-grade form of one visit, an EMR template made into the visit's
// first record page, filled with the deductions that the client passes in.
//
//   condition ─▶ header values (patient, visit, class) and the items in document order
//             ─▶ sums per key: "total", "total_main_grade" and every catalogue node of an
//                item's path; detail paragraphs per node; veto counts and paragraphs
//   form ─▶ elements named by a key, by what their `value` says: "deduct" (the sum), "detail"
//           (the paragraphs), "score" (their full score less the sum); elements by id: the
//           class, the two veto counts and the veto paragraphs ─▶ HTML
//
// Sums are kept in double precision, so that a score of 100 less 0.2 prints 99.8. Texts are set
// as inner HTML: paragraphs become elements, and a description's markup is taken as markup.
// Nothing is written; everything lives on the call's stack.
#include "report/self_grade_table.h"

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNodeList.hpp>

#include "emrdoc/emr_content_hand_over.h"
#include "emrdoc/emr_from_template.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xhtml_document.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_parser.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "report/qc_grade_summary.h"

using korvalis::ArgumentText;
using korvalis::com::ScopedBstr;

namespace {

constexpr char16_t kTotalKey[] = u"total";
constexpr char16_t kMainGradeKey[] = u"total_main_grade";

// A deduction or a full score: the number at the start of the text after white space, as a
// stream reads it; 0 when it starts with none.
double NumberOf(const std::u16string& text) {
  std::istringstream stream(korvalis::ToUtf8(text));
  double number = 0;
  if (!(stream >> number)) return 0;
  return number;
}

// "%f" of the number, shortened by TrimDecimalZeros.
std::u16string DecimalText(double number) {
  char buffer[400];
  std::snprintf(buffer, sizeof(buffer), "%f", number);
  std::u16string text = korvalis::FromUtf8(buffer);
  TrimDecimalZeros(text);
  return text;
}

std::u16string Paragraph(const std::u16string& text) { return u"<p>" + text + u"</p>"; }

// "乙级" and "丙级" for the classes "2" and "3"; any other class as it is.
std::u16string ClassLabel(const std::u16string& grade_class) {
  if (grade_class == u"2") return u"乙级";
  if (grade_class == u"3") return u"丙级";
  return grade_class;
}

// What the items of the condition add up to.
struct Deductions {
  std::map<std::u16string, double> sums;  // in ascending key order
  std::map<std::u16string, std::u16string> details;
  int b_veto_count = 0;
  int c_veto_count = 0;
  std::u16string veto_detail;

  void Add(const xercesc::DOMElement* item) {
    const double deduct = NumberOf(ElementAttribute(item, u"deduct"));
    const std::u16string veto = ElementAttribute(item, u"veto");
    const std::u16string paragraph = Paragraph(TextContent(item));
    sums[kTotalKey] += deduct;
    if (ElementAttribute(item, u"main_grade_flag") == u"1") sums[kMainGradeKey] += deduct;
    if (veto == u"2") {
      ++b_veto_count;
      veto_detail += paragraph;
    } else if (veto == u"3") {
      ++c_veto_count;
      veto_detail += paragraph;
    }
    std::vector<std::u16string> nodes;
    SplitByChars(ElementAttribute(item, u"parents_id"), u"/", nodes);
    for (const std::u16string& node : nodes) {
      sums[node] += deduct;
      details[node] += paragraph;
    }
  }
};

// The items of the condition, every `item` element in document order.
Deductions DeductionsOf(BSTR condition) {
  Deductions deductions;
  CXmlStringParser parser(condition);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) return deductions;
  for (const xercesc::DOMElement* item : DescendantElementsNamed(document, u"item")) {
    deductions.Add(item);
  }
  return deductions;
}

// Fills the elements named `key` by what their `value` attribute says they receive.
void FillNamedElements(IHTMLDocument2& form, const std::u16string& key, double sum,
                       const std::u16string& detail) {
  const std::u16string sum_text = DecimalText(sum);
  for (IHTMLElement* element : form.GetElementsByName(key)) {
    const std::u16string* receives = element->FindAttribute(u"value");
    if (receives == nullptr) continue;
    if (*receives == u"deduct") {
      element->SetInnerHtml(sum_text);
    } else if (*receives == u"detail") {
      element->SetInnerHtml(detail);
    } else if (*receives == u"score") {
      const std::u16string full_score = element->InnerText();
      if (!full_score.empty()) element->SetInnerHtml(DecimalText(NumberOf(full_score) - sum));
    }
  }
}

void FillElementById(IHTMLDocument2& form, const char16_t* id, const std::u16string& html) {
  if (IHTMLElement* element = form.GetElementById(id)) element->SetInnerHtml(html);
}

}  // namespace

void TrimDecimalZeros(std::u16string& text) {
  if (text.find(u'.') == std::u16string::npos || text.size() < 2) return;
  for (std::size_t last = text.size() - 1; last > 0 && text[last] == u'0'; --last) {
    const char16_t before = text[last - 1];
    if (before == u'0') continue;
    text.resize(before == u'.' ? last - 1 : last);
    return;
  }
}

long CBQCGradeSummary::GenerateSelfGradeTable(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                              LONG lngTemplageID, BSTR* pbstrSummaryHtml) {
  CXmlDocument condition(ArgumentText(bstrCondition), false, false);
  CXmlNode root = condition.GetRootNode();
  ScopedBstr patient_id(root.GetChild(u"patient_id").GetText());
  ScopedBstr event_no(root.GetChild(u"event_no").GetText());
  const std::u16string class_label = ClassLabel(root.GetChild(u"class").GetText());
  const Deductions deductions = DeductionsOf(bstrCondition);

  ScopedBstr packed_form;
  CreateEmrFromTemplate(pDataSource, lngTemplageID, patient_id.get(), event_no.get(),
                        packed_form.out());
  XHTMLDocument html;
  html.Load(UnpackEmrContent(packed_form.get()));
  html.WaitForComplete();
  std::shared_ptr<IHTMLDocument2> form;
  html.GetDocument(&form);
  if (form == nullptr) throw CEMRException(std::u16string(u"无法装载自评表模板内容."));

  for (const auto& [key, sum] : deductions.sums) {
    // The empty key of a path with two separators in a row names no element.
    if (key.empty()) continue;
    const auto detail = deductions.details.find(key);
    FillNamedElements(*form, key, sum,
                      detail == deductions.details.end() ? std::u16string() : detail->second);
  }
  FillElementById(*form, u"class", class_label);
  FillElementById(*form, u"b_veto_count", IntToString(deductions.b_veto_count));
  FillElementById(*form, u"c_veto_count", IntToString(deductions.c_veto_count));
  FillElementById(*form, u"veto_detail", deductions.veto_detail);

  std::u16string filled;
  if (html.GetHtml(filled) != S_OK) throw CEMRException(std::u16string(u"无法装载自评表模板内容."));
  korvalis::StoreBstrResult(pbstrSummaryHtml, filled);
  return 0;
}
