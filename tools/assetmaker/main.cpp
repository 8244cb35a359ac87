// Writes the production's ten pictures and four sounds into the folder given on the command line;
// with --list, says their names instead, one a line after its kind (picture, music or effect), so
// that scripts take the names from the program's own list.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/Assets.h"
#include "make.h"

namespace {

void List() {
    for (const char* pszName : g_pszPictureFiles) std::printf("picture %s\n", pszName);
    for (int i = 0; i < ASSET_SOUNDS; ++i) std::printf("%s %s\n", i == 0 ? "music" : "effect", g_pszSoundFiles[i]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
        List();
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER | --list\n", argv[0]);
        return 2;
    }
    std::string error;
    if (!assets::MakeAll(argv[1], error)) {
        std::fprintf(stderr, "assetmaker: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
