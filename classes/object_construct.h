// The construction a host performs on a new object of the classes that accept a construction
// string: the string is read and dropped, since the objects keep no state.
//
// Thread-safety: stateless.
#pragma once

#include "platform/complus/object_context.h"

namespace korvalis::com {

// Asks `construction_object` for IObjectConstructString, reads its ConstructString and frees
// it. Returns the failure of the query or of the read unchanged, E_POINTER for a null object,
// else S_OK.
HRESULT ReadConstructString(IDispatch* construction_object);

}  // namespace korvalis::com
