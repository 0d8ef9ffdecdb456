#include "foundation/xml/xhtml_document.h"

#include <cstring>
#include <new>
#include <unordered_set>
#include <vector>

#include "foundation/log/event_log_entry.h"
#include "platform/html/stream_loader.h"
#include "platform/text/unicode.h"

using korvalis::html::Document;
using korvalis::html::Element;

HRESULT XHTMLDocument::NewDocument() {
  document_.reset();
  try {
    document_ = std::make_shared<Document>();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT XHTMLDocument::LoadStream(const std::string& bytes) {
  if (bytes.size() > UINT32_MAX) return E_OUTOFMEMORY;
  CMyStream stream(reinterpret_cast<const unsigned char*>(bytes.data()),
                   static_cast<std::uint32_t>(bytes.size()));
  return korvalis::html::LoadFromStream(*document_, &stream);
}

HRESULT XHTMLDocument::Load(const std::u16string& html) {
  HRESULT hr = NewDocument();
  if (FAILED(hr)) return hr;
  // Stored record content starts with its byte-order mark, and content written from a
  // decompressed text ends in that text's zero character; neither is a character of the page,
  // so neither may end up as text of the body.
  std::u16string_view text = html;
  if (!text.empty() && text.front() == u'\uFEFF') text.remove_prefix(1);
  if (!text.empty() && text.back() == u'\0') text.remove_suffix(1);
  if (text.empty()) text = kEmptyEmrHtml;
  // The text is parsed as it is: a record page is large, and a trip through a byte stream
  // would copy and decode it twice more for the same characters.
  try {
    document_->Load(text);
  } catch (const std::bad_alloc&) {
    CEventLogEntry(u"IPersistStreamInit加载内容时，发生错误：" +
                       korvalis::FromUtf8(std::to_string(E_OUTOFMEMORY)) +
                       u"。尝试重新注册ole32.dll",
                   CEventLogEntry::kError)
        .Report();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT XHTMLDocument::Load(const std::string& html) {
  HRESULT hr = NewDocument();
  if (FAILED(hr)) return hr;
  return LoadStream(html.empty() ? korvalis::ToUtf8(kEmptyEmrHtml) : html);
}

void XHTMLDocument::WaitForComplete() {}

HRESULT XHTMLDocument::GetDocument(std::shared_ptr<IHTMLDocument2>* document) const {
  if (document == nullptr) return E_POINTER;
  *document = document_;
  return S_OK;
}

HRESULT XHTMLDocument::GetOuterHtml(BSTR* html) const {
  if (html == nullptr) return E_POINTER;
  *html = nullptr;
  if (!document_) return E_FAIL;
  *html = korvalis::AllocBstr(document_->documentElement()->OuterHtml());
  return *html == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT XHTMLDocument::GetHtml(std::u16string& html) const {
  BSTR outer = nullptr;
  if (FAILED(GetOuterHtml(&outer))) return E_FAIL;
  html.assign(korvalis::BstrView(outer));
  SysFreeString(outer);
  return S_OK;
}

void XHTMLDocument::RemoveDuplicateStyles() {
  if (!document_) return;
  std::unordered_set<std::u16string> seen;
  for (Element* style : document_->GetElementsByTagName(u"STYLE")) {
    std::u16string key = style->id();
    if (key.empty()) key = style->OuterHtml();
    if (seen.insert(std::move(key)).second) continue;
    document_->RemoveBetween({style, 0}, {style, style->children().size()});
    style->Remove();
  }
}

HRESULT XHTMLDocument::SetStyleSheet(const std::u16string& id, const std::u16string& css) {
  if (!document_) return E_FAIL;
  RemoveDuplicateStyles();
  Element* sheet = document_->StyleSheetById(id);
  if (sheet == nullptr) {
    std::vector<Element*> sheets = document_->StyleSheets();
    if (sheets.size() < Document::kMaxStyleSheets) {
      sheet = document_->CreateStyleSheet();
    } else {
      sheet = sheets[Document::kMaxStyleSheets - 1];
    }
    if (sheet == nullptr) return E_FAIL;
    sheet->SetAttribute(u"id", id);
  }
  Document::SetStyleSheetText(*sheet, css);
  return S_OK;
}

CMyStream::CMyStream(const unsigned char* bytes, std::uint32_t length) {
  if (bytes == nullptr) return;
  buffer_ = std::make_unique<unsigned char[]>(length == 0 ? 1 : length);
  std::memcpy(buffer_.get(), bytes, length);
  length_ = length;
}

CMyStream::~CMyStream() = default;

HRESULT CMyStream::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IStream || riid == IID_ISequentialStream) {
    AddRef();
    *object = static_cast<IStream*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT CMyStream::Read(void* destination, ULONG count, ULONG* read) {
  if (read != nullptr) *read = 0;
  if (destination == nullptr) return E_POINTER;
  if (!buffer_) return E_UNEXPECTED;
  if (position_ >= length_) return S_FALSE;
  const std::uint32_t n = std::min<std::uint32_t>(length_ - position_, count);
  if (n == 0) {
    position_ = 0;
    return S_FALSE;
  }
  std::memcpy(destination, buffer_.get() + position_, n);
  if (read != nullptr) *read = n;
  position_ += n;
  return S_OK;
}
