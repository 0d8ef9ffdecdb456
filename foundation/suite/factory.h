// The factories of the suite's sibling components. The system knows the components by
// interface identifier only: a factory asks the suite's registry component (by its fixed class
// identifier) which class implements each interface, keeps that list, and creates the class
// through the component runtime. Two process-wide factories exist, CEMRFactory (the work-list
// helpers, the visit-data component and new text identifiers) and DIDUFactory (the HIS,
// security, dictionary and date-time components); they behave alike and each keeps its own
// copy of the list.
//
// The interface map is filled by the first request that finds it empty, from the list as the
// registry component gives it: each entry's `iid` upper-cased, the first entry of an iid
// winning. Lookups use the requested identifier as 36 upper-case characters without braces,
// so an entry written with braces is never found. An empty list leaves the map empty, so the
// next request asks the registry component again; a failed request leaves the map as it was.
//
// Every failure is a CEMRException carrying one of the messages below, or the registry
// component's own error description. (An interface identifier always has a text form here, so
// no request fails for want of one.)
//
// Thread-safety: Instance and every member may be called from any thread; the map is filled
// under the factory's lock, so two first requests ask the registry component once.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/com/guid.h"
#include "platform/com/hresult.h"

inline constexpr char16_t kNoImplementingClass[] = u"没有找到接口的实现类.";
inline constexpr char16_t kClassIdError[] = u"转换组件CLSID错误.";
inline constexpr char16_t kCreateComponentError[] = u"创建本地组件实例错误.";
inline constexpr char16_t kNewGuidError[] = u"创建病历全球唯一码错误.";
inline constexpr char16_t kInterfaceListError[] = u"解析属性信息错误.";

class CSingleFactory {
 public:
  CSingleFactory() = default;
  virtual ~CSingleFactory();
  CSingleFactory(const CSingleFactory&) = delete;
  CSingleFactory& operator=(const CSingleFactory&) = delete;

  // Creates the component that implements `iid` and stores that interface of it in *ppv; the
  // caller releases it. With `clsid` given, that class is created and the registry component
  // is not asked. Precondition: ppv is not null.
  void CreateInstance(REFIID iid, void** ppv, const CLSID* clsid = nullptr);

  // A new identifier: 36 lower-case hexadecimal characters with hyphens, no braces.
  std::u16string NewGuid();

 private:
  // Fills the map from the registry component unless it already holds an entry. Called with
  // mutex_ held.
  void LoadInterfaceMap();
  // Creates `clsid` in process (or as a local server) asked for `iid`.
  static void CreateLocalInstance(REFCLSID clsid, REFIID iid, void** ppv);

  std::mutex mutex_;
  std::map<std::u16string, std::u16string> interface_map_;  // upper-cased iid -> clsid text
};

class CEMRFactory : public CSingleFactory {
 public:
  // The process-wide factory, created on the first call.
  static CEMRFactory* Instance();
};

class DIDUFactory : public CSingleFactory {
 public:
  // The process-wide factory, created on the first call.
  static DIDUFactory* Instance();
};

// Turns the failed result of a call into a sibling component into a CEMRException carrying the
// description of the error information the component set ("系统未知错误." when it set none).
// A succeeded result does nothing.
void CheckSiblingCall(HRESULT hr);
