#include "platform/com/com_object.h"

namespace korvalis::com {

HRESULT QueryInterfaceFromMap(void* object, std::span<const InterfaceMapEntry> map, REFIID riid,
                              void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (map.empty()) return E_NOINTERFACE;
  const InterfaceMapEntry* found = nullptr;
  if (riid == IID_IUnknown) {
    found = &map.front();
  } else {
    for (const InterfaceMapEntry& entry : map) {
      if (*entry.iid == riid) {
        found = &entry;
        break;
      }
    }
  }
  if (found == nullptr) return E_NOINTERFACE;
  IUnknown* unknown = found->cast(object);
  unknown->AddRef();
  *ppv = unknown;
  return S_OK;
}

}  // namespace korvalis::com
