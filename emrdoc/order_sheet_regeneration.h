// The doctor-order sheets of a visit kept in step with the HIS orders: the record store's loader
// rebuilds an order sheet (EMR type 30 or 31) from its template and stores it again every time
// it is loaded, while the visit's RESIDENCE_FLAG is not "0".
//
// Thread-safety: stateless; the write is not coordinated with a concurrent save of the same
// record, so the last writer wins.
#pragma once

#include "platform/com/bstr.h"

class CSingleDataSource;

// Rebuilds the order sheet `bstrEmrID` of the visit from the template its properties name
// (CreateEmrFromTemplate) and stores it (UpdateEmrContent, without client identity). Nothing
// happens for a visit without a row or whose RESIDENCE_FLAG is "0", and nothing is stored for an
// empty rebuild. A rebuild that the record store refuses as implausible is not stored: the
// refusal is logged by the record store and the stored sheet stays. Every other failure (the
// template, the HIS component, the layout, the database) is thrown. `lngEmrType` is not
// consulted.
void RegenerateEmrFromTemplate(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR bstrPatientID,
                               BSTR bstrEventNo, long lngEmrType);
