#include "platform/host/capture/record.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/host/capture/capture.h"
#include "platform/host/capture/encoder.h"
#include "platform/host/signals.h"

namespace host {

const char* const kVideoKinds = ".mp4, .mkv, .mov (H.264 and AAC) or .webm (VP9 and Opus)";

namespace {

class EncoderSink : public CaptureSink {
public:
    explicit EncoderSink(Encoder& encoder) : m_encoder(encoder) {}
    bool Tick(const CaptureTick& tick) override
    {
        const CapturePicture& picture = tick.picture;
        const bool bPicture =
            picture.pIndices ? m_encoder.Picture(picture.pIndices, picture.pPalette) : m_encoder.Picture(picture.pXrgb);
        return bPicture && m_encoder.Sound(tick.pSamples, tick.nFrames);
    }

private:
    Encoder& m_encoder;
};

// The ending from the last dot of the file's own name, in lower case; empty where there is none.
std::string Ending(const std::string& path)
{
    const size_t nSlash = path.find_last_of('/');
    const size_t nName = nSlash == std::string::npos ? 0 : nSlash + 1;
    const size_t nDot = path.find_last_of('.');
    if (nDot == std::string::npos || nDot <= nName)
        return "";
    std::string ending = path.substr(nDot);
    for (char& c : ending)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ending;
}

// What the user is told names the target, not the file it was being written as.
std::string Named(std::string text, const std::string& unfinished, const std::string& path)
{
    for (size_t n = text.find(unfinished); n != std::string::npos; n = text.find(unfinished, n + path.size()))
        text.replace(n, unfinished.size(), path);
    return text;
}

}  // namespace

bool CheckVideoTarget(const std::string& path, bool bReplace, std::string& error)
{
    const std::string ending = Ending(path);
    if (ending != ".mp4" && ending != ".mkv" && ending != ".mov" && ending != ".webm") {
        error = "cannot write \"" + path + "\": a video file's name ends in " + kVideoKinds;
        return false;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return true;
    if (!S_ISREG(st.st_mode)) {
        error = "cannot write \"" + path + "\": it is there and is no file";
        return false;
    }
    if (!bReplace) {
        error = "\"" + path + "\" is already there; give --force to replace it";
        return false;
    }
    return true;
}

std::string UnfinishedVideo(const std::string& path, long nPid)
{
    const std::string ending = path.substr(path.size() - Ending(path).size());
    return path.substr(0, path.size() - ending.size()) + ".unfinished-" + std::to_string(nPid) + ending;
}

int RecordToVideo(const std::string& path, int nScale, bool bReplace, double dExpectedSeconds,
                  const std::string& program, const std::function<int()>& run)
{
    static_assert(CaptureHost::kWidth == Encoder::kWidth && CaptureHost::kHeight == Encoder::kHeight &&
                      CaptureHost::kFps == Encoder::kFps && Encoder::kRate % Encoder::kFps == 0,
                  "the host records what the encoder takes");
    std::string error;
    if (!CheckVideoTarget(path, bReplace, error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return 2;
    }
    const std::string unfinished = UnfinishedVideo(path, static_cast<long>(getpid()));
    auto fail = [&](const std::string& why) {
        std::remove(unfinished.c_str());
        RemoveOnSecondSignal("");
        std::fprintf(stderr, "%s: %s\n", program.c_str(), Named(why, unfinished, path).c_str());
        return 1;
    };
    Encoder encoder(nScale);
    RemoveOnSecondSignal(unfinished);
    if (!encoder.Start(unfinished, error))
        return fail(error);
    EncoderSink sink(encoder);
    auto pHost = std::make_unique<CaptureHost>(sink, Encoder::kRate);
    CaptureHost& capture = *pHost;
    capture.ShowProgress(dExpectedSeconds, "recording " + path);
    Install(std::move(pHost));
    int nResult = run();
    // Anything the system still does at exit (a sound left playing) reaches the default host.
    capture.EndProgress(!capture.Stopped());
    size_t nTicks = capture.Ticks();
    Install(nullptr);
    auto stopped = [&](int nSignal) {
        fail("the render was stopped by signal " + std::to_string(nSignal) + " before it was whole; \"" + path +
             "\" is untouched");
        return nResult;
    };
    if (EndSignal() != 0) {
        encoder.Abandon();
        return stopped(EndSignal());
    }
    const bool bWritten = encoder.Finish(error);
    if (EndSignal() != 0)
        return stopped(EndSignal());
    if (!bWritten)
        return fail(error);
    if (std::rename(unfinished.c_str(), path.c_str()) != 0)
        return fail("cannot put the video in place as \"" + path + "\": " + std::strerror(errno));
    RemoveOnSecondSignal("");
    std::fprintf(stderr, "%s: wrote %s (%zu frames, %.2f s)\n", program.c_str(), path.c_str(), nTicks,
                 double(nTicks) / CaptureHost::kFps);
    return nResult;
}

}  // namespace host
