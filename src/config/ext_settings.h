#pragma once
// bandoraext.ini: settings added to the program after BANDORA40.CFG and bandoracfg.ini, kept in
// a file of their own so those two keep their lines. Loudness normalisation, written by the
// setup dialog, read at start and whenever the setup dialog opens.
#include <QString>

namespace config {

inline constexpr auto kExtSettingsFile = "bandoraext.ini";

struct ExtSettings {
    static constexpr int kMinLoudnessTarget = -31;
    static constexpr int kMaxLoudnessTarget = -10;

    bool loudness = false;    // LOUDNESS: carts play at loudnessTarget
    int loudnessTarget = -23; // LOUDNESS_TARGET: LUFS
    bool operator==(const ExtSettings&) const = default;
};

// The values of bandoraext.ini in `programDir`. A missing file or key gives the defaults, and
// so does a value that is not one of the allowed whole numbers (LOUDNESS 0 or 1,
// LOUDNESS_TARGET -31..-10), so the program behaves as before until the operator turns it on.
ExtSettings readExtSettings(const QString& programDir);

// The CRLF lines LOUDNESS and LOUDNESS_TARGET. False when the file could not be written; the old
// file is then left as it was.
bool writeExtSettings(const QString& programDir, const ExtSettings& settings);

} // namespace config
