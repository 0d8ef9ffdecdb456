// The joined browse: the live records of a visit, or of one catalogue, joined into one HTML text
// in catalogue order, to be shown or printed as one piece.
//
// A catalogue contributes "<DIV ID=" record id ">" content "</DIV>" for each of its live records
// with content, in SORT_CODE order, and is closed by a page break once it lists any record;
// a catalogue listed in `emr_browse_pagebreak` also has a page break after each record that
// is not its last. Its system sub-catalogues follow depth first, in SORT_CODE order. A whole-
// visit browse joins the root system catalogues in SORT_CODE order and refuses a visit with more
// live records than `emr_browse_max` allows (16 by default, 0 for no limit; records filed
// outside the system catalogues count too). The trailing page break is dropped, and the text is
// handed out with its pictures unpacked (CBEMRLibrary::UnpackEmrContent).
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "archive/emr_library.h"
#include "emrdoc/emr_content_store.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "lookups/record_library.h"
#include "lookups/sys_param.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::SqlKey;
using korvalis::com::ScopedBstr;

constexpr char16_t kPageBreak[] = u"<P style=\"page-break-after:always\"></P>";
constexpr std::size_t kPageBreakLength = std::size(kPageBreak) - 1;
constexpr long kDefaultBrowseMax = 16;

// The joined text of one browse, built catalogue after catalogue.
class JoinedBrowse {
 public:
  JoinedBrowse(CSingleDataSource& data_source, BSTR patient_id, BSTR event_no)
      : data_source_(data_source),
        visit_(SqlKey().Equals(u"PATIENT_ID", patient_id).Equals(u"EVENT_NO", event_no)) {}

  // Appends the catalogue's records and then, depth first, its system sub-catalogues. Each
  // catalogue is appended at most once per browse, so a catalogue that is its own parent, or
  // a cycle of codes, ends the descent.
  void AppendCatalogContent(long catalog_id) {
    std::vector<long> pending{catalog_id};
    while (!pending.empty()) {
      const long id = pending.back();
      pending.pop_back();
      if (!appended_.insert(id).second) continue;
      AppendRecords(id);
      std::vector<std::u16string> children;
      data_source_.QueryColumn(
          u"SELECT ID FROM TELV_EMR_CATALOG WHERE SYSTEM_FLAG = 1 AND PARENT_CODE = "
          u"(SELECT CODE FROM TELV_EMR_CATALOG WHERE ID = " +
              LongToString(id) + u") ORDER BY SORT_CODE",
          children);
      // Pushed last to first, so that the first child's subtree comes next.
      for (auto child = children.rbegin(); child != children.rend(); ++child) {
        pending.push_back(StringToLong(*child));
      }
    }
  }

  // The joined text without its trailing page break; empty when it holds nothing else.
  std::u16string Text() && {
    if (text_.size() <= kPageBreakLength) return std::u16string();
    text_.resize(text_.size() - kPageBreakLength);
    return std::move(text_);
  }

 private:
  void AppendRecords(long catalog_id) {
    std::vector<std::u16string> records;
    data_source_.QueryColumn(
        u"SELECT ID FROM TELV_EMR_CONTENT" +
            SqlKey(visit_).Number(u"CATALOG_ID", catalog_id).And(u"STATUS = 1").Where() +
            u" ORDER BY SORT_CODE",
        records);
    for (std::size_t i = 0; i < records.size(); ++i) {
      // The loader's text, as LoadEmrContent hands it over but without the round trip through
      // the hand-over form.
      const ScopedBstr emr_id(records[i]);
      const std::u16string content = korvalis::emrdoc::LoadEmrText(data_source_, emr_id.get());
      if (content.empty()) continue;
      text_ += u"<DIV ID=" + records[i] + u">" + content + u"</DIV>";
      if (i + 1 < records.size() && BreaksEveryRecord(catalog_id)) text_ += kPageBreak;
    }
    if (!records.empty()) text_ += kPageBreak;
  }

  // Whether `emr_browse_pagebreak` lists the catalogue: one of its pieces between ";" is the
  // ID in decimal. The parameter is read once per browse, when a record first asks.
  bool BreaksEveryRecord(long catalog_id) {
    if (!page_break_catalogs_) {
      page_break_catalogs_.emplace();
      SplitByChars(GetSysParam(data_source_, u"emr_browse_pagebreak"), u";", *page_break_catalogs_);
    }
    const std::u16string id = LongToString(catalog_id);
    for (const std::u16string& listed : *page_break_catalogs_) {
      if (listed == id) return true;
    }
    return false;
  }

  CSingleDataSource& data_source_;
  const SqlKey visit_;
  std::set<long> appended_;
  std::optional<std::vector<std::u16string>> page_break_catalogs_;
  std::u16string text_;
};

// The joined text of the visit (catalogue 0) or of one catalogue, before its pictures are
// unpacked.
std::u16string BrowseVisitEmr(CSingleDataSource& data_source, BSTR patient_id, BSTR event_no,
                              LONG catalog_id) {
  JoinedBrowse browse(data_source, patient_id, event_no);
  if (catalog_id != 0) {
    browse.AppendCatalogContent(catalog_id);
    return std::move(browse).Text();
  }
  const long limit =
      StringToLong(GetSysParam(data_source, u"emr_browse_max"), nullptr, kDefaultBrowseMax);
  std::u16string count = u"0";
  data_source.QueryScalar(
      u"SELECT COUNT(A.ID) COUNT_T FROM TELV_EMR_CONTENT A, TELV_EMR_CATALOG B" +
          SqlKey()
              .And(u"A.CATALOG_ID = B.ID AND A.STATUS = 1")
              .Equals(u"A.PATIENT_ID", patient_id)
              .Equals(u"A.EVENT_NO", event_no)
              .Where(),
      count);
  if (limit != 0 && StringToLong(count) > limit) {
    throw CEMRException(std::u16string(kTooManyRecordsMessage));
  }
  std::vector<std::u16string> roots;
  data_source.QueryColumn(
      u"SELECT ID FROM TELV_EMR_CATALOG WHERE SYSTEM_FLAG = 1 AND PARENT_CODE = '###' "
      u"ORDER BY SORT_CODE",
      roots);
  for (const std::u16string& root : roots) browse.AppendCatalogContent(StringToLong(root));
  return std::move(browse).Text();
}

// Hands out the joined text with its pictures unpacked.
void HandOutUnpacked(const std::u16string& joined, BSTR* pbstrContent) {
  BSTR text = korvalis::AllocBstr(joined);
  if (text == nullptr) throw std::bad_alloc();
  try {
    CBEMRLibrary::UnpackEmrContent(&text);
  } catch (...) {
    SysFreeString(text);
    throw;
  }
  if (pbstrContent != nullptr) {
    *pbstrContent = text;
  } else {
    SysFreeString(text);
  }
}

}  // namespace

long CBEMRLibrary::BrowseEMR(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                             LONG lngCatalog, BSTR* pbstrContent) {
  VARIANT_BOOL sealed = 0;
  IsRecordSealed(pDataSource, bstrPatientID, bstrEventNo, &sealed);
  if (sealed != 0) throw CEMRException(std::u16string(kSealedBrowseMessage));
  HandOutUnpacked(BrowseVisitEmr(*pDataSource, bstrPatientID, bstrEventNo, lngCatalog),
                  pbstrContent);
  return 0;
}

long CBEMRLibrary::UnLimitBrowseEMR(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                    BSTR bstrEventNo, LONG lngCatalog, BSTR* pbstrContent) {
  HandOutUnpacked(BrowseVisitEmr(*pDataSource, bstrPatientID, bstrEventNo, lngCatalog),
                  pbstrContent);
  return 0;
}
