// Page 3: the update is done, or was cancelled and will be retried at the
// next start. Only Finish is offered.
#pragma once

#ifdef _WIN32

#include "engine/update_run.h"
#include "ui/wizard_page.h"

class CMyPropertyPage3 : public ui::WizardPage {
public:
    // `run` is page 2's run state, read when this page becomes active.
    explicit CMyPropertyPage3(const CUpdateRun& run);

protected:
    BOOL OnSetActive() override;

private:
    const CUpdateRun& m_run;
};

#endif
