// Page 1: welcome, the warning to close the suite, and the choice between the
// vendor's online server and a local one, written into the settings when the
// user leaves the page.
#pragma once

#ifdef _WIN32

#include "app/update_settings.h"
#include "ui/wizard_page.h"

#include <string>

class CMyPropertyPage1 : public ui::WizardPage {
public:
    explicit CMyPropertyPage1(UpdateSettings& settings);

    std::string m_strServer;  // edit 1006
    int m_nServerType = 0;    // radio group 1004: 0 online, 1 local

protected:
    void DoDataExchange(ui::DataExchange& exchange) override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    bool OnCommand(int id, int code) override;

private:
    void OnRadioOnline();
    void OnRadioLocal();
    void OnChangeServer();
    void EnableServerInput(bool enable);

    UpdateSettings& m_settings;
};

#endif
