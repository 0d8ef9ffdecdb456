// The socket library (ACE) of the system's network clients: started once for the process by
// the first client that needs it and stopped when the process (or the library holding this
// code) unloads.
//
// Thread-safety: StartSocketLibrary may be called from any thread.
#pragma once

namespace korvalis {

void StartSocketLibrary();

}  // namespace korvalis
