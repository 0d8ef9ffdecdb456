// New records made from their templates (emr_template.h): the first page of a record for a
// visit, with its repeated data set numbered, its data elements and domains filled for the
// visit and the default style sheet set; and the doctor-order sheets (EMR types 30, long-term
// orders, and 31, temporary orders), laid out from the HIS component's orders by the XSL that
// the sheet's template holds as content 2.
//
// Numbering: a template whose BODY names a data set in `auto_serial` makes records that are
// numbered within the visit. The n-th live record of the template's EMR type gives every
// element named after a data element of that set (its `name`) the id "<data element>|n",
// except the data elements whose serial_flag is "1", and its BODY the `auto_serial`
// "<data set>|n".
//
// Every function takes the calling body's data source first (not null) and fails by throwing
// CEMRException; database failures are thrown as the data source reports them. Nothing here
// writes to the database.
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CSingleDataSource;
class XHTMLDocument;

// The EMR types of the doctor-order sheets.
inline constexpr long kLongTermOrderSheetType = 30;
inline constexpr long kTemporaryOrderSheetType = 31;
inline bool IsOrderSheetType(long emr_type) {
  return emr_type == kLongTermOrderSheetType || emr_type == kTemporaryOrderSheetType;
}

// An order sheet whose orders or XSL do not load, or whose layout fails.
inline constexpr char16_t kOrderSheetLayoutFailedMessage[] = u"转换医嘱单内容错误.";

// The first page of a new record of the template for the visit, in the hand-over form
// (emr_content_hand_over.h): an order-sheet template's layout of the HIS orders
// (BuildOrderSheetContent), any other template's content 1 (GetTemplateHtml), numbered
// (FillDataElements), refilled for the visit (RefillDataElementsForVisit), with the default
// style sheet. A template without a row fails with GetTemplateProperty's message; the failures
// of the HIS component, the XSL, the standard data set and the domains fail the creation.
// Returns 0.
long CreateEmrFromTemplate(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR bstrPatientID,
                           BSTR bstrEventNo, BSTR* pbstrContent);

// The HTML of an order sheet of EMR type `lngEmrType` for the visit: the HIS orders
// (IHISPatientInfo::GetLongTermOrders for 30, GetTemporaryOrders for 31) transformed by the
// template's content 2. Zero-length for a visit whose RESIDENCE_FLAG is "0", for another
// type, and when the orders or the XSL are empty. A HIS component that cannot be created fails
// with the factory's message, a failed HIS call with the component's error description, and
// orders or an XSL that do not load, or a transformation that fails, with
// "转换医嘱单内容错误.". Returns 0.
long BuildOrderSheetContent(CSingleDataSource* pDataSource, LONG lngTemplateID, LONG lngEmrType,
                            BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrContent);

// Numbers the data set that the document's BODY names in `auto_serial` (see above) with the
// serial GetNextEmrSerial gives. A document without BODY, without `auto_serial`, or whose data
// set has no serial data element, is left as it is.
void FillDataElements(CSingleDataSource* pDataSource, LONG lngTemplateID, XHTMLDocument& document,
                      BSTR bstrPatientID, BSTR bstrEventNo);

// The serial of the next record of the template's EMR type in the visit: the number of its live
// records (STATUS 1) plus one.
long GetNextEmrSerial(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR bstrPatientID,
                      BSTR bstrEventNo);
