#include "emrdoc/temperature_domain.h"

#include "foundation/xml/xml_document.h"
#include "lookups/record_library.h"
#include "platform/com/scoped_bstr.h"

void CBTemperatureDomain::Load(CSingleDataSource* pDataSource) {
  korvalis::com::ScopedBstr signs;
  GetAdmissionVitalSigns(pDataSource, patient_id(), event_no(), signs.out());
  CXmlDocument document(signs.text(), false, false);
  // A writable document adds an empty `tp` when the chart has no point.
  CXmlNode point = document.GetRootNode().GetChild(u"tp");
  Store(u"emr.temperature.bp", point.GetAttribute(u"bp"));
  Store(u"emr.temperature.br", point.GetAttribute(u"br"));
  Store(u"emr.temperature.height", point.GetAttribute(u"height"));
  Store(u"emr.temperature.pl", point.GetAttribute(u"pl"));
  Store(u"emr.temperature.weight", point.GetAttribute(u"weight"));
  Store(u"emr.temperature.tp", point.GetText());
}
