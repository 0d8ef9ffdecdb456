// The object map of the component library: its classes in the order in which they register and
// answer for their class objects.
//
// Thread-safety: immutable constants.
#pragma once

#include <span>

#include "platform/com/object_map.h"

std::span<const korvalis::com::ObjectMapEntry> ObjectMap();
