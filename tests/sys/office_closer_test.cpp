#include "sys/office_closer.h"

#include "process_fixtures/suite_process.h"
#include "process_fixtures/window_driver.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <thread>
#endif

namespace {

using processtest::SuiteFileName;
using processtest::SuiteProcess;

struct SearchCase {
    const char* label;
    std::string folder;
    std::string expected;
};

void PrintTo(const SearchCase& c, std::ostream* out) { *out << c.label; }

class SuiteSearchTextTest : public testing::TestWithParam<SearchCase> {};

TEST_P(SuiteSearchTextTest, Builds) {
    EXPECT_EQ(SuiteSearchText(GetParam().folder), GetParam().expected);
}

// 乤 is 81 61 in GBK: its second byte is "a". 乗 is 81 5C: its second byte is "\".
INSTANTIATE_TEST_SUITE_P(
    Cases, SuiteSearchTextTest,
    testing::Values(
        SearchCase{"Folder", "C:\\Larkspan", "C:\\LARKSPAN\\PROGRAM\\LKSUITE"},
        SearchCase{"FolderWithSeparator", "C:\\Larkspan\\", "C:\\LARKSPAN\\PROGRAM\\LKSUITE"},
        SearchCase{"LowerCase", "c:\\program files\\larkspan",
                   "C:\\PROGRAM FILES\\LARKSPAN\\PROGRAM\\LKSUITE"},
        SearchCase{"Empty", "", "\\PROGRAM\\LKSUITE"},
        SearchCase{"PosixFolder", "/opt/larkspan", "\\OPT\\LARKSPAN\\PROGRAM\\LKSUITE"},
        SearchCase{"PosixFolderWithSeparator", "/opt/larkspan/",
                   "\\OPT\\LARKSPAN\\PROGRAM\\LKSUITE"},
        SearchCase{"TrailByteLetterStays", "C:\\乤x", "C:\\乤X\\PROGRAM\\LKSUITE"},
        SearchCase{"TrailByteBackslashIsNoSeparator", "D:\\乗", "D:\\乗\\PROGRAM\\LKSUITE"}),
    [](const testing::TestParamInfo<SearchCase>& param) { return std::string(param.param.label); });

TEST(SuiteSearchTextTest, SourceTextsAreGbk) { EXPECT_EQ(std::string("乤乗"), "\x81\x61\x81\x5C"); }

// Plays the user: each answer may first change the world (end the suite).
class ScriptedAnswers {
public:
    using Step = std::function<bool()>;
    explicit ScriptedAnswers(std::vector<Step> steps) : m_steps(std::move(steps)) {}

    AskOkCancel Asker() {
        return [this](const char* text, const char* title) {
            texts.push_back(text);
            titles.push_back(title);
            size_t step = asked++;
            // Asked more often than scripted: give up rather than loop forever.
            return step < m_steps.size() && m_steps[step]();
        };
    }

    size_t asked = 0;
    std::vector<std::string> texts;
    std::vector<std::string> titles;

private:
    std::vector<Step> m_steps;
};

ScriptedAnswers::Step Ok() {
    return [] { return true; };
}
ScriptedAnswers::Step Cancel() {
    return [] { return false; };
}
ScriptedAnswers::Step AfterEnding(SuiteProcess* suite, bool answer) {
    return [suite, answer] { return suite->Stop() && answer; };
}

class EnsureOfficeClosedTest : public testing::Test {
protected:
    testsupport::TempDir dir;
    std::string install = dir / "Larkspan";
    std::string suitePath = install + "\\program\\" + SuiteFileName();
    SuiteProcess suite;
};

TEST_F(EnsureOfficeClosedTest, NoSuiteMeansGoOnWithoutAsking) {
    ScriptedAnswers user({Cancel()});
    EXPECT_TRUE(EnsureOfficeClosed(install, user.Asker()));
    EXPECT_EQ(user.asked, 0u);
}

TEST_F(EnsureOfficeClosedTest, AsksAgainAfterEachOkWhileTheSuiteRuns) {
    ASSERT_TRUE(suite.Start(suitePath));
    ScriptedAnswers user({Ok(), Ok(), AfterEnding(&suite, true), Cancel()});
    EXPECT_TRUE(EnsureOfficeClosed(install, user.Asker()));
    EXPECT_EQ(user.asked, 3u);
    for (size_t i = 0; i < user.asked; ++i) {
        EXPECT_EQ(user.texts[i], kCloseSuiteText);
        EXPECT_EQ(user.titles[i], "LarkspanOffice");
    }
}

TEST_F(EnsureOfficeClosedTest, CancelGivesUpEvenWhenTheSuiteHasEnded) {
    ASSERT_TRUE(suite.Start(suitePath));
    ScriptedAnswers user({AfterEnding(&suite, false), Ok()});
    EXPECT_FALSE(EnsureOfficeClosed(install, user.Asker()));
    EXPECT_EQ(user.asked, 1u);
}

TEST_F(EnsureOfficeClosedTest, FolderInLowerCaseFindsTheSuite) {
    ASSERT_TRUE(suite.Start(suitePath));
    ScriptedAnswers user({Cancel()});
    std::string lower = install;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    ASSERT_NE(lower, install);
    EXPECT_FALSE(EnsureOfficeClosed(lower, user.Asker()));
    EXPECT_EQ(user.asked, 1u);
}

struct PlaceCase {
    const char* label;
    std::string program;  // below the test folder, without the Windows extension
    bool counts;          // as the suite of the installation "Larkspan"
};

void PrintTo(const PlaceCase& c, std::ostream* out) { *out << c.label; }

class SuitePlaceTest : public testing::TestWithParam<PlaceCase> {};

TEST_P(SuitePlaceTest, OnlyTheInstallationsProgramFolderCounts) {
    testsupport::TempDir dir;
    std::string program = dir / GetParam().program;
#ifdef _WIN32
    program += ".exe";
#endif
    SuiteProcess suite;
    ASSERT_TRUE(suite.Start(program));
    ScriptedAnswers user({Cancel()});
    EXPECT_EQ(EnsureOfficeClosed(dir / "Larkspan", user.Asker()), !GetParam().counts);
    EXPECT_EQ(user.asked, GetParam().counts ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SuitePlaceTest,
    testing::Values(PlaceCase{"Suite", "Larkspan\\program\\lksuite", true},
                    PlaceCase{"OtherProgramOfTheSuite", "Larkspan\\program\\LKSuiteHelper", true},
                    PlaceCase{"OtherInstallation", "Larkspan2\\program\\lksuite", false},
                    PlaceCase{"OutsideTheProgramFolder", "Larkspan\\lksuite", false},
                    PlaceCase{"OtherProgram", "Larkspan\\program\\lkwriter", false}),
    [](const testing::TestParamInfo<PlaceCase>& param) { return std::string(param.param.label); });

#ifdef _WIN32

// A quick-starter of our own on a thread of the test: a top-level window of
// the suite's class that counts the requests to end.
class QuickStarter {
public:
    QuickStarter() : m_thread([this] { Run(); }) {}
    ~QuickStarter() {
        if (HWND window = m_window.load()) {
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        m_thread.join();
    }
    // Waits until its window can be found.
    bool Ready() {
        return processtest::WaitForWindow("LK Listener Class", nullptr, 30000) != nullptr;
    }

    std::atomic<int> requests{0};
    std::atomic<bool> zeroParameters{true};

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<QuickStarter*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self && message == self->m_killMessage) {
            self->requests++;
            if (wParam != 0 || lParam != 0) {
                self->zeroParameters = false;
            }
            return 0;
        }
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    void Run() {
        m_killMessage = RegisterWindowMessageA("LK KillTray");
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "LK Listener Class";
        RegisterClassA(&windowClass);
        HWND window = CreateWindowA("LK Listener Class", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                    nullptr, windowClass.hInstance, nullptr);
        if (!window) {
            return;
        }
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_window = window;
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            DispatchMessageA(&message);
        }
        UnregisterClassA("LK Listener Class", windowClass.hInstance);
    }

    UINT m_killMessage = 0;
    std::atomic<HWND> m_window{nullptr};
    std::thread m_thread;
};

TEST(KillQuickStarterTest, SendsTheRequestOnceAndWaitsForIt) {
    QuickStarter quickStarter;
    ASSERT_TRUE(quickStarter.Ready());
    KillQuickStarter();
    // Sent, not posted: handled by the time the call returns.
    EXPECT_EQ(quickStarter.requests.load(), 1);
    EXPECT_TRUE(quickStarter.zeroParameters.load());
}

TEST(KillQuickStarterTest, WithoutAQuickStarterNothingHappens) {
    ASSERT_EQ(FindWindowA("LK Listener Class", nullptr), nullptr);
    KillQuickStarter();
}

TEST_F(EnsureOfficeClosedTest, AsksTheQuickStarterOnceBeforeTheFirstCheck) {
    QuickStarter quickStarter;
    ASSERT_TRUE(quickStarter.Ready());
    ASSERT_TRUE(suite.Start(suitePath));
    int requestsWhenAsked = -1;
    ScriptedAnswers user({[&] {
                              requestsWhenAsked = quickStarter.requests.load();
                              return true;
                          },
                          AfterEnding(&suite, true)});
    EXPECT_TRUE(EnsureOfficeClosed(install, user.Asker()));
    EXPECT_EQ(requestsWhenAsked, 1);
    EXPECT_EQ(quickStarter.requests.load(), 1);
}

// What the user saw in each message box.
struct BoxSeen {
    std::string text;
    bool hasOwner = true;
    std::vector<int> buttons;
};

TEST_F(EnsureOfficeClosedTest, MessageBoxComesBackAfterOkAndCancelGivesUp) {
    ASSERT_TRUE(suite.Start(suitePath));
    std::vector<BoxSeen> seen;
    std::thread user([&] {
        for (int button : {IDOK, IDCANCEL}) {
            HWND box = processtest::WaitForShownWindow("#32770", "LarkspanOffice", 30000);
            if (!box) {
                return;
            }
            BoxSeen s;
            s.text = processtest::MessageText(box);
            s.hasOwner = GetWindow(box, GW_OWNER) != nullptr;
            s.buttons = processtest::VisibleButtons(box);
            seen.push_back(s);
            if (!processtest::PressButton(box, button) ||
                !processtest::WaitForWindowGone(box, 30000)) {
                // Do not leave the test waiting in the box.
                processtest::PressButton(box, IDCANCEL);
                return;
            }
        }
    });
    bool result = EnsureOfficeClosed(install);
    user.join();
    EXPECT_FALSE(result);
    ASSERT_EQ(seen.size(), 2u);
    for (const BoxSeen& s : seen) {
        EXPECT_EQ(s.text, kCloseSuiteText);
        EXPECT_FALSE(s.hasOwner);
        EXPECT_EQ(s.buttons, (std::vector<int>{IDOK, IDCANCEL}));
    }
}

#endif

}  // namespace
