// The screen library: one window, one 8-bit framebuffer in system memory, one 256-entry palette,
// a present step and a message pump that feeds ScreenWndProc. One screen per process.
#pragma once

#include "platform/win32.h"

#define SCREEN_FULLSCREEN 1
#define SCREEN_WINDOWED 2

// The production's screen: the size the demo opens, and the screen the effects clip against.
#define SCREEN_WIDTH 640
#define SCREEN_HEIGHT 480

// Screen state.
extern int g_nWidth;
extern int g_nHeight;
extern int g_nBits;
extern int g_nMode;
extern HWND g_hWnd;
extern HINSTANCE g_hInstance;
extern BYTE* g_pFramebuffer;
extern BYTE g_Palette[256 * 4];  // blue, green, red, reserved (always 0)
extern bool g_bPageFlip;
extern bool g_bLocked;
extern bool g_bQuit;
extern MSG g_Msg;

// Input state, written by the window procedure.
extern BYTE g_Keys[256];
extern int g_nMouseX;
extern int g_nMouseY;
extern bool g_bMouseButton;
extern bool g_bActive;

bool ScreenOpen(int nWidth, int nHeight, int nBits, int nMode);
void ScreenClose();
void ScreenToggleMode();
void ScreenUpdate();
void ScreenClear(int nValue);
void ScreenSetPalette(const BYTE* pPalette);
BYTE* ScreenGetBuffer();
int ScreenGetWidth();
int ScreenGetHeight();
HWND ScreenGetWindow();
void ScreenSetTitle(const char* pszTitle);
bool ScreenPostMessage(UINT nMessage, WPARAM wParam, LPARAM lParam);
int ScreenMessageBox(const char* pszCaption, const char* pszText);
int ScreenPumpMessages();
void ScreenSetPageFlip(bool bPageFlip);
HRESULT ScreenRestoreSurfaces();

LRESULT CALLBACK ScreenWndProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam);
