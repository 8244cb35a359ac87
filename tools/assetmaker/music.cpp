// "Ruzuzireve": the production's music, A minor at 120 beats a minute, written to the picture's
// timeline. The beat enters with the cube at 7 s; beat numbers below count half seconds from
// there: the flash at beat 6, the impact as the zoom ends at beat 8 (the music holds its breath
// for it), scene 2 at beat 14, the scroller from beat 18, the fade at beat 38, the credit pages
// turning at beats 44, 56, 68, 82, 96 and 110, and the final chord under the last page at beat
// 110 (62 s), faded to silence before the pictures end.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>
#include <vector>

#include "sounds.h"
#include "synth.h"

namespace assets {

namespace {

constexpr double kLength = 69.6;
// The final chord rings on until the master fade, which closes before the last page leaves.
constexpr double kFadeFrom = 64.0, kSilentFrom = 68.3;
constexpr float kTwoPi = 6.2831853f;

double BeatTime(double beat) { return 7.0 + beat * 0.5; }
size_t Frame(double seconds) { return size_t(std::max(0.0, seconds) * kRate); }

struct Chord {
    std::vector<int> pad;  // voicing around middle C
    int root;              // bass note
};

const Chord kAm{{57, 60, 64}, 33}, kF{{57, 60, 65}, 29}, kC{{55, 60, 64}, 36}, kG{{55, 59, 62}, 31},
    kE{{56, 59, 64}, 28}, kDm{{57, 62, 65}, 26};

// Where each credit page fades in, and the last chord.
const double kPages[] = {44, 56, 68, 82, 96, 110};
constexpr double kFinal = 110;

double PageStart(double beat) {
    double start = kPages[0];
    for (double p : kPages)
        if (p <= beat) start = p;
    return start;
}

struct Span {
    double beat, length;
    const Chord* chord;
};

// The chords from the entry of the beat to the end.
std::vector<Span> Progression() {
    std::vector<Span> p = {{0, 4, &kAm},  {4, 2, &kF},                                              // cube
                           {6, 4, &kF},   {10, 4, &kG}, {14, 4, &kAm},                              // lift
                           {18, 4, &kAm}, {22, 4, &kF}, {26, 4, &kC},  {30, 4, &kG}, {34, 4, &kE},  // drive
                           {38, 4, &kF},  {42, 2, &kG}};                                            // fade
    // One phrase for every credit page; a page of 14 beats ends on a half-bar turnaround.
    const std::vector<std::pair<double, const Chord*>> pages[5] = {{{4, &kAm}, {4, &kF}, {2, &kC}, {2, &kG}},
                                                                   {{4, &kAm}, {4, &kF}, {2, &kC}, {2, &kG}},
                                                                   {{4, &kF}, {4, &kC}, {4, &kG}, {2, &kE}},
                                                                   {{4, &kAm}, {4, &kF}, {4, &kC}, {2, &kG}},
                                                                   {{4, &kF}, {4, &kC}, {2, &kDm}, {2, &kG}, {2, &kE}}};
    double beat = kPages[0];
    for (const auto& page : pages)
        for (const auto& [length, chord] : page) p.push_back({beat, length, chord}), beat += length;
    return p;
}

// ----------------------------------------------------------------------------------- voices

struct PadSpec {
    float amp = 0.05f, attack = 0.3f, release = 0.8f, cutFrom = 1200, cutTo = 1200;
    bool pump = false;  // ducks under every kick, the breathing of the driving sections
};

float Pump(double seconds) {
    double intoBeat = std::fmod(seconds - 7.0 + 10.0, 0.5);
    return 1.0f - 0.55f * std::exp(-float(intoBeat) / 0.09f);
}

void Pad(Mix& mix, float note, double t0, double dur, const PadSpec& s, uint32_t seed) {
    Noise rnd(seed);
    Saw saws[3];
    for (Saw& w : saws) w.phase = (rnd.Next() + 1) * 0.5f;
    const float detune[3] = {-0.09f, 0.0f, 0.1f}, panL[3] = {0.9f, 0.6f, 0.3f};
    float dts[3];
    for (int i = 0; i < 3; ++i) dts[i] = MidiHz(note + detune[i]) / kRate;
    Svf lpL, lpR;
    Adsr env{s.attack, 0.1f, 1.0f, s.release};
    size_t f0 = Frame(t0), n = Frame(dur + s.release);
    for (size_t i = 0; i < n; ++i) {
        float t = float(i) / kRate;
        if ((i & 63) == 0) {
            float c = s.cutFrom + (s.cutTo - s.cutFrom) * std::min(1.0f, t / float(dur));
            lpL.Set(c, 0.8f), lpR.Set(c * 1.05f, 0.8f);
        }
        float l = 0, r = 0;
        for (int k = 0; k < 3; ++k) {
            float v = saws[k].Next(dts[k]);
            l += v * panL[k], r += v * (1.2f - panL[k]);
        }
        float e = env.At(t, float(dur)) * s.amp;
        if (s.pump) e *= Pump(t0 + t);
        mix.Add(f0 + i, lpL.Low(l) * e, lpR.Low(r) * e, 0.0f, 0.6f);
    }
}

void Bass(Mix& mix, float note, double t0, double dur, float amp, float cutoff, float envMod) {
    Saw saw;
    Pulse sub;
    Svf lp;
    Adsr env{0.004f, 0.12f, 0.75f, 0.06f};
    float dt = MidiHz(note) / kRate;
    size_t f0 = Frame(t0), n = Frame(dur + 0.06);
    for (size_t i = 0; i < n; ++i) {
        float t = float(i) / kRate;
        if ((i & 31) == 0) lp.Set(cutoff + envMod * std::exp(-t / 0.09f), 2.2f);
        float v = saw.Next(dt) * 0.7f + sub.Next(dt * 0.5f, 0.5f) * 0.6f;
        float out = lp.Low(v) * env.At(t, float(dur)) * amp;
        mix.Add(f0 + i, out, out);
    }
}

void Pluck(Mix& mix, float note, double t0, float amp, float pan, float bright, float echo) {
    Saw a, b;
    b.phase = 0.37f;
    Svf lp;
    float dta = MidiHz(note) / kRate, dtb = MidiHz(note + 0.08f) / kRate;
    size_t f0 = Frame(t0), n = Frame(0.45);
    for (size_t i = 0; i < n; ++i) {
        float t = float(i) / kRate;
        if ((i & 31) == 0) lp.Set(400 + bright * std::exp(-t / 0.07f), 1.4f);
        float e = std::exp(-t / 0.12f) * std::min(1.0f, t / 0.002f) * amp;
        float v = lp.Low(a.Next(dta) + b.Next(dtb)) * e;
        mix.Add(f0 + i, v * (1 - pan), v * pan, echo, 0.25f);
    }
}

struct LeadSpec {
    float amp = 0.19f, cutoff = 3600, echo = 0.3f, reverb = 0.35f, release = 0.25f, vibrato = 0.22f;
};

void Lead(Mix& mix, float note, double t0, double dur, const LeadSpec& s) {
    Pulse p1, p2;
    p2.phase = 0.5f;
    Svf lp;
    lp.Set(s.cutoff, 1.0f);
    Adsr env{0.012f, 0.25f, 0.75f, s.release};
    size_t f0 = Frame(t0), n = Frame(dur + s.release);
    for (size_t i = 0; i < n; ++i) {
        float t = float(i) / kRate;
        float vib = t > 0.2f ? s.vibrato * std::min(1.0f, (t - 0.2f) * 3) * std::sin(kTwoPi * 5.5f * t) : 0.0f;
        float f = MidiHz(note + vib);
        float width = 0.32f + 0.12f * std::sin(kTwoPi * 0.7f * t);
        float v = p1.Next(f / kRate, width) * 0.6f + p2.Next(f * 1.003f / kRate, 0.5f) * 0.4f;
        float out = lp.Low(v) * env.At(t, float(dur)) * s.amp;
        mix.Add(f0 + i, out * 0.9f, out, s.echo, s.reverb);
    }
}

// ----------------------------------------------------------------------------------- drums

void Kick(Mix& mix, double t0, float amp) {
    float phase = 0;
    Noise rnd(int(t0 * 1000));
    size_t f0 = Frame(t0), n = Frame(0.45);
    for (size_t i = 0; i < n; ++i) {
        float t = float(i) / kRate;
        phase += (48 + 120 * std::exp(-t / 0.035f)) / kRate;
        float v = std::sin(kTwoPi * phase) * std::exp(-t / 0.28f) + rnd.Next() * std::exp(-t / 0.002f) * 0.3f;
        v = std::tanh(v * 1.6f) * amp;
        mix.Add(f0 + i, v, v);
    }
}

void Snare(Mix& mix, double t0, float amp, float reverb = 0.3f) {
    Noise rnd(uint32_t(t0 * 977));
    Svf bp, hp;
    bp.Set(3200, 0.9f), hp.Set(900, 0.7f);
    float phase = 0;
    size_t f0 = Frame(t0), n = Frame(0.3);
    for (size_t i = 0; i < n; ++i) {
        float t = float(i) / kRate;
        phase += (180 + 60 * std::exp(-t / 0.02f)) / kRate;
        float tone = std::sin(kTwoPi * phase) * std::exp(-t / 0.05f) * 0.6f;
        float noise = hp.High(bp.Band(rnd.Next()) * 2 + rnd.Next() * 0.3f) * std::exp(-t / 0.09f);
        float v = (tone + noise) * amp;
        mix.Add(f0 + i, v, v * 0.95f, 0.0f, reverb);
    }
}

void Hat(Mix& mix, double t0, float amp, bool open) {
    Noise rnd(uint32_t(t0 * 1231) + 7);
    Svf hp;
    hp.Set(open ? 6500 : 8000, 1.2f);
    float decay = open ? 0.18f : 0.03f;
    size_t f0 = Frame(t0), n = Frame(decay * 5);
    for (size_t i = 0; i < n; ++i) {
        float t = float(i) / kRate;
        float v = hp.High(rnd.Next()) * std::exp(-t / decay) * amp;
        mix.Add(f0 + i, v * 0.8f, v, 0.0f, 0.1f);
    }
}

void Crash(Mix& mix, double t0, float amp) {
    Noise nl(uint32_t(t0 * 313)), nr(uint32_t(t0 * 717) + 3);
    Svf hl, hr;
    hl.Set(3500, 0.7f), hr.Set(3600, 0.7f);
    size_t f0 = Frame(t0), n = Frame(2.5);
    for (size_t i = 0; i < n; ++i) {
        float t = float(i) / kRate;
        float e = std::exp(-t / 0.7f) * std::min(1.0f, t / 0.003f) * amp;
        mix.Add(f0 + i, hl.High(nl.Next()) * e, hr.High(nr.Next()) * e, 0.0f, 0.35f);
    }
}

// Filtered noise opening upwards: the rise into the beat and into the credits.
void Riser(Mix& mix, double t0, double dur, float amp, float fromHz, float toHz) {
    Noise nl(uint32_t(t0 * 101)), nr(uint32_t(t0 * 103) + 1);
    Svf bl, br;
    size_t f0 = Frame(t0), n = Frame(dur);
    for (size_t i = 0; i < n; ++i) {
        float u = float(i) / float(n);
        if ((i & 63) == 0) {
            float c = fromHz * std::pow(toHz / fromHz, u);
            bl.Set(c, 2.5f), br.Set(c * 1.1f, 2.5f);
        }
        float e = u * u * amp;
        mix.Add(f0 + i, bl.Band(nl.Next()) * e, br.Band(nr.Next()) * e, 0.0f, 0.4f);
    }
}

// --------------------------------------------------------------------------------- the score

struct Note {
    double beat, length;
    int note;
};

const std::vector<Note> kTheme = {{0, 1.5, 76}, {1.5, .5, 74}, {2, 1, 72},     {3, .5, 74},  {3.5, .5, 76},   // Am
                                  {4, 1.5, 81}, {5.5, .5, 79}, {6, 1, 77},     {7, 1, 76},                    // F
                                  {8, 1.5, 79}, {9.5, .5, 76}, {10, 1, 72},    {11, .5, 74}, {11.5, .5, 76},  // C
                                  {12, 2, 74},  {14, .5, 71},  {14.5, .5, 72}, {15, 1, 74}};                  // G

void Intro(Mix& mix) {
    // Am with an added ninth, opening from a dark murmur over the 7-second fade.
    const int notes[] = {33, 45, 52, 57, 60, 64, 71};
    for (int i = 0; i < 7; ++i) {
        PadSpec s{i < 2 ? 0.05f : 0.032f, 5.5f, 1.5f, 250, 2600};
        Pad(mix, float(notes[i]), 0.0, 7.2, s, 11 + i);
    }
    Riser(mix, 3.0, 4.0, 0.22f, 200, 7000);
    Crash(mix, BeatTime(0), 0.35f);
}

void Pads(Mix& mix, const std::vector<Span>& prog) {
    for (const Span& s : prog) {
        bool lift = s.beat >= 6 && s.beat < 38;
        bool credits = s.beat >= 44;
        PadSpec spec{credits ? 0.03f : 0.034f, 0.15f, 0.6f, lift ? 2200.0f : 1400.0f, lift ? 3200.0f : 1500.0f, lift};
        int octave = (s.beat >= 6 && s.beat < 18) ? 12 : 0;
        for (size_t k = 0; k < s.chord->pad.size(); ++k)
            Pad(mix, float(s.chord->pad[k] + octave), BeatTime(s.beat), s.length * 0.5, spec,
                uint32_t(s.beat * 10 + k));
    }
    // The last chord rings out over the end.
    PadSpec last{0.04f, 0.05f, 6.0f, 3000, 700};
    for (int n : {45, 57, 60, 64, 69, 71}) Pad(mix, float(n), BeatTime(kFinal), 3.0, last, uint32_t(900 + n));
}

void BassLine(Mix& mix, const std::vector<Span>& prog) {
    for (const Span& s : prog) {
        float root = float(s.chord->root);
        for (double b = s.beat; b < s.beat + s.length - 1e-9; b += 1) {
            double t = BeatTime(b);
            if (s.beat < 6) {
                Bass(mix, root + 12, t + 0.25, 0.18, 0.33f, 300, 1400);
            } else if (s.beat < 38) {
                // Rolling sixteenths, the first of each beat left to the kick.
                const int step[4] = {0, 0, 12, 0};
                if (b >= 8 && b < 9) continue;  // the stop for the impact
                float cut = s.beat < 18 ? 350.0f : 500.0f;
                for (int k = 1; k < 4; ++k) Bass(mix, root + 12 + step[k], t + k * 0.125, 0.1, 0.3f, cut, 2200);
            } else if (s.beat < 44) {
                if (b == s.beat) Bass(mix, root + 12, t, s.length * 0.5 - 0.05, 0.28f, 250, 600);
            } else {
                double rel = b - s.beat;
                if (rel == 0) Bass(mix, root + 12, t, 0.7, 0.32f, 280, 900);
                if (rel == 2) Bass(mix, root + 19, t + 0.25, 0.4, 0.26f, 280, 800);
                if (rel == 3) Bass(mix, root + 12, t + 0.25, 0.2, 0.26f, 280, 800);
            }
        }
    }
    Bass(mix, 33 + 12, BeatTime(kFinal), 2.5, 0.34f, 200, 800);
}

void Arpeggio(Mix& mix, const std::vector<Span>& prog) {
    for (const Span& s : prog) {
        bool fast = s.beat >= 6 && s.beat < 38, soft = s.beat >= 56 && s.beat < kFinal;
        if (!fast && !soft) continue;
        std::vector<int> tones = s.chord->pad;
        tones.push_back(s.chord->pad[0] + 12);
        tones.push_back(s.chord->pad[1] + 12);
        const int order[8] = {0, 1, 2, 3, 4, 3, 2, 1};
        double step = fast ? 0.25 : 0.5;
        int i = 0;
        for (double b = s.beat; b < s.beat + s.length - 1e-9; b += step, ++i) {
            if (b >= 8 && b < 9) continue;
            float pan = (i & 1) ? 0.25f : 0.75f;
            Pluck(mix, float(tones[order[i % 8]] + 12), BeatTime(b), fast ? 0.11f : 0.08f, pan,
                  fast ? 4500.0f : 2000.0f, 0.35f);
        }
    }
}

void Melody(Mix& mix) {
    // In the lift, long high notes over the chords.
    LeadSpec high{0.13f, 4200, 0.35f, 0.45f, 0.4f, 0.2f};
    Lead(mix, 81, BeatTime(6), 1.9, high);
    Lead(mix, 79, BeatTime(10), 0.9, high);
    Lead(mix, 83, BeatTime(12), 0.9, high);
    Lead(mix, 84, BeatTime(14), 1.5, high);
    Lead(mix, 83, BeatTime(17), 0.2, high);
    Lead(mix, 81, BeatTime(17.5), 0.2, high);
    // Driving under the scroller: the theme, then a turn over E into the fade.
    LeadSpec drive;
    for (const Note& n : kTheme) Lead(mix, float(n.note), BeatTime(18 + n.beat), n.length * 0.5 * 0.9, drive);
    Lead(mix, 80, BeatTime(34), 0.45, drive);
    Lead(mix, 76, BeatTime(35), 0.45, drive);
    Lead(mix, 83, BeatTime(36), 0.95, drive);
    // Calmer under the credits, an octave lower with more echo: half the theme answered on the
    // second page, the whole of it on the fourth, and a line falling into the final chord.
    LeadSpec calm{0.15f, 1800, 0.45f, 0.5f, 0.4f, 0.15f};
    auto play = [&](double start, const std::vector<Note>& notes, int shift) {
        for (const Note& n : notes)
            Lead(mix, float(n.note + shift), BeatTime(start + n.beat), n.length * 0.5 * 0.95, calm);
    };
    std::vector<Note> half(kTheme.begin(), kTheme.begin() + 9);
    half.insert(half.end(), {{8, 1, 79}, {9, 1, 76}, {10, 2, 74}});
    play(kPages[1], half, -12);
    std::vector<Note> whole;
    for (const Note& n : kTheme)
        if (n.beat < 14) whole.push_back(n);
    play(kPages[3], whole, -12);
    play(
        kPages[4],
        {{0, 2, 72}, {2, 2, 69}, {4, 2, 67}, {6, 1, 72}, {7, 1, 76}, {8, 2, 77}, {10, 2, 74}, {12, 1, 71}, {13, 1, 68}},
        0);
    LeadSpec final = calm;
    final.release = 3.0f;
    Lead(mix, 69, BeatTime(kFinal), 2.5, final);
}

// A rising roll of snares over the last beats before a credit page, so the turn is heard.
void Fill(Mix& mix, double fromBeat, double toBeat) {
    for (double b = fromBeat; b < toBeat - 1e-9; b += 0.25) {
        float u = float((b - fromBeat) / (toBeat - fromBeat));
        bool sixteenths = toBeat - b <= 1.0;
        if (!sixteenths && std::fmod(b, 0.5) != 0) continue;
        Snare(mix, BeatTime(b), 0.12f + 0.24f * u, 0.35f);
    }
}

void Drums(Mix& mix) {
    for (double b = 0; b < kFinal; b += 0.25) {
        double t = BeatTime(b);
        int sixteenth = int(std::lround(b * 4)) % 4;
        if (b < 6) {
            if (sixteenth == 0) Kick(mix, t, 0.55f);
            if (sixteenth == 2) Hat(mix, t, 0.12f, false);
        } else if (b < 38) {
            // The impact as the zoom ends lands in one beat of silence.
            if (b >= 8 && b < 9) continue;
            double rel = b - (b < 18 ? 6 : 18);
            int relBeat = int(std::floor(rel));
            bool fill = (b >= 16 && b < 18) || (b >= 36 && b < 38);
            if (sixteenth == 0) Kick(mix, t, 0.58f);
            if (fill) {
                Snare(mix, t, 0.12f + 0.25f * float(b - std::floor(b / 2) * 2) / 2, 0.2f);
            } else if (sixteenth == 0 && (relBeat % 2) == 1) {
                Snare(mix, t, 0.42f);
            }
            if (b >= 18 && sixteenth == 2)
                Hat(mix, t, 0.1f, true);
            else
                Hat(mix, t, sixteenth % 2 ? 0.05f : 0.09f, false);
        } else if (b < kPages[0]) {
            if (b < 42 && sixteenth == 2) Hat(mix, t, 0.07f * float(42 - b) / 4, false);
        } else {
            double page = PageStart(b), next = kFinal;
            for (double p : kPages)
                if (p > page) {
                    next = p;
                    break;
                }
            // The fill takes the last beat of a page, or the last two of a longer one.
            double fillFrom = next - ((next - page) > 12 ? 2 : 1);
            if (b >= fillFrom) continue;
            double rel = std::fmod(b - page, 4.0);
            if (rel == 0 || rel == 2.5) Kick(mix, t, 0.5f);
            if (rel == 2) Snare(mix, t, 0.28f, 0.6f);
            if (sixteenth == 0 || sixteenth == 2) Hat(mix, t, sixteenth == 2 ? 0.06f : 0.035f, false);
        }
    }
    for (size_t i = 1; i < std::size(kPages); ++i)
        Fill(mix, kPages[i] - ((kPages[i] - kPages[i - 1]) > 12 ? 2 : 1), kPages[i]);
    for (double b : {6.0, 18.0, 34.0}) Crash(mix, BeatTime(b), b == 6 ? 0.45f : 0.3f);
    for (double b : kPages) {
        Crash(mix, BeatTime(b), b == kFinal ? 0.45f : 0.32f);
        Kick(mix, BeatTime(b), b == kFinal ? 0.8f : 0.6f);
    }
    Riser(mix, BeatTime(40), 2.0, 0.18f, 300, 5000);
}

}  // namespace

Sound MakeMusic() {
    Mix mix(kLength);
    std::vector<Span> prog = Progression();
    Intro(mix);
    Pads(mix, prog);
    BassLine(mix, prog);
    Arpeggio(mix, prog);
    Melody(mix);
    Drums(mix);
    mix.Finish(0.375f, 0.35f, 0.8f, 0.9f);
    // The master fade: the chord dies to silence before the last picture has faded out.
    std::vector<float>& l = mix.Left();
    std::vector<float>& r = mix.Right();
    for (size_t i = Frame(kFadeFrom); i < l.size(); ++i) {
        double u = std::min(1.0, (double(i) / kRate - kFadeFrom) / (kSilentFrom - kFadeFrom));
        float g = float(std::pow(std::cos(u * 1.5707963), 2.0));
        l[i] *= g, r[i] *= g;
    }
    return mix.Render(kMusicPeakDb, 1.1f);
}

}  // namespace assets
