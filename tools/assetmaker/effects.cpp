// The three one-shot effects: the opening chord, the impact at the end of the zoom and the
// whoosh before the scroller.
#include <algorithm>
#include <cmath>

#include "sounds.h"
#include "synth.h"

namespace assets {

namespace {
constexpr float kTwoPi = 6.2831853f;
}

// Thirty voices wander in a murky cluster, then glide together into a wide A chord that swells
// and fades over seven seconds, in the key of the music that starts with it.
Sound MakeThx() {
    const double length = 7.0;
    Mix mix(length);
    const float targets[] = {33, 45, 52, 57, 64, 69, 76, 81, 88, 57};
    Noise rnd(42);
    for (int v = 0; v < 30; ++v) {
        float start = 50 + 14 * (rnd.Next() + 1) * 0.5f, target = targets[v % 10] + rnd.Next() * 0.08f;
        float wobble = 0.5f + 0.5f * (rnd.Next() + 1), pan = (rnd.Next() + 1) * 0.5f;
        Saw saw;
        saw.phase = (rnd.Next() + 1) * 0.5f;
        Svf lp;
        size_t n = size_t(length * kRate);
        for (size_t i = 0; i < n; ++i) {
            float t = float(i) / kRate;
            float glide = std::clamp((t - 1.5f) / 2.5f, 0.0f, 1.0f);
            glide = glide * glide * (3 - 2 * glide);
            float note = start + (target - start) * glide + (1 - glide) * 1.5f * std::sin(kTwoPi * 0.3f * wobble * t + v);
            if ((i & 63) == 0) lp.Set(300 + 5000 * std::min(1.0f, t / 4.5f), 0.7f);
            float swell = std::min(1.0f, t / 4.5f);
            float fade = t > 5.5f ? std::max(0.0f, 1 - (t - 5.5f) / 1.5f) : 1.0f;
            float out = lp.Low(saw.Next(MidiHz(note) / kRate)) * swell * swell * fade * fade * 0.05f;
            mix.Add(i, out * (1 - pan), out * pan, 0.0f, 0.3f);
        }
    }
    mix.Finish(0.3f, 0.0f, 0.85f, 0.8f);
    return mix.Render(-3.0f, 1.0f);
}

// A deep falling thump with a burst of crushed noise and a long dark tail.
Sound MakeBang() {
    const double length = 1.6;
    Mix mix(length);
    Noise rnd(7);
    Svf lp, lp2;
    lp.Set(1800, 0.8f);
    float phase = 0;
    size_t n = size_t(length * kRate);
    for (size_t i = 0; i < n; ++i) {
        float t = float(i) / kRate;
        phase += (32 + 110 * std::exp(-t / 0.08f)) / kRate;
        float body = std::sin(kTwoPi * phase) * std::exp(-t / 0.45f);
        if ((i & 31) == 0) lp2.Set(200 + 3000 * std::exp(-t / 0.1f), 0.9f);
        float crack = lp.Low(rnd.Next()) * std::exp(-t / 0.05f) * 0.8f;
        float rumble = lp2.Low(rnd.Next()) * std::exp(-t / 0.35f) * 0.5f;
        float v = std::tanh((body * 1.2f + crack + rumble) * 1.8f);
        float fade = t > length - 0.2 ? float((length - t) / 0.2) : 1.0f;
        mix.Add(i, v * fade * 0.7f, v * fade * 0.7f, 0.0f, 0.25f);
    }
    mix.Finish(0.2f, 0.0f, 0.6f, 0.6f);
    return mix.Render(-1.0f, 1.0f);
}

// Air rushing past from left to right: band-passed noise sweeping up and back down.
Sound MakeDshoof() {
    const double length = 1.0;
    Mix mix(length);
    Noise nl(3), nr(4);
    Svf bl, br;
    size_t n = size_t(length * kRate);
    for (size_t i = 0; i < n; ++i) {
        float u = float(i) / float(n);
        if ((i & 31) == 0) {
            float c = 250 * std::pow(20.0f, std::sin(3.14159f * std::pow(u, 0.7f)));
            bl.Set(c, 1.6f), br.Set(c * 1.08f, 1.6f);
        }
        float env = std::sin(3.14159f * std::pow(u, 0.6f));
        env *= env;
        float pan = u;
        float l = bl.Band(nl.Next()) * env * (1.2f - pan), r = br.Band(nr.Next()) * env * (0.2f + pan);
        mix.Add(i, l, r, 0.0f, 0.15f);
    }
    mix.Finish(0.1f, 0.0f, 0.4f, 0.4f);
    return mix.Render(-2.0f, 1.0f);
}

std::vector<NamedSound> MakeSounds() {
    std::vector<NamedSound> out;
    out.push_back({"Ruzuzireve.wav", MakeMusic()});
    out.push_back({"THX.wav", MakeThx()});
    out.push_back({"Bang.wav", MakeBang()});
    out.push_back({"Dshoof.wav", MakeDshoof()});
    return out;
}

}  // namespace assets
