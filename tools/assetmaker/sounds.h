// The production's four sounds: the music and three effects, 16-bit stereo PCM at 44100 Hz.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace assets {

constexpr int kRate = 44100;

// The production mixes the effects into the music by adding samples, so neither is mastered to
// full scale: the music peaks here and each effect low enough that the sum at its cue keeps
// clear of clipping.
constexpr float kMusicPeakDb = -6.0f;

// When the production starts each effect, in seconds of the music.
constexpr double kThxCue = 0.0, kBangCue = 11.0, kDshoofCue = 16.0;

struct Sound {
    std::vector<int16_t> pcm;  // interleaved left, right
    size_t Frames() const { return pcm.size() / 2; }
};

struct NamedSound {
    std::string file;
    Sound sound;
};

Sound MakeMusic();
Sound MakeThx();
Sound MakeBang();
Sound MakeDshoof();

// All four, the music first.
std::vector<NamedSound> MakeSounds();

bool WriteSound(const std::string& path, const Sound& sound);

}  // namespace assets
