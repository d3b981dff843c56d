// The DLL's entry routine: the library has no per-process or per-thread
// set-up, so every reason code succeeds.
#if defined(_WIN32)
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif
