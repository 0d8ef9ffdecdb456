// The content QC markers of records (CBQCPatient::SaveContentQCInfo and GetContentQCInfo, the
// class declared in qc_patient.h): findings that QC marks inside a record's HTML as table cells
// carrying the attributes `qlevel`, `qcid` and `qinfo`, kept in PEV_CONTENT_QUALITY one row per
// cell, and listed with their content rule, visit and record.
//
// A record's markers are replaced as a whole whenever its content is saved: the rows of the
// record go, then one row per marker cell of the new content comes, with SEND_COUNT 0. The
// send-count update changes SEND_COUNT of all rows of a record together.
//
// Thread-safety: stateless; the page document is created and used on the calling thread.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/hresult.h"

class CEMRDataSource;
class XHTMLDocument;

namespace korvalis::review {

// Loads the HTML text of a record into `page`: S_OK, or the failure the document reports.
using ContentPageLoader = HRESULT (*)(XHTMLDocument& page, const std::u16string& html);

// The loader of the system: XHTMLDocument::Load, then WaitForComplete.
HRESULT LoadContentPage(XHTMLDocument& page, const std::u16string& html);

// CBQCPatient::SaveContentQCInfo with the page of the content loaded by `load`. A page that
// does not load fails the call with kContentPageNotLoaded before the record's markers are
// touched.
void SaveContentQcMarkers(CEMRDataSource* data_source, BSTR identification, BSTR content,
                          ContentPageLoader load);

inline constexpr char16_t kContentPageNotLoaded[] =
    u"病历内容无法加载为HTML文档, 内容质控标记未更新.";

}  // namespace korvalis::review
