// lksupdate.exe. Everything happens in InitInstance; the command line is not
// read.
#include "app/update_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    theApp.InitInstance();
    return 0;
}
