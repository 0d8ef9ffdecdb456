// The exported entry point of the double library.
#include "suite/testing/double_classes.h"

extern "C" HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return korvalis::suite::testing::GetDoubleClassObject(rclsid, riid, ppv);
}
