// XHTMLDocument: one HTML document of EMR content loaded from text held in memory, with the
// operations the record store, the QC marker and the report generators need around it: read
// it back as HTML, drop repeated STYLE elements and give a style sheet its CSS by id.
// CMyStream: the read-only memory stream through which UTF-8 text reaches the document.
//
// Loading is synchronous: the document is complete when Load returns. The record's Unicode
// text is loaded as it is (UTF-16 with its byte-order mark), so no character is lost to a
// narrow code page.
//
// Thread-safety: an XHTMLDocument and the document it hands out belong to one thread at a
// time. CMyStream is a stack object of one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/com/bstr.h"
#include "platform/com/stream.h"
#include "platform/html/document.h"

// The text loaded in place of an empty one.
inline constexpr char16_t kEmptyEmrHtml[] = u"<HTML XMLNS:CUSTOMTAG></HTML>";

class XHTMLDocument {
 public:
  XHTMLDocument() = default;
  virtual ~XHTMLDocument() = default;
  XHTMLDocument(const XHTMLDocument&) = delete;
  XHTMLDocument& operator=(const XHTMLDocument&) = delete;

  // Discards the held document and loads `html` into a new one ("<HTML XMLNS:CUSTOMTAG>
  // </HTML>" when empty). A leading byte-order mark (U+FEFF) and one trailing zero character
  // are not part of the page. The new document is held even when loading fails; a failure to
  // load the text is written to the event log as an error record (a document that cannot be
  // made, for want of memory, only returns its failure).
  HRESULT Load(const std::u16string& html);
  // As above for UTF-8 text, without the event-log record.
  HRESULT Load(const std::string& html);

  // Returns when the document is complete; loading is synchronous, so at once.
  void WaitForComplete();

  // Hands out the held document (null when none is held); E_POINTER for a null out-pointer.
  // The document stays alive while any holder keeps it, across later loads of this object.
  HRESULT GetDocument(std::shared_ptr<IHTMLDocument2>* document) const;

  // The outer HTML of the document element as a new BSTR that the caller frees.
  // E_POINTER for a null out-pointer; E_FAIL when no document is held.
  HRESULT GetOuterHtml(BSTR* html) const;
  // The same into a string: S_OK, or E_FAIL when GetOuterHtml fails.
  HRESULT GetHtml(std::u16string& html) const;

  // Removes every STYLE element whose key was seen before in document order, with its
  // content; the key is the element's id when it has one, otherwise its outer HTML, and ids
  // and outer HTML texts share one set of keys.
  void RemoveDuplicateStyles();

  // Gives the style sheet of id `id` the CSS text `css`. Without such a sheet a new one is
  // created while the document has fewer than 31; otherwise the 31st sheet is reused and
  // loses its former text. The sheet's owning element gets the id.
  // E_FAIL when no document is held.
  HRESULT SetStyleSheet(const std::u16string& id, const std::u16string& css);

 private:
  // Discards the held document and holds a new, empty one; E_OUTOFMEMORY when none can be made.
  HRESULT NewDocument();
  // Loads `bytes` into the held document through a CMyStream.
  HRESULT LoadStream(const std::string& bytes);

  std::shared_ptr<IHTMLDocument2> document_;
};

// A read-only stream over a private copy of bytes. Stack object: AddRef and Release count
// nothing and free nothing.
class CMyStream : public IStream {
 public:
  // Copies `length` bytes from `bytes`; a null `bytes` makes a stream without buffer.
  CMyStream(const unsigned char* bytes, std::uint32_t length);
  ~CMyStream();
  CMyStream(const CMyStream&) = delete;
  CMyStream& operator=(const CMyStream&) = delete;

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }

  // Copies min(remaining, count) bytes and advances the read position: S_OK, also when fewer
  // bytes than asked remained; S_FALSE at the end. A read of 0 bytes answers S_FALSE and
  // moves the read position back to the start. E_POINTER for a null destination,
  // E_UNEXPECTED for a stream without buffer.
  HRESULT Read(void* destination, ULONG count, ULONG* read) override;

  // The stream is read-only and sequential: everything else is E_NOTIMPL.
  HRESULT Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT Revert() override { return E_NOTIMPL; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT Clone(IStream**) override { return E_NOTIMPL; }

 private:
  std::unique_ptr<unsigned char[]> buffer_;
  std::uint32_t length_ = 0;
  std::uint32_t position_ = 0;
};
