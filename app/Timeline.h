// The production's timeline, named once: every step's length and the cues within the steps, in
// milliseconds of the production's clock. The script runs through it (Demo.cpp); the tests time
// what they see against it; the process entry hands it to what reports by scene (the benchmark's
// table, the recorder's progress line), which know nothing of the production themselves.
#pragma once

namespace timeline {

// The steps, in order: each is a frame loop of its own that lasts this long.
constexpr long kOpeningFadeMs = 7000;  // the opening picture rises from black; the music and "THX.wav" start
constexpr long kScene1Ms = 7000;       // the cube drops in and swings; the flash; the mask zooms away
constexpr long kScene2Ms = 2000;       // the band slides down; the cube and the mask leave to the right
constexpr long kScene3Ms = 10000;      // the scroller crosses below the band
constexpr long kFadeToBlackMs = 3000;
// Then each credit page: a fade in, a hold, a fade out.
constexpr int kCredits = 6;
constexpr long kCreditFadeMs = 1000;
constexpr long kCreditHoldMs[kCredits] = {4000, 4000, 5000, 5000, 5000, 5000};
// Every frame loop of the run: the opening fade, three scenes, the fade to black and three a page.
constexpr int kTimedSteps = 5 + 3 * kCredits;

// Cues within scene 1, from its start: the flash, after which the mask shows at the near depth and
// moves away at so many depth units a second until the far one, where "Bang.wav" sounds.
constexpr long kFlashMs = 3000;
constexpr int kZoomNearDepth = 100, kZoomFarDepth = 350;
constexpr int kZoomDepthPerSecond = 250;
// Scene 2: the band's slide lasts the whole scene. Scene 3: the scroller's crossing of the screen.
constexpr long kScrollerCrossMs = 8000;

// Where each begins on the production's clock, its first frame at 0.
constexpr long kScene1AtMs = kOpeningFadeMs;
constexpr long kFlashAtMs = kScene1AtMs + kFlashMs;
constexpr long kZoomEndAtMs = kFlashAtMs + (kZoomFarDepth - kZoomNearDepth) * 1000L / kZoomDepthPerSecond;
constexpr long kScene2AtMs = kScene1AtMs + kScene1Ms;
constexpr long kScene3AtMs = kScene2AtMs + kScene2Ms;
constexpr long kFadeToBlackAtMs = kScene3AtMs + kScene3Ms;
constexpr long kCreditsAtMs = kFadeToBlackAtMs + kFadeToBlackMs;
// Credit page i's fade in (i = kCredits: the end of the run).
constexpr long CreditAtMs(int i)
{
    return i <= 0 ? kCreditsAtMs : CreditAtMs(i - 1) + 2 * kCreditFadeMs + kCreditHoldMs[i - 1];
}
constexpr long kLengthMs = CreditAtMs(kCredits);

// A step's length in the seconds the fades take.
constexpr float Seconds(long nMs)
{
    return static_cast<float>(nMs) / 1000.0f;
}

// The parts of the run a report by scene names, by when each begins.
struct Part {
    const char* pszName;
    long nFromMs;
};
constexpr Part kParts[] = {
    {"opening fade", 0},
    {"scene 1: the cube", kScene1AtMs},
    {"scene 1: the zoom", kFlashAtMs},
    {"scene 2: the band", kScene2AtMs},
    {"scene 3: the scroller", kScene3AtMs},
    {"fade to black", kFadeToBlackAtMs},
    {"credits", kCreditsAtMs},
};

}  // namespace timeline
