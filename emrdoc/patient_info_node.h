// The value of a data element for one visit, as the refill of a record's data elements asks
// it: the value stored for the visit (TELV_STD_PATIENT_INFO_DOMAIN), the value of the node's
// related domain (a TELV_EMR_DOMAIN row asked of the domain registry), or the visit's
// diagnoses.
//
// The answer is a value document, `root` with the children `code` (the value's code) and
// `value` (the text to show):
//   <?xml version="1.0" encoding="UTF-16"?><root><code>1</code><value>男</value></root>
//
// Stored values: the newest row of the node for the visit (by CREATE_TIME) counts. INFO_VALUE
// holds the text; when it is empty, INFO_VALUE_BLOB holds it as UTF-16 code units (a leading
// byte-order mark is not part of the value). Rows with an EMR_ID belong to one record: while
// a stored record is loaded (creating zero) only the visit's rows, those without an EMR_ID,
// count, and a node of DOC_TYPE "1" has no stored value at all.
//
// Which source answers a node (GetPatientInfoNodeValue), with `once` its OLD_DOMAIN_ONCE "1"
// and `doc-one` its DOC_TYPE "1":
//
//   related domain  once  doc-one  creating   answer
//   none            -     -        -          stored value
//   yes             no    -        -          domain value, else stored value
//   yes             yes   no       -          stored value when there is one, else domain value
//   yes             yes   yes      nonzero    domain value, else stored value
//   yes             yes   yes      zero       stored value
//
// and in the end the empty value document. A diagnosis element (diagnosis flag nonzero) of a
// diagnosis part answers the diagnosis tree or value instead (diagnosis_tree.h).
//
// Texts placed between quotes in the statements go through the quoting helper; a null BSTR is
// the empty text. Database failures and the domains' failures are thrown unchanged.
//
// Thread-safety: stateless but for the process's document-type table and diagnosis
// configuration; a registry belongs to its call's thread.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CBDomainManager;
class CSingleDataSource;

// The answer of GetDataElementValueXml for an id that is not a data-element id.
inline constexpr char16_t kEmptyValueDocument[] =
    u"<?xml version='1.0' ?><root><value/><code/></root>";

// The stored value of the node as a value document in a new BSTR (empty `code` and `value`
// when none counts; see above).
void GetPatientInfoValue(CSingleDataSource* pDataSource, BSTR bstrNodeID, BSTR bstrPatientID,
                         BSTR bstrEventNo, VARIANT_BOOL vbCreating, BSTR* pbstrAnswer);

// The value document of the node, by the table above, in a new BSTR. Returns true.
bool GetPatientInfoNodeValue(CSingleDataSource* pDataSource, CBDomainManager* pRegistry,
                             BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrNodeID,
                             VARIANT_BOOL vbCreating, BSTR* pbstrAnswer, int nDiagnosis);

// GetPatientInfoNodeValue for a data-element id (IsDataElementId); for any other id (null and
// empty included) kEmptyValueDocument and false.
bool GetDataElementValueXml(CSingleDataSource* pDataSource, CBDomainManager* pRegistry,
                            BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrNodeID,
                            VARIANT_BOOL vbCreating, BSTR* pbstrAnswer, int nDiagnosis);

// The value of the TELV_EMR_DOMAIN row `strDomainID` (TYPE a domain code, DOMAIN a key), asked
// of the registry for the visit, as a value document with an empty `code` in a new BSTR. An id
// that is not a whole number, or that names no row, gives an empty `value`.
void GetDomainValueById(CSingleDataSource* pDataSource, CBDomainManager& registry,
                        const std::u16string& strDomainID, BSTR bstrPatientID, BSTR bstrEventNo,
                        BSTR* pbstrAnswer);
