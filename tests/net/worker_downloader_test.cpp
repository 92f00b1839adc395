// RunUpdate against a hand-written download client: what the worker asks
// of its client, and in which order, and how one failed download shows.
#include "engine/update_texts.h"
#include "engine/update_worker.h"
#include "net/http_downloader.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "tools/publish/archive_writer.h"
#include "tools/publish/list_writer.h"
#include "support/recording_display.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Plan = std::vector<std::pair<std::string, std::string>>;

// 2024-01-01 00:00 as DOS date << 16 | time: a time every file system takes.
constexpr uint32_t kDosTime = ((2024 - 1980) << 9 | 1 << 5 | 1) << 16;

// Serves server paths from archives on disk; the paths in `m_failing` fail.
class FakeDownloader : public CHttpDownloader {
public:
    bool Init(const char*, int, platform::NotifyTarget) override { return true; }
    void PlanDownloads(const Plan& downloads) override {
        plans.push_back(downloads);
        calls.push_back("plan");
    }
    bool DownloadFile(const char* localPath, const char* serverPath) override {
        calls.push_back(serverPath);
        auto found = served.find(serverPath);
        if (found == served.end() || failing.count(serverPath)) {
            return false;
        }
        platform::CreateParentFolders(localPath);
        return testsupport::WriteFileBytes(localPath, testsupport::ReadFileBytes(found->second));
    }

    std::map<std::string, std::string> served;  // server path -> archive
    std::set<std::string> failing;
    std::vector<Plan> plans;
    std::vector<std::string> calls;
};

class WorkerWithFakeDownloaderTest : public ::testing::Test {
protected:
    // Publishes `name` with `bytes` as the list path "\<name>" and its archive.
    publish::ListEntry Publish(const std::string& name, const std::string& bytes) {
        std::string source = m_dir / ("release\\" + name);
        platform::CreateParentFolders(source);
        EXPECT_TRUE(testsupport::WriteFileBytes(source, bytes));
        std::string archive = source + ".zip";
        publish::ArchiveEntry entry;
        entry.name = name;
        entry.attributes = publish::kEntryArchive;
        entry.dosTime = kDosTime;
        publish::StoredFile stored;
        std::string error;
        EXPECT_TRUE(publish::WriteFileArchive(archive, source, entry, &stored, &error)) << error;
        m_fake.served["V\\" + name + ".zip"] = archive;
        return {"\\" + name, stored.md5, stored.size};
    }

    void PublishList(const std::vector<publish::ListEntry>& entries) {
        std::string list = m_dir / "release\\codelist.txt";
        std::string error;
        ASSERT_TRUE(publish::WriteCodeList(list, entries, &error)) << error;
        publish::ArchiveEntry entry;
        entry.name = "codelist.txt";
        entry.attributes = publish::kEntryArchive;
        entry.dosTime = kDosTime;
        publish::StoredFile stored;
        ASSERT_TRUE(publish::WriteFileArchive(list + ".zip", list, entry, &stored, &error))
            << error;
        m_fake.served["V/codelist.txt.zip"] = list + ".zip";
    }

    testsupport::TempDir m_dir;
    FakeDownloader m_fake;
};

TEST_F(WorkerWithFakeDownloaderTest, PlansOnceThenAsksForEachItemInOrder) {
    std::vector<publish::ListEntry> entries = {
        Publish("a.dll", "first"), Publish("b.dll", "second"), Publish("c.dll", "third")};
    PublishList(entries);
    m_fake.failing.insert("V\\b.dll.zip");
    ASSERT_TRUE(platform::CreateDir((m_dir / "install").c_str()));

    testsupport::RecordingDisplay display;
    CUpdateRun run(&display);
    run.m_pDownloader = &m_fake;
    run.m_strInstallPath = m_dir / "install";
    run.m_strTempDir = m_dir / "lksupdate";
    run.m_strVersion = "V";
    run.m_strHost = "127.0.0.1";
    UpdateOutcome outcome = UpdateOutcome::Completed;
    // The worker lowers its own thread's priority: not the test's.
    std::thread worker(
        [&] { outcome = RunUpdate(run, [](const char*, const char*) { return false; }); });
    worker.join();

    EXPECT_EQ(outcome, UpdateOutcome::DownloadErrors);
    EXPECT_EQ(m_fake.calls, (std::vector<std::string>{"V/codelist.txt.zip", "plan", "V\\a.dll.zip",
                                                      "V\\b.dll.zip", "V\\c.dll.zip"}));
    ASSERT_EQ(m_fake.plans.size(), 1u);
    Plan expected;
    for (const char* name : {"a.dll", "b.dll", "c.dll"}) {
        // The worker's local paths use "\\" only.
        expected.emplace_back(
            platform::ReplaceChar(m_dir / ("lksupdate\\" + std::string(name) + ".zip"), '/', '\\'),
            "V\\" + std::string(name) + ".zip");
    }
    EXPECT_EQ(m_fake.plans[0], expected);
    std::vector<testsupport::Row> rows = display.rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].status, kTextDone);
    EXPECT_EQ(rows[1].status, kTextFailed);
    EXPECT_EQ(rows[2].status, kTextDone);
    EXPECT_EQ(display.statusTexts().back(), kTextErrors);
    EXPECT_EQ(testsupport::ReadFileBytes(m_dir / "lksupdate\\c.dll"), "third");
}

}  // namespace
