// The seam between the stand-in and the machine. The stand-in's calls reach the machine only
// through the one installed host: SDL2 for the demo, headless for tests, capture for the video
// recorder. Windows are named by the stand-in's own numbers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace host {

enum class EventType { Key, MouseMove, MouseButton, Focus, Close };
enum class Button { Left, Right, Middle };

struct Event {
    EventType type = EventType::Key;
    uint32_t window = 0;  // 0: the window that has the focus
    int vk = 0;           // Key: Windows virtual-key code
    bool down = false;    // Key, MouseButton: pressed; Focus: gained
    int x = 0, y = 0;     // MouseMove, MouseButton: client coordinates, may lie outside
    Button button = Button::Left;
};

// Pulls interleaved signed 16-bit samples: frames × channels values.
using AudioPull = std::function<void(int16_t* pSamples, int nFrames)>;

class Host {
public:
    virtual ~Host() = default;

    virtual bool OpenWindow(uint32_t id, const std::string& title, int nWidth, int nHeight, bool bFullscreen) = 0;
    virtual void ShowWindow(uint32_t id) = 0;
    virtual void CloseWindow(uint32_t id) = 0;
    virtual void SetTitle(uint32_t id, const std::string& title) = 0;
    // xrgb: nWidth × nHeight pixels 0x00RRGGBB, rows top to bottom.
    virtual void Present(uint32_t id, const uint32_t* pXrgb, int nWidth, int nHeight) = 0;

    virtual bool PollEvent(Event& event) = 0;
    virtual void WaitEvent(int nTimeoutMs) = 0;
    virtual void SetCursorVisible(bool bVisible) = 0;
    virtual void SetMouseCapture(uint32_t id, bool bCapture) = 0;
    virtual void GetDisplaySize(int& nWidth, int& nHeight) = 0;

    // type: the MB_ flags; returns the IDOK-style code of the button chosen.
    virtual int MessageBox(const std::string& caption, const std::string& text, unsigned type) = 0;

    virtual bool OpenAudio(int nRate, int nChannels, AudioPull pull) = 0;
    virtual void CloseAudio() = 0;
};

// The installed host. Until one is installed, a headless one stands in; as there is nobody to
// answer its message boxes, it says each on one line of standard error and takes the first
// button (Abort, for an assertion).
Host& Current();

// A message box where none can be shown: the caption and text on one line of standard error;
// the result is the first button of the box's kind.
int AnswerOnStderr(const std::string& caption, const std::string& text, unsigned type);
void Install(std::unique_ptr<Host> pHost);

}  // namespace host
