// The HIS stand-ins: departments and hospitals from the configuration file, and the data of
// each visit (residence, diagnoses, operations, fees, order sheets, clinic records) from the
// visit's own file. A visit without a file, or without an answer for a question, has no data:
// documents answer an empty root, texts an empty text, the discharge flag false.
#include "foundation/suite/suite_interfaces.h"
#include "foundation/xml/xml_text.h"
#include "platform/com/bstr.h"
#include "suite/components.h"
#include "suite/reserved_slots.h"
#include "suite/stand_in.h"
#include "suite/suite_config.h"

namespace korvalis::suite {
namespace {

constexpr char16_t kEmptyDocument[] = u"<root/>";

// The answer `item` of the visit, or `fallback` when there is none.
std::u16string VisitItem(BSTR patient_id, BSTR event_no, std::u16string_view item,
                         std::u16string_view fallback) {
  std::optional<VisitAnswers> visit =
      SuiteConfig::Load()->LoadVisit(BstrView(patient_id), BstrView(event_no));
  if (visit) {
    auto found = visit->items.find(std::u16string(item));
    if (found != visit->items.end()) return found->second;
  }
  return std::u16string(fallback);
}

HRESULT AnswerVisitDocument(BSTR patient_id, BSTR event_no, std::u16string_view item, BSTR* out) {
  return Serve([&] { return Answer(out, VisitItem(patient_id, event_no, item, kEmptyDocument)); });
}

HRESULT AnswerVisitText(BSTR patient_id, BSTR event_no, std::u16string_view item, BSTR* out) {
  return Serve([&] { return Answer(out, VisitItem(patient_id, event_no, item, u"")); });
}

std::u16string DepartmentList(const SuiteConfig& config, std::u16string_view hospital) {
  std::u16string list = u"<root>";
  for (const Department& dept : config.departments) {
    if (!hospital.empty() && dept.hospital != hospital) continue;
    list += u"<dept id=\"" + XmlEscapedWithQuotes(dept.id) + u"\" hospital=\"" +
            XmlEscapedWithQuotes(dept.hospital) + u"\">" + XmlEscapedWithQuotes(dept.name) +
            u"</dept>";
  }
  return list + u"</root>";
}

class HISDepartmentComponent : public StandIn<IHISDepartment, IID_IHISDepartment> {
 public:
  HRESULT GetDeptInfo(BSTR bstrDeptID, BSTR* pbstrInfo) override {
    return Serve([&] {
      const std::shared_ptr<const SuiteConfig> config = SuiteConfig::Load();
      const Department* dept = config->FindDepartment(BstrView(bstrDeptID));
      if (dept == nullptr) return Answer(pbstrInfo, kEmptyDocument);
      return Answer(pbstrInfo, u"<root><name>" + XmlEscapedWithQuotes(dept->name) +
                                   u"</name><hospital>" + XmlEscapedWithQuotes(dept->hospital) +
                                   u"</hospital></root>");
    });
  }
};

class HISHospitalComponent : public StandIn<IHISHospital, IID_IHISHospital> {
 public:
  HRESULT GetHospitalInfo(BSTR bstrHospitalID, BSTR* pbstrInfo) override {
    return Serve([&] {
      const std::shared_ptr<const SuiteConfig> config = SuiteConfig::Load();
      auto found = config->hospitals.find(std::u16string(BstrView(bstrHospitalID)));
      if (found == config->hospitals.end()) return Answer(pbstrInfo, kEmptyDocument);
      return Answer(pbstrInfo,
                    u"<root><name>" + XmlEscapedWithQuotes(found->second) + u"</name></root>");
    });
  }
  // Every department, whatever the code.
  HRESULT GetDeptDict(BSTR, BSTR* pbstrDict) override {
    return Serve([&] { return Answer(pbstrDict, DepartmentList(*SuiteConfig::Load(), u"")); });
  }
  // "-10000" (or an empty code) lists every department, a hospital's code its departments.
  HRESULT GetDeptList(BSTR bstrCode, BSTR* pbstrList) override {
    return Serve([&] {
      std::u16string_view code = BstrView(bstrCode);
      if (code == u"-10000") code = u"";
      return Answer(pbstrList, DepartmentList(*SuiteConfig::Load(), code));
    });
  }
};

class HISPatientInfoComponent : public HISPatientInfoStandIn {
 public:
  HRESULT GetResidenceNo(BSTR patient, BSTR event, BSTR* out) override {
    return AnswerVisitText(patient, event, u"residence_no", out);
  }
  HRESULT GetInOutInfo(BSTR patient, BSTR event, BSTR* out) override {
    return AnswerVisitDocument(patient, event, u"in_out", out);
  }
  HRESULT GetDiagnosisInfo(BSTR patient, BSTR event, BSTR* out) override {
    return AnswerVisitDocument(patient, event, u"diagnosis", out);
  }
  HRESULT GetOperationInfo(BSTR patient, BSTR event, BSTR* out) override {
    return AnswerVisitDocument(patient, event, u"operation", out);
  }
  HRESULT GetFeeInfo(BSTR patient, BSTR event, BSTR* out) override {
    return AnswerVisitDocument(patient, event, u"fee", out);
  }
  HRESULT IsDischarged(BSTR patient, BSTR event, VARIANT_BOOL* out) override {
    return Serve([&] {
      if (out == nullptr) return E_POINTER;
      *out = VisitItem(patient, event, u"discharged", u"0") == u"1" ? VARIANT_TRUE
                                                                     : VARIANT_FALSE;
      return S_OK;
    });
  }
  HRESULT GetLongTermOrders(BSTR patient, BSTR event, BSTR* out) override {
    return AnswerVisitDocument(patient, event, u"long_term_orders", out);
  }
  HRESULT GetTemporaryOrders(BSTR patient, BSTR event, BSTR* out) override {
    return AnswerVisitDocument(patient, event, u"temporary_orders", out);
  }
  HRESULT GetFeeList(BSTR patient, BSTR event, BSTR* out) override {
    return AnswerVisitDocument(patient, event, u"fee_list", out);
  }
};

class HISClinicInfoComponent : public HISClinicInfoStandIn {
 public:
  HRESULT GetRegInfo(BSTR patient, BSTR event, BSTR* out) override {
    return AnswerVisitDocument(patient, event, u"clinic_reg", out);
  }
  HRESULT GetRecipeInfo(BSTR patient, BSTR event, BSTR* out) override {
    return AnswerVisitDocument(patient, event, u"clinic_recipe", out);
  }
  HRESULT GetDiagInfo(BSTR patient, BSTR event, BSTR* out) override {
    return AnswerVisitDocument(patient, event, u"clinic_diag", out);
  }
  HRESULT GetExamineInfo(BSTR patient, BSTR event, BSTR* out) override {
    return AnswerVisitDocument(patient, event, u"clinic_examine", out);
  }
};

}  // namespace

HRESULT CreateHISDepartmentComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<HISDepartmentComponent, com::Aggregation::kRefused>(outer, riid,
                                                                                  ppv);
}

HRESULT CreateHISHospitalComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<HISHospitalComponent, com::Aggregation::kRefused>(outer, riid,
                                                                                ppv);
}

HRESULT CreateHISPatientInfoComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<HISPatientInfoComponent, com::Aggregation::kRefused>(outer, riid,
                                                                                   ppv);
}

HRESULT CreateHISClinicInfoComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<HISClinicInfoComponent, com::Aggregation::kRefused>(outer, riid,
                                                                                  ppv);
}

}  // namespace korvalis::suite
