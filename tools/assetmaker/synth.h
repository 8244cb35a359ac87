// Small, cheap building blocks for the music and the effects: band-limited oscillators, a
// state-variable filter, envelopes, noise, and a stereo mix bus with echo and reverb sends.
#pragma once

#include <cstdint>
#include <vector>

#include "sounds.h"

namespace assets {

float MidiHz(float note);

// Deterministic white noise in [-1, 1].
class Noise {
public:
    explicit Noise(uint32_t seed) : m_state(seed * 2654435761u + 1) {}
    float Next() {
        m_state ^= m_state << 13, m_state ^= m_state >> 17, m_state ^= m_state << 5;
        return float(int32_t(m_state)) / 2147483648.0f;
    }

private:
    uint32_t m_state;
};

// A saw with the step smoothed by a polynomial, so high notes do not alias audibly.
struct Saw {
    float phase = 0;
    float Next(float dt);
};

// A pulse as the difference of two band-limited saws.
struct Pulse {
    float phase = 0;
    float Next(float dt, float width);
};

// Two-pole state-variable filter (trapezoidal), coefficients updated on demand.
class Svf {
public:
    void Set(float cutoffHz, float q);
    float Low(float in);
    float Band(float in);
    float High(float in);

private:
    void Tick(float in);
    float m_g = 0, m_k = 1, m_a1 = 0, m_a2 = 0, m_a3 = 0;
    float m_ic1 = 0, m_ic2 = 0, m_lp = 0, m_bp = 0, m_hp = 0;
};

// Attack, decay to sustain, release after the gate; all in seconds.
struct Adsr {
    float a, d, s, r;
    float At(float t, float gate) const;
};

// The stereo bus everything is mixed into, with a send to an echo and one to a reverb.
class Mix {
public:
    explicit Mix(double seconds);
    size_t Frames() const { return m_l.size(); }
    void Add(size_t frame, float left, float right, float echo = 0, float reverb = 0);
    // Mixes the sends back in with the given echo delay.
    void Finish(float echoSeconds, float echoFeedback, float reverbSize, float reverbLevel);
    // Scales to the given peak (in dBFS) after a gentle saturation and returns 16-bit PCM.
    Sound Render(float peakDb, float drive);

    std::vector<float>& Left() { return m_l; }
    std::vector<float>& Right() { return m_r; }

private:
    std::vector<float> m_l, m_r, m_echoL, m_echoR, m_verb;
};

}  // namespace assets
