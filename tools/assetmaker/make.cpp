#include "make.h"

#include "bmp.h"
#include "font.h"
#include "pictures.h"
#include "sounds.h"

namespace assets {

bool MakeAll(const std::string& folder, std::string& error) {
    if (!FontInit(error)) {
        FontDone();
        return false;
    }
    std::vector<NamedPicture> pictures = MakePictures();
    FontDone();
    for (const NamedPicture& p : pictures) {
        std::string path = folder + "/" + p.file;
        if (!WriteFile(path, EncodeBmp(p.picture))) {
            error = "cannot write " + path;
            return false;
        }
    }
    for (const NamedSound& s : MakeSounds()) {
        std::string path = folder + "/" + s.file;
        if (!WriteSound(path, s.sound)) {
            error = "cannot write " + path;
            return false;
        }
    }
    return true;
}

}  // namespace assets
