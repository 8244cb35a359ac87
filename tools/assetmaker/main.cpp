// Writes the production's ten pictures and four sounds into the folder given on the command line;
// with --list, says their names instead, one a line after its kind (picture, music or effect), so
// that scripts take the names from the program's own list; with --icons, writes the program's
// icon files, and with --web-icons the page's (neither is among the production's files).
#include <cstdio>
#include <cstring>
#include <string>

#include "app/Assets.h"
#include "icon.h"
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
    const bool icons = argc == 3 && std::strcmp(argv[1], "--icons") == 0;
    const bool webIcons = argc == 3 && std::strcmp(argv[1], "--web-icons") == 0;
    if (argc != 2 && !icons && !webIcons) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER | --list | --icons OUTPUT_FOLDER | --web-icons OUTPUT_FOLDER\n",
                     argv[0]);
        return 2;
    }
    std::string error;
    const bool made = icons      ? assets::MakeIcons(argv[2], error)
                      : webIcons ? assets::MakeWebIcons(argv[2], error)
                                 : assets::MakeAll(argv[1], error);
    if (!made) {
        std::fprintf(stderr, "assetmaker: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
