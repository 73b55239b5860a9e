#pragma once
// BANDORA40.CFG: sound devices, buffer length, mix and fade times (written by the setup
// dialog, read at start and whenever the setup dialog opens).
#include <QString>

namespace config {

inline constexpr auto kDeviceSettingsFile = "BANDORA40.CFG";

struct DeviceSettings {
    qint16 bufferMs = 3000;  // playback buffer length, ms
    qint16 outputDevice = 0; // output device list index (device outputDevice + 1)
    qint16 cueDevice = 0;    // cue device list index (device cueDevice + 1)
    quint16 mixLeadMs = 900; // auto mix starts the next cart this many ms before the end
    quint16 fadeMs = 800;    // length of every fade-out, ms
    bool operator==(const DeviceSettings&) const = default;
};

// The values of BANDORA40.CFG in `programDir`. A missing file, a missing key, a value that is
// not a whole number or one outside its 16-bit range gives that key's default, so a
// hand-edited file can never keep the program from starting.
DeviceSettings readDeviceSettings(const QString& programDir);

// Writes the seven lines of BANDORA40.CFG (two banner lines, then bufferMs with at least four
// digits, outputDevice, cueDevice, mixLeadMs, fadeMs). False when the file could not be written.
bool writeDeviceSettings(const QString& programDir, const DeviceSettings& settings);

} // namespace config
