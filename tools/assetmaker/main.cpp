// Writes the production's ten pictures and four sounds into the folder given on the command line.
#include <cstdio>
#include <string>

#include "make.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    std::string error;
    if (!assets::MakeAll(argv[1], error)) {
        std::fprintf(stderr, "assetmaker: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
