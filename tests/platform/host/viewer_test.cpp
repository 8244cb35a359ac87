// The viewer's controls that the SDL host and the page share: which keys are the viewer's and
// which end the production's run, the clock a pause stops, and the events a pause holds back.
#ifndef _WIN32
#include "platform/host/viewer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

host::Event Key(int vk, bool bDown)
{
    host::Event e;
    e.type = host::EventType::Key;
    e.vk = vk;
    e.down = bDown;
    return e;
}

TEST(ViewerKeys, QEnterAltEndsTheRunInEveryOrderAndAltEnterTogglesOnlyWithoutQ)
{
    const int kAlt = host::key::kAlt, kEnter = host::key::kReturn;
    std::vector<int> order = {'Q', kEnter, kAlt};
    std::sort(order.begin(), order.end());
    int nOrders = 0;
    do {
        host::ViewerKeys keys;
        std::string name;
        for (size_t i = 0; i < order.size(); ++i) {
            host::Observed o = keys.Observe(Key(order[i], true), false);
            name += (order[i] == 'Q' ? "Q " : order[i] == kEnter ? "Enter " : "Alt ");
            const bool bLast = i + 1 == order.size();
            EXPECT_EQ(o.bEndsRun, bLast) << name;
            // Alt then Enter with Q still up is the host's toggle; the keys still reach the production.
            const bool bAltEnterFirst = order[0] == kAlt && order[1] == kEnter && i == 1;
            EXPECT_EQ(o.action, bAltEnterFirst ? host::ViewerAction::ToggleFullscreen : host::ViewerAction::None)
                << name;
        }
        ++nOrders;
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(nOrders, 6);
}

TEST(ViewerKeys, TheViewersKeysAndTheKeysThatEndTheRun)
{
    const int kF4 = host::key::kF1 + 3, kF11 = host::key::kF1 + 10;
    struct Case {
        std::vector<host::Event> before;
        host::Event event;
        bool bRepeat;
        host::ViewerAction action;
        bool bEndsRun;
        const char* pszWhat;
    };
    host::Event close;
    close.type = host::EventType::Close;
    host::Event left, right;
    left.type = right.type = host::EventType::MouseButton;
    left.down = right.down = true;
    right.button = host::Button::Right;
    using A = host::ViewerAction;
    const std::vector<Case> cases = {
        {{}, Key(kF11, true), false, A::ToggleFullscreen, false, "F11"},
        {{}, Key(host::key::kF12, true), false, A::Screenshot, false, "F12"},
        {{}, Key('P', true), false, A::TogglePause, false, "P"},
        {{}, Key(host::key::kPause, true), false, A::TogglePause, false, "Pause"},
        {{}, Key('P', true), true, A::None, false, "P held down, repeating"},
        {{}, Key('P', false), false, A::None, false, "P let go"},
        {{Key(host::key::kAlt, true)}, Key('P', true), false, A::None, false, "Alt+P, the production's"},
        {{Key(host::key::kAlt, true)}, Key(host::key::kF12, true), false, A::None, false, "Alt+F12"},
        {{Key(host::key::kAlt, true), Key(host::key::kAlt, false)},
         Key(kF11, true),
         false,
         A::ToggleFullscreen,
         false,
         "F11 after Alt let go"},
        {{}, Key(host::key::kEscape, true), false, A::None, true, "Escape"},
        {{Key(host::key::kAlt, true)}, Key(kF4, true), false, A::None, true, "Alt+F4"},
        {{}, Key(kF4, true), false, A::None, false, "F4 alone"},
        {{}, close, false, A::None, true, "closing the window"},
        {{}, left, false, A::None, true, "a left click"},
        {{}, right, false, A::None, false, "a right click"},
        {{Key('Q', true), Key(host::key::kReturn, true)},
         Key(host::key::kF1 + 9, true),
         false,
         A::None,
         true,
         "F10 with Q and Enter down"},
        {{Key('Q', true), Key(host::key::kReturn, true), Key('Q', false)},
         Key(host::key::kAlt, true),
         false,
         A::None,
         false,
         "Alt with only Enter down"},
    };
    for (const Case& c : cases) {
        host::ViewerKeys keys;
        for (const host::Event& e : c.before)
            keys.Observe(e, false);
        host::Observed o = keys.Observe(c.event, c.bRepeat);
        EXPECT_EQ(o.action, c.action) << c.pszWhat;
        EXPECT_EQ(o.bEndsRun, c.bEndsRun) << c.pszWhat;
    }
}

TEST(PausableClock, StandsStillWhilePausedAndGoesOnFromWhereItStopped)
{
    long nWall = 1000;
    host::PausableClock clock([&] { return nWall; });
    EXPECT_EQ(clock.Now(), 1000);
    nWall = 1500;
    clock.Pause();
    clock.Pause();  // a second press of the same kind changes nothing
    nWall = 3500;
    EXPECT_TRUE(clock.Paused());
    EXPECT_EQ(clock.Now(), 1500);
    clock.Resume();
    EXPECT_FALSE(clock.Paused());
    EXPECT_EQ(clock.Now(), 1500);
    nWall = 3600;
    EXPECT_EQ(clock.Now(), 1600);
    clock.Pause();
    nWall = 4600;
    clock.Resume();
    nWall = 4700;
    EXPECT_EQ(clock.Now(), 1700);  // both pauses taken off
}

TEST(HeldEvents, InOrderWithMouseMovesInARowAsTheLastOne)
{
    host::HeldEvents held;
    host::Event move;
    move.type = host::EventType::MouseMove;
    for (int x : {1, 2, 3}) {
        move.x = x;
        held.Hold(move);
    }
    held.Hold(Key('Q', true));
    move.x = 4;
    held.Hold(move);
    std::vector<std::string> got;
    host::Event e;
    while (held.Next(e))
        got.push_back(e.type == host::EventType::MouseMove ? "move " + std::to_string(e.x) : "key");
    EXPECT_EQ(got, (std::vector<std::string>{"move 3", "key", "move 4"}));
    EXPECT_TRUE(held.Empty());
}

// What a host did at its viewer's request, in order.
class RecordedControls : public host::ViewerControls {
public:
    void ToggleFullscreen() override { calls.push_back("fullscreen"); }
    void TakeScreenshot() override { calls.push_back("screenshot"); }
    void PauseChanged(bool bPaused) override { calls.push_back(bPaused ? "paused" : "going on"); }
    std::vector<std::string> calls;
};

TEST(ViewerDispatch, APauseStopsTheClockHoldsTheProductionsEventsAndGivesWayToAKeyThatEndsTheRun)
{
    RecordedControls controls;
    long nWall = 100;
    host::ViewerDispatch viewer(controls, [&] { return nWall; });
    EXPECT_TRUE(viewer.Dispatch(Key(host::key::kF1 + 10, true), false)) << "F11 still reaches the production";
    EXPECT_TRUE(viewer.Dispatch(Key(host::key::kF1 + 10, true), true));
    EXPECT_EQ(controls.calls.size(), 1u) << "a held key's repeat toggles nothing";
    EXPECT_TRUE(viewer.Dispatch(Key(host::key::kF12, true), false));
    EXPECT_EQ(controls.calls, (std::vector<std::string>{"fullscreen", "screenshot"}));

    EXPECT_FALSE(viewer.Dispatch(Key('P', true), false)) << "held back: the pause began with it";
    EXPECT_TRUE(viewer.Paused());
    nWall = 2100;
    EXPECT_EQ(viewer.Now(), 100);
    EXPECT_FALSE(viewer.Dispatch(Key('P', false), false));
    EXPECT_FALSE(viewer.Dispatch(Key('A', true), false));
    host::Event e;
    EXPECT_FALSE(viewer.NextHeld(e)) << "nothing reaches the production while paused";

    // Escape ends the pause and the run; it comes after what was held, in order.
    EXPECT_FALSE(viewer.Dispatch(Key(host::key::kEscape, true), false));
    EXPECT_FALSE(viewer.Paused());
    EXPECT_EQ(viewer.Now(), 100);
    std::vector<int> got;
    while (viewer.NextHeld(e))
        got.push_back(e.vk);
    EXPECT_EQ(got, (std::vector<int>{'P', 'P', 'A', host::key::kEscape}));
    EXPECT_EQ(controls.calls, (std::vector<std::string>{"fullscreen", "screenshot", "paused", "going on"}));
    EXPECT_TRUE(viewer.Dispatch(Key('B', true), false)) << "nothing held: straight on";
}

}  // namespace
#endif
