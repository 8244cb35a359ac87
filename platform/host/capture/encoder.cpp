#include "platform/host/capture/encoder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace host {

namespace {

// The sound's descriptor in ffmpeg: the first one after the standard three.
constexpr int kSoundFd = 3;

std::string FolderOf(const std::string& path)
{
    size_t n = path.find_last_of('/');
    if (n == std::string::npos)
        return ".";
    return n == 0 ? "/" : path.substr(0, n);
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// A pipe's two ends, each closed when it goes unless it was handed on: a start that fails half
// way leaves no descriptor behind.
struct PipeEnds {
    int read = -1, write = -1;

    PipeEnds() = default;
    PipeEnds(const PipeEnds&) = delete;
    PipeEnds& operator=(const PipeEnds&) = delete;
    ~PipeEnds()
    {
        CloseFd(read);
        CloseFd(write);
    }
    bool Make()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
    static int Take(int& fd)
    {
        int n = fd;
        fd = -1;
        return n;
    }
};

bool EndsWith(const std::string& text, const char* pszEnd)
{
    const size_t n = std::strlen(pszEnd);
    if (text.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != pszEnd[i])
            return false;
    return true;
}

}  // namespace

// How the pictures and the sound are coded: H.264 and AAC, or in a .webm file VP9 and Opus.
// H.264: the High profile's 8 x 8 transform on ultrafast's other choices, at a quality that keeps
// the blocks of an enlarged picture clean (ARCHITECTURE.md has the measurements); CABAC would make
// the file a seventh smaller and the encoding a quarter slower. The AAC encoder runs on ffmpeg's
// one main thread with everything else it does, and its fast coder takes a third of the default
// one's time at the same rate. The index goes at the front of the file, so that a player starts
// before it has all of it. VP9 at its real-time speeds, each row of blocks on a thread of its own.
std::vector<const char*> Encoder::CodecArguments(const std::string& path)
{
    // clang-format off
    if (EndsWith(path, ".webm"))
        return {"-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p", "-crf", "12", "-b:v", "0",
                "-deadline", "realtime", "-cpu-used", "5", "-row-mt", "1",
                "-c:a", "libopus", "-b:a", "160k"};
    return {"-c:v", "libx264", "-preset", "ultrafast", "-x264-params", "8x8dct=1", "-profile:v", "high",
            "-crf", "16", "-pix_fmt", "yuv420p",
            "-c:a", "aac", "-aac_coder", "fast", "-b:a", "192k",
            "-movflags", "+faststart"};
    // clang-format on
}

Encoder::~Encoder()
{
    if (m_pid > 0) {
        std::string ignored;
        Finish(ignored);
    }
}

bool Encoder::Start(const std::string& path, std::string& error)
{
    m_path = path;
    std::string folder = FolderOf(path);
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = "cannot write \"" + path + "\": there is no folder \"" + folder + "\"";
        return false;
    }
    if (access(folder.c_str(), W_OK) != 0) {
        error = "cannot write \"" + path + "\": the folder \"" + folder + "\" is not writable";
        return false;
    }
    // A pipe whose reader has gone must fail the write, not end the process.
    signal(SIGPIPE, SIG_IGN);

    PipeEnds video, audio, messages, exec;
    if (!video.Make() || !audio.Make() || !messages.Make() || !exec.Make()) {
        error = std::string("cannot make the pipes to ffmpeg: ") + std::strerror(errno);
        return false;
    }
    // An enlarged picture is megabytes: the larger the pipe, the fewer turns the two sides take
    // at it. (The most an unprivileged process may ask for; less is no fault.)
    fcntl(video.write, F_SETPIPE_SZ, 1 << 20);
    const std::string size = std::to_string(kWidth * m_nScale) + "x" + std::to_string(kHeight * m_nScale);
    const std::string fps = std::to_string(kFps), rate = std::to_string(kRate), channels = std::to_string(kChannels);
    const std::string soundInput = "pipe:" + std::to_string(kSoundFd);
    // The pictures arrive as the encoder's own 4:2:0 planes, already enlarged. bitexact: two
    // renders write the same file. ffmpeg opens its inputs one after the other and, by default,
    // reads seconds of each to learn what it already knows here; meanwhile the other pipe would
    // fill and the recorder wait on it for ever, so neither input is probed.
    // The options in the groups ffmpeg reads them in.
    // clang-format off
    std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-nostats", "-loglevel", "error", "-y",
                                     "-probesize", "32", "-analyzeduration", "0",
                                     "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", size, "-framerate", fps,
                                     "-i", "pipe:0",
                                     "-probesize", "32", "-analyzeduration", "0",
                                     "-f", "s16le", "-ar", rate, "-ac", channels, "-i", soundInput,
                                     "-map", "0:v", "-map", "1:a"};
    // clang-format on
    for (const char* pszArg : CodecArguments(path))
        args.push_back(pszArg);
    for (const char* pszArg :
         {"-fflags", "+bitexact", "-flags:v", "+bitexact", "-flags:a", "+bitexact", "-map_metadata", "-1"})
        args.push_back(pszArg);
    args.push_back(path);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        // dup2 clears close-on-exec on the copies: exactly these reach ffmpeg.
        if (dup2(video.read, 0) < 0 || dup2(audio.read, kSoundFd) < 0 || dup2(messages.write, 2) < 0)
            _exit(127);
        execvp("ffmpeg", argv.data());
        int nErr = errno;
        ssize_t n = ::write(exec.write, &nErr, sizeof nErr);
        (void)n;
        _exit(127);
    }
    m_pid = pid;
    CloseFd(video.read);
    CloseFd(audio.read);
    CloseFd(messages.write);
    CloseFd(exec.write);
    // The exec pipe closes on a successful exec; an error number comes through it otherwise.
    int nErr = 0;
    ssize_t n;
    do
        n = ::read(exec.read, &nErr, sizeof nErr);
    while (n < 0 && errno == EINTR);
    if (n == sizeof nErr) {
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        error = nErr == ENOENT ? "ffmpeg is not installed (it is not on the PATH); install Debian's \"ffmpeg\" package"
                               : std::string("cannot start ffmpeg: ") + std::strerror(nErr);
        return false;
    }
    m_video.fd = PipeEnds::Take(video.write);
    m_video.nMaxQueued = 4;
    m_audio.fd = PipeEnds::Take(audio.write);
    m_fdMessages = PipeEnds::Take(messages.read);
    m_video.prepare = [this](std::vector<uint8_t>& buffer) { ToPlanes(buffer); };
    m_video.writer = std::thread([this] { Write(m_video); });
    m_audio.writer = std::thread([this] { Write(m_audio); });
    m_messageReader = std::thread([this] { ReadMessages(); });
    return true;
}

bool Encoder::Failed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bFailed;
}

// A queued picture: one byte that says which kind, then its bytes.
constexpr uint8_t kXrgbPicture = 'X', kPalettedPicture = 'P';
constexpr size_t kPixels = size_t(Encoder::kWidth) * Encoder::kHeight;

bool Encoder::Picture(const uint32_t* pXrgb)
{
    return Push(m_video, {{&kXrgbPicture, 1}, {pXrgb, kPixels * sizeof(uint32_t)}});
}

bool Encoder::Picture(const uint8_t* pIndices, const uint32_t* pPalette)
{
    return Push(m_video, {{&kPalettedPicture, 1}, {pIndices, kPixels}, {pPalette, 256 * sizeof(uint32_t)}});
}

void Encoder::ToPlanes(std::vector<uint8_t>& buffer)
{
    m_planes.resize(YuvConverter::Size(kWidth * m_nScale, kHeight * m_nScale));
    const uint8_t* pData = buffer.data() + 1;
    if (buffer[0] == kPalettedPicture) {
        uint32_t palette[256];
        std::memcpy(palette, pData + kPixels, sizeof palette);
        m_yuv.FromIndices(pData, palette, kWidth, kHeight, m_planes.data(), m_nScale);
    } else {
        // The queue's bytes hold whole words at an odd offset: they are read where they lie.
        std::vector<uint32_t>& xrgb = m_xrgb;
        xrgb.resize(kPixels);
        std::memcpy(xrgb.data(), pData, kPixels * sizeof(uint32_t));
        m_yuv.FromXrgb(xrgb.data(), kWidth, kHeight, m_planes.data(), m_nScale);
    }
    buffer.swap(m_planes);
}

bool Encoder::Sound(const int16_t* pSamples, int nFrames)
{
    return Push(m_audio, {{pSamples, size_t(nFrames) * kChannels * sizeof(int16_t)}});
}

bool Encoder::Push(Pipe& pipe, std::initializer_list<std::pair<const void*, size_t>> pieces)
{
    std::unique_lock<std::mutex> lock(pipe.mutex);
    pipe.changed.wait(lock, [&] { return Failed() || pipe.nMaxQueued == 0 || pipe.queue.size() < pipe.nMaxQueued; });
    if (Failed() || pipe.bClosed)
        return false;
    std::vector<uint8_t> buffer;
    if (!pipe.spare.empty()) {
        buffer = std::move(pipe.spare.back());
        pipe.spare.pop_back();
    }
    buffer.clear();
    for (const auto& piece : pieces) {
        auto* p = static_cast<const uint8_t*>(piece.first);
        buffer.insert(buffer.end(), p, p + piece.second);
    }
    pipe.queue.push_back(std::move(buffer));
    pipe.changed.notify_all();
    return true;
}

void Encoder::Write(Pipe& pipe)
{
    for (;;) {
        std::vector<uint8_t> buffer;
        {
            std::unique_lock<std::mutex> lock(pipe.mutex);
            pipe.changed.wait(lock, [&] { return !pipe.queue.empty() || pipe.bClosed; });
            if (pipe.queue.empty())
                break;
            buffer = std::move(pipe.queue.front());
            pipe.queue.pop_front();
            pipe.changed.notify_all();
        }
        if (pipe.prepare)
            pipe.prepare(buffer);
        size_t nDone = 0;
        while (nDone < buffer.size()) {
            ssize_t n = write(pipe.fd, buffer.data() + nDone, buffer.size() - nDone);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                // ffmpeg has stopped reading: it has ended or is ending, and says why on its own.
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_bFailed = true;
                }
                for (Pipe* p : {&m_video, &m_audio}) {
                    std::lock_guard<std::mutex> lock(p->mutex);
                    p->changed.notify_all();
                }
                std::lock_guard<std::mutex> lock(pipe.mutex);
                pipe.queue.clear();
                CloseFd(pipe.fd);
                return;
            }
            nDone += size_t(n);
        }
        std::lock_guard<std::mutex> lock(pipe.mutex);
        if (pipe.spare.size() < 4)
            pipe.spare.push_back(std::move(buffer));
    }
    std::lock_guard<std::mutex> lock(pipe.mutex);
    CloseFd(pipe.fd);  // the end of this input for ffmpeg
}

void Encoder::ReadMessages()
{
    std::string text;
    char buf[512];
    for (;;) {
        ssize_t n = read(m_fdMessages, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buf, size_t(n));
    }
    CloseFd(m_fdMessages);
    // The last line that says something.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    size_t nStart = text.find_last_of("\r\n");
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastMessage = nStart == std::string::npos ? text : text.substr(nStart + 1);
}

void Encoder::ClosePipes()
{
    for (Pipe* p : {&m_video, &m_audio}) {
        {
            std::lock_guard<std::mutex> lock(p->mutex);
            p->bClosed = true;
            p->changed.notify_all();
        }
        if (p->writer.joinable())
            p->writer.join();
    }
}

void Encoder::Abandon()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    std::string ignored;
    Finish(ignored);
}

bool Encoder::Finish(std::string& error)
{
    if (m_pid <= 0) {
        error = "the recording was never started";
        return false;
    }
    ClosePipes();
    int nStatus = 0;
    while (waitpid(m_pid, &nStatus, 0) < 0 && errno == EINTR) {}
    m_pid = -1;
    if (m_messageReader.joinable())
        m_messageReader.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    bool bOk = WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0 && !m_bFailed;
    if (bOk)
        return true;
    std::string why = m_lastMessage;
    if (why.empty())
        why = WIFSIGNALED(nStatus) ? "it was ended by signal " + std::to_string(WTERMSIG(nStatus))
                                   : "it exited with status " + std::to_string(WEXITSTATUS(nStatus));
    error = "ffmpeg did not write \"" + m_path + "\": " + why;
    return false;
}

}  // namespace host
