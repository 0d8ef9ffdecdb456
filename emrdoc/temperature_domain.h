// CBTemperatureDomain: the domain of code 12, "emr.temperature.*": the vital signs of the first
// point of the visit's temperature chart (week 1, day 1), read once.
//
//   emr.temperature.tp       temperature        emr.temperature.bp       blood pressure
//   emr.temperature.pl       pulse              emr.temperature.weight   weight
//   emr.temperature.br       breathing          emr.temperature.height   height
//
// All six keys are stored, empty, also when the visit has no chart point, so the chart is read
// once. Failures of the lookup reach the caller and leave the next lookup to read again.
//
// Thread-safety: as every domain, it belongs to the thread of its registry.
#pragma once

#include "emrdoc/emr_domain.h"

class CBTemperatureDomain : public CBCachedDomain {
 public:
  using CBCachedDomain::CBCachedDomain;

 protected:
  void Load(CSingleDataSource* pDataSource) override;
};
