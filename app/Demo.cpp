// The production: the opening fade, the cube with the zooming mask, the band and the exit to the
// right, the scroller, the fade to black and the six credit pages, with the music and the three
// effects, and the clean-up. Every step is a frame loop timed by the millisecond clock that ends
// early once the run has been ended.
#include "app/Demo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/Assets.h"
#include "app/Timeline.h"
#include "fx/Blit.h"
#include "fx/Cube.h"
#include "fx/Fade.h"
#include "image/Image.h"
#include "screen/Screen.h"
#include "sound/SoundBase.h"

namespace {

const int kScreenBytes = SCREEN_WIDTH * SCREEN_HEIGHT;
// The quad's projection: the screen's centre, and the focal length in pixels.
const int kCentreX = SCREEN_WIDTH / 2, kCentreY = SCREEN_HEIGHT / 2;
const double kFocalLength = 320.0;

struct QuadCorner {
    float fX, fY, fZ;
    float fScreenX, fScreenY;
};

struct Quad {
    QuadCorner corners[4];
    int nDepth;
    int nOffset;
};

void SetUpQuad(Quad& quad)
{
    const float kModel[4][2] = {{-100, -100}, {100, -100}, {100, 100}, {-100, 100}};
    for (int i = 0; i < 4; ++i)
        quad.corners[i] = {kModel[i][0], kModel[i][1], 0.0f, 0.0f, 0.0f};
    quad.nDepth = timeline::kZoomNearDepth;
    quad.nOffset = 0;
}

void ProjectQuad(Quad& quad)
{
    for (QuadCorner& c : quad.corners) {
        double dDistance = static_cast<double>(quad.nDepth) + c.fZ;
        c.fScreenX = static_cast<float>((quad.nOffset + kCentreX) + kFocalLength * c.fX / dDistance);
        c.fScreenY = static_cast<float>(kFocalLength * c.fY / dDistance + kCentreY);
    }
}

// Only the top-left and bottom-right corners span the mask's rectangle.
void DrawQuad(Quad& quad, CImage* pMask)
{
    const QuadCorner& a = quad.corners[0];
    const QuadCorner& b = quad.corners[2];
    DrawMaskedQuad(pMask, static_cast<int>(a.fScreenX), static_cast<int>(a.fScreenY), static_cast<int>(b.fScreenX),
                   static_cast<int>(b.fScreenY));
}

int Elapsed(int nStart)
{
    return std::abs(static_cast<int>(ClockMs()) - nStart);
}

// The background fills the screen; a picture that is missing or smaller leaves black behind it.
void CopyBackground(const CImage& background)
{
    BYTE* pScreen = ScreenGetBuffer();
    long nBytes = background.m_pPixels ? static_cast<long>(background.m_nWidth) * background.m_nHeight : 0;
    if (nBytes >= kScreenBytes) {
        std::memcpy(pScreen, background.m_pPixels, kScreenBytes);
        return;
    }
    if (nBytes > 0)
        std::memcpy(pScreen, background.m_pPixels, static_cast<size_t>(nBytes));
    std::memset(pScreen + (nBytes > 0 ? nBytes : 0), 0, static_cast<size_t>(kScreenBytes - (nBytes > 0 ? nBytes : 0)));
}

// Rows are copied at the screen's pitch, so only a band as wide as the screen can hang there.
bool BandFits(const CImage& band)
{
    return band.m_pPixels && band.m_nWidth == SCREEN_WIDTH && band.m_nHeight > 0 && band.m_nHeight <= SCREEN_HEIGHT;
}

void ShowPicture(CImage* pPicture, long nHoldMs)
{
    FadeInImage(pPicture, timeline::Seconds(timeline::kCreditFadeMs));
    int nStart = static_cast<int>(ClockMs());
    while (!g_bQuit && Elapsed(nStart) < nHoldMs)
        ScreenPumpMessages();
    FadeOutScreen(timeline::Seconds(timeline::kCreditFadeMs));
}

// Pictures that did not load are named before the production starts; the user goes on (they
// show as black) or stops the run.
void ReportMissingPictures(const char* const* ppszFiles, const int* pCodes, int nCount)
{
    std::string list;
    for (int i = 0; i < nCount; ++i) {
        if (pCodes[i] == IMAGE_LOADED)
            continue;
        list += std::string("\"") + ppszFiles[i] + "\": " + ImageLoadText(pCodes[i]) + "\n";
        std::fprintf(stderr, "vadurer: picture \"%s\" did not load: %s\n", ppszFiles[i], ImageLoadText(pCodes[i]));
    }
    if (list.empty())
        return;
    std::string text = "These pictures did not load:\n\n" + list +
                       "\nThe production can go on without them; they will show as black. Go on?";
    if (MessageBoxA(ScreenGetWindow(), text.c_str(), "Stop The Vadurer", MB_OKCANCEL | MB_ICONEXCLAMATION) == IDCANCEL)
        g_bQuit = true;
}

void RunScene1(CImage& background, CImage& mask, CCube* pCube, Quad& quad, CSoundBase* pSound)
{
    // Set while the cube is shown alone, until the flash; scene 1 alone reads it.
    static bool g_bCubeOnly = false;
    int nStart = static_cast<int>(ClockMs());
    g_bCubeOnly = true;
    while (!g_bQuit) {
        int nElapsed = Elapsed(nStart);
        if (nElapsed >= timeline::kScene1Ms)
            break;
        CopyBackground(background);
        g_fSceneProgress = static_cast<float>(nElapsed / 1000.0 / (timeline::kScene1Ms / 1000.0));
        pCube->Update();
        pCube->Project();
        pCube->Draw();
        if (!g_bCubeOnly) {
            ProjectQuad(quad);
            DrawQuad(quad, &mask);
            if (!g_bZoomDone)
                quad.nDepth =
                    static_cast<int>((nElapsed - timeline::kFlashMs) * double(timeline::kZoomDepthPerSecond) / 1000.0 +
                                     double(timeline::kZoomNearDepth));
            if (quad.nDepth > timeline::kZoomFarDepth) {
                quad.nDepth = timeline::kZoomFarDepth;
                g_bZoomDone = true;
                pSound->PlayStatic(1);
            }
        }
        if (nElapsed >= timeline::kFlashMs && g_bCubeOnly) {
            // The flash: the frame just drawn is lost and the plain mask colour is shown.
            g_bCubeOnly = false;
            ScreenClear(63);
            ScreenUpdate();
        }
        ScreenUpdate();
        ScreenPumpMessages();
    }
}

void RunScene2(CImage& background, CImage& band, CImage& mask, CCube* pCube, Quad& quad)
{
    int nStart = static_cast<int>(ClockMs());
    const int nH = static_cast<int>(band.m_nHeight);
    int c = nH;
    while (!g_bQuit) {
        int nElapsed = Elapsed(nStart);
        if (nElapsed >= timeline::kScene2Ms)
            break;
        CopyBackground(background);
        // The band hangs from the top edge, its bottom rows first.
        if (BandFits(band) && c <= nH && c >= 1)
            std::memcpy(ScreenGetBuffer(), band.m_pPixels + static_cast<size_t>(c - 1) * SCREEN_WIDTH,
                        static_cast<size_t>(nH - c + 1) * SCREEN_WIDTH);
        if (c > 1)
            c = nH + 1 - static_cast<int>(nElapsed / 1000.0 / (timeline::kScene2Ms / 1000.0) * nH);
        pCube->Update();
        pCube->Project();
        pCube->Draw();
        pCube->m_nScreenX += 20;
        ProjectQuad(quad);
        quad.nOffset += 20;
        DrawQuad(quad, &mask);
        ScreenUpdate();
        ScreenPumpMessages();
    }
}

void RunScene3(CImage& band, CImage& scroller)
{
    int nStart = static_cast<int>(ClockMs());
    int x = SCREEN_WIDTH;
    const int y = kCentreY - static_cast<int>(scroller.m_nHeight) / 2;
    while (!g_bQuit) {
        int nElapsed = Elapsed(nStart);
        if (nElapsed >= timeline::kScene3Ms)
            break;
        ScreenClear(0);
        if (BandFits(band))
            std::memcpy(ScreenGetBuffer(), band.m_pPixels, static_cast<size_t>(band.m_nWidth) * band.m_nHeight);
        DrawImageClipped(x, y, &scroller);
        ScreenUpdate();
        x = SCREEN_WIDTH - static_cast<int>(nElapsed / 1000.0 / (timeline::kScrollerCrossMs / 1000.0) *
                                            (scroller.m_nWidth + SCREEN_WIDTH));
        ScreenPumpMessages();
    }
}

// The sound manager, with the music and the three effects. It is never deleted: the music plays
// on after the script returns, so the manager and its sounds last until the process ends.
CSoundBase* OpenSound()
{
    CSoundBase* pSound = new CSoundBase(ScreenGetWindow());
    pSound->AddStream(g_pszSoundFiles[0]);
    for (int i = 1; i < ASSET_SOUNDS; ++i)
        pSound->AddStatic(g_pszSoundFiles[i], 4);
    return pSound;
}

}  // namespace

bool RunDemo()
{
    CImage background, mask, band, scroller;
    CImage credits[timeline::kCredits];
    if (!ScreenOpen(SCREEN_WIDTH, SCREEN_HEIGHT, 8, SCREEN_FULLSCREEN))
        return false;

    CSoundBase* pSound = OpenSound();
    ScreenSetTitle("Stop The Vadurer");

    CImage* pPictures[ASSET_PICTURES] = {&background, &mask,       &band,       &scroller,   &credits[0],
                                         &credits[1], &credits[2], &credits[3], &credits[4], &credits[5]};
    int nCodes[ASSET_PICTURES];
    for (int i = 0; i < ASSET_PICTURES; ++i)
        nCodes[i] = pPictures[i]->Load(g_pszPictureFiles[i]);
    ReportMissingPictures(g_pszPictureFiles, nCodes, ASSET_PICTURES);
    if (g_bQuit) {
        // Stopped at the pictures' box: the production never starts, and no sound with it (the
        // music's thread would begin as the process ends).
        ScreenClose();
        return true;
    }

    CCube* pCube = new CCube(100.0f);
    Quad quad;
    SetUpQuad(quad);

    pSound->PlayStatic(0);
    pSound->PlayStream(0);
    FadeInImage(&background, timeline::Seconds(timeline::kOpeningFadeMs));

    RunScene1(background, mask, pCube, quad, pSound);
    RunScene2(background, band, mask, pCube, quad);
    pSound->PlayStatic(2);
    RunScene3(band, scroller);

    FadeOutScreen(timeline::Seconds(timeline::kFadeToBlackMs));
    for (int i = 0; i < timeline::kCredits; ++i)
        ShowPicture(&credits[i], timeline::kCreditHoldMs[i]);

    ScreenClear(0);
    ScreenUpdate();
    ScreenClear(0);
    ScreenUpdate();
    delete pCube;
    ScreenClose();
    return true;
}
