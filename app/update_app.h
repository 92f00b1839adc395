// Start-up of lksupdate.exe. Started as "lksupdate.exe" it only copies itself
// to c:\temp\lksupdate_tmp.exe, checks the copy and starts it (elevated when
// it is not), so that the update may replace the program file; the copy runs
// the wizard, one at a time per machine. Windows only.
#pragma once

#ifdef _WIN32

#include "app/update_settings.h"

#include <windows.h>

class CMyPropertySheet;

class CUpdateApp {
public:
    // Runs the whole program; FALSE always: nothing runs after it.
    BOOL InitInstance();

    // Takes the machine's updater mutex (never released: it goes with the
    // process). False when another process holds it already.
    bool IsFirstInstance();
    // Shows and brings forward the running updater's wizard; false when no
    // wizard window is open.
    bool ActivateRunningInstance();
    // Raises the running wizard, or says that an updater runs when there is
    // no wizard to raise.
    void ActAsDuplicate();

    UpdateSettings m_settings;
    CMyPropertySheet* m_pMainWnd = nullptr;  // the wizard while it runs
};

extern CUpdateApp theApp;

#endif
