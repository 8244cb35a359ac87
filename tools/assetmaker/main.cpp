// Writes the production's ten pictures and four sounds into the folder given on the command line,
// or, with --icons, the program's icon files (which are not among the production's files).
#include <cstdio>
#include <cstring>
#include <string>

#include "icon.h"
#include "make.h"

int main(int argc, char** argv) {
    const bool icons = argc == 3 && std::strcmp(argv[1], "--icons") == 0;
    if (argc != 2 && !icons) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n       %s --icons OUTPUT_FOLDER\n", argv[0], argv[0]);
        return 2;
    }
    std::string error;
    if (icons ? !assets::MakeIcons(argv[2], error) : !assets::MakeAll(argv[1], error)) {
        std::fprintf(stderr, "assetmaker: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
