#pragma once
// bandoracfg.ini: master volume, AUTO fadeMs and AUTO MIX of the main window.
#include <QString>

namespace config {

inline constexpr auto kWindowSettingsFile = "bandoracfg.ini";

struct WindowSettings {
    // The window's designed state, kept when the file does not exist.
    int volume = 100; // master fader, 0..100
    bool autoFade = false;
    bool autoMix = true;

    // Reads bandoracfg.ini from `programDir`; false (values untouched) when there is no
    // readable file. In a file, a missing key reads as "1" for the flags and "100" for the
    // volume; a flag is on exactly when its value is the whole number 1; a volume that is not
    // a whole number gives 100, one outside 0..100 is clamped.
    bool read(const QString& programDir);

    // Exactly the three CRLF lines VOLUME, AUTO_FADE, AUTO_MIX. False when writing failed;
    // the old file is then left as it was.
    bool write(const QString& programDir) const;

    bool operator==(const WindowSettings&) const = default;
};

} // namespace config
