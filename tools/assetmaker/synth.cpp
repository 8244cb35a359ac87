#include "synth.h"

#include <algorithm>
#include <cmath>

namespace assets {

float MidiHz(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

static float PolyBlep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

float Saw::Next(float dt) {
    float v = 2.0f * phase - 1.0f - PolyBlep(phase, dt);
    phase += dt;
    if (phase >= 1.0f) phase -= 1.0f;
    return v;
}

float Pulse::Next(float dt, float width) {
    float other = phase + width;
    if (other >= 1.0f) other -= 1.0f;
    float v = (2.0f * phase - PolyBlep(phase, dt)) - (2.0f * other - PolyBlep(other, dt));
    phase += dt;
    if (phase >= 1.0f) phase -= 1.0f;
    return v * 0.5f;
}

void Svf::Set(float cutoffHz, float q) {
    cutoffHz = std::clamp(cutoffHz, 20.0f, kRate * 0.45f);
    m_g = std::tan(3.14159265f * cutoffHz / kRate);
    m_k = 1.0f / std::max(q, 0.5f);
    m_a1 = 1.0f / (1.0f + m_g * (m_g + m_k));
    m_a2 = m_g * m_a1;
    m_a3 = m_g * m_a2;
}

void Svf::Tick(float in) {
    float v3 = in - m_ic2;
    float v1 = m_a1 * m_ic1 + m_a2 * v3;
    float v2 = m_ic2 + m_a2 * m_ic1 + m_a3 * v3;
    m_ic1 = 2 * v1 - m_ic1;
    m_ic2 = 2 * v2 - m_ic2;
    m_lp = v2, m_bp = v1, m_hp = in - m_k * v1 - v2;
}

float Svf::Low(float in) { return Tick(in), m_lp; }
float Svf::Band(float in) { return Tick(in), m_bp; }
float Svf::High(float in) { return Tick(in), m_hp; }

float Adsr::At(float t, float gate) const {
    auto held = [&](float u) {
        if (u < a) return u / a;
        u -= a;
        if (u < d) return 1.0f - (1.0f - s) * (u / d);
        return s;
    };
    if (t < gate) return held(t);
    float rel = (t - gate) / r;
    return rel >= 1.0f ? 0.0f : held(gate) * (1.0f - rel) * (1.0f - rel);
}

Mix::Mix(double seconds) {
    size_t n = size_t(seconds * kRate);
    m_l.assign(n, 0), m_r.assign(n, 0), m_echoL.assign(n, 0), m_echoR.assign(n, 0), m_verb.assign(n, 0);
}

void Mix::Add(size_t frame, float left, float right, float echo, float reverb) {
    if (frame >= m_l.size()) return;
    m_l[frame] += left, m_r[frame] += right;
    if (echo != 0) m_echoL[frame] += left * echo, m_echoR[frame] += right * echo;
    if (reverb != 0) m_verb[frame] += (left + right) * 0.5f * reverb;
}

namespace {

// One comb of a Schroeder reverb, with damping in the loop.
struct Comb {
    std::vector<float> buf;
    size_t pos = 0;
    float store = 0;
    float Process(float in, float feedback, float damp) {
        float out = buf[pos];
        store = out * (1 - damp) + store * damp;
        buf[pos] = in + store * feedback;
        if (++pos == buf.size()) pos = 0;
        return out;
    }
};

struct Allpass {
    std::vector<float> buf;
    size_t pos = 0;
    float Process(float in) {
        float b = buf[pos];
        buf[pos] = in + b * 0.5f;
        if (++pos == buf.size()) pos = 0;
        return b - in;
    }
};

void Reverb(const std::vector<float>& in, std::vector<float>& out, int spread, float size, float level) {
    static const int kComb[] = {1116, 1188, 1277, 1356, 1422, 1491};
    static const int kAll[] = {556, 441, 341};
    std::vector<Comb> combs;
    for (int c : kComb) combs.push_back({std::vector<float>(size_t(c + spread), 0.0f)});
    std::vector<Allpass> alls;
    for (int a : kAll) alls.push_back({std::vector<float>(size_t(a + spread / 2), 0.0f)});
    float feedback = 0.7f + 0.28f * size;
    for (size_t i = 0; i < in.size(); ++i) {
        float acc = 0, x = in[i] * 0.05f;
        for (Comb& c : combs) acc += c.Process(x, feedback, 0.3f);
        for (Allpass& a : alls) acc = a.Process(acc);
        out[i] += acc * level;
    }
}

}  // namespace

void Mix::Finish(float echoSeconds, float echoFeedback, float reverbSize, float reverbLevel) {
    // Ping-pong echo: each repeat crosses to the other side, and feeds the reverb a little.
    size_t d = size_t(echoSeconds * kRate);
    for (size_t i = d; i < m_l.size(); ++i) {
        m_echoL[i] += m_echoR[i - d] * echoFeedback;
        m_echoR[i] += m_echoL[i - d] * echoFeedback;
    }
    for (size_t i = d; i < m_l.size(); ++i) {
        m_l[i] += m_echoR[i - d] * 0.6f;
        m_r[i] += m_echoL[i - d] * 0.6f;
        m_verb[i] += (m_echoL[i - d] + m_echoR[i - d]) * 0.15f;
    }
    Reverb(m_verb, m_l, 0, reverbSize, reverbLevel);
    Reverb(m_verb, m_r, 23, reverbSize, reverbLevel);
}

Sound Mix::Render(float peakDb, float drive) {
    float peak = 1e-9f;
    for (size_t i = 0; i < m_l.size(); ++i) {
        m_l[i] = std::tanh(m_l[i] * drive), m_r[i] = std::tanh(m_r[i] * drive);
        peak = std::max({peak, std::fabs(m_l[i]), std::fabs(m_r[i])});
    }
    float gain = std::pow(10.0f, peakDb / 20.0f) * 32767.0f / peak;
    Sound s;
    s.pcm.resize(m_l.size() * 2);
    for (size_t i = 0; i < m_l.size(); ++i) {
        s.pcm[2 * i] = int16_t(std::lround(m_l[i] * gain));
        s.pcm[2 * i + 1] = int16_t(std::lround(m_r[i] * gain));
    }
    return s;
}

}  // namespace assets
