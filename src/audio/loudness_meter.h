#pragma once
// Measures a file's loudness (EBU R128 integrated loudness and true peak) with the sound
// layer's own decoder, at the file's own rate and as the file plays: a mono file counts on
// both sides, as it sounds on air.
//
// Blocking and CPU-bound (a three-minute MP3 takes a fraction of a second): call it on a
// worker thread, never on the user-interface or a mixing thread.
#include "audio/loudness.h"

#include <atomic>
#include <optional>
#include <string>

namespace audio {

// `path` holds the file name's bytes. nullopt when the file cannot be opened or decoded, or
// when `cancel` became true meanwhile.
std::optional<Loudness> measureLoudness(const std::string& path, const std::atomic<bool>& cancel);

} // namespace audio
