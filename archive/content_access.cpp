// The material behind a record that the record library hands its readers: a record's HTML with
// its stored pictures unpacked, the XML of a visit's record header, the suite's dictionaries
// and XML files fetched by web address.
//
// A stored picture is an element whose attribute `data` holds the picture's bytes compressed by
// the codec that `compress` names and then encoded by the one that `encode` names. Unpacked, the
// same element holds the plain bytes in the same encoding, with `compress` and `encode` "0", so
// that a client shows it without the codecs; unpacking it again changes nothing.
#include <memory>
#include <string>
#include <xercesc/dom/DOM.hpp>

#include "archive/emr_library.h"
#include "emrdoc/emr_content_store.h"
#include "emrdoc/emr_xml.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/codec/codec_factory.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/codec/emr_compression.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/suite/factory.h"
#include "foundation/net/http_get.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/xml/xhtml_document.h"
#include "foundation/xml/xml_parser.h"
#include "lookups/record_library.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::BstrView;
using korvalis::StoreBstrResult;
using korvalis::com::ScopedBstr;

// The element whose picture is unpacked besides the IMG elements.
constexpr char16_t kTempImageId[] = u"tempimage";

// The dictionary numbers served by the dictionary component's methods, and the one served by
// the hospital component's department dictionary.
constexpr LONG kFirstDictionary = 1;
constexpr LONG kLastDictionary = 7;
constexpr LONG kDepartmentDictionary = 20;

// Asks `dictionaries` for dictionary `number` through its own method.
// Requires: kFirstDictionary <= number <= kLastDictionary.
// A switch rather than a table of member pointers: GCC 12 with -fsanitize=undefined reads the
// index of `object->*table[index]` uninitialised and calls another dictionary's method.
HRESULT ReadDictionary(IDictionaryService& dictionaries, LONG number, BSTR* content) {
  switch (number) {
    case 1: return dictionaries.GetDictionary1(content);
    case 2: return dictionaries.GetDictionary2(content);
    case 3: return dictionaries.GetDictionary3(content);
    case 4: return dictionaries.GetDictionary4(content);
    case 5: return dictionaries.GetDictionary5(content);
    case 6: return dictionaries.GetDictionary6(content);
    default: return dictionaries.GetDictionary7(content);
  }
}

// Replaces the stored picture of `element` by its plain bytes (see the top of the file). An
// element without `data` or without `encode` holds no picture and stays as it is; a missing or
// unreadable `compress` is compression 0. Fails with the codecs' messages, leaving the element
// as it was, and with kExpandedTooLarge when the plain bytes exceed what `budget` leaves of the
// page's limit (taken from it).
void UnpackPicture(IHTMLElement& element, ULONG& budget) {
  const std::u16string* data = element.FindAttribute(u"data");
  const std::u16string* encode = element.FindAttribute(u"encode");
  if (data == nullptr || encode == nullptr) return;
  std::unique_ptr<CEMREncoder> encoder = CreateEncoder(StringToInt(*encode));

  BYTE* packed = nullptr;
  ULONG packed_length = 0;
  encoder->Decode(*data, packed, packed_length);
  const std::unique_ptr<BYTE[]> packed_owner(packed);

  const std::u16string* compress = element.FindAttribute(u"compress");
  std::unique_ptr<CEMRCompression> compression =
      CreateCompression(compress == nullptr ? 0 : StringToInt(*compress));
  BYTE* plain = nullptr;
  ULONG plain_length = 0;
  compression->Uncompress(packed, packed_length, plain, plain_length);
  const std::unique_ptr<BYTE[]> plain_owner(plain);
  if (plain_length > budget) throw CEMRException(std::u16string(kExpandedTooLarge));
  budget -= plain_length;

  std::u16string encoded;
  encoder->Encode(plain, plain_length, encoded);
  element.SetAttribute(u"data", encoded);
  element.SetAttribute(u"compress", u"0");
  element.SetAttribute(u"encode", IntToString(encoder->GetType()));
}

// The outer HTML of the page `html` (up to its first zero character) with its pictures unpacked:
// those of the IMG elements in document order, then that of the first element "tempimage". The
// pictures of one page together expand to kMaxExpandedBytes at most.
std::u16string UnpackPictures(const std::u16string& html) {
  XHTMLDocument document;
  const std::size_t end = html.find(u'\0');
  if (FAILED(document.Load(end == std::u16string::npos ? html : html.substr(0, end)))) {
    throw std::bad_alloc();
  }
  document.WaitForComplete();
  std::shared_ptr<IHTMLDocument2> page;
  document.GetDocument(&page);
  ULONG budget = kMaxExpandedBytes;
  for (IHTMLElement* image : page->GetElementsByTagName(u"IMG")) {
    if (image->prefix().empty()) UnpackPicture(*image, budget);
  }
  if (IHTMLElement* temp_image = page->GetElementById(kTempImageId)) {
    UnpackPicture(*temp_image, budget);
  }
  return page->documentElement()->OuterHtml();
}

}  // namespace

long CBEMRLibrary::UnpackEmrContent(BSTR* pbstrContent) {
  const std::u16string unpacked = UnpackPictures(std::u16string(BstrView(*pbstrContent)));
  BSTR replacement = korvalis::AllocBstr(unpacked);
  if (replacement == nullptr) throw std::bad_alloc();
  SysFreeString(*pbstrContent);
  *pbstrContent = replacement;
  return 0;
}

long CBEMRLibrary::GetEMRContent(CEMRDataSource* pDataSource, BSTR bstrEMRID, BSTR* pbstrContent) {
  // The loader's text is taken as it is: packing it into the hand-over form only to unpack it
  // here would cost more than all the rest of the call.
  StoreBstrResult(pbstrContent,
                  UnpackPictures(korvalis::emrdoc::LoadEmrText(*pDataSource, bstrEMRID)));
  return 0;
}

long CBEMRLibrary::GetHeaderXml(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                                BSTR* pbstrXml) {
  ScopedBstr emr_id;
  GetHeaderEmrId(pDataSource, bstrPatientID, bstrEventNo, emr_id.out());
  if (BstrView(emr_id.get()).empty()) {
    StoreBstrResult(pbstrXml, u"");
    return 0;
  }
  return GetEmrXml(pDataSource, emr_id.get(), pbstrXml);
}

long CBEMRLibrary::GetDictContent(CEMRDataSource*, LONG lngID, BSTR* pbstrContent) {
  // The dictionary component is created whatever the number, so that a missing component is
  // reported for every number alike.
  korvalis::Sibling<IDictionaryService> dictionaries(*DIDUFactory::Instance(),
                                                     IID_IDictionaryService);
  ScopedBstr content;
  if (lngID >= kFirstDictionary && lngID <= kLastDictionary) {
    CheckSiblingCall(ReadDictionary(*dictionaries.get(), lngID, content.out()));
  } else if (lngID == kDepartmentDictionary) {
    korvalis::Sibling<IHISHospital> hospital(*DIDUFactory::Instance(), IID_IHISHospital);
    const ScopedBstr all_departments(u"");
    CheckSiblingCall(hospital->GetDeptDict(all_departments.get(), content.out()));
  }
  StoreBstrResult(pbstrContent, BstrView(content.get()));
  return 0;
}

namespace {

// Longest address a record names whole; a longer one (a caller's text of any length) is cut.
constexpr std::size_t kLoggedUrlUnits = 2048;

// Records why the file at `url` gave no document in the event log, then fails the call with the
// system's message.
[[noreturn]] void RefuseUrlFile(std::u16string_view url, const std::string& reason) {
  std::u16string named(url.substr(0, kLoggedUrlUnits));
  if (url.size() > kLoggedUrlUnits) named += u"...";
  CEventLogEntry(std::u16string(kUrlFileMissingMessage) + u" URL: " + named + u", 原因: " +
                     korvalis::FromUtf8(reason),
                 CEventLogEntry::kError)
      .Report();
  throw CEMRException(std::u16string(kUrlFileMissingMessage));
}

}  // namespace

long CBEMRLibrary::GetURLXmlFile(CEMRDataSource*, BSTR bstrURL, BSTR* pbstrContent) {
  const std::u16string_view url = BstrView(bstrURL);
  if (url.find(u"http://") == std::u16string_view::npos) {
    throw CEMRException(std::u16string(kUrlPathMessage));
  }
  // Only a whole http:// URL is fetched: any other text, even one carrying "http://", names no
  // file this system may read.
  std::string failure;
  const std::optional<std::string> body =
      korvalis::HttpGet(korvalis::ToUtf8(url), korvalis::HttpGetLimits(), &failure);
  if (!body) RefuseUrlFile(url, failure);
  CXmlStringParser parser(*body);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) {
    RefuseUrlFile(url, "the answer (" + std::to_string(body->size()) +
                           " bytes) is no well-formed XML document");
  }
  if (document->getDocumentElement() == nullptr) RefuseUrlFile(url, "the answer is empty");
  StoreBstrResult(pbstrContent, korvalis::WriteDomDocument(document));
  return 0;
}
