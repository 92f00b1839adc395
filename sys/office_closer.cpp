#include "sys/office_closer.h"

#include "platform/codepage.h"
#include "platform/user_prompt.h"
#include "platform/window_message.h"
#include "sys/process.h"

#include <memory>

const char kCloseSuiteText[] =
    "更新文件已下载完毕。\n\n请关闭LarkspanOffice,否则将无法继续更新。\n"
    "(包括时钟栏里的快捷图标,浏览器中引用到的LarkspanOffice控件等)\n\n"
    "点击“确定”开始更新，点击“取消”放弃更新。";
const char kCloseSuiteTitle[] = "LarkspanOffice";

namespace {

// Paths compared with one separator and one letter case.
std::string Comparable(std::string_view path) {
    return platform::UpperLatin(platform::ReplaceChar(path, '/', '\\'));
}

// A fresh snapshot each time: the user may have closed the suite meanwhile.
bool SuiteRuns(const std::string& searchText) {
    auto snapshot = std::make_unique<CProcess>();
    snapshot->GetProccesStatue();
    for (int i = 0; i < snapshot->m_nProcessCount; ++i) {
        const ProcessEntry& row = snapshot->m_pProcesses[i];
        std::string path = Comparable(row.m_szExePath);
        if (platform::FindText(path, searchText) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool AskWithMessageBox(const char* text, const char* title) {
    return platform::AskOkCancelBox(text, title);
}

void KillQuickStarter() {
    platform::SendRegisteredMessageToClass("LK Listener Class", "LK KillTray");
}

std::string SuiteSearchText(const std::string& installFolder) {
    std::string folder = platform::ReplaceChar(installFolder, '/', '\\');
    // A double-byte character may end in the byte of "\": only a "\" of its own counts.
    bool endsInSeparator =
        !folder.empty() && platform::FindLastChar(folder, '\\') == folder.size() - 1;
    folder += endsInSeparator ? "program\\lksuite" : "\\program\\lksuite";
    return platform::UpperLatin(folder);
}

bool EnsureOfficeClosed(const std::string& installFolder, const AskOkCancel& ask) {
    KillQuickStarter();
    const std::string searchText = SuiteSearchText(installFolder);
    while (SuiteRuns(searchText)) {
        if (!ask || !ask(kCloseSuiteText, kCloseSuiteTitle)) {
            return false;
        }
    }
    return true;
}
