// UnzipArchive over every archive named on the command line, in one process,
// all into one folder (unzip_bench.sh):
//   lks_unzip_bench FOLDER ARCHIVE...
// Exit status 1 when any archive fails.
#include "sys/unzipper.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER ARCHIVE...\n", argv[0]);
        return 2;
    }
    int failed = 0;
    for (int i = 2; i < argc; ++i) {
        if (!UnzipArchive(argv[i], argv[1], false)) {
            std::fprintf(stderr, "%s: cannot unpack\n", argv[i]);
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}
