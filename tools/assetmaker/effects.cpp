// The three one-shot effects: the opening chord, the impact at the end of the zoom and the
// whoosh before the scroller.
#include <algorithm>
#include <cmath>

#include "app/Assets.h"
#include "sounds.h"
#include "synth.h"

namespace assets {

namespace {
constexpr float kTwoPi = 6.2831853f;
// Low enough that the music plus the effect at its cue stays below -1 dBFS.
constexpr float kThxPeakDb = -5.0f, kBangPeakDb = -6.0f, kDshoofPeakDb = -7.0f;
}  // namespace

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
            float note =
                start + (target - start) * glide + (1 - glide) * 1.5f * std::sin(kTwoPi * 0.3f * wobble * t + v);
            if ((i & 63) == 0) lp.Set(300 + 5000 * std::min(1.0f, t / 4.5f), 0.7f);
            float swell = std::min(1.0f, t / 4.5f);
            float fade = t > 5.5f ? std::max(0.0f, 1 - (t - 5.5f) / 1.5f) : 1.0f;
            float out = lp.Low(saw.Next(MidiHz(note) / kRate)) * swell * swell * fade * fade * 0.05f;
            mix.Add(i, out * (1 - pan), out * pan, 0.0f, 0.3f);
        }
    }
    mix.Finish(0.3f, 0.0f, 0.85f, 0.8f);
    return mix.Render(kThxPeakDb, 1.0f);
}

// The cube slamming to a halt: a falling thump whose weight sits in the low mids, where small
// speakers still play it, a metallic clang of inharmonic partials, a crack of noise and a short
// dark tail. A sub-bass thump alone would be a click on a laptop.
Sound MakeBang() {
    const double length = 1.6;
    Mix mix(length);
    Noise rnd(7);
    Svf crackBp, rumbleLp, bodyHp;
    crackBp.Set(2600, 1.2f);
    bodyHp.Set(110, 0.7f);
    const float partials[] = {233, 347, 512, 781, 1093}, decays[] = {0.5f, 0.38f, 0.3f, 0.2f, 0.14f};
    float phase = 0, punch = 0, ring[5] = {};
    size_t n = size_t(length * kRate);
    for (size_t i = 0; i < n; ++i) {
        float t = float(i) / kRate;
        phase += (55 + 90 * std::exp(-t / 0.06f)) / kRate;
        float sub = std::sin(kTwoPi * phase) * std::exp(-t / 0.25f) * 0.45f;
        // Driven hard, the falling punch grows the harmonics that carry it on small speakers.
        punch += (150 + 210 * std::exp(-t / 0.05f)) / kRate;
        float body = std::tanh(std::sin(kTwoPi * punch) * 3.0f) * std::exp(-t / 0.16f) * 0.55f;
        float clang = 0;
        for (int k = 0; k < 5; ++k) {
            ring[k] += partials[k] / kRate;
            clang += std::sin(kTwoPi * ring[k]) * std::exp(-t / decays[k]) / float(k + 2);
        }
        clang *= 0.55f * std::min(1.0f, t / 0.001f);
        float crack = crackBp.Band(rnd.Next()) * std::exp(-t / 0.03f) * 1.6f;
        if ((i & 31) == 0) rumbleLp.Set(300 + 2500 * std::exp(-t / 0.08f), 0.9f);
        float rumble = rumbleLp.Low(rnd.Next()) * std::exp(-t / 0.3f) * 0.35f;
        float v = std::tanh((sub + bodyHp.High(body) + clang + crack + rumble) * 1.5f);
        float fade = t > length - 0.2 ? float((length - t) / 0.2) : 1.0f;
        mix.Add(i, v * fade * 0.7f, v * fade * 0.7f, 0.0f, 0.25f);
    }
    mix.Finish(0.2f, 0.0f, 0.6f, 0.6f);
    return mix.Render(kBangPeakDb, 1.0f);
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
    return mix.Render(kDshoofPeakDb, 1.0f);
}

std::vector<NamedSound> MakeSounds() {
    std::vector<NamedSound> out;
    out.push_back({g_pszSoundFiles[0], MakeMusic()});
    out.push_back({g_pszSoundFiles[1], MakeThx()});
    out.push_back({g_pszSoundFiles[2], MakeBang()});
    out.push_back({g_pszSoundFiles[3], MakeDshoof()});
    return out;
}

}  // namespace assets
