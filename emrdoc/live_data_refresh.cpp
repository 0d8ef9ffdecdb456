#include "emrdoc/live_data_refresh.h"

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "emrdoc/domain_manager.h"
#include "emrdoc/emr_content_document.h"
#include "emrdoc/patient_info_node.h"
#include "emrdoc/std_diagnosis_config.h"
#include "foundation/text/date_format.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/xml/emr_element.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xhtml_document.h"
#include "foundation/xml/xml_document.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::com::ScopedBstr;

constexpr char16_t kLiveAtLoad[] = u"1";
constexpr char16_t kNotLiveAtLoad[] = u"0";
constexpr char16_t kDiagnosisElement[] = u"1";
constexpr char16_t kShowsCode[] = u"1";

// The held document; null when the wrapper holds none.
std::shared_ptr<IHTMLDocument2> HeldDocument(const XHTMLDocument& document) {
  std::shared_ptr<IHTMLDocument2> html;
  document.GetDocument(&html);
  return html;
}

// One refill: the walk over a document's elements with the registry and date format of the
// call.
class Refill {
 public:
  Refill(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo, bool bKeep,
         bool bLoadTime, VARIANT_BOOL vbCreating)
      : data_source_(pDataSource),
        registry_(pDataSource),
        patient_id_(bstrPatientID),
        event_no_(bstrEventNo),
        keep_data_set_values_(bKeep),
        load_time_(bLoadTime),
        creating_(vbCreating) {}

  void Run(const IHTMLDocument2& document) {
    const std::vector<IHTMLElement*> all = document.All();
    for (auto element = all.rbegin(); element != all.rend(); ++element) Fill(*element);
  }

 private:
  struct Value {
    std::u16string text;
    std::u16string code;
  };

  // Reads only the attributes the element's kind needs: most elements of a page are bound to
  // nothing and cost two attribute reads.
  void Fill(IHTMLElement* element) {
    const std::u16string identifier = ElementIdentifier(element);
    bool diagnosis = false;
    std::optional<Value> value;
    if (IsDataElementId(identifier)) {
      diagnosis = GetElementAttribute(element, kAttrDiagPop) == kDiagnosisElement;
      value = DataSetValue(element, identifier, diagnosis);
    } else {
      value = DomainValue(element);
    }
    if (value) Write(element, ScopedBstr(identifier).get(), diagnosis, std::move(*value));
  }

  // The value of a data-set element; nullopt when the element is left as it is.
  std::optional<Value> DataSetValue(IHTMLElement* element, const std::u16string& identifier,
                                    bool diagnosis) {
    if (keep_data_set_values_) return std::nullopt;
    const std::u16string live = GetElementAttribute(element, kAttrLive);
    if (load_time_ && (live == kLiveAtLoad || live == kNotLiveAtLoad) && creating_ == 0) {
      return std::nullopt;
    }
    const ScopedBstr id(identifier);
    ScopedBstr answer;
    GetDataElementValueXml(data_source_, &registry_, patient_id_, event_no_, id.get(), creating_,
                           answer.out(), diagnosis ? 1 : 0);
    Value value;
    if (diagnosis && IsDiagnosisPartId(id.get())) {
      value.text = answer.text();
    } else {
      CXmlDocument document(answer.text(), false, false);
      CXmlNode root = document.GetRootNode();
      value.text = root.GetChild(u"value").GetText();
      value.code = root.GetChild(u"code").GetText();
      // The element shows the code and keeps the value in its `code`.
      if (GetElementAttribute(element, kAttrDisplayType) == kShowsCode) {
        std::swap(value.text, value.code);
      }
    }
    if (value.text.empty() && !IsMarkElement(element)) return std::nullopt;
    return value;
  }

  // The value of a domain-bound element; nullopt when the element is left as it is.
  std::optional<Value> DomainValue(IHTMLElement* element) {
    const std::optional<DomainBinding> binding = ReadDomainBinding(element);
    if (!binding) return std::nullopt;
    if (load_time_ && GetElementAttribute(element, kAttrLive) != kLiveAtLoad) return std::nullopt;
    const ScopedBstr key(binding->key);
    ScopedBstr answer;
    registry_.GetValue(patient_id_, event_no_, binding->code, key.get(), answer.out());
    if (korvalis::BstrView(answer.get()).empty()) return std::nullopt;
    return Value{answer.text(), std::u16string()};
  }

  void Write(IHTMLElement* element, BSTR id, bool diagnosis, Value value) {
    if (!value.code.empty()) element->SetAttribute(kAttrCode, value.code);
    std::u16string text = std::move(value.text);
    const std::u16string date = GetElementAttribute(element, kAttrDate);
    if (!date.empty()) date_format_.Format(text, date, text);
    if (diagnosis && IsDiagnosisNameId(id) && !IsDiagnosisSerialNode(id)) {
      FormatDiagnosisList(element, text);
    } else if (IsMarkElement(element)) {
      text.clear();
    }
    if (text.empty() && element->tagName() != u"TD") {
      if (std::optional<std::u16string> placeholder = PromptPlaceholder(element)) {
        text = std::move(*placeholder);
      }
    }
    element->SetInnerHtml(text);
  }

  CSingleDataSource* data_source_;
  CBDomainManager registry_;
  CDateFormat date_format_;
  BSTR patient_id_;
  BSTR event_no_;
  bool keep_data_set_values_;
  bool load_time_;
  VARIANT_BOOL creating_;
};

}  // namespace

bool RefreshLiveLinks(CSingleDataSource*, BSTR bstrEmrID, BSTR bstrPatientID, BSTR bstrEventNo,
                      XHTMLDocument& document) {
  const std::shared_ptr<IHTMLDocument2> html = HeldDocument(document);
  if (html == nullptr) return false;
  const std::optional<std::vector<std::u16string>> ids = ReadLiveLinks(*html);
  if (!ids) return false;
  CEMRDataSource data_source;
  CBDomainManager registry(&data_source);
  for (const std::u16string& id : *ids) {
    IHTMLElement* element = id.empty() ? nullptr : html->GetElementById(id);
    if (element == nullptr) continue;
    const std::u16string* type = element->FindAttribute(kAttrType);
    const std::u16string* key = element->FindAttribute(kAttrValue);
    if (type == nullptr || key == nullptr) continue;
    const ScopedBstr key_text(*key);
    ScopedBstr value;
    registry.GetValueForEmr(bstrPatientID, bstrEventNo, bstrEmrID, StringToInt(*type),
                            key_text.get(), value.out());
    element->SetInnerHtml(korvalis::BstrView(value.get()));
  }
  return true;
}

void RefillDataElements(CSingleDataSource* pDataSource, XHTMLDocument& document, BSTR bstrPatientID,
                        BSTR bstrEventNo, bool bKeepDataSetValues, bool bLoadTime,
                        VARIANT_BOOL vbCreating) {
  const std::shared_ptr<IHTMLDocument2> html = HeldDocument(document);
  if (html == nullptr) return;
  Refill(pDataSource, bstrPatientID, bstrEventNo, bKeepDataSetValues, bLoadTime, vbCreating)
      .Run(*html);
}

void RefillDataElementsForVisit(CSingleDataSource* pDataSource, XHTMLDocument& document,
                                BSTR bstrPatientID, BSTR bstrEventNo) {
  RefillDataElements(pDataSource, document, bstrPatientID, bstrEventNo, false, false, -1);
}

long RefreshEmrElements(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                        BSTR* pbstrHtml) {
  if (pbstrHtml == nullptr) return 0;
  XHTMLDocument document;
  if (document.Load(std::u16string(korvalis::BstrView(*pbstrHtml))) == E_OUTOFMEMORY) {
    throw std::bad_alloc();
  }
  document.WaitForComplete();
  RefillDataElementsForVisit(pDataSource, document, bstrPatientID, bstrEventNo);
  BSTR refreshed = nullptr;
  if (FAILED(document.GetOuterHtml(&refreshed))) throw std::bad_alloc();
  SysFreeString(*pbstrHtml);
  *pbstrHtml = refreshed;
  return 0;
}
