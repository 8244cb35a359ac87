#include "platform/host/sdl/message_box.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/host/host.h"
#include "platform/host/sdl/audio.h"
#include "platform/host/sdl/lettering.h"
#include "platform/host/signals.h"

namespace host {

namespace {

// The box's measures, in pixels.
constexpr int kFontPixels = 15, kPad = 20, kMaxTextWidth = 560, kMinWidth = 320, kStripe = 4;
constexpr int kButtonHeight = 30, kButtonMinWidth = 88, kButtonPad = 16, kButtonGap = 10;
// How often the box looks for a signal when nothing wakes it.
constexpr int kWaitMs = 100;

const char* Label(BoxAnswer answer)
{
    switch (answer) {
    case BoxAnswer::Ok: return "OK";
    case BoxAnswer::Cancel: return "Cancel";
    case BoxAnswer::Abort: return "Abort";
    case BoxAnswer::Retry: return "Retry";
    case BoxAnswer::Ignore: return "Ignore";
    case BoxAnswer::Yes: return "Yes";
    case BoxAnswer::No: return "No";
    default: return "";
    }
}

// Where the video driver shows windows to nobody, a box would wait for ever.
bool WindowsAreSeen()
{
    const char* pszDriver = SDL_GetCurrentVideoDriver();
    if (!pszDriver)
        return false;
    for (const char* pszBlind : {"dummy", "offscreen", "evdev"})
        if (std::strcmp(pszDriver, pszBlind) == 0)
            return false;
    return true;
}

// SDL's own box, where the host's cannot be drawn: it takes Return and Escape as the host's does.
BoxAnswer SdlBox(const std::string& caption, const std::string& text, BoxButtons kind, bool bError, SDL_Window* pOver)
{
    const BoxKeys keys = KeysOf(kind);
    std::vector<SDL_MessageBoxButtonData> buttons;
    for (BoxAnswer answer : keys.buttons) {
        Uint32 flags = 0;
        if (answer == keys.onReturn)
            flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        if (answer == keys.onEscape)
            flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        buttons.push_back(SDL_MessageBoxButtonData{flags, static_cast<int>(answer), Label(answer)});
    }
    SDL_MessageBoxData data = {};
    data.flags = bError ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    data.window = pOver;
    data.title = caption.c_str();
    data.message = text.c_str();
    data.numbuttons = static_cast<int>(buttons.size());
    data.buttons = buttons.data();
    int nChosen = 0;
    if (SDL_ShowMessageBox(&data, &nChosen) == 0 && nChosen > 0)
        return static_cast<BoxAnswer>(nChosen);
    return BoxAnswer::None;
}

class Box {
public:
    Box(const std::string& caption, const std::string& text, BoxButtons kind, bool bError, SDL_Window* pOver)
        : m_caption(caption), m_text(text), m_keys(KeysOf(kind)), m_bError(bError), m_pOver(pOver)
    {
        m_nFocus = static_cast<int>(std::find(m_keys.buttons.begin(), m_keys.buttons.end(), m_keys.onReturn) -
                                    m_keys.buttons.begin());
    }
    ~Box();

    // False where it could not be made (no font, no window).
    bool Make();
    BoxAnswer Run();

private:
    struct Button {
        BoxAnswer answer;
        SDL_Rect rect;
        SDL_Texture* pLabel = nullptr;
        int nLabelW = 0, nLabelH = 0;
    };

    bool Mine(Uint32 nWindowId) const { return nWindowId == SDL_GetWindowID(m_pWindow); }
    int ButtonAt(int x, int y) const;
    void MoveFocus(int nStep);
    void Draw();
    // The event's answer, None while the box stays.
    BoxAnswer Handle(const SDL_Event& e);

    std::string m_caption, m_text;
    BoxKeys m_keys;
    bool m_bError;
    SDL_Window* m_pOver;
    SDL_Window* m_pWindow = nullptr;
    SDL_Renderer* m_pRenderer = nullptr;
    SDL_Texture* m_pText = nullptr;
    int m_nTextW = 0, m_nTextH = 0, m_nWidth = 0, m_nHeight = 0;
    std::vector<Button> m_buttons;
    int m_nFocus = 0;
    int m_nPressed = -1;               // the button the mouse went down on
    std::vector<SDL_Event> m_putBack;  // other windows' events, for the host once the box is gone
};

Box::~Box()
{
    for (Button& b : m_buttons)
        if (b.pLabel)
            SDL_DestroyTexture(b.pLabel);
    if (m_pText)
        SDL_DestroyTexture(m_pText);
    if (m_pRenderer)
        SDL_DestroyRenderer(m_pRenderer);
    if (m_pWindow)
        SDL_DestroyWindow(m_pWindow);
    if (m_pOver) {
        // Without a window manager the keyboard would go nowhere once the box is gone.
        SDL_RaiseWindow(m_pOver);
        SDL_SetWindowInputFocus(m_pOver);
    }
    std::lock_guard<std::mutex> events(SdlAudioRestartLock());
    for (SDL_Event& e : m_putBack)
        SDL_PushEvent(&e);
}

bool Box::Make()
{
    Lettering font;
    if (!font.Open(kFontPixels))
        return false;
    const Mask text = font.Draw(font.Wrap(m_text, kMaxTextWidth));
    std::vector<Mask> labels;
    int nButtonsW = 0;
    for (BoxAnswer answer : m_keys.buttons) {
        labels.push_back(font.Draw({Label(answer)}));
        const int w = std::max(kButtonMinWidth, labels.back().nWidth + 2 * kButtonPad);
        m_buttons.push_back(Button{answer, SDL_Rect{0, 0, w, kButtonHeight}});
        nButtonsW += w + (m_buttons.size() > 1 ? kButtonGap : 0);
    }
    m_nWidth = std::max({kMinWidth, text.nWidth + 2 * kPad, nButtonsW + 2 * kPad});
    m_nHeight = kStripe + kPad + text.nHeight + kPad + kButtonHeight + kPad;
    // The buttons along the bottom, on the right, in order.
    int x = m_nWidth - kPad - nButtonsW;
    for (Button& b : m_buttons) {
        b.rect.x = x;
        b.rect.y = m_nHeight - kPad - kButtonHeight;
        x += b.rect.w + kButtonGap;
    }

    const int nDisplay = m_pOver ? std::max(0, SDL_GetWindowDisplayIndex(m_pOver)) : 0;
    m_pWindow = SDL_CreateWindow(m_caption.c_str(), SDL_WINDOWPOS_CENTERED_DISPLAY(nDisplay),
                                 SDL_WINDOWPOS_CENTERED_DISPLAY(nDisplay), m_nWidth, m_nHeight,
                                 SDL_WINDOW_HIDDEN | SDL_WINDOW_ALWAYS_ON_TOP);
    if (!m_pWindow)
        return false;
    m_pRenderer = SDL_CreateRenderer(m_pWindow, -1, SDL_RENDERER_SOFTWARE);
    if (!m_pRenderer)
        return false;
    m_pText = MaskTexture(m_pRenderer, text, 30, 30, 30);
    m_nTextW = text.nWidth;
    m_nTextH = text.nHeight;
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        m_buttons[i].pLabel = MaskTexture(m_pRenderer, labels[i], 30, 30, 30);
        m_buttons[i].nLabelW = labels[i].nWidth;
        m_buttons[i].nLabelH = labels[i].nHeight;
    }
    if (m_pOver)
        SDL_SetWindowModalFor(m_pWindow, m_pOver);
    SDL_ShowWindow(m_pWindow);
    SDL_RaiseWindow(m_pWindow);
    SDL_SetWindowInputFocus(m_pWindow);
    Draw();
    return true;
}

int Box::ButtonAt(int x, int y) const
{
    const SDL_Point p{x, y};
    for (size_t i = 0; i < m_buttons.size(); ++i)
        if (SDL_PointInRect(&p, &m_buttons[i].rect))
            return static_cast<int>(i);
    return -1;
}

void Box::MoveFocus(int nStep)
{
    const int n = static_cast<int>(m_buttons.size());
    m_nFocus = ((m_nFocus + nStep) % n + n) % n;
}

void Box::Draw()
{
    SDL_Renderer* r = m_pRenderer;
    SDL_SetRenderDrawColor(r, 240, 240, 240, 255);
    SDL_RenderClear(r);
    // A stripe along the top says what kind of box it is: red for an error.
    SDL_Rect stripe{0, 0, m_nWidth, kStripe};
    if (m_bError)
        SDL_SetRenderDrawColor(r, 190, 40, 40, 255);
    else
        SDL_SetRenderDrawColor(r, 40, 100, 190, 255);
    SDL_RenderFillRect(r, &stripe);
    if (m_pText) {
        SDL_Rect dst{kPad, kStripe + kPad, m_nTextW, m_nTextH};
        SDL_RenderCopy(r, m_pText, nullptr, &dst);
    }
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        const Button& b = m_buttons[i];
        const bool bFocus = static_cast<int>(i) == m_nFocus;
        const int nGrey = static_cast<int>(i) == m_nPressed ? 215 : 252;
        SDL_SetRenderDrawColor(r, Uint8(nGrey), Uint8(nGrey), Uint8(nGrey), 255);
        SDL_RenderFillRect(r, &b.rect);
        if (bFocus)
            SDL_SetRenderDrawColor(r, 40, 100, 190, 255);
        else
            SDL_SetRenderDrawColor(r, 150, 150, 150, 255);
        SDL_RenderDrawRect(r, &b.rect);
        if (bFocus) {
            SDL_Rect inner{b.rect.x + 1, b.rect.y + 1, b.rect.w - 2, b.rect.h - 2};
            SDL_RenderDrawRect(r, &inner);
        }
        if (b.pLabel) {
            SDL_Rect dst{b.rect.x + (b.rect.w - b.nLabelW) / 2, b.rect.y + (b.rect.h - b.nLabelH) / 2, b.nLabelW,
                         b.nLabelH};
            SDL_RenderCopy(r, b.pLabel, nullptr, &dst);
        }
    }
    SDL_RenderPresent(r);
}

BoxAnswer Box::Handle(const SDL_Event& e)
{
    switch (e.type) {
    case SDL_WINDOWEVENT:
        if (!Mine(e.window.windowID))
            break;
        if (e.window.event == SDL_WINDOWEVENT_CLOSE)
            return m_keys.onEscape;
        Draw();
        return BoxAnswer::None;
    case SDL_KEYDOWN:
        if (!Mine(e.key.windowID))
            return BoxAnswer::None;
        switch (e.key.keysym.sym) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
        case SDLK_SPACE: return m_buttons[size_t(m_nFocus)].answer;
        case SDLK_ESCAPE: return m_keys.onEscape;
        case SDLK_TAB: MoveFocus((e.key.keysym.mod & KMOD_SHIFT) ? -1 : 1); break;
        case SDLK_LEFT:
        case SDLK_UP: MoveFocus(-1); break;
        case SDLK_RIGHT:
        case SDLK_DOWN: MoveFocus(1); break;
        default: return BoxAnswer::None;
        }
        Draw();
        return BoxAnswer::None;
    case SDL_MOUSEBUTTONDOWN:
        if (Mine(e.button.windowID) && e.button.button == SDL_BUTTON_LEFT) {
            m_nPressed = ButtonAt(e.button.x, e.button.y);
            if (m_nPressed >= 0)
                m_nFocus = m_nPressed;
            Draw();
        }
        return BoxAnswer::None;
    case SDL_MOUSEBUTTONUP:
        if (Mine(e.button.windowID) && e.button.button == SDL_BUTTON_LEFT) {
            const int nPressed = m_nPressed;
            m_nPressed = -1;
            if (nPressed >= 0 && ButtonAt(e.button.x, e.button.y) == nPressed)
                return m_buttons[size_t(nPressed)].answer;
            Draw();
        }
        return BoxAnswer::None;
    case SDL_KEYUP:
    case SDL_TEXTINPUT:
    case SDL_TEXTEDITING:
    case SDL_MOUSEMOTION:
    case SDL_MOUSEWHEEL:
    case SDL_QUIT: return BoxAnswer::None;
    default:
        // The host's own wake-ups only wake the box; the rest waits for the host.
        if (e.type >= SDL_USEREVENT)
            return BoxAnswer::None;
        break;
    }
    m_putBack.push_back(e);
    return BoxAnswer::None;
}

BoxAnswer Box::Run()
{
    for (;;) {
        if (EndSignal() != 0)
            return m_keys.onSignal;
        SDL_Event e;
        {
            // Not while the sound device is started again (platform/host/sdl/audio.h).
            std::unique_lock<std::mutex> events(SdlAudioRestartLock(), std::try_to_lock);
            if (!events.owns_lock()) {
                SDL_Delay(kWaitMs / 10);
                continue;
            }
            if (!SDL_WaitEventTimeout(&e, kWaitMs))
                continue;
        }
        BoxAnswer answer = Handle(e);
        if (answer != BoxAnswer::None)
            return answer;
    }
}

}  // namespace

BoxKeys KeysOf(BoxButtons kind)
{
    using A = BoxAnswer;
    switch (kind) {
    case BoxButtons::OkCancel: return {{A::Ok, A::Cancel}, A::Ok, A::Cancel, A::Cancel};
    case BoxButtons::AbortRetryIgnore: return {{A::Abort, A::Retry, A::Ignore}, A::Abort, A::Abort, A::Ignore};
    case BoxButtons::YesNoCancel: return {{A::Yes, A::No, A::Cancel}, A::Yes, A::Cancel, A::Cancel};
    case BoxButtons::YesNo: return {{A::Yes, A::No}, A::Yes, A::No, A::No};
    case BoxButtons::RetryCancel: return {{A::Retry, A::Cancel}, A::Retry, A::Cancel, A::Cancel};
    default: return {{A::Ok}, A::Ok, A::Ok, A::Ok};
    }
}

BoxAnswer ShowMessageBox(const std::string& caption, const std::string& text, BoxButtons kind, bool bError,
                         SDL_Window* pOver, bool bOnMainThread)
{
    if (EndSignal() != 0)
        return KeysOf(kind).onSignal;  // the run is ending: nobody is to be asked
    if (WindowsAreSeen()) {
        const bool bCursor = SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
        SDL_ShowCursor(SDL_ENABLE);
        BoxAnswer answer = BoxAnswer::None;
        if (bOnMainThread) {
            Box box(caption, text, kind, bError, pOver);
            if (box.Make())
                answer = box.Run();
        }
        if (answer == BoxAnswer::None)
            answer = SdlBox(caption, text, kind, bError, pOver);
        SDL_ShowCursor(bCursor ? SDL_ENABLE : SDL_DISABLE);
        if (answer != BoxAnswer::None)
            return answer;
    }
    // No way to ask: the first button stops where there is a choice.
    return AnswerOnStderr(caption, text, kind);
}

}  // namespace host
