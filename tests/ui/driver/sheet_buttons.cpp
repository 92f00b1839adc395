#include "sheet_buttons.h"

#include "output.h"
#include "window_lookup.h"

#include <prsht.h>

namespace driver {
namespace {

constexpr int kBackId = 12323;
constexpr int kNextId = 12324;
constexpr int kFinishId = 12325;

constexpr SheetPress kPresses[] = {{"back", kBackId, PSBTN_BACK},
                                   {"next", kNextId, PSBTN_NEXT},
                                   {"finish", kFinishId, PSBTN_FINISH},
                                   {"cancel", IDCANCEL, PSBTN_CANCEL}};
constexpr NamedButton kSheetButtons[] = {
    {"back", kBackId}, {"next", kNextId}, {"finish", kFinishId}, {"cancel", IDCANCEL}};

}  // namespace

std::string SheetButtons(HWND sheet) {
    return UsableButtons(sheet, kSheetButtons, sizeof kSheetButtons / sizeof kSheetButtons[0]);
}

const SheetPress* FindPress(const std::wstring& word) {
    std::string name = Utf8(word);
    for (const auto& press : kPresses) {
        if (name == press.name) {
            return &press;
        }
    }
    return nullptr;
}

int PressOn(HWND sheet, const SheetPress& press) {
    // A user cannot press what is hidden or greyed.
    if (!Usable(GetDlgItem(sheet, press.id))) {
        return Fail("the %s button is hidden or disabled", press.name);
    }
    PostMessageW(sheet, PSM_PRESSBUTTON, press.button, 0);
    return 0;
}

}  // namespace driver
