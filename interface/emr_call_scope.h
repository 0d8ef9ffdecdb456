// The data layer of the method frame: every call runs under its own CCallScope with one
// CEMRDataSource, so that all its statements form one transaction, committed when the body
// returns and rolled back when it throws, and begun for writing when the frame asks for a
// writing transaction.
//
// Thread-safety: calls on several threads run independently; installation is atomic.
#pragma once

#include "interface/method_frame.h"

namespace korvalis::frame {

// The call-scope runner of the product (see CallScopeRunner).
void RunEMRCall(Transaction transaction, CallBody body, void* context);

// Installs RunEMRCall for every frame of the process.
void InstallEMRCallScope();

}  // namespace korvalis::frame
