#include "archive/emr_library.h"

#include "foundation/data/emr_data_source.h"
#include "lookups/record_library.h"
#include "platform/com/scoped_bstr.h"

long CBEMRLibrary::GetUserProperty(CEMRDataSource* pDataSource, BSTR bstrLoginCode,
                                   BSTR* pbstrPro) {
  korvalis::com::ScopedBstr user_id;
  GetUserIdByLoginCode(pDataSource, bstrLoginCode, user_id.out());
  return GetUserPropertyById(pDataSource, user_id.get(), pbstrPro);
}
