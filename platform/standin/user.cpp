// The window manager of the stand-in: one thread's windows and message queue. Host input becomes
// the messages Windows would post, at the moment the queue is looked at, as on Windows.
#include "platform/standin/user.h"

#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/standin/ddraw.h"
#include "platform/standin/faults.h"
#include "platform/standin/testing.h"
#include "platform/host/host.h"
#include "platform/standin/window_internal.h"

namespace {

struct Window {
    uint32_t id = 0;
    WNDCLASSA wc = {};
    std::string title;
    DWORD style = 0;
    int x = 0, y = 0, nWidth = 0, nHeight = 0;
    int nClientW = 0, nClientH = 0;
    bool bVisible = false;
};

struct State {
    std::map<std::string, WNDCLASSA> classes;
    std::map<std::string, std::string> classNames;  // keeps the names the records point to
    std::map<uint32_t, std::unique_ptr<Window>> windows;
    uint32_t nNextId = 0x100;
    std::deque<MSG> queue;
    uint32_t nActive = 0;
    uint32_t nCapture = 0;
    bool bKeyDown[256] = {};
    POINT ptCursor = {0, 0};
    HCURSOR hCursor = nullptr;
};

State& S()
{
    static State* s = new State;  // outlives the static objects destroyed at exit
    return *s;
}

// Handles are the window numbers themselves, so a stale handle never aliases memory.
HWND ToHandle(uint32_t id)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(id));
}

uint32_t ToId(HWND hWnd)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hWnd));
}

Window* Find(HWND hWnd)
{
    auto it = S().windows.find(ToId(hWnd));
    return it == S().windows.end() ? nullptr : it->second.get();
}

// The window filter of PeekMessageA and GetMessageA that asks for thread messages only.
const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

const HCURSOR kArrowCursor = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x7F00));
const HICON kApplicationIcon = reinterpret_cast<HICON>(static_cast<uintptr_t>(0x7F01));

void Post(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    MSG msg = {};
    msg.hwnd = hWnd;
    msg.message = nMsg;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = static_cast<DWORD>(ClockMs());
    msg.pt = S().ptCursor;
    S().queue.push_back(msg);
}

// The host's key codes are Windows' own numbers for the same keys (codes.h): a letter, a digit
// or a named key passes through as it is.
static_assert(host::key::kEscape == VK_ESCAPE && host::key::kReturn == VK_RETURN && host::key::kSpace == VK_SPACE &&
                  host::key::kBack == VK_BACK && host::key::kTab == VK_TAB && host::key::kShift == VK_SHIFT &&
                  host::key::kControl == VK_CONTROL && host::key::kAlt == VK_MENU && host::key::kPause == VK_PAUSE &&
                  host::key::kCapsLock == VK_CAPITAL && host::key::kPageUp == VK_PRIOR &&
                  host::key::kPageDown == VK_NEXT && host::key::kEnd == VK_END && host::key::kHome == VK_HOME &&
                  host::key::kLeft == VK_LEFT && host::key::kUp == VK_UP && host::key::kRight == VK_RIGHT &&
                  host::key::kDown == VK_DOWN && host::key::kInsert == VK_INSERT && host::key::kDelete == VK_DELETE &&
                  host::key::kF1 == VK_F1 && host::key::kF12 == VK_F12,
              "the host's key codes are Windows' virtual-key codes");

// The virtual key of a host's key; the left and right variants of a modifier are the modifier.
int NormalizeKey(int vk)
{
    switch (vk) {
    case VK_LMENU:
    case VK_RMENU: return VK_MENU;
    case VK_LSHIFT:
    case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL: return VK_CONTROL;
    default: return vk & 0xFF;
    }
}

// Keys go to the active window; the mouse goes to the window that captured it, if any.
HWND InputTarget(uint32_t nWindow, bool bMouse = false)
{
    if (nWindow != 0)
        return S().windows.count(nWindow) ? ToHandle(nWindow) : nullptr;
    if (bMouse && S().nCapture != 0)
        return ToHandle(S().nCapture);
    return S().windows.count(S().nActive) ? ToHandle(S().nActive) : nullptr;
}

// A key press is a system key when it is Alt itself, when Alt is held, or F10.
void DeliverKey(const host::Event& e)
{
    int vk = NormalizeKey(e.vk);
    State& s = S();
    bool bAlt = s.bKeyDown[VK_MENU];
    bool bWasDown = s.bKeyDown[vk];
    s.bKeyDown[vk] = e.down;
    HWND hWnd = InputTarget(e.window);
    if (!hWnd)
        return;
    bool bSystem = vk == VK_MENU || bAlt || vk == VK_F10;
    UINT nMsg = e.down ? (bSystem ? WM_SYSKEYDOWN : WM_KEYDOWN) : (bSystem ? WM_SYSKEYUP : WM_KEYUP);
    DWORD dwFlags = 1;  // repeat count
    if (bAlt || (vk == VK_MENU && e.down))
        dwFlags |= DWORD{KF_ALTDOWN} << 16;
    if (bWasDown)
        dwFlags |= DWORD{KF_REPEAT} << 16;
    if (!e.down)
        dwFlags |= DWORD{KF_UP} << 16;
    Post(hWnd, nMsg, static_cast<WPARAM>(vk), static_cast<LPARAM>(static_cast<LONG>(dwFlags)));
}

// Over the client area the window is asked for its pointer shape first, as Windows does; while
// the mouse is captured it is not asked.
void AskForCursor(HWND hWnd, UINT nMouseMsg)
{
    if (S().nCapture == 0)
        SendMessageA(hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hWnd), MAKELPARAM(HTCLIENT, nMouseMsg));
}

WPARAM MouseKeys()
{
    const State& s = S();
    WPARAM w = 0;
    if (s.bKeyDown[VK_LBUTTON])
        w |= MK_LBUTTON;
    if (s.bKeyDown[VK_RBUTTON])
        w |= MK_RBUTTON;
    if (s.bKeyDown[VK_SHIFT])
        w |= MK_SHIFT;
    if (s.bKeyDown[VK_CONTROL])
        w |= MK_CONTROL;
    return w;
}

void DeliverMouse(const host::Event& e)
{
    HWND hWnd = InputTarget(e.window, true);
    Window* pWnd = Find(hWnd);
    if (!pWnd)
        return;
    bool bInside = e.x >= 0 && e.y >= 0 && e.x < pWnd->nClientW && e.y < pWnd->nClientH;
    if (!bInside && S().nCapture != pWnd->id)
        return;
    S().ptCursor = {e.x, e.y};
    UINT nMsg = WM_MOUSEMOVE;
    if (e.type == host::EventType::MouseButton) {
        static const UINT kDown[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
        static const UINT kUp[] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
        static const int kVk[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
        int b = static_cast<int>(e.button);
        nMsg = e.down ? kDown[b] : kUp[b];
        S().bKeyDown[kVk[b]] = e.down;
    }
    AskForCursor(hWnd, nMsg);
    // Positions are packed as two unsigned 16-bit halves, so left of the window reads near 65535.
    Post(hWnd, nMsg, MouseKeys(), MAKELPARAM(static_cast<WORD>(e.x), static_cast<WORD>(e.y)));
}

void DeliverHostEvents()
{
    host::Event e;
    while (host::Current().PollEvent(e)) {
        switch (e.type) {
        case host::EventType::Key: DeliverKey(e); break;
        case host::EventType::MouseMove:
        case host::EventType::MouseButton: DeliverMouse(e); break;
        case host::EventType::Focus:
            if (HWND hWnd = InputTarget(e.window))
                SendMessageA(hWnd, WM_ACTIVATEAPP, e.down ? TRUE : FALSE, 0);
            break;
        case host::EventType::Display: standin::DisplayActivated(e.down); break;
        case host::EventType::Close:
            if (HWND hWnd = InputTarget(e.window))
                Post(hWnd, WM_CLOSE, 0, 0);
            break;
        }
    }
}

bool Matches(const MSG& msg, HWND hWnd, UINT nMin, UINT nMax)
{
    if (hWnd == kThreadMessagesOnly) {
        if (msg.hwnd != nullptr)
            return false;
    } else if (hWnd != nullptr && msg.hwnd != hWnd) {
        return false;
    }
    if (nMin == 0 && nMax == 0)
        return true;
    return msg.message >= nMin && msg.message <= nMax;
}

bool TakeMessage(LPMSG lpMsg, HWND hWnd, UINT nMin, UINT nMax, bool bRemove)
{
    DeliverHostEvents();
    auto& q = S().queue;
    for (auto it = q.begin(); it != q.end(); ++it) {
        if (!Matches(*it, hWnd, nMin, nMax))
            continue;
        *lpMsg = *it;
        if (bRemove)
            q.erase(it);
        return true;
    }
    return false;
}

void CopyText(LPSTR lpDest, int nMax, const std::string& text)
{
    if (!lpDest || nMax <= 0)
        return;
    size_t n = std::min(text.size(), static_cast<size_t>(nMax - 1));
    std::memcpy(lpDest, text.data(), n);
    lpDest[n] = '\0';
}

}  // namespace

namespace standin {

bool WindowClientSize(HWND hWnd, int& nWidth, int& nHeight)
{
    Window* pWnd = Find(hWnd);
    if (!pWnd)
        return false;
    nWidth = pWnd->nClientW;
    nHeight = pWnd->nClientH;
    return true;
}

uint32_t WindowId(HWND hWnd)
{
    return Find(hWnd) ? ToId(hWnd) : 0;
}

void ActivateWindow(HWND hWnd)
{
    if (Find(hWnd))
        S().nActive = ToId(hWnd);
}

void ResetWindows()
{
    State& s = S();
    for (auto& w : s.windows)
        host::Current().CloseWindow(w.first);
    s.windows.clear();
    s.classes.clear();
    s.classNames.clear();
    s.queue.clear();
    s.nActive = s.nCapture = 0;
    std::memset(s.bKeyDown, 0, sizeof s.bKeyDown);
    s.hCursor = nullptr;
}

size_t QueuedMessages()
{
    return S().queue.size();
}

}  // namespace standin

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass)
{
    if (!lpWndClass || !lpWndClass->lpszClassName || !lpWndClass->lpfnWndProc)
        return 0;
    if (standin::ShouldFail("RegisterClassA"))
        return 0;
    std::string name = lpWndClass->lpszClassName;
    State& s = S();
    if (s.classes.count(name))
        return 0;  // the class already exists
    s.classNames[name] = name;
    WNDCLASSA wc = *lpWndClass;
    wc.lpszClassName = s.classNames[name].c_str();
    wc.lpszMenuName = nullptr;  // the record's menu name need not outlive the call
    s.classes[name] = wc;
    return static_cast<ATOM>(0xC000 + s.classes.size());
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int x, int y, int nWidth,
                            int nHeight, HWND, HMENU, HINSTANCE, LPVOID)
{
    State& s = S();
    auto cls = lpClassName ? s.classes.find(lpClassName) : s.classes.end();
    if (cls == s.classes.end() || standin::ShouldFail("CreateWindowExA"))
        return nullptr;
    auto pWnd = std::make_unique<Window>();
    pWnd->id = s.nNextId;
    s.nNextId += 4;
    pWnd->wc = cls->second;
    pWnd->title = lpWindowName ? lpWindowName : "";
    pWnd->style = dwStyle;
    pWnd->x = x;
    pWnd->y = y;
    pWnd->nWidth = nWidth;
    pWnd->nHeight = nHeight;
    // The standard frame: 3 pixels each side, a 22-pixel caption above the client area.
    bool bCaption = (dwStyle & WS_CAPTION) == WS_CAPTION;
    pWnd->nClientW = std::max(0, bCaption ? nWidth - 6 : nWidth);
    pWnd->nClientH = std::max(0, bCaption ? nHeight - 25 : nHeight);
    // A window by itself is not the display, whatever its style: DirectDraw takes the display.
    if (!host::Current().OpenWindow(pWnd->id, pWnd->title, pWnd->nClientW, pWnd->nClientH))
        return nullptr;
    HWND hWnd = ToHandle(pWnd->id);
    s.windows[pWnd->id] = std::move(pWnd);
    SendMessageA(hWnd, WM_CREATE, 0, 0);
    if (dwStyle & WS_VISIBLE)
        ShowWindow(hWnd, SW_SHOW);
    return hWnd;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    Window* pWnd = Find(hWnd);
    if (!pWnd)
        return FALSE;
    BOOL bWasVisible = pWnd->bVisible;
    if (nCmdShow == SW_HIDE) {
        if (bWasVisible) {
            pWnd->bVisible = false;
            host::Current().HideWindow(pWnd->id);
            SendMessageA(hWnd, WM_SHOWWINDOW, FALSE, 0);
        }
        return bWasVisible;
    }
    if (!pWnd->bVisible) {
        pWnd->bVisible = true;
        host::Current().ShowWindow(pWnd->id);
        SendMessageA(hWnd, WM_SHOWWINDOW, TRUE, 0);
    }
    S().nActive = pWnd->id;
    return bWasVisible;
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    Window* pWnd = Find(hWnd);
    if (!pWnd)
        return FALSE;
    uint32_t id = pWnd->id;
    State& s = S();
    if (s.nCapture == id)
        ReleaseCapture();
    SendMessageA(hWnd, WM_DESTROY, 0, 0);
    SendMessageA(hWnd, WM_NCDESTROY, 0, 0);
    // Messages still queued for the window go with it.
    for (auto it = s.queue.begin(); it != s.queue.end();)
        it = it->hwnd == hWnd ? s.queue.erase(it) : it + 1;
    host::Current().CloseWindow(id);
    s.windows.erase(id);
    if (s.nActive == id)
        s.nActive = 0;
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd)
{
    return Find(hWnd) != nullptr;
}

BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    Window* pWnd = Find(hWnd);
    return pWnd && pWnd->bVisible;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    Window* pWnd = Find(hWnd);
    if (!pWnd)
        return FALSE;
    pWnd->title = lpString ? lpString : "";
    host::Current().SetTitle(pWnd->id, pWnd->title);
    return TRUE;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount)
{
    Window* pWnd = Find(hWnd);
    if (!pWnd) {
        CopyText(lpString, nMaxCount, "");
        return 0;
    }
    CopyText(lpString, nMaxCount, pWnd->title);
    return static_cast<int>(std::min(pWnd->title.size(), static_cast<size_t>(std::max(0, nMaxCount - 1))));
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    Window* pWnd = Find(hWnd);
    if (!pWnd || !lpRect)
        return FALSE;
    *lpRect = {0, 0, pWnd->nClientW, pWnd->nClientH};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    Window* pWnd = Find(hWnd);
    if (!pWnd || !lpRect)
        return FALSE;
    *lpRect = {pWnd->x, pWnd->y, pWnd->x + pWnd->nWidth, pWnd->y + pWnd->nHeight};
    return TRUE;
}

HWND WINAPI GetActiveWindow()
{
    return S().windows.count(S().nActive) ? ToHandle(S().nActive) : nullptr;
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    if (!lpMsg)
        return FALSE;
    return TakeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0);
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    if (!lpMsg)
        return -1;
    for (;;) {
        bool bThreadOnly = hWnd == kThreadMessagesOnly;
        if (hWnd && !bThreadOnly && !Find(hWnd))
            return -1;
        if (TakeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true))
            return lpMsg->message == WM_QUIT ? FALSE : TRUE;
        host::Current().WaitEvent(10);
    }
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg)
{
    if (!lpMsg || (lpMsg->message != WM_KEYDOWN && lpMsg->message != WM_SYSKEYDOWN))
        return FALSE;
    int vk = static_cast<int>(lpMsg->wParam);
    const bool* bDown = S().bKeyDown;
    int ch = 0;
    if (vk >= 'A' && vk <= 'Z')
        ch = bDown[VK_SHIFT] ? vk : vk + ('a' - 'A');
    else if ((vk >= '0' && vk <= '9') || vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK ||
             vk == VK_TAB)
        ch = vk;
    if (ch == 0)
        return FALSE;
    // The character is the next message retrieved, ahead of anything queued later.
    MSG chr = *lpMsg;
    chr.message = lpMsg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    chr.wParam = static_cast<WPARAM>(ch);
    S().queue.push_front(chr);
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg)
{
    if (!lpMsg)
        return 0;
    Window* pWnd = Find(lpMsg->hwnd);
    if (!pWnd)
        return 0;
    return pWnd->wc.lpfnWndProc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (hWnd && !Find(hWnd))
        return FALSE;
    Post(hWnd, Msg, wParam, lParam);
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Window* pWnd = Find(hWnd);
    if (!pWnd)
        return 0;
    return pWnd->wc.lpfnWndProc(hWnd, Msg, wParam, lParam);
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Window* pWnd = Find(hWnd);
    if (!pWnd)
        return 0;
    switch (Msg) {
    case WM_CLOSE: DestroyWindow(hWnd); return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessageA(hWnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (HIWORD(lParam) & KF_ALTDOWN))
            PostMessageA(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            SetCursor(pWnd->wc.hCursor);
            return TRUE;
        }
        return FALSE;
    default: return 0;
    }
}

HWND WINAPI SetCapture(HWND hWnd)
{
    HWND hPrev = S().nCapture ? ToHandle(S().nCapture) : nullptr;
    if (!Find(hWnd))
        return hPrev;
    S().nCapture = ToId(hWnd);
    host::Current().SetMouseCapture(S().nCapture, true);
    return hPrev;
}

BOOL WINAPI ReleaseCapture()
{
    if (S().nCapture != 0)
        host::Current().SetMouseCapture(S().nCapture, false);
    S().nCapture = 0;
    return TRUE;
}

HWND WINAPI GetCapture()
{
    return S().nCapture ? ToHandle(S().nCapture) : nullptr;
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor)
{
    HCURSOR hPrev = S().hCursor;
    S().hCursor = hCursor;
    host::Current().SetCursorVisible(hCursor != nullptr);
    return hPrev;
}

HCURSOR WINAPI GetCursor()
{
    return S().hCursor;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    // Only the system's own cursors exist; the program carries no cursor resources.
    return hInstance == nullptr && lpCursorName == IDC_ARROW ? kArrowCursor : nullptr;
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName)
{
    // Likewise for icons: the program's own module has none.
    return hInstance == nullptr && lpIconName == IDI_APPLICATION ? kApplicationIcon : nullptr;
}

int WINAPI GetSystemMetrics(int nIndex)
{
    // While a display mode is set, the screen is that mode.
    int w = 0, h = 0;
    if (!standin::DisplayModeSize(w, h))
        host::Current().GetDisplaySize(w, h);
    switch (nIndex) {
    case SM_CXSCREEN: return w;
    case SM_CYSCREEN: return h;
    default: return 0;
    }
}

namespace {

host::BoxButtons BoxButtonsOf(UINT uType)
{
    switch (uType & MB_TYPEMASK) {
    case MB_OKCANCEL: return host::BoxButtons::OkCancel;
    case MB_ABORTRETRYIGNORE: return host::BoxButtons::AbortRetryIgnore;
    case MB_YESNOCANCEL: return host::BoxButtons::YesNoCancel;
    case MB_YESNO: return host::BoxButtons::YesNo;
    case MB_RETRYCANCEL: return host::BoxButtons::RetryCancel;
    default: return host::BoxButtons::Ok;
    }
}

int IdOf(host::BoxAnswer answer)
{
    switch (answer) {
    case host::BoxAnswer::Ok: return IDOK;
    case host::BoxAnswer::Cancel: return IDCANCEL;
    case host::BoxAnswer::Abort: return IDABORT;
    case host::BoxAnswer::Retry: return IDRETRY;
    case host::BoxAnswer::Ignore: return IDIGNORE;
    case host::BoxAnswer::Yes: return IDYES;
    case host::BoxAnswer::No: return IDNO;
    default: return 0;  // as Windows answers a box it could not show
    }
}

}  // namespace

int WINAPI MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    bool bError = (uType & MB_ICONMASK) == MB_ICONERROR;
    host::BoxAnswer answer =
        host::Current().MessageBox(lpCaption ? lpCaption : "Error", lpText ? lpText : "", BoxButtonsOf(uType), bError);
    return IdOf(answer);
}
