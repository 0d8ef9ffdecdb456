#include "platform/sys/product_version.h"

namespace korvalis::sys {

ProductVersion LibraryProductVersion() {
  return {KORVALIS_VERSION_MAJOR, KORVALIS_VERSION_MINOR, KORVALIS_VERSION_BUILD,
          KORVALIS_VERSION_REVISION};
}

}  // namespace korvalis::sys
