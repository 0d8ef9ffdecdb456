#include "foundation/socket_library.h"

#include <ace/ACE.h>
#include <ace/Init_ACE.h>

namespace korvalis {

void StartSocketLibrary() {
  struct AceSession {
    AceSession() { ACE::init(); }
    ~AceSession() { ACE::fini(); }
  };
  static AceSession session;
}

}  // namespace korvalis
