// Sibling<Interface>: one sibling component of the suite, created by interface identifier
// through a factory (foundation/suite/factory.h) and released when the object goes out of scope, also
// when the scope is left by an exception.
//
//   korvalis::Sibling<ISecurityService> security(*DIDUFactory::Instance(), IID_ISecurityService);
//   korvalis::com::ScopedBstr answer;
//   CheckSiblingCall(security->GetUserProperty(user.get(), answer.out()));
//
// Thread-safety: an object belongs to one thread; the factories it uses are thread-safe.
#pragma once

#include <string>

#include "foundation/calls/emr_exception.h"
#include "foundation/suite/factory.h"

namespace korvalis {

template <class Interface>
class Sibling {
 public:
  // Throws the factory's CEMRException when the component cannot be created. A creation that
  // succeeds without handing out the interface counts as not created.
  Sibling(CSingleFactory& factory, const IID& iid) {
    factory.CreateInstance(iid, reinterpret_cast<void**>(&component_));
    if (component_ == nullptr) throw CEMRException(std::u16string(kCreateComponentError));
  }
  ~Sibling() {
    if (component_ != nullptr) component_->Release();
  }
  Sibling(const Sibling&) = delete;
  Sibling& operator=(const Sibling&) = delete;

  Interface* get() const { return component_; }
  Interface* operator->() const { return component_; }

 private:
  Interface* component_ = nullptr;
};

}  // namespace korvalis
