#include "platform/host/capture/record.h"

#include <cstdio>
#include <memory>

#include "platform/host/capture/capture.h"
#include "platform/host/capture/encoder.h"

namespace host {

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

}  // namespace

int RecordToVideo(const std::string& path, int nScale, double dExpectedSeconds, const std::string& program,
                  const std::function<int()>& run)
{
    static_assert(CaptureHost::kWidth == Encoder::kWidth && CaptureHost::kHeight == Encoder::kHeight &&
                      CaptureHost::kFps == Encoder::kFps && Encoder::kRate % Encoder::kFps == 0,
                  "the host records what the encoder takes");
    Encoder encoder(nScale);
    std::string error;
    if (!encoder.Start(path, error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return 1;
    }
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
    if (!encoder.Finish(error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return 1;
    }
    std::fprintf(stderr, "%s: wrote %s (%zu frames, %.2f s)\n", program.c_str(), path.c_str(), nTicks,
                 double(nTicks) / CaptureHost::kFps);
    return nResult;
}

}  // namespace host
