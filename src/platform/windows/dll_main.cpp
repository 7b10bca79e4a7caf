// Entry point of RUDID32.dll. Attaching to a process runs the start-up once;
// every other notification does nothing.
#include <windows.h>

#include "platform/platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) rudid::platform::LibraryLoaded();
    return TRUE;
}
