#include "platform/host/sdl/screenshot.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace host {

namespace {

bool IsFolder(const std::string& path)
{
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The value of XDG_PICTURES_DIR="..." in a user-dirs file: "$HOME/..." or an absolute path.
std::string PicturesInUserDirs(const std::string& file, const std::string& home)
{
    std::ifstream in(file);
    std::string line, value;
    const std::string key = "XDG_PICTURES_DIR=";
    while (std::getline(in, line)) {
        size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos || line.compare(at, key.size(), key) != 0)
            continue;
        value = line.substr(at + key.size());
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
            value.pop_back();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
    }
    if (value.compare(0, 5, "$HOME") == 0)
        value = home.empty() ? std::string() : home + value.substr(5);
    return value;
}

}  // namespace

std::string PicturesFolder(const std::function<const char*(const char*)>& getenv)
{
    const char* pszHome = getenv("HOME");
    const std::string home = pszHome ? pszHome : "";
    const char* pszConfig = getenv("XDG_CONFIG_HOME");
    std::string config = pszConfig && *pszConfig ? pszConfig : (home.empty() ? "" : home + "/.config");
    std::string pictures = config.empty() ? "" : PicturesInUserDirs(config + "/user-dirs.dirs", home);
    if (pictures.empty()) {
        const char* pszEnv = getenv("XDG_PICTURES_DIR");
        pictures = pszEnv ? pszEnv : "";
    }
    while (pictures.size() > 1 && pictures.back() == '/')
        pictures.pop_back();
    // The user-dirs convention: a folder set to the home folder itself is switched off.
    if (!pictures.empty() && pictures[0] == '/' && pictures != home && IsFolder(pictures))
        return pictures;
    const char* pszStarted = getenv("VADURER_STARTED_IN");
    if (pszStarted && pszStarted[0] == '/' && IsFolder(pszStarted))
        return pszStarted;
    return ".";
}

std::string NewScreenshotFile(const std::string& folder, std::time_t t, std::string& error)
{
    std::tm local = {};
    localtime_r(&t, &local);
    char szStamp[32];
    std::strftime(szStamp, sizeof szStamp, "%Y-%m-%d-%H%M%S", &local);
    for (int n = 1; n < 100; ++n) {
        std::string path = folder + "/vadurer-" + szStamp + (n > 1 ? "-" + std::to_string(n) : "") + ".png";
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            close(fd);
            return path;
        }
        if (errno != EEXIST) {
            error = path + ": " + std::strerror(errno);
            return "";
        }
    }
    error = folder + ": too many screenshots taken within one second";
    return "";
}

bool WritePng(const std::string& path, const Picture& frame, std::string& error)
{
    if (frame.Empty() || (frame.indices.empty() && frame.xrgb.empty())) {
        error = "no frame is being shown";
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(frame.nWidth);
    image.height = static_cast<png_uint_32>(frame.nHeight);
    image.flags = PNG_IMAGE_FLAG_FAST;  // taken while the production plays: speed over size
    std::vector<uint8_t> rgb;
    const void* pBuffer = nullptr;
    uint8_t colourMap[256 * 3];
    const void* pColourMap = nullptr;
    if (!frame.indices.empty()) {
        image.format = PNG_FORMAT_RGB_COLORMAP;
        image.colormap_entries = 256;
        for (int i = 0; i < 256; ++i) {
            colourMap[3 * i + 0] = static_cast<uint8_t>(frame.palette[i] >> 16);
            colourMap[3 * i + 1] = static_cast<uint8_t>(frame.palette[i] >> 8);
            colourMap[3 * i + 2] = static_cast<uint8_t>(frame.palette[i]);
        }
        pBuffer = frame.indices.data();
        pColourMap = colourMap;
    } else {
        image.format = PNG_FORMAT_RGB;
        rgb.resize(frame.xrgb.size() * 3);
        for (size_t i = 0; i < frame.xrgb.size(); ++i) {
            rgb[3 * i + 0] = static_cast<uint8_t>(frame.xrgb[i] >> 16);
            rgb[3 * i + 1] = static_cast<uint8_t>(frame.xrgb[i] >> 8);
            rgb[3 * i + 2] = static_cast<uint8_t>(frame.xrgb[i]);
        }
        pBuffer = rgb.data();
    }
    if (!png_image_write_to_file(&image, path.c_str(), 0, pBuffer, 0, pColourMap)) {
        error = path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

}  // namespace host
