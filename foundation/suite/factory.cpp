#include "foundation/suite/factory.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "foundation/xml/dom_elements.h"
#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/xml/xml_parser.h"
#include "platform/com/object_creation.h"
#include "platform/com/scoped_bstr.h"

namespace {

// In process first, else as a local server; only in-process servers exist here.
constexpr DWORD kInprocOrLocalServer = 0x1 | 0x4;

// Releases an interface pointer when it goes out of scope.
template <class Interface>
class Held {
 public:
  Held() = default;
  ~Held() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

  void** out() { return reinterpret_cast<void**>(&pointer_); }
  Interface* operator->() const { return pointer_; }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace

CSingleFactory::~CSingleFactory() = default;

void CSingleFactory::CreateInstance(REFIID iid, void** ppv, const CLSID* clsid) {
  if (clsid != nullptr) {
    CreateLocalInstance(*clsid, iid, ppv);
    return;
  }
  std::u16string iid_text = ToUpperAscii(korvalis::GuidToString(iid));
  std::u16string clsid_text;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    LoadInterfaceMap();
    auto found = interface_map_.find(iid_text);
    if (found == interface_map_.end()) throw CEMRException(std::u16string(kNoImplementingClass));
    clsid_text = found->second;
  }
  GUID implementing_class;
  if (!korvalis::GuidFromString(clsid_text, &implementing_class)) {
    throw CEMRException(std::u16string(kClassIdError));
  }
  CreateLocalInstance(implementing_class, iid, ppv);
}

void CSingleFactory::LoadInterfaceMap() {
  if (!interface_map_.empty()) return;

  Held<ISuiteRegistry> registry;
  CreateLocalInstance(CLSID_SuiteRegistry, IID_ISuiteRegistry, registry.out());
  korvalis::com::ScopedBstr list;
  if (FAILED(registry->GetInterfaceList(list.out()))) {
    throw CEMRException(CEMRRemoteError().GetError());
  }

  CXmlStringParser parser(list.get());
  xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) throw CEMRException(std::u16string(kInterfaceListError));
  const xercesc::DOMElement* root = document->getDocumentElement();
  if (root == nullptr) return;

  std::map<std::u16string, std::u16string> loaded;
  // The list holds elements; white space or comments between them carry no entry.
  for (const xercesc::DOMElement* entry : ElementChildren(root)) {
    loaded.emplace(ToUpperAscii(ElementAttribute(entry, u"iid")),
                   ElementAttribute(entry, u"clsid"));
  }
  interface_map_.swap(loaded);
}

void CSingleFactory::CreateLocalInstance(REFCLSID clsid, REFIID iid, void** ppv) {
  if (CoCreateInstance(clsid, nullptr, kInprocOrLocalServer, iid, ppv) != S_OK) {
    throw CEMRException(std::u16string(kCreateComponentError));
  }
}

std::u16string CSingleFactory::NewGuid() {
  GUID guid;
  if (FAILED(CoCreateGuid(&guid))) throw CEMRException(std::u16string(kNewGuidError));
  return korvalis::GuidToString(guid);
}

CEMRFactory* CEMRFactory::Instance() {
  static CEMRFactory& factory = *new CEMRFactory;
  return &factory;
}

DIDUFactory* DIDUFactory::Instance() {
  static DIDUFactory& factory = *new DIDUFactory;
  return &factory;
}

void CheckSiblingCall(HRESULT hr) {
  if (FAILED(hr)) throw CEMRException(CEMRRemoteError().GetError());
}
