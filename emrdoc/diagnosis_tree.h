// The diagnoses of a visit as the standard data set shows them: for a node of a diagnosis
// part (see std_diagnosis_config.h), either the visit's diagnosis tree or one diagnosis value.
//
// The node's qualifiers select the diagnoses: "STD_DE_DIAG_NAME|2" of a node whose
// KEY_TYPE_DE is the diagnosis-class id selects the live diagnoses of class 2. Each qualifier
// is a condition on the column that the configuration's attribute table gives for its data
// element; the outcome-type qualifier compares OUTCOME instead.
//
//   - The diagnosis name without a diagnosis-serial qualifier: the tree, a `root` of one `diag`
//     element per diagnosis in SUB_ID order, its text the direction, position and name joined
//     (a NULL part adds nothing), its attributes `id` and `parent`.
//   - Otherwise one value, plain text: the part's column of the first diagnosis (for the name,
//     its direction and position before it); with an outcome-type qualifier, the configured
//     outcome flag when a diagnosis matches.
//
// Thread-safety: stateless but for the process's diagnosis configuration.
#pragma once

#include "platform/com/bstr.h"

class CSingleDataSource;

// Writes the answer described above as a new BSTR to `pbstrAnswer`. Writes nothing when the
// node has no definition row (such as the numbered id of a new record's element), or when it
// does not carry exactly one qualifier value per KEY_TYPE_DE entry, or lists none. The diagnosis
// statements run on a CEMRDataSource of their own, which inside a call shares the call's
// connection. A qualifier that the configuration does not list makes the statement invalid:
// it fails as the data source reports a database failure, and the event log shows it.
void GetDiagnosisTree(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                      BSTR bstrNodeID, BSTR* pbstrAnswer);
