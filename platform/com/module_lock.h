// The count of live objects and server locks of the component library that contains this code;
// DllCanUnloadNow answers from it. Every object of platform/com/com_object.h holds one lock for
// its life, and IClassFactory::LockServer(TRUE) holds one until LockServer(FALSE).
//
// Thread-safety: interlocked; callable from any thread.
#pragma once

#include <cstdint>

namespace korvalis::com {

// Each returns the new count.
int32_t LockModule();
int32_t UnlockModule();
int32_t ModuleLockCount();

}  // namespace korvalis::com
