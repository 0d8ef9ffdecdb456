// The registration scripts of the library, in the registrar's language
// (platform/com/registrar.h): the application-identifier script and one script per class,
// which writes its two ProgIDs and its class key. %MODULE% is the library's path and %APPID%
// the module's application identifier.
//
// Thread-safety: pure functions.
#pragma once

#include <string>

#include "platform/com/object_map.h"

// Script 101: the application identifier, under the AppID key that is never removed.
std::u16string AppIdScript();

// The script of one class: "korvalis.<Name>.1" and "korvalis.<Name>" with its CurVer, and the
// class key (rewritten whole on every registration) with ProgID, VersionIndependentProgID,
// Programmable, InprocServer32 with its ThreadingModel, AppID and TypeLib.
std::u16string ClassScript(const korvalis::com::ClassRegistration& registration);
