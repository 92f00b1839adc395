// BuildDownloadList over large lists (planning_bench.sh):
//   lks_planning_bench make DIR [ENTRIES]   writes DIR/install/codelist.txt,
//                                           DIR/temp/codelist.txt and the
//                                           files fetched into DIR/temp
//   lks_planning_bench plan DIR             plans once and prints
//                                           "seconds downloads fetched result"
// The lists are made from a fixed seed, so every run plans the same data.
#include "engine/md5.h"
#include "engine/update_planning.h"
#include "platform/fs.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

// Shows nothing: the time is the planning's own.
class CNullDisplay : public IUpdateDisplay {
public:
    void SetStatusText(const std::string&) override {}
    void AppendFileRow(const std::string&, int, const std::string&) override {}
    void SetRowStatus(int, const std::string&) override {}
    void ShowRow(int) override {}
    void SetBarRange16(ProgressBar, int) override {}
    void SetBarRange32(ProgressBar, int) override {}
    void SetBarPos(ProgressBar, int) override {}
    void FillBar(ProgressBar) override {}
    void SetWizardButtons(unsigned) override {}
    platform::NotifyTarget NotifyTarget() override { return nullptr; }
};

std::string UpperHex(const std::string& content) {
    CMD5 md5;
    md5.Update(content.data(), content.size());
    std::string hex = DigestToHex(md5.Final());
    for (char& c : hex) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return hex;
}

std::string RandomHex(std::mt19937& rnd) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex(32, '0');
    for (char& c : hex) {
        c = kDigits[rnd() % 16];
    }
    return hex;
}

std::string Line(const std::string& path, const std::string& md, int size) {
    return "<FN" + path + "><MD" + md + "><SZ" + std::to_string(size) + "><ZZ0>\r\n";
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    platform::CreateParentFolders(path);
    platform::File file;
    return file.Open(path.c_str(), platform::File::Mode::CreateAlways) &&
           file.Write(bytes.data(), bytes.size()) && file.Close();
}

// A release-like tree: folders up to four levels deep, a twentieth of the
// names with GBK text ending in a character whose trail byte is "\".
std::string PathOf(std::mt19937& rnd, int n) {
    static const char* const kTop[] = {"\\program", "\\share", "\\help", "\\templates", "\\fonts"};
    static const char* const kExt[] = {".dll", ".lkt", ".xml", ".png", ".res", ".txt"};
    std::string path = kTop[rnd() % 5];
    int depth = static_cast<int>(rnd() % 4);
    for (int d = 0; d < depth; ++d) {
        path += "\\m" + std::to_string(rnd() % 12);
    }
    path += "\\";
    if (rnd() % 20 == 0) {
        path += "\xcb\xb5\xc3\xf7\x95\x5c";  // GBK text whose last trail byte is 0x5C
    }
    path += "f" + std::to_string(n) + kExt[rnd() % 6];
    return path;
}

int Make(const std::string& dir, int entries) {
    std::mt19937 rnd(20240611);
    std::string installed, fresh;
    int unchanged = 0, changedCount = 0, added = 0, gone = 0, fetchedFiles = 0, staleFiles = 0;
    // Per entry: 94% unchanged, 4% changed, 2% new; besides, 2% of the
    // installed entries are gone from the new list. Of the changed and new
    // entries a quarter has a file in the temporary folder, two thirds of
    // those with the listed content (fetched by an interrupted run).
    for (int n = 0; n < entries; ++n) {
        std::string path = PathOf(rnd, n);
        int size = static_cast<int>(rnd() % (4 << 20));
        unsigned kind = rnd() % 100;
        if (kind < 2) {
            installed += Line(PathOf(rnd, entries + n), RandomHex(rnd), size);
            ++gone;
        }
        if (kind < 94) {
            std::string md = RandomHex(rnd);
            installed += Line(path, md, size);
            fresh += Line(path, md, size);
            ++unchanged;
            continue;
        }
        bool changed = kind < 98;
        std::string md = RandomHex(rnd);
        if (changed) {
            installed += Line(path, RandomHex(rnd), size);
            ++changedCount;
        } else {
            ++added;
        }
        if (rnd() % 4 == 0) {
            std::string content(1024 + rnd() % (32 * 1024), '\0');
            for (char& c : content) {
                c = static_cast<char>(rnd());
            }
            size = static_cast<int>(content.size());
            md = UpperHex(content);
            if (rnd() % 3 == 0) {
                content[0] = static_cast<char>(content[0] ^ 1);
                ++staleFiles;
            } else {
                ++fetchedFiles;
            }
            if (!WriteFile(dir + "\\temp" + path, content)) {
                std::fprintf(stderr, "cannot write %s\n", (dir + "\\temp" + path).c_str());
                return 1;
            }
        }
        fresh += Line(path, md, size);
    }
    if (!WriteFile(dir + "\\install\\codelist.txt", installed) ||
        !WriteFile(dir + "\\temp\\codelist.txt", fresh)) {
        std::fprintf(stderr, "cannot write the lists in %s\n", dir.c_str());
        return 1;
    }
    std::printf(
        "%d unchanged, %d changed, %d new, %d installed only; in the temporary folder"
        " %d files as listed, %d stale\n",
        unchanged, changedCount, added, gone, fetchedFiles, staleFiles);
    return 0;
}

int Plan(const std::string& dir) {
    CNullDisplay display;
    CUpdateRun run(&display);
    run.m_strInstallPath = dir + "\\install";
    run.m_strTempDir = dir + "\\temp";
    auto start = std::chrono::steady_clock::now();
    bool result = BuildDownloadList(run);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    size_t fetched = 0;
    for (bool installable : run.m_arrInstallable) {
        fetched += installable ? 1 : 0;
    }
    std::printf("%.6f %zu %zu %d\n", took.count(), run.m_arrDownload.size(), fetched,
                result ? 1 : 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc >= 3 ? argv[1] : "";
    if (mode == "make" && argc <= 4) {
        return Make(argv[2], argc == 4 ? std::atoi(argv[3]) : 100000);
    }
    if (mode == "plan" && argc == 3) {
        return Plan(argv[2]);
    }
    std::fprintf(stderr, "usage: %s make DIR [ENTRIES] | plan DIR\n", argv[0]);
    return 2;
}
