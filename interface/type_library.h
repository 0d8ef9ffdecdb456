// The type library korvalisLib 1.0: the 24 creatable classes, each with its one default
// interface. The interfaces' own tables (interface/*_typeinfo.cpp) describe their methods.
//
// Thread-safety: immutable constants.
#pragma once

#include <string_view>

#include "platform/com/type_info_table.h"

inline constexpr GUID LIBID_korvalisLib =
    korvalis::com::MakeGuid("70E00E12-28B2-44CA-BEBA-CDC02A7148A6");

// The library in the order of its registration scripts.
extern const korvalis::com::TypeLibraryInfo kKorvalisTypeLibrary;

// The row of the method whose wrapper is named `wrapper_name`, "C<Class>::<Method>" as the method
// frame names its calls, or nullptr when no class of the library has that method. The index
// behind it is built on first use.
const korvalis::com::MethodInfo* FindWrappedMethod(std::string_view wrapper_name);
