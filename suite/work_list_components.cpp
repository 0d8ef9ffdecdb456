// The dictionary component and the helpers of the work-list service: notices, the record plan
// and the data items of a visit, and the service's parameters, all from the configuration
// file and the visits' files.
#include "foundation/suite/suite_interfaces.h"
#include "foundation/xml/xml_text.h"
#include "platform/com/bstr.h"
#include "suite/components.h"
#include "suite/reserved_slots.h"
#include "suite/stand_in.h"
#include "suite/suite_config.h"

namespace korvalis::suite {
namespace {

class DictionaryComponent : public StandIn<IDictionaryService, IID_IDictionaryService> {
 public:
  HRESULT GetDictionary1(BSTR* out) override { return AnswerDictionary(1, out); }
  HRESULT GetDictionary2(BSTR* out) override { return AnswerDictionary(2, out); }
  HRESULT GetDictionary3(BSTR* out) override { return AnswerDictionary(3, out); }
  HRESULT GetDictionary4(BSTR* out) override { return AnswerDictionary(4, out); }
  HRESULT GetDictionary5(BSTR* out) override { return AnswerDictionary(5, out); }
  HRESULT GetDictionary6(BSTR* out) override { return AnswerDictionary(6, out); }
  HRESULT GetDictionary7(BSTR* out) override { return AnswerDictionary(7, out); }

 private:
  // A dictionary the file does not hold answers an empty root.
  static HRESULT AnswerDictionary(int number, BSTR* out) {
    return Serve([&] {
      const std::shared_ptr<const SuiteConfig> config = SuiteConfig::Load();
      auto found = config->dictionaries.find(number);
      return Answer(out, found != config->dictionaries.end() ? found->second : u"<root/>");
    });
  }
};

class NoticeComponent : public NoticeServiceStandIn {
 public:
  // The notices addressed to the department (or to every one) and to the user (or to every
  // one): a root with one `notice` element each.
  HRESULT GetNotifyMessage(BSTR bstrDeptID, BSTR bstrUserID, BSTR* pbstrList) override {
    return Serve([&] {
      std::u16string_view dept = BstrView(bstrDeptID);
      std::u16string_view user = BstrView(bstrUserID);
      std::u16string list = u"<root>";
      const std::shared_ptr<const SuiteConfig> config = SuiteConfig::Load();
      for (const Notice& notice : config->notices) {
        if (!notice.dept.empty() && notice.dept != dept) continue;
        if (!notice.user.empty() && notice.user != user) continue;
        list += u"<notice>" + XmlEscapedWithQuotes(notice.text) + u"</notice>";
      }
      return Answer(pbstrList, list + u"</root>");
    });
  }
};

class WorkListComponent : public StandIn<IWorkListService, IID_IWorkListService> {};

class RecordPlanComponent : public RecordPlanStandIn {
 public:
  // The visit's `record_plan`; a visit without one has nothing to write.
  HRESULT GetRecordPlan(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrPlan) override {
    return Serve([&] {
      std::optional<VisitAnswers> visit =
          SuiteConfig::Load()->LoadVisit(BstrView(bstrPatientID), BstrView(bstrEventNo));
      if (visit) {
        auto found = visit->items.find(u"record_plan");
        if (found != visit->items.end()) return Answer(pbstrPlan, found->second);
      }
      return Answer(pbstrPlan, u"<root/>");
    });
  }
};

class WorkListParamComponent : public StandIn<IWorkListParam, IID_IWorkListParam> {
 public:
  HRESULT GetParam(BSTR bstrName, BSTR* pbstrValue) override {
    return Serve([&] {
      if (pbstrValue == nullptr) return E_POINTER;
      const std::shared_ptr<const SuiteConfig> config = SuiteConfig::Load();
      auto found = config->parameters.find(std::u16string(BstrView(bstrName)));
      if (found == config->parameters.end()) return S_OK;
      return Answer(pbstrValue, found->second);
    });
  }
};

class VisitDataComponent : public StandIn<IVisitData, IID_IVisitData> {
 public:
  // The visit's `data` item of the key, whatever the domain number.
  HRESULT GetVisitData(BSTR bstrPatientID, BSTR bstrEventNo, int32_t, BSTR bstrKey,
                       BSTR* pbstrValue) override {
    return Serve([&] {
      if (pbstrValue == nullptr) return E_POINTER;
      std::optional<VisitAnswers> visit =
          SuiteConfig::Load()->LoadVisit(BstrView(bstrPatientID), BstrView(bstrEventNo));
      if (!visit) return S_OK;
      auto found = visit->data.find(std::u16string(BstrView(bstrKey)));
      if (found == visit->data.end()) return S_OK;
      BSTR value = AllocBstr(found->second);
      if (value == nullptr) return E_OUTOFMEMORY;
      SysFreeString(*pbstrValue);
      *pbstrValue = value;
      return S_OK;
    });
  }
};

}  // namespace

HRESULT CreateDictionaryComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<DictionaryComponent, com::Aggregation::kRefused>(outer, riid, ppv);
}

HRESULT CreateNoticeComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<NoticeComponent, com::Aggregation::kRefused>(outer, riid, ppv);
}

HRESULT CreateWorkListComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<WorkListComponent, com::Aggregation::kRefused>(outer, riid, ppv);
}

HRESULT CreateRecordPlanComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<RecordPlanComponent, com::Aggregation::kRefused>(outer, riid, ppv);
}

HRESULT CreateWorkListParamComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<WorkListParamComponent, com::Aggregation::kRefused>(outer, riid,
                                                                                  ppv);
}

HRESULT CreateVisitDataComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<VisitDataComponent, com::Aggregation::kRefused>(outer, riid, ppv);
}

}  // namespace korvalis::suite
