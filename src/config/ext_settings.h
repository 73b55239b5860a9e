#pragma once
// bandoraext.ini: settings added to the program after BANDORA40.CFG and bandoracfg.ini, kept in
// a file of their own so those two keep their lines. Loudness normalisation and the JACK ports
// of the chosen devices, written by the setup dialog, read at start and whenever the setup
// dialog opens. Other keys in the file belong to others: a write keeps their lines as they are.
#include <QString>
#include <QStringList>

namespace config {

inline constexpr auto kExtSettingsFile = "bandoraext.ini";

struct ExtSettings {
    static constexpr int kMinLoudnessTarget = -31;
    static constexpr int kMaxLoudnessTarget = -10;

    bool loudness = false;    // LOUDNESS: carts play at loudnessTarget
    int loudnessTarget = -23; // LOUDNESS_TARGET: LUFS
    // JACK_TRA / JACK_CUE: when the on-air / cue device is a JACK port pair, its two playback
    // ports (left, right), so the device is found again after the JACK graph changed. Empty
    // for any other device.
    QStringList jackOutputPorts{};
    QStringList jackCuePorts{};
    // AVISO_FIM: the last seconds of a cart in which its frame and the clock warn; 0 = off.
    static constexpr int kMaxEndWarning = 60;
    int endWarningSeconds = 10;
    // OSC_PORT: the UDP port remote control listens on; 0 = off.
    int oscPort = 0;
    // OSC_HOSTS: addresses allowed to send; empty = 127.0.0.1 only.
    QStringList oscHosts{};
    bool operator==(const ExtSettings&) const = default;
};

// The values of bandoraext.ini in `programDir`. A missing file or key gives the defaults, and
// so does a value that is not one of the allowed whole numbers (LOUDNESS 0 or 1,
// LOUDNESS_TARGET -31..-10, AVISO_FIM 0..60, OSC_PORT 0..65535), so the program behaves as before until the operator turns it on.
// A JACK key counts only with exactly two port names, "left,right".
ExtSettings readExtSettings(const QString& programDir);

// Replaces the lines of every key above where they stand (an
// empty JACK or OSC_HOSTS key loses its line, a missing key is added at the end); every other line keeps
// its bytes. CRLF line ends. False when the file could not be written; the old file is then
// left as it was.
bool writeExtSettings(const QString& programDir, const ExtSettings& settings);

} // namespace config
