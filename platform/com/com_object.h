// The base of the system's automation objects: an atomic reference count, QueryInterface from
// a per-class interface map, and aggregation inside an outer object.
//
// A class derives from ComObjectRoot and its interfaces and declares its interface map:
//
//   class CQualityRule : public korvalis::com::ComObjectRoot,
//                        public korvalis::com::DispatchImpl<IQualityRule, kIQualityRuleInfo>,
//                        public korvalis::com::SupportErrorInfoImpl<IID_IQualityRule> {
//    public:
//     static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
//       using korvalis::com::MapEntry;
//       static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
//           MapEntry<CQualityRule, IQualityRule>(IID_IQualityRule),
//           MapEntry<CQualityRule, IDispatch>(IID_IDispatch),
//           MapEntry<CQualityRule, ISupportErrorInfo>(IID_ISupportErrorInfo)};
//       return kMap;
//     }
//   };
//
// and is created through CreateComInstance<CQualityRule, Aggregation::kRefused>, which builds
// ComObject<T> alone or AggregatedObject<T> inside an outer object. IUnknown is answered with
// the first entry of the map, so that every interface of one object yields the same identity.
//
// Each live object holds one module lock (platform/com/module_lock.h).
//
// Thread-safety: AddRef, Release and QueryInterface may be called concurrently from any thread
// (classes registered Both or Neutral are shared between threads); the count is atomic.
#pragma once

#include <atomic>
#include <new>
#include <span>

#include "platform/com/module_lock.h"
#include "platform/com/unknown.h"

namespace korvalis::com {

// One row of an interface map: the interface identifier and how to reach that interface of T.
struct InterfaceMapEntry {
  const IID* iid;
  IUnknown* (*cast)(void* object);  // object is a T*
};

template <class T, class Interface>
IUnknown* CastToInterface(void* object) {
  return static_cast<Interface*>(static_cast<T*>(object));
}

template <class T, class Interface>
constexpr InterfaceMapEntry MapEntry(const IID& iid) {
  return {&iid, &CastToInterface<T, Interface>};
}

// Looks `riid` up in `map` for the object `object` (a T*), adding a reference on success.
// IUnknown is the first entry. E_POINTER for a null ppv, else *ppv is nulled first and
// E_NOINTERFACE is returned for an interface the map lacks.
HRESULT QueryInterfaceFromMap(void* object, std::span<const InterfaceMapEntry> map, REFIID riid,
                              void** ppv);

// The state every automation object carries: nothing but its count.
class ComObjectRoot {
 protected:
  ComObjectRoot() = default;
  ~ComObjectRoot() = default;
  ComObjectRoot(const ComObjectRoot&) = delete;
  ComObjectRoot& operator=(const ComObjectRoot&) = delete;

  std::atomic<ULONG> references_{0};
};

// T standing alone: its IUnknown is its own.
template <class T>
class ComObject final : public T {
 public:
  ComObject() { LockModule(); }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    return QueryInterfaceFromMap(static_cast<T*>(this), T::InterfaceMap(), riid, ppv);
  }
  ULONG AddRef() override { return this->references_.fetch_add(1) + 1; }
  ULONG Release() override {
    ULONG left = this->references_.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
  }

 private:
  ~ComObject() { UnlockModule(); }
};

// T inside an aggregate: every interface of T passes QueryInterface, AddRef and Release to the
// outer object; the outer object holds the inner, non-delegating IUnknown (AggregatedObject).
template <class T>
class ContainedObject final : public T {
 public:
  explicit ContainedObject(IUnknown* outer) : outer_(outer) {}
  ~ContainedObject() = default;

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    return outer_->QueryInterface(riid, ppv);
  }
  ULONG AddRef() override { return outer_->AddRef(); }
  ULONG Release() override { return outer_->Release(); }

 private:
  IUnknown* outer_;  // not counted: the outer object owns us
};

template <class T>
class AggregatedObject final : public IUnknown {
 public:
  explicit AggregatedObject(IUnknown* outer) : contained_(outer) { LockModule(); }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return QueryInterfaceFromMap(static_cast<T*>(&contained_), T::InterfaceMap(), riid, ppv);
  }
  ULONG AddRef() override { return references_.fetch_add(1) + 1; }
  ULONG Release() override {
    ULONG left = references_.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
  }

 private:
  ~AggregatedObject() { UnlockModule(); }

  ContainedObject<T> contained_;
  std::atomic<ULONG> references_{0};
};

enum class Aggregation { kSupported, kRefused };

// The instance creator of a class (an InstanceCreator). Without an outer object: a new
// ComObject<T> asked for `riid`. With one: CLASS_E_NOAGGREGATION when the class refuses
// aggregation or `riid` is not IUnknown, else a new AggregatedObject<T> whose inner IUnknown
// is handed out. E_POINTER for a null ppv, E_OUTOFMEMORY when the object cannot be made; *ppv is
// null on every failure.
namespace detail {
// Hands out `riid` of a new object, whose count starts at 0, and destroys the object when the
// request fails.
template <class Object>
HRESULT HandOut(Object* object, REFIID riid, void** ppv) {
  object->AddRef();
  HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}
}  // namespace detail

template <class T, Aggregation kAggregation>
HRESULT CreateComInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (outer != nullptr && (kAggregation == Aggregation::kRefused || riid != IID_IUnknown)) {
    return CLASS_E_NOAGGREGATION;
  }
  try {
    if (outer != nullptr) return detail::HandOut(new AggregatedObject<T>(outer), riid, ppv);
    return detail::HandOut(new ComObject<T>(), riid, ppv);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace korvalis::com
