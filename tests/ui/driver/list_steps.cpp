// The page's list view, read through a buffer in the wizard's process: the
// list and header messages take pointers that must be valid over there.

#include "commands.h"
#include "output.h"
#include "remote_buffer.h"
#include "window_lookup.h"

#include <commctrl.h>

#include <vector>

namespace driver {
namespace {

constexpr int kListId = 1001;

// Same bitness on both sides: the structures are laid out in the other
// process as they are here.
bool SameBitness(HANDLE process) {
    BOOL ours = FALSE;
    BOOL theirs = FALSE;
    IsWow64Process(GetCurrentProcess(), &ours);
    IsWow64Process(process, &theirs);
    return ours == theirs;
}

// Text of header item `index` or list item `row`/`column`, read through a
// buffer in the list's process.
template <typename Item>
bool RemoteItemText(RemoteBuffer& remote, HWND window, UINT message, WPARAM index, Item item,
                    wchar_t*(Item::*textField), int(Item::*sizeField), std::wstring* text) {
    constexpr size_t kTextChars = 1024;
    const size_t textOffset = (sizeof(Item) + 15) / 16 * 16;
    if (remote.Size() < textOffset + kTextChars * sizeof(wchar_t)) {
        return false;
    }
    item.*textField = reinterpret_cast<wchar_t*>(remote.Address() + textOffset);
    item.*sizeField = static_cast<int>(kTextChars);
    std::vector<wchar_t> local(kTextChars, L'\0');
    LRESULT result = 0;
    if (!remote.Write(0, &item, sizeof item) ||
        !remote.Write(textOffset, local.data(), local.size() * sizeof(wchar_t)) ||
        !Send(window, message, index, static_cast<LPARAM>(remote.Address()), &result) ||
        !remote.Read(textOffset, local.data(), local.size() * sizeof(wchar_t))) {
        return false;
    }
    local[kTextChars - 1] = L'\0';
    *text = local.data();
    return true;
}

}  // namespace

int List(const Args&) {
    HWND list = PageControlOrSay(kListId, "list");
    if (!list) {
        return 1;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    RemoteBuffer remote(pid, 4096);
    if (!remote.Address()) {
        return Fail("no buffer in process %lu (error %lu)", pid, GetLastError());
    }
    if (!SameBitness(remote.Process())) {
        return Fail("the wizard's process is not of this driver's bitness");
    }
    LRESULT header = 0;
    LRESULT columns = 0;
    LRESULT rows = 0;
    if (!Send(list, LVM_GETHEADER, 0, 0, &header) || !header ||
        !Send(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, &columns) ||
        !Send(list, LVM_GETITEMCOUNT, 0, 0, &rows)) {
        return Fail("the list does not answer");
    }
    std::wstring line;
    for (LRESULT c = 0; c < columns; ++c) {
        HDITEMW item = {};
        item.mask = HDI_TEXT;
        std::wstring text;
        if (!RemoteItemText(remote, reinterpret_cast<HWND>(header), HDM_GETITEMW,
                            static_cast<WPARAM>(c), item, &HDITEMW::pszText, &HDITEMW::cchTextMax,
                            &text)) {
            return Fail("column %ld cannot be read", static_cast<long>(c));
        }
        line += (c ? L"\t" : L"") + text;
    }
    Print("columns", Utf8(line));
    PrintNumber("rows", rows);
    for (LRESULT r = 0; r < rows; ++r) {
        line.clear();
        for (LRESULT c = 0; c < (columns > 0 ? columns : 1); ++c) {
            LVITEMW item = {};
            item.iSubItem = static_cast<int>(c);
            std::wstring text;
            if (!RemoteItemText(remote, list, LVM_GETITEMTEXTW, static_cast<WPARAM>(r), item,
                                &LVITEMW::pszText, &LVITEMW::cchTextMax, &text)) {
                return Fail("row %ld cannot be read", static_cast<long>(r));
            }
            line += (c ? L"\t" : L"") + text;
        }
        Print("row", Utf8(line));
    }
    // Which rows are in view.
    LRESULT top = 0;
    LRESULT perPage = 0;
    if (!Send(list, LVM_GETTOPINDEX, 0, 0, &top) ||
        !Send(list, LVM_GETCOUNTPERPAGE, 0, 0, &perPage)) {
        return Fail("the list does not say which rows are in view");
    }
    PrintNumber("top", top);
    PrintNumber("per-page", perPage);
    return 0;
}

}  // namespace driver
