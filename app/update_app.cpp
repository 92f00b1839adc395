#include "app/update_app.h"

#include "app/self_copy.h"
#include "app/settings_reader.h"
#include "platform/codepage.h"
#include "ui/dialog_colors.h"
#include "ui/message_box.h"
#include "ui/my_property_sheet.h"

#include <commctrl.h>

CUpdateApp theApp;

namespace {

constexpr char kTempFolder[] = "c:\\temp";
constexpr char kTempCopy[] = "c:\\temp\\lksupdate_tmp.exe";
constexpr char kLauncherName[] = "lksupdate.exe";
constexpr char kMutexName[] = "VTRX_AUTOUPDATE_MUTEX";
constexpr char kWizardTitle[] = "Larkspan Office 升级程序";
constexpr char kAlreadyRunning[] = "已有一个升级程序在运行，请不要重复启动升级程序。";
constexpr DWORD kPathSize = 250;  // characters, NUL included

}  // namespace

BOOL CUpdateApp::InitInstance() {
    // The progress page's file list and bar.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    CreateDirectoryA(kTempFolder, nullptr);

    char path[kPathSize];
    DWORD length = GetModuleFileNameA(nullptr, path, kPathSize);
    // Windows XP leaves a truncated name without its NUL.
    path[length < kPathSize ? length : kPathSize - 1] = '\0';

    ReadSettings(m_settings);

    if (platform::FindText(path, kLauncherName) != std::string_view::npos) {
        // The update may replace lksupdate.exe itself, which cannot be written
        // while it runs: a copy in c:\temp runs the wizard instead.
        CreateDirectoryA(kTempFolder, nullptr);
        SelfCopyResult started =
            StartSelfCopy(path, kTempFolder, kTempCopy, platform::CurrentElevation(),
                          platform::SystemProgramStarter());
        // A copy that cannot be overwritten is most likely running: the wizard
        // it shows is the one to raise. Whatever lies there is not started.
        if (started == SelfCopyResult::kCopyFailed) {
            ActAsDuplicate();
        }
        return FALSE;
    }

    if (IsFirstInstance()) {
        ui::SetDialogBkColor(ui::kDialogBackground, ui::kDialogText);
        CMyPropertySheet sheet(m_settings);
        m_pMainWnd = &sheet;
        sheet.m_psh.dwFlags &= ~PSH_HASHELP;
        sheet.DoModal();
        // The process ends here, before the sheet and its pages are destroyed:
        // after Cancel the update worker may still run and would touch a page
        // that is gone. It is not joined either, as it may be waiting in a
        // message sent to this thread or in a message box. TerminateProcess
        // also skips the runtime's DLL detach code, which could wait for a lock
        // the stopped worker held.
        TerminateProcess(GetCurrentProcess(), 0);
        ExitProcess(0);
    }

    ActAsDuplicate();
    return FALSE;
}

void CUpdateApp::ActAsDuplicate() {
    if (!ActivateRunningInstance()) {
        ui::ShowMessageBox(kAlreadyRunning, MB_OK);
    }
}

bool CUpdateApp::IsFirstInstance() {
    // The handle is never closed: the mutex marks this process as the
    // machine's updater until it ends.
    CreateMutexA(nullptr, TRUE, kMutexName);
    return GetLastError() != ERROR_ALREADY_EXISTS;
}

bool CUpdateApp::ActivateRunningInstance() {
    HWND wizard = FindWindowA(nullptr, kWizardTitle);
    if (!wizard) {
        return false;
    }
    ShowWindow(wizard, SW_SHOW);
    SetForegroundWindow(wizard);
    return true;
}
