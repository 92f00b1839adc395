// lksupdate.exe. Everything happens in InitInstance; the command line is not
// read.
#include "app/update_app.h"
#include "platform/system_library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything can load a DLL: the relaunched copy runs from c:\temp,
    // where a DLL of a system name may have been left.
    platform::RestrictDllSearchToSystemFolder();
    platform::PreloadSystemLibraries();
    theApp.InitInstance();
    return 0;
}
