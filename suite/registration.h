// What the stand-in library exports, as functions of the folder's library: the class objects
// of the stand-in classes and their registration in the registry file. The library's exported
// entry points (module/suite_module.cpp) call these.
//
// Registration writes, for every stand-in class, "CLSID\{...}" with the class's description
// and "InprocServer32" with the library's path and the threading model Both; unregistration
// removes those keys.
//
// Thread-safety: any thread; registration serialises through the registry file's lock.
#pragma once

#include <string>

#include "platform/com/guid.h"
#include "platform/com/hresult.h"

namespace korvalis::suite {

// The class object of a stand-in class; CLASS_E_CLASSNOTAVAILABLE for another class.
HRESULT GetStandInClassObject(REFCLSID rclsid, REFIID riid, void** ppv);

// The registration script of the stand-in classes; %MODULE% stands for the library's path.
std::u16string RegistrationScript();

// Registers (or unregisters) the stand-in classes as served by the library at `module_path`.
// SELFREG_E_CLASS when the registry file cannot be updated.
HRESULT RegisterStandIns(bool do_register, std::u16string_view module_path);

}  // namespace korvalis::suite
