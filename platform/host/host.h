// The seam between the stand-in and the machine. The stand-in's calls reach the machine only
// through the one installed host: SDL2 for the demo (platform/host/sdl), headless for the tests
// (headless), capture for the video recorder (capture), the page for the browser (web), and the
// default host below until one is installed. Windows are named by the stand-in's own numbers;
// keys and message boxes by the codes of codes.h. A host implements this interface and needs
// nothing else from below: it never includes a stand-in header.
//
// Frames. SetImage replaces what a window shows and never waits: palette changes and drawing go
// that way. EndFrame is the one pacing point: the stand-in calls it where a whole frame is put on
// the screen (a copy into a window's client area, a flip), and there a host waits for its display,
// records a frame or steps its clock. An image replaced without a frame end (a palette change)
// shows at the next frame end or the next look at the input, whichever comes first.
//
// Threads. Everything here is called on the main thread, except:
//   - NowMs may be called from any thread;
//   - the AudioPull given to OpenAudio is called on a thread of the host's own (or, headless, on
//     whichever thread the test pulls from).
// The pull fills every frame it is asked for (silence where there is nothing to play), never
// calls back into the host, never allocates, and never waits on the main thread; any lock it
// takes is one the other side holds only for a short, bounded copy or update, never across a
// call that can block. A host that pulls in step (PullsInStep) calls the pull on the main thread;
// that pull also waits until the stand-in's own threads have answered what it asked of them.
//
// Shutdown. CloseAudio returns only once the pull has returned for the last time and will not be
// called again. The host closes its audio before anything the pull reads is destroyed: the stand-in
// closes it before it destroys its mixer, and at process exit (where static destructors run while
// a host's audio thread may still be pulling) a host whose pull runs on a thread of its own closes
// it through CloseAudioAtExit, from the first atexit handler registered after the audio opened,
// which runs before the destructors of anything made earlier.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/host/codes.h"

namespace host {

// Display: the exclusive display was taken away from the program (down false: the user switched
// away, it is minimized) or given back (down true).
enum class EventType { Key, MouseMove, MouseButton, Focus, Close, Display };
enum class Button { Left, Right, Middle };

struct Event {
    EventType type = EventType::Key;
    uint32_t window = 0;  // 0: the window that has the focus
    int vk = 0;           // Key: the key's code (codes.h)
    bool down = false;    // Key, MouseButton: pressed; Focus: gained
    int x = 0, y = 0;     // MouseMove, MouseButton: client coordinates, may lie outside
    Button button = Button::Left;
};

// Fills nFrames frames of interleaved signed 16-bit samples (frames × channels values).
using AudioPull = std::function<void(int16_t* pSamples, int nFrames)>;

class Host {
public:
    virtual ~Host() = default;

    // Windows, made hidden, with a client area of nWidth × nHeight.
    virtual bool OpenWindow(uint32_t id, const std::string& title, int nWidth, int nHeight) = 0;
    virtual void ShowWindow(uint32_t id) = 0;
    virtual void HideWindow(uint32_t id) = 0;
    virtual void CloseWindow(uint32_t id) = 0;
    virtual void SetTitle(uint32_t id, const std::string& title) = 0;

    // The exclusive display. The window becomes the display: shown, over everything, its images
    // (nWidth × nHeight) scaled to the screen with their shape kept, centred on black (as large as
    // the shape allows with the pixels kept sharp, or where the viewer asked for it, by the
    // largest whole factor that fits), and its frame ends paced at 60 per second whatever the
    // monitor's rate. Where the user asked for it, the same display sits
    // in a desktop window instead. ReleaseDisplay gives the desktop back; the window is hidden
    // again unless ShowWindow showed it.
    virtual bool TakeDisplay(uint32_t id, int nWidth, int nHeight) = 0;
    virtual void ReleaseDisplay(uint32_t id) = 0;

    // Frames. xrgb: nWidth × nHeight pixels 0x00RRGGBB, rows top to bottom; copied at once.
    virtual void SetImage(uint32_t id, const uint32_t* pXrgb, int nWidth, int nHeight) = 0;
    // The same for an 8-bit display (the exclusive display's mode): nWidth × nHeight palette
    // indices, rows top to bottom nPitch bytes apart, and the 256 colours 0x00RRGGBB they stand
    // for, as the display's palette holds them; both copied at once. A host that wants pixels
    // converts them with a FrameConverter of its own (platform/host/pixels.h).
    virtual void SetPalettedImage(uint32_t id, const uint8_t* pIndices, ptrdiff_t nPitch, const uint32_t* pPalette,
                                  int nWidth, int nHeight) = 0;
    virtual void EndFrame(uint32_t id) = 0;

    // Input. PollEvent hands out one event a call; the stand-in calls it until it returns false
    // each time it looks at its message queue (a "pump").
    virtual bool PollEvent(Event& event) = 0;
    virtual void WaitEvent(int nTimeoutMs) = 0;
    virtual void SetCursorVisible(bool bVisible) = 0;
    virtual void SetMouseCapture(uint32_t id, bool bCapture) = 0;
    virtual void GetDisplaySize(int& nWidth, int& nHeight) = 0;

    // Shows a box with these buttons (bError: it tells of an error) and waits for the choice.
    virtual BoxAnswer MessageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                                 bool bError) = 0;

    // Audio: the device's rate and channels (16-bit signed samples).
    virtual bool OpenAudio(int nRate, int nChannels, AudioPull pull) = 0;
    // The rate the host's output takes, where it has one of its own (the recorder's video): the
    // stand-in then mixes at it, converting each sound's own rate on the way. 0: the stand-in's.
    virtual int AudioRate() { return 0; }
    virtual void CloseAudio() = 0;
    // True for a host that pulls the sound on the main thread, in step with a clock of its own
    // (the recorder): then each pull returns only once the threads that refill the sound have
    // answered every notification it gave, so that what is heard never depends on how the
    // machine scheduled them. Asked when the audio opens.
    virtual bool PullsInStep() { return false; }

    // The millisecond clock that times the production; any thread.
    virtual long NowMs() = 0;
};

// The installed host. Until one is installed the default host answers: it says each message box
// on one line of standard error and takes the first button (Abort, for an assertion), has no
// windows and no audio, and its clock is the wall clock.
Host& Current();
// Installs a host (null: the default one again); its clock becomes the production's clock.
void Install(std::unique_ptr<Host> pHost);

// A message box where none can be shown: the caption and text on one line of standard error;
// the answer is the box's first button.
BoxAnswer AnswerOnStderr(const std::string& caption, const std::string& text, BoxButtons buttons);
// Milliseconds of a monotonic wall clock since its first reading.
long WallClockMs();

// For a host whose audio thread may still pull when the process exits: call once the audio has
// opened, and the host's CloseAudio runs at exit before anything made earlier is destroyed.
// CloseAudio itself calls ForgetAudioAtExit, so that a closed or destroyed host is left alone.
void CloseAudioAtExit(Host& host);
void ForgetAudioAtExit(Host& host);

}  // namespace host
