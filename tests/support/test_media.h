#pragma once
// Test audio written from code: sine tones of known frequency and length as 16-bit PCM WAV.
#include <string>

namespace testmedia {

// Writes `frames` frames of a sine of `hz` at `rate` with `channels` channels (amplitude 0.5).
// Returns false when the file cannot be written.
bool writeToneWav(const std::string& path, double hz, long frames, int rate = 44100,
                  int channels = 2);

// The same for a length in milliseconds.
inline bool writeToneWavMs(const std::string& path, double hz, long ms, int rate = 44100,
                           int channels = 2) {
    return writeToneWav(path, hz, ms * rate / 1000, rate, channels);
}

} // namespace testmedia
