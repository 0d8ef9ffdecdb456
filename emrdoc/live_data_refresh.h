// The refresh of a record document's values from the patient's data: the step that every
// opened record and every record created from a template goes through. Two mechanisms, each
// on an XHTMLDocument the caller has loaded (the vocabulary is emr_content_document.h):
//
//   - live links: the elements that the `link` of the element "live" lists are read again
//     from their data domains (RefreshLiveLinks), every time a stored record is loaded;
//   - the refill: every element bound to the standard data set (a data-element identifier)
//     or to a data domain (`type` and `value`) gets its current value (RefillDataElements),
//     when a record is created from a template and, with the restrictions below, when a
//     stored record without live links is loaded.
//
// The refill walks the document's elements from the last to the first:
//
//   data-set element        keep data-set values set: left as it is
//                           at load time with `live` "1" or "0" (not creating): left
//                           otherwise its value document (patient_info_node.h): value and
//                           code, exchanged when `displaytype` is "1"; a diagnosis element
//                           (`diagpop` "1") of a diagnosis part takes the diagnosis answer as
//                           its value; an empty value leaves the element, but a MARK always
//                           counts as filled
//   domain-bound element    at load time only with `live` "1"; its domain's value, no code;
//                           an empty value leaves the element
//   written                 `code` set when not empty; a `date` pattern reformats the value
//                           (a date that does not parse stays); the diagnosis name of a
//                           diagnosis element not qualified by a serial becomes the formatted
//                           diagnosis list (by `displaytype`); a MARK shows no value; an empty
//                           text shows the `prompt` placeholder except in a TD; the text is
//                           set as the element's inner HTML, so markup in it stays markup
//
// Failures: a value document that is not well-formed ends the refill with CEMRException
// "无效XML!"; the elements written before (those after it in the document) keep their new
// values in the caller's document. Failures of the domains and of the standard data set pass
// through unchanged. Nothing is written to the database.
//
// Thread-safety: a document, a data source and a registry belong to the calling thread; the
// process-wide tables consulted (document types, diagnosis configuration, date patterns) are
// guarded.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CSingleDataSource;
class XHTMLDocument;

// Gives every element of the live list (the ids in the `link` of the document's first element
// of id "live") that carries the attributes `type` and `value` its domain value, empty or not,
// as inner HTML; listed ids without such an element are skipped. The domains are asked on a
// CEMRDataSource and a registry of its own (inside a call it shares the call's connection), on
// behalf of the record `bstrEmrID`; `pDataSource` is not used. Returns true when the document
// has a live list, also one of separators only; false, changing nothing, otherwise.
bool RefreshLiveLinks(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR bstrPatientID,
                      BSTR bstrEventNo, XHTMLDocument& document);

// Refills the document in place, as described above, with a registry of its own on
// `pDataSource`. The record store's load passes keep = the record has more than one signature
// row, load time = true, creating = 0.
void RefillDataElements(CSingleDataSource* pDataSource, XHTMLDocument& document, BSTR bstrPatientID,
                        BSTR bstrEventNo, bool bKeepDataSetValues, bool bLoadTime,
                        VARIANT_BOOL vbCreating);

// RefillDataElements for a record being created: keep false, load time false, creating -1.
void RefillDataElementsForVisit(CSingleDataSource* pDataSource, XHTMLDocument& document,
                                BSTR bstrPatientID, BSTR bstrEventNo);

// Loads the plain HTML text `*pbstrHtml`, refills it for the visit (RefillDataElementsForVisit)
// and replaces the text by the document's outer HTML (the old BSTR is freed). A null pointer is
// left alone. Returns 0.
long RefreshEmrElements(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                        BSTR* pbstrHtml);
