// The video file the recorder writes: an ffmpeg process fed raw pictures on its standard input
// and raw sound on a second pipe, which it encodes as H.264 and AAC (or, for a .webm file, VP9 and
// Opus). Each pipe has a writer thread of its own, so that ffmpeg may read its two inputs in
// whatever order it likes without the recorder and it ever waiting on each other: pictures wait
// in a short queue, the sound (a few kilobytes a frame) in one as long as it needs. The pictures'
// writer also converts them to the 4:2:0 planes the encoder takes, enlarged as asked, beside the
// recorder's own work.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <sys/types.h>

#include "platform/host/capture/yuv.h"

namespace host {

class Encoder {
public:
    // The pictures it is given (kWidth × kHeight) and the sound (kRate: video sites keep 48 kHz
    // as it is, and Opus takes nothing else).
    static constexpr int kWidth = 640, kHeight = 480, kFps = 60, kRate = 48000, kChannels = 2;
    static constexpr int kMaxScale = 6;

    // The video's pictures are the given ones enlarged nScale times (1 to kMaxScale), each pixel a
    // block of nScale × nScale.
    explicit Encoder(int nScale = 1) : m_nScale(nScale < 1 ? 1 : nScale > kMaxScale ? kMaxScale : nScale) {}
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // Starts ffmpeg writing the file. False with one line of text in error when the folder is
    // not there or ffmpeg cannot be started.
    bool Start(const std::string& path, std::string& error);
    // One picture (kWidth × kHeight, rows top to bottom: pixels 0x00RRGGBB, or palette indices and
    // their 256 colours) and one frame interval of sound (interleaved 16-bit stereo). False once
    // ffmpeg has stopped taking them.
    bool Picture(const uint32_t* pXrgb);
    bool Picture(const uint8_t* pIndices, const uint32_t* pPalette);
    bool Sound(const int16_t* pSamples, int nFrames);
    bool Failed() const;
    // Ends both inputs and waits for ffmpeg. False with one line of text in error when it did
    // not write the file.
    bool Finish(std::string& error);
    // Stops ffmpeg at once, whatever it has written, and waits for it; what it wrote is the
    // caller's to remove.
    void Abandon();

private:
    struct Pipe {
        int fd = -1;
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::vector<uint8_t>> queue;
        std::vector<std::vector<uint8_t>> spare;  // written buffers, kept for reuse
        size_t nMaxQueued = 0;                    // 0: no bound
        bool bClosed = false;
        std::thread writer;
        // Turns what was queued into what is written, on the writer's thread; null: as it is.
        std::function<void(std::vector<uint8_t>& buffer)> prepare;
    };
    static std::vector<const char*> CodecArguments(const std::string& path);
    // Queues the bytes of each piece, one after the other, as one buffer.
    bool Push(Pipe& pipe, std::initializer_list<std::pair<const void*, size_t>> pieces);
    void ToPlanes(std::vector<uint8_t>& buffer);
    void Write(Pipe& pipe);
    void ReadMessages();
    void ClosePipes();

    pid_t m_pid = -1;
    Pipe m_video, m_audio;
    int m_fdMessages = -1;
    std::thread m_messageReader;
    mutable std::mutex m_mutex;
    bool m_bFailed = false;
    std::string m_lastMessage;  // ffmpeg's last line on its standard error
    std::string m_path;
    const int m_nScale;
    // The pictures' writer's own: its converter, a picture's pixels, the planes it writes.
    YuvConverter m_yuv;
    std::vector<uint32_t> m_xrgb;
    std::vector<uint8_t> m_planes;
};

}  // namespace host
