#include "emrdoc/domain_table.h"

#include "emrdoc/his_clinic_domain.h"
#include "emrdoc/his_diagnosis_domain.h"
#include "emrdoc/his_fee_domain.h"
#include "emrdoc/his_operation_domain.h"
#include "emrdoc/patient_info_domain.h"
#include "emrdoc/residence_domain.h"

const DomainTable& SystemDomainTable() {
  static constexpr DomainTable kTable = {
      .fixed = {{
          {kPatientInfoDomainCode, CreateFixedDomain<CBPatientInfoDomain>},
          {kResidenceDomainCode, CreateFixedDomain<CBResidenceDomain>},
          {kHISDiagnosisDomainCode, CreateFixedDomain<CBHISDiagnosisDomain>},
          {kHISOperationDomainCode, CreateFixedDomain<CBHISOperationDomain>},
          {kHISFeeDomainCode, CreateFixedDomain<CBHISFeeDomain>},
          {5, nullptr},  // CBResidenceEMRDomain
          {9, nullptr},  // CBSystemDomain
          {kHisClinicDomainCode, CreateFixedDomain<CBHisClinicDomain>},
          {8, nullptr},                  // CBFirstRecordDomain
          {kExtendDomainCode, nullptr},  // CBExtendDomain
          {11, nullptr},                 // CBOperationDomain
          {12, nullptr},                 // CBTemperatureDomain
          {13, nullptr},                 // CBPatientCrisisDomain
      }},
      .emr_type = nullptr,  // CBEMRTypeDomain
  };
  return kTable;
}
