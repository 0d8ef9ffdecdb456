#include "emrdoc/domain_table.h"

#include "emrdoc/extend_domain.h"
#include "emrdoc/his_clinic_domain.h"
#include "emrdoc/his_diagnosis_domain.h"
#include "emrdoc/his_fee_domain.h"
#include "emrdoc/his_operation_domain.h"
#include "emrdoc/operation_domain.h"
#include "emrdoc/patient_crisis_domain.h"
#include "emrdoc/patient_info_domain.h"
#include "emrdoc/record_type_domains.h"
#include "emrdoc/residence_domain.h"
#include "emrdoc/system_domain.h"
#include "emrdoc/temperature_domain.h"

namespace {

// The extension domain keeps the EMR id of the GetValueForEmr that creates it.
std::unique_ptr<CBEMRDomain> CreateExtendDomain(BSTR bstrPatientID, BSTR bstrEventNo,
                                                const std::u16string& strEmrID) {
  auto domain = std::make_unique<CBExtendDomain>(bstrPatientID, bstrEventNo);
  domain->SetEmrId(strEmrID);
  return domain;
}

}  // namespace

const DomainTable& SystemDomainTable() {
  static constexpr DomainTable kTable = {
      .fixed = {{
          {kPatientInfoDomainCode, CreateFixedDomain<CBPatientInfoDomain>},
          {kResidenceDomainCode, CreateFixedDomain<CBResidenceDomain>},
          {kHISDiagnosisDomainCode, CreateFixedDomain<CBHISDiagnosisDomain>},
          {kHISOperationDomainCode, CreateFixedDomain<CBHISOperationDomain>},
          {kHISFeeDomainCode, CreateFixedDomain<CBHISFeeDomain>},
          {5, CreateFixedDomain<CBResidenceEMRDomain>},
          {9, CreateFixedDomain<CBSystemDomain>},
          {kHisClinicDomainCode, CreateFixedDomain<CBHisClinicDomain>},
          {8, CreateFixedDomain<CBFirstRecordDomain>},
          {kExtendDomainCode, CreateExtendDomain},
          {11, CreateFixedDomain<CBOperationDomain>},
          {12, CreateFixedDomain<CBTemperatureDomain>},
          {13, CreateFixedDomain<CBPatientCrisisDomain>},
      }},
      .emr_type = CreateEmrTypeDomain<CBEMRTypeDomain>,
  };
  return kTable;
}
