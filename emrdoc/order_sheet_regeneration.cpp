#include "emrdoc/order_sheet_regeneration.h"

#include <string>
#include <vector>

#include "emrdoc/emr_content_store.h"
#include "emrdoc/emr_from_template.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_property.h"
#include "lookups/visit_lookups.h"
#include "platform/com/scoped_bstr.h"

void RegenerateEmrFromTemplate(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR bstrPatientID,
                               BSTR bstrEventNo, long /*lngEmrType*/) {
  std::vector<std::u16string> visit;
  pDataSource->Query(u"SELECT RESIDENCE_FLAG FROM TELV_VISIT_RECORD" +
                         VisitKey(bstrPatientID, bstrEventNo).Where(),
                     1, visit);
  if (visit.empty() || visit[0] == u"0") return;

  korvalis::com::ScopedBstr properties, content;
  GetEmrProperty(pDataSource, bstrEmrID, properties.out());
  const LONG template_id = StringToInt(CXmlProperty(properties.text()).GetValue(u"template"));
  CreateEmrFromTemplate(pDataSource, template_id, bstrPatientID, bstrEventNo, content.out());
  if (SysStringByteLen(content.get()) == 0) return;
  try {
    UpdateEmrContent(pDataSource, bstrEmrID, content.get(), nullptr);
  } catch (const CEMRException& failure) {
    // The store logged its refusal and wrote nothing; the stored sheet is loaded instead.
    if (failure.GetText() != kEmrContentRefusedMessage) throw;
  }
}
