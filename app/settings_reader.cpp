#include "app/settings_reader.h"

#include "app/sys_reg_info.h"
#include "engine/line_reader.h"
#include "platform/codepage.h"

namespace {

// True when `line` decides `key`; then `value` holds its value.
bool LineDecides(std::string_view line, std::string_view key, std::string* value) {
    size_t comment = platform::FindText(line, "//");
    if (comment != std::string_view::npos) {
        line = line.substr(0, comment);
    }
    if (platform::FindText(line, key) == std::string_view::npos) {
        return false;
    }
    size_t equals = platform::FindChar(line, '=');
    *value = equals == std::string_view::npos
                 ? std::string()
                 : std::string(platform::TrimBlanks(line.substr(equals + 1)));
    return true;
}

}  // namespace

std::string FindIniValue(std::string_view text, std::string_view key) {
    std::string value;
    for (std::string_view line : SplitLines(text)) {
        if (LineDecides(line, key, &value)) {
            return value;
        }
    }
    return {};
}

std::string GetIniValue(const char* path, const char* key) {
    if (!path || !key) {
        return {};
    }
    // The same lines FindIniValue splits; a settings file is a few lines, and
    // what lies past the bound is not read.
    constexpr size_t kMaxSettingsText = 1 << 20;
    CLineReader reader(path, kMaxSettingsText);
    std::string text, line;
    while (text.size() < kMaxSettingsText && reader.ReadLine(line)) {
        text += line;
        text += '\n';
    }
    return FindIniValue(text, key);
}

std::string GetSettingsFilePath() {
    CSysRegInfo reg;
    char path[kRegValueBufferSize];
    char name[] = "Path";
    if (!reg.GetRegValue(name, path)) {
        path[0] = '\0';
    }
    return std::string(path) + "\\standalone.ini";
}

void ReadSettings(UpdateSettings& settings) {
    std::string host = GetIniValue(GetSettingsFilePath().c_str(), "UPDATEHOST");
    if (!host.empty()) {
        settings.m_bUseHost = true;
        settings.m_strUpdateHost = host;
    }
    std::string mode =
        platform::UpperLatin(GetIniValue(GetSettingsFilePath().c_str(), "UPDATEMODEL"));
    settings.m_nUpdateMode = platform::FindText(mode, "SERVER") != std::string::npos
                                 ? UPDATE_MODE_SERVER
                                 : UPDATE_MODE_CLIENT;
    std::string root = GetIniValue(GetSettingsFilePath().c_str(), "UPDATEROOT");
    if (!root.empty()) {
        settings.m_strUpdateRoot = root;
    }
    std::string version = GetIniValue(GetSettingsFilePath().c_str(), "WINVERSION");
    if (!version.empty()) {
        settings.m_strWinVersion = version;
    }
}
