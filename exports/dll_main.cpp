// Entry point of Tessaryn.dll, called by the Windows loader on load, unload and thread
// attach/detach. The library keeps no state, so there is nothing to do and every
// notification reports success.
//
// The DLL is linked without the compiler's runtime startup code, which it does not need:
// that code would run on every thread the host creates and reset its x87 control word
// (fninit), and would import CRT functions for its own bookkeeping.
#include <windows.h>

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
