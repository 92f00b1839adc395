// Prints the checksum of each file named, as md5sum does, so that
// md5_bench.sh can time GetFileMD5 against the reference tools.
#include "engine/file_checksum.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        try {
            std::printf("%s  %s\n", GetFileMD5(argv[i]).c_str(), argv[i]);
        } catch (const CFileException& e) {
            std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
            status = 1;
        }
    }
    return status;
}
